// Pixel-level drawing on bitmaps: the primitives beneath PaintPicture, Line
// and the compositor. All coordinates are whole pixels; every operation is
// clipped to the destination bitmap and to an optional clip rectangle.
#pragma once

#include <vector>

#include "bitmap.h"
#include "geometry.h"

namespace rt {

// Copies the source rectangle of src onto the destination rectangle of dst.
// When the two rectangles have the same size the copy is exact, pixel for
// pixel. Otherwise the source is scaled to fit: shrinking averages the source
// pixels each destination pixel covers (area sampling, so a shrunken picture
// stays clean), enlarging interpolates bilinearly. A negative destination
// width or height mirrors the copy, as StretchBlt does: a width of -w at x
// covers columns x - w .. x - 1, drawn right to left. When honourAlpha is
// true, source pixels with alpha 0 leave the destination unchanged and
// partly transparent ones are blended over it; when false, pixels are copied
// as they are, alpha included. The parts of the source rectangle outside src
// are treated as absent: nothing is drawn for them. Nothing is drawn outside
// clip (an empty clip draws nothing).
void stretchBlit(Bitmap& dst, const Rect& dstRect, const Bitmap& src, const Rect& srcRect,
                 const Rect& clip, bool honourAlpha);

// Draws a one-pixel outline of the rectangle whose corners are (x0, y0) and
// (x1, y1) as GDI's Rectangle with a null brush draws it: the outline covers
// columns min(x0,x1) .. max(x0,x1) - 1 and rows min(y0,y1) .. max(y0,y1) - 1.
// A thickness above 1 draws the outline that many pixels wide, inwards: the
// one-pixel outline as a device of that scale shows it.
void drawRectOutline(Bitmap& dst, int x0, int y0, int x1, int y1, Pixel colour, const Rect& clip,
                     int thickness = 1);

// Draws a one-pixel line from (x0, y0) to (x1, y1), leaving out the last
// point, as GDI's LineTo does. A thickness above 1 draws the line as squares
// of that many pixels, their top-left corners on its points, and stops
// thickness - 1 points early: a line between end points scaled by the
// thickness covers the pixels of the one-pixel line shown at that scale.
void drawLine(Bitmap& dst, int x0, int y0, int x1, int y1, Pixel colour, const Rect& clip,
              int thickness = 1);

// Keeps the pixels of the rectangle (clipped to the bitmap) in `out`, row
// after row, reusing its storage.
void copyPixels(const Bitmap& src, const Rect& area, std::vector<Pixel>& out);

// The bounding box of the pixels of the rectangle (clipped to the bitmap)
// that differ from `before`, the rectangle's pixels as copyPixels kept them;
// empty when none differ.
Rect changedBounds(const Bitmap& now, const Rect& area, const std::vector<Pixel>& before);

}  // namespace rt
