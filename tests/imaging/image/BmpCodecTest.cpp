// BMP codec: round trips of every written depth, the header variants, RLE,
// bit fields, failed writes and a corpus of malformed files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/imaging/image/BmpTestUtil.h"
#include "tests/imaging/image/ImageTestUtil.h"
#include "imaging/image/RasterImage.h"
#include "imaging/image/RasterImageBMP.h"

namespace {

bool DecodeBytes(CRasterImage& img, const std::vector<BYTE>& bytes, int format = RASTER_TYPE_BMP) {
  std::vector<BYTE> copy(bytes);  // exact-size heap block: ASan sees every overread
  CRasterMemoryStream s(copy.empty() ? nullptr : copy.data(), (int32_t)copy.size());
  if (copy.empty()) s.Open();
  return img.Decode(&s, format);
}

std::vector<BYTE> EncodeBytes(CRasterImage& img) {
  CRasterMemoryStream s;
  s.Open();
  EXPECT_TRUE(img.Encode(&s, RASTER_TYPE_BMP)) << img.GetErrorText();
  BYTE* p = s.GetBuffer();
  return std::vector<BYTE>(p, p + s.GetSize());
}

void FillPattern(CRasterImage& img, unsigned seed) {
  std::mt19937 rng(seed);
  if (img.IsIndexed()) {
    for (DWORD i = 0; i < img.GetColorCount(); i++) img.SetPaletteEntry((BYTE)i, (BYTE)rng(), (BYTE)rng(), (BYTE)rng());
    BYTE mask = (BYTE)((1u << img.GetBpp()) - 1);
    for (DWORD y = 0; y < img.GetHeight(); y++)
      for (DWORD x = 0; x < img.GetWidth(); x++) img.SetIndexAt(x, y, (BYTE)(rng() & mask));
  } else {
    for (DWORD y = 0; y < img.GetHeight(); y++)
      for (DWORD x = 0; x < img.GetWidth(); x++) img.SetColorAt(x, y, Q((BYTE)rng(), (BYTE)rng(), (BYTE)rng()));
  }
}

void ExpectSamePixels(const CRasterImage& a, const CRasterImage& b) {
  ASSERT_EQ(a.GetWidth(), b.GetWidth());
  ASSERT_EQ(a.GetHeight(), b.GetHeight());
  for (DWORD y = 0; y < a.GetHeight(); y++) {
    for (DWORD x = 0; x < a.GetWidth(); x++) {
      RGBQUAD p = a.GetColorAt(x, y, false), q = b.GetColorAt(x, y, false);
      ASSERT_TRUE(p.rgbRed == q.rgbRed && p.rgbGreen == q.rgbGreen && p.rgbBlue == q.rgbBlue)
          << "pixel " << x << "," << y;
    }
  }
}

std::vector<BYTE> Valid8Bit() {
  BmpLayout s;
  s.width = 5;
  s.height = 3;
  s.bpp = 8;
  s.clrUsed = 4;
  for (int i = 0; i < 4; i++) {
    PutLe(s.palette, (DWORD)(i * 0x102030), 4);
  }
  for (int y = 0; y < 3; y++) {
    for (int x = 0; x < 5; x++) s.pixels.push_back((BYTE)((x + y) & 3));
    s.pixels.insert(s.pixels.end(), 3, 0);
  }
  return MakeBmp(s);
}

}  // namespace

TEST(BmpCodec, RoundTripsEveryWrittenDepth) {
  for (int bpp : {1, 4, 8, 24}) {
    for (LONG width : {1, 7, 33}) {
      CRasterImage img(width, 5, bpp, RASTER_TYPE_BMP);
      FillPattern(img, (unsigned)(bpp * 100 + width));
      img.SetHorizontalDpi(300);
      std::vector<BYTE> file = EncodeBytes(img);
      ASSERT_EQ(file.size(), 14 + img.GetBlockSize());
      CRasterImage back;
      ASSERT_TRUE(DecodeBytes(back, file)) << back.GetErrorText();
      EXPECT_EQ(back.GetBpp(), bpp);
      EXPECT_EQ(back.GetFormat(), RASTER_TYPE_BMP);
      EXPECT_EQ(back.GetHorizontalDpi(), 300);
      EXPECT_FALSE(back.HasAlpha());
      if (bpp <= 8) {
        for (DWORD y = 0; y < 5; y++)
          for (DWORD x = 0; x < (DWORD)width; x++) ASSERT_EQ(back.GetIndexAt(x, y), img.GetIndexAt(x, y));
      }
      ExpectSamePixels(img, back);
    }
  }
}

