#!/usr/bin/env python3
"""Draws icon 101 of launcher: a framed landscape photo in front of a second
photo, the product's image catalog. Five images, in this order: 16x16 with
256 colours, 20x20 with 16 colours, 20x20 with 256 colours, 16x16 with 16
colours, 32x32 with 16 colours. Palette images with an AND mask, rows
bottom-up, as the icon file format wants. Usage: make_icon.py OUT.ico"""
import math
import struct
import sys

# (size, bits per pixel) in the order the icon group lists them.
IMAGES = [(16, 8), (20, 4), (20, 8), (16, 4), (32, 4)]

# The standard 16-colour palette.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
       (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
       (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
       (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, GREEN, SILVER, GRAY, LIME, YELLOW, AQUA, WHITE = 0, 2, 7, 8, 10, 11, 14, 15

# 256-colour palette: the 16 standard colours, then shades.
SKY_BASE, SKY_SHADES = 16, 32      # deep blue at the top to pale at the hill
HILL_BASE, HILL_SHADES = 48, 32    # light green at the crest to dark below
SUN, SUN_RIM, PAPER, PAPER_EDGE = 80, 81, 82, 83


def palette256():
    colours = list(VGA)
    for i in range(SKY_SHADES):
        t = i / (SKY_SHADES - 1)
        colours.append((int(70 + 130 * t), int(130 + 100 * t), int(220 + 35 * t)))
    for i in range(HILL_SHADES):
        t = i / (HILL_SHADES - 1)
        colours.append((int(120 - 100 * t), int(200 - 110 * t), int(70 - 40 * t)))
    colours += [(255, 224, 64), (240, 160, 32), (236, 232, 220), (150, 140, 120)]
    while len(colours) < 256:
        colours.append((0, 0, 0))
    return colours


def draw(size, bits):
    """Rows of palette indices (None where transparent), top row first."""
    deep = bits == 8

    def at(f):
        return int(round(f * size))

    back = (at(0.25), at(0.03), size, at(0.72))     # left, top, right, bottom
    front = (0, at(0.25), at(0.78), size)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            row.append(pixel(x, y, size, deep, back, front))
        rows.append(row)
    return rows


def inside(x, y, rect):
    left, top, right, bottom = rect
    return left <= x < right and top <= y < bottom


def on_edge(x, y, rect):
    left, top, right, bottom = rect
    return x in (left, right - 1) or y in (top, bottom - 1)


def pixel(x, y, size, deep, back, front):
    if inside(x, y, front):
        if on_edge(x, y, front):
            return BLACK
        left, top, right, bottom = front
        inner = (left + 2, top + 2, right - 2, bottom - 2)
        if not inside(x, y, inner):
            return PAPER if deep else WHITE
        return landscape(x - inner[0], y - inner[1], inner[2] - inner[0],
                         inner[3] - inner[1], deep)
    if inside(x, y, back):
        if on_edge(x, y, back):
            return PAPER_EDGE if deep else GRAY
        return PAPER if deep else SILVER
    return None


def landscape(x, y, width, height, deep):
    """A sun over a hill; (x, y) inside a picture of width x height."""
    u, v = (x + 0.5) / width, (y + 0.5) / height
    hill = 0.62 - 0.16 * math.sin(u * 3.0 + 0.4)
    if v > hill:
        if not deep:
            return LIME if v < hill + 0.12 else GREEN
        t = min(1.0, (v - hill) / (1.0 - hill + 1e-6))
        return HILL_BASE + int(t * (HILL_SHADES - 1))
    du, dv = u - 0.70, v - 0.28
    distance = math.hypot(du, dv)
    if distance < 0.17:
        if deep and distance > 0.12:
            return SUN_RIM
        return SUN if deep else YELLOW
    if not deep:
        return AQUA
    return SKY_BASE + int(min(1.0, v / hill) * (SKY_SHADES - 1))


def padded(data):
    return data + b"\0" * (-len(data) % 4)


def image_bytes(size, bits):
    rows = draw(size, bits)
    colours = palette256() if bits == 8 else VGA
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, 0, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in colours)
    colour_rows, mask_rows = b"", b""
    for row in reversed(rows):
        indices = [0 if p is None else p for p in row]
        if bits == 8:
            colour_rows += padded(bytes(indices))
        else:
            packed = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, size, 2))
            colour_rows += padded(packed)
        mask = bytearray((size + 7) // 8)
        for x, p in enumerate(row):
            if p is None:
                mask[x // 8] |= 0x80 >> (x % 8)
        mask_rows += padded(bytes(mask))
    return header + table + colour_rows + mask_rows


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    images = [image_bytes(size, bits) for size, bits in IMAGES]
    directory = struct.pack("<HHH", 0, 1, len(IMAGES))
    offset = 6 + 16 * len(IMAGES)
    for (size, bits), data in zip(IMAGES, images):
        colour_count = 16 if bits == 4 else 0  # 0 stands for 256 or more
        directory += struct.pack("<BBBBHHII", size, size, colour_count, 0, 1, bits,
                                 len(data), offset)
        offset += len(data)
    with open(sys.argv[1], "wb") as out:
        out.write(directory + b"".join(images))


if __name__ == "__main__":
    main()
