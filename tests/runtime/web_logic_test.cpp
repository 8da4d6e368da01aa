// The web backend's decisions, on the host: the device scale, shapes and
// the canvas's pixels, hit-testing, pointer records into events, the clock
// that stands still while the page is hidden, the pack reader, and the plan
// of a move on a canvas (checked against a full present, pixel for pixel).
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "runtime/graphics/region.h"
#include "runtime/platform/web/web_logic.h"

namespace {

using namespace rt;
using namespace rt::platform;
using namespace rt::platform::web;

// ------------------------------------------------------------ the scale

TEST(WebDeviceScale, RoundsTheRatioUpToAWholeScale) {
    EXPECT_EQ(deviceScale(0), 1);
    EXPECT_EQ(deviceScale(-2), 1);
    EXPECT_EQ(deviceScale(std::nan("")), 1);
    EXPECT_EQ(deviceScale(1), 1);
    EXPECT_EQ(deviceScale(1.0000001), 1);
    EXPECT_EQ(deviceScale(1.25), 2);
    EXPECT_EQ(deviceScale(2), 2);
    EXPECT_EQ(deviceScale(2.625), 3);
    EXPECT_EQ(deviceScale(3), 3);
    EXPECT_EQ(deviceScale(6), 4);
}

// ----------------------------------------------------------- the shapes

// A rounded 40 x 30 window, as the card's windows are.
Region rounded() { return roundRectRegion(40, 30, 16, 16); }

TEST(WebShape, ContainsAndCoversFollowTheSpans) {
    const Region region = rounded();
    IndexedShape shape;
    shape.set(&region, 30);
    EXPECT_FALSE(shape.rectangular());
    EXPECT_FALSE(shape.contains(0, 0));
    EXPECT_TRUE(shape.contains(20, 0));
    EXPECT_TRUE(shape.contains(0, 15));
    EXPECT_FALSE(shape.contains(0, 30));  // below the window
    EXPECT_FALSE(shape.covers(0, 0, 40));
    EXPECT_TRUE(shape.covers(0, 10, 30));
    EXPECT_TRUE(shape.covers(15, 0, 40));
    EXPECT_TRUE(shape.covers(0, 5, 5));  // nothing to cover

    IndexedShape plain;
    plain.set(nullptr, 30);
    EXPECT_TRUE(plain.rectangular());
    EXPECT_TRUE(plain.contains(0, 0));
    EXPECT_TRUE(plain.covers(0, 0, 40));
}

TEST(WebShape, CoversSpansThatMeet) {
    Region region;
    region.width = 10;
    region.height = 1;
    region.spans = {{0, 0, 4}, {0, 4, 10}};
    IndexedShape shape;
    shape.set(&region, 1);
    EXPECT_TRUE(shape.covers(0, 2, 8));
    region.spans = {{0, 0, 4}, {0, 5, 10}};
    shape.set(&region, 1);
    EXPECT_FALSE(shape.covers(0, 2, 8));
    EXPECT_TRUE(shape.covers(0, 5, 8));
}

TEST(WebShape, CornerRadiiAreHalfTheEllipseInCssPixels) {
    Region region = roundRectRegion(80, 60, 32, 20);
    EXPECT_EQ(cornerRadii(&region, 2), (Size{8, 5}));
    region = roundRectRegion(40, 30, 100, 100);  // an oval
    EXPECT_EQ(cornerRadii(&region, 1), (Size{20, 15}));
    region.roundRect.reset();  // spans alone: no corner to follow
    EXPECT_EQ(cornerRadii(&region, 1), Size{});
    EXPECT_EQ(cornerRadii(nullptr, 1), Size{});
}

TEST(WebShape, ResizingIndexesTheRowsAgain) {
    const Region region = rounded();
    IndexedShape shape;
    shape.set(&region, 10);
    EXPECT_FALSE(shape.contains(20, 20));  // past the rows indexed
    shape.resize(30);
    EXPECT_TRUE(shape.contains(20, 20));
}

TEST(WebShape, CanvasPixelsAreRgbaOpaqueAndClearedOutsideTheShape) {
    const Region region = rounded();
    IndexedShape shape;
    shape.set(&region, 30);
    Bitmap frame(40, 30, rgbPixel(0x11, 0x22, 0x33));
    std::vector<std::uint32_t> out;
    canvasPixels(frame, {0, 0, 40, 30}, shape, out);
    ASSERT_EQ(out.size(), 40u * 30u);
    std::uint8_t bytes[4];
    std::memcpy(bytes, &out[15 * 40 + 20], 4);
    EXPECT_EQ(bytes[0], 0x11);
    EXPECT_EQ(bytes[1], 0x22);
    EXPECT_EQ(bytes[2], 0x33);
    EXPECT_EQ(bytes[3], 0xFF);
    EXPECT_EQ(out[0], 0u);                 // the corner: transparent
    EXPECT_EQ(out[29 * 40 + 39], 0u);
    // A rectangle in the middle of a row: cleared where the shape is not.
    canvasPixels(frame, {0, 1, 8, 1}, shape, out);
    ASSERT_EQ(out.size(), 8u);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(out[std::size_t(x)] != 0, shape.contains(x, 1)) << x;
    // A rectangle past the frame is cut to it.
    canvasPixels(frame, {30, 20, 20, 20}, shape, out);
    EXPECT_EQ(out.size(), 10u * 10u);
}

// ---------------------------------------------------------- the windows

Windows twoWindows(const Region& shape) {
    Windows windows;
    WindowState card;
    card.bounds = {100, 100, 40, 30};
    card.shape.set(&shape, 30);
    card.z = 1;
    card.visible = true;
    windows[1] = card;
    WindowState about;
    about.bounds = {120, 110, 40, 30};
    about.z = 2;
    about.visible = true;
    windows[2] = about;
    return windows;
}

TEST(WebHitTest, TakesTheTopmostShownWindowWhoseShapeHoldsThePoint) {
    const Region shape = rounded();
    Windows windows = twoWindows(shape);
    auto hit = hitTest(windows, 125, 115);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->window, 2u);
    EXPECT_EQ(hit->x, 5);
    EXPECT_EQ(hit->y, 5);
    hit = hitTest(windows, 110, 115);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->window, 1u);
    // The card's transparent corner: the page's.
    EXPECT_FALSE(hitTest(windows, 100, 100));
    EXPECT_FALSE(hitTest(windows, 99, 115));
    windows[2].visible = false;
    EXPECT_EQ(hitTest(windows, 125, 115)->window, 1u);
    windows[1].z = 5;
    windows[2].visible = true;
    EXPECT_EQ(hitTest(windows, 125, 115)->window, 1u);
}

