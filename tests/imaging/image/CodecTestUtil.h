// Helpers shared by the GIF, JPEG, PNG and ICO codec tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/image/RasterImage.h"
#include "imaging/image/RasterStream.h"

// A picture with every depth's palette and pixel values used; 24-bit pixels
// carry a colour gradient that exercises every channel.
inline void FillPattern(CRasterImage& img, unsigned seed = 1) {
  const LONG w = (LONG)img.GetWidth(), h = (LONG)img.GetHeight();
  const DWORD colors = img.GetColorCount();
  for (DWORD i = 0; i < colors; i++)
    img.SetPaletteEntry((BYTE)i, (BYTE)(i * 37 + seed), (BYTE)(i * 91 + 7 * seed), (BYTE)(255 - i * 13), 0);
  for (LONG y = 0; y < h; y++)
    for (LONG x = 0; x < w; x++) {
      if (colors) {
        img.SetIndexAt(x, y, (BYTE)((x * 7 + y * 3 + seed) % colors));
      } else {
        RGBQUAD c;
        c.rgbRed = (BYTE)(x * 255 / (w > 1 ? w - 1 : 1));
        c.rgbGreen = (BYTE)(y * 255 / (h > 1 ? h - 1 : 1));
        c.rgbBlue = (BYTE)((x * 13 + y * 29 + seed * 5) & 0xFF);
        c.rgbReserved = 0;
        img.SetColorAt(x, y, c);
      }
    }
}

inline std::vector<BYTE> EncodeToBytes(CRasterImage& img, int format) {
  CRasterMemoryStream stream;
  stream.Open();
  std::vector<BYTE> out;
  if (!img.Encode(&stream, format)) return out;
  BYTE* data = stream.GetBuffer();
  out.assign(data, data + stream.GetSize());
  return out;
}

inline bool DecodeBytes(const std::vector<BYTE>& bytes, CRasterImage& img, int format) {
  std::vector<BYTE> copy(bytes);
  CRasterMemoryStream stream(copy.empty() ? nullptr : copy.data(), (int32_t)copy.size());
  if (copy.empty()) stream.Open();
  return img.Decode(&stream, format);
}

// Effective colour and opacity of a pixel as the picture shows it.
inline RGBQUAD ShownColor(const CRasterImage& img, LONG x, LONG y) {
  RGBQUAD c = img.GetColorAt(x, y, false);
  BYTE a = 255;
  if (img.HasAlpha()) {
    a = img.GetAlphaAt(x, y);
  } else if (img.IsIndexed()) {
    BYTE index = img.GetIndexAt(x, y);
    if (img.GetAttributes().bAlphaPaletteEnabled)
      a = img.GetPaletteEntry(index).rgbReserved;
    else if (img.GetTransparentIndex() >= 0 && index == img.GetTransparentIndex())
      a = 0;
  } else if (img.GetTransparentIndex() >= 0) {
    RGBQUAD t = img.GetTransparentColor();
    if (t.rgbRed == c.rgbRed && t.rgbGreen == c.rgbGreen && t.rgbBlue == c.rgbBlue) a = 0;
  }
  c.rgbReserved = a;
  return c;
}

// Compares what two images show; colours of fully transparent pixels do not matter.
inline ::testing::AssertionResult SamePicture(const CRasterImage& a, const CRasterImage& b, int tolerance = 0) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight())
    return ::testing::AssertionFailure() << "size " << a.GetWidth() << "x" << a.GetHeight() << " vs " << b.GetWidth()
                                         << "x" << b.GetHeight();
  long worst = 0;
  for (LONG y = 0; y < (LONG)a.GetHeight(); y++)
    for (LONG x = 0; x < (LONG)a.GetWidth(); x++) {
      RGBQUAD p = ShownColor(a, x, y), q = ShownColor(b, x, y);
      if (p.rgbReserved != q.rgbReserved)
        return ::testing::AssertionFailure()
               << "alpha at " << x << "," << y << ": " << (int)p.rgbReserved << " vs " << (int)q.rgbReserved;
      if (p.rgbReserved == 0) continue;
      long d = std::abs(p.rgbRed - q.rgbRed);
      d = std::max(d, (long)std::abs(p.rgbGreen - q.rgbGreen));
      d = std::max(d, (long)std::abs(p.rgbBlue - q.rgbBlue));
      if (d > tolerance) return ::testing::AssertionFailure() << "colour at " << x << "," << y << " differs by " << d;
      worst = std::max(worst, d);
    }
  return ::testing::AssertionSuccess() << "largest difference " << worst;
}

// A stream that accepts a limited number of bytes and then fails every write.
class CFailingStream : public CRasterMemoryStream {
 public:
  explicit CFailingStream(int32_t limit) : m_limit(limit) { Open(); }
  UINT Write(const void* buffer, UINT size, UINT count) override {
    if ((int64_t)Tell() + (int64_t)size * count > m_limit) return 0;
    return CRasterMemoryStream::Write(buffer, size, count);
  }
  bool PutByte(BYTE value) override {
    if (Tell() + 1 > m_limit) return false;
    return CRasterMemoryStream::PutByte(value);
  }

 private:
  int32_t m_limit;
};

// GIF picture data of code size 2 whose codes all stay 3 bits wide: the
// codes packed from the low bits up, in sub-blocks of at most 255 bytes
// (the caller adds the block terminator).
inline void AppendGifCodes(std::vector<BYTE>& out, const std::vector<int>& codes) {
  std::vector<BYTE> data;
  unsigned acc = 0;
  int bits = 0;
  for (int c : codes) {
    acc |= (unsigned)c << bits;
    bits += 3;
    while (bits >= 8) {
      data.push_back((BYTE)acc);
      acc >>= 8;
      bits -= 8;
    }
  }
  if (bits) data.push_back((BYTE)acc);
  for (size_t at = 0; at < data.size(); at += 255) {
    size_t n = std::min<size_t>(255, data.size() - at);
    out.push_back((BYTE)n);
    out.insert(out.end(), data.begin() + (long)at, data.begin() + (long)(at + n));
  }
}

inline std::vector<BYTE> Truncated(const std::vector<BYTE>& bytes, size_t n) {
  return std::vector<BYTE>(bytes.begin(), bytes.begin() + (long)std::min(n, bytes.size()));
}
