// DICOM reading, tag trees and Secondary Capture writing through GDCM.
#include <gdcmAttribute.h>
#include <gdcmDataSet.h>
#include <gdcmDict.h>
#include <gdcmDicts.h>
#include <gdcmFileMetaInformation.h>
#include <gdcmGlobal.h>
#include <gdcmImage.h>
#include <gdcmImageReader.h>
#include <gdcmImageWriter.h>
#include <gdcmReader.h>
#include <gdcmSequenceOfItems.h>
#include <gdcmTrace.h>
#include <gdcmUIDGenerator.h>
#include <gdcmWriter.h>
#include <zlib.h>

#include <stdio.h>
#include <string.h>
#include <time.h>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <set>

#include "QfCore.h"

namespace qf {

namespace {

// The dictionary is built on first use; do it once before threads race for it.
const gdcm::Dicts& Dictionaries() {
  static const gdcm::Dicts& dicts = []() -> const gdcm::Dicts& {
    // The library reports through its results, not on the standard streams.
    gdcm::Trace::SetDebug(false);
    gdcm::Trace::SetWarning(false);
    gdcm::Trace::SetError(false);
    return gdcm::Global::GetInstance().GetDicts();
  }();
  return dicts;
}

bool ReadHeaderBytes(const std::string& path, uint8_t* buf, size_t size, size_t& got) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  got = fread(buf, 1, size, f);
  fclose(f);
  return true;
}

bool IsVrCode(const uint8_t* p) {
  static const char* const kVrs[] = {"AE", "AS", "AT", "CS", "DA", "DS", "DT", "FD", "FL", "IS", "LO",
                                     "LT", "OB", "OD", "OF", "OL", "OV", "OW", "PN", "SH", "SL", "SQ",
                                     "SS", "ST", "SV", "TM", "UC", "UI", "UL", "UN", "UR", "US", "UT", "UV"};
  for (const char* v : kVrs)
    if (p[0] == (uint8_t)v[0] && p[1] == (uint8_t)v[1]) return true;
  return false;
}

double FirstNumber(const gdcm::DataSet& ds, uint16_t g, uint16_t e, bool& ok) {
  ok = false;
  const gdcm::Tag t(g, e);
  if (!ds.FindDataElement(t)) return 0;
  const gdcm::DataElement& de = ds.GetDataElement(t);
  const gdcm::ByteValue* bv = de.GetByteValue();
  if (!bv || bv->GetLength() == 0) return 0;
  std::string s(bv->GetPointer(), bv->GetLength());
  size_t cut = s.find('\\');
  if (cut != std::string::npos) s.resize(cut);
  char* end = nullptr;
  double d = strtod(s.c_str(), &end);
  if (end == s.c_str()) return 0;
  ok = std::isfinite(d);
  return d;
}

inline uint8_t Clamp8(double x) { return (uint8_t)(x < 0 ? 0 : x > 255 ? 255 : (int)(x + 0.5)); }

void YbrToRgb(uint8_t* p, size_t pixels) {
  for (size_t i = 0; i < pixels; ++i, p += 3) {
    double y = p[0], cb = p[1] - 128.0, cr = p[2] - 128.0;
    double r = y + 1.402 * cr, g = y - 0.344136 * cb - 0.714136 * cr, b = y + 1.772 * cb;
    p[0] = Clamp8(r);
    p[1] = Clamp8(g);
    p[2] = Clamp8(b);
  }
}

// One palette channel as 8-bit entries, with the first value it maps.
bool ReadPaletteChannel(const gdcm::DataSet& ds, uint16_t descriptor, uint16_t data, bool isSigned,
                        std::vector<uint8_t>& lut, int& first) {
  const gdcm::Tag dt(0x0028, descriptor), vt(0x0028, data);
  if (!ds.FindDataElement(dt) || !ds.FindDataElement(vt)) return false;
  const gdcm::ByteValue* d = ds.GetDataElement(dt).GetByteValue();
  const gdcm::ByteValue* v = ds.GetDataElement(vt).GetByteValue();
  if (!d || !v || d->GetLength() < 6) return false;
  uint16_t desc[3];
  memcpy(desc, d->GetPointer(), 6);
  const size_t entries = desc[0] ? desc[0] : 65536;
  first = isSigned ? (int)(int16_t)desc[1] : (int)desc[1];
  const int bits = desc[2];
  const uint8_t* p = reinterpret_cast<const uint8_t*>(v->GetPointer());
  const size_t n = v->GetLength();
  lut.resize(entries);
  if (bits == 8 && n >= entries && n < entries * 2) {
    memcpy(lut.data(), p, entries);
    return true;
  }
  if (n < entries * 2) return false;
  for (size_t i = 0; i < entries; ++i) {
    const uint16_t w = (uint16_t)(p[2 * i] | p[2 * i + 1] << 8);
    lut[i] = (uint8_t)(bits > 8 ? w >> (bits - 8) : w & 0xFF);
  }
  return true;
}

bool ApplyPalette(const gdcm::DataSet& ds, bool isSigned, Volume& v, std::string& error) {
  std::vector<uint8_t> lut[3];
  int first[3];
  for (int c = 0; c < 3; ++c)
    if (!ReadPaletteChannel(ds, (uint16_t)(0x1101 + c), (uint16_t)(0x1201 + c), isSigned, lut[c], first[c])) {
      error = "the colour palette is missing or damaged";
      return false;
    }
  v.rgb.resize(v.grey.size() * 3);
  for (size_t i = 0; i < v.grey.size(); ++i)
    for (int c = 0; c < 3; ++c) {
      long idx = std::lround(v.grey[i]) - first[c];
      idx = std::max(0L, std::min((long)lut[c].size() - 1, idx));
      v.rgb[i * 3 + c] = lut[c][(size_t)idx];
    }
  v.grey.clear();
  v.grey.shrink_to_fit();
  v.channels = 3;
  v.invert = false;
  v.hasWindow = false;
  return true;
}

// A read-only stream over bytes in memory, so that a file is read from disk
// once and parsed by GDCM as often as needed.
class MemoryBuf : public std::streambuf {
 public:
  MemoryBuf(const uint8_t* data, size_t size) {
    char* p = reinterpret_cast<char*>(const_cast<uint8_t*>(data));
    setg(p, p, p + size);
  }

