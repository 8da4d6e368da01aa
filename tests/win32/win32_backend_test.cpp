// The Win32 backend against the system itself (run under Wine in CI): the
// window shapes GDI makes from the runtime's spans, and the events a window
// turns its messages into.
#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <array>
#include <span>
#include <vector>

#include "runtime/graphics/region.h"
#include "runtime/platform/win32/win32_platform.h"

namespace {

using rt::platform::EventType;

// GDI leaves out the right column and bottom row of the rectangle it is
// given, so a W x H window's rounded region is CreateRoundRectRgn(0, 0,
// W + 1, H + 1, d, d): the runtime's spans must give exactly that region.
TEST(Win32Region, RuntimeSpansGiveExactlyTheRegionGdiRoundsItself) {
    struct Case {
        int width, height, diameter;
    };
    for (const Case c : {Case{333, 415, 30}, Case{200, 127, 250}, Case{666, 830, 60}, Case{250, 159, 250}}) {
        HRGN ours = rt::platform::win32::createRegion(rt::roundRectRegion(c.width, c.height, c.diameter, c.diameter));
        ASSERT_NE(ours, nullptr);
        HRGN gdi = CreateRoundRectRgn(0, 0, c.width + 1, c.height + 1, c.diameter, c.diameter);
        // Same pixels, whatever rectangles either is made of (Wine keeps
        // the ellipse's rows apart where Windows merges them).
        HRGN difference = CreateRectRgn(0, 0, 0, 0);
        EXPECT_EQ(CombineRgn(difference, ours, gdi, RGN_XOR), NULLREGION)
            << c.width << " x " << c.height << ", corner " << c.diameter;
        DeleteObject(difference);
        RECT box{};
        GetRgnBox(ours, &box);
        EXPECT_EQ(box.right - box.left, c.width);
        EXPECT_EQ(box.bottom - box.top, c.height);
        DeleteObject(ours);
        DeleteObject(gdi);
    }
    EXPECT_EQ(rt::platform::win32::createRegion(rt::Region{}), nullptr);
}

TEST(Win32Wait, MillisecondsRoundUpSoNoWaitEndsEarly) {
    using rt::platform::win32::waitMilliseconds;
    EXPECT_EQ(waitMilliseconds(0.0), 0u);
    EXPECT_EQ(waitMilliseconds(-1.0), 0u);
    EXPECT_EQ(waitMilliseconds(0.0000001), 1u);
    EXPECT_EQ(waitMilliseconds(1.0 / 64), 16u);  // 15.625 ms
    EXPECT_EQ(waitMilliseconds(0.1), 100u);
    EXPECT_LT(waitMilliseconds(1e12), INFINITE);
}

// A window of the backend, found again by its class and title. It stays
// hidden: messages reach it all the same, and a hidden window is destroyed
// at once where a shown one waits on the X server.
struct BackendWindow {
    std::string error;
    std::unique_ptr<rt::platform::Platform> platform = rt::platform::makeWin32Platform(error);
    rt::platform::WindowHandle handle = rt::platform::kNoWindow;
    HWND hwnd = nullptr;

    BackendWindow() {
        if (!platform) return;
        rt::platform::WindowOptions options;
        options.x = 40;
        options.y = 30;
        options.width = 120;
        options.height = 90;
        options.title = "Velmora backend test";
        handle = platform->createWindow(options);
        hwnd = FindWindowW(L"VelmoraWindow", L"Velmora backend test");
    }

