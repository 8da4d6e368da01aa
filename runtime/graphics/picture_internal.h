// What the picture sources share inside the graphics library, and no
// further: the size limit, the bounds-checked reader, the format checks and
// the decoders that decodePicture (picture.cpp) hands a file to.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <utility>

#include "bitmap.h"
#include "errors.h"
#include "picture.h"

namespace rt::detail {

// No picture is larger than this a side, so that a hostile header cannot
// ask for gigabytes.
constexpr int kMaxSide = 4096;

[[noreturn]] inline void invalid() { throw RuntimeError(ErrorCode::InvalidPicture, "Invalid picture"); }

// A bounds-checked view of the file: every read names its offset and fails
// (as an invalid picture) if the bytes are not all there.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::uint64_t size() const { return bytes_.size(); }
    bool has(std::uint64_t offset, std::uint64_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }
    std::span<const std::uint8_t> sub(std::uint64_t offset, std::uint64_t length) const {
        if (!has(offset, length)) invalid();
        return bytes_.subspan(std::size_t(offset), std::size_t(length));
    }
    std::uint8_t u8(std::uint64_t offset) const { return sub(offset, 1)[0]; }
    std::uint16_t u16(std::uint64_t offset) const {
        const auto b = sub(offset, 2);
        return std::uint16_t(b[0] | (b[1] << 8));
    }
    std::uint32_t u32(std::uint64_t offset) const {
        const auto b = sub(offset, 4);
        return std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16) |
               (std::uint32_t(b[3]) << 24);
    }
    std::int32_t i32(std::uint64_t offset) const { return std::int32_t(u32(offset)); }

private:
    std::span<const std::uint8_t> bytes_;
};

inline bool startsWith(std::span<const std::uint8_t> bytes, std::initializer_list<std::uint8_t> magic) {
    if (bytes.size() < magic.size()) return false;
    return std::equal(magic.begin(), magic.end(), bytes.begin());
}

inline bool isPng(std::span<const std::uint8_t> bytes) {
    return startsWith(bytes, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
}

inline bool anyTransparent(const Bitmap& image) {
    for (Pixel p : image.pixels())
        if (pixelAlpha(p) != 0xFF) return true;
    return false;
}

inline void makeOpaque(Bitmap& image) {
    for (Pixel& p : image.pixels()) p |= kOpaque;
}

// stb_decoder.cpp: JPEG, BMP, GIF and PNG through stb_image.
// Decodes into 0xAARRGGBB pixels, refusing oversized images before any
// pixel memory is allocated.
Bitmap decodeWithStb(std::span<const std::uint8_t> bytes);
// The width and height the file's header announces; an invalid picture
// where there is none or it exceeds kMaxSide.
std::pair<int, int> stbImageSize(std::span<const std::uint8_t> bytes);

// format_checks.cpp: what the decoders would read wrongly is refused first.
void checkPng(std::span<const std::uint8_t> bytes);
void checkBmp(std::span<const std::uint8_t> bytes);
void checkJpeg(std::span<const std::uint8_t> bytes);

// icon_file.cpp: an ICO or CUR file's first image.
PictureRef decodeIconFile(std::span<const std::uint8_t> bytes);

}  // namespace rt::detail
