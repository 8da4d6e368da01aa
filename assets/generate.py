#!/usr/bin/python3
"""Regenerates Velmora's thirteen pictures, icons and cursor, their 2x
drawings, and the card icon for the desktop's icon theme at every size it is
installed in.

Run with Debian's interpreter from the repository root or anywhere:
    /usr/bin/python3 assets/generate.py
Writes the pictures next to this file, the desktop icons to icons/, a
contact sheet of the thirteen pictures to build/contact-sheet.png under the
repository root (or --contact-sheet PATH) and a sheet of the desktop icons
beside it (icon-sheet.png). Every noise source is seeded, so two runs give
the same bytes.
"""
import argparse
import io
import os
import sys

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "source"))

import numpy as np  # noqa: E402
from PIL import Image  # noqa: E402

import paint  # noqa: E402

import cardface  # noqa: E402
import containers  # noqa: E402
import panel  # noqa: E402
import small  # noqa: E402
import exe_icon  # noqa: E402
from contact_sheet import contact_sheet, icon_sheet  # noqa: E402


def build():
    """Returns {file name: bytes} for the thirteen pictures and the desktop icons."""
    files = {}
    for name, pixels in cardface.render().items():
        files[name + ".jpg"] = containers.jpeg_bytes(pixels, subsampling=0)
    files["GreetingPanel.jpg"] = containers.jpeg_bytes(panel.greeting_panel(), subsampling=2)
    files["AboutBackground.jpg"] = containers.jpeg_bytes(small.about_background(), subsampling=0)
    files["CloseGlyph.bmp"] = containers.bmp_bytes(small.close_glyph())
    files["AboutGlyph.bmp"] = containers.bmp_bytes(small.about_glyph())
    files["CloseGlyphAbout.bmp"] = containers.bmp_bytes(small.close_glyph_about())
    files["GreetingBanner.gif"] = containers.gif_bytes(small.greeting_banner())
    files["CardIcon.ico"] = containers.ico_bytes(*small.card_icon())
    files["AboutIcon.ico"] = containers.ico_bytes(*small.about_icon())
    pixels, transparent = small.hand_cursor()
    files["HandCursor.cur"] = containers.cur_bytes(pixels, transparent, hotspot=(0, 0))
    for size in small.DESKTOP_ICON_SIZES:
        files[desktop_icon_name(size)] = containers.png_bytes(small.card_icon_rgba(size))
    files["icons/velmora.ico"] = exe_icon.ico_bytes()
    return files


def desktop_icon_name(size):
    return f"icons/velmora-{size}.png"


def build_2x():
    """Returns {file name: bytes} of the pictures drawn at twice their size for
    high-density screens, named like the originals with "@2x"."""
    files = {}
    with paint.at_scale(2):
        for name, pixels in cardface.render().items():
            files[name + "@2x.jpg"] = containers.jpeg_bytes(pixels, subsampling=0)
        files["GreetingPanel@2x.jpg"] = containers.jpeg_bytes(panel.greeting_panel(), subsampling=2)
        files["AboutBackground@2x.jpg"] = containers.jpeg_bytes(small.about_background(), subsampling=0)
        files["CloseGlyph@2x.bmp"] = containers.bmp_bytes(small.close_glyph())
        files["AboutGlyph@2x.bmp"] = containers.bmp_bytes(small.about_glyph())
        files["CloseGlyphAbout@2x.bmp"] = containers.bmp_bytes(small.close_glyph_about())
        files["CardIcon@2x.ico"] = containers.ico_bytes(*small.card_icon())
        files["AboutIcon@2x.ico"] = containers.ico_bytes(*small.about_icon())
        pixels, transparent = small.hand_cursor()
        files["HandCursor@2x.cur"] = containers.cur_bytes(pixels, transparent, hotspot=(0, 0))
    return files


def check_flame_frames_2x(files):
    """The 2x frames must decode equal to the 2x card face outside the 8-pixel
    blocks their flame strip touches, and differ inside it."""
    def decode(name):
        return np.asarray(Image.open(io.BytesIO(files[name])).convert("RGB")).astype(int)

    with paint.at_scale(2):
        ys, xs = np.nonzero(cardface.strip_mask())
    x0, x1 = xs.min() // 8 * 8, (xs.max() // 8 + 1) * 8
    y0, y1 = ys.min() // 8 * 8, (ys.max() // 8 + 1) * 8
    face = decode("CardFace@2x.jpg")
    for name in ("FlameFrame2@2x.jpg", "FlameFrame4@2x.jpg", "FlameFrame5@2x.jpg"):
        frame = decode(name)
        outside = frame.copy()
        outside[y0:y1, x0:x1] = face[y0:y1, x0:x1]
        if not np.array_equal(outside, face):
            sys.exit(f"{name} differs from the 2x card face outside its flame blocks")
        if np.abs(frame[y0:y1, x0:x1] - face[y0:y1, x0:x1]).max() < 40:
            sys.exit(f"{name} barely differs from the 2x card face inside the flame strip")


def check_flame_frames(files):
    """The frames must decode equal to the card face outside the flame's 8-pixel blocks."""
    def decode(name):
        return np.asarray(Image.open(io.BytesIO(files[name])).convert("RGB")).astype(int)

    face = decode("CardFace.jpg")
    x0, x1 = cardface.STRIP_X0 // 8 * 8, (cardface.STRIP_X1 // 8 + 1) * 8
    y0, y1 = cardface.STRIP_Y0 // 8 * 8, (cardface.STRIP_Y1 // 8 + 1) * 8
    strip = (slice(cardface.STRIP_Y0, cardface.STRIP_Y1 + 1), slice(cardface.STRIP_X0, cardface.STRIP_X1 + 1))
    frames = [face]
    for name in ("FlameFrame2.jpg", "FlameFrame4.jpg", "FlameFrame5.jpg"):
        frame = decode(name)
        outside = frame.copy()
        outside[y0:y1, x0:x1] = face[y0:y1, x0:x1]
        if not np.array_equal(outside, face):
            sys.exit(f"{name} differs from the card face outside its flame blocks")
        for other in frames:
            if np.abs(frame[strip] - other[strip]).max() < 40:
                sys.exit(f"{name} barely differs from another frame inside the flame strip")
        frames.append(frame)


def main():
    root = os.path.dirname(HERE)
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--contact-sheet", default=os.path.join(root, "build", "contact-sheet.png"))
    parser.add_argument("--out", default=HERE, help="folder for the pictures (the icons go to icons/ in it)")
    args = parser.parse_args()
    files = build()
    check_flame_frames(files)
    files.update(build_2x())
    check_flame_frames_2x(files)
    for name, data in sorted(files.items()):
        path = os.path.join(args.out, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    sheet_dir = os.path.dirname(os.path.abspath(args.contact_sheet))
    os.makedirs(sheet_dir, exist_ok=True)
    contact_sheet(files).save(args.contact_sheet)
    icons = [files[desktop_icon_name(size)] for size in small.DESKTOP_ICON_SIZES]
    icon_sheet(icons).save(os.path.join(sheet_dir, "icon-sheet.png"))
    print(f"wrote {len(files)} pictures to {args.out} and contact sheets to {sheet_dir}")


if __name__ == "__main__":
    main()
