// The Win32 backend: user32 and GDI, no toolkit.
//
// What it implements:
//  - windows: WS_POPUP top-level windows without a frame, kept out of the
//    taskbar (WS_EX_TOOLWINDOW) unless asked otherwise, placed where the
//    runtime says; one window class with CS_DBLCLKS and no background brush
//    (WM_ERASEBKGND does nothing: every pixel comes from the runtime); the
//    icon from WindowOptions::icon, handed to WM_SETICON at the small and
//    big icon sizes of the window's density (the picture's best drawing,
//    averaged down to each size), else the executable's first icon
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
//  - WM_DPICHANGED: the window keeps its size in device pixels, and gets
//    its icons and its cursor anew at the new density (see there).
//  - setWindowShape: the runtime's pixel spans as banded rectangles,
//    ExtCreateRegion, SetWindowRgn (the system owns the region only once
//    the call succeeds; a refused one is deleted); skipped when unchanged.
//  - present: each dirty rectangle with SetDIBitsToDevice straight from the
//    framebuffer (0xAARRGGBB words are BI_RGB 32-bit pixels), and into the
//    window's copy of what it shows. WM_PAINT paints from that copy between
//    BeginPaint and EndPaint, so a window is drawn the moment it is shown
//    (the first present happens while it is hidden, where GDI keeps
//    nothing); only a window with nothing presented yet asks the runtime
//    (Expose).
//  - setCursor: the arrow, or a full-colour cursor made from the picture
//    (CreateIconIndirect) at the window's density: the runtime's cursor is
//    drawn for the scale it took at start, so at 125 % to 175 % it is
//    enlarged to the system's pointer size; cached per picture and size and
//    set in WM_SETCURSOR.
//  - pointer events: Press, Release, Move, Leave (TrackMouseEvent), Click
//    and the system's DoubleClick (WM_LBUTTONDBLCLK), in the order of
//    ClickTracker; the pointer is captured while a button is down, and a
//    capture taken away (WM_CAPTURECHANGED) releases the buttons held as
//    outside the window: a Release each, no Click.
//  - setWindowOwner: the owner window (GWLP_HWNDPARENT), which keeps a modal
//    window above the window it blocks.
//  - openDocument: ShellExecuteW with the strings in UTF-16 and no owner
//    window, on a detached worker thread with COM initialised, so the card
//    never waits for the browser (an error box the shell shows would
//    otherwise be owned across threads and tie their input together).
//  - reportError: a message box (and the same line on stderr).
//  - clocks: QueryPerformanceCounter, and the local time with milliseconds.
//  - waitEvent: queued events first, then the message queue, then
//    MsgWaitForMultipleObjectsEx until the runtime's next deadline, on a
//    high-resolution waitable timer (CreateWaitableTimerExW with
//    CREATE_WAITABLE_TIMER_HIGH_RESOLUTION: Windows 10 1803 and later), which
//    ends the wait on time without touching the system's timer period.
//    Where there is none, the wait is in whole milliseconds, and the system
//    timer period is 1 ms (timeBeginPeriod) only while a deadline is due
//    within the next tick of the default 15.6 ms clock; a longer wait ends
//    one tick early at the default period and then waits out the rest
//    finely. Either way the 1/64 s timer grid holds.
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

// The bitmap averaged down (or spread out) to width x height: each pixel
// is the mean of the source area it covers, partly covered source pixels
// counting by their share, in premultiplied colour so that transparent
// pixels lend no colour to the edges. Alpha stays straight, as icons take it.
Bitmap resampled(const Bitmap& source, int width, int height) {
    if (source.width() == width && source.height() == height) return source;
    Bitmap out(width, height, 0);
    const double sx = double(source.width()) / width, sy = double(source.height()) / height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double a = 0, r = 0, g = 0, b = 0, area = 0;
            const double x0 = x * sx, x1 = (x + 1) * sx, y0 = y * sy, y1 = (y + 1) * sy;
            for (int v = int(y0); v < std::min(int(std::ceil(y1)), source.height()); ++v)
                for (int u = int(x0); u < std::min(int(std::ceil(x1)), source.width()); ++u) {
                    const double share = (std::min(x1, u + 1.0) - std::max(x0, double(u))) *
                                         (std::min(y1, v + 1.0) - std::max(y0, double(v)));
                    const Pixel p = source.at(u, v);
                    const double alpha = pixelAlpha(p) * share;
                    a += alpha;
                    r += pixelRed(p) * alpha;
                    g += pixelGreen(p) * alpha;
                    b += pixelBlue(p) * alpha;
                    area += share;
                }
            if (a <= 0 || area <= 0) continue;
            const auto channel = [](double v) { return Pixel(std::clamp(int(std::lround(v)), 0, 255)); };
            out.at(x, y) = channel(a / area) << 24 | channel(r / a) << 16 | channel(g / a) << 8 | channel(b / a);
        }
    return out;
}

