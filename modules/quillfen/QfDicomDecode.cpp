// DICOM decoding through GDCM, after the walk and the checks have passed the file.
#include <gdcmAttribute.h>
#include <gdcmDataSet.h>
#include <gdcmExplicitImplicitDataElement.h>
#include <gdcmImage.h>
#include <gdcmImageReader.h>
#include <gdcmMediaStorage.h>

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

namespace {

// What GDCM's reader of data sets without a meta header (ACR-NEMA) takes on
// trust, asserting it, where an image of no frames would follow without its
// asserts: one ImageDimensions value (SS or US); with three dimensions, one
// Planes value, at least 1; a recognition code of the four it knows.
bool AcrNemaIsReadable(const gdcm::DataSet& ds, std::string& error) {
  error = "the ACR-NEMA image description is not one GDCM reads";
  const gdcm::Tag dimensions(0x0028, 0x0005), planes(0x0028, 0x0012), code(0x0008, 0x0010);
  auto value16 = [&](const gdcm::Tag& t, unsigned& v) {
    const gdcm::ByteValue* bv = ds.FindDataElement(t) ? ds.GetDataElement(t).GetByteValue() : nullptr;
    if (!bv || bv->GetLength() != 2) return false;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(bv->GetPointer());
    v = (unsigned)(p[0] | p[1] << 8);
    return true;
  };
  unsigned n = 0, depth = 0;
  if (ds.FindDataElement(dimensions) && (!value16(dimensions, n) || (n == 3 && (!value16(planes, depth) || !depth))))
    return false;
  if (ds.FindDataElement(code) && !ds.GetDataElement(code).IsEmpty()) {
    const gdcm::ByteValue* bv = ds.GetDataElement(code).GetByteValue();
    if (!bv) return false;
    const std::string text(bv->GetPointer(), bv->GetLength());
    if (strcmp(text.c_str(), "ACRNEMA_LIBIDO_1.1") != 0 && strcmp(text.c_str(), "ACRNEMA_LIBIDO_1.0") != 0 &&
        text != "ACR-NEMA 2.0" && text != "ACR-NEMA 1.0")
      return false;
  }
  error.clear();
  return true;
}

// GDCM's image reader with the walk's guard between GDCM's parse of the file
// and its set-up of the image: what it parsed must be what the walk judged.
// RT Dose files are set up by the pixmap reader alone (the image reader's
// spacing code asserts on a frame offset vector without NumberOfFrames, and
// reads past one of fewer than two offsets), with the dose grid scaling as
// the image reader takes it; the pixels are the same.
class GuardedImageReader : public gdcm::ImageReader {
 public:
  explicit GuardedImageReader(const DicomLayout& layout) : layout_(layout) {}
  const std::string& Refusal() const { return refusal_; }

  // A data set written element by element explicit or implicit under an
  // explicit syntax (the walk found it so) is read as GDCM reads it in the
  // end, element by element, at once: GDCM's own first tries (explicit, then
  // with 16-bit VRs) on such a file reach asserts that a crafted one meets.
  // The image is then set up as GDCM's image reader sets up what it parsed.
  bool Read() override {
    if (!layout_.mixed) return gdcm::ImageReader::Read();
    std::istream* is = GetStreamPtr();
    if (!is) return false;
    try {
      is->clear();
      is->seekg(0, std::ios::beg);
      F->GetHeader().GetPreamble().Read(*is);
      F->GetHeader().Read(*is);
      F->GetDataSet().Read<gdcm::ExplicitImplicitDataElement, gdcm::SwapperNoOp>(*is);
    } catch (...) {
      return false;
    }
    return SetUpParsedImage();
  }

