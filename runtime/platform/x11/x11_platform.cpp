// The X11 backend: Xlib with the SHAPE extension, no toolkit.
//
// What it implements:
//  - windows: hidden undecorated top-level windows (_MOTIF_WM_HINTS), kept out
//    of the taskbar and pager (_NET_WM_STATE set before mapping), with
//    _NET_WM_PID, WM_CLIENT_MACHINE, WM_CLASS "velmora"/"Velmora", the title
//    (_NET_WM_NAME and WM_NAME), the icon (_NET_WM_ICON) and a position the
//    window manager honours (WM_NORMAL_HINTS with USPosition and PPosition);
//    WM_DELETE_WINDOW becomes CloseRequest; _NET_WM_PING is answered; a
//    window destroyed by another client (DestroyNotify) becomes Destroyed.
//  - visual: the best TrueColor visual the screen offers (x11::chooseVisual):
//    full colour in 32-bit pixels where there is one, default or not (a
//    visual other than the default gets its own colormap and a GC of its
//    depth), else 16- or 15-bit pixels; a screen without a TrueColor visual
//    (8-bit PseudoColor) is refused with a one-line reason.
//  - screen(): the monitor that holds the pointer, else the primary one
//    (x11::chooseMonitor), from the RandR 1.5 monitors, else the Xinerama
//    screens, else the whole screen; the density from Xft.dpi, else 96; the
//    device scale from GDK_SCALE where the desktop sets it.
//  - setWindowShape: bounding and input shape from the region's spans as
//    YX-banded rectangles (bandedRectangles); skipped when unchanged; a server without SHAPE
//    leaves the window rectangular.
//  - present: on a local server with MIT-SHM, each dirty rectangle is copied
//    (converted for 15- and 16-bit visuals) into a shared image the size of
//    the window and shown with XShmPutImage, so that no pixel travels
//    through the socket; else XPutImage, straight from the runtime's
//    framebuffer when the visual stores 0xAARRGGBB (depth 24 or 32
//    TrueColor), else through a converted copy of each rectangle. The server
//    keeps no backing copy: Expose events go up to the runtime, which
//    presents again. Exposes of one burst are merged into one rectangle.
//  - setCursor: the standard arrow, or a two-colour pixmap cursor made from
//    the picture's pixels and hot spot; cursors are cached per picture and
//    never defined twice in a row.
//  - pointer events: Press, Release, Move (motion compressed), Leave, Click
//    and DoubleClick (ClickTracker), with the double-click interval from the
//    desktop's XSETTINGS when it publishes one, else 400 ms.
//  - setWindowOwner: WM_TRANSIENT_FOR, keeping a modal window above its owner.
//  - openDocument: xdg-open on the file in a detached grandchild, no shell,
//    no zombies.
//  - reportError: the message on stderr.
//  - clocks: CLOCK_MONOTONIC and the local wall clock with fractions.
//  - waitEvent: queued events first, then the requests of the last tick sent
//    in one write, then ppoll() on the connection until the deadline; the
//    connection is read only when ppoll reports input. No busy loop.
//  - robustness: X protocol errors are recorded and ignored; losing the
//    server ends the process with a one-line message.
#include "x11_platform.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/shape.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <utility>

#include "../../graphics/region.h"
#include "../event_queue.h"
#include "../local_time.h"
#include "../picture_cache.h"
#include "../window_shape.h"
#include "../posix/posix.h"


// X.h defines Expose as a macro, which would clash with EventType::Expose.
constexpr int kXExposeEvent = Expose;
#undef Expose

