// The framebuffer's 0xAARRGGBB pixels in the layouts of 16- and 15-bit
// TrueColor visuals, in both byte orders.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "runtime/platform/x11/x11_platform.h"

namespace {

using rt::platform::x11::PixelConverter;
using rt::platform::x11::PixelLayout;

TEST(PixelConverter, RoundsChannelsToTheNearestLevelOf565And555InEitherByteOrder) {
    const PixelLayout rgb565{0xF800, 0x07E0, 0x001F, 16, false};
    const PixelLayout rgb555{0x7C00, 0x03E0, 0x001F, 16, false};
    const PixelConverter c565(rgb565), c555(rgb555);

    // Extremes keep their full value; alpha is dropped.
    EXPECT_EQ(c565.pixel(0xFFFFFFFF), 0xFFFFu);
    EXPECT_EQ(c565.pixel(0x00FFFFFF), 0xFFFFu);
    EXPECT_EQ(c565.pixel(0xFF000000), 0x0000u);
    EXPECT_EQ(c555.pixel(0xFFFFFFFF), 0x7FFFu);
    // Each channel lands in its own field.
    EXPECT_EQ(c565.pixel(0xFFFF0000), 0xF800u);
    EXPECT_EQ(c565.pixel(0xFF00FF00), 0x07E0u);
    EXPECT_EQ(c565.pixel(0xFF0000FF), 0x001Fu);
    EXPECT_EQ(c555.pixel(0xFFFF0000), 0x7C00u);
    EXPECT_EQ(c555.pixel(0xFF00FF00), 0x03E0u);
    // Rounded, not truncated: 0x80 is 16.06 of 31 and 32.12 of 63; 0x07 is
    // 0.85 of 31 (truncation gives 0); 0xFB is 30.5 of 31 and rounds up.
    EXPECT_EQ(c565.pixel(0xFF808080), (16u << 11) | (32u << 5) | 16u);
    EXPECT_EQ(c555.pixel(0xFF070707), (1u << 10) | (1u << 5) | 1u);
    EXPECT_EQ(c565.pixel(0xFFFB0000), 31u << 11);
    EXPECT_EQ(c565.pixel(0xFF0F0000), 2u << 11);  // 1.82 of 31; truncation gives 1
    // Every level is the nearest one: converting back never errs by more
    // than half a step.
    for (int v = 0; v < 256; ++v) {
        const auto p = c565.pixel(0xFF000000u | std::uint32_t(v) << 8);
        const double level = double((p >> 5) & 63) * 255.0 / 63.0;
        EXPECT_LE(std::abs(level - v), 255.0 / 63.0 / 2 + 1e-9) << v;
    }

    // Byte order of the image: least significant byte first, or most.
    const std::vector<std::uint32_t> in{0xFFFF0000, 0xFF0000FF, 0xFF808080};
    std::vector<std::uint8_t> out(in.size() * 2);
    c565.convert(in.data(), in.size(), out.data());
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0x00, 0xF8, 0x1F, 0x00, 0x10, 0x84}));
    PixelConverter(PixelLayout{0x7C00, 0x03E0, 0x001F, 16, true}).convert(in.data(), in.size(), out.data());
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0x7C, 0x00, 0x00, 0x1F, 0x42, 0x10}));

    // The 32-bit layout of the usual 24-bit visual keeps the pixel as it is.
    std::vector<std::uint8_t> wide(4);
    PixelConverter(PixelLayout{}).convert(in.data(), 1, wide.data());
    EXPECT_EQ(wide, (std::vector<std::uint8_t>{0x00, 0x00, 0xFF, 0x00}));
    PixelConverter(PixelLayout{0xFF0000, 0xFF00, 0xFF, 32, true}).convert(in.data() + 1, 1, wide.data());
    EXPECT_EQ(wide, (std::vector<std::uint8_t>{0x00, 0x00, 0x00, 0xFF}));
}

}  // namespace
