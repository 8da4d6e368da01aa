// What the X11 backend reads from the desktop: the pixel density from the
// Xft.dpi resource, and the double-click interval and whether animations
// are on from XSETTINGS.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/platform/x11/x11_platform.h"

namespace {

using rt::platform::x11::animationsFromXSettings;
using rt::platform::x11::doubleClickTimeFromXSettings;
using rt::platform::x11::gdkScaleFromEnvironment;
using rt::platform::x11::xftDpiFromResources;

TEST(XftDpi, ReadFromATypicalDesktopResourceString) {
    EXPECT_EQ(xftDpiFromResources("Xft.dpi:\t120\n"), 120.0);
    EXPECT_EQ(xftDpiFromResources("Xft.antialias:\t1\nXft.dpi:\t144\nXft.hinting:\t1\nXft.rgba:\trgb\n"), 144.0);
    EXPECT_EQ(xftDpiFromResources("*background:\tgrey\nXft.dpi: 96"), 96.0);  // no final newline
}

TEST(XftDpi, FractionalValuesAreKept) {
    EXPECT_EQ(xftDpiFromResources("Xft.dpi:\t96.5\n"), 96.5);
    EXPECT_EQ(xftDpiFromResources("Xft.dpi: 110.25  \n"), 110.25);
}

TEST(XftDpi, AbsentWhenTheDesktopSetsNone) {
    EXPECT_EQ(xftDpiFromResources(nullptr), std::nullopt);
    EXPECT_EQ(xftDpiFromResources(""), std::nullopt);
    EXPECT_EQ(xftDpiFromResources("Xft.antialias:\t1\nXft.hinting:\t1\n"), std::nullopt);
    EXPECT_EQ(xftDpiFromResources("Xcursor.dpi:\t120\n"), std::nullopt);
    EXPECT_EQ(xftDpiFromResources("! Xft.dpi: 120\n"), std::nullopt);  // a comment line
}

TEST(XftDpi, GarbageIsIgnored) {
    for (const char* text : {"Xft.dpi:\n", "Xft.dpi: abc\n", "Xft.dpi: 120dpi\n", "Xft.dpi: -96\n", "Xft.dpi: 0\n",
                             "Xft.dpi: nan\n", "Xft.dpi: inf\n", "Xft.dpi: 1e9\n", "Xft.dpi: 12 0\n",
                             "\x01\x02\xff garbage without colon", ":::\n\n::"})
        EXPECT_EQ(xftDpiFromResources(text), std::nullopt) << text;
}

TEST(GdkScale, AWholeScaleFromOneToFourElseNone) {
    EXPECT_EQ(gdkScaleFromEnvironment("2"), 2);
    EXPECT_EQ(gdkScaleFromEnvironment("1"), 1);
    EXPECT_EQ(gdkScaleFromEnvironment("4"), 4);
    for (const char* text : {"", "0", "5", "-2", "1.5", "2 ", "two", "99999999999"})
        EXPECT_EQ(gdkScaleFromEnvironment(text), std::nullopt) << text;
    EXPECT_EQ(gdkScaleFromEnvironment(nullptr), std::nullopt);
}

// Builds an XSETTINGS blob in either byte order.
class XSettingsBlob {
public:
    explicit XSettingsBlob(bool msbFirst) : msb_(msbFirst) {}

