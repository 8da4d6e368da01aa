// The framebuffer's way to the screen: MIT-SHM images where the server can
// read our memory, else XPutImage through the connection.
#include "x11_internal.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <bit>
#include <cstring>

namespace rt::platform::x11 {

// Shows the dirty rectangles of the framebuffer.
void X11Platform::present(WindowHandle window, const Bitmap& frame, std::span<const Rect> dirty) {
    WindowState* st = find(window);
    if (!st || frame.empty()) return;
    if (st->sharedImage &&
        (st->sharedImage->width != frame.width() || st->sharedImage->height != frame.height()))
        releaseSharedImage(*st);
    if (!st->sharedImage && s_.useShm) attachSharedImage(*st, frame.width(), frame.height());
    for (const Rect& area : dirty) {
        const Rect r = area.intersect(frame.bounds());
        if (r.empty()) continue;
        if (st->sharedImage)
            putShared(Window(window), *st->sharedImage, frame, r);
        else
            putImage(Window(window), frame, r);
    }
    // No flush here: waitEvent sends everything of this tick in one go
    // before it sleeps.
}

// Puts the moved area and the exposed rectangles as one rectangle through
// present: the pixels are not copied on the server. On Xvfb an XCopyArea
// within the window, with the graphics exposures its shape and other
// windows call for, costs the server and the card more than the
// shared-memory put of the same area (the shake measured at twice the
// server's CPU, and a third more wake-ups of the card).
void X11Platform::presentMove(WindowHandle window, const Bitmap& frame, const Rect& from, int dx, int dy,
                              std::span<const Rect> exposed) {
    Rect area = from.offset(dx, dy);
    for (const Rect& r : exposed) area = area.unite(r);
    area = area.intersect(frame.bounds());
    present(window, frame, std::span<const Rect>(&area, 1));
}

// Creates the window's shared image, or turns shared memory off for
// good when the server cannot attach to our segment (another machine
// or another IPC namespace, a server that refuses): presents then go
// through XPutImage.
void X11Platform::attachSharedImage(WindowState& st, int width, int height) {
    Display* d = s_.display;
    XShmSegmentInfo& seg = st.segment;
    seg = {};
    XImage* image = XShmCreateImage(d, s_.visual, unsigned(s_.depth), ZPixmap, nullptr, &seg, unsigned(width),
                                    unsigned(height));
    if (!image || image->bits_per_pixel != s_.bitsPerPixel) {
        if (image) XDestroyImage(image);
        s_.useShm = false;
        return;
    }
    seg.shmid = shmget(IPC_PRIVATE, std::size_t(image->bytes_per_line) * std::size_t(height), IPC_CREAT | 0600);
    if (seg.shmid < 0) {
        XDestroyImage(image);
        s_.useShm = false;
        return;
    }
    seg.shmaddr = image->data = static_cast<char*>(shmat(seg.shmid, nullptr, 0));
    if (seg.shmaddr == reinterpret_cast<char*>(-1)) {
        shmctl(seg.shmid, IPC_RMID, nullptr);
        XDestroyImage(image);
        s_.useShm = false;
        return;
    }
    seg.readOnly = True;  // the server only reads from it
    // The attach fails with a protocol error, not a status: wait for the
    // server's answer. Once the server has attached, the segment is
    // marked for removal, so that it goes away with the last of us even
    // if the card is killed.
    const int errorsBefore = protocolErrors();
    const bool attached = XShmAttach(d, &seg) && (XSync(d, False), protocolErrors() == errorsBefore);
    shmctl(seg.shmid, IPC_RMID, nullptr);
    if (!attached) {
        shmdt(seg.shmaddr);
        XDestroyImage(image);
        seg = {};
        s_.useShm = false;
        return;
    }
    st.sharedImage = image;
}

// Detaches and frees the window's shared image.
void X11Platform::releaseSharedImage(WindowState& st) {
    if (!st.sharedImage) return;
    XShmDetach(s_.display, &st.segment);
    XDestroyImage(st.sharedImage);  // frees the structure only; the segment is ours to detach
    shmdt(st.segment.shmaddr);
    st.sharedImage = nullptr;
    st.segment = {};
}

// Copies one rectangle of the framebuffer into the shared image, at the
// same place, and asks the server to show it. The segment mirrors the
// window: every pixel in it is the window's pixel of some recent
// present. So it is rewritten without waiting for the server to finish
// the previous put (no completion events, no second buffer, no extra
// wake-up): should the server still be reading a rectangle while the
// next present rewrites it, it shows parts of the newer frame a moment
// early, and the put that follows shows that frame in full.
void X11Platform::putShared(Window w, XImage& image, const Bitmap& frame, const Rect& r) {
    const std::size_t bytesPerPixel = std::size_t(image.bits_per_pixel / 8);
    const bool sameLayout = s_.directPixels && image.byte_order == (std::endian::native == std::endian::little
                                                                        ? LSBFirst
                                                                        : MSBFirst);
    for (int y = r.y; y < r.bottom(); ++y) {
        auto* out = reinterpret_cast<std::uint8_t*>(image.data) + std::size_t(y) * std::size_t(image.bytes_per_line) +
                    std::size_t(r.x) * bytesPerPixel;
        if (sameLayout)
            std::memcpy(out, frame.row(y) + r.x, std::size_t(r.width) * 4);
        else
            s_.converter.convert(frame.row(y) + r.x, std::size_t(r.width), out);
    }
    XShmPutImage(s_.display, w, s_.gc, &image, r.x, r.y, r.x, r.y, unsigned(r.width),
                 unsigned(r.height), False);
}

// Without shared memory the pixels travel through the connection: the
// framebuffer itself when the visual stores 0xAARRGGBB, else a copy of
// the rectangle in the visual's layout.
void X11Platform::putImage(Window w, const Bitmap& frame, const Rect& r) {
    Display* d = s_.display;
    XImage image{};
    image.format = ZPixmap;
    image.bitmap_unit = 32;
    image.bitmap_pad = 32;
    image.bitmap_bit_order = LSBFirst;
    image.depth = s_.depth;
    image.red_mask = s_.redMask;
    image.green_mask = s_.greenMask;
    image.blue_mask = s_.blueMask;
    int srcX = 0, srcY = 0;
    if (s_.directPixels) {
        // Host-order 32-bit words; Xlib swaps them if the server wants
        // the other order.
        image.byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
        image.bits_per_pixel = 32;
        image.width = frame.width();
        image.height = frame.height();
        image.bytes_per_line = frame.width() * 4;
        image.data = reinterpret_cast<char*>(const_cast<Pixel*>(frame.row(0)));
        srcX = r.x;
        srcY = r.y;
    } else {
        const int bytesPerPixel = s_.converter.bytesPerPixel();
        const std::size_t rowBytes = std::size_t(r.width) * std::size_t(bytesPerPixel);
        const std::size_t stride = (rowBytes + 3) & ~std::size_t(3);  // rows padded to 32 bits
        s_.scratch.resize(stride * std::size_t(r.height));
        for (int y = 0; y < r.height; ++y)
            s_.converter.convert(frame.row(r.y + y) + r.x, std::size_t(r.width),
                                 s_.scratch.data() + std::size_t(y) * stride);
        image.byte_order = s_.converter.layout().msbFirst ? MSBFirst : LSBFirst;
        image.bits_per_pixel = bytesPerPixel * 8;
        image.width = r.width;
        image.height = r.height;
        image.bytes_per_line = int(stride);
        image.data = reinterpret_cast<char*>(s_.scratch.data());
    }
    if (!XInitImage(&image)) return;
    XPutImage(d, w, s_.gc, &image, srcX, srcY, r.x, r.y, unsigned(r.width), unsigned(r.height));
}

}  // namespace rt::platform::x11
