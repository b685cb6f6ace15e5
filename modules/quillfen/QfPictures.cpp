// Ordinary pictures: PNM with a reader of its own, TIFF through libtiff, and
// BMP, PNG, JPEG and GIF through the image container.
#include <stdio.h>
#include <string.h>
#include <algorithm>
#include <cmath>
#include <memory>

#include "modules/quillfen/QfCore.h"
#include "imaging/image/GifCodec.h"
#include "imaging/image/GifReader.h"
#include "imaging/image/RasterImage.h"
#include "imaging/image/RasterStream.h"
#ifdef QF_WITH_TIFF
#include <tiffio.h>
#endif

namespace qf {

namespace {

// An 8-bit picture volume: grey values shown as they are (the identity window).
void StartPicture(Volume& v, int w, int h, int channels) {
  v = Volume();
  v.width = w;
  v.height = h;
  v.frames = 1;
  v.channels = channels;
  if (channels == 3)
    v.rgb.assign((size_t)w * h * 3, 0);
  else
    v.grey.assign((size_t)w * h, 0.f);
  v.hasWindow = true;
  v.center = 127.5;
  v.width_ = 256;
}

// Turns an RGB volume whose every pixel is grey into a grey one.
void MakeGreyIfGrey(Volume& v) {
  if (v.channels != 3) return;
  const size_t n = v.FrameSize() * (size_t)v.frames;
  for (size_t i = 0; i < n; ++i)
    if (v.rgb[3 * i] != v.rgb[3 * i + 1] || v.rgb[3 * i + 1] != v.rgb[3 * i + 2]) return;
  v.grey.resize(n);
  for (size_t i = 0; i < n; ++i) v.grey[i] = v.rgb[3 * i];
  v.rgb.clear();
  v.rgb.shrink_to_fit();
  v.channels = 1;
}

// The size of one more picture of a file: bytes per pixel as decoded (or as
// the widest buffer on the way), on top of what the file's earlier pictures took.
bool PictureSizeAllowed(uint64_t w, uint64_t h, uint64_t bytesPerPixel, std::string& error, uint64_t before = 0) {
  if (w == 0 || h == 0 || w > 65535 || h > 65535 || before + w * h * bytesPerPixel > DecodeLimit()) {
    error = "the picture's size is not supported";
    return false;
  }
  return true;
}

// Bytes a decoded picture holds per pixel: the image container's copy and the
// volume made of it, up to four bytes a pixel each.
constexpr uint64_t kPictureBytesPerPixel = 8;

// The frames of a GIF as its decoder counts them, and its screen's size.
int GifFrames(const uint8_t* data, size_t size, int& width, int& height) {
  if (size < 13 || size > 0x7FFFFFFF || memcmp(data, "GIF8", 4) != 0) return 0;
  CRasterMemoryStream stream(const_cast<BYTE*>(data), (int32_t)size);
  CRasterImageGIF gif;
  CGifReader reader(gif);
  if (!reader.MakeTables()) return 0;
  CGifReader::ScreenHeader header = {(WORD)(data[6] | data[7] << 8), (WORD)(data[8] | data[9] << 8), data[10],
                                     data[11], data[12]};
  stream.Seek(13, SEEK_SET);
  CGifReader::ColorTable global;
  global.count = 0;
  if (header.flags & 0x80) reader.ReadColorTable(&stream, header.flags & 7, &global);
  const int frames = reader.CountFrames(&stream, &global, &header);
  width = header.width;
  height = header.height;
  return frames;
}

// The size of a picture the image container reads, from its header, and its
// frames (all of a GIF's, each as composed on its screen) within the decode
// limit together.
bool PictureBudget(const uint8_t* data, size_t size, int format, int& width, int& height, int& frames,
                   std::string& error) {
  CRasterMemoryStream stream(const_cast<BYTE*>(data), (int32_t)std::min<size_t>(size, 0x7FFFFFFF));
  CRasterImage probe;
  probe.SetEscape(-1);
  if (!probe.Decode(&stream, format)) {
    error = "the picture cannot be decoded";
    return false;
  }
  width = (int)probe.GetWidth();
  height = (int)probe.GetHeight();
  frames = 1;
  if (probe.GetFormat() == RASTER_TYPE_GIF) {
    int w = 0, h = 0;
    frames = std::max(1, GifFrames(data, size, w, h));
  }
  return PictureSizeAllowed((uint64_t)width, (uint64_t)height, kPictureBytesPerPixel * (uint64_t)frames, error);
}

// ---- PNM --------------------------------------------------------------------

struct PnmCursor {
  const uint8_t* d;
  size_t n, pos;
  bool SkipSpace() {
    for (;;) {
      while (pos < n &&
             (d[pos] == ' ' || d[pos] == '\t' || d[pos] == '\r' || d[pos] == '\n' || d[pos] == '\v' || d[pos] == '\f'))
        ++pos;
      if (pos < n && d[pos] == '#') {
        while (pos < n && d[pos] != '\n' && d[pos] != '\r') ++pos;
        continue;
      }
      return pos < n;
    }
  }
  // A decimal number up to limit; false on anything else.
  bool Number(uint32_t limit, uint32_t& out) {
    if (!SkipSpace() || d[pos] < '0' || d[pos] > '9') return false;
    uint64_t v = 0;
    while (pos < n && d[pos] >= '0' && d[pos] <= '9') {
      v = v * 10 + (d[pos++] - '0');
      if (v > limit) return false;
    }
    out = (uint32_t)v;
    return true;
  }
};

bool DecodeOnePnm(PnmCursor& c, Volume& v, uint64_t before, std::string& error) {
  if (c.pos + 2 > c.n || c.d[c.pos] != 'P' || c.d[c.pos + 1] < '1' || c.d[c.pos + 1] > '6') {
    error = "not a PNM file";
    return false;
  }
  const int kind = c.d[c.pos + 1] - '0';
  c.pos += 2;
  uint32_t w = 0, h = 0, maxval = 1;
  if (!c.Number(65535, w) || !c.Number(65535, h) || (kind != 1 && kind != 4 && !c.Number(65535, maxval)) ||
      maxval == 0) {
    error = "damaged PNM header";
    return false;
  }
  const int channels = kind == 3 || kind == 6 ? 3 : 1;
  if (!PictureSizeAllowed(w, h, DecodedBytes(1, channels), error, before)) return false;
  const size_t samples = (size_t)w * h * channels;
  const bool binary = kind >= 4;
  if (binary) {
    // Exactly one whitespace byte separates the header from the samples.
    if (c.pos >= c.n) {
      error = "the PNM data is shorter than its header says";
      return false;
    }
    ++c.pos;
  }
  const size_t left = c.n - c.pos;
  const size_t wide = maxval > 255 ? 2 : 1;
  // Every sample takes at least a byte in the text forms; check before allocating.
  const size_t need = kind == 4 ? ((size_t)w + 7) / 8 * h : binary ? samples * wide : samples;
  if (left < need) {
    error = "the PNM data is shorter than its header says";
    return false;
  }
  StartPicture(v, (int)w, (int)h, channels);
  // Scaled to 8 bits the way ImageMagick does it (rounding down).
  auto put = [&](size_t i, uint32_t s) {
    if (s > maxval) s = maxval;
    const uint32_t q = s * 255u / maxval;
    if (channels == 3)
      v.rgb[i] = (uint8_t)q;
    else
      v.grey[i] = (float)q;
  };
  if (kind == 4) {
    const size_t stride = ((size_t)w + 7) / 8;
    for (size_t y = 0; y < h; ++y)
      for (size_t x = 0; x < w; ++x)
        v.grey[y * w + x] = (c.d[c.pos + y * stride + x / 8] >> (7 - (x & 7))) & 1 ? 0.f : 255.f;
    c.pos += stride * h;
  } else if (binary) {
    const uint8_t* p = c.d + c.pos;
    for (size_t i = 0; i < samples; ++i) put(i, wide == 2 ? (uint32_t)(p[2 * i] << 8 | p[2 * i + 1]) : p[i]);
    c.pos += samples * wide;
  } else if (kind == 1) {
    for (size_t i = 0; i < samples; ++i) {
      if (!c.SkipSpace() || (c.d[c.pos] != '0' && c.d[c.pos] != '1')) {
        error = "the PNM data is shorter than its header says";
        return false;
      }
      v.grey[i] = c.d[c.pos++] == '1' ? 0.f : 255.f;
    }
  } else {
    for (size_t i = 0; i < samples; ++i) {
      uint32_t s;
      if (!c.Number(65535, s)) {
        error = "the PNM data is shorter than its header says";
        return false;
      }
      put(i, s);
    }
  }
  return true;
}

// ---- the image container --------------------------------------------------

void AppendRaster(const CRasterImage& img, std::vector<Volume>& out) {
  const int w = (int)img.GetWidth(), h = (int)img.GetHeight();
  Volume v;
  StartPicture(v, w, h, 3);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = &v.rgb[(size_t)y * w * 3];
    const LONG stored = h - 1 - y;
    if (!img.IsIndexed() && img.GetBpp() == 24) {
      const BYTE* p = img.GetRowPointer((DWORD)stored);
      for (int x = 0; x < w; ++x) row[3 * x] = p[3 * x + 2], row[3 * x + 1] = p[3 * x + 1], row[3 * x + 2] = p[3 * x];
    } else {
      for (int x = 0; x < w; ++x) {
        const RGBQUAD q = img.GetColorAtRaw(x, stored, false);
        row[3 * x] = q.rgbRed, row[3 * x + 1] = q.rgbGreen, row[3 * x + 2] = q.rgbBlue;
      }
    }
  }
  MakeGreyIfGrey(v);
  out.push_back(std::move(v));
}

}  // namespace

