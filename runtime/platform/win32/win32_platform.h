// The Win32 backend of the Platform interface: plain user32 and GDI, no
// toolkit. No Windows header leaks out of runtime/platform/win32/ (windows.h
// defines RGB, SW_SHOWNORMAL and ShellExecute as macros, which collide with
// the runtime's own names; the backend's files share win32_internal.h): the
// program sees only the factory, and the tests the few helpers below.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "../../graphics/geometry.h"
#include "../platform.h"

// windows.h's region handle type (HRGN is `HRGN__*`), named without windows.h.
struct HRGN__;

namespace rt::platform {

// Registers the window class and returns the backend, or null with a
// one-line reason in `error`, which has then also been shown in a message
// box (a program without a console has no other way to say it).
std::unique_ptr<Platform> makeWin32Platform(std::string& error);

namespace win32 {

// The region's pixels as a GDI region, made with ExtCreateRegion from its
// banded rectangles; null for an empty region or when GDI refuses. The
// caller owns it until it hands it to SetWindowRgn.
HRGN__* createRegion(const Region& shape);

// The whole milliseconds to wait for `seconds`, rounded up so that a wait
// never ends before its deadline; 0 for none, and never the "infinite" wait.
std::uint32_t waitMilliseconds(double seconds);

}  // namespace win32
}  // namespace rt::platform
