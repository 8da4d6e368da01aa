#include "application.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <limits>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "builtins.h"
#include "graphics/errors.h"

namespace rt {

namespace {

Application* currentApplication = nullptr;

// Counts nested event loops; the outermost loop is the only place where no
// handler is on the stack.
struct LoopLevel {
    explicit LoopLevel(int& depth) : depth_(depth) { ++depth_; }
    ~LoopLevel() { --depth_; }
    int& depth_;
};

}  // namespace

Application::Application(platform::Platform& platform, ApplicationOptions options)
    : platform_(platform), options_(std::move(options)) {
    currentApplication = this;
    resetRnd();
    text_ = std::make_unique<TextRenderer>();
    const platform::ScreenMetrics screen = platform_.screen();
    // A high-density screen shows every logical pixel as scale x scale
    // device pixels, and the runtime works at the density that leaves.
    // Below 96 dots per inch the windows' designs no longer fit their
    // captions; such a screen counts as 96, as Windows counts it.
    scale_ = platform::deviceScale(screen);
    dpi_ = std::max(screen.dpi / scale_, kMinimumDpi);
    twipsPerPixel_ = float(1440.0 / dpi_);
    reducedMotion_ = platform_.prefersReducedMotion();
    const double mono = platform_.monotonicSeconds();
    clockAnchor_ = platform_.localNow().secondsSinceMidnight - mono;
}

Application::~Application() {
    graveyard_.clear();
    if (currentApplication == this) currentApplication = nullptr;
}

Application& Application::current() {
    if (!currentApplication) throw RuntimeError(ErrorCode::ObjectRequired, "Object required");
    return *currentApplication;
}

float Application::timer() { return float(clockAnchor_ + platform_.monotonicSeconds()); }

// ------------------------------------------------------------- the loop

int Application::run(const std::function<void()>& startup) {
    try {
        {
            LoopLevel level(loopDepth_);
            startup();
        }
        loopUntil([this] { return forms_.empty(); });
        return 0;
    } catch (const EndProgram&) {
        return 0;
    } catch (const std::exception& error) {
        ended_ = true;
        reportFatal(error);
        return 1;
    }
}

void Application::loopUntil(const std::function<bool()>& done) {
    LoopLevel level(loopDepth_);
    while (!done()) pumpOnce(true);
}

void Application::pumpOnce(bool block) {
    if (loopDepth_ == 1) {
        collectGarbage();
        releaseFreedMemory();
    }
    presentAll();
    const double deadline = block ? nextDue() : -std::numeric_limits<double>::infinity();
    if (auto event = platform_.waitEvent(deadline)) dispatch(*event);
    fireDueTimers();
    presentAll();
}

void Application::doEvents() {
    LoopLevel level(loopDepth_);
    while (auto event = platform_.waitEvent(-std::numeric_limits<double>::infinity())) dispatch(*event);
    fireDueTimers();
    presentAll();
}

void Application::end() {
    ended_ = true;
    throw EndProgram{};
}

void Application::presentAll() {
    for (Form* form : forms_) {
        form->compose();
        form->describe();
    }
}

void Application::collectGarbage() { graveyard_.clear(); }

// The heap grows in bursts (a picture decoded on first use, a window
// composed whole) and the C library keeps what was freed for reuse, up to
// twice its largest recent block. A program that stays open for hours should
// hold only what it uses: every few seconds the outermost loop hands the
// freed memory back, which costs a few microseconds when there is none.
void Application::releaseFreedMemory() {
#if defined(__GLIBC__)
    constexpr double kInterval = 5.0;
    const double now = platform_.monotonicSeconds();
    if (now < nextMemoryRelease_) return;
    nextMemoryRelease_ = now + kInterval;
    malloc_trim(0);
#endif
}

void Application::retire(std::unique_ptr<Form> form) {
    if (form) graveyard_.push_back(std::move(form));
}

// ---------------------------------------------------------------- events

bool Application::inputBlocked(const Form& form) const {
    return !modalStack_.empty() && modalStack_.back() != &form;
}

Form* Application::formFor(platform::WindowHandle window) const {
    for (Form* form : forms_)
        if (form->hWnd() == window) return form;
    return nullptr;
}

void Application::dispatch(const platform::Event& event) {
    using platform::EventType;
    Form* form = formFor(event.window);
    if (!form) return;
    switch (event.type) {
        case EventType::Expose: {
            const Rect area = event.area.intersect(form->framebuffer().bounds());
            if (!area.empty() && form->isVisible())
                platform_.present(form->hWnd(), form->framebuffer(), std::span<const Rect>(&area, 1));
            return;
        }
        case EventType::CloseRequest:
            if (!inputBlocked(*form)) unloadForm(*form);
            return;
        case EventType::Destroyed:
            // The window is gone whatever it was doing: the window counts as
            // unloaded, a modal loop waiting for it returns, and the program
            // ends when it was the last one.
            unloadForm(*form);
            return;
        case EventType::Leave: return;
        default: break;
    }
    // The pointer in logical pixels, the only pixels controls know.
    const int x = deviceToLogical(event.x, scale_), y = deviceToLogical(event.y, scale_);
    if (event.type == EventType::Move) refreshCursor(*form, x, y);
    if (inputBlocked(*form)) return;
    Control* target = form->controlAt(x, y);
    if (target && !target->Enabled()) return;
    switch (event.type) {
        case EventType::Press:
            pressedForm_ = form;
            pressedControl_ = target;
            break;
        case EventType::Click:
            // A click belongs to the control that took the press.
            if (form != pressedForm_ || target != pressedControl_) return;
            if (target) {
                if (target->Click) target->Click();
            } else if (form->Click) {
                form->Click();
            }
            break;
        case EventType::DoubleClick:
            if (target && target->DblClick) target->DblClick();
            break;
        case EventType::Move: {
            const float tx = twipsPerPixel_, ty = twipsPerPixel_;
            if (target) {
                const Rect client = target->frameClientBounds();
                if (target->MouseMove)
                    target->MouseMove(0, 0, float(x - client.x) * tx, float(y - client.y) * ty);
            } else if (form->MouseMove) {
                const Rect client = form->clientPixelBounds();
                form->MouseMove(0, 0, float(x - client.x) * tx, float(y - client.y) * ty);
            }
            break;
        }
        default: break;
    }
}

void Application::refreshCursor(Form& form, int x, int y) {
    PictureRef cursor;
    if (!inputBlocked(form)) {
        const Control* c = form.controlAt(x, y);
        if (c && c->MousePointer == kPointerCustom) cursor = c->MouseIcon;
    }
    auto it = std::find_if(cursors_.begin(), cursors_.end(),
                           [&](const CursorState& s) { return s.window == form.hWnd(); });
    if (it == cursors_.end()) {
        cursors_.push_back({form.hWnd(), nullptr});
        it = cursors_.end() - 1;
        if (!cursor) return;  // a new window starts with the arrow
    }
    // The picture is held, so no other picture can take its address.
    if (it->cursor == cursor) return;
    it->cursor = cursor;
    platform_.setCursor(form.hWnd(), deviceCursor(cursor));
}

PictureRef Application::deviceCursor(const PictureRef& cursor) {
    if (!cursor || scale_ == 1) return cursor;
    for (const auto& [picture, drawn] : deviceCursors_)
        if (picture == cursor) return drawn;
    deviceCursors_.emplace_back(cursor, pictureAtScale(cursor, scale_));
    return deviceCursors_.back().second;
}

// -------------------------------------------------------------- windows

void Application::loadForm(Form& form) {
    if (form.loaded()) return;
    form.createWindow();
    forms_.push_back(&form);
    for (const auto& control : form.controls())
        if (control->kind() == ControlKind::Timer) timerChanged(static_cast<TimerControl&>(*control));
    if (form.Load) form.Load();
}

void Application::unloadForm(Form& form) {
    if (!form.loaded()) return;
    const platform::WindowHandle window = form.hWnd();
    std::erase_if(cursors_, [&](const CursorState& s) { return s.window == window; });
    std::erase_if(timers_, [&](const ScheduledTimer& t) { return &t.timer->form() == &form; });
    std::erase(modalStack_, &form);
    std::erase(forms_, &form);
    if (pressedForm_ == &form) {
        pressedForm_ = nullptr;
        pressedControl_ = nullptr;
    }
    form.destroyWindow();
}

platform::WindowHandle Application::modalOwnerFor(const Form& form) const {
    if (!modalStack_.empty() && modalStack_.back() != &form) return modalStack_.back()->hWnd();
    for (const Form* other : forms_)
        if (other != &form && other->isVisible()) return other->hWnd();
    return platform::kNoWindow;
}

void Application::runModal(Form& form) {
    modalStack_.push_back(&form);
    try {
        loopUntil([&form] { return !form.loaded(); });
    } catch (...) {
        std::erase(modalStack_, &form);
        throw;
    }
    std::erase(modalStack_, &form);
}

// ---------------------------------------------------------------- timers

double Application::dueAfter(double start, int intervalMs) const {
    const double g = options_.timerGranularity;
    const double t = start + double(std::max(intervalMs, 1)) / 1000.0;
    return (std::floor(t / g) + 1.0) * g;
}

Application::ScheduledTimer* Application::findTimer(const TimerControl& timer) {
    for (ScheduledTimer& t : timers_)
        if (t.timer == &timer) return &t;
    return nullptr;
}

void Application::timerChanged(TimerControl& timer) {
    const bool ticking = timer.Enabled() && timer.Interval() > 0 && timer.form().loaded();
    ScheduledTimer* entry = findTimer(timer);
    if (!ticking) {
        if (entry) std::erase_if(timers_, [&](const ScheduledTimer& t) { return t.timer == &timer; });
        return;
    }
    const double due = dueAfter(monotonic(), timer.Interval());
    if (entry) {
        entry->due = due;
        ++entry->generation;
    } else {
        timers_.push_back({&timer, due});
    }
}

void Application::timerDestroyed(TimerControl& timer) {
    std::erase_if(timers_, [&](const ScheduledTimer& t) { return t.timer == &timer; });
}

double Application::nextDue() const {
    double next = std::numeric_limits<double>::infinity();
    for (const ScheduledTimer& t : timers_)
        if (!t.running) next = std::min(next, t.due);
    return next;
}

bool Application::fireDueTimers() {
    const double now = monotonic();
    // Most ticks have one timer due, the card's clock: it fires without
    // building a list, so a tick allocates nothing.
    ScheduledTimer* only = nullptr;
    int dueCount = 0;
    for (ScheduledTimer& t : timers_) {
        if (t.running || t.due > now) continue;
        only = &t;
        ++dueCount;
    }
    if (dueCount == 0) return false;
    if (dueCount == 1) {
        fire(*only);
        return true;
    }
    // Several: in the order they fell due, ties in scheduling order.
    std::vector<std::pair<double, TimerControl*>> due;
    due.reserve(std::size_t(dueCount));
    for (const ScheduledTimer& t : timers_) {
        if (t.running || t.due > now) continue;
        const auto at = std::upper_bound(due.begin(), due.end(), t.due,
                                         [](double when, const auto& entry) { return when < entry.first; });
        due.insert(at, {t.due, t.timer});
    }
    for (const auto& [when, timer] : due) {
        ScheduledTimer* entry = findTimer(*timer);
        // An earlier handler may have stopped, restarted or removed it.
        if (!entry || entry->running || entry->due > now) continue;
        fire(*entry);
    }
    return true;
}

// Runs a timer's handler. A tick of the same timer that falls due while the
// handler is suspended in DoEvents is dropped: a handler never runs inside
// itself, and the timer resumes its rhythm from the end of the handler.
void Application::fire(ScheduledTimer& scheduled) {
    TimerControl* timer = scheduled.timer;
    scheduled.running = true;
    const unsigned generation = scheduled.generation;
    auto finish = [&] {
        if (ScheduledTimer* entry = findTimer(*timer)) {
            entry->running = false;
            if (entry->generation == generation) entry->due = dueAfter(monotonic(), timer->Interval());
        }
    };
    try {
        if (timer->Tick) timer->Tick();
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

// ---------------------------------------------------------------- errors

std::string Application::errorReport(const std::exception& error) {
    if (const auto* runtimeError = dynamic_cast<const RuntimeError*>(&error))
        return "Run-time error '" + std::to_string(runtimeError->number()) + "': " + runtimeError->what();
    return std::string("Run-time error: ") + error.what();
}

void Application::reportFatal(const std::exception& error) { platform_.reportError(errorReport(error)); }

}  // namespace rt
