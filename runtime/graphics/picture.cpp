// Picture decoding and the 24-bit bitmap writer.
//
// JPEG, BMP and GIF files, and PNG images inside icons, are decoded by
// stb_image, built here privately and limited to those formats. Icons and
// cursors are parsed here: their directory, the BITMAPINFOHEADER of the first
// image, its palette, its colour bits and its AND mask. Every length and
// offset read from the file is checked against the bytes actually given,
// with 64-bit arithmetic, before anything is read, and images are limited to
// kMaxSide pixels a side so that a hostile header cannot ask for gigabytes.
#include "picture.h"

#include <cstring>
#include <limits>
#include <utility>

#include "draw.h"
#include "errors.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_ONLY_GIF
#define STBI_ONLY_PNG
#define STBI_MAX_DIMENSIONS 4096
#include <stb_image.h>

namespace rt {
namespace {

constexpr int kMaxSide = 4096;

[[noreturn]] void invalid() { throw RuntimeError(ErrorCode::InvalidPicture, "Invalid picture"); }

// A bounds-checked view of the file: every read names its offset and fails
// (as an invalid picture) if the bytes are not all there.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::uint64_t size() const { return bytes_.size(); }
    bool has(std::uint64_t offset, std::uint64_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }
    std::span<const std::uint8_t> sub(std::uint64_t offset, std::uint64_t length) const {
        if (!has(offset, length)) invalid();
        return bytes_.subspan(std::size_t(offset), std::size_t(length));
    }
    std::uint8_t u8(std::uint64_t offset) const { return sub(offset, 1)[0]; }
    std::uint16_t u16(std::uint64_t offset) const {
        const auto b = sub(offset, 2);
        return std::uint16_t(b[0] | (b[1] << 8));
    }
    std::uint32_t u32(std::uint64_t offset) const {
        const auto b = sub(offset, 4);
        return std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16) |
               (std::uint32_t(b[3]) << 24);
    }
    std::int32_t i32(std::uint64_t offset) const { return std::int32_t(u32(offset)); }

private:
    std::span<const std::uint8_t> bytes_;
};

bool startsWith(std::span<const std::uint8_t> bytes, std::initializer_list<std::uint8_t> magic) {
    if (bytes.size() < magic.size()) return false;
    return std::equal(magic.begin(), magic.end(), bytes.begin());
}

bool isPng(std::span<const std::uint8_t> bytes) {
    return startsWith(bytes, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
}

// Decodes with stb_image into 0xAARRGGBB pixels, refusing oversized images
// before any pixel memory is allocated.
Bitmap decodeWithStb(std::span<const std::uint8_t> bytes) {
    if (bytes.empty() || bytes.size() > std::size_t(std::numeric_limits<int>::max())) invalid();
    int w = 0, h = 0, channels = 0;
    const int length = int(bytes.size());
    if (!stbi_info_from_memory(bytes.data(), length, &w, &h, &channels)) invalid();
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) invalid();
    stbi_uc* data = stbi_load_from_memory(bytes.data(), length, &w, &h, &channels, 4);
    if (!data) invalid();
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) {
        stbi_image_free(data);
        invalid();
    }
    Bitmap image(w, h);
    const stbi_uc* p = data;
    for (Pixel& px : image.pixels()) {
        px = (Pixel(p[3]) << 24) | (Pixel(p[0]) << 16) | (Pixel(p[1]) << 8) | Pixel(p[2]);
        p += 4;
    }
    stbi_image_free(data);
    return image;
}

bool anyTransparent(const Bitmap& image) {
    for (Pixel p : image.pixels())
        if (pixelAlpha(p) != 0xFF) return true;
    return false;
}

void makeOpaque(Bitmap& image) {
    for (Pixel& p : image.pixels()) p |= kOpaque;
}

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

