// The arithmetic of the local wall clock that every backend's localNow needs.
#pragma once

#include "platform.h"

namespace rt::platform {

// A local date and time from the desktop's calendar fields: `second` may be
// 60 (a leap second), which counts as 59; `fraction` is the part of a
// second after it, from 0 up to 1.
LocalDateTime localDateTime(int year, int month, int day, int hour, int minute, int second, double fraction);

// The local date and time `seconds` after `start` (seconds may be
// negative), by the proleptic Gregorian calendar, without time zone changes.
LocalDateTime localDateTimeAfter(const LocalDateTime& start, double seconds);

}  // namespace rt::platform
