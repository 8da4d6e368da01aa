// Monitors: the one to centre windows on (RandR 1.5, else Xinerama, else
// the whole screen) and the desktop's density and scale.
#include "x11_internal.h"

#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

#include <cstdlib>

namespace rt::platform::x11 {

// The monitor that holds the pointer, else the primary one, else the first.
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

// The monitor to centre windows on, with the desktop's density and scale.
ScreenMetrics X11Platform::screen() {
    Display* d = s_.display;
    ScreenMetrics m;
    const Rect whole{0, 0, DisplayWidth(d, s_.screen), DisplayHeight(d, s_.screen)};
    int primary = -1;
    const std::vector<Rect> monitors = listMonitors(primary);
    std::optional<ScreenPoint> pointer;
    Window rootReturn = None, child = None;
    int rootX = 0, rootY = 0, windowX = 0, windowY = 0;
    unsigned int buttons = 0;
    // False when the pointer is on another screen of the display.
    if (XQueryPointer(d, s_.root, &rootReturn, &child, &rootX, &rootY, &windowX, &windowY, &buttons))
        pointer = ScreenPoint{rootX, rootY};
    m.monitor = chooseMonitor(monitors, pointer, primary).value_or(whole);
    m.dpi = xftDpiFromResources(XResourceManagerString(s_.display)).value_or(96.0);
    m.scale = gdkScaleFromEnvironment(std::getenv("GDK_SCALE")).value_or(0);  // 0: from dpi
    return m;
}

// The monitors' rectangles on the root window: RandR 1.5 monitors (with
// the primary one marked), else Xinerama screens (the first counts as
// primary), else none. A server without either extension, or a request
// that fails, gives none, and the caller takes the whole screen.
std::vector<Rect> X11Platform::listMonitors(int& primary) {
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

}  // namespace rt::platform::x11
