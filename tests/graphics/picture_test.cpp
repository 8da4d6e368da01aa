// Picture decoding: every format the runtime loads, built in memory, and the
// malformed files that must be refused with "Invalid picture".
#include <gtest/gtest.h>

#include <string>

#include "image_builders.h"
#include "runtime/graphics/errors.h"
#include "runtime/graphics/picture.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

using namespace rt;
using testimg::Bytes;
using testimg::Rgb;

namespace {

PictureRef decode(const Bytes& b) { return decodePicture(std::span<const std::uint8_t>(b.data(), b.size())); }

void expectInvalid(const Bytes& b) {
    try {
        decode(b);
        ADD_FAILURE() << "decoded a malformed picture of " << b.size() << " bytes";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.code(), ErrorCode::InvalidPicture);
        EXPECT_EQ(e.number(), 481);
        EXPECT_STREQ(e.what(), "Invalid picture");
    }
}

void appendToBytes(void* context, void* data, int size) {
    auto* out = static_cast<Bytes*>(context);
    const auto* p = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), p, p + size);
}

Bytes pngOf(int w, int h, const std::vector<std::uint8_t>& rgba) {
    Bytes out;
    stbi_write_png_to_func(appendToBytes, &out, w, h, 4, rgba.data(), w * 4);
    return out;
}

Bytes jpegOf(int w, int h, Rgb colour) {
    std::vector<std::uint8_t> rgb;
    for (int i = 0; i < w * h; ++i) rgb.insert(rgb.end(), {colour.r, colour.g, colour.b});
    Bytes out;
    stbi_write_jpg_to_func(appendToBytes, &out, w, h, 3, rgb.data(), 95);
    return out;
}

const Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255};

Bytes twoByTwoBmp() { return testimg::bmp24({{kRed, kGreen}, {kBlue, kWhite}}); }

// A 2 x 2 icon image: 24-bit colour, top-right pixel masked out.
Bytes iconImage24() {
    Bytes img;
    testimg::infoHeader(img, 2, 4, 24);
    testimg::rows24(img, {{kRed, kGreen}, {kBlue, kWhite}});
    testimg::maskRows(img, {{0, 1}, {0, 0}});
    return img;
}

}  // namespace

TEST(PictureDecoding, Bmp24RowsComeOutTopDownInArgb) {
    const PictureRef p = decode(twoByTwoBmp());
    EXPECT_EQ(p->format, PictureFormat::Bmp);
    ASSERT_EQ(p->width(), 2);
    ASSERT_EQ(p->height(), 2);
    EXPECT_EQ(p->image().at(0, 0), 0xFFFF0000u);
    EXPECT_EQ(p->image().at(1, 0), 0xFF00FF00u);
    EXPECT_EQ(p->image().at(0, 1), 0xFF0000FFu);
    EXPECT_EQ(p->image().at(1, 1), 0xFFFFFFFFu);
    EXPECT_FALSE(p->hasTransparency);
}

TEST(PictureDecoding, EncodeBmp24RoundTripsOddWidths) {
    Bitmap image(3, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) image.at(x, y) = rgbPixel(x * 80, y * 120, 7 + x + y);
    const std::string file = encodeBmp24(image);
    // 3 pixels x 3 bytes = 9, padded to 12 bytes a row.
    ASSERT_EQ(file.size(), 54u + 2 * 12);
    EXPECT_EQ(file.substr(0, 2), "BM");
    EXPECT_EQ(std::uint8_t(file[28]), 24);         // bits per pixel
    EXPECT_EQ(std::uint8_t(file[38]), 3780 & 0xFF);  // 96 dpi, in pixels per metre
    EXPECT_EQ(std::uint8_t(file[39]), 3780 >> 8);
    const Bytes bytes(file.begin(), file.end());
    const PictureRef p = decode(bytes);
    EXPECT_EQ(p->image(), image);
}

