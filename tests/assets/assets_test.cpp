// Checks the thirteen pictures the card embeds and their drawings at twice
// the size (named "@2x"): container formats, sizes and bit depths parsed
// straight from their headers, and the flame frames' promise that only the
// flame strip ever changes between frames.
#include <gtest/gtest.h>

#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// "CardFace.jpg" at scale 2 is "CardFace@2x.jpg".
std::string atScale(const std::string& name, int scale) {
  if (scale == 1) return name;
  const std::size_t dot = name.rfind('.');
  return name.substr(0, dot) + "@" + std::to_string(scale) + "x" + name.substr(dot);
}

Bytes readAsset(const std::string& name) {
  std::ifstream in(std::string(VELMORA_ASSET_DIR) + "/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint16_t le16(const Bytes& b, std::size_t at) { return std::uint16_t(b.at(at) | b.at(at + 1) << 8); }
std::uint32_t le32(const Bytes& b, std::size_t at) { return le16(b, at) | std::uint32_t(le16(b, at + 2)) << 16; }
std::int32_t le32s(const Bytes& b, std::size_t at) { return std::int32_t(le32(b, at)); }
std::uint16_t be16(const Bytes& b, std::size_t at) { return std::uint16_t(b.at(at) << 8 | b.at(at + 1)); }

// ---------------------------------------------------------------- JPEG

struct JpegFrame {
  bool progressive = false;
  bool baseline = false;
  int width = 0, height = 0;
  std::vector<std::uint8_t> sampling;  // one H<<4|V byte per component
};

// Walks the markers up to the start of the first scan and reports the frame header.
std::optional<JpegFrame> parseJpeg(const Bytes& b) {
  if (b.size() < 4 || b[0] != 0xFF || b[1] != 0xD8) return std::nullopt;
  std::size_t at = 2;
  JpegFrame frame;
  bool sawFrame = false;
  while (at + 4 <= b.size()) {
    if (b[at] != 0xFF) return std::nullopt;
    std::uint8_t marker = b[at + 1];
    if (marker == 0xFF) { ++at; continue; }
    std::uint16_t length = be16(b, at + 2);
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      frame.baseline = marker == 0xC0;
      frame.progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
      frame.height = be16(b, at + 5);
      frame.width = be16(b, at + 7);
      int components = b.at(at + 9);
      for (int i = 0; i < components; ++i) frame.sampling.push_back(b.at(at + 10 + 3 * i + 1));
      sawFrame = true;
    }
    if (marker == 0xDA) break;
    at += 2 + length;
  }
  if (!sawFrame) return std::nullopt;
  return frame;
}

struct JpegCase {
  const char* name;
  int width, height;
  bool fullColourResolution;  // 4:4:4, required where frames are swapped block by block
};

void PrintTo(const JpegCase& c, std::ostream* os) { *os << c.name; }

class JpegAsset : public ::testing::TestWithParam<JpegCase> {};

TEST_P(JpegAsset, IsBaselineColourOfTheRightSize) {
  const JpegCase& c = GetParam();
  Bytes b = readAsset(c.name);
  ASSERT_FALSE(b.empty()) << c.name << " is missing";
  auto frame = parseJpeg(b);
  ASSERT_TRUE(frame) << c.name << " has no readable JPEG frame header";
  EXPECT_TRUE(frame->baseline) << c.name << " must be baseline";
  EXPECT_FALSE(frame->progressive) << c.name;
  EXPECT_EQ(frame->width, c.width) << c.name;
  EXPECT_EQ(frame->height, c.height) << c.name;
  ASSERT_EQ(frame->sampling.size(), 3u) << c.name << " must be a colour JPEG";
  if (c.fullColourResolution) {
    for (std::uint8_t s : frame->sampling) EXPECT_EQ(s, 0x11) << c.name << " must not subsample chroma";
  }
}

INSTANTIATE_TEST_SUITE_P(Pictures, JpegAsset,
                         ::testing::Values(JpegCase{"CardFace.jpg", 333, 415, true},
                                           JpegCase{"FlameFrame2.jpg", 333, 415, true},
                                           JpegCase{"FlameFrame4.jpg", 333, 415, true},
                                           JpegCase{"FlameFrame5.jpg", 333, 415, true},
                                           JpegCase{"GreetingPanel.jpg", 333, 415, false},
                                           JpegCase{"AboutBackground.jpg", 134, 95, false},
                                           JpegCase{"CardFace@2x.jpg", 666, 830, true},
                                           JpegCase{"FlameFrame2@2x.jpg", 666, 830, true},
                                           JpegCase{"FlameFrame4@2x.jpg", 666, 830, true},
                                           JpegCase{"FlameFrame5@2x.jpg", 666, 830, true},
                                           JpegCase{"GreetingPanel@2x.jpg", 666, 830, false},
                                           JpegCase{"AboutBackground@2x.jpg", 268, 190, false}),
                         [](const auto& param_info) {
                           std::string n = param_info.param.name;
                           n = n.substr(0, n.find('.'));
                           std::replace(n.begin(), n.end(), '@', '_');
                           return n;
                         });

// ---------------------------------------------------------------- Flame frames

struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;
  std::array<int, 3> at(int x, int y) const {
    const std::uint8_t* p = &rgb[(std::size_t(y) * width + x) * 3];
    return {p[0], p[1], p[2]};
  }
};

