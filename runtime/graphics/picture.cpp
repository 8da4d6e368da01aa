// Pictures: the decoding front end, which hands each file to its decoder
// and checks, JPEGs decoded on first use and held as their difference from
// a picture they mostly repeat, and the drawings at other scales.
#include "picture.h"

#include <utility>

#include "draw.h"
#include "picture_internal.h"

namespace rt {

using detail::invalid;
using detail::startsWith;

PictureRef decodePicture(std::span<const std::uint8_t> bytes) {
    if (startsWith(bytes, {0, 0, 1, 0}) || startsWith(bytes, {0, 0, 2, 0})) return detail::decodeIconFile(bytes);

    auto picture = std::make_shared<Picture>();
    if (startsWith(bytes, {0xFF, 0xD8, 0xFF})) {
        picture->format = PictureFormat::Jpeg;
        detail::checkJpeg(bytes);
    } else if (startsWith(bytes, {'B', 'M'})) {
        picture->format = PictureFormat::Bmp;
        detail::checkBmp(bytes);
    } else if (startsWith(bytes, {'G', 'I', 'F', '8'})) {
        picture->format = PictureFormat::Gif;
    } else {
        invalid();
    }
    picture->image() = detail::decodeWithStb(bytes);
    if (picture->format == PictureFormat::Gif) {
        // Only the transparent colour index is see-through in a GIF.
        picture->hasTransparency = detail::anyTransparent(picture->image());
    } else {
        // Bitmaps and JPEGs are drawn opaque, whatever a 32-bit bitmap's
        // fourth byte holds.
        detail::makeOpaque(picture->image());
    }
    return picture;
}

PictureRef decodePictureOnFirstUse(std::span<const std::uint8_t> bytes, PictureRef like) {
    if (!startsWith(bytes, {0xFF, 0xD8, 0xFF})) return decodePicture(bytes);
    detail::checkJpeg(bytes);
    const auto [w, h] = detail::stbImageSize(bytes);
    auto picture = std::make_shared<Picture>();
    picture->format = PictureFormat::Jpeg;
    picture->pendingBytes_ = bytes;
    picture->fileBytes_ = bytes;
    picture->declaredWidth_ = w;
    picture->declaredHeight_ = h;
    if (like && like->width() == w && like->height() == h && !like->hasTransparency) picture->like_ = std::move(like);
    return picture;
}

void Picture::decodePending() const {
    Bitmap decoded = detail::decodeWithStb(pendingBytes_);
    detail::makeOpaque(decoded);  // JPEGs are drawn opaque
    pendingBytes_ = {};
    if (like_) {
        const Bitmap& other = like_->image();
        if (other.width() == decoded.width() && other.height() == decoded.height()) {
            const Rect differs = changedBounds(decoded, decoded.bounds(), other.pixels());
            if (long(differs.width) * differs.height * 2 <= long(decoded.width()) * decoded.height()) {
                differenceArea_ = differs;
                difference_ = Bitmap(differs.width, differs.height);
                stretchBlit(difference_, difference_.bounds(), decoded, differs, difference_.bounds(), false);
                return;
            }
        }
    }
    image_ = std::move(decoded);
}

const Bitmap& Picture::image() const {
    if (!pendingBytes_.empty()) decodePending();
    if (image_.empty() && like_) {
        // Made whole for a caller that wants all the pixels at once.
        image_ = like_->image();
        stretchBlit(image_, differenceArea_, difference_, difference_.bounds(), image_.bounds(), false);
        difference_ = Bitmap();
        differenceArea_ = {};
    }
    return image_;
}

void Picture::releasePixels() const {
    if (fileBytes_.empty() || like_) return;
    image_ = Bitmap();
    pendingBytes_ = fileBytes_;
    for (const auto& variant : variants) variant->release();
}

Bitmap& Picture::image() {
    std::as_const(*this).image();
    // Pixels a caller may change are no longer those of the file.
    fileBytes_ = {};
    return image_;
}

void Picture::draw(Bitmap& dst, const Rect& dstRect, const Rect& src, const Rect& clip, bool honourAlpha) const {
    if (!pendingBytes_.empty()) decodePending();
    const bool naturalSize = src.width > 0 && src.height > 0 && dstRect.width == src.width && dstRect.height == src.height;
    if (image_.empty() && like_ && naturalSize) {
        // At natural size the pieces meet exactly: the difference where it
        // lies, the other picture around it.
        const Rect piece = src.intersect(differenceArea_);
        const int dx = dstRect.x - src.x, dy = dstRect.y - src.y;
        auto fromLike = [&](const Rect& r) {
            if (!r.empty()) like_->draw(dst, r.offset(dx, dy), r, clip, honourAlpha);
        };
        if (piece.empty()) {
            fromLike(src);
            return;
        }
        fromLike({src.x, src.y, src.width, piece.y - src.y});
        fromLike({src.x, piece.bottom(), src.width, src.bottom() - piece.bottom()});
        fromLike({src.x, piece.y, piece.x - src.x, piece.height});
        fromLike({piece.right(), piece.y, src.right() - piece.right(), piece.height});
        stretchBlit(dst, piece.offset(dx, dy), difference_, piece.offset(-differenceArea_.x, -differenceArea_.y), clip,
                    honourAlpha);
        return;
    }
    stretchBlit(dst, dstRect, image(), src, clip, honourAlpha);
}

const PictureRef& PictureVariant::picture() const {
    if (!tried_) {
        tried_ = true;
        try {
            picture_ = decodePicture(bytes_);
        } catch (const RuntimeError&) {
            picture_ = nullptr;  // drawn from the picture itself instead
        }
    }
    return picture_;
}

void PictureVariant::release() const {
    if (bytes_.empty()) return;
    picture_ = nullptr;
    tried_ = false;
}

const Picture& Picture::drawingFor(int scale) const {
    if (scale <= 1 || variants.empty()) return *this;
    // The exact scale first; then those above it, the smaller the better;
    // then those below it, the larger the better.
    auto rank = [scale](int s) { return s >= scale ? s - scale : 100 + (scale - s); };
    const Picture* best = nullptr;
    int bestRank = 0;
    for (const auto& variant : variants) {
        const int s = variant->scale();
        if (s <= 1 || (best && rank(s) >= bestRank)) continue;
        const PictureRef& drawing = variant->picture();
        if (!drawing || drawing->width() != width() * s || drawing->height() != height() * s) continue;
        best = drawing.get();
        bestRank = rank(s);
    }
    return best ? *best : *this;
}

PictureRef pictureAtScale(const PictureRef& picture, int scale) {
    if (!picture || scale <= 1) return picture;
    const Picture& drawing = picture->drawingFor(scale);
    const int factor = picture->drawingScale(drawing);
    for (const auto& variant : picture->variants)
        if (variant->scale() == scale && variant->picture().get() == &drawing) return variant->picture();
    auto scaled = std::make_shared<Picture>();
    scaled->format = picture->format;
    scaled->hasTransparency = picture->hasTransparency;
    scaled->image() = Bitmap(picture->width() * scale, picture->height() * scale, 0);
    stretchBlit(scaled->image(), scaled->image().bounds(), drawing.image(), drawing.image().bounds(),
                scaled->image().bounds(), false);
    scaled->hotspotX = factor == 1 ? picture->hotspotX * scale : drawing.hotspotX * scale / factor;
    scaled->hotspotY = factor == 1 ? picture->hotspotY * scale : drawing.hotspotY * scale / factor;
    return scaled;
}

}  // namespace rt
