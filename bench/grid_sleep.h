// Sleeping to absolute deadlines on the 1/64 s grid of the show timer, as the
// card's event loop does between ticks: the shared step of the floor loops.
#pragma once

#include <time.h>

#include <cerrno>

namespace bench {

constexpr long kTickNs = 1000000000L / 64;

// Moves the deadline one tick on and sleeps until it.
inline void sleepToNextTick(timespec& deadline) {
    deadline.tv_nsec += kTickNs;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_nsec -= 1000000000L;
        ++deadline.tv_sec;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

}  // namespace bench
