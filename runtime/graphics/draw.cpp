// Pixel drawing: scaled and mirrored copies, rectangle outlines and lines.
//
// stretchBlit works in two steps. Each axis is first turned into a table of
// taps: for every visible destination column (or row), the source columns
// that feed it and their weights -- one tap at 1:1, a box filter when
// shrinking, two bilinear taps when enlarging. The source is then filtered
// across, then down. A copy at 1:1 on both axes bypasses all of that and
// copies whole rows.
#include "draw.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace rt {
namespace {

struct Tap {
    int index;     // absolute source column or row, inside the source bitmap
    float weight;  // share of the destination pixel; the taps of a pixel sum to 1 at most
};

// One axis of a stretch: destination [dstStart, dstStart + dstLength) shows
// source [srcStart, srcStart + srcLength), reversed if mirrored.
struct Axis {
    std::int64_t dstStart;
    std::int64_t dstLength;
    std::int64_t srcStart;
    std::int64_t srcLength;
    bool mirrored;
};

// Splits a possibly negative extent into a start and a positive length: a
// negative width w at x covers x + w .. x - 1, as GDI orders such rectangles.
void normalise(int position, int extent, std::int64_t& start, std::int64_t& length) {
    start = extent < 0 ? std::int64_t(position) + extent : position;
    length = extent < 0 ? -std::int64_t(extent) : extent;
}

// The taps of each destination index in [from, to), as offsets into one flat
// list: taps[first[i - from] .. first[i - from + 1]) belong to index i. Taps
// outside [0, srcLimit) are left out; their weight is simply missing.
void buildTaps(const Axis& a, int from, int to, int srcLimit, std::vector<Tap>& taps,
               std::vector<std::size_t>& first) {
    taps.clear();
    first.assign(std::size_t(to - from) + 1, 0);
    const std::int64_t sn = a.srcLength, dn = a.dstLength;
    for (int i = from; i < to; ++i) {
        first[std::size_t(i - from)] = taps.size();
        std::int64_t j = i - a.dstStart;
        if (a.mirrored) j = dn - 1 - j;
        auto add = [&](std::int64_t k, float w) {
            const std::int64_t s = a.srcStart + k;
            if (s >= 0 && s < srcLimit && w > 0.0f) taps.push_back({int(s), w});
        };
        if (sn == dn) {
            add(j, 1.0f);
        } else if (sn > dn) {
            // Box filter: destination pixel j covers source [j*sn/dn, (j+1)*sn/dn).
            // Positions are kept in units of 1/dn source pixel, so exactly.
            const std::int64_t begin = j * sn, end = begin + sn;
            std::int64_t k0 = begin / dn, k1 = (end + dn - 1) / dn;
            k0 = std::max(k0, -a.srcStart);  // skip source pixels left of the bitmap
            k1 = std::min(k1, std::int64_t(srcLimit) - a.srcStart);
            for (std::int64_t k = k0; k < k1; ++k) {
                const std::int64_t overlap = std::min(end, (k + 1) * dn) - std::max(begin, k * dn);
                add(k, float(double(overlap) / double(sn)));
            }
        } else {
            // Bilinear: sample at the destination pixel's centre, edges clamped
            // to the source rectangle so nothing bleeds in from outside it.
            const double centre = (double(j) + 0.5) * double(sn) / double(dn) - 0.5;
            const double fl = std::floor(centre);
            const float f = float(centre - fl);
            std::int64_t k0 = std::int64_t(fl), k1 = k0 + 1;
            k0 = std::clamp<std::int64_t>(k0, 0, sn - 1);
            k1 = std::clamp<std::int64_t>(k1, 0, sn - 1);
            if (k0 == k1) {
                add(k0, 1.0f);
            } else {
                add(k0, 1.0f - f);
                add(k1, f);
            }
        }
    }
    first[std::size_t(to - from)] = taps.size();
}

inline int channel(float v) { return v <= 0.0f ? 0 : v >= 255.0f ? 255 : int(v + 0.5f); }

// Blends a source pixel of partial alpha over an opaque-or-not destination.
inline Pixel blend(Pixel d, int r, int g, int b, int a) {
    if (a >= 255) return rgbPixel(r, g, b);
    const int inv = 255 - a;
    const int outA = a + (pixelAlpha(d) * inv + 127) / 255;
    const int outR = (r * a + pixelRed(d) * inv + 127) / 255;
    const int outG = (g * a + pixelGreen(d) * inv + 127) / 255;
    const int outB = (b * a + pixelBlue(d) * inv + 127) / 255;
    return (Pixel(outA) << 24) | (Pixel(outR) << 16) | (Pixel(outG) << 8) | Pixel(outB);
}

void copyExact(Bitmap& dst, const Rect& visible, const Bitmap& src, const Axis& ax, const Axis& ay,
               bool honourAlpha) {
    for (int y = visible.y; y < visible.bottom(); ++y) {
        std::int64_t j = y - ay.dstStart;
        if (ay.mirrored) j = ay.dstLength - 1 - j;
        const std::int64_t sy = ay.srcStart + j;
        if (sy < 0 || sy >= src.height()) continue;
        const Pixel* in = src.row(int(sy));
        Pixel* out = dst.row(y);
        if (!ax.mirrored) {
            // Destination columns whose source column lies inside the bitmap.
            const std::int64_t shift = ax.srcStart - ax.dstStart;  // sx = x + shift
            const int x0 = int(std::max<std::int64_t>(visible.x, -shift));
            const int x1 = int(std::min<std::int64_t>(visible.right(), src.width() - shift));
            if (x1 <= x0) continue;
            const Pixel* s = in + (x0 + shift);
            if (!honourAlpha) {
                std::memcpy(out + x0, s, std::size_t(x1 - x0) * sizeof(Pixel));
            } else {
                // Opaque runs are copied whole; only the edges of icons and
                // cursors need a look at each pixel.
                for (int x = x0; x < x1;) {
                    const int a = pixelAlpha(s[x - x0]);
                    if (a == 0xFF) {
                        int end = x + 1;
                        while (end < x1 && pixelAlpha(s[end - x0]) == 0xFF) ++end;
                        std::memcpy(out + x, s + (x - x0), std::size_t(end - x) * sizeof(Pixel));
                        x = end;
                        continue;
                    }
                    if (a != 0) {
                        const Pixel p = s[x - x0];
                        out[x] = blend(out[x], pixelRed(p), pixelGreen(p), pixelBlue(p), a);
                    }
                    ++x;
                }
            }
        } else {
            for (int x = visible.x; x < visible.right(); ++x) {
                const std::int64_t sx = ax.srcStart + (ax.dstLength - 1 - (x - ax.dstStart));
                if (sx < 0 || sx >= src.width()) continue;
                const Pixel p = in[sx];
                const int a = pixelAlpha(p);
                if (!honourAlpha || a == 0xFF) out[x] = p;
                else if (a != 0) out[x] = blend(out[x], pixelRed(p), pixelGreen(p), pixelBlue(p), a);
            }
        }
    }
}

void copyScaled(Bitmap& dst, const Rect& visible, const Bitmap& src, const Axis& ax, const Axis& ay,
                bool honourAlpha) {
    std::vector<Tap> tapsX, tapsY;
    std::vector<std::size_t> firstX, firstY;
    buildTaps(ax, visible.x, visible.right(), src.width(), tapsX, firstX);
    buildTaps(ay, visible.y, visible.bottom(), src.height(), tapsY, firstY);
    if (tapsX.empty() || tapsY.empty()) return;

    // The filter is separable: first each source row that any destination row
    // reads is filtered horizontally into the visible columns, then the
    // destination rows are filtered vertically from those. With alpha
    // honoured, colours are weighted by their alpha (premultiplied) so that
    // transparent pixels lend no colour to the mix.
    const int cols = visible.width;
    std::vector<float> weightX(std::size_t(cols), 0.0f);
    for (int i = 0; i < cols; ++i)
        for (std::size_t t = firstX[std::size_t(i)]; t < firstX[std::size_t(i) + 1]; ++t) weightX[std::size_t(i)] += tapsX[t].weight;

    // Destination rows read source rows in order (backwards when mirrored),
    // each a short run of neighbours, so the filtered rows are kept in a ring
    // just deep enough for the longest run: shrinking a whole picture needs
    // a few rows of floats, not a float copy of the picture.
    std::size_t depth = 1;
    for (std::size_t y = 0; y + 1 < firstY.size(); ++y) {
        int lo = tapsY[firstY[y]].index, hi = lo;
        for (std::size_t t = firstY[y]; t < firstY[y + 1]; ++t)
            lo = std::min(lo, tapsY[t].index), hi = std::max(hi, tapsY[t].index);
        if (firstY[y] < firstY[y + 1]) depth = std::max(depth, std::size_t(hi - lo + 1));
    }
    std::vector<float> ring(depth * std::size_t(cols) * 4, 0.0f);
    std::vector<int> ringRow(depth, -1);
    auto filteredRow = [&](int sy) -> const float* {
        const std::size_t slot = std::size_t(sy) % depth;
        float* out = ring.data() + slot * std::size_t(cols) * 4;
        if (ringRow[slot] == sy) return out;
        ringRow[slot] = sy;
        const Pixel* in = src.row(sy);
        for (int i = 0; i < cols; ++i, out += 4) {
            float a = 0, r = 0, g = 0, b = 0;
            for (std::size_t t = firstX[std::size_t(i)]; t < firstX[std::size_t(i) + 1]; ++t) {
                const Pixel p = in[tapsX[t].index];
                const float w = tapsX[t].weight;
                const float pa = float(pixelAlpha(p));
                const float wc = honourAlpha ? w * pa * (1.0f / 255.0f) : w;
                a += w * pa;
                r += wc * float(pixelRed(p));
                g += wc * float(pixelGreen(p));
                b += wc * float(pixelBlue(p));
            }
            out[0] = a, out[1] = r, out[2] = g, out[3] = b;
        }
        return ring.data() + slot * std::size_t(cols) * 4;
    };
    std::vector<const float*> tapRows;

    for (int y = visible.y; y < visible.bottom(); ++y) {
        const std::size_t ty0 = firstY[std::size_t(y - visible.y)], ty1 = firstY[std::size_t(y - visible.y) + 1];
        float weightY = 0;
        for (std::size_t t = ty0; t < ty1; ++t) weightY += tapsY[t].weight;
        if (weightY <= 0.0f) continue;
        tapRows.clear();
        for (std::size_t t = ty0; t < ty1; ++t) tapRows.push_back(filteredRow(tapsY[t].index));
        Pixel* out = dst.row(y) + visible.x;
        for (int i = 0; i < cols; ++i) {
            const float sumW = weightX[std::size_t(i)] * weightY;
            // A pixel mostly fed from outside the source bitmap is not drawn.
            if (sumW < 0.5f) continue;
            float sa = 0, sr = 0, sg = 0, sb = 0;
            for (std::size_t t = ty0; t < ty1; ++t) {
                const float* v = tapRows[t - ty0] + std::size_t(i) * 4;
                const float w = tapsY[t].weight;
                sa += w * v[0], sr += w * v[1], sg += w * v[2], sb += w * v[3];
            }
            const float norm = 1.0f / sumW;
            const int a = channel(sa * norm);
            if (!honourAlpha) {
                out[i] = (Pixel(a) << 24) | (Pixel(channel(sr * norm)) << 16) | (Pixel(channel(sg * norm)) << 8) |
                         Pixel(channel(sb * norm));
                continue;
            }
            if (a == 0) continue;
            const float colourNorm = 255.0f / sa;
            out[i] = blend(out[i], channel(sr * colourNorm), channel(sg * colourNorm), channel(sb * colourNorm), a);
        }
    }
}

// Clips a rectangle given in 64-bit coordinates to one in int coordinates.
Rect clipTo(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h, const Rect& limit) {
    const std::int64_t l = std::max<std::int64_t>(x, limit.x), t = std::max<std::int64_t>(y, limit.y);
    const std::int64_t r = std::min<std::int64_t>(x + w, limit.right());
    const std::int64_t b = std::min<std::int64_t>(y + h, limit.bottom());
    if (r <= l || b <= t) return {};
    return {int(l), int(t), int(r - l), int(b - t)};
}

void plot(Bitmap& dst, const Rect& visible, std::int64_t x, std::int64_t y, Pixel colour) {
    if (x >= visible.x && x < visible.right() && y >= visible.y && y < visible.bottom())
        dst.at(int(x), int(y)) = colour;
}

}  // namespace