namespace rt::platform {
namespace x11 {

// ---------------------------------------------------------------------------
// Pure logic, unit-tested without a display.

std::optional<double> xftDpiFromResources(const char* resources) {
    if (resources == nullptr) return std::nullopt;
    XrmInitialize();
    XrmDatabase db = XrmGetStringDatabase(resources);
    if (db == nullptr) return std::nullopt;
    std::optional<double> dpi;
    char* type = nullptr;
    XrmValue value{};
    if (XrmGetResource(db, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr != nullptr) {
        std::string text(value.addr, value.size > 0 ? value.size - 1 : 0);  // size counts the NUL
        const auto first = text.find_first_not_of(" \t");
        const auto last = text.find_last_not_of(" \t");
        if (first != std::string::npos) {
            double v = 0;
            const char* b = text.data() + first;
            const char* e = text.data() + last + 1;
            const auto [end, ec] = std::from_chars(b, e, v);
            // Densities outside this range are typing errors, not monitors.
            if (ec == std::errc() && end == e && std::isfinite(v) && v >= 24.0 && v <= 1000.0) dpi = v;
        }
    }
    XrmDestroyDatabase(db);
    return dpi;
}

std::optional<int> gdkScaleFromEnvironment(const char* value) {
    if (value == nullptr) return std::nullopt;
    const char* end = value + std::strlen(value);
    int scale = 0;
    const auto [stop, ec] = std::from_chars(value, end, scale);
    if (ec != std::errc() || stop != end || scale < 1 || scale > 4) return std::nullopt;
    return scale;
}

std::optional<int> doubleClickTimeFromXSettings(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size < 12) return std::nullopt;
    const bool msb = data[0] == 1;
    if (data[0] > 1) return std::nullopt;
    auto card16 = [&](std::size_t at) -> std::uint32_t {
        return msb ? (std::uint32_t(data[at]) << 8) | data[at + 1]
                   : (std::uint32_t(data[at + 1]) << 8) | data[at];
    };
    auto card32 = [&](std::size_t at) -> std::uint32_t {
        return msb ? (std::uint32_t(card16(at)) << 16) | card16(at + 2)
                   : (std::uint32_t(card16(at + 2)) << 16) | card16(at);
    };
    auto pad4 = [](std::size_t n) { return (n + 3) & ~std::size_t(3); };
    const std::uint32_t count = card32(8);
    std::size_t at = 12;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (size - at < 4) return std::nullopt;
        const std::uint8_t type = data[at];
        const std::size_t nameLength = card16(at + 2);
        at += 4;
        if (size - at < pad4(nameLength) + 4) return std::nullopt;
        const std::string_view name(reinterpret_cast<const char*>(data + at), nameLength);
        at += pad4(nameLength) + 4;  // the name, then the serial of its last change
        switch (type) {
        case 0:  // integer
            if (size - at < 4) return std::nullopt;
            if (name == "Net/DoubleClickTime") {
                const auto ms = std::int32_t(card32(at));
                if (ms > 0 && ms <= 5000) return ms;
                return std::nullopt;
            }
            at += 4;
            break;
        case 1: {  // string
            if (size - at < 4) return std::nullopt;
            const std::size_t length = card32(at);
            at += 4;
            if (length > size || size - at < pad4(length)) return std::nullopt;
            at += pad4(length);
            break;
        }
        case 2:  // colour: four 16-bit channels
            if (size - at < 8) return std::nullopt;
            at += 8;
            break;
        default:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

namespace {

// A channel mask the conversion to pixels can fill: one run of 5 to 16 bits.
bool usableChannelMask(unsigned long mask) {
    if (mask == 0) return false;
    const unsigned long run = mask >> std::countr_zero(mask);
    const int bits = std::popcount(mask);
    return (run & (run + 1)) == 0 && bits >= 5 && bits <= 16;
}

// The rank of a visual in the order of preference, 0 best; -1 when the
// backend cannot draw with it.
int visualRank(const VisualDescription& v) {
    if (!v.trueColor || !usableChannelMask(v.redMask) || !usableChannelMask(v.greenMask) ||
        !usableChannelMask(v.blueMask))
        return -1;
    if ((v.redMask & v.greenMask) | (v.redMask & v.blueMask) | (v.greenMask & v.blueMask)) return -1;
    const unsigned long all = v.redMask | v.greenMask | v.blueMask;
    if (v.bitsPerPixel == 32 && v.depth >= 24 && v.depth <= 32 && all <= 0xFFFFFFFFul) {
        if (v.isDefault) return 0;
        return v.depth == 24 ? 1 : 2;
    }
    if (v.bitsPerPixel == 16 && (v.depth == 15 || v.depth == 16) && all <= 0xFFFFul) return v.isDefault ? 3 : 4;
    return -1;
}

}  // namespace

bool storesFramebufferPixels(const VisualDescription& v) {
    return v.trueColor && v.bitsPerPixel == 32 && (v.depth == 24 || v.depth == 32) && v.redMask == 0xFF0000 &&
           v.greenMask == 0xFF00 && v.blueMask == 0xFF;
}

std::optional<std::size_t> chooseVisual(const std::vector<VisualDescription>& visuals) {
    std::optional<std::size_t> best;
    int bestRank = 0;
    bool bestDirect = false;
    for (std::size_t i = 0; i < visuals.size(); ++i) {
        const int rank = visualRank(visuals[i]);
        if (rank < 0) continue;
        const bool direct = storesFramebufferPixels(visuals[i]);
        if (!best || rank < bestRank || (rank == bestRank && direct && !bestDirect)) {
            best = i;
            bestRank = rank;
            bestDirect = direct;
        }
    }
    return best;
}

std::optional<Rect> chooseMonitor(const std::vector<Rect>& monitors, std::optional<ScreenPoint> pointer,
                                  int primary) {
    const bool hasPrimary =
        primary >= 0 && std::size_t(primary) < monitors.size() && !monitors[std::size_t(primary)].empty();
    if (pointer) {
        if (hasPrimary && monitors[std::size_t(primary)].contains(pointer->x, pointer->y))
            return monitors[std::size_t(primary)];
        for (const Rect& m : monitors)
            if (!m.empty() && m.contains(pointer->x, pointer->y)) return m;
    }
    if (hasPrimary) return monitors[std::size_t(primary)];
    for (const Rect& m : monitors)
        if (!m.empty()) return m;
    return std::nullopt;
}

namespace {

// The levels of a channel mask for every 8-bit value, rounded to the
// nearest level and placed at the mask's position.
void fillChannelTable(std::uint32_t mask, std::uint32_t (&table)[256]) {
    const int shift = mask ? std::countr_zero(mask) : 0;
    const std::uint64_t levels = mask >> shift;  // 31 for five bits, 63 for six, 255 for eight
    for (std::uint64_t c = 0; c < 256; ++c) table[c] = std::uint32_t((c * levels + 127) / 255) << shift;
}

}  // namespace

PixelConverter::PixelConverter(const PixelLayout& layout) : layout_(layout) {
    fillChannelTable(layout.redMask, red_);
    fillChannelTable(layout.greenMask, green_);
    fillChannelTable(layout.blueMask, blue_);
}

void PixelConverter::convert(const std::uint32_t* in, std::size_t count, std::uint8_t* out) const {
    const bool swap = layout_.msbFirst != (std::endian::native == std::endian::big);
    if (layout_.bitsPerPixel == 16) {
        for (std::size_t i = 0; i < count; ++i) {
            auto v = std::uint16_t(pixel(in[i]));
            if (swap) v = std::uint16_t((v >> 8) | (v << 8));
            std::memcpy(out + 2 * i, &v, 2);
        }
    } else {
        for (std::size_t i = 0; i < count; ++i) {
            std::uint32_t v = pixel(in[i]);
            if (swap) v = (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
            std::memcpy(out + 4 * i, &v, 4);
        }
    }
}

}  // namespace x11

// ---------------------------------------------------------------------------
// The backend.

namespace {

// Xlib calls these handlers without context, so what they record lives here.
int gProtocolErrors = 0;
unsigned char gLastErrorCode = 0;
bool gReportErrors = false;  // VELMORA_X11_DEBUG set: describe each error on stderr

int onProtocolError(Display* d, XErrorEvent* e) {
    // A request on a window the server has already forgotten, a cursor the
    // server refused: none of it is worth ending the card for.
    ++gProtocolErrors;
    gLastErrorCode = e->error_code;
    if (gReportErrors) {
        char text[160] = {};
        XGetErrorText(d, e->error_code, text, sizeof text);
        std::fprintf(stderr, "velmora: X error %d (%s), request %d.%d, resource 0x%lx\n", int(e->error_code), text,
                     int(e->request_code), int(e->minor_code), e->resourceid);
    }
    return 0;
}

int onConnectionLost(Display*) {
    static bool leaving = false;
    if (leaving) _exit(1);
    leaving = true;
    std::fputs("velmora: lost the connection to the X server\n", stderr);
    std::exit(1);
}

struct WindowState {
    int width = 1;
    int height = 1;
    bool visible = false;
    bool showInTaskbar = false;
    WindowShape shape;        // the shape set; none: rectangular
    Cursor cursor = None;     // the cursor defined on it, None for the parent's
    Rect pendingExpose;       // exposed area of the burst in progress
    // With MIT-SHM: an image in a shared segment the size of the window,
    // which holds the window's presented pixels in the visual's layout.
    XImage* sharedImage = nullptr;
    XShmSegmentInfo segment{};
};

struct X11State {
    Display* display = nullptr;
    int screen = 0;
    Window root = None;
    // The visual the windows use (x11::chooseVisual), not always the
    // screen's default one: a depth-16 desktop often offers a depth-24
    // visual too. Windows of a visual other than the default need their own
    // colormap, and drawing on them a GC made for their depth.
    Visual* visual = nullptr;
    int depth = 24;
    int bitsPerPixel = 32;      // of a ZPixmap image at that depth: 32 or 16
    bool directPixels = false;  // the visual stores 0xAARRGGBB in 32-bit pixels
    unsigned long redMask = 0, greenMask = 0, blueMask = 0;
    Colormap colormap = None;
    bool ownColormap = false;  // made for a visual other than the default
    GC gc = nullptr;           // for drawables of `depth`
    unsigned long black = 0;   // opaque black in the visual's pixels
    bool hasShape = false;
    bool hasRandrMonitors = false;  // RandR 1.5: XRRGetMonitors
    bool hasXinerama = false;

    Atom wmProtocols = None, wmDeleteWindow = None, netWmPing = None;
    Atom netWmName = None, netWmPid = None, netWmIcon = None, netWmState = None;
    Atom netWmStateSkipTaskbar = None, netWmStateSkipPager = None;
    Atom motifWmHints = None, utf8String = None;

    std::map<Window, WindowState> windows;
    EventQueue queue;  // converted events not yet handed out
    Cursor arrow = None;
    PictureCache<Cursor> cursors;

    // Presenting.
    bool useShm = false;          // the server reads presented pixels from shared memory
    x11::PixelConverter converter;  // the framebuffer's pixels in the visual's layout
    std::vector<std::uint8_t> scratch;  // converted pixels for XPutImage
    unsigned long flushedRequest = 0;   // NextRequest() when the output was last flushed
};

// True when the connection to the server is a local (Unix domain) socket:
// only then can the server attach to our shared memory segments.
bool localConnection(Display* d) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    return getsockname(ConnectionNumber(d), reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
           address.ss_family == AF_UNIX;
}

Atom atom(Display* d, const char* name) { return XInternAtom(d, name, False); }

class X11Platform final : public Platform {
public:
    explicit X11Platform(X11State state) : s_(std::move(state)) {
        Display* d = s_.display;
        s_.converter = x11::PixelConverter({std::uint32_t(s_.redMask), std::uint32_t(s_.greenMask),
                                            std::uint32_t(s_.blueMask), s_.bitsPerPixel,
                                            ImageByteOrder(d) == MSBFirst});
        // A remote server cannot see our memory; one on this machine can,
        // unless it lives in another IPC namespace, which the first attach
        // finds out (attachSharedImage).
        s_.useShm = localConnection(d) && XShmQueryExtension(d);
    }

    ~X11Platform() override {
        for (auto& [window, state] : s_.windows) {
            releaseSharedImage(state);
            XDestroyWindow(s_.display, window);
        }
        s_.cursors.clear([&](Cursor c) { XFreeCursor(s_.display, c); });
        if (s_.arrow != None) XFreeCursor(s_.display, s_.arrow);
        if (s_.gc) XFreeGC(s_.display, s_.gc);
        if (s_.ownColormap) XFreeColormap(s_.display, s_.colormap);
        XCloseDisplay(s_.display);
    }

    ScreenMetrics screen() override {
        Display* d = s_.display;
        ScreenMetrics m;
        const Rect whole{0, 0, DisplayWidth(d, s_.screen), DisplayHeight(d, s_.screen)};
        int primary = -1;
        const std::vector<Rect> monitors = listMonitors(primary);
        std::optional<x11::ScreenPoint> pointer;
        Window rootReturn = None, child = None;
        int rootX = 0, rootY = 0, windowX = 0, windowY = 0;
        unsigned int buttons = 0;
        // False when the pointer is on another screen of the display.
        if (XQueryPointer(d, s_.root, &rootReturn, &child, &rootX, &rootY, &windowX, &windowY, &buttons))
            pointer = x11::ScreenPoint{rootX, rootY};
        m.monitor = x11::chooseMonitor(monitors, pointer, primary).value_or(whole);
        m.dpi = x11::xftDpiFromResources(XResourceManagerString(s_.display)).value_or(96.0);
        m.scale = x11::gdkScaleFromEnvironment(std::getenv("GDK_SCALE")).value_or(0);  // 0: from dpi
        return m;
    }

    WindowHandle createWindow(const WindowOptions& o) override {
        Display* d = s_.display;
        XSetWindowAttributes attributes{};
        attributes.background_pixel = s_.black;
        attributes.border_pixel = 0;  // a visual other than the parent's needs a border pixel of its own
        attributes.colormap = s_.colormap;
        attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                                LeaveWindowMask | StructureNotifyMask;
        const int width = std::max(1, o.width), height = std::max(1, o.height);
        const Window w = XCreateWindow(d, s_.root, o.x, o.y, unsigned(width), unsigned(height), 0, s_.depth,
                                       InputOutput, s_.visual,
                                       CWBackPixel | CWBorderPixel | CWColormap | CWEventMask, &attributes);
        if (w == None) return kNoWindow;

        // No title bar, no frame: the card draws its own outline.
        const long motif[5] = {2 /* decorations field is valid */, 0, 0 /* no decorations */, 0, 0};
        XChangeProperty(d, w, s_.motifWmHints, s_.motifWmHints, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(motif), 5);

        Atom protocols[2] = {s_.wmDeleteWindow, s_.netWmPing};
        XSetWMProtocols(d, w, protocols, 2);

        const long pid = long(getpid());
        XChangeProperty(d, w, s_.netWmPid, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&pid), 1);
        char host[256] = {};
        if (gethostname(host, sizeof host - 1) == 0) {
            XTextProperty machine{};
            machine.value = reinterpret_cast<unsigned char*>(host);
            machine.encoding = XA_STRING;
            machine.format = 8;
            machine.nitems = std::strlen(host);
            XSetWMClientMachine(d, w, &machine);
        }

        XClassHint classHint{};
        char resName[] = "velmora";
        char resClass[] = "Velmora";
        classHint.res_name = resName;
        classHint.res_class = resClass;
        XSetClassHint(d, w, &classHint);

        XWMHints wmHints{};
        wmHints.flags = InputHint | StateHint;
        wmHints.input = True;
        wmHints.initial_state = NormalState;
        XSetWMHints(d, w, &wmHints);

        setTitle(w, o.title);
        if (o.icon && !o.icon->image().empty()) setIcon(w, *o.icon);

        WindowState state;
        state.width = width;
        state.height = height;
        state.showInTaskbar = o.showInTaskbar;
        s_.windows[w] = state;
        setNormalHints(w, o.x, o.y, width, height);
        return WindowHandle(w);
    }

    void destroyWindow(WindowHandle window) override {
        const auto it = s_.windows.find(Window(window));
        if (it == s_.windows.end()) return;
        releaseSharedImage(it->second);
        XDestroyWindow(s_.display, it->first);
        s_.windows.erase(it);
        s_.queue.forget(window);
        XFlush(s_.display);
    }

    void setWindowBounds(WindowHandle window, const Rect& outer) override {
        WindowState* st = find(window);
        if (!st) return;
        const int width = std::max(1, outer.width), height = std::max(1, outer.height);
        setNormalHints(Window(window), outer.x, outer.y, width, height);
        XMoveResizeWindow(s_.display, Window(window), outer.x, outer.y, unsigned(width), unsigned(height));
        st->width = width;
        st->height = height;
        XFlush(s_.display);
    }

    void setWindowVisible(WindowHandle window, bool visible) override {
        WindowState* st = find(window);
        if (!st || st->visible == visible) return;
        st->visible = visible;
        if (visible) {
            // Window managers read _NET_WM_STATE when a window is mapped and
            // drop it when the window is withdrawn, so it is set before
            // every showing.
            if (!st->showInTaskbar) {
                const Atom states[2] = {s_.netWmStateSkipTaskbar, s_.netWmStateSkipPager};
                XChangeProperty(s_.display, Window(window), s_.netWmState, XA_ATOM, 32, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(states), 2);
            }
            XMapRaised(s_.display, Window(window));
        } else
            XWithdrawWindow(s_.display, Window(window), s_.screen);
        XFlush(s_.display);
    }

    void setWindowOwner(WindowHandle window, WindowHandle owner) override {
        if (!find(window)) return;
        // A transient window stays above the window it belongs to, so a
        // click on the blocked owner cannot raise it over the modal window.
        if (owner != kNoWindow && find(owner))
            XSetTransientForHint(s_.display, Window(window), Window(owner));
        else
            XDeleteProperty(s_.display, Window(window), XA_WM_TRANSIENT_FOR);
        XFlush(s_.display);
    }

    void setWindowShape(WindowHandle window, const Region* shape) override {
        WindowState* st = find(window);
        // Without SHAPE the window stays a rectangle.
        if (!st || !s_.hasShape || sameShape(st->shape, shape)) return;
        if (shape == nullptr) {
            XShapeCombineMask(s_.display, Window(window), ShapeBounding, 0, 0, None, ShapeSet);
            XShapeCombineMask(s_.display, Window(window), ShapeInput, 0, 0, None, ShapeSet);
        } else {
            const std::vector<Rect> rects = bandedRectangles(*shape);
            std::vector<XRectangle> xr;
            xr.reserve(rects.size());
            for (const Rect& r : rects)
                xr.push_back({short(r.x), short(r.y), (unsigned short)r.width, (unsigned short)r.height});
            for (int kind : {ShapeBounding, ShapeInput})
                XShapeCombineRectangles(s_.display, Window(window), kind, 0, 0, xr.data(), int(xr.size()),
                                        ShapeSet, YXBanded);
        }
        st->shape = shapeOf(shape);
        // waitEvent sends the requests before it sleeps.
    }

    void present(WindowHandle window, const Bitmap& frame, std::span<const Rect> dirty) override {
        WindowState* st = find(window);
        if (!st || frame.empty()) return;
        if (st->sharedImage &&
            (st->sharedImage->width != frame.width() || st->sharedImage->height != frame.height()))
            releaseSharedImage(*st);
        if (!st->sharedImage && s_.useShm) attachSharedImage(*st, frame.width(), frame.height());
        for (const Rect& area : dirty) {
            const Rect r = area.intersect(frame.bounds());
            if (r.empty()) continue;
            if (st->sharedImage)
                putShared(Window(window), *st->sharedImage, frame, r);
            else
                putImage(Window(window), frame, r);
        }
        // No flush here: waitEvent sends everything of this tick in one go
        // before it sleeps.
    }

    void setCursor(WindowHandle window, const PictureRef& picture) override {
        WindowState* st = find(window);
        if (!st) return;
        Cursor cursor = None;
        if (!picture || picture->image().empty()) {
            if (s_.arrow == None) s_.arrow = XCreateFontCursor(s_.display, XC_left_ptr);
            cursor = s_.arrow;
        } else {
            cursor = s_.cursors.obtain(
                picture, [&](const Picture& p) { return makeCursor(p); }, [&](Cursor c) { return shown(c); },
                [&](Cursor c) { XFreeCursor(s_.display, c); });
        }
        if (cursor == st->cursor) return;
        XDefineCursor(s_.display, Window(window), cursor);
        st->cursor = cursor;
        XFlush(s_.display);
    }

    void openDocument(const DocumentRequest& request) override { posix::launchDetached("xdg-open", request.file); }

    void reportError(const std::string& message) override {
        std::fprintf(stderr, "%s\n", message.c_str());
        std::fflush(stderr);
    }

    double monotonicSeconds() override { return posix::monotonicSeconds(); }

    LocalDateTime localNow() override { return posix::localNow(); }

    // One quiet tick of a timer costs one ppoll and nothing else: Xlib's
    // queue is checked without a system call, the output is flushed only
    // when requests were made since the last flush, and the connection is
    // read only when ppoll says the server sent something.
    std::optional<Event> waitEvent(double deadline) override {
        Display* d = s_.display;
        for (;;) {
            if (std::optional<Event> e = s_.queue.pop()) return e;
            if (XEventsQueued(d, QueuedAlready) > 0) {
                XEvent xe;
                XNextEvent(d, &xe);
                convert(xe);
                continue;
            }
            if (NextRequest(d) != s_.flushedRequest) {
                // XFlush also moves into Xlib's queue whatever the server
                // sent while the requests went out, so look at the queue
                // again before sleeping.
                XFlush(d);
                s_.flushedRequest = NextRequest(d);
                continue;
            }
            // A deadline already passed still looks at the connection once,
            // without waiting, so that a poll (DoEvents) sees what the
            // server has sent.
            const double now = monotonicSeconds();
            const bool polling = now >= deadline;
            pollfd fd{ConnectionNumber(d), POLLIN, 0};
            timespec wait{};
            timespec* timeout = nullptr;
            if (polling) {
                timeout = &wait;
            } else if (std::isfinite(deadline)) {
                const double left = deadline - now;
                wait.tv_sec = time_t(left);
                wait.tv_nsec = long((left - double(wait.tv_sec)) * 1e9) + 1;  // never wake a hair early
                if (wait.tv_nsec >= 1000000000L) {
                    ++wait.tv_sec;
                    wait.tv_nsec -= 1000000000L;
                }
                timeout = &wait;
            }
            const int ready = ppoll(&fd, 1, timeout, nullptr);
            if (ready > 0) {
                // Input (or a hang-up, which Xlib turns into the
                // connection-lost handler): read what arrived.
                XEventsQueued(d, QueuedAfterReading);
                continue;
            }
            if (ready < 0 && errno != EINTR) {
                // The kernel could not wait (short of memory): trying again
                // at once would spin. Pause a moment, then read whatever
                // arrived meanwhile without waiting; a poll ends here.
                posix::sleepSeconds(posix::retryPause(monotonicSeconds(), deadline));
                if (XEventsQueued(d, QueuedAfterReading) > 0 || !polling) continue;
                return std::nullopt;
            }
            // A timeout returns without asking the server anything. EINTR
            // comes back round the loop, which re-checks the clock.
            if (polling || (ready == 0 && monotonicSeconds() >= deadline)) return std::nullopt;
        }
    }

private:
    // The monitors' rectangles on the root window: RandR 1.5 monitors (with
    // the primary one marked), else Xinerama screens (the first counts as
    // primary), else none. A server without either extension, or a request
    // that fails, gives none, and the caller takes the whole screen.
    std::vector<Rect> listMonitors(int& primary) {
        std::vector<Rect> monitors;
        primary = -1;
        if (s_.hasRandrMonitors) {
            int n = 0;
            if (XRRMonitorInfo* info = XRRGetMonitors(s_.display, s_.root, True, &n)) {
                for (int i = 0; i < n; ++i) {
                    if (info[i].primary) primary = i;
                    monitors.push_back({info[i].x, info[i].y, info[i].width, info[i].height});
                }
                XRRFreeMonitors(info);
            }
        }
        if (monitors.empty() && s_.hasXinerama) {
            int n = 0;
            if (XineramaScreenInfo* info = XineramaQueryScreens(s_.display, &n)) {
                for (int i = 0; i < n; ++i)
                    monitors.push_back({info[i].x_org, info[i].y_org, info[i].width, info[i].height});
                XFree(info);
                primary = monitors.empty() ? -1 : 0;
            }
        }
        return monitors;
    }

    WindowState* find(WindowHandle window) {
        const auto it = s_.windows.find(Window(window));
        return it == s_.windows.end() ? nullptr : &it->second;
    }

    // Creates the window's shared image, or turns shared memory off for
    // good when the server cannot attach to our segment (another machine
    // or another IPC namespace, a server that refuses): presents then go
    // through XPutImage.
    void attachSharedImage(WindowState& st, int width, int height) {
        Display* d = s_.display;
        XShmSegmentInfo& seg = st.segment;
        seg = {};
        XImage* image = XShmCreateImage(d, s_.visual, unsigned(s_.depth), ZPixmap, nullptr, &seg, unsigned(width),
                                        unsigned(height));
        if (!image || image->bits_per_pixel != s_.bitsPerPixel) {
            if (image) XDestroyImage(image);
            s_.useShm = false;
            return;
        }
        seg.shmid = shmget(IPC_PRIVATE, std::size_t(image->bytes_per_line) * std::size_t(height), IPC_CREAT | 0600);
        if (seg.shmid < 0) {
            XDestroyImage(image);
            s_.useShm = false;
            return;
        }
        seg.shmaddr = image->data = static_cast<char*>(shmat(seg.shmid, nullptr, 0));
        if (seg.shmaddr == reinterpret_cast<char*>(-1)) {
            shmctl(seg.shmid, IPC_RMID, nullptr);
            XDestroyImage(image);
            s_.useShm = false;
            return;
        }
        seg.readOnly = True;  // the server only reads from it
        // The attach fails with a protocol error, not a status: wait for the
        // server's answer. Once the server has attached, the segment is
        // marked for removal, so that it goes away with the last of us even
        // if the card is killed.
        const int errorsBefore = gProtocolErrors;
        const bool attached = XShmAttach(d, &seg) && (XSync(d, False), gProtocolErrors == errorsBefore);
        shmctl(seg.shmid, IPC_RMID, nullptr);
        if (!attached) {
            shmdt(seg.shmaddr);
            XDestroyImage(image);
            seg = {};
            s_.useShm = false;
            return;
        }
        st.sharedImage = image;
    }

    void releaseSharedImage(WindowState& st) {
        if (!st.sharedImage) return;
        XShmDetach(s_.display, &st.segment);
        XDestroyImage(st.sharedImage);  // frees the structure only; the segment is ours to detach
        shmdt(st.segment.shmaddr);
        st.sharedImage = nullptr;
        st.segment = {};
    }

    // Copies one rectangle of the framebuffer into the shared image, at the
    // same place, and asks the server to show it. The segment mirrors the
    // window: every pixel in it is the window's pixel of some recent
    // present. So it is rewritten without waiting for the server to finish
    // the previous put (no completion events, no second buffer, no extra
    // wake-up): should the server still be reading a rectangle while the
    // next present rewrites it, it shows parts of the newer frame a moment
    // early, and the put that follows shows that frame in full.
    void putShared(Window w, XImage& image, const Bitmap& frame, const Rect& r) {
        const std::size_t bytesPerPixel = std::size_t(image.bits_per_pixel / 8);
        const bool sameLayout = s_.directPixels && image.byte_order == (std::endian::native == std::endian::little
                                                                            ? LSBFirst
                                                                            : MSBFirst);
        for (int y = r.y; y < r.bottom(); ++y) {
            auto* out = reinterpret_cast<std::uint8_t*>(image.data) + std::size_t(y) * std::size_t(image.bytes_per_line) +
                        std::size_t(r.x) * bytesPerPixel;
            if (sameLayout)
                std::memcpy(out, frame.row(y) + r.x, std::size_t(r.width) * 4);
            else
                s_.converter.convert(frame.row(y) + r.x, std::size_t(r.width), out);
        }
        XShmPutImage(s_.display, w, s_.gc, &image, r.x, r.y, r.x, r.y, unsigned(r.width),
                     unsigned(r.height), False);
    }

    // Without shared memory the pixels travel through the connection: the
    // framebuffer itself when the visual stores 0xAARRGGBB, else a copy of
    // the rectangle in the visual's layout.
    void putImage(Window w, const Bitmap& frame, const Rect& r) {
        Display* d = s_.display;
        XImage image{};
        image.format = ZPixmap;
        image.bitmap_unit = 32;
        image.bitmap_pad = 32;
        image.bitmap_bit_order = LSBFirst;
        image.depth = s_.depth;
        image.red_mask = s_.redMask;
        image.green_mask = s_.greenMask;
        image.blue_mask = s_.blueMask;
        int srcX = 0, srcY = 0;
        if (s_.directPixels) {
            // Host-order 32-bit words; Xlib swaps them if the server wants
            // the other order.
            image.byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
            image.bits_per_pixel = 32;
            image.width = frame.width();
            image.height = frame.height();
            image.bytes_per_line = frame.width() * 4;
            image.data = reinterpret_cast<char*>(const_cast<Pixel*>(frame.row(0)));
            srcX = r.x;
            srcY = r.y;
        } else {
            const int bytesPerPixel = s_.converter.bytesPerPixel();
            const std::size_t rowBytes = std::size_t(r.width) * std::size_t(bytesPerPixel);
            const std::size_t stride = (rowBytes + 3) & ~std::size_t(3);  // rows padded to 32 bits
            s_.scratch.resize(stride * std::size_t(r.height));
            for (int y = 0; y < r.height; ++y)
                s_.converter.convert(frame.row(r.y + y) + r.x, std::size_t(r.width),
                                     s_.scratch.data() + std::size_t(y) * stride);
            image.byte_order = s_.converter.layout().msbFirst ? MSBFirst : LSBFirst;
            image.bits_per_pixel = bytesPerPixel * 8;
            image.width = r.width;
            image.height = r.height;
            image.bytes_per_line = int(stride);
            image.data = reinterpret_cast<char*>(s_.scratch.data());
        }
        if (!XInitImage(&image)) return;
        XPutImage(d, w, s_.gc, &image, srcX, srcY, r.x, r.y, unsigned(r.width), unsigned(r.height));
    }

    void setTitle(Window w, const std::string& title) {
        XChangeProperty(s_.display, w, s_.netWmName, s_.utf8String, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(title.data()), int(title.size()));
        XStoreName(s_.display, w, title.c_str());
    }

    void setIcon(Window w, const Picture& icon) {
        // _NET_WM_ICON: width, height, then ARGB pixels, each a CARDINAL,
        // which Xlib takes as a long whatever the size of long.
        std::vector<unsigned long> data;
        data.reserve(2 + icon.image().pixels().size());
        data.push_back((unsigned long)icon.width());
        data.push_back((unsigned long)icon.height());
        for (Pixel p : icon.image().pixels()) data.push_back(p);
        XChangeProperty(s_.display, w, s_.netWmIcon, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(data.data()), int(data.size()));
    }

    void setNormalHints(Window w, int x, int y, int width, int height) {
        XSizeHints* hints = XAllocSizeHints();
        if (!hints) return;
        hints->flags = USPosition | PPosition | USSize | PSize | PWinGravity;
        hints->x = x;
        hints->y = y;
        hints->width = width;
        hints->height = height;
        hints->win_gravity = NorthWestGravity;
        XSetWMNormalHints(s_.display, w, hints);
        XFree(hints);
    }

    // True when a window shows the cursor.
    bool shown(Cursor cursor) const {
        for (const auto& [w, st] : s_.windows)
            if (st.cursor == cursor) return true;
        return false;
    }

    // A two-colour cursor: opaque pixels form the mask; each is drawn in the
    // mean colour of the light pixels or of the dark ones, whichever group
    // it belongs to.
    Cursor makeCursor(const Picture& picture) {
        Display* d = s_.display;
        const Bitmap& image = picture.image();
        const int w = image.width(), h = image.height();
        const int stride = (w + 7) / 8;
        std::vector<char> source(std::size_t(stride) * h, 0), mask(std::size_t(stride) * h, 0);
        long light[4] = {}, dark[4] = {};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const Pixel p = image.at(x, y);
                if (pixelAlpha(p) < 128) continue;
                const int r = pixelRed(p), g = pixelGreen(p), b = pixelBlue(p);
                const bool isLight = r * 299 + g * 587 + b * 114 >= 128 * 1000;
                long* sum = isLight ? light : dark;
                sum[0] += r, sum[1] += g, sum[2] += b, ++sum[3];
                const std::size_t at = std::size_t(y) * stride + x / 8;
                mask[at] = char(mask[at] | (1 << (x % 8)));
                if (isLight) source[at] = char(source[at] | (1 << (x % 8)));
            }
        auto colour = [](const long* sum, int fallback) {
            XColor c{};
            c.flags = DoRed | DoGreen | DoBlue;
            const int n = int(sum[3]);
            c.red = (unsigned short)((n ? sum[0] / n : fallback) * 257);
            c.green = (unsigned short)((n ? sum[1] / n : fallback) * 257);
            c.blue = (unsigned short)((n ? sum[2] / n : fallback) * 257);
            return c;
        };
        XColor fg = colour(light, 255), bg = colour(dark, 0);
        const Pixmap src = XCreateBitmapFromData(d, s_.root, source.data(), unsigned(w), unsigned(h));
        const Pixmap msk = XCreateBitmapFromData(d, s_.root, mask.data(), unsigned(w), unsigned(h));
        const unsigned hx = unsigned(std::clamp(picture.hotspotX, 0, w - 1));
        const unsigned hy = unsigned(std::clamp(picture.hotspotY, 0, h - 1));
        const Cursor cursor = XCreatePixmapCursor(d, src, msk, &fg, &bg, hx, hy);
        XFreePixmap(d, src);
        XFreePixmap(d, msk);
        return cursor;
    }

    // Turns one X event into platform events on the queue, or none.
    void convert(XEvent& xe) {
        if (xe.type == ClientMessage && xe.xclient.message_type == s_.wmProtocols) {
            const Atom what = Atom(xe.xclient.data.l[0]);
            if (what == s_.netWmPing) {
                // Tell the window manager we are alive.
                xe.xclient.window = s_.root;
                XSendEvent(s_.display, s_.root, False, SubstructureNotifyMask | SubstructureRedirectMask, &xe);
                return;
            }
            if (what == s_.wmDeleteWindow && s_.windows.count(xe.xclient.window))
                s_.queue.push(EventType::CloseRequest, WindowHandle(xe.xclient.window));
            return;
        }
        const auto it = s_.windows.find(xe.xany.window);
        if (it == s_.windows.end()) return;
        const Window w = it->first;
        WindowState& st = it->second;
        switch (xe.type) {
        case kXExposeEvent: {
            const XExposeEvent& ex = xe.xexpose;
            st.pendingExpose = st.pendingExpose.unite({ex.x, ex.y, ex.width, ex.height});
            if (ex.count == 0 && !st.pendingExpose.empty()) {
                Event e;
                e.type = EventType::Expose;
                e.window = WindowHandle(w);
                e.area = st.pendingExpose;
                s_.queue.push(e);
                st.pendingExpose = {};
            }
            break;
        }
        case ButtonPress: {
            const XButtonEvent& b = xe.xbutton;
            if (b.button < 1 || b.button > 3) break;  // wheel and side buttons
            s_.queue.press(WindowHandle(w), int(b.button), b.x, b.y, std::uint32_t(b.time));
            break;
        }
        case ButtonRelease: {
            const XButtonEvent& b = xe.xbutton;
            if (b.button < 1 || b.button > 3) break;
            const bool inside = b.x >= 0 && b.y >= 0 && b.x < st.width && b.y < st.height;
            s_.queue.release(WindowHandle(w), int(b.button), b.x, b.y, inside);
            break;
        }
        case MotionNotify: {
            // Only the latest of a run of motions queued back to back
            // matters; a motion after a press or release is kept in order.
            XEvent next;
            while (XEventsQueued(s_.display, QueuedAlready) > 0) {
                XPeekEvent(s_.display, &next);
                if (next.type != MotionNotify || next.xmotion.window != w) break;
                XNextEvent(s_.display, &xe);
            }
            s_.queue.push(EventType::Move, WindowHandle(w), xe.xmotion.x, xe.xmotion.y, 0);
            break;
        }
        case LeaveNotify:
            if (xe.xcrossing.detail != NotifyInferior) s_.queue.push(EventType::Leave, WindowHandle(w), xe.xcrossing.x, xe.xcrossing.y, 0);
            break;
        case ConfigureNotify:
            st.width = xe.xconfigure.width;
            st.height = xe.xconfigure.height;
            break;
        case DestroyNotify:
            // Another client destroyed the window (our own destroyWindow
            // forgets a window before the server reports it). It is gone:
            // forget it and tell the runtime.
            if (xe.xdestroywindow.window == w) {
                releaseSharedImage(st);
                s_.windows.erase(it);
                s_.queue.forget(WindowHandle(w));
                s_.queue.push(EventType::Destroyed, WindowHandle(w));
            }
            break;
        default:
            break;
        }
    }

    X11State s_;
};

// The desktop's double-click interval from its XSETTINGS manager, if any.
std::optional<int> desktopDoubleClickTime(Display* d, int screen) {
    const std::string selection = "_XSETTINGS_S" + std::to_string(screen);
    const Window owner = XGetSelectionOwner(d, atom(d, selection.c_str()));
    if (owner == None) return std::nullopt;
    const Atom settings = atom(d, "_XSETTINGS_SETTINGS");
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::optional<int> ms;
    if (XGetWindowProperty(d, owner, settings, 0, 1 << 16, False, settings, &type, &format, &count, &after,
                           &data) == Success &&
        data != nullptr && format == 8)
        ms = x11::doubleClickTimeFromXSettings(data, count);
    if (data) XFree(data);
    return ms;
}

// Picks the visual the windows use among the screen's visuals and sets up
// what drawing with it takes: the colormap and a GC of its depth. False when
// the screen has no visual the backend can draw with.
bool setUpVisual(X11State& s) {
    Display* d = s.display;
    XVisualInfo want{};
    want.screen = s.screen;
    int n = 0;
    XVisualInfo* info = XGetVisualInfo(d, VisualScreenMask, &want, &n);
    if (info == nullptr) return false;
    int formatCount = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(d, &formatCount);
    const Visual* defaultVisual = DefaultVisual(d, s.screen);
    std::vector<x11::VisualDescription> visuals;
    for (int i = 0; i < n; ++i) {
        x11::VisualDescription v;
        v.trueColor = info[i].c_class == TrueColor;
        v.depth = info[i].depth;
        v.redMask = info[i].red_mask;
        v.greenMask = info[i].green_mask;
        v.blueMask = info[i].blue_mask;
        for (int f = 0; f < formatCount; ++f)
            if (formats[f].depth == v.depth) v.bitsPerPixel = formats[f].bits_per_pixel;
        v.isDefault = info[i].visual == defaultVisual;
        visuals.push_back(v);
    }
    if (formats) XFree(formats);
    const std::optional<std::size_t> chosen = x11::chooseVisual(visuals);
    if (chosen) {
        const x11::VisualDescription& v = visuals[*chosen];
        s.visual = info[*chosen].visual;
        s.depth = v.depth;
        s.bitsPerPixel = v.bitsPerPixel;
        s.redMask = v.redMask;
        s.greenMask = v.greenMask;
        s.blueMask = v.blueMask;
        s.directPixels = x11::storesFramebufferPixels(v);
        // Bits outside the colour channels (alpha at depth 32) set: opaque.
        const unsigned long depthBits = v.depth >= 32 ? 0xFFFFFFFFul : (1ul << v.depth) - 1;
        s.black = depthBits & ~(v.redMask | v.greenMask | v.blueMask);
        if (v.isDefault) {
            s.colormap = DefaultColormap(d, s.screen);
        } else {
            s.colormap = XCreateColormap(d, s.root, s.visual, AllocNone);
            s.ownColormap = true;
        }
        // A GC serves drawables of the depth of the one it was made on.
        const Pixmap probe = XCreatePixmap(d, s.root, 1, 1, unsigned(v.depth));
        s.gc = XCreateGC(d, probe, 0, nullptr);
        XFreePixmap(d, probe);
    }
    XFree(info);
    return chosen.has_value();
}

}  // namespace

std::unique_ptr<Platform> makeX11Platform(std::string& error) {
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr) {
        const char* name = std::getenv("DISPLAY");
        error = std::string("cannot open the X display \"") + (name ? name : "") + "\"";
        return nullptr;
    }
    gReportErrors = std::getenv("VELMORA_X11_DEBUG") != nullptr;
    XSetErrorHandler(onProtocolError);
    XSetIOErrorHandler(onConnectionLost);
    // Children (xdg-open) must not inherit the connection.
    fcntl(ConnectionNumber(d), F_SETFD, fcntl(ConnectionNumber(d), F_GETFD) | FD_CLOEXEC);

