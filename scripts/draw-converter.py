#!/usr/bin/env python3
"""Draws the converter's bitmaps, icon and cursor into resources/converter/res.

Standard library only. Bitmaps for image lists are 24-bit with magenta (FF00FF)
as the transparent colour, so shape edges are hard (no blending into magenta).
The program icon and the hand cursor are 32-bit with alpha.
Run again after changing a picture and commit the files it writes.
"""
import math
import os
import struct
import sys

from rasterlib import inside_polygon

MAGENTA = (255, 0, 255)
SS = 4  # supersampling per axis


class Canvas:
    def __init__(self, w, h, bg=MAGENTA, alpha=False):
        self.w, self.h = w, h
        self.alpha = alpha
        # RGBA, alpha 0..255
        self.px = [[(bg[0], bg[1], bg[2], 0 if alpha else 255) for _ in range(w)] for _ in range(h)]

    def _cover(self, inside, x0, y0, x1, y1):
        """Coverage of each pixel in the box by the predicate inside(x, y)."""
        for y in range(max(0, int(y0)), min(self.h, int(math.ceil(y1)) + 1)):
            for x in range(max(0, int(x0)), min(self.w, int(math.ceil(x1)) + 1)):
                n = 0
                for sy in range(SS):
                    for sx in range(SS):
                        if inside(x + (sx + 0.5) / SS, y + (sy + 0.5) / SS):
                            n += 1
                if n:
                    yield x, y, n / (SS * SS)

    def fill(self, inside, box, color):
        for x, y, c in self._cover(inside, *box):
            self.put(x, y, color, c)

    def put(self, x, y, color, c=1.0):
        r, g, b, a = self.px[y][x]
        if self.alpha:
            na = c + (a / 255.0) * (1 - c)
            if na <= 0:
                return
            mix = lambda s, d: (s * c + d * (a / 255.0) * (1 - c)) / na
            self.px[y][x] = (int(round(mix(color[0], r))), int(round(mix(color[1], g))),
                             int(round(mix(color[2], b))), int(round(na * 255)))
        elif c >= 0.5:
            self.px[y][x] = (color[0], color[1], color[2], 255)

    # Shapes ------------------------------------------------------------------
    def rect(self, x0, y0, x1, y1, color):
        self.fill(lambda x, y: x0 <= x < x1 and y0 <= y < y1, (x0, y0, x1, y1), color)

    def round_rect(self, x0, y0, x1, y1, r, color):
        def inside(x, y):
            if not (x0 <= x < x1 and y0 <= y < y1):
                return False
            cx = min(max(x, x0 + r), x1 - r)
            cy = min(max(y, y0 + r), y1 - r)
            return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
        self.fill(inside, (x0, y0, x1, y1), color)

    def circle(self, cx, cy, r, color):
        self.fill(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, (cx - r, cy - r, cx + r, cy + r), color)

    def ring(self, cx, cy, r, width, color):
        self.fill(lambda x, y: (r - width) ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= r * r,
                  (cx - r, cy - r, cx + r, cy + r), color)

    def polygon(self, pts, color):
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        self.fill(lambda x, y: inside_polygon(pts, x, y), (min(xs), min(ys), max(xs), max(ys)), color)

    def line(self, xa, ya, xb, yb, width, color):
        dx, dy = xb - xa, yb - ya
        ln = math.hypot(dx, dy) or 1.0
        nx, ny = -dy / ln * width / 2, dx / ln * width / 2
        # round caps
        self.polygon([(xa + nx, ya + ny), (xb + nx, yb + ny), (xb - nx, yb - ny), (xa - nx, ya - ny)], color)
        self.circle(xa, ya, width / 2, color)
        self.circle(xb, yb, width / 2, color)

    def blit(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                self.px[oy + y][ox + x] = other.px[y][x]


def strip(pictures):
    """Puts equally sized pictures side by side."""
    w = sum(p.w for p in pictures)
    out = Canvas(w, pictures[0].h, alpha=pictures[0].alpha)
    x = 0
    for p in pictures:
        out.blit(p, x, 0)
        x += p.w
    return out


# File writers ------------------------------------------------------------------

def write_bmp24(path, cv):
    row = (cv.w * 3 + 3) & ~3
    data = bytearray()
    for y in range(cv.h - 1, -1, -1):
        line = bytearray()
        for x in range(cv.w):
            r, g, b, _ = cv.px[y][x]
            line += bytes((b, g, r))
        line += b"\0" * (row - len(line))
        data += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def dib32(cv):
    """A 32-bit DIB with its AND mask, as icons and cursors hold them."""
    xor = bytearray()
    for y in range(cv.h - 1, -1, -1):
        for x in range(cv.w):
            r, g, b, a = cv.px[y][x]
            xor += bytes((b, g, r, a))
    mrow = ((cv.w + 31) // 32) * 4
    mask = bytearray()
    for y in range(cv.h - 1, -1, -1):
        bits = bytearray(mrow)
        for x in range(cv.w):
            if cv.px[y][x][3] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + xor + mask


def write_icon(path, canvases, kind=1, hotspot=(0, 0)):
    images = [dib32(c) for c in canvases]
    out = struct.pack("<HHH", 0, kind, len(images))
    offset = 6 + 16 * len(images)
    for c, img in zip(canvases, images):
        if kind == 1:
            planes, bpp = 1, 32
        else:
            planes, bpp = hotspot
        out += struct.pack("<BBBBHHII", c.w % 256, c.h % 256, 0, 0, planes, bpp, len(img), offset)
        offset += len(img)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


# Pictures --------------------------------------------------------------------------

RED = (214, 48, 49)
DARKRED = (160, 20, 24)
WHITE = (255, 255, 255)
GREEN = (40, 160, 70)
BLUE = (30, 110, 200)
NAVY = (40, 70, 130)
GREY = (96, 96, 96)
FOLDER = (240, 190, 70)
FOLDER_DARK = (200, 145, 40)
PAPER = (250, 250, 250)
PAPER_EDGE = (120, 120, 120)
FILM = (50, 50, 60)


def delete_button():
    c = Canvas(32, 32)
    c.circle(24, 8, 7.5, DARKRED)
    c.circle(24, 8, 6.5, RED)
    c.line(21, 5, 27, 11, 2.2, WHITE)
    c.line(27, 5, 21, 11, 2.2, WHITE)
    return c


def label_parts():
    col = (70, 70, 70)
    left = Canvas(4, 14)
    left.round_rect(0, 0, 8, 14, 3, col)
    mid = Canvas(4, 14)
    mid.rect(0, 0, 4, 14, col)
    right = Canvas(4, 14)
    right.round_rect(-4, 0, 4, 14, 3, col)
    return strip([left, mid, right])


def film(c, x0, y0, w, h):
    c.rect(x0, y0, x0 + w, y0 + h, FILM)
    for i in range(int(w // 3)):
        c.rect(x0 + 1 + i * 3, y0 + 1, x0 + 2 + i * 3, y0 + 2, WHITE)
        c.rect(x0 + 1 + i * 3, y0 + h - 2, x0 + 2 + i * 3, y0 + h - 1, WHITE)


def tab_pictures():
    # 0: a slice turning into a film strip; 1: a film strip turning into slices
    a = Canvas(16, 16)
    a.rect(1, 2, 7, 8, (150, 150, 150))
    a.circle(4, 5, 2.2, (230, 230, 230))
    a.polygon([(6, 10), (10, 10), (10, 8), (14, 11.5), (10, 15), (10, 13), (6, 13)], BLUE)
    film(a, 8, 1, 8, 6)
    b = Canvas(16, 16)
    film(b, 0, 1, 9, 6)
    b.polygon([(2, 10), (6, 10), (6, 8), (10, 11.5), (6, 15), (6, 13), (2, 13)], BLUE)
    b.rect(10, 8, 16, 14, (150, 150, 150))
    b.circle(13, 11, 2.2, (230, 230, 230))
    return strip([a, b])


def menu_picture():
    c = Canvas(20, 20)
    for y in (5, 9, 13):
        c.round_rect(3, y, 17, y + 2.4, 1, GREY)
    return c


def small_pictures():
    ok = Canvas(12, 12)
    ok.line(2, 6, 5, 9, 2, GREEN)
    ok.line(5, 9, 10, 3, 2, GREEN)
    no = Canvas(12, 12)
    no.line(3, 3, 9, 9, 2, RED)
    no.line(9, 3, 3, 9, 2, RED)
    arrow = Canvas(12, 12)
    arrow.polygon([(1, 4.5), (6, 4.5), (6, 1.5), (11, 6), (6, 10.5), (6, 7.5), (1, 7.5)], BLUE)
    dot = Canvas(12, 12)
    dot.circle(6, 6, 3.5, GREY)
    return strip([ok, no, arrow, dot])


def state_pictures():
    busy = Canvas(24, 24)
    busy.ring(12, 12, 9, 2.6, BLUE)
    busy.polygon([(17, 3), (23, 8), (16, 10)], BLUE)
    busy.rect(11, 7, 13, 13, BLUE)
    busy.rect(11, 11, 16, 13, BLUE)
    ok = Canvas(24, 24)
    ok.circle(12, 12, 10, GREEN)
    ok.line(7, 12, 11, 16, 2.8, WHITE)
    ok.line(11, 16, 17, 8, 2.8, WHITE)
    bad = Canvas(24, 24)
    bad.circle(12, 12, 10, RED)
    bad.line(8, 8, 16, 16, 2.8, WHITE)
    bad.line(16, 8, 8, 16, 2.8, WHITE)
    return strip([busy, ok, bad])


def plus(c, cx, cy, r, color=GREEN):
    c.circle(cx, cy, r, color)
    c.rect(cx - r + 2, cy - 1, cx + r - 2, cy + 1, WHITE)
    c.rect(cx - 1, cy - r + 2, cx + 1, cy + r - 2, WHITE)


def document(c, x0, y0, w, h):
    c.polygon([(x0, y0), (x0 + w - 5, y0), (x0 + w, y0 + 5), (x0 + w, y0 + h), (x0, y0 + h)], PAPER_EDGE)
    c.polygon([(x0 + 1, y0 + 1), (x0 + w - 5.5, y0 + 1), (x0 + w - 1, y0 + 5.5), (x0 + w - 1, y0 + h - 1),
               (x0 + 1, y0 + h - 1)], PAPER)
    for i in range(3):
        c.rect(x0 + 3, y0 + 7 + i * 3, x0 + w - 3, y0 + 8 + i * 3, (170, 170, 170))


def toolbar_pictures():
    add_folder = Canvas(24, 24)
    add_folder.round_rect(1, 5, 10, 9, 1, FOLDER_DARK)
    add_folder.round_rect(1, 7, 21, 20, 1.5, FOLDER_DARK)
    add_folder.round_rect(2, 9, 20, 19, 1, FOLDER)
    plus(add_folder, 18, 18, 5.5)
    add_files = Canvas(24, 24)
    document(add_files, 3, 1, 14, 19)
    plus(add_files, 18, 18, 5.5)
    remove = Canvas(24, 24)
    document(remove, 3, 1, 14, 19)
    remove.circle(18, 18, 5.5, RED)
    remove.rect(14.5, 17, 21.5, 19, WHITE)
    remove_all = Canvas(24, 24)
    document(remove_all, 6, 0, 13, 16)
    document(remove_all, 2, 3, 13, 17)
    remove_all.circle(18, 18, 5.5, RED)
    remove_all.line(16, 16, 20, 20, 1.8, WHITE)
    remove_all.line(20, 16, 16, 20, 1.8, WHITE)
    return strip([add_folder, add_files, remove, remove_all])


def program_icon(size):
    c = Canvas(size, size, bg=(0, 0, 0), alpha=True)
    s = size / 32.0
    # a reel: disc with five holes, and a film strip running out of it
    c.circle(13 * s, 13 * s, 12 * s, (60, 60, 72))
    c.circle(13 * s, 13 * s, 10.5 * s, (150, 160, 180))
    for k in range(5):
        a = k * 2 * math.pi / 5 - math.pi / 2
        c.circle((13 + 6 * math.cos(a)) * s, (13 + 6 * math.sin(a)) * s, 2.4 * s, (60, 60, 72))
    c.circle(13 * s, 13 * s, 1.6 * s, (60, 60, 72))
    c.polygon([(14 * s, 23 * s), (31 * s, 19 * s), (31 * s, 29 * s), (16 * s, 31 * s)], FILM)
    for i in range(4):
        x = (17.5 + i * 3.4) * s
        c.rect(x, (24.3 - i * 0.8) * s, x + 1.6 * s, (25.6 - i * 0.8) * s, WHITE)
        c.rect(x, (28.6 - i * 0.5) * s, x + 1.6 * s, (29.8 - i * 0.5) * s, WHITE)
    return c


def hand_cursor():
    c = Canvas(32, 32, bg=(0, 0, 0), alpha=True)
    outline = [(9, 1), (12, 1), (12, 11), (14, 9.5), (17, 11), (19, 10), (22, 12), (24, 11.5), (26, 14),
               (26, 22), (23, 29), (12, 29), (5, 19), (5, 16), (7, 15), (9, 17)]
    c.polygon(outline, (0, 0, 0))
    inner = [(10, 2), (11, 2), (11, 13), (12, 13), (13, 11), (16, 12), (16, 13), (17, 13), (18, 11.5),
             (21, 13), (21, 14), (22, 14), (23, 13), (25, 14.5), (25, 22), (22.3, 28), (12.5, 28), (6, 18.6),
             (6, 16.5), (7.2, 16.2), (10, 19)]
    c.polygon(inner, WHITE)
    return c


def main():
    top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = os.path.join(top, "resources", "converter", "res")
    os.makedirs(out, exist_ok=True)
    write_bmp24(os.path.join(out, "delete.bmp"), delete_button())
    write_bmp24(os.path.join(out, "label.bmp"), label_parts())
    write_bmp24(os.path.join(out, "tabs.bmp"), tab_pictures())
    write_bmp24(os.path.join(out, "mainmenu.bmp"), menu_picture())
    write_bmp24(os.path.join(out, "small.bmp"), small_pictures())
    write_bmp24(os.path.join(out, "states.bmp"), state_pictures())
    write_bmp24(os.path.join(out, "toolbar.bmp"), toolbar_pictures())
    write_icon(os.path.join(out, "reelsmith.ico"), [program_icon(s) for s in (16, 32, 48)])
    write_icon(os.path.join(out, "hand.cur"), [hand_cursor()], kind=2, hotspot=(10, 1))
    print("pictures written to", out)


if __name__ == "__main__":
    sys.exit(main())