TEST(BmpCodec, AlphaImagesAreWrittenAs32Bits) {
  CRasterImage img(3, 2, 24, RASTER_TYPE_BMP);
  FillPattern(img, 5);
  ASSERT_TRUE(img.CreateAlphaMask());
  img.SetAlphaAt(0, 0, 0);
  img.SetAlphaAt(2, 1, 128);
  std::vector<BYTE> file = EncodeBytes(img);
  EXPECT_EQ(file[10], 54);
  EXPECT_EQ(file[28], 32);
  EXPECT_EQ(file.size(), 54u + 3 * 4 * 2);
  CRasterImage back;
  ASSERT_TRUE(DecodeBytes(back, file));
  ASSERT_TRUE(back.HasAlpha());
  EXPECT_EQ(back.GetAlphaAt(0, 0), 0);
  EXPECT_EQ(back.GetAlphaAt(2, 1), 128);
  EXPECT_EQ(back.GetAlphaAt(1, 1), 255);
  ExpectSamePixels(img, back);
  // The encoder only borrowed the image.
  EXPECT_TRUE(img.HasPixels());
  EXPECT_TRUE(img.HasAlpha());
}

TEST(BmpCodec, HeaderlessCoreAndTopDown) {
  BmpLayout s;
  s.width = 2;
  s.height = -2;
  s.bpp = 24;
  s.pixels = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
  s.fileHeader = false;
  CRasterImage img;
  ASSERT_TRUE(DecodeBytes(img, MakeBmp(s))) << img.GetErrorText();
  EXPECT_EQ(img.GetHeight(), 2u);
  // The first file row is the top row: stored row 1.
  EXPECT_EQ(img.GetColorAt(0, 1, false).rgbBlue, 1);
  EXPECT_EQ(img.GetColorAt(1, 0, false).rgbRed, 12);

  BmpLayout core;
  core.headerSize = 12;
  core.width = 3;
  core.height = 1;
  core.bpp = 1;
  core.palette = {0, 0, 0, 255, 255, 255};  // 3-byte entries
  core.pixels = {0xA0, 0, 0, 0};
  CRasterImage mono;
  ASSERT_TRUE(DecodeBytes(mono, MakeBmp(core))) << mono.GetErrorText();
  EXPECT_EQ(mono.GetBpp(), 1);
  EXPECT_EQ(mono.GetColorAt(0, 0, false).rgbRed, 255);
  EXPECT_EQ(mono.GetColorAt(1, 0, false).rgbRed, 0);
  EXPECT_EQ(mono.GetColorAt(2, 0, false).rgbRed, 255);
}

TEST(BmpCodec, RunLengthEncodings) {
  BmpLayout s;
  s.width = 4;
  s.height = 2;
  s.bpp = 8;
  s.compression = BI_RLE8;
  s.clrUsed = 4;
  s.palette.assign(16, 0);
  // Row 0: 3 x 1, absolute 3 bytes (2, 3, 1) + pad, end of line; row 1:
  // delta (1, 0), a run of 200 that overshoots the pixel area, end of bitmap.
  s.pixels = {3, 1, 0, 3, 2, 3, 1, 0, 0, 0, 0, 2, 1, 0, 200, 2, 0, 1};
  CRasterImage img;
  ASSERT_TRUE(DecodeBytes(img, MakeBmp(s))) << img.GetErrorText();
  BYTE* bits = img.GetBits();
  EXPECT_EQ(bits[0], 1);
  EXPECT_EQ(bits[2], 1);
  EXPECT_EQ(bits[3], 2);
  // The absolute run went on into the next row; the long run stopped at the end.
  EXPECT_EQ(img.GetIndexAt(0, 1), 3);
  EXPECT_EQ(img.GetIndexAt(1, 1), 2);
  EXPECT_EQ(img.GetIndexAt(3, 1), 2);

  BmpLayout f;
  f.width = 5;
  f.height = 1;
  f.bpp = 4;
  f.compression = BI_RLE4;
  f.clrUsed = 16;
  f.palette.assign(64, 0);
  // A run of 3 of (0xA, 0xB), then an absolute run of 2 pixels (0xC, 0xD).
  f.pixels = {3, 0xAB, 0, 3, 0xCD, 0xE0, 0, 1};
  CRasterImage nib;
  ASSERT_TRUE(DecodeBytes(nib, MakeBmp(f))) << nib.GetErrorText();
  EXPECT_EQ(nib.GetIndexAt(0, 0), 0xA);
  EXPECT_EQ(nib.GetIndexAt(1, 0), 0xB);
  EXPECT_EQ(nib.GetIndexAt(2, 0), 0xA);
  EXPECT_EQ(nib.GetIndexAt(3, 0), 0xC);
  EXPECT_EQ(nib.GetIndexAt(4, 0), 0xD);
}