TEST(PictureDecoding, IconAndMaskBecomesAlpha) {
    const PictureRef p = decode(testimg::iconFile(1, 2, 2, iconImage24()));
    EXPECT_EQ(p->format, PictureFormat::Icon);
    ASSERT_EQ(p->width(), 2);
    ASSERT_EQ(p->height(), 2);
    EXPECT_EQ(p->image().at(0, 0), 0xFFFF0000u);
    EXPECT_EQ(pixelAlpha(p->image().at(1, 0)), 0);
    EXPECT_EQ(p->image().at(0, 1), 0xFF0000FFu);
    EXPECT_EQ(p->image().at(1, 1), 0xFFFFFFFFu);
    EXPECT_TRUE(p->hasTransparency);
    EXPECT_EQ(p->hotspotX, 0);
}

TEST(PictureDecoding, PalettedIconsReadTheirIndices) {
    // 4-bit, three colours used: indices 2 1 / 0 2, bottom-left masked.
    Bytes img;
    testimg::infoHeader(img, 2, 4, 4, 3);
    for (Rgb c : {kRed, kGreen, kBlue}) img.insert(img.end(), {c.b, c.g, c.r, 0});
    img.insert(img.end(), {0x02, 0, 0, 0});  // bottom row: 0 2
    img.insert(img.end(), {0x21, 0, 0, 0});  // top row: 2 1
    testimg::maskRows(img, {{0, 0}, {1, 0}});
    const PictureRef p = decode(testimg::iconFile(1, 2, 2, img));
    EXPECT_EQ(p->image().at(0, 0), 0xFF0000FFu);
    EXPECT_EQ(p->image().at(1, 0), 0xFF00FF00u);
    EXPECT_EQ(pixelAlpha(p->image().at(0, 1)), 0);
    EXPECT_EQ(p->image().at(1, 1), 0xFF0000FFu);

    // 1-bit: a 9-pixel row crosses a byte boundary.
    Bytes mono;
    testimg::infoHeader(mono, 9, 2, 1);
    for (Rgb c : {Rgb{0, 0, 0}, kWhite}) mono.insert(mono.end(), {c.b, c.g, c.r, 0});
    mono.insert(mono.end(), {0xAA, 0x80, 0, 0});  // 1 0 1 0 1 0 1 0 | 1
    testimg::maskRows(mono, {{0, 0, 0, 0, 0, 0, 0, 0, 0}});
    const PictureRef m = decode(testimg::iconFile(1, 9, 1, mono));
    ASSERT_EQ(m->width(), 9);
    for (int x = 0; x < 9; ++x) EXPECT_EQ(m->image().at(x, 0), x % 2 == 0 ? 0xFFFFFFFFu : 0xFF000000u) << x;
    EXPECT_FALSE(m->hasTransparency);
}

TEST(PictureDecoding, ThirtyTwoBitIconUsesItsAlphaChannel) {
    Bytes img;
    testimg::infoHeader(img, 2, 2, 32);
    img.insert(img.end(), {0x10, 0x20, 0x30, 0xFF, 0x10, 0x20, 0x30, 0x00});
    testimg::maskRows(img, {{0, 0}});  // the mask would say opaque; alpha wins
    const PictureRef p = decode(testimg::iconFile(1, 2, 1, img));
    EXPECT_EQ(p->image().at(0, 0), 0xFF302010u);
    EXPECT_EQ(pixelAlpha(p->image().at(1, 0)), 0);
    EXPECT_TRUE(p->hasTransparency);
}

TEST(PictureDecoding, CursorKeepsItsHotSpot) {
    const PictureRef p = decode(testimg::iconFile(2, 2, 2, iconImage24(), 1, 0));
    EXPECT_EQ(p->format, PictureFormat::Cursor);
    EXPECT_EQ(p->hotspotX, 1);
    EXPECT_EQ(p->hotspotY, 0);
    EXPECT_EQ(pixelAlpha(p->image().at(1, 0)), 0);
}

TEST(PictureDecoding, PngInsideAnIcon) {
    const std::vector<std::uint8_t> rgba = {255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 128, 1, 2, 3, 255};
    const PictureRef p = decode(testimg::iconFile(1, 2, 2, pngOf(2, 2, rgba)));
    EXPECT_EQ(p->format, PictureFormat::Icon);
    EXPECT_EQ(p->image().at(0, 0), 0xFFFF0000u);
    EXPECT_EQ(pixelAlpha(p->image().at(1, 0)), 0);
    EXPECT_EQ(p->image().at(0, 1), 0x8000FF00u);
    EXPECT_EQ(p->image().at(1, 1), 0xFF010203u);
    EXPECT_TRUE(p->hasTransparency);
}

