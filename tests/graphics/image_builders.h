// Builders for tiny picture files in memory, written byte by byte from the
// file formats' layouts so that the decoder is checked against the formats,
// not against the runtime's own writer.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

namespace testimg {

using Bytes = std::vector<std::uint8_t>;

inline void u16(Bytes& b, unsigned v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
inline void u32(Bytes& b, std::uint32_t v) {
    u16(b, v & 0xFFFF);
    u16(b, v >> 16);
}
inline void patch32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.at(at + std::size_t(i)) = std::uint8_t(v >> (8 * i));
}

struct Rgb {
    std::uint8_t r, g, b;
};

// BITMAPINFOHEADER; height is written as given (icons pass twice the height).
inline void infoHeader(Bytes& b, int width, int height, int bpp, std::uint32_t coloursUsed = 0) {
    u32(b, 40);
    u32(b, std::uint32_t(width));
    u32(b, std::uint32_t(height));
    u16(b, 1);
    u16(b, unsigned(bpp));
    u32(b, 0);  // BI_RGB
    u32(b, 0);
    u32(b, 0);
    u32(b, 0);
    u32(b, coloursUsed);
    u32(b, 0);
}

// Rows of 24-bit colour, top row first in `rows`, written bottom-up and padded.
inline void rows24(Bytes& b, const std::vector<std::vector<Rgb>>& rows) {
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        std::size_t n = 0;
        for (const Rgb& p : *it) {
            b.push_back(p.b);
            b.push_back(p.g);
            b.push_back(p.r);
            n += 3;
        }
        while (n % 4) {
            b.push_back(0);
            ++n;
        }
    }
}

// One-bit mask rows, top row first, 1 = set; written bottom-up and padded.
inline void maskRows(Bytes& b, const std::vector<std::vector<int>>& rows) {
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        const std::size_t stride = (it->size() + 31) / 32 * 4;
        Bytes row(stride, 0);
        for (std::size_t x = 0; x < it->size(); ++x)
            if ((*it)[x]) row[x / 8] |= std::uint8_t(0x80 >> (x % 8));
        b.insert(b.end(), row.begin(), row.end());
    }
}

// A complete 24-bit BMP file.
inline Bytes bmp24(const std::vector<std::vector<Rgb>>& rows) {
    const int h = int(rows.size()), w = int(rows[0].size());
    Bytes b{'B', 'M'};
    u32(b, 0);  // file size, patched below
    u32(b, 0);
    u32(b, 54);
    infoHeader(b, w, h, 24);
    rows24(b, rows);
    patch32(b, 2, std::uint32_t(b.size()));
    return b;
}

// An ICO (type 1) or CUR (type 2) file holding one image whose bytes are
// given; hotspot fields are written for cursors, planes/bit count for icons.
inline Bytes iconFile(int type, int width, int height, const Bytes& image, int hotX = 0, int hotY = 0) {
    Bytes b;
    u16(b, 0);
    u16(b, unsigned(type));
    u16(b, 1);
    b.push_back(std::uint8_t(width));
    b.push_back(std::uint8_t(height));
    b.push_back(0);
    b.push_back(0);
    u16(b, type == 2 ? unsigned(hotX) : 1u);
    u16(b, type == 2 ? unsigned(hotY) : 32u);
    u32(b, std::uint32_t(image.size()));
    u32(b, 22);
    b.insert(b.end(), image.begin(), image.end());
    return b;
}

// A GIF89a with a four-colour palette, one frame, and optionally a
// transparent colour index. The LZW stream sends a clear code before every
// pixel, which keeps every code three bits wide: valid, if not compact.
inline Bytes gif(int width, int height, const std::vector<Rgb>& palette4, const std::vector<int>& indices,
                 int transparentIndex = -1) {
    Bytes b{'G', 'I', 'F', '8', '9', 'a'};
    u16(b, unsigned(width));
    u16(b, unsigned(height));
    b.push_back(0x81);  // global colour table of 4 entries
    b.push_back(0);
    b.push_back(0);
    for (int i = 0; i < 4; ++i) {
        b.push_back(palette4[std::size_t(i)].r);
        b.push_back(palette4[std::size_t(i)].g);
        b.push_back(palette4[std::size_t(i)].b);
    }
    if (transparentIndex >= 0) {
        b.insert(b.end(), {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, std::uint8_t(transparentIndex), 0x00});
    }
    b.push_back(0x2C);
    u16(b, 0);
    u16(b, 0);
    u16(b, unsigned(width));
    u16(b, unsigned(height));
    b.push_back(0);
    b.push_back(2);  // LZW minimum code size
    std::vector<int> codes;
    for (int index : indices) {
        codes.push_back(4);  // clear
        codes.push_back(index);
    }
    codes.push_back(5);  // end of information
    Bytes data;
    unsigned acc = 0;
    int bits = 0;
    for (int c : codes) {
        acc |= unsigned(c) << bits;
        bits += 3;
        while (bits >= 8) {
            data.push_back(std::uint8_t(acc));
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0) data.push_back(std::uint8_t(acc));
    for (std::size_t i = 0; i < data.size(); i += 255) {
        const std::size_t n = std::min<std::size_t>(255, data.size() - i);
        b.push_back(std::uint8_t(n));
        b.insert(b.end(), data.begin() + std::ptrdiff_t(i), data.begin() + std::ptrdiff_t(i + n));
    }
    b.push_back(0);
    b.push_back(0x3B);
    return b;
}

}  // namespace testimg
