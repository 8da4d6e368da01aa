#!/usr/bin/python3
"""Regenerates Velmora's pictures, icons and cursor (the files assets.txt
lists), their 2x drawings, and the card icon for the desktop's icon theme at
every size it is installed in.

Run with Debian's interpreter from the repository root or anywhere:
    /usr/bin/python3 assets/generate.py
Writes the pictures next to this file, the desktop icons to icons/ (and
those for web pages to icons/web/), a
contact sheet of the pictures to build/contact-sheet.png under the
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


def asset_list():
    """[(file name, drawn at 2x too)] from assets.txt, the one list of the
    files the card builds in."""
    entries = []
    with open(os.path.join(HERE, "assets.txt"), encoding="utf-8") as f:
        for line in f:
            words = line.split()
            if words and not words[0].startswith("#"):
                entries.append((words[0], words[1:] == ["2x"]))
    return entries


def at_scale_name(name, scale):
    """"CardFace.jpg" at scale 2 is "CardFace@2x.jpg"."""
    if scale == 1:
        return name
    stem, ext = os.path.splitext(name)
    return f"{stem}@{scale}x{ext}"


# The card face and its flame frames are painted together.
CARD_FACE_AND_FRAMES = ("CardFace.jpg", "FlameFrame2.jpg", "FlameFrame4.jpg", "FlameFrame5.jpg")


def _card_face_and_frames():
    return {name + ".jpg": containers.jpeg_bytes(pixels, subsampling=0)
            for name, pixels in cardface.render().items()}


def _hand_cursor():
    pixels, transparent = small.hand_cursor()
    return containers.cur_bytes(pixels, transparent, hotspot=(0, 0))


# What paints each other file of assets.txt at the current paint scale,
# returning its bytes.
PAINTERS = {
    "GreetingPanel.jpg": lambda: containers.jpeg_bytes(panel.greeting_panel(), subsampling=2),
    "AboutBackground.jpg": lambda: containers.jpeg_bytes(small.about_background(), subsampling=0),
    "CloseGlyph.bmp": lambda: containers.bmp_bytes(small.close_glyph()),
    "AboutGlyph.bmp": lambda: containers.bmp_bytes(small.about_glyph()),
    "CloseGlyphAbout.bmp": lambda: containers.bmp_bytes(small.close_glyph_about()),
    "GreetingBanner.gif": lambda: containers.gif_bytes(small.greeting_banner()),
    "CardIcon.ico": lambda: containers.ico_bytes(*small.card_icon()),
    "AboutIcon.ico": lambda: containers.ico_bytes(*small.about_icon()),
    "HandCursor.cur": _hand_cursor,
}


def build(scale):
    """Returns {file name: bytes} of the files assets.txt lists, drawn at
    `scale` times their size (at 2, those marked 2x, named with "@2x")."""
    wanted = [name for name, has_2x in asset_list() if scale == 1 or has_2x]
    unknown = [name for name in wanted if name not in PAINTERS and name not in CARD_FACE_AND_FRAMES]
    if unknown:
        sys.exit(f"assets.txt lists {', '.join(unknown)}, which nothing in generate.py paints")
    files = {}
    with paint.at_scale(scale):
        painted = _card_face_and_frames() if any(name in CARD_FACE_AND_FRAMES for name in wanted) else {}
        for name in wanted:
            files[at_scale_name(name, scale)] = painted[name] if name in painted else PAINTERS[name]()
    return files


def desktop_icon_name(size):
    return f"icons/velmora-{size}.png"


def build_desktop_icons():
    """Returns {file name: bytes} of the card icon for the desktop's icon theme
    and the Windows executable's own icon, each drawn once at its own sizes."""
    files = {desktop_icon_name(size): containers.png_bytes(small.card_icon_rgba(size))
             for size in small.DESKTOP_ICON_SIZES}
    files["icons/velmora.ico"] = exe_icon.ico_bytes()
    return files


# The page's backdrop colour (app/web/index.html's theme colour), under the
# icons a phone shows square.
WEB_BACKDROP = (28, 12, 9, 255)


def _on_backdrop(size, disc):
    """The card icon drawn disc x disc pixels, centred on a size x size
    square of the page's backdrop colour."""
    square = Image.new("RGBA", (size, size), WEB_BACKDROP)
    icon = Image.fromarray(small.card_icon_rgba(disc), "RGBA")
    square.alpha_composite(icon, ((size - disc) // 2, (size - disc) // 2))
    return containers.png_bytes(np.asarray(square))


def build_web_icons():
    """Returns {file name: bytes} of the card icon for web pages: 192 and
    512 pixels for an installed page, a 512-pixel maskable one whose disc
    stays inside the middle 80 % a phone may cut to any shape, and the
    180-pixel square one a phone's home screen takes."""
    return {
        "icons/web/icon-192.png": containers.png_bytes(small.card_icon_rgba(192)),
        "icons/web/icon-512.png": containers.png_bytes(small.card_icon_rgba(512)),
        "icons/web/icon-maskable-512.png": _on_backdrop(512, 400),
        "icons/web/apple-touch-icon.png": _on_backdrop(180, 156),
    }


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
    files = build(1)
    check_flame_frames(files)
    files.update(build(2))
    check_flame_frames_2x(files)
    files.update(build_desktop_icons())
    files.update(build_web_icons())
    for name, data in sorted(files.items()):
        path = os.path.join(args.out, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    sheet_dir = os.path.dirname(os.path.abspath(args.contact_sheet))
    os.makedirs(sheet_dir, exist_ok=True)
    contact_sheet(files, [name for name, _ in asset_list()]).save(args.contact_sheet)
    icons = [files[desktop_icon_name(size)] for size in small.DESKTOP_ICON_SIZES]
    icon_sheet(icons).save(os.path.join(sheet_dir, "icon-sheet.png"))
    print(f"wrote {len(files)} pictures to {args.out} and contact sheets to {sheet_dir}")


if __name__ == "__main__":
    main()
