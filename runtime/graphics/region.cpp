// Rounded-rectangle window shapes, rasterised row by row the way Windows
// rasterises CreateRoundRectRgn, so that the X11 and Windows backends show
// the very same outline.
//
// The corner ellipse is traced with an integer midpoint algorithm (Alois
// Zingl's ellipse rasteriser) over its lower half, from the middle row down
// to the bottom row, recording how far each row is inset from the sides.
// The top half takes the same insets mirrored, which keeps the shape
// symmetric top to bottom; left and right are symmetric by construction.
#include "region.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace rt {
namespace {

// Inset from each side of rows 0 .. h-1 of a w x h ellipse box (w, h >= 2);
// only rows h/2 .. h-1 are traced, the rows above mirror them.
std::vector<int> ellipseInsets(int w, int h) {
    std::vector<int> inset(std::size_t(h), -1);
    const std::int64_t a = w - 1, b = h - 1;  // the ellipse's pixel diameters
    const std::int64_t stepX = 8 * b * b, stepY = 8 * a * a;
    std::int64_t dx = 4 * b * b * (1 - a);
    std::int64_t dy = 4 * a * a * (1 + b % 2);
    std::int64_t err = dx + dy + a * a * (b % 2);
    int x = 0, y = h / 2;
    inset[std::size_t(y)] = 0;
    while (x <= w / 2) {
        const std::int64_t e2 = 2 * err;
        if (e2 >= dx) {
            ++x;
            dx += stepX;
            err += dx;
        }
        if (e2 <= dy) {
            if (y + 1 >= h) break;
            ++y;
            dy += stepY;
            err += dy;
            inset[std::size_t(y)] = x;
        }
    }
    // Rows the trace did not reach keep the inset of the row above them.
    for (int i = h / 2 + 1; i < h; ++i)
        if (inset[std::size_t(i)] < 0) inset[std::size_t(i)] = inset[std::size_t(i - 1)];
    for (int i = 0; i < h / 2; ++i) inset[std::size_t(i)] = inset[std::size_t(b - i)];
    return inset;
}

}  // namespace

Region rectRegion(int width, int height) {
    Region r;
    if (width <= 0 || height <= 0) return r;
    r.width = width;
    r.height = height;
    r.spans.reserve(std::size_t(height));
    for (int y = 0; y < height; ++y) r.spans.push_back({y, 0, width});
    return r;
}

Region roundRectRegion(int width, int height, int ellipseWidth, int ellipseHeight) {
    if (width <= 0 || height <= 0) return {};
    // Windows takes the absolute size and clamps it to the rectangle.
    const int ew = int(std::min<std::int64_t>(width, std::llabs(std::int64_t(ellipseWidth))));
    const int eh = int(std::min<std::int64_t>(height, std::llabs(std::int64_t(ellipseHeight))));
    if (ew < 2 || eh < 2) return rectRegion(width, height);

    const std::vector<int> inset = ellipseInsets(ew, eh);
    Region r;
    r.width = width;
    r.height = height;
    r.spans.reserve(std::size_t(height));
    // Rows 0 .. eh/2 - 1 are the top corners; the last eh - eh/2 - 1 rows are
    // the bottom corners; every row between is full width.
    const int topRows = eh / 2;
    const int bottomStart = height - (eh - topRows - 1);
    for (int y = 0; y < height; ++y) {
        int in = 0;
        if (y < topRows) in = inset[std::size_t(y)];
        else if (y >= bottomStart) in = inset[std::size_t(y - bottomStart + topRows + 1)];
        if (width - in > in) r.spans.push_back({y, in, width - in});
    }
    r.roundRect = Region::RoundRect{0, 0, width, height, ew, eh};
    return r;
}

Region scaleRegion(const Region& region, int scale) {
    if (scale <= 1) return region;
    if (region.roundRect) {
        const Region::RoundRect& rr = *region.roundRect;
        Region r = roundRectRegion(rr.width * scale, rr.height * scale, rr.ellipseWidth * scale,
                                   rr.ellipseHeight * scale);
        for (Span& s : r.spans) {
            s.y += rr.top * scale;
            s.x0 += rr.left * scale;
            s.x1 += rr.left * scale;
        }
        if (r.roundRect) {
            r.roundRect->left = rr.left * scale;
            r.roundRect->top = rr.top * scale;
        }
        r.width = region.width * scale;
        r.height = region.height * scale;
        return r;
    }
    Region r;
    r.width = region.width * scale;
    r.height = region.height * scale;
    r.spans.reserve(region.spans.size() * std::size_t(scale));
    for (const Span& s : region.spans)
        for (int k = 0; k < scale; ++k) r.spans.push_back({s.y * scale + k, s.x0 * scale, s.x1 * scale});
    return r;
}

std::vector<Rect> bandedRectangles(const Region& region) {
    std::vector<Rect> out;
    const auto& spans = region.spans;
    // Rectangles of the band being built; bandStart indexes them in `out`.
    std::size_t bandStart = 0;
    int bandBottom = 0;
    for (std::size_t i = 0; i < spans.size();) {
        std::size_t j = i;
        while (j < spans.size() && spans[j].y == spans[i].y) ++j;
        const int y = spans[i].y;
        std::size_t rowCount = 0;
        for (std::size_t k = i; k < j; ++k) rowCount += spans[k].x1 > spans[k].x0;
        // The row extends the band when it lies right below it with the same runs.
        bool same = bandStart < out.size() && y == bandBottom && out.size() - bandStart == rowCount;
        for (std::size_t k = i, r = bandStart; same && k < j; ++k) {
            if (spans[k].x1 <= spans[k].x0) continue;
            same = out[r].x == spans[k].x0 && out[r].right() == spans[k].x1;
            ++r;
        }
        if (same) {
            for (std::size_t r = bandStart; r < out.size(); ++r) ++out[r].height;
            ++bandBottom;
        } else if (rowCount > 0) {
            bandStart = out.size();
            bandBottom = y + 1;
            for (std::size_t k = i; k < j; ++k)
                if (spans[k].x1 > spans[k].x0) out.push_back({spans[k].x0, y, spans[k].x1 - spans[k].x0, 1});
        }
        i = j;
    }
    return out;
}

}  // namespace rt
