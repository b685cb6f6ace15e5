#!/usr/bin/env python3
"""A 300-slice 512x512 signed 16-bit CT series as dump2dcm scripts."""
import math
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "support"))
from ctseries import write_slice  # noqa: E402

out, count = sys.argv[1], int(sys.argv[2])
N = 512
vals = []
for y in range(N):
    for x in range(N):
        r = math.hypot(x - 256, y - 256)
        vals.append(int(1000 * math.cos(r / 20.0)) + (x ^ y) % 64 - 500 if r < 240 else -1000)
base = struct.pack("<%dh" % len(vals), *vals)
for i in range(count):
    k = (i * 1024) % len(base)
    write_slice(out, "s%03d" % i, i, base[k:] + base[:k], N, 9, -1024)
