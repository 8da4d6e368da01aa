// SavePicture: writes a picture as a Windows bitmap file.
#pragma once

#include <string>

#include "graphics/picture.h"

namespace rt {

// Writes the picture as an uncompressed 24-bit bitmap file. The file is
// written completely or not at all: the bytes go to a temporary file in the
// same folder, which then replaces the target in one step, so a crash or
// the end of the program never leaves a truncated bitmap. An existing file
// of that name is replaced. Raises the runtime's file errors: path not
// found (no such folder), permission denied, or device I/O error (no space,
// or any other failure of the write).
void SavePicture(const PictureRef& picture, const std::string& path);

}  // namespace rt
