#!/usr/bin/env python3
"""Cuts the built-in faces down to the characters the program can draw.

Every character the program draws comes from a string in its sources (the
captions of both windows, the greeting, the web addresses) or is printable
ASCII (numbers and dates the program formats at run time). The character set
is read from the sources at each build, so a new caption cannot be left out.
Outlines, metrics and kerning of the kept glyphs are those of the full face,
so the text is drawn pixel for pixel as with the full faces.

usage: subset_fonts.py --sources DIR [DIR ...] --out DIR FONT [FONT ...]
"""
import argparse
import ast
import pathlib
import re
import sys

from fontTools import subset
from fontTools.ttLib import TTFont

# A C++ string literal with an optional encoding prefix; raw strings are
# not used by the program's sources.
LITERAL = re.compile(r'(?:u8|u|U|L)?"((?:[^"\\\n]|\\.)*)"')


def literal_characters(text):
    chars = set()
    for match in LITERAL.finditer(text):
        body = match.group(1)
        try:
            # C++ and Python agree on the escapes these sources use
            # (\n, \t, \\, \", \xNN, \uNNNN).
            value = ast.literal_eval('"' + body + '"')
        except (ValueError, SyntaxError):
            value = body
        chars.update(value)
    return chars


def program_characters(source_dirs):
    chars = {chr(c) for c in range(0x20, 0x7F)}
    for folder in source_dirs:
        for path in sorted(pathlib.Path(folder).rglob("*")):
            if path.suffix in (".cpp", ".h"):
                text = path.read_text(encoding="utf-8")
                # Comments are no strings: drop them before looking.
                text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
                text = re.sub(r"(?m)//.*$", "", text)
                chars |= literal_characters(text)
    return {c for c in chars if c.isprintable()}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sources", nargs="+", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("fonts", nargs="+")
    args = parser.parse_args()
    chars = program_characters(args.sources)
    out = pathlib.Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    for font_path in args.fonts:
        font = TTFont(font_path)
        cmap = font.getBestCmap()
        missing = sorted(c for c in chars if ord(c) not in cmap)
        if missing:
            print(f"subset_fonts: {pathlib.Path(font_path).name} has no glyph for {''.join(missing)!r}",
                  file=sys.stderr)
        options = subset.Options()
        options.layout_features = ["kern"]  # the only layout the runtime applies
        options.hinting = False             # the runtime rasterises without hints
        options.name_languages = ["*"]
        options.notdef_outline = True
        subsetter = subset.Subsetter(options)
        subsetter.populate(unicodes=[ord(c) for c in chars])
        subsetter.subset(font)
        font.save(out / pathlib.Path(font_path).name)
    print(f"subset_fonts: {len(chars)} characters")


if __name__ == "__main__":
    main()
