"""The greeting panel: a devotional painting with a line of red script.

The figure is first painted smoothly from lit shapes (smooth closed curves
through a few points each), then repainted with thousands of short, seeded
brush strokes that follow the picture's contours; the face and hand keep
finer strokes so they stay readable.
"""
import numpy as np
from PIL import Image, ImageDraw

import lettering
import paint
from paint import (SS, add, blur, capsule, coverage, downsample, ellipse_distance, glow, grid, over,
                   ramp, rgb, smoothstep, tone, to_bytes)

W, H = 333, 415
HEAD_X, HEAD_Y = 166.5, 104.0
LIGHT_X, LIGHT_Y = HEAD_X, HEAD_Y + 4  # the radiance centres just behind the head

# Outlines in picture pixels, traced clockwise; each is smoothed into a curve.
ROBE = [(152, 128), (128, 140), (113, 160), (116, 205), (104, 290), (84, 415), (262, 415),
        (246, 300), (236, 200), (228, 158), (210, 140), (181, 128)]
SLEEVE = [(74, 150), (97, 147), (103, 168), (116, 160), (130, 146), (146, 150), (142, 248),
          (120, 246), (98, 250), (82, 238), (73, 204)]
MANTLE = [(182, 130), (212, 140), (232, 160), (244, 210), (252, 300), (266, 415), (128, 415),
          (148, 350), (170, 280), (186, 215), (192, 168)]
HAIR = [(166, 78), (186, 84), (191, 110), (194, 140), (184, 152), (172, 142), (161, 142),
        (149, 152), (139, 140), (142, 110), (147, 84)]
PALM = [(78, 138), (80, 124), (93, 122), (97, 132), (95, 146), (82, 148)]
FINGERS = [((80.5, 126), (78.5, 108), 2.5), ((85, 124), (84.5, 104), 2.6),
           ((89.5, 124), (90.5, 106), 2.6), ((93.5, 127), (95.5, 113), 2.3)]
THUMB = ((95, 140), (103, 128), 2.7)


def _smooth_closed(points, steps=12):
    """Catmull-Rom curve through the points, closed."""
    pts = np.array(points, dtype=np.float64)
    n = len(pts)
    out = []
    for i in range(n):
        p0, p1, p2, p3 = pts[i - 1], pts[i], pts[(i + 1) % n], pts[(i + 2) % n]
        for t in np.linspace(0, 1, steps, endpoint=False):
            t2, t3 = t * t, t * t * t
            out.append(0.5 * (2 * p1 + (-p0 + p2) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t2
                              + (-p0 + 3 * p1 - 3 * p2 + p3) * t3))
    return out


def _shape(points, soften=0.35):
    """Coverage of a smooth closed shape at SS x."""
    n = SS * paint.SCALE
    img = Image.new("L", (W * n, H * n), 0)
    ImageDraw.Draw(img).polygon([(x * n, y * n) for x, y in _smooth_closed(points)], fill=255)
    return blur(np.asarray(img, dtype=np.float64) / 255.0, soften)


def _rim(mask, width):
    """Where a shape's edge catches the light from behind: just inside its outline."""
    return np.clip(mask - blur(mask, width), 0, 1) * 2.0


def _radiance(xx, yy):
    """Dark umber ground with light pouring from behind the head and shoulders."""
    r = np.hypot(xx - LIGHT_X, (yy - LIGHT_Y) * 0.92)
    img = ramp(np.exp(-r / 150.0), [(0.0, rgb(8, 5, 4)), (0.25, rgb(34, 20, 12)), (0.6, rgb(110, 64, 28)),
                                    (1.0, rgb(200, 140, 70))])
    angle = np.arctan2(yy - LIGHT_Y, xx - LIGHT_X)
    rng = np.random.default_rng(77)
    rays = np.zeros(xx.shape)
    for _ in range(34):
        a = rng.uniform(-np.pi, np.pi)
        width = rng.uniform(0.025, 0.07)
        strength = rng.uniform(0.35, 1.0)
        d = np.angle(np.exp(1j * (angle - a)))
        rays += strength * np.exp(-(d / width) ** 2)
    rays = blur(rays, 1.5)
    img = add(img, rgb(255, 196, 110), rays * np.exp(-r / 120.0) * smoothstep(18, 45, r) * 0.5)
    img = add(img, rgb(255, 220, 150), np.exp(-(r / 55.0) ** 2) * 0.9)
    shoulders = ellipse_distance(xx, yy, LIGHT_X, LIGHT_Y + 45, 110, 70)
    img = add(img, rgb(255, 170, 80), np.exp(-shoulders ** 2 * 2.2) * 0.45)
    # The nimbus: a thin golden ring with its own soft glow.
    ring = coverage(np.abs(r - 33.0) - 1.3)
    img = add(img, rgb(255, 236, 170), ring * 0.5 + blur(ring, 2.5) * 0.8)
    img = add(img, rgb(255, 240, 200), coverage(r - 33.0) * 0.3)
    return img