TEST(PictureDecoding, GifFirstFrameWithTransparentIndex) {
    const std::vector<Rgb> palette = {{9, 9, 9}, kRed, kGreen, kBlue};
    const PictureRef p = decode(testimg::gif(3, 1, palette, {0, 1, 3}, 0));
    EXPECT_EQ(p->format, PictureFormat::Gif);
    ASSERT_EQ(p->width(), 3);
    EXPECT_EQ(pixelAlpha(p->image().at(0, 0)), 0);
    EXPECT_EQ(p->image().at(1, 0), 0xFFFF0000u);
    EXPECT_EQ(p->image().at(2, 0), 0xFF0000FFu);
    EXPECT_TRUE(p->hasTransparency);

    const PictureRef opaque = decode(testimg::gif(2, 1, palette, {0, 2}));
    EXPECT_EQ(opaque->image().at(0, 0), 0xFF090909u);
    EXPECT_FALSE(opaque->hasTransparency);
}

// Decoded into the picture's own pixels; at 1 x 1 the decoder's scratch
// line is as large as the picture, and must not be taken for it.
TEST(PictureDecoding, JpegDecodesOpaqueNearItsColour) {
    for (const auto [w, h] : {std::pair{16, 8}, std::pair{1, 1}, std::pair{3, 5}}) {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        const PictureRef p = decode(jpegOf(w, h, {200, 40, 60}));
        EXPECT_EQ(p->format, PictureFormat::Jpeg);
        ASSERT_EQ(p->width(), w);
        ASSERT_EQ(p->height(), h);
        for (const Pixel c : p->image().pixels()) {
            EXPECT_EQ(pixelAlpha(c), 0xFF);
            EXPECT_NEAR(pixelRed(c), 200, 4);
            EXPECT_NEAR(pixelGreen(c), 40, 4);
            EXPECT_NEAR(pixelBlue(c), 60, 4);
        }
    }
}

// A JPEG of the program's own lets its pixels go and decodes them again the
// same; pixels a caller has changed are kept.
TEST(PictureDecoding, ReleasedJpegPixelsDecodeAgainUnlessChanged) {
    const Bytes file = jpegOf(16, 8, {30, 160, 90});
    const PictureRef lazy = decodePictureOnFirstUse(file);
    const Bitmap first = lazy->image();
    lazy->releasePixels();
    EXPECT_EQ(lazy->width(), 16);
    EXPECT_EQ(lazy->image(), first);

    auto edited = std::const_pointer_cast<Picture>(decodePictureOnFirstUse(file));
    edited->image().at(0, 0) = rgbPixel(1, 2, 3);
    edited->releasePixels();
    EXPECT_EQ(edited->image().at(0, 0), rgbPixel(1, 2, 3));
}

TEST(PictureDecodingErrors, UnknownAndEmptyInputs) {
    expectInvalid({});
    expectInvalid({'B'});
    expectInvalid({'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'});
    // A bare PNG is not one of the formats a picture is loaded from.
    expectInvalid(pngOf(1, 1, {1, 2, 3, 255}));
}

TEST(PictureDecodingErrors, EveryTruncationOfBmpIcoAndCurThrows) {
    const std::vector<Bytes> files = {twoByTwoBmp(), testimg::iconFile(1, 2, 2, iconImage24()),
                                      testimg::iconFile(2, 2, 2, iconImage24(), 1, 1)};
    for (const Bytes& whole : files)
        for (std::size_t n = 0; n < whole.size(); ++n) expectInvalid(Bytes(whole.begin(), whole.begin() + std::ptrdiff_t(n)));
}

