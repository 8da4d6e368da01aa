// The visual the windows draw with, and the conversion of the framebuffer's
// pixels to that visual's.
#include "x11_internal.h"

#include <bit>
#include <cstring>

namespace rt::platform::x11 {

namespace {

// A channel mask the conversion to pixels can fill: one run of 5 to 16 bits.
bool usableChannelMask(unsigned long mask) {
    if (mask == 0) return false;
    const unsigned long run = mask >> std::countr_zero(mask);
    const int bits = std::popcount(mask);
    return (run & (run + 1)) == 0 && bits >= 5 && bits <= 16;
}

// The rank of a visual in the order of preference, 0 best; -1 when the
// backend cannot draw with it.
int visualRank(const VisualDescription& v) {
    if (!v.trueColor || !usableChannelMask(v.redMask) || !usableChannelMask(v.greenMask) ||
        !usableChannelMask(v.blueMask))
        return -1;
    if ((v.redMask & v.greenMask) | (v.redMask & v.blueMask) | (v.greenMask & v.blueMask)) return -1;
    const unsigned long all = v.redMask | v.greenMask | v.blueMask;
    if (v.bitsPerPixel == 32 && v.depth >= 24 && v.depth <= 32 && all <= 0xFFFFFFFFul) {
        if (v.isDefault) return 0;
        return v.depth == 24 ? 1 : 2;
    }
    if (v.bitsPerPixel == 16 && (v.depth == 15 || v.depth == 16) && all <= 0xFFFFul) return v.isDefault ? 3 : 4;
    return -1;
}

}  // namespace

// True when the visual's pixels are the framebuffer's 0xAARRGGBB words.
bool storesFramebufferPixels(const VisualDescription& v) {
    return v.trueColor && v.bitsPerPixel == 32 && (v.depth == 24 || v.depth == 32) && v.redMask == 0xFF0000 &&
           v.greenMask == 0xFF00 && v.blueMask == 0xFF;
}

// The position of the best visual to draw with, if any.
std::optional<std::size_t> chooseVisual(const std::vector<VisualDescription>& visuals) {
    std::optional<std::size_t> best;
    int bestRank = 0;
    bool bestDirect = false;
    for (std::size_t i = 0; i < visuals.size(); ++i) {
        const int rank = visualRank(visuals[i]);
        if (rank < 0) continue;
        const bool direct = storesFramebufferPixels(visuals[i]);
        if (!best || rank < bestRank || (rank == bestRank && direct && !bestDirect)) {
            best = i;
            bestRank = rank;
            bestDirect = direct;
        }
    }
    return best;
}

namespace {

// The levels of a channel mask for every 8-bit value, rounded to the
// nearest level and placed at the mask's position.
void fillChannelTable(std::uint32_t mask, std::uint32_t (&table)[256]) {
    const int shift = mask ? std::countr_zero(mask) : 0;
    const std::uint64_t levels = mask >> shift;  // 31 for five bits, 63 for six, 255 for eight
    for (std::uint64_t c = 0; c < 256; ++c) table[c] = std::uint32_t((c * levels + 127) / 255) << shift;
}

}  // namespace

// Makes the channel tables of a visual's layout.
PixelConverter::PixelConverter(const PixelLayout& layout) : layout_(layout) {
    fillChannelTable(layout.redMask, red_);
    fillChannelTable(layout.greenMask, green_);
    fillChannelTable(layout.blueMask, blue_);
}

// Writes pixels in the visual's size and byte order.
void PixelConverter::convert(const std::uint32_t* in, std::size_t count, std::uint8_t* out) const {
    const bool swap = layout_.msbFirst != (std::endian::native == std::endian::big);
    if (layout_.bitsPerPixel == 16) {
        for (std::size_t i = 0; i < count; ++i) {
            auto v = std::uint16_t(pixel(in[i]));
            if (swap) v = std::uint16_t((v >> 8) | (v << 8));
            std::memcpy(out + 2 * i, &v, 2);
        }
    } else {
        for (std::size_t i = 0; i < count; ++i) {
            std::uint32_t v = pixel(in[i]);
            if (swap) v = (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
            std::memcpy(out + 4 * i, &v, 4);
        }
    }
}

// Picks the visual the windows use among the screen's visuals and sets up
// what drawing with it takes: the colormap and a GC of its depth. False when
// the screen has no visual the backend can draw with.
bool setUpVisual(X11State& s) {
    Display* d = s.display;
    XVisualInfo want{};
    want.screen = s.screen;
    int n = 0;
    XVisualInfo* info = XGetVisualInfo(d, VisualScreenMask, &want, &n);
    if (info == nullptr) return false;
    int formatCount = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(d, &formatCount);
    const Visual* defaultVisual = DefaultVisual(d, s.screen);
    std::vector<VisualDescription> visuals;
    for (int i = 0; i < n; ++i) {
        VisualDescription v;
        v.trueColor = info[i].c_class == TrueColor;
        v.depth = info[i].depth;
        v.redMask = info[i].red_mask;
        v.greenMask = info[i].green_mask;
        v.blueMask = info[i].blue_mask;
        for (int f = 0; f < formatCount; ++f)
            if (formats[f].depth == v.depth) v.bitsPerPixel = formats[f].bits_per_pixel;
        v.isDefault = info[i].visual == defaultVisual;
        visuals.push_back(v);
    }
    if (formats) XFree(formats);
    const std::optional<std::size_t> chosen = chooseVisual(visuals);
    if (chosen) {
        const VisualDescription& v = visuals[*chosen];
        s.visual = info[*chosen].visual;
        s.depth = v.depth;
        s.bitsPerPixel = v.bitsPerPixel;
        s.redMask = v.redMask;
        s.greenMask = v.greenMask;
        s.blueMask = v.blueMask;
        s.directPixels = storesFramebufferPixels(v);
        // Bits outside the colour channels (alpha at depth 32) set: opaque.
        const unsigned long depthBits = v.depth >= 32 ? 0xFFFFFFFFul : (1ul << v.depth) - 1;
        s.black = depthBits & ~(v.redMask | v.greenMask | v.blueMask);
        if (v.isDefault) {
            s.colormap = DefaultColormap(d, s.screen);
        } else {
            s.colormap = XCreateColormap(d, s.root, s.visual, AllocNone);
            s.ownColormap = true;
        }
        // A GC serves drawables of the depth of the one it was made on.
        const Pixmap probe = XCreatePixmap(d, s.root, 1, 1, unsigned(v.depth));
        s.gc = XCreateGC(d, probe, 0, nullptr);
        XFreePixmap(d, probe);
    }
    XFree(info);
    return chosen.has_value();
}

}  // namespace rt::platform::x11