    X11State s;
    s.display = d;
    s.screen = DefaultScreen(d);
    s.root = RootWindow(d, s.screen);
    if (!setUpVisual(s)) {
        XCloseDisplay(d);
        error = "the X display has no true-colour visual (15 bits a pixel or more)";
        return nullptr;
    }

    int shapeEvent = 0, shapeError = 0;
    s.hasShape = XShapeQueryExtension(d, &shapeEvent, &shapeError);
    int randrEvent = 0, randrError = 0, randrMajor = 0, randrMinor = 0;
    s.hasRandrMonitors = XRRQueryExtension(d, &randrEvent, &randrError) &&
                         XRRQueryVersion(d, &randrMajor, &randrMinor) &&
                         (randrMajor > 1 || (randrMajor == 1 && randrMinor >= 5));
    int xineramaEvent = 0, xineramaError = 0;
    s.hasXinerama = XineramaQueryExtension(d, &xineramaEvent, &xineramaError) && XineramaIsActive(d);

    // Every atom in one round trip rather than one each.
    const std::pair<Atom*, const char*> atoms[] = {
        {&s.wmProtocols, "WM_PROTOCOLS"},
        {&s.wmDeleteWindow, "WM_DELETE_WINDOW"},
        {&s.netWmPing, "_NET_WM_PING"},
        {&s.netWmName, "_NET_WM_NAME"},
        {&s.netWmPid, "_NET_WM_PID"},
        {&s.netWmIcon, "_NET_WM_ICON"},
        {&s.netWmState, "_NET_WM_STATE"},
        {&s.netWmStateSkipTaskbar, "_NET_WM_STATE_SKIP_TASKBAR"},
        {&s.netWmStateSkipPager, "_NET_WM_STATE_SKIP_PAGER"},
        {&s.motifWmHints, "_MOTIF_WM_HINTS"},
        {&s.utf8String, "UTF8_STRING"},
    };
    constexpr int kAtoms = int(std::size(atoms));
    char* names[kAtoms];
    Atom values[kAtoms] = {};
    for (int i = 0; i < kAtoms; ++i) names[i] = const_cast<char*>(atoms[i].second);
    XInternAtoms(d, names, kAtoms, False, values);
    for (int i = 0; i < kAtoms; ++i) *atoms[i].first = values[i];
    if (const auto ms = desktopDoubleClickTime(d, s.screen)) s.queue.clicks().setIntervalMs(std::uint32_t(*ms));
    return std::make_unique<X11Platform>(std::move(s));
}

}  // namespace rt::platform
