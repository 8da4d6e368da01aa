// Icon and cursor files (ICO and CUR): their directory, and the first
// image, PNG-encoded or a BITMAPINFOHEADER with its palette, colour bits and
// AND mask. Every length and offset read from the file is checked against
// the bytes actually given, with 64-bit arithmetic, before anything is read.
#include <vector>

#include "picture_internal.h"

namespace rt::detail {
namespace {

// Decodes the BMP-encoded image of an icon or cursor: a BITMAPINFOHEADER whose
// height counts both the colour bits and the AND mask, a palette for 1, 4 and
// 8 bits a pixel, the colour rows, then the one-bit AND mask rows (1 =
// transparent). Both sets of rows are bottom-up and padded to four bytes.
Bitmap decodeIconBitmap(const Reader& r) {
    const std::uint32_t headerSize = r.u32(0);
    if (headerSize < 40 || headerSize > r.size()) invalid();
    const std::int32_t width = r.i32(4);
    const std::int32_t doubledHeight = r.i32(8);
    const int bpp = r.u16(14);
    const std::uint32_t compression = r.u32(16);
    const std::uint32_t coloursUsed = r.u32(32);
    if (width <= 0 || width > kMaxSide || doubledHeight < 2 || doubledHeight > 2 * kMaxSide) invalid();
    const int height = doubledHeight / 2;
    if (compression != 0) invalid();  // BI_RGB only
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) invalid();

    std::uint64_t offset = headerSize;
    std::vector<Pixel> palette;
    if (bpp <= 8) {
        const std::uint32_t maxColours = 1u << bpp;
        const std::uint32_t count = coloursUsed == 0 ? maxColours : coloursUsed;
        if (count > 256) invalid();
        const auto bytes = r.sub(offset, std::uint64_t(count) * 4);
        palette.resize(count);
        for (std::uint32_t i = 0; i < count; ++i)
            palette[i] = rgbPixel(bytes[i * 4 + 2], bytes[i * 4 + 1], bytes[i * 4]);
        offset += std::uint64_t(count) * 4;
    }

    const std::uint64_t colourStride = (std::uint64_t(width) * std::uint64_t(bpp) + 31) / 32 * 4;
    const std::uint64_t maskStride = (std::uint64_t(width) + 31) / 32 * 4;
    const auto colourBits = r.sub(offset, colourStride * std::uint64_t(height));
    offset += colourStride * std::uint64_t(height);
    // Some 32-bit icons carry their transparency in the alpha channel alone
    // and omit the mask; every other depth needs it.
    const bool hasMask = r.has(offset, maskStride * std::uint64_t(height));
    if (!hasMask && bpp != 32) invalid();

    Bitmap image(width, height);
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* src = colourBits.data() + std::size_t(colourStride) * std::size_t(height - 1 - y);
        Pixel* out = image.row(y);
        for (int x = 0; x < width; ++x) {
            Pixel p = kOpaque;
            switch (bpp) {
            case 32: {
                const std::uint8_t* q = src + std::size_t(x) * 4;
                p = (Pixel(q[3]) << 24) | (Pixel(q[2]) << 16) | (Pixel(q[1]) << 8) | q[0];
                anyAlpha = anyAlpha || q[3] != 0;
                break;
            }
            case 24: {
                const std::uint8_t* q = src + std::size_t(x) * 3;
                p = rgbPixel(q[2], q[1], q[0]);
                break;
            }
            default: {
                const int perByte = 8 / bpp;
                const int shift = 8 - bpp * (x % perByte + 1);
                const unsigned index = (src[x / perByte] >> shift) & ((1u << bpp) - 1);
                p = index < palette.size() ? palette[index] : kOpaque;
                break;
            }
            }
            out[x] = p;
        }
    }

    // A 32-bit image whose alpha bytes are all zero predates alpha icons: it
    // is opaque apart from its mask. Otherwise the alpha channel rules.
    if (bpp == 32 && !anyAlpha) makeOpaque(image);
    const bool maskRules = bpp != 32 || !anyAlpha;
    if (hasMask && maskRules) {
        const auto maskBits = r.sub(offset, maskStride * std::uint64_t(height));
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* src = maskBits.data() + std::size_t(maskStride) * std::size_t(height - 1 - y);
            Pixel* out = image.row(y);
            for (int x = 0; x < width; ++x)
                if ((src[x / 8] >> (7 - x % 8)) & 1) out[x] = 0;
        }
    }
    return image;
}

}  // namespace

// ICO and CUR: an ICONDIR (reserved 0, type 1 for icons or 2 for cursors,
// image count) and one 16-byte entry per image; the first image is used.
PictureRef decodeIconFile(std::span<const std::uint8_t> bytes) {
    const Reader file(bytes);
    const int type = file.u16(2);
    const int count = file.u16(4);
    if (file.u16(0) != 0 || (type != 1 && type != 2) || count < 1) invalid();
    constexpr std::uint64_t entry = 6;
    const int hotspotX = file.u16(entry + 4);
    const int hotspotY = file.u16(entry + 6);
    const std::uint32_t length = file.u32(entry + 8);
    const std::uint32_t offset = file.u32(entry + 12);
    const auto data = file.sub(offset, length);

    auto picture = std::make_shared<Picture>();
    picture->format = type == 2 ? PictureFormat::Cursor : PictureFormat::Icon;
    if (isPng(data)) {
        checkPng(data);
        picture->image() = decodeWithStb(data);
    } else {
        picture->image() = decodeIconBitmap(Reader(data));
    }
    if (type == 2) {
        picture->hotspotX = hotspotX;
        picture->hotspotY = hotspotY;
    }
    picture->hasTransparency = anyTransparent(picture->image());
    return picture;
}

}  // namespace rt::detail