TEST(BmpCodec, RunLength4AbsoluteRunsKeepTheirPadding) {
  // An absolute run's bytes are padded to a whole word: 3 pixels take 2 bytes
  // and no pad, 6 pixels take 3 bytes and a pad byte. Each is followed by an
  // encoded run that a misread pad would shift.
  BmpLayout f;
  f.width = 8;
  f.height = 2;
  f.bpp = 4;
  f.compression = BI_RLE4;
  f.clrUsed = 16;
  f.palette.assign(64, 0);
  f.pixels = {0, 3, 0x12, 0x30, 5,    0x77, 0, 0,            // row 0: 1 2 3 7 7 7 7 7
              0, 6, 0x9A, 0xBC, 0xDE, 0,    2, 0x44, 0, 1};  // row 1: 9 A B C D E 4 4
  CRasterImage img;
  ASSERT_TRUE(DecodeBytes(img, MakeBmp(f))) << img.GetErrorText();
  const int rows[2][8] = {{1, 2, 3, 7, 7, 7, 7, 7}, {9, 0xA, 0xB, 0xC, 0xD, 0xE, 4, 4}};
  for (int y = 0; y < 2; y++)
    for (int x = 0; x < 8; x++) EXPECT_EQ(rows[y][x], img.GetIndexAt(x, y)) << x << "," << y;
}

TEST(BmpCodec, SixteenBitFields) {
  BmpLayout s;
  s.width = 1;
  s.height = 1;
  s.bpp = 16;
  s.pixels = {0x1F, 0x7C, 0, 0};  // 5-5-5: red 31, blue 31
  CRasterImage img;
  ASSERT_TRUE(DecodeBytes(img, MakeBmp(s)));
  RGBQUAD c = img.GetColorAt(0, 0, false);
  EXPECT_EQ(c.rgbRed, 0xF8);
  EXPECT_EQ(c.rgbGreen, 0);
  EXPECT_EQ(c.rgbBlue, 0xF8);

  s.compression = BI_BITFIELDS;
  s.masks = {0xF800, 0x7E0, 0x1F};
  s.pixels = {0xE0, 0x07, 0, 0};  // 5-6-5: green 63
  ASSERT_TRUE(DecodeBytes(img, MakeBmp(s)));
  c = img.GetColorAt(0, 0, false);
  EXPECT_EQ(c.rgbGreen, 0xFC);
  EXPECT_EQ(c.rgbRed, 0);
}