def _cloth(xx, yy, mask, base_ramp, fold_freq, fold_angle, seed):
    """Draped cloth: long soft folds, lit from above and behind, darker below."""
    rng = np.random.default_rng(seed)
    u = xx * np.cos(fold_angle) + yy * np.sin(fold_angle)
    folds = np.zeros(xx.shape)
    for k in range(3):
        f = fold_freq * (1 + 0.7 * k)
        folds += np.sin(u * f + rng.uniform(0, 6) + 1.8 * np.sin(yy * 0.018 + k)) / (1 + k)
    folds = folds / 1.8
    light = np.exp(-np.hypot(xx - LIGHT_X, yy - LIGHT_Y) / 170.0)
    level = np.clip(0.42 + 0.2 * folds + 0.45 * light - 0.3 * smoothstep(220, 400, yy), 0, 1)
    colour = ramp(level, base_ramp)
    colour = add(colour, rgb(255, 200, 120), _rim(mask, 4.0) * (0.08 + 0.7 * light ** 1.5))
    return colour


def _figure(img, xx, yy):
    robe = _shape(ROBE)
    sleeve = _shape(SLEEVE)
    mantle = _shape(MANTLE) * robe
    white_ramp = [(0.0, rgb(40, 30, 26)), (0.35, rgb(132, 112, 96)), (0.7, rgb(222, 208, 186)),
                  (1.0, rgb(255, 248, 232))]
    red_ramp = [(0.0, rgb(30, 4, 6)), (0.35, rgb(104, 12, 14)), (0.7, rgb(178, 30, 28)),
                (1.0, rgb(236, 84, 60))]
    # Hair falls behind the shoulders, so it is painted first.
    hair = _shape(HAIR, 0.6)
    hair_level = 0.35 + 0.25 * np.exp(-np.hypot(xx - HEAD_X, yy - HEAD_Y) / 30) + 0.1 * np.sin(xx * 1.3 + yy * 0.2)
    hair_colour = ramp(np.clip(hair_level, 0, 1), [(0, rgb(20, 12, 8)), (0.5, rgb(70, 42, 24)), (1, rgb(150, 100, 56))])
    hair_colour = add(hair_colour, rgb(255, 200, 120), _rim(hair, 3.0) * 0.6)
    img = over(img, hair_colour, hair)
    img = over(img, _cloth(xx, yy, robe, white_ramp, 0.11, 0.15, 1), robe)
    img = over(img, _cloth(xx, yy, mantle, red_ramp, 0.09, -0.8, 2), mantle)
    # The raised arm's wide sleeve, in front of the robe's side.
    sleeve_colour = _cloth(xx, yy, sleeve, white_ramp, 0.2, 0.25, 3)
    img = img * (1 - 0.35 * blur(sleeve, 3.0) * (1 - sleeve))[..., None]
    img = over(img, sleeve_colour, sleeve)
    # Face: an oval lit softly from the front, warm at the edges from the light behind.
    face_d = ellipse_distance(xx, yy, HEAD_X, HEAD_Y, 13.0, 17.5)
    face = coverage((face_d - 1) * 13)
    skin_level = 0.55 + 0.35 * (1 - face_d ** 2).clip(0) - 0.12 * smoothstep(-6, 12, xx - HEAD_X)
    skin_ramp = [(0, rgb(60, 30, 18)), (0.5, rgb(176, 116, 80)), (1, rgb(240, 196, 156))]
    skin = ramp(np.clip(skin_level, 0, 1), skin_ramp)
    for ex in (-5.0, 5.0):  # eye sockets, then the eyes, softly
        skin = skin * (1 - 0.35 * np.exp(-(((xx - HEAD_X - ex) / 3.6) ** 2 + ((yy - HEAD_Y + 0.5) / 2.4) ** 2)))[..., None]
        skin = skin * (1 - 0.5 * np.exp(-(((xx - HEAD_X - ex) / 1.7) ** 2 + ((yy - HEAD_Y + 0.5) / 0.9) ** 2)))[..., None]
        brow = np.exp(-(((xx - HEAD_X - ex * 1.05) / 3.5) ** 2 + ((yy - HEAD_Y + 4.3 + 0.08 * np.abs(xx - HEAD_X - ex)) / 0.7) ** 2))
        skin = skin * (1 - 0.45 * brow)[..., None]
    nose = np.exp(-(((xx - HEAD_X - 0.5) / 1.1) ** 2 + ((yy - HEAD_Y - 4) / 4.0) ** 2))
    skin = add(skin, rgb(255, 220, 190), 0.18 * nose)
    nose_shadow = np.exp(-(((xx - HEAD_X - 2.0) / 1.2) ** 2 + ((yy - HEAD_Y - 6.5) / 1.6) ** 2))
    skin = skin * (1 - 0.3 * nose_shadow)[..., None]
    img = over(img, skin, face)
    # Hair over the brow, parted in the middle, and the beard.
    hairline = HEAD_Y - 13.5 + 11.0 * (np.abs(xx - HEAD_X) / 13.0) ** 1.6
    part = np.maximum(ellipse_distance(xx, yy, HEAD_X, HEAD_Y - 6, 15, 15) - 1, (yy - hairline) / 10)
    img = over(img, hair_colour, coverage(part * 10))
    # A short beard and moustache over the jaw, below the nose.
    jaw = ellipse_distance(xx, yy, HEAD_X, HEAD_Y + 3, 12.6, 16.5)
    cheek_line = HEAD_Y + 11.5 - 7.0 * ((xx - HEAD_X) / 13.0) ** 2
    beard = coverage((jaw - 1) * 13) * smoothstep(cheek_line - 1.5, cheek_line + 1.5, yy)
    beard = np.maximum(beard, coverage((ellipse_distance(xx, yy, HEAD_X, HEAD_Y + 9.3, 5.5, 1.6) - 1) * 2))
    beard = beard * (1 - coverage((ellipse_distance(xx, yy, HEAD_X, HEAD_Y + 12.4, 3.2, 1.2) - 1) * 1.5) * 0.6)
    beard_colour = ramp(np.clip(0.45 + 0.2 * np.sin(xx * 2.2 + yy * 0.4) - 0.15 * smoothstep(HEAD_Y + 10, HEAD_Y + 22, yy), 0, 1),
                        [(0, rgb(26, 15, 10)), (0.5, rgb(84, 52, 30)), (1, rgb(150, 104, 64))])
    img = over(img, beard_colour, beard)
    mouth = np.exp(-(((xx - HEAD_X) / 3.2) ** 2 + ((yy - HEAD_Y - 12.2) / 0.7) ** 2))
    img = img * (1 - 0.55 * mouth)[..., None]
    # The raised hand, palm forward, in blessing.
    hand_sdf = np.minimum.reduce([capsule(xx, yy, *a, *b, r) for a, b, r in FINGERS + [THUMB]])
    hand = np.maximum(coverage(hand_sdf), _shape(PALM, 0.4))
    hand_level = 0.62 + 0.25 * np.exp(-((yy - 128) / 14) ** 2) - 0.15 * smoothstep(120, 100, yy)
    hand_colour = ramp(np.clip(hand_level, 0, 1), skin_ramp)
    hand_colour = add(hand_colour, rgb(255, 210, 150), _rim(hand, 2.0) * 0.5)
    creases = sum(np.exp(-((xx - (a[0] + b[0]) / 2 - 2.2) / 0.5) ** 2) * (yy > b[1] + 3) * (yy < a[1])
                  for a, b, _ in FINGERS[:3])
    hand_colour = hand_colour * (1 - 0.2 * creases)[..., None]
    img = img * (1 - 0.3 * blur(hand, 2.0) * (1 - hand))[..., None]
    img = over(img, hand_colour, hand)
    img = add(img, rgb(255, 210, 150), blur(hand, 7) * 0.22)
    detail = np.clip(blur(np.maximum(face, hand), 3.0) * 1.6, 0, 1)
    return img, detail


