// The web backend's decisions (see web_logic.h); no browser needed.
#include "web_logic.h"

#include <algorithm>
#include <cmath>

namespace rt::platform::web {

int deviceScale(double devicePixelRatio) {
    if (!(devicePixelRatio > 1.0)) return 1;
    // A ratio a hair above a whole number (1.0000001 from a zoom rounding)
    // keeps that number.
    return std::clamp(int(std::ceil(devicePixelRatio - 0.01)), 1, 4);
}

// ----------------------------------------------------------- the shapes

Size cornerRadii(const Region* shape, int scale) {
    if (!shape || !shape->roundRect || scale < 1) return {};
    const Region::RoundRect& r = *shape->roundRect;
    // The corner ellipse never reaches past half the rectangle.
    const double w = std::min(r.ellipseWidth, r.width), h = std::min(r.ellipseHeight, r.height);
    return {std::max(0.0, w) / 2 / scale, std::max(0.0, h) / 2 / scale};
}

void IndexedShape::set(const Region* shape, int height) {
    shape_ = shapeOf(shape);
    resize(height);
}

void IndexedShape::resize(int height) {
    rowStart_.clear();
    if (!shape_) return;
    const std::vector<Span>& spans = shape_->spans;
    height = std::max(0, height);
    rowStart_.assign(std::size_t(height) + 1, spans.size());
    for (std::size_t i = spans.size(); i-- > 0;) {
        const int y = spans[i].y;
        if (y >= 0 && y < height) rowStart_[std::size_t(y)] = i;
    }
    // Rows without spans start where the next row does.
    for (int y = height; y-- > 0;)
        rowStart_[std::size_t(y)] = std::min(rowStart_[std::size_t(y)], rowStart_[std::size_t(y) + 1]);
}

std::span<const Span> IndexedShape::spansOf(int y) const {
    if (!shape_ || y < 0 || std::size_t(y) + 1 >= rowStart_.size()) return {};
    const std::size_t from = rowStart_[std::size_t(y)], to = rowStart_[std::size_t(y) + 1];
    return std::span<const Span>(shape_->spans).subspan(from, to - from);
}

bool IndexedShape::contains(int x, int y) const {
    if (!shape_) return true;
    for (const Span& s : spansOf(y))
        if (x >= s.x0 && x < s.x1) return true;
    return false;
}

bool IndexedShape::covers(int y, int x0, int x1) const {
    if (!shape_ || x0 >= x1) return true;
    int covered = x0;
    for (const Span& s : spansOf(y)) {
        if (s.x1 <= covered) continue;
        if (s.x0 > covered) return false;
        covered = s.x1;
        if (covered >= x1) return true;
    }
    return false;
}

void IndexedShape::clearOutside(std::uint32_t* row, int y, int x0, int x1) const {
    if (!shape_) return;
    int covered = x0;
    const auto clear = [&](int from, int to) {
        from = std::max(from, x0);
        to = std::min(to, x1);
        if (from < to) std::fill(row + (from - x0), row + (to - x0), 0u);
    };
    for (const Span& s : spansOf(y)) {
        clear(covered, s.x0);
        covered = std::max(covered, s.x1);
    }
    clear(covered, x1);
}

void canvasPixels(const Bitmap& frame, const Rect& area, const IndexedShape& shape, std::vector<std::uint32_t>& out) {
    const Rect r = area.intersect(frame.bounds());
    out.resize(std::size_t(std::max(0, r.width)) * std::size_t(std::max(0, r.height)));
    for (int y = r.y; y < r.bottom(); ++y) {
        const Pixel* src = frame.row(y) + r.x;
        std::uint32_t* dst = out.data() + std::size_t(y - r.y) * std::size_t(r.width);
        // 0xAARRGGBB is stored B, G, R, A; the canvas wants R, G, B, A.
        for (int x = 0; x < r.width; ++x) {
            const Pixel p = src[x];
            dst[x] = (p & 0x0000FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16) | 0xFF000000u;
        }
        shape.clearOutside(dst, y, r.x, r.right());
    }
}

// ---------------------------------------------------------- the windows

std::optional<Hit> hitTest(const Windows& windows, int x, int y) {
    const WindowState* best = nullptr;
    Hit hit;
    for (const auto& [handle, w] : windows) {
        if (!w.visible || !w.bounds.contains(x, y)) continue;
        const int wx = x - w.bounds.x, wy = y - w.bounds.y;
        if (!w.shape.contains(wx, wy)) continue;
        if (!best || w.z > best->z) {
            best = &w;
            hit = {handle, wx, wy};
        }
    }
    if (!best) return std::nullopt;
    return hit;
}

std::optional<Size> largestWindow(const Windows& windows, int scale) {
    if (windows.empty()) return std::nullopt;
    Size size;
    for (const auto& [handle, w] : windows) {
        size.width = std::max(size.width, double(w.bounds.width) / scale);
        size.height = std::max(size.height, double(w.bounds.height) / scale);
    }
    return size;
}

// ------------------------------------------------------- pointer input

std::string_view pointerFieldNames() {
#define VELMORA_WEB_NAME(name) "," #name
    static constexpr char names[] = VELMORA_WEB_POINTER_FIELDS(VELMORA_WEB_NAME);
#undef VELMORA_WEB_NAME
    return std::string_view(names + 1);
}

std::string_view pointerKindNames() {
#define VELMORA_WEB_NAME(name) "," #name
    static constexpr char names[] = VELMORA_WEB_POINTER_KINDS(VELMORA_WEB_NAME);
#undef VELMORA_WEB_NAME
    return std::string_view(names + 1);
}

namespace {

// Buttons as the runtime numbers them: 1 left, 2 middle, 3 right.
int runtimeButton(double domButton) { return domButton == 1 ? 2 : domButton == 2 ? 3 : 1; }

// The event's time as the click trackers count it: whole milliseconds,
// wrapping as a desktop's 32-bit event time does.
std::uint32_t eventTime(double timeStamp) {
    if (!(timeStamp > 0)) return 0;
    return std::uint32_t(std::fmod(std::floor(timeStamp), 4294967296.0));
}

}  // namespace

PointerOutcome PointerInput::take(const PointerRecord& r, const Windows& windows, EventQueue& queue) {
    // Device pixels of the stage; a point no screen has (or no number at
    // all) is nobody's.
    constexpr double kFar = 1 << 24;
    const double px = std::floor(r.x * scale_), py = std::floor(r.y * scale_);
    if (!(std::abs(px) < kFar && std::abs(py) < kFar)) return {};
    const int x = int(px), y = int(py);
    const int kind = int(r.kind);
    switch (PointerKind(kind)) {
        case PointerKind::pointerdown: {
            if (r.button > 2) return {};  // back, forward: the browser's
            const auto hit = hitTest(windows, x, y);
            if (!hit) return {};  // outside every shape: the page beneath takes it
            captured_ = hit->window;
            hover(hit->window, queue);
            flush(queue);
            const int button = runtimeButton(r.button);
            if (r.touch != 0) {
                const bool isDouble = touchClicks_.press(hit->window, button, hit->x, hit->y, eventTime(r.time));
                queue.pressDecided(hit->window, button, hit->x, hit->y, isDouble);
            } else {
                queue.press(hit->window, button, hit->x, hit->y, eventTime(r.time));
            }
            return {true, true};
        }
        case PointerKind::pointerup:
        case PointerKind::pointercancel: {
            const WindowHandle window = captured_;
            if (window == kNoWindow) return {};
            captured_ = kNoWindow;
            const auto it = windows.find(window);
            if (it == windows.end()) return {};
            const WindowState& w = it->second;
            const int wx = x - w.bounds.x, wy = y - w.bounds.y;
            const bool inside = PointerKind(kind) == PointerKind::pointerup && wx >= 0 && wy >= 0 &&
                                wx < w.bounds.width && wy < w.bounds.height && w.shape.contains(wx, wy);
            flush(queue);
            queue.release(window, runtimeButton(r.button), wx, wy, inside);
            return {true, true};
        }
        case PointerKind::pointermove: {
            // A held press gets every move, inside its window or not.
            if (const auto it = windows.find(captured_); it != windows.end()) {
                queueMove(captured_, x - it->second.bounds.x, y - it->second.bounds.y, queue);
                return {false, true};
            }
            const auto hit = hitTest(windows, x, y);
            const WindowHandle before = hovered_;
            hover(hit ? hit->window : kNoWindow, queue);
            if (!hit) return {false, before != hovered_};
            queueMove(hit->window, hit->x, hit->y, queue);
            return {false, true};
        }
        case PointerKind::contextmenu:
            // No context menu over the card's windows.
            return {hitTest(windows, x, y).has_value(), false};
    }
    return {};
}

void PointerInput::hover(WindowHandle window, EventQueue& queue) {
    if (hovered_ != kNoWindow && hovered_ != window) {
        flush(queue);
        queue.push(EventType::Leave, hovered_, 0, 0, 0);
    }
    hovered_ = window;
}

void PointerInput::queueMove(WindowHandle window, int x, int y, EventQueue& queue) {
    if (pendingMove_ && pendingMove_->window == window) {
        pendingMove_->x = x;
        pendingMove_->y = y;
        return;
    }
    flush(queue);
    pendingMove_ = makeEvent(EventType::Move, window, x, y, 0);
}

void PointerInput::flush(EventQueue& queue) {
    if (!pendingMove_) return;
    queue.push(*pendingMove_);
    pendingMove_.reset();
}

void PointerInput::forget(WindowHandle window) {
    if (captured_ == window) captured_ = kNoWindow;
    if (hovered_ == window) hovered_ = kNoWindow;
    if (pendingMove_ && pendingMove_->window == window) pendingMove_.reset();
    touchClicks_.reset();
}

// ------------------------------------------------------------ the clock

void VisibleClock::setHidden(bool hidden, double now) {
    if (hidden && !hiddenSince_) {
        hiddenSince_ = now;
    } else if (!hidden && hiddenSince_) {
        hiddenTotal_ += std::max(0.0, now - *hiddenSince_);
        hiddenSince_.reset();
    }
}

double VisibleClock::seconds(double now) const { return (hiddenSince_ ? *hiddenSince_ : now) - hiddenTotal_; }

// ------------------------------------------------------------- the pack

PackFiles readPack(std::span<const std::uint8_t> pack) {
    PackFiles files;
    std::size_t at = 0;
    while (at < pack.size()) {
        const auto zero = std::find(pack.begin() + std::ptrdiff_t(at), pack.end(), std::uint8_t(0));
        if (zero == pack.end()) break;
        const std::size_t nameEnd = std::size_t(zero - pack.begin());
        if (pack.size() - nameEnd < 5) break;  // no room for the size
        const std::uint8_t* b = pack.data() + nameEnd + 1;
        const std::uint32_t length =
            std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24;
        const std::size_t body = nameEnd + 5;
        if (length > pack.size() - body) break;  // cut off, or a size past the end: keep what is whole
        files.insert_or_assign(std::string_view(reinterpret_cast<const char*>(pack.data() + at), nameEnd - at),
                               pack.subspan(body, length));
        at = body + length;
    }
    return files;
}

// --------------------------------------------------------- moving pixels

MovePlan planMove(const IndexedShape& shape, const Rect& window, const Rect& from, int dx, int dy) {
    MovePlan plan;
    const Rect dest = from.offset(dx, dy).intersect(window);
    if (dest.empty()) return plan;
    // What of the destination has its source inside the window.
    const Rect source = dest.offset(-dx, -dy).intersect(window);
    const Rect moved = source.offset(dx, dy);
    if (moved.empty()) {
        plan.puts.push_back(dest);
        return plan;
    }
    // The destination outside `moved`: strips above, below, left and right.
    if (moved.y > dest.y) plan.puts.push_back({dest.x, dest.y, dest.width, moved.y - dest.y});
    if (moved.bottom() < dest.bottom())
        plan.puts.push_back({dest.x, moved.bottom(), dest.width, dest.bottom() - moved.bottom()});
    if (moved.x > dest.x) plan.puts.push_back({dest.x, moved.y, moved.x - dest.x, moved.height});
    if (moved.right() < dest.right())
        plan.puts.push_back({moved.right(), moved.y, dest.right() - moved.right(), moved.height});
    // Runs of rows that can be copied, and runs that cannot.
    int runStart = moved.y;
    bool runCopies = false;
    const auto close = [&](int end) {
        if (end <= runStart) return;
        if (runCopies)
            plan.copies.push_back({source.x, runStart - dy, source.width, end - runStart});
        else
            plan.puts.push_back({moved.x, runStart, moved.width, end - runStart});
    };
    for (int y = moved.y; y < moved.bottom(); ++y) {
        const bool copies = shape.covers(y - dy, source.x, source.right()) && shape.covers(y, moved.x, moved.right());
        if (y == moved.y) {
            runCopies = copies;
        } else if (copies != runCopies) {
            close(y);
            runStart = y;
            runCopies = copies;
        }
    }
    close(moved.bottom());
    // Moving down, the lower bands go first: each writes below what the
    // bands above still have to read.
    if (dy > 0) std::reverse(plan.copies.begin(), plan.copies.end());
    return plan;
}

}  // namespace rt::platform::web
