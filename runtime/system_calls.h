// The three operating-system services the program calls directly: a
// round-cornered region, giving a window its region, and opening a
// document or web address with the desktop's default handler. The runtime
// provides them on every platform through the Platform interface.
#pragma once

#include <memory>
#include <string_view>

#include "graphics/geometry.h"
#include "platform/platform.h"

namespace rt {

using RegionHandle = std::shared_ptr<const Region>;

// A region of the rectangle from (left, top) up to, not including, (right,
// bottom), with corner ellipses of ellipseWidth x ellipseHeight pixels. Its
// outline is the one Windows draws for these corners; the rectangle is
// covered in full, so a window of W x H pixels asks for (0, 0, W, H).
// Returns null when no region can be made (a coordinate out of range).
RegionHandle CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth,
                                int ellipseHeight);

// Gives the window its region (null: the plain rectangle). The window keeps
// the region; the previous one is released. Returns 0 when the window does
// not exist, else 1.
int SetWindowRgn(platform::WindowHandle window, RegionHandle region, bool redraw);

constexpr int SW_SHOWNORMAL = 1;

// Opens `file` (a web address here) with the desktop's default handler,
// without a shell and without waiting. Returns a value above 32 on success,
// as the classic call does; the program never looks at it.
long ShellExecute(platform::WindowHandle owner, std::string_view operation, std::string_view file,
                  std::string_view parameters, std::string_view directory, int showCommand);

}  // namespace rt