// Decodes the BMP-encoded image of an icon or cursor: a BITMAPINFOHEADER whose
// height counts both the colour bits and the AND mask, a palette for 1, 4 and
// 8 bits a pixel, the colour rows, then the one-bit AND mask rows (1 =
// transparent). Both sets of rows are bottom-up and padded to four bytes.
Bitmap decodeIconBitmap(const Reader& r) {
    const std::uint32_t headerSize = r.u32(0);
    if (headerSize < 40 || headerSize > r.size()) invalid();
    const std::int32_t width = r.i32(4);
    const std::int32_t doubledHeight = r.i32(8);
    const int bpp = r.u16(14);
    const std::uint32_t compression = r.u32(16);
    const std::uint32_t coloursUsed = r.u32(32);
    if (width <= 0 || width > kMaxSide || doubledHeight < 2 || doubledHeight > 2 * kMaxSide) invalid();
    const int height = doubledHeight / 2;
    if (compression != 0) invalid();  // BI_RGB only
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) invalid();

    std::uint64_t offset = headerSize;
    std::vector<Pixel> palette;
    if (bpp <= 8) {
        const std::uint32_t maxColours = 1u << bpp;
        const std::uint32_t count = coloursUsed == 0 ? maxColours : coloursUsed;
        if (count > 256) invalid();
        const auto bytes = r.sub(offset, std::uint64_t(count) * 4);
        palette.resize(count);
        for (std::uint32_t i = 0; i < count; ++i)
            palette[i] = rgbPixel(bytes[i * 4 + 2], bytes[i * 4 + 1], bytes[i * 4]);
        offset += std::uint64_t(count) * 4;
    }

    const std::uint64_t colourStride = (std::uint64_t(width) * std::uint64_t(bpp) + 31) / 32 * 4;
    const std::uint64_t maskStride = (std::uint64_t(width) + 31) / 32 * 4;
    const auto colourBits = r.sub(offset, colourStride * std::uint64_t(height));
    offset += colourStride * std::uint64_t(height);
    // Some 32-bit icons carry their transparency in the alpha channel alone
    // and omit the mask; every other depth needs it.
    const bool hasMask = r.has(offset, maskStride * std::uint64_t(height));
    if (!hasMask && bpp != 32) invalid();

    Bitmap image(width, height);
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* src = colourBits.data() + std::size_t(colourStride) * std::size_t(height - 1 - y);
        Pixel* out = image.row(y);
        for (int x = 0; x < width; ++x) {
            Pixel p = kOpaque;
            switch (bpp) {
            case 32: {
                const std::uint8_t* q = src + std::size_t(x) * 4;
                p = (Pixel(q[3]) << 24) | (Pixel(q[2]) << 16) | (Pixel(q[1]) << 8) | q[0];
                anyAlpha = anyAlpha || q[3] != 0;
                break;
            }
            case 24: {
                const std::uint8_t* q = src + std::size_t(x) * 3;
                p = rgbPixel(q[2], q[1], q[0]);
                break;
            }
            default: {
                const int perByte = 8 / bpp;
                const int shift = 8 - bpp * (x % perByte + 1);
                const unsigned index = (src[x / perByte] >> shift) & ((1u << bpp) - 1);
                p = index < palette.size() ? palette[index] : kOpaque;
                break;
            }
            }
            out[x] = p;
        }
    }

    // A 32-bit image whose alpha bytes are all zero predates alpha icons: it
    // is opaque apart from its mask. Otherwise the alpha channel rules.
    if (bpp == 32 && !anyAlpha) makeOpaque(image);
    const bool maskRules = bpp != 32 || !anyAlpha;
    if (hasMask && maskRules) {
        const auto maskBits = r.sub(offset, maskStride * std::uint64_t(height));
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* src = maskBits.data() + std::size_t(maskStride) * std::size_t(height - 1 - y);
            Pixel* out = image.row(y);
            for (int x = 0; x < width; ++x)
                if ((src[x / 8] >> (7 - x % 8)) & 1) out[x] = 0;
        }
    }
    return image;
}

// ICO and CUR: an ICONDIR (reserved 0, type 1 for icons or 2 for cursors,
// image count) and one 16-byte entry per image; the first image is used.
PictureRef decodeIconFile(std::span<const std::uint8_t> bytes) {
    const Reader file(bytes);
    const int type = file.u16(2);
    const int count = file.u16(4);
    if (file.u16(0) != 0 || (type != 1 && type != 2) || count < 1) invalid();
    constexpr std::uint64_t entry = 6;
    const int hotspotX = file.u16(entry + 4);
    const int hotspotY = file.u16(entry + 6);
    const std::uint32_t length = file.u32(entry + 8);
    const std::uint32_t offset = file.u32(entry + 12);
    const auto data = file.sub(offset, length);

    auto picture = std::make_shared<Picture>();
    picture->format = type == 2 ? PictureFormat::Cursor : PictureFormat::Icon;
    if (isPng(data)) {
        checkPng(data);
        picture->image() = decodeWithStb(data);
    } else {
        picture->image() = decodeIconBitmap(Reader(data));
    }
    if (type == 2) {
        picture->hotspotX = hotspotX;
        picture->hotspotY = hotspotY;
    }
    picture->hasTransparency = anyTransparent(picture->image());
    return picture;
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
            // stuffed zero nor a restart marker.
            while (at + 1 < end) {
                const int next = r.u8(at + 1);
                if (r.u8(at) == 0xFF && next != 0 && !(next >= 0xD0 && next <= 0xD7) && next != 0xFF) break;
                ++at;
            }
        }
    }
}

