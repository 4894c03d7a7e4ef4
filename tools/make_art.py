#!/usr/bin/env python3
"""Draws Korvane's own pictures and writes them under res/.

    res/icons/globe.ico       application icon (32x32 and 16x16, 4 bpp)
    res/icons/no_modem.ico    globe with a red mark: no modem found
    res/icons/detecting.ico   globe with a yellow mark: search in progress
    res/bitmaps/logo.bmp      241 x 85, 8 bpp
    res/bitmaps/antenna.bmp   55 x 49, 4 bpp

Pure Python 3, no third-party modules. Shapes are sampled on a sub-pixel
grid and averaged, then mapped to a palette. The output is byte-for-byte
the same on every run. Each file is read back and checked after writing.

Usage: python3 tools/make_art.py   (from anywhere)
"""

import math
import os
import struct
import sys

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

# The standard Windows 16-colour palette, in its usual index order.
VGA16 = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = VGA16[:8]
GRAY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = VGA16[8:]


# ---------------------------------------------------------------- raster

class Canvas:
    """Layers of shapes, later ones on top. A shape is (inside, colour):
    inside(x, y) -> bool and colour either an RGB tuple or colour(x, y)."""

    def __init__(self, w, h, background=None):
        self.w, self.h = w, h
        self.background = background  # None: transparent
        self.layers = []

    def add(self, inside, colour, bbox=None):
        self.layers.append((inside, colour, bbox))

    def sample(self, x, y):
        for inside, colour, bbox in reversed(self.layers):
            if bbox and not (bbox[0] <= x <= bbox[2] and bbox[1] <= y <= bbox[3]):
                continue
            if inside(x, y):
                return colour(x, y) if callable(colour) else colour
        return self.background

    def render_dominant(self, ss=6):
        """Returns rows of (colour or None, coverage): each pixel takes the
        colour most of its samples hit, so no blended colours appear."""
        rows = []
        n = ss * ss
        for py in range(self.h):
            row = []
            for px in range(self.w):
                counts = {}
                for j in range(ss):
                    for i in range(ss):
                        c = self.sample(px + (i + 0.5) / ss, py + (j + 0.5) / ss)
                        if c is not None:
                            counts[c] = counts.get(c, 0) + 1
                hits = sum(counts.values())
                best = max(sorted(counts), key=lambda c: counts[c]) if counts else None
                row.append((best, hits / n))
            rows.append(row)
        return rows

    def render(self, ss=4):
        """Returns rows of (r, g, b, coverage) with ss x ss samples a pixel."""
        rows = []
        n = ss * ss
        for py in range(self.h):
            row = []
            for px in range(self.w):
                r = g = b = hits = 0
                for j in range(ss):
                    for i in range(ss):
                        c = self.sample(px + (i + 0.5) / ss, py + (j + 0.5) / ss)
                        if c is not None:
                            r += c[0]; g += c[1]; b += c[2]; hits += 1
                if hits:
                    row.append((r / hits, g / hits, b / hits, hits / n))
                else:
                    row.append((0, 0, 0, 0.0))
            rows.append(row)
        return rows


def nearest(palette, c):
    best, bi = None, 0
    for i, p in enumerate(palette):
        d = (p[0] - c[0]) ** 2 + (p[1] - c[1]) ** 2 + (p[2] - c[2]) ** 2
        if best is None or d < best:
            best, bi = d, i
    return bi


def to_indices(rows, palette):
    return [[nearest(palette, px) for px in row] for row in rows]


def mix(a, b, t):
    return tuple(a[k] + (b[k] - a[k]) * t for k in range(3))


# Shape helpers; all take pixel coordinates (y grows downwards).

