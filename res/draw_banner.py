#!/usr/bin/env python3
"""Draws banner.bmp, the 68 x 43 logo of the sign-in dialog: a blue page and a wren on white.

Standard library only. Writes an uncompressed 24-bit bottom-up BMP next to this script.
Run it again after changing the drawing and commit both files.
"""
import math
import os
import struct

WIDTH, HEIGHT = 68, 43
SAMPLES = 4  # per axis, for smooth edges

WHITE = (255, 255, 255)
BLUE = (0, 102, 204)
PALE_BLUE = (153, 194, 235)
BROWN = (139, 90, 43)
DARK_BROWN = (92, 58, 26)
BUFF = (222, 184, 135)
INK = (34, 34, 34)
ORANGE = (230, 140, 30)


def ellipse(cx, cy, rx, ry, angle=0.0):
    c, s = math.cos(angle), math.sin(angle)

    def inside(x, y):
        dx, dy = x - cx, y - cy
        u, v = dx * c + dy * s, -dx * s + dy * c
        return (u / rx) ** 2 + (v / ry) ** 2 <= 1.0
    return inside


def polygon(points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            (x1, y1), (x2, y2) = points[i], points[(i + 1) % n]
            if (y1 > y) != (y2 > y) and x < (x2 - x1) * (y - y1) / (y2 - y1) + x1:
                hit = not hit
        return hit
    return inside


def rounded_rect(left, top, right, bottom, radius):
    def inside(x, y):
        if not (left <= x <= right and top <= y <= bottom):
            return False
        cx = min(max(x, left + radius), right - radius)
        cy = min(max(y, top + radius), bottom - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2
    return inside


def outside(shape):
    return lambda x, y: not shape(x, y)


def both(a, b):
    return lambda x, y: a(x, y) and b(x, y)


# Painted in order, later layers over earlier ones.
FOLD = polygon([(22, 3), (31, 12), (22, 12)])
PAGE = both(rounded_rect(3, 3, 31, 40, 2.5), outside(polygon([(22, 2), (32, 2), (32, 12)])))
LAYERS = [
    (PAGE, BLUE),
    (FOLD, PALE_BLUE),
    (rounded_rect(8, 17, 26, 19, 1), WHITE),
    (rounded_rect(8, 23, 26, 25, 1), WHITE),
    (rounded_rect(8, 29, 20, 31, 1), WHITE),
    # The wren: cocked tail, round body, small head, thin beak.
    (polygon([(41, 25), (35, 8), (39, 6.5), (47, 22)]), DARK_BROWN),
    (ellipse(48, 27, 12, 8.5, -0.25), BROWN),
    (ellipse(50, 30, 8, 4.5, -0.15), BUFF),
    (ellipse(46, 25, 6.5, 4, -0.45), DARK_BROWN),
    (ellipse(58, 19, 5.5, 5), BROWN),
    (polygon([(62.5, 17.5), (67.5, 19.5), (62.5, 20.5)]), ORANGE),
    (ellipse(59.5, 18, 1.2, 1.2), INK),
    (rounded_rect(47, 35, 48.5, 40, 0.5), INK),
    (rounded_rect(52, 34, 53.5, 40, 0.5), INK),
]


def pixel(px, py):
    total = [0.0, 0.0, 0.0]
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            x = px + (sx + 0.5) / SAMPLES
            y = py + (sy + 0.5) / SAMPLES
            colour = WHITE
            for shape, fill in LAYERS:
                if shape(x, y):
                    colour = fill
            for i in range(3):
                total[i] += colour[i]
    return tuple(int(round(t / (SAMPLES * SAMPLES))) for t in total)


def write_bmp(path, rows):
    stride = (WIDTH * 3 + 3) & ~3
    image_size = stride * HEIGHT
    header = struct.pack('<2sIHHI', b'BM', 14 + 40 + image_size, 0, 0, 14 + 40)
    info = struct.pack('<IiiHHIIiiII', 40, WIDTH, HEIGHT, 1, 24, 0, image_size, 2835, 2835, 0, 0)
    body = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b'\0' * (stride - len(line))
        body += line
    with open(path, 'wb') as out:
        out.write(header + info + bytes(body))


def main():
    rows = [[pixel(x, y) for x in range(WIDTH)] for y in range(HEIGHT)]
    write_bmp(os.path.join(os.path.dirname(os.path.abspath(__file__)), 'banner.bmp'), rows)


if __name__ == '__main__':
    main()
