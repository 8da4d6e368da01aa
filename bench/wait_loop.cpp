// The floor for the card's idle cost: a loop that does nothing but sleep to
// absolute deadlines on the 1/64 s grid of the show timer, as the card's
// event loop does between ticks. bench/measure_presentation.sh runs it beside
// the card and compares their CPU shares and wake-ups.
//
//   wait_loop [seconds]    (default: until killed)
#include <cstdlib>

#include "grid_sleep.h"

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 0.0;
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    const time_t end = next.tv_sec + time_t(seconds);
    for (;;) {
        bench::sleepToNextTick(next);
        if (seconds > 0 && next.tv_sec >= end) return 0;
    }
}
