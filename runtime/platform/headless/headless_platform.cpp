#include "headless_platform.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>

namespace rt::platform {

namespace {

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
long daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(long z, int& y, int& m, int& d) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(yoe + era * 400 + (m <= 2));
}

}  // namespace

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
    if (!options_.shapeSupported) return;
    std::optional<Region> next;
    if (shape) next = *shape;
    if (next != w.shape) ++w.shapeChanges;
    w.shape = std::move(next);
}

void HeadlessPlatform::present(WindowHandle window, const Bitmap& frame, std::span<const Rect> dirty) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    HeadlessWindow& w = it->second;
    if (w.screen.width() != frame.width() || w.screen.height() != frame.height())
        w.screen = Bitmap(frame.width(), frame.height(), 0);
    for (const Rect& r : dirty) {
        const Rect c = r.intersect(frame.bounds());
        for (int y = c.y; y < c.bottom(); ++y)
            std::copy(frame.row(y) + c.x, frame.row(y) + c.right(), w.screen.row(y) + c.x);
        w.lastPresented = c;
    }
    ++w.presents;
}

void HeadlessPlatform::setCursor(WindowHandle window, const PictureRef& cursor) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    it->second.cursor = cursor;
    ++it->second.cursorChanges;
}

void HeadlessPlatform::openDocument(WindowHandle owner, const std::string& operation, const std::string& file,
                                    const std::string& parameters, const std::string& directory,
                                    int showCommand) {
    std::lock_guard lock(mutex_);
    documents_.push_back({owner, operation, file, parameters, directory, showCommand});
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
    const LocalDateTime& s = options_.start;
    const double since = s.secondsSinceMidnight + t;
    const double wholeDays = std::floor(since / 86400.0);
    LocalDateTime out;
    civilFromDays(daysFromCivil(s.year, s.month, s.day) + long(wholeDays), out.year, out.month, out.day);
    out.secondsSinceMidnight = since - wholeDays * 86400.0;
    const long secs = long(std::floor(out.secondsSinceMidnight));
    out.hour = int(secs / 3600);
    out.minute = int(secs / 60 % 60);
    out.second = int(secs % 60);
    return out;
}

std::optional<Event> HeadlessPlatform::waitEvent(double deadline) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (shutdown_) throw HeadlessShutdown{};
        if (!queue_.empty()) {
            Event e = queue_.front();
            queue_.pop_front();
            return e;
        }
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
    for (const OpenedDocument& d : documents_) files.push_back(d.file);
    return files;
}

std::vector<OpenedDocument> HeadlessPlatform::openedDocuments() const {
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
    Event e;
    e.type = EventType::Destroyed;
    e.window = window;
    queue_.push_back(e);
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
    queue_.push_back(event);
    return true;
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

bool HeadlessSession::deliver(std::initializer_list<EventType> types, WindowHandle window, int x, int y) {
    if (platform_.finished()) return false;
    for (EventType type : types) {
        Event e;
        e.type = type;
        e.window = window;
        e.x = x;
        e.y = y;
        if (!platform_.post(e)) return false;
        // Let the program take each event before the next, as a real desktop
        // delivers them one after the other.
        platform_.allowUntil(platform_.now());
        platform_.waitUntilParked();
        if (platform_.finished()) return true;
    }
    return true;
}

bool HeadlessSession::press(WindowHandle w, int x, int y) { return deliver({EventType::Press}, w, x, y); }
bool HeadlessSession::release(WindowHandle w, int x, int y) { return deliver({EventType::Release}, w, x, y); }
bool HeadlessSession::click(WindowHandle w, int x, int y) {
    return deliver({EventType::Press, EventType::Release, EventType::Click}, w, x, y);
}
bool HeadlessSession::doubleClick(WindowHandle w, int x, int y) {
    return deliver({EventType::Press, EventType::Release, EventType::Click, EventType::Press,
                    EventType::DoubleClick, EventType::Release},
                   w, x, y);
}
bool HeadlessSession::move(WindowHandle w, int x, int y) { return deliver({EventType::Move}, w, x, y); }

void HeadlessSession::destroyWindowFromOutside(WindowHandle window) {
    if (platform_.finished()) return;
    platform_.destroyFromOutside(window);
    platform_.allowUntil(platform_.now());
    platform_.waitUntilParked();
}

}  // namespace rt::platform
