#!/usr/bin/env python3
"""Draws the viewer's pictures into resources/viewer (committed; the build does not run this):
- Glimmerscope.ico (icon 128): a lens over a dark tile with a glint;
- Document.ico (icon 129): a page with a folded corner and the lens;
- Hand.cur (cursor 401): a pointing hand, hot spot at the finger tip;
- SizeGrip.bmp (bitmap 181): 12x12 grip dots on the magenta mask colour;
- OpenFiles.png / OpenFilesHover.png (156 / 155), OpenFolder.png / OpenFolderHover.png
  (911 / 910): 64x64 pictures of the idle view's two buttons, normal and under the mouse."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from rasterlib import Canvas, write_bmp24, write_cur, write_ico, write_png  # noqa: E402

TEAL = (40, 170, 190, 255)
TEAL_LIGHT = (120, 220, 235, 255)
WHITE = (255, 255, 255, 255)


def lens(c, cx, cy, r, m):
    """A magnifier: ring, tinted glass, a glint, a handle towards the bottom right."""
    c.line(cx + r * 0.62, cy + r * 0.62, cx + r * 1.45, cy + r * 1.45, 2.6 * m, (200, 200, 205, 255))
    c.circle(cx, cy, r, (20, 70, 85, 255))
    c.circle(cx, cy, r * 0.78, (30, 120, 140, 255))
    c.ring(cx, cy, r, 1.2 * m, TEAL_LIGHT)
    # the glint: a four-pointed star
    gx, gy, g = cx - r * 0.3, cy - r * 0.3, r * 0.42
    c.polygon([(gx, gy - g), (gx + g * 0.22, gy - g * 0.22), (gx + g, gy), (gx + g * 0.22, gy + g * 0.22),
               (gx, gy + g), (gx - g * 0.22, gy + g * 0.22), (gx - g, gy), (gx - g * 0.22, gy - g * 0.22)], WHITE)


def app_icon(size):
    c = Canvas(size, size)
    m = size / 32.0
    c.rounded_rect(0.5 * m, 0.5 * m, size - 0.5 * m, size - 0.5 * m, 6 * m, (48, 48, 48, 255))
    c.rounded_rect(1.5 * m, 1.5 * m, size - 1.5 * m, size - 1.5 * m, 5 * m, (32, 32, 32, 255))
    lens(c, 13.5 * m, 13.5 * m, 9.0 * m, m)
    return c


def document_icon(size):
    c = Canvas(size, size)
    m = size / 32.0
    fold = 8 * m
    x0, y0, x1, y1 = 5 * m, 1.5 * m, 27 * m, 30.5 * m
    c.polygon([(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)], (110, 110, 110, 255))
    c.polygon([(x0 + m, y0 + m), (x1 - fold, y0 + m), (x1 - m, y0 + fold), (x1 - m, y1 - m), (x0 + m, y1 - m)],
              (245, 245, 245, 255))
    c.polygon([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)], (190, 190, 190, 255))
    lens(c, 14.5 * m, 17 * m, 6.5 * m, m * 0.8)
    return c


def hand_cursor():
    c = Canvas(32, 32)
    black, white = (0, 0, 0, 255), (255, 255, 255, 255)
    # finger, knuckles and palm as rounded shapes: black outline first, white inside
    for grow, colour in ((1.0, black), (0.0, white)):
        g = grow
        c.rounded_rect(7 - g, 1 - g, 11 + g, 17 + g, 2 + g, colour)        # index finger
        c.rounded_rect(11 - g, 8 - g, 15 + g, 17 + g, 2 + g, colour)       # middle
        c.rounded_rect(15 - g, 9 - g, 19 + g, 17 + g, 2 + g, colour)       # ring
        c.rounded_rect(19 - g, 10.5 - g, 23 + g, 18 + g, 2 + g, colour)    # little
        c.rounded_rect(7 - g, 13 - g, 23 + g, 26 + g, 4 + g, colour)       # palm
        c.polygon([(7 - g, 17), (2.5 - g, 12.5), (1 - g, 14.5), (6 - g, 22.5)], colour)  # thumb
    for x in (11, 15, 19):
        c.line(x, 12.5, x, 17, 0.8, (120, 120, 120, 255))
    return c


def size_grip():
    c = Canvas(12, 12, (255, 0, 255, 255), ss=1)
    for row in range(3):
        for col in range(3 - row):
            x = 9 - col * 4 + (0 if row == 0 else 0)
            y = 9 - row * 4
            if col + row <= 2:
                c.rect(x, y, x + 1.99, y + 1.99, (112, 112, 112, 255))
                c.rect(x, y, x + 0.99, y + 0.99, (160, 160, 160, 255))
    return c


def files_picture(hover):
    c = Canvas(64, 64)
    edge = (200, 200, 200, 255) if hover else (128, 128, 128, 255)
    paper_back = (150, 150, 150, 255) if hover else (70, 70, 70, 255)
    paper = (245, 245, 245, 255) if hover else (112, 112, 112, 255)
    lines = (150, 150, 150, 255) if hover else (80, 80, 80, 255)
    accent = TEAL_LIGHT if hover else (60, 130, 145, 255)
    # the page behind
    c.polygon([(20, 4), (44, 4), (54, 14), (54, 48), (20, 48)], edge)
    c.polygon([(21.5, 5.5), (43.5, 5.5), (52.5, 14.5), (52.5, 46.5), (21.5, 46.5)], paper_back)
    # the page in front
    c.polygon([(10, 14), (34, 14), (44, 24), (44, 60), (10, 60)], edge)
    c.polygon([(11.5, 15.5), (33.5, 15.5), (42.5, 24.5), (42.5, 58.5), (11.5, 58.5)], paper)
    c.polygon([(34, 14), (34, 24), (44, 24)], edge)
    for y in (30, 36, 42, 48):
        c.rect(16, y, 38, y + 1.6, lines)
    # the plus of "open"
    c.circle(46, 50, 11, (32, 32, 32, 255))
    c.circle(46, 50, 9.5, accent)
    c.rect(41, 48.6, 51, 51.4, (32, 32, 32, 255))
    c.rect(44.6, 45, 47.4, 55, (32, 32, 32, 255))
    return c


def folder_picture(hover):
    c = Canvas(64, 64)
    back = (170, 140, 70, 255) if hover else (100, 85, 50, 255)
    front = (235, 195, 95, 255) if hover else (135, 115, 65, 255)
    edge = (255, 225, 150, 255) if hover else (160, 140, 90, 255)
    accent = TEAL_LIGHT if hover else (60, 130, 145, 255)
    c.polygon([(4, 12), (24, 12), (29, 18), (58, 18), (58, 54), (4, 54)], back)
    c.polygon([(4, 26), (60, 26), (56, 56), (8, 56)], front)
    c.line(4.5, 26.5, 59.5, 26.5, 1.4, edge)
    c.circle(46, 50, 11, (32, 32, 32, 255))
    c.circle(46, 50, 9.5, accent)
    c.rect(41, 48.6, 51, 51.4, (32, 32, 32, 255))
    c.rect(44.6, 45, 47.4, 55, (32, 32, 32, 255))
    return c


def main():
    top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = os.path.join(top, "resources", "viewer")
    os.makedirs(out, exist_ok=True)
    write_ico(os.path.join(out, "Glimmerscope.ico"), [app_icon(48), app_icon(32), app_icon(16)])
    write_ico(os.path.join(out, "Document.ico"), [document_icon(48), document_icon(32), document_icon(16)])
    write_cur(os.path.join(out, "Hand.cur"), hand_cursor(), (8, 1))
    write_bmp24(os.path.join(out, "SizeGrip.bmp"), size_grip())
    write_png(os.path.join(out, "OpenFiles.png"), files_picture(False))
    write_png(os.path.join(out, "OpenFilesHover.png"), files_picture(True))
    write_png(os.path.join(out, "OpenFolder.png"), folder_picture(False))
    write_png(os.path.join(out, "OpenFolderHover.png"), folder_picture(True))


if __name__ == "__main__":
    main()
