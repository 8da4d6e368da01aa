// Windows and their shapes: creating, placing, showing, owning and
// destroying the backend's windows, and their regions.
#include "win32_internal.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "../../graphics/region.h"

namespace rt::platform::win32 {

// The region as banded rectangles for ExtCreateRegion.
HRGN__* createRegion(const Region& shape) {
    const std::vector<Rect> rects = bandedRectangles(shape);
    if (rects.empty()) return nullptr;
    std::vector<std::uint8_t> data(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
    header->dwSize = sizeof(RGNDATAHEADER);
    header->iType = RDH_RECTANGLES;
    header->nCount = DWORD(rects.size());
    header->nRgnSize = DWORD(rects.size() * sizeof(RECT));
    Rect bounds = rects.front();
    auto* out = reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER));
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const Rect& r = rects[i];
        out[i] = RECT{r.x, r.y, r.right(), r.bottom()};
        bounds = bounds.unite(r);
    }
    header->rcBound = RECT{bounds.x, bounds.y, bounds.right(), bounds.bottom()};
    return ExtCreateRegion(nullptr, DWORD(data.size()), reinterpret_cast<const RGNDATA*>(data.data()));
}

// The state of one of the windows, or null.
WindowState* Win32Platform::find(WindowHandle window) {
    const auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : &it->second;
}

// Makes a hidden frameless window and gives it its icons.
WindowHandle Win32Platform::createWindow(const WindowOptions& o) {
    const int width = std::max(1, o.width), height = std::max(1, o.height);
    const DWORD exStyle = o.showInTaskbar ? WS_EX_APPWINDOW : WS_EX_TOOLWINDOW;
    HWND hwnd = CreateWindowExW(exStyle, kClassName, utf16(o.title).c_str(), WS_POPUP, o.x, o.y, width, height,
                                nullptr, nullptr, instance_, this);
    if (!hwnd) return kNoWindow;
    const WindowHandle handle = nextHandle_++;
    WindowState state;
    state.hwnd = hwnd;
    state.width = width;
    state.height = height;
    state.dpi = monitorDpi(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST));
    if (o.icon && !o.icon->image().empty()) state.icon = o.icon;
    windows_[handle] = state;
    handles_[hwnd] = handle;
    applyIcons(windows_[handle]);
    return handle;
}

// Destroys a window the runtime is done with.
void Win32Platform::destroyWindow(WindowHandle window) {
    const auto it = windows_.find(window);
    if (it == windows_.end()) return;
    HWND hwnd = it->second.hwnd;
    // Forgotten first, so that its WM_DESTROY is not taken for someone
    // else's doing.
    windows_.erase(it);
    handles_.erase(hwnd);
    queue_.forget(window);
    DestroyWindow(hwnd);
}

// Moves and sizes the window.
void Win32Platform::setWindowBounds(WindowHandle window, const Rect& outer) {
    WindowState* st = find(window);
    if (!st) return;
    st->width = std::max(1, outer.width);
    st->height = std::max(1, outer.height);
    SetWindowPos(st->hwnd, nullptr, outer.x, outer.y, st->width, st->height,
                 SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOACTIVATE);
}

// Shows or hides the window, painting it at once when shown.
void Win32Platform::setWindowVisible(WindowHandle window, bool visible) {
    WindowState* st = find(window);
    if (!st || bool(IsWindowVisible(st->hwnd)) == visible) return;
    ShowWindow(st->hwnd, visible ? SW_SHOW : SW_HIDE);
    // The pixels presented while hidden, painted now (WM_PAINT) rather
    // than once the runtime is back in its loop.
    if (visible) UpdateWindow(st->hwnd);
}

// Sets the owner window, which the window stays above.
void Win32Platform::setWindowOwner(WindowHandle window, WindowHandle owner) {
    WindowState* st = find(window);
    if (!st) return;
    WindowState* o = owner != kNoWindow ? find(owner) : nullptr;
    // For a top-level window this slot is its owner, which it stays above.
    SetWindowLongPtrW(st->hwnd, GWLP_HWNDPARENT, LONG_PTR(o ? o->hwnd : nullptr));
}

// Gives the window its shape as a region, or makes it rectangular again.
void Win32Platform::setWindowShape(WindowHandle window, const Region* shape) {
    WindowState* st = find(window);
    if (!st || sameShape(st->shape, shape)) return;
    if (shape == nullptr) {
        SetWindowRgn(st->hwnd, nullptr, TRUE);
        st->shape = std::nullopt;
        return;
    }
    HRGN region = win32::createRegion(*shape);
    if (!region) {
        // An empty shape hides every pixel; GDI makes that from an
        // empty rectangle.
        if (!shape->spans.empty() || !(region = CreateRectRgn(0, 0, 0, 0))) return;
    }
    // The system owns the region once the call succeeds; until then it
    // is ours.
    if (!SetWindowRgn(st->hwnd, region, TRUE)) {
        DeleteObject(region);
        return;
    }
    st->shape = *shape;
}

}  // namespace rt::platform::win32