 protected:
  bool ReadImage(const gdcm::MediaStorage& ms) override {
    if (!GdcmReadTheWalk(layout_, *F, refusal_)) return false;
    gdcm::MediaStorage kind;
    kind.SetFromFile(*F);
    if (kind != gdcm::MediaStorage::RTDoseStorage) return gdcm::ImageReader::ReadImage(ms);
    if (!gdcm::PixmapReader::ReadImage(ms)) return false;
    gdcm::Attribute<0x3004, 0x000E> scaling = {0};
    scaling.SetFromDataSet(F->GetDataSet());
    GetImage().SetIntercept(0);
    GetImage().SetSlope(scaling.GetValue() != 0 ? scaling.GetValue() : 1);
    return true;
  }
  bool ReadACRNEMAImage() override {
    if (!GdcmReadTheWalk(layout_, *F, refusal_) || !AcrNemaIsReadable(F->GetDataSet(), refusal_)) return false;
    return gdcm::ImageReader::ReadACRNEMAImage();
  }

 private:
  // GDCM's image reader's steps after its parse (PixmapReader::Read): the
  // image's SOP class from the meta header, else from the data set.
  bool SetUpParsedImage() {
    const gdcm::FileMetaInformation& header = F->GetHeader();
    const gdcm::TransferSyntax& ts = header.GetDataSetTransferSyntax();
    PixelData->SetTransferSyntax(ts);
    const gdcm::MediaStorage ms = header.GetMediaStorage();
    if (gdcm::MediaStorage::IsImage(ms)) return ReadImage(ms);
    gdcm::MediaStorage ms2 = F->GetDataSet().GetMediaStorage();
    if (ms == gdcm::MediaStorage::MediaStorageDirectoryStorage && ms2 == gdcm::MediaStorage::MS_END) return false;
    if (ms == ms2 && ms != gdcm::MediaStorage::MS_END) return false;
    if (ms2 != gdcm::MediaStorage::MS_END) {
      if (gdcm::MediaStorage::IsImage(ms2)) return ReadImage(ms2);
      ms2.SetFromFile(*F);
      return gdcm::MediaStorage::IsImage(ms2) && ReadImage(ms2);
    }
    if (ts == gdcm::TransferSyntax::ImplicitVRBigEndianACRNEMA || header.IsEmpty()) return ReadACRNEMAImage();
    gdcm::MediaStorage ms3;
    ms3.SetFromFile(*F);
    return ms3 != gdcm::MediaStorage::MS_END && ReadImage(ms3);
  }

