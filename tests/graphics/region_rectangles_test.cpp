// Region spans turned into the YX-banded rectangles that the X11 backend
// hands to SHAPE and the Win32 backend to ExtCreateRegion.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "runtime/graphics/region.h"

namespace {

using rt::Rect;
using rt::Region;
using rt::Span;
using rt::bandedRectangles;

// A round-cornered region of w x h pixels whose top and bottom rows are
// inset as a 30 x 30 corner ellipse insets them.
Region roundedRegion(int w, int h) {
    const int inset[12] = {11, 9, 7, 6, 5, 4, 3, 2, 2, 1, 1, 0};
    Region r{w, h, {}};
    for (int y = 0; y < h; ++y) {
        const int i = y < 12 ? inset[y] : (h - 1 - y < 12 ? inset[h - 1 - y] : 0);
        r.spans.push_back({y, i, w - i});
    }
    return r;
}

std::set<std::pair<int, int>> pixelsOf(const Region& region) {
    std::set<std::pair<int, int>> out;
    for (const Span& s : region.spans)
        for (int x = s.x0; x < s.x1; ++x) out.insert({x, s.y});
    return out;
}

std::set<std::pair<int, int>> pixelsOf(const std::vector<Rect>& rects) {
    std::set<std::pair<int, int>> out;
    for (const Rect& r : rects)
        for (int y = r.y; y < r.bottom(); ++y)
            for (int x = r.x; x < r.right(); ++x) EXPECT_TRUE(out.insert({x, y}).second) << "overlap at " << x << "," << y;
    return out;
}

// YXBanded: sorted by y then x; rectangles that share rows share both their
// top and their height; bands do not overlap.
void expectYXBanded(const std::vector<Rect>& rects) {
    for (std::size_t i = 1; i < rects.size(); ++i) {
        const Rect& a = rects[i - 1];
        const Rect& b = rects[i];
        if (a.y == b.y) {
            EXPECT_EQ(a.height, b.height) << i;
            EXPECT_LE(a.right(), b.x) << i;
        } else {
            EXPECT_LE(a.bottom(), b.y) << i;
        }
    }
    for (const Rect& r : rects) EXPECT_FALSE(r.empty());
}

TEST(BandedRectangles, EmptyRegionGivesNoRectangles) {
    EXPECT_TRUE(bandedRectangles(Region{}).empty());
    EXPECT_TRUE(bandedRectangles(Region{10, 10, {{0, 3, 3}, {1, 5, 5}}}).empty());  // zero-width spans only
}

TEST(BandedRectangles, PlainRectangleIsOneRectangle) {
    Region r{333, 415, {}};
    for (int y = 0; y < 415; ++y) r.spans.push_back({y, 0, 333});
    EXPECT_EQ(bandedRectangles(r), (std::vector<Rect>{{0, 0, 333, 415}}));
}

TEST(BandedRectangles, RoundedCardMergesIdenticalRowsAndCoversExactlyItsPixels) {
    const Region region = roundedRegion(333, 415);
    const auto rects = bandedRectangles(region);
    // Nine distinct insets on top (rows with 2, 2 and 1, 1 merge), the
    // straight middle, and nine at the bottom.
    EXPECT_EQ(rects.size(), 19u);
    EXPECT_EQ(rects[0], (Rect{11, 0, 311, 1}));
    EXPECT_EQ(rects[7], (Rect{2, 7, 329, 2}));
    EXPECT_EQ(rects[9], (Rect{0, 11, 333, 415 - 22}));
    expectYXBanded(rects);
    EXPECT_EQ(pixelsOf(rects), pixelsOf(region));
}

TEST(BandedRectangles, RowsWithSeveralRunsMergeAsABand) {
    // A frame: full rows at top and bottom, two runs on the rows between.
    Region frame{20, 10, {}};
    for (int y = 0; y < 10; ++y) {
        if (y == 0 || y == 9)
            frame.spans.push_back({y, 0, 20});
        else {
            frame.spans.push_back({y, 0, 3});
            frame.spans.push_back({y, 17, 20});
        }
    }
    const auto rects = bandedRectangles(frame);
    EXPECT_EQ(rects, (std::vector<Rect>{{0, 0, 20, 1}, {0, 1, 3, 8}, {17, 1, 3, 8}, {0, 9, 20, 1}}));
    expectYXBanded(rects);
}

TEST(BandedRectangles, BandsDoNotMergeAcrossGapsOrDifferentRuns) {
    Region r{10, 10, {}};
    r.spans = {{0, 0, 5}, {1, 0, 5}, /* row 2 empty */ {3, 0, 5}, {4, 0, 5},
               {5, 0, 2}, {5, 3, 5},  // same extent as row 4, but split
               {6, 0, 2}, {6, 4, 5},  // same number of runs as row 5, other ends
               {7, 1, 2}, {7, 4, 5}};
    const auto rects = bandedRectangles(r);
    EXPECT_EQ(rects, (std::vector<Rect>{{0, 0, 5, 2},
                                        {0, 3, 5, 2},
                                        {0, 5, 2, 1},
                                        {3, 5, 2, 1},
                                        {0, 6, 2, 1},
                                        {4, 6, 1, 1},
                                        {1, 7, 1, 1},
                                        {4, 7, 1, 1}}));
    expectYXBanded(rects);
    EXPECT_EQ(pixelsOf(rects), pixelsOf(r));
}

TEST(BandedRectangles, ZeroWidthSpansDoNotSplitABand) {
    Region r{10, 3, {{0, 2, 8}, {1, 2, 8}, {1, 9, 9}, {2, 2, 8}}};
    EXPECT_EQ(bandedRectangles(r), (std::vector<Rect>{{2, 0, 6, 3}}));
}

// The shapes the program gives its windows: the card's rounded rectangle
// and the About window's inscribed ellipse, whose rows all differ.
TEST(BandedRectangles, CoverTheRuntimeShapesExactly) {
    for (const Region& shape : {rt::roundRectRegion(333, 415, 30, 30), rt::roundRectRegion(200, 127, 400, 400),
                                rt::roundRectRegion(666, 830, 60, 60)}) {
        const auto rects = bandedRectangles(shape);
        expectYXBanded(rects);
        EXPECT_EQ(pixelsOf(rects), pixelsOf(shape));
    }
}

}  // namespace