TEST(BmpCodec, MasksOfLongHeadersAreReadFromTheHeader) {
  // A version 5 header with bit fields: the masks sit at bytes 40 to 51 of the
  // header, and the pixels follow the whole header.
  for (bool withFileHeader : {true, false}) {
    for (DWORD size : {108u, 124u}) {
      BmpLayout s;
      s.headerSize = size;
      s.width = 2;
      s.height = 1;
      s.bpp = 32;
      s.compression = BI_BITFIELDS;
      s.masks = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000};  // red in the low byte
      s.pixels = {10, 20, 30, 40, 50, 60, 70, 80};
      s.fileHeader = withFileHeader;
      CRasterImage img;
      ASSERT_TRUE(DecodeBytes(img, MakeBmp(s))) << img.GetErrorText();
      RGBQUAD c = img.GetColorAt(0, 0, false);
      EXPECT_EQ(c.rgbRed, 10) << size << withFileHeader;
      EXPECT_EQ(c.rgbGreen, 20);
      EXPECT_EQ(c.rgbBlue, 30);
      EXPECT_EQ(img.GetColorAt(1, 0, false).rgbRed, 50);

      s.bpp = 16;
      s.masks = {0xF800, 0x07E0, 0x001F, 0};  // 5-6-5
      s.pixels = {0xE0, 0x07, 0x1F, 0x00};
      ASSERT_TRUE(DecodeBytes(img, MakeBmp(s))) << img.GetErrorText();
      c = img.GetColorAt(0, 0, false);
      EXPECT_EQ(c.rgbGreen, 0xFC) << size << withFileHeader;
      EXPECT_EQ(c.rgbRed, 0);
      EXPECT_EQ(img.GetColorAt(1, 0, false).rgbBlue, 0xF8);
    }
  }
}

TEST(BmpCodec, ThirtyTwoBitAlpha) {
  BmpLayout s;
  s.width = 2;
  s.height = 1;
  s.bpp = 32;
  s.pixels = {1, 2, 3, 0, 4, 5, 6, 0};
  CRasterImage img;
  ASSERT_TRUE(DecodeBytes(img, MakeBmp(s)));
  ASSERT_TRUE(img.HasAlpha());
  EXPECT_EQ(img.GetAlphaAt(0, 0), 255);
  EXPECT_EQ(img.GetAlphaAt(1, 0), 255);
  s.pixels[7] = 9;
  ASSERT_TRUE(DecodeBytes(img, MakeBmp(s)));
  EXPECT_EQ(img.GetAlphaAt(0, 0), 0);
  EXPECT_EQ(img.GetAlphaAt(1, 0), 9);
  EXPECT_EQ(img.GetColorAt(1, 0, false).rgbRed, 6);
  s.compression = BI_RLE8;
  EXPECT_FALSE(DecodeBytes(img, MakeBmp(s)));
  EXPECT_STREQ(img.GetErrorText(), "unknown compression");
}

TEST(BmpCodec, OddCasesFromTheFormat) {
  BmpLayout s;
  s.width = 3;
  s.height = 2;
  s.bpp = 2;
  s.pixels = {0, 0, 0, 0, 0, 0, 0, 0};
  CRasterImage img;
  ASSERT_TRUE(DecodeBytes(img, MakeBmp(s)));
  EXPECT_EQ(img.GetBpp(), 4);

  CRasterImage head;
  head.SetEscape(-1);
  ASSERT_TRUE(DecodeBytes(head, Valid8Bit()));
  EXPECT_FALSE(head.HasPixels());
  EXPECT_EQ(head.GetWidth(), 5u);
  EXPECT_EQ(head.GetHeight(), 3u);
  EXPECT_STREQ(head.GetErrorText(), "output dimensions returned");

  CRasterImage cancelled;
  cancelled.SetEscape(1);
  EXPECT_FALSE(DecodeBytes(cancelled, Valid8Bit()));
  EXPECT_STREQ(cancelled.GetErrorText(), "Cancelled");

  CRasterImage empty;
  EXPECT_FALSE(DecodeBytes(empty, std::vector<BYTE>(5, 'B')));
  EXPECT_STREQ(empty.GetErrorText(), "Not a BMP");
  std::vector<BYTE> text(60, 'x');
  EXPECT_FALSE(DecodeBytes(empty, text));
  EXPECT_STREQ(empty.GetErrorText(), "Error reading BMP info");
}

namespace {
// A stream that accepts a fixed number of bytes, then reports a full disk.
class CFullStream : public CRasterMemoryStream {
 public:
  explicit CFullStream(UINT room) : m_room(room) { Open(); }
  UINT Write(const void* p, UINT size, UINT count) override {
    uint64_t n = (uint64_t)size * count;
    if (n > m_room) return 0;
    m_room -= (UINT)n;
    return CRasterMemoryStream::Write(p, size, count);
  }
  UINT m_room;
};
}  // namespace

