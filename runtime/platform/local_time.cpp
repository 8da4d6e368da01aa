#include "local_time.h"

#include <algorithm>
#include <cmath>

namespace rt::platform {

namespace {

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
long daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(long z, int& y, int& m, int& d) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(yoe + era * 400 + (m <= 2));
}

}  // namespace

LocalDateTime localDateTime(int year, int month, int day, int hour, int minute, int second, double fraction) {
    LocalDateTime now;
    now.year = year;
    now.month = month;
    now.day = day;
    now.hour = hour;
    now.minute = minute;
    now.second = std::min(second, 59);  // a leap second counts as the last second
    now.secondsSinceMidnight = now.hour * 3600.0 + now.minute * 60.0 + now.second + fraction;
    return now;
}

LocalDateTime localDateTimeAfter(const LocalDateTime& start, double seconds) {
    const double since = start.secondsSinceMidnight + seconds;
    const double wholeDays = std::floor(since / 86400.0);
    LocalDateTime out;
    civilFromDays(daysFromCivil(start.year, start.month, start.day) + long(wholeDays), out.year, out.month, out.day);
    out.secondsSinceMidnight = since - wholeDays * 86400.0;
    const long secs = long(std::floor(out.secondsSinceMidnight));
    out.hour = int(secs / 3600);
    out.minute = int(secs / 60 % 60);
    out.second = int(secs % 60);
    return out;
}

}  // namespace rt::platform
