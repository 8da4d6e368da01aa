// Pictures: decoded images as the runtime holds them, built from the bytes
// of a JPEG, BMP, GIF, ICO or CUR file.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "bitmap.h"

namespace rt {

enum class PictureFormat { Jpeg, Bmp, Gif, Icon, Cursor };

struct Picture {
    PictureFormat format = PictureFormat::Bmp;
    Bitmap image;  // alpha 0 where an icon, cursor or GIF is transparent
    int hotspotX = 0;  // cursors only
    int hotspotY = 0;
    bool hasTransparency = false;

    int width() const { return image.width(); }
    int height() const { return image.height(); }
};

using PictureRef = std::shared_ptr<const Picture>;

// Decodes a picture file held in memory. Accepts baseline JPEG, 24-bit (and
// 1/4/8/32-bit) uncompressed BMP, GIF (first frame), and ICO/CUR files (the
// first image, BMP-encoded with its AND mask, or PNG-encoded). Throws
// rt::RuntimeError (runtime/graphics/errors.h) with the "Invalid picture" error for
// anything it cannot read; never reads outside the given bytes.
PictureRef decodePicture(std::span<const std::uint8_t> bytes);

// Encodes a bitmap as an uncompressed 24-bit Windows bitmap file (bottom-up
// rows padded to four bytes, BITMAPINFOHEADER, 96 dpi resolution fields).
std::string encodeBmp24(const Bitmap& image);

}  // namespace rt
