#!/usr/bin/env python3
"""Draws the pictures of the shared window components into resources/common.

header-strip.bmp (8 x 24, two images of 4 x 24): image 0 is the background of
the flat list header, a soft vertical gradient with a darker bottom line;
column 1 of image 1 is the separator between header items. Magenta (FF00FF)
is transparent.

tests/foundation/ui/tab-arrows.bmp (32 x 16, two images of 16 x 16): a right
arrow in dark blue (enabled) and in grey (disabled), for the tab tests.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, '..', 'resources', 'common')
TEST_OUT = os.path.join(HERE, '..', 'tests', 'foundation', 'ui')
MAGENTA = (0xFF, 0x00, 0xFF)


def write_bmp24(path, width, height, pixel):
    row_bytes = (width * 3 + 3) & ~3
    data = bytearray()
    for y in range(height - 1, -1, -1):  # bottom-up rows
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b'\0' * (row_bytes - len(row))
        data += row
    header = struct.pack('<2sIHHI', b'BM', 54 + len(data), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(header + info + data)


def lerp(a, b, t):
    return int(round(a + (b - a) * t))


def header_strip(x, y):
    h = 24
    if x < 4:  # background: white at the top to a light grey, dark line below
        if y == h - 1:
            return (0xD0, 0xD0, 0xD0)
        t = y / (h - 2)
        v = lerp(0xFF, 0xEC, t)
        return (v, v, lerp(0xFF, 0xEE, t))
    if x == 5:  # separator: strongest in the middle, fading out at the ends
        mid = (h - 1) / 2
        t = abs(y - mid) / mid
        v = lerp(0xC8, 0xF0, t * t)
        return (v, v, v)
    return MAGENTA


def tab_arrows(x, y):
    colour = (0x20, 0x50, 0xA0) if x < 16 else (0xA0, 0xA0, 0xA0)
    x %= 16
    # Shaft from x 2 to 9, rows 7 and 8; head a triangle from x 9 to 14.
    if 2 <= x <= 9 and 7 <= y <= 8:
        return colour
    if 9 <= x <= 14 and abs(y - 7.5) <= (14 - x) + 0.5:
        return colour
    return MAGENTA


def main():
    os.makedirs(OUT, exist_ok=True)
    write_bmp24(os.path.join(OUT, 'header-strip.bmp'), 8, 24, header_strip)
    write_bmp24(os.path.join(TEST_OUT, 'tab-arrows.bmp'), 32, 16, tab_arrows)


if __name__ == '__main__':
    main()
