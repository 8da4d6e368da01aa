// Text rasterised from the built-in TrueType faces with stb_truetype.
//
// Glyphs are laid out as GDI lays them out: every advance and kerning
// adjustment is rounded to whole pixels and each glyph sits on a whole-pixel
// pen position, so a glyph renders the same wherever it appears and one
// cached coverage bitmap per glyph and size serves every label. Fonts are
// sized by their em, as Windows sizes them: a 9 point font at 96 dots per
// inch has a 12 pixel em.
#include "text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <span>
#include <string_view>
#include <unordered_map>

#define STBTT_STATIC
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb_truetype.h>

namespace embedded {
std::span<const std::uint8_t> fontSansRegular();
std::span<const std::uint8_t> fontSerifRegular();
std::span<const std::uint8_t> fontSerifItalic();
}  // namespace embedded

namespace rt {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Arial Narrow's glyphs are Arial's at about 82 % of the width.
constexpr float kNarrowWidthFactor = 0.82f;

// Decodes UTF-8; each byte that does not start a well-formed sequence
// (truncated, overlong, a surrogate, beyond U+10FFFF) becomes U+FFFD.
std::u32string decodeUtf8(const std::string& text) {
    std::u32string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned c = s[i];
        int extra = 0;
        char32_t cp = 0, min = 0;
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1, cp = c & 0x1F, min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, cp = c & 0x0F, min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, cp = c & 0x07, min = 0x10000;
        } else {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        bool ok = i + std::size_t(extra) < n;
        for (int k = 1; ok && k <= extra; ++k) {
            const unsigned d = s[i + std::size_t(k)];
            if ((d & 0xC0) != 0x80) ok = false;
            else cp = (cp << 6) | (d & 0x3F);
        }
        if (ok && cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(cp);
            i += std::size_t(extra) + 1;
        } else {
            out.push_back(kReplacement);
            ++i;
        }
    }
    return out;
}

std::string lowerTrimmed(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    std::string out = s.substr(b, e - b);
    for (char& ch : out) ch = char(std::tolower(static_cast<unsigned char>(ch)));
    return out;
}

struct Face {
    stbtt_fontinfo info{};  // points at the program's own static font bytes
    std::string name;
    float widthFactor = 1.0f;  // below 1: the face drawn condensed
};

