#!/usr/bin/env python3
"""Draws Quillan's application icon and tray-menu images.

Writes resources/icons/quillan.ico (16x16 and 32x32, 32-bit with alpha) and
resources/icons/menu.bmp (a 64x16 strip of four 16x16 images, 24-bit, magenta
(255, 0, 255) marks the transparent pixels). Run from anywhere:
    python3 tools/icons/make_icons.py [output-folder]
The pictures are plain geometry in a unit square, so both sizes come from one
description; the icon is anti-aliased by supersampling, the menu images are not
(a colour mask has no partial transparency).
"""

import math
import os
import struct
import sys

# ---- geometry: each shape answers "is the point (x, y) of the unit square inside?" ----


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_out, r_in, start_deg=0.0, sweep_deg=360.0):
    def inside(x, y):
        d2 = (x - cx) ** 2 + (y - cy) ** 2
        if not r_in * r_in <= d2 <= r_out * r_out:
            return False
        if sweep_deg >= 360.0:
            return True
        # Angles grow clockwise on screen (y points down).
        a = (math.degrees(math.atan2(y - cy, x - cx)) - start_deg) % 360.0
        return a <= sweep_deg

    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

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


def segment(x0, y0, x1, y1, half_width):
    def inside(x, y):
        dx, dy = x1 - x0, y1 - y0
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy)))
        px, py = x0 + t * dx, y0 + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= half_width * half_width

    return inside


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


# ---- rendering: layers painted in order, each (shape, (r, g, b)) ----


