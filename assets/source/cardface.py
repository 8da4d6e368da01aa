"""The card face: a lit candle before a glowing cross, and its flame frames.

The flame is the only thing that moves. Each animation frame is the card
face with the flame strip repainted: the strip is composited onto the card
face before encoding, so every JPEG block the strip does not touch decodes to
exactly the same pixels in all four pictures.

To retouch the flame, change FLAMES below and rerun the generator.
"""
import numpy as np

import flame
import paint
import lettering
from flame import Flame
from paint import (add, blur, box_sdf, coverage, downsample, ellipse_distance, glow, grain,
                   grid, mix, over, ramp, rgb, smoothstep, tone, to_bytes)

W, H = 333, 415

# The flame and everything that flickers stay inside this strip (inclusive
# pixel bounds); outside it the animation frames equal the card face.
STRIP_X0, STRIP_X1 = 159, 184
STRIP_Y0, STRIP_Y1 = 36, 231
AXIS = (STRIP_X0 + STRIP_X1 + 1) / 2  # the candle's and the cross's vertical axis

FLAME_BASE_Y = 224.0  # bottom of the flame's bulb, just above the candle's wax pool
CANDLE_TOP_Y = 229.0
CANDLE_BOTTOM_Y = 340.0
CANDLE_HALF_WIDTH = 21.0


# Frame name -> flame shape. CardFace is the resting flame and frame 1 of the flicker.
FLAMES = {
    "CardFace": Flame(height=50, width=15),
    "FlameFrame2": Flame(height=53, width=14, lean=-4.5, sway=1.2, streak=0.3),
    "FlameFrame4": Flame(height=63, width=12.5, lean=2.5, sway=-1.0, streak=0.8),
    "FlameFrame5": Flame(height=47, width=15.5, lean=1.0, flare=1.0, streak=0.45),
}

PINK_TOP = rgb(255, 196, 222)
PINK_BOTTOM = rgb(236, 104, 160)
GOLD = rgb(255, 184, 92)
WARM_WHITE = rgb(255, 247, 228)
FLAME_LIGHT = rgb(255, 170, 80)


def _ground(xx, yy):
    """Deep red-black, brightest behind the cross, with grain against banding."""
    d = ellipse_distance(xx, yy, AXIS, 150, 210, 260)
    inner, outer = rgb(72, 8, 14), rgb(14, 2, 4)
    g = mix(np.broadcast_to(inner, xx.shape + (3,)), outer, smoothstep(0.0, 1.1, d) ** 0.8)
    return g + grain(xx.shape, 0.006, seed=101)[..., None] * g / g.max()


def _cross(xx, yy):
    """A tall cross of light: bright where the arms meet, fading toward the candle."""
    cy = 96.0
    upright = box_sdf(xx, yy, AXIS - 10, 24, AXIS + 10, 345, radius=2.0)
    arm = box_sdf(xx, yy, AXIS - 74, cy - 10, AXIS + 74, cy + 10, radius=2.0)
    cover = coverage(np.minimum(upright, arm))
    r = np.hypot(xx - AXIS, yy - cy)
    level = 0.42 + 0.5 * np.exp(-r / 60.0)
    # The upright dims toward the candle so the flame stands out against it.
    level *= 1.0 - 0.62 * smoothstep(110, 250, yy)
    # A brighter spine along each arm makes the bars read as lit glass, not flat paint.
    spine = np.maximum(np.exp(-((xx - AXIS) / 7.0) ** 2) * (np.abs(upright) < 40),
                       np.exp(-((yy - cy) / 7.0) ** 2) * (np.abs(arm) < 40))
    level = level * (0.78 + 0.22 * spine)
    colour = mix(np.broadcast_to(GOLD, xx.shape + (3,)), WARM_WHITE, smoothstep(0.45, 0.95, level))
    emission = colour * (cover * level)[..., None]
    halo = glow(emission, [(1.5, 0.45), (6, 0.4), (18, 0.4), (50, 0.35)]) * rgb(255, 180, 110)
    angle = np.arctan2(yy - cy, xx - AXIS)
    rays = (0.5 + 0.5 * np.cos(16 * angle + 2.0 * np.sin(5 * angle))) ** 8
    rays_light = rays * np.exp(-r / 110.0) * smoothstep(8, 40, r) * 0.10
    return emission + halo + rays_light[..., None] * GOLD


