// Pixel geometry shared by the runtime and its platform backends: rectangles
// and regions made of horizontal spans.
#pragma once

#include <algorithm>
#include <optional>
#include <vector>

namespace rt {

// A rectangle of whole pixels; x and y are the top-left corner, the right
// column and bottom row are x + width - 1 and y + height - 1.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool empty() const { return width <= 0 || height <= 0; }
    int right() const { return x + width; }    // one past the last column
    int bottom() const { return y + height; }  // one past the last row
    bool contains(int px, int py) const {
        return px >= x && py >= y && px < right() && py < bottom();
    }
    Rect intersect(const Rect& o) const {
        const int l = std::max(x, o.x), t = std::max(y, o.y);
        const int r = std::min(right(), o.right()), b = std::min(bottom(), o.bottom());
        if (r <= l || b <= t) return {};
        return {l, t, r - l, b - t};
    }
    // The smallest rectangle holding both; an empty side is ignored.
    Rect unite(const Rect& o) const {
        if (empty()) return o;
        if (o.empty()) return *this;
        const int l = std::min(x, o.x), t = std::min(y, o.y);
        const int r = std::max(right(), o.right()), b = std::max(bottom(), o.bottom());
        return {l, t, r - l, b - t};
    }
    Rect offset(int dx, int dy) const { return {x + dx, y + dy, width, height}; }
    // The same pixels on a device that shows each as factor x factor pixels.
    Rect scaled(int factor) const { return {x * factor, y * factor, width * factor, height * factor}; }
    bool operator==(const Rect&) const = default;
};

// One run of pixels inside a region: row y, columns x0 up to but not
// including x1.
struct Span {
    int y = 0;
    int x0 = 0;
    int x1 = 0;
    bool operator==(const Span&) const = default;
};

// A window shape: the set of pixels that are drawn and take pointer input,
// as spans sorted by row, then by column, never overlapping. width and height
// are the size of the rectangle the shape was cut from.
struct Region {
    // How a rounded rectangle was made: its rectangle and corner ellipse, so
    // that it can be made again at another scale with smooth corners.
    struct RoundRect {
        int left = 0, top = 0, width = 0, height = 0, ellipseWidth = 0, ellipseHeight = 0;
        bool operator==(const RoundRect&) const = default;
    };

    int width = 0;
    int height = 0;
    std::vector<Span> spans;
    std::optional<RoundRect> roundRect;  // set by the rounded-rectangle makers

    bool contains(int x, int y) const {
        for (const Span& s : spans)
            if (s.y == y && x >= s.x0 && x < s.x1) return true;
        return false;
    }
    // Two regions are equal when they cover the same pixels of the same
    // rectangle, however they were made.
    bool operator==(const Region& o) const { return width == o.width && height == o.height && spans == o.spans; }
};

}  // namespace rt
