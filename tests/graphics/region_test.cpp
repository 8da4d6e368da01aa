// Window shapes: the rounded rectangle must match Windows' CreateRoundRectRgn
// pixel for pixel, as measured for a 30 x 30 corner.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "runtime/graphics/region.h"

using namespace rt;

namespace {

// Row -> (first column, one past the last) of a region whose rows are single
// spans; fails the test if a row has more than one.
std::map<int, std::pair<int, int>> rowsOf(const Region& r) {
    std::map<int, std::pair<int, int>> rows;
    for (const Span& s : r.spans) {
        EXPECT_EQ(rows.count(s.y), 0u) << "row " << s.y << " has two spans";
        EXPECT_LT(s.x0, s.x1);
        rows[s.y] = {s.x0, s.x1};
    }
    return rows;
}

void expectSymmetric(const Region& r) {
    const auto rows = rowsOf(r);
    for (const auto& [y, span] : rows) {
        EXPECT_EQ(span.first, r.width - span.second) << "row " << y << " is not centred";
        const auto mirror = rows.find(r.height - 1 - y);
        ASSERT_NE(mirror, rows.end()) << "row " << y << " has no mirror row";
        EXPECT_EQ(mirror->second, span) << "rows " << y << " and " << r.height - 1 - y;
    }
}

}  // namespace

TEST(RoundRectRegion, CardCornersMatchWindows) {
    const Region r = roundRectRegion(333, 415, 30, 30);
    EXPECT_EQ(r.width, 333);
    EXPECT_EQ(r.height, 415);
    const auto rows = rowsOf(r);
    ASSERT_EQ(rows.size(), 415u);
    const int firstInside[12] = {11, 9, 7, 6, 5, 4, 3, 2, 2, 1, 1, 0};
    for (int y = 0; y < 12; ++y) {
        EXPECT_EQ(rows.at(y).first, firstInside[y]) << "top row " << y;
        EXPECT_EQ(rows.at(y).second, 333 - firstInside[y]) << "top row " << y;
        EXPECT_EQ(rows.at(414 - y).first, firstInside[y]) << "bottom row " << 414 - y;
        EXPECT_EQ(rows.at(414 - y).second, 333 - firstInside[y]) << "bottom row " << 414 - y;
    }
    for (int y = 12; y <= 402; ++y) EXPECT_EQ(rows.at(y), std::make_pair(0, 333)) << "row " << y;
    EXPECT_FALSE(r.contains(10, 0));
    EXPECT_TRUE(r.contains(11, 0));
    EXPECT_TRUE(r.contains(332, 200));
    EXPECT_FALSE(r.contains(333, 200));
    EXPECT_FALSE(r.contains(200, 415));
    expectSymmetric(r);
}

TEST(RoundRectRegion, CornersAreSymmetricForManySizes) {
    for (int w : {2, 3, 7, 20, 33, 64})
        for (int h : {2, 5, 18, 31, 64})
            for (int d : {2, 3, 4, 9, 10, 17, 30, 31, 200}) {
                SCOPED_TRACE(testing::Message() << w << "x" << h << " d=" << d);
                const Region r = roundRectRegion(w, h, d, d + 1);
                expectSymmetric(r);
                // Every row between the corners is present.
                const auto rows = rowsOf(r);
                EXPECT_EQ(rows.size(), std::size_t(h));
            }
}

