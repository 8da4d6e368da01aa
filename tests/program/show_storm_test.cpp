// Pointer input that arrives while the greeting panel unrolls and flies
// away, some of it inside a fly-away step's DoEvents: it must not break the
// panel's course, its pace or the flame, and a timer's tick that falls due
// while its own step is suspended is dropped, never run inside the step.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "card_session.h"
#include "show_recorder.h"

namespace velmora::testing {
namespace {

using rt::platform::Event;
using rt::platform::EventType;

int expectedGrowthSteps(float faceHeight) { return int(std::ceil((faceHeight - 100.0) / 100.0)); }
int expectedFlySteps(float width) {
    return int(std::floor(std::log(width / 100.0) / std::log(1.0 / 0.9))) + 1;
}

// Random points on the card face or the panel, clear of the picture
// buttons (a click there would end the program or open the About window).
class PointerStorm {
public:
    PointerStorm(CardSession& s, unsigned seed) : s_(s), rng_(seed) {
        const rt::Rect close = s.card().PictureClose.framePixelBounds();
        const rt::Rect about = s.card().PictureAbout.framePixelBounds();
        buttons_ = close.unite(about);
        buttons_ = {buttons_.x - 2, buttons_.y - 2, buttons_.width + 4, buttons_.height + 4};
    }

    std::pair<int, int> point() {
        for (;;) {
            const int x = int(rng_() % 333), y = int(rng_() % 415);
            if (!buttons_.contains(x, y)) return {x, y};
        }
    }
    unsigned next(unsigned n) { return unsigned(rng_() % n); }

    // Queues a few pointer events (no double-clicks) for the program to take
    // at its next chance: inside DoEvents when called from a fly-away step.
    void queueBurst() {
        const unsigned count = next(4);
        for (unsigned i = 0; i < count; ++i) {
            const auto [x, y] = point();
            switch (next(4)) {
                case 0:
                    for (EventType type : {EventType::Press, EventType::Release, EventType::Click})
                        post(type, x, y);
                    break;
                case 1: post(EventType::Press, x, y); break;
                case 2: post(EventType::Release, x, y); break;
                default: post(EventType::Move, x, y); break;
            }
        }
    }

private:
    void post(EventType type, int x, int y) {
        Event e;
        e.type = type;
        e.window = s_.cardWindow();
        e.x = x;
        e.y = y;
        s_.platform().post(e);
    }

