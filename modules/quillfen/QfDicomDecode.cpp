// DICOM decoding through GDCM, after the walk and the checks have passed the file.
#include <gdcmDataSet.h>
#include <gdcmImage.h>
#include <gdcmImageReader.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "modules/quillfen/QfDicomInternal.h"

namespace qf {

namespace {

bool ReadHeaderBytes(const std::string& path, uint8_t* buf, size_t size, size_t& got) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  got = fread(buf, 1, size, f);
  fclose(f);
  return true;
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
// fragment per frame (headers checked before), one segment per byte of each
// sample, most significant byte first (GDCM puts 16-bit colour bytes in the
// wrong places).
bool DecodeRle(const std::vector<std::pair<size_t, size_t>>& items, const uint8_t* d, unsigned frames, unsigned rows,
               unsigned cols, unsigned spp, unsigned bitsAllocated, std::vector<char>& out) {
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

}  // namespace

void WarmUp() { DicomDictionaries(); }

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
  DicomDictionaries();
  DicomLayout layout;
  bool needMore = false;
  if (!WalkDicom(fileData, fileSize, fileSize, false, layout, needMore)) {
    error = "the file is cut short or its elements are damaged";
    return false;
  }
  if (!ImageIsSound(layout, error)) return false;
  const DicomElement* pixelData = DicomLayout::Find(layout.dataSet, 0x7FE0, 0x0010);
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
    const bool half =
        pi == gdcm::PhotometricInterpretation::YBR_FULL_422 || pi == gdcm::PhotometricInterpretation::YBR_PARTIAL_422;
    if (counted > DecodeLimit() || (length != counted && !(half && length < counted))) {
      error = "the image is larger than the library takes (1 GiB)";
      return false;
    }
  }
  const gdcm::DataSet& ds = reader.GetFile().GetDataSet();
  {
    // Native (not encapsulated) pixel data must hold the whole image.
    const gdcm::Tag pixelTag(0x7FE0, 0x0010);
    const gdcm::ByteValue* bv = ds.FindDataElement(pixelTag) ? ds.GetDataElement(pixelTag).GetByteValue() : nullptr;
    const bool half =
        pi == gdcm::PhotometricInterpretation::YBR_FULL_422 || pi == gdcm::PhotometricInterpretation::YBR_PARTIAL_422;
    const size_t need = half ? length / 3 * 2 : length;
    if (bv && bv->GetLength() < need) {
      error = "the pixel data is shorter than the image";
      return false;
    }
  }
  std::vector<char> buffer(length);
  const bool ownRle = reader.GetFile().GetHeader().GetDataSetTransferSyntax() == gdcm::TransferSyntax::RLELossless &&
                      bitsAllocated >= 8 && pixelData && pixelData->encapsulated;
  if (length == 0 || !(ownRle ? DecodeRle(pixelData->fragments, layout.bytes, (unsigned)frames, (unsigned)h,
                                          (unsigned)w, (unsigned)spp, (unsigned)bitsAllocated, buffer)
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
      if (bitsAllocated == 1)
        u = (raw[i >> 3] >> (i & 7)) & 1;
      else if (bitsAllocated == 8)
        u = raw[i];
      else if (bitsAllocated == 16)
        u = (uint32_t)raw[2 * i] | (uint32_t)raw[2 * i + 1] << 8;
      else
        u = (uint32_t)raw[4 * i] | (uint32_t)raw[4 * i + 1] << 8 | (uint32_t)raw[4 * i + 2] << 16 |
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
  const bool sub422 =
      (pi == gdcm::PhotometricInterpretation::YBR_FULL_422 || pi == gdcm::PhotometricInterpretation::YBR_PARTIAL_422) &&
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
                       : bytesPer == 2
                           ? (uint32_t)(p[0] | p[1] << 8)
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

}  // namespace qf