TEST(BmpCodec, FailedWritesAreFailures) {
  CRasterImage img(20, 10, 24, RASTER_TYPE_BMP);
  FillPattern(img, 1);
  for (UINT room : {0u, 10u, 14u, 100u}) {
    CFullStream s(room);
    img.SetErrorText("");
    EXPECT_FALSE(img.Encode(&s, RASTER_TYPE_BMP)) << room;
    EXPECT_STRNE(img.GetErrorText(), "") << room;
  }
  img.CreateAlphaMask();
  CFullStream s(300);
  EXPECT_FALSE(img.Encode(&s, RASTER_TYPE_BMP));
  EXPECT_STRNE(img.GetErrorText(), "");
  CFullStream roomy(100000);
  EXPECT_TRUE(img.Encode(&roomy, RASTER_TYPE_BMP));

#ifndef _WIN32
  // A real full disk: writes are buffered, so the failure shows at the flush.
  FILE* probe = fopen("/dev/full", "wb");
  if (probe) {
    fclose(probe);
    CRasterImage small(4, 4, 8, RASTER_TYPE_BMP);
    small.SetErrorText("");
    EXPECT_FALSE(small.Save(L"/dev/full", RASTER_TYPE_BMP));
    EXPECT_STRNE(small.GetErrorText(), "");
  }
#endif
  CRasterImage none;
  CRasterMemoryStream m;
  m.Open();
  EXPECT_FALSE(none.Encode(&m, RASTER_TYPE_BMP));
  EXPECT_STREQ(none.GetErrorText(), "null image!!!");
  EXPECT_FALSE(img.Encode(&m, 0));
  EXPECT_STREQ(img.GetErrorText(), "Encode: Unknown format");
  EXPECT_FALSE(img.Encode(nullptr, RASTER_TYPE_BMP));
  EXPECT_STREQ(img.GetErrorText(), "null file handler");
}

TEST(BmpCodec, MalformedFilesFailCleanly) {
  std::vector<std::vector<BYTE>> corpus;
  auto add = [&](const BmpLayout& s) { corpus.push_back(MakeBmp(s)); };
  BmpLayout huge;
  huge.width = 0x7FFFFFFF;
  huge.height = 0x7FFFFFFF;
  add(huge);
  huge.width = 1;
  huge.bpp = 1;
  add(huge);  // 1 x (2^31 - 1) at one bit
  huge.height = INT32_MIN;
  add(huge);
  huge.width = -4;
  huge.height = 4;
  add(huge);
  huge.width = 0;
  add(huge);
  BmpLayout zero;
  zero.bpp = 16;
  zero.compression = BI_BITFIELDS;
  zero.masks = {0, 0, 0};
  zero.pixels = {0xFF, 0xFF, 0, 0};
  add(zero);
  zero.masks = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
  add(zero);
  zero.bpp = 32;
  zero.masks = {0xFFFFFFFF, 0, 0x80000000};
  add(zero);
  BmpLayout pal;
  pal.bpp = 8;
  pal.clrUsed = 0xFFFFFFFF;  // far more colours than the palette holds
  pal.palette.assign(1024, 0x11);
  pal.pixels = {1, 0, 0, 0};
  add(pal);
  pal.bpp = 1;
  pal.clrUsed = 300;
  add(pal);
  pal.overrideOffset = true;
  pal.offset = 0xFFFFFFF0;  // pixel offset far past the end
  add(pal);
  std::vector<BYTE> longHeader = Valid8Bit();
  longHeader[14] = longHeader[15] = longHeader[16] = 0xFF;
  longHeader[17] = 0x7F;
  corpus.push_back(longHeader);
  BmpLayout big;
  big.headerSize = 41;
  big.sizeImage = 0xFFFFFFFF;
  add(big);
  BmpLayout rle;
  rle.bpp = 8;
  rle.width = 3;
  rle.height = 3;
  rle.compression = BI_RLE8;
  for (int i = 0; i < 400; i++) {
    rle.pixels.push_back(0);
    rle.pixels.push_back(2);
    rle.pixels.push_back(255);
    rle.pixels.push_back(255);
  }
  rle.pixels.push_back(255);
  rle.pixels.push_back(7);
  add(rle);
  rle.compression = BI_RLE4;
  rle.bpp = 4;
  add(rle);
  corpus.push_back(Valid8Bit());

  for (size_t i = 0; i < corpus.size(); i++) {
    const std::vector<BYTE>& file = corpus[i];
    // Every truncation of every file: success with what could be read, or a
    // failure that says why.
    for (size_t len = 0; len <= file.size(); len += (len < 200 ? 1 : 97)) {
      std::vector<BYTE> part(file.begin(), file.begin() + len);
      CRasterImage img;
      img.SetErrorText("");
      bool ok = DecodeBytes(img, part);
      if (!ok) {
        EXPECT_STRNE(img.GetErrorText(), "") << "file " << i << " length " << len;
      } else {
        EXPECT_TRUE(img.HasPixels()) << "file " << i << " length " << len;
      }
    }
  }
  CRasterImage img;
  EXPECT_FALSE(DecodeBytes(img, corpus[0]));
  EXPECT_STREQ(img.GetErrorText(), "RASTER_MAX_MEMORY exceeded");
  EXPECT_FALSE(DecodeBytes(img, corpus[1]));
  EXPECT_STREQ(img.GetErrorText(), "RASTER_MAX_MEMORY exceeded");
}

