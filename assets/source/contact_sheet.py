"""A contact sheet of every picture at 1:1 and at 3x, decoded from the written bytes."""
import io
import struct

import numpy as np
from PIL import Image, ImageDraw, ImageFont

BACKDROP = (40, 40, 44)


def _decode_icon(data):
    """The single 24-bit image of an icon or cursor, with its AND mask as alpha."""
    size, offset = struct.unpack_from("<II", data, 14)
    width, height2 = struct.unpack_from("<ii", data, offset + 4)
    height = height2 // 2
    stride = (width * 3 + 3) & ~3
    mask_stride = ((width + 31) // 32) * 4
    pixels = offset + 40
    mask = pixels + stride * height
    rgba = np.zeros((height, width, 4), dtype=np.uint8)
    for row in range(height):
        y = height - 1 - row
        line = np.frombuffer(data, np.uint8, width * 3, pixels + row * stride).reshape(width, 3)
        rgba[y, :, :3] = line[:, ::-1]
        bits = np.unpackbits(np.frombuffer(data, np.uint8, mask_stride, mask + row * mask_stride))[:width]
        rgba[y, :, 3] = np.where(bits, 0, 255)
    return Image.fromarray(rgba, "RGBA")


def _decode(name, data):
    if name.endswith((".ico", ".cur")):
        img = _decode_icon(data)
    else:
        img = Image.open(io.BytesIO(data))
        img.load()
    if img.mode == "RGBA":
        # Show transparency over a checkerboard so the mask can be judged.
        board = Image.new("RGB", img.size, (200, 200, 200))
        d = ImageDraw.Draw(board)
        for y in range(0, img.size[1], 4):
            for x in range(0, img.size[0], 4):
                if (x // 4 + y // 4) % 2:
                    d.rectangle([x, y, x + 3, y + 3], fill=(150, 150, 150))
        board.paste(img, (0, 0), img)
        return board
    return img.convert("RGB")


def contact_sheet(files, names):
    """The sheet of the named pictures (the 1x files, in order) from {file name: bytes}."""
    font = ImageFont.truetype("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 12)
    tiles = []
    for name in names:
        img = _decode(name, files[name])
        big = img.resize((img.width * 3, img.height * 3), Image.NEAREST)
        tiles.append((name, img, big))
    # Row 1: the five large pictures at 1:1. Row 2: small pieces at 1:1 and 3x.
    # Then the card face and panel at 3x.
    pad = 16
    row1 = [t for t in tiles if t[1].height >= 300]
    rest = [t for t in tiles if t[1].height < 300]
    width1 = sum(t[1].width + pad for t in row1) + pad
    width2 = sum(max(t[1].width, t[2].width, 130) + pad for t in rest) + pad
    big_face = next(t for t in tiles if t[0] == "CardFace.jpg")[2]
    big_panel = next(t for t in tiles if t[0] == "GreetingPanel.jpg")[2]
    width = max(width1, width2, big_face.width * 2 + 3 * pad)
    row2_h = max(t[1].height + t[2].height for t in rest) + 3 * pad
    height = pad + 20 + 415 + pad + 20 + row2_h + big_face.height + 2 * pad
    sheet = Image.new("RGB", (width, height), BACKDROP)
    d = ImageDraw.Draw(sheet)
    x, y = pad, pad
    for name, img, _ in row1:
        d.text((x, y), name, font=font, fill=(220, 220, 220))
        sheet.paste(img, (x, y + 20))
        x += img.width + pad
    x, y = pad, pad + 20 + 415 + pad
    for name, img, big in rest:
        d.text((x, y), name, font=font, fill=(220, 220, 220))
        sheet.paste(img, (x, y + 20))
        sheet.paste(big, (x, y + 20 + img.height + pad))
        x += max(img.width, big.width, 130) + pad
    y += row2_h
    sheet.paste(big_face, (pad, y))
    sheet.paste(big_panel, (2 * pad + big_face.width, y))
    return sheet


def icon_sheet(pngs):
    """The desktop icons at 1:1 on a light and on a dark panel, as a desktop
    shows them, and the four smallest again at 4x to judge their pixels."""
    icons = [Image.open(io.BytesIO(data)).convert("RGBA") for data in pngs]
    gap = 10
    width = sum(i.width for i in icons) + gap * (len(icons) + 1)
    tallest = max(i.height for i in icons)
    zoomed = [i.resize((i.width * 4, i.height * 4), Image.NEAREST) for i in icons[:4]]
    zoom_h = max(z.height for z in zoomed)
    sheet = Image.new("RGBA", (width, 2 * tallest + zoom_h + 4 * gap), BACKDROP + (255,))
    for row, panel in enumerate([(236, 236, 236, 255), (30, 30, 34, 255)]):
        x = gap
        y = gap + row * (tallest + gap)
        for icon in icons:
            ground = Image.new("RGBA", icon.size, panel)
            ground.alpha_composite(icon)
            sheet.paste(ground, (x, y))
            x += icon.width + gap
    x = gap
    for z in zoomed:
        ground = Image.new("RGBA", z.size, (236, 236, 236, 255))
        ground.alpha_composite(z)
        sheet.paste(ground, (x, 2 * tallest + 3 * gap))
        x += z.width + gap
    return sheet.convert("RGB")
