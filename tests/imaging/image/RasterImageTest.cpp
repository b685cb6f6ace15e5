// Image object: creation limits, palette and cache, transfer of buffers and
// lists, pixel access and the in-place operations.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "tests/imaging/image/ImageTestUtil.h"
#include "imaging/image/RasterImage.h"

namespace {

// Exposes the frame list for building multi-frame images in tests.
class CFramedImage : public CRasterImage {
 public:
  using CRasterImage::CRasterImage;
  void AddFrames(int n) {
    CRasterImage** list = new CRasterImage*[n];
    for (int i = 0; i < n; i++) list[i] = new CRasterImage(4, 4, 8, RASTER_TYPE_GIF);
    SetFrameList(list, n);
  }
};

}  // namespace

TEST(RasterImage, CreateRoundsDepthAndPadsRows) {
  CRasterImage img;
  ASSERT_NE(img.Create(3, 2, 2, RASTER_TYPE_BMP), nullptr);
  EXPECT_EQ(img.GetBpp(), 4);
  EXPECT_EQ(img.GetColorCount(), 16u);
  EXPECT_EQ(img.GetRowBytes(), 4u);
  ASSERT_NE(img.Create(3, 2, 9, RASTER_TYPE_BMP), nullptr);
  EXPECT_EQ(img.GetBpp(), 24);
  EXPECT_EQ(img.GetColorCount(), 0u);
  EXPECT_EQ(img.GetRowBytes(), 12u);
  ASSERT_NE(img.Create(3, 2, 0, RASTER_TYPE_BMP), nullptr);
  EXPECT_EQ(img.GetBpp(), 1);
  EXPECT_EQ(img.GetColorCount(), 2u);
  EXPECT_EQ(img.GetRowBytes(), 4u);
  EXPECT_EQ(img.GetBlockSize(), 40u + 8u + 8u);
  EXPECT_EQ(img.GetRowPointer(1), img.GetRowPointer(0) + 4);
  EXPECT_EQ(img.GetRowPointer(2), nullptr);
}

TEST(RasterImage, CreateRejectsBadSizesBeforeAllocating) {
  CRasterImage img;
  EXPECT_EQ(img.Create(0, 10, 8, RASTER_TYPE_BMP), nullptr);
  EXPECT_STREQ(img.GetErrorText(), "CRasterImage::Create : width and height must be greater than zero");
  EXPECT_FALSE(img.HasPixels());
  EXPECT_EQ(img.Create(-5, 10, 8, RASTER_TYPE_BMP), nullptr);
  EXPECT_STREQ(img.GetErrorText(), "CRasterImage::Create : width and height must be greater than zero");
  EXPECT_EQ(img.Create(10, INT_MIN, 24, RASTER_TYPE_BMP), nullptr);

  EXPECT_EQ(img.Create(16384, 16384, 24, RASTER_TYPE_BMP), nullptr);
  EXPECT_STREQ(img.GetErrorText(), "RASTER_MAX_MEMORY exceeded");
  // A 1-bit column of 2^31-1 rows needs 4 bytes per row once padded.
  EXPECT_EQ(img.Create(1, INT_MAX, 1, RASTER_TYPE_BMP), nullptr);
  EXPECT_STREQ(img.GetErrorText(), "RASTER_MAX_MEMORY exceeded");
  EXPECT_EQ(img.Create(INT_MAX, INT_MAX, 24, RASTER_TYPE_BMP), nullptr);
  EXPECT_STREQ(img.GetErrorText(), "RASTER_MAX_MEMORY exceeded");
  // Unpadded the area would be 2^28 bytes, padded it is 4 x 2^28.
  EXPECT_EQ(img.Create(1, 268435456, 8, RASTER_TYPE_BMP), nullptr);
  EXPECT_STREQ(img.GetErrorText(), "RASTER_MAX_MEMORY exceeded");
  EXPECT_FALSE(img.HasPixels());
}

TEST(RasterImage, CreateAllowsExactlyTheLimit) {
  CRasterImage img;
  ASSERT_NE(img.Create(16384, 16384, 8, RASTER_TYPE_BMP), nullptr);
  EXPECT_EQ(img.GetHeader().biSizeImage, 268435456u);
}

