#!/usr/bin/env python3
"""Draws the program icon (three chart bars on a blue rounded square) in nine sizes and
writes resources/mivaro.ico. Pure standard library; the output is byte-for-byte reproducible.

    scripts/make-icon.py [OUTPUT.ico]
"""
import os
import struct
import sys
import zlib

SIZES = [16, 20, 24, 32, 40, 48, 64, 128, 256]
SUPERSAMPLE = 8
TOP = (26, 138, 190)      # background gradient, top
BOTTOM = (8, 82, 118)     # background gradient, bottom (the window's accent text colour)
# Bars in unit coordinates: (left, top, right, bottom, white opacity).
BARS = [
    (0.20, 0.24, 0.58, 0.36, 0.62),
    (0.20, 0.44, 0.82, 0.56, 0.80),
    (0.20, 0.64, 0.70, 0.76, 1.00),
]
AXIS = (0.17, 0.19, 0.20, 0.81, 1.00)


def inside_rounded(x, y, left, top, right, bottom, radius):
    if x < left or x > right or y < top or y > bottom:
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def render(size):
    """Returns rows of (r, g, b, a) tuples, top row first, non-premultiplied."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied sums
            for sy in range(n):
                y = (py + (sy + 0.5) / n) / size
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    if not inside_rounded(x, y, 0.03, 0.03, 0.97, 0.97, 0.20):
                        continue
                    t = (y - 0.03) / 0.94
                    colour = [TOP[i] + (BOTTOM[i] - TOP[i]) * t for i in range(3)]
                    for (l, tp, r, b, opacity) in BARS + [AXIS]:
                        if inside_rounded(x, y, l, tp, r, b, min(0.04, (b - tp) / 2)):
                            colour = [c + (255 - c) * opacity for c in colour]
                    for i in range(3):
                        acc[i] += colour[i]
                    acc[3] += 1.0
            samples = n * n
            alpha = acc[3] / samples
            if acc[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(int(round(acc[i] / acc[3])) for i in range(3))
                           + (int(round(alpha * 255)),))
        rows.append(row)
    return rows


def bmp_entry(size, rows):
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b''.join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    return header + pixels + bytes(mask_stride * size)


def png_entry(size, rows):
    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data
                + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = b''.join(b'\x00' + bytes(v for pixel in row for v in pixel) for row in rows)
    return (b'\x89PNG\r\n\x1a\n'
            + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9))
            + chunk(b'IEND', b''))


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, 'resources', 'mivaro.ico')
    images = []
    for size in SIZES:
        rows = render(size)
        images.append(png_entry(size, rows) if size >= 256 else bmp_entry(size, rows))
    data = struct.pack('<HHH', 0, 1, len(SIZES))
    offset = 6 + 16 * len(SIZES)
    for size, image in zip(SIZES, images):
        dim = 0 if size >= 256 else size
        data += struct.pack('<BBBBHHII', dim, dim, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    data += b''.join(images)
    with open(output, 'wb') as f:
        f.write(data)


if __name__ == '__main__':
    main()
