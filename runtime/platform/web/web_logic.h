// What the web backend decides without a browser: the device scale, the
// windows' state and shapes, hit-testing, the pointer records the page
// writes and their translation into events, the visible-time clock, the
// pack of files the page fetches, and the plan of a move on a canvas.
// Nothing here includes <emscripten.h>: the host builds and tests it too
// (tests/runtime/web_logic_test.cpp). The web_*.cpp files apply what it
// decides to the page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "../click_tracker.h"
#include "../event_queue.h"
#include "../platform.h"
#include "../window_shape.h"

namespace rt::platform::web {

// ------------------------------------------------------------ the stage

// The page is a virtual monitor of a fixed size, in CSS pixels: the card is
// centred on it, and the page keeps that centre in the middle of the
// viewport. The page learns it from the program (see web_platform.cpp).
constexpr int kStageWidth = 1024;
constexpr int kStageHeight = 768;

// The page's density: devicePixelRatio rounded up to a whole device scale,
// 1 to 4. Rounding up keeps a 1.25 to 1.75 screen sharp: the browser shrinks
// a drawing made at twice the size, which blurs far less than stretching
// one made at the logical size. A 2x or 3x phone gets its exact scale.
int deviceScale(double devicePixelRatio);

// A width and a height in CSS pixels.
struct Size {
    double width = 0;
    double height = 0;
    bool operator==(const Size&) const = default;
};

// ----------------------------------------------------------- the shapes

// A window's shape with its spans indexed by row, for the pixels outside it
// (transparent on the canvas) and the points outside it (no input there).
class IndexedShape {
public:
    // Sets the shape (null: the plain rectangle) for a window `height` rows high.
    void set(const Region* shape, int height);
    // The window's height changed: the rows are indexed again.
    void resize(int height);

    const WindowShape& shape() const { return shape_; }
    bool rectangular() const { return !shape_; }

    // Whether the point, inside the window's rectangle, lies in the shape.
    bool contains(int x, int y) const;
    // Whether the shape covers row y from x0 up to x1 without a gap.
    bool covers(int y, int x0, int x1) const;
    // Clears the pixels of row y from x0 up to x1 that lie outside the shape;
    // `row` holds those pixels, row[0] at x0.
    void clearOutside(std::uint32_t* row, int y, int x0, int x1) const;

private:
    std::span<const Span> spansOf(int y) const;

    WindowShape shape_;
    std::vector<std::size_t> rowStart_;  // row y's spans: rowStart_[y] up to rowStart_[y + 1]
};

// The frame's pixels in `area` (inside the frame) as a canvas takes them,
// R, G, B, A in memory, opaque, and cleared outside the shape.
void canvasPixels(const Bitmap& frame, const Rect& area, const IndexedShape& shape, std::vector<std::uint32_t>& out);

// The corners of a window's shape as CSS border radii (CSS pixels,
// horizontal and vertical), for the page's elements that follow the window's
// outline (the focus ring over the card); 0 for a plain rectangle or a shape
// that is no rounded rectangle.
Size cornerRadii(const Region* shape, int scale);

// ---------------------------------------------------------- the windows

// What the backend knows of one window: the page only shows it.
struct WindowState {
    Rect bounds;          // device pixels on the stage
    IndexedShape shape;
    int z = 0;            // stacking order: larger is in front
    bool visible = false;
    int cursor = 0;       // the cursor shown over it (web_cursors.cpp); 0: the arrow
    bool presentWhole = false;  // the shape changed: the alpha of every pixel must follow
    std::string announced;      // what it last gave the page to read aloud (web_semantics.cpp)
};
using Windows = std::map<WindowHandle, WindowState>;

// A point in a window, device pixels.
struct Hit {
    WindowHandle window = kNoWindow;
    int x = 0;
    int y = 0;
};

// The topmost shown window whose shape holds the point (device pixels of
// the stage), with the point in the window's own pixels.
std::optional<Hit> hitTest(const Windows& windows, int x, int y);

// The size of the largest window in CSS pixels (width and height each the
// largest of any window's); nothing when there is no window.
std::optional<Size> largestWindow(const Windows& windows, int scale);

// ------------------------------------------------------- pointer input

// One pointer record as the page writes it (web_input.cpp hands the page
// these names, so that both sides name the fields once, here): every field
// a double, in this order.
#define VELMORA_WEB_POINTER_FIELDS(F) \
    F(kind)   /* the DOM event: an index into VELMORA_WEB_POINTER_KINDS */ \
    F(x)      /* CSS pixels from the stage's left edge, as laid out before the page's fit */ \
    F(y)      /* CSS pixels from the stage's top edge */ \
    F(button) /* the DOM's button: 0 main, 1 middle, 2 secondary, more for others */ \
    F(time)   /* the event's timeStamp, milliseconds */ \
    F(touch)  /* 1 for a finger, 0 for a mouse or a pen */

// The DOM events the page listens to and records, by their DOM names.
#define VELMORA_WEB_POINTER_KINDS(K) K(pointerdown) K(pointerup) K(pointercancel) K(pointermove) K(contextmenu)

struct PointerRecord {
#define VELMORA_WEB_FIELD(name) double name = 0;
    VELMORA_WEB_POINTER_FIELDS(VELMORA_WEB_FIELD)
#undef VELMORA_WEB_FIELD
};

static_assert(sizeof(PointerRecord) == sizeof(double) * (0
#define VELMORA_WEB_COUNT(name) +1
    VELMORA_WEB_POINTER_FIELDS(VELMORA_WEB_COUNT)
#undef VELMORA_WEB_COUNT
    ), "a PointerRecord is its doubles, one after another, as the page writes them");

enum class PointerKind {
#define VELMORA_WEB_KIND(name) name,
    VELMORA_WEB_POINTER_KINDS(VELMORA_WEB_KIND)
#undef VELMORA_WEB_KIND
};

// "kind,x,y,button,time,touch": the fields in memory order.
std::string_view pointerFieldNames();
// "pointerdown,pointerup,...": the kinds in the order of their numbers.
std::string_view pointerKindNames();

// What became of a record.
struct PointerOutcome {
    bool taken = false;   // the card's: the page does not act on it (preventDefault)
    bool queued = false;  // events wait for the program
};

// Turns the page's pointer records into the runtime's events: presses,
// releases and moves as they came, clicks and double-clicks as the click
// trackers decide them, leaves when the pointer goes to another window or
// to the page. A press holds its window until the release. What falls
// outside every window's shape is the page's.
class PointerInput {
public:
    // A finger lands less precisely than a mouse: a second tap within a
    // fingertip of the first still makes a double tap. The queue's own
    // tracker decides for the mouse and the pen.
    explicit PointerInput(int scale) : scale_(scale), touchClicks_(400, 24 * scale) {}

