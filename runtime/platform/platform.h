// The Platform interface: everything the forms runtime needs from the
// windowing system, and nothing more. A backend knows windows, pixels,
// shapes and pointer events; it never knows what a control is.
//
// Backends: platform/headless (virtual clock, injected events, kept
// framebuffers; used by tests), platform/x11 (Xlib with SHAPE),
// platform/win32 (native Windows) and platform/web (canvases in a page).
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "../graphics/bitmap.h"
#include "../graphics/geometry.h"
#include "../graphics/picture.h"

namespace rt::platform {

using WindowHandle = std::uint32_t;  // 0 is never a window
constexpr WindowHandle kNoWindow = 0;

struct WindowOptions {
    int x = 0;  // outer top-left corner on the screen, pixels
    int y = 0;
    int width = 1;  // outer size in pixels; the framebuffer has this size
    int height = 1;
    bool showInTaskbar = false;
    PictureRef icon;     // may be null
    std::string title;   // for the window manager; never drawn
};

enum class EventType {
    Expose,       // the window needs its pixels again (area in `area`)
    Press,        // a pointer button went down
    Release,      // a pointer button went up
    Move,         // the pointer moved over the window
    Leave,        // the pointer left the window
    Click,        // press and release on the same window (after Release)
    DoubleClick,  // the second press of a double-click (after that Press)
    CloseRequest, // the window manager asks the window to close
    Destroyed     // someone else destroyed the window; it is gone for good
};

struct Event {
    EventType type = EventType::Expose;
    WindowHandle window = kNoWindow;
    int x = 0;  // pointer position in the window, device pixels
    int y = 0;
    // Press, Release, Click, DoubleClick: 1 left, 2 middle, 3 right.
    // Move and Leave: 0, no button. Unused by the other events.
    int button = 1;
    Rect area;       // Expose only
};

// The desktop's density. Every Platform call works in device pixels: the
// pixels of the screen. On a high-density screen the runtime draws each of
// its logical pixels as scale x scale device pixels and works at dpi / scale
// dots per inch, so windows keep their design at any density.
//
// A backend reports the screen's density in dpi (Xft.dpi, the monitor's DPI)
// and leaves scale at 0; the runtime then takes the whole part of dpi / 96,
// at least 1 (96 to 191 dpi: 1, 192 to 287: 2, 288 and up: 3). A backend
// whose desktop states its scale outright (GDK_SCALE) reports it in scale,
// 1 to 4, and the runtime takes it as it is.
struct ScreenMetrics {
    Rect monitor{0, 0, 1024, 768};  // the monitor to centre windows on, device pixels
    double dpi = 96.0;              // dots per inch of the desktop, device pixels
    int scale = 0;                  // device pixels per logical pixel; 0: from dpi
};

// The device scale the runtime works at for these metrics: an explicit
// scale of 1 to 4 as it is; otherwise from the density, at most 3.
inline int deviceScale(const ScreenMetrics& metrics) {
    if (metrics.scale >= 1 && metrics.scale <= 4) return metrics.scale;
    if (!(metrics.dpi >= 192.0)) return 1;
    return metrics.dpi >= 288.0 ? 3 : 2;
}

// A document or web address to open with the desktop's default handler:
// what the program's ShellExecute call names. Each desktop takes what it
// has a use for (Windows all of it, an X11 desktop only the file).
struct DocumentRequest {
    WindowHandle owner = kNoWindow;  // the window asking, kNoWindow for none
    std::string operation = "open";
    std::string file;        // the document or address
    std::string parameters;  // for an executable file
    std::string directory;   // the working folder, empty for the current one
    int showCommand = 1;     // how to show the handler's window (SW_SHOWNORMAL)
    bool operator==(const DocumentRequest&) const = default;
};

// What a window shows that a person can press, described for the
// keyboard and for assistive technology: a backend that has its own
// accessible elements (a page's DOM) keeps them in step with it, and turns
// a key on one into a pointer click at its centre; the others ignore it.
enum class AccessibleRole { Button, Link };

struct AccessibleItem {
    AccessibleRole role = AccessibleRole::Button;
    std::string name;  // what a screen reader says: the caption, or a name for a picture
    Rect bounds;       // device pixels in the window
    bool shown = true;
    bool operator==(const AccessibleItem&) const = default;
};

struct WindowSemantics {
    std::string name;    // the window's accessible name
    bool dialog = false;  // a modal dialog: focus stays inside it while it is shown
    // Text the window shows now that is worth reading aloud once (the
    // greeting once the panel has unrolled); empty for none.
    std::string announcement;
    std::vector<AccessibleItem> items;  // front to back
    bool operator==(const WindowSemantics&) const = default;
};

struct LocalDateTime {
    int year = 2000, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0;
    double secondsSinceMidnight = 0.0;  // with fractions
};

class Platform {
public:
    virtual ~Platform() = default;