Picture decode(const std::string& name) {
  Bytes b = readAsset(name);
  Picture pic;
  int channels = 0;
  stbi_uc* data = stbi_load_from_memory(b.data(), int(b.size()), &pic.width, &pic.height, &channels, 3);
  if (data) {
    pic.rgb.assign(data, data + std::size_t(pic.width) * pic.height * 3);
    stbi_image_free(data);
  }
  return pic;
}

// The strip every flicker stays in, and the 8-pixel blocks that cover it, on
// the 1x pictures. At scale s both cover the same part of the card: the 2x
// frames change nothing outside x 304 to 383, y 64 to 479.
constexpr int kStripX0 = 159, kStripX1 = 184, kStripY0 = 36, kStripY1 = 231;
constexpr int kBoxX0 = 152, kBoxX1 = 191, kBoxY0 = 32, kBoxY1 = 239;

// The first and last pixel at scale s of the 1x pixels first .. last.
constexpr int firstAt(int first, int s) { return first * s; }
constexpr int lastAt(int last, int s) { return (last + 1) * s - 1; }

bool inBox(int x, int y, int s) {
  return x >= firstAt(kBoxX0, s) && x <= lastAt(kBoxX1, s) && y >= firstAt(kBoxY0, s) && y <= lastAt(kBoxY1, s);
}

// Largest per-channel difference between two pictures inside the flame strip.
int stripDifference(const Picture& a, const Picture& b, int s) {
  int worst = 0;
  for (int y = firstAt(kStripY0, s); y <= lastAt(kStripY1, s); ++y)
    for (int x = firstAt(kStripX0, s); x <= lastAt(kStripX1, s); ++x)
      for (int k = 0; k < 3; ++k) worst = std::max(worst, std::abs(a.at(x, y)[k] - b.at(x, y)[k]));
  return worst;
}

// Mean width of the flame over the top third of its height. Scanning up from
// the bottom of the strip: the lit wax pool, then the flame's bluish foot
// (no yellow there), then the flame itself as an unbroken run of rows that
// hold yellow-white pixels.
double flameTipWidth(const Picture& p, int s) {
  const int x0 = firstAt(kStripX0, s), x1 = lastAt(kStripX1, s);
  const int y0 = firstAt(kStripY0, s), y1 = lastAt(kStripY1, s);
  auto rowWidth = [&](int y) {
    int first = -1, last = -1;
    for (int x = x0; x <= x1; ++x) {
      auto c = p.at(x, y);
      if (c[0] > 240 && c[1] > 205) {
        if (first < 0) first = x;
        last = x;
      }
    }
    return first < 0 ? 0 : last - first + 1;
  };
  int y = y1;
  while (y >= y0 && rowWidth(y) > 0) --y;   // wax pool
  while (y >= y0 && rowWidth(y) == 0) --y;  // the flame's foot
  std::vector<int> widths;                  // the flame, from its base up
  for (; y >= y0 && rowWidth(y) > 0; --y) widths.push_back(rowWidth(y));
  if (widths.size() < 6) return 0;
  std::size_t third = widths.size() / 3;
  double sum = 0;
  for (std::size_t i = widths.size() - third; i < widths.size(); ++i) sum += widths[i];
  return sum / double(third);
}

// The card face and its three frames at one scale, decoded once.
struct FlameSet {
  Picture face;
  std::vector<std::pair<std::string, Picture>> frames;
};

const FlameSet& flameSet(int scale) {
  static std::map<int, FlameSet> sets;
  auto it = sets.find(scale);
  if (it == sets.end()) {
    FlameSet set{decode(atScale("CardFace.jpg", scale)), {}};
    for (const char* name : {"FlameFrame2.jpg", "FlameFrame4.jpg", "FlameFrame5.jpg"})
      set.frames.push_back({atScale(name, scale), decode(atScale(name, scale))});
    it = sets.emplace(scale, std::move(set)).first;
  }
  return it->second;
}

