#!/usr/bin/env python3
"""Draws the program's icon, a radiation trefoil on a yellow disc, as PNG files.

Usage: make_icon.py SIZE OUT.png   (SIZE in pixels; the window uses the 16-pixel one)
Pure Python (zlib and struct only), so it runs on a bare Debian machine.
"""
import math
import struct
import sys
import zlib

YELLOW = (255, 204, 0)
BLACK = (20, 20, 20)
SAMPLES = 4  # per axis, for smooth edges


def colour_at(x, y):
    """Colour and coverage of the point (x, y) in the unit square, centre at (0.5, 0.5)."""
    dx, dy = x - 0.5, y - 0.5
    r = math.hypot(dx, dy)
    if r > 0.48:
        return None
    if r > 0.44:
        return BLACK  # rim
    angle = math.degrees(math.atan2(-dy, dx)) % 360
    in_blade = any(abs((angle - centre + 180) % 360 - 180) < 30 for centre in (90, 210, 330))
    if r < 0.07 or (0.12 < r < 0.40 and in_blade):
        return BLACK
    return YELLOW


def render(size):
    rows = []
    for py in range(size):
        row = bytearray([0])  # filter type: none
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((px + (sx + 0.5) / SAMPLES) / size, (py + (sy + 0.5) / SAMPLES) / size)
                    if c:
                        acc[0] += c[0]; acc[1] += c[1]; acc[2] += c[2]; acc[3] += 255
            n = SAMPLES * SAMPLES
            covered = acc[3] // 255
            if covered:
                row += bytes([acc[0] // covered, acc[1] // covered, acc[2] // covered, acc[3] // n])
            else:
                row += bytes([0, 0, 0, 0])
        rows.append(bytes(row))
    return b"".join(rows)


def png(size, pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b"")


if __name__ == "__main__":
    size = int(sys.argv[1])
    with open(sys.argv[2], "wb") as out:
        out.write(png(size, render(size)))