bool ReadPictureInfo(const std::string& path, int& width, int& height, int& frames, std::string& error) {
  // The header is enough, but for a GIF, whose frames are counted.
  std::vector<uint8_t> data;
  if (!ReadWholeFile(path, data, 1 << 20) ||
      (data.size() >= 4 && memcmp(data.data(), "GIF8", 4) == 0 && !ReadWholeFile(path, data, 0x7FFFFFFE))) {
    error = "the picture cannot be read";
    return false;
  }
  return PictureBudget(data.data(), data.size(), 0, width, height, frames, error);
}

int CountPnmImages(const uint8_t* data, size_t size) {
  PnmCursor c{data, size, 0};
  int count = 0;
  do {
    if (c.pos + 2 > size || data[c.pos] != 'P' || data[c.pos + 1] < '1' || data[c.pos + 1] > '6') break;
    const int kind = data[c.pos + 1] - '0';
    c.pos += 2;
    uint32_t w = 0, h = 0, maxval = 1;
    if (!c.Number(65535, w) || !c.Number(65535, h) || (kind != 1 && kind != 4 && !c.Number(65535, maxval)) ||
        maxval == 0)
      break;
    ++count;
    // Samples written as text end the walk at the first image.
    if (kind < 4) break;
    const uint64_t bytes = kind == 4 ? ((uint64_t)w + 7) / 8 * h
                                     : (uint64_t)w * h * (kind == 6 ? 3 : 1) * (maxval > 255 ? 2 : 1);
    if (size - c.pos < bytes + 1) break;
    c.pos += (size_t)bytes + 1;
  } while (c.SkipSpace() && count < 4096);
  return count;
}