void putU16(std::string& out, unsigned v) {
    out.push_back(char(v & 0xFF));
    out.push_back(char((v >> 8) & 0xFF));
}
void putU32(std::string& out, std::uint32_t v) {
    putU16(out, v & 0xFFFF);
    putU16(out, v >> 16);
}

}  // namespace

PictureRef decodePicture(std::span<const std::uint8_t> bytes) {
    if (startsWith(bytes, {0, 0, 1, 0}) || startsWith(bytes, {0, 0, 2, 0})) return decodeIconFile(bytes);

    auto picture = std::make_shared<Picture>();
    if (startsWith(bytes, {0xFF, 0xD8, 0xFF})) {
        picture->format = PictureFormat::Jpeg;
        checkJpeg(bytes);
    } else if (startsWith(bytes, {'B', 'M'})) {
        picture->format = PictureFormat::Bmp;
        checkBmp(bytes);
    } else if (startsWith(bytes, {'G', 'I', 'F', '8'})) {
        picture->format = PictureFormat::Gif;
    } else {
        invalid();
    }
    picture->image() = decodeWithStb(bytes);
    if (picture->format == PictureFormat::Gif) {
        // Only the transparent colour index is see-through in a GIF.
        picture->hasTransparency = anyTransparent(picture->image());
    } else {
        // Bitmaps and JPEGs are drawn opaque, whatever a 32-bit bitmap's
        // fourth byte holds.
        makeOpaque(picture->image());
    }
    return picture;
}

std::string encodeBmp24(const Bitmap& image) {
    const std::uint32_t width = std::uint32_t(std::max(image.width(), 0));
    const std::uint32_t height = std::uint32_t(std::max(image.height(), 0));
    const std::uint32_t stride = (width * 3 + 3) / 4 * 4;
    const std::uint32_t pixelBytes = stride * height;
    constexpr std::uint32_t kHeaders = 14 + 40;
    constexpr std::uint32_t kPixelsPerMetre = 3780;  // 96 dots per inch

    std::string out;
    out.reserve(kHeaders + pixelBytes);
    out += "BM";
    putU32(out, kHeaders + pixelBytes);
    putU32(out, 0);  // reserved
    putU32(out, kHeaders);
    putU32(out, 40);
    putU32(out, width);
    putU32(out, height);  // positive: rows run bottom-up
    putU16(out, 1);       // planes
    putU16(out, 24);      // bits per pixel
    putU32(out, 0);       // BI_RGB
    putU32(out, pixelBytes);
    putU32(out, kPixelsPerMetre);
    putU32(out, kPixelsPerMetre);
    putU32(out, 0);  // colours used
    putU32(out, 0);  // important colours

    for (std::uint32_t y = height; y-- > 0;) {
        const Pixel* row = image.row(int(y));
        for (std::uint32_t x = 0; x < width; ++x) {
            out.push_back(char(pixelBlue(row[x])));
            out.push_back(char(pixelGreen(row[x])));
            out.push_back(char(pixelRed(row[x])));
        }
        out.append(stride - width * 3, '\0');
    }
    return out;
}

}  // namespace rt

