#!/usr/bin/env python3
"""Draws Pagewren's icons into .ico files beside this script (standard library only).

tray_signed_in.ico   a tilted yellow square            32x32, 16x16 at 8 and 32 bits; 24x24 at 32
tray_signed_out.ico  the same square in grey           32x32, 16x16 at 8 and 32 bits; 24x24 at 32
tray_error.ico       the grey square with a red cross  32x32, 16x16 at 8 and 32 bits; 24x24 at 32
small.ico            the yellow square                 32, 16 at 4 bits; 48, 32, 16 at 8 and 32 bits

The tray shows the system's small-icon size: 16 pixels at 96 DPI, 24 at 144 and 32 at 192.
24 is needed only at display scales where 256-colour screens are long gone, so it has 32 bits only.

Run it again after changing the artwork and commit the .ico files it writes.
"""
import math
import os
import struct

TILT = math.radians(20)
SAMPLES = 4  # per axis, for the smooth edges of the 32-bit images

YELLOW = ((250, 204, 40), (176, 122, 0))
GREY = ((168, 168, 168), (96, 96, 96))
RED = (214, 24, 24)


def layer_at(x, y, size, colours, cross):
    """The colour under point (x, y) of a size x size image, or None when transparent."""
    c = size / 2.0
    dx, dy = x - c, y - c
    if cross:
        arm = size * 0.26
        half_width = max(1.0, size * 0.07)
        if abs(dx) <= arm and abs(dy) <= arm and (
                abs(dx - dy) / math.sqrt(2) <= half_width or abs(dx + dy) / math.sqrt(2) <= half_width):
            return RED
    # Coordinates in the square's own, untilted frame.
    u = dx * math.cos(TILT) + dy * math.sin(TILT)
    v = -dx * math.sin(TILT) + dy * math.cos(TILT)
    half = size * 0.30
    border = max(1.0, size * 0.06)
    if abs(u) > half or abs(v) > half:
        return None
    if abs(u) > half - border or abs(v) > half - border:
        return colours[1]
    return colours[0]


def render(size, colours, cross):
    """Rows top-down of (r, g, b, a), averaged over SAMPLES x SAMPLES points per pixel."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    hit = layer_at(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES, size, colours, cross)
                    if hit:
                        r, g, b, a = r + hit[0], g + hit[1], b + hit[2], a + 1
            if a:
                row.append((r // a, g // a, b // a, 255 * a // (SAMPLES * SAMPLES)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def standard_palette(bits):
    if bits == 4:
        return [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
                (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
                (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
    palette = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    palette += [YELLOW[0], YELLOW[1], GREY[0], GREY[1], RED]
    palette += [(v, v, v) for v in range(8, 256, 7)][:256 - len(palette)]
    return palette + [(0, 0, 0)] * (256 - len(palette))


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((palette[i][k] - colour[k]) ** 2 for k in range(3)))


def padded(data):
    return data + b"\0" * (-len(data) % 4)


def and_mask(rows, opaque):
    out = b""
    for row in reversed(rows):
        bits = bytearray((len(row) + 7) // 8)
        for x, px in enumerate(row):
            if not opaque(px):
                bits[x // 8] |= 0x80 >> (x % 8)
        out += padded(bytes(bits))
    return out


def dib(rows, bits):
    """One icon image: BITMAPINFOHEADER, palette, colour rows and mask rows, bottom-up."""
    size = len(rows)
    palette = standard_palette(bits) if bits <= 8 else []
    pixels = b""
    if bits == 32:
        for row in reversed(rows):
            pixels += b"".join(struct.pack("BBBB", b, g, r, a) for r, g, b, a in row)
        mask = and_mask(rows, lambda px: px[3] > 0)
    else:
        cache = {}
        for row in reversed(rows):
            indices = []
            for px in row:
                colour = px[:3] if px[3] >= 128 else (0, 0, 0)
                if colour not in cache:
                    cache[colour] = nearest(palette, colour)
                indices.append(cache[colour])
            if bits == 8:
                line = bytes(indices)
            else:
                line = bytes((indices[i] << 4) | (indices[i + 1] if i + 1 < size else 0)
                             for i in range(0, size, 2))
            pixels += padded(line)
        mask = and_mask(rows, lambda px: px[3] >= 128)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    colours = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in palette)
    return header + colours + pixels + mask


def write_ico(path, images):
    """images: list of (size, bits, rows)."""
    blobs = [dib(rows, bits) for size, bits, rows in images]
    offset = 6 + 16 * len(images)
    out = struct.pack("<HHH", 0, 1, len(images))
    for (size, bits, _), blob in zip(images, blobs):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 16 if bits == 4 else 0, 0, 1, bits,
                           len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(out + b"".join(blobs))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    tray = {
        "tray_signed_in.ico": (YELLOW, False),
        "tray_signed_out.ico": (GREY, False),
        "tray_error.ico": (GREY, True),
    }
    for name, (colours, cross) in tray.items():
        images = [(s, b, render(s, colours, cross)) for s in (32, 16) for b in (8, 32)]
        images.append((24, 32, render(24, colours, cross)))
        write_ico(os.path.join(here, name), images)
    small = [(s, 4, render(s, YELLOW, False)) for s in (32, 16)]
    small += [(s, b, render(s, YELLOW, False)) for s in (48, 32, 16) for b in (8, 32)]
    write_ico(os.path.join(here, "small.ico"), small)


if __name__ == "__main__":
    main()
