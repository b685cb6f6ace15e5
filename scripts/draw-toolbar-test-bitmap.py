#!/usr/bin/env python3
"""Draws the picture strip of the class-library toolbar tests: four 16x15
pictures (a red square, a green disc, a blue triangle, a yellow cross) on the
magenta mask colour, written as a 24-bit BMP."""
import struct
import sys

W, H, N = 16, 15, 4
MAGENTA = (255, 0, 255)


def picture(index, x, y):
    cx, cy = 7.5, 7.0
    if index == 0:  # red square
        return (220, 30, 30) if 2 <= x <= 13 and 2 <= y <= 12 else MAGENTA
    if index == 1:  # green disc
        return (30, 180, 60) if (x - cx) ** 2 + (y - cy) ** 2 <= 36 else MAGENTA
    if index == 2:  # blue triangle, point up
        half = (y - 1) * 0.55
        return (40, 70, 220) if 1 <= y <= 13 and abs(x - cx) <= half else MAGENTA
    # yellow cross
    return (230, 200, 20) if 6 <= x <= 9 or 5 <= y <= 8 else MAGENTA


def main(path):
    width = W * N
    row_bytes = (width * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(H - 1, -1, -1):  # bottom-up rows
        row = bytearray()
        for x in range(width):
            r, g, b = picture(x // W, x % W, y)
            row += bytes((b, g, r))
        row += b"\0" * (row_bytes - len(row))
        pixels += row
    header = struct.pack("<IiiHHIIiiII", 40, width, H, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(pixels), 0, 0, 14 + len(header))
    with open(path, "wb") as f:
        f.write(file_header + header + pixels)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "tests/classlib/bars/toolbar.bmp")
