#!/usr/bin/env python3
"""Draws Tidewell's icons and writes them as .ico files under app/res/.

Each picture is a list of layers (a shape test and a colour), rendered with 4x4 samples per pixel.
A pixel is opaque when at least half of its samples are covered; its colour is the mean of the
covered samples. Hard edges keep the icons right also where alpha blending is missing.
Usage: scripts/make_icons.py [output folder]
"""
import math
import os
import struct
import sys

SAMPLES = 4


def render(size, layers):
    """Answers rows of (r, g, b, a) tuples, top row first."""
    w, h = size
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            total = [0, 0, 0]
            covered = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    px = x + (sx + 0.5) / SAMPLES
                    py = y + (sy + 0.5) / SAMPLES
                    colour = None
                    for test, c in layers:
                        if test(px, py):
                            colour = c
                    if colour is not None:
                        covered += 1
                        for i in range(3):
                            total[i] += colour[i]
            if covered * 2 >= SAMPLES * SAMPLES:
                row.append(tuple(t // covered for t in total) + (255,))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def ico(images):
    """ICO bytes for a list of rendered images (32-bit colour with an AND mask)."""
    header = struct.pack('<HHH', 0, 1, len(images))
    entries = b''
    blobs = b''
    offset = 6 + 16 * len(images)
    for rows in images:
        h = len(rows)
        w = len(rows[0])
        pixels = b''
        for row in reversed(rows):
            for r, g, b, a in row:
                pixels += struct.pack('<BBBB', b, g, r, a)
        mask_stride = ((w + 31) // 32) * 4
        mask = b''
        for row in reversed(rows):
            bits = bytearray(mask_stride)
            for x, (_, _, _, a) in enumerate(row):
                if a == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bytes(bits)
        info = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
        blob = info + pixels + mask
        entries += struct.pack('<BBBBHHII', w % 256, h % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        blobs += blob
    return header + entries + blobs


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def band(x0, y0, x1, y1, half_width):
    """A thick line segment from (x0, y0) to (x1, y1)."""
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy

    def test(x, y):
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
        px, py = x0 + t * dx, y0 + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= half_width ** 2
    return test


def rounded(x0, y0, x1, y1, radius):
    def test(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        cx = min(max(x, x0 + radius), x1 - radius)
        cy = min(max(y, y0 + radius), y1 - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius
    return test


def wave(x0, x1, base, amplitude, period, half_width, s):
    """A sine wave line between x0 and x1 around the height `base`."""
    def test(x, y):
        if not (x0 <= x < x1):
            return False
        centre = base + amplitude * math.sin(2 * math.pi * (x - x0) / period)
        return abs(y - centre) <= half_width
    return test


RED = (220, 24, 24)
DARK_RED = (128, 0, 0)
GREEN = (40, 180, 40)
DARK_GREEN = (0, 100, 0)
LIGHT_GREEN = (150, 235, 150)
YELLOW = (250, 210, 30)
DARK_YELLOW = (120, 90, 0)
GREY = (170, 170, 180)
WHITE = (255, 255, 255)
SEA = (20, 90, 160)
DEEP = (10, 50, 100)
FOAM = (200, 235, 255)


def broken_link():
    return [(band(3, 3, 13, 13, 2.6), DARK_RED), (band(13, 3, 3, 13, 2.6), DARK_RED),
            (band(3, 3, 13, 13, 1.7), RED), (band(13, 3, 3, 13, 1.7), RED)]


def good_link():
    return [(disc(8, 8, 7), DARK_GREEN), (disc(8, 8, 6), GREEN), (disc(6, 6, 1.8), LIGHT_GREEN)]


def missing_disk():
    return [(rect(1, 1, 15, 15), DARK_YELLOW), (rect(2, 2, 14, 14), YELLOW),
            (rect(5, 2, 11, 6), GREY), (rect(8, 3, 10, 5), DARK_YELLOW),
            (rect(4, 9, 12, 14), WHITE), (rect(5, 10, 11, 11), GREY), (rect(5, 12, 11, 13), GREY)]


def checking():
    # A grey clock face: the status is still being worked out.
    return [(disc(8, 8, 7), GREY), (disc(8, 8, 5.8), WHITE),
            (band(8, 8, 8, 4, 0.9), GREY), (band(8, 8, 11, 9.5, 0.9), GREY), (disc(8, 8, 1.2), GREY)]


def application(size):
    k = size / 32.0
    return [(rounded(1 * k, 1 * k, 31 * k, 31 * k, 6 * k), DEEP),
            (rounded(2 * k, 2 * k, 30 * k, 30 * k, 5 * k), SEA),
            (wave(3 * k, 29 * k, 10 * k, 2.2 * k, 13 * k, 1.4 * k, size), FOAM),
            (wave(3 * k, 29 * k, 17 * k, 2.2 * k, 13 * k, 1.4 * k, size), WHITE),
            (wave(3 * k, 29 * k, 24 * k, 2.2 * k, 13 * k, 1.4 * k, size), FOAM)]


def picture():
    # A drop of water over a wave: the panel's small picture.
    def drop(x, y):
        if (x - 16) ** 2 + (y - 17) ** 2 <= 8 ** 2:
            return True
        # The point of the drop: a triangle above the circle.
        return 3 <= y <= 17 and abs(x - 16) <= (y - 3) * 8 / 14 * 0.95
    def drop_inner(x, y):
        if (x - 16) ** 2 + (y - 17) ** 2 <= 6.8 ** 2:
            return True
        return 5 <= y <= 17 and abs(x - 16) <= (y - 5) * 6.8 / 12 * 0.95
    return [(drop, DEEP), (drop_inner, SEA), (disc(13, 18, 2), FOAM),
            (wave(2, 30, 28, 1.8, 9, 1.5, 32), SEA)]


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'app', 'res')
    os.makedirs(out, exist_ok=True)
    files = {
        'broken_link.ico': [render((16, 16), broken_link())],
        'good_link.ico': [render((16, 16), good_link())],
        'missing_disk.ico': [render((16, 16), missing_disk())],
        'checking.ico': [render((16, 16), checking())],
        'tidewell.ico': [render((32, 32), application(32)), render((16, 16), application(16))],
        'picture.ico': [render((32, 32), picture())],
    }
    for name, images in files.items():
        with open(os.path.join(out, name), 'wb') as f:
            f.write(ico(images))
        print(os.path.join(out, name))


if __name__ == '__main__':
    main()
