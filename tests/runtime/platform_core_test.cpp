// What every backend shares: the event queue, the picture cache, the shape
// rule and the local clock's arithmetic; and the device-to-logical rounding
// of window positions.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "runtime/platform/event_queue.h"
#include "runtime/platform/local_time.h"
#include "runtime/platform/picture_cache.h"
#include "runtime/platform/window_shape.h"
#include "runtime/units.h"
#include "runtime_fixture.h"

namespace rt::platform {
namespace {

std::vector<EventType> drain(EventQueue& q) {
    std::vector<EventType> types;
    while (auto e = q.pop()) types.push_back(e->type);
    return types;
}

TEST(EventQueue, PressesAndReleasesGiveClicksAndDoubleClicksInTheRuntimesOrder) {
    EventQueue q;
    q.press(1, 1, 5, 5, 1000);
    q.release(1, 1, 5, 5, true);
    q.press(1, 1, 6, 5, 1200);
    q.release(1, 1, 6, 5, true);
    EXPECT_EQ(drain(q), (std::vector{EventType::Press, EventType::Release, EventType::Click, EventType::Press,
                                     EventType::DoubleClick, EventType::Release}));
}

TEST(EventQueue, ForgettingAWindowDropsOnlyItsEventsAndThePairInProgress) {
    EventQueue q;
    q.press(1, 1, 5, 5, 1000);
    q.push(EventType::Move, 2, 3, 4, 0);
    q.forget(1);
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q.pop()->window, 2u);
    // The press went with the window: its release clicks nothing.
    q.release(1, 1, 5, 5, true);
    EXPECT_EQ(drain(q), (std::vector{EventType::Release}));
}

TEST(PictureCache, AFullCacheFreesOnlyTheHandlesNotInUse) {
    PictureCache<int> cache(2);
    std::vector<int> freed;
    int made = 0;
    auto make = [&](const Picture&) { return ++made; };
    auto inUse = [](int handle) { return handle == 1; };
    auto release = [&](int handle) { freed.push_back(handle); };
    const auto a = std::make_shared<Picture>(), b = std::make_shared<Picture>(), c = std::make_shared<Picture>();
    EXPECT_EQ(cache.obtain(a, make, inUse, release), 1);
    EXPECT_EQ(cache.obtain(b, make, inUse, release), 2);
    EXPECT_EQ(cache.obtain(a, make, inUse, release), 1);  // cached
    EXPECT_TRUE(freed.empty());
    EXPECT_EQ(cache.obtain(c, make, inUse, release), 3);  // full: frees 2, keeps 1
    EXPECT_EQ(freed, std::vector{2});
    EXPECT_EQ(cache.size(), 2u);
    cache.clear(release);
    std::sort(freed.begin() + 1, freed.end());
    EXPECT_EQ(freed, (std::vector{2, 1, 3}));
    EXPECT_EQ(cache.size(), 0u);
}

TEST(WindowShapeRule, OnlyAnEqualShapeOrASecondRectangleIsSkipped) {
    const Region round = roundRectRegion(20, 10, 6, 6);
    const Region other = roundRectRegion(30, 10, 6, 6);
    EXPECT_TRUE(sameShape(std::nullopt, nullptr));
    EXPECT_FALSE(sameShape(std::nullopt, &round));
    EXPECT_FALSE(sameShape(round, nullptr));
    EXPECT_TRUE(sameShape(shapeOf(&round), &round));
    EXPECT_FALSE(sameShape(round, &other));
}

TEST(LocalTime, ALeapSecondCountsAsTheLastSecondAndFractionsAdd) {
    const LocalDateTime t = localDateTime(2026, 12, 31, 23, 59, 60, 0.25);
    EXPECT_EQ(t.second, 59);
    EXPECT_DOUBLE_EQ(t.secondsSinceMidnight, 86399.25);
}

TEST(LocalTime, TimeAfterAStartCrossesMidnightAndTheYear) {
    const LocalDateTime start = localDateTime(2026, 12, 31, 23, 59, 0, 0.0);
    const LocalDateTime t = localDateTimeAfter(start, 90.5);
    EXPECT_EQ((std::vector{t.year, t.month, t.day, t.hour, t.minute, t.second}), (std::vector{2027, 1, 1, 0, 0, 30}));
    EXPECT_DOUBLE_EQ(t.secondsSinceMidnight, 30.5);
}

}  // namespace
}  // namespace rt::platform

namespace rt::testing {
namespace {

TEST(DeviceToLogical, RoundsDownOnBothSidesOfTheOrigin) {
    EXPECT_EQ(deviceToLogical(5, 2), 2);
    EXPECT_EQ(deviceToLogical(0, 2), 0);
    EXPECT_EQ(deviceToLogical(-1, 2), -1);
    EXPECT_EQ(deviceToLogical(-2, 2), -1);
    EXPECT_EQ(deviceToLogical(-3, 2), -2);
}

// A window centred on a monitor left of and above the primary one, at a
// device scale of 2: its position in logical pixels rounds down, as the
// pointer's does.
TEST(DeviceToLogical, AWindowAtANegativePositionReportsTheLogicalPixelThatHoldsIt) {
    platform::HeadlessOptions options;
    options.scale = 2;
    options.monitor = {-1001, -601, 1000, 600};
    platform::HeadlessPlatform platform(options);
    Application app(platform);
    Form form(app, "Form");
    form.setBorderStyle(0);
    form.setWidth(200 * app.twipsPerPixelX());
    form.setHeight(100 * app.twipsPerPixelY());
    form.StartUpPosition = 2;
    form.Show(0);
    // Device pixels -1001 + (1000 - 400) / 2 = -701 and -601 + (600 - 200) / 2 = -401.
    EXPECT_EQ(platform.window(form.hWnd()).bounds.x, -701);
    EXPECT_EQ(form.Left(), -351 * app.twipsPerPixelX());
    EXPECT_EQ(form.Top(), -201 * app.twipsPerPixelY());
}

}  // namespace
}  // namespace rt::testing
