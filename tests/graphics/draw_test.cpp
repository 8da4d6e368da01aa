// stretchBlit, drawRectOutline, drawLine and changedBounds on small in-memory bitmaps with
// exact pixel checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include "runtime/graphics/draw.h"

using namespace rt;

namespace {

constexpr Pixel kGround = 0xFF101010u;
constexpr Rect kNoClip{-100000, -100000, 200000, 200000};

// A bitmap whose every pixel is distinct, so misplaced copies show.
Bitmap pattern(int w, int h) {
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.at(x, y) = rgbPixel(x * 13 + 1, y * 17 + 2, (x * 7 + y * 3) & 0xFF);
    return b;
}

std::set<std::pair<int, int>> pixelsOf(const Bitmap& b, Pixel colour) {
    std::set<std::pair<int, int>> out;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            if (b.at(x, y) == colour) out.insert({x, y});
    return out;
}

}  // namespace

TEST(StretchBlit, OneToOneCopiesExactlyAndNothingElse) {
    const Bitmap src = pattern(7, 5);
    Bitmap dst(12, 10, kGround);
    stretchBlit(dst, {3, 2, 7, 5}, src, {0, 0, 7, 5}, dst.bounds(), false);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool inside = x >= 3 && x < 10 && y >= 2 && y < 7;
            EXPECT_EQ(dst.at(x, y), inside ? src.at(x - 3, y - 2) : kGround) << x << "," << y;
        }
}

TEST(StretchBlit, ClipsToDestinationClipRectAndSource) {
    const Bitmap src = pattern(6, 6);
    // Hanging off the top-left corner of the destination.
    Bitmap dst(4, 4, kGround);
    stretchBlit(dst, {-2, -3, 6, 6}, src, {0, 0, 6, 6}, dst.bounds(), false);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(dst.at(x, y), src.at(x + 2, y + 3));
    EXPECT_EQ(dst.at(0, 3), kGround);

    // A clip rectangle keeps everything outside it untouched.
    Bitmap clipped(6, 6, kGround);
    stretchBlit(clipped, {0, 0, 6, 6}, src, {0, 0, 6, 6}, {2, 1, 2, 3}, false);
    EXPECT_EQ(pixelsOf(clipped, kGround).size(), 36u - 6u);
    EXPECT_EQ(clipped.at(2, 1), src.at(2, 1));
    EXPECT_EQ(clipped.at(3, 3), src.at(3, 3));

    // Source rectangle partly outside the source: those pixels are not drawn.
    Bitmap partial(6, 6, kGround);
    stretchBlit(partial, {0, 0, 4, 4}, src, {4, -1, 4, 4}, partial.bounds(), false);
    EXPECT_EQ(partial.at(0, 0), kGround);  // source row -1
    EXPECT_EQ(partial.at(0, 1), src.at(4, 0));
    EXPECT_EQ(partial.at(1, 3), src.at(5, 2));
    EXPECT_EQ(partial.at(2, 1), kGround);  // source column 6
}

TEST(StretchBlit, NegativeSizesMirror) {
    const Bitmap src = pattern(4, 3);
    Bitmap dst(4, 3, kGround);
    // Width -4 at x = 4 covers columns 0..3, right to left.
    stretchBlit(dst, {4, 0, -4, 3}, src, {0, 0, 4, 3}, dst.bounds(), false);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(dst.at(x, y), src.at(3 - x, y));

    Bitmap flipped(4, 3, kGround);
    stretchBlit(flipped, {0, 3, 4, -3}, src, {0, 0, 4, 3}, flipped.bounds(), false);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(flipped.at(x, y), src.at(x, 2 - y));

    // Mirrored while scaled: an enlarged left-right ramp becomes a falling one.
    Bitmap ramp(2, 1);
    ramp.at(0, 0) = rgbPixel(0, 0, 0);
    ramp.at(1, 0) = rgbPixel(200, 200, 200);
    Bitmap wide(4, 1, kGround);
    stretchBlit(wide, {4, 0, -4, 1}, ramp, {0, 0, 2, 1}, wide.bounds(), false);
    EXPECT_EQ(pixelRed(wide.at(0, 0)), 200);
    EXPECT_EQ(pixelRed(wide.at(3, 0)), 0);
}

