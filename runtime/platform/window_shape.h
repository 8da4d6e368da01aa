// The "skip a shape equal to the current one" rule every backend follows.
#pragma once

#include <optional>

#include "../graphics/region.h"

namespace rt::platform {

// The shape a window has been given: nothing for the plain rectangle.
using WindowShape = std::optional<Region>;

// True when asking for `requested` (null: the plain rectangle) leaves the
// window as `current` has it, so that the desktop need not be asked.
inline bool sameShape(const WindowShape& current, const Region* requested) {
    return requested ? current && *current == *requested : !current;
}

// The shape a window has once `requested` (null: the plain rectangle) is set.
inline WindowShape shapeOf(const Region* requested) {
    return requested ? WindowShape(*requested) : std::nullopt;
}

}  // namespace rt::platform
