#!/usr/bin/env python3
"""Test inputs and judges for Quillfen: raw pixel data and dump2dcm scripts,
and comparisons of written pictures with reference pictures."""
import struct
import sys
import zlib


def write(path, data):
    if isinstance(data, str):
        data = data.encode("ascii")
    with open(path, "wb") as f:
        f.write(data)


HEADER = """(0002,0002) UI =SecondaryCaptureImageStorage
(0002,0003) UI [1.2.826.0.1.3680043.9.7433.1.{uid}]
(0002,0010) UI =LittleEndianExplicit
(0008,0016) UI =SecondaryCaptureImageStorage
(0008,0018) UI [1.2.826.0.1.3680043.9.7433.1.{uid}]
(0008,0060) CS [OT]
(0010,0010) PN [Test^{name}]
(0020,000d) UI [1.2.826.0.1.3680043.9.7433.2.1]
(0020,000e) UI [1.2.826.0.1.3680043.9.7433.3.{series}]
(0020,0013) IS [{instance}]
(0028,0002) US {spp}
(0028,0004) CS [{pi}]
(0028,0010) US {rows}
(0028,0011) US {cols}
(0028,0100) US {ba}
(0028,0101) US {bs}
(0028,0102) US {hb}
(0028,0103) US {pr}
"""


def dump(name, uid, rows, cols, spp, pi, ba, bs, pr, raw, extra="", series=1, instance=1, vr="OW"):
    text = HEADER.format(uid=uid, name=name, rows=rows, cols=cols, spp=spp, pi=pi, ba=ba, bs=bs, hb=bs - 1,
                         pr=pr, series=series, instance=instance)
    text += extra
    text += "(7fe0,0010) %s =%s\n" % (vr, raw)
    return text