    PointerOutcome take(const PointerRecord& record, const Windows& windows, EventQueue& queue);

    // Queues the move held back: only the latest of a run of moves over one
    // window matters, so a move waits until the program takes its events or
    // another event comes.
    void flush(EventQueue& queue);

    // The window the pointer is over (or holds), kNoWindow for the page.
    WindowHandle hovered() const { return hovered_; }

    // A window is gone.
    void forget(WindowHandle window);

private:
    void hover(WindowHandle window, EventQueue& queue);
    void queueMove(WindowHandle window, int x, int y, EventQueue& queue);

    int scale_;
    ClickTracker touchClicks_;
    WindowHandle captured_ = kNoWindow;  // the window the held press went down on
    WindowHandle hovered_ = kNoWindow;
    std::optional<Event> pendingMove_;
};

// ------------------------------------------------------------ the clock

// A clock that stands still while the page is hidden: the real monotonic
// clock less the time spent hidden, so that a card opened in a background
// tab plays from its first second when it is looked at.
class VisibleClock {
public:
    // The page was hidden or shown at `now` on the real clock.
    void setHidden(bool hidden, double now);
    bool hidden() const { return hiddenSince_.has_value(); }
    // The visible time at `now` on the real clock.
    double seconds(double now) const;

private:
    double hiddenTotal_ = 0;
    std::optional<double> hiddenSince_;
};

// ------------------------------------------------------------- the pack

// The files of a pack (tools/web/pack_files.py: each file's name in UTF-8,
// a zero byte, its size as 4 bytes little-endian, its bytes), by name, as
// views into `pack` (names and bytes alike). A pack cut short, or an entry
// whose size runs past the end, ends the reading: the entries before it are
// kept.
using PackFiles = std::map<std::string_view, std::span<const std::uint8_t>>;
PackFiles readPack(std::span<const std::uint8_t> pack);

// --------------------------------------------------------- moving pixels

// How presentMove is carried out on a canvas: the rows that can be copied
// on the canvas itself, and the rest of the destination, to be put from the
// frame. A canvas is transparent outside the shape: a row can be copied only
// where the shape covers the moved columns on both the source row and the
// destination row, so that no transparency moves and none is missed.
struct MovePlan {
    // Source rectangles, each copied to itself moved by (dx, dy), in the
    // order that reads every source before a copy writes over it.
    std::vector<Rect> copies;
    std::vector<Rect> puts;    // destination rectangles to put from the frame
};
MovePlan planMove(const IndexedShape& shape, const Rect& window, const Rect& from, int dx, int dy);

}  // namespace rt::platform::web
