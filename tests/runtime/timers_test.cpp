// Timers on the virtual clock: the 1/64 s grid, other granularities,
// disabled timers, and a tick that falls due while its own handler waits
// in DoEvents.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "runtime/builtins.h"
#include "runtime_fixture.h"

namespace rt::testing {
namespace {

using platform::HeadlessSession;
using platform::Platform;

// Runs a window holding one timer; records the virtual time of every tick.
struct TimerRun {
    TimerRun(int interval, bool enabled = true, ApplicationOptions options = {}) {
        session.start([=, this](Platform& p) {
            Application app(p, options);
            Form form(app, "F");
            TimerControl& timer = form.add(std::make_unique<TimerControl>(form, "T", -1), nullptr);
            timer.setInterval(interval);
            timer.setEnabled(enabled);
            timer.Tick = [&] {
                ticks.push_back(app.monotonic());
                if (stopAfter && int(ticks.size()) == stopAfter) timer.setEnabled(false);
            };
            return app.run([&] { form.Show(); });
        });
    }
    int stopAfter = 0;
    std::vector<double> ticks;
    HeadlessSession session;
};

TEST(Timers, OneMillisecondTicks64TimesASecondOnTheGrid) {
    TimerRun run(1);
    run.session.advanceTo(1.0);
    ASSERT_EQ(run.ticks.size(), 64u);
    for (std::size_t i = 0; i < run.ticks.size(); ++i) EXPECT_DOUBLE_EQ(run.ticks[i], double(i + 1) / 64);
    run.session.advanceTo(3.0);
    EXPECT_EQ(run.ticks.size(), 192u);
}

TEST(Timers, HundredMillisecondsTickEverySevenSixtyFourths) {
    TimerRun run(100);
    run.session.advanceTo(2.0);
    ASSERT_EQ(run.ticks.size(), 18u);  // 2 s / (7/64 s)
    for (std::size_t i = 0; i < run.ticks.size(); ++i) EXPECT_DOUBLE_EQ(run.ticks[i], double(7 * (i + 1)) / 64);
    // Every tick finds at least 0.1 s since the previous one: a step
    // throttled to one per 0.1 s is taken on every tick.
    for (std::size_t i = 1; i < run.ticks.size(); ++i) EXPECT_GE(run.ticks[i] - run.ticks[i - 1], 0.1);
}

TEST(Timers, AFinerGranularityGives110Milliseconds) {
    ApplicationOptions options;
    options.timerGranularity = 0.01;
    TimerRun run(100, true, options);
    run.session.advanceTo(1.0);
    ASSERT_EQ(run.ticks.size(), 9u);
    for (std::size_t i = 0; i < run.ticks.size(); ++i) EXPECT_NEAR(run.ticks[i], 0.11 * double(i + 1), 1e-9);
}

TEST(Timers, DisabledOrZeroIntervalTimersNeverTick) {
    TimerRun disabled(1, false);
    TimerRun zero(0);
    TimerRun stopping(1);
    stopping.stopAfter = 3;
    for (TimerRun* run : {&disabled, &zero, &stopping}) run->session.advanceTo(2.0);
    EXPECT_TRUE(disabled.ticks.empty());
    EXPECT_TRUE(zero.ticks.empty());
    EXPECT_EQ(stopping.ticks.size(), 3u);
}

// Timer A's handler works for 0.3 s of clock, then yields with DoEvents.
// A's own tick that fell due meanwhile is dropped, the other timer's is
// handled, and A resumes its rhythm from the end of its handler.
TEST(Timers, ATickDueDuringItsOwnDoEventsIsDropped) {
    struct Tick {
        double at;
        bool insideA;
    };
    std::vector<Tick> ticksA, ticksB;
    double endOfFirstA = 0;
    int depth = 0, deepest = 0;
    HeadlessSession session;
    session.start([&](Platform& p) {
        Application app(p);
        Form form(app, "F");
        TimerControl& a = form.add(std::make_unique<TimerControl>(form, "A", -1), nullptr);
        TimerControl& b = form.add(std::make_unique<TimerControl>(form, "B", -1), nullptr);
        a.setInterval(1);
        b.setInterval(100);
        a.Tick = [&] {
            deepest = std::max(deepest, ++depth);
            ticksA.push_back({app.monotonic(), depth > 1});
            if (ticksA.size() == 1) {
                p.waitEvent(app.monotonic() + 0.3);  // the handler's own slow work
                DoEvents();
                endOfFirstA = app.monotonic();
            }
            --depth;
        };
        b.Tick = [&] { ticksB.push_back({app.monotonic(), depth > 0}); };
        return app.run([&] { form.Show(); });
    });
    session.advanceTo(1.0);
    EXPECT_EQ(deepest, 1);
    ASSERT_GE(ticksA.size(), 2u);
    EXPECT_DOUBLE_EQ(ticksA[0].at, 1.0 / 64);
    EXPECT_DOUBLE_EQ(endOfFirstA, 1.0 / 64 + 0.3);
    // The next tick of A: the first grid tick 1 ms or more after its handler ended.
    EXPECT_DOUBLE_EQ(ticksA[1].at, std::floor((endOfFirstA + 0.001) * 64 + 1) / 64);
    // B's first tick (due at 7/64 s) was handled inside A's DoEvents.
    ASSERT_FALSE(ticksB.empty());
    EXPECT_TRUE(ticksB[0].insideA);
    EXPECT_DOUBLE_EQ(ticksB[0].at, endOfFirstA);
    for (std::size_t i = 1; i < ticksB.size(); ++i) EXPECT_FALSE(ticksB[i].insideA);
}

}  // namespace
}  // namespace rt::testing
