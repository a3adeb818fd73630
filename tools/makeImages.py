#!/usr/bin/env python3
"""Paints the production's bitmap images into data/production/images/.

    python3 tools/makeImages.py            writes sky.png, moon.png, tiles.png, glow.png
    python3 tools/makeImages.py --check    exits 1 when a file differs from what it would write

Standard library only. Every random choice comes from a fixed-seed generator of
this file's own (not the random module, whose sequences are not promised to stay
the same between Python versions), so every run writes the same bytes.

All images are 8-bit RGB or RGBA with power-of-two sides: the engine's PNG
loader expands anything, but the texture upload rescales other sides.
"""
import math
import os
import struct
import sys
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "data", "production", "images")


# ---------------------------------------------------------------- PNG writing

def _chunk(kind, payload):
    body = kind + payload
    return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def _filter_rows(raw, width, height, bpp):
    """Picks for every row the filter with the smallest sum of absolute
    residuals (the usual heuristic); smooth gradients shrink a lot with it."""
    stride = width * bpp
    out = bytearray()
    prev = bytes(stride)
    for y in range(height):
        row = raw[y * stride:(y + 1) * stride]
        candidates = []
        sub = bytes((row[i] - (row[i - bpp] if i >= bpp else 0)) & 255 for i in range(stride))
        up = bytes((row[i] - prev[i]) & 255 for i in range(stride))
        avg = bytes((row[i] - (((row[i - bpp] if i >= bpp else 0) + prev[i]) >> 1)) & 255
                    for i in range(stride))
        paeth = bytearray(stride)
        for i in range(stride):
            a = row[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
            paeth[i] = (row[i] - pred) & 255
        for kind, data in ((0, row), (1, sub), (2, up), (3, avg), (4, bytes(paeth))):
            cost = sum(v if v < 128 else 256 - v for v in data)
            candidates.append((cost, kind, data))
        cost, kind, data = min(candidates, key=lambda c: (c[0], c[1]))
        out.append(kind)
        out += data
        prev = row
    return bytes(out)


def png_bytes(width, height, channels, pixels):
    """pixels: bytes, rows top first, `channels` (3 or 4) bytes per pixel."""
    colour_type = {3: 2, 4: 6}[channels]
    header = struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)
    data = zlib.compress(_filter_rows(pixels, width, height, channels), 9)
    return b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", header) + _chunk(b"IDAT", data) + _chunk(b"IEND", b"")


# ------------------------------------------------------------- shared helpers

