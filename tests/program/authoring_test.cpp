// The authoring aids: Command1's band of dark-red outlines, Picture3's copy
// of the card beneath it, and the link that opens the web site.
#include <gtest/gtest.h>

#include <algorithm>

#include "card_session.h"
#include "forms/web_addresses.h"
#include "runtime/system_calls.h"

namespace velmora::testing {
namespace {

using rt::platform::HeadlessOptions;

// The red shade of outline pass i: 25 up to pass 9, one more from passes
// 10, 30, 50, ... 170, and 35 only from pass 191, where the shade added up
// 0.1 at a time first passes 69.
int shadeOfPass(int i) {
    if (i >= 191) return 35;
    if (i >= 170) return 34;
    if (i < 10) return 25;
    return 26 + (i - 10) / 20;
}

// At 15 twips per pixel, on a card face 4995 x 6225 twips (333 x 415
// pixels), outline i has its left column at round(i / 15) and its right
// column at 332 - round(i / 15); the last pass to touch column x (x < 13)
// is therefore 15x + 7, and column 13 belongs to pass 200.
int lastPassOnColumn(int x) { return std::min(200, 15 * x + 7); }

rt::Pixel red(int r) { return rt::rgbPixel(r, 0, 0); }

TEST(Command1, OutlinesFormADarkRedBandAlongTheCardFaceEdge) {
    CardSession s;
    CardForm& card = s.card();
    const rt::Bitmap before = card.Picture1(0).Image()->image();
    card.Command1.Click();
    const rt::Bitmap after = card.Picture1(0).Image()->image();
    ASSERT_EQ(after.width(), 333);
    ASSERT_EQ(after.height(), 415);

    // The first outlines run along the very edge, on all four sides.
    for (int y = 0; y < 415; ++y) {
        ASSERT_EQ(after.at(0, y), red(25)) << y;
        ASSERT_EQ(after.at(332, y), red(25)) << y;
    }
    for (int x = 0; x < 333; ++x) {
        ASSERT_EQ(after.at(x, 0), red(25)) << x;
        ASSERT_EQ(after.at(x, 414), red(25)) << x;
    }
    // Across the band, darkest outside; the band ends 14 pixels in.
    for (int y : {14, 231, 300, 400}) {
        for (int x = 0; x <= 13; ++x) {
            EXPECT_EQ(after.at(x, y), red(shadeOfPass(lastPassOnColumn(x)))) << x << "," << y;
            EXPECT_EQ(after.at(332 - x, y), red(shadeOfPass(lastPassOnColumn(x)))) << x << "," << y;
        }
        EXPECT_EQ(after.at(14, y), before.at(14, y));
        EXPECT_EQ(after.at(318, y), before.at(318, y));
    }
    for (int x = 14; x <= 318; ++x) {
        EXPECT_EQ(after.at(x, 12), red(34)) << x;  // passes 173 to 187 share row 12
        EXPECT_EQ(after.at(x, 13), red(35)) << x;  // the innermost outline
        EXPECT_EQ(after.at(x, 14), before.at(x, 14)) << x;
    }
}

// With the card face's width chosen so that 15 twips' worth of passes end
// with pass b on one right-hand column, that column shows pass b's own
// shade: each pass can be read on its own.
TEST(Command1, EveryPassHasItsOwnShade) {
    CardSession s;
    CardForm& card = s.card();
    for (int b : {0, 9, 10, 29, 30, 49, 50, 70, 110, 150, 169, 170, 190, 191, 200}) {
        // The widest card face at most 4995 twips with (W - b) / 15 a
        // fraction of 8/15 past a whole n: pass b rounds up to column n, pass
        // b + 1 down to column n - 1.
        const int width = 4995 - ((4995 - b - 8) % 15 + 15) % 15;
        const int column = (width - b - 8) / 15;
        card.Picture1(0).setWidth(float(width));
        card.Command1.Click();
        const rt::Bitmap image = card.Picture1(0).Image()->image();
        ASSERT_LT(column, image.width());
        EXPECT_EQ(image.at(column, 300), red(shadeOfPass(b))) << "pass " << b;
    }
}

TEST(Command1, ASecondClickDrawsTheSameAndTheNextFrameCoversTheUpperBand) {
    CardSession s;
    CardForm& card = s.card();
    const rt::Bitmap before = card.Picture1(0).Image()->image();
    card.Command1.Click();
    const rt::Bitmap once = card.Picture1(0).Image()->image();
    card.Command1.Click();
    const rt::Bitmap twice = card.Picture1(0).Image()->image();
    EXPECT_NE(once, before);
    EXPECT_EQ(twice, once);

    // Run tick by tick up to the next frame change, noting the frame it paints.
    const float lastChange = card.LastFrameTime;
    int painted = card.FrameIndex;
    for (int tick = 0; tick < 200 && card.LastFrameTime == lastChange; ++tick) {
        painted = card.FrameIndex;
        s.advanceBy(1.0 / 64);
    }
    ASSERT_NE(card.LastFrameTime, lastChange);
    const rt::Bitmap next = card.Picture1(0).Image()->image();
    const rt::Bitmap& frame = card.Picture1(painted).Picture()->image();
    // The frame fills the top 5/9 of the card face: 6225 / 1.8 twips, 231 rows.
    for (int y = 0; y < 415; ++y)
        for (int x : {0, 5, 13, 100, 319, 332}) {
            if (y < 231) ASSERT_EQ(next.at(x, y), frame.at(x, y)) << x << "," << y;
            else ASSERT_EQ(next.at(x, y), once.at(x, y)) << x << "," << y;
        }
}

TEST(Image1, Picture3TakesThePieceOfTheCardBeneathIt) {
    for (double dpi : {96.0, 120.0}) {
        SCOPED_TRACE(dpi);
        CardSession s(atDpi(dpi));
        CardForm& card = s.card();
        const rt::Bitmap& cardPicture = card.Picture1(0).Picture()->image();
        const rt::Rect box = card.Picture3.pixelBounds();  // on the card face
        EXPECT_NE(card.Picture3.Image()->image().at(0, 0), cardPicture.at(box.x, box.y));

        // Drawing on the card face must not leak into the copy: it is taken
        // from the card picture as loaded.
        const float t = float(1440.0 / dpi);
        card.Picture1(0).Line(rt::DrawingSurface::kLineBox, float(box.x + 2) * t, float(box.y + 2) * t,
                              float(box.right() - 2) * t, float(box.bottom() - 2) * t, rt::RGB(0, 255, 0));
        card.Image1.Click();
        const rt::Bitmap copy = card.Picture3.Image()->image();
        ASSERT_EQ(copy.width(), box.width);
        ASSERT_EQ(copy.height(), box.height);
        for (int y = 0; y < copy.height(); ++y)
            for (int x = 0; x < copy.width(); ++x)
                ASSERT_EQ(copy.at(x, y), cardPicture.at(box.x + x, box.y + y)) << x << "," << y;

        // Shown, it blends into the card below the banner it holds.
        card.Picture3.setVisible(true);
        s.advanceBy(0.05);
        const rt::Bitmap screen = card.renderAll();
        const rt::Rect onScreen = card.Picture3.framePixelBounds();
        const rt::Rect banner = card.Image1.framePixelBounds();
        for (int y = banner.bottom(); y < onScreen.bottom(); ++y)
            for (int x = onScreen.x; x < onScreen.right(); ++x)
                ASSERT_EQ(screen.at(x, y), cardPicture.at(x, y)) << x << "," << y;

        // A second click gives the same copy.
        card.Image1.Click();
        EXPECT_EQ(card.Picture3.Image()->image(), copy);
    }
}

TEST(Label2, OpensTheHomePageOnceAndTheShowGoesOn) {
    CardSession s;
    CardForm& card = s.card();
    card.Label2.setVisible(true);
    s.advanceBy(0.05);
    const auto [x, y] = CardSession::centreOf(card.Label2);
    ASSERT_TRUE(s.click(x, y));
    // The card hands the shell empty parameters, unlike the About window.
    const std::vector<rt::platform::DocumentRequest> expected{
        {card.hWnd(), "open", std::string(kHomePage), "", "", rt::SW_SHOWNORMAL}};
    EXPECT_EQ(s.platform().openedDocuments(), expected);

    s.advanceToShowTime(21.2);
    EXPECT_FALSE(s.finished());
    EXPECT_TRUE(card.Picture2.Visible());
    EXPECT_EQ(s.platform().openedUrls().size(), 1u);
}

}  // namespace
}  // namespace velmora::testing
