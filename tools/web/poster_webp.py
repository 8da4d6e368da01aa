#!/usr/bin/env python3
"""The page's poster as WebP: poster.png and poster@2x.png (the card's first
frame at device scale 1 and 2, from velmora_pictures --poster) become
poster.webp and poster@2x.webp, lossy with exact alpha, small enough to
arrive before anything else on a slow network.

usage: poster_webp.py <folder with the PNGs> <site folder>
"""
import sys
from pathlib import Path

from PIL import Image

QUALITY = 90


def main(source: Path, site: Path) -> None:
    for name in ("poster", "poster@2x"):
        with Image.open(source / f"{name}.png") as picture:
            if picture.mode != "RGBA":
                raise SystemExit(f"poster_webp: {name}.png has no alpha channel")
            picture.save(site / f"{name}.webp", "WEBP", quality=QUALITY, alpha_quality=100, method=6)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        raise SystemExit("usage: poster_webp.py <folder with the PNGs> <site folder>")
    main(Path(sys.argv[1]), Path(sys.argv[2]))
