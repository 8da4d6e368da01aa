// The Win32 backend: user32 and GDI, no toolkit.
//
// What it implements:
//  - windows: WS_POPUP top-level windows without a frame, kept out of the
//    taskbar (WS_EX_TOOLWINDOW) unless asked otherwise, placed where the
//    runtime says; one window class with CS_DBLCLKS and no background brush
//    (WM_ERASEBKGND does nothing: every pixel comes from the runtime); the
//    icon from WindowOptions::icon, else the executable's first icon
//    resource; WM_CLOSE becomes CloseRequest, a WM_DESTROY the runtime did
//    not ask for becomes Destroyed.
//  - screen(): the work area of the monitor that holds the pointer (the
//    primary one if none does), and that monitor's density: its effective
//    DPI (GetDpiForMonitor from shcore.dll, looked up at run time: Windows
//    8.1 and later), else the system's (GetDpiForSystem, also looked up),
//    else the screen's LOGPIXELSX. The executable's manifest makes the
//    process per-monitor DPI-aware (PerMonitorV2, else PerMonitor, else
//    system-aware through dpiAware), so that the density is the monitor's
//    own and the system never stretches the card's pixels.
//  - WM_DPICHANGED: the window keeps its size in device pixels (see there).
//  - setWindowShape: the runtime's pixel spans as banded rectangles,
//    ExtCreateRegion, SetWindowRgn (the system owns the region afterwards);
//    skipped when unchanged.
//  - present: each dirty rectangle with SetDIBitsToDevice straight from the
//    framebuffer (0xAARRGGBB words are BI_RGB 32-bit pixels); WM_PAINT
//    becomes an Expose event and the runtime presents again.
//  - setCursor: the arrow, or a full-colour cursor made from the picture
//    (CreateIconIndirect), cached per picture and set in WM_SETCURSOR.
//  - pointer events: Press, Release, Move, Leave (TrackMouseEvent), Click
//    and the system's DoubleClick (WM_LBUTTONDBLCLK), in the order of
//    ClickTracker; the pointer is captured while a button is down.
//  - setWindowOwner: the owner window (GWLP_HWNDPARENT), which keeps a modal
//    window above the window it blocks.
//  - openDocument: ShellExecuteA with the request as given, on a
//    detached worker thread with COM initialised, so the card never waits
//    for the browser.
//  - reportError: a message box (and the same line on stderr).
//  - clocks: QueryPerformanceCounter, and the local time with milliseconds.
//  - waitEvent: queued events first, then the message queue, then
//    MsgWaitForMultipleObjectsEx until the runtime's next deadline (rounded
//    up to whole milliseconds; the timer period is 1 ms while the backend
//    lives, so waits end on time and the 1/64 s timer grid holds).
//  - executablePath: GetModuleFileNameW, in UTF-8.
#include "win32_platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <timeapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <thread>
#include <utility>
#include <vector>

#include "../../graphics/region.h"
#include "../event_queue.h"
#include "../local_time.h"
#include "../picture_cache.h"
#include "../window_shape.h"

namespace rt::platform {
namespace win32 {

HRGN__* createRegion(const Region& shape) {
    const std::vector<Rect> rects = bandedRectangles(shape);
    if (rects.empty()) return nullptr;
    std::vector<std::uint8_t> data(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
    header->dwSize = sizeof(RGNDATAHEADER);
    header->iType = RDH_RECTANGLES;
    header->nCount = DWORD(rects.size());
    header->nRgnSize = DWORD(rects.size() * sizeof(RECT));
    Rect bounds = rects.front();
    auto* out = reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER));
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const Rect& r = rects[i];
        out[i] = RECT{r.x, r.y, r.right(), r.bottom()};
        bounds = bounds.unite(r);
    }
    header->rcBound = RECT{bounds.x, bounds.y, bounds.right(), bounds.bottom()};
    return ExtCreateRegion(nullptr, DWORD(data.size()), reinterpret_cast<const RGNDATA*>(data.data()));
}

