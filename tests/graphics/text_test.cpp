// Text layout and drawing with the built-in faces.
#include <gtest/gtest.h>

#include <cstdlib>
#include <span>

#include "runtime/graphics/text.h"

using namespace rt;

namespace {

constexpr Pixel kGround = 0xFF3A1410u;  // dark red-brown
constexpr Pixel kSilver = 0xFFC0C0C0u;

FontSpec font(const char* face, float points = 9.0f, bool bold = false, bool italic = false) {
    return FontSpec{face, points, bold, italic};
}

// Columns and rows touched by drawing, as a bounding rectangle.
Rect inkBounds(const Bitmap& b, Pixel ground) {
    Rect r;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            if (b.at(x, y) != ground) r = r.unite({x, y, 1, 1});
    return r;
}

}  // namespace

TEST(TextLayout, WidthGrowsWithTextAndSize) {
    TextRenderer text;
    const FontSpec f = font("Arial");
    EXPECT_EQ(text.textWidth("", f, 96), 0);
    const int one = text.textWidth("V", f, 96);
    const int word = text.textWidth("Velmora", f, 96);
    const int line = text.textWidth("Velmora V2.1", f, 96);
    EXPECT_GT(one, 0);
    EXPECT_GT(word, one);
    EXPECT_GT(line, word);
    // A 12 px em: "Velmora V2.1" is some 60-75 px in an Arial-metric face.
    EXPECT_GE(line, 55);
    EXPECT_LE(line, 80);
    EXPECT_GT(text.textWidth("Velmora V2.1", f, 120), line);
    EXPECT_GT(text.textWidth("Velmora V2.1", font("Arial", 18), 96), line);
    EXPECT_LT(text.textWidth("Velmora V2.1", font("Arial Narrow"), 96), line);
    // Widths are additive apart from kerning: "AV" kerns tighter than its letters.
    EXPECT_LT(text.textWidth("AV", f, 96), text.textWidth("A", f, 96) + text.textWidth("V", f, 96));
}

TEST(TextLayout, LineHeightFollowsTheEmSize) {
    TextRenderer text;
    const int at96 = text.lineHeight(font("Arial"), 96);
    const int at120 = text.lineHeight(font("Arial"), 120);
    // Arial's ascent plus descent is about 1.15 em: 12 px em -> 14, 15 px -> 17 or 18.
    EXPECT_GE(at96, 13);
    EXPECT_LE(at96, 15);
    EXPECT_GT(at120, at96);
    EXPECT_LE(at120, 18);
}

TEST(TextDrawing, ColourAppearsOnlyInsideTheBox) {
    TextRenderer text;
    Bitmap b(120, 40, kGround);
    const Rect box{10, 8, 100, 20};
    text.drawText(b, box, "Velmora V2.1", font("MS Sans Serif"), 96, kSilver, TextAlignment::Left, b.bounds());
    const Rect ink = inkBounds(b, kGround);
    ASSERT_FALSE(ink.empty());
    EXPECT_EQ(ink.intersect(box), ink);
    EXPECT_LE(ink.x, box.x + 1);  // "V" starts at the pen
    int strong = 0;
    for (Pixel p : b.pixels())
        strong += std::abs(pixelRed(p) - 0xC0) <= 16 && std::abs(pixelGreen(p) - 0xC0) <= 16 &&
                  std::abs(pixelBlue(p) - 0xC0) <= 16;
    EXPECT_GT(strong, 10) << "the stems show the text colour at nearly full strength";
    for (Pixel p : b.pixels()) {
        // Anti-aliased pixels lie between the ground and the text colour.
        EXPECT_GE(pixelRed(p), pixelRed(kGround));
        EXPECT_LE(pixelRed(p), pixelRed(kSilver));
        EXPECT_EQ(pixelAlpha(p), 0xFF);
    }
}

TEST(TextDrawing, AlignmentPlacesTheLine) {
    TextRenderer text;
    const FontSpec f = font("Arial");
    const int width = text.textWidth("Velmora", f, 96);
    const Rect box{0, 0, 160, 20};
    Bitmap centred(160, 20, kGround), right(160, 20, kGround), left(160, 20, kGround);
    text.drawText(centred, box, "Velmora", f, 96, kSilver, TextAlignment::Center, box);
    text.drawText(right, box, "Velmora", f, 96, kSilver, TextAlignment::Right, box);
    text.drawText(left, box, "Velmora", f, 96, kSilver, TextAlignment::Left, box);
    const Rect c = inkBounds(centred, kGround), r = inkBounds(right, kGround), l = inkBounds(left, kGround);
    // The same glyphs, shifted whole pixels: the ink has the same size.
    EXPECT_EQ(c.width, l.width);
    EXPECT_EQ(r.width, l.width);
    EXPECT_EQ(c.x - l.x, (160 - width) / 2);
    EXPECT_EQ(r.x - l.x, 160 - width);
    // Centred ink sits in the middle within a couple of pixels of side bearing.
    EXPECT_NEAR(c.x, 160 - c.right(), 3);
}

