"""Writers for the picture containers the card embeds.

The BMP, ICO and CUR bytes are written here with struct because Pillow writes
icons as 32-bit or PNG and has no cursor writer: the card wants uncompressed
24-bit bitmaps, and icons and cursors whose single 32 x 32 image is 24-bit
with a 1-bit AND mask.
"""
import io
import struct

import numpy as np
from PIL import Image

JPEG_QUALITY = 92


def jpeg_bytes(rgb8, subsampling):
    """Baseline JPEG; subsampling 0 keeps full-resolution colour (4:4:4)."""
    buf = io.BytesIO()
    Image.fromarray(rgb8, "RGB").save(
        buf, "JPEG", quality=JPEG_QUALITY, subsampling=subsampling,
        progressive=False, optimize=False)
    return buf.getvalue()


def _bgr_rows_bottom_up(rgb8):
    """24-bit DIB pixel rows: bottom row first, BGR, each row padded to 4 bytes."""
    h, w, _ = rgb8.shape
    stride = (w * 3 + 3) & ~3
    out = bytearray()
    for row in rgb8[::-1]:
        line = row[:, ::-1].tobytes()
        out += line + b"\0" * (stride - len(line))
    return bytes(out)


def _mask_rows_bottom_up(transparent):
    """1-bit AND mask rows: bottom row first, 1 = transparent, each row padded to 4 bytes."""
    h, w = transparent.shape
    stride = ((w + 31) // 32) * 4
    out = bytearray()
    for row in transparent[::-1]:
        bits = np.packbits(row.astype(np.uint8))
        out += bits.tobytes() + b"\0" * (stride - len(bits))
    return bytes(out)


def _info_header(w, h, image_size):
    # BITMAPINFOHEADER: 24 bits per pixel, BI_RGB (uncompressed), 72 dpi.
    return struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, image_size, 2835, 2835, 0, 0)


def bmp_bytes(rgb8):
    h, w, _ = rgb8.shape
    pixels = _bgr_rows_bottom_up(rgb8)
    offset = 14 + 40
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return file_header + _info_header(w, h, len(pixels)) + pixels


def _icon_file(kind, rgb8, transparent, field1, field2):
    h, w, _ = rgb8.shape
    # Transparent pixels must be black in the colour image: the screen is
    # ANDed with the mask and then XORed with the colour.
    rgb8 = rgb8.copy()
    rgb8[transparent] = 0
    xor = _bgr_rows_bottom_up(rgb8)
    and_mask = _mask_rows_bottom_up(transparent)
    # The bitmap's height counts the colour image and the mask together.
    image = _info_header(w, 2 * h, len(xor) + len(and_mask)) + xor + and_mask
    icondir = struct.pack("<HHH", 0, kind, 1)
    entry = struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, field1, field2, len(image), 6 + 16)
    return icondir + entry + image


def ico_bytes(rgb8, transparent):
    """Icon with one 24-bit image; transparent is a boolean map (True = see-through)."""
    return _icon_file(1, rgb8, transparent, 1, 24)


def cur_bytes(rgb8, transparent, hotspot):
    """Cursor with one 24-bit image; the entry's planes/bit-count fields hold the hot spot."""
    return _icon_file(2, rgb8, transparent, hotspot[0], hotspot[1])


def gif_bytes(rgb8, colours=128):
    img = Image.fromarray(rgb8, "RGB").quantize(
        colors=colours, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.FLOYDSTEINBERG)
    img.info["version"] = b"89a"
    buf = io.BytesIO()
    img.save(buf, "GIF", optimize=False)
    data = buf.getvalue()
    assert data[:6] == b"GIF89a", data[:6]
    return data


def png_bytes(rgba8):
    """PNG with an alpha channel, for the desktop's icon theme."""
    buf = io.BytesIO()
    Image.fromarray(rgba8, "RGBA").save(buf, "PNG", optimize=True)
    return buf.getvalue()
