#!/usr/bin/python3
"""Variants of the other medical formats, written with nibabel, by hand, or by
the formats' own tools (unu, rawtominc, ncgen), each with its expected
display (float32, top-down rows, frames in order) judged by an outside reader:
nibabel for NIfTI, teem's unu for NRRD. Usage: formats.py OUTDIR"""
import bz2
import gzip
import os
import struct
import subprocess
import sys
import zlib

import nibabel as nib
import numpy as np
from nibabel.orientations import axcodes2ornt, ornt_transform

W, H, D = 20, 12, 3
out = sys.argv[1]
for sub in ("", "damaged", "refused"):
    os.makedirs(os.path.join(out, sub), exist_ok=True)


def path(name):
    return os.path.join(out, name)


def write(name, data):
    with open(path(name), "wb") as f:
        f.write(data.encode() if isinstance(data, str) else data)


def expect(name, frames):
    """frames: array [frame][row][column] as it must be shown."""
    write(name + ".expected", np.ascontiguousarray(frames, dtype="<f4").tobytes())


def shown_from_ras(canon):
    """A volume in right-anterior-superior index order, as the library shows
    it: columns to the left, rows to the back, frames upwards."""
    return np.transpose(canon[::-1, ::-1, :], (2, 1, 0))


def run(*cmd, stdin=None):
    subprocess.run(cmd, check=True, stdin=stdin, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


# One anatomy with a marker in one corner, indexed [right, anterior, superior].
x, y, z = np.meshgrid(np.arange(W), np.arange(H), np.arange(D), indexing="ij")
canon = ((x * 3 + y * 7 + z * 11) % 200 - 50).astype(np.int16)
canon[1, 2, 0] = 900
ras = nib.Nifti1Image(canon, np.diag([1.0, 1.0, 1.0, 1.0]))
shown = shown_from_ras(canon)

# ---- the anatomy stored in several orientations ---------------------------------
for code in ("RAS", "LAS", "LPS", "RPI", "ASR", "PIL"):
    img = ras.as_reoriented(ornt_transform(axcodes2ornt("RAS"), axcodes2ornt(tuple(code))))
    data, aff = np.asanyarray(img.dataobj), img.affine
    # NIfTI: the sform, or the qform only.
    for kind in ("sform", "qform"):
        n = nib.Nifti1Image(data, None)
        n.set_sform(aff if kind == "sform" else None, code=2 if kind == "sform" else 0)
        n.set_qform(aff if kind == "qform" else None, code=1 if kind == "qform" else 0)
        name = "orient-%s-%s.nii" % (code, kind)
        nib.save(n, path(name))
        expect(name, shown_from_ras(np.asanyarray(nib.as_closest_canonical(nib.load(path(name))).dataobj)))
    # NRRD in a right-anterior-superior and a left-posterior-superior space.
    raw = data.astype("<i2").tobytes(order="F")
    for space, sign in (("right-anterior-superior", (1, 1, 1)), ("left-posterior-superior", (-1, -1, 1))):
        dirs = " ".join("(%g,%g,%g)" % tuple(aff[r, a] * sign[r] for r in range(3)) for a in range(3))
        name = "orient-%s-%s.nrrd" % (code, space[0])
        write(name, ("NRRD0004\ntype: short\ndimension: 3\nspace: %s\nsizes: %d %d %d\nspace directions: %s\n"
                     "endian: little\nencoding: raw\n\n" % ((space,) + data.shape + (dirs,))).encode() + raw)
        expect(name, shown)
    # MetaImage: the matrix in the left-posterior-superior frame, one axis after the other.
    lps = [aff[r, a] * (-1 if r < 2 else 1) for a in range(3) for r in range(3)]
    name = "orient-%s.mha" % code
    write(name, ("ObjectType = Image\nNDims = 3\nTransformMatrix = %s\nDimSize = %d %d %d\nElementType = MET_SHORT\n"
                 "ElementDataFile = LOCAL\n" % ((" ".join("%g" % v for v in lps),) + data.shape)).encode() + raw)
    expect(name, shown)

# MINC 1 by rawtominc: right-anterior-superior steps, flipped steps, and sagittal slices.
if subprocess.run(["sh", "-c", "command -v rawtominc"], stdout=subprocess.DEVNULL).returncode == 0:
    for name, array, opts in (
            ("minc-ras.mnc", canon, []),
            ("minc-flipped.mnc", canon[::-1, ::-1, :], ["-xstep", "-1", "-ystep", "-1"]),
            ("minc-sagittal.mnc", canon, ["-sagittal"]),
            ("minc-2.mnc", canon, ["-2"]),
            ("minc-2-sagittal.mnc", canon, ["-2", "-sagittal"])):
        order = (0, 2, 1) if "-sagittal" in opts else (2, 1, 0)  # slowest first, as rawtominc reads
        stored = np.ascontiguousarray(np.transpose(array, order)).astype("<i2")  # rawtominc reads native order
        shape = [str(s) for s in stored.shape]
        with open(path(name + ".raw"), "wb") as f:
            f.write(stored.tobytes())
        with open(path(name + ".raw"), "rb") as f:
            run("rawtominc", "-clobber", "-short", "-signed", *opts, path(name), *shape, stdin=f)
        os.remove(path(name + ".raw"))
        expect(name, shown)
    # MINC 2 as h5py sees it: the samples rawtominc was given, in its dimension order.
    import h5py
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
expect("minc-records.mnc", np.concatenate([shown_from_ras(v) for v in vol]))

# ---- NIfTI-2, a time axis, 64-bit samples (judged by nibabel) -------------------
n2 = nib.Nifti2Image(canon, ras.affine)
nib.save(n2, path("nifti2.nii"))
nib.save(nib.Nifti2Image(canon.astype(np.float32) / 4, ras.affine), path("nifti2.nii.gz"))
four = np.stack([canon, (canon.astype(np.int32) * 2).astype(np.int16)], axis=3)
nib.save(nib.Nifti1Image(four, ras.affine), path("time.nii"))
nib.save(nib.Nifti1Image(canon.astype(np.int64) * 1000, ras.affine, dtype=np.int64), path("int64.nii"))
# A header / image pair, both compressed, with its orientation in the sform.
nib.save(nib.Nifti1Pair(canon[::-1], np.diag([-1.0, 1.0, 1.0, 1.0])), path("pair-gz.img.gz"))
for name in ("nifti2.nii", "nifti2.nii.gz", "int64.nii", "pair-gz.img.gz"):
    expect(name, shown_from_ras(np.asanyarray(nib.as_closest_canonical(nib.load(path(name))).get_fdata())))
t = nib.as_closest_canonical(nib.load(path("time.nii"))).get_fdata()
expect("time.nii", np.concatenate([shown_from_ras(t[..., k]) for k in range(t.shape[3])]))

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
unu = subprocess.run(["sh", "-c", "command -v teem-unu || command -v unu"], capture_output=True, text=True).stdout.strip()
for name in ("skip-bytes", "skip-end", "skip-lines", "skip-lines-gz", "attached-skip", "crlf", "ascii", "hex",
             "pattern", "list", "int64", "bzip2"):
    # unu rewrites the samples as plain doubles (little-endian here): that is the judge.
    run(unu, "convert", "-t", "double", "-i", path(name + ".nrrd"), "-o", path("judge.nrrd"))
    judged = open(path("judge.nrrd"), "rb").read()
    expect(name + ".nrrd", np.frombuffer(judged[judged.index(b"\n\n") + 2:], "<f8").reshape(D, H, W))
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
write("damaged/lines.nrrd", head + "endian: little\nencoding: raw\nline skip: 3\ndata file: lines.raw\n")

# ---- refused: what cannot be shown, said by the can-read call too ------------------
write("refused/two.mha", (meta + "ElementType = MET_UCHAR\nElementNumberOfChannels = 2\nElementDataFile = LOCAL\n")
      .encode() + bytes(W * H * D * 2))
c = nib.Nifti1Image(np.zeros((W, H, D), np.complex64), ras.affine)
nib.save(c, path("refused/complex.nii"))
write("refused/block.nrrd", "NRRD0004\ntype: block\nblock size: 4\ndimension: 2\nsizes: 4 4\nencoding: raw\n\n" +
      "x" * 64)
write("refused/outside.nrrd", head + "endian: little\nencoding: raw\ndata file: ../slices.raw\n")