// Parametrised by the scale the pictures are drawn at: 1, and 2 for
// high-density screens.
class FlameFrames : public ::testing::TestWithParam<int> {
 protected:
  const int s = GetParam();
  const Picture* face = &flameSet(s).face;
  const std::vector<std::pair<std::string, Picture>>& frames = flameSet(s).frames;
};

TEST_P(FlameFrames, DecodeAtCardSize) {
  ASSERT_EQ(face->width, 333 * s);
  ASSERT_EQ(face->height, 415 * s);
  for (const auto& [name, pic] : frames) {
    EXPECT_EQ(pic.width, 333 * s) << name;
    EXPECT_EQ(pic.height, 415 * s) << name;
  }
}

TEST_P(FlameFrames, EqualTheCardFaceOutsideTheFlameBlocks) {
  ASSERT_EQ(face->width, 333 * s);
  for (const auto& [name, pic] : frames) {
    ASSERT_EQ(pic.rgb.size(), face->rgb.size()) << name;
    int differing = 0;
    for (int y = 0; y < 415 * s; ++y)
      for (int x = 0; x < 333 * s; ++x)
        if (!inBox(x, y, s) && pic.at(x, y) != face->at(x, y)) ++differing;
    EXPECT_EQ(differing, 0) << name << " changes pixels outside the flame's blocks";
  }
}

TEST_P(FlameFrames, EachFlickersVisiblyInsideTheStrip) {
  ASSERT_EQ(face->width, 333 * s);
  constexpr int kVisible = 40;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    EXPECT_GT(stripDifference(frames[i].second, *face, s), kVisible) << frames[i].first << " looks like the card face";
    for (std::size_t j = 0; j < i; ++j)
      EXPECT_GT(stripDifference(frames[i].second, frames[j].second, s), kVisible)
          << frames[i].first << " looks like " << frames[j].first;
  }
}

INSTANTIATE_TEST_SUITE_P(Scales, FlameFrames, ::testing::Values(1, 2),
                         [](const auto& scale) { return "At" + std::to_string(scale.param) + "x"; });

// Measured on the 1x pictures; the 2x pictures show the same flames (below).
TEST(FlameShapes, FrameFiveHasTheWidestTip) {
  const FlameSet& set = flameSet(1);
  const auto& frames = set.frames;
  ASSERT_EQ(set.face.width, 333);
  double five = flameTipWidth(frames.back().second, 1);
  EXPECT_GT(five, 2.0) << "no flame found in FlameFrame5";
  EXPECT_GT(five, flameTipWidth(set.face, 1) + 1.0) << "CardFace";
  EXPECT_GT(five, flameTipWidth(frames[0].second, 1) + 1.0) << frames[0].first;
  EXPECT_GT(five, flameTipWidth(frames[1].second, 1) + 1.0) << frames[1].first;
}

// The 2x pictures show the 1x pictures' flames: shrunk back to 1x, each
// matches its 1x picture closely inside the strip.
TEST(FlameShapes, AtTwiceTheSizeTheSameFlames) {
  const int s = 2;
  const FlameSet& one = flameSet(1);
  const FlameSet& two = flameSet(s);
  ASSERT_EQ(two.face.width, 333 * s);
  const Picture* face = &two.face;
  const auto& frames = two.frames;
  std::vector<std::pair<const Picture*, const Picture*>> pairs{{face, &one.face}};
  for (std::size_t i = 0; i < frames.size(); ++i) pairs.push_back({&frames[i].second, &one.frames[i].second});
  for (const auto& [big, small] : pairs) {
    double total = 0;
    int count = 0;
    for (int y = kStripY0; y <= kStripY1; ++y)
      for (int x = kStripX0; x <= kStripX1; ++x)
        for (int k = 0; k < 3; ++k) {
          int sum = 0;
          for (int dy = 0; dy < s; ++dy)
            for (int dx = 0; dx < s; ++dx) sum += big->at(x * s + dx, y * s + dy)[k];
          total += std::abs(double(sum) / (s * s) - small->at(x, y)[k]);
          ++count;
        }
    EXPECT_LT(total / count, 6.0) << "mean difference per channel";
  }
}

// ---------------------------------------------------------------- Bitmaps

constexpr std::size_t kInfoHeaderSize = 40;

