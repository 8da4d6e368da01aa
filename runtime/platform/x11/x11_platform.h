// The X11 backend of the Platform interface, straight on Xlib with the SHAPE
// extension. No Xlib header leaks out of this file: the runtime and the tests
// see only the factory and the few pure pieces of logic below, which the
// backend uses and the unit tests check without a display.
#pragma once

#include <cstddef>
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

// The rectangles of a region, YX-banded as the SHAPE extension wants them:
// one rectangle a span, with runs of consecutive rows that hold identical
// spans merged into one band of taller rectangles.
std::vector<Rect> shapeRectangles(const Region& region);

}  // namespace x11
}  // namespace rt::platform