def _bokeh(xx, yy):
    """A few soft, out-of-focus points of warm light far behind the cross."""
    rng = np.random.default_rng(404)
    light = np.zeros(xx.shape)
    placed = 0
    while placed < 14:
        # Alternate sides so the lights balance around the cross.
        x = rng.uniform(8, AXIS) if placed % 2 == 0 else rng.uniform(AXIS, W - 8)
        y = rng.uniform(10, 330)
        if abs(x - AXIS) < 40 or (abs(y - 96) < 28 and abs(x - AXIS) < 95):
            continue  # keep the cross and candle clear
        r = rng.uniform(3.0, 9.0)
        disc = smoothstep(r, r - 1.5, np.hypot(xx - x, yy - y))
        light += disc * rng.uniform(0.04, 0.11) * (1.0 + 0.4 * smoothstep(r - 3, r, np.hypot(xx - x, yy - y)))
        placed += 1
    return blur(light, 0.8)[..., None] * rgb(255, 150, 110)


def _flame_layer(xx, yy, f):
    """The flame with its close halo and the heat streak above it, as light to add."""
    light, alpha = flame.light(xx, yy, f, AXIS, FLAME_BASE_Y)
    halo = glow(light, [(1.2, 0.6), (3.5, 0.55), (8, 0.4)]) * FLAME_LIGHT
    # Shimmer of hot air rising from the tip.
    tip_x = AXIS + f.lean
    tip_y = FLAME_BASE_Y - f.height
    above = np.clip((tip_y - yy) / 120.0, 0, 1)
    wobble = tip_x + 1.5 * np.sin((tip_y - yy) / 14.0 + f.lean) * above
    streak = (np.exp(-((xx - wobble) / (1.2 + 2.0 * above)) ** 2)
              * (yy < tip_y + 2) * np.exp(-above * 2.5) * smoothstep(STRIP_Y0 + 2, STRIP_Y0 + 30, yy))
    return light, alpha, halo + (streak * f.streak * 0.12)[..., None] * FLAME_LIGHT


