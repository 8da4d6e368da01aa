// Clicks and double-clicks from raw pointer presses and releases: pure
// logic that every backend with real input needs (X11, Win32, the web).
#pragma once

#include <cstdint>

namespace rt::platform {

// Turns pointer presses and releases into clicks and double-clicks, the way
// the forms runtime expects them: Press, Release, Click, Press, DoubleClick,
// Release. Only button 1 clicks. A second press of button 1 on the same
// window, within `intervalMs` of the first press and within `slopPixels` of
// it on both axes, is a double-click; its release gives no Click, and the
// press after it starts a new pair. Times are milliseconds of the desktop's
// event clock, which wrap around at 2^32.
//
// Every backend uses it, through its EventQueue: X11 and the headless
// backend let it decide what a double-click is; Win32 asks the system, which
// says so itself (WM_LBUTTONDBLCLK), and hands that decision over with
// pressDecided().
class ClickTracker {
public:
    explicit ClickTracker(std::uint32_t intervalMs = 400, int slopPixels = 4)
        : intervalMs_(intervalMs), slopPixels_(slopPixels) {}

    // True when this press is the second press of a double-click.
    bool press(std::uint32_t window, int button, int x, int y, std::uint32_t timeMs);
    // A press whose double-click the desktop has already decided on.
    void pressDecided(std::uint32_t window, int button, bool isDouble);
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

}  // namespace rt::platform