TEST(WebLayout, TheLargestWindowInCssPixels) {
    EXPECT_FALSE(largestWindow({}, 2));
    const Region shape = rounded();
    Windows windows = twoWindows(shape);
    windows[2].bounds.width = 50;
    windows[2].bounds.height = 21;
    EXPECT_EQ(largestWindow(windows, 2), (Size{25, 15}));
}

// ------------------------------------------------------- pointer input

TEST(WebPointerRecord, NamesItsFieldsAndKindsInOrder) {
    EXPECT_EQ(pointerFieldNames(), "kind,x,y,button,time,touch");
    EXPECT_EQ(pointerKindNames(), "pointerdown,pointerup,pointercancel,pointermove,contextmenu");
    PointerRecord r;
    EXPECT_EQ(reinterpret_cast<const char*>(&r.touch) - reinterpret_cast<const char*>(&r.kind), 5 * 8);
}

PointerRecord record(PointerKind kind, double x, double y, double button = 0, double time = 1000, bool touch = false) {
    PointerRecord r;
    r.kind = double(int(kind));
    r.x = x;
    r.y = y;
    r.button = button;
    r.time = time;
    r.touch = touch ? 1 : 0;
    return r;
}

std::vector<Event> drain(PointerInput& input, EventQueue& queue) {
    input.flush(queue);
    std::vector<Event> events;
    while (auto e = queue.pop()) events.push_back(*e);
    return events;
}

