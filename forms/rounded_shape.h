// Gives a window a round-cornered shape of its full size.
#pragma once

#include <cstdint>

#include "runtime/form.h"

namespace velmora {

// Cuts the window to a rectangle of its full outer size in pixels with
// corner ellipses of diameter x diameter pixels (30 for the card, 250 for
// the About window, where the corners meet and the outline is an ellipse).
// A new region is made on every call and handed to the window, which
// releases the one it had.
void ApplyRoundedShape(rt::Form& form, std::int16_t diameter);

}  // namespace velmora