namespace rt {

PictureRef decodePictureOnFirstUse(std::span<const std::uint8_t> bytes, PictureRef like) {
    if (!startsWith(bytes, {0xFF, 0xD8, 0xFF})) return decodePicture(bytes);
    checkJpeg(bytes);
    int w = 0, h = 0, channels = 0;
    if (bytes.size() > std::size_t(std::numeric_limits<int>::max()) ||
        !stbi_info_from_memory(bytes.data(), int(bytes.size()), &w, &h, &channels) || w <= 0 || h <= 0 ||
        w > kMaxSide || h > kMaxSide)
        invalid();
    auto picture = std::make_shared<Picture>();
    picture->format = PictureFormat::Jpeg;
    picture->pendingBytes_ = bytes;
    picture->declaredWidth_ = w;
    picture->declaredHeight_ = h;
    if (like && like->width() == w && like->height() == h && !like->hasTransparency) picture->like_ = std::move(like);
    return picture;
}

void Picture::decodePending() const {
    Bitmap decoded = decodeWithStb(pendingBytes_);
    makeOpaque(decoded);  // JPEGs are drawn opaque
    pendingBytes_ = {};
    if (like_) {
        const Bitmap& other = like_->image();
        if (other.width() == decoded.width() && other.height() == decoded.height()) {
            const Rect differs = changedBounds(decoded, decoded.bounds(), other.pixels());
            if (long(differs.width) * differs.height * 2 <= long(decoded.width()) * decoded.height()) {
                differenceArea_ = differs;
                difference_ = Bitmap(differs.width, differs.height);
                stretchBlit(difference_, difference_.bounds(), decoded, differs, difference_.bounds(), false);
                return;
            }
        }
    }
    image_ = std::move(decoded);
}

const Bitmap& Picture::image() const {
    if (!pendingBytes_.empty()) decodePending();
    if (image_.empty() && like_) {
        // Made whole for a caller that wants all the pixels at once.
        image_ = like_->image();
        stretchBlit(image_, differenceArea_, difference_, difference_.bounds(), image_.bounds(), false);
        difference_ = Bitmap();
        differenceArea_ = {};
    }
    return image_;
}

Bitmap& Picture::image() {
    std::as_const(*this).image();
    return image_;
}

void Picture::draw(Bitmap& dst, const Rect& dstRect, const Rect& src, const Rect& clip, bool honourAlpha) const {
    if (!pendingBytes_.empty()) decodePending();
    const bool naturalSize = src.width > 0 && src.height > 0 && dstRect.width == src.width && dstRect.height == src.height;
    if (image_.empty() && like_ && naturalSize) {
        // At natural size the pieces meet exactly: the difference where it
        // lies, the other picture around it.
        const Rect piece = src.intersect(differenceArea_);
        const int dx = dstRect.x - src.x, dy = dstRect.y - src.y;
        auto fromLike = [&](const Rect& r) {
            if (!r.empty()) like_->draw(dst, r.offset(dx, dy), r, clip, honourAlpha);
        };
        if (piece.empty()) {
            fromLike(src);
            return;
        }
        fromLike({src.x, src.y, src.width, piece.y - src.y});
        fromLike({src.x, piece.bottom(), src.width, src.bottom() - piece.bottom()});
        fromLike({src.x, piece.y, piece.x - src.x, piece.height});
        fromLike({piece.right(), piece.y, src.right() - piece.right(), piece.height});
        stretchBlit(dst, piece.offset(dx, dy), difference_, piece.offset(-differenceArea_.x, -differenceArea_.y), clip,
                    honourAlpha);
        return;
    }
    stretchBlit(dst, dstRect, image(), src, clip, honourAlpha);
}

const PictureRef& PictureVariant::picture() const {
    if (!tried_) {
        tried_ = true;
        try {
            picture_ = decodePicture(bytes_);
        } catch (const RuntimeError&) {
            picture_ = nullptr;  // drawn from the picture itself instead
        }
    }
    return picture_;
}

const Picture& Picture::drawingFor(int scale) const {
    if (scale <= 1 || variants.empty()) return *this;
    // The exact scale first; then those above it, the smaller the better;
    // then those below it, the larger the better.
    auto rank = [scale](int s) { return s >= scale ? s - scale : 100 + (scale - s); };
    const Picture* best = nullptr;
    int bestRank = 0;
    for (const auto& variant : variants) {
        const int s = variant->scale();
        if (s <= 1 || (best && rank(s) >= bestRank)) continue;
        const PictureRef& drawing = variant->picture();
        if (!drawing || drawing->width() != width() * s || drawing->height() != height() * s) continue;
        best = drawing.get();
        bestRank = rank(s);
    }
    return best ? *best : *this;
}

PictureRef pictureAtScale(const PictureRef& picture, int scale) {
    if (!picture || scale <= 1) return picture;
    const Picture& drawing = picture->drawingFor(scale);
    const int factor = picture->drawingScale(drawing);
    for (const auto& variant : picture->variants)
        if (variant->scale() == scale && variant->picture().get() == &drawing) return variant->picture();
    auto scaled = std::make_shared<Picture>();
    scaled->format = picture->format;
    scaled->hasTransparency = picture->hasTransparency;
    scaled->image() = Bitmap(picture->width() * scale, picture->height() * scale, 0);
    stretchBlit(scaled->image(), scaled->image().bounds(), drawing.image(), drawing.image().bounds(),
                scaled->image().bounds(), false);
    scaled->hotspotX = factor == 1 ? picture->hotspotX * scale : drawing.hotspotX * scale / factor;
    scaled->hotspotY = factor == 1 ? picture->hotspotY * scale : drawing.hotspotY * scale / factor;
    return scaled;
}

}  // namespace rt
