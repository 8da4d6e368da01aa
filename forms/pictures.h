// The pictures, icons and cursor built into the program.
#pragma once

#include <initializer_list>

#include "runtime/graphics/picture.h"

namespace velmora {

enum class Asset {
    None,
    CardFace,
    FlameFrame2,
    FlameFrame4,
    FlameFrame5,
    GreetingPanel,
    AboutBackground,
    CloseGlyph,
    AboutGlyph,
    CloseGlyphAbout,
    GreetingBanner,
    CardIcon,
    AboutIcon,
    HandCursor,
};

// The decoded picture; each is decoded once, on first use, and shared
// (pictures never change). Asset::None gives null.
rt::PictureRef picture(Asset asset);

// Starts decoding these pictures, in this order, on a helper thread, so
// that start-up's other work overlaps theirs. picture() waits for one the
// helper is decoding and decodes one it has not reached yet itself, so no
// picture is decoded twice. Only the first call starts a helper.
void decodeAhead(std::initializer_list<Asset> assets);

}  // namespace velmora