def _candle(img, xx, yy):
    """A cream wax candle on a brass dish, lit from its own flame above."""
    # The brass dish under the candle.
    dish_body = coverage((ellipse_distance(xx, yy, AXIS, CANDLE_BOTTOM_Y + 4, 40, 8) - 1) * 8)
    dish_top = coverage((ellipse_distance(xx, yy, AXIS, CANDLE_BOTTOM_Y, 40, 7) - 1) * 7)
    brass = rgb(150, 96, 36) * (0.5 + 0.5 * smoothstep(CANDLE_BOTTOM_Y + 12, CANDLE_BOTTOM_Y, yy))[..., None]
    img = over(img, brass * 0.6, dish_body)
    u = np.clip((xx - AXIS) / 40, -1, 1)
    dish_shine = 0.55 + 0.45 * np.exp(-(u / 0.35) ** 2)
    img = over(img, rgb(196, 138, 62) * dish_shine[..., None], dish_top)
    front_rim = np.exp(-((ellipse_distance(xx, yy, AXIS, CANDLE_BOTTOM_Y, 40, 7) - 0.93) / 0.06) ** 2)
    img = add(img, rgb(255, 210, 140), 0.45 * front_rim * (yy > CANDLE_BOTTOM_Y) * dish_shine)
    # Body, rim and drips share one silhouette.
    rim_wave = 0.8 * np.sin((xx - AXIS) * 0.45) + 0.5 * np.sin((xx - AXIS) * 1.3 + 1.0)
    body = np.maximum(np.abs(xx - AXIS) - CANDLE_HALF_WIDTH, np.maximum(CANDLE_TOP_Y + rim_wave * 0.3 - yy,
                                                                          yy - CANDLE_BOTTOM_Y))
    top = (ellipse_distance(xx, yy, AXIS, CANDLE_TOP_Y, CANDLE_HALF_WIDTH, 4.5) - 1) * 4.5
    drips = [(AXIS - 19.5, 262.0, 2.3), (AXIS + 11.0, 249.0, 2.0), (AXIS - 6.0, 238.0, 1.6)]
    drip_sdf = np.full(xx.shape, 1e9)
    for dx, end, rad in drips:
        stem = np.maximum(np.abs(xx - dx) - rad * (0.8 + 0.2 * (yy - CANDLE_TOP_Y) / (end - CANDLE_TOP_Y)),
                          np.maximum(CANDLE_TOP_Y - yy, yy - end))
        bulb = np.hypot(xx - dx, yy - end) - rad * 1.2
        drip_sdf = np.minimum(drip_sdf, np.minimum(stem, bulb))
    silhouette = coverage(np.minimum(np.minimum(body, top), drip_sdf))
    un = np.clip((xx - AXIS) / CANDLE_HALF_WIDTH, -1, 1)
    normal_z = np.sqrt(1 - un ** 2)
    reach = 1.0 / (1.0 + ((yy - FLAME_BASE_Y) / 115.0) ** 2)
    # Wax shadows stay warm: the ramp runs from deep amber through honey to cream.
    wax_ramp = [(0.0, rgb(40, 16, 10)), (0.3, rgb(128, 70, 42)), (0.6, rgb(210, 168, 124)),
                (0.85, rgb(244, 226, 194)), (1.0, rgb(255, 246, 226))]
    # Lit from the flame above and a little from the front; the far sides and
    # the foot fall into shadow.
    lit = 0.12 + 0.88 * reach * (0.28 + 0.72 * normal_z ** 0.9)
    lit = lit * (1.0 - 0.18 * smoothstep(250, CANDLE_BOTTOM_Y, yy))
    wax = ramp(lit, wax_ramp)
    # Light scattering in the wax makes the top of the candle glow warm.
    wax = add(wax, rgb(255, 150, 70), 0.5 * np.exp(-(yy - CANDLE_TOP_Y).clip(0) / 15.0) * (0.4 + 0.6 * normal_z))
    # Gold rim light from the cross behind.
    wax = add(wax, GOLD, 0.22 * smoothstep(0.75, 1.0, np.abs(un)) * smoothstep(CANDLE_BOTTOM_Y, 240, yy))
    # Drips: round, so lit down one side, and each casts a faint shadow beside it.
    drip_cover = coverage(drip_sdf)
    for dx, end, rad in drips:
        along = (yy > CANDLE_TOP_Y) & (yy < end + rad * 1.3)
        highlight = np.exp(-((xx - dx + rad * 0.4) / (rad * 0.4)) ** 2) * along
        wax = add(wax, rgb(255, 244, 222), 0.35 * highlight * drip_cover * reach)
        shade = np.exp(-((xx - dx - rad * 1.6) / (rad * 0.7)) ** 2) * along * (1 - drip_cover)
        wax = wax * (1.0 - 0.22 * shade)[..., None]
    # The melted pool on top, lit straight from the flame.
    pool = coverage(top) * (yy < CANDLE_TOP_Y + 4.5)
    pool_d = ellipse_distance(xx, yy, AXIS, CANDLE_TOP_Y, CANDLE_HALF_WIDTH, 4.5)
    pool_colour = mix(np.broadcast_to(rgb(255, 226, 160), xx.shape + (3,)), rgb(236, 196, 140),
                      smoothstep(0.2, 1.0, pool_d))
    wax = mix(wax, pool_colour, pool * smoothstep(1.0, 0.7, pool_d))
    lip = np.exp(-((pool_d - 0.93) / 0.07) ** 2) * (yy > CANDLE_TOP_Y - 1) * (yy < CANDLE_TOP_Y + 6)
    wax = add(wax, rgb(255, 236, 200), 0.35 * lip)
    img = over(img, wax, silhouette)
    # The wick: dark, curling slightly, its tip an ember.
    wick_t = np.clip((CANDLE_TOP_Y + 1 - yy) / 14.0, 0, 1)
    wick_x = AXIS + 0.3 + 1.2 * wick_t ** 2
    wick = coverage(np.maximum(np.abs(xx - wick_x) - 0.8, np.maximum(yy - (CANDLE_TOP_Y + 1), (CANDLE_TOP_Y - 13) - yy)))
    img = over(img, mix(np.broadcast_to(rgb(30, 18, 14), xx.shape + (3,)), rgb(255, 110, 30), wick_t ** 3), wick)
    return img