std::uint32_t waitMilliseconds(double seconds) {
    if (!(seconds > 0.0)) return 0;
    const double ms = std::ceil(seconds * 1000.0);
    return ms >= double(INFINITE - 1) ? INFINITE - 1 : std::uint32_t(ms);
}

}  // namespace win32

namespace {

constexpr wchar_t kClassName[] = L"VelmoraWindow";
constexpr int kIconResource = 1;  // the first icon resource of the executable

std::wstring utf16(const std::string& text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring out(std::size_t(std::max(n, 0)), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n);
    return out;
}

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(std::max(n, 0)), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// A full-colour icon or cursor from a picture: a 32-bit top-down colour
// bitmap carrying the picture's alpha, and the AND mask made from it.
HICON makeIcon(const Picture& picture, bool isIcon) {
    const Bitmap& image = picture.image();
    const int w = image.width(), h = image.height();
    if (w <= 0 || h <= 0) return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top-down rows, as the runtime keeps them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP colour = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!colour || !bits) {
        if (colour) DeleteObject(colour);
        return nullptr;
    }
    // The mask: one bit a pixel, set where the picture is transparent; rows
    // padded to 16 bits as CreateBitmap wants them.
    const int maskStride = ((w + 15) / 16) * 2;
    std::vector<std::uint8_t> mask(std::size_t(maskStride) * h, 0);
    auto* out = static_cast<std::uint32_t*>(bits);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Pixel p = image.at(x, y);
            const bool transparent = pixelAlpha(p) == 0;
            out[std::size_t(y) * w + x] = transparent ? 0u : p;
            if (transparent) mask[std::size_t(y) * maskStride + x / 8] |= std::uint8_t(0x80 >> (x % 8));
        }
    HBITMAP maskBitmap = CreateBitmap(w, h, 1, 1, mask.data());
    ICONINFO icon{};
    icon.fIcon = isIcon ? TRUE : FALSE;
    icon.xHotspot = DWORD(std::clamp(picture.hotspotX, 0, w - 1));
    icon.yHotspot = DWORD(std::clamp(picture.hotspotY, 0, h - 1));
    icon.hbmMask = maskBitmap;
    icon.hbmColor = colour;
    HICON result = maskBitmap ? CreateIconIndirect(&icon) : nullptr;
    DeleteObject(colour);
    if (maskBitmap) DeleteObject(maskBitmap);
    return result;
}

struct WindowState {
    HWND hwnd = nullptr;
    int width = 1;
    int height = 1;
    WindowShape shape;        // the region set; none: rectangular
    HCURSOR cursor = nullptr; // null: the arrow
    bool trackingLeave = false;
    int lastMoveX = -1 << 30, lastMoveY = -1 << 30;
};

using GetDpiForSystemFunction = UINT(WINAPI*)();
// shcore.dll's GetDpiForMonitor; the type argument is MONITOR_DPI_TYPE.
using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI: the density the user chose for the monitor

