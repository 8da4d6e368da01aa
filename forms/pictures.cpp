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

}  // namespace

rt::PictureRef picture(Asset asset) {
    if (asset == Asset::None) return nullptr;
    static std::array<rt::PictureRef, std::size_t(Asset::HandCursor) + 1> decoded;
    rt::PictureRef& slot = decoded[std::size_t(asset)];
    if (!slot) slot = rt::decodePicture(bytesOf(asset));
    return slot;
}

}  // namespace velmora
