#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "../local_time.h"
#include "posix.h"

namespace rt::platform::posix {

double monotonicSeconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

LocalDateTime localNow() {
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    const time_t seconds = t.tv_sec;
    tm local{};
    localtime_r(&seconds, &local);
    return localDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                         local.tm_sec, double(t.tv_nsec) * 1e-9);
}

void sleepSeconds(double seconds) {
    if (!(seconds > 0.0)) return;
    timespec left{};
    left.tv_sec = time_t(seconds);
    left.tv_nsec = long((seconds - double(left.tv_sec)) * 1e9);
    while (nanosleep(&left, &left) < 0 && errno == EINTR) {
    }
}

double retryPause(double now, double deadline) {
    constexpr double kPause = 0.010;
    return std::clamp(deadline - now, 0.0, kPause);
}

}  // namespace rt::platform::posix
