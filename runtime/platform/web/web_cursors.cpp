// Cursors: the runtime's cursor pictures as CSS cursors, made once per
// picture (see PictureCache), and the one shown over the window the pointer
// is over.
#include "web_internal.h"

#include <emscripten.h>

// Makes the CSS cursor `cursor` from a picture at the device scale: shown
// at its logical size through image-set, sharp; a browser without
// image-set for cursors takes the plain picture. The hot spot is in CSS
// pixels either way.
EM_JS(void, velmora_web_cursor_make,
      (int cursor, const std::uint8_t* rgba, int width, int height, int hotspotX, int hotspotY, int scale), {
    const canvas = document.createElement("canvas");
    canvas.width = width;
    canvas.height = height;
    const bytes = new Uint8ClampedArray(HEAPU8.slice(rgba, rgba + width * height * 4));
    canvas.getContext("2d").putImageData(new ImageData(bytes, width, height), 0, 0);
    const url = "url(" + canvas.toDataURL("image/png") + ")";
    const probe = document.createElement("div").style;
    probe.cursor = "image-set(" + url + " " + scale + "x) " + Math.floor(hotspotX / scale) + " " +
                   Math.floor(hotspotY / scale) + ", pointer";
    Module.velmoraBackend.cursors.set(cursor, probe.cursor || (url + " " + hotspotX + " " + hotspotY + ", pointer"));
});

EM_JS(void, velmora_web_cursor_free, (int cursor), {
    Module.velmoraBackend.cursors.delete(cursor);
});

// Shows the CSS cursor `cursor` over the page (0: the page's own).
EM_JS(void, velmora_web_cursor_show, (int cursor), {
    document.documentElement.style.cursor = (cursor && Module.velmoraBackend.cursors.get(cursor)) || "";
});

namespace rt::platform::web {

void WebPlatform::setCursor(WindowHandle window, const PictureRef& picture) {
    WindowState* w = find(window);
    if (!w) return;
    int cursor = 0;
    if (picture && !picture->image().empty()) {
        cursor = cursors_.obtain(
            picture, [&](const Picture& p) { return makeCursor(p); },
            [&](int c) { return cursorShown(windows_, c); }, [](int c) { velmora_web_cursor_free(c); });
    }
    w->cursor = cursor;
    showCursor();
}

// The cursor of the window the pointer is over, or holds, on the page.
void WebPlatform::showCursor() {
    const WindowState* w = find(pointer_.hovered());
    const int cursor = w ? w->cursor : 0;
    if (cursor == shownCursor_) return;
    shownCursor_ = cursor;
    velmora_web_cursor_show(cursor);
}

int WebPlatform::makeCursor(const Picture& picture) {
    const Bitmap& image = picture.image();
    std::vector<std::uint8_t> rgba(std::size_t(image.width()) * std::size_t(image.height()) * 4);
    std::size_t i = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x, i += 4) {
            const Pixel p = image.at(x, y);
            rgba[i] = std::uint8_t(pixelRed(p));
            rgba[i + 1] = std::uint8_t(pixelGreen(p));
            rgba[i + 2] = std::uint8_t(pixelBlue(p));
            rgba[i + 3] = std::uint8_t(pixelAlpha(p));
        }
    const int cursor = nextCursor_++;
    velmora_web_cursor_make(cursor, rgba.data(), image.width(), image.height(), picture.hotspotX, picture.hotspotY,
                            scale_);
    return cursor;
}

// The program has ended: the page's own cursor again.
void WebPlatform::freeCursors() {
    cursors_.clear([](int c) { velmora_web_cursor_free(c); });
    shownCursor_ = 0;
    velmora_web_cursor_show(0);
}

}  // namespace rt::platform::web
