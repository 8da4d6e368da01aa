// Windows: creating them with the properties window managers read, placing,
// showing, owning and shaping them.
#include "x11_internal.h"

#include <X11/Xatom.h>
#include <X11/extensions/shape.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "../../graphics/region.h"

namespace rt::platform::x11 {

// Creates a hidden, undecorated top-level window with its properties.
WindowHandle X11Platform::createWindow(const WindowOptions& o) {
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

// Destroys the window and forgets it and its queued events.
void X11Platform::destroyWindow(WindowHandle window) {
    const auto it = s_.windows.find(Window(window));
    if (it == s_.windows.end()) return;
    releaseSharedImage(it->second);
    XDestroyWindow(s_.display, it->first);
    s_.windows.erase(it);
    s_.queue.forget(window);
    XFlush(s_.display);
}

// Moves and resizes the window, telling the window manager where it goes.
void X11Platform::setWindowBounds(WindowHandle window, const Rect& outer) {
    WindowState* st = find(window);
    if (!st) return;
    const int width = std::max(1, outer.width), height = std::max(1, outer.height);
    setNormalHints(Window(window), outer.x, outer.y, width, height);
    XMoveResizeWindow(s_.display, Window(window), outer.x, outer.y, unsigned(width), unsigned(height));
    st->width = width;
    st->height = height;
    XFlush(s_.display);
}

// Maps or withdraws the window.
void X11Platform::setWindowVisible(WindowHandle window, bool visible) {
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

// Keeps the window above its owner (WM_TRANSIENT_FOR).
void X11Platform::setWindowOwner(WindowHandle window, WindowHandle owner) {
    if (!find(window)) return;
    // A transient window stays above the window it belongs to, so a
    // click on the blocked owner cannot raise it over the modal window.
    if (owner != kNoWindow && find(owner))
        XSetTransientForHint(s_.display, Window(window), Window(owner));
    else
        XDeleteProperty(s_.display, Window(window), XA_WM_TRANSIENT_FOR);
    XFlush(s_.display);
}

// Sets the bounding and input shape from the region, unless unchanged.
void X11Platform::setWindowShape(WindowHandle window, const Region* shape) {
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

// The state of one of our windows, or null.
WindowState* X11Platform::find(WindowHandle window) {
    const auto it = s_.windows.find(Window(window));
    return it == s_.windows.end() ? nullptr : &it->second;
}

// Sets the title, in UTF-8 and in the legacy property.
void X11Platform::setTitle(Window w, const std::string& title) {
    XChangeProperty(s_.display, w, s_.netWmName, s_.utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), int(title.size()));
    XStoreName(s_.display, w, title.c_str());
}

// Sets the window manager icon (_NET_WM_ICON) from the picture.
void X11Platform::setIcon(Window w, const Picture& icon) {
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

// Tells the window manager the position and size the program chose.
void X11Platform::setNormalHints(Window w, int x, int y, int width, int height) {
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

}  // namespace rt::platform::x11
