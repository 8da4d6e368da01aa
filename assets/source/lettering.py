"""Script lettering: kerned text rendered to coverage masks.

Text is shaped by HarfBuzz (through Pillow's raqm layout) so the script
face's own kerning and joining applies.
"""
import numpy as np
from PIL import Image, ImageDraw, ImageFont

import paint
from paint import SS

# Debian's fonts-dancingscript (SIL OFL 1.1).
SCRIPT_BOLD = "/usr/share/fonts/opentype/dancingscript/DancingScript-Bold.otf"
SCRIPT_REGULAR = "/usr/share/fonts/opentype/dancingscript/DancingScript-Regular.otf"


def font(path, size, ss=SS):
    ss = ss * paint.SCALE
    try:
        return ImageFont.truetype(path, round(size * ss), layout_engine=ImageFont.Layout.RAQM)
    except (ImportError, KeyError, OSError):
        # Without raqm Pillow still applies the face's legacy kerning table.
        return ImageFont.truetype(path, round(size * ss), layout_engine=ImageFont.Layout.BASIC)


def text_mask(w, h, text, path, size, x, y, anchor="ms", tracking=0.0, ss=SS):
    """Coverage (0..1) of text placed at (x, y) in final pixels, painted at ss x.

    tracking adds that many final pixels between letters (script faces usually
    want 0; a negative value tightens a face that sets loosely).
    """
    f = font(path, size, ss)
    ss = ss * paint.SCALE
    img = Image.new("L", (w * ss, h * ss), 0)
    draw = ImageDraw.Draw(img)
    if tracking == 0.0:
        draw.text((x * ss, y * ss), text, font=f, fill=255, anchor=anchor)
    else:
        total = f.getlength(text) + tracking * ss * (len(text) - 1)
        if anchor[0] == "m":
            start = x * ss - total / 2
        elif anchor[0] == "r":
            start = x * ss - total
        else:
            start = x * ss
        # Advance by the kerned length of each prefix so kerning survives tracking.
        for i, ch in enumerate(text):
            pen = start + f.getlength(text[:i]) + tracking * ss * i
            draw.text((pen, y * ss), ch, font=f, fill=255, anchor="l" + anchor[1])
    return np.asarray(img, dtype=np.float64) / 255.0


def text_width(text, path, size):
    return font(path, size, 1).getlength(text)
