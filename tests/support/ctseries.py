"""Shared writer of CT slices as dump2dcm scripts beside raw pixel files.

Every slice is signed 16-bit MONOCHROME2 with the soft-tissue window
(centre 40, width 400). Instance UIDs are <root>.<uid>.<index>, the series
UID <root>.<uid - 1>.1, so each maker keeps its own UIDs apart.
"""
import os

UID_ROOT = "1.2.826.0.1.3680043.9.7433"

DUMP = """(0002,0002) UI =CTImageStorage
(0002,0003) UI [{root}.{uid}.{index}]
(0002,0010) UI =LittleEndianExplicit
(0008,0016) UI =CTImageStorage
(0008,0018) UI [{root}.{uid}.{index}]
(0008,0060) CS [CT]
(0020,000e) UI [{root}.{series}.1]
(0020,0013) IS [{number}]
(0028,0002) US 1
(0028,0004) CS [MONOCHROME2]
(0028,0010) US {size}
(0028,0011) US {size}
(0028,0100) US 16
(0028,0101) US 16
(0028,0102) US 15
(0028,0103) US 1
(0028,1050) DS [40]
(0028,1051) DS [400]
(0028,1052) DS [{intercept}]
(0028,1053) DS [1]
(7fe0,0010) OW ={raw}
"""


def write_slice(folder, name, index, pixels, size, uid, intercept):
    """Writes name.raw (the packed pixels) and name.dump (slice number index + 1)."""
    raw = name + ".raw"
    with open(os.path.join(folder, raw), "wb") as f:
        f.write(pixels)
    with open(os.path.join(folder, name + ".dump"), "w") as f:
        f.write(DUMP.format(root=UID_ROOT, uid=uid, series=uid - 1, index=index, number=index + 1,
                            size=size, intercept=intercept, raw=raw))
