// The framebuffer on the screen: presents with SetDIBitsToDevice, moves
// with ScrollDC, and WM_PAINT answered from the window's copy of its last
// frame.
#include "win32_internal.h"

#include <algorithm>
#include <vector>

namespace rt::platform::win32 {

// Copies the dirty rectangles into the window's copy and onto the screen.
void Win32Platform::present(WindowHandle window, const Bitmap& frame, std::span<const Rect> dirty) {
    WindowState* st = find(window);
    if (!st || frame.empty()) return;
    // The window's copy of its pixels: whole when the size changed.
    const bool whole = st->shown.width() != frame.width() || st->shown.height() != frame.height();
    if (whole) st->shown = frame;
    for (const Rect& area : dirty) {
        const Rect r = area.intersect(frame.bounds());
        for (int y = r.y; !whole && y < r.bottom(); ++y)
            std::copy(frame.row(y) + r.x, frame.row(y) + r.right(), st->shown.row(y) + r.x);
    }
    // A hidden window keeps none of what GDI draws on it.
    if (!IsWindowVisible(st->hwnd)) return;
    HDC dc = GetDC(st->hwnd);
    if (!dc) return;
    for (const Rect& area : dirty) paint(dc, frame, area.intersect(frame.bounds()));
    ReleaseDC(st->hwnd, dc);
}

// Moves what the window shows with ScrollDC, then paints the exposed
// rectangles as present does. Where ScrollDC had no pixels to take (the
// source outside the window's region or under another window) it reports
// an update region, painted from the frame as well.
void Win32Platform::presentMove(WindowHandle window, const Bitmap& frame, const Rect& from, int dx, int dy,
                                std::span<const Rect> exposed) {
    WindowState* st = find(window);
    if (!st || frame.empty()) return;
    const Rect to = from.intersect(frame.bounds()).offset(dx, dy).intersect(frame.bounds());
    if (to.empty() || st->shown.width() != frame.width() || st->shown.height() != frame.height())
        return Platform::presentMove(window, frame, from, dx, dy, exposed);
    // The window's copy takes the moved pixels from the frame, which holds
    // the result already.
    for (int y = to.y; y < to.bottom(); ++y)
        std::copy(frame.row(y) + to.x, frame.row(y) + to.right(), st->shown.row(y) + to.x);
    for (const Rect& area : exposed) {
        const Rect r = area.intersect(frame.bounds());
        for (int y = r.y; y < r.bottom(); ++y)
            std::copy(frame.row(y) + r.x, frame.row(y) + r.right(), st->shown.row(y) + r.x);
    }
    if (!IsWindowVisible(st->hwnd)) return;
    HDC dc = GetDC(st->hwnd);
    if (!dc) return;
    // No clipping rectangle: Wine clips the source to it too, and leaves
    // the destination's edges unpainted. `to` lies inside the window.
    const RECT source{to.x - dx, to.y - dy, to.right() - dx, to.bottom() - dy};
    HRGN update = CreateRectRgn(0, 0, 0, 0);
    if (!update || !ScrollDC(dc, dx, dy, &source, nullptr, update, nullptr)) {
        paint(dc, frame, to);
    } else {
        const DWORD size = GetRegionData(update, 0, nullptr);
        std::vector<char> buffer(size);
        auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
        if (size && GetRegionData(update, size, data)) {
            const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
            for (DWORD i = 0; i < data->rdh.nCount; ++i) {
                const RECT& r = rects[i];
                const Rect area{int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top)};
                paint(dc, frame, area.intersect(frame.bounds()));
            }
        }
    }
    if (update) DeleteObject(update);
    for (const Rect& area : exposed) paint(dc, frame, area.intersect(frame.bounds()));
    ReleaseDC(st->hwnd, dc);
}

// The rows of the rectangle, described as a top-down DIB exactly that
// tall, so no scan-line arithmetic is involved.
void Win32Platform::paint(HDC dc, const Bitmap& frame, const Rect& r) {
    if (r.empty()) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = frame.width();
    info.bmiHeader.biHeight = -r.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, r.x, r.y, DWORD(r.width), DWORD(r.height), r.x, 0, 0, UINT(r.height), frame.row(r.y),
                      &info, DIB_RGB_COLORS);
}
// Paints the area WM_PAINT asks for from the window's copy of what it
// shows; an Expose asks the runtime for what no present has covered yet.
void Win32Platform::paintFromCopy(HWND hwnd, WindowHandle window, const WindowState& st) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    const RECT& r = ps.rcPaint;
    const Rect area{int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top)};
    // What the runtime presented last, painted before EndPaint validates
    // the area: no undrawn frame ever reaches the screen.
    const Rect kept = area.intersect(st.shown.bounds());
    if (dc && !kept.empty()) paint(dc, st.shown, kept);
    EndPaint(hwnd, &ps);
    if (!area.empty() && kept != area) queue_.push(exposeEvent(window, area));
}

}  // namespace rt::platform::win32
