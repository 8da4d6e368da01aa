// Pointer controls of the card window: the picture buttons that a click
// brings up for three seconds, the ways the program ends, and pointer storms
// that must not disturb the show.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "card_session.h"
#include "forms/pictures.h"

namespace velmora::testing {
namespace {

using rt::platform::Event;
using rt::platform::EventType;
using rt::platform::HeadlessOptions;

constexpr double kTick = 1.0 / 64.0;  // the timer grid: every due time lies on it
constexpr std::pair<int, int> kFacePoint{166, 330};  // on the card face, below the flame

// True when the presented pixels of the control's box are exactly the picture.
bool showsPicture(const rt::platform::HeadlessWindow& w, const rt::Control& control, Asset asset) {
    const rt::PictureRef pic = picture(asset);
    const rt::Rect r = control.framePixelBounds();
    if (r.width != pic->width() || r.height != pic->height()) return false;
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x)
            if ((w.screen.at(r.x + x, r.y + y) & 0xFFFFFFu) != (pic->image().at(x, y) & 0xFFFFFFu)) return false;
    return true;
}

bool buttonsShown(CardForm& card) { return card.PictureClose.Visible() && card.PictureAbout.Visible(); }
bool buttonsHidden(CardForm& card) { return !card.PictureClose.Visible() && !card.PictureAbout.Visible(); }

// Delivers the second half of a double-click (the press, which the click
// tracker makes a double-click) after a click that the test has already sent.
void finishDoubleClick(CardSession& s, int x, int y) {
    ASSERT_TRUE(s.session().press(s.cardWindow(), x, y));
    s.advanceBy(0);
}

// ------------------------------------------------------------ the buttons

TEST(PointerButtons, ClickOnTheCardFaceShowsBothButtonsInAColumnAtTheUpperRight) {
    for (double dpi : {96.0, 120.0}) {
        SCOPED_TRACE(dpi);
        CardSession s(atDpi(dpi));
        CardForm& card = s.card();
        s.advanceTo(1.0);
        EXPECT_FALSE(showsPicture(s.cardScreen(), card.PictureClose, Asset::CloseGlyph));
        ASSERT_TRUE(s.click(kFacePoint.first, kFacePoint.second));
        EXPECT_TRUE(buttonsShown(card));
        EXPECT_FLOAT_EQ(card.LastClickTime, s.app().timer());

        // Both are on screen: close above About, on one left edge, in the
        // card's upper right corner.
        EXPECT_TRUE(showsPicture(s.cardScreen(), card.PictureClose, Asset::CloseGlyph));
        EXPECT_TRUE(showsPicture(s.cardScreen(), card.PictureAbout, Asset::AboutGlyph));
        const rt::Rect close = card.PictureClose.framePixelBounds();
        const rt::Rect about = card.PictureAbout.framePixelBounds();
        const rt::Rect window = s.cardScreen().bounds;
        EXPECT_EQ(close.x, about.x);
        EXPECT_LE(close.y + close.height, about.y);
        EXPECT_GT(close.x, window.width * 3 / 4);
        EXPECT_LE(close.x + close.width, window.width);
        EXPECT_LT(about.y + about.height, window.height / 4);
        // Both lie inside the rounded shape, so they can be clicked.
        const auto& shape = *s.cardScreen().shape;
        EXPECT_TRUE(shape.contains(close.x, close.y) && shape.contains(close.x + close.width - 1, close.y));
    }
}

TEST(PointerButtons, EveryElementOfTheCardFaceArrayShowsTheButtons) {
    // Only element 0 is ever visible, but the handler serves the whole array.
    CardSession s;
    CardForm& card = s.card();
    for (int index = 0; index <= 5; ++index) {
        SCOPED_TRACE(index);
        s.advanceBy(4.0);
        ASSERT_TRUE(buttonsHidden(card));
        ASSERT_TRUE(card.Picture1(index).Click);
        card.Picture1(index).Click();
        EXPECT_TRUE(buttonsShown(card));
        EXPECT_FLOAT_EQ(card.LastClickTime, s.app().timer());
    }
}

TEST(PointerButtons, ButtonsVanishAtTheFirstTickMoreThanThreeSecondsAfterTheLastClick) {
    CardSession s;
    CardForm& card = s.card();
    s.advanceTo(1.0);
    s.click(kFacePoint.first, kFacePoint.second);
    const float clickTime = card.LastClickTime;
    float lastVisible = s.app().timer();
    while (buttonsShown(card) && s.now() < 10) {
        lastVisible = s.app().timer();
        s.advanceBy(kTick);
    }
    ASSERT_TRUE(buttonsHidden(card));
    EXPECT_LE(lastVisible, clickTime + 3.0f);
    EXPECT_GT(s.app().timer(), clickTime + 3.0f);
    EXPECT_LT(s.app().timer(), clickTime + 3.0f + 2 * kTick);
    // The card face is back where the buttons were.
    EXPECT_FALSE(showsPicture(s.cardScreen(), card.PictureClose, Asset::CloseGlyph));
    EXPECT_FALSE(showsPicture(s.cardScreen(), card.PictureAbout, Asset::AboutGlyph));
}

TEST(PointerButtons, ASecondClickRestartsTheThreeSeconds) {
    CardSession s;
    CardForm& card = s.card();
    s.advanceTo(1.0);
    s.click(kFacePoint.first, kFacePoint.second);
    s.advanceTo(3.0);
    s.click(60, 200);  // another point of the face, buttons already up
    EXPECT_FLOAT_EQ(card.LastClickTime, s.app().timer());
    s.advanceTo(5.5);  // past three seconds from the first click
    EXPECT_TRUE(buttonsShown(card));
    EXPECT_TRUE(showsPicture(s.cardScreen(), card.PictureAbout, Asset::AboutGlyph));
    s.advanceTo(6.1);
    EXPECT_TRUE(buttonsHidden(card));
    // The next click brings them back.
    s.click(kFacePoint.first, kFacePoint.second);
    EXPECT_TRUE(buttonsShown(card));
}

TEST(PointerButtons, PressDragAndReleaseOrClicksOutsideTheShapeDoNothing) {
    CardSession s;
    CardForm& card = s.card();
    s.advanceTo(1.0);
    const rt::Rect before = s.cardScreen().bounds;
    const float lastClick = card.LastClickTime;
    auto& session = s.session();
    // A press dragged off the card and released there: the card sees no
    // release over it, so no click (a release over the window that took the
    // press is a click, dragged or not, on the desktops as here).
    EXPECT_TRUE(session.press(s.cardWindow(), 100, 300));
    for (int step = 1; step <= 10; ++step) session.move(s.cardWindow(), 100 + 10 * step, 300 - 5 * step);
    EXPECT_FALSE(session.release(s.cardWindow(), 400, 250));
    EXPECT_FALSE(s.click(0, 0));  // the corner lies outside the shape
    EXPECT_FALSE(s.click(332, 414));
    EXPECT_TRUE(buttonsHidden(card));
    EXPECT_EQ(card.LastClickTime, lastClick);
    EXPECT_EQ(s.cardScreen().bounds, before);
    EXPECT_FALSE(s.finished());
}

// ---------------------------------------------------------------- ending

TEST(PointerEnd, DoubleClickOnTheCardFaceFirstClicksThenEndsWithExitCodeZero) {
    {
        CardSession s;
        s.advanceTo(2.0);
        ASSERT_TRUE(s.click(kFacePoint.first, kFacePoint.second));
        EXPECT_TRUE(buttonsShown(s.card()));
        EXPECT_FLOAT_EQ(s.card().LastClickTime, s.app().timer());
        finishDoubleClick(s, kFacePoint.first, kFacePoint.second);
        EXPECT_TRUE(s.finished());
        EXPECT_EQ(s.exitCode(), 0);
    }
    {
        // The whole gesture at once: the buttons reach the screen before the
        // program ends, and every window is gone afterwards.
        CardSession s;
        s.advanceTo(2.0);
        const auto window = s.cardWindow();
        const rt::Rect closeBox = s.card().PictureClose.framePixelBounds();
        EXPECT_TRUE(s.doubleClick(kFacePoint.first, kFacePoint.second));
        ASSERT_TRUE(s.finished());
        EXPECT_EQ(s.exitCode(), 0);
        const auto& w = s.platform().window(window);
        EXPECT_TRUE(w.destroyed);
        const rt::PictureRef glyph = picture(Asset::CloseGlyph);
        EXPECT_EQ(w.screen.at(closeBox.x + 9, closeBox.y + 9) & 0xFFFFFFu, glyph->image().at(9, 9) & 0xFFFFFFu);
    }
}

TEST(PointerEnd, CloseButtonEndsTheProgram) {
    CardSession s;
    s.advanceTo(5.0);
    s.click(kFacePoint.first, kFacePoint.second);
    const auto [x, y] = CardSession::centreOf(s.card().PictureClose);
    EXPECT_TRUE(s.click(x, y));
    EXPECT_TRUE(s.finished());
    EXPECT_EQ(s.exitCode(), 0);
}

TEST(PointerEnd, GreetingPanelIgnoresASingleClickAndEndsOnADoubleClick) {
    CardSession s;
    CardForm& card = s.card();
    // Into the hold: the panel has unrolled to the card's full height.
    s.advanceToShowTime(22.0);
    while (card.Picture2.Height() < card.Picture1(0).Height() && s.showTime() < 40) s.advanceBy(0.25);
    s.advanceBy(1.0);
    ASSERT_TRUE(card.Picture2.Visible());
    ASSERT_GE(card.Picture2.Height(), card.Picture1(0).Height());
    ASSERT_TRUE(card.Timer2.Enabled());
    const auto [x, y] = CardSession::centreOf(card.Picture2);
    const float lastClick = card.LastClickTime;
    EXPECT_TRUE(s.click(x, y));
    EXPECT_TRUE(buttonsHidden(card));
    EXPECT_EQ(card.LastClickTime, lastClick);
    EXPECT_FALSE(s.finished());
    EXPECT_TRUE(s.doubleClick(x, y));
    EXPECT_TRUE(s.finished());
    EXPECT_EQ(s.exitCode(), 0);
}

TEST(PointerEnd, DoubleClickOnThePanelEndsTheRevealAndTheFlyAwayAtOnce) {
    for (double at : {23.0, 31.0}) {
        SCOPED_TRACE(at);
        CardSession s;
        CardForm& card = s.card();
        s.advanceToShowTime(at);
        ASSERT_TRUE(card.Picture2.Visible());
        ASSERT_TRUE(at < 25 ? card.Timer2.Enabled() : card.Timer4.Enabled());
        const auto [x, y] = CardSession::centreOf(card.Picture2);
        EXPECT_TRUE(s.doubleClick(x, y));
        EXPECT_TRUE(s.finished());
        EXPECT_EQ(s.exitCode(), 0);
    }
}

// ------------------------------------------------------------ pointer storms

// What a run of the show did: the unroll and fly-away steps, when the panel
// was gone, and the flame's state at the end.
struct ShowRecord {
    int growSteps = 0;
    int flyAwaySteps = 0;
    double panelGoneAt = -1;
    std::int16_t frameIndex = 0, frameStep = 0;
    float lastFrameTime = 0;
    rt::PictureRef face;
};

// Counts the panel's steps by watching its size around each tick of the
// real handlers.
void countSteps(CardSession& s, ShowRecord& record) {
    CardForm& card = s.card();
    auto grow = card.Timer2.Tick;
    card.Timer2.Tick = [&card, &record, grow] {
        const float height = card.Picture2.Height();
        grow();
        if (card.Picture2.Height() != height) ++record.growSteps;
    };
    auto fly = card.Timer4.Tick;
    card.Timer4.Tick = [&s, &card, &record, fly] {
        const float left = card.Picture2.Left();
        fly();
        if (card.Picture2.Left() != left) ++record.flyAwaySteps;
        if (!card.Picture2.Visible() && record.panelGoneAt < 0) record.panelGoneAt = s.now();
    };
}

void finishRecord(CardSession& s, ShowRecord& record) {
    CardForm& card = s.card();
    record.frameIndex = card.FrameIndex;
    record.frameStep = card.FrameStep;
    record.lastFrameTime = card.LastFrameTime;
    record.face = card.Picture1(0).Image();
}

ShowRecord quietShow(double until) {
    CardSession s;
    ShowRecord record;
    countSteps(s, record);
    s.advanceTo(until);
    finishRecord(s, record);
    return record;
}

// The invariants a viewer relies on at every moment, whatever the pointer did.
void checkConsistent(CardSession& s) {
    CardForm& card = s.card();
    ASSERT_FALSE(s.finished());
    ASSERT_EQ(card.PictureClose.Visible(), card.PictureAbout.Visible());
    if (s.about()) {
        EXPECT_TRUE(buttonsHidden(card)) << "buttons beside an open About window";
    }
    if (buttonsShown(card)) {
        EXPECT_LE(s.app().timer(), card.LastClickTime + 3.0f + float(2 * kTick));
    }
    // The last unroll step may pass the card's height by less than a step.
    EXPECT_LT(card.Picture2.Height(), card.Picture1(0).Height() + 100);
    if (card.Picture2.Visible()) {
        EXPECT_FALSE(card.RevealPending);
    }
    EXPECT_FALSE(card.Timer2.Enabled() && card.Timer4.Enabled());
    EXPECT_GE(card.FrameIndex, 1);
    EXPECT_LE(card.FrameIndex, 5);
}

TEST(PointerStorm, HundredsOfClicksLeaveTheShowAsAQuietRunPlaysIt) {
    constexpr double kEnd = 40.0;
    const ShowRecord quiet = quietShow(kEnd);
    ASSERT_GT(quiet.growSteps, 0);
    ASSERT_GT(quiet.flyAwaySteps, 0);

    CardSession s;
    ShowRecord storm;
    countSteps(s, storm);
    CardForm& card = s.card();
    std::mt19937 rng(20261207);
    std::uniform_real_distribution<double> when(0.5, 38.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    // Half the times fall on a timer tick, so that the input lands in the
    // same instant as the tick's handler; a third fall in the reveal and
    // fly-away.
    std::vector<double> times;
    for (int i = 0; i < 600; ++i) {
        double t = unit(rng) < 0.35 ? 21.0 + unit(rng) * 13.0 : when(rng);
        if (unit(rng) < 0.5) t = std::ceil(t / kTick) * kTick;
        times.push_back(t);
    }
    std::sort(times.begin(), times.end());
    const auto cardBounds = s.cardScreen().bounds;
    int delivered = 0, aboutOpenings = 0;
    for (double t : times) {
        s.advanceTo(t);
        ASSERT_NO_FATAL_FAILURE(checkConsistent(s));
        if (AboutForm* about = s.about()) {
            // Mostly clicks on the card (blocked) and on the About window;
            // now and then its close button.
            auto& w = s.platform().window(about->hWnd());
            if (unit(rng) < 0.2) {
                const auto [x, y] = CardSession::centreOf(about->PictureClose);
                EXPECT_TRUE(s.session().click(about->hWnd(), x, y));
                EXPECT_EQ(s.about(), nullptr);
            } else if (unit(rng) < 0.5) {
                s.session().click(about->hWnd(), int(unit(rng) * w.bounds.width), int(unit(rng) * w.bounds.height));
            } else {
                s.click(int(unit(rng) * cardBounds.width), int(unit(rng) * cardBounds.height));
            }
            continue;
        }
        if (buttonsShown(card) && unit(rng) < 0.3) {
            // Hit the About button the moment it is up.
            const auto [x, y] = CardSession::centreOf(card.PictureAbout);
            s.click(x, y);
            if (s.about()) ++aboutOpenings;
            continue;
        }
        const int x = int(unit(rng) * cardBounds.width), y = int(unit(rng) * cardBounds.height);
        // The close button would end the show; every other point is fair.
        if (card.controlAt(x, y) == &card.PictureClose) continue;
        const double kind = unit(rng);
        if (kind < 0.8) {
            delivered += s.click(x, y);
        } else if (kind < 0.9) {
            s.session().press(s.cardWindow(), x, y);
            s.session().move(s.cardWindow(), cardBounds.width - 1 - x, y);
            s.session().release(s.cardWindow(), cardBounds.width - 1 - x, y);
        } else {
            s.session().move(s.cardWindow(), x, y);
        }
        if (s.about()) ++aboutOpenings;  // a click that found the About button
    }
    // Close an About window still open, then let the show end.
    if (AboutForm* about = s.about()) {
        const auto [x, y] = CardSession::centreOf(about->PictureClose);
        s.session().click(about->hWnd(), x, y);
    }
    s.advanceTo(kEnd);
    ASSERT_NO_FATAL_FAILURE(checkConsistent(s));
    finishRecord(s, storm);

    EXPECT_GT(delivered, 200);
    EXPECT_GT(aboutOpenings, 3);
    EXPECT_FALSE(card.Picture2.Visible());
    EXPECT_FALSE(card.Timer2.Enabled());
    EXPECT_FALSE(card.Timer4.Enabled());
    EXPECT_EQ(storm.growSteps, quiet.growSteps);
    EXPECT_EQ(storm.flyAwaySteps, quiet.flyAwaySteps);
    EXPECT_DOUBLE_EQ(storm.panelGoneAt, quiet.panelGoneAt);
    // Clicks draw no random numbers and take no time: the flame ran exactly
    // as in the quiet run.
    EXPECT_EQ(storm.frameIndex, quiet.frameIndex);
    EXPECT_EQ(storm.frameStep, quiet.frameStep);
    EXPECT_EQ(storm.lastFrameTime, quiet.lastFrameTime);
    EXPECT_TRUE(storm.face->image().bounds() == quiet.face->image().bounds());
    EXPECT_TRUE(std::equal(storm.face->image().row(0), storm.face->image().row(0) + storm.face->image().width() *
                                                                                   storm.face->image().height(),
                           quiet.face->image().row(0)));
}

TEST(PointerStorm, AboutButtonClickedInTheInstantOfTheHidingTick) {
    // The tick that hides the buttons and a click on the About button fall
    // in one instant. Whichever comes first, the card ends up either with
    // the About window open and no buttons, or with the click taken by the
    // card face and the buttons up again.
    CardSession s;
    CardForm& card = s.card();
    s.advanceTo(2.0);
    s.click(kFacePoint.first, kFacePoint.second);
    const auto [ax, ay] = CardSession::centreOf(card.PictureAbout);
    while (buttonsShown(card)) s.advanceBy(kTick);
    // The hiding tick has just run in this instant; the click lands now.
    const double hidingInstant = s.now();
    EXPECT_TRUE(s.click(ax, ay));
    EXPECT_EQ(s.now(), hidingInstant);
    EXPECT_EQ(s.about(), nullptr);
    EXPECT_TRUE(buttonsShown(card));

    // One tick before the hiding tick the click opens the About window; the
    // hiding tick then runs behind it and leaves everything hidden.
    while (double(s.app().timer()) + kTick <= double(card.LastClickTime) + 3.0) s.advanceBy(kTick);
    ASSERT_TRUE(buttonsShown(card));
    EXPECT_TRUE(s.click(ax, ay));
    ASSERT_NE(s.about(), nullptr);
    s.advanceBy(4 * kTick);
    EXPECT_TRUE(buttonsHidden(card));
    ASSERT_NE(s.about(), nullptr);
    const auto [cx, cy] = CardSession::centreOf(s.about()->PictureClose);
    EXPECT_TRUE(s.session().click(s.about()->hWnd(), cx, cy));
    EXPECT_EQ(s.about(), nullptr);
    EXPECT_TRUE(buttonsHidden(card));
}

}  // namespace
}  // namespace velmora::testing