TEST(RasterImage, NearestColourCacheFollowsPaletteChanges) {
  CRasterImage img(2, 2, 8, RASTER_TYPE_BMP);
  img.SetPaletteEntry(0, 0, 0, 0);
  img.SetPaletteEntry(1, 10, 10, 10);
  img.SetPaletteEntry(2, 10, 10, 10);
  for (int i = 3; i < 256; i++) img.SetPaletteEntry((BYTE)i, 255, 255, 255);
  // Ties keep the lower index.
  EXPECT_EQ(img.FindNearestPaletteIndex(Q(12, 12, 12)), 1);
  EXPECT_EQ(img.FindNearestPaletteIndex(Q(12, 12, 12)), 1);
  // Every way of changing the palette must drop the cached answer.
  img.SetPaletteEntry(5, 12, 12, 12);
  EXPECT_EQ(img.FindNearestPaletteIndex(Q(12, 12, 12)), 5);
  RGBQUAD entries[8];
  for (int i = 0; i < 8; i++) entries[i] = Q(200, 200, 200);
  entries[7] = Q(12, 12, 12);
  img.SetPaletteEntries(entries, 8);
  EXPECT_EQ(img.FindNearestPaletteIndex(Q(12, 12, 12)), 7);
  img.SwapPaletteEntries(7, 9);
  EXPECT_EQ(img.FindNearestPaletteIndex(Q(12, 12, 12)), 9);
  img.MakeGrayPalette();
  EXPECT_EQ(img.FindNearestPaletteIndex(Q(12, 12, 12)), 12);
  img.Negate();  // a gray palette: the pixels change, not the palette
  EXPECT_EQ(img.FindNearestPaletteIndex(Q(12, 12, 12)), 12);
  img.SetPaletteEntry(0, 12, 12, 12);
  img.Negate();  // palette complemented
  EXPECT_EQ(img.FindNearestPaletteIndex(Q(243, 243, 243)), 0);
  img.SetImportantColors(1);
  EXPECT_EQ(img.FindNearestPaletteIndex(Q(243, 243, 243)), 0);
  EXPECT_EQ(img.FindNearestPaletteIndex(Q(0, 0, 0)), 0);
}

TEST(RasterImage, CacheDoesNotSurviveCreateOrCopy) {
  CRasterImage a(1, 1, 1, RASTER_TYPE_BMP);
  a.SetPaletteEntry(0, 0, 0, 0);
  a.SetPaletteEntry(1, 255, 255, 255);
  EXPECT_EQ(a.FindNearestPaletteIndex(Q(250, 250, 250)), 1);
  CRasterImage b(1, 1, 1, RASTER_TYPE_BMP);
  b.SetPaletteEntry(0, 255, 255, 255);
  b.SetPaletteEntry(1, 0, 0, 0);
  a.Copy(b);
  EXPECT_EQ(a.FindNearestPaletteIndex(Q(250, 250, 250)), 0);
}

TEST(RasterImage, PaletteAccessorsAndTransparency) {
  CRasterImage img(4, 4, 4, RASTER_TYPE_BMP);
  img.MakeGrayPalette();
  BYTE r = 0, g = 0, b = 0;
  ASSERT_TRUE(img.GetPaletteEntry(15, &r, &g, &b));
  EXPECT_EQ(r, 255);
  ASSERT_TRUE(img.GetPaletteEntry(1, &r, &g, &b));
  EXPECT_EQ(r, 17);
  EXPECT_EQ(img.GetPaletteEntry(200).rgbRed, 0);  // beyond the palette
  img.SetPaletteEntry(200, 1, 2, 3);              // ignored
  img.SetTransparentIndex(300);
  EXPECT_EQ(img.GetTransparentIndex(), 0);
  img.SetTransparentIndex(-1);
  EXPECT_EQ(img.GetTransparentIndex(), -1);
  img.SetTransparentIndex(3);
  EXPECT_EQ(img.GetIndexAt(-1, 0), 3);
  EXPECT_EQ(img.GetTransparentColor().rgbRed, 51);
  img.SetHorizontalDpi(0);
  EXPECT_EQ(img.GetHorizontalDpi(), 96);
  EXPECT_EQ(img.GetHeader().biXPelsPerMeter, 3780);
  img.SetVerticalDpi(300);
  EXPECT_EQ(img.GetHeader().biYPelsPerMeter, 11811);
  EXPECT_EQ(((BITMAPINFOHEADER*)img.GetPixelBlock())->biYPelsPerMeter, 11811);
  img.SetVerticalDpi(INT_MAX);  // as a damaged file may claim
  EXPECT_EQ(img.GetHeader().biYPelsPerMeter, INT_MAX);
}

