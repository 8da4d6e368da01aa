// The wait for the next event on the high-resolution waitable timer (or
// the fallback's timer period), and the clocks.
#include "win32_internal.h"

#include <timeapi.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "../local_time.h"

namespace rt::platform::win32 {

// Rounds a wait up to whole milliseconds.
std::uint32_t waitMilliseconds(double seconds) {
    if (!(seconds > 0.0)) return 0;
    const double ms = std::ceil(seconds * 1000.0);
    return ms >= double(INFINITE - 1) ? INFINITE - 1 : std::uint32_t(ms);
}

// The next event: queued ones first, then the message queue, then a wait
// until a message comes or the deadline passes (nothing then).
std::optional<Event> Win32Platform::waitEvent(double deadline) {
    for (;;) {
        if (std::optional<Event> e = queue_.pop()) return e;
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
            continue;
        }
        const double now = monotonicSeconds();
        if (now >= deadline) return std::nullopt;
        const double left = deadline - now;
        DWORD timeout = INFINITE;
        DWORD handles = 0;
        if (!std::isfinite(deadline)) {
            setFinePeriod(false);
        } else if (timer_ && (deadline == timerDeadline_ || setTimer(deadline, left))) {
            handles = 1;  // the timer ends the wait (set already when a message woke the last one)
        } else if (left > kSystemTick) {
            // At the default period: back one tick before the deadline
            // at the latest, and the rest finely.
            setFinePeriod(false);
            timeout = win32::waitMilliseconds(left - kSystemTick);
        } else {
            setFinePeriod(true);
            timeout = win32::waitMilliseconds(left);
        }
        // A timeout with no message pending returns straight away: asking
        // the queue again would cost one more round trip (a server call
        // under Wine) on every tick of the 64-a-second show timer.
        const DWORD woken = MsgWaitForMultipleObjectsEx(handles, &timer_, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (handles && woken == WAIT_OBJECT_0) timerDeadline_ = kNotSet;  // fired, and reset by the wait
        if ((woken == WAIT_TIMEOUT || (handles && woken == WAIT_OBJECT_0)) && monotonicSeconds() >= deadline)
            return std::nullopt;
    }
}

// Sets the waitable timer to fire `seconds` from now, at `deadline`.
bool Win32Platform::setTimer(double deadline, double seconds) {
    LARGE_INTEGER due{};
    due.QuadPart = -std::max<LONGLONG>(1, LONGLONG(std::ceil(seconds * 1e7)));  // relative, 100 ns units
    const bool set = SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE) != FALSE;
    timerDeadline_ = set ? deadline : kNotSet;
    return set;
}

// The fallback's 1 ms system timer period, held only while needed.
void Win32Platform::setFinePeriod(bool fine) {
    if (fine == finePeriod_) return;
    if (fine)
        finePeriod_ = timeBeginPeriod(1) == TIMERR_NOERROR;
    else {
        timeEndPeriod(1);
        finePeriod_ = false;
    }
}

// Seconds from the performance counter.
double Win32Platform::monotonicSeconds() {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / ticksPerSecond_;
}

// The local date and time with milliseconds.
LocalDateTime Win32Platform::localNow() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return localDateTime(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds / 1000.0);
}

}  // namespace rt::platform::win32
