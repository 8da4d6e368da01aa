// AutoSize: picture boxes fit their picture plus their border, labels fit
// their caption, at more than one screen density.
#include <gtest/gtest.h>

#include "runtime_fixture.h"

namespace rt::testing {
namespace {

TEST(AutoSize, PictureBoxFitsItsPictureAndBorder) {
    const PictureRef picture = makePicture(20, 10, patternAt);
    struct Border {
        int style, appearance, pixels;
    };
    for (double dpi : {96.0, 120.0}) {
        for (const Border b : {Border{0, 1, 0}, {1, 0, 1}, {1, 1, 2}}) {
            SCOPED_TRACE(::testing::Message() << dpi << " dpi, border " << b.style << "/" << b.appearance);
            Desk d(dpi);
            const float tpp = d.tpp();
            PictureBox& box = d.add<PictureBox>("P", 3, 4, 5, 5);
            box.setBorderStyle(b.style);
            box.setAppearance(b.appearance);
            box.setAutoSize(true);
            box.setPicture(picture);
            EXPECT_FLOAT_EQ(box.Width(), float(20 + 2 * b.pixels) * tpp);
            EXPECT_FLOAT_EQ(box.Height(), float(10 + 2 * b.pixels) * tpp);
            EXPECT_FLOAT_EQ(box.Left(), 3 * tpp);  // the top-left corner stays
            EXPECT_EQ(box.frameClientBounds(), (Rect{3 + b.pixels, 4 + b.pixels, 20, 10}));
            EXPECT_EQ(box.Image()->width(), 20);
            EXPECT_EQ(box.Image()->height(), 10);
            // The picture fills the client area exactly, inside the border.
            const Bitmap frame = d.form.renderAll();
            EXPECT_EQ(frame.at(3 + b.pixels, 4 + b.pixels), patternAt(0, 0));
            EXPECT_EQ(frame.at(3 + b.pixels + 19, 4 + b.pixels + 9), patternAt(19, 9));
        }
    }
}

TEST(AutoSize, TurningItOnOrChangingTheBorderRefits) {
    Desk d(120);
    PictureBox& box = d.add<PictureBox>("P", 0, 0, 50, 50);
    box.setBorderStyle(0);
    box.setPicture(makePicture(20, 10, patternAt));
    EXPECT_FLOAT_EQ(box.Width(), 50 * 12);  // off: the box keeps its size
    box.setAutoSize(true);
    EXPECT_FLOAT_EQ(box.Width(), 20 * 12);
    box.setBorderStyle(1);  // 3D by default: two pixels a side
    EXPECT_FLOAT_EQ(box.Width(), 24 * 12);
    EXPECT_FLOAT_EQ(box.Height(), 14 * 12);
    box.setPicture(makePicture(7, 3, patternAt));
    EXPECT_FLOAT_EQ(box.Width(), 11 * 12);
    EXPECT_FLOAT_EQ(box.Height(), 7 * 12);
}

TEST(AutoSize, LabelFitsItsCaption) {
    float widthAt96 = 0;
    for (double dpi : {96.0, 120.0}) {
        SCOPED_TRACE(dpi);
        Desk d(dpi);
        Label& label = d.add<Label>("L", 2, 2, 1, 1);
        label.setFont(FontSpec{"Arial", 12, false, false});
        label.setCaption("Happy Velmora");
        label.setAutoSize(true);
        const float tpp = d.tpp();
        const int w = d.app.text().textWidth("Happy Velmora", label.font(), dpi);
        const int h = d.app.text().lineHeight(label.font(), dpi);
        ASSERT_GT(w, 0);
        EXPECT_FLOAT_EQ(label.Width(), float(w) * tpp);
        EXPECT_FLOAT_EQ(label.Height(), float(h) * tpp);
        // A longer caption widens it at once.
        label.setCaption("Happy Velmora to all");
        EXPECT_GT(label.Width(), float(w) * tpp);
        // The same caption takes more pixels at the higher density.
        if (dpi == 96.0) widthAt96 = float(w);
        else EXPECT_GT(float(w), widthAt96);
    }
}

TEST(AutoSize, HiddenLabelTakesItsCaptionsSizeWhenRead) {
    platform::HeadlessPlatform platform;
    Application app(platform);
    Form form(app, "Form");
    Label& label = form.add(std::make_unique<Label>(form, "L", -1), nullptr);
    label.setVisible(false);
    label.setFont(FontSpec{"Arial Narrow", 10.2f, false, false});
    label.setCaption("velmora.example");
    label.setAutoSize(true);
    form.compose();
    // Read, the size is the caption's, as if it had been measured at once.
    const int w = app.text().textWidth("velmora.example", label.font(), app.dpi());
    EXPECT_FLOAT_EQ(label.Width(), float(w) * app.twipsPerPixelX());
    // A size set outright stands as set.
    label.setCaption("a longer caption than before");
    label.move(0, 0, 300, 200);
    EXPECT_FLOAT_EQ(label.Width(), 300);
    EXPECT_FLOAT_EQ(label.Height(), 200);
}

}  // namespace
}  // namespace rt::testing
