#include "canvas.h"

#include <memory>

#include "graphics/draw.h"

namespace rt {

Canvas::Canvas(std::function<void(const Rect&)> invalidate, int scale)
    : invalidate_(std::move(invalidate)), scale_(std::max(scale, 1)) {}

void drawPicture(Bitmap& dst, const Rect& dstRect, const Picture& picture, const Rect& src, const Rect& clip,
                 bool honourAlpha, int scale) {
    const Picture& drawing = picture.drawingFor(scale);
    drawing.draw(dst, dstRect, src.scaled(picture.drawingScale(drawing)), clip, honourAlpha);
}

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
    else {
        persistent_ = Bitmap();
        persistentStale_ = false;
    }
    invalidate_({0, 0, width_, height_});
}

void Canvas::resize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == width_ && height == height_) return;
    width_ = width;
    height_ = height;
    screenLayer_.reset();
    if (autoRedraw_ && !persistentStale_) {
        // The persistent image only ever grows, so that drawing survives a
        // box being made smaller and larger again.
        const int w = width * scale_, h = height * scale_;
        if (w > persistent_.width() || h > persistent_.height()) {
            Bitmap grown(std::max(w, persistent_.width()), std::max(h, persistent_.height()));
            paintBackground(grown, scale_);
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
    if (autoRedraw_) return persistentImage();
    const int w = width_ * scale_, h = height_ * scale_;
    if (!screenLayer_ || screenLayer_->width() != w || screenLayer_->height() != h) {
        screenLayer_.emplace(w, h);
        paintBackground(*screenLayer_, scale_);
    }
    return *screenLayer_;
}

void Canvas::drawn(const Rect& area) {
    if (autoRedraw_ && scale_ > 1) notePainted(area);
    invalidate_(area.intersect({0, 0, width_, height_}));
}

// Keeps a short list: an area inside one already noted adds nothing (the
// card paints the same flame strip every tick), and past 32 areas they
// become the one rectangle around them all.
void Canvas::notePainted(const Rect& area) {
    if (area.empty()) return;
    for (const Rect& r : painted_)
        if (r.intersect(area) == area) return;
    std::erase_if(painted_, [&](const Rect& r) { return area.intersect(r) == r; });
    painted_.push_back(area);
    if (painted_.size() > 32) {
        Rect all = painted_.front();
        for (const Rect& r : painted_) all = all.unite(r);
        painted_ = {all};
    }
}

void Canvas::clear() {
    screenLayer_.reset();
    if (autoRedraw_) rebuildPersistent();
    invalidate_({0, 0, width_, height_});
}

PictureRef Canvas::image() const {
    auto result = std::make_shared<Picture>();
    result->format = PictureFormat::Bmp;
    const int w = width_ * scale_, h = height_ * scale_;
    Bitmap device(w, h);
    if (autoRedraw_) stretchBlit(device, device.bounds(), persistentImage(), device.bounds(), device.bounds(), false);
    else paintBackground(device, scale_);
    if (scale_ == 1) {
        result->image() = std::move(device);
        return result;
    }
    // The logical picture: the background and picture at their own size,
    // and the device image averaged down where it was drawn on.
    Bitmap& logical = result->image() = Bitmap(width_, height_);
    paintBackground(logical, 1);
    if (autoRedraw_) {
        for (const Rect& r : painted_) {
            const Rect area = r.intersect(logical.bounds());
            if (!area.empty()) stretchBlit(logical, area, device, area.scaled(scale_), area, false);
        }
    }
    auto sharp = std::make_shared<Picture>();
    sharp->format = PictureFormat::Bmp;
    sharp->image() = std::move(device);
    result->variants.push_back(std::make_shared<const PictureVariant>(scale_, std::move(sharp)));
    return result;
}

void Canvas::render(Bitmap& dst, int originX, int originY, const Rect& clip) const {
    const Rect area = Rect{originX, originY, width_ * scale_, height_ * scale_}.intersect(clip);
    if (area.empty()) return;
    const Bitmap* source = autoRedraw_ ? &persistentImage() : (screenLayer_ ? &*screenLayer_ : nullptr);
    if (source) {
        const Rect from = area.offset(-originX, -originY);
        stretchBlit(dst, area, *source, from, area, false);
        return;
    }
    dst.fill(area, colourToPixel(backColor_));
    if (picture_)
        drawPicture(dst, Rect{0, 0, picture_->width(), picture_->height()}.scaled(scale_).offset(originX, originY),
                    *picture_, picture_->bounds(), area, true, scale_);
}

void Canvas::paintBackground(Bitmap& target, int scale) const {
    const Rect pictureArea =
        picture_ ? Rect{0, 0, picture_->width(), picture_->height()}.scaled(scale) : Rect{};
    // An opaque picture that covers the surface hides the background.
    if (!picture_ || picture_->hasTransparency || pictureArea.intersect(target.bounds()) != target.bounds())
        target.fill(target.bounds(), colourToPixel(backColor_));
    if (picture_)
        drawPicture(target, pictureArea, *picture_, picture_->bounds(), target.bounds(), true, scale);
}

// Laying out a picture box sets its picture, its size and AutoRedraw one
// after another, and each would paint the persistent image afresh: it is
// painted once, when it is first drawn on or shown.
void Canvas::rebuildPersistent() {
    persistentStale_ = true;
    painted_.clear();
}

Bitmap& Canvas::persistentImage() const {
    if (persistentStale_) {
        persistentStale_ = false;
        const int w = std::max(width_ * scale_, persistent_.width());
        const int h = std::max(height_ * scale_, persistent_.height());
        if (persistent_.width() != w || persistent_.height() != h) persistent_ = Bitmap(w, h);
        paintBackground(persistent_, scale_);
    }
    return persistent_;
}

}  // namespace rt
