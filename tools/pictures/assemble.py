#!/usr/bin/python3
"""Turns the frames velmora_pictures wrote into the README's pictures.

    /usr/bin/python3 tools/pictures/assemble.py <frames folder> <docs folder>

Writes card.webp and about.webp (the two screenshots) and show.webp (the
animated show) to the docs folder. WebP keeps the rounded corners
transparent, is a fraction of a PNG's size for these photographic pictures,
and every current web browser shows it, animated too. The encoder's
settings are fixed, so the same frames give the same bytes.
"""
import os
import sys

from PIL import Image

SCREENSHOT_QUALITY = 90
SHOW_QUALITY = 80
LIMIT = 3 * 1024 * 1024  # the animation must stay under this many bytes


def screenshot(src, dst):
    Image.open(src).save(dst, "WEBP", quality=SCREENSHOT_QUALITY, alpha_quality=100, method=6, exact=False)


def show(folder, dst):
    frames, durations = [], []
    with open(os.path.join(folder, "frames.txt")) as listing:
        for line in listing:
            name, ms, _ = line.split()
            frames.append(Image.open(os.path.join(folder, name)).convert("RGBA"))
            durations.append(int(ms))
    if not frames:
        sys.exit("assemble: no frames listed in " + folder)
    # allow_mixed lets quiet frames, where only the flame changes, be stored
    # as a small lossless rectangle and the rest lossy.
    frames[0].save(dst, "WEBP", save_all=True, append_images=frames[1:], duration=durations, loop=0,
                   quality=SHOW_QUALITY, alpha_quality=100, method=4, minimize_size=False, allow_mixed=True,
                   kmin=9, kmax=17)
    return len(frames), sum(durations)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.splitlines()[2].strip())
    frames, docs = sys.argv[1], sys.argv[2]
    os.makedirs(docs, exist_ok=True)
    screenshot(os.path.join(frames, "card.png"), os.path.join(docs, "card.webp"))
    screenshot(os.path.join(frames, "about.png"), os.path.join(docs, "about.webp"))
    count, ms = show(os.path.join(frames, "show"), os.path.join(docs, "show.webp"))
    for name in ("card.webp", "about.webp", "show.webp"):
        print(f"{os.path.join(docs, name)}: {os.path.getsize(os.path.join(docs, name))} bytes")
    print(f"show.webp: {count} frames, {ms / 1000:.1f} s")
    if os.path.getsize(os.path.join(docs, "show.webp")) > LIMIT:
        sys.exit(f"assemble: show.webp is larger than {LIMIT} bytes")


if __name__ == "__main__":
    main()
