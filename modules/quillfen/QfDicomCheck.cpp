// The checks on a walked DICOM file before GDCM decodes it: the pixel
// description, palettes and icon that GDCM sets up, and the compressed
// streams it will decode, each judged against its own description.
#include <gdcmPhotometricInterpretation.h>
#include <gdcmTransferSyntax.h>

#include <string.h>

#include <algorithm>
#include <cstdlib>

#include "modules/quillfen/QfDicomInternal.h"

namespace qf {

namespace {

// A palette GDCM can set its colour table up from: it makes a table of 256
// entries for 8-bit pixels and of 65536 for 16-bit ones, and (asserting, or
// writing past the table when asserts are off) takes every channel only when
// its data holds exactly the entries its descriptor names, in the descriptor's
// bits, and a channel of a table not yet known to be partial fills it whole.
// Segmented palettes are not read here.
bool PaletteFitsTable(const DicomLayout& L, const std::vector<DicomElement>& ds, unsigned bitsAllocated) {
  if (bitsAllocated != 8 && bitsAllocated != 16) return false;
  bool partial = false;
  for (int c = 0; c < 3; ++c) {
    if (DicomLayout::Find(ds, 0x0028, (uint16_t)(0x1221 + c))) return false;
    const DicomElement* d = DicomLayout::Find(ds, 0x0028, (uint16_t)(0x1101 + c));
    const DicomElement* t = DicomLayout::Find(ds, 0x0028, (uint16_t)(0x1201 + c));
    if (!d || !t || t->sequence || t->encapsulated) return false;
    const std::vector<unsigned> desc = L.USValues(*d);
    if (desc.size() < 3) return false;
    const size_t entries = desc[0] ? desc[0] : 65536;
    const unsigned bits = desc[2];
    // The first entry maps the value 0 (GDCM knows no other start).
    if ((bits != 8 && bits != 16) || desc[1] != 0) return false;
    if (t->size != entries * bits / 8) return false;
    if (bitsAllocated == 8 && entries > 256) return false;
    if (bitsAllocated == 16 && bits != 16) return false;
    partial = partial || (desc[0] != 0 && desc[0] != 256);
    if (!partial && entries != (bitsAllocated == 8 ? 256u : 65536u)) return false;
  }
  return true;
}

// The photometric interpretation as GDCM reads it (leniently: a cut name
// still counts); UNKNOWN when it names none.
gdcm::PhotometricInterpretation::PIType PhotometricType(const std::string& pi) {
  const size_t printable = pi.find_first_not_of(" \t");
  if (printable == std::string::npos) return gdcm::PhotometricInterpretation::UNKNOWN;
  const gdcm::PhotometricInterpretation::PIType type = gdcm::PhotometricInterpretation::GetPIType(pi.c_str());
  return type == gdcm::PhotometricInterpretation::PI_END ? gdcm::PhotometricInterpretation::UNKNOWN : type;
}

// The markers of a JPEG stream up to its first scan: every segment whole,
// one frame header whose size and components agree with the data set, sound
// tables. GDCM's JPEG readers trust these.
bool JpegHeaderIsSound(const uint8_t* d, size_t n, unsigned rows, unsigned cols, unsigned spp, unsigned bitsAllocated) {
  if (n < 4 || d[0] != 0xFF || d[1] != 0xD8) return false;
  size_t i = 2;
  bool frame = false;
  unsigned components = 0;
  uint8_t ids[4] = {0, 0, 0, 0};
  while (i + 4 <= n) {
    if (d[i] != 0xFF) return false;
    while (i + 1 < n && d[i + 1] == 0xFF) ++i;  // fill bytes
    if (i + 4 > n) return false;
    const uint8_t m = d[i + 1];
    // Only markers that a header may hold: frames, tables, the restart
    // interval, applications, comments and extensions (0xF0 on, JPEG-LS's among them).
    if (m < 0xC0 || m == 0xD8 || (m >= 0xD0 && m <= 0xD7) || m == 0xFF) return false;
    const size_t len = Be16(&d[i + 2]);
    if (len < 2 || i + 2 + len > n) return false;
    const uint8_t* body = &d[i + 4];
    const size_t blen = len - 2;
    if ((m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) || m == 0xF7) {
      // A frame header (0xF7 is JPEG-LS's).
      if (frame || blen < 6) return false;
      const unsigned precision = body[0], h = Be16(body + 1), w = Be16(body + 3);
      components = body[5];
      // Lossy (DCT) processes code 8 or 12 bits; GDCM asserts on any other
      // precision its JPEG reader refuses.
      const bool lossless = m == 0xC3 || m == 0xC7 || m == 0xCB || m == 0xCF || m == 0xF7;
      if (!lossless && precision != 8 && precision != 12) return false;
      if (precision < 2 || precision > 16 || precision > bitsAllocated || w == 0 || h == 0 || w != cols || h != rows ||
          components == 0 || components > 4 || components != spp || blen != 6 + 3 * components)
        return false;
      for (unsigned c = 0; c < components; ++c) {
        const uint8_t sampling = body[7 + 3 * c];
        ids[c] = body[6 + 3 * c];
        if ((sampling >> 4) < 1 || (sampling >> 4) > 4 || (sampling & 15) < 1 || (sampling & 15) > 4 ||
            body[8 + 3 * c] > 3)
          return false;
      }
      frame = true;
    } else if (m == 0xC4) {  // Huffman tables
      size_t k = 0;
      while (k < blen) {
        if (k + 17 > blen || (body[k] & 15) > 3 || (body[k] >> 4) > 1) return false;
        size_t count = 0;
        for (int b = 1; b <= 16; ++b) count += body[k + b];
        if (count > 256 || k + 17 + count > blen) return false;
        k += 17 + count;
      }
    } else if (m == 0xDB) {  // quantisation tables
      size_t k = 0;
      while (k < blen) {
        const size_t size = (body[k] >> 4) ? 128 : 64;
        if ((body[k] & 15) > 3 || (body[k] >> 4) > 1 || k + 1 + size > blen) return false;
        k += 1 + size;
      }
    } else if (m == 0xDD) {
      if (blen != 2) return false;
    } else if (m == 0xE0 && blen >= 7 && memcmp(body, "JFIF", 5) == 0) {
      if (body[5] != 1) return false;  // a JFIF version libjpeg does not know
    } else if (m == 0xEE && blen >= 12 && memcmp(body, "Adobe", 5) == 0) {
      if (body[11] > 2) return false;  // an unknown Adobe colour transform
    } else if (m == 0xDA) {            // start of scan: the header ends here
      if (!frame || blen < 1) return false;
      const unsigned ns = body[0];
      if (ns == 0 || ns > components || blen != 4 + 2 * ns) return false;
      for (unsigned c = 0; c < ns; ++c) {
        bool known = false;
        for (unsigned k = 0; k < components; ++k) known = known || ids[k] == body[1 + 2 * c];
        if (!known) return false;
      }
      return true;
    } else if (m == 0xD9) {
      return false;
    }
    i += 2 + len;
  }
  return false;
}

// A JPEG 2000 code stream: its image and size marker agrees with the data
// set (GDCM copies the decoded components as the data set describes them).
bool J2kHeaderIsSound(const uint8_t* d, size_t n, unsigned rows, unsigned cols, unsigned spp, unsigned bitsAllocated) {
  if (n < 4 + 2 + 38 || Be16(d) != 0xFF4F || Be16(d + 2) != 0xFF51) return false;
  const size_t len = Be16(d + 4);
  auto be32 = [&](size_t at) {
    return (uint32_t)d[at] << 24 | (uint32_t)d[at + 1] << 16 | (uint32_t)d[at + 2] << 8 | d[at + 3];
  };
  const uint32_t xsiz = be32(8), ysiz = be32(12), xo = be32(16), yo = be32(20);
  const uint32_t xt = be32(24), yt = be32(28), xto = be32(32), yto = be32(36);
  const unsigned csiz = Be16(d + 40);
  if (len != 38 + 3 * (size_t)csiz || 4 + len > n || csiz != spp || xo >= xsiz || yo >= ysiz || xsiz - xo != cols ||
      ysiz - yo != rows || xt == 0 || yt == 0 || xto > xo || yto > yo || (uint64_t)xto + xt <= xo ||
      (uint64_t)yto + yt <= yo)
    return false;
  for (unsigned c = 0; c < csiz; ++c) {
    const uint8_t* comp = d + 42 + 3 * c;
    if ((comp[0] & 0x7F) + 1u > bitsAllocated || comp[1] != 1 || comp[2] != 1) return false;
  }
  // Every marker segment up to the first tile's data whole, as GDCM walks them.
  size_t at = 0;
  while (at + 2 <= n) {
    const unsigned marker = Be16(d + at);
    at += 2;
    if ((marker >= 0xFF30 && marker <= 0xFF3F) || marker == 0xFF4F || marker == 0xFF92 || marker == 0xFFD9) continue;
    if (marker == 0xFF93) return true;  // start of data
    if (at + 2 > n) return false;
    const size_t l = Be16(d + at);
    at += 2;
    if (l < 2 || l - 2 > n - at || (marker == 0xFF52 && l - 2 < 10)) return false;
    at += l - 2;
  }
  return false;
}

// The JP2 file format's signature box, which may start a JPEG 2000 stream in
// place of a bare code stream.
const uint8_t kJp2Signature[12] = {0, 0, 0, 12, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};

// A JPEG 2000 stream: a bare code stream, or the JP2 file format, whose boxes
// (each of 8 bytes or more, the last one of 0 running to the end; GDCM steps
// through them trusting each length) lead to the code stream in jp2c.
bool J2kStreamIsSound(const uint8_t* d, size_t n, unsigned rows, unsigned cols, unsigned spp, unsigned bitsAllocated) {
  if (n < sizeof kJp2Signature || memcmp(d, kJp2Signature, sizeof kJp2Signature) != 0)
    return J2kHeaderIsSound(d, n, rows, cols, spp, bitsAllocated);
  size_t at = 0;
  while (n - at >= 8) {
    const uint32_t length = (uint32_t)d[at] << 24 | (uint32_t)d[at + 1] << 16 | (uint32_t)d[at + 2] << 8 | d[at + 3];
    const bool code = memcmp(d + at + 4, "jp2c", 4) == 0;
    const size_t size = length == 0 && code ? n - at : length;
    if (size < 8 || size > n - at) return false;
    if (code) return J2kHeaderIsSound(d + at + 8, size - 8, rows, cols, spp, bitsAllocated);
    at += size;
  }
  return false;
}

// The start of a JPEG 2000 stream: a code stream's first marker, or the JP2 signature.
bool J2kStreamStarts(const uint8_t* p, size_t len) {
  return (len >= 2 && p[0] == 0xFF && p[1] == 0x4F) ||
         (len >= sizeof kJp2Signature && memcmp(p, kJp2Signature, sizeof kJp2Signature) == 0);
}

// An RLE frame: a 64-byte header with at most 15 segments whose offsets rise
// inside the fragment.
bool RleHeaderIsSound(const uint8_t* d, size_t n, unsigned segmentsWanted) {
  if (n < 64) return false;
  const uint32_t count = Le32(d);
  if (count == 0 || count > 15 || count != segmentsWanted) return false;
  uint32_t previous = 63;
  for (uint32_t s = 0; s < count; ++s) {
    const uint32_t at = Le32(d + 4 + 4 * s);
    if (at <= previous || at >= n || (s == 0 && at != 64)) return false;
    previous = at;
  }
  return true;
}

bool JpegStreamStarts(const uint8_t* p, size_t len) { return len >= 2 && p[0] == 0xFF && p[1] == 0xD8; }

// Every fragment that starts a stream carries a sound header, the first
// fragment always starts one, and there is one per frame at least.
bool StreamStartsAreSound(const uint8_t* d, const std::vector<std::pair<size_t, size_t>>& items,
                          bool (*starts)(const uint8_t*, size_t), unsigned frames,
                          bool (*sound)(const uint8_t*, size_t, unsigned, unsigned, unsigned, unsigned), unsigned rows,
                          unsigned cols, unsigned spp, unsigned bitsAllocated) {
  unsigned count = 0;
  for (size_t k = 1; k < items.size(); ++k) {
    const uint8_t* p = d + items[k].first;
    const size_t len = items[k].second;
    const bool start = starts(p, len);
    if (k == 1 && !start) return false;
    if (start && !sound(p, len, rows, cols, spp, bitsAllocated)) return false;
    count += start;
  }
  return count >= frames;
}

// Encapsulated pixel data (the walk has found its fragments whole): a sound
// offset table and, for each compression GDCM is given, a sound header in
// each frame's first fragment.
bool FragmentsAreSound(const uint8_t* d, const std::vector<std::pair<size_t, size_t>>& items,
                       const gdcm::TransferSyntax& ts, unsigned frames, unsigned rows, unsigned cols, unsigned spp,
                       unsigned bitsAllocated) {
  if (items.size() < 2 || items[0].second % 4 != 0) return false;
  const bool rle = ts == gdcm::TransferSyntax::RLELossless;
  // Every JPEG process (1.2.840.10008.1.2.4.50 to .70) and JPEG-LS; other
  // compressions than these, RLE and JPEG 2000 are not handed to GDCM.
  const std::string uid = ts.GetString() ? ts.GetString() : "";
  const std::string family = "1.2.840.10008.1.2.4.";
  const int process = uid.compare(0, family.size(), family) == 0 ? atoi(uid.c_str() + family.size()) : 0;
  const bool jpeg = (process >= 50 && process <= 70) || process == 80 || process == 81;
  const bool jpegLs = ts == gdcm::TransferSyntax::JPEGLSLossless || ts == gdcm::TransferSyntax::JPEGLSNearLossless;
  const bool j2k = ts == gdcm::TransferSyntax::JPEG2000Lossless || ts == gdcm::TransferSyntax::JPEG2000;
  const size_t fragments = items.size() - 1;
  if (j2k) {
    // The code stream of each frame starts a fragment of its own.
    return StreamStartsAreSound(d, items, J2kStreamStarts, frames, J2kStreamIsSound, rows, cols, spp, bitsAllocated);
  }
  if (rle) {
    if (fragments < frames) return false;
    const unsigned segments = spp * (bitsAllocated / 8);
    // One fragment per frame.
    for (unsigned f = 0; f < frames; ++f)
      if (!RleHeaderIsSound(d + items[1 + f].first, items[1 + f].second, segments)) return false;
    return true;
  }
  if (!jpeg) return false;
  // A JPEG sample holds 16 bits at most: GDCM has no reader for wider
  // allocations (and asserts that it has one).
  if (bitsAllocated > 16) return false;
  if (!StreamStartsAreSound(d, items, JpegStreamStarts, frames, JpegHeaderIsSound, rows, cols, spp, bitsAllocated))
    return false;
  if (jpegLs) {
    // CharLS can run on for ever over a stream without its end marker: the
    // last fragment of each frame must close with one (a padding byte may follow).
    for (size_t k = 1; k < items.size(); ++k) {
      const bool last = k + 1 == items.size() || (items[k + 1].second >= 2 && d[items[k + 1].first] == 0xFF &&
                                                  d[items[k + 1].first + 1] == 0xD8);
      if (!last) continue;
      const uint8_t* p = d + items[k].first;
      size_t len = items[k].second;
      if (len >= 1 && p[len - 1] == 0x00) --len;
      if (len < 2 || p[len - 2] != 0xFF || p[len - 1] != 0xD9) return false;
    }
  }
  return true;
}

bool Describe(const DicomLayout& L, const std::vector<DicomElement>& ds, ImageDescription& out, std::string& error) {
  out.rows = L.US(ds, 0x0028, 0x0010);
  out.cols = L.US(ds, 0x0028, 0x0011);
  out.spp = DicomLayout::Find(ds, 0x0028, 0x0002) ? L.US(ds, 0x0028, 0x0002) : 1;
  out.bitsAllocated = L.US(ds, 0x0028, 0x0100);
  const unsigned ba = out.bitsAllocated;
  out.bitsStored = DicomLayout::Find(ds, 0x0028, 0x0101) ? L.US(ds, 0x0028, 0x0101) : ba;
  out.highBit = DicomLayout::Find(ds, 0x0028, 0x0102) ? L.US(ds, 0x0028, 0x0102) : out.bitsStored - 1;
  const unsigned bs = out.bitsStored, hb = out.highBit;
  if (out.rows == 0 || out.cols == 0 || (out.spp != 1 && out.spp != 3) ||
      (ba != 1 && ba != 8 && ba != 16 && ba != 32) || bs == 0 || bs > ba || hb >= ba || hb + 1 < bs ||
      L.US(ds, 0x0028, 0x0103) > 1 || L.US(ds, 0x0028, 0x0006) > 1) {
    error = "unsupported image layout";
    return false;
  }
  out.signedness = L.US(ds, 0x0028, 0x0103);
  out.planar = L.US(ds, 0x0028, 0x0006);
  // The frames as GDCM counts them.
  out.frames = L.Frames(ds);
  if (out.frames > 10000000) {
    error = "the number of frames is not usable";
    return false;
  }
  out.pi = PhotometricType(L.Text(ds, 0x0028, 0x0004));
  if (out.pi == gdcm::PhotometricInterpretation::UNKNOWN) {
    error = "unsupported photometric interpretation";
    return false;
  }
  // One sample per pixel for grey and palette pictures, three for colour.
  const bool single = out.pi == gdcm::PhotometricInterpretation::MONOCHROME1 ||
                      out.pi == gdcm::PhotometricInterpretation::MONOCHROME2 ||
                      out.pi == gdcm::PhotometricInterpretation::PALETTE_COLOR;
  if (single != (out.spp == 1)) {
    error = "the photometric interpretation does not fit the samples per pixel";
    return false;
  }
  if (out.pi == gdcm::PhotometricInterpretation::PALETTE_COLOR && !PaletteFitsTable(L, ds, ba)) {
    error = "the colour palette is missing, damaged or not supported";
    return false;
  }
  return true;
}

// Compressed pixel data of one image against its description.
bool EncapsulatedIsSound(const DicomLayout& L, const DicomElement& pixels, const ImageDescription& desc,
                         const gdcm::TransferSyntax& ts, std::string& error) {
  // GDCM's codecs copy 8-bit samples only when every bit is stored.
  if ((desc.bitsAllocated == 8 && desc.bitsStored != 8) ||
      (desc.bitsAllocated != 8 && desc.bitsAllocated != 16 && desc.bitsAllocated != 32)) {
    error = "unsupported image layout";
    return false;
  }
  if (!FragmentsAreSound(L.bytes, pixels.fragments, ts, (unsigned)desc.frames, desc.rows, desc.cols, desc.spp,
                         desc.bitsAllocated)) {
    error = "the compressed pixel data is cut or damaged";
    return false;
  }
  return true;
}

}  // namespace

bool ImageIsSound(const DicomLayout& L, ImageDescription& image, std::string& error) {
  const std::vector<DicomElement>& ds = L.dataSet;
  image = ImageDescription();
  if (!Describe(L, ds, image, error)) return false;
  const uint64_t pixels = (uint64_t)image.rows * image.cols * image.frames;
  const unsigned ba = image.bitsAllocated, spp = image.spp;
  const uint64_t bytes = ba == 1 ? (pixels * spp + 7) / 8 : pixels * spp * ((ba + 7) / 8);
  if (bytes > DecodeLimit() || pixels * (spp == 1 ? sizeof(float) : 3) > DecodeLimit()) {
    error = "the image is larger than the library takes (1 GiB)";
    return false;
  }
  {
    // The old recognition code, when present, is one GDCM knows (it reads it
    // as text and asserts that it is).
    const DicomElement* rc = DicomLayout::Find(ds, 0x0008, 0x0010);
    if (rc && rc->size > 0) {
      const std::string code = L.Text(ds, 0x0008, 0x0010);
      if (code.compare(0, 8, "ACR-NEMA") != 0 && code.compare(0, 7, "ACRNEMA") != 0 &&
          code.compare(0, 8, "MIPS 2.0") != 0) {
        error = "unsupported recognition code";
        return false;
      }
    }
  }
  const gdcm::TransferSyntax::TSType ts =
      L.syntax.empty()
          ? (L.explicitVr ? gdcm::TransferSyntax::ExplicitVRLittleEndian : gdcm::TransferSyntax::ImplicitVRLittleEndian)
          : gdcm::TransferSyntax::GetTSType(L.syntax.c_str());
  const DicomElement* pixelData = DicomLayout::Find(ds, 0x7FE0, 0x0010);
  if (pixelData && pixelData->sequence) {
    error = "the pixel data is damaged";
    return false;
  }
  if (gdcm::TransferSyntax(ts).IsEncapsulated() != (pixelData && pixelData->encapsulated) && pixelData) {
    error = "the compressed pixel data is cut or damaged";
    return false;
  }
  image.encapsulated = pixelData && pixelData->encapsulated;
  if (image.encapsulated && !EncapsulatedIsSound(L, *pixelData, image, ts, error)) return false;

  // The icon, which GDCM sets up as well though it is never shown: the first
  // item of its sequence, judged against its own description.
  const DicomElement* icons = DicomLayout::Find(ds, 0x0088, 0x0200);
  if (icons && icons->sequence && !icons->children.empty()) {
    const std::vector<DicomElement>& icon = icons->children[0].children;
    const DicomElement* pi = DicomLayout::Find(icon, 0x0028, 0x0004);
    const DicomElement* iconPixels = DicomLayout::Find(icon, 0x7FE0, 0x0010);
    bool sound = !pi || pi->size > 0;
    if (sound && iconPixels && iconPixels->encapsulated) {
      ImageDescription desc;
      std::string why;
      sound = Describe(L, icon, desc, why) && EncapsulatedIsSound(L, *iconPixels, desc, ts, why);
    } else if (sound && pi) {
      const gdcm::PhotometricInterpretation::PIType type = PhotometricType(L.Text(icon, 0x0028, 0x0004));
      sound =
          type != gdcm::PhotometricInterpretation::UNKNOWN && (type != gdcm::PhotometricInterpretation::PALETTE_COLOR ||
                                                               PaletteFitsTable(L, icon, L.US(icon, 0x0028, 0x0100)));
    }
    if (!sound) {
      error = "the icon image is damaged or not supported";
      return false;
    }
  }
  return true;
}

}  // namespace qf
