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
//  - prefersReducedMotion: Gtk/EnableAnimations 0 in the desktop's XSETTINGS.
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
//
// Where (shared state in x11_internal.h): this file, the connection and
// start-up; x11_settings.cpp, Xft.dpi, GDK_SCALE and XSETTINGS;
// x11_visual.cpp, the visual and pixel conversion; x11_monitors.cpp,
// screen(); x11_windows.cpp, windows and shapes; x11_framebuffer.cpp,
// MIT-SHM and XPutImage; x11_cursors.cpp; x11_events.cpp, waitEvent. The
// opener's launch and the clocks are POSIX's (../posix/).
#include "x11_internal.h"

#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/shape.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "../posix/posix.h"

namespace rt::platform {
namespace x11 {

namespace {

// Xlib calls these handlers without context, so what they record lives here.
int gProtocolErrors = 0;
unsigned char gLastErrorCode = 0;
bool gReportErrors = false;  // VELMORA_X11_DEBUG set: describe each error on stderr

// Counts an X protocol error (and describes it when asked to).
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

// Ends the process with a one-line message when the server is gone.
int onConnectionLost(Display*) {
    static bool leaving = false;
    if (leaving) _exit(1);
    leaving = true;
    std::fputs("velmora: lost the connection to the X server\n", stderr);
    std::exit(1);
}

// True when the connection to the server is a local (Unix domain) socket:
// only then can the server attach to our shared memory segments.
bool localConnection(Display* d) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    return getsockname(ConnectionNumber(d), reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
           address.ss_family == AF_UNIX;
}

}  // namespace

int protocolErrors() { return gProtocolErrors; }

// Sets up presenting for the visual chosen, and finds out whether the server can read shared memory.
X11Platform::X11Platform(X11State state) : s_(std::move(state)) {
    Display* d = s_.display;
    s_.converter = x11::PixelConverter({std::uint32_t(s_.redMask), std::uint32_t(s_.greenMask),
                                        std::uint32_t(s_.blueMask), s_.bitsPerPixel,
                                        ImageByteOrder(d) == MSBFirst});
    // A remote server cannot see our memory; one on this machine can,
    // unless it lives in another IPC namespace, which the first attach
    // finds out (attachSharedImage).
    s_.useShm = localConnection(d) && XShmQueryExtension(d);
}

// Destroys every window and frees what the server holds for us, then closes the connection.
X11Platform::~X11Platform() {
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

// Opens the file with xdg-open; the rest of the request is for Windows.
void X11Platform::openDocument(const DocumentRequest& request) { posix::launchDetached("xdg-open", request.file); }

// Writes the message on stderr.
void X11Platform::reportError(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
}

// CLOCK_MONOTONIC, in seconds.
double X11Platform::monotonicSeconds() { return posix::monotonicSeconds(); }

// The local wall clock, with fractions.
LocalDateTime X11Platform::localNow() { return posix::localNow(); }

}  // namespace x11

// Opens the display, chooses the visual, asks what the server offers and makes the backend.
std::unique_ptr<Platform> makeX11Platform(std::string& error) {
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr) {
        const char* name = std::getenv("DISPLAY");
        error = std::string("cannot open the X display \"") + (name ? name : "") + "\"";
        return nullptr;
    }
    x11::gReportErrors = std::getenv("VELMORA_X11_DEBUG") != nullptr;
    XSetErrorHandler(x11::onProtocolError);
    XSetIOErrorHandler(x11::onConnectionLost);
    // Children (xdg-open) must not inherit the connection.
    fcntl(ConnectionNumber(d), F_SETFD, fcntl(ConnectionNumber(d), F_GETFD) | FD_CLOEXEC);

    x11::X11State s;
    s.display = d;
    s.screen = DefaultScreen(d);
    s.root = RootWindow(d, s.screen);
    if (!x11::setUpVisual(s)) {
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
    const x11::DesktopSettings settings = x11::desktopSettings(d, s.screen);
    if (settings.doubleClickMs) s.queue.clicks().setIntervalMs(std::uint32_t(*settings.doubleClickMs));
    s.reducedMotion = settings.animations == false;
    return std::make_unique<x11::X11Platform>(std::move(s));
}

}  // namespace rt::platform