void stretchBlit(Bitmap& dst, const Rect& dstRect, const Bitmap& src, const Rect& srcRect,
                 const Rect& clip, bool honourAlpha) {
    if (dst.empty() || src.empty()) return;
    Axis ax{}, ay{};
    normalise(dstRect.x, dstRect.width, ax.dstStart, ax.dstLength);
    normalise(dstRect.y, dstRect.height, ay.dstStart, ay.dstLength);
    normalise(srcRect.x, srcRect.width, ax.srcStart, ax.srcLength);
    normalise(srcRect.y, srcRect.height, ay.srcStart, ay.srcLength);
    if (ax.dstLength == 0 || ay.dstLength == 0 || ax.srcLength == 0 || ay.srcLength == 0) return;
    ax.mirrored = (dstRect.width < 0) != (srcRect.width < 0);
    ay.mirrored = (dstRect.height < 0) != (srcRect.height < 0);

    const Rect visible = clipTo(ax.dstStart, ay.dstStart, ax.dstLength, ay.dstLength, dst.bounds().intersect(clip));
    if (visible.empty()) return;
    if (ax.srcLength == ax.dstLength && ay.srcLength == ay.dstLength)
        copyExact(dst, visible, src, ax, ay, honourAlpha);
    else
        copyScaled(dst, visible, src, ax, ay, honourAlpha);
}

