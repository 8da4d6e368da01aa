// The web backend: the program compiled to WebAssembly and shown in a page.
//
// What it offers:
// - one canvas per window, placed in the page's stage element, its backing
//   store at the device scale and its CSS size the window's logical size;
//   pixels outside the window's shape are transparent;
// - pointer input (mouse, pen and touch alike) hit-tested here against the
//   windows' shapes in stacking order: what falls outside every shape
//   reaches the page beneath; a tap is a click, a double tap a double-click;
// - present puts only the dirty rectangles, and presentMove copies the
//   canvas onto itself;
// - the runtime's cursor pictures as CSS cursors with their hot spots;
// - links opened in a new tab that gets no handle back to the card;
// - a monotonic clock that stands still while the page is hidden, the
//   browser's local time as the wall clock, errors shown in the page;
// - waitEvent hands control back to the browser until input arrives or the
//   deadline passes (Asyncify), so nested loops (the modal About window)
//   work as on a desktop.
// The backend owns every window's state; the page side (the EM_JS functions
// beside their callers in web_*.cpp) only applies it: canvases, pixels, the
// CSS cursor, and a record writer for pointer input. What it decides without
// a browser is in web_logic.h; web_internal.h says which file does what.
// What every backend needs comes from the shared pieces: the event queue
// and its click tracker, the cursor cache, the shape rule and the local
// time arithmetic.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "../platform.h"

namespace rt::platform {

std::unique_ptr<Platform> makeWebPlatform();

// A file of the pack the backend had the page fetch at start-up (the
// pictures drawn at twice the size, on a screen that draws them), by its
// name; empty when there is no such file. The bytes stay for the life of
// the program.
std::span<const std::uint8_t> webFetchedFile(const char* name);

}  // namespace rt::platform
