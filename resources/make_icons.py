#!/usr/bin/env python3
"""Draws the Manager's icons and writes them as .ico files next to this script.

The build uses the committed .ico files; run this only to change the pictures:
    python3 resources/make_icons.py

The picture: four tiles of a mosaic (the slots composed into one frame) behind a camera lens
(the virtual webcam). Drawn at 4x4 supersampling so the edges are smooth at every size.
"""
import math
import os
import struct

SUPERSAMPLE = 4

BACKGROUND = (0x1f, 0x2a, 0x44)
TILES = [(0xe8, 0x5d, 0x4a), (0xf2, 0xb1, 0x34), (0x3f, 0xa7, 0x7a), (0x3b, 0x82, 0xd6)]
LENS_RING = (0xf4, 0xf4, 0xf4)
LENS_GLASS = (0x12, 0x18, 0x2a)
GLINT = (0xff, 0xff, 0xff)


def inside_rounded_square(x, y, left, top, right, bottom, radius):
    if x < left or x > right or y < top or y > bottom:
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def colour_at(u, v):
    """Colour (r, g, b, a) of the picture at u, v in 0..1, or None where it is transparent."""
    if not inside_rounded_square(u, v, 0.02, 0.02, 0.98, 0.98, 0.18):
        return None
    colour = BACKGROUND
    gap = 0.04
    for index, (left, top) in enumerate([(0.10, 0.10), (0.5, 0.10), (0.10, 0.5), (0.5, 0.5)]):
        if inside_rounded_square(u, v, left + gap / 2, top + gap / 2,
                                 left + 0.4 - gap / 2, top + 0.4 - gap / 2, 0.06):
            colour = TILES[index]
    distance = math.hypot(u - 0.5, v - 0.5)
    if distance <= 0.24:
        colour = LENS_RING
    if distance <= 0.17:
        colour = LENS_GLASS
    if math.hypot(u - 0.45, v - 0.44) <= 0.045:
        colour = GLINT
    return colour


def render(size):
    """Rows of BGRA pixels, top row first."""
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            r = g = b = a = 0
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    u = (x + (sx + 0.5) / SUPERSAMPLE) / size
                    v = (y + (sy + 0.5) / SUPERSAMPLE) / size
                    colour = colour_at(u, v)
                    if colour is None:
                        continue
                    r += colour[0]
                    g += colour[1]
                    b += colour[2]
                    a += 1
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((b // a, g // a, r // a, a * 255 // SUPERSAMPLE ** 2))
        rows.append(row)
    return rows


def icon_image(size):
    """One icon image: BITMAPINFOHEADER, 32-bit bottom-up pixels, then the 1-bit AND mask."""
    rows = render(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b''.join(bytes(channel for pixel in row for channel in pixel) for row in reversed(rows))
    mask_row_bytes = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_row_bytes)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def write_icon(path, sizes):
    images = [icon_image(size) for size in sizes]
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b''
    for size, image in zip(sizes, images):
        entries += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, 'wb') as out:
        out.write(directory + entries + b''.join(images))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    write_icon(os.path.join(here, 'TessavueManager.ico'), [16, 32, 48])
    write_icon(os.path.join(here, 'small.ico'), [16, 32])


if __name__ == '__main__':
    main()