class Win32Platform final : public Platform {
public:
    explicit Win32Platform(HINSTANCE instance) : instance_(instance) {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        ticksPerSecond_ = double(frequency.QuadPart);
        // Waits are rounded to the system timer's period, 15.6 ms unless a
        // program asks for less; at 1 ms the timers keep their 1/64 s grid
        // instead of firing up to a period late.
        timerPeriodSet_ = timeBeginPeriod(1) == TIMERR_NOERROR;
        queue_.clicks().setIntervalMs(GetDoubleClickTime());
        if (HMODULE user32 = GetModuleHandleW(L"user32.dll"))
            getDpiForSystem_ =
                reinterpret_cast<GetDpiForSystemFunction>(reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForSystem")));
        // From the system folder only, never from beside the executable.
        shcore_ = LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (shcore_)
            getDpiForMonitor_ = reinterpret_cast<GetDpiForMonitorFunction>(
                reinterpret_cast<void*>(GetProcAddress(shcore_, "GetDpiForMonitor")));
    }

    ~Win32Platform() override {
        auto windows = std::move(windows_);
        handles_.clear();
        for (auto& [handle, state] : windows) DestroyWindow(state.hwnd);
        cursors_.clear(DestroyCursor);
        icons_.clear(DestroyIcon);
        UnregisterClassW(kClassName, instance_);
        if (shcore_) FreeLibrary(shcore_);
        if (timerPeriodSet_) timeEndPeriod(1);
    }

    ScreenMetrics screen() override {
        ScreenMetrics m;
        POINT pointer{};
        GetCursorPos(&pointer);
        HMONITOR monitor = MonitorFromPoint(pointer, MONITOR_DEFAULTTOPRIMARY);
        MONITORINFO info{};
        info.cbSize = sizeof info;
        if (GetMonitorInfoW(monitor, &info)) {
            const RECT& r = info.rcWork;
            m.monitor = {int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top)};
        }
        m.dpi = monitorDpi(monitor);
        return m;
    }

    WindowHandle createWindow(const WindowOptions& o) override {
        const int width = std::max(1, o.width), height = std::max(1, o.height);
        const DWORD exStyle = o.showInTaskbar ? WS_EX_APPWINDOW : WS_EX_TOOLWINDOW;
        HWND hwnd = CreateWindowExW(exStyle, kClassName, utf16(o.title).c_str(), WS_POPUP, o.x, o.y, width, height,
                                    nullptr, nullptr, instance_, this);
        if (!hwnd) return kNoWindow;
        if (o.icon && !o.icon->image().empty()) {
            if (HICON icon = cachedIcon(o.icon)) {
                SendMessageW(hwnd, WM_SETICON, ICON_BIG, LPARAM(icon));
                SendMessageW(hwnd, WM_SETICON, ICON_SMALL, LPARAM(icon));
            }
        }
        const WindowHandle handle = nextHandle_++;
        WindowState state;
        state.hwnd = hwnd;
        state.width = width;
        state.height = height;
        windows_[handle] = state;
        handles_[hwnd] = handle;
        return handle;
    }

    void destroyWindow(WindowHandle window) override {
        const auto it = windows_.find(window);
        if (it == windows_.end()) return;
        HWND hwnd = it->second.hwnd;
        // Forgotten first, so that its WM_DESTROY is not taken for someone
        // else's doing.
        windows_.erase(it);
        handles_.erase(hwnd);
        queue_.forget(window);
        DestroyWindow(hwnd);
    }

    void setWindowBounds(WindowHandle window, const Rect& outer) override {
        WindowState* st = find(window);
        if (!st) return;
        st->width = std::max(1, outer.width);
        st->height = std::max(1, outer.height);
        SetWindowPos(st->hwnd, nullptr, outer.x, outer.y, st->width, st->height,
                     SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOACTIVATE);
    }

    void setWindowVisible(WindowHandle window, bool visible) override {
        WindowState* st = find(window);
        if (!st || bool(IsWindowVisible(st->hwnd)) == visible) return;
        ShowWindow(st->hwnd, visible ? SW_SHOW : SW_HIDE);
    }

    void setWindowOwner(WindowHandle window, WindowHandle owner) override {
        WindowState* st = find(window);
        if (!st) return;
        WindowState* o = owner != kNoWindow ? find(owner) : nullptr;
        // For a top-level window this slot is its owner, which it stays above.
        SetWindowLongPtrW(st->hwnd, GWLP_HWNDPARENT, LONG_PTR(o ? o->hwnd : nullptr));
    }

