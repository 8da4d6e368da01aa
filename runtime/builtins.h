// The runtime's built-in functions as the program's handlers call them:
// the clock, random numbers, conversions, formatting, the application's
// folder, the screen, DoEvents and End.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "application.h"
#include "platform/platform.h"

namespace rt {

// Seconds since midnight, single precision (see Application::timer).
float Timer();

// The next number of a fixed sequence, uniform in [0, 1). The sequence is
// never seeded from the clock: every run of the program draws the same
// numbers.
float Rnd();
// Restarts the sequence (tests only).
void resetRnd();

// The greatest whole number not above value (Int of -24.3 is -25).
inline double Int(double value) { return std::floor(value); }

// Conversions to 16- and 32-bit integers: the nearest whole number, an exact
// half going to the even neighbour; out of range raises the overflow error.
std::int16_t CInt(double value);
std::int32_t CLng(double value);

// The date and the time of day, each read from the wall clock when called.
platform::LocalDateTime Date();
platform::LocalDateTime Time();

// Formats a date or time with a pattern of d, dd, m, mm, yy, yyyy, h, hh,
// n, nn, s, ss and literal characters; "mm" right after an hour means
// minutes. So "mm-dd-yy" gives 12-07-26 and "hh-mm-ss" gives 14-05-09.
std::string Format(const platform::LocalDateTime& value, std::string_view pattern);

// The folder that holds the program's executable: no trailing separator
// except at the root of the file system (or of a drive). Where the system
// cannot name the executable (Linux without /proc, in a chroot or sandbox),
// the folder of the path the program was started by
// (ApplicationOptions::programPath), taken against the working folder or
// found on PATH as a shell found it; failing that, the working folder.
std::string AppPath();
// The folder of a Windows executable's full path, as AppPath gives it: a
// drive's root keeps its backslash ("C:\\"), other folders have none.
std::string windowsFolderOf(const std::string& executable);
// The path separator of this platform.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// Twips per pixel of the screen.
float TwipsPerPixelX();
float TwipsPerPixelY();

void DoEvents();
[[noreturn]] void End();
// Unloads a window: it disappears and is destroyed; the next reference to
// it creates it afresh.
void Unload(Form& form);

}  // namespace rt
