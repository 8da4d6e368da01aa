// The 24-bit bitmap writer.
#include <algorithm>
#include <cstdint>
#include <string>

#include "picture.h"

namespace rt {
namespace {

void putU16(std::string& out, unsigned v) {
    out.push_back(char(v & 0xFF));
    out.push_back(char((v >> 8) & 0xFF));
}
void putU32(std::string& out, std::uint32_t v) {
    putU16(out, v & 0xFFFF);
    putU16(out, v >> 16);
}

}  // namespace

std::string encodeBmp24(const Bitmap& image) {
    const std::uint32_t width = std::uint32_t(std::max(image.width(), 0));
    const std::uint32_t height = std::uint32_t(std::max(image.height(), 0));
    const std::uint32_t stride = (width * 3 + 3) / 4 * 4;
    const std::uint32_t pixelBytes = stride * height;
    constexpr std::uint32_t kHeaders = 14 + 40;
    constexpr std::uint32_t kPixelsPerMetre = 3780;  // 96 dots per inch

    std::string out;
    out.reserve(kHeaders + pixelBytes);
    out += "BM";
    putU32(out, kHeaders + pixelBytes);
    putU32(out, 0);  // reserved
    putU32(out, kHeaders);
    putU32(out, 40);
    putU32(out, width);
    putU32(out, height);  // positive: rows run bottom-up
    putU16(out, 1);       // planes
    putU16(out, 24);      // bits per pixel
    putU32(out, 0);       // BI_RGB
    putU32(out, pixelBytes);
    putU32(out, kPixelsPerMetre);
    putU32(out, kPixelsPerMetre);
    putU32(out, 0);  // colours used
    putU32(out, 0);  // important colours

    for (std::uint32_t y = height; y-- > 0;) {
        const Pixel* row = image.row(int(y));
        for (std::uint32_t x = 0; x < width; ++x) {
            out.push_back(char(pixelBlue(row[x])));
            out.push_back(char(pixelGreen(row[x])));
            out.push_back(char(pixelRed(row[x])));
        }
        out.append(stride - width * 3, '\0');
    }
    return out;
}

}  // namespace rt
