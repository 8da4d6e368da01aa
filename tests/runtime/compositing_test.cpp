// Stacking and compositing: windowless controls behind windowed ones,
// ZOrder, hidden controls, what AutoRedraw keeps, and the compositor
// presenting only what changed.
#include <gtest/gtest.h>

#include "runtime_fixture.h"

namespace rt::testing {
namespace {

constexpr OleColor kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255), kGreen = RGB(0, 255, 0);
constexpr OleColor kYellow = RGB(255, 255, 0);
const Pixel kWhitePixel = rgbPixel(255, 255, 255);

TEST(Stacking, LabelsStayBehindPictureBoxesWhateverTheOrder) {
    for (bool labelFirst : {true, false}) {
        SCOPED_TRACE(labelFirst ? "label listed in front" : "label listed behind");
        Desk d;
        auto addLabel = [&] {
            Label& l = d.add<Label>("L", 10, 10, 50, 50);
            l.setBackStyle(1);
            l.setBackColor(kRed);
            return &l;
        };
        Label* label = labelFirst ? addLabel() : nullptr;
        d.box("P", 30, 30, 50, 50, kBlue);
        if (!label) label = addLabel();
        label->ZOrder();  // in front of its own sort only
        const Bitmap frame = d.form.renderAll();
        EXPECT_EQ(frame.at(40, 40), colourToPixel(kBlue));
        EXPECT_EQ(frame.at(15, 15), colourToPixel(kRed));
        EXPECT_EQ(frame.at(70, 70), colourToPixel(kBlue));
        // Pointer input goes to what is seen.
        EXPECT_EQ(d.form.controlAt(40, 40)->Name(), "P");
        EXPECT_EQ(d.form.controlAt(15, 15)->Name(), "L");
    }
}

TEST(Stacking, ZOrderBringsAPictureBoxToTheFront) {
    Desk d;
    PictureBox& green = d.box("G", 10, 10, 40, 40, kGreen);
    PictureBox& blue = d.box("B", 30, 30, 40, 40, kBlue);
    EXPECT_EQ(d.form.renderAll().at(35, 35), colourToPixel(kGreen));  // listed first: in front
    blue.ZOrder();
    EXPECT_EQ(d.form.renderAll().at(35, 35), colourToPixel(kBlue));
    EXPECT_EQ(d.form.controlAt(35, 35), &blue);
    green.ZOrder();
    EXPECT_EQ(d.form.renderAll().at(35, 35), colourToPixel(kGreen));
    green.ZOrder(1);  // to the back
    EXPECT_EQ(d.form.renderAll().at(35, 35), colourToPixel(kBlue));
}

TEST(Stacking, HiddenControlsAreNotDrawnAndKeepTheirPersistentDrawing) {
    Desk d;
    PictureBox& kept = d.box("Kept", 10, 10, 30, 30, kBlue, /*autoRedraw=*/true);
    PictureBox& lost = d.box("Lost", 100, 10, 30, 30, kBlue, /*autoRedraw=*/false);
    kept.setVisible(false);
    lost.setVisible(false);
    const float t = d.tpp();
    for (PictureBox* b : {&kept, &lost}) b->Line(DrawingSurface::kLineBox, 5 * t, 5 * t, 15 * t, 15 * t, kYellow);
    Bitmap frame = d.form.renderAll();
    EXPECT_EQ(frame.at(20, 20), kWhitePixel);  // hidden: the form shows through
    EXPECT_EQ(frame.at(15, 15), kWhitePixel);
    kept.setVisible(true);
    lost.setVisible(true);
    frame = d.form.renderAll();
    EXPECT_EQ(frame.at(15, 15), colourToPixel(kYellow));   // the outline's corner
    EXPECT_EQ(frame.at(20, 20), colourToPixel(kBlue));
    EXPECT_EQ(frame.at(105, 15), colourToPixel(kBlue));    // screen-only drawing: repainted away
    EXPECT_EQ(d.form.controlAt(20, 20), &kept);
}

TEST(Compositing, PersistentDrawingSurvivesASiblingPassingOver) {
    Desk d;
    d.form.Show();
    PictureBox& drawn = d.box("Drawn", 10, 10, 40, 40, kBlue, /*autoRedraw=*/true);
    PictureBox& cover = d.box("Cover", 120, 10, 40, 40, kGreen);
    cover.ZOrder();
    const float t = d.tpp();
    drawn.Line(DrawingSurface::kLineBox, 10 * t, 10 * t, 30 * t, 30 * t, kYellow);
    d.form.compose();
    EXPECT_EQ(d.window().screen.at(20, 20), colourToPixel(kYellow));
    cover.setLeft(5 * t);
    d.form.compose();
    EXPECT_EQ(d.window().screen.at(20, 20), colourToPixel(kGreen));
    cover.setLeft(120 * t);
    d.form.compose();
    EXPECT_EQ(d.window().screen.at(20, 20), colourToPixel(kYellow));
    EXPECT_EQ(d.window().screen.at(39, 39), colourToPixel(kYellow));
    EXPECT_EQ(d.window().screen.at(40, 40), colourToPixel(kBlue));
}

TEST(Compositing, ResizingLosesScreenOnlyDrawingButNotPersistentDrawing) {
    Desk d;
    d.form.Show();
    PictureBox& screenOnly = d.box("S", 10, 10, 40, 40, kBlue, /*autoRedraw=*/false);
    PictureBox& persistent = d.box("P", 100, 10, 40, 40, kBlue, /*autoRedraw=*/true);
    const float t = d.tpp();
    for (PictureBox* b : {&screenOnly, &persistent}) b->Line(0, 0, 5 * t, 30 * t, 5 * t, kYellow);
    d.form.compose();
    EXPECT_EQ(d.window().screen.at(10, 15), colourToPixel(kYellow));
    EXPECT_EQ(d.window().screen.at(100, 15), colourToPixel(kYellow));
    // The screen-only drawing was never in the image.
    EXPECT_EQ(screenOnly.Image()->image().at(0, 5), colourToPixel(kBlue));
    EXPECT_EQ(persistent.Image()->image().at(0, 5), colourToPixel(kYellow));

    screenOnly.setWidth(60 * t);
    persistent.setWidth(60 * t);
    d.form.compose();
    EXPECT_EQ(d.window().screen.at(10, 15), colourToPixel(kBlue));
    EXPECT_EQ(d.window().screen.at(100, 15), colourToPixel(kYellow));
    EXPECT_EQ(d.window().screen.at(155, 15), colourToPixel(kBlue));  // the new part
}

TEST(Compositing, PresentsOnlyTheDirtyRectangle) {
    Desk d;
    PictureBox& small = d.box("Small", 0, 0, 10, 10, kRed);
    d.form.Show();
    d.form.compose();
    const int presents = d.window().presents;
    EXPECT_EQ(d.window().screen.at(5, 5), colourToPixel(kRed));

    small.setLeft(50 * d.tpp());
    small.setTop(20 * d.tpp());
    d.form.compose();
    EXPECT_EQ(d.window().presents, presents + 1);
    // Old and new places, and nothing else.
    EXPECT_EQ(d.window().lastPresented, (Rect{0, 0, 60, 30}));
    EXPECT_EQ(d.window().screen.at(5, 5), kWhitePixel);
    EXPECT_EQ(d.window().screen.at(55, 25), colourToPixel(kRed));

    d.form.compose();  // nothing changed
    EXPECT_EQ(d.window().presents, presents + 1);
    small.setVisible(false);
    d.form.compose();
    EXPECT_EQ(d.window().presents, presents + 2);
    EXPECT_EQ(d.window().lastPresented, (Rect{50, 20, 10, 10}));
    EXPECT_EQ(d.window().screen.at(55, 25), kWhitePixel);
    // A hidden control's changes leave the screen alone.
    small.setBackColor(kGreen);
    small.setLeft(0);
    d.form.compose();
    EXPECT_EQ(d.window().presents, presents + 2);
}

// A repaint larger than the compositor's comparing band is compared band by
// band: what is presented is still the bounding box of the changed pixels
// across the bands, and the copy kept for comparing stays a band's size.
TEST(Compositing, ALargeRepaintIsComparedInBoundedBands) {
    for (const double dpi : {96.0, 192.0}) {
        Desk d(dpi, 300, 200);
        const int s = d.form.scale();
        const float t = d.tpp();
        PictureBox& face = d.box("Face", 0, 0, 300, 200, kBlue, /*autoRedraw=*/true);
        const PictureRef pattern = makePicture(300, 200, patternAt);
        face.PaintPicture(pattern, 0, 0);
        d.form.Show();
        const int presents = d.window().presents;
        // The whole box is dirty; only two small spots far apart change.
        const PictureRef spot = makePicture(4, 3, [](int, int) { return rgbPixel(1, 2, 3); });
        face.PaintPicture(pattern, 0, 0);
        face.PaintPicture(spot, 20 * t, 5 * t);
        face.PaintPicture(spot, 250 * t, 180 * t);
        d.form.compose();
        EXPECT_EQ(d.window().presents, presents + 1) << dpi;
        EXPECT_EQ(d.window().lastPresented, (Rect{20, 5, 234, 178}.scaled(s))) << dpi;
        EXPECT_TRUE(d.window().screen == d.form.renderAll()) << dpi;
        EXPECT_LE(d.form.comparePixelsKept(), std::size_t(Form::kCompareBandPixels)) << dpi;
        // Nothing changed in any band: nothing is presented.
        face.PaintPicture(pattern, 0, 0);
        face.PaintPicture(spot, 20 * t, 5 * t);
        face.PaintPicture(spot, 250 * t, 180 * t);
        d.form.compose();
        EXPECT_EQ(d.window().presents, presents + 1) << dpi;
    }
}

// A picture box moved as it is gets carried: only strips, new drawing and
// what lies in front are presented; the window shows a whole repaint.
TEST(Compositing, AMovedPictureBoxIsCarriedAndOnlyTheRestPresented) {
    for (const double dpi : {96.0, 192.0}) {
        Desk d(dpi);
        const int s = d.form.scale();
        const float t = d.tpp();
        d.add<Label>("Behind", 0, 0, 200, 100).setBackColor(kGreen);
        PictureBox& face = d.box("Face", -4, 10, 120, 80, kBlue, /*autoRedraw=*/true);
        face.PaintPicture(makePicture(120, 80, patternAt), 0, 0);
        d.box("Button", 50, 20, 10, 10, kYellow).ZOrder();
        d.form.Show();
        const PictureRef other = makePicture(30, 20, [](int x, int y) { return rgbPixel(200, x * 8, y * 12); });
        const auto step = [&](float left, float top, bool drawn, int carried, const char* what) {
            if (drawn) face.PaintPicture(other, 40 * t, 5 * t);
            face.move(left * t, top * t, face.Width(), face.Height());
            if (drawn) face.PaintPicture(other, 70 * t, 50 * t, {}, {}, 5 * t, 5 * t);
            d.form.compose();
            const Bitmap whole = d.form.renderAll();
            EXPECT_EQ(d.window().moves, carried) << what << " at " << dpi;
            EXPECT_TRUE(d.form.framebuffer() == whole && d.window().screen == whole) << what << " at " << dpi;
        };
        step(-1, 10, false, 1, "in front of the button, in from the edge");
        long exposed = 0;  // the strips beside the box, and the button where it was carried
        for (const Rect& r : d.window().lastMoveExposed) exposed += long(r.width) * r.height;
        EXPECT_LT(exposed * 8, 120L * 80 * s * s);
        step(2, 7, false, 2, "diagonally");
        step(0, 7, true, 3, "drawn on before and after the move");
        step(125, 7, false, 3, "clear of its old place");
    }
}

}  // namespace
}  // namespace rt::testing
