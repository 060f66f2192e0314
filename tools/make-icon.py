#!/usr/bin/env python3
"""Draws the program's icon: a picture card (sky, sun, hills) being wiped in by a lighter
second picture, on a rounded blue tile, with a play mark. Writes a PNG of the given size.

    tools/make-icon.py forms/icons/lumivo.png [size]
"""
import struct
import sys
import zlib

SIZE = int(sys.argv[2]) if len(sys.argv) > 2 else 256
SAMPLES = 4  # per axis, for smooth edges


def inside_rounded(x, y, left, top, right, bottom, r):
    if not (left <= x < right and top <= y < bottom):
        return False
    cx = min(max(x, left + r), right - r)
    cy = min(max(y, top + r), bottom - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def inside_triangle(x, y, a, b, c):
    def side(p, q):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])
    s1, s2, s3 = side(a, b), side(b, c), side(c, a)
    return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)


def colour_at(u, v):
    """Colour (r, g, b, a) of the point (u, v) in a 0..1 square; None where transparent."""
    if not inside_rounded(u, v, 0.03, 0.03, 0.97, 0.97, 0.18):
        return None
    colour = (int(0 + 60 * v), int(64 + 70 * v), int(128 + 80 * v))  # the tile
    if inside_rounded(u, v, 0.14, 0.20, 0.86, 0.76, 0.04):
        colour = (255, 255, 255)  # the card's border
        if inside_rounded(u, v, 0.18, 0.24, 0.82, 0.72, 0.02):
            new = u > 0.56  # the part already replaced by the next picture
            colour = (120, 190, 240) if not new else (250, 200, 120)
            if (u - 0.34) ** 2 + (v - 0.38) ** 2 < 0.06 ** 2:
                colour = (255, 215, 0) if not new else (255, 245, 200)
            if inside_triangle(u, v, (0.18, 0.72), (0.40, 0.46), (0.62, 0.72)):
                colour = (40, 140, 70) if not new else (150, 90, 40)
            if inside_triangle(u, v, (0.44, 0.72), (0.64, 0.52), (0.82, 0.72)):
                colour = (30, 110, 55) if not new else (120, 70, 30)
            if abs(u - 0.56) < 0.008:
                colour = (255, 255, 255)  # the wipe's front
    if inside_triangle(u, v, (0.62, 0.70), (0.62, 0.92), (0.82, 0.81)):
        colour = (230, 90, 40)  # play
    return colour + (255,)


def pixel(x, y):
    total = [0, 0, 0, 0]
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            c = colour_at((x + (sx + 0.5) / SAMPLES) / SIZE, (y + (sy + 0.5) / SAMPLES) / SIZE)
            if c:
                for i in range(3):
                    total[i] += c[i] * c[3]
                total[3] += c[3]
    n = SAMPLES * SAMPLES
    if total[3] == 0:
        return bytes(4)
    return bytes([total[0] // total[3], total[1] // total[3], total[2] // total[3], total[3] // n])


def png(rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\0" + row for row in rows)
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


rows = [b"".join(pixel(x, y) for x in range(SIZE)) for y in range(SIZE)]
with open(sys.argv[1], "wb") as out:
    out.write(png(rows))
