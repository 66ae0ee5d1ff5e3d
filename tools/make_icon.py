#!/usr/bin/env python3
"""Draws Dravik's application icon and writes it as a Windows .ico file.

The picture: a rounded teal tile with four light bars, one per algorithm row, and an amber
tick over the last bar. Sizes 16, 32 and 48 pixels, 32-bit colour with alpha, each drawn at
4x4 samples per pixel for smooth edges. Standard library only.

Usage: make_icon.py [OUTPUT]   (default: src/ui/dravik.ico beside this script's folder)
"""
import os
import struct
import sys

TILE = (0x1F, 0x5F, 0x73)
BAR = (0xE8, 0xF1, 0xF2)
TICK = (0xF2, 0xA9, 0x00)
SAMPLES = 4


def inside_rounded_square(x, y, radius):
    """x, y in 0..1; the tile fills the square with rounded corners."""
    cx = min(max(x, radius), 1 - radius)
    cy = min(max(y, radius), 1 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def on_bar(x, y):
    """Four bars of decreasing length, as the four rows of the window."""
    for row, length in enumerate((0.62, 0.50, 0.62, 0.36)):
        top = 0.20 + row * 0.17
        if top <= y <= top + 0.09 and 0.18 <= x <= 0.18 + length:
            return True
    return False


def on_tick(x, y):
    """A tick: one stroke down to (0.68, 0.80), one up from there to the right."""
    def near_segment(ax, ay, bx, by, width):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        px, py = ax + t * dx, ay + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= width ** 2
    return near_segment(0.58, 0.70, 0.68, 0.80, 0.055) or near_segment(0.68, 0.80, 0.86, 0.58, 0.055)


def sample(x, y):
    """Colour and coverage (0 or 1) of one sample point."""
    if not inside_rounded_square(x, y, 0.2):
        return (0, 0, 0), 0
    if on_tick(x, y):
        return TICK, 1
    if on_bar(x, y):
        return BAR, 1
    return TILE, 1


def render(size):
    """Rows top to bottom of (b, g, r, a) pixels."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0]
            cover = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    colour, alpha = sample((px + (sx + 0.5) / SAMPLES) / size,
                                           (py + (sy + 0.5) / SAMPLES) / size)
                    if alpha:
                        cover += 1
                        for i in range(3):
                            acc[i] += colour[i]
            if cover:
                r, g, b = (round(c / cover) for c in acc)
                a = round(255 * cover / (SAMPLES * SAMPLES))
            else:
                r = g = b = a = 0
            row.append((b, g, r, a))
        rows.append(row)
    return rows


def icon_image(size):
    """One icon image: BITMAPINFOHEADER (double height), bottom-up BGRA pixels, AND mask."""
    rows = render(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b''.join(bytes(c for p in row for c in p) for row in reversed(rows))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def ico(sizes):
    images = [icon_image(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b''.join(images)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, 'src', 'ui', 'dravik.ico')
    with open(target, 'wb') as f:
        f.write(ico([16, 32, 48]))


if __name__ == '__main__':
    main()
