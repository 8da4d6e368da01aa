#include "headless_platform.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>

#include "../local_time.h"

namespace rt::platform {

HeadlessPlatform::HeadlessPlatform(HeadlessOptions options) : options_(std::move(options)) {}

ScreenMetrics HeadlessPlatform::screen() {
    return {options_.monitor, options_.dpi, options_.scale};
}

WindowHandle HeadlessPlatform::createWindow(const WindowOptions& options) {
    std::lock_guard lock(mutex_);
    const WindowHandle handle = nextHandle_++;
    HeadlessWindow& w = windows_[handle];
    w.options = options;
    w.bounds = {options.x, options.y, options.width, options.height};
    w.screen = Bitmap(options.width, options.height, 0);
    order_.push_back(handle);
    return handle;
}

void HeadlessPlatform::destroyWindow(WindowHandle window) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    it->second.destroyed = true;
    it->second.visible = false;
    queue_.forget(window);
}

void HeadlessPlatform::setWindowBounds(WindowHandle window, const Rect& outer) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    HeadlessWindow& w = it->second;
    if (outer.width != w.bounds.width || outer.height != w.bounds.height)
        w.screen = Bitmap(outer.width, outer.height, 0);
    w.bounds = outer;
}

void HeadlessPlatform::setWindowVisible(WindowHandle window, bool visible) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    it->second.visible = visible;
    it->second.everShown = it->second.everShown || visible;
}

void HeadlessPlatform::setWindowOwner(WindowHandle window, WindowHandle owner) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    if (it != windows_.end()) it->second.owner = owner;
}

void HeadlessPlatform::setWindowShape(WindowHandle window, const Region* shape) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    HeadlessWindow& w = it->second;
    ++w.shapeRequests;
    if (!options_.shapeSupported || sameShape(w.shape, shape)) return;
    ++w.shapeChanges;
    w.shape = shapeOf(shape);
}

namespace {

// A window's screen at the frame's size: one of another size showed
// nothing of this frame, so it starts blank (nothing to keep, or to move).
HeadlessWindow& screenFor(HeadlessWindow& w, const Bitmap& frame) {
    if (w.screen.width() != frame.width() || w.screen.height() != frame.height())
        w.screen = Bitmap(frame.width(), frame.height(), 0);
    return w;
}

}  // namespace

void HeadlessPlatform::present(WindowHandle window, const Bitmap& frame, std::span<const Rect> dirty) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    HeadlessWindow& w = screenFor(it->second, frame);
    for (const Rect& r : dirty) {
        const Rect c = r.intersect(frame.bounds());
        for (int y = c.y; y < c.bottom(); ++y)
            std::copy(frame.row(y) + c.x, frame.row(y) + c.right(), w.screen.row(y) + c.x);
        w.lastPresented = c;
    }
    ++w.presents;
}

void HeadlessPlatform::presentMove(WindowHandle window, const Bitmap& frame, const Rect& from, int dx, int dy,
                                   std::span<const Rect> exposed) {
    {
        std::lock_guard lock(mutex_);
        auto it = windows_.find(window);
        if (it == windows_.end()) return;
        HeadlessWindow& w = screenFor(it->second, frame);
        w.screen.move(from, dx, dy);
        ++w.moves;
        w.lastMoveFrom = from;
        w.lastMoveX = dx;
        w.lastMoveY = dy;
        w.lastMoveExposed.assign(exposed.begin(), exposed.end());
    }
    present(window, frame, exposed);
}

void HeadlessPlatform::setCursor(WindowHandle window, const PictureRef& cursor) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    it->second.cursor = cursor;
    ++it->second.cursorChanges;
}

void HeadlessPlatform::describeWindow(WindowHandle window, const WindowSemantics& semantics) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    it->second.semantics = semantics;
    ++it->second.describes;
}

void HeadlessPlatform::openDocument(const DocumentRequest& request) {
    std::lock_guard lock(mutex_);
    documents_.push_back(request);
}

void HeadlessPlatform::reportError(const std::string& message) {
    {
        std::lock_guard lock(mutex_);
        errors_.push_back(message);
    }
    std::fprintf(stderr, "%s\n", message.c_str());
}

double HeadlessPlatform::monotonicSeconds() {
    std::lock_guard lock(mutex_);
    return now_;
}

LocalDateTime HeadlessPlatform::localNow() {
    double t;
    {
        std::lock_guard lock(mutex_);
        t = now_;
    }
    return localDateTimeAfter(options_.start, t);
}

std::optional<Event> HeadlessPlatform::waitEvent(double deadline) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (shutdown_) throw HeadlessShutdown{};
        if (std::optional<Event> e = queue_.pop()) return e;
        if (deadline <= allowed_) {
            if (deadline > now_) now_ = deadline;
            return std::nullopt;
        }
        // The program wants to wait beyond what the test allowed: it parks
        // at the allowance until the test posts an event or allows more.
        now_ = std::max(now_, allowed_);
        parked_ = true;
        changed_.notify_all();
        changed_.wait(lock, [&] { return wakeup_ || shutdown_; });
        wakeup_ = false;
        parked_ = false;
    }
}

double HeadlessPlatform::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

std::vector<WindowHandle> HeadlessPlatform::windowHandles() const {
    std::lock_guard lock(mutex_);
    return order_;
}

