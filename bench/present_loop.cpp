// The floor for the card's cost in the shake, when the card face moves on
// almost every tick and the whole window goes to the screen: the wait loop
// of wait_loop.cpp plus, on three ticks in four (as many presents a second
// as the shake makes), new pixels for a window of the card's size written
// into an MIT-SHM image and put on the window. Nothing is composed; no
// program can present the shake for less. bench/measure_presentation.sh
// runs it on the card's X server once the card has gone.
//
//   present_loop    (on $DISPLAY, until killed; needs MIT-SHM)
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "grid_sleep.h"

int main() {
    constexpr int kWidth = 333, kHeight = 415;
    Display* display = XOpenDisplay(nullptr);
    if (!display || !XShmQueryExtension(display) || DefaultDepth(display, DefaultScreen(display)) < 24) {
        std::fprintf(stderr, "present_loop: needs an X display with MIT-SHM and 24-bit colour\n");
        return 1;
    }
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, kWidth, kHeight, 0, 0, 0);
    XMapWindow(display, window);
    XShmSegmentInfo segment{};
    XImage* image = XShmCreateImage(display, DefaultVisual(display, DefaultScreen(display)),
                                    unsigned(DefaultDepth(display, DefaultScreen(display))), ZPixmap, nullptr,
                                    &segment, kWidth, kHeight);
    const std::size_t bytes = std::size_t(image->bytes_per_line) * kHeight;
    segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    segment.shmaddr = image->data = static_cast<char*>(shmat(segment.shmid, nullptr, 0));
    XShmAttach(display, &segment);
    XSync(display, False);
    shmctl(segment.shmid, IPC_RMID, nullptr);
    const GC gc = XCreateGC(display, window, 0, nullptr);

    // Two frames to alternate between, so every present carries new pixels.
    std::vector<std::uint8_t> frames[2] = {std::vector<std::uint8_t>(bytes, 0x20),
                                           std::vector<std::uint8_t>(bytes, 0x60)};
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (long tick = 0;; ++tick) {
        bench::sleepToNextTick(next);
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
        }
        if (tick % 4 == 3) continue;
        std::memcpy(image->data, frames[tick % 2].data(), bytes);
        XShmPutImage(display, window, gc, image, 0, 0, 0, 0, kWidth, kHeight, False);
        XFlush(display);
    }
}
