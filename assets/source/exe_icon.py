"""The Windows executable's own icon, icons/velmora.ico: the card icon of the
desktop's icon theme (small.card_icon_rgba, painted anew at each size) at
every size Explorer, the desktop, the taskbar and Start ask for, from 16
pixels (a details list at 100 %) to 256 (extra large icons).

The images below 256 pixels are 32-bit BGRA bitmaps with their AND mask
(set where the alpha is 0, for whatever reads only the mask); the 256-pixel
image is PNG-compressed, as Windows Vista and later read it. The window
icon of the card itself stays CardIcon.ico.
"""
import struct

import numpy as np

import containers
import small

SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
PNG_FROM = 256  # images this size and larger are stored as PNG


def _bitmap(rgba):
    """One 32-bit icon image: BITMAPINFOHEADER (height counting the mask
    too), bottom-up BGRA rows, then the 1-bit AND mask padded to 32 bits."""
    h, w, _ = rgba.shape
    transparent = rgba[..., 3] == 0
    bgra = rgba[..., [2, 1, 0, 3]].copy()
    bgra[transparent] = 0
    colour = bgra[::-1].tobytes()
    stride = ((w + 31) // 32) * 4
    mask = bytearray()
    for row in transparent[::-1]:
        bits = np.packbits(row.astype(np.uint8)).tobytes()
        mask += bits + b"\0" * (stride - len(bits))
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return header + colour + bytes(mask)


def ico_bytes():
    """The .ico file: one directory entry per size, smallest first."""
    images = []
    for size in SIZES:
        rgba = small.card_icon_rgba(size)
        images.append((size, containers.png_bytes(rgba) if size >= PNG_FROM else _bitmap(rgba)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for size, data in images:
        # Width and height 0 stand for 256; one plane, 32 bits a pixel.
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset + len(body))
        body += data
    return out + body
