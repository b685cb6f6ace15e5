#!/usr/bin/env python3
"""A CT-like series of a chest phantom as dump2dcm scripts and raw pixel files.

Usage: make_ct_phantom.py OUTDIR COUNT [SIZE]
Signed 16-bit slices (stored value = HU + 1024, rescale intercept -1024) with
the file's window for soft tissue (centre 40, width 400): air, fat, soft
tissue, two lungs that shrink along the series, the aorta, the spine and a
sternum. Ten distinct slice shapes are cycled along the series.
"""
import math
import struct
import sys

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
    with open("%s/s%03d.raw" % (out, i), "wb") as f:
        f.write(shapes[(i * len(shapes)) // count])
    with open("%s/s%03d.dump" % (out, i), "w") as f:
        f.write("""(0002,0002) UI =CTImageStorage
(0002,0003) UI [1.2.826.0.1.3680043.9.7433.29.%d]
(0002,0010) UI =LittleEndianExplicit
(0008,0016) UI =CTImageStorage
(0008,0018) UI [1.2.826.0.1.3680043.9.7433.29.%d]
(0008,0060) CS [CT]
(0020,000e) UI [1.2.826.0.1.3680043.9.7433.28.1]
(0020,0013) IS [%d]
(0028,0002) US 1
(0028,0004) CS [MONOCHROME2]
(0028,0010) US %d
(0028,0011) US %d
(0028,0100) US 16
(0028,0101) US 16
(0028,0102) US 15
(0028,0103) US 1
(0028,1050) DS [40]
(0028,1051) DS [400]
(0028,1052) DS [-1024]
(0028,1053) DS [1]
(7fe0,0010) OW =s%03d.raw
""" % (i, i, i + 1, N, N, i))
