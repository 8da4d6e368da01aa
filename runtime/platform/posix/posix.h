// What a backend on a POSIX system needs that is not its desktop's: the
// clocks, and starting a program that outlives nobody's wait. The X11
// backend uses them, and so can any other backend on a POSIX system.
#pragma once

#include <string>

#include "../platform.h"

namespace rt::platform::posix {

// CLOCK_MONOTONIC in seconds: a clock that never jumps.
double monotonicSeconds();

// The local wall-clock date and time, with fractions of a second.
LocalDateTime localNow();

// Sleeps for `seconds` (nothing for none or less).
void sleepSeconds(double seconds);

// How long to pause after a wait for input that failed for another reason
// than a signal (the kernel short of memory), before trying again: 10 ms,
// never past `deadline`, so that a failing wait neither spins nor oversleeps.
double retryPause(double now, double deadline);

// Starts `program` (looked up in PATH) with one argument in a detached
// grandchild: no shell, its own session, standard streams on /dev/null, and
// no zombie, as init adopts it. Returns at once; failures pass silently.
void launchDetached(const char* program, const std::string& argument);

}  // namespace rt::platform::posix