  const DicomLayout& layout_;
  std::string refusal_;
};

// The pixel layout of a decoded image, from GDCM's image (which the walk's
// description has been compared with).
struct PixelLayout {
  int width = 0, height = 0, frames = 1, spp = 1, bitsAllocated = 0, bitsStored = 0, highBit = 0;
  bool isSigned = false;
  gdcm::PhotometricInterpretation pi;
  bool palette = false;
  size_t length = 0;  // bytes of decoded samples GDCM makes
};

bool IsHalfChroma(const gdcm::PhotometricInterpretation& pi) {
  return pi == gdcm::PhotometricInterpretation::YBR_FULL_422 || pi == gdcm::PhotometricInterpretation::YBR_PARTIAL_422;
}

// Step 1: the walk and the checks; the image as the walk describes it.
bool WalkAndJudge(const uint8_t* fileData, size_t fileSize, DicomLayout& layout, ImageDescription& image,
                  std::string& error) {
  bool needMore = false;
  if (!WalkDicom(fileData, fileSize, fileSize, false, layout, needMore)) {
    error = "the file is cut short or its elements are damaged";
    return false;
  }
  return ImageIsSound(layout, image, error);
}

// Step 2: GDCM's reading, guarded, and its image against the walk's description.
bool ReadWithGdcm(const ImageDescription& described, GuardedImageReader& reader, std::string& error) {
  if (!reader.Read()) {
    error = reader.Refusal().empty() ? "not a DICOM image that can be read" : reader.Refusal();
    return false;
  }
  return GdcmImageIsDescribed(described, reader.GetImage(), error);
}

// Step 3: the layout of the samples GDCM will make, within the library's
// limits and agreeing with the length GDCM counts (a 32-bit number on Windows).
bool MeasureImage(const gdcm::Image& image, PixelLayout& px, std::string& error) {
  const unsigned int* dims = image.GetDimensions();
  const gdcm::PixelFormat pf = image.GetPixelFormat();
  px.pi = image.GetPhotometricInterpretation();
  px.palette = px.pi == gdcm::PhotometricInterpretation::PALETTE_COLOR;
  px.width = (int)dims[0];
  px.height = (int)dims[1];
  px.frames = image.GetNumberOfDimensions() > 2 ? (int)dims[2] : 1;
  px.spp = pf.GetSamplesPerPixel();
  px.bitsAllocated = pf.GetBitsAllocated();
  px.bitsStored = pf.GetBitsStored() ? pf.GetBitsStored() : px.bitsAllocated;
  px.highBit = pf.GetHighBit() ? pf.GetHighBit() : px.bitsStored - 1;
  px.isSigned = pf.GetPixelRepresentation() == 1;
  const int w = px.width, h = px.height, frames = px.frames, spp = px.spp, ba = px.bitsAllocated;
  if (w <= 0 || h <= 0 || frames <= 0 || (spp != 1 && spp != 3) || (ba != 1 && ba != 8 && ba != 16 && ba != 32) ||
      (size_t)w * h * frames > ((size_t)1 << 31)) {
    error = "unsupported image layout";
    return false;
  }
  px.length = image.GetBufferLength();
  const uint64_t counted = ba == 1 ? ((uint64_t)w * h * frames * spp + 7) / 8
                                   : (uint64_t)w * h * frames * spp * (ba / 8);
  if (counted > DecodeLimit() || (px.length != counted && !(IsHalfChroma(px.pi) && px.length < counted))) {
    error = "the image is larger than the library takes (1 GiB)";
    return false;
  }
  return true;
}

// Step 4: the samples, decoded by GDCM, or for RLE here; native pixel data
// must hold the whole image first. Native 8-bit samples that do not store
// all eight bits are copied here as they are: GDCM's raw codec asserts that
// they do (and copies them unchanged where its asserts are compiled out).
bool DecodeSamples(const DicomLayout& layout, GuardedImageReader& reader, const PixelLayout& px, bool& ownRle,
                   std::vector<char>& buffer, std::string& error) {
  const gdcm::DataSet& ds = reader.GetFile().GetDataSet();
  const gdcm::Tag pixelTag(0x7FE0, 0x0010);
  const gdcm::ByteValue* bv = ds.FindDataElement(pixelTag) ? ds.GetDataElement(pixelTag).GetByteValue() : nullptr;
  const size_t need = IsHalfChroma(px.pi) ? px.length / 3 * 2 : px.length;
  if (bv && bv->GetLength() < need) {
    error = "the pixel data is shorter than the image";
    return false;
  }
  const DicomElement* pixelData = DicomLayout::Find(layout.dataSet, 0x7FE0, 0x0010);
  ownRle = reader.GetFile().GetHeader().GetDataSetTransferSyntax() == gdcm::TransferSyntax::RLELossless &&
           px.bitsAllocated >= 8 && pixelData && pixelData->encapsulated;
  buffer.assign(px.length, 0);
  if (bv && px.bitsAllocated == 8 && px.bitsStored != 8 && !(pixelData && pixelData->encapsulated)) {
    if (px.length == 0 || bv->GetLength() < px.length) {
      error = "the pixel data is shorter than the image";
      return false;
    }
    memcpy(buffer.data(), bv->GetPointer(), px.length);
    return true;
  }
  if (px.length == 0 ||
      !(ownRle ? DecodeRle(pixelData->fragments, layout.bytes, (unsigned)px.frames, (unsigned)px.height,
                           (unsigned)px.width, (unsigned)px.spp, (unsigned)px.bitsAllocated, buffer)
               : reader.GetImage().GetBuffer(buffer.data()))) {
    error = "the pixel data cannot be decoded";
    return false;
  }
  return true;
}

// Step 5: the image's place in its series and its window, as the walk found them.
void DescribeVolume(const DicomLayout& layout, const PixelLayout& px, Volume& v) {
  const std::vector<DicomElement>& ds = layout.dataSet;
  double instance = 0;
  v.hasInstance = layout.Number(ds, 0x0020, 0x0013, instance) && std::fabs(instance) < 2e9;
  v.instance = v.hasInstance ? (int)instance : 0;
  v.series = layout.Text(ds, 0x0020, 0x000E);
  v.width = px.width;
  v.height = px.height;
  v.frames = px.frames;
  double c = 0, ww = 0;
  if (px.spp == 1 && !px.palette && layout.Number(ds, 0x0028, 0x1050, c) && layout.Number(ds, 0x0028, 0x1051, ww) &&
      ww >= 1) {
    v.hasWindow = true;
    v.center = c;
    v.width_ = ww;
  }
}

// One stored sample of a grey or palette image, its sign kept.
double StoredSample(const uint8_t* raw, size_t i, const PixelLayout& px, int shift, uint32_t mask) {
  const int ba = px.bitsAllocated, bs = px.bitsStored;
  uint32_t u;
  if (ba == 1)
    u = (raw[i >> 3] >> (i & 7)) & 1;
  else if (ba == 8)
    u = raw[i];
  else if (ba == 16)
    u = (uint32_t)raw[2 * i] | (uint32_t)raw[2 * i + 1] << 8;
  else
    u = (uint32_t)raw[4 * i] | (uint32_t)raw[4 * i + 1] << 8 | (uint32_t)raw[4 * i + 2] << 16 |
        (uint32_t)raw[4 * i + 3] << 24;
  if (ba > 1) u = (shift > 0 ? u >> shift : u) & mask;
  if (px.isSigned && ba > 1 && bs < 32 && (u & (1u << (bs - 1)))) return (double)(int64_t)u - (double)((int64_t)1 << bs);
  if (px.isSigned && bs == 32) return (double)(int32_t)u;
  return (double)u;
}

// Step 6a: one sample a pixel: stored values through the modality rescale,
// or, for a palette, stored values through the palette (which indexes them).
bool GreyFromSamples(const gdcm::Image& image, const gdcm::DataSet& ds, const PixelLayout& px,
                     const std::vector<char>& buffer, Volume& v, std::string& error) {
  const uint8_t* raw = reinterpret_cast<const uint8_t*>(buffer.data());
  const size_t count = (size_t)px.width * px.height * px.frames;
  const size_t bytesPer = px.bitsAllocated == 1 ? 0 : (size_t)px.bitsAllocated / 8;
  if ((px.bitsAllocated == 1 && px.length * 8 < count) || (bytesPer && px.length < count * bytesPer)) {
    error = "the pixel data is shorter than the image";
    return false;
  }
  v.channels = 1;
  v.grey.resize(count);
  const double slope = px.palette ? 1.0 : image.GetSlope() == 0 ? 1.0 : image.GetSlope();
  const double intercept = px.palette ? 0.0 : image.GetIntercept();
  const int shift = px.highBit + 1 - px.bitsStored;
  const uint32_t mask = px.bitsStored >= 32 ? 0xFFFFFFFFu : ((1u << px.bitsStored) - 1);
  // The common layout, 16 bits with the stored bits at the bottom, without
  // the general case's per-sample decisions.
  const bool plain16 = px.bitsAllocated == 16 && shift == 0 && px.bitsStored == 16;
  if (plain16) {
    if (px.isSigned)
      for (size_t i = 0; i < count; ++i)
        v.grey[i] = (float)((double)(int16_t)(raw[2 * i] | raw[2 * i + 1] << 8) * slope + intercept);
    else
      for (size_t i = 0; i < count; ++i)
        v.grey[i] = (float)((double)(uint16_t)(raw[2 * i] | raw[2 * i + 1] << 8) * slope + intercept);
  } else {
    for (size_t i = 0; i < count; ++i) v.grey[i] = (float)(StoredSample(raw, i, px, shift, mask) * slope + intercept);
  }
  v.invert = px.pi == gdcm::PhotometricInterpretation::MONOCHROME1;
  if (px.palette) return ApplyPalette(ds, px.isSigned, v, error);
  return true;
}

// Step 6b: colour, 8 bits a channel from 8, 16 or 32 stored, 4:2:2 pairs
// spread, YBR turned into RGB.
bool ColourFromSamples(const gdcm::Image& image, const PixelLayout& px, bool ownRle, const std::vector<char>& buffer,
                       Volume& v, std::string& error) {
  const uint8_t* raw = reinterpret_cast<const uint8_t*>(buffer.data());
  const size_t pixels = (size_t)px.width * px.height, bytesPer = (size_t)px.bitsAllocated / 8;
  const int frames = px.frames;
  if (px.bitsAllocated != 8 && px.bitsAllocated != 16 && px.bitsAllocated != 32) {
    error = "unsupported colour sample size";
    return false;
  }
  const gdcm::PhotometricInterpretation& pi = px.pi;
  v.channels = 3;
  v.rgb.resize(pixels * 3 * frames);
  const bool sub422 = IsHalfChroma(pi) && px.bitsAllocated == 8 && px.length < pixels * 3 * frames;
  if (sub422) {
    // Pairs of pixels share their chroma: Y1 Y2 Cb Cr; an odd last pixel
    // has a pair of its own that may be cut short.
    const size_t frameBytes = (pixels + 1) / 2 * 4;
    if (px.length < frameBytes * frames) {
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
    if (px.length < pixels * 3 * frames * bytesPer) {
      error = "the pixel data is shorter than the image";
      return false;
    }
    const bool planar = !ownRle && image.GetPlanarConfiguration() == 1;
    const int down = px.bitsAllocated > 8 ? std::max(0, px.bitsStored - 8) : 0;
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
          if (bytesPer > 1) s = (s >> (px.highBit + 1 - px.bitsStored)) >> down;
          dst[i * 3 + c] = (uint8_t)std::min<uint32_t>(s, 255);
        }
    }
  }
  if (pi == gdcm::PhotometricInterpretation::YBR_FULL || pi == gdcm::PhotometricInterpretation::YBR_FULL_422 ||
      pi == gdcm::PhotometricInterpretation::YBR_PARTIAL_422 || pi == gdcm::PhotometricInterpretation::YBR_PARTIAL_420)
    YbrToRgb(v.rgb.data(), pixels * frames);
  return true;
}

}  // namespace

bool DecodeDicom(const uint8_t* fileData, size_t fileSize, Volume& v, std::string& error) {
  DicomDictionaries();
  DicomLayout layout;
  ImageDescription described;
  if (!WalkAndJudge(fileData, fileSize, layout, described, error)) return false;
  MemoryStream is(fileData, fileSize);
  GuardedImageReader reader(layout);
  reader.SetStream(is);
  if (!ReadWithGdcm(described, reader, error)) return false;
  const gdcm::Image& image = reader.GetImage();
  PixelLayout px;
  if (!MeasureImage(image, px, error)) return false;
  bool ownRle = false;
  std::vector<char> buffer;
  if (!DecodeSamples(layout, reader, px, ownRle, buffer, error)) return false;
  // Some decoders update the description of what they produced.
  if (image.GetPhotometricInterpretation() != gdcm::PhotometricInterpretation::PALETTE_COLOR)
    px.pi = image.GetPhotometricInterpretation();
  v = Volume();
  DescribeVolume(layout, px, v);
  if (px.spp == 1) return GreyFromSamples(image, reader.GetFile().GetDataSet(), px, buffer, v, error);
  return ColourFromSamples(image, px, ownRle, buffer, v, error);
}

}  // namespace qf
