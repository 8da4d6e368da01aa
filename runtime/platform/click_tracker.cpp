#include "click_tracker.h"

#include <cstdlib>

namespace rt::platform {

bool ClickTracker::press(std::uint32_t window, int button, int x, int y, std::uint32_t timeMs) {
    downWindow_ = window;
    downButton_ = button;
    downWasDouble_ = false;
    if (button != 1) {
        armed_ = false;
        return false;
    }
    // Unsigned subtraction copes with the server clock wrapping around.
    const bool isDouble = armed_ && armedWindow_ == window && timeMs - armedTime_ <= intervalMs_ &&
                          std::abs(x - armedX_) <= slopPixels_ && std::abs(y - armedY_) <= slopPixels_;
    if (isDouble) {
        armed_ = false;  // a third press starts a new pair
        downWasDouble_ = true;
        return true;
    }
    armed_ = true;
    armedWindow_ = window;
    armedX_ = x;
    armedY_ = y;
    armedTime_ = timeMs;
    return false;
}

bool ClickTracker::release(std::uint32_t window, int button, bool inside) {
    const bool matches = downButton_ != 0 && button == downButton_ && window == downWindow_;
    const bool click = matches && button == 1 && inside && !downWasDouble_;
    if (matches) {
        downButton_ = 0;
        downWindow_ = 0;
        downWasDouble_ = false;
    }
    return click;
}

void ClickTracker::pressDecided(std::uint32_t window, int button, bool isDouble) {
    downWindow_ = window;
    downButton_ = button;
    downWasDouble_ = button == 1 && isDouble;
    armed_ = false;  // the desktop keeps its own pair
}

void ClickTracker::reset() {
    downWindow_ = 0;
    downButton_ = 0;
    downWasDouble_ = false;
    armed_ = false;
}

}  // namespace rt::platform
