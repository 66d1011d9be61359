#!/usr/bin/env python3
"""Draws the crash dialog's bitmaps.

Writes into resources/crash/ (or the folder given):
    error.bmp  64x64  "ML_ERROR"  the error picture left of the message
    dll.bmp    32x32  "ML_DLL"    a call-stack entry found through a DLL's exports
    pkg.bmp    32x32  "ML_PKG"    ... through a package's exports
    fwk.bmp    32x32  "ML_FWK"    ... in the program's framework
    src.bmp    32x32  "ML_SRC"    ... in the program's own sources
    plus.bmp   18x18  "ML_PLUS"   a closed thread group
    minus.bmp  18x18  "ML_MINUS"  an open thread group
Each is a 32-bit BMP with straight (not premultiplied) alpha, drawn at twice the size the dialog
shows at 96 DPI; the dialog scales them to the screen's DPI.
    python3 resources/crash/make_crash_bitmaps.py [output-folder]
"""

import math
import os
import struct
import sys

# ---- shapes in the unit square: each answers "is (x, y) inside?" ----


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def segment(x0, y0, x1, y1, half_width):
    def inside(x, y):
        dx, dy = x1 - x0, y1 - y0
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy)))
        return (x - x0 - t * dx) ** 2 + (y - y0 - t * dy) ** 2 <= half_width * half_width

    return inside


def polygon(points):
    def inside(x, y):
        hit = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                hit = not hit
            j = i
        return hit

    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def render(layers, size, samples=4):
    """RGBA rows, top first; later layers paint over earlier ones; alpha is the covered share."""
    rows = []
    n = samples * samples
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = covered = 0
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / size
                    y = (py + (sy + 0.5) / samples) / size
                    colour = None
                    for shape, rgb in layers:
                        if shape(x, y):
                            colour = rgb
                    if colour:
                        r, g, b, covered = r + colour[0], g + colour[1], b + colour[2], covered + 1
            if covered:
                row.append((round(r / covered), round(g / covered), round(b / covered), round(255 * covered / n)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


# ---- the pictures ----


def error_layers():
    """A red disc with a white cross and a darker rim."""
    cross = union(segment(0.32, 0.32, 0.68, 0.68, 0.075), segment(0.68, 0.32, 0.32, 0.68, 0.075))
    return [
        (circle(0.5, 0.5, 0.47), (150, 20, 20)),
        (circle(0.5, 0.5, 0.43), (215, 45, 40)),
        (minus(circle(0.5, 0.5, 0.43), circle(0.5, 0.62, 0.43)), (235, 95, 85)),
        (cross, (255, 255, 255)),
    ]


def dll_layers():
    """A grey cog."""
    teeth = union(*[
        segment(0.5, 0.5, 0.5 + 0.44 * math.cos(math.radians(a)), 0.5 + 0.44 * math.sin(math.radians(a)), 0.09)
        for a in range(0, 360, 45)
    ])
    return [
        (minus(union(circle(0.5, 0.5, 0.32), teeth), circle(0.5, 0.5, 0.12)), (85, 95, 110)),
        (minus(circle(0.5, 0.5, 0.24), circle(0.5, 0.5, 0.12)), (150, 160, 175)),
    ]


def pkg_layers():
    """A brown parcel seen from above the corner, tied with a band."""
    top = polygon([(0.10, 0.30), (0.50, 0.12), (0.90, 0.30), (0.50, 0.48)])
    left = polygon([(0.10, 0.30), (0.50, 0.48), (0.50, 0.92), (0.10, 0.72)])
    right = polygon([(0.50, 0.48), (0.90, 0.30), (0.90, 0.72), (0.50, 0.92)])
    band = union(polygon([(0.28, 0.22), (0.34, 0.19), (0.74, 0.37), (0.68, 0.40)]),
                 polygon([(0.68, 0.40), (0.74, 0.37), (0.74, 0.81), (0.68, 0.84)]))
    return [(top, (215, 170, 105)), (left, (175, 125, 65)), (right, (145, 100, 50)), (band, (240, 225, 190))]


def fwk_layers():
    """Three green layers stacked: the framework under the program."""
    def slab(y):
        return polygon([(0.08, y), (0.50, y - 0.16), (0.92, y), (0.50, y + 0.16)])
    return [
        (slab(0.74), (35, 110, 55)),
        (slab(0.52), (60, 150, 80)),
        (slab(0.30), (110, 195, 120)),
    ]


def src_layers():
    """A sheet of source text with a folded corner."""
    edge = polygon([(0.16, 0.04), (0.64, 0.04), (0.86, 0.26), (0.86, 0.96), (0.16, 0.96)])
    sheet = polygon([(0.21, 0.09), (0.62, 0.09), (0.81, 0.28), (0.81, 0.91), (0.21, 0.91)])
    fold = polygon([(0.62, 0.09), (0.62, 0.28), (0.81, 0.28)])
    lines = union(rect(0.30, 0.38, 0.70, 0.45), rect(0.38, 0.53, 0.72, 0.60), rect(0.38, 0.68, 0.64, 0.75),
                  rect(0.30, 0.22, 0.52, 0.29))
    return [(edge, (70, 80, 110)), (sheet, (252, 252, 246)), (fold, (200, 205, 220)), (lines, (40, 90, 190))]


def sign_layers(plus):
    """A small box with a plus or a minus; edges on whole pixels of the 18-pixel picture."""
    p = 1 / 18
    layers = [(rect(0, 0, 1, 1), (128, 128, 128)), (rect(2 * p, 2 * p, 1 - 2 * p, 1 - 2 * p), (255, 255, 255))]
    layers.append((rect(5 * p, 8 * p, 1 - 5 * p, 10 * p), (0, 0, 0)))
    if plus:
        layers.append((rect(8 * p, 5 * p, 10 * p, 1 - 5 * p), (0, 0, 0)))
    return layers


# ---- the file ----


def bmp32(rows):
    """BITMAPFILEHEADER + BITMAPINFOHEADER + bottom-up BGRA rows."""
    height, width = len(rows), len(rows[0])
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 32, 0, len(pixels), 3780, 3780, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + bytes(pixels)


PICTURES = [
    ("error.bmp", error_layers(), 64, 4),
    ("dll.bmp", dll_layers(), 32, 4),
    ("pkg.bmp", pkg_layers(), 32, 4),
    ("fwk.bmp", fwk_layers(), 32, 4),
    ("src.bmp", src_layers(), 32, 4),
    ("plus.bmp", sign_layers(True), 18, 1),
    ("minus.bmp", sign_layers(False), 18, 1),
]


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for name, layers, size, samples in PICTURES:
        with open(os.path.join(out, name), "wb") as f:
            f.write(bmp32(render(layers, size, samples)))


if __name__ == "__main__":
    main()
