"""The small pieces: About background, round buttons, banner, icons and cursor."""
import numpy as np

import flame
import lettering
import paint
from flame import Flame
from paint import (add, blur, box_sdf, capsule, coverage, downsample, ellipse_distance, glow, grain, grid,
                   mix, over, rgb, smoothstep, solid, tone, to_bytes)

NEAR_BLACK = rgb(10, 7, 9)
OVAL_BROWN = rgb(74, 26, 18)
VIOLET_TOP = rgb(190, 140, 250)
VIOLET_BOTTOM = rgb(84, 36, 156)

# ---------------------------------------------------------------- About background

ABOUT_W, ABOUT_H = 134, 95


def _crack_path(n, seed):
    """A jagged line across the oval: x positions and their y offsets from the middle."""
    rng = np.random.default_rng(seed)
    xs = np.linspace(-2, ABOUT_W + 2, n)
    ys = np.cumsum(rng.normal(0, 1.6, n))
    ys -= np.linspace(ys[0], ys[-1], n)  # starts and ends on the middle line
    return xs, ABOUT_H / 2 + ys


def _distance_to_polyline(xx, yy, xs, ys):
    best = np.full(xx.shape, 1e9)
    side = np.zeros(xx.shape)
    for i in range(len(xs) - 1):
        ax, ay, bx, by = xs[i], ys[i], xs[i + 1], ys[i + 1]
        vx, vy = bx - ax, by - ay
        t = np.clip(((xx - ax) * vx + (yy - ay) * vy) / (vx * vx + vy * vy), 0, 1)
        d = np.hypot(xx - (ax + t * vx), yy - (ay + t * vy))
        closer = d < best
        best = np.where(closer, d, best)
        side = np.where(closer, np.sign((xx - ax) * vy - (yy - ay) * vx), side)
    return best, side


def about_background():
    """A dark red-brown oval, cracked across the middle, on near-black.

    The window stretches this picture to about twice its size, so the shapes
    are soft and the texture is gentle rather than fine.
    """
    ss = 4
    xx, yy = grid(ABOUT_W, ABOUT_H, ss)
    cx, cy, rx, ry = ABOUT_W / 2, ABOUT_H / 2, ABOUT_W / 2 - 3, ABOUT_H / 2 - 3
    img = solid(ABOUT_W, ABOUT_H, NEAR_BLACK, ss)
    d = ellipse_distance(xx, yy, cx, cy, rx, ry)
    # Raised like a glazed tile: lit from the upper left, darker to the lower right.
    nx, ny = (xx - cx) / rx, (yy - cy) / ry
    bevel = smoothstep(0.78, 1.0, d)
    light = 1.0 - 0.5 * bevel * (nx + ny) / np.maximum(d, 1e-3)
    body = OVAL_BROWN * (0.75 + 0.35 * (1 - d ** 2)).clip(0.5, 1.2)[..., None] * light[..., None]
    mottling = blur(grain(xx.shape, 1.0, seed=31), 2.5, ss)
    body = body * (1.0 + 1.2 * mottling)[..., None]
    body = add(body, rgb(255, 170, 120), 0.22 * np.exp(-((xx - cx * 0.7) ** 2 / 900 + (yy - cy * 0.55) ** 2 / 200)))
    img = over(img, body, coverage((d - 1) * min(rx, ry), ss))
    # The crack: a dark fissure with a lit lower lip and a shadowed upper one.
    xs, ys = _crack_path(28, seed=5)
    dist, side = _distance_to_polyline(xx, yy, xs, ys)
    inside_oval = coverage((d - 0.985) * min(rx, ry), ss)
    width = 0.9 + 0.5 * np.sin(xx * 0.21) ** 2
    fissure = smoothstep(width + 0.6, width - 0.4, dist) * inside_oval
    lip = smoothstep(width + 2.2, width + 0.4, dist) * inside_oval * (1 - fissure)
    img = add(img, rgb(255, 150, 110), 0.18 * lip * (side > 0))
    img = img * (1.0 - 0.35 * lip * (side < 0))[..., None]
    img = over(img, rgb(12, 4, 3), fissure)
    # Small side cracks branching off the main one.
    for k, (bx0, length, angle) in enumerate([(30, 9, -0.9), (78, 7, 1.1), (101, 8, -1.3)]):
        i = int(np.argmin(np.abs(xs - bx0)))
        px, py = xs[i], ys[i]
        qx, qy = px + length * np.cos(angle), py + length * np.sin(angle)
        bd, _ = _distance_to_polyline(xx, yy, np.array([px, (px + qx) / 2 + 1, qx]),
                                      np.array([py, (py + qy) / 2 - 0.8, qy]))
        img = over(img, rgb(24, 8, 6), smoothstep(0.9, 0.2, bd) * inside_oval * 0.85)
    out = downsample(img, ss)
    return to_bytes(out, seed=11)

