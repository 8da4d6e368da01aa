// The web backend: the program compiled to WebAssembly and shown in a page.
//
// What it offers:
// - one canvas per window, placed in the page's stage element (see
//   web_platform.js), its backing store at the device scale and its CSS size
//   the window's logical size; pixels outside the window's shape are
//   transparent;
// - pointer input (mouse, pen and touch alike) hit-tested against the
//   windows' shapes in stacking order: what falls outside every shape reaches
//   the page beneath; a tap is a click, a double tap a double-click;
// - present puts only the dirty rectangles;
// - the runtime's cursor pictures as CSS cursors with their hot spots;
// - links opened in a new tab that gets no handle back to the card;
// - performance.now() as the monotonic clock, the browser's local time as
//   the wall clock, errors shown in the page;
// - waitEvent hands control back to the browser until input arrives or the
//   deadline passes (Asyncify), so nested loops (the modal About window)
//   work as on a desktop.
// What every backend needs comes from the shared pieces: the event queue
// and its click tracker, the cursor cache, the shape rule and the local
// time arithmetic.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "../platform.h"

namespace rt::platform {

// The page's density: devicePixelRatio rounded up to a whole device scale,
// 1 to 4. Rounding up keeps a 1.25 to 1.75 screen sharp: the browser shrinks
// a drawing made at twice the size, which blurs far less than stretching
// one made at the logical size. A 2x or 3x phone gets its exact scale.
int webDeviceScale(double devicePixelRatio);

std::unique_ptr<Platform> makeWebPlatform();

// A file the page fetched before the program started (the pictures drawn
// at twice the size, on a screen that draws them), by its name; empty when
// the page did not fetch it. The bytes stay for the life of the program.
std::span<const std::uint8_t> webFetchedFile(const char* name);

}  // namespace rt::platform
