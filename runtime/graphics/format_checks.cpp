// The checks a file passes before stb_image decodes it: where the decoder
// would trust a length or a table too far, the file is walked here first,
// every read checked against the bytes actually given, with 64-bit
// arithmetic.
#include <cstring>

#include "picture_internal.h"

namespace rt::detail {

// The PNG decoder sizes its buffer from each chunk's announced length before
// reading the chunk, so a tiny file could ask for gigabytes. Every chunk up to
// IEND must lie wholly inside the bytes given.
void checkPng(std::span<const std::uint8_t> bytes) {
    const Reader r(bytes);
    std::uint64_t at = 8;  // past the signature
    for (;;) {
        const auto b = r.sub(at, 8);
        const std::uint64_t length = std::uint64_t(b[0]) << 24 | std::uint64_t(b[1]) << 16 | std::uint64_t(b[2]) << 8 | b[3];
        if (!r.has(at + 8, length + 4)) invalid();
        if (b[4] == 'I' && b[5] == 'E' && b[6] == 'N' && b[7] == 'D') return;
        at += 8 + length + 4;
    }
}

// stb_image reads zeros past the end of its buffer, so a truncated bitmap
// would decode as one with black rows. The header is checked here instead:
// the pixel rows it announces must all be present.
void checkBmp(std::span<const std::uint8_t> bytes) {
    const Reader r(bytes);
    const std::uint32_t pixelsAt = r.u32(10);
    const std::uint32_t headerSize = r.u32(14);
    std::int64_t width = 0, height = 0;
    int bpp = 0;
    std::uint32_t compression = 0;
    if (headerSize == 12) {  // OS/2 BITMAPCOREHEADER
        width = r.u16(18);
        height = r.u16(20);
        bpp = r.u16(24);
    } else if (headerSize >= 40) {
        width = r.i32(18);
        height = r.i32(22);
        bpp = r.u16(28);
        compression = r.u32(30);
    } else {
        invalid();
    }
    if (height < 0) height = -height;  // top-down rows
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) invalid();
    // Uncompressed (BI_RGB) or with colour masks (BI_BITFIELDS); the
    // run-length encodings are not read.
    if (compression != 0 && compression != 3) invalid();
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) invalid();
    const std::uint64_t stride = (std::uint64_t(width) * std::uint64_t(bpp) + 31) / 32 * 4;
    if (!r.has(pixelsAt, stride * std::uint64_t(height))) invalid();
}

// The JPEG decoder trusts its Huffman tables too far: it builds a table that
// lists more than 256 codes by writing past its arrays, and it decodes with a
// table that was never defined, reading uninitialised offsets. Every marker
// segment is walked here first (skipping the entropy-coded data after each
// start of scan): tables must list at most 256 codes, and each scan may only
// use tables defined before it.
void checkJpeg(std::span<const std::uint8_t> bytes) {
    const Reader r(bytes);
    bool defined[2][4] = {};  // [DC or AC][table id]
    bool progressive = false;
    std::uint64_t at = 2;  // past the start-of-image marker
    const std::uint64_t end = r.size();
    while (at + 1 < end) {
        if (r.u8(at) != 0xFF) invalid();
        const int marker = r.u8(at + 1);
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        at += 2;
        if (marker == 0xD9) return;                                          // end of image
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
        const std::uint64_t length = std::uint64_t(r.u8(at) << 8 | r.u8(at + 1));
        if (length < 2 || !r.has(at, length)) invalid();
        const std::uint64_t body = at + 2, bodyEnd = at + length;
        if (marker == 0xC2) progressive = true;
        if (marker == 0xC4) {
            // One or more tables: class/id byte, 16 code counts, the symbols.
            for (std::uint64_t t = body; t < bodyEnd;) {
                if (t + 17 > bodyEnd) invalid();
                const int tableClass = r.u8(t) >> 4, id = r.u8(t) & 15;
                if (tableClass > 1 || id > 3) invalid();
                unsigned codes = 0;
                for (int i = 1; i <= 16; ++i) codes += r.u8(t + std::uint64_t(i));
                if (codes > 256 || t + 17 + codes > bodyEnd) invalid();
                defined[tableClass][id] = true;
                t += 17 + codes;
            }
        }
        if (marker == 0xDA) {
            // Start of scan: components and their tables, then the spectral
            // selection and successive approximation of a progressive scan.
            const unsigned count = r.u8(body);
            if (length < 2 + 1 + 2 * std::uint64_t(count) + 3) invalid();
            const std::uint64_t tail = body + 1 + 2 * std::uint64_t(count);
            const int spectralStart = r.u8(tail), approxHigh = r.u8(tail + 2) >> 4;
            const bool usesDc = !progressive || (spectralStart == 0 && approxHigh == 0);
            const bool usesAc = !progressive || spectralStart > 0;
            for (unsigned c = 0; c < count; ++c) {
                const int tables = r.u8(body + 2 + 2 * std::uint64_t(c));
                const int dc = tables >> 4, ac = tables & 15;
                if (usesDc && (dc > 3 || !defined[0][dc])) invalid();
                if (usesAc && (ac > 3 || !defined[1][ac])) invalid();
            }
        }
        at = bodyEnd;
        if (marker == 0xDA) {
            // Entropy-coded data runs to the next marker that is neither a
            // stuffed zero nor a restart marker. Only a 0xFF byte can start
            // one, so the scan jumps from one to the next (the data is most
            // of the file, and every picture is checked when the program
            // starts).
            while (at + 1 < end) {
                const void* found = std::memchr(bytes.data() + at, 0xFF, std::size_t(end - 1 - at));
                if (!found) {
                    at = end - 1;
                    break;
                }
                at = std::uint64_t(static_cast<const std::uint8_t*>(found) - bytes.data());
                const int next = r.u8(at + 1);
                if (next != 0 && !(next >= 0xD0 && next <= 0xD7) && next != 0xFF) break;
                ++at;
            }
        }
    }
}

}  // namespace rt::detail
