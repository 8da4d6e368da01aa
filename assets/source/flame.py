"""The candle flame: one shape and one colouring, used by the card face's
animation frames and by both candle icons.

A flame is a teardrop standing on its base point. t runs from 0 at the base
to 1 at the tip; n runs from 0 on the flame's centre line to 1 at its edge.
"""
from dataclasses import dataclass

import numpy as np

from paint import mix, rgb, smoothstep

YELLOW = rgb(255, 214, 96)
EDGE = rgb(238, 92, 30)     # orange-red rim
CORE = rgb(255, 252, 238)   # white-hot core
FOOT = rgb(70, 80, 190)     # thin bluish foot where the flame meets the wick


@dataclass(frozen=True)
class Flame:
    height: float        # base to tip, pixels
    width: float         # widest point, pixels
    lean: float = 0.0    # sideways shift of the tip, pixels (+ right)
    sway: float = 0.0    # S-bend through the middle, pixels
    flare: float = 0.0   # 0 = a pointed teardrop; larger widens the tip
    streak: float = 0.5  # brightness of the heat shimmer rising above the tip


def shape(xx, yy, f, base_x, base_y, soft=0.8):
    """Coverage of the flame and its coordinates (t up it, n across it).

    soft is the half-width of the anti-aliased edge, in pixels.
    """
    t = (base_y - yy) / f.height
    tc = np.clip(t, 0.0, 1.0)
    centre = base_x + f.lean * tc ** 2 + f.sway * np.sin(2 * np.pi * tc)
    # A teardrop: round bulb low down, tapering to the tip. Flare lifts the
    # widest point toward the tip and blunts it.
    lift = 0.62 + 0.75 * f.flare
    profile = np.sin(np.pi * tc ** lift) ** (0.85 - 0.35 * f.flare)
    profile = profile * (1.0 - f.flare * 0.35 * np.exp(-((tc - 1.0) / 0.1) ** 2))
    r = np.maximum(f.width / 2 * profile, 1e-3)
    dx = np.abs(xx - centre)
    # A flared tip splits: a shallow notch down the middle of the top.
    notch = f.flare * 0.9 * smoothstep(0.8, 1.0, tc) * np.exp(-(dx / (0.22 * f.width)) ** 2)
    t_top = 1.0 - notch * 0.12
    inside = (t >= 0) * smoothstep(t_top, t_top - 0.04, t)
    alpha = smoothstep(soft, -soft, dx - r) * inside
    return alpha, tc, np.clip(dx / r, 0, 1.5)


def light(xx, yy, f, base_x, base_y, soft=0.8):
    """The flame as emitted light (premultiplied colour) and its coverage."""
    alpha, t, n = shape(xx, yy, f, base_x, base_y, soft)
    edge_amount = np.clip(smoothstep(0.45, 1.0, n) + 0.7 * smoothstep(0.55, 1.0, t), 0, 1)
    colour = mix(np.broadcast_to(YELLOW, xx.shape + (3,)), EDGE, edge_amount)
    core_d = np.sqrt(((t - 0.3) / 0.3) ** 2 + (n / 0.55) ** 2)
    colour = mix(colour, CORE, 1.0 - smoothstep(0.45, 1.0, core_d))
    # The foot is thin and bluish; the wick shows through it.
    foot = np.exp(-(t / 0.1) ** 2)
    colour = mix(colour, FOOT, foot * smoothstep(0.2, 0.9, n) * 0.8)
    alpha = alpha * (1.0 - 0.55 * foot)
    return colour * alpha[..., None], alpha
