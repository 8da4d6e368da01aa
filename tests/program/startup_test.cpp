// Start-up, the catalogue's initial state and the card window's layout.
#include <gtest/gtest.h>

#include "card_session.h"
#include "forms/pictures.h"

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
        EXPECT_EQ(w.screen.at(x, y), face->image.at(x, y)) << x << "," << y;
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
