#!/usr/bin/env python3
"""Draws the busy cursor shown over a tree item while its children load: an
animated cursor (RIFF "ACON") of ten 32 x 32 frames, a ring of ten dots whose
bright head moves one place clockwise per frame with a fading tail.

Usage: draw-busy-cursor.py OUTPUT.ani [PREVIEW.png]
The preview is a strip of the ten frames on a white background, four times
enlarged, for looking at the frames."""
import math
import struct
import sys
import zlib

SIZE = 32
FRAMES = 10
DOTS = 10
RING_RADIUS = 11.0
DOT_RADIUS = 2.9
SUPERSAMPLE = 4
HEAD = (0, 102, 204)       # blue head dot
TAIL = (150, 160, 170)     # grey dots at the end of the tail
RATE = 6                   # jiffies (1/60 s) per frame when shown as a cursor


def dot_colour(age):
    """Colour and opacity of a dot that the head passed `age` frames ago."""
    t = min(age / 6.0, 1.0)
    rgb = tuple(round(h + (g - h) * t) for h, g in zip(HEAD, TAIL))
    alpha = 1.0 - 0.55 * t
    return rgb, alpha


def draw_frame(frame):
    """RGBA rows, top-down, straight (not premultiplied) alpha."""
    centre = (SIZE - 1) / 2.0
    dots = []
    for i in range(DOTS):
        angle = -math.pi / 2 + 2 * math.pi * i / DOTS
        x = centre + RING_RADIUS * math.cos(angle)
        y = centre + RING_RADIUS * math.sin(angle)
        age = (frame - i) % DOTS
        dots.append((x, y, age))
    pixels = []
    n = SUPERSAMPLE * SUPERSAMPLE
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            acc_r = acc_g = acc_b = acc_a = 0.0
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    fx = px + (sx + 0.5) / SUPERSAMPLE - 0.5
                    fy = py + (sy + 0.5) / SUPERSAMPLE - 0.5
                    for x, y, age in dots:
                        if (fx - x) ** 2 + (fy - y) ** 2 <= DOT_RADIUS ** 2:
                            rgb, a = dot_colour(age)
                            acc_r += rgb[0] * a
                            acc_g += rgb[1] * a
                            acc_b += rgb[2] * a
                            acc_a += a
                            break
            a = acc_a / n
            if a > 0:
                row.append((round(acc_r / acc_a), round(acc_g / acc_a), round(acc_b / acc_a), round(a * 255)))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return pixels


def cursor_file(pixels, hotspot):
    """A .cur file with one 32-bit image and its AND mask."""
    xor = bytearray()
    for row in reversed(pixels):  # bottom-up
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask = bytearray()
    stride = ((SIZE + 31) // 32) * 4
    for row in reversed(pixels):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + mask
    directory = struct.pack('<HHH', 0, 2, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 0, 0, hotspot[0], hotspot[1], len(image), 6 + 16)
    return directory + entry + image


def chunk(tag, data):
    out = tag + struct.pack('<I', len(data)) + data
    if len(data) % 2:
        out += b'\0'
    return out


def animated_cursor(frames):
    anih = struct.pack('<9I', 36, len(frames), len(frames), 0, 0, 0, 0, RATE, 1)  # AF_ICON
    fram = b'fram' + b''.join(chunk(b'icon', f) for f in frames)
    body = b'ACON' + chunk(b'anih', anih) + chunk(b'LIST', fram)
    return b'RIFF' + struct.pack('<I', len(body)) + body


def preview_png(frames, scale=4):
    width = SIZE * len(frames) * scale
    height = SIZE * scale
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for f in frames:
            row = f[y // scale]
            for x in range(SIZE * scale):
                r, g, b, a = row[x // scale]
                k = a / 255.0
                raw += bytes(round(c * k + 255 * (1 - k)) for c in (r, g, b))

    def png_chunk(tag, data):
        return struct.pack('>I', len(data)) + tag + data + struct.pack('>I', zlib.crc32(tag + data) & 0xFFFFFFFF)

    return (b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)) +
            png_chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + png_chunk(b'IEND', b''))


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    frames = [draw_frame(i) for i in range(FRAMES)]
    hotspot = (SIZE // 2, SIZE // 2)
    with open(sys.argv[1], 'wb') as f:
        f.write(animated_cursor([cursor_file(p, hotspot) for p in frames]))
    if len(sys.argv) == 3:
        with open(sys.argv[2], 'wb') as f:
            f.write(preview_png(frames))


if __name__ == '__main__':
    main()