 protected:
  pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override {
    const off_type size = egptr() - eback();
    off_type base = dir == std::ios_base::beg ? 0 : dir == std::ios_base::cur ? gptr() - eback() : size;
    if (off < -base || off > size - base) return pos_type(off_type(-1));
    setg(eback(), eback() + (base + off), egptr());
    return pos_type(base + off);
  }
  pos_type seekpos(pos_type pos, std::ios_base::openmode which) override {
    return seekoff(off_type(pos), std::ios_base::beg, which);
  }
};

struct MemoryStream : std::istream {
  MemoryBuf buf;
  MemoryStream(const uint8_t* data, size_t size) : std::istream(nullptr), buf(data, size) { rdbuf(&buf); }
};

uint32_t Le32(const uint8_t* p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24; }
uint16_t Be16(const uint8_t* p) { return (uint16_t)(p[0] << 8 | p[1]); }

unsigned ReadUS(const gdcm::DataSet& ds, uint16_t g, uint16_t e) {
  const gdcm::Tag t(g, e);
  if (!ds.FindDataElement(t)) return 0;
  const gdcm::ByteValue* bv = ds.GetDataElement(t).GetByteValue();
  if (!bv || bv->GetLength() < 2) return 0;
  uint16_t x;
  memcpy(&x, bv->GetPointer(), 2);
  return x;
}

std::string ReadText(const gdcm::DataSet& ds, uint16_t g, uint16_t e) {
  const gdcm::Tag t(g, e);
  if (!ds.FindDataElement(t)) return std::string();
  const gdcm::ByteValue* bv = ds.GetDataElement(t).GetByteValue();
  if (!bv) return std::string();
  std::string s(bv->GetPointer(), bv->GetLength());
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

// A palette GDCM can set its colour table up from: it makes a table of 256
// entries for 8-bit pixels and of 65536 for 16-bit ones, and (asserting, or
// writing past the table when asserts are off) takes every channel only when
// its data holds exactly the entries its descriptor names, in the descriptor's
// bits, and a channel of a table not yet known to be partial fills it whole.
// Segmented palettes are not read here.
bool PaletteFitsTable(const gdcm::DataSet& ds, unsigned bitsAllocated) {
  if (bitsAllocated != 8 && bitsAllocated != 16) return false;
  bool partial = false;
  for (int c = 0; c < 3; ++c) {
    const gdcm::Tag dt(0x0028, (uint16_t)(0x1101 + c)), vt(0x0028, (uint16_t)(0x1201 + c));
    const gdcm::Tag st(0x0028, (uint16_t)(0x1221 + c));
    if (ds.FindDataElement(st)) return false;
    const gdcm::ByteValue* d = ds.FindDataElement(dt) ? ds.GetDataElement(dt).GetByteValue() : nullptr;
    const gdcm::ByteValue* t = ds.FindDataElement(vt) ? ds.GetDataElement(vt).GetByteValue() : nullptr;
    if (!d || !t || d->GetLength() < 6) return false;
    uint16_t desc[3];
    memcpy(desc, d->GetPointer(), 6);
    const size_t entries = desc[0] ? desc[0] : 65536;
    const unsigned bits = desc[2];
    // The first entry maps the value 0 (GDCM knows no other start).
    if ((bits != 8 && bits != 16) || desc[1] != 0) return false;
    if (t->GetLength() != entries * bits / 8) return false;
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

// A palette GDCM would trip on is refused, in the image and in its icon
// (which GDCM sets up as well, though the icon is never shown).
bool PaletteIsSound(const gdcm::DataSet& ds, std::string& error) {
  const gdcm::PhotometricInterpretation::PIType type = PhotometricType(ReadText(ds, 0x0028, 0x0004));
  if (type == gdcm::PhotometricInterpretation::UNKNOWN) {
    error = "unsupported photometric interpretation";
    return false;
  }
  if (type == gdcm::PhotometricInterpretation::PALETTE_COLOR &&
      !PaletteFitsTable(ds, ReadUS(ds, 0x0028, 0x0100))) {
    error = "the colour palette is missing, damaged or not supported";
    return false;
  }
  const gdcm::Tag iconTag(0x0088, 0x0200);
  if (ds.FindDataElement(iconTag)) {
    gdcm::SmartPointer<gdcm::SequenceOfItems> icons = ds.GetDataElement(iconTag).GetValueAsSQ();
    if (icons && !icons->IsEmpty()) {
      const gdcm::DataSet& icon = icons->GetItem(1).GetNestedDataSet();
      const gdcm::Tag piTag(0x0028, 0x0004);
      if (icon.FindDataElement(piTag)) {
        const gdcm::ByteValue* bv = icon.GetDataElement(piTag).GetByteValue();
        const gdcm::PhotometricInterpretation::PIType type =
            bv ? PhotometricType(ReadText(icon, 0x0028, 0x0004)) : gdcm::PhotometricInterpretation::UNKNOWN;
        if (type == gdcm::PhotometricInterpretation::UNKNOWN ||
            (type == gdcm::PhotometricInterpretation::PALETTE_COLOR &&
             !PaletteFitsTable(icon, ReadUS(icon, 0x0028, 0x0100)))) {
          error = "the icon image is damaged or not supported";
          return false;
        }
      }
    }
  }
  return true;
}

// The markers of a JPEG stream up to its first scan: every segment whole,
// one frame header whose size and components agree with the data set, sound
// tables. GDCM's JPEG readers trust these.
bool JpegHeaderIsSound(const uint8_t* d, size_t n, unsigned rows, unsigned cols, unsigned spp,
                       unsigned bitsAllocated) {
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
      if (precision < 2 || precision > 16 || precision > bitsAllocated || w == 0 || h == 0 || w != cols || h != rows || components == 0 ||
          components > 4 || components != spp || blen != 6 + 3 * components)
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
    } else if (m == 0xDA) {  // start of scan: the header ends here
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
  auto be32 = [&](size_t at) { return (uint32_t)d[at] << 24 | (uint32_t)d[at + 1] << 16 | (uint32_t)d[at + 2] << 8 | d[at + 3]; };
  const uint32_t xsiz = be32(8), ysiz = be32(12), xo = be32(16), yo = be32(20);
  const uint32_t xt = be32(24), yt = be32(28), xto = be32(32), yto = be32(36);
  const unsigned csiz = Be16(d + 40);
  if (len != 38 + 3 * (size_t)csiz || 4 + len > n || csiz != spp || xo >= xsiz || yo >= ysiz ||
      xsiz - xo != cols || ysiz - yo != rows || xt == 0 || yt == 0 || xto > xo || yto > yo ||
      (uint64_t)xto + xt <= xo || (uint64_t)yto + yt <= yo)
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

// Every fragment that starts a code stream (0xFF then second) carries a sound
// header, the first fragment always starts one, and there is one per frame at least.
bool StreamStartsAreSound(const uint8_t* d, const std::vector<std::pair<size_t, size_t>>& items, uint8_t second,
                          unsigned frames,
                          bool (*sound)(const uint8_t*, size_t, unsigned, unsigned, unsigned, unsigned),
                          unsigned rows, unsigned cols, unsigned spp, unsigned bitsAllocated) {
  unsigned starts = 0;
  for (size_t k = 1; k < items.size(); ++k) {
    const uint8_t* p = d + items[k].first;
    const size_t len = items[k].second;
    const bool start = len >= 2 && p[0] == 0xFF && p[1] == second;
    if (k == 1 && !start) return false;
    if (start && !sound(p, len, rows, cols, spp, bitsAllocated)) return false;
    starts += start;
  }
  return starts >= frames;
}

// The fragments of encapsulated pixel data, from just after the element's
// header: whole items, a sound offset table, a closing delimiter, and for
// RLE and JPEG a sound header in each frame's first fragment.
bool FragmentsAreSound(const uint8_t* d, size_t n, size_t at, const gdcm::TransferSyntax& ts, unsigned frames,
                       unsigned rows, unsigned cols, unsigned spp, unsigned bitsAllocated) {
  std::vector<std::pair<size_t, size_t>> items;
  for (;;) {
    if (at + 8 > n) return false;
    const uint16_t g = (uint16_t)(d[at] | d[at + 1] << 8), e = (uint16_t)(d[at + 2] | d[at + 3] << 8);
    const uint32_t len = Le32(d + at + 4);
    if (g != 0xFFFE) return false;
    if (e == 0xE0DD) {
      if (len != 0) return false;
      break;
    }
    if (e != 0xE000 || len == 0xFFFFFFFF || len > n - at - 8) return false;
    items.emplace_back(at + 8, len);
    at += 8 + (size_t)len;
    if (items.size() > 1000000) return false;
  }
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
    if (!StreamStartsAreSound(d, items, 0x4F, frames, J2kHeaderIsSound, rows, cols, spp, bitsAllocated)) return false;
  } else if (rle) {
    if (fragments < frames) return false;
    const unsigned segments = spp * (bitsAllocated / 8);
    // One fragment per frame.
    for (unsigned f = 0; f < frames; ++f)
      if (!RleHeaderIsSound(d + items[1 + f].first, items[1 + f].second, segments)) return false;
  } else if (jpeg) {
    // A JPEG sample holds 16 bits at most: GDCM has no reader for wider
    // allocations (and asserts that it has one).
    if (bitsAllocated > 16) return false;
    if (!StreamStartsAreSound(d, items, 0xD8, frames, JpegHeaderIsSound, rows, cols, spp, bitsAllocated)) return false;
    if (jpegLs) {
      // CharLS can run on for ever over a stream without its end marker: the
      // last fragment of each frame must close with one (a padding byte may follow).
      for (size_t k = 1; k < items.size(); ++k) {
        const bool last = k + 1 == items.size() ||
                          (items[k + 1].second >= 2 && d[items[k + 1].first] == 0xFF && d[items[k + 1].first + 1] == 0xD8);
        if (!last) continue;
        const uint8_t* p = d + items[k].first;
        size_t len = items[k].second;
        if (len >= 1 && p[len - 1] == 0x00) --len;
        if (len < 2 || p[len - 2] != 0xFF || p[len - 1] != 0xD9) return false;
      }
    }
  } else if (!rle && !j2k) {
    return false;
  }
  return true;
}

// Native pixel data of the declared length is wholly inside the bytes (a cut
// file otherwise reads as if it were complete). The element's header is looked
// for just before where the value must start, then, failing that, everywhere.
bool NativeDataComplete(const uint8_t* file, size_t fileSize, uint32_t length) {
  const int64_t size = (int64_t)fileSize;
  auto scan = [&](int64_t from, int64_t to, bool& found) -> bool {
    found = false;
    from = std::max<int64_t>(0, from);
    to = std::min<int64_t>(size, to);
    if (to - from < 8) return false;
    const uint8_t* d = file + from;
    const size_t count = (size_t)(to - from);
    const uint8_t le[4] = {0xE0, 0x7F, 0x10, 0x00}, be[4] = {0x7F, 0xE0, 0x00, 0x10};
    for (size_t pos = count - 8; pos-- > 0;) {
      const bool isLe = memcmp(&d[pos], le, 4) == 0, isBe = memcmp(&d[pos], be, 4) == 0;
      if (!isLe && !isBe) continue;
      const bool explicitVr = d[pos + 4] == 'O' && (d[pos + 5] == 'B' || d[pos + 5] == 'W');
      const size_t at = pos + (explicitVr ? 8 : 4);
      if (at + 4 > count) continue;
      const uint32_t declared =
          isLe ? Le32(&d[at]) : (uint32_t)d[at] << 24 | (uint32_t)d[at + 1] << 16 | (uint32_t)d[at + 2] << 8 | d[at + 3];
      if (declared != length && declared + 1 != length) continue;
      found = true;
      return from + (int64_t)pos + (explicitVr ? 12 : 8) + (int64_t)declared <= size;
    }
    return false;
  };
  bool found = false;
  bool complete = scan(size - (int64_t)length - 65536, size - (int64_t)length + 16, found);
  if (!found) complete = scan(0, size, found) || !found;
  return complete;
}

// Where the value of the encapsulated pixel data element starts (the first
// one with an undefined length in the file); 0 when there is none.
size_t EncapsulatedStart(const uint8_t* d, size_t n, size_t from) {
  static const uint8_t ob[12] = {0xE0, 0x7F, 0x10, 0x00, 'O', 'B', 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
  static const uint8_t ow[12] = {0xE0, 0x7F, 0x10, 0x00, 'O', 'W', 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
  for (size_t i = from; i + 12 <= n; ++i)
    if (d[i] == 0xE0 && (memcmp(d + i, ob, 12) == 0 || memcmp(d + i, ow, 12) == 0)) return i + 12;
  return 0;
}

// The VR of an element that GDCM reads while it builds the image agrees with
// the dictionary (GDCM asserts that it does); other elements keep whatever
// VR they came with, as real files often do.
bool VrFitsDictionary(uint16_t g, uint16_t e, char a, char b) {
  const bool read = g == 0x0002 || g == 0x0020 || g == 0x0028 || g == 0x7FE0 ||
                    (g == 0x0018 && (e == 0x0050 || e == 0x0088 || e == 0x1164 || e == 0x2010));
  if (!read) return true;
  const gdcm::VR dict = Dictionaries().GetDictEntry(gdcm::Tag(g, e)).GetVR();
  if (dict == gdcm::VR::INVALID) return true;
  const char text[3] = {a, b, 0};
  const gdcm::VR vr = gdcm::VR::GetVRTypeFromFile(text);
  return vr != gdcm::VR::UN && (dict.Compatible(vr) || vr.Compatible(dict));
}

// Walks the elements of a data set without keeping them: every value must lie
// inside the bytes, however deep in sequences, before GDCM (which makes room
// for a value by its stated length first) sees the file.
class ElementWalker {
 public:
  ElementWalker(const uint8_t* d, bool explicitVr, bool bigEndian) : d_(d), explicit_(explicitVr), big_(bigEndian) {}

  // Elements from at to end (or to the item or sequence delimiter when nested).
  bool Walk(size_t at, size_t end, int depth, bool untilDelimiter, size_t* stoppedAt) {
    if (depth > 64) return false;
    while (at < end) {
      if (at + 8 > end) return false;
      const uint16_t g = U16(at), e = U16(at + 2);
      if (g == 0xFFFE) {
        // Item and delimiter tags end nested data sets here.
        if (e == 0xE00D || e == 0xE0DD) {
          if (!untilDelimiter || U32(at + 4) != 0) return false;
          if (stoppedAt) *stoppedAt = at + 8;
          return true;
        }
        return false;
      }
      size_t header = 8;
      uint32_t len;
      bool sequence = false;
      const bool metaGroup = g == 0x0002;
      const bool isExplicit = explicit_ || metaGroup;
      if (isExplicit) {
        const char a = (char)d_[at + 4], b = (char)d_[at + 5];
        if (!IsVrCode(d_ + at + 4) || !VrFitsDictionary(g, e, a, b)) return false;
        const bool longForm = (a == 'O') || (a == 'S' && b == 'Q') || (a == 'U' && (b == 'T' || b == 'N' || b == 'C' ||
                              b == 'R' || b == 'V')) || (a == 'S' && b == 'V');
        if (longForm) {
          if (at + 12 > end) return false;
          len = U32(at + 8);
          header = 12;
        } else {
          len = U16(at + 6);
        }
        sequence = (a == 'S' && b == 'Q') || (a == 'U' && b == 'N' && len == 0xFFFFFFFF);
      } else {
        len = U32(at + 4);
        sequence = len == 0xFFFFFFFF;
      }
      at += header;
      if (g == 0x7FE0 && e == 0x0010 && len == 0xFFFFFFFF) {
        // Encapsulated pixel data: fragments, checked on their own.
        if (!Fragments(at, end, &at)) return false;
        continue;
      }
      if (len == 0xFFFFFFFF) {
        if (!sequence && !(isExplicit && d_[at - header + 4] == 'O')) return false;
        if (!Items(at, end, 0xFFFFFFFF, depth, &at)) return false;
        continue;
      }
      if (len > end - at) return false;
      if (sequence && !Items(at, at + len, len, depth, nullptr)) return false;
      at += len;
    }
    if (untilDelimiter) return false;
    if (stoppedAt) *stoppedAt = at;
    return true;
  }

 private:
  // The items of a sequence, with a defined or an undefined length.
  bool Items(size_t at, size_t end, uint32_t length, int depth, size_t* stoppedAt) {
    for (int count = 0;; ++count) {
      if (length != 0xFFFFFFFF && at == end) {
        if (stoppedAt) *stoppedAt = at;
        return true;
      }
      if (at + 8 > end || U16(at) != 0xFFFE || count > 1000000) return false;
      const uint16_t e = U16(at + 2);
      const uint32_t len = U32(at + 4);
      at += 8;
      if (e == 0xE0DD) {
        if (length != 0xFFFFFFFF || len != 0) return false;
        if (stoppedAt) *stoppedAt = at;
        return true;
      }
      if (e != 0xE000) return false;
      if (len == 0xFFFFFFFF) {
        if (!Walk(at, end, depth + 1, true, &at)) return false;
      } else {
        if (len > end - at || !Walk(at, at + len, depth + 1, false, nullptr)) return false;
        at += len;
      }
    }
  }

  bool Fragments(size_t at, size_t end, size_t* stoppedAt) {
    for (;;) {
      if (at + 8 > end || U16(at) != 0xFFFE) return false;
      const uint16_t e = U16(at + 2);
      const uint32_t len = U32(at + 4);
      at += 8;
      if (e == 0xE0DD) {
        if (len != 0) return false;
        *stoppedAt = at;
        return true;
      }
      if (e != 0xE000 || len > end - at) return false;
      at += len;
    }
  }

  uint16_t U16(size_t at) const {
    return big_ && U16Le(at) != 0xFFFE ? (uint16_t)(d_[at] << 8 | d_[at + 1]) : U16Le(at);
  }
  uint16_t U16Le(size_t at) const { return (uint16_t)(d_[at] | d_[at + 1] << 8); }
  uint32_t U32(size_t at) const {
    return big_ ? (uint32_t)d_[at] << 24 | (uint32_t)d_[at + 1] << 16 | (uint32_t)d_[at + 2] << 8 | d_[at + 3]
                : Le32(d_ + at);
  }

  const uint8_t* d_;
  bool explicit_, big_;
};

// Every element of the file, meta header and data set, lies inside it. A
// deflated data set is inflated (within the cap) and walked as well.
bool ElementsAreWhole(const uint8_t* d, size_t n) {
  size_t at = 0;
  const bool preamble = n >= 132 && memcmp(d + 128, "DICM", 4) == 0;
  if (preamble) at = 132;
  // A meta header without the preamble leaves GDCM guessing its encoding.
  else if (n >= 2 && d[0] == 0x02 && d[1] == 0x00) return false;
  // The meta header: explicit little endian, group 0002. With the preamble
  // it must be there and name the transfer syntax, so that GDCM has nothing
  // to guess.
  std::string syntax;
  {
    ElementWalker meta(d, true, false);
    size_t end = at;
    while (end + 8 <= n && d[end] == 0x02 && d[end + 1] == 0x00) {
      const uint16_t e = (uint16_t)(d[end + 2] | d[end + 3] << 8);
      // One element at a time, to see where the group ends.
      if (!IsVrCode(d + end + 4)) return false;
      const bool longForm = d[end + 4] == 'O' || (d[end + 4] == 'U' && d[end + 5] == 'N');
      const size_t header = longForm ? 12 : 8;
      if (end + header > n) return false;
      const uint32_t len = longForm ? Le32(d + end + 8) : (uint32_t)(d[end + 6] | d[end + 7] << 8);
      if (len == 0xFFFFFFFF || len > n - end - header) return false;
      if (e == 0x0010) {
        syntax.assign((const char*)d + end + header, len);
        while (!syntax.empty() && (syntax.back() == 0 || syntax.back() == ' ')) syntax.pop_back();
      }
      end += header + len;
    }
    if (!meta.Walk(at, end, 0, false, nullptr)) return false;
    if (preamble && (end == at || syntax.empty() || end >= n)) return false;  // a data set must follow
    if (syntax.find('\0') != std::string::npos) return false;
    at = end;
  }
  if (!syntax.empty()) {
    // A syntax GDCM reads as another one than it says is refused.
    const gdcm::TransferSyntax::TSType type = gdcm::TransferSyntax::GetTSType(syntax.c_str());
    if (type == gdcm::TransferSyntax::TS_END || strcmp(gdcm::TransferSyntax::GetTSString(type), syntax.c_str()) != 0)
      return false;
  } else if (at + 2 <= n && !(d[at] == 0x08 && d[at + 1] == 0x00)) {
    return false;  // a bare data set starts with group 0008, little endian
  }
  if (at >= n) return true;
  if (syntax.empty()) {
    // No meta header: explicit when a VR follows the first tag.
    const bool vr = at + 6 <= n && d[at + 4] >= 'A' && d[at + 4] <= 'Z' && d[at + 5] >= 'A' && d[at + 5] <= 'Z';
    return ElementWalker(d, vr, false).Walk(at, n, 0, false, nullptr);
  }
  if (syntax == "1.2.840.10008.1.2.1.99") {
    std::vector<uint8_t> inflated;
    z_stream z;
    memset(&z, 0, sizeof z);
    if (inflateInit2(&z, -15) != Z_OK) return false;
    z.next_in = const_cast<Bytef*>(d + at);
    z.avail_in = (uInt)std::min<size_t>(n - at, 0x7FFFFFFF);
    int rc = Z_OK;
    while (rc == Z_OK) {
      if (inflated.size() >= DecodeLimit()) break;
      const size_t before = inflated.size();
      inflated.resize(before + (1 << 16));
      z.next_out = inflated.data() + before;
      z.avail_out = 1 << 16;
      rc = inflate(&z, Z_NO_FLUSH);
      inflated.resize(before + (1 << 16) - z.avail_out);
    }
    inflateEnd(&z);
    if (rc != Z_STREAM_END) return false;
    return ElementWalker(inflated.data(), true, false).Walk(0, inflated.size(), 0, false, nullptr);
  }
  const bool implicitVr = syntax == "1.2.840.10008.1.2";
  const bool big = syntax == "1.2.840.10008.1.2.2";
  return ElementWalker(d, !implicitVr, big).Walk(at, n, 0, false, nullptr);
}

// PackBits: want bytes from one RLE segment, each written stride bytes apart.
bool UnpackSegment(const uint8_t* src, size_t n, uint8_t* dst, size_t want, size_t stride) {
  size_t i = 0, made = 0;
  while (made < want && i < n) {
    const int8_t c = (int8_t)src[i++];
    if (c >= 0) {
      const size_t count = (size_t)c + 1;
      if (i + count > n) return false;
      for (size_t k = 0; k < count && made < want; ++k) dst[made++ * stride] = src[i + k];
      i += count;
    } else if (c != -128) {
      if (i >= n) return false;
      const size_t count = (size_t)(1 - c);
      for (size_t k = 0; k < count && made < want; ++k) dst[made++ * stride] = src[i];
      ++i;
    }
  }
  return made == want;
}

// RLE frames decoded here into interleaved little-endian samples: one
// fragment per frame, one segment per byte of each sample, most significant
// byte first (GDCM puts 16-bit colour bytes in the wrong places).
bool DecodeRle(const uint8_t* d, size_t n, unsigned frames, unsigned rows, unsigned cols, unsigned spp,
               unsigned bitsAllocated, std::vector<char>& out) {
  const size_t start = EncapsulatedStart(d, n, 0);
  if (!start) return false;
  std::vector<std::pair<size_t, size_t>> items;
  for (size_t at = start; at + 8 <= n;) {
    const uint16_t e = (uint16_t)(d[at + 2] | d[at + 3] << 8);
    const uint32_t len = Le32(d + at + 4);
    if (e != 0xE000 || len > n - at - 8) break;
    items.emplace_back(at + 8, len);
    at += 8 + (size_t)len;
  }
  const size_t pixels = (size_t)rows * cols, bytesPer = bitsAllocated / 8;
  const size_t frameBytes = pixels * spp * bytesPer;
  if (items.size() < frames + 1 || out.size() < frameBytes * frames) return false;
  uint8_t* o = reinterpret_cast<uint8_t*>(out.data());
  for (unsigned f = 0; f < frames; ++f) {
    const uint8_t* frag = d + items[1 + f].first;
    const size_t len = items[1 + f].second;
    const uint32_t segments = Le32(frag);
    if (segments != spp * bytesPer) return false;
    for (uint32_t sgm = 0; sgm < segments; ++sgm) {
      const size_t from = Le32(frag + 4 + 4 * sgm);
      const size_t to = sgm + 1 < segments ? Le32(frag + 8 + 4 * sgm) : len;
      if (from > to || to > len) return false;
      const size_t sample = sgm / bytesPer, byte = bytesPer - 1 - sgm % bytesPer;
      uint8_t* dst = o + f * frameBytes + sample * bytesPer + byte;
      if (!UnpackSegment(frag + from, to - from, dst, pixels, spp * bytesPer)) return false;
    }
  }
  return true;
}

// Checks made on the parsed header before GDCM decodes anything: sizes within
// the cap, palettes whole, encapsulated fragments and their codec headers sound.
bool HeaderIsSound(const uint8_t* d, size_t n, std::string& error) {
  if (!ElementsAreWhole(d, n)) {
    error = "the file is cut short or its elements are damaged";
    return false;
  }
  MemoryStream is(d, n);
  gdcm::Reader head;
  head.SetStream(is);
  std::set<gdcm::Tag> skip;
  if (!head.ReadUpToTag(gdcm::Tag(0x7FE0, 0x0010), skip)) {
    error = "not a DICOM file that can be read";
    return false;
  }
  const gdcm::DataSet& ds = head.GetFile().GetDataSet();
  const unsigned rows = ReadUS(ds, 0x0028, 0x0010), cols = ReadUS(ds, 0x0028, 0x0011);
  const bool hasSpp = ds.FindDataElement(gdcm::Tag(0x0028, 0x0002));
  const unsigned spp = hasSpp ? ReadUS(ds, 0x0028, 0x0002) : 1, ba = ReadUS(ds, 0x0028, 0x0100);
  {
    // The pixel description GDCM takes on trust.
    const gdcm::Tag bsTag(0x0028, 0x0101), hbTag(0x0028, 0x0102);
    const unsigned bs = ds.FindDataElement(bsTag) ? ReadUS(ds, 0x0028, 0x0101) : ba;
    const unsigned hb = ds.FindDataElement(hbTag) ? ReadUS(ds, 0x0028, 0x0102) : bs - 1;
    if (rows == 0 || cols == 0 || (spp != 1 && spp != 3) || (ba != 1 && ba != 8 && ba != 16 && ba != 32) ||
        bs == 0 || bs > ba || hb >= ba || hb + 1 < bs || ReadUS(ds, 0x0028, 0x0103) > 1 ||
        ReadUS(ds, 0x0028, 0x0006) > 1) {
      error = "unsupported image layout";
      return false;
    }
  }
  bool okFrames = false;
  const double nf = FirstNumber(ds, 0x0028, 0x0008, okFrames);
  if (okFrames && (nf < 1 || nf > 1e7)) {
    error = "the number of frames is not usable";
    return false;
  }
  const uint64_t frames = okFrames ? (uint64_t)nf : 1;
  const uint64_t pixels = (uint64_t)rows * cols * frames;
  const uint64_t bytes = ba == 1 ? (pixels * spp + 7) / 8 : pixels * spp * ((ba + 7) / 8);
  if (bytes > DecodeLimit() || pixels * (spp == 1 ? sizeof(float) : 3) > DecodeLimit()) {
    error = "the image is larger than the library takes (1 GiB)";
    return false;
  }
  if (!PaletteIsSound(ds, error)) return false;
  {
    // One sample per pixel for grey and palette pictures, three for colour.
    const std::string pi = ReadText(ds, 0x0028, 0x0004);
    const gdcm::PhotometricInterpretation::PIType type = gdcm::PhotometricInterpretation::GetPIType(pi.c_str());
    const bool single = type == gdcm::PhotometricInterpretation::MONOCHROME1 ||
                        type == gdcm::PhotometricInterpretation::MONOCHROME2 ||
                        type == gdcm::PhotometricInterpretation::PALETTE_COLOR;
    if (single != (spp == 1)) {
      error = "the photometric interpretation does not fit the samples per pixel";
      return false;
    }
  }
  {
    // The old recognition code, when present, is one GDCM knows (it reads it
    // as text and asserts that it is).
    const gdcm::Tag rc(0x0008, 0x0010);
    if (ds.FindDataElement(rc) && !ds.GetDataElement(rc).IsEmpty()) {
      const gdcm::ByteValue* bv = ds.GetDataElement(rc).GetByteValue();
      const std::string code = bv ? std::string(bv->GetPointer(), bv->GetLength()) : std::string();
      if (code.compare(0, 8, "ACR-NEMA") != 0 && code.compare(0, 7, "ACRNEMA") != 0 &&
          code.compare(0, 8, "MIPS 2.0") != 0) {
        error = "unsupported recognition code";
        return false;
      }
    }
  }
  const gdcm::TransferSyntax ts = head.GetFile().GetHeader().GetDataSetTransferSyntax();
  if (ts.IsEncapsulated()) {
    // GDCM's codecs copy 8-bit samples only when every bit is stored.
    const gdcm::Tag bsTag(0x0028, 0x0101);
    if (ba == 8 && ds.FindDataElement(bsTag) && ReadUS(ds, 0x0028, 0x0101) != 8) {
      error = "unsupported image layout";
      return false;
    }
    const size_t at = EncapsulatedStart(d, n, 0);
    if (!at || rows == 0 || cols == 0 || (ba != 8 && ba != 16 && ba != 32) ||
        !FragmentsAreSound(d, n, at, ts, (unsigned)frames, rows, cols, spp, ba)) {
      error = "the compressed pixel data is cut or damaged";
      return false;
    }
  }
  return true;
}

}  // namespace

void WarmUp() { Dictionaries(); }

bool LooksLikeDicom(const std::string& path) {
  uint8_t h[140];
  size_t n = 0;
  if (!ReadHeaderBytes(path, h, sizeof h, n)) return false;
  return LooksLikeDicomBytes(h, n);
}

bool LooksLikeDicomBytes(const uint8_t* h, size_t n) {
  if (n >= 132 && memcmp(h + 128, "DICM", 4) == 0) return true;
  // A data set without the preamble: a first element of group 0002 or 0008
  // with a small element number, in explicit or implicit little endian.
  if (n < 12) return false;
  uint16_t group = (uint16_t)(h[0] | h[1] << 8), element = (uint16_t)(h[2] | h[3] << 8);
  if (group != 0x0002 && group != 0x0008) return false;
  if (element > 0x0020) return false;
  if (IsVrCode(h + 4)) return true;
  uint32_t len = (uint32_t)h[4] | (uint32_t)h[5] << 8 | (uint32_t)h[6] << 16 | (uint32_t)h[7] << 24;
  return len < 0x10000;
}

bool LoadDicom(const std::string& path, Volume& v, std::string& error) {
  std::vector<uint8_t> file;
  if (!ReadWholeFile(path, file)) {
    error = "the file cannot be read";
    return false;
  }
  return DecodeDicom(file.data(), file.size(), v, error);
}

bool DecodeDicom(const uint8_t* fileData, size_t fileSize, Volume& v, std::string& error) {
  Dictionaries();
  if (!HeaderIsSound(fileData, fileSize, error)) return false;
  MemoryStream is(fileData, fileSize);
  gdcm::ImageReader reader;
  reader.SetStream(is);
  if (!reader.Read()) {
    error = "not a DICOM image that can be read";
    return false;
  }
  const gdcm::Image& image = reader.GetImage();
  gdcm::PhotometricInterpretation pi = image.GetPhotometricInterpretation();
  const bool palette = pi == gdcm::PhotometricInterpretation::PALETTE_COLOR;
  const unsigned int* dims = image.GetDimensions();
  const int w = (int)dims[0], h = (int)dims[1];
  const int frames = image.GetNumberOfDimensions() > 2 ? (int)dims[2] : 1;
  const gdcm::PixelFormat pf = image.GetPixelFormat();
  const int spp = pf.GetSamplesPerPixel();
  const int bitsAllocated = pf.GetBitsAllocated();
  const int bitsStored = pf.GetBitsStored() ? pf.GetBitsStored() : bitsAllocated;
  const int highBit = pf.GetHighBit() ? pf.GetHighBit() : bitsStored - 1;
  const bool isSigned = pf.GetPixelRepresentation() == 1;
  if (w <= 0 || h <= 0 || frames <= 0 || (spp != 1 && spp != 3) ||
      (bitsAllocated != 1 && bitsAllocated != 8 && bitsAllocated != 16 && bitsAllocated != 32) ||
      (size_t)w * h * frames > ((size_t)1 << 31)) {
    error = "unsupported image layout";
    return false;
  }
  const size_t length = image.GetBufferLength();
  {
    // GDCM's own length is a 32-bit number on Windows: it must agree with the
    // one counted here before a buffer is made for it.
    const uint64_t counted = bitsAllocated == 1 ? ((uint64_t)w * h * frames * spp + 7) / 8
                                                : (uint64_t)w * h * frames * spp * (bitsAllocated / 8);
    const bool half = pi == gdcm::PhotometricInterpretation::YBR_FULL_422 ||
                      pi == gdcm::PhotometricInterpretation::YBR_PARTIAL_422;
    if (counted > DecodeLimit() || (length != counted && !(half && length < counted))) {
      error = "the image is larger than the library takes (1 GiB)";
      return false;
    }
  }
  const gdcm::DataSet& ds = reader.GetFile().GetDataSet();
  {
    // Native (not encapsulated) pixel data must hold the whole image.
    const gdcm::Tag pixelTag(0x7FE0, 0x0010);
    const gdcm::ByteValue* bv =
        ds.FindDataElement(pixelTag) ? ds.GetDataElement(pixelTag).GetByteValue() : nullptr;
    const bool half = pi == gdcm::PhotometricInterpretation::YBR_FULL_422 ||
                      pi == gdcm::PhotometricInterpretation::YBR_PARTIAL_422;
    const size_t need = half ? length / 3 * 2 : length;
    if (bv && (bv->GetLength() < need || !NativeDataComplete(fileData, fileSize, bv->GetLength()))) {
      error = "the pixel data is shorter than the image";
      return false;
    }
  }
  std::vector<char> buffer(length);
  const bool ownRle = reader.GetFile().GetHeader().GetDataSetTransferSyntax() == gdcm::TransferSyntax::RLELossless &&
                      bitsAllocated >= 8;
  if (length == 0 || !(ownRle ? DecodeRle(fileData, fileSize, (unsigned)frames, (unsigned)h, (unsigned)w,
                                          (unsigned)spp, (unsigned)bitsAllocated, buffer)
                              : image.GetBuffer(buffer.data()))) {
    error = "the pixel data cannot be decoded";
    return false;
  }
  // Some decoders update the description of what they produced.
  pi = image.GetPhotometricInterpretation() == gdcm::PhotometricInterpretation::PALETTE_COLOR
           ? pi
           : image.GetPhotometricInterpretation();

  const size_t pixels = (size_t)w * h;
  v = Volume();
  {
    bool okI = false;
    double inst = FirstNumber(ds, 0x0020, 0x0013, okI);
    v.hasInstance = okI && std::fabs(inst) < 2e9;
    v.instance = v.hasInstance ? (int)inst : 0;
    const gdcm::Tag seriesTag(0x0020, 0x000E);
    if (ds.FindDataElement(seriesTag)) {
      const gdcm::ByteValue* bv = ds.GetDataElement(seriesTag).GetByteValue();
      if (bv) {
        v.series.assign(bv->GetPointer(), bv->GetLength());
        while (!v.series.empty() && (v.series.back() == 0 || v.series.back() == ' ')) v.series.pop_back();
      }
    }
  }
  v.width = w;
  v.height = h;
  v.frames = frames;
  const uint8_t* raw = reinterpret_cast<const uint8_t*>(buffer.data());

  if (spp == 1) {
    const size_t count = pixels * frames;
    const size_t bytesPer = bitsAllocated == 1 ? 0 : (size_t)bitsAllocated / 8;
    if ((bitsAllocated == 1 && length * 8 < count) || (bytesPer && length < count * bytesPer)) {
      error = "the pixel data is shorter than the image";
      return false;
    }
    v.channels = 1;
    v.grey.resize(count);
    const double slope = image.GetSlope() == 0 ? 1.0 : image.GetSlope();
    const double intercept = image.GetIntercept();
    const int shift = highBit + 1 - bitsStored;
    const uint32_t mask = bitsStored >= 32 ? 0xFFFFFFFFu : ((1u << bitsStored) - 1);
    // The common layout, 16 bits with the stored bits at the bottom, without
    // the general case's per-sample decisions.
    const bool plain16 = bitsAllocated == 16 && shift == 0 && bitsStored == 16;
    if (plain16) {
      if (isSigned)
        for (size_t i = 0; i < count; ++i)
          v.grey[i] = (float)((double)(int16_t)(raw[2 * i] | raw[2 * i + 1] << 8) * slope + intercept);
      else
        for (size_t i = 0; i < count; ++i)
          v.grey[i] = (float)((double)(uint16_t)(raw[2 * i] | raw[2 * i + 1] << 8) * slope + intercept);
    }
    for (size_t i = plain16 ? count : 0; i < count; ++i) {
      uint32_t u;
      if (bitsAllocated == 1) u = (raw[i >> 3] >> (i & 7)) & 1;
      else if (bitsAllocated == 8) u = raw[i];
      else if (bitsAllocated == 16) u = (uint32_t)raw[2 * i] | (uint32_t)raw[2 * i + 1] << 8;
      else u = (uint32_t)raw[4 * i] | (uint32_t)raw[4 * i + 1] << 8 | (uint32_t)raw[4 * i + 2] << 16 |
               (uint32_t)raw[4 * i + 3] << 24;
      if (bitsAllocated > 1) u = (shift > 0 ? u >> shift : u) & mask;
      double value;
      if (isSigned && bitsAllocated > 1 && bitsStored < 32 && (u & (1u << (bitsStored - 1))))
        value = (double)(int64_t)u - (double)((int64_t)1 << bitsStored);
      else if (isSigned && bitsStored == 32)
        value = (double)(int32_t)u;
      else
        value = (double)u;
      v.grey[i] = (float)(value * slope + intercept);
    }
    v.invert = pi == gdcm::PhotometricInterpretation::MONOCHROME1;
    if (palette) return ApplyPalette(ds, isSigned, v, error);
    bool okC = false, okW = false;
    double c = FirstNumber(ds, 0x0028, 0x1050, okC), ww = FirstNumber(ds, 0x0028, 0x1051, okW);
    if (okC && okW && ww >= 1) {
      v.hasWindow = true;
      v.center = c;
      v.width_ = ww;
    }
    return true;
  }

  // Colour, 8 bits per channel from 8, 16 or 32 stored.
  const size_t bytesPer = (size_t)bitsAllocated / 8;
  if (bitsAllocated != 8 && bitsAllocated != 16 && bitsAllocated != 32) {
    error = "unsupported colour sample size";
    return false;
  }
  v.channels = 3;
  v.rgb.resize(pixels * 3 * frames);
  const bool sub422 = (pi == gdcm::PhotometricInterpretation::YBR_FULL_422 ||
                       pi == gdcm::PhotometricInterpretation::YBR_PARTIAL_422) &&
                      bitsAllocated == 8 && length < pixels * 3 * frames;
  if (sub422) {
    // Pairs of pixels share their chroma: Y1 Y2 Cb Cr; an odd last pixel
    // has a pair of its own that may be cut short.
    const size_t frameBytes = (pixels + 1) / 2 * 4;
    if (length < frameBytes * frames) {
      error = "the pixel data is shorter than the image";
      return false;
    }
    for (int f = 0; f < frames; ++f) {
      const uint8_t* src = raw + (size_t)f * frameBytes;
      uint8_t* dst = &v.rgb[(size_t)f * pixels * 3];
      for (size_t i = 0; i < pixels; i += 2) {
        const uint8_t* q = src + i * 2;
        const uint8_t y1 = q[0], y2 = q[1], cb = q[2], cr = q[3];
        dst[i * 3] = y1, dst[i * 3 + 1] = cb, dst[i * 3 + 2] = cr;
        if (i + 1 < pixels) dst[i * 3 + 3] = y2, dst[i * 3 + 4] = cb, dst[i * 3 + 5] = cr;
      }
    }
  } else {
    if (length < pixels * 3 * frames * bytesPer) {
      error = "the pixel data is shorter than the image";
      return false;
    }
    const bool planar = !ownRle && image.GetPlanarConfiguration() == 1;
    const int down = bitsAllocated > 8 ? std::max(0, bitsStored - 8) : 0;
    for (int f = 0; f < frames; ++f) {
      const uint8_t* src = raw + (size_t)f * pixels * 3 * bytesPer;
      uint8_t* dst = &v.rgb[(size_t)f * pixels * 3];
      for (size_t i = 0; i < pixels; ++i)
        for (int c = 0; c < 3; ++c) {
          size_t idx = planar ? (size_t)c * pixels + i : i * 3 + c;
          const uint8_t* p = src + idx * bytesPer;
          uint32_t s = bytesPer == 1 ? p[0]
                       : bytesPer == 2 ? (uint32_t)(p[0] | p[1] << 8)
                                       : (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
          if (bytesPer > 1) s = (s >> (highBit + 1 - bitsStored)) >> down;
          dst[i * 3 + c] = (uint8_t)std::min<uint32_t>(s, 255);
        }
    }
  }
  if (pi == gdcm::PhotometricInterpretation::YBR_FULL || pi == gdcm::PhotometricInterpretation::YBR_FULL_422 ||
      pi == gdcm::PhotometricInterpretation::YBR_PARTIAL_422 || pi == gdcm::PhotometricInterpretation::YBR_PARTIAL_420)
    YbrToRgb(v.rgb.data(), pixels * frames);
  return true;
}

// ---- tag trees --------------------------------------------------------------

namespace {

int VrCode(gdcm::VR vr) {
  switch (vr) {
    case gdcm::VR::AE: return QF_VR_AE;
    case gdcm::VR::AS: return QF_VR_AS;
    case gdcm::VR::AT: return QF_VR_AT;
    case gdcm::VR::CS: return QF_VR_CS;
    case gdcm::VR::DA: return QF_VR_DA;
    case gdcm::VR::DS: return QF_VR_DS;
    case gdcm::VR::DT: return QF_VR_DT;
    case gdcm::VR::FD: return QF_VR_FD;
    case gdcm::VR::FL: return QF_VR_FL;
    case gdcm::VR::IS: return QF_VR_IS;
    case gdcm::VR::LO: return QF_VR_LO;
    case gdcm::VR::LT: return QF_VR_LT;
    case gdcm::VR::OB: return QF_VR_OB;
    case gdcm::VR::OF: return QF_VR_OF;
    case gdcm::VR::OW: return QF_VR_OW;
    case gdcm::VR::PN: return QF_VR_PN;
    case gdcm::VR::SH: return QF_VR_SH;
    case gdcm::VR::SL: return QF_VR_SL;
    case gdcm::VR::SQ: return QF_VR_SQ;
    case gdcm::VR::SS: return QF_VR_SS;
    case gdcm::VR::ST: return QF_VR_ST;
    case gdcm::VR::TM: return QF_VR_TM;
    case gdcm::VR::UI: return QF_VR_UI;
    case gdcm::VR::UL: return QF_VR_UL;
    case gdcm::VR::UN: return QF_VR_UN;
    case gdcm::VR::US: return QF_VR_US;
    case gdcm::VR::UT: return QF_VR_UT;
    case gdcm::VR::OD: return QF_VR_OD;
    case gdcm::VR::OL: return QF_VR_OL;
    case gdcm::VR::UC: return QF_VR_UC;
    case gdcm::VR::UR: return QF_VR_UR;
    default: return QF_VR_NONE;
  }
}

gdcm::VR ResolveVr(const gdcm::DataElement& de) {
  gdcm::VR vr = de.GetVR();
  if (vr == gdcm::VR::INVALID || vr == gdcm::VR::UN) {
    const gdcm::DictEntry& entry = Dictionaries().GetDictEntry(de.GetTag());
    gdcm::VR dict = entry.GetVR();
    if (dict == gdcm::VR::US_SS || dict == gdcm::VR::US_SS_OW) dict = gdcm::VR::US;
    else if (dict == gdcm::VR::OB_OW) dict = gdcm::VR::OW;
    if (dict != gdcm::VR::INVALID) vr = dict;
    if (de.GetValueAsSQ()) vr = gdcm::VR::SQ;
  }
  if (vr == gdcm::VR::US_SS) vr = gdcm::VR::US;
  return vr;
}

// The text of one value: text representations as stored (trailing padding
// removed), numbers in decimal separated by backslashes.
std::string ValueText(const gdcm::DataElement& de, gdcm::VR vr) {
  const gdcm::ByteValue* bv = de.GetByteValue();
  if (!bv || bv->GetLength() == 0) return std::string();
  const char* p = bv->GetPointer();
  const size_t n = bv->GetLength();
  std::string out;
  auto join = [&](const std::string& s) {
    if (!out.empty()) out += '\\';
    out += s;
  };
  char tmp[64];
  switch (vr) {
    case gdcm::VR::US:
      for (size_t i = 0; i + 2 <= n && out.size() < 1100; i += 2) {
        uint16_t x; memcpy(&x, p + i, 2); snprintf(tmp, sizeof tmp, "%u", (unsigned)x); join(tmp);
      }
      return out;
    case gdcm::VR::SS:
      for (size_t i = 0; i + 2 <= n && out.size() < 1100; i += 2) {
        int16_t x; memcpy(&x, p + i, 2); snprintf(tmp, sizeof tmp, "%d", (int)x); join(tmp);
      }
      return out;
    case gdcm::VR::UL:
      for (size_t i = 0; i + 4 <= n && out.size() < 1100; i += 4) {
        uint32_t x; memcpy(&x, p + i, 4); snprintf(tmp, sizeof tmp, "%lu", (unsigned long)x); join(tmp);
      }
      return out;
    case gdcm::VR::SL:
      for (size_t i = 0; i + 4 <= n && out.size() < 1100; i += 4) {
        int32_t x; memcpy(&x, p + i, 4); snprintf(tmp, sizeof tmp, "%ld", (long)x); join(tmp);
      }
      return out;
    case gdcm::VR::FL:
      for (size_t i = 0; i + 4 <= n && out.size() < 1100; i += 4) {
        float x; memcpy(&x, p + i, 4); snprintf(tmp, sizeof tmp, "%.9g", (double)x); join(tmp);
      }
      return out;
    case gdcm::VR::FD:
      for (size_t i = 0; i + 8 <= n && out.size() < 1100; i += 8) {
        double x; memcpy(&x, p + i, 8); snprintf(tmp, sizeof tmp, "%.17g", x); join(tmp);
      }
      return out;
    case gdcm::VR::AT:
      for (size_t i = 0; i + 4 <= n && out.size() < 1100; i += 4) {
        uint16_t g, e; memcpy(&g, p + i, 2); memcpy(&e, p + i + 2, 2);
        snprintf(tmp, sizeof tmp, "(%04X,%04X)", g, e); join(tmp);
      }
      return out;
    case gdcm::VR::OB: case gdcm::VR::OW: case gdcm::VR::OF: case gdcm::VR::OD: case gdcm::VR::OL:
    case gdcm::VR::UN: case gdcm::VR::SQ: case gdcm::VR::INVALID:
      return std::string();
    default: {
      std::string s(p, n);
      size_t nul = s.find('\0');
      if (nul != std::string::npos) s.resize(nul);
      while (!s.empty() && s.back() == ' ') s.pop_back();
      return s;
    }
  }
}

void FillRecords(const gdcm::DataSet& ds, std::vector<TagRecord*>& allocated, TagRecord*& array, int32_t& count,
                 bool& ok, int depth);

void FillRecord(const gdcm::DataElement& de, TagRecord& r, std::vector<TagRecord*>& allocated, bool& ok,
                int depth) {
  const gdcm::Tag t = de.GetTag();
  r.group = t.GetGroup();
  r.element = t.GetElement();
  gdcm::VR vr = ResolveVr(de);
  r.vr = VrCode(vr);
  const gdcm::VL vl = de.GetVL();
  r.info2 = vl.IsUndefined() ? -1 : (int32_t)(uint32_t)vl;
  if (t == gdcm::Tag(0x7FE0, 0x0010)) {
    r.length = 0;
    return;
  }
  gdcm::SmartPointer<gdcm::SequenceOfItems> sq = de.GetValueAsSQ();
  if (sq && sq->GetNumberOfItems() > 0 && depth < 32) {
    r.vr = QF_VR_SQ;
    const size_t items = sq->GetNumberOfItems();
    TagRecord* children = static_cast<TagRecord*>(Alloc(items * sizeof(TagRecord)));
    if (!children) { ok = false; return; }
    memset(children, 0, items * sizeof(TagRecord));
    allocated.push_back(children);
    r.children = children;
    r.childCount = (int32_t)items;
    for (size_t i = 0; i < items; ++i) {
      // One record per item, (FFFE,E000), whose children are the item's elements.
      TagRecord& item = children[i];
      item.group = 0xFFFE;
      item.element = 0xE000;
      item.info1 = (int32_t)i;
      FillRecords(sq->GetItem(i + 1).GetNestedDataSet(), allocated, item.children, item.childCount, ok,
                  depth + 1);
    }
    return;
  }
  if (sq) {
    r.vr = QF_VR_SQ;
    return;
  }
  std::string text = ValueText(de, vr);
  if (text.size() > sizeof r.text - 1) text.resize(sizeof r.text - 1);
  memcpy(r.text, text.data(), text.size());
  r.text[text.size()] = 0;
  r.length = (int32_t)text.size();
}

void FillRecords(const gdcm::DataSet& ds, std::vector<TagRecord*>& allocated, TagRecord*& array, int32_t& count,
                 bool& ok, int depth) {
  array = nullptr;
  count = 0;
  const size_t n = ds.Size();
  if (n == 0 || !ok) return;
  TagRecord* records = static_cast<TagRecord*>(Alloc(n * sizeof(TagRecord)));
  if (!records) { ok = false; return; }
  memset(records, 0, n * sizeof(TagRecord));
  allocated.push_back(records);
  array = records;
  size_t i = 0;
  for (gdcm::DataSet::ConstIterator it = ds.Begin(); it != ds.End() && i < n; ++it, ++i) {
    records[i].info1 = (int32_t)i;
    FillRecord(*it, records[i], allocated, ok, depth);
  }
  count = (int32_t)i;
}

}  // namespace

bool ReadDicomInfo(const std::string& path, bool wantTags, FileInfoRequest* req, std::string& error) {
  Dictionaries();
  // The header only: everything before the pixel data.
  gdcm::Reader reader;
  reader.SetFileName(path.c_str());
  std::set<gdcm::Tag> skip;
  if (!reader.ReadUpToTag(gdcm::Tag(0x7FE0, 0x0010), skip)) {
    error = "not a DICOM file that can be read";
    return false;
  }
  const gdcm::DataSet& ds = reader.GetFile().GetDataSet();
  auto readUS = [&](uint16_t g, uint16_t e) -> int {
    const gdcm::Tag t(g, e);
    if (!ds.FindDataElement(t)) return 0;
    const gdcm::ByteValue* bv = ds.GetDataElement(t).GetByteValue();
    if (!bv || bv->GetLength() < 2) return 0;
    uint16_t x;
    memcpy(&x, bv->GetPointer(), 2);
    return x;
  };
  req->width = readUS(0x0028, 0x0011);
  req->height = readUS(0x0028, 0x0010);
  bool okFrames = false;
  double frames = FirstNumber(ds, 0x0028, 0x0008, okFrames);
  req->info5 = okFrames && frames >= 1 ? (int32_t)frames : (req->width ? 1 : 0);
  req->info1 = 1;  // DICOM
  req->info2 = readUS(0x0028, 0x0002);
  req->tagCount = 0;
  req->tags = nullptr;
  if (!wantTags) return true;

  // The meta header first, then the data set.
  const gdcm::FileMetaInformation& meta = reader.GetFile().GetHeader();
  std::vector<TagRecord*> allocated;
  bool ok = true;
  TagRecord* top = nullptr;
  int32_t count = 0;
  // Meta and data set in one ordered array.
  const size_t n = meta.Size() + ds.Size();
  if (n > 0) {
    top = static_cast<TagRecord*>(Alloc(n * sizeof(TagRecord)));
    if (!top) ok = false;
    else {
      memset(top, 0, n * sizeof(TagRecord));
      allocated.push_back(top);
      size_t i = 0;
      for (gdcm::DataSet::ConstIterator it = meta.Begin(); it != meta.End() && ok; ++it, ++i) {
        top[i].info1 = (int32_t)i;
        FillRecord(*it, top[i], allocated, ok, 0);
      }
      for (gdcm::DataSet::ConstIterator it = ds.Begin(); it != ds.End() && ok; ++it, ++i) {
        top[i].info1 = (int32_t)i;
        FillRecord(*it, top[i], allocated, ok, 0);
      }
      count = (int32_t)i;
    }
  }
  if (!ok) {
    for (TagRecord* p : allocated) FreeBuffer(p);
    error = "out of memory";
    return false;
  }
  req->tagCount = count;
  req->tags = top;
  return true;
}

// ---- writing ----------------------------------------------------------------

bool WriteSecondaryCapture(const std::string& path, int width, int height, int channels,
                           const std::vector<uint8_t>& pixels, std::string& error) {
  Dictionaries();
  if (width <= 0 || height <= 0 || width > 65535 || height > 65535 || (channels != 1 && channels != 3) ||
      pixels.size() != (size_t)width * height * channels) {
    error = "unsupported picture";
    return false;
  }
  gdcm::ImageWriter writer;
  gdcm::Image& image = writer.GetImage();
  image.SetNumberOfDimensions(2);
  image.SetDimension(0, (unsigned)width);
  image.SetDimension(1, (unsigned)height);
  image.SetPixelFormat(channels == 3 ? gdcm::PixelFormat(3, 8, 8, 7, 0) : gdcm::PixelFormat(1, 8, 8, 7, 0));
  image.SetPhotometricInterpretation(channels == 3 ? gdcm::PhotometricInterpretation::RGB
                                                   : gdcm::PhotometricInterpretation::MONOCHROME2);
  image.SetPlanarConfiguration(0);
  image.SetTransferSyntax(gdcm::TransferSyntax::ExplicitVRLittleEndian);
  gdcm::DataElement pixelData(gdcm::Tag(0x7FE0, 0x0010));
  pixelData.SetByteValue(reinterpret_cast<const char*>(pixels.data()), (uint32_t)pixels.size());
  image.SetDataElement(pixelData);

  gdcm::File& file = writer.GetFile();
  gdcm::DataSet& ds = file.GetDataSet();
  gdcm::UIDGenerator uid;
  const char* scClass = "1.2.840.10008.5.1.4.1.1.7";
  auto put = [&](uint16_t g, uint16_t e, gdcm::VR vr, std::string value) {
    gdcm::DataElement de(gdcm::Tag(g, e));
    de.SetVR(vr);
    if (value.size() & 1) value += (vr == gdcm::VR::UI ? '\0' : ' ');
    de.SetByteValue(value.data(), (uint32_t)value.size());
    ds.Replace(de);
  };
  time_t now = time(nullptr);
  struct tm tmv;
#ifdef _WIN32
  localtime_s(&tmv, &now);
#else
  localtime_r(&now, &tmv);
#endif
  char date[16], tod[16];
  strftime(date, sizeof date, "%Y%m%d", &tmv);
  strftime(tod, sizeof tod, "%H%M%S", &tmv);
  const std::string sopInstance = uid.Generate();
  put(0x0008, 0x0016, gdcm::VR::UI, scClass);
  put(0x0008, 0x0018, gdcm::VR::UI, sopInstance);
  put(0x0008, 0x0020, gdcm::VR::DA, date);
  put(0x0008, 0x0023, gdcm::VR::DA, date);
  put(0x0008, 0x0030, gdcm::VR::TM, tod);
  put(0x0008, 0x0033, gdcm::VR::TM, tod);
  put(0x0008, 0x0050, gdcm::VR::SH, "");
  put(0x0008, 0x0060, gdcm::VR::CS, "OT");
  put(0x0008, 0x0064, gdcm::VR::CS, "WSD");
  put(0x0008, 0x0090, gdcm::VR::PN, "");
  put(0x0010, 0x0010, gdcm::VR::PN, "");
  put(0x0010, 0x0020, gdcm::VR::LO, "");
  put(0x0010, 0x0030, gdcm::VR::DA, "");
  put(0x0010, 0x0040, gdcm::VR::CS, "");
  put(0x0020, 0x000D, gdcm::VR::UI, uid.Generate());
  put(0x0020, 0x000E, gdcm::VR::UI, uid.Generate());
  put(0x0020, 0x0010, gdcm::VR::SH, "");
  put(0x0020, 0x0011, gdcm::VR::IS, "1");
  put(0x0020, 0x0013, gdcm::VR::IS, "1");
  put(0x0020, 0x0020, gdcm::VR::CS, "");
  put(0x0020, 0x0060, gdcm::VR::CS, "");

  gdcm::FileMetaInformation& meta = file.GetHeader();
  meta.Clear();
  meta.SetDataSetTransferSyntax(gdcm::TransferSyntax::ExplicitVRLittleEndian);

  // Written beside the target, then moved into place.
  char suffix[64];
  static std::atomic<unsigned> counter{0};
  snprintf(suffix, sizeof suffix, ".%lu-%u.part", (unsigned long)
#ifdef _WIN32
           GetCurrentProcessId(),
#else
           0ul,
#endif
           counter.fetch_add(1));
  const std::string temp = path + suffix;
  writer.SetFileName(temp.c_str());
  if (!writer.Write()) {
    remove(temp.c_str());
    error = "the DICOM file cannot be written";
    return false;
  }
#ifdef _WIN32
  if (!MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(temp.c_str());
    error = "the DICOM file cannot be moved into place";
    return false;
  }
#else
  if (rename(temp.c_str(), path.c_str()) != 0) {
    remove(temp.c_str());
    error = "the DICOM file cannot be moved into place";
    return false;
  }
#endif
  return true;
}

}  // namespace qf