// A full-colour icon or cursor from a picture at width x height pixels,
// from its best drawing for that size: a 32-bit top-down colour bitmap
// carrying the picture's alpha, and the AND mask made from it.
HICON makeIcon(const Picture& picture, bool isIcon, int width, int height) {
    if (picture.width() <= 0 || picture.height() <= 0 || width <= 0 || height <= 0) return nullptr;
    const int factor = (std::max(width, height) + std::max(picture.width(), picture.height()) - 1) /
                       std::max(picture.width(), picture.height());
    const Bitmap image = resampled(picture.drawingFor(std::max(1, factor)).image(), width, height);
    const int w = image.width(), h = image.height();
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
            const bool transparent = pixelAlpha(p) == 0;  // else blended by its alpha
            out[std::size_t(y) * w + x] = transparent ? 0u : p;
            if (transparent) mask[std::size_t(y) * maskStride + x / 8] |= std::uint8_t(0x80 >> (x % 8));
        }
    HBITMAP maskBitmap = CreateBitmap(w, h, 1, 1, mask.data());
    ICONINFO icon{};
    icon.fIcon = isIcon ? TRUE : FALSE;
    icon.xHotspot = DWORD(std::clamp(picture.hotspotX * w / picture.width(), 0, w - 1));
    icon.yHotspot = DWORD(std::clamp(picture.hotspotY * h / picture.height(), 0, h - 1));
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
    PictureRef cursorPicture; // what cursor was made from, at dpi
    PictureRef icon;          // the window's icon picture; null: the executable's
    double dpi = 96.0;        // the density of the window's monitor
    Bitmap shown;             // the pixels last presented, for WM_PAINT
    unsigned buttonsDown = 0; // bit n: button n was pressed here and not yet released
    bool trackingLeave = false;
    int lastMoveX = -1 << 30, lastMoveY = -1 << 30;
};

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

