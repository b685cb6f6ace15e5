#!/usr/bin/env python3
"""Draws the pictures of the class-library tests (committed; the build does not run this):
- tests/classlib/bars/toolbar.bmp: four 16x15 pictures (a red square, a green
  disc, a blue triangle, a yellow cross) on the magenta mask colour;
- tests/classlib/frame/frame.ico: a 32x32 and a 16x16 icon, an orange tile with a white frame."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from rasterlib import Canvas, write_bmp24, write_ico  # noqa: E402

MAGENTA = (255, 0, 255, 255)


def toolbar_strip():
    c = Canvas(64, 15, MAGENTA, ss=1)
    c.rect(2, 2, 13.99, 12.99, (220, 30, 30, 255))
    c.circle(16 + 8, 7.5, 6, (30, 180, 60, 255))
    c.polygon([(32 + 8, 1), (32 + 15, 14), (32 + 1, 14)], (40, 70, 220, 255))
    c.rect(48 + 6, 0, 48 + 9.99, 14.99, (230, 200, 20, 255))
    c.rect(48, 5, 48 + 15.99, 8.99, (230, 200, 20, 255))
    return c


def frame_icon(size):
    c = Canvas(size, size)
    m = size / 16.0
    c.rounded_rect(0.5 * m, 0.5 * m, size - 0.5 * m, size - 0.5 * m, 3 * m, (240, 130, 20, 255))
    c.rounded_rect(3.5 * m, 3.5 * m, size - 3.5 * m, size - 3.5 * m, 1 * m, (255, 255, 255, 255))
    c.rounded_rect(5 * m, 5 * m, size - 5 * m, size - 5 * m, 0.5 * m, (240, 130, 20, 255))
    return c


def main():
    top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    write_bmp24(os.path.join(top, "tests/classlib/bars/toolbar.bmp"), toolbar_strip())
    os.makedirs(os.path.join(top, "tests/classlib/frame"), exist_ok=True)
    write_ico(os.path.join(top, "tests/classlib/frame/frame.ico"), [frame_icon(32), frame_icon(16)])


if __name__ == "__main__":
    main()
