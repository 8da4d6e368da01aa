// The windows' pixels: present puts the frame's dirty rectangles on the
// canvas, transparent outside the shape; presentMove copies the canvas onto
// itself and puts only what the copy cannot give.
#include "web_internal.h"

#include <emscripten.h>

#include <algorithm>

EM_JS(void, velmora_web_canvas_put, (int window, const std::uint8_t* rgba, int x, int y, int width, int height), {
    const entry = Module.velmoraBackend.canvases.get(window);
    if (!entry) return;
    const bytes = new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4);
    entry.ctx.putImageData(new ImageData(bytes, width, height), x, y);
});

// Drawing a canvas onto itself copies the source first, so the areas may
// overlap; the pixels copied are opaque (see planMove), so drawing them
// over the destination replaces it.
EM_JS(void, velmora_web_canvas_copy, (int window, int x, int y, int width, int height, int dx, int dy), {
    const entry = Module.velmoraBackend.canvases.get(window);
    if (!entry) return;
    entry.ctx.drawImage(entry.canvas, x, y, width, height, x + dx, y + dy, width, height);
});

EM_JS(void, velmora_web_first_frame, (), {
    if (Module.velmoraFirstFrame) Module.velmoraFirstFrame();
});

namespace rt::platform::web {

void WebPlatform::present(WindowHandle window, const Bitmap& frame, std::span<const Rect> dirty) {
    WindowState* w = find(window);
    if (!w) return;
    if (w->presentWhole) {
        w->presentWhole = false;
        put(window, *w, frame, frame.bounds());
        return;
    }
    for (const Rect& r : dirty) put(window, *w, frame, r);
}

// The rows the shape covers on both sides of the move are copied on the
// canvas; the others (near the shape's rounded corners, where moving would
// move transparency) and what the move exposed are put from the frame, so
// that the canvas ends as a full present would leave it.
void WebPlatform::presentMove(WindowHandle window, const Bitmap& frame, const Rect& from, int dx, int dy,
                              std::span<const Rect> exposed) {
    WindowState* w = find(window);
    if (!w) return;
    if (w->presentWhole) {
        present(window, frame, {});
        return;
    }
    const MovePlan plan = planMove(w->shape, frame.bounds(), from, dx, dy);
    for (const Rect& r : plan.copies) velmora_web_canvas_copy(int(window), r.x, r.y, r.width, r.height, dx, dy);
    for (const Rect& r : plan.puts) put(window, *w, frame, r);
    for (const Rect& r : exposed) put(window, *w, frame, r);
}

// Copies one rectangle of the frame into the staging buffer as the
// canvas's RGBA bytes, transparent outside the window's shape, and puts it
// on the canvas: in bands of whole rows, so that the staging buffer stays a
// band's size (64 KB) where a whole window's would be 615 KB at 1x and
// 2.4 MB at 2x, held in the module's memory, which never shrinks.
void WebPlatform::put(WindowHandle window, const WindowState& w, const Bitmap& frame, const Rect& area) {
    constexpr int kBandPixels = 16384;
    const Rect r = area.intersect(frame.bounds());
    if (r.empty()) return;
    const int rows = std::max(1, kBandPixels / r.width);
    for (int y = r.y; y < r.bottom(); y += rows) {
        const Rect band{r.x, y, r.width, std::min(rows, r.bottom() - y)};
        canvasPixels(frame, band, w.shape, staging_);
        velmora_web_canvas_put(int(window), reinterpret_cast<const std::uint8_t*>(staging_.data()), band.x, band.y,
                               band.width, band.height);
    }
    if (!shown_) {
        shown_ = true;
        velmora_web_first_frame();
    }
}

}  // namespace rt::platform::web
