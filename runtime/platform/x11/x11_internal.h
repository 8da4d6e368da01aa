// The X11 backend's shared state, for its files only: one file per job
// (start-up, desktop settings, visual, monitors, windows, framebuffer,
// cursors, events), all working on the one X11State of the X11Platform.
// Nothing outside runtime/platform/x11/ includes this header; its files
// include it first.
#pragma once

// The runtime's headers come first: X.h's Expose macro is undefined below.
#include "../event_queue.h"
#include "../picture_cache.h"
#include "../window_shape.h"
#include "x11_platform.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// X.h defines Expose as a macro, which would clash with EventType::Expose.
constexpr int kXExposeEvent = Expose;
#undef Expose

namespace rt::platform::x11 {

// What the backend knows of one of its windows.
struct WindowState {
    int width = 1;
    int height = 1;
    bool visible = false;
    bool showInTaskbar = false;
    WindowShape shape;     // the shape set; none: rectangular
    Cursor cursor = None;  // the cursor defined on it, None for the parent's
    Rect pendingExpose;    // exposed area of the burst in progress
    // With MIT-SHM: an image in a shared segment the size of the window,
    // which holds the window's presented pixels in the visual's layout.
    XImage* sharedImage = nullptr;
    XShmSegmentInfo segment{};
};

// The connection, what the server offers, and every window.
struct X11State {
    Display* display = nullptr;
    int screen = 0;
    Window root = None;
    // The visual the windows use (x11::chooseVisual), not always the
    // screen's default one: a depth-16 desktop often offers a depth-24
    // visual too. Windows of a visual other than the default need their own
    // colormap, and drawing on them a GC made for their depth.
    Visual* visual = nullptr;
    int depth = 24;
    int bitsPerPixel = 32;      // of a ZPixmap image at that depth: 32 or 16
    bool directPixels = false;  // the visual stores 0xAARRGGBB in 32-bit pixels
    unsigned long redMask = 0, greenMask = 0, blueMask = 0;
    Colormap colormap = None;
    bool ownColormap = false;  // made for a visual other than the default
    GC gc = nullptr;           // for drawables of `depth`
    unsigned long black = 0;   // opaque black in the visual's pixels
    bool hasShape = false;
    bool hasRandrMonitors = false;  // RandR 1.5: XRRGetMonitors
    bool hasXinerama = false;
    bool reducedMotion = false;  // the desktop has animations turned off

    Atom wmProtocols = None, wmDeleteWindow = None, netWmPing = None;
    Atom netWmName = None, netWmPid = None, netWmIcon = None, netWmState = None;
    Atom netWmStateSkipTaskbar = None, netWmStateSkipPager = None;
    Atom motifWmHints = None, utf8String = None;

    std::map<Window, WindowState> windows;
    EventQueue queue;  // converted events not yet handed out
    Cursor arrow = None;
    PictureCache<Cursor> cursors;

    // Presenting.
    bool useShm = false;                // the server reads presented pixels from shared memory
    PixelConverter converter;           // the framebuffer's pixels in the visual's layout
    std::vector<std::uint8_t> scratch;  // converted pixels for XPutImage
    unsigned long flushedRequest = 0;   // NextRequest() when the output was last flushed
};

class X11Platform final : public Platform {
public:
    explicit X11Platform(X11State state);
    ~X11Platform() override;

    ScreenMetrics screen() override;  // x11_monitors.cpp
    // x11_windows.cpp
    WindowHandle createWindow(const WindowOptions& options) override;
    void setWindowOwner(WindowHandle window, WindowHandle owner) override;
    void setWindowBounds(WindowHandle window, const Rect& outer) override;
    void setWindowShape(WindowHandle window, const Region* shape) override;
    void setWindowVisible(WindowHandle window, bool visible) override;
    void destroyWindow(WindowHandle window) override;
    // x11_framebuffer.cpp
    void present(WindowHandle window, const Bitmap& frame, std::span<const Rect> dirty) override;
    void presentMove(WindowHandle window, const Bitmap& frame, const Rect& from, int dx, int dy,
                     std::span<const Rect> exposed) override;
    void setCursor(WindowHandle window, const PictureRef& picture) override;                        // x11_cursors.cpp
    // x11_platform.cpp
    void openDocument(const DocumentRequest& request) override;
    void reportError(const std::string& message) override;
    bool prefersReducedMotion() override { return s_.reducedMotion; }
    double monotonicSeconds() override;
    LocalDateTime localNow() override;
    std::optional<Event> waitEvent(double deadline) override;  // x11_events.cpp

private:
    // x11_monitors.cpp
    std::vector<Rect> listMonitors(int& primary);
    // x11_windows.cpp
    WindowState* find(WindowHandle window);
    void setTitle(Window w, const std::string& title);
    void setIcon(Window w, const Picture& icon);
    void setNormalHints(Window w, int x, int y, int width, int height);
    // x11_framebuffer.cpp
    void attachSharedImage(WindowState& st, int width, int height);
    void releaseSharedImage(WindowState& st);
    void putShared(Window w, XImage& image, const Bitmap& frame, const Rect& r);
    void putImage(Window w, const Bitmap& frame, const Rect& r);
    // x11_cursors.cpp
    Cursor makeCursor(const Picture& picture);
    // x11_events.cpp
    void convert(XEvent& xe);

    X11State s_;
};

// x11_platform.cpp: how many X protocol errors the server has reported.
int protocolErrors();
// x11_settings.cpp: what the desktop's XSETTINGS manager publishes, if there
// is one: the double-click interval and whether animations are on.
struct DesktopSettings {
    std::optional<int> doubleClickMs;
    std::optional<bool> animations;
};
DesktopSettings desktopSettings(Display* d, int screen);
// x11_visual.cpp: picks the visual and sets up drawing with it.
bool setUpVisual(X11State& s);

}  // namespace rt::platform::x11
