#!/usr/bin/env python3
"""Draws the icon of the window-component tests: a clock face on a blue tile
(16 x 16 and 32 x 32, 32-bit with alpha). Writes the .ico given as argument."""
import math
import struct
import sys


def draw(size):
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]
    c = (size - 1) / 2.0
    radius = size * 0.46
    for y in range(size):
        for x in range(size):
            # Rounded tile.
            dx, dy = abs(x - c), abs(y - c)
            corner = size * 0.18
            inner = c - corner
            if dx > inner and dy > inner and math.hypot(dx - inner, dy - inner) > corner + 0.5:
                continue
            px[y][x] = (200, 110, 30, 255)  # blue (BGR)
            d = math.hypot(x - c, y - c)
            if d <= radius * 0.78:
                px[y][x] = (250, 250, 250, 255)
            if radius * 0.70 < d <= radius * 0.78:
                px[y][x] = (60, 60, 60, 255)
    # Hands: to twelve and to three.
    def line(angle, length, colour):
        steps = size * 4
        for i in range(steps):
            t = i / steps * length
            x = int(round(c + t * math.sin(angle)))
            y = int(round(c - t * math.cos(angle)))
            if 0 <= x < size and 0 <= y < size:
                px[y][x] = colour
    line(0.0, radius * 0.6, (40, 40, 40, 255))
    line(math.pi / 2, radius * 0.45, (30, 30, 200, 255))
    return px


def bmp_entry(size):
    px = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = b''.join(bytes(v for p in px[y] for v in p) for y in reversed(range(size)))
    mask_row = ((size + 31) // 32) * 4
    mask = b''
    for y in reversed(range(size)):
        bits = bytearray(mask_row)
        for x in range(size):
            if px[y][x][3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + rows + mask


def main(path):
    sizes = [16, 32]
    images = [bmp_entry(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'tests/foundation/ui/fields/FieldsTest.ico')
