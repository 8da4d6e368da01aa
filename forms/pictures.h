// The pictures, icons and cursor built into the program.
#pragma once

#include "forms/asset_list.h"  // made by the build from assets/assets.txt
#include "runtime/graphics/picture.h"

namespace velmora {

// The picture, made once on first use and shared (pictures never change);
// a JPEG's pixels are decoded only when first drawn, so the card opens
// without decoding the flame frames and the greeting panel it does not show
// yet. Asset::None gives null. Each carries its drawing
// at twice its size as a variant (all but the banner), decoded the first
// time a high-density screen draws it.
rt::PictureRef picture(Asset asset);

}  // namespace velmora
