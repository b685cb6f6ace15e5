// BMP edges: a palette image keeps its palette form (its alpha mask has no
// place in the file), a top-down 32-bit file's alpha rows turn over with its
// pixel rows for even and odd heights, and the pixels of a bitmap without a
// file header follow all the colours it lists, also those beyond its palette.
#include <gtest/gtest.h>

#include <vector>

#include "tests/imaging/image/BmpTestUtil.h"
#include "tests/imaging/image/ImageTestUtil.h"
#include "imaging/image/RasterImage.h"

namespace {
bool Decode(CRasterImage& img, const std::vector<BYTE>& bytes) {
  std::vector<BYTE> copy(bytes);
  CRasterMemoryStream s(copy.data(), (int32_t)copy.size());
  return img.Decode(&s, RASTER_TYPE_BMP);
}

DWORD Le32(const std::vector<BYTE>& v, size_t at) {
  return (DWORD)v[at] | ((DWORD)v[at + 1] << 8) | ((DWORD)v[at + 2] << 16) | ((DWORD)v[at + 3] << 24);
}
}  // namespace

TEST(BmpEdges, PaletteImageWithAlphaMaskIsWrittenWithItsPalette) {
  for (int bpp : {1, 4, 8}) {
    SCOPED_TRACE(bpp);
    CRasterImage img(5, 3, bpp, RASTER_TYPE_BMP);
    const DWORD colors = img.GetColorCount();
    for (DWORD i = 0; i < colors; i++) img.SetPaletteEntry((BYTE)i, (BYTE)(i * 7), (BYTE)(200 - i), (BYTE)(i * 3));
    for (LONG y = 0; y < 3; y++)
      for (LONG x = 0; x < 5; x++) img.SetIndexAt(x, y, (BYTE)((x * 3 + y) % colors));
    ASSERT_TRUE(img.CreateAlphaMask());
    img.SetAlphaAt(1, 1, 0);
    img.SetAlphaAt(4, 2, 90);

    CRasterMemoryStream s;
    s.Open();
    ASSERT_TRUE(img.Encode(&s, RASTER_TYPE_BMP)) << img.GetErrorText();
    std::vector<BYTE> file(s.GetBuffer(), s.GetBuffer() + s.GetSize());
    ASSERT_GE(file.size(), 54u);
    EXPECT_EQ(bpp, file[28] | (file[29] << 8));
    EXPECT_EQ(14 + 40 + 4 * colors, Le32(file, 10));
    const DWORD rowBytes = ((5 * (DWORD)bpp + 31) / 32) * 4;
    EXPECT_EQ(14 + 40 + 4 * colors + rowBytes * 3, file.size());

    CRasterImage back;
    ASSERT_TRUE(Decode(back, file)) << back.GetErrorText();
    EXPECT_EQ(bpp, back.GetBpp());
    EXPECT_FALSE(back.HasAlpha());
    for (LONG y = 0; y < 3; y++)
      for (LONG x = 0; x < 5; x++) EXPECT_EQ(img.GetIndexAt(x, y), back.GetIndexAt(x, y)) << x << "," << y;
    for (DWORD i = 0; i < colors; i++)
      EXPECT_EQ(img.GetPaletteEntry((BYTE)i).rgbGreen, back.GetPaletteEntry((BYTE)i).rgbGreen);
  }
}

TEST(BmpEdges, TopDownThirtyTwoBitRowsAndAlphaTurnTogether) {
  for (LONG height : {2, 4, 3}) {
    SCOPED_TRACE(height);
    BmpLayout s;
    s.width = 3;
    s.height = -height;
    s.bpp = 32;
    // File row k (the k-th from the top): blue 10k + x, alpha 40k + x + 1.
    for (LONG k = 0; k < height; k++)
      for (LONG x = 0; x < 3; x++) {
        BYTE pixel[4] = {(BYTE)(10 * k + x), (BYTE)(100 + k), (BYTE)(200 + x), (BYTE)(40 * k + x + 1)};
        s.pixels.insert(s.pixels.end(), pixel, pixel + 4);
      }
    CRasterImage img;
    ASSERT_TRUE(Decode(img, MakeBmp(s))) << img.GetErrorText();
    ASSERT_EQ((DWORD)height, img.GetHeight());
    ASSERT_TRUE(img.HasAlpha());
    for (LONG k = 0; k < height; k++) {
      LONG row = height - 1 - k;  // stored rows count from the bottom
      for (LONG x = 0; x < 3; x++) {
        RGBQUAD c = img.GetColorAt(x, row, false);
        EXPECT_EQ(10 * k + x, c.rgbBlue) << "file row " << k << " column " << x;
        EXPECT_EQ(100 + k, c.rgbGreen) << "file row " << k << " column " << x;
        EXPECT_EQ(40 * k + x + 1, img.GetAlphaAt(x, row)) << "file row " << k << " column " << x;
      }
    }
  }
}

TEST(BmpEdges, HeaderlessPixelsFollowEveryListedColour) {
  // A 1-bit bitmap listing 2, 3 and 6 colours: its palette holds 2, the rest
  // is skipped, and the pixels start after the last listed colour.
  for (DWORD listed : {2u, 3u, 6u}) {
    SCOPED_TRACE(listed);
    BmpLayout s;
    s.fileHeader = false;
    s.width = 8;
    s.height = 2;
    s.bpp = 1;
    s.clrUsed = listed;
    for (DWORD i = 0; i < listed; i++) PutLe(s.palette, i == 1 ? 0x00FFFFFFu : 0x00000000u + i * 0x10, 4);
    s.pixels = {0xA5, 0, 0, 0, 0x3C, 0, 0, 0};
    CRasterImage img;
    std::vector<BYTE> bytes = MakeBmp(s);
    ASSERT_TRUE(Decode(img, bytes)) << img.GetErrorText();
    ASSERT_EQ(1, img.GetBpp());
    for (LONG x = 0; x < 8; x++) {
      EXPECT_EQ((0xA5 >> (7 - x)) & 1, img.GetIndexAt(x, 0)) << "row 0 column " << x;
      EXPECT_EQ((0x3C >> (7 - x)) & 1, img.GetIndexAt(x, 1)) << "row 1 column " << x;
    }
    EXPECT_EQ(255, img.GetPaletteEntry(1).rgbRed);
  }
}
