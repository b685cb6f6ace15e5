#!/usr/bin/env python3
"""Writes the program tests' DICOM series as dump2dcm scripts with raw pixels.

series/IM0001..IM0120: 256x256 unsigned 16-bit CT slices, background 0, a
48x48 square of 4000 that walks from the left to the right edge, window
2000/4000, instance numbers in name order.
"""
import os
import struct
import sys

out = os.path.join(sys.argv[1], "series")
os.makedirs(out, exist_ok=True)
N, SIZE, SQUARE = 120, 256, 48
for i in range(N):
    name = "IM%04d" % (i + 1)
    x0 = (SIZE - SQUARE) * i // (N - 1)
    y0 = (SIZE - SQUARE) // 2
    px = [0] * (SIZE * SIZE)
    for y in range(y0, y0 + SQUARE):
        row = y * SIZE
        for x in range(x0, x0 + SQUARE):
            px[row + x] = 4000
    with open(os.path.join(out, name + ".raw"), "wb") as f:
        f.write(struct.pack("<%dH" % len(px), *px))
    lines = [
        "(0002,0002) UI =CTImageStorage",
        "(0002,0003) UI [1.2.826.0.1.3680043.9.7433.31.%d]" % (i + 1),
        "(0002,0010) UI =LittleEndianExplicit",
        "(0008,0016) UI =CTImageStorage",
        "(0008,0018) UI [1.2.826.0.1.3680043.9.7433.31.%d]" % (i + 1),
        "(0008,0060) CS [CT]",
        "(0020,000e) UI [1.2.826.0.1.3680043.9.7433.30.1]",
        "(0020,0013) IS [%d]" % (i + 1),
        "(0028,0002) US 1",
        "(0028,0004) CS [MONOCHROME2]",
        "(0028,0010) US %d" % SIZE,
        "(0028,0011) US %d" % SIZE,
        "(0028,0100) US 16",
        "(0028,0101) US 16",
        "(0028,0102) US 15",
        "(0028,0103) US 0",
        "(0028,1050) DS [2000]",
        "(0028,1051) DS [4000]",
        "(7fe0,0010) OW =%s.raw" % name,
    ]
    with open(os.path.join(out, name + ".dump"), "w") as f:
        f.write("\n".join(lines) + "\n")
