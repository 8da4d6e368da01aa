// The X11 backend of the Platform interface, straight on Xlib with the SHAPE
// extension. No Xlib header leaks out of the backend's files (their shared
// state is in x11_internal.h): the runtime and the tests see only the
// factory and the few pure pieces of logic below, which the backend uses and
// the unit tests check without a display.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../../graphics/geometry.h"
#include "../click_tracker.h"
#include "../platform.h"

namespace rt::platform {

// Opens the display named by $DISPLAY and returns the backend, or null with a
// one-line reason in `error` when the display cannot be opened.
std::unique_ptr<Platform> makeX11Platform(std::string& error);

namespace x11 {

// Clicks and double-clicks from presses and releases (shared with the
// Win32 backend).
using ClickTracker = platform::ClickTracker;

// The desktop's pixel density from the X resource string (the root window's
// RESOURCE_MANAGER, as XResourceManagerString returns it): the value of
// Xft.dpi when it is there and a sensible positive number, else nothing.
std::optional<double> xftDpiFromResources(const char* resources);

// The device scale the desktop states in GDK_SCALE (the variable's value):
// a whole number from 1 to 4, else nothing.
std::optional<int> gdkScaleFromEnvironment(const char* value);

// The double-click interval from the XSETTINGS blob the desktop's settings
// daemon publishes (property _XSETTINGS_SETTINGS): the integer setting
// Net/DoubleClickTime in milliseconds, or nothing when it is absent or the
// blob is malformed.
std::optional<int> doubleClickTimeFromXSettings(const std::uint8_t* data, std::size_t size);

// Whether the desktop plays animations, from the same blob: the integer
// setting Gtk/EnableAnimations, 0 when the user has turned them off (asked
// for less motion); nothing when it is absent or the blob is malformed.
std::optional<bool> animationsFromXSettings(const std::uint8_t* data, std::size_t size);

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

// How a TrueColor visual stores a pixel in a ZPixmap image: the channel
// masks, the bits a pixel takes (16 for the 15- and 16-bit visuals, 32 for
// the 24- and 32-bit ones) and the image's byte order.
struct PixelLayout {
    std::uint32_t redMask = 0xFF0000;
    std::uint32_t greenMask = 0x00FF00;
    std::uint32_t blueMask = 0x0000FF;
    int bitsPerPixel = 32;   // 16 or 32
    bool msbFirst = false;   // most significant byte first (MSBFirst)
};

// Turns the runtime's 0xAARRGGBB pixels into a visual's pixels: each 8-bit
// channel is rounded to the nearest level its mask can hold (0xFF stays the
// mask's full value, 0x80 of a 5-bit channel becomes 16 of 31), alpha is
// dropped. One table a channel keeps a pixel at three look-ups.
class PixelConverter {
public:
    explicit PixelConverter(const PixelLayout& layout = {});

    const PixelLayout& layout() const { return layout_; }
    int bytesPerPixel() const { return layout_.bitsPerPixel / 8; }
    // The visual's pixel value for one pixel.
    std::uint32_t pixel(std::uint32_t argb) const {
        return red_[(argb >> 16) & 0xFF] | green_[(argb >> 8) & 0xFF] | blue_[argb & 0xFF];
    }
    // Writes `count` pixels to `out` in the layout's size and byte order
    // (count * bytesPerPixel() bytes).
    void convert(const std::uint32_t* in, std::size_t count, std::uint8_t* out) const;

private:
    PixelLayout layout_;
    std::uint32_t red_[256], green_[256], blue_[256];
};

}  // namespace x11
}  // namespace rt::platform
