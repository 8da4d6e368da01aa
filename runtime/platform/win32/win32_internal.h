// The Win32 backend's shared state, for its files only: one file per job
// (start-up and monitors, windows and shapes, framebuffer, cursors and
// icons, events, the wait and the clocks, the shell), all working on the
// one Win32Platform. Nothing outside runtime/platform/win32/ includes this
// header, so windows.h stays here; its files include it first.
#pragma once

#include "../event_queue.h"
#include "../picture_cache.h"
#include "../window_shape.h"
#include "win32_platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstddef>
#include <limits>
#include <map>
#include <optional>
#include <span>
#include <string>

namespace rt::platform::win32 {

constexpr wchar_t kClassName[] = L"VelmoraWindow";
constexpr int kIconResource = 1;  // the first icon resource of the executable

using GetDpiForSystemFunction = UINT(WINAPI*)();
using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);  // Windows 10 1607 and later
using CreateWaitableTimerExWFunction = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD, DWORD);
constexpr DWORD kHighResolutionTimer = 0x2;  // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
// The system clock's default tick: waits end on one unless a program asks
// for a finer period.
constexpr double kSystemTick = 1.0 / 64;
// shcore.dll's GetDpiForMonitor; the type argument is MONITOR_DPI_TYPE.
using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI: the density the user chose for the monitor

// What the backend knows of one of its windows.
struct WindowState {
    HWND hwnd = nullptr;
    int width = 1;
    int height = 1;
    WindowShape shape;        // the region set; none: rectangular
    HCURSOR cursor = nullptr; // null: the arrow
    PictureRef cursorPicture; // what cursor was made from, at dpi
    PictureRef icon;          // the window's icon picture; null: the executable's
    double dpi = 96.0;        // the density of the window's monitor
    Bitmap shown;             // the pixels last presented, for WM_PAINT
    unsigned buttonsDown = 0; // bit n: button n was pressed here and not yet released
    bool trackingLeave = false;
    int lastMoveX = -1 << 30, lastMoveY = -1 << 30;
};

class Win32Platform final : public Platform {
public:
    // win32_platform.cpp
    explicit Win32Platform(HINSTANCE instance);
    ~Win32Platform() override;
    ScreenMetrics screen() override;
    bool prefersReducedMotion() override;
    // win32_windows.cpp
    WindowHandle createWindow(const WindowOptions& o) override;
    void destroyWindow(WindowHandle window) override;
    void setWindowBounds(WindowHandle window, const Rect& outer) override;
    void setWindowVisible(WindowHandle window, bool visible) override;
    void setWindowOwner(WindowHandle window, WindowHandle owner) override;
    void setWindowShape(WindowHandle window, const Region* shape) override;
    // win32_framebuffer.cpp
    void present(WindowHandle window, const Bitmap& frame, std::span<const Rect> dirty) override;
    void presentMove(WindowHandle window, const Bitmap& frame, const Rect& from, int dx, int dy,
                     std::span<const Rect> exposed) override;
    void setCursor(WindowHandle window, const PictureRef& picture) override;                        // win32_cursors.cpp
    // win32_shell.cpp
    void openDocument(const DocumentRequest& request) override;
    void reportError(const std::string& message) override;
    std::string executablePath() override;
    // win32_wait.cpp
    double monotonicSeconds() override;
    LocalDateTime localNow() override;
    std::optional<Event> waitEvent(double deadline) override;
    // win32_events.cpp: the window procedure's work; false leaves the
    // message to the system.
    bool handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    // win32_platform.cpp
    double monitorDpi(HMONITOR monitor);
    // win32_windows.cpp
    WindowState* find(WindowHandle window);
    // win32_framebuffer.cpp
    static void paint(HDC dc, const Bitmap& frame, const Rect& r);
    void paintFromCopy(HWND hwnd, WindowHandle window, const WindowState& st);
    // win32_cursors.cpp
    HCURSOR arrow();
    int iconSize(bool small, double dpi) const;
    void applyIcons(WindowState& st);
    void applyCursor(WindowState& st);
    // win32_events.cpp
    static int buttonOf(UINT message);
    // win32_wait.cpp
    bool setTimer(double deadline, double seconds);
    void setFinePeriod(bool fine);

    HINSTANCE instance_;
    double ticksPerSecond_ = 1.0;
    HANDLE timer_ = nullptr;   // the high-resolution waitable timer, if the system has one
    static constexpr double kNotSet = -1.0;
    double timerDeadline_ = kNotSet;  // what the timer is set for, until it fires
    bool finePeriod_ = false;  // the fallback's timeBeginPeriod(1) is in force
    int runtimeScale_ = 0;     // the device scale of the first screen() answer
    GetDpiForSystemFunction getDpiForSystem_ = nullptr;
    GetSystemMetricsForDpiFunction getSystemMetricsForDpi_ = nullptr;
    HMODULE shcore_ = nullptr;
    GetDpiForMonitorFunction getDpiForMonitor_ = nullptr;
    std::map<WindowHandle, WindowState> windows_;
    std::map<HWND, WindowHandle> handles_;
    WindowHandle nextHandle_ = 1;
    EventQueue queue_;
    HCURSOR arrow_ = nullptr;
    PictureCache<HCURSOR, int> cursors_;  // by picture and width
    // By picture and size; kept for good: never full, as windows keep
    // using their icons.
    PictureCache<HICON, int> icons_{std::numeric_limits<std::size_t>::max()};
};

// win32_events.cpp: the window procedure of the backend's window class.
LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// win32_shell.cpp: text between the runtime's UTF-8 and Windows' UTF-16.
std::wstring utf16(const std::string& text);
std::string utf8(const std::wstring& text);

}  // namespace rt::platform::win32