def make(out):
    W, H = 64, 48
    # CT-like: signed 16-bit, three frames, rescale and a window.
    px = []
    for f in range(3):
        for y in range(H):
            for x in range(W):
                px.append((x * 37 + y * 11 + f * 500) % 4000 - 1000)
    write(out + "/ct16.raw", struct.pack("<%dh" % len(px), *px))
    write(out + "/ct16.dump", dump("CT", 1, H, W, 1, "MONOCHROME2", 16, 16, 1, "ct16.raw",
                                   "(0028,0008) IS [3]\n(0028,1050) DS [40]\n(0028,1051) DS [400]\n"
                                   "(0028,1052) DS [-1024]\n(0028,1053) DS [1]\n"))
    # MR-like: unsigned 12 bits stored in 16, no window.
    px = [(x * 64 + y * 7) % 4096 for y in range(H) for x in range(W)]
    write(out + "/mr12.raw", struct.pack("<%dH" % len(px), *px))
    write(out + "/mr12.dump", dump("MR", 2, H, W, 1, "MONOCHROME2", 16, 12, 0, "mr12.raw"))
    # 8-bit grey covering 0..255.
    px = bytes(((x * 4 + y) % 256) if (x, y) != (0, 0) else 0 for y in range(H) for x in range(W))
    write(out + "/g8.raw", px)
    write(out + "/g8.dump", dump("G8", 3, H, W, 1, "MONOCHROME2", 8, 8, 0, "g8.raw", vr="OB"))
    write(out + "/m1.dump", dump("M1", 4, H, W, 1, "MONOCHROME1", 8, 8, 0, "g8.raw", vr="OB"))
    # RGB, interleaved.
    px = bytes(v for y in range(H) for x in range(W) for v in ((x * 4) % 256, (y * 5) % 256, (x * y) % 256))
    write(out + "/rgb.raw", px)
    write(out + "/rgb.dump", dump("RGB", 5, H, W, 3, "RGB", 8, 8, 0, "rgb.raw", "(0028,0006) US 0\n", vr="OB"))
    # Palette colour with 16-bit entries.
    lut = lambda f: struct.pack("<256H", *[(f(i) * 257) & 0xFFFF for i in range(256)])
    write(out + "/lr.raw", lut(lambda i: i))
    write(out + "/lg.raw", lut(lambda i: 255 - i))
    write(out + "/lb.raw", lut(lambda i: (i * 3) % 256))
    px = bytes((x * 4 + y) % 256 for y in range(H) for x in range(W))
    write(out + "/pal.raw", px)
    write(out + "/pal.dump", dump("PAL", 6, H, W, 1, "PALETTE COLOR", 8, 8, 0, "pal.raw",
                                  "(0028,1101) US 256\\0\\16\n(0028,1102) US 256\\0\\16\n(0028,1103) US 256\\0\\16\n"
                                  "(0028,1201) OW =lr.raw\n(0028,1202) OW =lg.raw\n(0028,1203) OW =lb.raw\n",
                                  vr="OB"))
    # Character sets and sequences for the tag tree.
    latin = "(0008,0005) CS [ISO_IR 100]\n"
    write(out + "/latin1.dump", (dump("x", 7, 2, 2, 1, "MONOCHROME2", 8, 8, 0, "tiny.raw", latin, vr="OB")
                                 .replace("[Test^x]", "[M\xfcller^Ren\xe9]")).encode("latin-1"))
    utf8 = "(0008,0005) CS [ISO_IR 192]\n"
    seq = ("(0008,1140) SQ (Sequence with undefined length #=2)\n"
           "(fffe,e000) na (Item with undefined length #=2)\n"
           "(0008,1150) UI [1.2.3]\n"
           "(0040,a730) SQ (Sequence with undefined length #=1)\n"
           "(fffe,e000) na (Item with undefined length #=1)\n"
           "(0040,a160) UT [Inner \u00e5 text]\n"
           "(fffe,e00d) na (ItemDelimitationItem)\n"
           "(fffe,e0dd) na (SequenceDelimitationItem)\n"
           "(fffe,e00d) na (ItemDelimitationItem)\n"
           "(fffe,e000) na (Item with undefined length #=1)\n"
           "(0008,1150) UI [1.2.4]\n"
           "(fffe,e00d) na (ItemDelimitationItem)\n"
           "(fffe,e0dd) na (SequenceDelimitationItem)\n")
    vrs = ("(0008,0020) DA [20240131]\n(0008,0030) TM [101112]\n(0008,0050) SH [\u00c5CC]\n"
           "(0008,0054) AE [STORE]\n(0008,0080) LO [Kl\u00ednik \u65e5\u672c]\n(0008,0201) SH [+0100]\n"
           "(0010,1010) AS [042Y]\n(0010,1030) DS [72.5]\n(0018,1020) LO [v1]\n(0020,0012) IS [7]\n"
           "(0008,002a) DT [20240131101112]\n(0028,0009) AT (0018,1063)\n"
           "(0018,0088) DS [1.5]\n(0018,9087) FD 1000.5\n(0018,9089) FD 1\\0\\0\n(0018,1063) DS [33.3]\n"
           "(0020,0020) CS [L\\P]\n(0040,0254) LO [St\u00fcdie]\n(0032,4000) LT [Line \u00e9]\n"
           "(0008,0081) ST [Str\u00e8et]\n(0018,6024) US 3\n(0018,6020) SL -5\n(0028,0106) SS -7\n"
           "(0018,9219) SS -2\n(0018,6022) UL 70000\n(0018,9445) FL 2.5\n")
    write(out + "/utf8.dump", (dump("x", 8, 2, 2, 1, "MONOCHROME2", 8, 8, 0, "tiny.raw", utf8 + vrs + seq, vr="OB")
                               .replace("[Test^x]", "[\u5c71\u7530^\u592a\u90ce]")).encode("utf-8"))
    write(out + "/tiny.raw", bytes([0, 64, 128, 255]))
    # A dose grid: 16-bit values rescaled by a tiny slope into a span of 0.001, no window.
    px = [(x * 16 + y * 3) % 1001 for y in range(H) for x in range(W)]
    px[0], px[1] = 0, 1000
    write(out + "/dose.raw", struct.pack("<%dH" % len(px), *px))
    write(out + "/dose.dump", dump("DOSE", 9, H, W, 1, "MONOCHROME2", 16, 16, 0, "dose.raw",
                                   "(0028,1052) DS [0]\n(0028,1053) DS [0.000001]\n"))
    # 16-bit and 32-bit RGB, interleaved; the high byte of each sample is the picture.
    hi = [((x * 4) % 256, (y * 5) % 256, (x * y) % 256) for y in range(H) for x in range(W)]
    write(out + "/rgb16.raw", struct.pack("<%dH" % (3 * W * H), *[v << 8 | (v ^ 0x5A) for p in hi for v in p]))
    write(out + "/rgb16.dump", dump("RGB16", 10, H, W, 3, "RGB", 16, 16, 0, "rgb16.raw", "(0028,0006) US 0\n"))
    write(out + "/rgb32.raw", struct.pack("<%dI" % (3 * W * H), *[v << 24 | 0x123456 for p in hi for v in p]))
    write(out + "/rgb32.dump", dump("RGB32", 11, H, W, 3, "RGB", 32, 32, 0, "rgb32.raw", "(0028,0006) US 0\n",
                                    vr="OB"))
    write(out + "/rgb-hi.raw", bytes(v for p in hi for v in p))
    # A grey picture with a 4 x 4 palette colour icon (0088,0200), whose tables are those of pal.
    write(out + "/icon-px.raw", bytes(range(0, 256, 16)))
    icon = ("(0088,0200) SQ (Sequence with undefined length #=1)\n"
            "(fffe,e000) na (Item with undefined length #=1)\n"
            "(0028,0002) US 1\n(0028,0004) CS [PALETTE COLOR]\n(0028,0010) US 4\n(0028,0011) US 4\n"
            "(0028,0100) US 8\n(0028,0101) US 8\n(0028,0102) US 7\n(0028,0103) US 0\n"
            "(0028,1101) US 256\\0\\16\n(0028,1102) US 256\\0\\16\n(0028,1103) US 256\\0\\16\n"
            "(0028,1201) OW =lr.raw\n(0028,1202) OW =lg.raw\n(0028,1203) OW =lb.raw\n"
            "(7fe0,0010) OB =icon-px.raw\n"
            "(fffe,e00d) na (ItemDelimitationItem)\n"
            "(fffe,e0dd) na (SequenceDelimitationItem)\n")
    write(out + "/icon.dump", dump("ICON", 13, H, W, 1, "MONOCHROME2", 8, 8, 0, "g8.raw", icon, vr="OB"))
    # 4:2:2 colour with an odd number of pixels (5 x 3): pairs Y1 Y2 Cb Cr, the last one cut short.
    ybr = bytes((40 * i + k * 7) % 256 for i in range(8) for k in range(4))
    write(out + "/ybr422.raw", ybr[:30])
    write(out + "/ybr422.dump", dump("YBR", 12, 3, 5, 3, "YBR_FULL_422", 8, 8, 0, "ybr422.raw",
                                     "(0028,0006) US 0\n", vr="OB"))
    # A 15-frame 32-bit dose grid (for RLE), signed 12-bit samples in 16 bits
    # (negative values sign-extended, as writers store them), a larger grey
    # picture to borrow compressed streams from.
    px = [(x * 1000 + y * 70000 + f * 3000000) for f in range(15) for y in range(12) for x in range(20)]
    write(out + "/dose32.raw", struct.pack("<%dI" % len(px), *px))
    write(out + "/dose32.dump", dump("DOSE32", 14, 12, 20, 1, "MONOCHROME2", 32, 32, 0, "dose32.raw",
                                     "(0028,0008) IS [15]\n(3004,000e) DS [0.0001]\n"))
    px = [(x * 97 + y * 31) % 4096 - 2048 for y in range(H) for x in range(W)]
    write(out + "/ct12s.raw", struct.pack("<%dh" % len(px), *px))
    write(out + "/ct12s.values", " ".join(map(str, px)))
    write(out + "/ct12s.dump", dump("CT12", 15, H, W, 1, "MONOCHROME2", 16, 12, 1, "ct12s.raw"))
    write(out + "/big8.raw", bytes((x + 3 * y) % 256 for y in range(2 * H) for x in range(2 * W)))
    write(out + "/big8.dump", dump("BIG", 16, 2 * H, 2 * W, 1, "MONOCHROME2", 8, 8, 0, "big8.raw", vr="OB"))
    # A folder with one series stored out of order and a stranger.
    import os
    os.makedirs(out + "/series", exist_ok=True)
    for name, inst, series in (("a", 3, 77), ("b", 1, 77), ("c", 2, 77), ("d", 4, 78)):
        write(out + "/series/%s.raw" % name, bytes(inst * 40 + x % 8 for y in range(H) for x in range(W)))
        write(out + "/series/%s.dump" % name, dump(name, 100 + inst, H, W, 1, "MONOCHROME2", 8, 8, 0, "%s.raw" % name,
                                                  "(0028,1050) DS [128]\n(0028,1051) DS [256]\n", series=series,
                                                  instance=inst, vr="OB"))


