// The web backend (see web_platform.h for what it offers). The page side,
// canvases, pointer listeners and the wait, is web_platform.js, linked in as
// the module's JavaScript library; this file keeps the program's side: the
// event queue, clicks and double-clicks, shapes and the pixels.
#include "web_platform.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <vector>

#include "../click_tracker.h"
#include "../event_queue.h"
#include "../local_time.h"
#include "../picture_cache.h"
#include "../window_shape.h"

// The JavaScript side, web_platform.js.
extern "C" {
double velmora_web_device_pixel_ratio();
void velmora_web_create(int window, int x, int y, int width, int height, int scale);
void velmora_web_destroy(int window);
void velmora_web_bounds(int window, int x, int y, int width, int height);
void velmora_web_visible(int window, int visible);
void velmora_web_owner(int window, int owner);
void velmora_web_shape(int window, const int* spans, int count);
void velmora_web_put(int window, const std::uint8_t* rgba, int x, int y, int width, int height);
void velmora_web_cursor_make(int cursor, const std::uint8_t* rgba, int width, int height, int hotspotX,
                             int hotspotY, int scale);
void velmora_web_cursor_free(int cursor);
void velmora_web_cursor(int window, int cursor);
void velmora_web_open(const char* address);
void velmora_web_error(const char* message);
void velmora_web_local_time(int* fields, double* fraction);
int velmora_web_take_input(int* records, int capacity);
void velmora_web_wait(double milliseconds);
void velmora_web_ended();
std::uint8_t* velmora_web_fetched_file(const char* name, int* size);
}

namespace rt::platform {

int webDeviceScale(double devicePixelRatio) {
    if (!(devicePixelRatio > 1.0)) return 1;
    // A ratio a hair above a whole number (1.0000001 from a zoom rounding)
    // keeps that number.
    return std::clamp(int(std::ceil(devicePixelRatio - 0.01)), 1, 4);
}

namespace {

// One raw pointer record from web_platform.js, in device pixels of the
// window it was delivered to.
enum RawType { kRawPress = 1, kRawRelease = 2, kRawMove = 3, kRawLeave = 4 };
constexpr int kRawFields = 8;  // type, window, x, y, button, time (ms), inside, touch

struct WebWindow {
    Rect bounds;
    WindowShape shape;
    int cursor = 0;  // the CSS cursor shown over it; 0: the arrow
    // Where each row's spans start in shape->spans, height + 1 entries.
    std::vector<std::size_t> rowStart;
    bool presentWhole = false;  // the shape changed: the alpha of every pixel must follow
};

class WebPlatform final : public Platform {
public:
    // A finger lands less precisely than a mouse: a second tap within a
    // fingertip of the first still makes a double tap. The queue's own
    // tracker decides for the mouse and the pen.
    WebPlatform() : scale_(webDeviceScale(velmora_web_device_pixel_ratio())), touchClicks_(400, 24 * scale_) {}

    ~WebPlatform() override {
        for (const auto& [handle, window] : windows_) velmora_web_destroy(int(handle));
        cursors_.clear([](int cursor) { velmora_web_cursor_free(cursor); });
        velmora_web_ended();
    }

    // The page is a virtual monitor of a fixed size: the card is centred on
    // it, and the page keeps that centre in the middle of the viewport.
    ScreenMetrics screen() override {
        ScreenMetrics metrics;
        metrics.monitor = {0, 0, kStageWidth * scale_, kStageHeight * scale_};
        metrics.dpi = 96.0 * scale_;
        metrics.scale = scale_;
        return metrics;
    }

    WindowHandle createWindow(const WindowOptions& options) override {
        const WindowHandle handle = nextHandle_++;
        WebWindow& w = windows_[handle];
        w.bounds = {options.x, options.y, std::max(1, options.width), std::max(1, options.height)};
        velmora_web_create(int(handle), w.bounds.x, w.bounds.y, w.bounds.width, w.bounds.height, scale_);
        return handle;
    }

    void destroyWindow(WindowHandle window) override {
        if (windows_.erase(window) == 0) return;
        velmora_web_destroy(int(window));
        queue_.forget(window);
        touchClicks_.reset();
    }

