"""Light-painting helpers shared by every picture.

Pictures are painted as float RGB arrays in 0..1 at SS times their final size
and box-averaged down at the end, which gives clean anti-aliased edges.
Coordinates handed to the painting functions are always in final pixels, so
a shape's numbers read the same as on the 1:1 picture.

The same painting makes the pictures for high-density screens: inside
at_scale(2), every picture comes out twice as large, painted with twice as
many samples per design pixel. Coordinates stay design pixels (those of the
1:1 picture), and ss stays the number of samples per output pixel.
"""
import contextlib

import numpy as np
from PIL import Image

SS = 3  # supersampling factor
SCALE = 1  # output pixels per design pixel; see at_scale()


@contextlib.contextmanager
def at_scale(scale):
    """Paints every picture at `scale` times its design size inside the block."""
    global SCALE
    previous, SCALE = SCALE, scale
    try:
        yield
    finally:
        SCALE = previous


def design_pixels(n):
    """Design coordinates of the centres of n output pixels, measured so that
    output pixel k at scale 1 sits at k."""
    return (np.arange(n, dtype=np.float64) + 0.5) / SCALE - 0.5


def grid(w, h, ss=SS):
    """Pixel-centre coordinates (in final pixels) of a w x h picture painted at ss x."""
    ss = ss * SCALE
    xs = (np.arange(w * ss, dtype=np.float64) + 0.5) / ss
    ys = (np.arange(h * ss, dtype=np.float64) + 0.5) / ss
    return np.meshgrid(xs, ys)


def rgb(r, g, b):
    return np.array([r, g, b], dtype=np.float64) / 255.0


def solid(w, h, colour, ss=SS):
    out = np.empty((h * ss * SCALE, w * ss * SCALE, 3))
    out[:] = colour
    return out


def smoothstep(e0, e1, x):
    t = np.clip((x - e0) / (e1 - e0), 0.0, 1.0)
    return t * t * (3.0 - 2.0 * t)


def mix(a, b, t):
    """Blend colour (or picture) a towards b by t, where t may be a per-pixel map."""
    t = np.asarray(t)
    if t.ndim == 2:
        t = t[..., None]
    return a * (1.0 - t) + b * t


def over(base, colour, alpha):
    """Paints colour (a colour or a picture) over base with per-pixel coverage alpha."""
    return mix(base, colour, alpha)


def add(base, colour, amount):
    """Adds light: amount is a per-pixel map, colour a colour or a picture."""
    amount = np.asarray(amount)
    if amount.ndim == 2:
        amount = amount[..., None]
    return base + colour * amount


def screen(base, colour, amount):
    """Adds light that saturates softly instead of clipping."""
    amount = np.asarray(amount)
    if amount.ndim == 2:
        amount = amount[..., None]
    return 1.0 - (1.0 - base) * (1.0 - np.clip(colour * amount, 0.0, 1.0))


def ellipse_distance(xx, yy, cx, cy, rx, ry):
    """1.0 on the ellipse, 0 at its centre."""
    return np.sqrt(((xx - cx) / rx) ** 2 + ((yy - cy) / ry) ** 2)


def coverage(signed, ss=SS):
    """Anti-aliased coverage from a signed distance in final pixels (negative inside)."""
    return np.clip(0.5 - signed * (ss * SCALE), 0.0, 1.0)


def box_sdf(xx, yy, x0, y0, x1, y1, radius=0.0):
    """Signed distance to a rounded box, in final pixels."""
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - radius, (y1 - y0) / 2 - radius
    qx = np.abs(xx - cx) - hx
    qy = np.abs(yy - cy) - hy
    outside = np.hypot(np.maximum(qx, 0), np.maximum(qy, 0))
    inside = np.minimum(np.maximum(qx, qy), 0)
    return outside + inside - radius


def capsule(xx, yy, ax, ay, bx, by, radius):
    """Signed distance to a round-ended stroke from (ax, ay) to (bx, by), in final pixels."""
    vx, vy = bx - ax, by - ay
    t = np.clip(((xx - ax) * vx + (yy - ay) * vy) / (vx * vx + vy * vy), 0, 1)
    return np.hypot(xx - (ax + t * vx), yy - (ay + t * vy)) - radius


def blur(a, sigma, ss=SS):
    """Gaussian blur with sigma in final pixels; light leaving the frame is lost.

    Done in the frequency domain so that wide glows cost the same as narrow ones.
    """
    s = sigma * (ss * SCALE)
    if s <= 0:
        return a.copy()
    pad = int(np.ceil(3 * s))
    squeeze = a.ndim == 2
    if squeeze:
        a = a[..., None]
    h, w, c = a.shape
    padded = np.zeros((h + 2 * pad, w + 2 * pad, c))
    padded[pad:pad + h, pad:pad + w] = a
    fy = np.fft.fftfreq(padded.shape[0])[:, None]
    fx = np.fft.rfftfreq(padded.shape[1])[None, :]
    transfer = np.exp(-2.0 * (np.pi * s) ** 2 * (fx * fx + fy * fy))
    out = np.empty_like(padded)
    for k in range(c):
        spectrum = np.fft.rfft2(padded[..., k]) * transfer
        out[..., k] = np.fft.irfft2(spectrum, s=padded.shape[:2])
    out = out[pad:pad + h, pad:pad + w]
    return out[..., 0] if squeeze else out


def glow(source, sigmas_and_gains, ss=SS):
    """A glow: blurred, brightened copies of the source light, summed."""
    total = np.zeros_like(source)
    for sigma, gain in sigmas_and_gains:
        total += blur(source, sigma, ss) * gain
    return total


def grain(shape, amount, seed):
    """Faint seeded noise that breaks up banding in dark gradients."""
    rng = np.random.default_rng(seed)
    return rng.normal(0.0, amount, size=shape)


def downsample(a, ss=SS):
    """Box-averages an ss x picture down to its final size."""
    h, w = a.shape[0] // ss, a.shape[1] // ss
    if a.ndim == 2:
        return a.reshape(h, ss, w, ss).mean(axis=(1, 3))
    return a.reshape(h, ss, w, ss, a.shape[2]).mean(axis=(1, 3))


def tone(a):
    """Soft shoulder so bright light rolls off to white instead of clipping flat."""
    knee = 0.8
    over_knee = np.maximum(a - knee, 0.0)
    return np.where(a > knee, knee + (1 - knee) * (1 - np.exp(-over_knee / (1 - knee))), a)


def to_bytes(a, seed=None, dither=1.0 / 255):
    """Final-size float picture to 8-bit, with seeded dither against banding."""
    if seed is not None:
        a = a + grain(a.shape[:2], dither, seed)[..., None]
    return np.clip(np.rint(np.clip(a, 0.0, 1.0) * 255.0), 0, 255).astype(np.uint8)


def to_image(a8):
    return Image.fromarray(a8, "RGB")


def ramp(level, stops):
    """Maps a 0..1 level map through colour stops [(position, colour), ...]."""
    positions = np.array([p for p, _ in stops])
    colours = np.array([c for _, c in stops])
    out = np.empty(level.shape + (3,))
    for k in range(3):
        out[..., k] = np.interp(level, positions, colours[:, k])
    return out
