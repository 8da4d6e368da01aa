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
    const Bitmap image() const { return box.Image()->image(); }
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

// At 192 dots per inch the surface keeps its drawing at device resolution:
// a picture with a 2x drawing is painted from it, pixel for pixel; Image has
// the logical size (the device image averaged down) and carries the device
// image as its 2x variant; a Line is two device pixels thick.
TEST(PaintPicture, AtTwiceTheDensityDrawsTheSharpDrawingAndImageStaysLogical) {
    Target s(192);
    ASSERT_EQ(s.d.app.scale(), 2);
    auto picture = std::const_pointer_cast<Picture>(makePicture(20, 10, patternAt));
    auto sharp = std::const_pointer_cast<Picture>(makePicture(40, 20, [](int x, int y) { return patternAt(x, y); }));
    picture->variants.push_back(std::make_shared<const PictureVariant>(2, PictureRef(sharp)));
    s.box.PaintPicture(picture, 2 * s.t, 1 * s.t);
    s.box.Line(0, 0, 20 * s.t, 39 * s.t, 20 * s.t, RGB(255, 255, 255));

    const Bitmap frame = s.d.form.renderAll();
    ASSERT_EQ(frame.width(), 400);
    ASSERT_EQ(frame.height(), 200);
    // The box's client area starts at logical (5, 5): device (10, 10).
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(frame.at(10 + 4 + x, 10 + 2 + y), sharp->image().at(x, y)) << x << "," << y;
    for (int x = 0; x < 78; ++x) {
        EXPECT_EQ(frame.at(10 + x, 10 + 40), rgbPixel(255, 255, 255)) << x;
        EXPECT_EQ(frame.at(10 + x, 10 + 41), rgbPixel(255, 255, 255)) << x;
        EXPECT_EQ(frame.at(10 + x, 10 + 42), kBlack) << x;
    }

    const PictureRef image = s.box.Image();
    ASSERT_EQ(image->width(), 40);
    ASSERT_EQ(image->height(), 30);
    ASSERT_EQ(image->variants.size(), 1u);
    const Picture& device = image->drawingFor(2);
    ASSERT_EQ(device.width(), 80);
    EXPECT_EQ(device.image().at(4 + 7, 2 + 5), sharp->image().at(7, 5));
    // Each logical pixel is the mean of the four device pixels it shows.
    const Pixel a = sharp->image().at(6, 4), b = sharp->image().at(7, 4), c = sharp->image().at(6, 5),
                d = sharp->image().at(7, 5);
    EXPECT_NEAR(pixelRed(image->image().at(2 + 3, 1 + 2)),
                (pixelRed(a) + pixelRed(b) + pixelRed(c) + pixelRed(d)) / 4.0, 1.0);
    EXPECT_EQ(image->image().at(10, 20), rgbPixel(255, 255, 255));
}

}  // namespace
}  // namespace rt::testing
