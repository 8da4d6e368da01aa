// Naming of the frame capture files.
#pragma once

#include <string>

#include "runtime/builtins.h"
#include "runtime/platform/platform.h"

namespace velmora {

// AppFolder, the separator, "ScreenShots", the separator, "Velmora", the
// date as mm-dd-yy, "@", the time as hh-mm-ss (24-hour) and ".bmp": one
// file per second, for example Card/ScreenShots/Velmora12-07-26@14-05-09.bmp.
std::string captureFileName(const std::string& appFolder, const rt::platform::LocalDateTime& date,
                            const rt::platform::LocalDateTime& time,
                            char separator = rt::kPathSeparator);

}  // namespace velmora
