#include "event_queue.h"

namespace rt::platform {

void EventQueue::press(WindowHandle window, int button, int x, int y, std::uint32_t timeMs) {
    const bool isDouble = clicks_.press(window, button, x, y, timeMs);
    push(EventType::Press, window, x, y, button);
    if (isDouble) push(EventType::DoubleClick, window, x, y, button);
}

void EventQueue::pressDecided(WindowHandle window, int button, int x, int y, bool isDouble) {
    clicks_.pressDecided(window, button, isDouble);
    push(EventType::Press, window, x, y, button);
    if (isDouble) push(EventType::DoubleClick, window, x, y, button);
}

void EventQueue::release(WindowHandle window, int button, int x, int y, bool inside) {
    const bool click = clicks_.release(window, button, inside);
    push(EventType::Release, window, x, y, button);
    if (click) push(EventType::Click, window, x, y, button);
}

std::optional<Event> EventQueue::pop() {
    if (events_.empty()) return std::nullopt;
    const Event e = events_.front();
    events_.pop_front();
    return e;
}

void EventQueue::forget(WindowHandle window) {
    clicks_.reset();
    std::erase_if(events_, [&](const Event& e) { return e.window == window; });
}

}  // namespace rt::platform