def render(layers, size, samples):
    """RGBA rows, top row first; alpha is the covered share of each pixel."""
    rows = []
    n = samples * samples
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / size
                    y = (py + (sy + 0.5) / samples) / size
                    colour = None
                    for shape, rgb in layers:
                        if shape(x, y):
                            colour = rgb
                    if colour is not None:
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
                        acc[3] += 1
            if acc[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                k = acc[3]
                row.append((round(acc[0] / k), round(acc[1] / k), round(acc[2] / k), round(255 * k / n)))
        rows.append(row)
    return rows


# ---- the pictures ----

INK = (40, 40, 60)
PAPER = (250, 250, 244)
PAPER_EDGE = (120, 120, 130)
LINES = (150, 160, 185)
FEATHER = (25, 65, 165)
FEATHER_LIGHT = (80, 135, 225)
NIB = (30, 30, 30)


def app_icon_layers():
    """A template sheet with text lines and a quill laid across it."""
    sheet_edge = polygon([(0.12, 0.06), (0.62, 0.06), (0.82, 0.26), (0.82, 0.94), (0.12, 0.94)])
    sheet = polygon([(0.16, 0.10), (0.60, 0.10), (0.78, 0.28), (0.78, 0.90), (0.16, 0.90)])
    fold = polygon([(0.60, 0.10), (0.60, 0.28), (0.78, 0.28)])
    lines = union(*[rect(0.24, y, 0.62, y + 0.05) for y in (0.36, 0.50, 0.64)])
    # The quill: a feather vane from the top right down to a nib at the bottom left.
    vane = polygon([(0.98, 0.02), (0.78, 0.06), (0.50, 0.36), (0.34, 0.60), (0.46, 0.68), (0.68, 0.48),
                    (0.94, 0.22)])
    vane_light = polygon([(0.98, 0.02), (0.90, 0.14), (0.66, 0.42), (0.50, 0.58), (0.46, 0.54),
                          (0.70, 0.28)])
    shaft = segment(0.96, 0.04, 0.32, 0.72, 0.022)
    nib = polygon([(0.36, 0.64), (0.28, 0.68), (0.18, 0.88), (0.34, 0.78), (0.40, 0.70)])
    return [
        (sheet_edge, PAPER_EDGE),
        (sheet, PAPER),
        (fold, (205, 205, 215)),
        (lines, LINES),
        (vane, FEATHER),
        (vane_light, FEATHER_LIGHT),
        (shaft, (15, 35, 100)),
        (nib, NIB),
    ]


def info_layers():
    return [
        (circle(0.5, 0.5, 0.46), (30, 90, 200)),
        (circle(0.5, 0.5, 0.38), (60, 130, 230)),
        (circle(0.5, 0.28, 0.08), (255, 255, 255)),
        (rect(0.42, 0.42, 0.58, 0.80), (255, 255, 255)),
    ]


def settings_layers():
    teeth = union(*[
        segment(0.5, 0.5, 0.5 + 0.42 * math.cos(math.radians(a)), 0.5 + 0.42 * math.sin(math.radians(a)), 0.10)
        for a in range(0, 360, 45)
    ])
    hole = circle(0.5, 0.5, 0.10)
    return [
        (minus(union(circle(0.5, 0.5, 0.33), teeth), hole), (90, 95, 105)),
        (minus(circle(0.5, 0.5, 0.24), circle(0.5, 0.5, 0.16)), (160, 165, 175)),
    ]


def exit_layers():
    frame = rect(0.10, 0.06, 0.60, 0.94)
    door = polygon([(0.16, 0.10), (0.46, 0.18), (0.46, 0.96), (0.16, 0.90)])
    arrow = union(rect(0.48, 0.44, 0.80, 0.56), polygon([(0.74, 0.28), (0.96, 0.50), (0.74, 0.72)]))
    return [
        (minus(frame, rect(0.16, 0.10, 0.54, 0.94)), (110, 70, 40)),
        (door, (170, 110, 60)),
        (circle(0.39, 0.56, 0.04), (250, 220, 120)),
        (arrow, (200, 40, 40)),
    ]


def refresh_layers():
    # Clockwise arc from the upper right round to the top, ending in an arrow head
    # that points on into the gap.
    arc = ring(0.5, 0.5, 0.42, 0.26, start_deg=-20.0, sweep_deg=270.0)
    head = polygon([(0.44, 0.0), (0.72, 0.17), (0.44, 0.36)])
    return [(arc, (30, 140, 60)), (head, (30, 140, 60))]


# ---- file formats ----


def dib_bgra(rows):
    """32-bit pixels bottom-up, BGRA."""
    out = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            out += bytes((b, g, r, a))
    return bytes(out)


def and_mask(rows):
    """1 bit a pixel, set where transparent; rows bottom-up, padded to 32 bits."""
    size = len(rows[0])
    stride = ((size + 31) // 32) * 4
    out = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bits
    return bytes(out)


def ico_image(rows):
    size = len(rows)
    pixels = dib_bgra(rows)
    mask = and_mask(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def write_ico(path, images):
    """images: list of RGBA row lists, each square."""
    data = [ico_image(rows) for rows in images]
    offset = 6 + 16 * len(images)
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    for rows, blob in zip(images, data):
        size = len(rows)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    for blob in data:
        out += blob
    with open(path, "wb") as f:
        f.write(out)


MASK_COLOUR = (255, 0, 255)


def write_bmp24(path, rows):
    """24-bit bottom-up BMP; pixels less than half covered become the mask colour."""
    width, height = len(rows[0]), len(rows)
    stride = (width * 3 + 3) // 4 * 4
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b, a in row:
            if a < 128:
                r, g, b = MASK_COLOUR
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        pixels += line
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "resources", "icons")
    os.makedirs(out_dir, exist_ok=True)

    app = app_icon_layers()
    write_ico(os.path.join(out_dir, "quillan.ico"), [render(app, 16, 4), render(app, 32, 4)])

    # Menu images in the order of their indices: info, settings, exit, refresh.
    strip = [[] for _ in range(16)]
    for layers in (info_layers(), settings_layers(), exit_layers(), refresh_layers()):
        image = render(layers, 16, 1)
        for y in range(16):
            strip[y].extend(image[y])
    write_bmp24(os.path.join(out_dir, "menu.bmp"), strip)


if __name__ == "__main__":
    main()
