"""The greeting panel: a devotional painting with a line of red script.

The figure is first painted smoothly from simple lit shapes, then repainted
with thousands of short, seeded brush strokes that follow the picture's
contours, which gives it the hand-painted look.
"""
import numpy as np
from PIL import Image, ImageDraw

import lettering
from paint import (add, blur, box_sdf, coverage, downsample, ellipse_distance, glow, grain, grid,
                   mix, over, rgb, smoothstep, solid, tone, to_bytes)

W, H = 333, 415
HEAD_X, HEAD_Y = 166.5, 112.0


def _capsule(xx, yy, ax, ay, bx, by, ra, rb=None):
    rb = ra if rb is None else rb
    vx, vy = bx - ax, by - ay
    t = np.clip(((xx - ax) * vx + (yy - ay) * vy) / (vx * vx + vy * vy), 0, 1)
    return np.hypot(xx - (ax + t * vx), yy - (ay + t * vy)) - (ra + (rb - ra) * t)


def _underpainting(xx, yy):
    """The smooth painting before brushwork."""
    # Dark umber ground, warmer toward the light.
    r_light = np.hypot(xx - HEAD_X, (yy - HEAD_Y) * 0.9)
    img = mix(np.broadcast_to(rgb(60, 34, 20), xx.shape + (3,)), rgb(12, 7, 6), smoothstep(20, 260, r_light))
    # Radiance behind head and shoulders: layered glows and soft rays.
    angle = np.arctan2(yy - HEAD_Y, xx - HEAD_X)
    rays = (0.5 + 0.5 * np.cos(22 * angle + 1.5 * np.sin(3 * angle))) ** 4
    img = add(img, rgb(255, 200, 110), rays * np.exp(-r_light / 95) * 0.55 * smoothstep(20, 50, r_light))
    img = add(img, rgb(255, 214, 140), np.exp(-(r_light / 70) ** 2) * 0.9)
    img = add(img, rgb(255, 170, 80), np.exp(-(r_light / 150) ** 2) * 0.35)
    nimbus = np.abs(r_light - 36) - 2.2
    img = add(img, rgb(255, 236, 170), coverage(nimbus) * 0.55 + blur(coverage(nimbus), 3) * 0.5)
    img = add(img, rgb(255, 240, 200), coverage(r_light - 36) * 0.25)

    # Hair and beard framing the face.
    hair = np.minimum(ellipse_distance(xx, yy, HEAD_X, HEAD_Y + 6, 24, 32) - 1,
                      _capsule(xx, yy, HEAD_X, HEAD_Y + 10, HEAD_X, HEAD_Y + 44, 21, 14) / 20)
    img = over(img, rgb(64, 38, 22) * (0.8 + 0.2 * smoothstep(HEAD_Y + 40, HEAD_Y - 30, yy))[..., None],
               coverage(hair * 20))

    # The robe: a cream tunic widening to the bottom of the panel.
    half = 36 + (yy - 150).clip(0) * 0.42
    robe = np.maximum(np.abs(xx - HEAD_X - 4) - half, 146 - yy)
    shoulders = ellipse_distance(xx, yy, HEAD_X + 2, 168, 58, 28) - 1
    robe_sdf = np.minimum(robe, shoulders * 28)
    folds = 0.5 + 0.5 * np.sin((xx - HEAD_X) * 0.16 + 2.5 * np.sin(yy * 0.02))
    cream = rgb(236, 224, 200) * (0.55 + 0.35 * folds + 0.25 * np.exp(-r_light / 120))[..., None]
    cream = cream * (1 - 0.45 * smoothstep(200, 400, yy))[..., None]
    img = over(img, cream, coverage(robe_sdf))

    # The red mantle over the figure's left shoulder, falling across the body.
    mantle = np.maximum(robe_sdf, (xx - HEAD_X) * 0.6 - (yy - 150) * 0.55 - 10)
    mantle = np.maximum(mantle, -((xx - HEAD_X) - 8 - (yy - 150) * 0.9) * -1)
    mantle_sdf = np.maximum(robe_sdf, 30 + (HEAD_X - xx) * 0.9 - (yy - 160) * 0.5)
    red_folds = 0.5 + 0.5 * np.sin((xx + yy * 0.7) * 0.13)
    red = rgb(150, 24, 22) * (0.55 + 0.35 * red_folds + 0.3 * np.exp(-r_light / 110))[..., None]
    red = red * (1 - 0.5 * smoothstep(220, 410, yy))[..., None]
    img = over(img, red, coverage(mantle_sdf))

    # Neck and face.
    neck = box_sdf(xx, yy, HEAD_X - 7, HEAD_Y + 14, HEAD_X + 7, HEAD_Y + 34, radius=4)
    skin = rgb(214, 160, 118)
    img = over(img, skin * 0.7, coverage(neck))
    face_d = ellipse_distance(xx, yy, HEAD_X, HEAD_Y, 14, 19)
    face_shade = 0.65 + 0.4 * (1 - face_d ** 2).clip(0) - 0.15 * smoothstep(-5, 14, xx - HEAD_X)
    img = over(img, skin * face_shade[..., None], coverage((face_d - 1) * 14))
    # Beard over the chin, hair parting over the brow.
    beard = np.minimum(ellipse_distance(xx, yy, HEAD_X, HEAD_Y + 17, 12, 10) - 1,
                       np.maximum(ellipse_distance(xx, yy, HEAD_X, HEAD_Y + 6, 14, 14) - 1, HEAD_Y + 8 - yy))
    img = over(img, rgb(70, 42, 24), coverage(beard * 11))
    brow_hair = np.maximum(ellipse_distance(xx, yy, HEAD_X, HEAD_Y - 10, 17, 13) - 1, yy - (HEAD_Y - 9 - 4 * np.abs(xx - HEAD_X) / 14))
    img = over(img, rgb(72, 44, 26), coverage(brow_hair * 13))
    # Eyes, nose and mouth as soft shadows, as a painter would block them in.
    for ex in (-5.5, 5.5):
        img = img * (1 - 0.55 * np.exp(-(((xx - HEAD_X - ex) / 3.0) ** 2 + ((yy - HEAD_Y + 1) / 1.4) ** 2)))[..., None]
    img = img * (1 - 0.25 * np.exp(-(((xx - HEAD_X - 1.5) / 1.5) ** 2 + ((yy - HEAD_Y - 6) / 4) ** 2)))[..., None]
    img = img * (1 - 0.45 * np.exp(-(((xx - HEAD_X) / 4) ** 2 + ((yy - HEAD_Y - 12.5) / 1.0) ** 2)))[..., None]

    # The raised right hand, palm forward, with its wide sleeve.
    sleeve = np.minimum(_capsule(xx, yy, HEAD_X - 40, 170, HEAD_X - 72, 226, 16, 19),
                        _capsule(xx, yy, HEAD_X - 72, 226, HEAD_X - 84, 176, 17, 13))
    img = over(img, rgb(228, 214, 190) * (0.6 + 0.3 * folds)[..., None], coverage(sleeve))
    hx, hy = HEAD_X - 86, 148.0
    palm = ellipse_distance(xx, yy, hx, hy, 8.5, 10) - 1
    fingers = np.minimum.reduce([
        _capsule(xx, yy, hx - 6, hy - 5, hx - 8, hy - 22, 2.4),
        _capsule(xx, yy, hx - 2, hy - 7, hx - 2.5, hy - 27, 2.5),
        _capsule(xx, yy, hx + 2.5, hy - 7, hx + 3.5, hy - 26, 2.5),
        _capsule(xx, yy, hx + 6.5, hy - 5, hx + 8.5, hy - 20, 2.3),
        _capsule(xx, yy, hx + 7, hy + 4, hx + 14, hy - 6, 2.6),
    ])
    hand = np.minimum(palm * 9, fingers)
    img = over(img, skin * (0.8 + 0.3 * np.exp(-((yy - hy) / 20) ** 2))[..., None], coverage(hand))
    img = add(img, rgb(255, 210, 150), blur(coverage(hand), 6) * 0.35)
    return img