def _lettering(img, xx, yy):
    """'Happy Velmora' in pink script along the bottom, with a soft glow."""
    mask = lettering.text_mask(W, H, "Happy Velmora", lettering.SCRIPT_BOLD, 50, W / 2, 396)
    shadow = blur(mask, 2.0)
    img = img * (1.0 - 0.6 * np.clip(shadow * 1.5, 0, 1))[..., None]
    img = add(img, rgb(255, 92, 160), glow(mask, [(2.5, 0.35), (8, 0.35)]))
    fill = mix(np.broadcast_to(PINK_TOP, xx.shape + (3,)), PINK_BOTTOM, smoothstep(360, 400, yy))
    return over(img, fill, mask)


def _vignette(xx, yy):
    d = ellipse_distance(xx, yy, W / 2, H * 0.45, W * 0.72, H * 0.7)
    return 1.0 - 0.6 * smoothstep(0.55, 1.15, d)


def strip_mask():
    """1 inside the flame strip, feathering to 0 over its outermost pixels."""
    x = paint.design_pixels(W * paint.SCALE)
    y = paint.design_pixels(H * paint.SCALE)
    mx = np.clip((x - (STRIP_X0 - 1)) / 4, 0, 1) * np.clip(((STRIP_X1 + 1) - x) / 4, 0, 1)
    my = np.clip((y - (STRIP_Y0 - 1)) / 4, 0, 1) * np.clip(((STRIP_Y1 + 1) - y) / 4, 0, 1)
    return my[:, None] * mx[None, :]


def render():
    """Returns {name: 8-bit RGB picture} for the card face and its three flame frames."""
    xx, yy = grid(W, H)
    resting = FLAMES["CardFace"]
    img = _ground(xx, yy) + _bokeh(xx, yy) + _cross(xx, yy)
    # The wide warm halo of the resting flame lights the whole scene and never moves.
    rest_light, _, _ = _flame_layer(xx, yy, resting)
    img = img + glow(rest_light, [(20, 1.1), (55, 0.9)]) * FLAME_LIGHT
    img = img * _vignette(xx, yy)[..., None]
    img = _candle(img, xx, yy)
    img = _lettering(img, xx, yy)
    static = img

    def frame(f):
        light, alpha, halo = _flame_layer(xx, yy, f)
        out = static * (1.0 - 0.9 * alpha)[..., None] + light + halo
        return downsample(tone(out))

    card_face = frame(resting)
    m = strip_mask()[..., None]
    pictures = {"CardFace": to_bytes(card_face, seed=7)}
    for name, f in FLAMES.items():
        if name == "CardFace":
            continue
        full = frame(f)
        composite = card_face * (1.0 - m) + full * m
        pictures[name] = to_bytes(composite, seed=7)
    return pictures