    // Every event the queued messages give, without waiting.
    std::vector<rt::platform::Event> drain() {
        std::vector<rt::platform::Event> out;
        while (auto e = platform->waitEvent(platform->monotonicSeconds())) out.push_back(*e);
        return out;
    }
    std::vector<EventType> pointerTypes() {
        std::vector<EventType> out;
        for (const auto& e : drain())
            if (e.type != EventType::Expose && e.type != EventType::Move && e.type != EventType::Leave)
                out.push_back(e.type);
        return out;
    }
};

TEST(Win32Events, ClicksAndTheSystemsDoubleClickComeInTheRuntimesOrder) {
    BackendWindow w;
    ASSERT_TRUE(w.platform) << w.error;
    ASSERT_NE(w.hwnd, nullptr);
    RECT r{};
    GetWindowRect(w.hwnd, &r);
    EXPECT_EQ(r.left, 40);
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(r.right - r.left, 120);
    EXPECT_EQ(r.bottom - r.top, 90);
    EXPECT_TRUE(GetWindowLongW(w.hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(GetWindowLongW(w.hwnd, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME), 0);
    w.drain();

    const LPARAM at = MAKELPARAM(10, 20);
    SendMessageW(w.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(w.hwnd, WM_LBUTTONUP, 0, at);
    SendMessageW(w.hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageW(w.hwnd, WM_LBUTTONUP, 0, at);
    const auto events = w.drain();
    std::vector<EventType> types;
    for (const auto& e : events) types.push_back(e.type);
    EXPECT_EQ(types, (std::vector<EventType>{EventType::Press, EventType::Release, EventType::Click, EventType::Press,
                                             EventType::DoubleClick, EventType::Release}));
    for (const auto& e : events) {
        EXPECT_EQ(e.window, w.handle);
        EXPECT_EQ(e.x, 10);
        EXPECT_EQ(e.y, 20);
        EXPECT_EQ(e.button, 1);
    }

    // A release outside the window (the pointer was captured) is no click;
    // the right button never clicks.
    SendMessageW(w.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(w.hwnd, WM_LBUTTONUP, 0, MAKELPARAM(-5, 20));
    SendMessageW(w.hwnd, WM_RBUTTONDOWN, MK_RBUTTON, at);
    SendMessageW(w.hwnd, WM_RBUTTONUP, 0, at);
    EXPECT_EQ(w.pointerTypes(),
              (std::vector<EventType>{EventType::Press, EventType::Release, EventType::Press, EventType::Release}));
}

// A press whose capture another window takes is released outside the
// window there and then: a Release, no Click; its late button-up is no
// second release, and the next press clicks as usual.
TEST(Win32Events, ACaptureTakenAwayReleasesThePressOutsideTheWindow) {
    BackendWindow w;
    ASSERT_TRUE(w.platform) << w.error;
    w.drain();
    const LPARAM at = MAKELPARAM(10, 20);
    SendMessageW(w.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ASSERT_EQ(GetCapture(), w.hwnd);
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    SetCapture(other);
    EXPECT_EQ(w.pointerTypes(), (std::vector<EventType>{EventType::Press, EventType::Release}));
    SendMessageW(w.hwnd, WM_LBUTTONUP, 0, at);
    EXPECT_EQ(w.pointerTypes(), std::vector<EventType>{});
    ReleaseCapture();
    DestroyWindow(other);
    SendMessageW(w.hwnd, WM_RBUTTONDOWN, MK_RBUTTON, at);
    ReleaseCapture();  // the capture simply ends
    SendMessageW(w.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(w.hwnd, WM_LBUTTONUP, 0, at);
    EXPECT_EQ(w.pointerTypes(), (std::vector<EventType>{EventType::Press, EventType::Release, EventType::Press,
                                                        EventType::Release, EventType::Click}));
}

// The width of an icon or cursor handle's colour bitmap.
int iconWidth(HICON icon) {
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) return 0;
    BITMAP bitmap{};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

// The window icons come at the small and big sizes of the window's density,
// and the cursor at the system's pointer size; a density change makes both
// anew and leaves the window's size alone.
TEST(Win32Density, IconsAndCursorFollowTheWindowsDensity) {
    auto picture = [](int size) {
        auto p = std::make_shared<rt::Picture>();
        p->format = rt::PictureFormat::Icon;
        p->image() = rt::Bitmap(size, size, 0xFFC03020u);
        return p;
    };
    std::string error;
    auto platform = rt::platform::makeWin32Platform(error);
    ASSERT_TRUE(platform) << error;
    rt::platform::WindowOptions options;
    options.width = 120;
    options.height = 90;
    options.icon = picture(32);
    options.title = "Velmora density test";
    const auto handle = platform->createWindow(options);
    HWND hwnd = FindWindowW(L"VelmoraWindow", L"Velmora density test");
    ASSERT_NE(hwnd, nullptr);
    const double dpi = platform->screen().dpi;  // Wine's LogPixels, 96 unless set
    auto small = [&] { return iconWidth(HICON(SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0))); };
    auto big = [&] { return iconWidth(HICON(SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0))); };
    EXPECT_EQ(small(), int(16 * dpi / 96));
    EXPECT_EQ(big(), int(32 * dpi / 96));
    platform->setCursor(handle, picture(32));
    RECT suggested{0, 0, 150, 113};
    for (const int newDpi : {120, 144}) {
        SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(newDpi, newDpi), LPARAM(&suggested));
        EXPECT_EQ(small(), 16 * newDpi / 96);
        EXPECT_EQ(big(), 32 * newDpi / 96);
        SendMessageW(hwnd, WM_SETCURSOR, WPARAM(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(iconWidth(GetCursor()), 32 * newDpi / 96) << newDpi << " dpi";
    }
    RECT r{};
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r.right - r.left, 120);
    platform->destroyWindow(handle);
}

TEST(Win32Events, CloseAndDestructionFromOutsideReachTheRuntime) {
    BackendWindow w;
    ASSERT_TRUE(w.platform) << w.error;
    ASSERT_NE(w.hwnd, nullptr);
    w.drain();
    SendMessageW(w.hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(w.pointerTypes(), std::vector<EventType>{EventType::CloseRequest});
    EXPECT_TRUE(IsWindow(w.hwnd)) << "a close request leaves the decision to the program";
    DestroyWindow(w.hwnd);
    EXPECT_EQ(w.pointerTypes(), std::vector<EventType>{EventType::Destroyed});
    // The runtime's own destruction of a window is no news to it.
    rt::platform::WindowOptions options;
    options.title = "Velmora second window";
    const auto second = w.platform->createWindow(options);
    w.drain();
    w.platform->destroyWindow(second);
    EXPECT_EQ(w.drain().size(), 0u);
    EXPECT_EQ(FindWindowW(L"VelmoraWindow", L"Velmora second window"), nullptr);
}

// The window's pixels as the system shows them.
rt::Bitmap readBack(HWND hwnd, int width, int height) {
    rt::Bitmap out(width, height);
    HDC dc = GetDC(hwnd);
    for (int i = 0; i < width * height; ++i) {
        const COLORREF c = GetPixel(dc, i % width, i / width);
        out.pixels()[std::size_t(i)] = rt::rgbPixel(GetRValue(c), GetGValue(c), GetBValue(c));
    }
    ReleaseDC(hwnd, dc);
    return out;
}

// A move shows the frame: moved pixels copied, strips painted; so does a
// repaint afterwards, from the window's own copy.
TEST(Win32Framebuffer, AMoveShowsTheFrameOnScreenAndInLaterRepaints) {
    BackendWindow w;
    ASSERT_TRUE(w.platform) << w.error;
    w.platform->setWindowVisible(w.handle, true);
    rt::Bitmap frame(120, 90);
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 120; ++x) frame.at(x, y) = rt::rgbPixel(x * 2, y * 2, (x * y) & 0xFF);
    w.platform->present(w.handle, frame, std::span<const rt::Rect>(std::array{frame.bounds()}));
    frame.move({10, 10, 80, 60}, 5, 3);
    const rt::Rect strips[] = {{10, 10, 5, 63}, {10, 10, 85, 3}};
    for (const rt::Rect& r : strips) frame.fill(r, rt::rgbPixel(90, 90, 90));
    w.platform->presentMove(w.handle, frame, {10, 10, 80, 60}, 5, 3, strips);
    EXPECT_TRUE(readBack(w.hwnd, 120, 90) == frame);
    InvalidateRect(w.hwnd, nullptr, FALSE);
    UpdateWindow(w.hwnd);
    EXPECT_TRUE(readBack(w.hwnd, 120, 90) == frame);
}

TEST(Win32Platform, ExecutablePathIsTheRunningProgram) {
    std::string error;
    auto platform = rt::platform::makeWin32Platform(error);
    ASSERT_TRUE(platform) << error;
    const std::string path = platform->executablePath();
    ASSERT_GT(path.size(), 4u);
    EXPECT_EQ(path.substr(path.size() - 4), ".exe");
    EXPECT_EQ(path[1], ':');
}

}  // namespace
