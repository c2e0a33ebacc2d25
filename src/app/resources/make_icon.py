#!/usr/bin/env python3
"""Draws the program icon, 48 x 48 RGBA, into karvath.png next to this script.

A blue tile with a white database cylinder and an orange arrow pointing down:
a log that shrinks. Plain Python (zlib only), 4 x 4 supersampling for smooth
edges. Run it again only when the picture changes; the PNG is kept in the repo.
"""
import os
import struct
import zlib

SIZE = 48
SS = 4  # samples per pixel per axis

TILE = (31, 95, 139)
TILE_EDGE = (20, 66, 99)
WHITE = (250, 250, 250)
BAND = (196, 214, 228)
ARROW = (245, 150, 40)


def rounded_rect(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ellipse(x, y, cx, cy, rx, ry):
    return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def cylinder(x, y, cx, top, bottom, rx, ry):
    body = cx - rx <= x <= cx + rx and top <= y <= bottom
    return body or ellipse(x, y, cx, top, rx, ry) or ellipse(x, y, cx, bottom, rx, ry)


def arrow(x, y):
    # Shaft and head of an arrow pointing down, at the lower right.
    shaft = 33.5 <= x <= 39.5 and 24 <= y <= 35
    head = y >= 34 and y <= 44 and abs(x - 36.5) <= (44 - y) * 0.9
    return shaft or head


def sample(x, y):
    """Colour and coverage of one sub-sample, painter's order."""
    colour, alpha = None, 0.0
    if rounded_rect(x, y, 1, 1, 47, 47, 8):
        colour, alpha = TILE_EDGE, 1.0
    if rounded_rect(x, y, 2.5, 2.5, 45.5, 45.5, 7):
        colour = TILE
    if cylinder(x, y, 20, 12, 36, 12, 4.5):
        colour = WHITE
        # Two bands mark the disk platters.
        for band in (20, 28):
            if ellipse(x, y, 20, band, 12, 4.5) and not ellipse(x, y, 20, band - 1.6, 12, 4.5):
                colour = BAND
        if ellipse(x, y, 20, 12, 10.5, 3.2):
            colour = BAND
    if arrow(x, y):
        colour = ARROW
    return colour, alpha


def render():
    rows = []
    for py in range(SIZE):
        row = bytearray([0])  # filter type None
        for px in range(SIZE):
            r = g = b = a = 0.0
            for sy in range(SS):
                for sx in range(SS):
                    c, al = sample(px + (sx + 0.5) / SS, py + (sy + 0.5) / SS)
                    if c is not None and al > 0:
                        r += c[0] * al
                        g += c[1] * al
                        b += c[2] * al
                        a += al
            n = SS * SS
            if a > 0:
                row += bytes([round(r / a), round(g / a), round(b / a), round(255 * a / n)])
            else:
                row += bytes([0, 0, 0, 0])
        rows.append(bytes(row))
    return b"".join(rows)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def main():
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
    png += chunk(b"IDAT", zlib.compress(render(), 9)) + chunk(b"IEND", b"")
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "karvath.png")
    with open(out, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    main()