def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ellipse(cx, cy, a, b, angle=0.0):
    ca, sa = math.cos(angle), math.sin(angle)

    def inside(x, y):
        dx, dy = x - cx, y - cy
        u = dx * ca + dy * sa
        v = -dx * sa + dy * ca
        return (u / a) ** 2 + (v / b) ** 2 <= 1.0
    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def seg_dist2(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    l2 = dx * dx + dy * dy
    t = 0.0 if l2 == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / l2))
    ex, ey = ax + t * dx - x, ay + t * dy - y
    return ex * ex + ey * ey


def stroke(segments, width):
    h2 = (width / 2.0) ** 2
    return lambda x, y: any(seg_dist2(x, y, *s) <= h2 for s in segments)


def polygon(points):
    def inside(x, y):
        c = False
        n = len(points)
        for i in range(n):
            x0, y0 = points[i]
            x1, y1 = points[(i + 1) % n]
            if (y0 > y) != (y1 > y) and x < x0 + (y - y0) * (x1 - x0) / (y1 - y0):
                c = not c
        return c
    return inside


def arc_points(cx, cy, rx, ry, a0, a1, steps=24):
    """Points along an elliptical arc, angles in degrees, 0 = right, 90 = down."""
    pts = []
    for k in range(steps + 1):
        a = math.radians(a0 + (a1 - a0) * k / steps)
        pts.append((cx + rx * math.cos(a), cy + ry * math.sin(a)))
    return pts


def polyline(points):
    return [(points[i][0], points[i][1], points[i + 1][0], points[i + 1][1])
            for i in range(len(points) - 1)]


# ---------------------------------------------------------------- globe

# Land as blobs in (longitude, latitude, half-width, half-height) degrees:
# the Americas on the left, Europe and Africa on the right.
LAND = [
    (-105, 50, 28, 16), (-90, 36, 16, 12), (-75, 58, 14, 10), (-100, 24, 8, 8),
    (-62, -8, 16, 16), (-66, -30, 9, 16), (-42, 70, 10, 7),
    (12, 50, 14, 9), (22, 60, 10, 8), (10, 14, 20, 13), (24, -6, 14, 14),
    (26, -24, 9, 9),
]
VIEW_LON, VIEW_LAT = -40.0, 22.0


def is_land(lon, lat):
    for lo, la, w, h in LAND:
        d = (lon - lo + 540) % 360 - 180
        if (d / w) ** 2 + ((lat - la) / h) ** 2 <= 1.0:
            return True
    return False


def globe_point(u, v):
    """For u, v in the unit disc (v down) gives (lon, lat, light)."""
    z = math.sqrt(max(0.0, 1.0 - u * u - v * v))
    # Tilt about the x axis so the north pole leans towards the viewer.
    t = math.radians(VIEW_LAT)
    y3 = -v * math.cos(t) + z * math.sin(t)
    z3 = v * math.sin(t) + z * math.cos(t)
    lat = math.degrees(math.asin(max(-1.0, min(1.0, y3))))
    lon = math.degrees(math.atan2(u, z3)) + VIEW_LON
    # Light from the upper left, in front.
    lx, ly, lz = -0.5, -0.55, 0.67
    light = max(0.0, u * lx + v * ly + z * lz)
    return lon, lat, light


def globe_flat(cx, cy, r):
    """Globe in four palette colours plus a navy rim, for icons."""
    def colour(x, y):
        u, v = (x - cx) / r, (y - cy) / r
        if math.hypot(u, v) > 1.0 - 1.0 / r:
            return NAVY
        lon, lat, light = globe_point(u, v)
        if is_land(lon, lat):
            return LIME if light > 0.9 else GREEN
        if light > 0.97:
            return AQUA
        return BLUE if light > 0.25 else NAVY
    return disc(cx, cy, r), colour


