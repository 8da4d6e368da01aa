// Clicks and double-clicks as the backends derive them from raw
// presses and releases: the forms runtime relies on the exact sequence Press,
// Release, Click, Press, DoubleClick, Release.
#include <gtest/gtest.h>

#include "runtime/platform/click_tracker.h"

namespace {

using rt::platform::ClickTracker;

constexpr std::uint32_t kWin = 0x400001;
constexpr std::uint32_t kOther = 0x600001;

// What one press-release pair produced.
struct Pair {
    bool doubleClick;
    bool click;
};

Pair tap(ClickTracker& t, std::uint32_t time, int x = 10, int y = 10, int button = 1, std::uint32_t window = kWin) {
    const bool d = t.press(window, button, x, y, time);
    const bool c = t.release(window, button, true);
    return {d, c};
}

TEST(ClickTracker, SingleClickGivesClickOnRelease) {
    ClickTracker t;
    EXPECT_FALSE(t.press(kWin, 1, 5, 5, 1000));
    EXPECT_TRUE(t.release(kWin, 1, true));
}

TEST(ClickTracker, SecondQuickPressIsDoubleClickAndItsReleaseGivesNoClick) {
    ClickTracker t;
    const Pair first = tap(t, 1000);
    const Pair second = tap(t, 1250);
    EXPECT_FALSE(first.doubleClick);
    EXPECT_TRUE(first.click);
    EXPECT_TRUE(second.doubleClick);
    EXPECT_FALSE(second.click);
}

TEST(ClickTracker, ThirdPressStartsANewPair) {
    ClickTracker t;
    tap(t, 1000);
    tap(t, 1100);
    const Pair third = tap(t, 1200);
    const Pair fourth = tap(t, 1300);
    EXPECT_FALSE(third.doubleClick);
    EXPECT_TRUE(third.click);
    EXPECT_TRUE(fourth.doubleClick);
    EXPECT_FALSE(fourth.click);
}

TEST(ClickTracker, IntervalIsMeasuredBetweenPressesAndIncludesItsEnd) {
    ClickTracker t(400);
    tap(t, 1000);
    EXPECT_TRUE(tap(t, 1400).doubleClick);

    ClickTracker late(400);
    tap(late, 1000);
    const Pair slow = tap(late, 1401);
    EXPECT_FALSE(slow.doubleClick);
    EXPECT_TRUE(slow.click);
    // The slow press arms a pair of its own.
    EXPECT_TRUE(tap(late, 1500).doubleClick);
}

TEST(ClickTracker, DesktopIntervalReplacesTheDefault) {
    ClickTracker t;
    t.setIntervalMs(250);
    tap(t, 1000);
    EXPECT_FALSE(tap(t, 1300).doubleClick);
    EXPECT_TRUE(tap(t, 1500).doubleClick);
}

TEST(ClickTracker, ServerClockWrapAroundStillPairs) {
    ClickTracker t;
    tap(t, 0xFFFFFF00u);
    EXPECT_TRUE(tap(t, 0x50u).doubleClick);  // 336 ms later
}

TEST(ClickTracker, PointerMayMoveAFewPixelsButNoMore) {
    ClickTracker near(400, 4);
    tap(near, 1000, 100, 100);
    EXPECT_TRUE(tap(near, 1100, 104, 96).doubleClick);

    ClickTracker far(400, 4);
    tap(far, 1000, 100, 100);
    EXPECT_FALSE(tap(far, 1100, 105, 100).doubleClick);

    ClickTracker farY(400, 4);
    tap(farY, 1000, 100, 100);
    EXPECT_FALSE(tap(farY, 1100, 100, 95).doubleClick);
}

TEST(ClickTracker, OnlyTheLeftButtonClicks) {
    ClickTracker t;
    for (int button : {2, 3}) {
        const Pair a = tap(t, 1000, 10, 10, button);
        const Pair b = tap(t, 1100, 10, 10, button);
        EXPECT_FALSE(a.click) << button;
        EXPECT_FALSE(b.click) << button;
        EXPECT_FALSE(b.doubleClick) << button;
    }
}

TEST(ClickTracker, OtherButtonBetweenLeftPressesBreaksTheDoubleClick) {
    ClickTracker t;
    tap(t, 1000);
    tap(t, 1050, 10, 10, 3);
    const Pair after = tap(t, 1100);
    EXPECT_FALSE(after.doubleClick);
    EXPECT_TRUE(after.click);
}

TEST(ClickTracker, PressesOnDifferentWindowsDoNotPair) {
    ClickTracker t;
    tap(t, 1000, 10, 10, 1, kWin);
    const Pair other = tap(t, 1100, 10, 10, 1, kOther);
    EXPECT_FALSE(other.doubleClick);
    EXPECT_TRUE(other.click);
}

TEST(ClickTracker, ReleaseElsewhereGivesNoClick) {
    ClickTracker t;
    t.press(kWin, 1, 10, 10, 1000);
    EXPECT_FALSE(t.release(kOther, 1, true));
    // The press is still held; its own release outside the window: no click.
    EXPECT_FALSE(t.release(kWin, 1, false));
    // A stray release with no press before it clicks nothing either.
    EXPECT_FALSE(t.release(kWin, 1, true));
}

TEST(ClickTracker, ReleaseOfAnotherButtonDoesNotEndTheLeftPress) {
    ClickTracker t;
    t.press(kWin, 1, 10, 10, 1000);
    EXPECT_FALSE(t.release(kWin, 3, true));
    EXPECT_TRUE(t.release(kWin, 1, true));
}

TEST(ClickTracker, ResetForgetsThePendingFirstPress) {
    ClickTracker t;
    tap(t, 1000);
    t.reset();
    EXPECT_FALSE(tap(t, 1100).doubleClick);
}

}  // namespace

// Windows decides on double-clicks itself: the backend passes each press
// with the system's verdict, and the tracker still gives the same sequence.
TEST(ClickTracker, SystemDecidedDoubleClickGivesNoClickOnItsRelease) {
    ClickTracker t;
    t.pressDecided(kWin, 1, false);
    EXPECT_TRUE(t.release(kWin, 1, true));
    t.pressDecided(kWin, 1, true);
    EXPECT_FALSE(t.release(kWin, 1, true));
    // The system's word holds even against the tracker's own rules: a press
    // it calls single is single, however quick, and it leaves nothing armed.
    t.pressDecided(kWin, 1, false);
    EXPECT_TRUE(t.release(kWin, 1, true));
    EXPECT_FALSE(t.press(kWin, 1, 10, 10, 1000));
    // Only the left button double-clicks; a release elsewhere is no click.
    t.pressDecided(kWin, 3, true);
    EXPECT_FALSE(t.release(kWin, 3, true));
    t.pressDecided(kWin, 1, false);
    EXPECT_FALSE(t.release(kWin, 1, false));
}