TEST(PictureDecodingErrors, TruncatedJpegAndGifNeverReadPastTheirBytes) {
    // Cut inside the headers, they are refused; cut inside the image data a
    // decoder may still return a picture. Either way nothing is read beyond
    // the bytes given (the sanitizer build checks this).
    const std::vector<Bytes> files = {jpegOf(16, 16, {10, 200, 30}),
                                      testimg::gif(3, 1, {{0, 0, 0}, kRed, kGreen, kBlue}, {0, 1, 2}, 0)};
    for (const Bytes& whole : files) {
        for (std::size_t n = 0; n < whole.size(); ++n) {
            const Bytes cut(whole.begin(), whole.begin() + std::ptrdiff_t(n));
            try {
                const PictureRef p = decode(cut);
                EXPECT_GT(p->width(), 0);
            } catch (const RuntimeError& e) {
                EXPECT_EQ(e.code(), ErrorCode::InvalidPicture);
            }
        }
        expectInvalid(Bytes(whole.begin(), whole.begin() + 12));
    }
}

TEST(PictureDecodingErrors, CorruptIconDirectoriesAndHeaders) {
    const Bytes good = testimg::iconFile(1, 2, 2, iconImage24());
    auto corrupt = [&](std::size_t at, std::uint32_t value) {
        Bytes b = good;
        testimg::patch32(b, at, value);
        return b;
    };
    expectInvalid(corrupt(6 + 12, 0xFFFFFFF0u));          // image offset far past the end
    expectInvalid(corrupt(6 + 8, 0xFFFFFFFFu));           // image length overflows
    expectInvalid(corrupt(22 + 4, 100000));               // width beyond the size limit
    expectInvalid(corrupt(22 + 4, 0x80000000u));          // negative width
    expectInvalid(corrupt(22 + 8, 0));                    // zero height
    expectInvalid(corrupt(22 + 8, 4000));                 // rows that are not there
    expectInvalid(corrupt(22 + 0, 0xFFFFFFFFu));          // header size past the end
    expectInvalid(corrupt(22 + 16, 1));                   // run-length compression
    Bytes noImages = good;
    noImages[4] = 0;
    expectInvalid(noImages);
    Bytes badType = good;
    badType[2] = 3;
    expectInvalid(badType);
    Bytes sixteenBit = good;
    sixteenBit[22 + 14] = 16;
    expectInvalid(sixteenBit);

    // A palette announcing more than 256 colours.
    Bytes img;
    testimg::infoHeader(img, 1, 2, 8, 100000);
    img.resize(img.size() + 64, 0);
    expectInvalid(testimg::iconFile(1, 1, 1, img));
}

TEST(PictureDecodingErrors, CorruptBmpHeaders) {
    const Bytes good = twoByTwoBmp();
    auto corrupt = [&](std::size_t at, std::uint32_t value) {
        Bytes b = good;
        testimg::patch32(b, at, value);
        return b;
    };
    expectInvalid(corrupt(10, 0xFFFFFFF0u));  // pixel data offset past the end
    expectInvalid(corrupt(18, 5000));         // wider than the size limit
    expectInvalid(corrupt(22, 3));            // taller than its rows
    expectInvalid(corrupt(30, 1));            // run-length compression
}

TEST(PictureDecodingErrors, JpegHuffmanTableWithTooManyCodes) {
    Bytes jpeg = jpegOf(16, 16, {10, 200, 30});
    std::size_t dht = 0;
    for (std::size_t i = 2; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC4) {
            dht = i;
            break;
        }
    ASSERT_NE(dht, 0u);
    // Marker (2), length (2), class/id (1), then 16 code counts: 16 x 32 = 512 codes.
    for (std::size_t i = 0; i < 16; ++i) jpeg[dht + 5 + i] = 32;
    expectInvalid(jpeg);
}

TEST(PictureDecodingErrors, PngChunksMustFitTheIconImage) {
    const Bytes png = pngOf(2, 2, std::vector<std::uint8_t>(16, 200));
    // Every cut of the PNG inside the icon is refused, not read past.
    for (std::size_t n = 8; n < png.size(); ++n)
        expectInvalid(testimg::iconFile(1, 2, 2, Bytes(png.begin(), png.begin() + std::ptrdiff_t(n))));
    // A chunk announcing far more data than there is.
    Bytes huge = png;
    const std::size_t firstChunkAfterHeader = 8 + 8 + 13 + 4;
    huge[firstChunkAfterHeader] = 0x7F;
    expectInvalid(testimg::iconFile(1, 2, 2, huge));
}

