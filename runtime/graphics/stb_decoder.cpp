// The decoder of JPEG, BMP, GIF and PNG files: stb_image, built here
// privately and limited to those formats.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "picture_internal.h"

namespace {

// A JPEG is decoded straight into the picture's own pixels: the decoder's
// request for its output (four bytes a pixel, and one byte it never
// writes) is answered with the pixels of the bitmap made for it, so no
// second copy of the picture is ever held. The bitmap is made before the
// decoder's planes, so that the planes, freed last, leave their memory in
// one piece at the top of the heap for the next picture's. Every other
// allocation goes to the C library. Nothing else the JPEG decoder asks for
// can be one byte more than the pixels (its planes and coefficients are
// whole blocks plus 15 bytes, its scratch line the width plus 3), so what
// is handed out is never written past; something of exactly the pixels'
// size taken first leaves the output elsewhere, and it is copied from there.
struct DecodeTarget {
    rt::Bitmap* image = nullptr;
    bool handedOut = false;
};
thread_local DecodeTarget decodeTarget;

void* targetMemory() { return decodeTarget.image ? decodeTarget.image->pixels().data() : nullptr; }

std::size_t targetBytes() { return decodeTarget.image ? decodeTarget.image->pixels().size() * sizeof(rt::Pixel) : 0; }

void* stbAllocate(std::size_t size) {
    DecodeTarget& t = decodeTarget;
    if (t.image && !t.handedOut && (size == targetBytes() || size == targetBytes() + 1)) {
        t.handedOut = true;
        return targetMemory();
    }
    return std::malloc(size);
}

void stbFree(void* memory) {
    if (memory && memory == targetMemory()) return;  // the bitmap keeps it
    std::free(memory);
}

void* stbReallocate(void* memory, std::size_t size) {
    if (!memory || memory != targetMemory()) return std::realloc(memory, size);
    // The bitmap's memory cannot grow: the decoder gets a copy, and the
    // caller, finding the pixels elsewhere, takes them from there.
    void* moved = std::malloc(size);
    if (moved) std::memcpy(moved, memory, std::min(size, targetBytes()));
    return moved;
}

}  // namespace

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
#define STBI_MALLOC(size) stbAllocate(size)
#define STBI_REALLOC(memory, size) stbReallocate(memory, size)
#define STBI_FREE(memory) stbFree(memory)
#include <stb_image.h>

namespace rt::detail {

std::pair<int, int> stbImageSize(std::span<const std::uint8_t> bytes) {
    if (bytes.empty() || bytes.size() > std::size_t(std::numeric_limits<int>::max())) invalid();
    int w = 0, h = 0, channels = 0;
    if (!stbi_info_from_memory(bytes.data(), int(bytes.size()), &w, &h, &channels)) invalid();
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) invalid();
    return {w, h};
}

namespace {

// Rewrites red, green, blue, alpha bytes as pixels where they lie.
void bytesToPixels(Bitmap& image) {
    for (Pixel& px : image.pixels()) {
        std::uint8_t b[4];
        std::memcpy(b, &px, 4);
        px = (Pixel(b[3]) << 24) | (Pixel(b[0]) << 16) | (Pixel(b[1]) << 8) | Pixel(b[2]);
    }
}

// Holds `image` out to the decoder for one decode.
class DecodeInto {
public:
    explicit DecodeInto(Bitmap& image) { decodeTarget = {&image, false}; }
    ~DecodeInto() { decodeTarget = {}; }
    DecodeInto(const DecodeInto&) = delete;
    DecodeInto& operator=(const DecodeInto&) = delete;
};

}  // namespace

Bitmap decodeWithStb(std::span<const std::uint8_t> bytes) {
    auto [w, h] = stbImageSize(bytes);
    int channels = 0;
    const int length = int(bytes.size());
    stbi_info_from_memory(bytes.data(), length, &w, &h, &channels);
    const bool jpeg = startsWith(bytes, {0xFF, 0xD8, 0xFF});
    // Other files without alpha are decoded to three bytes a pixel, a
    // quarter less while both the decoder's copy and the pixels are held.
    const int wanted = jpeg || channels == 2 || channels == 4 ? 4 : 3;
    Bitmap image;
    stbi_uc* data = nullptr;
    if (jpeg) {
        image = Bitmap(w, h);
        DecodeInto into(image);
        int decodedW = 0, decodedH = 0;
        data = stbi_load_from_memory(bytes.data(), length, &decodedW, &decodedH, &channels, wanted);
        if (data && (decodedW != w || decodedH != h)) {
            stbi_image_free(data);
            data = nullptr;
        }
        if (data && data == targetMemory()) {
            bytesToPixels(image);
            return image;
        }
        if (!data) invalid();
    } else {
        data = stbi_load_from_memory(bytes.data(), length, &w, &h, &channels, wanted);
        if (!data) invalid();
        if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) {
            stbi_image_free(data);
            invalid();
        }
        image = Bitmap(w, h);
    }
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
