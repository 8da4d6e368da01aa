// The decoder of JPEG, BMP, GIF and PNG files: stb_image, built here
// privately and limited to those formats.
#include <limits>

#include "picture_internal.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_ONLY_GIF
#define STBI_ONLY_PNG
#define STBI_MAX_DIMENSIONS 4096
#include <stb_image.h>

namespace rt::detail {

std::pair<int, int> stbImageSize(std::span<const std::uint8_t> bytes) {
    if (bytes.empty() || bytes.size() > std::size_t(std::numeric_limits<int>::max())) invalid();
    int w = 0, h = 0, channels = 0;
    if (!stbi_info_from_memory(bytes.data(), int(bytes.size()), &w, &h, &channels)) invalid();
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) invalid();
    return {w, h};
}

Bitmap decodeWithStb(std::span<const std::uint8_t> bytes) {
    auto [w, h] = stbImageSize(bytes);
    // A file without alpha is decoded to three bytes a pixel: the decoder's
    // copy of a large JPEG is then a quarter smaller while both it and the
    // picture's pixels are held.
    int channels = 0;
    const int length = int(bytes.size());
    stbi_info_from_memory(bytes.data(), length, &w, &h, &channels);
    const int wanted = channels == 2 || channels == 4 ? 4 : 3;
    stbi_uc* data = stbi_load_from_memory(bytes.data(), length, &w, &h, &channels, wanted);
    if (!data) invalid();
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) {
        stbi_image_free(data);
        invalid();
    }
    Bitmap image(w, h);
    const stbi_uc* p = data;
    for (Pixel& px : image.pixels()) {
        const Pixel alpha = wanted == 4 ? Pixel(p[3]) : 0xFFu;
        px = (alpha << 24) | (Pixel(p[0]) << 16) | (Pixel(p[1]) << 8) | Pixel(p[2]);
        p += wanted;
    }
    stbi_image_free(data);
    return image;
}

}  // namespace rt::detail
