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

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from ctseries import write_slice  # noqa: E402

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


def main():
    out = sys.argv[1]
    for sub in ("ct40", "steps", "noext"):
        os.makedirs(os.path.join(out, sub), exist_ok=True)
    for i in range(40):
        name = "slice%02d" % (i + 1)
        write_slice(os.path.join(out, "ct40"), name, i, pixels(i), N, 19, 0)
    for folder, names in (("steps", ["a", "B", "c"]), ("noext", ["one", "three", "two"])):
        for i, name in enumerate(names):
            write_slice(os.path.join(out, folder), name, i, pixels(i), N, 19, 0)


main()