// The family name from the font's name table, for logs and tests.
std::string familyName(const stbtt_fontinfo& info) {
    int length = 0;
    const char* p = stbtt_GetFontNameString(&info, &length, STBTT_PLATFORM_ID_MICROSOFT, STBTT_MS_EID_UNICODE_BMP,
                                            STBTT_MS_LANG_ENGLISH, 1);
    std::string out;
    if (!p) return out;
    for (int i = 0; i + 1 < length; i += 2) {
        const unsigned c = (unsigned(static_cast<unsigned char>(p[i])) << 8) | static_cast<unsigned char>(p[i + 1]);
        if (c < 0x80) {
            out.push_back(char(c));
        } else if (c < 0x800) {
            out.push_back(char(0xC0 | (c >> 6)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else {
            out.push_back(char(0xE0 | (c >> 12)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

bool initFace(Face& face, const std::uint8_t* data, std::size_t size) {
    if (!data || size < 12) return false;
    const int offset = stbtt_GetFontOffsetForIndex(data, 0);
    if (offset < 0 || std::size_t(offset) >= size) return false;
    if (!stbtt_InitFont(&face.info, data, offset)) return false;
    face.name = familyName(face.info);
    return true;
}

// Unhinted one-pixel stems straddle two pixel columns at partial coverage
// and look faint and soft, most of all light text on a dark ground. Lifting
// partial coverage (a gamma of 1/1.4) restores their weight.
const std::array<std::uint8_t, 256> kCoverageCurve = [] {
    std::array<std::uint8_t, 256> curve{};
    for (int i = 0; i < 256; ++i) curve[std::size_t(i)] = std::uint8_t(std::lround(255.0 * std::pow(i / 255.0, 1.0 / 1.4)));
    return curve;
}();

struct Glyph {
    int width = 0, height = 0;
    int left = 0, top = 0;  // offset of the coverage bitmap from the pen on the baseline
    int advance = 0;        // whole pixels
    std::vector<std::uint8_t> coverage;
};

// One face at one pixel size: metrics and the glyphs drawn so far.
struct SizedFont {
    const Face* face = nullptr;
    float scale = 0;   // horizontal: the em maps to whole pixels
    float scaleY = 0;  // vertical: nudged so that the x-height is a whole number of pixels
    int ascent = 0, descent = 0;
    bool emboldened = false;  // bold asked for but the face is not bold
    std::unordered_map<char32_t, int> glyphIndex;
    std::unordered_map<int, Glyph> glyphs;
    std::unordered_map<std::uint64_t, int> kerning;
};

struct Placed {
    const Glyph* glyph;
    int x;
};

}  // namespace

struct TextRenderer::Impl {
    std::map<std::string, std::unique_ptr<Face>> faces;  // by built-in face
    std::map<std::tuple<const Face*, int, bool>, std::unique_ptr<SizedFont>> sized;

    // The built-in face that stands in for a font.
    Face& face(const FontSpec& font) {
        const std::string key = lowerTrimmed(font.face);
        std::span<const std::uint8_t> bytes;
        const char* which;
        if (key == "times new roman") {
            bytes = font.italic ? embedded::fontSerifItalic() : embedded::fontSerifRegular();
            which = font.italic ? "serif-italic" : "serif";
        } else if (key == "arial narrow") {
            bytes = embedded::fontSansRegular();
            which = "sans-narrow";
        } else {
            bytes = embedded::fontSansRegular();
            which = "sans";
        }
        auto& slot = faces[which];
        if (!slot) {
            slot = std::make_unique<Face>();
            // The embedded fonts are part of the program; failing here means a broken build.
            if (!initFace(*slot, bytes.data(), bytes.size())) slot->name = "(unreadable built-in font)";
            if (std::string_view(which) == "sans-narrow") {
                // The narrow sans is the sans condensed to the narrow face's
                // widths: Arial Narrow sets at about 82 % of Arial's.
                slot->widthFactor = kNarrowWidthFactor;
                slot->name += " Narrow";
            }
        }
        return *slot;
    }

    SizedFont& sizedFont(const FontSpec& font, double dpi) {
        Face& f = face(font);
        // Windows sizes a font to a whole number of pixels per em.
        const double px = double(font.points) * (dpi > 0 ? dpi : 96.0) / 72.0;
        const int em = int(std::clamp(std::lrint(px), 1L, 2000L));
        // The built-in faces are regular: bold gets bolder strokes drawn.
        const bool embolden = font.bold;
        auto& slot = sized[{&f, em, embolden}];
        if (!slot) {
            slot = std::make_unique<SizedFont>();
            slot->face = &f;
            slot->emboldened = embolden;
            const float emScale = stbtt_ScaleForMappingEmToPixels(&f.info, float(em));
            slot->scale = emScale * f.widthFactor;
            slot->scaleY = emScale;
            // Without hinting, lower-case tops fall between pixel rows and
            // blur. Stretching the glyphs vertically by a few percent so the
            // x-height ends on a row boundary keeps small text crisp, as
            // light vertical-only hinting does.
            int bx0 = 0, by0 = 0, bx1 = 0, xHeight = 0;
            if (stbtt_GetCodepointBox(&f.info, 'x', &bx0, &by0, &bx1, &xHeight) && xHeight > 0) {
                const float exact = float(xHeight) * emScale;
                const float snapped = std::max(1.0f, std::round(exact));
                if (std::abs(snapped - exact) <= 0.1f * exact) slot->scaleY = emScale * snapped / exact;
            }
            int ascent = 0, descent = 0, gap = 0;
            stbtt_GetFontVMetrics(&f.info, &ascent, &descent, &gap);
            slot->ascent = int(std::ceil(float(ascent) * emScale));
            slot->descent = int(std::ceil(float(-descent) * emScale));
        }
        return *slot;
    }

    int glyphIndex(SizedFont& s, char32_t cp) {
        auto it = s.glyphIndex.find(cp);
        if (it != s.glyphIndex.end()) return it->second;
        // Index 0 is the font's "missing glyph" box.
        const int index = stbtt_FindGlyphIndex(&s.face->info, int(cp));
        s.glyphIndex.emplace(cp, index);
        return index;
    }

    const Glyph& glyph(SizedFont& s, int index) {
        auto it = s.glyphs.find(index);
        if (it != s.glyphs.end()) return it->second;
        Glyph g;
        int advance = 0, bearing = 0;
        stbtt_GetGlyphHMetrics(&s.face->info, index, &advance, &bearing);
        g.advance = int(std::lrint(float(advance) * s.scale));
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        stbtt_GetGlyphBitmapBox(&s.face->info, index, s.scale, s.scaleY, &x0, &y0, &x1, &y1);
        if (x1 > x0 && y1 > y0) {
            g.width = x1 - x0;
            g.height = y1 - y0;
            g.left = x0;
            g.top = y0;
            g.coverage.assign(std::size_t(g.width) * std::size_t(g.height), 0);
            stbtt_MakeGlyphBitmap(&s.face->info, g.coverage.data(), g.width, g.height, g.width, s.scale, s.scaleY,
                                  index);
            for (std::uint8_t& c : g.coverage) c = kCoverageCurve[c];
        }
        if (s.emboldened) {
            // Each stroke is widened by a pixel to the right, as GDI emboldens.
            if (g.width > 0) {
                std::vector<std::uint8_t> wide(std::size_t(g.width + 1) * std::size_t(g.height), 0);
                for (int y = 0; y < g.height; ++y)
                    for (int x = 0; x <= g.width; ++x) {
                        const int a = x < g.width ? g.coverage[std::size_t(y * g.width + x)] : 0;
                        const int b = x > 0 ? g.coverage[std::size_t(y * g.width + x - 1)] : 0;
                        wide[std::size_t(y * (g.width + 1) + x)] = std::uint8_t(std::max(a, b));
                    }
                g.coverage = std::move(wide);
                ++g.width;
            }
            ++g.advance;
        }
        return s.glyphs.emplace(index, std::move(g)).first->second;
    }

    int kern(SizedFont& s, int left, int right) {
        const std::uint64_t key = (std::uint64_t(std::uint32_t(left)) << 32) | std::uint32_t(right);
        auto it = s.kerning.find(key);
        if (it != s.kerning.end()) return it->second;
        const int k = int(std::lrint(float(stbtt_GetGlyphKernAdvance(&s.face->info, left, right)) * s.scale));
        s.kerning.emplace(key, k);
        return k;
    }

    // Places each glyph of a line; returns the line's advance width.
    int layout(SizedFont& s, const std::string& text, std::vector<Placed>* out) {
        int pen = 0, previous = -1;
        for (char32_t cp : decodeUtf8(text)) {
            if (cp < 0x20 || cp == 0x7F) continue;  // control characters take no space
            const int index = glyphIndex(s, cp);
            if (previous >= 0) pen += kern(s, previous, index);
            const Glyph& g = glyph(s, index);
            if (out && !g.coverage.empty()) out->push_back({&g, pen});
            pen += g.advance;
            previous = index;
        }
        return pen;
    }
};

TextRenderer::TextRenderer() : impl_(std::make_unique<Impl>()) {}

TextRenderer::~TextRenderer() = default;

int TextRenderer::textWidth(const std::string& text, const FontSpec& font, double dpi) {
    return impl_->layout(impl_->sizedFont(font, dpi), text, nullptr);
}

int TextRenderer::lineHeight(const FontSpec& font, double dpi) {
    const SizedFont& s = impl_->sizedFont(font, dpi);
    return s.ascent + s.descent;
}

std::string TextRenderer::resolvedFaceName(const FontSpec& font) { return impl_->face(font).name; }

void TextRenderer::drawText(Bitmap& dst, const Rect& box, const std::string& text, const FontSpec& font,
                            double dpi, Pixel colour, TextAlignment alignment, const Rect& clip) {
    const Rect visible = box.intersect(clip).intersect(dst.bounds());
    if (visible.empty() || text.empty()) return;
    SizedFont& s = impl_->sizedFont(font, dpi);
    std::vector<Placed> placed;
    const int width = impl_->layout(s, text, &placed);
    int x = box.x;
    if (alignment == TextAlignment::Right) x = box.right() - width;
    else if (alignment == TextAlignment::Center) x = box.x + (box.width - width) / 2;
    const int baseline = box.y + s.ascent;

    const int cr = pixelRed(colour), cg = pixelGreen(colour), cb = pixelBlue(colour);
    for (const Placed& p : placed) {
        const Glyph& g = *p.glyph;
        const int gx = x + p.x + g.left, gy = baseline + g.top;
        const Rect area = Rect{gx, gy, g.width, g.height}.intersect(visible);
        for (int y = area.y; y < area.bottom(); ++y) {
            const std::uint8_t* cov = g.coverage.data() + std::size_t(y - gy) * std::size_t(g.width);
            Pixel* row = dst.row(y);
            for (int px = area.x; px < area.right(); ++px) {
                const int a = cov[px - gx];
                if (a == 0) continue;
                const Pixel d = row[px];
                if (a == 255) {
                    row[px] = (d & 0xFF000000u) | (colour & 0x00FFFFFFu);
                    continue;
                }
                const int inv = 255 - a;
                const int r = (cr * a + pixelRed(d) * inv + 127) / 255;
                const int gg = (cg * a + pixelGreen(d) * inv + 127) / 255;
                const int b = (cb * a + pixelBlue(d) * inv + 127) / 255;
                row[px] = (d & 0xFF000000u) | (Pixel(r) << 16) | (Pixel(gg) << 8) | Pixel(b);
            }
        }
    }
}

}  // namespace rt