bool DecodePnm(const uint8_t* data, size_t size, std::vector<Volume>& out, std::string& error) {
  PnmCursor c{data, size, 0};
  std::vector<Volume> images;
  uint64_t decoded = 0;
  do {
    Volume v;
    if (!DecodeOnePnm(c, v, decoded, error)) {
      if (images.empty()) return false;
      break;  // the images before a damaged one are kept
    }
    decoded += DecodedBytes(v.FrameSize(), v.channels);
    images.push_back(std::move(v));
  } while (c.SkipSpace() && images.size() < 4096);
  for (Volume& v : images) out.push_back(std::move(v));
  return true;
}

bool DecodePicture(const uint8_t* data, size_t size, std::vector<Volume>& out, std::string& error, int format) {
  if (size > 0x7FFFFFFF) {
    error = "the picture is too large";
    return false;
  }
  // The header first: a picture larger than the cap is refused before any
  // room is made for it (a few compressed bytes can claim gigapixels, a few
  // more bytes a hundred such frames).
  int width = 0, height = 0, frames = 0;
  if (!PictureBudget(data, size, format, width, height, frames, error)) return false;
  CRasterMemoryStream stream(const_cast<BYTE*>(data), (int32_t)size);
  CRasterImage image;
  image.SetAllFrames(true);
  if (!image.Decode(&stream, format) || !image.HasPixels()) {
    error = image.GetErrorText()[0] ? image.GetErrorText() : "the picture cannot be decoded";
    return false;
  }
  if (image.GetFormat() == RASTER_TYPE_GIF && image.GetFrameListLength() > 1) {
    // Every frame of an animation, as composed for display.
    const size_t first = out.size();
    for (int i = 0; i < image.GetFrameListLength(); ++i) {
      const CRasterImage* f = image.GetFrame(i);
      if (!f || !f->HasPixels() || f->GetWidth() != image.GetWidth() || f->GetHeight() != image.GetHeight()) {
        out.resize(first);
        AppendRaster(image, out);
        return true;
      }
      AppendRaster(*f, out);
    }
    return true;
  }
  AppendRaster(image, out);
  return true;
}