    void setWindowShape(WindowHandle window, const Region* shape) override {
        WindowState* st = find(window);
        if (!st || sameShape(st->shape, shape)) return;
        if (shape == nullptr) {
            SetWindowRgn(st->hwnd, nullptr, TRUE);
            st->shape = std::nullopt;
            return;
        }
        HRGN region = win32::createRegion(*shape);
        if (!region) {
            // An empty shape hides every pixel; GDI makes that from an
            // empty rectangle.
            if (!shape->spans.empty() || !(region = CreateRectRgn(0, 0, 0, 0))) return;
        }
        // The system owns the region from here on, even when the call fails.
        if (!SetWindowRgn(st->hwnd, region, TRUE)) return;
        st->shape = *shape;
    }

    void present(WindowHandle window, const Bitmap& frame, std::span<const Rect> dirty) override {
        WindowState* st = find(window);
        if (!st || frame.empty()) return;
        HDC dc = GetDC(st->hwnd);
        if (!dc) return;
        for (const Rect& area : dirty) {
            const Rect r = area.intersect(frame.bounds());
            if (r.empty()) continue;
            // The rows of the dirty rectangle, described as a top-down DIB
            // exactly that tall, so no scan-line arithmetic is involved.
            BITMAPINFO info{};
            info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
            info.bmiHeader.biWidth = frame.width();
            info.bmiHeader.biHeight = -r.height;
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            info.bmiHeader.biCompression = BI_RGB;
            SetDIBitsToDevice(dc, r.x, r.y, DWORD(r.width), DWORD(r.height), r.x, 0, 0, UINT(r.height),
                              frame.row(r.y), &info, DIB_RGB_COLORS);
        }
        ReleaseDC(st->hwnd, dc);
    }

    void setCursor(WindowHandle window, const PictureRef& picture) override {
        WindowState* st = find(window);
        if (!st) return;
        HCURSOR cursor = nullptr;
        if (picture && !picture->image().empty())
            cursor = cursors_.obtain(
                picture, [](const Picture& p) { return makeIcon(p, false); },
                [&](HCURSOR c) { return shown(c); }, DestroyCursor);
        if (cursor == st->cursor) return;
        st->cursor = cursor;
        // The system asks again (WM_SETCURSOR) only when the pointer moves;
        // a pointer resting over the window gets the new shape now.
        POINT pointer{};
        if (GetCursorPos(&pointer) && (WindowFromPoint(pointer) == st->hwnd || GetCapture() == st->hwnd))
            SetCursor(cursor ? cursor : arrow());
    }

    void openDocument(const DocumentRequest& request) override {
        WindowState* st = request.owner != kNoWindow ? find(request.owner) : nullptr;
        HWND ownerWindow = st ? st->hwnd : nullptr;
        // ShellExecute may take its time (it starts the browser, and can
        // wait on it); a worker thread of its own lets the card run on.
        try {
            std::thread([=] {
                const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
                ShellExecuteA(ownerWindow, request.operation.c_str(), request.file.c_str(),
                              request.parameters.c_str(), request.directory.c_str(), request.showCommand);
                if (SUCCEEDED(com)) CoUninitialize();
            }).detach();
        } catch (const std::system_error&) {
            // No thread to be had: the page stays closed, as a failed open would.
        }
    }