def _brushwork(img8, keep, seed):
    """Repaints a picture with seeded strokes that follow its contours.

    keep (0..1) marks where the underpainting should show through (face and
    hand), so that fine features survive.
    """
    # Strokes are placed in design pixels and drawn at the picture's scale,
    # so the larger picture shows the same strokes.
    scale = paint.SCALE
    h, w = img8.shape[0] // scale, img8.shape[1] // scale
    lum = img8.astype(np.float64).mean(axis=2)
    gy, gx = np.gradient(blur(lum, 2.0, 1))
    gy, gx = gy * scale, gx * scale
    canvas = Image.fromarray(img8, "RGB")
    draw = ImageDraw.Draw(canvas)
    rng = np.random.default_rng(seed)
    for count, length, width in ((7000, 8.0, 4), (12000, 5.0, 2), (9000, 3.0, 1)):
        ys = rng.uniform(0, h, count)
        xs = rng.uniform(0, w, count)
        jitter = rng.normal(0, 0.22, count)
        tint = rng.normal(0, 5.0, (count, 3))
        for x, y, j, dc in zip(xs, ys, jitter, tint):
            ix, iy = int(x * scale), int(y * scale)
            if keep[iy, ix] > 0.5:
                continue
            ex, ey = gx[iy, ix], gy[iy, ix]
            mag = np.hypot(ex, ey)
            if width < 4 and mag < 1.5:
                continue  # fine strokes only where there is detail
            angle = np.arctan2(ey, ex) + np.pi / 2 + j if mag > 0.05 else 1.2 + j
            dx, dy = np.cos(angle) * length / 2, np.sin(angle) * length / 2
            colour = tuple(int(np.clip(c + d, 0, 255)) for c, d in zip(img8[iy, ix], dc))
            draw.line([((x - dx) * scale, (y - dy) * scale), ((x + dx) * scale, (y + dy) * scale)], fill=colour,
                      width=width * scale)
    painted = np.asarray(canvas).astype(np.float64)
    k = keep[..., None]
    return (painted * (1 - k) + img8.astype(np.float64) * k) / 255.0