TEST(StretchBlit, ShrinkingAveragesTheCoveredArea) {
    Bitmap src(2, 2);
    src.at(0, 0) = rgbPixel(0, 0, 0);
    src.at(1, 0) = rgbPixel(255, 255, 255);
    src.at(0, 1) = rgbPixel(100, 0, 40);
    src.at(1, 1) = rgbPixel(45, 1, 0);
    Bitmap dst(1, 1, kGround);
    stretchBlit(dst, {0, 0, 1, 1}, src, {0, 0, 2, 2}, dst.bounds(), false);
    EXPECT_EQ(dst.at(0, 0), rgbPixel(100, 64, 74));  // (0+255+100+45)/4 etc., rounded

    // Two-pixel blocks of one colour shrink to that colour, with no bleeding
    // between neighbouring blocks.
    Bitmap blocks(6, 2);
    const Pixel colours[3] = {rgbPixel(200, 0, 0), rgbPixel(0, 200, 0), rgbPixel(0, 0, 200)};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x) blocks.at(x, y) = colours[x / 2];
    Bitmap small(3, 1, kGround);
    stretchBlit(small, {0, 0, 3, 1}, blocks, {0, 0, 6, 2}, small.bounds(), false);
    for (int x = 0; x < 3; ++x) EXPECT_EQ(small.at(x, 0), colours[x]);

    // A non-integer ratio: 3 -> 2 gives weights 2/3 and 1/3.
    Bitmap three(3, 1);
    three.at(0, 0) = rgbPixel(0, 0, 0);
    three.at(1, 0) = rgbPixel(90, 90, 90);
    three.at(2, 0) = rgbPixel(180, 180, 180);
    Bitmap two(2, 1, kGround);
    stretchBlit(two, {0, 0, 2, 1}, three, {0, 0, 3, 1}, two.bounds(), false);
    EXPECT_EQ(pixelRed(two.at(0, 0)), 30);
    EXPECT_EQ(pixelRed(two.at(1, 0)), 150);
}

TEST(StretchBlit, EnlargingInterpolatesBilinearly) {
    Bitmap src(2, 1);
    src.at(0, 0) = rgbPixel(0, 0, 0);
    src.at(1, 0) = rgbPixel(200, 100, 40);
    Bitmap dst(4, 2, kGround);
    stretchBlit(dst, {0, 0, 4, 2}, src, {0, 0, 2, 1}, dst.bounds(), false);
    const int expected[4] = {0, 50, 150, 200};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(pixelRed(dst.at(x, y)), expected[x]) << x;
    EXPECT_EQ(pixelGreen(dst.at(1, 0)), 25);
}

TEST(StretchBlit, HonourAlphaSkipsTransparentPixels) {
    Bitmap src(2, 1);
    src.at(0, 0) = 0x00FF00FFu;  // transparent magenta
    src.at(1, 0) = rgbPixel(1, 2, 3);
    Bitmap dst(2, 1, kGround);
    stretchBlit(dst, {0, 0, 2, 1}, src, {0, 0, 2, 1}, dst.bounds(), true);
    EXPECT_EQ(dst.at(0, 0), kGround);
    EXPECT_EQ(dst.at(1, 0), rgbPixel(1, 2, 3));

    // Without it the pixel is copied as it is.
    Bitmap raw(2, 1, kGround);
    stretchBlit(raw, {0, 0, 2, 1}, src, {0, 0, 2, 1}, raw.bounds(), false);
    EXPECT_EQ(raw.at(0, 0), 0x00FF00FFu);

    // Scaled, transparent pixels lend no colour to their neighbours, and an
    // all-transparent area stays untouched.
    Bitmap icon(4, 2, 0);
    icon.at(2, 0) = icon.at(3, 0) = icon.at(2, 1) = icon.at(3, 1) = rgbPixel(0, 0, 250);
    Bitmap scaled(2, 1, kGround);
    stretchBlit(scaled, {0, 0, 2, 1}, icon, {0, 0, 4, 2}, scaled.bounds(), true);
    EXPECT_EQ(scaled.at(0, 0), kGround);
    EXPECT_EQ(scaled.at(1, 0), rgbPixel(0, 0, 250));

    // Runs of opaque pixels between transparent ones, placed off the origin.
    Bitmap row(6, 1);
    const Pixel seq[6] = {rgbPixel(1, 1, 1), rgbPixel(2, 2, 2), 0x00ABCDEFu, rgbPixel(4, 4, 4), 0u, rgbPixel(6, 6, 6)};
    for (int x = 0; x < 6; ++x) row.at(x, 0) = seq[x];
    Bitmap runs(9, 1, kGround);
    stretchBlit(runs, {2, 0, 6, 1}, row, {0, 0, 6, 1}, runs.bounds(), true);
    for (int x = 0; x < 9; ++x) {
        const bool drawn = x >= 2 && x < 8 && pixelAlpha(seq[x - 2]) == 0xFF;
        EXPECT_EQ(runs.at(x, 0), drawn ? seq[x - 2] : kGround) << x;
    }

    // Half-transparent pixels blend.
    Bitmap half(1, 1, 0x80FFFFFFu);
    Bitmap black(1, 1, rgbPixel(0, 0, 0));
    stretchBlit(black, {0, 0, 1, 1}, half, {0, 0, 1, 1}, black.bounds(), true);
    EXPECT_EQ(pixelRed(black.at(0, 0)), 128);
    EXPECT_EQ(pixelAlpha(black.at(0, 0)), 0xFF);
}