void drawRectOutline(Bitmap& dst, int x0, int y0, int x1, int y1, Pixel colour, const Rect& clip,
                     int thickness) {
    const std::int64_t th = std::max(thickness, 1);
    const std::int64_t l = std::min(x0, x1), r = std::max(x0, x1);
    const std::int64_t t = std::min(y0, y1), b = std::max(y0, y1);
    if (r <= l || b <= t) return;
    const Rect limit = dst.bounds().intersect(clip);
    auto band = [&](std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h) {
        const Rect c = clipTo(x, y, w, h, limit);
        if (!c.empty()) dst.fill(c, colour);
    };
    band(l, t, r - l, th);          // top
    band(l, b - th, r - l, th);     // bottom
    band(l, t, th, b - t);          // left
    band(r - th, t, th, b - t);     // right
}

void drawLine(Bitmap& dst, int x0, int y0, int x1, int y1, Pixel colour, const Rect& clip, int thickness) {
    const int th = std::max(thickness, 1);
    const Rect visible = dst.bounds().intersect(clip);
    if (visible.empty()) return;
    const std::int64_t dx = std::int64_t(x1) - x0, dy = std::int64_t(y1) - y0;
    if (dx == 0 && dy == 0) return;
    // Walk the major axis one pixel a step; the minor coordinate of step k is
    // the nearest whole pixel to the ideal line, ties stepping away from the
    // start (what the incremental Bresenham error term gives). Computing it
    // from k directly lets the walk start and stop at the visible rectangle,
    // so a line with far-off end points costs no more than a short one.
    const bool xMajor = std::abs(dx) >= std::abs(dy);
    const std::int64_t major = xMajor ? std::abs(dx) : std::abs(dy);
    const std::int64_t minor = xMajor ? std::abs(dy) : std::abs(dx);
    const int majorSign = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const int minorSign = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const std::int64_t m0 = xMajor ? x0 : y0, n0 = xMajor ? y0 : x0;
    // A square of th pixels at m covers m .. m + th - 1.
    const std::int64_t lo = (xMajor ? visible.x : visible.y) - (th - 1);
    const std::int64_t hi = xMajor ? visible.right() : visible.bottom();
    // Steps k in [0, major) whose major coordinate m0 + majorSign*k is in [lo, hi).
    std::int64_t kFrom, kTo;
    if (majorSign > 0) {
        kFrom = lo - m0;
        kTo = hi - m0;
    } else {
        kFrom = m0 - hi + 1;
        kTo = m0 - lo + 1;
    }
    kFrom = std::max<std::int64_t>(kFrom, 0);
    // A thick line ends th - 1 steps early, so that its last square ends
    // where the line does: a line between scaled end points then covers
    // exactly the scaled pixels of the thin one.
    kTo = std::min<std::int64_t>(kTo, std::max<std::int64_t>(major - (th - 1), 1));
    for (std::int64_t k = kFrom; k < kTo; ++k) {
        const std::int64_t m = m0 + majorSign * k;
        const std::int64_t n = n0 + minorSign * ((2 * k * minor + major) / (2 * major));
        const std::int64_t px = xMajor ? m : n, py = xMajor ? n : m;
        if (th == 1) {
            plot(dst, visible, px, py, colour);
        } else {
            const Rect block = clipTo(px, py, th, th, visible);
            if (!block.empty()) dst.fill(block, colour);
        }
    }
}