class Win32Platform final : public Platform {
public:
    explicit Win32Platform(HINSTANCE instance) : instance_(instance) {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        ticksPerSecond_ = double(frequency.QuadPart);
        // A waitable timer of 0.5 ms resolution or so, which leaves the
        // system's timer period alone; older systems refuse the flag (and
        // the fallback in waitEvent takes over).
        if (HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll"))
            if (auto create = reinterpret_cast<CreateWaitableTimerExWFunction>(
                    reinterpret_cast<void*>(GetProcAddress(kernel32, "CreateWaitableTimerExW"))))
                timer_ = create(nullptr, nullptr, kHighResolutionTimer, SYNCHRONIZE | TIMER_MODIFY_STATE);
        queue_.clicks().setIntervalMs(GetDoubleClickTime());
        if (HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
            getDpiForSystem_ =
                reinterpret_cast<GetDpiForSystemFunction>(reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForSystem")));
            getSystemMetricsForDpi_ = reinterpret_cast<GetSystemMetricsForDpiFunction>(
                reinterpret_cast<void*>(GetProcAddress(user32, "GetSystemMetricsForDpi")));
        }
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
        if (timer_) CloseHandle(timer_);
        setFinePeriod(false);
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
        // The runtime takes its device scale from the first answer (and
        // keeps it): the scale its cursor pictures are drawn for.
        if (runtimeScale_ == 0) runtimeScale_ = deviceScale(m);
        return m;
    }

    WindowHandle createWindow(const WindowOptions& o) override {
        const int width = std::max(1, o.width), height = std::max(1, o.height);
        const DWORD exStyle = o.showInTaskbar ? WS_EX_APPWINDOW : WS_EX_TOOLWINDOW;
        HWND hwnd = CreateWindowExW(exStyle, kClassName, utf16(o.title).c_str(), WS_POPUP, o.x, o.y, width, height,
                                    nullptr, nullptr, instance_, this);
        if (!hwnd) return kNoWindow;
        const WindowHandle handle = nextHandle_++;
        WindowState state;
        state.hwnd = hwnd;
        state.width = width;
        state.height = height;
        state.dpi = monitorDpi(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST));
        if (o.icon && !o.icon->image().empty()) state.icon = o.icon;
        windows_[handle] = state;
        handles_[hwnd] = handle;
        applyIcons(windows_[handle]);
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
        // The pixels presented while hidden, painted now (WM_PAINT) rather
        // than once the runtime is back in its loop.
        if (visible) UpdateWindow(st->hwnd);
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
        // The system owns the region once the call succeeds; until then it
        // is ours.
        if (!SetWindowRgn(st->hwnd, region, TRUE)) {
            DeleteObject(region);
            return;
        }
        st->shape = *shape;
    }

    void present(WindowHandle window, const Bitmap& frame, std::span<const Rect> dirty) override {
        WindowState* st = find(window);
        if (!st || frame.empty()) return;
        // The window's copy of its pixels: whole when the size changed.
        const bool whole = st->shown.width() != frame.width() || st->shown.height() != frame.height();
        if (whole) st->shown = frame;
        for (const Rect& area : dirty) {
            const Rect r = area.intersect(frame.bounds());
            for (int y = r.y; !whole && y < r.bottom(); ++y)
                std::copy(frame.row(y) + r.x, frame.row(y) + r.right(), st->shown.row(y) + r.x);
        }
        // A hidden window keeps none of what GDI draws on it.
        if (!IsWindowVisible(st->hwnd)) return;
        HDC dc = GetDC(st->hwnd);
        if (!dc) return;
        for (const Rect& area : dirty) paint(dc, frame, area.intersect(frame.bounds()));
        ReleaseDC(st->hwnd, dc);
    }

    void setCursor(WindowHandle window, const PictureRef& picture) override {
        WindowState* st = find(window);
        if (!st) return;
        st->cursorPicture = picture && !picture->image().empty() ? picture : nullptr;
        applyCursor(*st);
    }

    void openDocument(const DocumentRequest& request) override {
        // ShellExecute may take its time (it starts the browser, and can
        // wait on it); a worker thread of its own lets the card run on. No
        // owner window: one of the card's windows would belong to the main
        // thread, and an error box the shell showed for it from here would
        // join the two threads' input.
        const std::wstring verb = utf16(request.operation), path = utf16(request.file),
                           arguments = utf16(request.parameters), folder = utf16(request.directory);
        const int showCommand = request.showCommand;
        const auto text = [](const std::wstring& s) { return s.empty() ? nullptr : s.c_str(); };
        try {
            std::thread([=] {
                const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
                ShellExecuteW(nullptr, text(verb), path.c_str(), text(arguments), text(folder), showCommand);
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
            const double left = deadline - now;
            DWORD timeout = INFINITE;
            DWORD handles = 0;
            if (!std::isfinite(deadline)) {
                setFinePeriod(false);
            } else if (timer_ && (deadline == timerDeadline_ || setTimer(deadline, left))) {
                handles = 1;  // the timer ends the wait (set already when a message woke the last one)
            } else if (left > kSystemTick) {
                // At the default period: back one tick before the deadline
                // at the latest, and the rest finely.
                setFinePeriod(false);
                timeout = win32::waitMilliseconds(left - kSystemTick);
            } else {
                setFinePeriod(true);
                timeout = win32::waitMilliseconds(left);
            }
            // A timeout with no message pending returns straight away: asking
            // the queue again would cost one more round trip (a server call
            // under Wine) on every tick of the 64-a-second show timer.
            const DWORD woken = MsgWaitForMultipleObjectsEx(handles, &timer_, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            if (handles && woken == WAIT_OBJECT_0) timerDeadline_ = kNotSet;  // fired, and reset by the wait
            if ((woken == WAIT_TIMEOUT || (handles && woken == WAIT_OBJECT_0)) && monotonicSeconds() >= deadline)
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
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            const RECT& r = ps.rcPaint;
            const Rect area{int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top)};
            // What the runtime presented last, painted before EndPaint
            // validates the area: no undrawn frame ever reaches the screen.
            const Rect kept = area.intersect(st.shown.bounds());
            if (dc && !kept.empty()) paint(dc, st.shown, kept);
            EndPaint(hwnd, &ps);
            // Only what no present has covered yet is left to the runtime.
            if (!area.empty() && kept != area) {
                Event e = makeEvent(EventType::Expose, window);
                e.area = area;
                queue_.push(e);
            }
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
            st.buttonsDown |= 1u << button;
            queue_.pressDecided(window, button, x, y, isDouble);
            return true;
        }
        case WM_LBUTTONUP:
        case WM_MBUTTONUP:
        case WM_RBUTTONUP: {
            const int button = buttonOf(message);
            const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
            // A press whose capture was taken away has had its release.
            if (!(st.buttonsDown & (1u << button))) return true;
            st.buttonsDown &= ~(1u << button);
            if ((wParam & (MK_LBUTTON | MK_MBUTTON | MK_RBUTTON)) == 0 && GetCapture() == hwnd) ReleaseCapture();
            const bool inside = x >= 0 && y >= 0 && x < st.width && y < st.height;
            queue_.release(window, button, x, y, inside);
            return true;
        }
        case WM_CAPTURECHANGED: {
            // Another window took the pointer (a menu, a drag, a system
            // box) while buttons were down here: their releases will go
            // there. Each counts as a release outside the window.
            if (HWND(lParam) == hwnd || st.buttonsDown == 0) return true;
            POINT p{};
            GetCursorPos(&p);
            ScreenToClient(hwnd, &p);
            for (int button = 1; button <= 3; ++button) {
                if (!(st.buttonsDown & (1u << button))) continue;
                queue_.release(window, button, int(p.x), int(p.y), false);
            }
            st.buttonsDown = 0;
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
            // eye than before, but whole. What the system draws for it, its
            // icons and its pointer, take the new density: they should match
            // the system's own at that density.
            st.dpi = LOWORD(wParam) ? double(LOWORD(wParam)) : st.dpi;
            applyIcons(st);
            applyCursor(st);
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

    // The rows of the rectangle, described as a top-down DIB exactly that
    // tall, so no scan-line arithmetic is involved.
    static void paint(HDC dc, const Bitmap& frame, const Rect& r) {
        if (r.empty()) return;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = frame.width();
        info.bmiHeader.biHeight = -r.height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        SetDIBitsToDevice(dc, r.x, r.y, DWORD(r.width), DWORD(r.height), r.x, 0, 0, UINT(r.height), frame.row(r.y),
                          &info, DIB_RGB_COLORS);
    }

    // The system's small or big icon size at a density: 16 and 32 pixels
    // at 96 dpi, 20 and 40 at 120.
    int iconSize(bool small, double dpi) const {
        const int metric = small ? SM_CXSMICON : SM_CXICON;
        const int n = getSystemMetricsForDpi_ ? getSystemMetricsForDpi_(metric, UINT(dpi)) : 0;
        return n > 0 ? n : int(std::lround((small ? 16 : 32) * dpi / 96.0));
    }

    // The window's icon picture at the small and big sizes of its density.
    void applyIcons(WindowState& st) {
        if (!st.icon) return;
        for (const bool small : {true, false}) {
            const int size = iconSize(small, st.dpi);
            const HICON icon = icons_.obtain(
                st.icon, size, [&](const Picture& p) { return makeIcon(p, true, size, size); },
                [](HICON) { return true; }, DestroyIcon);
            if (icon) SendMessageW(st.hwnd, WM_SETICON, small ? ICON_SMALL : ICON_BIG, LPARAM(icon));
        }
    }

    // The window's cursor picture, drawn for the runtime's scale, at the
    // size that scale stands for on the window's monitor.
    void applyCursor(WindowState& st) {
        HCURSOR cursor = nullptr;
        if (st.cursorPicture) {
            if (runtimeScale_ == 0) screen();
            const double ratio = st.dpi / (96.0 * std::max(1, runtimeScale_));
            const int w = std::max(1, int(std::lround(st.cursorPicture->width() * ratio)));
            const int h = std::max(1, int(std::lround(st.cursorPicture->height() * ratio)));
            cursor = cursors_.obtain(
                st.cursorPicture, w, [&](const Picture& p) { return makeIcon(p, false, w, h); },
                [&](HCURSOR c) { return shown(c); }, DestroyCursor);
        }
        if (cursor == st.cursor) return;
        st.cursor = cursor;
        // The system asks again (WM_SETCURSOR) only when the pointer moves;
        // a pointer resting over the window gets the new shape now.
        POINT pointer{};
        if (GetCursorPos(&pointer) && (WindowFromPoint(pointer) == st.hwnd || GetCapture() == st.hwnd))
            SetCursor(cursor ? cursor : arrow());
    }

    // Sets the waitable timer to fire `seconds` from now, at `deadline`.
    bool setTimer(double deadline, double seconds) {
        LARGE_INTEGER due{};
        due.QuadPart = -std::max<LONGLONG>(1, LONGLONG(std::ceil(seconds * 1e7)));  // relative, 100 ns units
        const bool set = SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE) != FALSE;
        timerDeadline_ = set ? deadline : kNotSet;
        return set;
    }

    // The fallback's 1 ms system timer period, held only while needed.
    void setFinePeriod(bool fine) {
        if (fine == finePeriod_) return;
        if (fine)
            finePeriod_ = timeBeginPeriod(1) == TIMERR_NOERROR;
        else {
            timeEndPeriod(1);
            finePeriod_ = false;
        }
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
