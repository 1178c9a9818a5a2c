#!/usr/bin/env python3
"""Draws the logo of the sign-in dialog, a blue page and a wren on white, next to this script:

banner.bmp     68 x 43, for 96 DPI
banner2x.bmp   136 x 86, the same drawing at twice the size for higher display scales

Both are 8 bits with the exact palette of their colours, run-length encoded (RLE8) to keep the
exe small; the pixels are those of the drawing, without loss.

Standard library only; both are bottom-up BMPs. Run it again after changing the drawing and
commit the files.
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


def pixel(px, py, scale):
    """The colour of pixel (px, py) of the drawing at scale times its size."""
    total = [0.0, 0.0, 0.0]
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            x = (px + (sx + 0.5) / SAMPLES) / scale
            y = (py + (sy + 0.5) / SAMPLES) / scale
            colour = WHITE
            for shape, fill in LAYERS:
                if shape(x, y):
                    colour = fill
            for i in range(3):
                total[i] += colour[i]
    return tuple(int(round(t / (SAMPLES * SAMPLES))) for t in total)


def bmp_file(width, height, bits, compression, palette, body):
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, compression, len(body), 2835, 2835,
                       len(palette), 0)
    colours = b''.join(bytes((b, g, r, 0)) for r, g, b in palette)
    offset = 14 + len(info) + len(colours)
    return struct.pack('<2sIHHI', b'BM', offset + len(body), 0, 0, offset) + info + colours + body


def rle8_line(indices):
    """One row in RLE8: runs of one index as (count, index), other stretches as absolute blocks."""
    out = bytearray()
    i, n = 0, len(indices)
    while i < n:
        run = 1
        while i + run < n and run < 255 and indices[i + run] == indices[i]:
            run += 1
        if run >= 3 or n - i < 3:
            out += bytes((run, indices[i]))
            i += run
            continue
        # Literal stretch up to the next run of three or more.
        end = i
        while end < n and end - i < 255 and not (end + 2 < n and indices[end] == indices[end + 1] == indices[end + 2]):
            end += 1
        if end - i < 3:
            out += b''.join(bytes((1, v)) for v in indices[i:end])
        else:
            out += bytes((0, end - i)) + bytes(indices[i:end]) + b'\0' * ((end - i) % 2)
        i = end
    return out + b'\0\0'


def bmp_rle8(rows):
    palette = sorted({colour for row in rows for colour in row})
    if len(palette) > 256:
        raise ValueError('%d colours do not fit an 8-bit palette' % len(palette))
    index = {colour: i for i, colour in enumerate(palette)}
    body = b''.join(rle8_line([index[c] for c in row]) for row in reversed(rows)) + b'\0\1'
    return bmp_file(len(rows[0]), len(rows), 8, 1, palette, body)  # 1 is BI_RLE8


def draw(scale):
    return [[pixel(x, y, scale) for x in range(WIDTH * scale)] for y in range(HEIGHT * scale)]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, 'banner.bmp'), 'wb') as out:
        out.write(bmp_rle8(draw(1)))
    with open(os.path.join(here, 'banner2x.bmp'), 'wb') as out:
        out.write(bmp_rle8(draw(2)))


if __name__ == '__main__':
    main()
