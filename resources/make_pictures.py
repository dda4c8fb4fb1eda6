#!/usr/bin/env python3
"""Draws the program's icon and About picture (a circuit board carrying a sine wave) as PNG files: the
pictures the program shows (with double-size copies for high-density screens) and the desktop icon sizes."""
import math
import os
import struct
import zlib


def write_png(path, width, height, pixel):
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(pixel(x, y))
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(rows), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def mix(a, b, t):
    return tuple(int(a[i] + (b[i] - a[i]) * t) for i in range(len(a)))


def coverage(distance, width):
    """Anti-aliased coverage of a line of the given half width at a distance from its centre."""
    return max(0.0, min(1.0, width + 0.5 - distance))


def board_pixel(x, y, w, h, margin):
    background = (0, 0, 0, 0)
    # Rounded board outline.
    r = w * 0.12
    cx = min(max(x + 0.5, margin + r), w - margin - r)
    cy = min(max(y + 0.5, margin + r), h - margin - r)
    d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
    inside = coverage(d, r) if d > 0 else 1.0
    if inside <= 0:
        return background
    board = mix((18, 96, 62, 255), (10, 60, 40, 255), (y / h))
    # Gold pins along the top and bottom edges.
    pitch = w / 8
    if (y < margin + h * 0.08 or y > h - margin - h * 0.08) and ((x + 0.5) % pitch) < pitch * 0.45:
        board = (214, 172, 58, 255)
    # Dark chip in the middle.
    if abs(x + 0.5 - w / 2) < w * 0.18 and abs(y + 0.5 - h * 0.3) < h * 0.09:
        board = (30, 30, 36, 255)
    # The sine wave across the lower half.
    wave_y = h * 0.66 + math.sin((x + 0.5 - margin) / (w - 2 * margin) * 2 * math.pi * 1.5) * h * 0.13
    t = coverage(abs(y + 0.5 - wave_y), max(1.0, w / 40))
    board = mix(board, (240, 248, 255, 255), t)
    return board[:3] + (int(255 * inside),)


os.chdir(os.path.dirname(os.path.abspath(__file__)))
write_png("app-icon.png", 64, 64, lambda x, y: board_pixel(x, y, 64, 64, 3))
write_png("about.png", 120, 200, lambda x, y: board_pixel(x, y, 120, 200, 6))
write_png("about@2x.png", 240, 400, lambda x, y: board_pixel(x, y, 240, 400, 12))
# The icon theme sizes a desktop asks for; the margin keeps the outline's share of the picture.
for size in (16, 22, 24, 32, 48, 64, 128, 256):
    folder = os.path.join("icons", "hicolor", "%dx%d" % (size, size), "apps")
    os.makedirs(folder, exist_ok=True)
    margin = max(1, round(size * 3 / 64))
    write_png(os.path.join(folder, "veltrin-test.png"), size, size,
              lambda x, y, s=size, m=margin: board_pixel(x, y, s, s, m))
