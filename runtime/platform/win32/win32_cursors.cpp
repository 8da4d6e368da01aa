// Cursors and window icons made from pictures at the window's density,
// cached per picture and size, and the system's arrow.
#include "win32_internal.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace rt::platform::win32 {

namespace {

// The bitmap averaged down (or spread out) to width x height: each pixel
// is the mean of the source area it covers, partly covered source pixels
// counting by their share, in premultiplied colour so that transparent
// pixels lend no colour to the edges. Alpha stays straight, as icons take it.
Bitmap resampled(const Bitmap& source, int width, int height) {
    if (source.width() == width && source.height() == height) return source;
    Bitmap out(width, height, 0);
    const double sx = double(source.width()) / width, sy = double(source.height()) / height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double a = 0, r = 0, g = 0, b = 0, area = 0;
            const double x0 = x * sx, x1 = (x + 1) * sx, y0 = y * sy, y1 = (y + 1) * sy;
            for (int v = int(y0); v < std::min(int(std::ceil(y1)), source.height()); ++v)
                for (int u = int(x0); u < std::min(int(std::ceil(x1)), source.width()); ++u) {
                    const double share = (std::min(x1, u + 1.0) - std::max(x0, double(u))) *
                                         (std::min(y1, v + 1.0) - std::max(y0, double(v)));
                    const Pixel p = source.at(u, v);
                    const double alpha = pixelAlpha(p) * share;
                    a += alpha;
                    r += pixelRed(p) * alpha;
                    g += pixelGreen(p) * alpha;
                    b += pixelBlue(p) * alpha;
                    area += share;
                }
            if (a <= 0 || area <= 0) continue;
            const auto channel = [](double v) { return Pixel(std::clamp(int(std::lround(v)), 0, 255)); };
            out.at(x, y) = channel(a / area) << 24 | channel(r / a) << 16 | channel(g / a) << 8 | channel(b / a);
        }
    return out;
}

// A full-colour icon or cursor from a picture at width x height pixels,
// from its best drawing for that size: a 32-bit top-down colour bitmap
// carrying the picture's alpha, and the AND mask made from it.
HICON makeIcon(const Picture& picture, bool isIcon, int width, int height) {
    if (picture.width() <= 0 || picture.height() <= 0 || width <= 0 || height <= 0) return nullptr;
    const int factor = (std::max(width, height) + std::max(picture.width(), picture.height()) - 1) /
                       std::max(picture.width(), picture.height());
    const Bitmap image = resampled(picture.drawingFor(std::max(1, factor)).image(), width, height);
    const int w = image.width(), h = image.height();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top-down rows, as the runtime keeps them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP colour = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!colour || !bits) {
        if (colour) DeleteObject(colour);
        return nullptr;
    }
    // The mask: one bit a pixel, set where the picture is transparent; rows
    // padded to 16 bits as CreateBitmap wants them.
    const int maskStride = ((w + 15) / 16) * 2;
    std::vector<std::uint8_t> mask(std::size_t(maskStride) * h, 0);
    auto* out = static_cast<std::uint32_t*>(bits);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Pixel p = image.at(x, y);
            const bool transparent = pixelAlpha(p) == 0;  // else blended by its alpha
            out[std::size_t(y) * w + x] = transparent ? 0u : p;
            if (transparent) mask[std::size_t(y) * maskStride + x / 8] |= std::uint8_t(0x80 >> (x % 8));
        }
    HBITMAP maskBitmap = CreateBitmap(w, h, 1, 1, mask.data());
    ICONINFO icon{};
    icon.fIcon = isIcon ? TRUE : FALSE;
    icon.xHotspot = DWORD(std::clamp(picture.hotspotX * w / picture.width(), 0, w - 1));
    icon.yHotspot = DWORD(std::clamp(picture.hotspotY * h / picture.height(), 0, h - 1));
    icon.hbmMask = maskBitmap;
    icon.hbmColor = colour;
    HICON result = maskBitmap ? CreateIconIndirect(&icon) : nullptr;
    DeleteObject(colour);
    if (maskBitmap) DeleteObject(maskBitmap);
    return result;
}

}  // namespace

// Sets the cursor shown over the window: the arrow, or one made from the picture.
void Win32Platform::setCursor(WindowHandle window, const PictureRef& picture) {
    WindowState* st = find(window);
    if (!st) return;
    st->cursorPicture = picture && !picture->image().empty() ? picture : nullptr;
    applyCursor(*st);
}

// The system's arrow, loaded once.
HCURSOR Win32Platform::arrow() {
    if (!arrow_) arrow_ = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
    return arrow_;
}

// The system's small or big icon size at a density: 16 and 32 pixels
// at 96 dpi, 20 and 40 at 120.
int Win32Platform::iconSize(bool small, double dpi) const {
    const int metric = small ? SM_CXSMICON : SM_CXICON;
    const int n = getSystemMetricsForDpi_ ? getSystemMetricsForDpi_(metric, UINT(dpi)) : 0;
    return n > 0 ? n : int(std::lround((small ? 16 : 32) * dpi / 96.0));
}

// The window's icon picture at the small and big sizes of its density.
void Win32Platform::applyIcons(WindowState& st) {
    if (!st.icon) return;
    for (const bool small : {true, false}) {
        const int size = iconSize(small, st.dpi);
        const HICON icon = icons_.obtain(
            st.icon, size, [&](const Picture& p) { return makeIcon(p, true, size, size); },
            [](HICON) { return true; }, DestroyIcon);
        if (icon) SendMessageW(st.hwnd, WM_SETICON, small ? ICON_SMALL : ICON_BIG, LPARAM(icon));
    }
}

// The window's cursor picture, drawn for the runtime's scale, at the
// size that scale stands for on the window's monitor.
void Win32Platform::applyCursor(WindowState& st) {
    HCURSOR cursor = nullptr;
    if (st.cursorPicture) {
        if (runtimeScale_ == 0) screen();
        const double ratio = st.dpi / (96.0 * std::max(1, runtimeScale_));
        const int w = std::max(1, int(std::lround(st.cursorPicture->width() * ratio)));
        const int h = std::max(1, int(std::lround(st.cursorPicture->height() * ratio)));
        cursor = cursors_.obtain(
            st.cursorPicture, w, [&](const Picture& p) { return makeIcon(p, false, w, h); },
            [&](HCURSOR c) { return cursorShown(windows_, c); }, DestroyCursor);
    }
    if (cursor == st.cursor) return;
    st.cursor = cursor;
    // The system asks again (WM_SETCURSOR) only when the pointer moves;
    // a pointer resting over the window gets the new shape now.
    POINT pointer{};
    if (GetCursorPos(&pointer) && (WindowFromPoint(pointer) == st.hwnd || GetCapture() == st.hwnd))
        SetCursor(cursor ? cursor : arrow());
}

}  // namespace rt::platform::win32
