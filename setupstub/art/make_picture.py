#!/usr/bin/env python3
"""Draws bitmap 107 of setupstub: an upright framed landscape photo on a
teal ground, 121 x 200 pixels, 8 bits per pixel, 256-colour table, BI_RGB,
rows bottom-up. Usage: make_picture.py OUT.bmp"""
import math
import struct
import sys

WIDTH, HEIGHT = 121, 200


def palette():
    """Index 0-63 teal shades, 64-127 sky, 128-191 hills, 192-255 warm."""
    colours = []
    for i in range(64):
        colours.append((0, 70 + i, 70 + i))
    for i in range(64):
        colours.append((120 + i * 2, 160 + i, 230))
    for i in range(64):
        colours.append((20 + i, 90 + i, 40 + i // 2))
    for i in range(64):
        colours.append((255, 180 + i, 60 + i * 3))
    return colours


def pixel(x, y):
    """Palette index of the pixel at (x, y), y counted from the top."""
    left, top, right, bottom = 14, 24, 106, 150
    frame = 5
    if not (left <= x < right and top <= y < bottom):
        # Teal ground with a soft diagonal sheen.
        return 20 + (x + y) % 40 // 4 + (10 if (x + 2 * y) % 64 < 3 else 0)
    if x < left + frame or x >= right - frame or y < top + frame or y >= bottom - frame:
        return 255  # light frame
    ix, iy = x - left - frame, y - top - frame
    sun_dx, sun_dy = ix - 58, iy - 28
    if sun_dx * sun_dx + sun_dy * sun_dy < 110:
        return 230
    hill = 70 + int(14 * math.sin(ix / 9.0)) + int(6 * math.sin(ix / 3.7))
    if iy > hill:
        return 128 + min(63, (iy - hill) * 2)
    return 64 + min(63, iy // 2)


def main():
    stride = (WIDTH + 3) & ~3
    pixels = bytearray()
    for y in range(HEIGHT - 1, -1, -1):  # bottom-up
        row = bytes(pixel(x, y) for x in range(WIDTH))
        pixels += row + bytes(stride - WIDTH)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette())
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, len(pixels),
                       2835, 2835, 256, 0)
    offset = 14 + len(info) + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(sys.argv[1], "wb") as out:
        out.write(header + info + table + pixels)


if __name__ == "__main__":
    main()
