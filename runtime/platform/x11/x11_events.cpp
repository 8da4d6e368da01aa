// Events: the wait on the connection, and X events turned into the
// runtime's.
#include "x11_internal.h"

#include <poll.h>
#include <time.h>

#include <cerrno>
#include <cmath>

#include "../posix/posix.h"

namespace rt::platform::x11 {

// One quiet tick of a timer costs one ppoll and nothing else: Xlib's
// queue is checked without a system call, the output is flushed only
// when requests were made since the last flush, and the connection is
// read only when ppoll says the server sent something.
std::optional<Event> X11Platform::waitEvent(double deadline) {
    Display* d = s_.display;
    for (;;) {
        if (std::optional<Event> e = s_.queue.pop()) return e;
        if (XEventsQueued(d, QueuedAlready) > 0) {
            XEvent xe;
            XNextEvent(d, &xe);
            convert(xe);
            continue;
        }
        if (NextRequest(d) != s_.flushedRequest) {
            // XFlush also moves into Xlib's queue whatever the server
            // sent while the requests went out, so look at the queue
            // again before sleeping.
            XFlush(d);
            s_.flushedRequest = NextRequest(d);
            continue;
        }
        // A deadline already passed still looks at the connection once,
        // without waiting, so that a poll (DoEvents) sees what the
        // server has sent.
        const double now = monotonicSeconds();
        const bool polling = now >= deadline;
        pollfd fd{ConnectionNumber(d), POLLIN, 0};
        timespec wait{};
        timespec* timeout = nullptr;
        if (polling) {
            timeout = &wait;
        } else if (std::isfinite(deadline)) {
            const double left = deadline - now;
            wait.tv_sec = time_t(left);
            wait.tv_nsec = long((left - double(wait.tv_sec)) * 1e9) + 1;  // never wake a hair early
            if (wait.tv_nsec >= 1000000000L) {
                ++wait.tv_sec;
                wait.tv_nsec -= 1000000000L;
            }
            timeout = &wait;
        }
        const int ready = ppoll(&fd, 1, timeout, nullptr);
        if (ready > 0) {
            // Input (or a hang-up, which Xlib turns into the
            // connection-lost handler): read what arrived.
            XEventsQueued(d, QueuedAfterReading);
            continue;
        }
        if (ready < 0 && errno != EINTR) {
            // The kernel could not wait (short of memory): trying again
            // at once would spin. Pause a moment, then read whatever
            // arrived meanwhile without waiting; a poll ends here.
            posix::sleepSeconds(posix::retryPause(monotonicSeconds(), deadline));
            if (XEventsQueued(d, QueuedAfterReading) > 0 || !polling) continue;
            return std::nullopt;
        }
        // A timeout returns without asking the server anything. EINTR
        // comes back round the loop, which re-checks the clock.
        if (polling || (ready == 0 && monotonicSeconds() >= deadline)) return std::nullopt;
    }
}

// Turns one X event into platform events on the queue, or none.
void X11Platform::convert(XEvent& xe) {
    if (xe.type == ClientMessage && xe.xclient.message_type == s_.wmProtocols) {
        const Atom what = Atom(xe.xclient.data.l[0]);
        if (what == s_.netWmPing) {
            // Tell the window manager we are alive.
            xe.xclient.window = s_.root;
            XSendEvent(s_.display, s_.root, False, SubstructureNotifyMask | SubstructureRedirectMask, &xe);
            return;
        }
        if (what == s_.wmDeleteWindow && s_.windows.count(xe.xclient.window))
            s_.queue.push(EventType::CloseRequest, WindowHandle(xe.xclient.window));
        return;
    }
    const auto it = s_.windows.find(xe.xany.window);
    if (it == s_.windows.end()) return;
    const Window w = it->first;
    WindowState& st = it->second;
    switch (xe.type) {
    case kXExposeEvent: {
        const XExposeEvent& ex = xe.xexpose;
        st.pendingExpose = st.pendingExpose.unite({ex.x, ex.y, ex.width, ex.height});
        if (ex.count == 0 && !st.pendingExpose.empty()) {
            Event e;
            e.type = EventType::Expose;
            e.window = WindowHandle(w);
            e.area = st.pendingExpose;
            s_.queue.push(e);
            st.pendingExpose = {};
        }
        break;
    }
    case ButtonPress: {
        const XButtonEvent& b = xe.xbutton;
        if (b.button < 1 || b.button > 3) break;  // wheel and side buttons
        s_.queue.press(WindowHandle(w), int(b.button), b.x, b.y, std::uint32_t(b.time));
        break;
    }
    case ButtonRelease: {
        const XButtonEvent& b = xe.xbutton;
        if (b.button < 1 || b.button > 3) break;
        const bool inside = b.x >= 0 && b.y >= 0 && b.x < st.width && b.y < st.height;
        s_.queue.release(WindowHandle(w), int(b.button), b.x, b.y, inside);
        break;
    }
    case MotionNotify: {
        // Only the latest of a run of motions queued back to back
        // matters; a motion after a press or release is kept in order.
        XEvent next;
        while (XEventsQueued(s_.display, QueuedAlready) > 0) {
            XPeekEvent(s_.display, &next);
            if (next.type != MotionNotify || next.xmotion.window != w) break;
            XNextEvent(s_.display, &xe);
        }
        s_.queue.push(EventType::Move, WindowHandle(w), xe.xmotion.x, xe.xmotion.y, 0);
        break;
    }
    case LeaveNotify:
        if (xe.xcrossing.detail != NotifyInferior) s_.queue.push(EventType::Leave, WindowHandle(w), xe.xcrossing.x, xe.xcrossing.y, 0);
        break;
    case ConfigureNotify:
        st.width = xe.xconfigure.width;
        st.height = xe.xconfigure.height;
        break;
    case DestroyNotify:
        // Another client destroyed the window (our own destroyWindow
        // forgets a window before the server reports it). It is gone:
        // forget it and tell the runtime.
        if (xe.xdestroywindow.window == w) {
            releaseSharedImage(st);
            s_.windows.erase(it);
            s_.queue.forget(WindowHandle(w));
            s_.queue.push(EventType::Destroyed, WindowHandle(w));
        }
        break;
    default:
        break;
    }
}

}  // namespace rt::platform::x11