TEST(TextDrawing, ClipAndBoxCutTheText) {
    TextRenderer text;
    Bitmap b(100, 30, kGround);
    const Rect clip{0, 0, 20, 30};
    text.drawText(b, {2, 2, 96, 26}, "Velmora V2.1", font("Arial", 14), 96, kSilver, TextAlignment::Left, clip);
    const Rect ink = inkBounds(b, kGround);
    ASSERT_FALSE(ink.empty());
    EXPECT_LE(ink.right(), 20);
    // A box that hangs off the bitmap is drawn without touching outside memory.
    Bitmap small(8, 8, kGround);
    text.drawText(small, {-30, -5, 60, 20}, "Velmora", font("Arial", 24), 96, kSilver, TextAlignment::Left,
                  small.bounds());
    EXPECT_FALSE(inkBounds(small, kGround).empty());
}

TEST(TextFaces, BuiltInStandInsByFaceName) {
    TextRenderer text;
    EXPECT_EQ(text.resolvedFaceName(font("Arial")), "Liberation Sans");
    EXPECT_EQ(text.resolvedFaceName(font("MS Sans Serif")), "Liberation Sans");
    EXPECT_EQ(text.resolvedFaceName(font("No Such Face")), "Liberation Sans");
    EXPECT_EQ(text.resolvedFaceName(font("times new roman")), "Liberation Serif");
    EXPECT_EQ(text.resolvedFaceName(font("Times New Roman", 9, false, true)), "Liberation Serif");
    EXPECT_EQ(text.resolvedFaceName(font("Arial Narrow")), "Liberation Sans Narrow");
    // Serif and italic are really different glyphs.
    EXPECT_NE(text.textWidth("Velmora Resurrection", font("Times New Roman"), 96),
              text.textWidth("Velmora Resurrection", font("Arial"), 96));
    Bitmap upright(120, 24, kGround), italic(120, 24, kGround);
    text.drawText(upright, upright.bounds(), "Life", font("Times New Roman", 12), 96, kSilver,
                  TextAlignment::Left, upright.bounds());
    text.drawText(italic, italic.bounds(), "Life", font("Times New Roman", 12, false, true), 96, kSilver,
                  TextAlignment::Left, italic.bounds());
    EXPECT_NE(upright, italic);
}

TEST(TextFaces, BoldIsWiderAndDarker) {
    TextRenderer text;
    EXPECT_GT(text.textWidth("Velmora", font("Arial", 9, true), 96), text.textWidth("Velmora", font("Arial"), 96));
    Bitmap regular(100, 20, kGround), bold(100, 20, kGround);
    text.drawText(regular, regular.bounds(), "Velmora", font("Arial"), 96, kSilver, TextAlignment::Left,
                  regular.bounds());
    text.drawText(bold, bold.bounds(), "Velmora", font("Arial", 9, true), 96, kSilver, TextAlignment::Left,
                  bold.bounds());
    long inkRegular = 0, inkBold = 0;
    for (Pixel p : regular.pixels()) inkRegular += pixelGreen(p) - pixelGreen(kGround);
    for (Pixel p : bold.pixels()) inkBold += pixelGreen(p) - pixelGreen(kGround);
    EXPECT_GT(inkBold, inkRegular * 5 / 4);
}

TEST(TextRobustness, AnyBytesAreDrawnWithoutHarm) {
    TextRenderer text;
    const FontSpec f = font("Arial");
    // Invalid UTF-8 becomes replacement characters: it takes space and draws.
    const int bad = text.textWidth("\xFF", f, 96);
    EXPECT_GT(bad, 0);
    EXPECT_EQ(text.textWidth("a\xC3", f, 96), text.textWidth("a", f, 96) + bad);          // truncated
    EXPECT_EQ(text.textWidth("\xC0\xAF", f, 96), 2 * bad);                                // overlong
    EXPECT_EQ(text.textWidth("\xED\xA0\x80", f, 96), 3 * bad);                            // surrogate
    EXPECT_EQ(text.textWidth("\xC3\xA9", f, 96), text.textWidth("\xC3\xA9", f, 96));      // well formed
    EXPECT_NE(text.textWidth("\xC3\xA9", f, 96), bad);
    // Control characters take no room.
    EXPECT_EQ(text.textWidth("a\tb\r\n", f, 96), text.textWidth("ab", f, 96));
    // A character the font lacks draws the missing-glyph box.
    Bitmap b(40, 20, kGround);
    text.drawText(b, b.bounds(), "\xF0\x9F\x95\xAF", f, 96, kSilver, TextAlignment::Left, b.bounds());
    EXPECT_FALSE(inkBounds(b, kGround).empty());
    // Every byte value in every position neither crashes nor reads out of bounds.
    std::string all;
    for (int i = 1; i < 256; ++i) all.push_back(char(i));
    Bitmap wide(2000, 20, kGround);
    text.drawText(wide, wide.bounds(), all, f, 96, kSilver, TextAlignment::Center, wide.bounds());
    EXPECT_GT(text.textWidth(all, f, 96), 0);
}

TEST(TextRobustness, RepeatedDrawsAreIdentical) {
    TextRenderer text;
    Bitmap first(100, 20, kGround), second(100, 20, kGround);
    text.drawText(first, first.bounds(), "Velmora V2.1", font("Arial"), 120, kSilver, TextAlignment::Left,
                  first.bounds());
    text.drawText(second, second.bounds(), "Velmora V2.1", font("Arial"), 120, kSilver, TextAlignment::Left,
                  second.bounds());
    EXPECT_EQ(first, second);
}