    void reportError(const std::string& message) override {
        std::fprintf(stderr, "%s\n", message.c_str());
        std::fflush(stderr);
        MessageBoxW(nullptr, utf16(message).c_str(), L"Velmora", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    }

    double monotonicSeconds() override {
        LARGE_INTEGER now{};
        QueryPerformanceCounter(&now);
        return double(now.QuadPart) / ticksPerSecond_;
    }

    LocalDateTime localNow() override {
        SYSTEMTIME t{};
        GetLocalTime(&t);
        return localDateTime(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds / 1000.0);
    }

    std::optional<Event> waitEvent(double deadline) override {
        for (;;) {
            if (std::optional<Event> e = queue_.pop()) return e;
            MSG message;
            if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&message);
                continue;
            }
            const double now = monotonicSeconds();
            if (now >= deadline) return std::nullopt;
            const DWORD timeout = std::isfinite(deadline) ? win32::waitMilliseconds(deadline - now) : INFINITE;
            // A timeout with no message pending returns straight away: asking
            // the queue again would cost one more round trip (a server call
            // under Wine) on every tick of the 64-a-second show timer.
            if (MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_TIMEOUT &&
                monotonicSeconds() >= deadline)
                return std::nullopt;
        }
    }

    std::string executablePath() override {
        std::wstring path(MAX_PATH, L'\0');
        for (;;) {
            const DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
            if (n == 0) return {};
            if (n < path.size()) {
                path.resize(n);
                return utf8(path);
            }
            if (path.size() >= 32768) return {};  // longer than any Windows path
            path.resize(path.size() * 2);
        }
    }

    // The window procedure's work; false leaves the message to the system.
    bool handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        const auto it = handles_.find(hwnd);
        if (it == handles_.end()) return false;
        const WindowHandle window = it->second;
        WindowState& st = windows_[window];
        result = 0;
        switch (message) {
        case WM_ERASEBKGND:
            result = 1;  // the runtime paints every pixel
            return true;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(hwnd, &paint);
            const RECT& r = paint.rcPaint;
            EndPaint(hwnd, &paint);
            Event e;
            e.type = EventType::Expose;
            e.window = window;
            e.area = Rect{int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top)};
            if (!e.area.empty()) queue_.push(e);
            return true;
        }
        case WM_SETCURSOR:
            if (LOWORD(lParam) != HTCLIENT) return false;
            SetCursor(st.cursor ? st.cursor : arrow());
            result = TRUE;
            return true;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK: {
            const int button = buttonOf(message);
            const bool isDouble = message == WM_LBUTTONDBLCLK;
            const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
            SetCapture(hwnd);
            queue_.pressDecided(window, button, x, y, isDouble);
            return true;
        }
        case WM_LBUTTONUP:
        case WM_MBUTTONUP:
        case WM_RBUTTONUP: {
            const int button = buttonOf(message);
            const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
            if ((wParam & (MK_LBUTTON | MK_MBUTTON | MK_RBUTTON)) == 0 && GetCapture() == hwnd) ReleaseCapture();
            const bool inside = x >= 0 && y >= 0 && x < st.width && y < st.height;
            queue_.release(window, button, x, y, inside);
            return true;
        }
        case WM_MOUSEMOVE: {
            if (!st.trackingLeave) {
                TRACKMOUSEEVENT track{};
                track.cbSize = sizeof track;
                track.dwFlags = TME_LEAVE;
                track.hwndTrack = hwnd;
                st.trackingLeave = TrackMouseEvent(&track) != FALSE;
            }
            const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
            // The system repeats the last position when windows appear or
            // change beneath a resting pointer; only real motion is passed on.
            if (x == st.lastMoveX && y == st.lastMoveY) return true;
            st.lastMoveX = x;
            st.lastMoveY = y;
            queue_.push(EventType::Move, window, x, y, 0);
            return true;
        }
        case WM_MOUSELEAVE: {
            st.trackingLeave = false;
            st.lastMoveX = st.lastMoveY = -1 << 30;
            POINT p{};
            GetCursorPos(&p);
            ScreenToClient(hwnd, &p);
            queue_.push(EventType::Leave, window, int(p.x), int(p.y), 0);
            return true;
        }
        case WM_DPICHANGED:
            // The system moved the window onto a monitor of another density
            // (the card has no frame, so never the user: a monitor unplugged
            // or rearranged). The runtime took its device scale once, at
            // start, and draws, shapes and reads the pointer at that scale.
            // The suggested rectangle is the window scaled to the new
            // density: taking it would leave the framebuffer and the shape
            // covering only part of the window, or spilling past it. So the
            // message ends here, with no default handling that could apply
            // it, and the window keeps its pixels: larger or smaller to the
            // eye than before, but whole.
            return true;
        case WM_CLOSE:
            queue_.push(EventType::CloseRequest, window);
            return true;
        case WM_DESTROY:
            // Only a window the runtime did not destroy itself is still known
            // here: it is gone, so it is forgotten and the runtime told.
            windows_.erase(window);
            handles_.erase(hwnd);
            queue_.forget(window);
            queue_.push(EventType::Destroyed, window);
            return true;
        default:
            return false;
        }
    }