    virtual ScreenMetrics screen() = 0;

    // Creates a hidden top-level window without decorations. Sizes,
    // positions, framebuffers, shapes and cursor pictures are all in device
    // pixels.
    virtual WindowHandle createWindow(const WindowOptions& options) = 0;
    virtual void destroyWindow(WindowHandle window) = 0;
    virtual void setWindowBounds(WindowHandle window, const Rect& outer) = 0;
    virtual void setWindowVisible(WindowHandle window, bool visible) = 0;
    // Keeps the window above its owner while both are shown, as a modal
    // window stays above the window it blocks; kNoWindow: no owner.
    virtual void setWindowOwner(WindowHandle window, WindowHandle owner) = 0;
    // Gives the window a shape for drawing and pointer input; null restores
    // the plain rectangle. A backend may skip a shape equal to the current one.
    virtual void setWindowShape(WindowHandle window, const Region* shape) = 0;
    // Shows the given parts of the window's framebuffer (window-sized).
    virtual void present(WindowHandle window, const Bitmap& frame, std::span<const Rect> dirty) = 0;
    // Shows that the pixels the window showed in `from` now lie moved by
    // (dx, dy), then presents `exposed` (what the move uncovered, and
    // anything else that changed) as present does. `frame` already holds the
    // result. A backend with a native copy on the screen (XCopyArea, BitBlt,
    // a canvas drawn onto itself) copies the pixels it shows and puts only
    // the exposed strips; the fallback presents the moved area whole. Pixels
    // the native copy cannot take from the screen (outside the window's
    // shape, under another window) are presented from `frame`. A backend
    // whose copy costs more than presenting the area (X11 on Xvfb) presents
    // it instead. `from` moved lies inside the window; all in device pixels.
    virtual void presentMove(WindowHandle window, const Bitmap& frame, const Rect& from, int dx, int dy,
                             std::span<const Rect> exposed) {
        std::vector<Rect> areas(exposed.begin(), exposed.end());
        areas.push_back(from.offset(dx, dy).intersect(frame.bounds()));
        present(window, frame, areas);
    }
    // Sets the pointer shape over the window: a cursor picture, or null for
    // the standard arrow.
    virtual void setCursor(WindowHandle window, const PictureRef& cursor) = 0;

    // Describes what the window shows that can be pressed; the runtime
    // calls it whenever that changes. Only a backend with accessible
    // elements of its own keeps it.
    virtual void describeWindow(WindowHandle /*window*/, const WindowSemantics& /*semantics*/) {}

    // Whether the user has asked for less motion (a desktop or browser
    // setting); read once at start.
    virtual bool prefersReducedMotion() { return false; }

    // Opens a document or web address with the desktop's default handler,
    // without a shell and without waiting; failures pass silently. Windows
    // hands the whole request to the shell; an X11 desktop opens the file
    // with xdg-open and has no use for the rest.
    virtual void openDocument(const DocumentRequest& request) = 0;

    // The full path of the running executable, where the backend knows it
    // better than the runtime (Windows); empty leaves it to the runtime.
    virtual std::string executablePath() { return {}; }

    // Tells the user about an error that ends the program, in the
    // desktop's usual way (a line on stderr, a message box); returns once
    // the user has seen it, where the desktop asks for that.
    virtual void reportError(const std::string& message) = 0;

    // A clock that never jumps: seconds from an arbitrary origin.
    virtual double monotonicSeconds() = 0;
    // The local wall-clock date and time.
    virtual LocalDateTime localNow() = 0;

    // Waits until an event arrives or the monotonic clock reaches deadline,
    // whichever is first. A deadline in the past polls; infinity waits for
    // an event. Returns nothing on timeout.
    virtual std::optional<Event> waitEvent(double deadline) = 0;

    static constexpr double kForever = std::numeric_limits<double>::infinity();
};

}  // namespace rt::platform
