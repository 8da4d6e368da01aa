// In-memory 32-bit pixel surfaces. A pixel is 0xAARRGGBB: the byte order of
// an X11 32-bit ZPixmap and of a Windows 32-bit DIB on little-endian machines,
// so a backend can hand the pixels to the windowing system unchanged. Alpha
// is 0xFF for opaque pixels and 0 for the transparent pixels of icons,
// cursors and GIFs; surfaces that are shown are always opaque.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "geometry.h"

namespace rt {

using Pixel = std::uint32_t;

constexpr Pixel kOpaque = 0xFF000000u;

constexpr Pixel rgbPixel(int r, int g, int b) {
    return kOpaque | (Pixel(r & 0xFF) << 16) | (Pixel(g & 0xFF) << 8) | Pixel(b & 0xFF);
}
constexpr int pixelRed(Pixel p) { return int((p >> 16) & 0xFF); }
constexpr int pixelGreen(Pixel p) { return int((p >> 8) & 0xFF); }
constexpr int pixelBlue(Pixel p) { return int(p & 0xFF); }
constexpr int pixelAlpha(Pixel p) { return int(p >> 24); }

class Bitmap {
public:
    Bitmap() = default;
    Bitmap(int width, int height, Pixel fill = kOpaque)
        : width_(width), height_(height), pixels_(std::size_t(width) * std::size_t(height), fill) {}

    int width() const { return width_; }
    int height() const { return height_; }
    Rect bounds() const { return {0, 0, width_, height_}; }
    bool empty() const { return width_ <= 0 || height_ <= 0; }

    Pixel* row(int y) { return pixels_.data() + std::size_t(y) * std::size_t(width_); }
    const Pixel* row(int y) const { return pixels_.data() + std::size_t(y) * std::size_t(width_); }
    Pixel& at(int x, int y) { return row(y)[x]; }
    Pixel at(int x, int y) const { return row(y)[x]; }
    const std::vector<Pixel>& pixels() const { return pixels_; }
    std::vector<Pixel>& pixels() { return pixels_; }

    // Fills the part of r that lies inside the bitmap.
    void fill(const Rect& r, Pixel p) {
        const Rect c = r.intersect(bounds());
        for (int y = c.y; y < c.bottom(); ++y) std::fill(row(y) + c.x, row(y) + c.right(), p);
    }

    // Moves the pixels of `from` by (dx, dy), as a window scrolls its own
    // pixels; from and where it goes may overlap. Only the part that lies
    // inside the bitmap on both sides moves; the rest stays as it was.
    void move(const Rect& from, int dx, int dy) {
        const Rect src = from.intersect(bounds()).offset(dx, dy).intersect(bounds()).offset(-dx, -dy);
        if (src.empty()) return;
        const std::size_t bytes = std::size_t(src.width) * sizeof(Pixel);
        // Rows go in the order that reads each source row before it is overwritten.
        for (int i = 0; i < src.height; ++i) {
            const int y = dy > 0 ? src.bottom() - 1 - i : src.y + i;
            std::memmove(row(y + dy) + src.x + dx, row(y) + src.x, bytes);
        }
    }

    bool operator==(const Bitmap&) const = default;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<Pixel> pixels_;
};

}  // namespace rt
