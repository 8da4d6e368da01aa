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
//  - prefersReducedMotion: SPI_GETCLIENTAREAANIMATION off ("Show animations
//    in Windows" unticked).
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
#include "win32_internal.h"

#include <algorithm>
#include <memory>
#include <string>

namespace rt::platform {
namespace win32 {

// Looks up what this Windows offers (the waitable timer, the density calls) and starts the clocks.
Win32Platform::Win32Platform(HINSTANCE instance) : instance_(instance) {
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

// Destroys the windows left, frees the cursors and icons, and hands back the timer.
Win32Platform::~Win32Platform() {
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

// The work area and density of the monitor under the pointer.
ScreenMetrics Win32Platform::screen() {
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

// The system's "Show animations in Windows" switch, off: the user asked for
// less motion. A system that cannot answer plays animations.
bool Win32Platform::prefersReducedMotion() {
    BOOL animations = TRUE;
    if (!SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &animations, 0)) return false;
    return !animations;
}

// The monitor's density, else the system's, else the screen's; 96 when
// nothing answers.
double Win32Platform::monitorDpi(HMONITOR monitor) {
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

}  // namespace win32

// Registers the window class and makes the backend.
std::unique_ptr<Platform> makeWin32Platform(std::string& error) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = win32::windowProcedure;
    windowClass.hInstance = instance;
    // The executable's own icon (none in the test programs).
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(win32::kIconResource));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(win32::kIconResource), IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = nullptr;        // set in WM_SETCURSOR
    windowClass.hbrBackground = nullptr;  // the runtime paints every pixel
    windowClass.lpszClassName = win32::kClassName;
    if (!RegisterClassExW(&windowClass)) {
        error = "cannot register the window class (system error " + std::to_string(GetLastError()) + ")";
        MessageBoxW(nullptr, win32::utf16("velmora: " + error).c_str(), L"Velmora", MB_OK | MB_ICONERROR);
        return nullptr;
    }
    return std::make_unique<win32::Win32Platform>(instance);
}

}  // namespace rt::platform