# ---------------------------------------------------------------- Round buttons

BUTTON = 18


def _button(symbol, ground):
    ss = 8
    xx, yy = grid(BUTTON, BUTTON, ss)
    c = BUTTON / 2
    img = solid(BUTTON, BUTTON, ground, ss)
    r = np.hypot(xx - c, yy - c)
    # A soft violet glow around the button lifts it off the dark ground.
    disc = coverage(r - 8.0, ss)
    img = add(img, rgb(150, 90, 255), 0.35 * blur(disc, 1.0, ss))
    body = mix(np.broadcast_to(VIOLET_TOP, xx.shape + (3,)), VIOLET_BOTTOM, smoothstep(2, 16, yy))
    body = body * (1.0 - 0.35 * smoothstep(5.5, 8.0, r))[..., None]
    img = over(img, rgb(40, 14, 80), disc)
    img = over(img, body, coverage(r - 7.3, ss))
    shine = coverage(ellipse_distance(xx, yy, c, c - 3.6, 5.0, 2.9) - 1.0, ss)
    img = add(img, rgb(255, 255, 255), 0.28 * shine * smoothstep(9.5, 4.0, yy))
    ink = np.zeros(xx.shape)
    if symbol == "power":
        ring = np.abs(np.hypot(xx - c, yy - c - 0.3) - 3.9) - 0.75
        angle = np.arctan2(xx - c, -(yy - c - 0.3))  # 0 straight up
        gap = np.abs(angle) < 0.62
        ink = coverage(np.where(gap, 1.0, ring), ss)
        bar = box_sdf(xx, yy, c - 0.75, c - 5.2, c + 0.75, c + 0.2, radius=0.75)
        ink = np.maximum(ink, coverage(bar, ss))
    else:
        ink = lettering.text_mask(BUTTON, BUTTON, "?", "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
                                  12.5, c, c + 0.2, anchor="mm", ss=ss)
    img = over(img, rgb(40, 10, 70), blur(ink, 0.6, ss) * 0.6)
    img = over(img, rgb(252, 246, 255), ink)
    return to_bytes(downsample(img, ss))


def close_glyph():
    return _button("power", NEAR_BLACK)


def about_glyph():
    return _button("question", NEAR_BLACK)


def close_glyph_about():
    # Sits on the About window's oval, so its ground is the oval's brown.
    return _button("power", OVAL_BROWN * 0.85)

# ---------------------------------------------------------------- Banner

BANNER_W, BANNER_H = 201, 37


def greeting_banner():
    ss = 4
    xx, yy = grid(BANNER_W, BANNER_H, ss)
    mask = lettering.text_mask(BANNER_W, BANNER_H, "Happy Velmora", lettering.SCRIPT_BOLD, 32,
                               BANNER_W / 2, 28, ss=ss)
    img = solid(BANNER_W, BANNER_H, rgb(0, 0, 0), ss)
    img = add(img, rgb(255, 80, 150), glow(mask, [(1.5, 0.4), (4, 0.35)], ss))
    fill = mix(np.broadcast_to(rgb(255, 200, 224), xx.shape + (3,)), rgb(238, 100, 160), smoothstep(8, 30, yy))
    img = over(img, fill, mask)
    return to_bytes(downsample(img, ss))

# ---------------------------------------------------------------- Candle icons

ICON = 32


# The icons' flame: the card's resting flame, scaled to the icon.
ICON_FLAME = Flame(height=12.5, width=6.5)


def _icon_candle(ground, ss=8, bottom=31.0):
    xx, yy = grid(ICON, ICON, ss)
    img = ground.copy()
    cx = 16.0
    light, alpha = flame.light(xx, yy, ICON_FLAME, cx, 15.0, soft=0.3)
    img = img + glow(light, [(2.0, 0.7), (5.5, 0.6)], ss) * rgb(255, 160, 70)
    u = np.clip((xx - cx) / 5.0, -1, 1)
    body = box_sdf(xx, yy, cx - 5, 16.5, cx + 5, bottom, radius=0.6)
    top = (ellipse_distance(xx, yy, cx, 16.5, 5, 1.4) - 1) * 1.4
    drip = np.minimum(box_sdf(xx, yy, cx - 4.6, 16.5, cx - 2.8, 21.5, radius=0.9),
                      np.hypot(xx - (cx - 3.7), yy - 21.5) - 1.2)
    shape = coverage(np.minimum(np.minimum(body, top), drip), ss)
    lit = 0.35 + 0.65 * np.sqrt(1 - u ** 2) * (1.0 / (1.0 + ((yy - 15) / 12) ** 2))
    wax = rgb(246, 232, 204) * lit[..., None]
    wax = add(wax, rgb(255, 140, 60), 0.4 * np.exp(-(yy - 16.5).clip(0) / 3.5))
    img = over(img, wax, shape)
    wick = coverage(box_sdf(xx, yy, cx - 0.45, 13.0, cx + 0.45, 16.8, radius=0.3), ss)
    img = over(img, rgb(40, 22, 16), wick)
    img = img * (1.0 - 0.9 * alpha)[..., None] + light
    return xx, yy, tone(img)


