// Text drawing for labels, buttons and text boxes. Glyphs are rasterised by
// the runtime itself from faces built into the program: metric-compatible
// stand-ins for the faces the windows name. The system's font files are never
// read: they are input the program does not control, and the built-in faces
// draw the same glyphs on every desktop and in every test.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>

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

class TextRenderer {
public:
    TextRenderer();
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

    // The family name of the built-in face that stands in for a font ("Liberation
    // Sans", "Liberation Serif", "Liberation Sans Narrow"), for tests and
    // logs: Times New Roman draws with the serif, Arial Narrow with the sans
    // condensed to Arial Narrow's widths, every other name with the sans. The
    // built-in faces are regular and italic serif only: bold is drawn
    // emboldened, and italic sans faces are drawn upright.
    std::string resolvedFaceName(const FontSpec& font);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace rt
