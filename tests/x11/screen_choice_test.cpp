// What the X11 backend chooses on the screen it finds: the visual its
// windows use, and the monitor it centres them on.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/platform/x11/x11_platform.h"

namespace {

using rt::Rect;
using rt::platform::x11::chooseMonitor;
using rt::platform::x11::chooseVisual;
using rt::platform::x11::ScreenPoint;
using rt::platform::x11::storesFramebufferPixels;
using rt::platform::x11::VisualDescription;

constexpr bool kTrueColor = true;
constexpr bool kOtherClass = false;

VisualDescription visual(bool trueColor, int depth, unsigned long r, unsigned long g, unsigned long b, int bpp,
                         bool isDefault = false) {
    return {trueColor, depth, r, g, b, bpp, isDefault};
}

const VisualDescription rgb24 = visual(kTrueColor, 24, 0xFF0000, 0xFF00, 0xFF, 32);
const VisualDescription bgr24 = visual(kTrueColor, 24, 0xFF, 0xFF00, 0xFF0000, 32);
const VisualDescription argb32 = visual(kTrueColor, 32, 0xFF0000, 0xFF00, 0xFF, 32);
const VisualDescription rgb565 = visual(kTrueColor, 16, 0xF800, 0x7E0, 0x1F, 16);
const VisualDescription rgb555 = visual(kTrueColor, 15, 0x7C00, 0x3E0, 0x1F, 16);

VisualDescription asDefault(VisualDescription v) {
    v.isDefault = true;
    return v;
}

TEST(VisualChoice, FullColourIsTakenWhereverTheServerOffersIt) {
    // A depth-16 desktop (a VNC session, Xvfb at depth 16) that also offers
    // the depth-32 visual of the Composite extension: full colour, not the
    // 16-bit default.
    EXPECT_EQ(chooseVisual({asDefault(rgb565), rgb565, argb32}), 2u);
    // Depth 24 goes before depth 32, whose alpha a compositor may honour.
    EXPECT_EQ(chooseVisual({asDefault(rgb565), argb32, rgb24}), 2u);
    EXPECT_EQ(chooseVisual({asDefault(rgb555), argb32, rgb24, rgb565}), 2u);
    // A full-colour default visual is kept, even one that needs converting.
    EXPECT_EQ(chooseVisual({argb32, rgb24, asDefault(rgb24)}), 2u);
    EXPECT_EQ(chooseVisual({rgb24, asDefault(bgr24)}), 1u);
    // Among equals, the framebuffer's own layout, then the first listed.
    EXPECT_EQ(chooseVisual({bgr24, rgb24, rgb24}), 1u);
    EXPECT_EQ(chooseVisual({asDefault(rgb565), bgr24}), 1u);
}

TEST(VisualChoice, SixteenBitPixelsWhenNothingBetterIsOffered) {
    EXPECT_EQ(chooseVisual({rgb565, asDefault(rgb565)}), 1u);
    EXPECT_EQ(chooseVisual({asDefault(rgb555), rgb565}), 0u);
    EXPECT_EQ(chooseVisual({asDefault(visual(kOtherClass, 16, 0xF800, 0x7E0, 0x1F, 16)), rgb555}), 1u);
    // Depth 24 packed into 24-bit pixels cannot be drawn; 16 bits can.
    EXPECT_EQ(chooseVisual({asDefault(visual(kTrueColor, 24, 0xFF0000, 0xFF00, 0xFF, 24)), rgb565}), 1u);
}

TEST(VisualChoice, NothingOnAServerWithoutAUsableTrueColourVisual) {
    EXPECT_EQ(chooseVisual({}), std::nullopt);
    // Depth 8 PseudoColor with its StaticGray and DirectColor companions.
    EXPECT_EQ(chooseVisual({asDefault(visual(kOtherClass, 8, 0, 0, 0, 8)), visual(kOtherClass, 8, 0, 0, 0, 8),
                            visual(kOtherClass, 24, 0xFF0000, 0xFF00, 0xFF, 32)}),
              std::nullopt);
    // TrueColor, but too few bits, overlapping or broken masks.
    EXPECT_EQ(chooseVisual({visual(kTrueColor, 8, 0xE0, 0x1C, 0x3, 8)}), std::nullopt);
    EXPECT_EQ(chooseVisual({visual(kTrueColor, 24, 0xFF0000, 0xFFFF00, 0xFF, 32)}), std::nullopt);
    EXPECT_EQ(chooseVisual({visual(kTrueColor, 24, 0xF0F000, 0xF0F, 0xF0000F, 32)}), std::nullopt);
    EXPECT_EQ(chooseVisual({visual(kTrueColor, 24, 0, 0xFF00, 0xFF, 32)}), std::nullopt);
}

TEST(VisualChoice, OnlyTheFramebuffersOwnLayoutGoesUpUnconverted) {
    EXPECT_TRUE(storesFramebufferPixels(rgb24));
    EXPECT_TRUE(storesFramebufferPixels(argb32));
    EXPECT_FALSE(storesFramebufferPixels(bgr24));
    EXPECT_FALSE(storesFramebufferPixels(rgb565));
    EXPECT_FALSE(storesFramebufferPixels(visual(kTrueColor, 24, 0xFF0000, 0xFF00, 0xFF, 24)));
}

TEST(MonitorChoice, TheMonitorThatHoldsThePointerElseThePrimary) {
    // Two monitors side by side, the right one primary.
    const std::vector<Rect> twoSideBySide = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    EXPECT_EQ(chooseMonitor(twoSideBySide, ScreenPoint{100, 100}, 1), twoSideBySide[0]);
    EXPECT_EQ(chooseMonitor(twoSideBySide, ScreenPoint{1920, 0}, 0), twoSideBySide[1]);
    EXPECT_EQ(chooseMonitor(twoSideBySide, ScreenPoint{3199, 1023}, 0), twoSideBySide[1]);
    // Below the shorter monitor no monitor holds the pointer.
    EXPECT_EQ(chooseMonitor(twoSideBySide, ScreenPoint{2000, 1050}, 1), twoSideBySide[1]);
    EXPECT_EQ(chooseMonitor(twoSideBySide, ScreenPoint{2000, 1050}, -1), twoSideBySide[0]);
    // The pointer on another X screen.
    EXPECT_EQ(chooseMonitor(twoSideBySide, std::nullopt, 1), twoSideBySide[1]);
    EXPECT_EQ(chooseMonitor(twoSideBySide, std::nullopt, 7), twoSideBySide[0]);
    // Mirrored and overlapping monitors: the primary one where it holds the pointer.
    const std::vector<Rect> overlapping = {{0, 0, 1024, 768}, {0, 0, 1920, 1080}};
    EXPECT_EQ(chooseMonitor(overlapping, ScreenPoint{10, 10}, 1), overlapping[1]);
    EXPECT_EQ(chooseMonitor(overlapping, ScreenPoint{10, 10}, -1), overlapping[0]);
    EXPECT_EQ(chooseMonitor(overlapping, ScreenPoint{1500, 10}, 0), overlapping[1]);
}

TEST(MonitorChoice, NothingWithoutAMonitorOfSize) {
    EXPECT_EQ(chooseMonitor({}, ScreenPoint{0, 0}, 0), std::nullopt);
    EXPECT_EQ(chooseMonitor({{0, 0, 0, 0}}, ScreenPoint{0, 0}, 0), std::nullopt);
    // A monitor switched off (no size) is never chosen, primary or not.
    EXPECT_EQ(chooseMonitor({{0, 0, 0, 0}, {640, 0, 800, 600}}, std::nullopt, 0), (Rect{640, 0, 800, 600}));
}

}  // namespace
