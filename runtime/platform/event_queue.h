// The queue of converted events every backend hands out from waitEvent,
// with the click and double-click logic of the pointer buttons.
#pragma once

#include <deque>
#include <optional>

#include "click_tracker.h"
#include "platform.h"

namespace rt::platform {

// An event of the given type, place and button.
inline Event makeEvent(EventType type, WindowHandle window, int x = 0, int y = 0, int button = 1) {
    return Event{type, window, x, y, button, Rect{}};
}

// An Expose event: the window needs the pixels of `area` again.
inline Event exposeEvent(WindowHandle window, const Rect& area) {
    Event event = makeEvent(EventType::Expose, window);
    event.area = area;
    return event;
}

// Events a backend has made from its desktop's input and not yet handed to
// the runtime, oldest first. Presses and releases go through a
// ClickTracker, which adds the Click and DoubleClick events in the order
// the runtime expects: Press, Release, Click, Press, DoubleClick, Release.
class EventQueue {
public:
    // The tracker deciding clicks and double-clicks (its interval is the
    // desktop's to set).
    ClickTracker& clicks() { return clicks_; }

    // Queues an event as it is.
    void push(const Event& event) { events_.push_back(event); }
    // Queues an event of the given type, place and button.
    void push(EventType type, WindowHandle window, int x = 0, int y = 0, int button = 1) {
        events_.push_back(makeEvent(type, window, x, y, button));
    }

    // Queues a press at the desktop's event time `timeMs`, and a DoubleClick
    // after it when the tracker takes it for the second press of a pair.
    void press(WindowHandle window, int button, int x, int y, std::uint32_t timeMs);
    // Queues a press whose double-click the desktop has decided itself.
    void pressDecided(WindowHandle window, int button, int x, int y, bool isDouble);
    // Queues a release, and a Click after it when it completes one;
    // `inside`: the pointer is over the window the press went down on.
    void release(WindowHandle window, int button, int x, int y, bool inside);

    // Takes the oldest event, or nothing when the queue is empty.
    std::optional<Event> pop();
    bool empty() const { return events_.empty(); }
    std::size_t size() const { return events_.size(); }

    // Forgets a window that is gone: its events not yet handed out, and the
    // press or double-click pair in progress.
    void forget(WindowHandle window);

private:
    std::deque<Event> events_;
    ClickTracker clicks_;
};

}  // namespace rt::platform
