// Windows: one canvas each in the page's stage, placed, stacked and shown
// as the backend's state says; shapes; and the layout the page fits its
// stage by.
#include "web_internal.h"

#include <emscripten.h>

#include <algorithm>

// A canvas for the window, hidden, in the stage; after it, the overlay
// that holds what the window describes (web_semantics.cpp), on the same box.
EM_JS(void, velmora_web_canvas_create, (int window), {
    const canvas = document.createElement("canvas");
    canvas.className = "velmora-window";
    canvas.style.display = "none";
    const overlay = document.createElement("div");
    overlay.className = "velmora-semantics";
    overlay.style.cssText = "display:none;position:absolute;pointer-events:none;";
    Module.velmoraBackend.canvases.set(window, { canvas, ctx: canvas.getContext("2d"), overlay });
    Module.velmoraStage.append(canvas, overlay);
});

EM_JS(void, velmora_web_canvas_remove, (int window), {
    const canvases = Module.velmoraBackend.canvases;
    const entry = canvases.get(window);
    if (!entry) return;
    if (Module.velmoraBackend.leaving) Module.velmoraBackend.leaving(entry);
    canvases.delete(window);
    entry.canvas.remove();
    entry.overlay.remove();
});

// The canvas's backing store (device pixels; a canvas loses its pixels
// when it changes), its box on the stage (CSS pixels), stacking and
// visibility.
EM_JS(void, velmora_web_canvas_place,
      (int window, int width, int height, double left, double top, double cssWidth, double cssHeight, int z,
       int visible), {
    const entry = Module.velmoraBackend.canvases.get(window);
    if (!entry) return;
    const canvas = entry.canvas;
    if (canvas.width !== width) canvas.width = width;
    if (canvas.height !== height) canvas.height = height;
    const style = canvas.style;
    style.left = left + "px";
    style.top = top + "px";
    style.width = cssWidth + "px";
    style.height = cssHeight + "px";
    style.zIndex = String(z);
    if (!visible && style.display === "block" && Module.velmoraBackend.leaving) Module.velmoraBackend.leaving(entry);
    style.display = visible ? "block" : "none";
    const overlay = entry.overlay.style;
    overlay.left = style.left;
    overlay.top = style.top;
    overlay.width = style.width;
    overlay.height = style.height;
    overlay.zIndex = style.zIndex;
    overlay.display = style.display;
});

// The corners the overlay's outline follows, CSS pixels.
EM_JS(void, velmora_web_canvas_corners, (int window, double rx, double ry), {
    const entry = Module.velmoraBackend.canvases.get(window);
    if (entry) entry.overlay.style.borderRadius = rx + "px / " + ry + "px";
});

// The stage's size and the largest window's, CSS pixels, for the page to
// size its stage and fit it in the viewport.
EM_JS(void, velmora_web_layout, (int stageWidth, int stageHeight, double largestWidth, double largestHeight), {
    if (!Module.velmoraLayout) return;
    Module.velmoraLayout({
        stage: { width: stageWidth, height: stageHeight },
        largest: largestWidth > 0 ? { width: largestWidth, height: largestHeight } : null
    });
});

namespace rt::platform::web {

WindowHandle WebPlatform::createWindow(const WindowOptions& options) {
    const WindowHandle handle = nextHandle_++;
    WindowState& w = windows_[handle];
    w.bounds = {options.x, options.y, std::max(1, options.width), std::max(1, options.height)};
    w.z = ++zCounter_;
    velmora_web_canvas_create(int(handle));
    place(handle, w);
    reportLayout();
    return handle;
}

void WebPlatform::destroyWindow(WindowHandle window) {
    if (windows_.erase(window) == 0) return;
    velmora_web_canvas_remove(int(window));
    queue_.forget(window);
    pointer_.forget(window);
    showCursor();
    reportLayout();
}

void WebPlatform::setWindowBounds(WindowHandle window, const Rect& outer) {
    WindowState* w = find(window);
    if (!w) return;
    const bool resized = outer.width != w->bounds.width || outer.height != w->bounds.height;
    w->bounds = {outer.x, outer.y, std::max(1, outer.width), std::max(1, outer.height)};
    place(window, *w);
    if (!resized) return;
    // A canvas loses its pixels when its size changes.
    queue_.push(exposeEvent(window, {0, 0, w->bounds.width, w->bounds.height}));
    w->shape.resize(w->bounds.height);
    reportLayout();
}

void WebPlatform::setWindowVisible(WindowHandle window, bool visible) {
    WindowState* w = find(window);
    if (!w) return;
    // A window shown comes to the front, as on a desktop.
    if (visible && !w->visible) w->z = ++zCounter_;
    w->visible = visible;
    place(window, *w);
}

void WebPlatform::setWindowOwner(WindowHandle window, WindowHandle owner) {
    WindowState* w = find(window);
    const WindowState* o = find(owner);
    if (!w || !o || w->z > o->z) return;
    w->z = ++zCounter_;
    place(window, *w);
}

// The shape stays here: the backend hit-tests, and put clears the pixels
// outside it. The next present puts the whole window, so that every
// pixel's alpha follows.
void WebPlatform::setWindowShape(WindowHandle window, const Region* shape) {
    WindowState* w = find(window);
    if (!w || sameShape(w->shape.shape(), shape)) return;
    w->shape.set(shape, w->bounds.height);
    w->presentWhole = true;
    const Size corners = cornerRadii(shape, scale_);
    velmora_web_canvas_corners(int(window), corners.width, corners.height);
}

void WebPlatform::place(WindowHandle window, const WindowState& w) {
    const double s = scale_;
    velmora_web_canvas_place(int(window), w.bounds.width, w.bounds.height, w.bounds.x / s, w.bounds.y / s,
                             w.bounds.width / s, w.bounds.height / s, w.z, w.visible ? 1 : 0);
}

void WebPlatform::reportLayout() {
    const std::optional<Size> largest = largestWindow(windows_, scale_);
    velmora_web_layout(kStageWidth, kStageHeight, largest ? largest->width : 0, largest ? largest->height : 0);
}

void WebPlatform::removeCanvases() {
    for (const auto& [handle, w] : windows_) velmora_web_canvas_remove(int(handle));
}

}  // namespace rt::platform::web
