#!/usr/bin/python3
"""Variants of the other medical formats, written with nibabel, h5py, by hand,
or by the formats' own tools (unu, rawtominc, ncgen), each with its expected
display (frames, rows and columns as int32, then float32 values, top-down
rows, frames in order) judged by an outside reader: nibabel for NIfTI and
scaled MINC, teem's unu for NRRD. Also files the library refuses from their
header, damaged ones, and small ones claiming huge images (huge/).
Usage: formats.py OUTDIR"""
import bz2
import gzip
import os
import struct
import subprocess
import sys
import zlib

import h5py
import nibabel as nib
import numpy as np
from nibabel.orientations import axcodes2ornt, ornt_transform

W, H, D = 20, 12, 3
out = sys.argv[1]
for sub in ("", "damaged", "refused", "huge"):
    os.makedirs(os.path.join(out, sub), exist_ok=True)


def path(name):
    return os.path.join(out, name)


def write(name, data):
    with open(path(name), "wb") as f:
        f.write(data.encode() if isinstance(data, str) else data)


def expect(name, frames):
    """frames: array [frame][row][column] as it must be shown."""
    frames = np.asarray(frames)
    write(name + ".expected", struct.pack("<3i", *frames.shape) + np.ascontiguousarray(frames, dtype="<f4").tobytes())


# The plane a volume was acquired in, by the patient axis its slices step along.
PLANE = {"S": "axial", "I": "axial", "A": "coronal", "P": "coronal", "L": "sagittal", "R": "sagittal"}


def shown(canon, plane):
    """A volume in right-anterior-superior index order, as the library shows
    it in its plane, as DICOM images of that plane show: axial with columns to
    the patient's left, rows to the back and frames upwards; coronal with
    columns to the left, rows downwards and frames to the back; sagittal with
    columns to the back, rows downwards and frames to the left."""
    lpi = canon[::-1, ::-1, ::-1]  # left, posterior, inferior
    if plane == "axial":
        return np.transpose(lpi[:, :, ::-1], (2, 1, 0))
    return np.transpose(lpi, (1, 2, 0) if plane == "coronal" else (0, 2, 1))


def judged(name, slice_axis):
    """What nibabel reads in a file, as shown in the plane of its slices."""
    img = nib.load(path(name))
    canon = nib.apply_orientation(np.asanyarray(img.get_fdata()), nib.io_orientation(img.affine))
    plane = PLANE[nib.aff2axcodes(img.affine)[slice_axis]]
    if canon.ndim == 4:
        return np.concatenate([shown(canon[..., k], plane) for k in range(canon.shape[3])])
    return shown(canon, plane)


