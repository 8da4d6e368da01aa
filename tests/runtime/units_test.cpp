// Twips, rounding and the conversions to whole numbers, and the rounded
// window region that a form's size in twips gives.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "runtime/builtins.h"
#include "runtime/system_calls.h"
#include "runtime_fixture.h"

namespace rt::testing {
namespace {

// The error number a call raises, or 0.
template <class F>
int errorOf(F&& f) {
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

TEST(Twips, ExactHalvesOfAPixelRoundToTheEvenNeighbour) {
    EXPECT_EQ(twipsToPixels(3996, 12), 333);
    EXPECT_EQ(twipsToPixels(3990, 12), 332);  // 332.5
    EXPECT_EQ(twipsToPixels(3978, 12), 332);  // 331.5
    EXPECT_EQ(twipsToPixels(3996, 15), 266);  // 266.4
    EXPECT_EQ(twipsToPixels(4987.5f, 15), 332);
    EXPECT_EQ(twipsToPixels(4972.5f, 15), 332);
    EXPECT_EQ(twipsToPixels(7.5f, 15), 0);
    EXPECT_EQ(twipsToPixels(22.5f, 15), 2);
    EXPECT_EQ(twipsToPixels(-7.5f, 15), 0);
    EXPECT_EQ(twipsToPixels(-22.5f, 15), -2);
    EXPECT_EQ(twipsToPixels(7.6f, 15), 1);
}

TEST(Twips, CIntAndCLngRoundHalvesToEvenAndRaiseOverflow) {
    for (auto [value, expected] : {std::pair{0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2},
                                   {-2.5, -2}, {34.55, 35}, {26.5, 26}, {26.5000001, 27}}) {
        EXPECT_EQ(CInt(value), expected) << value;
        EXPECT_EQ(CLng(value), expected) << value;
    }
    EXPECT_EQ(CInt(32767.49), 32767);
    EXPECT_EQ(CInt(-32768.5), -32768);
    EXPECT_EQ(errorOf([] { CInt(32767.5); }), 6);
    EXPECT_EQ(errorOf([] { CInt(-32768.51); }), 6);
    EXPECT_EQ(errorOf([] { CInt(std::numeric_limits<double>::quiet_NaN()); }), 6);
    EXPECT_EQ(CLng(2147483646.5), 2147483646);
    EXPECT_EQ(CLng(-2147483648.5), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(errorOf([] { CLng(2147483647.5); }), 6);
    EXPECT_EQ(errorOf([] { CLng(1e10); }), 6);
    EXPECT_EQ(errorOf([] { CLng(std::numeric_limits<double>::infinity()); }), 6);
}

// The window's region is computed from Width / TwipsPerPixelX converted
// with CLng, the window's own pixel size from the same twips: the two must
// agree, or the shape would cut a column off or leave one outside.
TEST(Twips, RoundedRegionIsAsWideAsTheWindow) {
    struct Case {
        double dpi;
        float width;
        int pixels;
    };
    for (const Case c : {Case{120, 3996, 333}, {120, 3990, 332}, {120, 3978, 332}, {96, 3996, 266}}) {
        SCOPED_TRACE(c.width);
        Desk d(c.dpi);
        d.form.setWidth(c.width);
        d.form.setHeight(4980);
        d.app.loadForm(d.form);
        const std::int32_t w = CLng(d.form.Width() / TwipsPerPixelX());
        const std::int32_t h = CLng(d.form.Height() / TwipsPerPixelY());
        const RegionHandle region = CreateRoundRectRgn(0, 0, w, h, 30, 30);
        ASSERT_TRUE(region);
        EXPECT_EQ(region->width, c.pixels);
        EXPECT_EQ(d.form.outerPixelWidth(), c.pixels);
        // The middle row runs across the whole width, the corners are cut.
        EXPECT_TRUE(region->contains(0, h / 2));
        EXPECT_TRUE(region->contains(c.pixels - 1, h / 2));
        EXPECT_FALSE(region->contains(c.pixels, h / 2));
        EXPECT_FALSE(region->contains(c.pixels - 1, 0));
        EXPECT_EQ(SetWindowRgn(d.form.hWnd(), region, true), 1);
        ASSERT_TRUE(d.window().shape.has_value());
        EXPECT_EQ(d.window().shape->width, d.window().bounds.width);
    }
}

}  // namespace
}  // namespace rt::testing
