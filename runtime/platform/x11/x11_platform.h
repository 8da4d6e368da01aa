// The X11 backend of the Platform interface, straight on Xlib with the SHAPE
// extension. No Xlib header leaks out of this file: the runtime and the tests
// see only the factory and the few pure pieces of logic below, which the
// backend uses and the unit tests check without a display.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../../graphics/geometry.h"
#include "../platform.h"

namespace rt::platform {

// Opens the display named by $DISPLAY and returns the backend, or null with a
// one-line reason in `error` when the display cannot be opened.
std::unique_ptr<Platform> makeX11Platform(std::string& error);

namespace x11 {

// Turns pointer presses and releases into clicks and double-clicks, the way
// the forms runtime expects them: Press, Release, Click, Press, DoubleClick,
// Release. Only button 1 clicks. A second press of button 1 on the same
// window, within `intervalMs` of the first press and within `slopPixels` of
// it on both axes, is a double-click; its release gives no Click, and the
// press after it starts a new pair. Times are X server milliseconds, which
// wrap around at 2^32.
class ClickTracker {
public:
    explicit ClickTracker(std::uint32_t intervalMs = 400, int slopPixels = 4)
        : intervalMs_(intervalMs), slopPixels_(slopPixels) {}

    // True when this press is the second press of a double-click.
    bool press(std::uint32_t window, int button, int x, int y, std::uint32_t timeMs);
    // True when this release completes a Click: button 1, released over
    // (`inside`) the same window the press went down on, and the press was
    // not the second press of a double-click.
    bool release(std::uint32_t window, int button, bool inside);
    // Forgets everything, e.g. when the window goes away.
    void reset();

    std::uint32_t intervalMs() const { return intervalMs_; }
    void setIntervalMs(std::uint32_t ms) { intervalMs_ = ms; }

private:
    std::uint32_t intervalMs_;
    int slopPixels_;
    // The press now held down, if any.
    std::uint32_t downWindow_ = 0;
    int downButton_ = 0;
    bool downWasDouble_ = false;
    // The first press of a possible double-click.
    bool armed_ = false;
    std::uint32_t armedWindow_ = 0;
    int armedX_ = 0, armedY_ = 0;
    std::uint32_t armedTime_ = 0;
};

// The desktop's pixel density from the X resource string (the root window's
// RESOURCE_MANAGER, as XResourceManagerString returns it): the value of
// Xft.dpi when it is there and a sensible positive number, else nothing.
std::optional<double> xftDpiFromResources(const char* resources);

// The double-click interval from the XSETTINGS blob the desktop's settings
// daemon publishes (property _XSETTINGS_SETTINGS): the integer setting
// Net/DoubleClickTime in milliseconds, or nothing when it is absent or the
// blob is malformed.
std::optional<int> doubleClickTimeFromXSettings(const std::uint8_t* data, std::size_t size);

// What the backend needs to know of one of the screen's visuals to choose
// the one its windows use.
struct VisualDescription {
    bool trueColor = false;  // the TrueColor class: fixed, read-only colours
    int depth = 0;           // significant bits of a pixel
    unsigned long redMask = 0, greenMask = 0, blueMask = 0;
    int bitsPerPixel = 0;    // bits a pixel takes in a ZPixmap image of that depth
    bool isDefault = false;  // the screen's default visual (the root window's)
};

// The visual to draw with: the position of the best in `visuals`, or nothing
// when no visual can show the framebuffer. Only TrueColor visuals with three
// disjoint, contiguous channel masks of 5 to 16 bits qualify, in 32-bit
// pixels (depth 24 or more) or 16-bit pixels (depth 15 or 16). The order of
// preference: full colour in 32-bit pixels, the default visual first, then
// depth 24 before deeper ones (a depth-32 visual carries alpha, which a
// compositing manager may honour); then 16-bit pixels, the default first.
// Within a rank, the framebuffer's own layout (red 0xFF0000, green 0xFF00,
// blue 0xFF), which needs no conversion, and then the first listed.
std::optional<std::size_t> chooseVisual(const std::vector<VisualDescription>& visuals);

// True when pixels of the visual are exactly the framebuffer's 0xAARRGGBB
// words, so the framebuffer can go to the server unconverted.
bool storesFramebufferPixels(const VisualDescription& visual);

// A position on the screen, pixels.
struct ScreenPoint {
    int x = 0;
    int y = 0;
};

// The monitor to centre windows on, among the monitors' rectangles in screen
// pixels: the one that holds the pointer (the primary one when monitors
// overlap there), else the primary one (`primary` indexes `monitors`, or is
// negative when none is marked), else the first. Nothing when there is no
// monitor of non-zero size. Without a pointer position (the pointer is on
// another screen) the primary one is chosen.
std::optional<Rect> chooseMonitor(const std::vector<Rect>& monitors, std::optional<ScreenPoint> pointer,
                                  int primary);

// The rectangles of a region, YX-banded as the SHAPE extension wants them:
// one rectangle a span, with runs of consecutive rows that hold identical
// spans merged into one band of taller rectangles.
std::vector<Rect> shapeRectangles(const Region& region);

}  // namespace x11
}  // namespace rt::platform
