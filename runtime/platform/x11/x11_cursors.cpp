// Cursors: the standard arrow, and two-colour cursors made from pictures,
// cached per picture.
#include "x11_internal.h"

#include <X11/cursorfont.h>

#include <algorithm>

namespace rt::platform::x11 {

// Defines the cursor over the window: the arrow or the picture's cursor.
void X11Platform::setCursor(WindowHandle window, const PictureRef& picture) {
    WindowState* st = find(window);
    if (!st) return;
    Cursor cursor = None;
    if (!picture || picture->image().empty()) {
        if (s_.arrow == None) s_.arrow = XCreateFontCursor(s_.display, XC_left_ptr);
        cursor = s_.arrow;
    } else {
        cursor = s_.cursors.obtain(
            picture, [&](const Picture& p) { return makeCursor(p); }, [&](Cursor c) { return cursorShown(s_.windows, c); },
            [&](Cursor c) { XFreeCursor(s_.display, c); });
    }
    if (cursor == st->cursor) return;
    XDefineCursor(s_.display, Window(window), cursor);
    st->cursor = cursor;
    XFlush(s_.display);
}

// A two-colour cursor: opaque pixels form the mask; each is drawn in the
// mean colour of the light pixels or of the dark ones, whichever group
// it belongs to.
Cursor X11Platform::makeCursor(const Picture& picture) {
    Display* d = s_.display;
    const Bitmap& image = picture.image();
    const int w = image.width(), h = image.height();
    const int stride = (w + 7) / 8;
    std::vector<char> source(std::size_t(stride) * h, 0), mask(std::size_t(stride) * h, 0);
    long light[4] = {}, dark[4] = {};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Pixel p = image.at(x, y);
            if (pixelAlpha(p) < 128) continue;
            const int r = pixelRed(p), g = pixelGreen(p), b = pixelBlue(p);
            const bool isLight = r * 299 + g * 587 + b * 114 >= 128 * 1000;
            long* sum = isLight ? light : dark;
            sum[0] += r, sum[1] += g, sum[2] += b, ++sum[3];
            const std::size_t at = std::size_t(y) * stride + x / 8;
            mask[at] = char(mask[at] | (1 << (x % 8)));
            if (isLight) source[at] = char(source[at] | (1 << (x % 8)));
        }
    auto colour = [](const long* sum, int fallback) {
        XColor c{};
        c.flags = DoRed | DoGreen | DoBlue;
        const int n = int(sum[3]);
        c.red = (unsigned short)((n ? sum[0] / n : fallback) * 257);
        c.green = (unsigned short)((n ? sum[1] / n : fallback) * 257);
        c.blue = (unsigned short)((n ? sum[2] / n : fallback) * 257);
        return c;
    };
    XColor fg = colour(light, 255), bg = colour(dark, 0);
    const Pixmap src = XCreateBitmapFromData(d, s_.root, source.data(), unsigned(w), unsigned(h));
    const Pixmap msk = XCreateBitmapFromData(d, s_.root, mask.data(), unsigned(w), unsigned(h));
    const unsigned hx = unsigned(std::clamp(picture.hotspotX, 0, w - 1));
    const unsigned hy = unsigned(std::clamp(picture.hotspotY, 0, h - 1));
    const Cursor cursor = XCreatePixmapCursor(d, src, msk, &fg, &bg, hx, hy);
    XFreePixmap(d, src);
    XFreePixmap(d, msk);
    return cursor;
}

}  // namespace rt::platform::x11
