// The drawing surface of a window or picture box: its background colour,
// its picture, and the drawing done on it with PaintPicture, Line and Cls.
//
// With AutoRedraw on, drawing goes into a persistent image that holds the
// background, the picture and everything drawn since; the surface shows that
// image, it survives hiding and covering, and Image returns it. With
// AutoRedraw off, drawing goes to the screen only: it is kept in a screen
// layer until the surface next repaints itself (a new size, a new picture,
// being shown again), which shows the background and the picture afresh.
#pragma once

#include <functional>
#include <optional>

#include "graphics/bitmap.h"
#include "graphics/picture.h"
#include "units.h"

namespace rt {

class Canvas {
public:
    // invalidate is told which client-area pixels changed on screen.
    explicit Canvas(std::function<void(const Rect&)> invalidate);

    OleColor backColor() const { return backColor_; }
    void setBackColor(OleColor colour);
    const PictureRef& picture() const { return picture_; }
    void setPicture(PictureRef picture);
    bool autoRedraw() const { return autoRedraw_; }
    void setAutoRedraw(bool on);

    // The client area's size in pixels. Growing a persistent image keeps what
    // was drawn; a screen layer is dropped.
    void resize(int width, int height);
    int width() const { return width_; }
    int height() const { return height_; }

    // Forgets screen-only drawing, as a repaint of the surface does.
    void repaint();

    // Where drawing goes now: the persistent image, or the screen layer
    // (created from the background and picture on first use).
    Bitmap& drawingTarget();
    // Reports pixels changed through drawingTarget().
    void drawn(const Rect& area);
    // Clears drawing back to the background and picture.
    void clear();

    // What Image returns: the persistent image with AutoRedraw on, else the
    // background and the picture without any screen-only drawing.
    PictureRef image() const;

    // Paints the surface's client area at origin in dst, inside clip.
    void render(Bitmap& dst, int originX, int originY, const Rect& clip) const;

private:
    void paintBackground(Bitmap& target) const;
    void rebuildPersistent();

    std::function<void(const Rect&)> invalidate_;
    OleColor backColor_ = kButtonFaceColour;
    PictureRef picture_;
    bool autoRedraw_ = false;
    int width_ = 0;
    int height_ = 0;
    Bitmap persistent_;                 // AutoRedraw on
    std::optional<Bitmap> screenLayer_;  // AutoRedraw off, after drawing
};

}  // namespace rt