class Rng:
    """xorshift32: tiny, fixed forever, good enough for star fields."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF or 1

    def next(self):
        x = self.state
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        self.state = x
        return x

    def uniform(self, low=0.0, high=1.0):
        return low + (high - low) * (self.next() / 4294967296.0)


def _hash(ix, iy, seed):
    h = (ix * 374761393 + iy * 668265263 + seed * 2147483647) & 0xFFFFFFFF
    h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
    return (h ^ (h >> 16)) / 4294967296.0


def value_noise(x, y, period, seed):
    """Smooth noise in [0, 1) on a lattice of `period` cells per side that
    wraps, so a texture built from it repeats without a seam."""
    ix, iy = math.floor(x), math.floor(y)
    fx, fy = x - ix, y - iy
    sx, sy = fx * fx * (3 - 2 * fx), fy * fy * (3 - 2 * fy)
    x0, x1 = ix % period, (ix + 1) % period
    y0, y1 = iy % period, (iy + 1) % period
    a, b = _hash(x0, y0, seed), _hash(x1, y0, seed)
    c, d = _hash(x0, y1, seed), _hash(x1, y1, seed)
    return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy


def fbm(x, y, period, seed, octaves=4):
    total, amplitude, norm = 0.0, 1.0, 0.0
    for octave in range(octaves):
        total += amplitude * value_noise(x, y, period, seed + octave)
        norm += amplitude
        x, y, period, amplitude = x * 2, y * 2, period * 2, amplitude * 0.5
    return total / norm


def _byte(v):
    return max(0, min(255, int(round(v * 255.0))))


def smoothstep(edge0, edge1, v):
    t = max(0.0, min(1.0, (v - edge0) / (edge1 - edge0)))
    return t * t * (3 - 2 * t)


# ----------------------------------------------------------------------- sky

def make_sky(size=256):
    """Night sky: deep blue, darkest at the top, a faint hazy band, and stars
    that wrap left to right so the picture can scroll sideways."""
    top, bottom = (0.008, 0.012, 0.055), (0.045, 0.085, 0.215)
    img = []
    for y in range(size):
        t = y / (size - 1)
        t = t * t * (3 - 2 * t) * 0.6 + t * 0.4
        base = [top[i] + (bottom[i] - top[i]) * t for i in range(3)]
        row = []
        for x in range(size):
            # A soft diagonal haze, wrapped sideways like the stars.
            band = math.exp(-(((y - 0.45 * size) - 0.25 * size * math.sin(2 * math.pi * x / size)) / (0.14 * size)) ** 2)
            haze = band * (0.35 + 0.65 * fbm(x / 32.0, y / 32.0, 8, 11, 3)) * 0.05
            row.append([base[0] + haze * 0.7, base[1] + haze * 0.8, base[2] + haze])
        img.append(row)

    rng = Rng(20260501)
    for _ in range(340):
        cx, cy = rng.uniform(0, size), rng.uniform(0, size)
        # Mostly faint stars, a few bright ones.
        brightness = 0.18 + 0.82 * rng.uniform() ** 3.2
        radius = 0.45 + 1.1 * brightness
        tint = rng.uniform()
        colour = (0.80, 0.88, 1.0) if tint < 0.55 else ((1.0, 0.93, 0.78) if tint < 0.8 else (1.0, 1.0, 1.0))
        reach = int(math.ceil(radius * 3))
        for dy in range(-reach, reach + 1):
            py = int(math.floor(cy)) + dy
            if py < 0 or py >= size:
                continue
            for dx in range(-reach, reach + 1):
                px = int(math.floor(cx)) + dx
                d2 = (px + 0.5 - cx) ** 2 + (py + 0.5 - cy) ** 2
                k = brightness * math.exp(-d2 / (2 * (radius * 0.55) ** 2))
                if k < 0.004:
                    continue
                pixel = img[py][px % size]
                for i in range(3):
                    pixel[i] = pixel[i] + (colour[i] - pixel[i]) * min(1.0, k)
    return bytes(_byte(v) for row in img for pixel in row for v in pixel)


# ---------------------------------------------------------------------- moon

def make_moon(size=256):
    """Full moon: bright highlands with the dark maria roughly where a full
    moon shows them, a few small craters (dark floor, rim lit from the upper
    left), one bright rayed crater in the south, slight limb darkening and an
    edge antialiased from the exact distance; transparent outside."""
    centre = (size - 1) / 2.0
    radius = size * 0.47
    # Maria as soft ellipses (centre x, y, radius x, y in disc radii, y down),
    # their outlines broken up by warping the lookup with noise.
    maria = [(-0.22, -0.36, 0.26, 0.20), (0.16, -0.36, 0.14, 0.13), (0.30, -0.08, 0.18, 0.15),
             (0.62, -0.24, 0.10, 0.08), (-0.50, -0.02, 0.22, 0.38), (-0.16, 0.24, 0.16, 0.12),
             (0.48, 0.12, 0.11, 0.12), (0.30, 0.24, 0.07, 0.07), (-0.44, 0.34, 0.08, 0.07),
             (-0.02, -0.02, 0.12, 0.10)]
    rng = Rng(7707)
    craters = []
    while len(craters) < 60:
        x, y = rng.uniform(-0.92, 0.92), rng.uniform(-0.92, 0.92)
        r = 1.6 + 6.5 * rng.uniform() ** 2.2
        if x * x + y * y < 0.78:
            craters.append((centre + x * radius, centre + y * radius, r, 0.6 + 0.4 * rng.uniform()))
    tycho = (centre - 0.12 * radius, centre + 0.62 * radius)
    out = bytearray()
    for y in range(size):
        for x in range(size):
            dx, dy = x - centre, y - centre
            d = math.hypot(dx, dy)
            coverage = max(0.0, min(1.0, radius - d + 0.5))
            if coverage <= 0.0:
                out += b"\0\0\0\0"
                continue
            wx = dx / radius + 0.16 * (fbm(x / 40.0, y / 40.0, 64, 31, 3) - 0.5)
            wy = dy / radius + 0.16 * (fbm(x / 40.0, y / 40.0, 64, 37, 3) - 0.5)
            field = max(1.0 - math.hypot((wx - mx) / rx, (wy - my) / ry) for mx, my, rx, ry in maria)
            mare = smoothstep(-0.22, 0.40, field)
            detail = fbm(x / 5.0, y / 5.0, 256, 57, 3) - 0.5
            shade = 0.90 - 0.34 * mare + (0.10 - 0.05 * mare) * detail
            shade -= 0.05 * mare * (fbm(x / 14.0, y / 14.0, 256, 43, 2) - 0.5)
            for cx, cy, cr, depth in craters:
                q = math.hypot(x - cx, y - cy) / cr
                if q < 1.4:
                    floor = 1.0 - smoothstep(0.6, 0.95, q)
                    rim = math.exp(-((q - 1.0) / 0.18) ** 2)
                    lit = ((cx - x) + (cy - y)) / (max(q, 0.3) * cr * 1.414)  # +1 on the side towards the light
                    shade += depth * (-0.08 * floor + rim * 0.10 * lit)
            # Tycho-like: a bright spot with faint rays across the southern highlands.
            tx, ty = x - tycho[0], y - tycho[1]
            tr = math.hypot(tx, ty)
            shade += 0.12 * math.exp(-(tr / 4.0) ** 2)
            ray = max(0.0, math.cos(7.0 * math.atan2(ty, tx) + 0.6)) ** 24
            shade += 0.07 * ray * math.exp(-tr / (0.55 * radius)) * smoothstep(4.0, 10.0, tr)
            # Limb darkening: the edge of a sphere lit face-on looks dimmer.
            mu = math.sqrt(max(0.0, 1.0 - min(1.0, (d / radius) ** 2)))
            shade *= 0.74 + 0.26 * mu ** 0.5
            out += bytes((_byte(shade), _byte(shade * 0.97), _byte(shade * 0.90), _byte(coverage)))
    return bytes(out)


# --------------------------------------------------------------------- tiles

# 5 hexagons across, 6 rows down; the rows are squashed by 4 % so that six of
# them fill the 256 pixels exactly and the texture repeats without a seam.
HEX_COLUMNS, HEX_ROWS = 5, 6


def _hex_cell(x, y, size):
    """The hexagon (column, row, centre offset) that lattice point x, y lies in."""
    w = size / HEX_COLUMNS
    s = w / math.sqrt(3.0)
    row_h = 1.5 * s
    best = None
    r0 = math.floor(y / row_h)
    for row in (r0 - 1, r0, r0 + 1, r0 + 2):
        shift = 0.5 * w if row % 2 else 0.0
        c0 = math.floor((x - shift) / w)
        for col in (c0, c0 + 1):
            hx, hy = col * w + shift + 0.5 * w, row * row_h
            d2 = (x - hx) ** 2 + (y - hy) ** 2
            if best is None or d2 < best[0]:
                best = (d2, col, row, x - hx, y - hy)
    return best[1], best[2], best[3], best[4], w, s


def _tile_sample(x, y, size):
    """Colour of lattice point x, y: hexagons split into three rhombi (a cube
    seen corner-on), gold on top, teal on the left, blue on the right."""
    col, row, vx, vy, w, s = _hex_cell(x, y, size)
    # y grows downward here; the top face lies between the vertices at 30 and
    # 150 degrees measured upward.
    angle = math.degrees(math.atan2(-vy, vx)) % 360.0
    face = 0 if 30.0 <= angle < 150.0 else (1 if 150.0 <= angle < 270.0 else 2)
    # Distance to the hexagon's outline (pointy top: edge normals at 0, 60, ...).
    inner = w / 2.0
    edge = inner - max(abs(vx * math.cos(math.radians(a)) + vy * math.sin(math.radians(a))) for a in (0, 60, 120))
    # Distance to the three splitting spokes from the centre to alternate vertices.
    spoke = 1e9
    for a in (30.0, 150.0, 270.0):
        ux, uy = math.cos(math.radians(a)), -math.sin(math.radians(a))
        t = max(0.0, min(s, vx * ux + vy * uy))
        spoke = min(spoke, math.hypot(vx - t * ux, vy - t * uy))
    grout = min(edge, spoke)
    key_col, key_row = col % HEX_COLUMNS, row % HEX_ROWS
    vary = _hash(key_col * 3 + face, key_row, 5) - 0.5
    palettes = ((0.93, 0.74, 0.32), (0.16, 0.58, 0.60), (0.14, 0.27, 0.58))
    base = palettes[face]
    light = 1.0 + 0.22 * vary
    # A glaze that is a little lighter towards the middle of each rhombus.
    bevel = 0.88 + 0.12 * smoothstep(0.0, 7.0, grout)
    colour = [c * light * bevel for c in base]
    if face == 0:  # gold tiles vary their hue a little more than the others
        colour[1] *= 1.0 + 0.10 * vary
    return colour, grout


def make_tiles(size=256):
    squash = size / (HEX_ROWS * 1.5 * (size / HEX_COLUMNS) / math.sqrt(3.0))
    period_y = size / squash
    grout_colour = (0.055, 0.065, 0.10)
    grout_half = 1.3
    offsets = ((0.25, 0.25), (0.75, 0.25), (0.25, 0.75), (0.75, 0.75))
    out = bytearray()
    for y in range(size):
        for x in range(size):
            acc = [0.0, 0.0, 0.0]
            for ox, oy in offsets:
                lx = (x + ox) % size
                ly = ((y + oy) / squash) % period_y
                colour, grout = _tile_sample(lx, ly, size)
                k = smoothstep(grout_half - 0.4, grout_half + 0.4, grout)
                for i in range(3):
                    acc[i] += grout_colour[i] + (colour[i] - grout_colour[i]) * k
            glaze = 0.97 + 0.06 * fbm(x / 16.0, y / 16.0, 16, 91, 2)
            out += bytes(_byte(a / len(offsets) * glaze) for a in acc)
    return bytes(out)


# ---------------------------------------------------------------------- glow

def make_glow(size=128):
    """White light: alpha falls off smoothly from the centre to exactly zero
    at the inscribed circle, so additive or alpha blending shows no square."""
    centre = (size - 1) / 2.0
    out = bytearray()
    for y in range(size):
        for x in range(size):
            d = math.hypot(x - centre, y - centre) / (size / 2.0)
            core = math.exp(-(d / 0.18) ** 2)
            halo = max(0.0, 1.0 - d) ** 1.8
            alpha = min(1.0, 0.55 * core + 0.75 * halo)
            out += bytes((255, 255, 255, _byte(alpha)))
    return bytes(out)


IMAGES = (
    ("sky.png", 256, 3, make_sky),
    ("moon.png", 256, 4, make_moon),
    ("tiles.png", 256, 3, make_tiles),
    ("glow.png", 128, 4, make_glow),
)


def main(argv):
    check = "--check" in argv
    os.makedirs(OUT, exist_ok=True)
    stale = []
    for name, size, channels, paint in IMAGES:
        data = png_bytes(size, size, channels, paint(size))
        path = os.path.join(OUT, name)
        if check:
            with open(path, "rb") as existing:
                if existing.read() != data:
                    stale.append(name)
            continue
        with open(path, "wb") as f:
            f.write(data)
        print(f"{os.path.relpath(path, ROOT)}: {size}x{size}, {len(data)} bytes")
    if stale:
        print("differs from tools/makeImages.py: " + ", ".join(stale), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
