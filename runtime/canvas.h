// The drawing surface of a window or picture box: its background colour,
// its picture, and the drawing done on it with PaintPicture, Line and Cls.
//
// With AutoRedraw on, drawing goes into a persistent image that holds the
// background, the picture and everything drawn since; the surface shows that
// image, it survives hiding and covering, and Image returns it. With
// AutoRedraw off, drawing goes to the screen only: it is kept in a screen
// layer until the surface next repaints itself (a new size, a new picture,
// being shown again), which shows the background and the picture afresh.
//
// On a high-density screen both are kept at device resolution, scale x scale
// pixels to each logical pixel, so that pictures painted into them stay as
// sharp as the screen can show them; sizes and the rectangles reported as
// changed stay in logical pixels.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "graphics/bitmap.h"
#include "graphics/picture.h"
#include "units.h"

namespace rt {

class Canvas {
public:
    // invalidate is told which client-area pixels changed on screen; scale
    // is the device pixels per logical pixel.
    explicit Canvas(std::function<void(const Rect&)> invalidate, int scale = 1);
    int scale() const { return scale_; }

    OleColor backColor() const { return backColor_; }
    void setBackColor(OleColor colour);
    const PictureRef& picture() const { return picture_; }
    void setPicture(PictureRef picture);
    bool autoRedraw() const { return autoRedraw_; }
    void setAutoRedraw(bool on);

    // The client area's size in logical pixels. Growing a persistent image keeps what
    // was drawn; a screen layer is dropped.
    void resize(int width, int height);
    int width() const { return width_; }
    int height() const { return height_; }

    // Forgets screen-only drawing, as a repaint of the surface does.
    void repaint();

    // Where drawing goes now, at device resolution: the persistent image, or
    // the screen layer (created from the background and picture on first
    // use).
    Bitmap& drawingTarget();
    // Reports logical pixels changed through drawingTarget().
    void drawn(const Rect& area);
    // Clears drawing back to the background and picture.
    void clear();

    // What Image returns: the persistent image with AutoRedraw on, else the
    // background and the picture without any screen-only drawing. The
    // picture has the logical size; on a high-density screen it carries the
    // device-resolution image as its variant, and its own pixels are those
    // of the background and picture at their own size where nothing was
    // drawn since the surface was last painted afresh, the device image
    // averaged down where something was.
    PictureRef image() const;

    // Paints the surface's client area at a device-pixel origin in a
    // device-sized dst, inside clip (device pixels).
    void render(Bitmap& dst, int originX, int originY, const Rect& clip) const;

private:
    // The background colour and the picture, at `scale` device pixels per
    // logical pixel.
    void paintBackground(Bitmap& target, int scale) const;
    void rebuildPersistent();
    void notePainted(const Rect& area);
    Bitmap& persistentImage() const;

    std::function<void(const Rect&)> invalidate_;
    int scale_ = 1;
    OleColor backColor_ = kButtonFaceColour;
    PictureRef picture_;
    bool autoRedraw_ = false;
    int width_ = 0;
    int height_ = 0;
    mutable Bitmap persistent_;          // AutoRedraw on; device pixels
    mutable bool persistentStale_ = false;  // to be painted afresh before use
    std::optional<Bitmap> screenLayer_;  // AutoRedraw off, after drawing
    // Where the persistent image was drawn on since it was painted afresh,
    // in logical pixels; kept on a high-density screen only.
    std::vector<Rect> painted_;
};

// Draws the logical rectangle src of a picture onto the device rectangle dst
// of a device that shows scale x scale pixels per logical pixel, from the
// picture's best drawing for that scale: exact where a drawing was made for
// the scale, smoothly scaled otherwise.
void drawPicture(Bitmap& dst, const Rect& dstRect, const Picture& picture, const Rect& src, const Rect& clip,
                 bool honourAlpha, int scale);

}  // namespace rt