    void setWindowBounds(WindowHandle window, const Rect& outer) override {
        WebWindow* w = find(window);
        if (!w) return;
        const bool resized = outer.width != w->bounds.width || outer.height != w->bounds.height;
        w->bounds = {outer.x, outer.y, std::max(1, outer.width), std::max(1, outer.height)};
        velmora_web_bounds(int(window), w->bounds.x, w->bounds.y, w->bounds.width, w->bounds.height);
        if (resized) {
            // A canvas loses its pixels when its size changes.
            Event e;
            e.type = EventType::Expose;
            e.window = window;
            e.area = {0, 0, w->bounds.width, w->bounds.height};
            queue_.push(e);
            if (w->shape) indexRows(*w);
        }
    }

    void setWindowVisible(WindowHandle window, bool visible) override {
        if (find(window)) velmora_web_visible(int(window), visible ? 1 : 0);
    }

    void setWindowOwner(WindowHandle window, WindowHandle owner) override {
        if (find(window)) velmora_web_owner(int(window), int(owner));
    }

    void setWindowShape(WindowHandle window, const Region* shape) override {
        WebWindow* w = find(window);
        if (!w) return;
        if (sameShape(w->shape, shape)) return;
        w->shape = shapeOf(shape);
        if (shape) {
            indexRows(*w);
            std::vector<int> spans;
            spans.reserve(shape->spans.size() * 3);
            for (const Span& s : shape->spans) spans.insert(spans.end(), {s.y, s.x0, s.x1});
            velmora_web_shape(int(window), spans.data(), int(shape->spans.size()));
        } else {
            w->rowStart.clear();
            velmora_web_shape(int(window), nullptr, -1);
        }
        w->presentWhole = true;
    }

    void present(WindowHandle window, const Bitmap& frame, std::span<const Rect> dirty) override {
        WebWindow* w = find(window);
        if (!w) return;
        if (w->presentWhole) {
            w->presentWhole = false;
            const Rect whole = frame.bounds();
            put(window, *w, frame, whole);
            return;
        }
        for (const Rect& r : dirty) put(window, *w, frame, r.intersect(frame.bounds()));
    }

    // The runtime's cursor picture becomes a CSS cursor (made once per
    // picture, see PictureCache) shown while the pointer is over the window.
    void setCursor(WindowHandle window, const PictureRef& picture) override {
        WebWindow* w = find(window);
        if (!w) return;
        int cursor = 0;
        if (picture && !picture->image().empty()) {
            cursor = cursors_.obtain(
                picture, [&](const Picture& p) { return makeCursor(p); },
                [&](int c) {
                    return std::any_of(windows_.begin(), windows_.end(),
                                       [&](const auto& entry) { return entry.second.cursor == c; });
                },
                [](int c) { velmora_web_cursor_free(c); });
        }
        if (cursor == w->cursor) return;
        w->cursor = cursor;
        velmora_web_cursor(int(window), cursor);
    }

    // A page has one way to open an address: a new tab, with no handle back
    // to the card. The browser names the file's handler itself.
    void openDocument(const DocumentRequest& request) override { velmora_web_open(request.file.c_str()); }

    void reportError(const std::string& message) override { velmora_web_error(message.c_str()); }

    double monotonicSeconds() override { return emscripten_get_now() / 1000.0; }

    LocalDateTime localNow() override {
        int f[6] = {};
        double fraction = 0;
        velmora_web_local_time(f, &fraction);
        return localDateTime(f[0], f[1], f[2], f[3], f[4], f[5], fraction);
    }

    // Hands control back to the browser until input arrives or the deadline
    // passes. A deadline already reached returns at once without yielding:
    // a browser holds every timeout for at least 4 ms, so yielding for
    // nothing would cost a whole tick.
    std::optional<Event> waitEvent(double deadline) override {
        for (;;) {
            takeInput();
            if (auto e = queue_.pop()) return e;
            const double left = deadline - monotonicSeconds();
            if (left <= 0) return std::nullopt;
            // Whole milliseconds rounded up: a timeout never fires early, so
            // one wait reaches the deadline.
            velmora_web_wait(std::isinf(left) ? -1.0 : std::ceil(left * 1000.0));
        }
    }

private:
    static constexpr int kStageWidth = 1024;  // logical pixels; keep in step with web_platform.js
    static constexpr int kStageHeight = 768;

    WebWindow* find(WindowHandle window) {
        auto it = windows_.find(window);
        return it == windows_.end() ? nullptr : &it->second;
    }

    int makeCursor(const Picture& picture) {
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
        velmora_web_cursor_make(cursor, rgba.data(), image.width(), image.height(), picture.hotspotX,
                                picture.hotspotY, scale_);
        return cursor;
    }