TEST(BmpCodec, RandomMutationsFailCleanly) {
  std::vector<std::vector<BYTE>> seeds;
  seeds.push_back(Valid8Bit());
  CRasterImage a(9, 4, 4, RASTER_TYPE_BMP);
  FillPattern(a, 3);
  seeds.push_back(EncodeBytes(a));
  CRasterImage b(5, 3, 24, RASTER_TYPE_BMP);
  FillPattern(b, 4);
  b.CreateAlphaMask();
  seeds.push_back(EncodeBytes(b));
  std::mt19937 rng(12345);
  for (int round = 0; round < 3000; round++) {
    std::vector<BYTE> f = seeds[round % seeds.size()];
    int edits = 1 + (int)(rng() % 4);
    for (int e = 0; e < edits; e++) {
      size_t at = rng() % f.size();
      switch (rng() % 3) {
        case 0:
          f[at] = (BYTE)rng();
          break;
        case 1:
          f[at] ^= (BYTE)(1u << (rng() % 8));
          break;
        default:
          f.resize(at + 1);
          break;
      }
    }
    // Keep the dimensions small so that the run stays quick.
    if (f.size() >= 26 && f[0] == 'B') {
      f[19] &= 0x03;
      f[20] = f[21] = 0;
      f[23] &= 0x03;
      f[24] = f[25] = 0;
    }
    CRasterImage img;
    img.SetErrorText("");
    bool ok = DecodeBytes(img, f);
    if (!ok) {
      EXPECT_STRNE(img.GetErrorText(), "") << "round " << round;
    }
  }
}

TEST(BmpCodec, FilesOnDiskThroughLoadAndSave) {
  CRasterImage img(13, 7, 8, RASTER_TYPE_BMP);
  FillPattern(img, 77);
  std::string dir = ::testing::TempDir();
  std::wstring path(dir.begin(), dir.end());
  path += L"rsimage_bmp_roundtrip.bmp";
  ASSERT_TRUE(img.Save(path.c_str(), RASTER_TYPE_BMP)) << img.GetErrorText();
  CRasterImage back;
  ASSERT_TRUE(back.Load(path.c_str(), RASTER_TYPE_UNKNOWN)) << back.GetErrorText();
  EXPECT_EQ(back.GetFormat(), RASTER_TYPE_BMP);
  ExpectSamePixels(img, back);
  CRasterImage again;
  ASSERT_TRUE(again.Load(path.c_str(), RASTER_TYPE_BMP));
  std::wstring missing = path + L".missing";
  again.SetErrorText("kept");
  EXPECT_FALSE(again.Load(missing.c_str(), RASTER_TYPE_BMP));
  EXPECT_STREQ(again.GetErrorText(), "kept");
  std::string narrow(path.begin(), path.end());
  remove(narrow.c_str());
}
