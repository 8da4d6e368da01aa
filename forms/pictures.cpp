#include "pictures.h"

#include <cstdint>
#include <map>
#include <span>

namespace velmora {

namespace {

bool isFlameFrame(Asset asset) {
    return asset == Asset::FlameFrame2 || asset == Asset::FlameFrame4 || asset == Asset::FlameFrame5;
}

bool isJpeg(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

}  // namespace

rt::PictureRef picture(Asset asset) {
    if (asset == Asset::None) return nullptr;
    static std::map<Asset, rt::PictureRef> decoded;
    rt::PictureRef& slot = decoded[asset];
    if (!slot) {
        // A flame frame is the card face with another flame: at either size
        // it holds only the pixels around the flame.
        const rt::PictureRef face = isFlameFrame(asset) ? picture(Asset::CardFace) : nullptr;
        auto made = std::const_pointer_cast<rt::Picture>(rt::decodePictureOnFirstUse(assetFile(asset), face));
        // The 2x drawing is decoded only when a high-density screen first
        // draws it. A JPEG's is made now from its header alone, so that the
        // frames' drawings can refer to the face's.
        if (const auto sharp = assetFileAt2x(asset); isJpeg(sharp)) {
            const rt::PictureRef faceSharp =
                face && !face->variants.empty() ? face->variants.front()->picture() : nullptr;
            made->variants.push_back(
                std::make_shared<const rt::PictureVariant>(2, rt::decodePictureOnFirstUse(sharp, faceSharp)));
        } else if (!sharp.empty()) {
            made->variants.push_back(std::make_shared<const rt::PictureVariant>(2, sharp));
        }
        slot = std::move(made);
    }
    return slot;
}

}  // namespace velmora