def run(*cmd, stdin=None):
    subprocess.run(cmd, check=True, stdin=stdin, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


# One anatomy with a marker in one corner, indexed [right, anterior, superior].
x, y, z = np.meshgrid(np.arange(W), np.arange(H), np.arange(D), indexing="ij")
canon = ((x * 3 + y * 7 + z * 11) % 200 - 50).astype(np.int16)
canon[1, 2, 0] = 900
ras = nib.Nifti1Image(canon, np.diag([1.0, 1.0, 1.0, 1.0]))
OPPOSITE = {"R": "L", "L": "R", "A": "P", "P": "A", "S": "I", "I": "S"}

# ---- the anatomy stored in several orientations, axial, coronal and sagittal ---------
for code in ("RAS", "LAS", "LPS", "RPI", "LIP", "ASR", "PIL"):
    img = ras.as_reoriented(ornt_transform(axcodes2ornt("RAS"), axcodes2ornt(tuple(code))))
    data, aff = np.asanyarray(img.dataobj), img.affine
    picture = shown(canon, PLANE[code[2]])
    # NIfTI: the sform, or the qform only.
    for kind in ("sform", "qform"):
        n = nib.Nifti1Image(data, None)
        n.set_sform(aff if kind == "sform" else None, code=2 if kind == "sform" else 0)
        n.set_qform(aff if kind == "qform" else None, code=1 if kind == "qform" else 0)
        name = "orient-%s-%s.nii" % (code, kind)
        nib.save(n, path(name))
        expect(name, judged(name, 2))
    # NRRD in right-anterior-superior, left-anterior-superior and left-posterior-superior spaces.
    raw = data.astype("<i2").tobytes(order="F")
    for space, sign in (("right-anterior-superior", (1, 1, 1)), ("left-anterior-superior", (-1, 1, 1)),
                        ("left-posterior-superior", (-1, -1, 1))):
        dirs = " ".join("(%g,%g,%g)" % tuple(aff[r, a] * sign[r] for r in range(3)) for a in range(3))
        name = "orient-%s-%s.nrrd" % (code, "".join(w[0] for w in space.split("-")))
        write(name, ("NRRD0004\ntype: short\ndimension: 3\nspace: %s\nsizes: %d %d %d\nspace directions: %s\n"
                     "endian: little\nencoding: raw\n\n" % ((space,) + data.shape + (dirs,))).encode() + raw)
        expect(name, picture)
    # MetaImage: the matrix in the left-posterior-superior frame, one axis
    # after the other; or letters naming the side each axis comes from.
    lps = [aff[r, a] * (-1 if r < 2 else 1) for a in range(3) for r in range(3)]
    for name, orientation in (("orient-%s.mha" % code, "TransformMatrix = " + " ".join("%g" % v for v in lps)),
                              ("orient-%s-letters.mha" % code,
                               "AnatomicalOrientation = " + "".join(OPPOSITE[c] for c in code))):
        write(name, ("ObjectType = Image\nNDims = 3\n%s\nDimSize = %d %d %d\nElementType = MET_SHORT\n"
                     "ElementDataFile = LOCAL\n" % ((orientation,) + data.shape)).encode() + raw)
        expect(name, picture)

# MINC 1 and 2 by rawtominc: right-anterior-superior steps, flipped steps,
# sagittal and coronal slices.
if subprocess.run(["sh", "-c", "command -v rawtominc"], stdout=subprocess.DEVNULL).returncode == 0:
    for name, array, opts in (
            ("minc-ras.mnc", canon, []),
            ("minc-flipped.mnc", canon[::-1, ::-1, :], ["-xstep", "-1", "-ystep", "-1"]),
            ("minc-sagittal.mnc", canon, ["-sagittal"]),
            ("minc-coronal.mnc", canon, ["-coronal"]),
            ("minc-2.mnc", canon, ["-2"]),
            ("minc-2-sagittal.mnc", canon, ["-2", "-sagittal"])):
        # Slowest first, as rawtominc reads.
        order = (0, 2, 1) if "-sagittal" in opts else (1, 2, 0) if "-coronal" in opts else (2, 1, 0)
        stored = np.ascontiguousarray(np.transpose(array, order)).astype("<i2")  # rawtominc reads native order
        shape = [str(s) for s in stored.shape]
        with open(path(name + ".raw"), "wb") as f:
            f.write(stored.tobytes())
        with open(path(name + ".raw"), "rb") as f:
            run("rawtominc", "-clobber", "-short", "-signed", *opts, path(name), *shape, stdin=f)
        os.remove(path(name + ".raw"))
        expect(name, shown(canon, "sagittal" if "-sagittal" in opts else "coronal" if "-coronal" in opts else
                           "axial"))
    # Real values of bytes scaled slice by slice (rawtominc scans each slice
    # of floating point input for its range), as nibabel reads them.
    real = (canon.astype(np.float32) * np.float32(1.7) - 100) * (1 + np.arange(W)[:, None, None] % 5)
    for name, opts in (("minc-scaled.mnc", ["-sagittal"]), ("minc-2-scaled.mnc", ["-2", "-coronal"])):
        order = (0, 2, 1) if "-sagittal" in opts else (1, 2, 0)
        stored = np.ascontiguousarray(np.transpose(real, order)).astype("<f4")
        with open(path(name + ".raw"), "wb") as f:
            f.write(stored.tobytes())
        run("rawtominc", "-clobber", "-float", "-obyte", "-scan_range", "-input", path(name + ".raw"), *opts,
            path(name), *[str(s) for s in stored.shape])
        os.remove(path(name + ".raw"))
        expect(name, judged(name, 0))
    # MINC 2 as h5py sees it: the samples rawtominc was given, in its dimension order.
    with h5py.File(path("minc-2.mnc"), "r") as f:
        image = f["/minc-2.0/image/0/image"]
        order = image.attrs["dimorder"]
        order = order.decode() if isinstance(order, bytes) else str(order)
        assert order == "zspace,yspace,xspace", order
        assert (np.asarray(image) == np.transpose(canon, (2, 1, 0))).all()

# MINC 1 by ncgen with the time axis as the record dimension: 2 volumes of 3 slices.
T = 2
vol = [((canon.astype(np.int32) + 100 * t)).astype(np.int16) for t in range(T)]
cdl = ["netcdf recs {", "dimensions:", "  time = UNLIMITED ;", "  zspace = %d ;" % D, "  yspace = %d ;" % H,
       "  xspace = %d ;" % W, "variables:", "  double time(time) ;",
       "  double zspace ;", "    zspace:step = 1. ;", "  double yspace ;", "    yspace:step = 1. ;",
       "  double xspace ;", "    xspace:step = 1. ;",
       "  short image(time, zspace, yspace, xspace) ;", '    image:signtype = "signed__" ;',
       "  double image-max(time, zspace) ;", "  double image-min(time, zspace) ;", "data:",
       "  time = %s ;" % ", ".join(str(t) for t in range(T)),
       "  image = %s ;" % ", ".join(str(v) for t in range(T) for v in np.transpose(vol[t], (2, 1, 0)).ravel()),
       "  image-max = %s ;" % ", ".join(["32767"] * (T * D)),
       "  image-min = %s ;" % ", ".join(["-32768"] * (T * D)), "}"]
write("recs.cdl", "\n".join(cdl) + "\n")
run("ncgen", "-b", "-k", "classic", "-o", path("minc-records.mnc"), path("recs.cdl"))
os.remove(path("recs.cdl"))
expect("minc-records.mnc", np.concatenate([shown(v, "axial") for v in vol]))

# ---- NIfTI-2, a time axis, 64-bit samples (judged by nibabel) -------------------
n2 = nib.Nifti2Image(canon, ras.affine)
nib.save(n2, path("nifti2.nii"))
nib.save(nib.Nifti2Image(canon.astype(np.float32) / 4, ras.affine), path("nifti2.nii.gz"))
four = np.stack([canon, (canon.astype(np.int32) * 2).astype(np.int16)], axis=3)
nib.save(nib.Nifti1Image(four, ras.affine), path("time.nii"))
nib.save(nib.Nifti1Image(canon.astype(np.int64) * 1000, ras.affine, dtype=np.int64), path("int64.nii"))
# A header / image pair, both compressed, with its orientation in the sform;
# and the same name as a plain pair and as a compressed one, each of a
# different picture, which nibabel pairs by their compression.
nib.save(nib.Nifti1Pair(canon[::-1], np.diag([-1.0, 1.0, 1.0, 1.0])), path("pair-gz.img.gz"))
nib.save(nib.Nifti1Pair(canon, ras.affine), path("both.img"))
nib.save(nib.Nifti1Pair(canon * 2, ras.affine), path("both.img.gz"))
for name in ("nifti2.nii", "nifti2.nii.gz", "int64.nii", "pair-gz.img.gz", "time.nii", "both.img", "both.img.gz",
             "both.hdr.gz"):
    expect(name, judged(name, 2))

# ---- NRRD variants without a space, judged by unu's own raw rewrite ----------------
mem = np.arange(W * H * D, dtype=np.int32).reshape(D, H, W)  # frames, rows, columns
mem = ((mem * 37) % 4000 - 2000).astype(np.int16)
le, be = mem.astype("<i2").tobytes(), mem.astype(">i2").tobytes()
junk = b"# twenty-two bytes :-)\n" * 3
head = "NRRD0004\ntype: short\ndimension: 3\nsizes: %d %d %d\n" % (W, H, D)
write("skip-bytes.raw", b"\x07" * 100 + le)
write("skip-bytes.nrrd", head + "endian: little\nencoding: raw\nbyte skip: 100\ndata file: skip-bytes.raw\n")
write("skip-end.raw", b"\x01" * 33 + be)
write("skip-end.nrrd", head + "endian: big\nencoding: raw\nbyte skip: -1\ndata file: skip-end.raw\n")
write("skip-lines.raw", junk + le)
write("skip-lines.nrrd", head + "endian: little\nencoding: raw\nline skip: 3\ndata file: skip-lines.raw\n")
write("skip-lines-cr.raw", junk.replace(b"\n", b"\r") + le)
write("skip-lines-cr.nrrd", head + "endian: little\nencoding: raw\nline skip: 3\ndata file: skip-lines-cr.raw\n")
write("skip-lines-gz.raw", junk + gzip.compress(b"\x05" * 10 + be))
write("skip-lines-gz.nrrd", head + "endian: big\nencoding: gzip\nline skip: 3\nbyte skip: 10\n"
      "data file: skip-lines-gz.raw\n")
write("attached-skip.nrrd", (head + "endian: little\nencoding: raw\nline skip: 1\nbyte skip: 4\n\n").encode() +
      b"text\nABCD" + le)
write("crlf.nrrd", (head + "endian: little\nencoding: raw\n\n").replace("\n", "\r\n").encode() + le)
write("ascii.nrrd", head + "encoding: ascii\n\n" + "\n".join(" ".join(str(v) for v in row) for row in
                                                             mem.reshape(-1, W)) + "\n")
write("hex.nrrd", head + "endian: big\nencoding: hex\n\n" + be.hex() + "\n")
for k in range(D):
    write("slice%02d.raw" % (k + 1), mem[k].astype("<i2").tobytes())
write("pattern.nrrd", head + "endian: little\nencoding: raw\ndata file: slice%02d.raw 1 3 1 2\n")
write("list.nrrd", head + "endian: little\nencoding: raw\ndata file: LIST 2\nslice01.raw\nslice02.raw\nslice03.raw\n")
write("bzip2.nrrd", (head + "endian: big\nencoding: bzip2\n\n").encode() + bz2.compress(be))
write("int64.nrrd", ("NRRD0004\ntype: int64\ndimension: 3\nsizes: %d %d %d\nendian: little\nencoding: gzip\n\n"
                     % (W, H, D)).encode() + gzip.compress(mem.astype("<i8").tobytes()))
# A field behind a lone carriage return (teem ends a line there too).
write("cr-skip.nrrd", (head + "endian: little\nencoding: raw\n# note\rbyte skip: 16\n\n").encode() + b"\x09" * 16 + le)
# The samples at the end of a detached gzip stream.
write("gz-end.raw.gz", gzip.compress(b"a header of another program\n" * 9 + le))
write("gz-end.nrrd", head + "endian: little\nencoding: gzip\nbyte skip: -1\ndata file: gz-end.raw.gz\n")
unu = subprocess.run(["sh", "-c", "command -v teem-unu || command -v unu"], capture_output=True, text=True).stdout.strip()
for name in ("skip-bytes", "skip-end", "skip-lines", "skip-lines-cr", "skip-lines-gz", "attached-skip", "crlf", "ascii",
             "hex", "pattern", "list", "int64", "bzip2", "cr-skip", "gz-end"):
    # unu rewrites the samples as plain doubles (little-endian here): that is the judge.
    run(unu, "convert", "-t", "double", "-i", path(name + ".nrrd"), "-o", path("judge.nrrd"))
    judge = open(path("judge.nrrd"), "rb").read()
    expect(name + ".nrrd", np.frombuffer(judge[judge.index(b"\n\n") + 2:], "<f8").reshape(D, H, W))
os.remove(path("judge.nrrd"))

# ---- MetaImage: 64-bit samples, detached slices, compressed data -------------------
meta = "ObjectType = Image\nNDims = 3\nDimSize = %d %d %d\n" % (W, H, D)
write("long.mha", (meta + "ElementType = MET_LONG_LONG\nElementDataFile = LOCAL\n").encode() + mem.astype("<i8").tobytes())
expect("long.mha", mem)
write("slices.mhd", meta + "ElementType = MET_SHORT\nElementDataFile = LIST\nslice01.raw\nslice02.raw\nslice03.raw\n")
expect("slices.mhd", mem)
write("zraw.zraw", zlib.compress(mem.astype(">u2").tobytes()))
write("zraw.mhd", meta + "ElementType = MET_USHORT\nBinaryDataByteOrderMSB = True\nCompressedData = True\n"
      "ElementDataFile = zraw.zraw\n")
expect("zraw.mhd", mem.astype(np.uint16))
write("pattern.mhd", meta + "ElementType = MET_SHORT\nElementDataFile = slice%02d.raw 1 3 1\n")
expect("pattern.mhd", mem)

# ---- damaged: checksums and streams that do not hold -------------------------------
def spoil(data, at):
    b = bytearray(data)
    b[at] ^= 0x55
    return bytes(b)


gz = open(path("nifti2.nii.gz"), "rb").read()
write("damaged/crc.nii.gz", spoil(gz, len(gz) - 6))           # the gzip trailer's checksum
write("damaged/length.nii.gz", spoil(gz, len(gz) - 2))        # its length
packed = zlib.compress(le)
write("damaged/adler.mha", (meta + "ElementType = MET_SHORT\nCompressedData = True\nElementDataFile = LOCAL\n")
      .encode() + spoil(packed, len(packed) - 1))
write("damaged/cut.nrrd", (head + "endian: little\nencoding: gzip\n\n").encode() + gzip.compress(le)[:-5])
write("damaged/short-ascii.nrrd", head + "encoding: ascii\n\n1 2 3\n")
write("damaged/crc.nrrd", (head + "endian: big\nencoding: gzip\n\n").encode() + spoil(gzip.compress(be), -7))
write("damaged/lines.raw", b"only one line\n")
# The samples at the end of a gzip stream of 100 MB (teem would grow its
# buffer by the samples' size at a time to hold it all).
write("damaged/gz-end-long.raw", gzip.compress(bytes(100 << 20) + le))
write("damaged/gz-end-long.nrrd", head + "endian: little\nencoding: gzip\nbyte skip: -1\n"
      "data file: gz-end-long.raw\n")
# A bzip2 stream longer than the samples whose checksum at its very end is
# wrong (teem stops reading before it).
write("damaged/bzip2-crc.nrrd", (head + "endian: big\nencoding: bzip2\n\n").encode() +
      spoil(bz2.compress(be + b"more of the stream" * 100), -3))
write("damaged/lines.nrrd", head + "endian: little\nencoding: raw\nline skip: 3\ndata file: lines.raw\n")

# ---- refused: what cannot be shown, said by the can-read call too ------------------
write("refused/two.mha", (meta + "ElementType = MET_UCHAR\nElementNumberOfChannels = 2\nElementDataFile = LOCAL\n")
      .encode() + bytes(W * H * D * 2))
c = nib.Nifti1Image(np.zeros((W, H, D), np.complex64), ras.affine)
nib.save(c, path("refused/complex.nii"))
write("refused/block.nrrd", "NRRD0004\ntype: block\nblock size: 4\ndimension: 2\nsizes: 4 4\nencoding: raw\n\n" +
      "x" * 64)
write("refused/outside.nrrd", head + "endian: little\nencoding: raw\ndata file: ../slices.raw\n")
# The same behind a lone carriage return, which teem reads as a line end.
write("refused/cr-outside.nrrd", head + "endian: little\nencoding: raw\n# note\rdata file: ../slices.raw\n")
# A field value longer than teem's message buffer, which it quotes when it
# cannot read it.
write("refused/long-field.nrrd", head + "endian: little\nencoding: raw\nspace: left-posterior-superior\n"
      "space directions: " + "x" * 2000 + "\n\n" + "\0" * (W * H * D * 2))
# A list of two data files of 2D slices for three slices.
write("refused/list-short.nrrd", head + "endian: little\nencoding: raw\ndata file: LIST 2\nslice01.raw\nslice02.raw\n")
# Object paths of the system, which reach shares and devices.
write("refused/unc.mhd", meta + "ElementType = MET_SHORT\nElementDataFile = \\??\\UNC\\host\\share\\x.raw\n")
write("refused/globalroot.nrrd", head + "endian: little\nencoding: raw\n"
      "data file: \\??\\GLOBALROOT\\Device\\Mup\\host\\x.raw\n")
# Runs of data files whose numbers overflow (a division by -1 of the lowest
# number, a last number near the highest).
write("refused/run-min.mhd", meta + "ElementType = MET_SHORT\nElementDataFile = s%d.raw 0 -9223372036854775808 -1\n")
write("refused/run-max.mhd", meta + "ElementType = MET_SHORT\nElementDataFile = s%d.raw 2147483645 2147483647 1\n")
write("refused/run-max.nrrd", head + "endian: little\nencoding: raw\ndata file: s%d.raw 2147483645 2147483647 1\n")
# A single NIfTI file whose samples would start inside its header.
nib.save(nib.Nifti1Image(canon, ras.affine), path("refused/vox0.nii"))
with open(path("refused/vox0.nii"), "r+b") as f:
    f.seek(108)
    f.write(struct.pack("<f", 0))

# ---- huge: small files claiming images far past the decode limit, or past the file ----
def cdf_minc(name, records, size):
    """A MINC 1 header of about 140 bytes: image(time, yspace, xspace) on the
    record dimension, claiming `records` records of size x size bytes."""
    def text(s):
        b = s.encode()
        return struct.pack(">I", len(b)) + b + b"\0" * (-len(b) % 4)
    dims = struct.pack(">II", 0x0A, 3) + text("time") + struct.pack(">I", 0) + \
        text("yspace") + struct.pack(">I", size) + text("xspace") + struct.pack(">I", size)
    var = text("image") + struct.pack(">I", 3) + struct.pack(">III", 0, 1, 2) + struct.pack(">II", 0, 0) + \
        struct.pack(">III", 1, size * size, 0)
    head = b"CDF\x01" + struct.pack(">I", records) + dims + struct.pack(">II", 0, 0) + struct.pack(">II", 0x0B, 1) + var
    return head[:-4] + struct.pack(">I", len(head))


write("huge/records-2e23.mnc", cdf_minc("records", 1 << 23, 1))
write("huge/records-2e30.mnc", cdf_minc("records", 1 << 30, 1))


def gif_frames(count, side):
    """An animation of `count` frames on a square screen, each frame one
    clear code (no pixels), a few bytes each."""
    out = b"GIF89a" + struct.pack("<HHBBB", side, side, 0x80, 0, 0) + b"\0\0\0\xff\xff\xff"
    for _ in range(count):
        out += b"\x21\xf9\x04\x00\x0a\x00\x00\x00"  # 0.1 s each
        out += b"," + struct.pack("<HHHHB", 0, 0, side, side, 0) + b"\x02\x01\x2c\x00"
    return out + b";"


write("huge/frames.gif", gif_frames(100, 2048))


def tiff_pages(count, side):
    """A little-endian TIFF of `count` 32-bit float pages of side x side, all
    of them one deflated strip of zeros."""
    strip = zlib.compress(bytes(side * side * 4), 9)
    out = bytearray(b"II*\0" + struct.pack("<I", 8 + len(strip)) + strip)
    entries = [(256, 4, side), (257, 4, side), (258, 3, 32), (259, 3, 8), (262, 3, 1), (273, 4, 8), (277, 3, 1),
               (278, 4, side), (279, 4, len(strip)), (339, 3, 3)]
    for k in range(count):
        at = len(out)
        nxt = at + 2 + 12 * len(entries) + 4 if k + 1 < count else 0
        out += struct.pack("<H", len(entries))
        for tag, kind, value in entries:
            out += struct.pack("<HHI", tag, kind, 1) + struct.pack("<I" if kind == 4 else "<HH", *(
                (value,) if kind == 4 else (value, 0)))
        out += struct.pack("<I", nxt)
    return bytes(out)


write("huge/pages.tif", tiff_pages(40, 4096))

# ---- large: volumes small on disk and large decoded ------------------------------
# Beside a DICOM series (in the viewer's test): 512 x 512 x 256 16-bit zeros,
# 256 MB when decoded.
os.makedirs(path("large"), exist_ok=True)
with gzip.open(path("large/volume.nii.gz"), "wb") as f:
    h = nib.Nifti1Header()
    h.set_data_shape((512, 512, 256))
    h.set_data_dtype(np.int16)
    h.set_sform(ras.affine, code=1)
    h["vox_offset"] = 352
    f.write(h.binaryblock + b"\0" * 4)
    for _ in range(256):
        f.write(bytes(512 * 512 * 2))

# MINC 2 through h5py: 256^3 bytes, compressed (16 MB as bytes, 64 MB decoded).
with h5py.File(path("large/cube.mnc"), "w") as f:
    z, y, x = np.meshgrid(*(np.arange(256),) * 3, indexing="ij")
    image = f.create_dataset("minc-2.0/image/0/image", data=((x + y + z) % 256).astype("u1"), chunks=(16, 256, 256),
                             compression="gzip")
    image.attrs["dimorder"] = "zspace,yspace,xspace"

# MINC 2 through h5py: an image of 1023 x 512 x 512 bytes never written.
with h5py.File(path("huge/unwritten.mnc"), "w") as f:
    image = f.create_dataset("minc-2.0/image/0/image", shape=(1023, 512, 512), dtype="u1")
    image.attrs["dimorder"] = "zspace,yspace,xspace"