void copyPixels(const Bitmap& src, const Rect& area, std::vector<Pixel>& out) {
    const Rect a = area.intersect(src.bounds());
    out.resize(a.empty() ? 0 : std::size_t(a.width) * std::size_t(a.height));
    for (int y = a.y; y < a.bottom(); ++y)
        std::copy(src.row(y) + a.x, src.row(y) + a.right(), out.begin() + std::ptrdiff_t(y - a.y) * a.width);
}

Rect changedBounds(const Bitmap& now, const Rect& area, const std::vector<Pixel>& before) {
    const Rect a = area.intersect(now.bounds());
    if (a.empty() || before.size() != std::size_t(a.width) * std::size_t(a.height)) return a;
    const std::size_t rowBytes = std::size_t(a.width) * sizeof(Pixel);
    // Row y of the rectangle, now and before; column x of the bitmap is at x - a.x.
    auto old = [&](int y) { return before.data() + std::ptrdiff_t(y - a.y) * a.width; };
    auto same = [&](int y) { return std::memcmp(now.row(y) + a.x, old(y), rowBytes) == 0; };
    int top = a.y;
    while (top < a.bottom() && same(top)) ++top;
    if (top == a.bottom()) return {};
    int bottom = a.bottom();
    while (same(bottom - 1)) --bottom;  // stops at the top row at the latest
    // Each row is searched only outside the columns already known to change.
    int left = a.right(), right = a.x;
    for (int y = top; y < bottom; ++y) {
        const Pixel* n = now.row(y) + a.x;
        const Pixel* o = old(y);
        for (int x = a.x; x < left; ++x)
            if (n[x - a.x] != o[x - a.x]) {
                left = x;
                break;
            }
        for (int x = a.right() - 1; x >= right; --x)
            if (n[x - a.x] != o[x - a.x]) {
                right = x + 1;
                break;
            }
    }
    return {left, top, right - left, bottom - top};
}

}  // namespace rt