TEST(PictureDecodingErrors, JpegScanUsingAnUndefinedHuffmanTable) {
    Bytes jpeg = jpegOf(16, 16, {10, 200, 30});
    std::size_t sos = 0;
    for (std::size_t i = 2; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) {
            sos = i;
            break;
        }
    ASSERT_NE(sos, 0u);
    // Marker (2), length (2), component count (1), then component id and
    // table selectors: point the first component at DC and AC tables 3.
    jpeg[sos + 6] = 0x33;
    expectInvalid(jpeg);
}

// ------------------------------------------------------ higher resolution

namespace {

std::shared_ptr<Picture> solidPicture(int w, int h, Pixel p) {
    auto picture = std::make_shared<Picture>();
    picture->image() = Bitmap(w, h, p);
    return picture;
}

}  // namespace

TEST(PictureVariants, EachScaleDrawsFromTheBestDrawingThatFits) {
    auto picture = solidPicture(2, 3, rgbPixel(1, 1, 1));
    // The 2x drawing comes as file bytes and is decoded when first asked for.
    const std::string twice = encodeBmp24(Bitmap(4, 6, rgbPixel(2, 2, 2)));
    const std::span<const std::uint8_t> twiceBytes(reinterpret_cast<const std::uint8_t*>(twice.data()), twice.size());
    picture->variants.push_back(std::make_shared<const PictureVariant>(2, twiceBytes));
    // A 4x drawing of the wrong size and one that does not decode: never used.
    picture->variants.push_back(std::make_shared<const PictureVariant>(4, solidPicture(7, 12, rgbPixel(4, 4, 4))));
    const Bytes junk{'B', 'M', 0, 1};
    picture->variants.push_back(std::make_shared<const PictureVariant>(3, std::span<const std::uint8_t>(junk)));

    EXPECT_EQ(&picture->drawingFor(1), picture.get());
    EXPECT_EQ(picture->drawingFor(2).image().at(0, 0), rgbPixel(2, 2, 2));
    EXPECT_EQ(picture->drawingScale(picture->drawingFor(2)), 2);
    EXPECT_EQ(picture->drawingFor(3).image().width(), 4) << "the largest drawing below 3x";
    EXPECT_EQ(picture->drawingFor(4).image().width(), 4) << "the 4x drawing has the wrong size";
    EXPECT_EQ(picture->width(), 2) << "the size stays logical";

    // With a 3x drawing too, 2x stays exact and 3x takes its own.
    picture->variants.push_back(std::make_shared<const PictureVariant>(3, solidPicture(6, 9, rgbPixel(3, 3, 3))));
    EXPECT_EQ(picture->drawingFor(2).image().at(0, 0), rgbPixel(2, 2, 2));
    EXPECT_EQ(picture->drawingFor(3).image().at(0, 0), rgbPixel(3, 3, 3));
    EXPECT_EQ(picture->drawingFor(4).image().at(0, 0), rgbPixel(3, 3, 3));
}

TEST(PictureVariants, AtAScaleCursorsTakeTheirDrawingOrAreScaledSmoothlyWithTheirHotSpot) {
    auto cursor = solidPicture(2, 1, rgbPixel(0, 0, 0));
    cursor->image().at(1, 0) = rgbPixel(255, 255, 255);
    cursor->hotspotX = 1;
    cursor->format = PictureFormat::Cursor;
    EXPECT_EQ(pictureAtScale(cursor, 1), cursor);

    const PictureRef tripled = pictureAtScale(cursor, 3);
    ASSERT_EQ(tripled->width(), 6);
    ASSERT_EQ(tripled->height(), 3);
    EXPECT_EQ(tripled->hotspotX, 3);
    EXPECT_EQ(tripled->hotspotY, 0);
    // Smoothly: the columns between black and white are grey.
    const int middle = pixelRed(tripled->image().at(2, 1));
    EXPECT_GT(middle, 20);
    EXPECT_LT(middle, 235);

    auto drawn = solidPicture(4, 2, rgbPixel(9, 9, 9));
    drawn->hotspotX = 3;
    cursor->variants.push_back(std::make_shared<const PictureVariant>(2, drawn));
    EXPECT_EQ(pictureAtScale(cursor, 2), drawn) << "the drawing made for the scale, its own hot spot";
}
