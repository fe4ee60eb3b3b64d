#!/usr/bin/env python3
"""Draws the programs' icons as PNG files: the calculator's, a radiation trefoil on a yellow disc,
and the register window's, a ruled sheet with the same disc, smaller, over its lower right corner.

Usage: make_icon.py SIZE OUT.png [calculator|register]   (SIZE in pixels; the calculator window
uses the 16-pixel calculator icon; the default is the calculator)
Pure Python (zlib and struct only), so it runs on a bare Debian machine.
"""
import math
import struct
import sys
import zlib

YELLOW = (255, 204, 0)
BLACK = (20, 20, 20)
SAMPLES = 4  # per axis, for smooth edges


WHITE = (250, 250, 250)
GREY = (110, 110, 110)


def trefoil_disc(x, y, centre=0.5, scale=1.0):
    """Colour of the point (x, y) of the unit square on the trefoil disc of diameter 0.96 * scale
    centred at (centre, centre), or None outside it."""
    dx, dy = (x - centre) / scale, (y - centre) / scale
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


def calculator_icon(x, y):
    return trefoil_disc(x, y)


# The register's sheet, in the unit square: its edges, the width of its border, and the ruled
# lines (their heights, half thickness and left and right ends).
SHEET_LEFT, SHEET_RIGHT, SHEET_TOP, SHEET_BOTTOM, SHEET_BORDER = 0.10, 0.66, 0.04, 0.78, 0.035
RULES, RULE_HALF, RULE_LEFT, RULE_RIGHT = (0.18, 0.30, 0.42, 0.54), 0.022, 0.19, 0.57


def register_icon(x, y):
    badge = trefoil_disc(x, y, centre=0.66, scale=0.66)
    if badge:
        return badge
    if not (SHEET_LEFT <= x <= SHEET_RIGHT and SHEET_TOP <= y <= SHEET_BOTTOM):
        return None
    if min(x - SHEET_LEFT, SHEET_RIGHT - x, y - SHEET_TOP, SHEET_BOTTOM - y) < SHEET_BORDER:
        return BLACK
    if RULE_LEFT <= x <= RULE_RIGHT and any(abs(y - rule) < RULE_HALF for rule in RULES):
        return GREY
    return WHITE


ICONS = {"calculator": calculator_icon, "register": register_icon}


def render(size, colour_at=calculator_icon):
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
    if len(sys.argv) not in (3, 4) or (len(sys.argv) == 4 and sys.argv[3] not in ICONS):
        sys.exit(__doc__)
    size = int(sys.argv[1])
    icon = ICONS[sys.argv[3] if len(sys.argv) == 4 else "calculator"]
    with open(sys.argv[2], "wb") as out:
        out.write(png(size, render(size, icon)))
