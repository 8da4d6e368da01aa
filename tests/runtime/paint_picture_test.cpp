// PaintPicture: the omitted arguments' defaults (natural size, source from
// the corner, the rest of the picture), bands, scaling, source offsets, and
// what Image holds afterwards.
#include <gtest/gtest.h>

#include "runtime_fixture.h"

namespace rt::testing {
namespace {

const Pixel kBlack = rgbPixel(0, 0, 0);

// An AutoRedraw picture box of 40 x 30 pixels with a black background.
struct Target {
    explicit Target(double dpi) : d(dpi), box(d.box("P", 5, 5, 40, 30, RGB(0, 0, 0), true)), t(d.tpp()) {}
    const Bitmap image() const { return box.Image()->image; }
    Desk d;
    PictureBox& box;
    float t;
};

const PictureRef& pattern() {
    static const PictureRef p = makePicture(20, 10, patternAt);
    return p;
}

TEST(PaintPicture, OmittedSizesCopyTheWholePictureOneToOne) {
    for (double dpi : {96.0, 120.0}) {
        SCOPED_TRACE(dpi);
        Target s(dpi);
        s.box.PaintPicture(pattern(), 2 * s.t, 3 * s.t);
        const Bitmap img = s.image();
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                const bool inside = x >= 2 && x < 22 && y >= 3 && y < 13;
                ASSERT_EQ(img.at(x, y), inside ? patternAt(x - 2, y - 3) : kBlack) << x << "," << y;
            }
        // The window shows the same pixels.
        EXPECT_EQ(s.d.form.renderAll().at(5 + 2, 5 + 3), patternAt(0, 0));
    }
}

TEST(PaintPicture, Height2AloneCopiesABandAtFullWidth) {
    Target s(96);
    s.box.PaintPicture(pattern(), 0, 0, {}, {}, {}, {}, {}, 4 * s.t);
    const Bitmap img = s.image();
    for (int x = 0; x < 20; ++x) {
        for (int y = 0; y < 4; ++y) ASSERT_EQ(img.at(x, y), patternAt(x, y));
        ASSERT_EQ(img.at(x, 4), kBlack);
    }
    EXPECT_EQ(img.at(20, 0), kBlack);
}

TEST(PaintPicture, Width1AndHeight1ScaleTheCopy) {
    Target s(96);
    const Pixel red = rgbPixel(255, 0, 0), green = rgbPixel(0, 255, 0);
    const PictureRef halves = makePicture(4, 2, [&](int x, int) { return x < 2 ? red : green; });
    s.box.PaintPicture(halves, 5 * s.t, 5 * s.t, 16 * s.t, 6 * s.t);
    const Bitmap img = s.image();
    for (int y = 5; y < 11; ++y) {
        for (int x = 5; x < 9; ++x) ASSERT_EQ(img.at(x, y), red) << x << "," << y;
        for (int x = 17; x < 21; ++x) ASSERT_EQ(img.at(x, y), green) << x << "," << y;
        ASSERT_EQ(img.at(4, y), kBlack);
        ASSERT_EQ(img.at(21, y), kBlack);
    }
    for (int x = 5; x < 21; ++x) {
        ASSERT_EQ(img.at(x, 4), kBlack);
        ASSERT_EQ(img.at(x, 11), kBlack);
    }
    // Shrinking to half averages each 2 x 2 block.
    const PictureRef blocks = makePicture(4, 4, [](int x, int y) { return rgbPixel(x % 2 ? 200 : 100, y % 2 ? 40 : 0, 0); });
    s.box.PaintPicture(blocks, 30 * s.t, 20 * s.t, 2 * s.t, 2 * s.t);
    EXPECT_EQ(s.image().at(30, 20), rgbPixel(150, 20, 0));
    EXPECT_EQ(s.image().at(32, 20), kBlack);
}

TEST(PaintPicture, SourceOffsetTakesTheRestOfThePictureAndNoMore) {
    Target s(96);
    s.box.PaintPicture(pattern(), 0, 0, {}, {}, 15 * s.t, 5 * s.t);
    const Bitmap img = s.image();
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool inside = x < 5 && y < 5;
            ASSERT_EQ(img.at(x, y), inside ? patternAt(15 + x, 5 + y) : kBlack) << x << "," << y;
        }
    // A source rectangle reaching past the picture draws only what exists.
    s.box.Cls();
    s.box.PaintPicture(pattern(), 0, 0, {}, {}, 10 * s.t, 0, 20 * s.t, 10 * s.t);
    EXPECT_EQ(s.image().at(9, 9), patternAt(19, 9));
    EXPECT_EQ(s.image().at(10, 0), kBlack);
}

TEST(PaintPicture, ImageHoldsDrawingOnlyWithAutoRedraw) {
    Target s(96);
    s.box.PaintPicture(pattern(), 0, 0);
    EXPECT_EQ(s.image().at(3, 3), patternAt(3, 3));
    s.box.setAutoRedraw(false);  // the persistent image goes with it
    EXPECT_EQ(s.image().at(3, 3), kBlack);
    s.box.PaintPicture(pattern(), 0, 0);
    EXPECT_EQ(s.image().at(3, 3), kBlack);  // on screen only
    EXPECT_EQ(s.d.form.renderAll().at(5 + 3, 5 + 3), patternAt(3, 3));
    // The box's own picture is part of the image either way.
    s.box.setPicture(makePicture(2, 2, [](int, int) { return rgbPixel(9, 9, 9); }));
    EXPECT_EQ(s.image().at(1, 1), rgbPixel(9, 9, 9));
    EXPECT_EQ(s.image().at(2, 2), kBlack);
}

}  // namespace
}  // namespace rt::testing
