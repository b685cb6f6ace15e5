#!/usr/bin/env python3
"""Writes the series tests' DICOM inputs as dump2dcm scripts with raw pixel files.

slices/IM0001..IM0040: 64x64 signed 16-bit CT slices, background -1000, one
8x8 square of +1000 in cell i of an 8x8 grid (row-major), window 0/100, so the
rendered picture is exactly black with one white square; the instance numbers
run in another order than the names. slices/sub/IM9999: one more slice in a
subfolder. multi/cine: 12 frames of 32x32 8-bit, frame f lit in cell f of a 4x4
grid of 8x8 cells.
"""
import os
import struct
import sys

out = sys.argv[1]


def header(uid, instance, rows, cols, bits, signed, frames=None, window=None, modality="CT"):
    lines = [
        "(0002,0002) UI =CTImageStorage" if modality == "CT" else "(0002,0002) UI =SecondaryCaptureImageStorage",
        "(0002,0003) UI [1.2.826.0.1.3680043.9.7433.21.%d]" % uid,
        "(0002,0010) UI =LittleEndianExplicit",
        "(0008,0016) UI =CTImageStorage" if modality == "CT" else "(0008,0016) UI =SecondaryCaptureImageStorage",
        "(0008,0018) UI [1.2.826.0.1.3680043.9.7433.21.%d]" % uid,
        "(0008,0060) CS [%s]" % modality,
        "(0020,000e) UI [1.2.826.0.1.3680043.9.7433.20.1]",
        "(0020,0013) IS [%d]" % instance,
        "(0028,0002) US 1",
        "(0028,0004) CS [MONOCHROME2]",
    ]
    if frames:
        lines.append("(0028,0008) IS [%d]" % frames)
    lines += [
        "(0028,0010) US %d" % rows,
        "(0028,0011) US %d" % cols,
        "(0028,0100) US %d" % bits,
        "(0028,0101) US %d" % bits,
        "(0028,0102) US %d" % (bits - 1),
        "(0028,0103) US %d" % (1 if signed else 0),
    ]
    if window:
        lines += ["(0028,1050) DS [%s]" % window[0], "(0028,1051) DS [%s]" % window[1],
                  "(0028,1052) DS [0]", "(0028,1053) DS [1]"]
    return lines


def write(folder, name, lines, raw, vr="OW"):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name + ".raw"), "wb") as f:
        f.write(raw)
    lines.append("(7fe0,0010) %s =%s.raw" % (vr, name))
    with open(os.path.join(folder, name + ".dump"), "w") as f:
        f.write("\n".join(lines) + "\n")


def slice_pixels(cell, n=64):
    vals = [-1000] * (n * n)
    cx, cy = (cell % 8) * 8, (cell // 8) * 8
    for y in range(cy, cy + 8):
        for x in range(cx, cx + 8):
            vals[y * n + x] = 1000
    return struct.pack("<%dh" % len(vals), *vals)


slices = os.path.join(out, "slices")
for i in range(40):
    instance = (i * 17) % 40 + 1  # a permutation of 1..40, unlike the names
    write(slices, "IM%04d" % (i + 1), header(1000 + i, instance, 64, 64, 16, True, window=(0, 100)),
          slice_pixels(i))
write(os.path.join(slices, "sub"), "IM9999", header(1999, 99, 64, 64, 16, True, window=(0, 100)), slice_pixels(63))

frames = []
for f in range(12):
    px = bytearray(32 * 32)
    cx, cy = (f % 4) * 8, (f // 4) * 8
    for y in range(cy, cy + 8):
        for x in range(cx, cx + 8):
            px[y * 32 + x] = 255
    frames.append(bytes(px))
write(os.path.join(out, "multi"), "cine",
      header(3000, 1, 32, 32, 8, False, frames=12, window=(128, 256), modality="OT"), b"".join(frames), vr="OB")