TEST(StretchBlit, DegenerateRectanglesDrawNothing) {
    const Bitmap src = pattern(3, 3);
    Bitmap dst(3, 3, kGround);
    const Bitmap before = dst;
    stretchBlit(dst, {0, 0, 0, 3}, src, {0, 0, 3, 3}, dst.bounds(), false);
    stretchBlit(dst, {0, 0, 3, 3}, src, {0, 0, 3, 0}, dst.bounds(), false);
    stretchBlit(dst, {0, 0, 3, 3}, src, {0, 0, 3, 3}, {}, false);
    stretchBlit(dst, {0, 0, 3, 3}, Bitmap(), {0, 0, 3, 3}, dst.bounds(), false);
    stretchBlit(dst, {0, 0, 3, 3}, src, {50, 50, 3, 3}, dst.bounds(), false);
    EXPECT_EQ(dst, before);
    // Huge rectangles far out of range neither crash nor loop for long.
    stretchBlit(dst, {-2000000000, -2000000000, 2100000000, 2100000000}, src, {0, 0, 3, 3}, dst.bounds(), false);
    stretchBlit(dst, {0, 0, 3, 3}, src, {-2000000000, 0, 2100000000, 3}, dst.bounds(), false);
}

TEST(RectOutline, CoversGdiRectangleColumnsAndRows) {
    Bitmap dst(8, 8, kGround);
    const Pixel ink = rgbPixel(255, 255, 0);
    drawRectOutline(dst, 5, 4, 1, 1, ink, kNoClip);  // corners in either order
    std::set<std::pair<int, int>> expected;
    for (int x = 1; x <= 4; ++x) expected.insert({x, 1}), expected.insert({x, 3});
    for (int y = 1; y <= 3; ++y) expected.insert({1, y}), expected.insert({4, y});
    EXPECT_EQ(pixelsOf(dst, ink), expected);

    Bitmap clipped(8, 8, kGround);
    drawRectOutline(clipped, -3, 2, 5, 20, ink, {0, 0, 8, 5});
    std::set<std::pair<int, int>> top;
    for (int x = 0; x <= 4; ++x) top.insert({x, 2});
    for (int y = 2; y <= 4; ++y) top.insert({4, y});
    EXPECT_EQ(pixelsOf(clipped, ink), top);

    Bitmap empty(4, 4, kGround);
    drawRectOutline(empty, 2, 0, 2, 3, ink, kNoClip);
    EXPECT_TRUE(pixelsOf(empty, ink).empty());
}

TEST(Line, LeavesOutTheLastPoint) {
    const Pixel ink = rgbPixel(0, 255, 255);
    Bitmap dst(8, 8, kGround);
    drawLine(dst, 1, 2, 5, 2, ink, kNoClip);
    EXPECT_EQ(pixelsOf(dst, ink), (std::set<std::pair<int, int>>{{1, 2}, {2, 2}, {3, 2}, {4, 2}}));

    Bitmap diag(8, 8, kGround);
    drawLine(diag, 6, 6, 2, 2, ink, kNoClip);
    EXPECT_EQ(pixelsOf(diag, ink), (std::set<std::pair<int, int>>{{6, 6}, {5, 5}, {4, 4}, {3, 3}}));

    Bitmap dot(4, 4, kGround);
    drawLine(dot, 1, 1, 1, 1, ink, kNoClip);
    EXPECT_TRUE(pixelsOf(dot, ink).empty());
}

TEST(Line, SteepLinesStepOnePixelPerRow) {
    const Pixel ink = rgbPixel(9, 9, 9);
    Bitmap dst(8, 12, kGround);
    drawLine(dst, 1, 0, 4, 10, ink, kNoClip);
    const auto lit = pixelsOf(dst, ink);
    ASSERT_EQ(lit.size(), 10u);
    std::set<int> rows;
    for (auto [x, y] : lit) {
        rows.insert(y);
        // Within half a pixel of the ideal line.
        EXPECT_LE(std::abs(2 * (x - 1) * 10 - 2 * 3 * y), 10) << x << "," << y;
    }
    EXPECT_EQ(rows.size(), 10u);
}

TEST(Line, ClippingKeepsThePixelsOfTheWholeLine) {
    const Pixel ink = rgbPixel(200, 0, 0);
    Bitmap whole(40, 30, kGround);
    drawLine(whole, -7, 29, 39, 3, ink, kNoClip);
    const Rect clip{10, 5, 17, 20};
    Bitmap part(40, 30, kGround);
    drawLine(part, -7, 29, 39, 3, ink, clip);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            EXPECT_EQ(part.at(x, y), clip.contains(x, y) ? whole.at(x, y) : kGround) << x << "," << y;
    // End points far away cost nothing extra and still land on the bitmap.
    Bitmap far(10, 10, kGround);
    drawLine(far, -2000000000, 5, 2000000000, 5, ink, kNoClip);
    EXPECT_EQ(pixelsOf(far, ink).size(), 10u);
}