#ifdef QF_WITH_TIFF
namespace {
void QuietTiff(const char*, const char*, va_list) {}
}  // namespace

// One grey sample a pixel, wider than the RGBA reader takes (16 to 64-bit
// integers, 32 and 64-bit floating point), in strips.
bool WideGreyPage(TIFF* tif) {
  uint16_t bps = 8, spp = 1, format = SAMPLEFORMAT_UINT, planar = PLANARCONFIG_CONTIG;
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bps);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  if (spp != 1 || TIFFIsTiled(tif)) return false;
  if (format == SAMPLEFORMAT_IEEEFP) return bps == 32 || bps == 64;
  return (format == SAMPLEFORMAT_UINT || format == SAMPLEFORMAT_INT) &&
         (bps == 32 || bps == 64 || (bps == 16 && format == SAMPLEFORMAT_INT));
}

// A page is read when it is a wide grey one, or when the RGBA reader takes it.
bool TiffPageReadable(TIFF* tif, std::string& error) {
  char why[1024] = "";
  if (WideGreyPage(tif) || TIFFRGBAImageOK(tif, why)) return true;
  error = std::string("the TIFF page's samples are not read") + (why[0] ? std::string(": ") + why : "");
  return false;
}

// A grey page turned by its orientation tag to the top-left one, by swaps
// and flips only, as the RGBA reader turns colour pages.
void OrientPage(TIFF* tif, Volume& v) {
  uint16_t orientation = ORIENTATION_TOPLEFT;
  TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
  if (orientation <= ORIENTATION_TOPLEFT || orientation > ORIENTATION_LEFTBOT) return;
  // The stored row runs down the columns for orientations 5 to 8.
  const bool transpose = orientation >= ORIENTATION_LEFTTOP;
  const bool mirror = orientation == ORIENTATION_TOPRIGHT || orientation == ORIENTATION_BOTRIGHT ||
                      orientation == ORIENTATION_RIGHTTOP || orientation == ORIENTATION_RIGHTBOT;
  const bool flip = orientation == ORIENTATION_BOTRIGHT || orientation == ORIENTATION_BOTLEFT ||
                    orientation == ORIENTATION_RIGHTBOT || orientation == ORIENTATION_LEFTBOT;
  const int w = v.width, h = v.height, ow = transpose ? h : w, oh = transpose ? w : h;
  std::vector<float> out(v.grey.size());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int ox = transpose ? y : x, oy = transpose ? x : y;
      if (mirror) ox = ow - 1 - ox;
      if (flip) oy = oh - 1 - oy;
      out[(size_t)oy * ow + ox] = v.grey[(size_t)y * w + x];
    }
  v.grey.swap(out);
  v.width = ow;
  v.height = oh;
}

bool ReadWideGrey(TIFF* tif, uint32_t w, uint32_t h, Volume& v, std::string& error) {
  uint16_t bps = 8, format = SAMPLEFORMAT_UINT;
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bps);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
  StartPicture(v, (int)w, (int)h, 1);
  v.hasWindow = false;  // the values' own range, as for medical images
  std::vector<uint8_t> row((size_t)TIFFScanlineSize(tif));
  if (row.size() < (size_t)w * bps / 8) {
    error = "the TIFF page cannot be decoded";
    return false;
  }
  for (uint32_t y = 0; y < h; ++y) {
    if (TIFFReadScanline(tif, row.data(), y, 0) < 0) {
      error = "the TIFF page cannot be decoded";
      return false;
    }
    for (uint32_t x = 0; x < w; ++x) {
      const uint8_t* p = &row[(size_t)x * bps / 8];
      double s;
      if (format == SAMPLEFORMAT_IEEEFP) {
        if (bps == 32) {
          float f;
          memcpy(&f, p, 4);
          s = f;
        } else
          memcpy(&s, p, 8);
        if (!std::isfinite(s)) s = 0;
      } else if (bps == 16) {
        int16_t i;
        memcpy(&i, p, 2);
        s = i;
      } else if (bps == 32) {
        if (format == SAMPLEFORMAT_INT) {
          int32_t i;
          memcpy(&i, p, 4);
          s = i;
        } else {
          uint32_t i;
          memcpy(&i, p, 4);
          s = i;
        }
      } else {
        if (format == SAMPLEFORMAT_INT) {
          int64_t i;
          memcpy(&i, p, 8);
          s = (double)i;
        } else {
          uint64_t i;
          memcpy(&i, p, 8);
          s = (double)i;
        }
      }
      v.grey[(size_t)y * w + x] = (float)std::max(-3.0e38, std::min(3.0e38, s));
    }
  }
  OrientPage(tif, v);
  return true;
}

