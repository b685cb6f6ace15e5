#!/usr/bin/python3
"""Writes small DICOM files with layouts that real files in the field have and that GDCM reads,
each beside a control that differs only in that layout. Usage: odd-layouts.py FOLDER
Needs python3-pydicom (2.3), python3-numpy, python3-pil (Debian's, which the bootstrap installs).
The files are named odd-*.dcm; check FOLDER then judges each with pydicom: its pixels are its
control's (the lossless ones) and the source's.

  jpeg-implicit-dataset.dcm  the meta header names JPEG Baseline (explicit VR), but the data set is
                             written implicit VR little endian (some writers do this); GDCM reads it
                             element by element (explicit where a VR code follows the tag, else implicit)
  rle32-un.dcm               standard elements written with explicit VR "UN" (a file re-encoded from an
                             implicit original), a UN sequence of defined length holding implicit-VR
                             items, 32-bit samples in RLE (4 segments a frame)
  rle32-un-1frame.dcm        the same, one frame, an RT Dose with a frame offset vector but no
                             NumberOfFrames (GDCM's image reader asserts on this in a debug build)
  rle32-1frame-control.dcm   that last case with ordinary VRs
  j2k-jp2-boxes.dcm          JPEG 2000 lossless whose fragment holds the JP2 file format (signature,
                             ftyp, jp2h boxes, the codestream in jp2c) instead of a bare codestream
"""
import io
import os
import sys

import numpy as np
from PIL import Image
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.encaps import encapsulate
from pydicom.filebase import DicomBytesIO
from pydicom.filewriter import write_dataset, write_file_meta_info
from pydicom.pixel_data_handlers.rle_handler import rle_encode_frame
from pydicom.uid import JPEGBaseline8Bit, RLELossless, JPEG2000Lossless, generate_uid


def image(sop, rows, cols, spp, bits, pi, frames):
    ds = Dataset()
    ds.SOPClassUID, ds.SOPInstanceUID = sop, generate_uid()
    ds.StudyInstanceUID, ds.SeriesInstanceUID, ds.InstanceNumber = generate_uid(), generate_uid(), 1
    ds.Rows, ds.Columns, ds.SamplesPerPixel, ds.PhotometricInterpretation = rows, cols, spp, pi
    ds.BitsAllocated = ds.BitsStored = bits
    ds.HighBit, ds.PixelRepresentation = bits - 1, 0
    if spp == 3:
        ds.PlanarConfiguration = 0
    ds.PixelData = encapsulate(frames)
    ds["PixelData"].VR, ds["PixelData"].is_undefined_length = "OB", True
    return ds


def save(path, ds, ts, implicit=False):
    """The meta header names ts; the data set is written implicit or explicit as asked."""
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID, meta.MediaStorageSOPInstanceUID = ds.SOPClassUID, ds.SOPInstanceUID
    meta.TransferSyntaxUID, meta.ImplementationClassUID = ts, generate_uid()
    fp = DicomBytesIO()
    fp.is_little_endian = True
    fp.write(b"\0" * 128 + b"DICM")
    write_file_meta_info(fp, meta)
    fp.is_implicit_VR = implicit
    write_dataset(fp, ds)
    open(path, "wb").write(fp.getvalue())


def encoded(arr, fmt, **kw):
    buf = io.BytesIO()
    Image.fromarray(arr).save(buf, fmt, **kw)
    return buf.getvalue()


def rtdose(path, nframes, un, no_frame_count=False):
    px = np.arange(nframes * 64, dtype=np.uint32).reshape(nframes, 8, 8) * 70001 + 123456
    ds = image("1.2.840.10008.5.1.4.1.1.481.2", 8, 8, 1, 32, "MONOCHROME2", [rle_encode_frame(f) for f in px])
    ds.Modality, ds.DoseUnits, ds.DoseGridScaling, ds.SliceThickness = "RTDOSE", "GY", "1e-6", ""
    ds.FrameIncrementPointer, ds.GridFrameOffsetVector = 0x3004000C, ["0", "5", "10"][:max(nframes, 2)]
    if not no_frame_count:
        ds.NumberOfFrames = nframes
    if un:
        ds["SliceThickness"].VR = "UN"
        item = Dataset()
        item.ReferencedSOPClassUID, item.ReferencedSOPInstanceUID = "1.2.840.10008.5.1.4.1.1.481.5", generate_uid()
        f = DicomBytesIO()
        f.is_little_endian = f.is_implicit_VR = True
        write_dataset(f, item)
        body = f.getvalue()
        ds.add_new(0x300C0002, "OB", b"\xfe\xff\x00\xe0" + len(body).to_bytes(4, "little") + body)
        ds[0x300C0002].VR = "UN"
    save(path, ds, RLELossless)


def main(out):
    os.makedirs(out, exist_ok=True)
    p = lambda name: os.path.join(out, "odd-" + name)
    rgb = np.zeros((64, 64, 3), np.uint8)
    rgb[..., 0] = np.arange(64)[:, None] * 4
    rgb[16:48, 16:48, 2] = 255
    for name, implicit in (("jpeg-implicit-dataset.dcm", True), ("jpeg-control.dcm", False)):
        ds = image("1.2.840.10008.5.1.4.1.1.7", 64, 64, 3, 8, "YBR_FULL_422",
                   [encoded(rgb, "JPEG", quality=95, subsampling=1)])
        save(p(name), ds, JPEGBaseline8Bit, implicit)
    rtdose(p("rle32-un.dcm"), 3, True)
    rtdose(p("rle32-control.dcm"), 3, False)
    rtdose(p("rle32-un-1frame.dcm"), 1, True, no_frame_count=True)
    rtdose(p("rle32-1frame-control.dcm"), 1, False, no_frame_count=True)
    rgb2 = np.zeros((40, 48, 3), np.uint8)
    rgb2[:, :16, 0] = rgb2[:, 16:32, 1] = rgb2[:, 32:, 2] = 255
    for name, boxes in (("j2k-jp2-boxes.dcm", True), ("j2k-control.dcm", False)):
        ds = image("1.2.840.10008.5.1.4.1.1.7", 40, 48, 3, 8, "YBR_RCT",
                   [encoded(rgb2, "JPEG2000", irreversible=False, mct=1, no_jp2=not boxes)])
        save(p(name), ds, JPEG2000Lossless)


def check(out):
    """pydicom's reading of each odd layout: the pixels of its control (the JPEG ones within 2 of them)."""
    from pydicom import dcmread
    pairs = (("jpeg-implicit-dataset", "jpeg-control", 2), ("rle32-un", "rle32-control", 0),
             ("rle32-un-1frame", "rle32-1frame-control", 0), ("j2k-jp2-boxes", "j2k-control", 0))
    for odd, control, tol in pairs:
        a = dcmread(os.path.join(out, "odd-%s.dcm" % odd)).pixel_array.astype(np.int64)
        b = dcmread(os.path.join(out, "odd-%s.dcm" % control)).pixel_array.astype(np.int64)
        assert a.shape == b.shape and np.abs(a - b).max() <= tol, odd
    px = dcmread(os.path.join(out, "odd-rle32-control.dcm")).pixel_array
    assert (px == np.arange(3 * 64, dtype=np.uint32).reshape(3, 8, 8) * 70001 + 123456).all()


if __name__ == "__main__":
    if sys.argv[1:2] == ["check"]:
        check(sys.argv[2])
    else:
        main(sys.argv[1] if len(sys.argv) > 1 else ".")