def globe_smooth(cx, cy, r):
    """Shaded globe with grid lines, for the logo."""
    sea_dark, sea_lit = (0x0B, 0x2F, 0x7A), (0x4A, 0x9C, 0xF0)
    land_dark, land_lit = (0x1F, 0x6B, 0x1F), (0x7C, 0xCB, 0x4A)

    def colour(x, y):
        u, v = (x - cx) / r, (y - cy) / r
        lon, lat, light = globe_point(u, v)
        if is_land(lon, lat):
            c = mix(land_dark, land_lit, light)
        else:
            c = mix(sea_dark, sea_lit, light)
            # Faint meridians and parallels every 30 degrees over the sea.
            dl = abs((lon + 540) % 30 - 15)
            dp = abs((lat + 90) % 30 - 15)
            if dl > 14.0 or dp > 14.0:
                c = mix(c, (0xFF, 0xFF, 0xFF), 0.28)
        if light > 0.9:
            c = mix(c, (0xFF, 0xFF, 0xFF), (light - 0.9) * 4.0)
        rim = math.hypot(u, v)
        if rim > 0.96:
            c = mix(c, (0x06, 0x1E, 0x50), (rim - 0.96) / 0.04)
        return c
    return disc(cx, cy, r), colour


# ---------------------------------------------------------------- files

