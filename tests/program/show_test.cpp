// The card's timed show, run whole on the virtual clock with the real
// handlers: the greeting panel's course (reveal, unroll, hold, fly-away) and
// its pace at two timer granularities and three screen densities (the third
// at twice the device scale), the shake (left out where the user asked for
// less motion), what the windows describe to assistive technology, the
// flame's frame cursor, the picture buttons' auto-hide and a show that runs
// across midnight.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <tuple>

#include "card_session.h"
#include "forms/pictures.h"
#include "runtime/graphics/draw.h"
#include "show_recorder.h"

namespace velmora::testing {
namespace {

using rt::platform::HeadlessOptions;
using rt::platform::WindowSemantics;
using Role = rt::platform::AccessibleRole;

// Step counts that follow from the sizes: the strip starts 100 twips high
// and grows 100 per step until it is at least the card face's height; the
// fly-away shrinks the width to 90 % per step until it is below 100 twips.
int expectedGrowthSteps(float faceHeight) { return int(std::ceil((faceHeight - 100.0) / 100.0)); }
int expectedFlySteps(float width) {
    return int(std::floor(std::log(width / 100.0) / std::log(1.0 / 0.9))) + 1;
}

// The latest the panel may disappear when every tick of the 100 ms timers
// takes a step: each step at most 0.115 s after the last, plus the 3 s hold
// and a tick either side. A show that skips every other tick (half speed)
// ends seconds later.
double latestHideTime(int steps) { return 21.0 + 3.3 + steps * 0.115; }

struct Pace {
    double granularity;
    double dpi;
};

std::string paceName(const ::testing::TestParamInfo<Pace>& info) {
    return "Grid" + std::to_string(int(std::lround(1.0 / info.param.granularity))) + "Dpi" +
           std::to_string(int(info.param.dpi));
}

class ShowPace : public ::testing::TestWithParam<Pace> {};

TEST_P(ShowPace, PanelUnrollsHoldsAndFliesAwayOnEveryTick) {
    HeadlessOptions options;
    options.dpi = GetParam().dpi;
    CardSession s(options, rt::ApplicationOptions{.timerGranularity = GetParam().granularity});
    ShowRecorder recorder(s);
    CardForm& card = s.card();
    const float faceWidth = card.Picture1(0).Width();
    const float faceHeight = card.Picture1(0).Height();
    const PanelState designed = ShowRecorder::panel(card);
    s.advanceTo(45);

    const PanelCourse course(recorder, faceHeight);
    const int growth = expectedGrowthSteps(faceHeight);
    const int fly = expectedFlySteps(faceWidth);
    if (GetParam().dpi == 120) {
        ASSERT_EQ(faceHeight, 4980);
        EXPECT_EQ(growth, 49);
        EXPECT_EQ(fly, 36);
    }

    // Hidden until the first tick after 21 seconds.
    ASSERT_NE(course.reveal, nullptr);
    for (const ShowTick& t : recorder.ticks()) {
        if (&t == course.reveal) break;
        EXPECT_FALSE(t.panelAfter.visible) << "at " << t.showTime;
        if (t.timer == 1) {
            EXPECT_LE(t.showTime, 21.0);
        }
    }
    const ShowTick& reveal = *course.reveal;
    EXPECT_GT(reveal.showTime, 21.0);
    EXPECT_LT(reveal.showTime, 21.05);
    // The strip: 100 twips high, its Top the panel's height before the
    // reveal, centred across the window, buttons hidden.
    EXPECT_EQ(reveal.panelAfter.height, 100);
    EXPECT_EQ(reveal.panelAfter.top, designed.height);
    EXPECT_EQ(reveal.panelAfter.left, card.Width() / 2 - designed.width / 2);
    EXPECT_FALSE(reveal.closeVisibleAfter || reveal.aboutVisibleAfter);
    EXPECT_EQ(card.children().front(), &card.Picture2) << "the panel is in front";

    // Unroll: every Timer2 tick is a growth step, centred on the card face.
    ASSERT_EQ(int(course.growthSteps.size()), growth);
    EXPECT_EQ(course.unrollTicks.size(), course.growthSteps.size()) << "a tick was skipped";
    float height = 100;
    for (const ShowTick& t : course.growthSteps) {
        height += 100;
        EXPECT_EQ(t.panelAfter.height, height);
        EXPECT_EQ(t.panelAfter.top, faceHeight / 2 - height / 2);
        EXPECT_EQ(t.panelAfter.left, reveal.panelAfter.left);
        EXPECT_TRUE(t.panelAfter.visible);
    }
    const ShowTick& lastGrowth = course.growthSteps.back();
    EXPECT_GE(lastGrowth.panelAfter.height, faceHeight);
    EXPECT_LT(lastGrowth.panelAfter.height - faceHeight, 100);
    if (GetParam().dpi == 120) {
        EXPECT_EQ(lastGrowth.panelAfter.top, -10);
    }

    // Hold: nothing moves until the first Timer2 tick 3 s after the last
    // growth step, which puts the card face back at rest.
    ASSERT_NE(course.holdEnd, nullptr);
    for (const ShowTick& t : course.holdTicks) {
        const double sinceGrowth = double(t.clock) - double(lastGrowth.clock);
        if (&t == &course.holdTicks.back()) {
            EXPECT_GE(sinceGrowth, 3.0);
            EXPECT_LT(sinceGrowth, 3.0 + 0.12);
            EXPECT_TRUE(t.timer4After);
            EXPECT_FALSE(t.timer2After);
        } else {
            EXPECT_LT(sinceGrowth, 3.0);
            EXPECT_FALSE(t.panelChanged());
            EXPECT_EQ(t.faceLeftAfter, t.faceLeftBefore);
        }
    }
    EXPECT_EQ(course.holdTicks.back().clock, course.holdEnd->clock);
    EXPECT_EQ(course.holdEnd->faceLeftAfter, 0);

    // Fly-away: every Timer4 tick moves the panel 130 twips right and
    // shrinks it to 90 %, Top fixed, until it is under 100 twips wide.
    ASSERT_EQ(int(course.flySteps.size()), fly);
    EXPECT_EQ(course.flyTicks.size(), course.flySteps.size()) << "a tick was skipped";
    for (const ShowTick& t : course.flySteps) {
        EXPECT_EQ(t.nesting, 0);
        EXPECT_EQ(t.panelAfter.left, t.panelBefore.left + 130);
        EXPECT_NEAR(t.panelAfter.width, t.panelBefore.width * 0.9, 0.01);
        EXPECT_NEAR(t.panelAfter.height, t.panelBefore.height * 0.9, 0.01);
        EXPECT_EQ(t.panelAfter.top, lastGrowth.panelAfter.top);
        EXPECT_GT(t.panelAfter.width, 0);
        EXPECT_GT(t.panelAfter.height, 0);
    }
    ASSERT_NE(course.hidden, nullptr);
    EXPECT_EQ(course.hidden->clock, course.flySteps.back().clock) << "the last step hides the panel";
    EXPECT_LT(course.hidden->panelAfter.width, 100);
    EXPECT_GE(course.hidden->panelBefore.width, 100);
    for (std::size_t i = 0; i + 1 < course.flySteps.size(); ++i)
        EXPECT_TRUE(course.flySteps[i].panelAfter.visible);

    // Every step of both timers comes 0.1 s or a little more after the last.
    std::vector<ShowTick> steps = course.growthSteps;
    steps.push_back(*course.holdEnd);
    steps.insert(steps.end(), course.flySteps.begin(), course.flySteps.end());
    for (std::size_t i = 1; i < steps.size(); ++i) {
        if (i == course.growthSteps.size()) continue;  // the hold
        const double gap = double(steps[i].clock) - double(steps[i - 1].clock);
        EXPECT_GE(gap, 0.1);
        EXPECT_LT(gap, 0.115);
    }

    // Gone no earlier than 32.5 s, and not seconds late.
    EXPECT_GE(course.hidden->showTime, 32.5);
    EXPECT_LE(course.hidden->showTime, latestHideTime(growth + fly));

    // Nothing of the panel's course runs again; the flame goes on.
    EXPECT_FALSE(card.Timer2.Enabled());
    EXPECT_FALSE(card.Timer4.Enabled());
    EXPECT_FALSE(card.Picture2.Visible());
    int laterFrames = 0;
    for (const ShowTick& t : recorder.ticks()) {
        if (t.showTime <= course.hidden->showTime) continue;
        EXPECT_EQ(t.timer, 1);
        EXPECT_FALSE(t.panelAfter.visible);
        laterFrames += t.frameChanged();
    }
    EXPECT_GT(laterFrames, 10);
}

INSTANTIATE_TEST_SUITE_P(Granularities, ShowPace,
                         ::testing::Values(Pace{rt::kTimerGranularity, 96}, Pace{rt::kTimerGranularity, 120},
                                           Pace{0.01, 96}, Pace{0.01, 120}, Pace{rt::kTimerGranularity, 192}),
                         paceName);

TEST(ShowShake, CardFaceShakesOnlyStrictlyBetween18And25Seconds) {
    CardSession s;
    ShowRecorder recorder(s);
    CardForm& card = s.card();
    const rt::Rect bounds = s.cardScreen().bounds;
    s.advanceTo(40);
    const PanelCourse course(recorder, card.Picture1(0).Height());
    ASSERT_NE(course.holdEnd, nullptr);

    const float tpp = s.app().twipsPerPixelX();
    int samePixelTicks = 0;
    std::set<float> offsets;
    bool sawExactly18 = false, sawExactly25 = false;
    float lastOffset = 0;
    for (const ShowTick& t : recorder.ticksOf(1)) {
        const bool shaking = t.showTime > 18.0 && t.showTime < 25.0;
        sawExactly18 |= t.showTime == 18.0;
        sawExactly25 |= t.showTime == 25.0;
        if (shaking) {
            // A whole number of twips within 25 of rest, and the window's
            // shape applied anew.
            EXPECT_EQ(t.faceLeftAfter, std::floor(t.faceLeftAfter));
            EXPECT_GE(t.faceLeftAfter, -25);
            EXPECT_LE(t.faceLeftAfter, 25);
            EXPECT_EQ(t.shapeRequestsAfter, t.shapeRequestsBefore + 1) << "at " << t.showTime;
            // An offset on the same pixel as the last one redraws nothing;
            // another pixel redraws the whole card face.
            if (t.showTime < 21.0 && !t.frameChanged()) {
                const bool samePixel = std::nearbyint(t.faceLeftAfter / tpp) == std::nearbyint(t.faceLeftBefore / tpp);
                EXPECT_EQ(t.dirtyAfter.empty(), samePixel) << "at " << t.showTime;
                samePixelTicks += samePixel;
            }
            offsets.insert(t.faceLeftAfter);
            lastOffset = t.faceLeftAfter;
        } else {
            EXPECT_EQ(t.faceLeftAfter, t.faceLeftBefore) << "moved at " << t.showTime;
            EXPECT_EQ(t.shapeRequestsAfter, t.shapeRequestsBefore) << "shaped at " << t.showTime;
        }
    }
    // The grid puts ticks on both bounds; neither shakes.
    EXPECT_TRUE(sawExactly18);
    EXPECT_TRUE(sawExactly25);
    EXPECT_GT(offsets.size(), 40u) << "the offsets are drawn at random from 51 values";
    EXPECT_GT(samePixelTicks, 10);

    // After 25 s the card face keeps the last offset until the hold ends,
    // then rests at 0 for good.
    bool rested = false;
    for (const ShowTick& t : recorder.ticks()) {
        rested = rested || &t == course.holdEnd;
        if (t.showTime < 25.0) continue;
        EXPECT_EQ(t.faceLeftAfter, rested ? 0 : lastOffset) << "at " << t.showTime;
    }
    // The window itself never moved.
    EXPECT_EQ(s.cardScreen().bounds, bounds);
}

// With less motion asked for, the face stays at rest; the offsets are still
// drawn, so the rest of the show, random draws included, is tick for tick the same.
TEST(ShowShake, ReducedMotionKeepsTheFaceStillAndTheShowOtherwiseUnchanged) {
    auto play = [](bool reduced) {
        CardSession s(HeadlessOptions{.reducedMotion = reduced});
        ShowRecorder recorder(s);
        std::vector<std::tuple<int, float, double, std::int16_t, float, float, PanelState>> show;
        recorder.afterTick = [&](const ShowTick& t) {
            EXPECT_TRUE(!reduced || (t.faceLeftAfter == 0 && t.shapeRequestsAfter == t.shapeRequestsBefore));
            show.emplace_back(t.timer, t.clock, s.card().FrameDelay, t.frameAfter, t.lastFrameAfter, t.lastStepAfter,
                              t.panelAfter);
        };
        s.advanceTo(40);
        return show;
    };
    EXPECT_EQ(play(true), play(false));
}

rt::platform::AccessibleItem itemOf(const rt::Control& c, Role role, std::string name, bool shown) {
    return {role, std::move(name), c.framePixelBounds().scaled(c.form().scale()), shown};
}

// What the windows tell assistive technology, state by state, at twice the
// device scale so that every rectangle is scaled to device pixels.
TEST(ShowSemantics, EachStateOfTheShowIsDescribedOnceAsItChanges) {
    CardSession s(atDpi(192));
    ShowRecorder recorder(s);
    std::vector<std::pair<double, std::string>> said{{0, ""}};  // each new announcement, by show time
    recorder.afterTick = [&](const ShowTick& t) {
        if (s.card().announcement() != said.back().second) said.emplace_back(t.showTime, s.card().announcement());
    };
    s.advanceTo(2.0);
    CardForm& card = s.card();
    const auto& screen = s.cardScreen();
    auto cardWith = [&](bool shown) {
        constexpr const char* kName = "Greeting card: a lit candle before a glowing cross, Happy Velmora";
        return WindowSemantics{kName, false, "",
                               {itemOf(card.PictureClose, Role::Button, "Close the card", shown),
                                itemOf(card.PictureAbout, Role::Button, "About Velmora", shown)}};
    };
    EXPECT_EQ(screen.semantics, cardWith(false));
    ASSERT_TRUE(s.click(332, 660));
    EXPECT_EQ(screen.semantics, cardWith(true));
    EXPECT_EQ(screen.semantics.items[1].bounds.width, 36);

    const auto [ax, ay] = CardSession::centreOf(card.PictureAbout);
    ASSERT_TRUE(s.click(ax * 2, ay * 2));
    AboutForm* about = s.about();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(s.platform().window(about->hWnd()).semantics,
              (WindowSemantics{"About Velmora, version 2.1", true, "",
                               {itemOf(about->PictureClose, Role::Button, "Close", true),
                                itemOf(about->LabelBrek, Role::Link, "www.velmora.example/studio", true),
                                itemOf(about->Label4, Role::Link, "www.velmora.example", true)}}));
    EXPECT_EQ(screen.semantics, cardWith(false));
    const auto [cx, cy] = CardSession::centreOf(about->PictureClose);
    ASSERT_TRUE(s.session().click(about->hWnd(), cx * 2, cy * 2));

    // The shake moves the card face on every tick, but no button: nothing is described anew.
    s.advanceToShowTime(18.5);
    const int beforeShake = screen.describes;
    s.advanceToShowTime(20.9);
    EXPECT_EQ(screen.describes, beforeShake);

    // The greeting is announced from the panel's last unroll step until it has flown away.
    s.advanceTo(40);
    const PanelCourse course(recorder, card.Picture1(0).Height());
    ASSERT_TRUE(!course.growthSteps.empty() && course.hidden);
    EXPECT_EQ(said, (std::vector<std::pair<double, std::string>>{
                        {0, ""},
                        {course.growthSteps.back().showTime, "I Am the Resurrection and the Life"},
                        {course.hidden->showTime, ""}}));
    EXPECT_EQ(screen.semantics, cardWith(false));
}

TEST(ShowFlame, FrameCursorPingPongsWithinOneToFiveForTenMinutes) {
    CardSession s;
    ShowRecorder recorder(s);
    s.advanceTo(600);

    std::vector<ShowTick> changes;
    for (const ShowTick& t : recorder.ticksOf(1)) {
        EXPECT_GE(t.frameAfter, 1);
        EXPECT_LE(t.frameAfter, 5);
        if (t.frameChanged()) changes.push_back(t);
        else EXPECT_EQ(t.frameAfter, t.frameBefore);
    }
    ASSERT_GT(changes.size(), 600u);
    // The first tick changes the frame (nothing was painted yet), and the
    // first change paints frame 1.
    EXPECT_EQ(changes.front().clock, recorder.ticksOf(1).front().clock);
    EXPECT_EQ(changes.front().frameBefore, 1);

    std::set<int> visited;
    int previousStep = 1;
    double gaps = 0;
    for (std::size_t i = 0; i < changes.size(); ++i) {
        const ShowTick& c = changes[i];
        const int step = c.frameAfter - c.frameBefore;
        ASSERT_TRUE(step == 1 || step == -1) << "from " << c.frameBefore << " to " << c.frameAfter;
        EXPECT_EQ(step, c.stepAfter);
        // At 5 it always turns down, at 1 always up; moving up, it turns
        // only at 4 or 5.
        if (c.frameBefore == 5) {
            EXPECT_EQ(step, -1);
        } else if (c.frameBefore == 1) {
            EXPECT_EQ(step, 1);
        } else if (previousStep == 1 && c.frameBefore <= 3) {
            EXPECT_EQ(step, 1);
        }
        previousStep = step;
        visited.insert(c.frameBefore);
        if (i > 0) {
            const double gap = double(c.clock) - double(changes[i - 1].clock);
            EXPECT_GT(gap, 0.1);
            EXPECT_LT(gap, 1.6);
            gaps += gap;
        }
    }
    EXPECT_EQ(visited, (std::set<int>{1, 2, 3, 4, 5}));
    // A delay drawn afresh on every tick makes the gaps much shorter than
    // the middle of the delay range; a delay held from one change to the
    // next would average 0.85 s.
    EXPECT_LT(gaps / double(changes.size() - 1), 0.6);
}

// At 96 dots per inch, and at 192 where the device shows every pixel as
// 2 x 2: there the band and the pixels come from the 2x drawings.
class ShowFlamePixels : public ::testing::TestWithParam<double> {};

TEST_P(ShowFlamePixels, FrameChangesPresentOnlyTheChangedPixelsOfTheTopFiveNinthsAndIdleTicksNothing) {
    CardSession s(atDpi(GetParam()));
    ShowRecorder recorder(s);
    CardForm& card = s.card();
    const float tpp = s.app().twipsPerPixelY();
    const int band = int(std::nearbyint(double(card.Picture1(0).Height()) / 1.8 / tpp));
    ASSERT_EQ(band, 231);
    const int scale = s.app().scale();
    const rt::Bitmap& face = picture(Asset::CardFace)->drawingFor(scale).image();
    ASSERT_EQ(face.width(), 333 * scale);
    const rt::Rect bandRect{0, 0, face.width(), band * scale};
    // Where the frames may differ from each other: the flame's strip, x 159
    // to 184 and y 36 to 231, widened to the 8 x 8 blocks of the JPEG
    // pictures it touches (at the device's scale).
    const rt::Rect flameStrip = rt::Rect{152, 32, 192 - 152, 231 - 32}.scaled(scale);

    // Tick by tick through the flicker before the shake.
    const double grid = rt::kTimerGranularity;
    int frameTicks = 0, idleTicks = 0, presentingTicks = 0;
    const rt::Bitmap* onScreen = &picture(Asset::CardFace)->image();
    for (double t = grid; t < 17.5; t += grid) {
        const std::size_t before = recorder.ticks().size();
        const int presents = s.cardScreen().presents;
        s.advanceTo(t);
        ASSERT_EQ(recorder.ticks().size(), before + 1) << "one Timer1 tick per grid step";
        const ShowTick& tick = recorder.ticks().back();
        const auto& w = s.cardScreen();
        if (!tick.frameChanged()) {
            EXPECT_EQ(w.presents, presents) << "an idle tick presented at " << t;
            ++idleTicks;
            continue;
        }
        ++frameTicks;
        // The band is repainted, but only the strip of it where the new
        // frame differs from the one on screen goes to the screen; a frame
        // painted over itself (the first, the card face's own flame) shows
        // nothing new and presents nothing.
        const rt::Bitmap& frame = card.Picture1(tick.frameBefore).Picture()->image();
        bool differs = false;
        for (int y = 0; y < band && !differs; ++y)
            differs = !std::equal(frame.row(y), frame.row(y) + frame.width(), onScreen->row(y));
        onScreen = &frame;
        if (!differs) {
            EXPECT_EQ(w.presents, presents) << "at " << t;
            continue;
        }
        ++presentingTicks;
        EXPECT_EQ(w.presents, presents + 1);
        EXPECT_EQ(w.lastPresented.intersect(flameStrip), w.lastPresented) << "at " << t;
        // The band shows the frame the cursor named before the change; the
        // rest of the card face is untouched.
        const rt::Bitmap& drawn = card.Picture1(tick.frameBefore).Picture()->drawingFor(scale).image();
        for (int y = 0; y < face.height(); y += 3)
            for (int x = 0; x < face.width(); x += 3) {
                const rt::Pixel expected = y < bandRect.height ? drawn.at(x, y) : face.at(x, y);
                ASSERT_EQ(w.screen.at(x, y), expected) << x << "," << y << " at " << t;
            }
    }
    EXPECT_GT(frameTicks, 20);
    EXPECT_GT(presentingTicks, 20);
    EXPECT_GT(idleTicks, frameTicks);
}

INSTANTIATE_TEST_SUITE_P(Densities, ShowFlamePixels, ::testing::Values(96.0, 192.0),
                         [](const auto& density) { return "Dpi" + std::to_string(int(density.param)); });

TEST(ShowButtons, ButtonsHideAtTheFirstTickThreeSecondsAfterTheLastClick) {
    CardSession s;
    ShowRecorder recorder(s);
    CardForm& card = s.card();
    // The first tick at which both buttons are hidden again, after from.
    auto hiddenAt = [&](float from) {
        for (const ShowTick& t : recorder.ticksOf(1))
            if (t.clock > from && !t.closeVisibleAfter && !t.aboutVisibleAfter) return t.clock;
        return 0.0f;
    };
    auto lastShownAt = [&](float from) {
        float last = 0;
        for (const ShowTick& t : recorder.ticksOf(1))
            if (t.clock > from && t.buttonsAfter) last = t.clock;
        return last;
    };

    // One click: hidden at the first tick more than 3 s after it.
    s.advanceTo(5);
    ASSERT_TRUE(s.click(166, 300));
    EXPECT_TRUE(card.PictureClose.Visible() && card.PictureAbout.Visible());
    const float click1 = card.LastClickTime;
    s.advanceTo(10);
    const float hidden1 = hiddenAt(click1);
    EXPECT_GT(double(hidden1), double(click1) + 3.0);
    EXPECT_LE(double(lastShownAt(click1)), double(click1) + 3.0);
    EXPECT_LT(double(hidden1) - double(click1), 3.0 + 2 * rt::kTimerGranularity);

    // A second click 1.5 s later restarts the three seconds.
    ASSERT_TRUE(s.click(100, 250));
    const float first = card.LastClickTime;
    s.advanceBy(1.5);
    ASSERT_TRUE(s.click(200, 350));
    const float second = card.LastClickTime;
    s.advanceBy(4);
    const float hidden2 = hiddenAt(first);
    EXPECT_GT(double(hidden2), double(second) + 3.0);
    EXPECT_GT(double(lastShownAt(first)), double(first) + 3.5);

    // Clicked a second before the reveal: hidden at the reveal all the same.
    s.advanceTo(20);
    ASSERT_TRUE(s.click(166, 300));
    s.advanceTo(22);
    const PanelCourse course(recorder, card.Picture1(0).Height());
    ASSERT_NE(course.reveal, nullptr);
    EXPECT_FALSE(course.reveal->closeVisibleAfter || course.reveal->aboutVisibleAfter);
    EXPECT_LT(double(course.reveal->clock) - double(card.LastClickTime), 3.0);
    EXPECT_EQ(hiddenAt(card.LastClickTime), course.reveal->clock);
}

TEST(ShowClock, ShowRunsOnTimeAcrossMidnight) {
    HeadlessOptions options;
    options.start = {2026, 12, 31, 23, 59, 40, 86380.0};
    CardSession s(options);
    ShowRecorder recorder(s);
    CardForm& card = s.card();
    EXPECT_EQ(card.StartTime, 86380.0f);
    s.advanceTo(45);

    // The clock goes on past 86400 exactly as the monotonic clock does.
    const std::vector<ShowTick> ticks = recorder.ticksOf(1);
    ASSERT_FALSE(ticks.empty());
    for (std::size_t i = 1; i < ticks.size(); ++i) {
        ASSERT_GT(ticks[i].clock, ticks[i - 1].clock) << "the clock stood still or went back";
        EXPECT_NEAR(double(ticks[i].clock) - double(ticks[i - 1].clock), rt::kTimerGranularity, 1.0 / 128);
    }
    EXPECT_GT(ticks.back().clock, 86400.0f + 20);
    EXPECT_NEAR(double(s.app().timer()), 86380.0 + s.now(), 1.0 / 128);

    // The whole show, on time.
    const float faceHeight = card.Picture1(0).Height();
    const PanelCourse course(recorder, faceHeight);
    EXPECT_EQ(int(course.growthSteps.size()), expectedGrowthSteps(faceHeight));
    EXPECT_EQ(course.unrollTicks.size(), course.growthSteps.size());
    EXPECT_EQ(int(course.flySteps.size()), expectedFlySteps(card.Picture1(0).Width()));
    EXPECT_EQ(course.flyTicks.size(), course.flySteps.size());
    ASSERT_NE(course.hidden, nullptr);
    EXPECT_GE(course.hidden->showTime, 32.5);
    EXPECT_LE(course.hidden->showTime, latestHideTime(int(course.growthSteps.size() + course.flySteps.size())));
    // The flame kept flickering through midnight.
    int framesAfterMidnight = 0;
    for (const ShowTick& t : ticks) framesAfterMidnight += t.clock > 86400.0f && t.frameChanged();
    EXPECT_GT(framesAfterMidnight, 20);
}

}  // namespace
}  // namespace velmora::testing