// The card (window 1, rounded) and About (window 2) at 1x, with the queue
// and the pointer's state, for each pointer test; take() hands the input a
// record as the page writes it.
class WebPointerInput : public ::testing::Test {
protected:
    PointerOutcome take(PointerKind kind, double x, double y, double button = 0, double time = 1000,
                        bool touch = false) {
        return input.take(record(kind, x, y, button, time, touch), windows, queue);
    }
    std::vector<Event> drained() { return drain(input, queue); }

    const Region shape = rounded();
    Windows windows = twoWindows(shape);
    EventQueue queue;
    PointerInput input{1};
};

TEST_F(WebPointerInput, APressOnTheShapeIsTheCardsAndAClickFollowsItsRelease) {
    // CSS pixels of the stage, with fractions: floored to device pixels.
    auto outcome = take(PointerKind::pointerdown, 110.7, 115.2);
    EXPECT_TRUE(outcome.taken);
    EXPECT_TRUE(outcome.queued);
    EXPECT_EQ(input.hovered(), 1u);
    outcome = take(PointerKind::pointerup, 111, 116);
    EXPECT_TRUE(outcome.taken);
    const auto events = drained();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].type, EventType::Press);
    EXPECT_EQ(events[0].window, 1u);
    EXPECT_EQ(events[0].x, 10);
    EXPECT_EQ(events[0].y, 15);
    EXPECT_EQ(events[0].button, 1);
    EXPECT_EQ(events[1].type, EventType::Release);
    EXPECT_EQ(events[1].x, 11);
    EXPECT_EQ(events[2].type, EventType::Click);
}

TEST_F(WebPointerInput, ThePointsAreScaledToDevicePixels) {
    const Region sharpShape = scaleRegion(rounded(), 2);
    Windows scaled;
    scaled[1].bounds = {200, 200, 80, 60};
    scaled[1].shape.set(&sharpShape, 60);
    scaled[1].visible = true;
    PointerInput sharp(2);
    EXPECT_TRUE(sharp.take(record(PointerKind::pointerdown, 120.3, 115.6, 2), scaled, queue).taken);
    const auto events = drain(sharp, queue);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].x, 40);
    EXPECT_EQ(events[0].y, 31);
    EXPECT_EQ(events[0].button, 3);  // the DOM's secondary button
}

TEST_F(WebPointerInput, TheTransparentCornerAndOtherButtonsAreThePages) {
    EXPECT_FALSE(take(PointerKind::pointerdown, 100.5, 100.5).taken);
    EXPECT_FALSE(take(PointerKind::pointerup, 100.5, 100.5).taken);
    EXPECT_FALSE(take(PointerKind::pointerdown, 110, 115, 3).taken);
    EXPECT_FALSE(take(PointerKind::contextmenu, 100, 100).taken);
    EXPECT_TRUE(take(PointerKind::contextmenu, 110, 115).taken);
    EXPECT_TRUE(drained().empty());
}

TEST_F(WebPointerInput, APointNoScreenHasIsNobodys) {
    EXPECT_FALSE(take(PointerKind::pointerdown, std::nan(""), 115).taken);
    EXPECT_FALSE(take(PointerKind::pointerdown, 110, 1e300).taken);
    EXPECT_FALSE(take(PointerKind::pointermove, -1e30, 0).queued);
    EXPECT_TRUE(drained().empty());
}

TEST_F(WebPointerInput, APressHoldsItsWindowAndAReleaseOutsideIsNoClick) {
    take(PointerKind::pointerdown, 110, 115);
    // Over About, and past the card: the card still gets the moves.
    EXPECT_FALSE(take(PointerKind::pointermove, 125, 115).taken);
    take(PointerKind::pointermove, 300, 300);
    take(PointerKind::pointerup, 300, 300);
    const auto events = drained();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[1].type, EventType::Move);  // the run of moves: the latest
    EXPECT_EQ(events[1].window, 1u);
    EXPECT_EQ(events[1].x, 200);
    EXPECT_EQ(events[2].type, EventType::Release);
}

TEST_F(WebPointerInput, ACancelReleasesWithoutAClick) {
    take(PointerKind::pointerdown, 110, 115);
    EXPECT_TRUE(take(PointerKind::pointercancel, 110, 115).taken);
    const auto events = drained();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].type, EventType::Release);
}