def _brushwork(img8, seed):
    """Repaints a picture with seeded strokes that follow its contours."""
    h, w, _ = img8.shape
    lum = img8.astype(np.float64).mean(axis=2)
    gy, gx = np.gradient(blur(lum, 2.0, 1))
    canvas = Image.fromarray(img8, "RGB")
    draw = ImageDraw.Draw(canvas)
    rng = np.random.default_rng(seed)
    for count, length, width in ((9000, 9.0, 4), (14000, 5.0, 2), (9000, 3.0, 1)):
        ys = rng.uniform(0, h, count)
        xs = rng.uniform(0, w, count)
        jitter = rng.normal(0, 0.25, count)
        for x, y, j in zip(xs, ys, jitter):
            ix, iy = int(x), int(y)
            ex, ey = gx[iy, ix], gy[iy, ix]
            mag = np.hypot(ex, ey)
            if width < 4 and mag < 1.5:
                continue  # fine strokes only where there is detail
            angle = np.arctan2(ey, ex) + np.pi / 2 + j if mag > 0.05 else 1.2 + j
            dx, dy = np.cos(angle) * length / 2, np.sin(angle) * length / 2
            colour = tuple(int(c) for c in img8[iy, ix])
            draw.line([(x - dx, y - dy), (x + dx, y + dy)], fill=colour, width=width)
    return np.asarray(canvas)


def _lettering(img, xx, yy):
    font = lettering.SCRIPT_BOLD
    mask = np.maximum(lettering.text_mask(W, H, "I Am the Resurrection", font, 30, W / 2, 366),
                      lettering.text_mask(W, H, "and the Life", font, 30, W / 2, 398))
    img = img * (1 - 0.7 * np.clip(blur(mask, 2.5) * 1.6, 0, 1))[..., None]
    img = add(img, rgb(255, 60, 40), glow(mask, [(2.5, 0.25), (7, 0.2)]))
    fill = mix(np.broadcast_to(rgb(236, 52, 44), xx.shape + (3,)), rgb(176, 18, 24),
               smoothstep(0.2, 1.0, ((yy - 345) % 32) / 32))
    return over(img, fill, mask)


def greeting_panel():
    xx, yy = grid(W, H)
    base = downsample(tone(_underpainting(xx, yy)))
    painted = _brushwork(to_bytes(base), seed=2024).astype(np.float64) / 255.0
    # Canvas weave, faint.
    weave = 0.012 * (np.sin(np.arange(W) * 2.1)[None, :] + np.sin(np.arange(H) * 1.9)[:, None])
    painted = painted * (1 + weave)[..., None]
    from paint import SS
    up = np.repeat(np.repeat(painted, SS, axis=0), SS, axis=1)
    up = blur(up, 0.4)
    out = _lettering(up, xx, yy)
    return to_bytes(downsample(out), seed=3)