// Thickness s with end points scaled by s: straight lines and outlines cover
// exactly the scaled pixels of the one-pixel drawing; a sloped line covers
// them too, as one smooth band rather than a staircase of squares.
TEST(Thickness, ScaledLinesAndOutlinesCoverTheScaledThinPixels) {
    const Pixel ink = rgbPixel(0, 0, 255);
    auto scaledPixels = [](const std::set<std::pair<int, int>>& thin, int s) {
        std::set<std::pair<int, int>> out;
        for (auto [x, y] : thin)
            for (int dy = 0; dy < s; ++dy)
                for (int dx = 0; dx < s; ++dx) out.insert({x * s + dx, y * s + dy});
        return out;
    };
    for (int s : {2, 3}) {
        SCOPED_TRACE(s);
        struct Segment { int x0, y0, x1, y1; };
        for (const Segment& g : {Segment{1, 2, 5, 2}, Segment{6, 6, 2, 2}, Segment{3, 1, 3, 7}, Segment{2, 5, 3, 5},
                                 Segment{7, 0, 6, 0}}) {
            Bitmap thin(8, 8, kGround), thick(8 * s, 8 * s, kGround);
            drawLine(thin, g.x0, g.y0, g.x1, g.y1, ink, kNoClip);
            drawLine(thick, g.x0 * s, g.y0 * s, g.x1 * s, g.y1 * s, ink, kNoClip, s);
            const auto drawn = pixelsOf(thick, ink), expected = scaledPixels(pixelsOf(thin, ink), s);
            if (g.x0 == g.x1 || g.y0 == g.y1) {
                EXPECT_EQ(drawn, expected) << g.x0 << "," << g.y0;
                continue;
            }
            EXPECT_TRUE(std::includes(drawn.begin(), drawn.end(), expected.begin(), expected.end()));
            for (auto [x, y] : drawn)  // inside the scaled pixels' bounds
                EXPECT_TRUE(x >= 2 * s && x < 7 * s && y >= 2 * s && y < 7 * s) << x << "," << y;
        }
        Bitmap thin(8, 8, kGround), thick(8 * s, 8 * s, kGround);
        drawRectOutline(thin, 1, 1, 6, 5, ink, kNoClip);
        drawRectOutline(thick, s, s, 6 * s, 5 * s, ink, kNoClip, s);
        EXPECT_EQ(pixelsOf(thick, ink), scaledPixels(pixelsOf(thin, ink), s));
    }
    // A sloped thick line is an unbroken band: every row it crosses is lit.
    Bitmap band(40, 40, kGround);
    drawLine(band, 0, 0, 30, 20, ink, kNoClip, 2);
    for (int y = 0; y < 21; ++y) {
        int lit = 0;
        for (int x = 0; x < 40; ++x) lit += band.at(x, y) == ink;
        EXPECT_GE(lit, 2) << "row " << y;
    }
}

TEST(ChangedBounds, BoundsExactlyThePixelsThatDifferInsideTheArea) {
    const Rect area{3, 2, 20, 15};
    Bitmap b = pattern(30, 20);
    std::vector<Pixel> before;
    copyPixels(b, area, before);
    ASSERT_EQ(before.size(), 20u * 15u);
    EXPECT_TRUE(changedBounds(b, area, before).empty());

    // Changes outside the area do not count.
    b.at(0, 0) = kGround;
    b.at(29, 19) = kGround;
    EXPECT_TRUE(changedBounds(b, area, before).empty());

    // One pixel in a corner of the area, then pixels that stretch the box
    // to the area's last column and row.
    b.at(3, 2) = kGround;
    EXPECT_EQ(changedBounds(b, area, before), (Rect{3, 2, 1, 1}));
    b.at(22, 9) = kGround;
    EXPECT_EQ(changedBounds(b, area, before), (Rect{3, 2, 20, 8}));
    b = pattern(30, 20);
    b.at(10, 16) = kGround;
    b.at(7, 12) = kGround;
    b.at(15, 14) = kGround;
    EXPECT_EQ(changedBounds(b, area, before), (Rect{7, 12, 9, 5}));

    // An area reaching past the bitmap is clipped to it on both sides.
    const Rect past{25, 15, 10, 10};
    copyPixels(b, past, before);
    ASSERT_EQ(before.size(), 5u * 5u);
    b.at(29, 19) = 0;
    EXPECT_EQ(changedBounds(b, past, before), (Rect{29, 19, 1, 1}));
}