private:
    WindowState* find(WindowHandle window) {
        const auto it = windows_.find(window);
        return it == windows_.end() ? nullptr : &it->second;
    }

    static int buttonOf(UINT message) {
        switch (message) {
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK:
        case WM_MBUTTONUP: return 2;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
        case WM_RBUTTONUP: return 3;
        default: return 1;
        }
    }

    HCURSOR arrow() {
        if (!arrow_) arrow_ = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
        return arrow_;
    }

    // The icon made from the picture; icons are kept for good, as windows
    // keep using them.
    HICON cachedIcon(const PictureRef& picture) {
        return icons_.obtain(
            picture, [](const Picture& p) { return makeIcon(p, true); }, [](HICON) { return true; }, DestroyIcon);
    }

    // True when a window shows the cursor.
    bool shown(HCURSOR cursor) const {
        for (const auto& [w, st] : windows_)
            if (st.cursor == cursor) return true;
        return false;
    }

    // The monitor's density, else the system's, else the screen's; 96 when
    // nothing answers.
    double monitorDpi(HMONITOR monitor) {
        UINT dpi = 0;
        if (getDpiForMonitor_ && monitor) {
            UINT dpiX = 0, dpiY = 0;
            if (SUCCEEDED(getDpiForMonitor_(monitor, kEffectiveDpi, &dpiX, &dpiY))) dpi = dpiX;
        }
        if (dpi == 0 && getDpiForSystem_) dpi = getDpiForSystem_();
        if (dpi == 0) {
            if (HDC screen = GetDC(nullptr)) {
                dpi = UINT(std::max(0, GetDeviceCaps(screen, LOGPIXELSX)));
                ReleaseDC(nullptr, screen);
            }
        }
        return dpi > 0 ? double(dpi) : 96.0;
    }

    HINSTANCE instance_;
    double ticksPerSecond_ = 1.0;
    bool timerPeriodSet_ = false;
    GetDpiForSystemFunction getDpiForSystem_ = nullptr;
    HMODULE shcore_ = nullptr;
    GetDpiForMonitorFunction getDpiForMonitor_ = nullptr;
    std::map<WindowHandle, WindowState> windows_;
    std::map<HWND, WindowHandle> handles_;
    WindowHandle nextHandle_ = 1;
    EventQueue queue_;
    HCURSOR arrow_ = nullptr;
    PictureCache<HCURSOR> cursors_;
    // Kept for good: never full, as windows keep using their icons.
    PictureCache<HICON> icons_{std::numeric_limits<std::size_t>::max()};
};

LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, LONG_PTR(create->lpCreateParams));
    }
    auto* platform = reinterpret_cast<Win32Platform*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    LRESULT result = 0;
    if (platform && platform->handle(hwnd, message, wParam, lParam, result)) return result;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

std::unique_ptr<Platform> makeWin32Platform(std::string& error) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    // The executable's own icon (none in the test programs).
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconResource));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = nullptr;        // set in WM_SETCURSOR
    windowClass.hbrBackground = nullptr;  // the runtime paints every pixel
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassExW(&windowClass)) {
        error = "cannot register the window class (system error " + std::to_string(GetLastError()) + ")";
        MessageBoxW(nullptr, utf16("velmora: " + error).c_str(), L"Velmora", MB_OK | MB_ICONERROR);
        return nullptr;
    }
    return std::make_unique<Win32Platform>(instance);
}

}  // namespace rt::platform