namespace velmora::testing {
namespace {

// A flame frame holds only where it differs from the card face, yet draws,
// whole or in part, and reads back exactly as its file decodes; so does its
// drawing at twice the size.
TEST(FlameFramePictures, DrawAndReadBackAsTheirFilesDecode) {
    for (const Asset asset : {Asset::FlameFrame2, Asset::FlameFrame4, Asset::FlameFrame5}) {
        for (const int scale : {1, 2}) {
            SCOPED_TRACE(scale);
            const rt::Bitmap file = rt::decodePicture(scale == 1 ? assetFile(asset) : assetFileAt2x(asset))->image();
            const rt::Picture& frame = picture(asset)->drawingFor(scale);
            ASSERT_EQ(frame.bounds(), file.bounds());
            rt::Bitmap whole(file.width(), file.height(), 0);
            frame.draw(whole, whole.bounds(), whole.bounds(), whole.bounds(), true);
            EXPECT_EQ(whole, file);
            // The band PaintPicture takes, drawn elsewhere and clipped.
            rt::Bitmap part(200 * scale, 300 * scale, rt::rgbPixel(1, 2, 3));
            rt::Bitmap expected = part;
            const rt::Rect band = rt::Rect{100, 0, 150, 231}.scaled(scale);
            const rt::Rect to = rt::Rect{-40, 20, 150, 231}.scaled(scale);
            const rt::Rect clip = rt::Rect{0, 0, 100, 250}.scaled(scale);
            rt::stretchBlit(expected, to, file, band, clip, true);
            frame.draw(part, to, band, clip, true);
            EXPECT_EQ(part, expected);
            EXPECT_EQ(frame.image(), file);
        }
    }
}

}  // namespace
}  // namespace velmora::testing
