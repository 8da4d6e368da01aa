// The framebuffer on the screen: presents with SetDIBitsToDevice, and
// WM_PAINT answered from the window's copy of its last frame.
#include "win32_internal.h"

#include <algorithm>

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
