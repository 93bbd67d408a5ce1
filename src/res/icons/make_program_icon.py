#!/usr/bin/env python3
"""Draws the program's window icon (resource 128) at 16, 32 and 48 pixels.

A dial in a rounded square: the stator ring of a motor with three coils, and a
tachometer needle. Plain Python (zlib + struct), so anyone can regenerate it:
    python3 src/res/icons/make_program_icon.py
"""
import math
import os
import struct
import zlib

BACK = (31, 95, 139)
RING = (245, 245, 245)
COIL = (120, 190, 230)
NEEDLE = (255, 150, 30)
HUB = (40, 40, 40)
SUPER = 4  # samples per pixel edge


def inside_rounded_square(x, y, radius):
    cx = min(max(x, radius), 1 - radius)
    cy = min(max(y, radius), 1 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def near_segment(x, y, ax, ay, bx, by, width):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    px, py = ax + t * dx, ay + t * dy
    return (x - px) ** 2 + (y - py) ** 2 <= (width / 2) ** 2


def colour_at(x, y):
    """Colour (r, g, b, a) of the point (x, y) in the unit square."""
    if not inside_rounded_square(x, y, 0.18):
        return (0, 0, 0, 0)
    r = math.hypot(x - 0.5, y - 0.5)
    angle = math.degrees(math.atan2(0.5 - y, x - 0.5)) % 360
    if near_segment(x, y, 0.5, 0.5, 0.5 + 0.3 * math.cos(math.radians(50)),
                    0.5 - 0.3 * math.sin(math.radians(50)), 0.09):
        return NEEDLE + (255,)
    if r <= 0.07:
        return HUB + (255,)
    if 0.33 <= r <= 0.41:
        return RING + (255,)
    for centre in (90, 210, 330):
        if 0.24 <= r < 0.33 and min(abs(angle - centre), 360 - abs(angle - centre)) <= 18:
            return COIL + (255,)
    return BACK + (255,)


def render(size):
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SUPER):
                for sx in range(SUPER):
                    c = colour_at((px + (sx + 0.5) / SUPER) / size, (py + (sy + 0.5) / SUPER) / size)
                    acc[0] += c[0] * c[3]
                    acc[1] += c[1] * c[3]
                    acc[2] += c[2] * c[3]
                    acc[3] += c[3]
            alpha = acc[3] / (SUPER * SUPER)
            if acc[3] == 0:
                row += bytes(4)
            else:
                row += bytes([round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]), round(alpha)])
        rows.append(bytes(row))
    return rows


def write_png(path, size, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + row for row in rows)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    os.makedirs(os.path.join(here, "128"), exist_ok=True)
    for size in (16, 32, 48):
        write_png(os.path.join(here, "128", "%d.png" % size), size, render(size))
