// The application: the event loop, the timers, the clock, the windows that
// are loaded, modality and the end of the program.
//
// One user-interface thread. A platform event or a due timer enters the
// loop, which calls the handler bound to it; after every handler the
// windows' compositors present what changed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "form.h"
#include "graphics/text.h"
#include "platform/platform.h"

namespace rt {

// Timers tick on a grid of this many seconds, as the classic desktop timer
// does (64 ticks a second). A timer becomes due at the first grid tick
// strictly after its interval has passed since it was enabled or since its
// handler last returned, so a 100 ms timer ticks every 7/64 s (about
// 109 ms) and a 1 ms timer 64 times a second. Measuring the interval from
// the end of the handler means a tick never finds less than the interval
// on the clock since the previous tick's work: steps throttled to one per
// 0.1 s are taken on every tick, and the show keeps its intended pace.
constexpr double kTimerGranularity = 1.0 / 64.0;

// The lowest screen density the runtime works at, in dots per inch.
constexpr double kMinimumDpi = 96.0;

struct ApplicationOptions {
    double timerGranularity = kTimerGranularity;
    std::string title;  // the windows' title for the desktop when they have no caption
    // The path the program was started by (argv[0]), for AppPath where the
    // system cannot name the executable; empty when unknown.
    std::string programPath;
};

// Thrown by End to unwind every handler and nested loop at once.
struct EndProgram {};

class Application {
public:
    explicit Application(platform::Platform& platform, ApplicationOptions options = {});
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The application of this thread; handlers reach the runtime through it.
    static Application& current();

    platform::Platform& platform() { return platform_; }
    TextRenderer& text() { return *text_; }
    const ApplicationOptions& options() const { return options_; }

    // Screen metrics, fixed at start. The runtime works in logical pixels
    // at the logical density dpi(); the screen shows each logical pixel as
    // scale() x scale() device pixels (1 below 192 dots per inch).
    float twipsPerPixelX() const { return twipsPerPixel_; }
    float twipsPerPixelY() const { return twipsPerPixel_; }
    double dpi() const { return dpi_; }
    int scale() const { return scale_; }
    // Whether the user has asked the desktop for less motion, fixed at start:
    // the program leaves out movement that is only for show.
    bool reducedMotion() const { return reducedMotion_; }

    // Seconds since midnight as single precision, continuous from start:
    // taken from the monotonic clock anchored to the wall clock when the
    // application started, so it neither freezes at midnight (it goes on
    // past 86400) nor jumps when the system time is set.
    float timer();
    double monotonic() { return platform_.monotonicSeconds(); }

    // Runs startup (the program's Sub Main), then the event loop until End
    // or until no window is loaded. Returns the process exit code: 0 after
    // End or the last window closing, 1 after an error no handler caught
    // (reported through the platform first).
    int run(const std::function<void()>& startup);

    // Handles every pending event and due timer, then returns.
    void doEvents();
    // Ends the program at once: no further handler runs.
    [[noreturn]] void end();

    // Window management, used by Form.
    void loadForm(Form& form);
    void unloadForm(Form& form);
    void runModal(Form& form);
    // The window a modal window blocks and stays above: the modal window
    // already open, else the first loaded window shown.
    platform::WindowHandle modalOwnerFor(const Form& form) const;
    Form* formFor(platform::WindowHandle window) const;
    const std::vector<Form*>& loadedForms() const { return forms_; }
    bool ended() const { return ended_; }

    // Timer scheduling, used by Timer.
    void timerChanged(TimerControl& timer);
    void timerDestroyed(TimerControl& timer);

    // The pointer entered, moved or left (at a logical pixel): updates the
    // cursor.
    void refreshCursor(Form& form, int x, int y);
    // A cursor picture as the platform takes it: drawn at the device scale.
    PictureRef deviceCursor(const PictureRef& cursor);

    // Keeps an unloaded window alive until no handler runs, then frees it.
    void retire(std::unique_ptr<Form> form);

    // The standard error report for an error nobody handled, and its
    // delivery to the user through the platform.
    static std::string errorReport(const std::exception& error);
    void reportFatal(const std::exception& error);

private:
    struct ScheduledTimer {
        TimerControl* timer;
        double due;
        bool running = false;
        unsigned generation = 0;
    };

    void loopUntil(const std::function<bool()>& done);
    void pumpOnce(bool block);
    void dispatch(const platform::Event& event);
    bool fireDueTimers();
    void fire(ScheduledTimer& entry);
    double nextDue() const;
    double dueAfter(double start, int intervalMs) const;
    void presentAll();
    void collectGarbage();
    void releaseFreedMemory();
    ScheduledTimer* findTimer(const TimerControl& timer);
    bool inputBlocked(const Form& form) const;

    platform::Platform& platform_;
    ApplicationOptions options_;
    std::unique_ptr<TextRenderer> text_;
    double dpi_ = 96;
    int scale_ = 1;
    float twipsPerPixel_ = 15;
    bool reducedMotion_ = false;
    double clockAnchor_ = 0;  // seconds since midnight at monotonic 0
    std::vector<Form*> forms_;  // loaded, in load order
    std::vector<Form*> modalStack_;
    std::vector<ScheduledTimer> timers_;
    std::vector<std::unique_ptr<Form>> graveyard_;
    int loopDepth_ = 0;
#if defined(__GLIBC__)
    double nextMemoryRelease_ = 0;  // monotonic seconds; see releaseFreedMemory
#endif
    bool ended_ = false;
    Control* pressedControl_ = nullptr;
    Form* pressedForm_ = nullptr;
    struct CursorState {
        platform::WindowHandle window = platform::kNoWindow;
        PictureRef cursor;  // the picture shown, null for the arrow
    };
    std::vector<CursorState> cursors_;
    // Cursor pictures drawn at the device scale, by the picture they show.
    std::vector<std::pair<PictureRef, PictureRef>> deviceCursors_;

};

}  // namespace rt