TEST(RasterImage, PixelAccessAtEveryDepth) {
  for (int bpp : {1, 4, 8}) {
    CRasterImage img(9, 3, bpp, RASTER_TYPE_BMP);
    BYTE mask = (BYTE)((1 << bpp) - 1);
    for (LONG y = 0; y < 3; y++)
      for (LONG x = 0; x < 9; x++) img.SetIndexAt(x, y, (BYTE)((x * 3 + y * 5) & mask));
    for (LONG y = 0; y < 3; y++)
      for (LONG x = 0; x < 9; x++) EXPECT_EQ(img.GetIndexAt(x, y), (x * 3 + y * 5) & mask) << bpp;
    img.SetIndexAt(9, 0, 1);  // outside: ignored
    img.SetIndexAt(0, -1, 1);
  }
  CRasterImage rgb(5, 2, 24, RASTER_TYPE_BMP);
  rgb.SetColorAt(4, 1, Q(1, 2, 3));
  BYTE* p = rgb.GetRgbPointer(4, 1);
  EXPECT_EQ(p[0], 3);
  EXPECT_EQ(p[1], 2);
  EXPECT_EQ(p[2], 1);
  ASSERT_TRUE(rgb.CreateAlphaMask());
  rgb.SetColorAt(0, 0, Q(9, 9, 9, 77), true);
  EXPECT_EQ(rgb.GetColorAt(0, 0, true).rgbReserved, 77);
  EXPECT_EQ(rgb.GetAlphaAt(5, 0), 0);
  EXPECT_EQ(rgb.GetAlphaPointer(0, 2), nullptr);
}

TEST(RasterImage, TakeOverEmptiesTheSource) {
  CRasterImage src(4, 3, 24, RASTER_TYPE_PNG);
  src.SetErrorText("old");
  src.CreateAlphaMask();
  BYTE* block = src.GetPixelBlock();
  CRasterImage dst;
  ASSERT_TRUE(dst.TakeOver(src, true));
  EXPECT_EQ(dst.GetPixelBlock(), block);
  EXPECT_TRUE(dst.HasAlpha());
  EXPECT_EQ(dst.GetWidth(), 4u);
  EXPECT_EQ(dst.GetFormat(), RASTER_TYPE_PNG);
  EXPECT_FALSE(src.HasPixels());
  EXPECT_FALSE(src.HasAlpha());
  EXPECT_STREQ(src.GetErrorText(), "");
  EXPECT_EQ(src.GetWidth(), 0u);
  EXPECT_EQ(src.GetJpegQuality(), 0.0f);
}

TEST(RasterImage, CopiedFrameCountsNeverFreePastTheRealList) {
  // The attributes carry a frame count; the lists they describe do not travel
  // with them. Freeing must follow the lists this image really holds.
  CFramedImage animated(8, 8, 8, RASTER_TYPE_GIF);
  animated.AddFrames(3);
  EXPECT_EQ(animated.GetFrameCount(), 3);
  {
    CRasterImage codec(RASTER_TYPE_GIF);
    codec.CopyAttributes(animated);
    EXPECT_EQ(codec.GetFrameListLength(), 0);
    EXPECT_EQ(codec.GetFrame(0), nullptr);
  }  // destroying must not touch frames it does not hold
  {
    CRasterImage copy(animated);
    EXPECT_EQ(copy.GetFrameListLength(), 0);
    copy.FreeFrames();
  }
  CFramedImage small(RASTER_TYPE_GIF);
  small.AddFrames(1);
  small.SetFrameCount(50);  // a decoder may report more frames than it kept
  small.FreeFrames();
  EXPECT_EQ(small.GetFrameListLength(), 0);

  CRasterImage target;
  target.TakeOver(animated, true);
  EXPECT_EQ(target.GetFrameListLength(), 3);
  EXPECT_NE(target.GetFrame(2), nullptr);
  EXPECT_EQ(animated.GetFrameListLength(), 0);

  // Without taking frames, the lists stay where they are.
  CFramedImage keeper(2, 2, 8, RASTER_TYPE_GIF);
  keeper.AddFrames(2);
  CRasterImage plain(2, 2, 24, RASTER_TYPE_BMP);
  keeper.TakeOver(plain, false);
  EXPECT_EQ(keeper.GetFrameListLength(), 2);
}

TEST(RasterImage, BorrowingViewOwnsNothing) {
  CRasterImage* source = new CRasterImage(4, 4, 24, RASTER_TYPE_BMP);
  source->CreateAlphaMask();
  {
    CRasterImage view;
    view.BorrowFrom(*source);
    EXPECT_EQ(view.GetPixelBlock(), source->GetPixelBlock());
    EXPECT_FALSE(view.FreeBuffers());
    EXPECT_EQ(view.Create(2, 2, 8, 0), nullptr);
    view.DeleteAlphaMask();
    CRasterImage other;
    EXPECT_FALSE(view.TakeOver(other, true));
  }
  EXPECT_TRUE(source->HasPixels());
  EXPECT_TRUE(source->HasAlpha());
  delete source;
}

