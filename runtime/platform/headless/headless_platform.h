// The headless backend: the whole program runs on it in tests, with no
// display, against a virtual clock.
//
// What it offers:
// - a virtual monotonic clock that moves only when the program waits, and a
//   wall clock that follows it from a chosen start date and time;
// - pointer events from the test: presses and releases through the click
//   tracker the desktops use (which adds clicks and double-clicks, timed by
//   the virtual clock), or any event posted as it is;
// - for every window: its bounds, visibility, shape (with a count of shape
//   requests), cursor, the pixels presented so far, a count of presents and
//   a record of moves, and the last description of what it shows (with a
//   count of them);
// - the user's wish for less motion, as the test sets it;
// - a record of the documents and web addresses opened (with everything
//   the program passed along) and of the error reports;
// - a window destroyed from outside, as another program can do it.
//
// HeadlessSession runs the program on a thread of its own and hands control
// back and forth with the test, like a coroutine: the program runs until it
// waits for a time beyond what the test has allowed, then parks; the test
// inspects, posts events and allows more time. Nested event loops (modal
// windows, DoEvents) therefore work exactly as on a real desktop.
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../event_queue.h"
#include "../platform.h"
#include "../window_shape.h"

namespace rt::platform {

struct HeadlessOptions {
    double dpi = 96.0;
    int scale = 0;  // a scale the desktop states outright (1 to 4); 0: from dpi
    Rect monitor{0, 0, 1280, 1024};
    // The wall clock when the virtual clock reads 0.
    LocalDateTime start{2026, 12, 7, 10, 0, 0, 36000.0};
    bool shapeSupported = true;
    bool reducedMotion = false;  // the user has asked for less motion
};

struct HeadlessWindow {
    WindowOptions options;
    Rect bounds;
    bool visible = false;
    bool everShown = false;
    bool destroyed = false;
    WindowHandle owner = kNoWindow;  // the window it stays above
    Bitmap screen;                 // what has been presented, window-sized
    WindowShape shape;             // none: rectangular
    int shapeRequests = 0;         // calls of setWindowShape
    int shapeChanges = 0;          // requests that changed the shape
    int presents = 0;
    Rect lastPresented;
    // presentMove: how often, the last move (its source and offset) and
    // the rectangles it presented besides.
    int moves = 0;
    Rect lastMoveFrom;
    int lastMoveX = 0, lastMoveY = 0;
    std::vector<Rect> lastMoveExposed;
    PictureRef cursor;
    int cursorChanges = 0;
    WindowSemantics semantics;  // the last description the runtime gave
    int describes = 0;          // calls of describeWindow
};

// Thrown inside the program's thread when a session shuts down early.
struct HeadlessShutdown {};

class HeadlessPlatform : public Platform {
public:
    explicit HeadlessPlatform(HeadlessOptions options = {});

    // Platform
    ScreenMetrics screen() override;
    WindowHandle createWindow(const WindowOptions& options) override;
    void destroyWindow(WindowHandle window) override;
    void setWindowBounds(WindowHandle window, const Rect& outer) override;
    void setWindowVisible(WindowHandle window, bool visible) override;
    void setWindowOwner(WindowHandle window, WindowHandle owner) override;
    void setWindowShape(WindowHandle window, const Region* shape) override;
    void present(WindowHandle window, const Bitmap& frame, std::span<const Rect> dirty) override;
    // Moves the pixels of `screen` itself, as a desktop copies what it
    // shows, so that a test sees any difference from the runtime's frame.
    void presentMove(WindowHandle window, const Bitmap& frame, const Rect& from, int dx, int dy,
                     std::span<const Rect> exposed) override;
    void setCursor(WindowHandle window, const PictureRef& cursor) override;
    void describeWindow(WindowHandle window, const WindowSemantics& semantics) override;
    bool prefersReducedMotion() override { return options_.reducedMotion; }
    void openDocument(const DocumentRequest& request) override;
    void reportError(const std::string& message) override;
    double monotonicSeconds() override;
    LocalDateTime localNow() override;
    std::optional<Event> waitEvent(double deadline) override;

    // For tests; safe while the program is parked.
    double now() const;
    std::vector<WindowHandle> windowHandles() const;  // in creation order
    const HeadlessWindow& window(WindowHandle handle) const;
    std::vector<std::string> openedUrls() const;  // the files of openedDocuments()
    std::vector<DocumentRequest> openedDocuments() const;  // each call of openDocument
    std::vector<std::string> errorReports() const;
    // Destroys the window as another program would (it disappears at once)
    // and tells the program so.
    void destroyFromOutside(WindowHandle window);
    // Queues an event at the current virtual time, as it is. Pointer events
    // outside the window's shape are not delivered (they would reach what
    // lies beneath); returns whether the event was queued.
    bool post(const Event& event);
    // Queues what a desktop makes of a pointer press, release or move at
    // the current virtual time: presses and releases go through the click
    // tracker the other backends use, which adds Click and DoubleClick.
    // Returns whether the pointer reached the window, as post() does.
    bool pointer(EventType type, WindowHandle window, int x, int y, int button = 1);
    // Ends the double-click pair in progress, as a pause longer than the
    // double-click interval would: the next press is a first press.
    void endClickPair();

    // Hand-over between the test and the program's thread.
    void allowUntil(double time);   // lets the program run up to this time
    void waitUntilParked();         // until the program waits beyond the allowance, or ends
    void programFinished();
    void shutdown();
    bool finished() const;

private:
    bool deliverable(const Event& event) const;

    HeadlessOptions options_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    double now_ = 0;
    double allowed_ = 0;
    bool parked_ = false;
    bool wakeup_ = false;
    bool finished_ = false;
    bool shutdown_ = false;
    EventQueue queue_;
    std::map<WindowHandle, HeadlessWindow> windows_;
    std::vector<WindowHandle> order_;
    WindowHandle nextHandle_ = 1;
    std::vector<DocumentRequest> documents_;
    std::vector<std::string> errors_;
};

// Runs a program on the headless platform, on a thread of its own.
class HeadlessSession {
public:
    explicit HeadlessSession(HeadlessOptions options = {});
    ~HeadlessSession();
    HeadlessSession(const HeadlessSession&) = delete;
    HeadlessSession& operator=(const HeadlessSession&) = delete;

    HeadlessPlatform& platform() { return platform_; }

    // Starts the program; returns once it first waits (or has ended).
    void start(std::function<int(Platform&)> program);
    // Lets virtual time run to t (or by dt); returns once the program waits
    // beyond it, or has ended.
    void advanceTo(double t);
    void advanceBy(double dt) { advanceTo(platform_.now() + dt); }
    bool finished() const { return platform_.finished(); }
    int exitCode() const { return exitCode_; }

    // Pointer input at the current time, handled before these return, with
    // clicks and double-clicks from the desktops' click tracker. Each
    // returns false when the point lies outside the window's shape.
    bool press(WindowHandle window, int x, int y);
    bool release(WindowHandle window, int x, int y);
    // A click on its own, as after a pause: press, release, click.
    bool click(WindowHandle window, int x, int y);
    // A click on its own, then press, double-click, release.
    bool doubleClick(WindowHandle window, int x, int y);
    bool move(WindowHandle window, int x, int y);
    // Destroys the window from outside and lets the program react.
    void destroyWindowFromOutside(WindowHandle window);

private:
    bool deliver(std::initializer_list<EventType> types, WindowHandle window, int x, int y);
    // Lets the program take what the last event queued before going on.
    void settle();

    HeadlessPlatform platform_;
    std::thread thread_;
    int exitCode_ = -1;
};

}  // namespace rt::platform