TEST(BitmapAssets, AreUncompressed24BitAtButtonSize) {
  for (int scale : {1, 2})
  for (const char* plain : {"CloseGlyph.bmp", "AboutGlyph.bmp", "CloseGlyphAbout.bmp"}) {
    const std::string name = atScale(plain, scale);
    const int size = 18 * scale;
    SCOPED_TRACE(name);
    Bytes b = readAsset(name);
    ASSERT_GE(b.size(), 54u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(le32(b, 2), b.size()) << "file size field";
    EXPECT_EQ(le32(b, 14), kInfoHeaderSize) << "BITMAPINFOHEADER";
    EXPECT_EQ(le32s(b, 18), size);
    EXPECT_EQ(std::abs(le32s(b, 22)), size);
    EXPECT_EQ(le16(b, 26), 1) << "planes";
    EXPECT_EQ(le16(b, 28), 24) << "bits per pixel";
    EXPECT_EQ(le32(b, 30), 0u) << "BI_RGB, uncompressed";
    const std::size_t stride = std::size_t(size * 3 + 3) / 4 * 4;
    EXPECT_GE(b.size(), le32(b, 10) + stride * std::size_t(size)) << "pixel rows run past the end";
  }
}

TEST(BitmapAssets, ButtonsAreVioletDiscsOnTheirGround) {
  for (int scale : {1, 2})
  for (const char* plain : {"CloseGlyph.bmp", "AboutGlyph.bmp", "CloseGlyphAbout.bmp"}) {
    const std::string name = atScale(plain, scale);
    SCOPED_TRACE(name);
    Picture p = decode(name);
    ASSERT_EQ(p.width, 18 * scale);
    auto corner = p.at(0, 0);
    auto rim = p.at(9 * scale, 15 * scale);  // lower part of the disc, below the symbol
    EXPECT_LT(corner[0] + corner[1] + corner[2], 3 * 110) << "ground should be dark";
    EXPECT_GT(rim[2], rim[1] + 40) << "disc should be violet";
  }
  auto black = decode("CloseGlyph.bmp").at(0, 0), brown = decode("CloseGlyphAbout.bmp").at(0, 0);
  EXPECT_GT(brown[0], black[0] + 25) << "the About window's button sits on brown";
}

// ---------------------------------------------------------------- GIF

TEST(BannerAsset, IsGif89aAtBannerSize) {
  Bytes b = readAsset("GreetingBanner.gif");
  ASSERT_GE(b.size(), 13u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 6), "GIF89a");
  EXPECT_EQ(le16(b, 6), 201);
  EXPECT_EQ(le16(b, 8), 37);
  Picture p = decode("GreetingBanner.gif");
  ASSERT_EQ(p.width, 201);
  auto corner = p.at(0, 0);
  EXPECT_LT(corner[0] + corner[1] + corner[2], 30) << "the banner's ground is black";
}

// ---------------------------------------------------------------- Icons and cursor

struct IconImage {
  std::uint16_t type = 0;
  int width = 0, height = 0;
  std::uint16_t field1 = 0, field2 = 0;  // planes and bit count (icon) or hot spot (cursor)
  std::uint32_t infoHeight = 0;
  std::uint16_t bitsPerPixel = 0;
  std::uint32_t compression = 0;
  bool hasAndMask = false;
  Bytes pixels;  // 24-bit rows, bottom-up
  Bytes mask;    // 1-bit rows, bottom-up, 1 = transparent

  bool transparent(int x, int y) const {
    std::size_t row = std::size_t(height - 1 - y) * std::size_t((width + 31) / 32 * 4);
    return (mask[row + x / 8] >> (7 - x % 8)) & 1;
  }
  std::array<int, 3> colour(int x, int y) const {
    const std::uint8_t* p = &pixels[std::size_t(height - 1 - y) * (width * 3) + x * 3];
    return {p[2], p[1], p[0]};
  }
};

std::optional<IconImage> parseIcon(const Bytes& b) {
  if (b.size() < 6 + 16 + kInfoHeaderSize) return std::nullopt;
  if (le16(b, 0) != 0 || le16(b, 4) != 1) return std::nullopt;  // exactly one image
  IconImage icon;
  icon.type = le16(b, 2);
  icon.width = b[6] ? b[6] : 256;
  icon.height = b[7] ? b[7] : 256;
  icon.field1 = le16(b, 10);
  icon.field2 = le16(b, 12);
  std::uint32_t size = le32(b, 14), offset = le32(b, 18);
  if (offset + size > b.size() || size < kInfoHeaderSize || le32(b, offset) != kInfoHeaderSize) return std::nullopt;
  icon.infoHeight = le32(b, offset + 8);
  icon.bitsPerPixel = le16(b, offset + 14);
  icon.compression = le32(b, offset + 16);
  if (le32s(b, offset + 4) != icon.width || icon.bitsPerPixel != 24) return icon;
  std::size_t xorSize = std::size_t((icon.width * 3 + 3) / 4 * 4) * icon.height;
  std::size_t andSize = std::size_t((icon.width + 31) / 32 * 4) * icon.height;
  std::size_t start = offset + kInfoHeaderSize;
  icon.hasAndMask = size >= kInfoHeaderSize + xorSize + andSize;
  icon.pixels.assign(b.begin() + start, b.begin() + start + xorSize);
  if (icon.hasAndMask) icon.mask.assign(b.begin() + start + xorSize, b.begin() + start + xorSize + andSize);
  return icon;
}