// The pages read, from the directories alone: each up to the first that
// cannot be read, and their decoded size within the decode limit together
// (four bytes a pixel: a grey page's samples, or a colour page's raster).
bool TiffPages(TIFF* tif, uint64_t fileSize, int& pages, std::string& error) {
  pages = 0;
  uint64_t decoded = 0;
  std::string why;
  do {
    uint32_t w = 0, h = 0;
    uint16_t compression = COMPRESSION_NONE, bps = 8, spp = 1;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    if (w == 0 || h == 0 || w > 65535 || h > 65535) {
      why = "the TIFF page's size is not supported";
      break;
    }
    // Uncompressed samples must be in the file before room is made for them.
    if (compression == COMPRESSION_NONE && (uint64_t)w * h * spp * bps / 8 > fileSize) {
      why = "the TIFF data is shorter than its header says";
      break;
    }
    if (!TiffPageReadable(tif, why)) break;
    decoded += (uint64_t)w * h * 4;
    ++pages;
  } while (pages < 4096 && TIFFReadDirectory(tif));
  if (decoded > DecodeLimit()) {
    error = "the TIFF file's pages are larger together than the library takes (1 GiB)";
    return false;
  }
  if (pages == 0) error = why.empty() ? "the TIFF file has no page that can be read" : why;
  TIFFSetDirectory(tif, 0);
  return pages > 0;
}

using TiffPtr = std::unique_ptr<TIFF, void (*)(TIFF*)>;

TiffPtr OpenTiff(const std::string& path) {
  TIFFSetErrorHandler(QuietTiff);
  TIFFSetWarningHandler(QuietTiff);
  return TiffPtr(TIFFOpen(path.c_str(), "rm"), TIFFClose);
}

bool LoadTiff(const std::string& path, std::vector<Volume>& out, std::string& error) {
  TiffPtr tif = OpenTiff(path);
  int pages = 0;
  if (!tif) {
    error = "not a TIFF file that can be read";
    return false;
  }
  if (!TiffPages(tif.get(), FileSize(path), pages, error)) return false;
  std::vector<Volume> read;
  std::vector<uint32_t> raster;
  for (int page = 0; page < pages; ++page) {
    if (page > 0 && !TIFFReadDirectory(tif.get())) break;
    uint32_t w = 0, h = 0;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &h);
    Volume v;
    if (WideGreyPage(tif.get())) {
      if (!ReadWideGrey(tif.get(), w, h, v, error)) break;
      read.push_back(std::move(v));
      continue;
    }
    raster.assign((size_t)w * h, 0);
    if (!TIFFReadRGBAImageOriented(tif.get(), w, h, raster.data(), ORIENTATION_TOPLEFT, 0)) {
      error = "the TIFF page cannot be decoded";
      break;
    }
    StartPicture(v, (int)w, (int)h, 3);
    for (size_t i = 0, n = (size_t)w * h; i < n; ++i) {
      const uint32_t p = raster[i];
      v.rgb[3 * i] = (uint8_t)TIFFGetR(p), v.rgb[3 * i + 1] = (uint8_t)TIFFGetG(p),
                v.rgb[3 * i + 2] = (uint8_t)TIFFGetB(p);
    }
    MakeGreyIfGrey(v);
    read.push_back(std::move(v));
  }
  if (read.empty()) {
    if (error.empty()) error = "the TIFF file has no page that can be read";
    return false;
  }
  // Pages after a damaged one are dropped; those before it are kept.
  error.clear();
  for (Volume& v : read) out.push_back(std::move(v));
  return true;
}

bool ReadTiffInfo(const std::string& path, int& width, int& height, int& pages) {
  TiffPtr tif = OpenTiff(path);
  std::string error;
  uint32_t w = 0, h = 0;
  if (!tif || !TiffPages(tif.get(), FileSize(path), pages, error)) return false;
  TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &h);
  width = (int)w;
  height = (int)h;
  return true;
}
#else
bool ReadTiffInfo(const std::string&, int&, int&, int&) { return false; }
bool LoadTiff(const std::string&, std::vector<Volume>&, std::string& error) {
  error = "TIFF files are not supported in this build";
  return false;
}
#endif

}  // namespace qf