TEST_F(WebPointerInput, MovesLeaveOneWindowForAnotherAndForThePage) {
    EXPECT_TRUE(take(PointerKind::pointermove, 110, 115).queued);
    take(PointerKind::pointermove, 111, 115);
    take(PointerKind::pointermove, 125, 115);
    EXPECT_EQ(input.hovered(), 2u);
    EXPECT_TRUE(take(PointerKind::pointermove, 500, 500).queued);
    EXPECT_EQ(input.hovered(), kNoWindow);
    EXPECT_FALSE(take(PointerKind::pointermove, 501, 500).queued);
    const auto events = drained();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].type, EventType::Move);
    EXPECT_EQ(events[0].x, 11);  // the later of the two over the card
    EXPECT_EQ(events[1].type, EventType::Leave);
    EXPECT_EQ(events[1].window, 1u);
    EXPECT_EQ(events[2].type, EventType::Move);
    EXPECT_EQ(events[2].window, 2u);
    EXPECT_EQ(events[3].type, EventType::Leave);
    EXPECT_EQ(events[3].window, 2u);
}

TEST_F(WebPointerInput, ADoubleTapWithinAFingertipIsADoubleClick) {
    take(PointerKind::pointerdown, 105, 115, 0, 1000, true);
    take(PointerKind::pointerup, 105, 115, 0, 1050, true);
    // 12 pixels away: too far for a mouse's double-click, near enough for a finger.
    take(PointerKind::pointerdown, 117, 115, 0, 1200, true);
    take(PointerKind::pointerup, 117, 115, 0, 1250, true);
    const auto events = drained();
    ASSERT_EQ(events.size(), 6u);
    EXPECT_EQ(events[3].type, EventType::Press);
    EXPECT_EQ(events[4].type, EventType::DoubleClick);
}

TEST_F(WebPointerInput, AWindowGoneIsForgotten) {
    take(PointerKind::pointerdown, 110, 115);
    take(PointerKind::pointermove, 112, 115);
    windows.erase(1);
    queue.forget(1);
    input.forget(1);
    EXPECT_EQ(input.hovered(), kNoWindow);
    EXPECT_FALSE(take(PointerKind::pointerup, 112, 115).taken);
    EXPECT_TRUE(drained().empty());
}

// ------------------------------------------------------------ the clock

TEST(WebVisibleClock, StandsStillWhileThePageIsHidden) {
    VisibleClock clock;
    EXPECT_DOUBLE_EQ(clock.seconds(5), 5);
    clock.setHidden(true, 10);
    EXPECT_TRUE(clock.hidden());
    EXPECT_DOUBLE_EQ(clock.seconds(100), 10);
    clock.setHidden(true, 50);  // told again: still from 10
    clock.setHidden(false, 110);
    EXPECT_FALSE(clock.hidden());
    EXPECT_DOUBLE_EQ(clock.seconds(110), 10);
    EXPECT_DOUBLE_EQ(clock.seconds(111.5), 11.5);
    clock.setHidden(false, 120);  // told again: nothing changes
    EXPECT_DOUBLE_EQ(clock.seconds(120), 20);
}

TEST(WebVisibleClock, APageOpenedHiddenStartsWhenShown) {
    VisibleClock clock;
    clock.setHidden(true, 1000);
    const double start = clock.seconds(1000);
    EXPECT_DOUBLE_EQ(clock.seconds(4000), start);
    clock.setHidden(false, 4000);
    EXPECT_DOUBLE_EQ(clock.seconds(4001) - start, 1);
}

// ------------------------------------------------------------- the pack