TEST(RasterImage, RaiseDepthKeepsColoursAndPaletteAlpha) {
  CRasterImage img(5, 3, 1, RASTER_TYPE_BMP);
  img.SetPaletteEntry(0, 10, 20, 30, 0);
  img.SetPaletteEntry(1, 200, 100, 50, 128);
  img.SetIndexAt(2, 1, 1);
  ASSERT_TRUE(img.RaiseDepth(8));
  EXPECT_EQ(img.GetBpp(), 8);
  EXPECT_EQ(img.GetIndexAt(2, 1), 1);
  EXPECT_EQ(img.GetIndexAt(0, 0), 0);
  EXPECT_FALSE(img.RaiseDepth(4));
  EXPECT_FALSE(img.RaiseDepth(16));
  ASSERT_TRUE(img.RaiseDepth(24));
  EXPECT_EQ(img.GetBpp(), 24);
  RGBQUAD c = img.GetColorAt(2, 1, true);
  EXPECT_EQ(c.rgbRed, 200);
  EXPECT_EQ(c.rgbBlue, 50);
  ASSERT_TRUE(img.HasAlpha());
  EXPECT_EQ(c.rgbReserved, 128);
  EXPECT_EQ(img.GetColorAt(0, 0, true).rgbRed, 10);
}

TEST(RasterImage, FlipAndNegate) {
  CRasterImage img(3, 3, 24, RASTER_TYPE_BMP);
  img.FillRows(0);
  img.CreateAlphaMask();
  img.SetColorAt(1, 0, Q(255, 0, 0));
  img.SetAlphaAt(1, 0, 7);
  ASSERT_TRUE(img.FlipVertical());
  EXPECT_EQ(img.GetColorAt(1, 2, false).rgbRed, 255);
  EXPECT_EQ(img.GetAlphaAt(1, 2), 7);
  EXPECT_EQ(img.GetAlphaAt(1, 0), 255);
  img.Negate();
  EXPECT_EQ(img.GetColorAt(1, 2, false).rgbRed, 0);
  EXPECT_EQ(img.GetColorAt(1, 2, false).rgbGreen, 255);
  EXPECT_EQ(img.GetColorAt(0, 0, false).rgbBlue, 255);

  CRasterImage gray(2, 1, 4, RASTER_TYPE_BMP);
  gray.SetPaletteEntry(0, 0, 0, 0);
  for (int i = 0; i < 16; i++) gray.SetPaletteEntry((BYTE)i, (BYTE)i, (BYTE)i, (BYTE)i);
  ASSERT_TRUE(gray.IsGrayPalette());
  gray.SetIndexAt(0, 0, 3);
  gray.Negate();
  EXPECT_EQ(gray.GetIndexAt(0, 0), 12);
  EXPECT_EQ(gray.GetIndexAt(1, 0), 15);
}

TEST(RasterImage, BitFieldMasksOfAnyShapeStayInRange) {
  // 16-bit pixels 0xFFFF widened with masks that are zero, overlap, or hold
  // more than 8 bits: every shift must stay defined (UBSan checks it here).
  const DWORD masks[][3] = {{0, 0, 0},          {0xFFFF, 0xFFFF, 0xFFFF}, {0xFFFFFFFF, 0, 0x1},
                            {0x8000, 0x1, 0},   {0xF800, 0x7E0, 0x1F},    {0x7C00, 0x3E0, 0x1F},
                            {0x1, 0xFFFE, 0x0}, {0, 0xFFFF0000, 0xFFFF}};
  for (const auto& m : masks) {
    CRasterImage img(3, 2, 24, RASTER_TYPE_BMP);
    std::vector<BYTE> src(8 * 2, 0xFF);
    ASSERT_TRUE(img.ExpandBitFields(src.data(), m[0], m[1], m[2], 16));
    std::vector<BYTE> src32(12 * 2, 0xA5);
    ASSERT_TRUE(img.ExpandBitFields(src32.data(), m[0], m[1], m[2], 32));
  }
  // 5-6-5: green shifted right by 3, red by 8.
  CRasterImage img(1, 1, 24, RASTER_TYPE_BMP);
  BYTE px[4] = {0xE0, 0x07, 0, 0};  // all green
  ASSERT_TRUE(img.ExpandBitFields(px, 0xF800, 0x7E0, 0x1F, 16));
  RGBQUAD c = img.GetColorAt(0, 0, false);
  EXPECT_EQ(c.rgbGreen, 0xFC);
  EXPECT_EQ(c.rgbRed, 0);
  EXPECT_EQ(c.rgbBlue, 0);
}
