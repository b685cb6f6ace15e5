#!/usr/bin/env python3
"""A 300-slice 512x512 signed 16-bit CT series as dump2dcm scripts."""
import math
import struct
import sys

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
    with open("%s/s%03d.raw" % (out, i), "wb") as f:
        f.write(base[k:] + base[:k])
    with open("%s/s%03d.dump" % (out, i), "w") as f:
        f.write("""(0002,0002) UI =CTImageStorage
(0002,0003) UI [1.2.826.0.1.3680043.9.7433.9.%d]
(0002,0010) UI =LittleEndianExplicit
(0008,0016) UI =CTImageStorage
(0008,0018) UI [1.2.826.0.1.3680043.9.7433.9.%d]
(0008,0060) CS [CT]
(0020,000e) UI [1.2.826.0.1.3680043.9.7433.8.1]
(0020,0013) IS [%d]
(0028,0002) US 1
(0028,0004) CS [MONOCHROME2]
(0028,0010) US 512
(0028,0011) US 512
(0028,0100) US 16
(0028,0101) US 16
(0028,0102) US 15
(0028,0103) US 1
(0028,1050) DS [40]
(0028,1051) DS [400]
(0028,1052) DS [-1024]
(0028,1053) DS [1]
(7fe0,0010) OW =s%03d.raw
""" % (i, i, i + 1, i))
