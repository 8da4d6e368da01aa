#include "pictures.h"

#include <array>
#include <cstdint>
#include <span>

namespace embedded {
std::span<const std::uint8_t> assetCardFace();
std::span<const std::uint8_t> assetFlameFrame2();
std::span<const std::uint8_t> assetFlameFrame4();
std::span<const std::uint8_t> assetFlameFrame5();
std::span<const std::uint8_t> assetGreetingPanel();
std::span<const std::uint8_t> assetAboutBackground();
std::span<const std::uint8_t> assetCloseGlyph();
std::span<const std::uint8_t> assetAboutGlyph();
std::span<const std::uint8_t> assetCloseGlyphAbout();
std::span<const std::uint8_t> assetGreetingBanner();
std::span<const std::uint8_t> assetCardIcon();
std::span<const std::uint8_t> assetAboutIcon();
std::span<const std::uint8_t> assetHandCursor();
std::span<const std::uint8_t> assetCardFace2x();
std::span<const std::uint8_t> assetFlameFrame2_2x();
std::span<const std::uint8_t> assetFlameFrame4_2x();
std::span<const std::uint8_t> assetFlameFrame5_2x();
std::span<const std::uint8_t> assetGreetingPanel2x();
std::span<const std::uint8_t> assetAboutBackground2x();
std::span<const std::uint8_t> assetCloseGlyph2x();
std::span<const std::uint8_t> assetAboutGlyph2x();
std::span<const std::uint8_t> assetCloseGlyphAbout2x();
std::span<const std::uint8_t> assetCardIcon2x();
std::span<const std::uint8_t> assetAboutIcon2x();
std::span<const std::uint8_t> assetHandCursor2x();
}  // namespace embedded

namespace velmora {

namespace {

std::span<const std::uint8_t> bytesOf(Asset asset) {
    switch (asset) {
        case Asset::CardFace: return embedded::assetCardFace();
        case Asset::FlameFrame2: return embedded::assetFlameFrame2();
        case Asset::FlameFrame4: return embedded::assetFlameFrame4();
        case Asset::FlameFrame5: return embedded::assetFlameFrame5();
        case Asset::GreetingPanel: return embedded::assetGreetingPanel();
        case Asset::AboutBackground: return embedded::assetAboutBackground();
        case Asset::CloseGlyph: return embedded::assetCloseGlyph();
        case Asset::AboutGlyph: return embedded::assetAboutGlyph();
        case Asset::CloseGlyphAbout: return embedded::assetCloseGlyphAbout();
        case Asset::GreetingBanner: return embedded::assetGreetingBanner();
        case Asset::CardIcon: return embedded::assetCardIcon();
        case Asset::AboutIcon: return embedded::assetAboutIcon();
        case Asset::HandCursor: return embedded::assetHandCursor();
        case Asset::None: break;
    }
    return {};
}

// The picture drawn at twice its size, where there is one (the banner has
// none: it is only ever shown hidden).
std::span<const std::uint8_t> bytesAt2x(Asset asset) {
    switch (asset) {
        case Asset::CardFace: return embedded::assetCardFace2x();
        case Asset::FlameFrame2: return embedded::assetFlameFrame2_2x();
        case Asset::FlameFrame4: return embedded::assetFlameFrame4_2x();
        case Asset::FlameFrame5: return embedded::assetFlameFrame5_2x();
        case Asset::GreetingPanel: return embedded::assetGreetingPanel2x();
        case Asset::AboutBackground: return embedded::assetAboutBackground2x();
        case Asset::CloseGlyph: return embedded::assetCloseGlyph2x();
        case Asset::AboutGlyph: return embedded::assetAboutGlyph2x();
        case Asset::CloseGlyphAbout: return embedded::assetCloseGlyphAbout2x();
        case Asset::CardIcon: return embedded::assetCardIcon2x();
        case Asset::AboutIcon: return embedded::assetAboutIcon2x();
        case Asset::HandCursor: return embedded::assetHandCursor2x();
        case Asset::GreetingBanner:
        case Asset::None: break;
    }
    return {};
}

bool isFlameFrame(Asset asset) {
    return asset == Asset::FlameFrame2 || asset == Asset::FlameFrame4 || asset == Asset::FlameFrame5;
}

bool isJpeg(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

}  // namespace

rt::PictureRef picture(Asset asset) {
    if (asset == Asset::None) return nullptr;
    static std::array<rt::PictureRef, std::size_t(Asset::HandCursor) + 1> decoded;
    rt::PictureRef& slot = decoded[std::size_t(asset)];
    if (!slot) {
        // A flame frame is the card face with another flame: at either size
        // it holds only the pixels around the flame.
        const rt::PictureRef face = isFlameFrame(asset) ? picture(Asset::CardFace) : nullptr;
        auto made = std::const_pointer_cast<rt::Picture>(rt::decodePictureOnFirstUse(bytesOf(asset), face));
        // The 2x drawing is decoded only when a high-density screen first
        // draws it. A JPEG's is made now from its header alone, so that the
        // frames' drawings can refer to the face's.
        if (const auto sharp = bytesAt2x(asset); isJpeg(sharp)) {
            const rt::PictureRef faceSharp = face ? face->variants.front()->picture() : nullptr;
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
