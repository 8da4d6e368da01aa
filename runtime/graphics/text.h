// Text drawing for labels, buttons and text boxes. Glyphs are rasterised by
// the runtime itself from TrueType font bytes: the platform offers the
// system's face of a given name, and a metric-compatible face built into the
// program stands in where the system has none, so text looks the same on
// every desktop.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "bitmap.h"
#include "geometry.h"

namespace rt {

struct FontSpec {
    std::string face = "MS Sans Serif";
    float points = 8.25f;
    bool bold = false;
    bool italic = false;
    bool operator<(const FontSpec& o) const {
        return std::tie(face, points, bold, italic) < std::tie(o.face, o.points, o.bold, o.italic);
    }
};

enum class TextAlignment { Left = 0, Right = 1, Center = 2 };

// Looks up the system's font file bytes for a face name, or nothing.
using FontLookup = std::function<std::optional<std::vector<std::uint8_t>>(
    const std::string& face, bool bold, bool italic)>;

class TextRenderer {
public:
    // lookup may be empty: then only the built-in faces are used.
    explicit TextRenderer(FontLookup lookup = {});
    ~TextRenderer();
    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;

    // Width in pixels of one line of text, and the height of a line, at the
    // given screen density (dots per inch) -- a point is dpi / 72 pixels.
    int textWidth(const std::string& text, const FontSpec& font, double dpi);
    int lineHeight(const FontSpec& font, double dpi);

    // Draws one line of text (UTF-8, no wrapping) inside box, aligned
    // horizontally as asked and starting at the box's top, anti-aliased and
    // blended over what is there, clipped to box and clip.
    void drawText(Bitmap& dst, const Rect& box, const std::string& text, const FontSpec& font,
                  double dpi, Pixel colour, TextAlignment alignment, const Rect& clip);

    // The family name of the face actually used for a font: the system's
    // face of that name if the lookup finds one, else the built-in stand-in
    // ("Liberation Sans", "Liberation Serif", "Liberation Sans Narrow"), for
    // tests and logs. The built-in faces are regular and italic serif only:
    // bold is drawn emboldened, and italic sans faces are drawn upright.
    std::string resolvedFaceName(const FontSpec& font);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace rt
