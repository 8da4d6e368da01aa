// SavePicture: writes a picture as a Windows bitmap file.
#pragma once

#include <string>

#include "graphics/picture.h"

namespace rt {

// Writes the picture as an uncompressed 24-bit bitmap file. The file is
// written completely or not at all: the bytes go to a file in the same
// folder that has no name yet (Linux, where the file system allows it) or a
// hidden temporary name, and it then takes the target's name in one step,
// so a crash or the end of the program never leaves a truncated bitmap, and
// a program killed while writing an unnamed file leaves nothing at all. An
// existing file of that name is replaced; a program killed between naming
// the new bytes and that replacement leaves the old file and a hidden copy,
// which the first save into that folder by a later run removes (hidden
// copies of processes no longer running, on POSIX systems). Raises the runtime's file errors:
// path not found (no such folder), permission denied, or device I/O error
// (no space, or any other failure of the write), each with the reason in
// words (RuntimeError::reason).
void SavePicture(const PictureRef& picture, const std::string& path);

// What a failed file operation's error number means, in words a user
// understands: "no space left on the device", "permission denied",
// "read-only file system"; the system's own words for the rarer ones.
std::string describeFileError(int error);

}  // namespace rt