    CardSession& s_;
    std::mt19937 rng_;
    rt::Rect buttons_;
};

TEST(ShowStorm, PointerStormsNeverBreakThePanelOrThePace) {
    for (unsigned seed = 1; seed <= 16; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        CardSession s;
        ShowRecorder recorder(s);
        CardForm& card = s.card();
        PointerStorm storm(s, seed);
        std::vector<std::string> broken;
        bool flownAway = false;
        int clicksInsideSteps = 0;

        recorder.beforeTick = [&](int timer) {
            if (timer != 1) storm.queueBurst();
        };
        recorder.afterTick = [&](const ShowTick& t) {
            const std::string at = " at " + std::to_string(t.showTime);
            if (t.nesting != 0) broken.push_back("Timer" + std::to_string(t.timer) + " ran inside itself" + at);
            if (t.panelAfter.visible && (t.panelAfter.width <= 0 || t.panelAfter.height <= 0))
                broken.push_back("panel of size " + std::to_string(t.panelAfter.width) + "x" +
                                 std::to_string(t.panelAfter.height) + at);
            if (t.frameAfter < 1 || t.frameAfter > 5)
                broken.push_back("FrameIndex " + std::to_string(t.frameAfter) + at);
            if (flownAway && t.panelAfter.visible) broken.push_back("panel back after the fly-away" + at);
            if (t.timer == 4 && t.panelBefore.visible && !t.panelAfter.visible) flownAway = true;
            if (t.timer == 4 && card.LastClickTime == t.clock) ++clicksInsideSteps;
        };

        s.advanceTo(20.5);
        while (s.now() < 37) {
            s.advanceBy(rt::kTimerGranularity * (1 + storm.next(4)));
            for (unsigned i = storm.next(3); i > 0; --i) {
                const auto [x, y] = storm.point();
                s.click(x, y);
            }
        }
        s.advanceTo(40);

        ASSERT_FALSE(s.finished()) << "the program ended";
        for (const std::string& b : broken) ADD_FAILURE() << b;
        EXPECT_GT(clicksInsideSteps, 0) << "no click reached a fly-away step's DoEvents";
        EXPECT_TRUE(flownAway);
        EXPECT_FALSE(card.Picture2.Visible());
        EXPECT_FALSE(card.Timer2.Enabled());
        EXPECT_FALSE(card.Timer4.Enabled());
        EXPECT_FALSE(card.RevealPending);
        EXPECT_EQ(card.Picture1(0).Left(), 0);
        // The input changed neither the number of steps nor their pace.
        const PanelCourse course(recorder, card.Picture1(0).Height());
        EXPECT_EQ(int(course.growthSteps.size()), expectedGrowthSteps(card.Picture1(0).Height()));
        EXPECT_EQ(course.unrollTicks.size(), course.growthSteps.size());
        EXPECT_EQ(int(course.flySteps.size()), expectedFlySteps(card.Picture1(0).Width()));
        EXPECT_EQ(course.flyTicks.size(), course.flySteps.size());
    }
}

TEST(ShowStorm, AboutWindowOpenedInsideAFlyAwayStepHoldsTheStepAndDropsItsTicks) {
    CardSession s;
    ShowRecorder recorder(s);
    CardForm& card = s.card();

    // Two fly-away steps uncover the picture buttons' column; a click on the
    // card face beside the panel shows them.
    while (!(card.Timer4.Enabled() && card.Picture2.Left() >= 260) && s.now() < 40)
        s.advanceBy(rt::kTimerGranularity);
    ASSERT_TRUE(card.Timer4.Enabled());
    ASSERT_TRUE(s.click(3, 300));
    ASSERT_TRUE(card.PictureAbout.Visible());
    const auto [ax, ay] = CardSession::centreOf(card.PictureAbout);
    ASSERT_EQ(card.controlAt(ax, ay), &card.PictureAbout);

    // The next fly-away step finds a click on the About button waiting and
    // takes it inside its DoEvents: the About window opens modally there.
    bool armed = true;
    recorder.beforeTick = [&](int timer) {
        if (timer != 4 || !armed) return;
        armed = false;
        for (EventType type : {EventType::Press, EventType::Release, EventType::Click}) {
            Event e;
            e.type = type;
            e.window = s.cardWindow();
            e.x = ax;
            e.y = ay;
            s.platform().post(e);
        }
    };
    while (armed) s.advanceBy(rt::kTimerGranularity);
    ASSERT_NE(s.about(), nullptr) << "the About window did not open";
    const PanelState held = ShowRecorder::panel(card);
    const std::size_t flyTicksBefore = recorder.ticksOf(4).size();
    const std::size_t flameTicksBefore = recorder.ticksOf(1).size();
    const float clickBefore = card.LastClickTime;

    // Two seconds with the About window open: the flame goes on, the
    // suspended step's timer does not tick, the panel stays where the step
    // left it, and the card takes no pointer input.
    s.advanceBy(2);
    EXPECT_EQ(recorder.ticksOf(4).size(), flyTicksBefore);
    EXPECT_GT(recorder.ticksOf(1).size(), flameTicksBefore + 100);
    EXPECT_EQ(ShowRecorder::panel(card), held);
    s.click(3, 300);
    EXPECT_EQ(card.LastClickTime, clickBefore);

    // Closing it lets the step finish; the fly-away resumes at its pace,
    // 0.1 s or more after the step ended, and completes.
    AboutForm* about = s.about();
    const auto [cx, cy] = CardSession::centreOf(about->PictureClose);
    ASSERT_TRUE(s.session().click(about->hWnd(), cx, cy));
    ASSERT_EQ(s.about(), nullptr);
    const float closedAt = s.app().timer();
    EXPECT_EQ(card.LastStepTime, closedAt);
    s.advanceTo(50);

    const std::vector<ShowTick> fly = recorder.ticksOf(4);
    ASSERT_GT(fly.size(), flyTicksBefore + 1);
    const ShowTick& suspended = fly[flyTicksBefore];
    EXPECT_EQ(suspended.lastStepAfter, closedAt);
    EXPECT_GE(double(fly[flyTicksBefore + 1].clock), double(closedAt) + 0.1);
    for (const ShowTick& t : fly) EXPECT_EQ(t.nesting, 0);
    const PanelCourse course(recorder, card.Picture1(0).Height());
    EXPECT_EQ(int(course.flySteps.size()), expectedFlySteps(card.Picture1(0).Width()));
    EXPECT_EQ(course.flyTicks.size(), course.flySteps.size());
    EXPECT_FALSE(card.Picture2.Visible());
    EXPECT_FALSE(card.Timer4.Enabled());
}

}  // namespace
}  // namespace velmora::testing