def card_icon():
    """A lit candle with a soft glow on a round dark-red disc; outside the disc is see-through."""
    ss = 8
    xx, yy = grid(ICON, ICON, ss)
    r = np.hypot(xx - 16, yy - 16)
    ground = mix(np.broadcast_to(rgb(80, 14, 18), xx.shape + (3,)), rgb(20, 3, 6), smoothstep(0, 15.5, r))
    _, _, img = _icon_candle(ground, ss, bottom=27.5)
    disc = downsample(coverage(r - 15.6, ss), ss)
    ring = downsample(coverage(np.abs(r - 15.1) - 0.5, ss), ss)
    pixels = downsample(img, ss)
    pixels = over(pixels, rgb(120, 60, 40), ring[..., None] * 0.7)
    return to_bytes(pixels), disc < 0.5


def about_icon():
    """A lit candle on a dark square ground; every pixel is opaque."""
    ss = 8
    xx, yy = grid(ICON, ICON, ss)
    ground = mix(np.broadcast_to(rgb(54, 16, 14), xx.shape + (3,)), rgb(10, 4, 5),
                 smoothstep(0, 20, np.hypot(xx - 16, yy - 14)))
    _, _, img = _icon_candle(ground, ss)
    return to_bytes(downsample(img, ss)), np.zeros((ICON * paint.SCALE, ICON * paint.SCALE), dtype=bool)

# ---------------------------------------------------------------- Pointing hand cursor


def _hand_parts(u, v):
    """An upright pointing hand in local pixels: u to the right, v down, the
    fingertip's extreme at the origin. Returns signed distances per part."""
    index = capsule(u, v, 0, 2.2, 0, 16, 2.2)
    curled = [capsule(u, v, 4.3, 12.0, 4.3, 17.0, 2.15),
              capsule(u, v, 8.4, 14.0, 8.4, 18.5, 2.1),
              capsule(u, v, 12.1, 16.5, 12.1, 19.5, 1.9)]
    palm = box_sdf(u, v, -2.2, 15.0, 14.0, 26.0, radius=3.6)
    thumb = capsule(u, v, -1.0, 21.0, -5.6, 15.6, 2.1)
    cuff = box_sdf(u, v, -0.6, 24.5, 12.6, 28.5, radius=1.0)
    return index, curled, palm, thumb, cuff


def hand_cursor():
    """A white pointing hand with a dark outline; the fingertip is the hot spot (0, 0).

    The upright hand is turned 45 degrees to point up-left, with the extreme
    of the fingertip on the picture's top-left corner.
    """
    ss = 8
    xx, yy = grid(ICON, ICON, ss)
    tip = 0.35  # keeps the fingertip's outline inside pixel (0, 0)
    u = (xx - yy) / np.sqrt(2)
    v = (xx + yy) / np.sqrt(2) - tip
    index, curled, palm, thumb, cuff = _hand_parts(u, v)
    hand = np.minimum.reduce([index, palm, thumb, cuff] + curled)
    outline = 1.0
    shape = downsample(coverage(hand, ss), ss)
    fill = downsample(coverage(hand + outline, ss), ss)
    # Creases: where two parts meet inside the hand, a thin dark line shows the gap.
    parts = [index, palm, thumb, cuff] + curled
    creases = np.zeros(xx.shape)
    for i in range(len(parts)):
        for j in range(i + 1, len(parts)):
            seam = np.abs(parts[i] - parts[j])
            creases = np.maximum(creases, coverage(seam - 0.5, ss) * (np.maximum(parts[i], parts[j]) < 0.6))
    # The palm and cuff join smoothly; only fingers, thumb and cuff edge get lines.
    palm_only = coverage(np.abs(palm - cuff) - 0.5, ss) * (np.maximum(palm, cuff) < 0.6)
    creases = np.clip(creases - palm_only * 0.0, 0, 1)
    crease = downsample(creases * coverage(hand + outline + 0.8, ss), ss)
    white = rgb(255, 255, 255)
    dark = rgb(16, 16, 20)
    light = np.clip(fill - crease * 0.85, 0, 1)
    pixels = mix(np.broadcast_to(dark, light.shape + (3,)), white, light)
    opaque = shape >= 0.45
    opaque[0, 0] = True  # the hot spot pixel is the fingertip itself
    return to_bytes(pixels), ~opaque