    static void indexRows(WebWindow& w) {
        const int height = w.bounds.height;
        w.rowStart.assign(std::size_t(height) + 1, w.shape->spans.size());
        for (std::size_t i = w.shape->spans.size(); i-- > 0;) {
            const int y = w.shape->spans[i].y;
            if (y >= 0 && y < height) w.rowStart[std::size_t(y)] = i;
        }
        // Rows without spans start where the next row does.
        for (int y = height; y-- > 0;)
            w.rowStart[std::size_t(y)] = std::min(w.rowStart[std::size_t(y)], w.rowStart[std::size_t(y) + 1]);
    }

    // Copies one rectangle of the frame into the staging buffer as the
    // canvas's RGBA bytes, transparent outside the window's shape, and puts
    // it on the canvas.
    void put(WindowHandle window, const WebWindow& w, const Bitmap& frame, const Rect& r) {
        if (r.empty()) return;
        staging_.resize(std::size_t(r.width) * std::size_t(r.height));
        for (int y = r.y; y < r.bottom(); ++y) {
            const Pixel* src = frame.row(y) + r.x;
            std::uint32_t* dst = staging_.data() + std::size_t(y - r.y) * std::size_t(r.width);
            // 0xAARRGGBB is stored B, G, R, A; the canvas wants R, G, B, A.
            for (int x = 0; x < r.width; ++x) {
                const Pixel p = src[x];
                dst[x] = (p & 0x0000FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16) | 0xFF000000u;
            }
            if (!w.shape) continue;
            // Clear what lies outside the row's spans.
            int covered = r.x;
            const auto clear = [&](int from, int to) {
                from = std::max(from, r.x);
                to = std::min(to, r.right());
                if (from < to) std::fill(dst + (from - r.x), dst + (to - r.x), 0u);
            };
            if (y >= 0 && std::size_t(y) + 1 < w.rowStart.size()) {
                for (std::size_t i = w.rowStart[std::size_t(y)]; i < w.rowStart[std::size_t(y) + 1]; ++i) {
                    const Span& s = w.shape->spans[i];
                    clear(covered, s.x0);
                    covered = std::max(covered, s.x1);
                }
            }
            clear(covered, r.right());
        }
        velmora_web_put(int(window), reinterpret_cast<const std::uint8_t*>(staging_.data()), r.x, r.y, r.width,
                        r.height);
    }

    // Turns the page's pointer records into the runtime's events: presses,
    // releases and moves as they came, clicks and double-clicks as the click
    // tracker decides them.
    void takeInput() {
        int records[kRawFields * 32];
        for (;;) {
            const int count = velmora_web_take_input(records, 32);
            for (int i = 0; i < count; ++i) translate(records + i * kRawFields);
            if (count < 32) return;
        }
    }

    void translate(const int* r) {
        const WindowHandle window = WindowHandle(r[1]);
        if (!find(window)) return;
        const int x = r[2], y = r[3], button = r[4];
        const std::uint32_t time = std::uint32_t(r[5]);
        const bool inside = r[6] != 0;
        switch (r[0]) {
            case kRawPress:
                if (r[7]) {
                    queue_.pressDecided(window, button, x, y, touchClicks_.press(window, button, x, y, time));
                } else {
                    queue_.press(window, button, x, y, time);
                }
                break;
            case kRawRelease: queue_.release(window, button, x, y, inside); break;
            case kRawMove: queue_.push(EventType::Move, window, x, y, 0); break;
            case kRawLeave: queue_.push(EventType::Leave, window, x, y, 0); break;
            default: break;
        }
    }

    int scale_;
    std::map<WindowHandle, WebWindow> windows_;
    WindowHandle nextHandle_ = 1;
    EventQueue queue_;
    ClickTracker touchClicks_;
    PictureCache<int> cursors_;
    int nextCursor_ = 1;
    std::vector<std::uint32_t> staging_;
};

}  // namespace

std::unique_ptr<Platform> makeWebPlatform() { return std::make_unique<WebPlatform>(); }

std::span<const std::uint8_t> webFetchedFile(const char* name) {
    int size = 0;
    const std::uint8_t* bytes = velmora_web_fetched_file(name, &size);
    if (!bytes) return {};
    return {bytes, std::size_t(size)};
}

}  // namespace rt::platform
