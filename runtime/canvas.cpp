#include "canvas.h"

#include <memory>

#include "graphics/draw.h"

namespace rt {

Canvas::Canvas(std::function<void(const Rect&)> invalidate) : invalidate_(std::move(invalidate)) {}

void Canvas::setBackColor(OleColor colour) {
    if (colour == backColor_) return;
    backColor_ = colour;
    // A new background colour clears the surface, as in the forms runtime.
    clear();
}

void Canvas::setPicture(PictureRef picture) {
    picture_ = std::move(picture);
    screenLayer_.reset();
    if (autoRedraw_) rebuildPersistent();
    invalidate_({0, 0, width_, height_});
}

void Canvas::setAutoRedraw(bool on) {
    if (on == autoRedraw_) return;
    autoRedraw_ = on;
    screenLayer_.reset();
    if (autoRedraw_) rebuildPersistent();
    else persistent_ = Bitmap();
    invalidate_({0, 0, width_, height_});
}

void Canvas::resize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == width_ && height == height_) return;
    width_ = width;
    height_ = height;
    screenLayer_.reset();
    if (autoRedraw_) {
        // The persistent image only ever grows, so that drawing survives a
        // box being made smaller and larger again.
        if (width > persistent_.width() || height > persistent_.height()) {
            Bitmap grown(std::max(width, persistent_.width()), std::max(height, persistent_.height()));
            paintBackground(grown);
            stretchBlit(grown, persistent_.bounds(), persistent_, persistent_.bounds(), grown.bounds(),
                        false);
            persistent_ = std::move(grown);
        }
    }
    invalidate_({0, 0, width_, height_});
}

void Canvas::repaint() {
    if (!screenLayer_) return;
    screenLayer_.reset();
    invalidate_({0, 0, width_, height_});
}

Bitmap& Canvas::drawingTarget() {
    if (autoRedraw_) return persistent_;
    if (!screenLayer_ || screenLayer_->width() != width_ || screenLayer_->height() != height_) {
        screenLayer_.emplace(width_, height_);
        paintBackground(*screenLayer_);
    }
    return *screenLayer_;
}

void Canvas::drawn(const Rect& area) { invalidate_(area.intersect({0, 0, width_, height_})); }

void Canvas::clear() {
    screenLayer_.reset();
    if (autoRedraw_) rebuildPersistent();
    invalidate_({0, 0, width_, height_});
}

PictureRef Canvas::image() const {
    auto result = std::make_shared<Picture>();
    result->format = PictureFormat::Bmp;
    if (autoRedraw_) {
        result->image = Bitmap(width_, height_);
        stretchBlit(result->image, {0, 0, width_, height_}, persistent_, {0, 0, width_, height_},
                    result->image.bounds(), false);
    } else {
        result->image = Bitmap(width_, height_);
        paintBackground(result->image);
    }
    return result;
}

void Canvas::render(Bitmap& dst, int originX, int originY, const Rect& clip) const {
    const Rect area = Rect{originX, originY, width_, height_}.intersect(clip);
    if (area.empty()) return;
    const Bitmap* source = autoRedraw_ ? &persistent_ : (screenLayer_ ? &*screenLayer_ : nullptr);
    if (source) {
        const Rect from = area.offset(-originX, -originY);
        stretchBlit(dst, area, *source, from, area, false);
        return;
    }
    dst.fill(area, colourToPixel(backColor_));
    if (picture_)
        stretchBlit(dst, {originX, originY, picture_->width(), picture_->height()}, picture_->image,
                    picture_->image.bounds(), area, true);
}

void Canvas::paintBackground(Bitmap& target) const {
    target.fill(target.bounds(), colourToPixel(backColor_));
    if (picture_)
        stretchBlit(target, {0, 0, picture_->width(), picture_->height()}, picture_->image,
                    picture_->image.bounds(), target.bounds(), true);
}

void Canvas::rebuildPersistent() {
    persistent_ = Bitmap(std::max(width_, persistent_.width()), std::max(height_, persistent_.height()));
    paintBackground(persistent_);
}

}  // namespace rt
