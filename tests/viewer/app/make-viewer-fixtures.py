#!/usr/bin/env python3
"""Writes dump2dcm scripts and raw pixel files for the viewer's tests.

Usage: make-viewer-fixtures.py OUTDIR
  OUTDIR/ct40/slice01..40: a 40-slice signed 16-bit CT series (128x128) whose
  8x8 blocks have a value of their own in every slice, inside the file's
  window (centre 40, width 400);
  OUTDIR/steps: three slices as a.dcm, B.dcm, c.dcm beside files the file
  stepping must pass over;
  OUTDIR/noext: three slices without a file extension.
"""
import os
import struct
import sys

N = 128
BLOCK = 16


def value(bx, by, i):
    return -150 + ((bx * 37 + by * 53 + i * 11) % 380)


def pixels(i):
    vals = []
    for y in range(N):
        for x in range(N):
            vals.append(value(x // BLOCK, y // BLOCK, i))
    return struct.pack("<%dh" % len(vals), *vals)


def write_dump(folder, name, i, raw_name):
    with open(os.path.join(folder, name + ".dump"), "w") as f:
        f.write("""(0002,0002) UI =CTImageStorage
(0002,0003) UI [1.2.826.0.1.3680043.9.7433.19.%d]
(0002,0010) UI =LittleEndianExplicit
(0008,0016) UI =CTImageStorage
(0008,0018) UI [1.2.826.0.1.3680043.9.7433.19.%d]
(0008,0060) CS [CT]
(0020,000e) UI [1.2.826.0.1.3680043.9.7433.18.1]
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
(0028,1052) DS [0]
(0028,1053) DS [1]
(7fe0,0010) OW =%s
""" % (i, i, i + 1, N, N, raw_name))


def main():
    out = sys.argv[1]
    for sub in ("ct40", "steps", "noext"):
        os.makedirs(os.path.join(out, sub), exist_ok=True)
    for i in range(40):
        name = "slice%02d" % (i + 1)
        with open(os.path.join(out, "ct40", name + ".raw"), "wb") as f:
            f.write(pixels(i))
        write_dump(os.path.join(out, "ct40"), name, i, name + ".raw")
    for folder, names in (("steps", ["a", "B", "c"]), ("noext", ["one", "three", "two"])):
        for i, name in enumerate(names):
            with open(os.path.join(out, folder, name + ".raw"), "wb") as f:
                f.write(pixels(i))
            write_dump(os.path.join(out, folder), name, i, name + ".raw")


main()