def bmp_bytes(indices, palette, bpp):
    """Uncompressed bottom-up palette BMP; the palette is padded to 2**bpp."""
    h, w = len(indices), len(indices[0])
    pal = list(palette) + [(0, 0, 0)] * ((1 << bpp) - len(palette))
    stride = (w * bpp + 31) // 32 * 4
    bits = bytearray()
    for row in reversed(indices):
        line = bytearray(stride)
        per = 8 // bpp
        for x, v in enumerate(row):
            line[x // per] |= v << (8 - bpp * (x % per + 1))
        bits += line
    palbytes = b"".join(struct.pack("<BBBB", c[2], c[1], c[0], 0) for c in pal)
    off = 14 + 40 + len(palbytes)
    return (struct.pack("<2sIHHI", b"BM", off + len(bits), 0, 0, off)
            + struct.pack("<IiiHHIIiiII", 40, w, h, 1, bpp, 0, len(bits), 2835, 2835, 0, 0)
            + palbytes + bytes(bits))


def ico_image(indices, mask):
    """One 4 bpp icon image: header (double height), palette, XOR bits, AND mask."""
    h, w = len(indices), len(indices[0])
    xor = bytearray()
    for row in reversed(indices):
        line = bytearray((w * 4 + 31) // 32 * 4)
        for x, v in enumerate(row):
            line[x // 2] |= v << (4 if x % 2 == 0 else 0)
        xor += line
    andm = bytearray()
    for row in reversed(mask):
        line = bytearray((w + 31) // 32 * 4)
        for x, transparent in enumerate(row):
            if transparent:
                line[x // 8] |= 0x80 >> (x % 8)
        andm += line
    head = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 4, 0, len(xor) + len(andm), 0, 0, 16, 0)
    pal = b"".join(struct.pack("<BBBB", c[2], c[1], c[0], 0) for c in VGA16)
    return head + pal + bytes(xor) + bytes(andm)


def ico_bytes(images):
    """images: list of (indices, mask), largest first."""
    out = struct.pack("<HHH", 0, 1, len(images))
    blobs = [ico_image(ix, m) for ix, m in images]
    off = 6 + 16 * len(images)
    for (ix, _), blob in zip(images, blobs):
        w, h = len(ix[0]), len(ix)
        out += struct.pack("<BBBBHHII", w, h, 16, 0, 1, 4, len(blob), off)
        off += len(blob)
    return out + b"".join(blobs)


def check_bmp(path, w, h, bpp):
    d = open(path, "rb").read()
    assert d[:2] == b"BM", path
    size, _, _, off = struct.unpack_from("<IHHI", d, 2)
    hs, bw, bh, planes, bb, comp = struct.unpack_from("<IiiHHI", d, 14)
    stride = (w * bpp + 31) // 32 * 4
    ok = (size == len(d) and hs == 40 and (bw, bh, planes, bb, comp) == (w, h, 1, bpp, 0)
          and off == 54 + 4 * (1 << bpp) and len(d) == off + stride * h)
    if not ok:
        sys.exit("make_art: %s is not a %dx%d %d bpp bottom-up BMP" % (path, w, h, bpp))


def check_ico(path, sizes):
    d = open(path, "rb").read()
    _, kind, count = struct.unpack_from("<HHH", d, 0)
    if kind != 1 or count != len(sizes):
        sys.exit("make_art: %s: bad icon directory" % path)
    for k, s in enumerate(sizes):
        w, h, colours, _, planes, bpp, n, off = struct.unpack_from("<BBBBHHII", d, 6 + 16 * k)
        hs, bw, bh, _, bb = struct.unpack_from("<IiiHH", d, off)
        want = 40 + 64 + s * ((s * 4 + 31) // 32 * 4) + s * ((s + 31) // 32 * 4)
        if (w, h, colours, bpp, hs, bw, bh, bb, n) != (s, s, 16, 4, 40, s, 2 * s, 4, want) \
                or off + n > len(d):
            sys.exit("make_art: %s: image %d is not %dx%d at 4 bpp with mask" % (path, k, s, s))


def write(path, data):
    full = os.path.join(ROOT, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as f:
        f.write(data)
    return full


# ---------------------------------------------------------------- icons

def mark_shapes(size, kind):
    """A small status mark in the bottom-right corner: red (a cross at
    16x16, a no-entry sign at 32x32) for 'no modem', a yellow ring for
    'detecting'."""
    if size == 16:
        # Pixel-exact at 16x16 so only a handful of pixels change.
        if kind == "no_modem":
            cross = {(12, 12), (13, 13), (14, 14), (15, 15), (15, 12), (14, 13), (13, 14), (12, 15)}
            return [(lambda x, y: (int(x), int(y)) in cross, RED)]
        corners = {(12, 12), (15, 12), (12, 15), (15, 15)}
        dot = lambda x, y: x >= 12 and y >= 12 and (int(x), int(y)) not in corners
        return [(dot, YELLOW), (rect(13, 13, 15, 15), BLACK)]
    c, r = 26.5, 5.5
    if kind == "no_modem":
        return [(disc(c, c, r), BLACK), (disc(c, c, r - 1), RED),
                (rect(c - 3, c - 1, c + 3, c + 1), WHITE)]
    return [(disc(c, c, r), BLACK), (disc(c, c, r - 1), YELLOW),
            (disc(c, c, 1.6), BLACK)]


def icon_image(size, kind):
    cv = Canvas(size, size)
    inside, colour = globe_flat(size / 2.0, size / 2.0, size / 2.0 - (0.8 if size == 16 else 1.0))
    cv.add(inside, colour)
    if kind != "globe":
        for shape, col in mark_shapes(size, kind):
            cv.add(shape, col)
    rows = cv.render_dominant(ss=6)
    mask = [[cov < 0.5 for _, cov in row] for row in rows]
    ix = [[0 if m else VGA16.index(c) for (c, _), m in zip(row, mrow)]
          for row, mrow in zip(rows, mask)]
    return ix, mask


def make_icons():
    out = {}
    for kind in ("globe", "no_modem", "detecting"):
        images = [icon_image(32, kind), icon_image(16, kind)]
        path = "res/icons/%s.ico" % kind
        check_ico(write(path, ico_bytes(images)), [32, 16])
        out[kind] = images
    # The status icons must read as the same globe in the tray.
    base16 = out["globe"][1]
    seen = []
    for kind in ("no_modem", "detecting"):
        ix, mask = out[kind][1]
        diff = sum(1 for y in range(16) for x in range(16)
                   if ix[y][x] != base16[0][y][x] or mask[y][x] != base16[1][y][x])
        if not 0 < diff <= 20:
            sys.exit("make_art: %s 16x16 differs from the globe in %d pixels" % (kind, diff))
        seen.append((ix, mask))
    if seen[0] == seen[1]:
        sys.exit("make_art: no_modem and detecting icons are identical")


# ---------------------------------------------------------------- logo

# Stroke font: glyphs as polylines in a box whose cap height is 1.0 and
# whose x-height starts at y = 0.36; y grows downwards, baseline at 1.0.
XH = 0.36


def glyph_K():
    return [[(0, 0), (0, 1)], [(0.56, 0), (0.04, 0.56)], [(0.2, 0.4), (0.6, 1)]], 0.6


def glyph_o():
    ry = (1 - XH) / 2
    return [arc_points(0.3, XH + ry, 0.3, ry, 0, 360, 48)], 0.6


def glyph_r():
    return [[(0, XH), (0, 1)],
            arc_points(0.34, XH + 0.32, 0.34, 0.32, 180, 270, 16) + [(0.42, XH)]], 0.42


def glyph_v():
    return [[(0, XH), (0.28, 1), (0.56, XH)]], 0.56


def glyph_a():
    ry = (1 - XH) / 2
    return [arc_points(0.29, XH + ry, 0.29, ry, 0, 360, 48),
            [(0.58, XH), (0.58, 1)]], 0.58


def glyph_n():
    return [[(0, XH), (0, 1)],
            [(0, 0.64)] + arc_points(0.27, 0.64, 0.27, 0.28, 180, 360, 20) + [(0.54, 1)]], 0.54


def glyph_e():
    ry = (1 - XH) / 2
    cy = XH + ry
    return [[(0, cy), (0.6, cy)] + arc_points(0.3, cy, 0.3, ry, 0, -315, 44)], 0.6


WORD = [glyph_K, glyph_o, glyph_r, glyph_v, glyph_a, glyph_n, glyph_e]


def text_shapes(x0, base, cap, width, gap):
    """Returns (shape, bbox) pairs laying out the word from x0 at baseline."""
    shapes = []
    x = x0
    pad = width / 2 + 1
    for g in WORD:
        lines, adv = g()
        segs = []
        for pl in lines:
            pts = [(x + px * cap, base - cap + py * cap) for px, py in pl]
            segs += polyline(pts)
        xs = [s[0] for s in segs] + [s[2] for s in segs]
        ys = [s[1] for s in segs] + [s[3] for s in segs]
        bbox = (min(xs) - pad, min(ys) - pad, max(xs) + pad, max(ys) + pad)
        shapes.append((stroke(segs, width), bbox))
        x += adv * cap + gap
    return shapes, x - gap


def text_width(cap, gap):
    return sum(g()[1] for g in WORD) * cap + gap * (len(WORD) - 1)


def quantize(rows, limit=256):
    """Rounds colours more coarsely until at most `limit` remain; returns
    (palette, indices). Palette order is sorted, so output is stable."""
    step = 1
    while True:
        q = [[tuple(min(255, int(round(c[k] / step)) * step) for k in range(3)) for c in row]
             for row in rows]
        colours = sorted({c for row in q for c in row})
        if len(colours) <= limit:
            index = {c: i for i, c in enumerate(colours)}
            return colours, [[index[c] for c in row] for row in q]
        step += 1


def make_logo():
    w, h = 241, 85
    bg = (0xFF, 0xFF, 0xFF)
    ink = (0x14, 0x2E, 0x5C)
    cv = Canvas(w, h, bg)
    # A thin orbit ring behind and in front of the globe.
    gx, gy, gr = 42.5, 42.5, 30.0
    ring_out = ellipse(gx, gy, 40, 11, math.radians(-18))
    ring_in = ellipse(gx, gy, 37.5, 8.8, math.radians(-18))
    ring = lambda x, y: ring_out(x, y) and not ring_in(x, y)
    orbit = (0xE0, 0x8A, 0x1C)
    cv.add(ring, orbit)
    inside, colour = globe_smooth(gx, gy, gr)
    cv.add(inside, colour)
    # Front half of the ring passes over the globe (below its centre line).
    ca, sa = math.cos(math.radians(-18)), math.sin(math.radians(-18))
    cv.add(lambda x, y: ring(x, y) and (-(x - gx) * sa + (y - gy) * ca) > 0, orbit)

    cap, gap, sw = 40.0, 5.0, 6.4
    x0 = 92.0
    # Fit the word into the space right of the globe.
    avail = w - 8 - x0 - sw
    scale = min(1.0, avail / text_width(cap, gap))
    cap, gap, sw = cap * scale, gap * scale, sw * scale
    base = 56.0
    shapes, x_end = text_shapes(x0 + sw / 2, base, cap, sw, gap)
    for shape, bbox in shapes:
        cv.add(shape, ink, bbox)
    # Underline in the orbit colour, from the word's start to its end.
    cv.add(rect(x0, base + 9, x_end + sw / 2, base + 12), orbit)

    rows = cv.render(ss=4)
    palette, ix = quantize(rows)
    path = write("res/bitmaps/logo.bmp", bmp_bytes(ix, palette, 8))
    check_bmp(path, w, h, 8)


# ---------------------------------------------------------------- antenna

def make_antenna():
    w, h = 55, 49
    cv = Canvas(w, h, SILVER)  # dialog face colour
    # Base plate and pole.
    cv.add(polygon([(15, 47), (37, 47), (33, 42), (19, 42)]), BLACK)
    cv.add(polygon([(16.5, 46), (35.5, 46), (32.5, 43), (19.5, 43)]), GRAY)
    cv.add(rect(24, 30, 28, 43), BLACK)
    cv.add(rect(25, 30, 27, 43), GRAY)
    # Dish, tilted to face the upper right: back shell, rim, bowl.
    ang = math.radians(38)
    cx, cy = 24.0, 25.0
    nx, ny = math.cos(ang + math.pi / 2), math.sin(ang + math.pi / 2)  # towards the back
    cv.add(ellipse(cx + 3.4 * nx, cy + 3.4 * ny, 18.4, 8.0, ang), BLACK)
    cv.add(ellipse(cx + 2.6 * nx, cy + 2.6 * ny, 17.4, 7.0, ang), GRAY)
    cv.add(ellipse(cx, cy, 19, 8.5, ang), BLACK)

    def bowl(x, y):
        # Lit towards the upper left edge, shaded towards the lower right.
        u = (x - cx) * math.cos(ang) + (y - cy) * math.sin(ang)
        return WHITE if u < 5 else SILVER
    cv.add(ellipse(cx, cy, 17.8, 7.3, ang), bowl)
    # Feed arm from the centre of the bowl to the receiver at the focus.
    fx, fy = cx - 13 * nx, cy - 13 * ny
    cv.add(stroke([(cx, cy, fx, fy)], 1.6), BLACK)
    cv.add(ellipse(fx, fy, 3.2, 2.2, ang), BLACK)
    cv.add(ellipse(fx, fy, 2.0, 1.1, ang), RED)
    # Signal waves leaving the focus towards the upper right.
    for rad in (5.5, 9.0, 12.5):
        arc = arc_points(fx, fy, rad, rad, -88, -12, 12)
        cv.add(stroke(polyline(arc), 1.5), BLUE)

    rows = cv.render(ss=4)
    ix = to_indices([[px[:3] for px in row] for row in rows], VGA16)
    path = write("res/bitmaps/antenna.bmp", bmp_bytes(ix, VGA16, 4))
    check_bmp(path, w, h, 4)


def main():
    make_icons()
    make_logo()
    make_antenna()
    print("make_art: wrote res/icons/{globe,no_modem,detecting}.ico, "
          "res/bitmaps/{logo,antenna}.bmp")


if __name__ == "__main__":
    main()