void expectOne24BitImageWithMask(const IconImage& icon, int size = 32) {
  EXPECT_EQ(icon.width, size);
  EXPECT_EQ(icon.height, size);
  EXPECT_EQ(icon.infoHeight, std::uint32_t(2 * size)) << "height counts the colour image and its mask";
  EXPECT_EQ(icon.bitsPerPixel, 24);
  EXPECT_EQ(icon.compression, 0u) << "BMP-encoded, not PNG";
  ASSERT_TRUE(icon.hasAndMask) << "the AND mask is missing";
  // Where the mask lets the screen through, the colour must be black, or the
  // screen under the icon would be XORed into noise.
  int opaque = 0;
  for (int y = 0; y < icon.height; ++y)
    for (int x = 0; x < icon.width; ++x) {
      if (icon.transparent(x, y)) {
        EXPECT_EQ(icon.colour(x, y), (std::array<int, 3>{0, 0, 0})) << "at " << x << "," << y;
      } else {
        ++opaque;
      }
    }
  EXPECT_GT(opaque, size * size / 8) << "the image is almost entirely see-through";
}

TEST(IconAssets, HoldOne24BitImageWithItsMask) {
  for (int scale : {1, 2})
  for (const char* plain : {"CardIcon.ico", "AboutIcon.ico"}) {
    const std::string name = atScale(plain, scale);
    SCOPED_TRACE(name);
    auto icon = parseIcon(readAsset(name));
    ASSERT_TRUE(icon) << "not a one-image icon file";
    EXPECT_EQ(icon->type, 1) << "icon resource type";
    EXPECT_EQ(icon->field1, 1) << "planes";
    EXPECT_EQ(icon->field2, 24) << "bit count";
    expectOne24BitImageWithMask(*icon, 32 * scale);
  }
}

TEST(IconAssets, ShowAFlameAboveTheCandle) {
  for (const char* name : {"CardIcon.ico", "AboutIcon.ico"}) {
    SCOPED_TRACE(name);
    auto icon = parseIcon(readAsset(name));
    ASSERT_TRUE(icon && icon->hasAndMask);
    int flame = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 32; ++x) {
        auto c = icon->colour(x, y);
        if (c[0] > 230 && c[1] > 170) ++flame;
      }
    EXPECT_GT(flame, 8) << "no bright flame in the upper half";
  }
}

TEST(CursorAsset, IsAPointingHandWithItsHotSpotAtTheFingertip) {
  for (int scale : {1, 2}) {
  SCOPED_TRACE(scale);
  const int size = 32 * scale;
  auto cursor = parseIcon(readAsset(atScale("HandCursor.cur", scale)));
  ASSERT_TRUE(cursor) << "not a one-image cursor file";
  EXPECT_EQ(cursor->type, 2) << "cursor resource type";
  EXPECT_EQ(cursor->field1, 0) << "hot spot x";
  EXPECT_EQ(cursor->field2, 0) << "hot spot y";
  expectOne24BitImageWithMask(*cursor, size);
  ASSERT_TRUE(cursor->hasAndMask);
  EXPECT_FALSE(cursor->transparent(0, 0)) << "the fingertip must cover the hot spot";
  // The hand fills out from the corner toward the lower right: white inside, dark edge.
  int white = 0, dark = 0;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      if (cursor->transparent(x, y)) continue;
      auto c = cursor->colour(x, y);
      if (c[0] > 220 && c[1] > 220 && c[2] > 220) ++white;
      if (c[0] + c[1] + c[2] < 150) ++dark;
    }
  EXPECT_GT(white, 100 * scale * scale);
  EXPECT_GT(dark, 40 * scale);
  EXPECT_TRUE(cursor->transparent(size - 1, 0)) << "top-right corner should be clear";
  EXPECT_TRUE(cursor->transparent(0, size - 1)) << "bottom-left corner should be clear";
  }
}

}  // namespace
