// Window shapes as pixel spans.
#pragma once

#include <vector>

#include "geometry.h"

namespace rt {

// The rounded rectangle that covers width x height pixels from (0, 0), with
// corner ellipses of ellipseWidth x ellipseHeight pixels, rasterised exactly
// as Windows rasterises CreateRoundRectRgn(0, 0, width + 1, height + 1,
// ellipseWidth, ellipseHeight): for a 30 x 30 corner the first pixel inside
// the region on each of the top 12 rows is at x = 11, 9, 7, 6, 5, 4, 3, 2, 2,
// 1, 1, 0. An ellipse larger than the rectangle is clamped to it, so a large
// diameter gives an ellipse inscribed in the rectangle; an ellipse smaller
// than 2 pixels gives the plain rectangle. A non-positive size gives an empty
// region.
Region roundRectRegion(int width, int height, int ellipseWidth, int ellipseHeight);

// The plain rectangle of width x height pixels.
Region rectRegion(int width, int height);

// The region's pixels as rectangles, YX-banded as both the SHAPE extension
// and Windows' region data want them: one rectangle a span, sorted by row
// then column, with runs of consecutive rows that hold identical spans merged
// into one band of taller rectangles. They cover exactly the region's pixels,
// each once.
std::vector<Rect> bandedRectangles(const Region& region);

// The region on a device that shows each pixel as scale x scale pixels. A
// rounded rectangle is made again at that size, with corner ellipses scale
// times larger, so that its corners are smooth curves rather than
// staircases of scale-pixel steps; any other region is scaled span by span.
Region scaleRegion(const Region& region, int scale);

}  // namespace rt