TEST(RoundRectRegion, LargeDiameterGivesTheInscribedEllipse) {
    // The About window at 120 and 96 dots per inch.
    for (auto [w, h] : {std::pair{250, 159}, std::pair{200, 127}}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        const Region r = roundRectRegion(w, h, 250, 250);
        EXPECT_EQ(r, roundRectRegion(w, h, w, h));
        expectSymmetric(r);
        const auto rows = rowsOf(r);
        ASSERT_EQ(rows.size(), std::size_t(h));
        // Each row's first pixel lies inside the ideal ellipse through the
        // centres of the outermost pixels grown by a pixel, and the pixel
        // before it outside that ellipse shrunk by a pixel.
        const double a = (w - 1) / 2.0, b = (h - 1) / 2.0;
        auto inEllipse = [&](double x, double y, double grow) {
            const double u = (x - a) / (a + grow), v = (y - b) / (b + grow);
            return u * u + v * v <= 1.0;
        };
        for (const auto& [y, span] : rows) {
            EXPECT_TRUE(inEllipse(span.first, y, 1.0)) << "row " << y;
            if (span.first > 0) {
                EXPECT_FALSE(inEllipse(span.first - 1, y, -1.0)) << "row " << y;
            }
        }
        EXPECT_EQ(rows.at(h / 2), std::make_pair(0, w));
        // The outline bulges: insets shrink from the top row to the middle.
        for (int y = 1; y <= h / 2; ++y) EXPECT_LE(rows.at(y).first, rows.at(y - 1).first) << y;
        EXPECT_TRUE(r.contains(w / 2, 0));
        EXPECT_TRUE(r.contains(0, h / 2));
        EXPECT_FALSE(r.contains(0, 0));
        EXPECT_FALSE(r.contains(w - 1, h - 1));
        EXPECT_FALSE(r.contains(w / 10, h / 10));
    }
}

TEST(RoundRectRegion, TinyAndDegenerateSizes) {
    EXPECT_TRUE(roundRectRegion(0, 10, 30, 30).spans.empty());
    EXPECT_TRUE(roundRectRegion(10, -1, 30, 30).spans.empty());
    EXPECT_TRUE(rectRegion(0, 0).spans.empty());
    // An ellipse under two pixels either way is the plain rectangle.
    EXPECT_EQ(roundRectRegion(5, 4, 1, 30), rectRegion(5, 4));
    EXPECT_EQ(roundRectRegion(5, 4, 0, 0), rectRegion(5, 4));
    EXPECT_EQ(roundRectRegion(1, 1, 30, 30), rectRegion(1, 1));
    // Negative diameters count by their size.
    EXPECT_EQ(roundRectRegion(40, 30, -12, -12), roundRectRegion(40, 30, 12, 12));
    const Region r = rectRegion(3, 2);
    EXPECT_EQ(r.spans, (std::vector<Span>{{0, 0, 3}, {1, 0, 3}}));
    const Region small = roundRectRegion(2, 2, 2, 2);
    EXPECT_FALSE(small.spans.empty());
    expectSymmetric(small);
}

TEST(RoundRectRegion, SameInputGivesEqualRegions) {
    EXPECT_EQ(roundRectRegion(333, 415, 30, 30), roundRectRegion(333, 415, 30, 30));
    EXPECT_NE(roundRectRegion(333, 415, 30, 30), roundRectRegion(333, 415, 32, 30));
}

TEST(ScaleRegion, RoundedRectanglesAreMadeAgainAndOtherRegionsScaledSpanBySpan) {
    // The card's shape at twice the size: the 60-pixel corners, not the
    // 30-pixel corners' staircase doubled.
    const Region card = roundRectRegion(333, 415, 30, 30);
    EXPECT_EQ(scaleRegion(card, 2), roundRectRegion(666, 830, 60, 60));
    EXPECT_EQ(scaleRegion(roundRectRegion(200, 127, 250, 250), 2), roundRectRegion(400, 254, 400, 254));
    EXPECT_EQ(scaleRegion(card, 1), card);

    // A rounded rectangle away from the origin keeps its place, scaled.
    Region moved = roundRectRegion(10, 8, 4, 4);
    for (Span& s : moved.spans) s.y += 2, s.x0 += 3, s.x1 += 3;
    moved.roundRect->left = 3;
    moved.roundRect->top = 2;
    Region expected = roundRectRegion(30, 24, 12, 12);
    for (Span& s : expected.spans) s.y += 6, s.x0 += 9, s.x1 += 9;
    expected.width = 30, expected.height = 24;
    EXPECT_EQ(scaleRegion(moved, 3), expected);

    // Any other region: every device pixel is in it exactly when the logical
    // pixel it shows is.
    Region any{5, 3, {{0, 1, 3}, {0, 4, 5}, {2, 0, 2}}, std::nullopt};
    const Region big = scaleRegion(any, 2);
    EXPECT_EQ(big.width, 10);
    EXPECT_EQ(big.height, 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x) EXPECT_EQ(big.contains(x, y), any.contains(x / 2, y / 2)) << x << "," << y;
}