const HeadlessWindow& HeadlessPlatform::window(WindowHandle handle) const {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(handle);
    if (it == windows_.end()) throw std::out_of_range("no such headless window");
    return it->second;
}

std::vector<std::string> HeadlessPlatform::openedUrls() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> files;
    for (const DocumentRequest& d : documents_) files.push_back(d.file);
    return files;
}

std::vector<DocumentRequest> HeadlessPlatform::openedDocuments() const {
    std::lock_guard lock(mutex_);
    return documents_;
}

std::vector<std::string> HeadlessPlatform::errorReports() const {
    std::lock_guard lock(mutex_);
    return errors_;
}

void HeadlessPlatform::destroyFromOutside(WindowHandle window) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    if (it == windows_.end() || it->second.destroyed) return;
    it->second.destroyed = true;
    it->second.visible = false;
    queue_.forget(window);
    queue_.push(EventType::Destroyed, window);
}

bool HeadlessPlatform::deliverable(const Event& event) const {
    auto it = windows_.find(event.window);
    if (it == windows_.end() || it->second.destroyed || !it->second.visible) return false;
    const HeadlessWindow& w = it->second;
    if (event.type == EventType::Expose || event.type == EventType::CloseRequest) return true;
    if (!Rect{0, 0, w.bounds.width, w.bounds.height}.contains(event.x, event.y)) return false;
    return !w.shape || w.shape->contains(event.x, event.y);
}

bool HeadlessPlatform::post(const Event& event) {
    std::lock_guard lock(mutex_);
    if (!deliverable(event)) return false;
    queue_.push(event);
    return true;
}

bool HeadlessPlatform::pointer(EventType type, WindowHandle window, int x, int y, int button) {
    std::lock_guard lock(mutex_);
    const Event e = makeEvent(type, window, x, y, button);
    if (!deliverable(e)) return false;
    // The desktop's event clock: the virtual clock in milliseconds.
    const auto timeMs = std::uint32_t(std::llround(now_ * 1000.0));
    switch (type) {
        case EventType::Press: queue_.press(window, button, x, y, timeMs); break;
        // A deliverable point lies inside the window.
        case EventType::Release: queue_.release(window, button, x, y, true); break;
        default: queue_.push(e); break;
    }
    return true;
}

void HeadlessPlatform::endClickPair() {
    std::lock_guard lock(mutex_);
    queue_.clicks().reset();
}

void HeadlessPlatform::allowUntil(double time) {
    std::lock_guard lock(mutex_);
    allowed_ = std::max(allowed_, time);
    wakeup_ = true;
    changed_.notify_all();
}

void HeadlessPlatform::waitUntilParked() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return finished_ || (parked_ && !wakeup_); });
}

void HeadlessPlatform::programFinished() {
    std::lock_guard lock(mutex_);
    finished_ = true;
    changed_.notify_all();
}

void HeadlessPlatform::shutdown() {
    std::lock_guard lock(mutex_);
    shutdown_ = true;
    changed_.notify_all();
}

bool HeadlessPlatform::finished() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

// ------------------------------------------------------------- session

HeadlessSession::HeadlessSession(HeadlessOptions options) : platform_(std::move(options)) {}

HeadlessSession::~HeadlessSession() {
    if (thread_.joinable()) {
        platform_.shutdown();
        thread_.join();
    }
}

void HeadlessSession::start(std::function<int(Platform&)> program) {
    thread_ = std::thread([this, program = std::move(program)] {
        try {
            exitCode_ = program(platform_);
        } catch (const HeadlessShutdown&) {
            exitCode_ = -1;
        }
        platform_.programFinished();
    });
    platform_.waitUntilParked();
}

void HeadlessSession::advanceTo(double t) {
    if (platform_.finished()) return;
    platform_.allowUntil(t);
    platform_.waitUntilParked();
}

// Presses, releases and moves, each taken by the program before the next,
// as a real desktop delivers them one after the other.
bool HeadlessSession::deliver(std::initializer_list<EventType> types, WindowHandle window, int x, int y) {
    if (platform_.finished()) return false;
    for (EventType type : types) {
        if (!platform_.pointer(type, window, x, y, type == EventType::Move ? 0 : 1)) return false;
        settle();
        if (platform_.finished()) return true;
    }
    return true;
}

void HeadlessSession::settle() {
    platform_.allowUntil(platform_.now());
    platform_.waitUntilParked();
}

bool HeadlessSession::press(WindowHandle w, int x, int y) { return deliver({EventType::Press}, w, x, y); }
bool HeadlessSession::release(WindowHandle w, int x, int y) { return deliver({EventType::Release}, w, x, y); }
bool HeadlessSession::click(WindowHandle w, int x, int y) {
    platform_.endClickPair();
    return deliver({EventType::Press, EventType::Release}, w, x, y);
}
bool HeadlessSession::doubleClick(WindowHandle w, int x, int y) {
    platform_.endClickPair();
    return deliver({EventType::Press, EventType::Release, EventType::Press, EventType::Release}, w, x, y);
}
bool HeadlessSession::move(WindowHandle w, int x, int y) { return deliver({EventType::Move}, w, x, y); }

void HeadlessSession::destroyWindowFromOutside(WindowHandle window) {
    if (platform_.finished()) return;
    platform_.destroyFromOutside(window);
    settle();
}

}  // namespace rt::platform
