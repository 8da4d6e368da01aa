// Window messages turned into the runtime's events: paint, pointer,
// capture, density changes, close and destroy.
#include "win32_internal.h"

#include <windowsx.h>

namespace rt::platform::win32 {

// The window procedure's work; false leaves the message to the system.
bool Win32Platform::handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    const auto it = handles_.find(hwnd);
    if (it == handles_.end()) return false;
    const WindowHandle window = it->second;
    WindowState& st = windows_[window];
    result = 0;
    switch (message) {
    case WM_ERASEBKGND:
        result = 1;  // the runtime paints every pixel
        return true;
    case WM_PAINT:
        paintFromCopy(hwnd, window, st);
        return true;
    case WM_SETCURSOR:
        if (LOWORD(lParam) != HTCLIENT) return false;
        SetCursor(st.cursor ? st.cursor : arrow());
        result = TRUE;
        return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK: {
        const int button = buttonOf(message);
        const bool isDouble = message == WM_LBUTTONDBLCLK;
        const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
        SetCapture(hwnd);
        st.buttonsDown |= 1u << button;
        queue_.pressDecided(window, button, x, y, isDouble);
        return true;
    }
    case WM_LBUTTONUP:
    case WM_MBUTTONUP:
    case WM_RBUTTONUP: {
        const int button = buttonOf(message);
        const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
        // A press whose capture was taken away has had its release.
        if (!(st.buttonsDown & (1u << button))) return true;
        st.buttonsDown &= ~(1u << button);
        if ((wParam & (MK_LBUTTON | MK_MBUTTON | MK_RBUTTON)) == 0 && GetCapture() == hwnd) ReleaseCapture();
        const bool inside = x >= 0 && y >= 0 && x < st.width && y < st.height;
        queue_.release(window, button, x, y, inside);
        return true;
    }
    case WM_CAPTURECHANGED: {
        // Another window took the pointer (a menu, a drag, a system
        // box) while buttons were down here: their releases will go
        // there. Each counts as a release outside the window.
        if (HWND(lParam) == hwnd || st.buttonsDown == 0) return true;
        POINT p{};
        GetCursorPos(&p);
        ScreenToClient(hwnd, &p);
        for (int button = 1; button <= 3; ++button) {
            if (!(st.buttonsDown & (1u << button))) continue;
            queue_.release(window, button, int(p.x), int(p.y), false);
        }
        st.buttonsDown = 0;
        return true;
    }
    case WM_MOUSEMOVE: {
        if (!st.trackingLeave) {
            TRACKMOUSEEVENT track{};
            track.cbSize = sizeof track;
            track.dwFlags = TME_LEAVE;
            track.hwndTrack = hwnd;
            st.trackingLeave = TrackMouseEvent(&track) != FALSE;
        }
        const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
        // The system repeats the last position when windows appear or
        // change beneath a resting pointer; only real motion is passed on.
        if (x == st.lastMoveX && y == st.lastMoveY) return true;
        st.lastMoveX = x;
        st.lastMoveY = y;
        queue_.push(EventType::Move, window, x, y, 0);
        return true;
    }
    case WM_MOUSELEAVE: {
        st.trackingLeave = false;
        st.lastMoveX = st.lastMoveY = -1 << 30;
        POINT p{};
        GetCursorPos(&p);
        ScreenToClient(hwnd, &p);
        queue_.push(EventType::Leave, window, int(p.x), int(p.y), 0);
        return true;
    }
    case WM_DPICHANGED:
        // The system moved the window onto a monitor of another density
        // (the card has no frame, so never the user: a monitor unplugged
        // or rearranged). The runtime took its device scale once, at
        // start, and draws, shapes and reads the pointer at that scale.
        // The suggested rectangle is the window scaled to the new
        // density: taking it would leave the framebuffer and the shape
        // covering only part of the window, or spilling past it. So the
        // message ends here, with no default handling that could apply
        // it, and the window keeps its pixels: larger or smaller to the
        // eye than before, but whole. What the system draws for it, its
        // icons and its pointer, take the new density: they should match
        // the system's own at that density.
        st.dpi = LOWORD(wParam) ? double(LOWORD(wParam)) : st.dpi;
        applyIcons(st);
        applyCursor(st);
        return true;
    case WM_CLOSE:
        queue_.push(EventType::CloseRequest, window);
        return true;
    case WM_DESTROY:
        // Only a window the runtime did not destroy itself is still known
        // here: it is gone, so it is forgotten and the runtime told.
        windows_.erase(window);
        handles_.erase(hwnd);
        queue_.forget(window);
        queue_.push(EventType::Destroyed, window);
        return true;
    default:
        return false;
    }
}

// The button of a mouse message: 1 left, 2 middle, 3 right.
int Win32Platform::buttonOf(UINT message) {
    switch (message) {
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_MBUTTONUP: return 2;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_RBUTTONUP: return 3;
    default: return 1;
    }
}

// Hands the messages of the backend's windows to the Win32Platform that made them.
LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, LONG_PTR(create->lpCreateParams));
    }
    auto* platform = reinterpret_cast<Win32Platform*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    LRESULT result = 0;
    if (platform && platform->handle(hwnd, message, wParam, lParam, result)) return result;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace rt::platform::win32