# ---------------------------------------------------------------- Desktop icons

# The sizes of the card icon in the desktop's icon theme.
DESKTOP_ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)


def _icon_plan(size):
    """The card icon's shapes for one size, in design units (the 32-unit grid
    of the 32-pixel icon), with edges moved onto whole pixels where pixels
    are few. Small sizes keep only what reads: a wider candle, a bolder
    flame, a ring one pixel wide; large sizes add a second drip and a
    highlight down the wax."""
    unit = 32.0 / size  # design units per pixel

    def snap(v):
        return round(v / unit) * unit if size < 32 else v

    small = size <= 24
    return dict(
        unit=unit,
        body=(snap(10.0 if small else 11.0), snap(16.5), snap(22.0 if small else 21.0), snap(28.0 if small else 27.5)),
        flame=Flame(height=13.0, width=8.0) if small else ICON_FLAME,
        flame_base=snap(16.0) - 0.5 * unit if small else 15.0,
        wick=not small,
        # Drips run over the rim and down the sides: (side, lowest point, half-width).
        drips=[] if small else ([(-1, 21.5, 0.8)] + ([(1, 19.0, 0.6)] if size >= 64 else [])),
        highlight=size >= 64,
        ring_width=max(1.0, size / 40.0) * unit,
    )


def card_icon_rgba(size):
    """The card icon painted at size x size pixels with soft edges (RGBA):
    a lit candle on a round dark-red disc with a copper ring, the same
    picture as the 32-pixel program icon, drawn anew for each size."""
    plan = _icon_plan(size)
    unit = plan["unit"]
    ss = max(4, min(8, 1024 // size))
    px, py = grid(size, size, ss)
    xx, yy = px * unit, py * unit  # design units
    k = 1.0 / unit                 # pixels per design unit

    def cover(signed_units):
        return coverage(signed_units * k, ss)

    r = np.hypot(xx - 16, yy - 16)
    img = mix(np.broadcast_to(rgb(80, 14, 18), xx.shape + (3,)), rgb(20, 3, 6), smoothstep(0, 15.5, r))
    cx = 16.0
    base_y = plan["flame_base"]
    light, alpha = flame.light(xx, yy, plan["flame"], cx, base_y, soft=0.3 * unit)
    img = img + glow(light, [(2.0 * k, 0.7), (5.5 * k, 0.6)], ss) * rgb(255, 160, 70)
    x0, top, x1, bottom = plan["body"]
    half = (x1 - x0) / 2
    u = np.clip((xx - cx) / (half + 0.7), -1, 1)  # the drips beside the body catch a little light
    body = box_sdf(xx, yy, x0, top, x1, bottom, radius=0.6)
    rim = (ellipse_distance(xx, yy, cx, top, half, 1.4) - 1) * 1.4
    shape = np.minimum(body, rim)
    for side, length, width in plan["drips"]:
        x = cx + side * (half - width + 0.45)
        drip = np.minimum(box_sdf(xx, yy, x - width, top, x + width, length, radius=width),
                          np.hypot(xx - x, yy - length) - width - 0.3)
        shape = np.minimum(shape, drip)
    lit = 0.35 + 0.65 * np.sqrt(1 - u ** 2) * (1.0 / (1.0 + ((yy - 15) / 12) ** 2))
    wax = rgb(246, 232, 204) * lit[..., None]
    wax = add(wax, rgb(255, 140, 60), 0.4 * np.exp(-(yy - top).clip(0) / 3.5))
    if plan["highlight"]:
        # A soft sheen down the wax on the side that faces the flame's light.
        sheen = np.exp(-((xx - (cx - half * 0.45)) / 0.9) ** 2) * smoothstep(top + 1, top + 4, yy)
        wax = add(wax, rgb(255, 250, 235), 0.18 * sheen)
    img = over(img, wax, cover(shape))
    if plan["wick"]:
        wick = cover(box_sdf(xx, yy, cx - 0.45, base_y - 2.0, cx + 0.45, top + 0.3, radius=0.3))
        img = over(img, rgb(40, 22, 16), wick)
    img = img * (1.0 - 0.9 * alpha)[..., None] + light
    img = tone(img)
    ring_w = plan["ring_width"]
    img = over(img, rgb(120, 60, 40), cover(np.abs(r - (15.6 - ring_w / 2)) - ring_w / 2) * 0.7)
    disc = downsample(cover(r - 15.6), ss)
    pixels = downsample(img, ss)
    rgba = np.dstack([to_bytes(pixels), np.clip(np.rint(disc * 255), 0, 255).astype(np.uint8)])
    return rgba
