// Pictures: decoded images as the runtime holds them, built from the bytes
// of a JPEG, BMP, GIF, ICO or CUR file.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>
#include <algorithm>

#include "bitmap.h"

namespace rt {

enum class PictureFormat { Jpeg, Bmp, Gif, Icon, Cursor };

struct Picture;
using PictureRef = std::shared_ptr<const Picture>;

// The same picture drawn at a whole multiple of its size, for screens that
// show `scale` device pixels for each logical pixel. A variant made from
// file bytes is decoded the first time it is drawn, so a program on an
// ordinary screen never pays for it.
class PictureVariant {
public:
    // bytes must outlive the variant (the program's built-in files do).
    PictureVariant(int scale, std::span<const std::uint8_t> bytes) : scale_(scale), bytes_(bytes) {}
    PictureVariant(int scale, PictureRef picture) : scale_(scale), picture_(std::move(picture)), tried_(true) {}

    int scale() const { return scale_; }
    // The decoded drawing; null when its bytes cannot be decoded.
    const PictureRef& picture() const;
    // Lets a drawing decoded from file bytes go, to be decoded again when
    // next asked for; a drawing given as a picture stays.
    void release() const;

private:
    int scale_;
    std::span<const std::uint8_t> bytes_;
    mutable PictureRef picture_;
    mutable bool tried_ = false;
};

struct Picture {
    PictureFormat format = PictureFormat::Bmp;
    int hotspotX = 0;  // cursors only
    int hotspotY = 0;
    bool hasTransparency = false;
    // Drawings of the same picture at higher resolution. The picture's size
    // is always that of image(), in logical pixels: the variants are a
    // drawing matter only.
    std::vector<std::shared_ptr<const PictureVariant>> variants;

    // The pixels, alpha 0 where an icon, cursor or GIF is transparent. A
    // picture from decodePictureOnFirstUse is decoded by the first call.
    const Bitmap& image() const;
    Bitmap& image();

    // Lets the decoded pixels go where they can be decoded again from the
    // program's own file bytes (a JPEG made by decodePictureOnFirstUse that
    // repeats no other picture), together with its variants' drawings; the
    // next draw decodes them anew. Does nothing for any other picture.
    void releasePixels() const;

    int width() const { return image_.empty() ? declaredWidth_ : image_.width(); }
    int height() const { return image_.empty() ? declaredHeight_ : image_.height(); }
    Rect bounds() const { return {0, 0, width(), height()}; }

    // Draws the rectangle src of the pixels onto dstRect of dst as
    // stretchBlit does. A picture that holds only where it differs from
    // another (decodePictureOnFirstUse's `like`) is drawn from both at
    // natural size, and made whole only to be drawn scaled.
    void draw(Bitmap& dst, const Rect& dstRect, const Rect& src, const Rect& clip, bool honourAlpha) const;

    // The drawing to use at `scale` device pixels per logical pixel: the
    // variant made for that scale, else the smallest one above it, else the
    // largest below it, else the picture itself. A variant whose size is not
    // its scale times the picture's is never used.
    const Picture& drawingFor(int scale) const;
    // How many of the drawing's pixels make one logical pixel: 1 for the
    // picture itself, the variant's scale otherwise.
    int drawingScale(const Picture& drawing) const { return drawing.width() / std::max(1, width()); }

private:
    friend PictureRef decodePictureOnFirstUse(std::span<const std::uint8_t> bytes, PictureRef like);
    void decodePending() const;

    mutable Bitmap image_;  // all the pixels; empty while pending or held as a difference
    int declaredWidth_ = 0;  // the size while image_ is empty
    int declaredHeight_ = 0;
    // A JPEG known only by its header so far.
    mutable std::span<const std::uint8_t> pendingBytes_;
    // The file a JPEG of the program's own is decoded from, kept so that its
    // pixels can be released and decoded again.
    std::span<const std::uint8_t> fileBytes_;
    // A picture this one mostly repeats; once decoded, only the bounding box
    // of the pixels that differ from it is held, in difference_.
    PictureRef like_;
    mutable Rect differenceArea_;
    mutable Bitmap difference_;
};

// Decodes a picture file held in memory. Accepts baseline JPEG, 24-bit (and
// 1/4/8/32-bit) uncompressed BMP, GIF (first frame), and ICO/CUR files (the
// first image, BMP-encoded with its AND mask, or PNG-encoded). Throws
// rt::RuntimeError (runtime/graphics/errors.h) with the "Invalid picture" error for
// anything it cannot read; never reads outside the given bytes.
PictureRef decodePicture(std::span<const std::uint8_t> bytes);

// For the program's own picture files, whose bytes outlive the picture and
// are known to be sound: as decodePicture, except that a JPEG's pixels are
// decoded only when first asked for, so that a window can be laid out from
// pictures it does not show yet without paying for their pixels. Throws as
// decodePicture does for a header it cannot read.
//
// `like` is a picture of the same size that this one mostly repeats (an
// animation frame and the still it animates): once decoded, a JPEG keeps
// only the bounding box of the pixels that differ from it, when that is at
// most half the picture.
PictureRef decodePictureOnFirstUse(std::span<const std::uint8_t> bytes, PictureRef like = nullptr);

// The picture drawn at `scale` times its size for a device of that scale,
// with its hot spot scaled to match: the variant made for that scale where
// there is one, else the best drawing scaled smoothly. At scale 1, the
// picture itself.
PictureRef pictureAtScale(const PictureRef& picture, int scale);

// Encodes a bitmap as an uncompressed 24-bit Windows bitmap file (bottom-up
// rows padded to four bytes, BITMAPINFOHEADER, 96 dpi resolution fields).
std::string encodeBmp24(const Bitmap& image);

}  // namespace rt
