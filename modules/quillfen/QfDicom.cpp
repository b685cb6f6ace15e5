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
#include <gdcmUIDGenerator.h>
#include <gdcmWriter.h>

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
  static const gdcm::Dicts& dicts = gdcm::Global::GetInstance().GetDicts();
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

// Checks made before the image reader runs: a palette whose tables are
// shorter than their descriptors say is refused.
bool HeaderIsSound(const std::string& path, std::string& error) {
  {
    // Only palette images (and deflated data sets, whose text cannot be seen)
    // need the closer look.
    uint8_t buf[16384];
    size_t got = 0;
    if (!ReadHeaderBytes(path, buf, sizeof buf, got)) {
      error = "the file cannot be read";
      return false;
    }
    const std::string text(reinterpret_cast<const char*>(buf), got);
    if (text.find("PALETTE COLOR") == std::string::npos && text.find("1.2.840.10008.1.2.1.99") == std::string::npos)
      return true;
  }
  gdcm::Reader head;
  head.SetFileName(path.c_str());
  std::set<gdcm::Tag> skip;
  if (!head.ReadUpToTag(gdcm::Tag(0x7FE0, 0x0010), skip)) {
    error = "not a DICOM file that can be read";
    return false;
  }
  const gdcm::DataSet& ds = head.GetFile().GetDataSet();
  const gdcm::Tag piTag(0x0028, 0x0004);
  if (!ds.FindDataElement(piTag) || !ds.GetDataElement(piTag).GetByteValue()) return true;
  const gdcm::ByteValue* pv = ds.GetDataElement(piTag).GetByteValue();
  const std::string pi(pv->GetPointer(), pv->GetLength());
  if (pi.compare(0, 13, "PALETTE COLOR") != 0) return true;
  for (int c = 0; c < 3; ++c) {
    const gdcm::Tag dt(0x0028, (uint16_t)(0x1101 + c)), vt(0x0028, (uint16_t)(0x1201 + c));
    const gdcm::ByteValue* d = ds.FindDataElement(dt) ? ds.GetDataElement(dt).GetByteValue() : nullptr;
    const gdcm::ByteValue* t = ds.FindDataElement(vt) ? ds.GetDataElement(vt).GetByteValue() : nullptr;
    uint16_t desc[3] = {0, 0, 0};
    if (d && d->GetLength() >= 6) memcpy(desc, d->GetPointer(), 6);
    const size_t entries = desc[0] ? desc[0] : 65536;
    if (!d || !t || d->GetLength() < 6 || (desc[2] != 8 && desc[2] != 16) ||
        t->GetLength() < entries * (desc[2] == 8 ? 1 : 2)) {
      error = "the colour palette is missing or damaged";
      return false;
    }
  }
  return true;
}

// Native pixel data of the declared length is wholly inside the file (a cut
// file otherwise reads as if it were complete). The element's header is looked
// for just before where the value must start, then, failing that, everywhere.
bool NativeDataComplete(const std::string& path, uint32_t length) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  _fseeki64(f, 0, SEEK_END);
  const int64_t size = _ftelli64(f);
  auto scan = [&](int64_t from, int64_t to, bool& found) -> bool {
    found = false;
    from = std::max<int64_t>(0, from);
    to = std::min<int64_t>(size, to);
    if (to - from < 8) return false;
    std::vector<uint8_t> d((size_t)(to - from));
    _fseeki64(f, from, SEEK_SET);
    if (fread(d.data(), 1, d.size(), f) != d.size()) return false;
    const uint8_t le[4] = {0xE0, 0x7F, 0x10, 0x00}, be[4] = {0x7F, 0xE0, 0x00, 0x10};
    for (size_t pos = d.size() - 8; pos-- > 0;) {
      const bool isLe = memcmp(&d[pos], le, 4) == 0, isBe = memcmp(&d[pos], be, 4) == 0;
      if (!isLe && !isBe) continue;
      const bool explicitVr = d[pos + 4] == 'O' && (d[pos + 5] == 'B' || d[pos + 5] == 'W');
      const size_t at = pos + (explicitVr ? 8 : 4);
      if (at + 4 > d.size()) continue;
      const uint32_t declared =
          isLe ? (uint32_t)d[at] | (uint32_t)d[at + 1] << 8 | (uint32_t)d[at + 2] << 16 | (uint32_t)d[at + 3] << 24
               : (uint32_t)d[at] << 24 | (uint32_t)d[at + 1] << 16 | (uint32_t)d[at + 2] << 8 | d[at + 3];
      if (declared != length && declared + 1 != length) continue;
      found = true;
      return from + (int64_t)pos + (explicitVr ? 12 : 8) + (int64_t)declared <= size;
    }
    return false;
  };
  bool found = false;
  bool complete = scan(size - (int64_t)length - 65536, size - (int64_t)length + 16, found);
  if (!found) complete = scan(0, size, found) || !found;
  fclose(f);
  return complete;
}

}  // namespace