def _lettering(img, xx, yy):
    font = lettering.SCRIPT_BOLD
    lines = [("I Am the Resurrection", 368), ("and the Life", 399)]
    mask = np.zeros(xx.shape)
    for text, baseline in lines:
        mask = np.maximum(mask, lettering.text_mask(W, H, text, font, 31, W / 2, baseline))
    img = img * (1 - 0.75 * np.clip(blur(mask, 2.5) * 1.8, 0, 1))[..., None]
    img = add(img, rgb(255, 50, 30), glow(mask, [(2.0, 0.22), (6, 0.2)]))
    fill = ramp(smoothstep(0.0, 1.0, ((yy - 344) % 31) / 31), [(0, rgb(250, 84, 70)), (1, rgb(196, 22, 26))])
    return over(img, fill, mask)


def greeting_panel():
    xx, yy = grid(W, H)
    img = _radiance(xx, yy)
    img, detail = _figure(img, xx, yy)
    # The bottom of the painting sinks into shadow, where the lettering sits.
    img = img * (1 - 0.8 * smoothstep(300, 385, yy))[..., None]
    img = img * (1 - 0.45 * smoothstep(0.6, 1.2, ellipse_distance(xx, yy, W / 2, H * 0.4, W * 0.7, H * 0.7)))[..., None]
    base = downsample(tone(img))
    painted = _brushwork(to_bytes(base), downsample(detail), seed=2024)
    # A faint canvas weave.
    weave = 0.014 * (np.sin(paint.design_pixels(W * paint.SCALE) * 2.1)[None, :]
                     * np.sin(paint.design_pixels(H * paint.SCALE) * 1.9)[:, None])
    painted = painted * (1 + weave)[..., None]
    up = blur(np.repeat(np.repeat(painted, SS, axis=0), SS, axis=1), 0.45)
    out = _lettering(up, xx, yy)
    return to_bytes(downsample(out), seed=3)