def read_bmp(path):
    d = open(path, "rb").read()
    assert d[:2] == b"BM", path
    off, = struct.unpack_from("<I", d, 10)
    w, h = struct.unpack_from("<ii", d, 18)
    bpp, = struct.unpack_from("<H", d, 28)
    top = h < 0
    h = abs(h)
    stride = ((w * bpp + 31) // 32) * 4
    rows = []
    for y in range(h):
        r = d[off + stride * (y if top else h - 1 - y):][: w * bpp // 8]
        if bpp == 24:
            r = bytes(v for i in range(w) for v in (r[3 * i + 2], r[3 * i + 1], r[3 * i]))
        elif bpp == 8:
            pal = d[14 + struct.unpack_from("<I", d, 14)[0]:]
            if any(pal[4 * i] != i for i in range(256)):
                r = bytes(pal[4 * v + 2] for v in r)
        rows.append(r)
    return w, h, 3 if bpp == 24 else 1, b"".join(rows)


def read_pnm(path):
    d = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 4:
        while d[pos:pos + 1].isspace():
            pos += 1
        if d[pos:pos + 1] == b"#":
            pos = d.index(b"\n", pos)
            continue
        end = pos
        while not d[end:end + 1].isspace():
            end += 1
        fields.append(d[pos:end])
        pos = end
    pos += 1
    magic, w, h, mx = fields[0], int(fields[1]), int(fields[2]), int(fields[3])
    c = 3 if magic == b"P6" else 1
    return w, h, c, d[pos:pos + w * h * c]


def read_png(path):
    d = open(path, "rb").read()
    assert d[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat, w = 8, b"", 0
    while pos < len(d):
        n, = struct.unpack_from(">I", d, pos)
        t = d[pos + 4:pos + 8]
        body = d[pos + 8:pos + 8 + n]
        if t == b"IHDR":
            w, h, bd, ct = struct.unpack_from(">IIBB", body)
            c = {0: 1, 2: 3}[ct]
        elif t == b"IDAT":
            idat += body
        pos += 12 + n
    raw = zlib.decompress(idat)
    stride = w * c
    out = b""
    for y in range(h):
        assert raw[y * (stride + 1)] == 0
        out += raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)]
    return w, h, c, out


def read_any(path):
    if path.endswith(".bmp"):
        return read_bmp(path)
    if path.endswith(".png"):
        return read_png(path)
    if path.endswith(".raw"):
        return None
    return read_pnm(path)


def compare(a, b, tol):
    A, B = read_any(a), read_any(b)
    if A[:3] != B[:3]:
        print("size differs: %s %s" % (A[:3], B[:3]))
        return 1
    worst = max((abs(x - y) for x, y in zip(A[3], B[3])), default=0)
    print("%s vs %s: max difference %d" % (a, b, worst))
    return 0 if worst <= tol else 1


def compare_raw(picture, raw):
    A = read_any(picture)
    data = open(raw, "rb").read()
    if len(data) == len(A[3]) + 1 and data[-1] == 0:
        data = data[:-1]  # the even-length padding of the pixel data
    if A[3] != data:
        print("%s differs from %s (%d vs %d bytes)" % (picture, raw, len(A[3]), len(data)))
        return 1
    return 0


if __name__ == "__main__":
    cmd = sys.argv[1]
    if cmd == "make":
        make(sys.argv[2])
    elif cmd == "compare":
        sys.exit(compare(sys.argv[2], sys.argv[3], int(sys.argv[4])))
    elif cmd == "compare-raw":
        sys.exit(compare_raw(sys.argv[2], sys.argv[3]))
    elif cmd == "pixels":
        w, h, c, px = read_any(sys.argv[2])
        write(sys.argv[3], px)


def make_formats(out):
    """Volumes in the other medical formats, with the expected values (frames,
    rows and columns as int32, then float32 values, top-down rows as shown)
    beside each."""
    import gzip
    import os
    os.makedirs(out, exist_ok=True)
    W, H, D = 20, 12, 3
    vals = [[[(x * 3 + y * 7 + z * 11) % 200 - 50 for x in range(W)] for y in range(H)] for z in range(D)]

    def flat(v, flip=False, mirror=False):
        return [v[z][(H - 1 - y) if flip else y][(W - 1 - x) if mirror else x]
                for z in range(D) for y in range(H) for x in range(W)]

    def expect(name, values):
        write(out + "/" + name + ".expected", struct.pack("<3i%df" % len(values), D, H, W, *values))

    # MetaImage: local data, compressed local data, and a detached big-endian file.
    data = struct.pack("<%dh" % (W * H * D), *flat(vals))
    hdr = "ObjectType = Image\nNDims = 3\nDimSize = %d %d %d\nElementType = MET_SHORT\n" % (W, H, D)
    write(out + "/local.mha", (hdr + "ElementDataFile = LOCAL\n").encode() + data)
    write(out + "/packed.mha", (hdr + "CompressedData = True\nElementDataFile = LOCAL\n").encode() + zlib.compress(data))
    expect("local.mha", flat(vals))
    expect("packed.mha", flat(vals))
    u = [[[v + 50 for v in row] for row in sl] for sl in vals]
    write(out + "/detached.raw", struct.pack(">%dH" % (W * H * D), *flat(u)))
    write(out + "/detached.mhd", "ObjectType = Image\nNDims = 3\nDimSize = %d %d %d\nElementType = MET_USHORT\n"
          "BinaryDataByteOrderMSB = True\nElementDataFile = detached.raw\n" % (W, H, D))
    expect("detached.mhd", flat(u))

    def nifti_header(datatype, bitpix, magic, vox, slope=0.0, inter=0.0, endian="<"):
        h = bytearray(348)
        struct.pack_into(endian + "i", h, 0, 348)
        struct.pack_into(endian + "8h", h, 40, 3, W, H, D, 1, 1, 1, 1)
        struct.pack_into(endian + "hh", h, 70, datatype, bitpix)
        struct.pack_into(endian + "8f", h, 76, 1, 1, 1, 1, 0, 0, 0, 0)
        struct.pack_into(endian + "fff", h, 108, vox, slope, inter)
        h[344:348] = magic
        return bytes(h)

    # NIfTI-1 single file with a scale, the same compressed as float, a pair, and Analyze big endian.
    write(out + "/scaled.nii", nifti_header(4, 16, b"n+1\0", 352, 2.0, -10.0) + b"\0" * 4 +
          struct.pack("<%dh" % (W * H * D), *flat(vals)))
    expect("scaled.nii", [v * 2.0 - 10 for v in flat(vals, True)])
    with gzip.open(out + "/float.nii.gz", "wb") as f:
        f.write(nifti_header(16, 32, b"n+1\0", 352) + b"\0" * 4 + struct.pack("<%df" % (W * H * D), *[v / 4 for v in flat(vals)]))
    expect("float.nii.gz", [v / 4 for v in flat(vals, True)])
    write(out + "/pair.hdr", nifti_header(2, 8, b"ni1\0", 0))
    write(out + "/pair.img", bytes(v + 50 for v in flat(vals)))
    expect("pair.hdr", [v + 50 for v in flat(vals, True)])
    expect("pair.img", [v + 50 for v in flat(vals, True)])
    write(out + "/analyze.hdr", nifti_header(4, 16, b"\0\0\0\0", 0, endian=">"))
    write(out + "/analyze.img", struct.pack(">%dh" % (W * H * D), *flat(vals)))
    expect("analyze.img", flat(vals, True))

    # NRRD, raw and gzip.
    write(out + "/plain.nrrd", ("NRRD0004\ntype: short\ndimension: 3\nsizes: %d %d %d\nendian: little\n"
                                "encoding: raw\n\n" % (W, H, D)).encode() + data)
    expect("plain.nrrd", flat(vals))
    write(out + "/zipped.nrrd", ("NRRD0004\ntype: float\ndimension: 3\nsizes: %d %d %d\nendian: big\n"
                                 "encoding: gzip\n\n" % (W, H, D)).encode() +
          gzip.compress(struct.pack(">%df" % (W * H * D), *[v / 4 for v in flat(vals)])))
    expect("zipped.nrrd", [v / 4 for v in flat(vals)])
    # Raw slices for the outside writers (unu, rawtominc).
    write(out + "/slices.raw", struct.pack(">%dh" % (W * H * D), *flat(vals)))
    write(out + "/slices-le.raw", struct.pack("<%dh" % (W * H * D), *flat(vals)))
    expect("unu.nrrd", flat(vals))
    expect("unu-gz.nrrd", flat(vals))
    # Its world axes run right, anterior, superior: shown mirrored and flipped.
    expect("rawtominc.mnc", flat(vals, True, True))


if __name__ == "__main__" and sys.argv[1] == "formats":
    make_formats(sys.argv[2])


# ---- files assembled from the bytes of others (explicit little endian) ------

def element(g, e, vr, value):
    if len(value) % 2:
        value += b"\0" if vr in ("OB", "UI") else b" "
    if vr in ("OB", "OW", "SQ", "UN", "UT"):
        return struct.pack("<HH2sHI", g, e, vr.encode(), 0, len(value)) + value
    return struct.pack("<HH2sH", g, e, vr.encode(), len(value)) + value


def pixel_data_at(d):
    """Where the pixel data element of a file made by dcmtk or GDCM starts: its last one."""
    for vr in (b"OB", b"OW"):
        at = d.rfind(b"\xe0\x7f\x10\x00" + vr)
        if at > 0:
            return at
    raise SystemExit("no pixel data")


def with_before_pixels(path, extra, out):
    d = open(path, "rb").read()
    at = pixel_data_at(d)
    write(out, d[:at] + extra + d[at:])


def decoy(base, stream_from, out):
    """base with a private element (before its pixel data) holding the whole
    pixel data element of stream_from: a harmless look-alike of the real one."""
    d = open(stream_from, "rb").read()
    fake = d[pixel_data_at(d):]
    with_before_pixels(base, element(0x0009, 0x0010, "LO", b"DECOY") + element(0x0009, 0x1001, "OB", fake), out)


def swap_pixels(base, stream_from, out):
    """base with the pixel data element of stream_from in place of its own."""
    d, s = open(base, "rb").read(), open(stream_from, "rb").read()
    write(out, d[:pixel_data_at(d)] + s[pixel_data_at(s):])


def icon(base, icon_from, rows, cols, out):
    """base with an icon image sequence whose one item holds the (compressed)
    pixel data of icon_from, described as rows x cols 8-bit grey."""
    s = open(icon_from, "rb").read()
    us = lambda v: struct.pack("<H", v)
    item = (element(0x0028, 0x0002, "US", us(1)) + element(0x0028, 0x0004, "CS", b"MONOCHROME2") +
            element(0x0028, 0x0010, "US", us(rows)) + element(0x0028, 0x0011, "US", us(cols)) +
            element(0x0028, 0x0100, "US", us(8)) + element(0x0028, 0x0101, "US", us(8)) +
            element(0x0028, 0x0102, "US", us(7)) + element(0x0028, 0x0103, "US", us(0)) + s[pixel_data_at(s):])
    seq = (struct.pack("<HH2sHI", 0x0088, 0x0200, b"SQ", 0, 0xFFFFFFFF) + struct.pack("<HHI", 0xFFFE, 0xE000, 0xFFFFFFFF) +
           item + struct.pack("<HHI", 0xFFFE, 0xE00D, 0) + struct.pack("<HHI", 0xFFFE, 0xE0DD, 0))
    with_before_pixels(base, seq, out)


def nested(base, depth, out):
    """base with a private sequence nested depth deep, each level one item of undefined length."""
    head = element(0x0009, 0x0010, "LO", b"NEST")
    opening = struct.pack("<HH2sHI", 0x0009, 0x1001, b"SQ", 0, 0xFFFFFFFF) + struct.pack("<HHI", 0xFFFE, 0xE000, 0xFFFFFFFF)
    closing = struct.pack("<HHI", 0xFFFE, 0xE00D, 0) + struct.pack("<HHI", 0xFFFE, 0xE0DD, 0)
    with_before_pixels(base, head + opening * depth + element(0x0009, 0x1002, "LO", b"DEEP") + closing * depth, out)


def claim(base, out):
    """base cut after a private element whose length claims nearly 4 GiB."""
    d = open(base, "rb").read()
    at = pixel_data_at(d)
    write(out, d[:at] + struct.pack("<HH2sHI", 0x0009, 0x0010, b"LO", 0, 0)[:8] +
          struct.pack("<HH2sHI", 0x0009, 0x1001, b"OB", 0, 0xFFFFFFF0) + b"\0" * 64)


def pad(path):
    """Data set trailing padding after the pixel data (dcmtk writes none)."""
    with open(path, "ab") as f:
        f.write(element(0xFFFC, 0xFFFC, "OB", b"\0" * 8))


if __name__ == "__main__" and sys.argv[1] in ("decoy", "swap-pixels", "icon", "nested", "claim", "pad"):
    cmd, args = sys.argv[1], sys.argv[2:]
    if cmd == "decoy":
        decoy(*args)
    elif cmd == "swap-pixels":
        swap_pixels(*args)
    elif cmd == "icon":
        icon(args[0], args[1], int(args[2]), int(args[3]), args[4])
    elif cmd == "pad":
        pad(*args)
    elif cmd == "nested":
        nested(args[0], int(args[1]), args[2])
    else:
        claim(*args)


# ---- edge cases the checks and the decoding must meet -----------------------

def implicit(g, e, value, pad=True):
    if len(value) % 2 and pad:
        value += b" "
    return struct.pack("<HHI", g, e, len(value)) + value


def meta_file(elements, syntax=b"1.2.840.10008.1.2"):
    """Preamble, an explicit meta header naming syntax, then the data set's bytes."""
    meta = (element(0x0002, 0x0001, "OB", b"\0\1") + element(0x0002, 0x0002, "UI", b"1.2.840.10008.5.1.4.1.1.7") +
            element(0x0002, 0x0003, "UI", b"1.2.826.0.1.3680043.9.7433.1.90") + element(0x0002, 0x0010, "UI", syntax))
    meta = element(0x0002, 0x0000, "UL", struct.pack("<I", len(meta))) + meta
    return b"\0" * 128 + b"DICM" + meta + elements


def image_elements(rows, cols, pi, extra=b"", bits=8):
    us = lambda v: struct.pack("<H", v)
    return (implicit(0x0028, 0x0002, us(1)) + implicit(0x0028, 0x0004, pi) + implicit(0x0028, 0x0010, us(rows)) +
            implicit(0x0028, 0x0011, us(cols)) + extra + implicit(0x0028, 0x0100, us(bits)) +
            implicit(0x0028, 0x0101, us(bits)) + implicit(0x0028, 0x0102, us(bits - 1)) +
            implicit(0x0028, 0x0103, us(0)))


def desync(out, palette):
    """An implicit file whose PatientName has a value of 13 bytes. GDCM reads
    10 of them (an old repair), so that the next bytes are for GDCM a private
    element (0009,0900) of 512 bytes hiding the 2 x 8 MONOCHROME2 description
    that a reader of all 13 bytes sees, while the 4 x 4 description (MONOCHROME1,
    or PALETTE COLOR with a descriptor of 65536 entries and a table of two bytes)
    that such a reader finds inside the private element (0009,1001) is, for GDCM,
    the image's."""
    real = image_elements(4, 4, b"PALETTE COLOR" if palette else b"MONOCHROME1")
    if palette:
        for c in range(3):
            real += implicit(0x0028, 0x1101 + c, struct.pack("<3H", 0, 0, 16))
        for c in range(3):
            real += implicit(0x0028, 0x1201 + c, b"\x10\x20")
    decoy = image_elements(2, 8, b"MONOCHROME2")
    # The decoy elements padded to 245 bytes (so that 5 + 512 = 8 + 256 + 245 + 8).
    decoy += implicit(0x0009, 0x0010, b"P" * (245 - len(decoy) - 8), pad=False)
    assert len(decoy) == 245
    after13 = (struct.pack("<HHI", 0x0009, 0x0002, 256) + b"\0" * 256 + decoy +
               struct.pack("<HHI", 0x0009, 0x1001, len(real)) + real)
    pixels = bytes(range(0, 256, 16))
    data = (implicit(0x0008, 0x0016, b"1.2.840.10008.5.1.4.1.1.7") +
            implicit(0x0008, 0x0018, b"1.2.826.0.1.3680043.9.7433.1.90") +
            struct.pack("<HHI", 0x0010, 0x0010, 13) + b"Test^Desyn" + b"\x09\x00\x00" + after13 +
            implicit(0x7FE0, 0x0010, pixels))
    write(out, meta_file(data))


def acr_planes(out, sop=b"1.2.840.10008.5.1.4.1.1.7", planes=True):
    """A data set without meta header (ACR-NEMA), implicit, whose three frames
    are told by ImageDimensions 3 and Planes 3, with no NumberOfFrames. Of a
    SOP class GDCM does not know, and without Planes, GDCM's ACR-NEMA reader
    asserts on it (the fuzzer found it)."""
    us = lambda v: struct.pack("<H", v)
    pixels = bytes((f * 80 + x * 3 + y) % 256 for f in range(3) for y in range(6) for x in range(8))
    extra = implicit(0x0028, 0x0005, us(3)) + (implicit(0x0028, 0x0012, us(3)) if planes else b"")
    data = (implicit(0x0008, 0x0016, sop) + implicit(0x0008, 0x0060, b"OT") +
            image_elements(6, 8, b"MONOCHROME2", extra) + implicit(0x7FE0, 0x0010, pixels))
    write(out, data)


def frames_text(base, text, out):
    """base with a NumberOfFrames of this text (GDCM reads it as a whole number)."""
    with_before_pixels(base, element(0x0028, 0x0008, "IS", text.encode("ascii")), out)


def item_overrun(base, out):
    """base with a private sequence of defined length whose one item, of
    defined length, holds an element that runs 4 bytes past the item's end."""
    inner = struct.pack("<HH2sH", 0x0009, 0x1002, b"LO", 8) + b"ABCD"
    item = struct.pack("<HHI", 0xFFFE, 0xE000, len(inner)) + inner + b"EFGH"
    seq = struct.pack("<HH2sHI", 0x0009, 0x1001, b"SQ", 0, len(item)) + item
    with_before_pixels(base, element(0x0009, 0x0010, "LO", b"OVERRUN") + seq, out)


def make_edges(out):
    """1-bit pictures, palettes with 16-bit entries whose bytes differ and with a
    first mapped value of 10, as dump2dcm scripts (with their raw data)."""
    W, H = 16, 8
    bits = [1 if (x * 3 + y * 5) % 7 < 3 else 0 for y in range(H) for x in range(W)]
    packed = bytes(sum(bits[i + k] << k for k in range(8)) for i in range(0, len(bits), 8))
    write(out + "/bits1.raw", packed)
    write(out + "/bits1.values", " ".join(map(str, bits)))
    write(out + "/bits1.dump", dump("BITS", 20, H, W, 1, "MONOCHROME2", 1, 1, 0, "bits1.raw", vr="OB"))
    lut = lambda f: struct.pack("<256H", *[f(i) & 0xFFFF for i in range(256)])
    write(out + "/p16r.raw", lut(lambda i: i << 8 | (255 - i)))
    write(out + "/p16g.raw", lut(lambda i: ((i * 7) % 256) << 8 | (i ^ 0x5A)))
    write(out + "/p16b.raw", lut(lambda i: (255 - i) << 8 | 0x80))
    px = bytes((x * 9 + y * 13) % 256 for y in range(H) for x in range(W))
    write(out + "/pal16.raw", px)
    tables = "(0028,1201) OW =p16r.raw\n(0028,1202) OW =p16g.raw\n(0028,1203) OW =p16b.raw\n"
    write(out + "/pal16.dump", dump("PAL16", 21, H, W, 1, "PALETTE COLOR", 8, 8, 0, "pal16.raw",
                                    "(0028,1101) US 256\\0\\16\n(0028,1102) US 256\\0\\16\n(0028,1103) US 256\\0\\16\n" +
                                    tables, vr="OB"))
    write(out + "/pal-first.dump", dump("PALF", 22, H, W, 1, "PALETTE COLOR", 8, 8, 0, "pal16.raw",
                                        "(0028,1101) US 256\\10\\16\n(0028,1102) US 256\\10\\16\n"
                                        "(0028,1103) US 256\\10\\16\n" + tables, vr="OB"))
    desync(out + "/desync.dcm", False)
    desync(out + "/desync-palette.dcm", True)
    acr_planes(out + "/acr-planes.dcm")
    acr_planes(out + "/acr-no-planes.dcm", b"1.2.840.10.8500.1.4.1.1.7", False)


def make_series_by_position(out):
    """Folders of one axial series each, four slices whose pixels are 40, 80,
    120, 160 from inferior to superior, under file names in no order of
    position: InstanceNumber counting up from inferior (up), down from superior
    in a feet-first orientation (down), and empty (empty)."""
    import os
    W, H = 16, 12
    names = ("k", "b", "x", "m")  # slice 0 (inferior) is k.dcm, slice 3 is m.dcm
    for folder, orientation, instance in (("up", "1\\0\\0\\0\\1\\0", lambda r: str(r + 1)),
                                          ("down", "-1\\0\\0\\0\\1\\0", lambda r: str(4 - r)),
                                          ("empty", "1\\0\\0\\0\\1\\0", lambda r: "")):
        d = out + "/series-" + folder
        os.makedirs(d, exist_ok=True)
        for rank, name in enumerate(names):
            write(d + "/%s.raw" % name, bytes([(rank + 1) * 40] * (W * H)))
            extra = ("(0020,0032) DS [-120\\-100\\%d]\n(0020,0037) DS [%s]\n(0028,1050) DS [128]\n"
                     "(0028,1051) DS [256]\n" % (-30 + 10 * rank, orientation))
            write(d + "/%s.dump" % name, dump(name, 200 + rank, H, W, 1, "MONOCHROME2", 8, 8, 0, "%s.raw" % name, extra,
                                              series=90, vr="OB").replace("(0020,0013) IS [1]", "(0020,0013) IS [%s]" % instance(rank)))


def many_elements(base, count, out):
    """base's data set deflated, with count empty private elements before its
    pixel data: a small file whose tag tree would take a gigabyte."""
    d = open(base, "rb").read()
    at = pixel_data_at(d)
    meta_end = 132
    while d[meta_end:meta_end + 2] == b"\x02\x00":
        length = struct.unpack_from("<H", d, meta_end + 6)[0]
        long_form = d[meta_end + 4:meta_end + 6] in (b"OB", b"OW", b"SQ", b"UN", b"UT")
        meta_end += 12 + struct.unpack_from("<I", d, meta_end + 8)[0] if long_form else 8 + length
    empty = struct.pack("<HH2sH", 0x0009, 0x1000, b"LO", 0) * count
    data = d[meta_end:at] + empty + d[at:]
    packer = zlib.compressobj(9, zlib.DEFLATED, -15)
    write(out, meta_file(packer.compress(data) + packer.flush(), b"1.2.840.10008.1.2.1.99"))


if __name__ == "__main__" and sys.argv[1] == "many-elements":
    many_elements(sys.argv[2], int(sys.argv[3]), sys.argv[4])


if __name__ == "__main__" and sys.argv[1] in ("edges", "frames-text", "item-overrun", "series-by-position"):
    cmd, args = sys.argv[1], sys.argv[2:]
    if cmd == "edges":
        make_edges(*args)
    elif cmd == "frames-text":
        frames_text(*args)
    elif cmd == "item-overrun":
        item_overrun(*args)
    else:
        make_series_by_position(*args)