    XSettingsBlob& integer(const std::string& name, std::int32_t value) {
        header(0, name);
        card32(std::uint32_t(value));
        ++count_;
        return *this;
    }
    XSettingsBlob& string(const std::string& name, const std::string& value) {
        header(1, name);
        card32(std::uint32_t(value.size()));
        bytes(value);
        ++count_;
        return *this;
    }
    XSettingsBlob& colour(const std::string& name) {
        header(2, name);
        for (int i = 0; i < 4; ++i) card16(0x1234);
        ++count_;
        return *this;
    }
    std::vector<std::uint8_t> build() const {
        std::vector<std::uint8_t> out;
        XSettingsBlob head(msb_);
        head.data_.push_back(msb_ ? 1 : 0);
        head.data_.insert(head.data_.end(), {0, 0, 0});
        head.card32(7);  // serial
        head.card32(count_);
        out = head.data_;
        out.insert(out.end(), data_.begin(), data_.end());
        return out;
    }

private:
    void card16(std::uint32_t v) {
        if (msb_)
            data_.insert(data_.end(), {std::uint8_t(v >> 8), std::uint8_t(v)});
        else
            data_.insert(data_.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
    }
    void card32(std::uint32_t v) {
        if (msb_) {
            card16(v >> 16);
            card16(v & 0xFFFF);
        } else {
            card16(v & 0xFFFF);
            card16(v >> 16);
        }
    }
    void bytes(const std::string& s) {
        data_.insert(data_.end(), s.begin(), s.end());
        while (data_.size() % 4) data_.push_back(0);
    }
    void header(std::uint8_t type, const std::string& name) {
        data_.push_back(type);
        data_.push_back(0);
        card16(std::uint32_t(name.size()));
        bytes(name);
        card32(3);  // serial of the last change
    }

    bool msb_;
    std::uint32_t count_ = 0;
    std::vector<std::uint8_t> data_;
};

std::optional<int> parse(const std::vector<std::uint8_t>& blob) {
    return doubleClickTimeFromXSettings(blob.data(), blob.size());
}

TEST(XSettingsDoubleClickTime, FoundAmongOtherSettingsInBothByteOrders) {
    for (bool msb : {false, true}) {
        const auto blob = XSettingsBlob(msb)
                              .string("Net/ThemeName", "Adwaita")
                              .colour("Gtk/Color")
                              .integer("Net/DoubleClickDistance", 5)
                              .integer("Net/DoubleClickTime", 250)
                              .integer("Xft/DPI", 98304)
                              .build();
        EXPECT_EQ(parse(blob), 250) << (msb ? "MSB first" : "LSB first");
    }
}

TEST(XSettingsDoubleClickTime, AbsentOrUnusable) {
    EXPECT_EQ(parse(XSettingsBlob(false).string("Net/ThemeName", "Adwaita").build()), std::nullopt);
    EXPECT_EQ(parse(XSettingsBlob(false).build()), std::nullopt);
    // A string setting of that name is not the integer asked for.
    EXPECT_EQ(parse(XSettingsBlob(false).string("Net/DoubleClickTime", "400").build()), std::nullopt);
    EXPECT_EQ(parse(XSettingsBlob(false).integer("Net/DoubleClickTime", 0).build()), std::nullopt);
    EXPECT_EQ(parse(XSettingsBlob(false).integer("Net/DoubleClickTime", -400).build()), std::nullopt);
    EXPECT_EQ(doubleClickTimeFromXSettings(nullptr, 0), std::nullopt);
}

TEST(XSettingsDoubleClickTime, MalformedBlobsAreRejectedWithoutReadingPastTheEnd) {
    const auto blob = XSettingsBlob(true)
                          .string("Net/ThemeName", "Adwaita")
                          .colour("Gtk/Color")
                          .integer("Net/DoubleClickTime", 300)
                          .build();
    ASSERT_EQ(parse(blob), 300);
    // Every truncation loses the value; copies make overreads visible to ASan.
    for (std::size_t n = 0; n < blob.size(); ++n) {
        const std::vector<std::uint8_t> cut(blob.begin(), blob.begin() + std::ptrdiff_t(n));
        EXPECT_EQ(parse(cut), std::nullopt) << n;
    }
    auto badOrder = blob;
    badOrder[0] = 7;
    EXPECT_EQ(parse(badOrder), std::nullopt);
    auto badType = blob;
    badType[12] = 9;
    EXPECT_EQ(parse(badType), std::nullopt);
    auto hugeString = blob;  // the theme name's value length
    hugeString[12 + 4 + 16 + 4] = 0x7F;
    EXPECT_EQ(parse(hugeString), std::nullopt);
}

// Gtk/EnableAnimations 0: the user turned animations off (less motion).
TEST(XSettingsAnimations, ReadAsAnIntegerBesideTheOtherSettings) {
    auto animations = [](const std::vector<std::uint8_t>& b) { return animationsFromXSettings(b.data(), b.size()); };
    for (bool msb : {false, true})
        for (int on : {0, 1})
            EXPECT_EQ(animations(XSettingsBlob(msb).string("A", "b").integer("Gtk/EnableAnimations", on).build()),
                      on == 1);
    EXPECT_EQ(animations(XSettingsBlob(false).integer("Net/DoubleClickTime", 250).build()), std::nullopt);
    EXPECT_EQ(animations(XSettingsBlob(false).string("Gtk/EnableAnimations", "0").build()), std::nullopt);
}

}  // namespace
