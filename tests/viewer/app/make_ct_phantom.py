#!/usr/bin/env python3
"""A CT-like series of a chest phantom as dump2dcm scripts and raw pixel files.

Usage: make_ct_phantom.py OUTDIR COUNT [SIZE]
Signed 16-bit slices (stored value = HU + 1024, rescale intercept -1024) with
the file's window for soft tissue (centre 40, width 400): air, fat, soft
tissue, two lungs that shrink along the series, the aorta, the spine and a
sternum. Ten distinct slice shapes are cycled along the series.
"""
import math
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from ctseries import write_slice  # noqa: E402

out, count = sys.argv[1], int(sys.argv[2])
N = int(sys.argv[3]) if len(sys.argv) > 3 else 512
S = N / 512.0


def inside(x, y, cx, cy, ax, ay):
    dx, dy = (x - cx * S) / (ax * S), (y - cy * S) / (ay * S)
    return dx * dx + dy * dy <= 1.0


def shape(v):
    t = v / 9.0
    lung_a = 62 + 18 * math.sin(math.pi * t)
    lung_b = 95 * (1.0 - 0.35 * t)
    seed = 2463534242 + v
    rows = []
    for y in range(N):
        row = []
        for x in range(N):
            seed ^= (seed << 13) & 0xFFFFFFFF
            seed ^= seed >> 17
            seed ^= (seed << 5) & 0xFFFFFFFF
            noise = (seed % 21) - 10
            hu = -1000
            if inside(x, y, 256, 272, 222, 168):
                hu = -100 + noise
                if inside(x, y, 256, 272, 208, 154):
                    hu = 40 + noise
                if inside(x, y, 172, 236, lung_a, lung_b) or inside(x, y, 340, 236, lung_a, lung_b):
                    hu = -850 + 3 * noise
                if inside(x, y, 236, 252, 48, 44):
                    hu = 55 + noise  # heart
                if inside(x, y, 262, 330, 15, 15):
                    hu = 180 + noise  # aorta with contrast
                if inside(x, y, 256, 384, 30, 26):
                    hu = 1000 if not inside(x, y, 256, 384, 24, 20) else 300 + noise
                if inside(x, y, 256, 124, 22, 9):
                    hu = 800 + noise
            row.append(hu + 1024)
        rows.append(struct.pack("<%dh" % N, *row))
    return b"".join(rows)


shapes = [shape(v) for v in range(min(10, count))]
for i in range(count):
    write_slice(out, "s%03d" % i, i, shapes[(i * len(shapes)) // count], N, 29, -1024)