std::vector<std::uint8_t> entry(const std::string& name, std::uint32_t length, const std::string& body) {
    std::vector<std::uint8_t> out(name.begin(), name.end());
    out.push_back(0);
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(length >> (8 * i)));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<std::uint8_t> operator+(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string text(std::span<const std::uint8_t> bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(WebPack, ReadsEveryFileByName) {
    const auto pack = entry("a.png", 3, "abc") + entry("empty", 0, "") + entry("b.jpg", 2, "xy");
    const auto files = readPack(pack);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(text(files.at("a.png")), "abc");
    EXPECT_TRUE(files.at("empty").empty());
    EXPECT_EQ(text(files.at("b.jpg")), "xy");
    EXPECT_TRUE(readPack({}).empty());
}

TEST(WebPack, ACutOffPackKeepsWhatIsWhole) {
    const auto whole = entry("a.png", 3, "abc") + entry("b.jpg", 5, "12345");
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        const auto files = readPack(std::span(whole).first(cut));
        EXPECT_EQ(files.size(), cut >= entry("a.png", 3, "abc").size() ? 1u : 0u) << cut;
    }
    // A name without its zero byte.
    EXPECT_TRUE(readPack(entry("a", 0, "") + std::vector<std::uint8_t>{'b', 'c'}).size() == 1);
}

TEST(WebPack, ALengthPastTheEndIsRejected) {
    // Sizes with the top bit set once made a negative length, and a loop
    // that never ended; any size past the end stops the reading.
    for (const std::uint32_t length : {0x80000000u, 0xFFFFFFFFu, 0xFFFFFFFBu, 0x01000000u, 13u}) {
        const auto pack = entry("a.png", 3, "abc") + entry("big", length, "abc") + entry("c", 1, "c");
        const auto files = readPack(pack);
        EXPECT_EQ(files.size(), 1u) << length;
        EXPECT_TRUE(files.count("a.png"));
    }
}

// --------------------------------------------------------- moving pixels

// A canvas as the browser keeps it: RGBA words, put as putImageData does,
// copied onto itself as drawImage does (the source read first, drawn over
// the destination: an opaque pixel replaces it, a transparent one leaves it).
struct Canvas {
    int width, height;
    std::vector<std::uint32_t> pixels;
    Canvas(int w, int h) : width(w), height(h), pixels(std::size_t(w) * std::size_t(h), 0) {}

    void put(const Bitmap& frame, const IndexedShape& shape, const Rect& area) {
        std::vector<std::uint32_t> rgba;
        const Rect r = area.intersect(frame.bounds());
        canvasPixels(frame, r, shape, rgba);
        for (int y = 0; y < r.height; ++y)
            for (int x = 0; x < r.width; ++x)
                pixels[std::size_t(r.y + y) * std::size_t(width) + std::size_t(r.x + x)] =
                    rgba[std::size_t(y) * std::size_t(r.width) + std::size_t(x)];
    }
    void copy(const Rect& r, int dx, int dy) {
        const std::vector<std::uint32_t> before = pixels;
        for (int y = r.y; y < r.bottom(); ++y)
            for (int x = r.x; x < r.right(); ++x) {
                const std::uint32_t p = before[std::size_t(y) * std::size_t(width) + std::size_t(x)];
                if ((p >> 24) == 0) continue;
                ASSERT_EQ(p >> 24, 0xFFu);
                pixels[std::size_t(y + dy) * std::size_t(width) + std::size_t(x + dx)] = p;
            }
    }
};

// A frame of noise, and the same frame with the box `from` moved by (dx, dy)
// over fresh noise.
Bitmap noise(int width, int height, std::mt19937& random) {
    Bitmap frame(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) frame.at(x, y) = kOpaque | (random() & 0xFFFFFFu);
    return frame;
}

void checkMove(const Region* region, int width, int height, const Rect& from, int dx, int dy, unsigned seed) {
    std::mt19937 random(seed);
    IndexedShape shape;
    shape.set(region, height);
    const Bitmap before = noise(width, height, random);
    Bitmap after = noise(width, height, random);
    const Rect window{0, 0, width, height};
    const Rect to = from.offset(dx, dy).intersect(window);
    for (int y = to.y; y < to.bottom(); ++y)
        for (int x = to.x; x < to.right(); ++x)
            if (window.contains(x - dx, y - dy)) after.at(x, y) = before.at(x - dx, y - dy);
    // What the move uncovered, and the rest of the window, as the runtime
    // would hand them over: everything outside the destination.
    std::vector<Rect> exposed;
    if (to.y > 0) exposed.push_back({0, 0, width, to.y});
    if (to.bottom() < height) exposed.push_back({0, to.bottom(), width, height - to.bottom()});
    if (to.x > 0) exposed.push_back({0, to.y, to.x, to.height});
    if (to.right() < width) exposed.push_back({to.right(), to.y, width - to.right(), to.height});

    Canvas canvas(width, height), expected(width, height);
    canvas.put(before, shape, window);
    expected.put(after, shape, window);
    const MovePlan plan = planMove(shape, window, from, dx, dy);
    for (const Rect& r : plan.copies) {
        EXPECT_TRUE(window.contains(r.x, r.y) && window.contains(r.right() - 1, r.bottom() - 1));
        canvas.copy(r, dx, dy);
    }
    for (const Rect& r : plan.puts) canvas.put(after, shape, r);
    for (const Rect& r : exposed) canvas.put(after, shape, r);
    EXPECT_TRUE(canvas.pixels == expected.pixels) << "from " << from.x << "," << from.y << " " << from.width << "x"
                                                  << from.height << " by " << dx << "," << dy;
}

TEST(WebMove, APlainWindowCopiesTheWholeBox) {
    const MovePlan plan = planMove(IndexedShape{}, {0, 0, 100, 80}, {10, 10, 50, 40}, 6, -3);
    ASSERT_EQ(plan.copies.size(), 1u);
    EXPECT_EQ(plan.copies[0], (Rect{10, 10, 50, 40}));
    EXPECT_TRUE(plan.puts.empty());
    checkMove(nullptr, 100, 80, {10, 10, 50, 40}, 6, -3, 1);
}

TEST(WebMove, TheRowsNearRoundedCornersArePutNotCopied) {
    const Region region = roundRectRegion(100, 80, 30, 30);
    IndexedShape shape;
    shape.set(&region, 80);
    // The whole face jumping sideways: the corner rows can't be copied.
    const MovePlan plan = planMove(shape, {0, 0, 100, 80}, {0, 0, 100, 80}, 4, 0);
    ASSERT_FALSE(plan.copies.empty());
    ASSERT_FALSE(plan.puts.empty());
    int copied = 0;
    for (const Rect& r : plan.copies) copied += r.height;
    EXPECT_GT(copied, 40);
    EXPECT_LT(copied, 80);
    checkMove(&region, 100, 80, {0, 0, 100, 80}, 4, 0, 2);
    checkMove(&region, 100, 80, {0, 0, 100, 80}, -4, 0, 3);
}

TEST(WebMove, EveryMoveEndsAsAFullPresentWould) {
    const Region region = roundRectRegion(90, 70, 24, 24);
    unsigned seed = 10;
    for (const Rect from : {Rect{0, 0, 90, 70}, Rect{5, 3, 60, 50}, Rect{20, 10, 30, 30}, Rect{-10, -5, 40, 40}})
        for (const auto& [dx, dy] : {std::pair{3, 0}, {-3, 0}, {0, 4}, {0, -4}, {5, 7}, {-6, -2}, {0, 0}, {95, 0}}) {
            checkMove(&region, 90, 70, from, dx, dy, ++seed);
            checkMove(nullptr, 90, 70, from, dx, dy, ++seed);
        }
}

TEST(WebMove, MovingDownCopiesTheLowerBandsFirst) {
    // A shape with a notch in the middle rows: two bands to copy.
    Region region;
    region.width = 20;
    region.height = 20;
    for (int y = 0; y < 20; ++y) {
        if (y == 10) region.spans.push_back({y, 0, 5});
        region.spans.push_back({y, y == 10 ? 6 : 0, 20});
    }
    IndexedShape shape;
    shape.set(&region, 20);
    const MovePlan plan = planMove(shape, {0, 0, 20, 20}, {0, 0, 20, 15}, 0, 2);
    ASSERT_GE(plan.copies.size(), 2u);
    for (std::size_t i = 1; i < plan.copies.size(); ++i) EXPECT_GT(plan.copies[i - 1].y, plan.copies[i].y);
    checkMove(&region, 20, 20, {0, 0, 20, 15}, 0, 2, 99);
    checkMove(&region, 20, 20, {0, 3, 20, 15}, 0, -2, 98);
}

}  // namespace
