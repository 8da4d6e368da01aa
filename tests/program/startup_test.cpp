// Start-up, the catalogue's initial state and the card window's layout.
#include <gtest/gtest.h>

#include "card_session.h"
#include "forms/pictures.h"
#include "runtime/graphics/draw.h"
#include "runtime/graphics/region.h"

namespace velmora::testing {
namespace {

using rt::platform::HeadlessOptions;

TEST(Startup, CardWindowIsLaidOutAndShapedBeforeItIsFirstShown) {
    CardSession s;
    CardForm& card = s.card();
    const auto& w = s.cardScreen();
    EXPECT_TRUE(w.visible);
    // The load handler finished before the window appeared: the window was
    // created hidden at design size and is now card-sized and shaped.
    EXPECT_EQ(w.bounds.width, 333);
    EXPECT_EQ(w.bounds.height, 415);
    ASSERT_TRUE(w.shape.has_value());
    EXPECT_EQ(w.shape->width, 333);
    EXPECT_EQ(w.shape->height, 415);
    EXPECT_TRUE(card.RevealPending);
    EXPECT_EQ(card.FrameIndex, 1);
    EXPECT_EQ(card.FrameStep, 1);
    EXPECT_FLOAT_EQ(card.StartTime, 36000.0f);  // 10:00:00 on the virtual wall clock
    EXPECT_FALSE(w.options.showInTaskbar);
}

TEST(Startup, WindowIsCentredOnTheMonitor) {
    HeadlessOptions options;
    options.monitor = {100, 50, 1000, 800};
    CardSession s(options);
    const auto& w = s.cardScreen();
    EXPECT_EQ(w.bounds.x, 100 + (1000 - 333) / 2);
    EXPECT_EQ(w.bounds.y, 50 + (800 - 415) / 2);

    // On a monitor smaller than the card, its top-left corner stays on the
    // monitor, where its buttons can be reached; it hangs off at the right
    // and bottom.
    options.monitor = {1280, 0, 320, 240};
    CardSession small(options);
    EXPECT_EQ(small.cardScreen().bounds.x, 1280);
    EXPECT_EQ(small.cardScreen().bounds.y, 0);
}

TEST(Startup, DensitiesBelow96CountAs96) {
    CardSession s(atDpi(72));
    EXPECT_FLOAT_EQ(s.app().twipsPerPixelX(), 15.0f);
    EXPECT_EQ(s.cardScreen().bounds.width, 333);
    EXPECT_EQ(s.cardScreen().bounds.height, 415);
}

// The sum of the differences between horizontal neighbours over a band of
// rows: how much fine detail the pixels hold.
long detail(const rt::Bitmap& b, int y0, int y1) {
    long sum = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = 1; x < b.width(); ++x) {
            const rt::Pixel p = b.at(x, y), q = b.at(x - 1, y);
            sum += std::abs(rt::pixelRed(p) - rt::pixelRed(q)) + std::abs(rt::pixelGreen(p) - rt::pixelGreen(q)) +
                   std::abs(rt::pixelBlue(p) - rt::pixelBlue(q));
        }
    return sum;
}

// At 192 dots per inch every logical pixel is shown as 2 x 2 device pixels:
// the design and every number of the show stay as at 96, the windows, their
// shapes and their pixels are twice as large, and the pictures are drawn
// from their 2x drawings.
TEST(Startup, AtTwiceTheDensityTheCardIsTwiceAsLargeAndDrawnSharp) {
    CardSession s(atDpi(192));
    CardForm& card = s.card();
    EXPECT_EQ(s.app().scale(), 2);
    EXPECT_EQ(s.app().dpi(), 96.0);
    EXPECT_FLOAT_EQ(s.app().twipsPerPixelX(), 15.0f);
    const auto& w = s.cardScreen();
    EXPECT_EQ(w.bounds, (rt::Rect{(1280 - 666) / 2, (1024 - 830) / 2, 666, 830}));
    EXPECT_EQ(w.screen.width(), 666);
    EXPECT_EQ(w.screen.height(), 830);

    // The shape is the rounded rectangle made at device size, with smooth
    // 60-pixel corners, not the 30-pixel corners' staircase doubled.
    ASSERT_TRUE(w.shape.has_value());
    EXPECT_EQ(*w.shape, rt::roundRectRegion(666, 830, 60, 60));
    rt::Region doubled = *card.shape();
    doubled.roundRect.reset();
    EXPECT_NE(*w.shape, rt::scaleRegion(doubled, 2));
    EXPECT_EQ(*card.shape(), rt::roundRectRegion(333, 415, 30, 30)) << "the runtime keeps the logical shape";

    // The card face is the 2x drawing, pixel for pixel below the flame band,
    // and holds more detail than the 1x picture enlarged would.
    const rt::PictureRef face = picture(Asset::CardFace);
    EXPECT_EQ(face->width(), 333) << "a picture's size stays logical";
    const rt::Bitmap& sharp = face->drawingFor(2).image();
    ASSERT_EQ(sharp.width(), 666);
    for (int y = 470; y < 830; y += 5)
        for (int x = 0; x < 666; x += 5) {
            if (w.shape->contains(x, y)) {
                ASSERT_EQ(w.screen.at(x, y), sharp.at(x, y)) << x << "," << y;
            }
        }
    rt::Bitmap enlarged(666, 830);
    rt::stretchBlit(enlarged, enlarged.bounds(), face->image(), face->image().bounds(), enlarged.bounds(), false);
    EXPECT_GT(detail(w.screen, 470, 800), detail(enlarged, 470, 800) * 11 / 10);

    // A click at the card's upper right, in device pixels, shows the buttons
    // where the design puts them, drawn from their 2x drawings.
    s.advanceTo(1.0);
    ASSERT_TRUE(s.click(2 * 300, 2 * 40));
    EXPECT_TRUE(card.PictureClose.Visible() && card.PictureAbout.Visible());
    const rt::Rect close = card.PictureClose.framePixelBounds();
    const rt::Bitmap& glyph = picture(Asset::CloseGlyph)->drawingFor(2).image();
    ASSERT_EQ(glyph.width(), 36);
    for (int y = 0; y < 36; ++y)
        for (int x = 0; x < 36; ++x)
            ASSERT_EQ(w.screen.at(2 * close.x + x, 2 * close.y + y) & 0xFFFFFFu, glyph.at(x, y) & 0xFFFFFFu);

    // The About window: twice its logical 200 x 127, and an oval.
    const auto [ax, ay] = CardSession::centreOf(card.PictureAbout);
    ASSERT_TRUE(s.click(2 * ax, 2 * ay));
    ASSERT_NE(s.about(), nullptr);
    const auto& about = s.platform().window(s.about()->hWnd());
    EXPECT_EQ(about.bounds.width, 400);
    EXPECT_EQ(about.bounds.height, 254);
    ASSERT_TRUE(about.shape.has_value());
    EXPECT_EQ(*about.shape, rt::roundRectRegion(400, 254, 400, 254));
    EXPECT_FALSE(about.shape->contains(20, 20));
    EXPECT_FALSE(about.shape->contains(380, 234));
    EXPECT_TRUE(about.shape->contains(200, 127));

    // The pointer over a link shows the hand drawn at 2x, its hot spot still
    // at the fingertip.
    const auto [lx, ly] = CardSession::centreOf(s.about()->Label4);
    ASSERT_TRUE(s.session().move(s.about()->hWnd(), 2 * lx, 2 * ly));
    ASSERT_NE(about.cursor, nullptr);
    EXPECT_EQ(about.cursor->width(), 64);
    EXPECT_EQ(about.cursor->height(), 64);
    EXPECT_EQ(about.cursor->hotspotX, 0);
    EXPECT_EQ(about.cursor->hotspotY, 0);
}

// The device scale is the whole part of dpi / 96 (at most 3) unless the
// desktop states one; the runtime works at dpi / scale, at least 96.
TEST(Startup, TheDeviceScaleComesFromTheDesktopOrItsDensity) {
    struct Case {
        double dpi;
        int statedScale;
        int scale;
        double logicalDpi;
    };
    for (const Case& c : {Case{191, 0, 1, 191}, Case{240, 0, 2, 120}, Case{288, 0, 3, 96}, Case{480, 0, 3, 160},
                          Case{96, 2, 2, 96}, Case{192, 1, 1, 192}, Case{192, 9, 2, 96}}) {
        SCOPED_TRACE(c.dpi);
        HeadlessOptions options = atDpi(c.dpi);
        options.scale = c.statedScale;
        CardSession s(options);
        EXPECT_EQ(s.app().scale(), c.scale);
        EXPECT_DOUBLE_EQ(s.app().dpi(), c.logicalDpi);
        const rt::Rect face = s.card().Picture1(0).pixelBounds();
        EXPECT_EQ(s.cardScreen().bounds.width, face.width * c.scale);
        EXPECT_EQ(s.cardScreen().bounds.height, face.height * c.scale);
        EXPECT_EQ(s.cardScreen().screen.width(), face.width * c.scale);
    }
}

TEST(Startup, OnlyTheCardFaceIsVisibleAfterCreation) {
    CardSession s;
    CardForm& card = s.card();
    for (const auto& control : card.controls()) {
        if (control->kind() == rt::ControlKind::Timer) continue;
        const bool isCardFace = control->Name() == "Picture1" && control->Index() == 0;
        // Image1 is visible itself, inside the hidden Picture3.
        if (control->Name() == "Image1") {
            EXPECT_FALSE(control->shownOnScreen());
            continue;
        }
        EXPECT_EQ(control->Visible(), isCardFace) << control->Name() << "(" << control->Index() << ")";
    }
    EXPECT_TRUE(card.Timer1.Enabled());
    EXPECT_FALSE(card.Timer2.Enabled());
    EXPECT_FALSE(card.Timer4.Enabled());
    EXPECT_FALSE(card.TimerScreenShots.Enabled());
}

TEST(Startup, LayoutPlacesTheButtonsInAColumnAtTheUpperRight) {
    for (double dpi : {96.0, 120.0}) {
        CardSession s(atDpi(dpi));
        CardForm& card = s.card();
        const float tpp = float(1440.0 / dpi);
        EXPECT_FLOAT_EQ(card.Picture1(0).Left(), 0);
        EXPECT_FLOAT_EQ(card.Picture1(0).Top(), 0);
        EXPECT_FLOAT_EQ(card.Picture1(0).Width(), 333 * tpp);
        EXPECT_FLOAT_EQ(card.Width(), card.Picture1(0).Width());
        EXPECT_FLOAT_EQ(card.Height(), card.Picture1(0).Height());
        const float buttonLeft = card.Width() - card.PictureClose.Width() - 120;
        EXPECT_FLOAT_EQ(card.PictureClose.Left(), buttonLeft);
        EXPECT_FLOAT_EQ(card.PictureAbout.Left(), buttonLeft);
        EXPECT_FLOAT_EQ(card.PictureClose.Top(), 100);
        EXPECT_FLOAT_EQ(card.PictureAbout.Top(), 100 + card.PictureClose.Height() + 50);
        EXPECT_EQ(s.cardScreen().bounds.width, 333);
        EXPECT_EQ(s.cardScreen().bounds.height, 415);
    }
}

TEST(Startup, At120DpiTheStoredDesignSizesComeOut) {
    CardSession s(atDpi(120));
    CardForm& card = s.card();
    EXPECT_FLOAT_EQ(card.Picture1(0).Width(), 3996);
    EXPECT_FLOAT_EQ(card.Picture1(0).Height(), 4980);
    EXPECT_FLOAT_EQ(card.Picture1(2).Width(), 4020);  // flat frame: one pixel each side
    EXPECT_FLOAT_EQ(card.Picture1(1).Width(), 4044);  // 3D frame: two pixels each side
    EXPECT_FLOAT_EQ(card.PictureClose.Width(), 216);
    EXPECT_FLOAT_EQ(card.PictureClose.Left(), 3660);
    EXPECT_FLOAT_EQ(card.PictureAbout.Top(), 366);
    EXPECT_FLOAT_EQ(card.Image1.Width(), 2412);
    EXPECT_FLOAT_EQ(card.Image1.Height(), 444);
}

TEST(Startup, FirstFrameShowsTheCardFaceInsideTheRoundedShape) {
    CardSession s;
    const auto& w = s.cardScreen();
    const rt::PictureRef face = picture(Asset::CardFace);
    // Below the flame band the screen is the card picture itself.
    for (auto [x, y] : {std::pair{166, 300}, {20, 400}, {310, 390}, {166, 232}})
        EXPECT_EQ(w.screen.at(x, y), face->image().at(x, y)) << x << "," << y;
    // The corner pixel lies outside the shape; the pixel inside it does not.
    EXPECT_FALSE(w.shape->contains(0, 0));
    EXPECT_TRUE(w.shape->contains(11, 0));
    EXPECT_FALSE(w.shape->contains(332, 414));
    EXPECT_TRUE(w.shape->contains(166, 207));
}

TEST(Startup, PointerInputOutsideTheShapePassesThrough) {
    CardSession s;
    EXPECT_FALSE(s.click(0, 0));      // the corner belongs to what lies beneath
    EXPECT_TRUE(s.click(166, 300));   // the card face takes it
    EXPECT_TRUE(s.card().PictureClose.Visible());
}

TEST(Startup, AppFolderLosesOneTrailingSeparatorOnly) {
    EXPECT_EQ(withoutTrailingSeparator("/opt/velmora", '/'), "/opt/velmora");
    EXPECT_EQ(withoutTrailingSeparator("/", '/'), "");
    EXPECT_EQ(withoutTrailingSeparator("C:\\", '\\'), "C:");
    EXPECT_EQ(withoutTrailingSeparator("C:\\Card\\\\", '\\'), "C:\\Card\\");
    EXPECT_EQ(withoutTrailingSeparator("", '\\'), "");
    CardSession s;
    EXPECT_FALSE(s.program().AppFolder.empty());
    EXPECT_NE(s.program().AppFolder.back(), '/');
}

}  // namespace
}  // namespace velmora::testing