void WarmUp() { Dictionaries(); }

bool LooksLikeDicom(const std::string& path) {
  uint8_t h[140];
  size_t n = 0;
  if (!ReadHeaderBytes(path, h, sizeof h, n)) return false;
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
  Dictionaries();
  if (!HeaderIsSound(path, error)) return false;
  gdcm::ImageReader reader;
  reader.SetFileName(path.c_str());
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
  const gdcm::DataSet& ds = reader.GetFile().GetDataSet();
  {
    // Native (not encapsulated) pixel data must hold the whole image.
    const gdcm::Tag pixelTag(0x7FE0, 0x0010);
    const gdcm::ByteValue* bv =
        ds.FindDataElement(pixelTag) ? ds.GetDataElement(pixelTag).GetByteValue() : nullptr;
    const bool half = pi == gdcm::PhotometricInterpretation::YBR_FULL_422 ||
                      pi == gdcm::PhotometricInterpretation::YBR_PARTIAL_422;
    const size_t need = half ? length / 3 * 2 : length;
    if (bv && (bv->GetLength() < need || !NativeDataComplete(path, bv->GetLength()))) {
      error = "the pixel data is shorter than the image";
      return false;
    }
  }
  std::vector<char> buffer(length);
  if (length == 0 || !image.GetBuffer(buffer.data())) {
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
    for (size_t i = 0; i < count; ++i) {
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

  // Colour.
  const size_t bytesPer = (size_t)bitsAllocated / 8;
  if (bitsAllocated != 8 && bitsAllocated != 16) {
    error = "unsupported colour sample size";
    return false;
  }
  v.channels = 3;
  v.rgb.resize(pixels * 3 * frames);
  const bool sub422 = (pi == gdcm::PhotometricInterpretation::YBR_FULL_422 ||
                       pi == gdcm::PhotometricInterpretation::YBR_PARTIAL_422) &&
                      bitsAllocated == 8 && length >= pixels * 2 * frames && length < pixels * 3 * frames;
  if (sub422) {
    for (int f = 0; f < frames; ++f) {
      const uint8_t* src = raw + (size_t)f * pixels * 2;
      uint8_t* dst = &v.rgb[(size_t)f * pixels * 3];
      for (size_t i = 0; i + 1 < pixels + 1 && i < pixels; i += 2) {
        uint8_t y1 = src[i * 2], y2 = src[i * 2 + 1], cb = src[i * 2 + 2], cr = src[i * 2 + 3];
        dst[i * 3] = y1, dst[i * 3 + 1] = cb, dst[i * 3 + 2] = cr;
        if (i + 1 < pixels) dst[i * 3 + 3] = y2, dst[i * 3 + 4] = cb, dst[i * 3 + 5] = cr;
      }
    }
  } else {
    if (length < pixels * 3 * frames * bytesPer) {
      error = "the pixel data is shorter than the image";
      return false;
    }
    const bool planar = image.GetPlanarConfiguration() == 1;
    const int down = bitsAllocated == 16 ? std::max(0, bitsStored - 8) : 0;
    for (int f = 0; f < frames; ++f) {
      const uint8_t* src = raw + (size_t)f * pixels * 3 * bytesPer;
      uint8_t* dst = &v.rgb[(size_t)f * pixels * 3];
      for (size_t i = 0; i < pixels; ++i)
        for (int c = 0; c < 3; ++c) {
          size_t idx = planar ? (size_t)c * pixels + i : i * 3 + c;
          uint32_t s = bytesPer == 1 ? src[idx] : (uint32_t)(src[2 * idx] | src[2 * idx + 1] << 8) >> down;
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
  gdcm::Reader reader;
  reader.SetFileName(path.c_str());
  if (!reader.Read()) {
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
