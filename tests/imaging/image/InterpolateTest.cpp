// Colours at fractional positions: odd positions and method ids, the
// overflow rules that give a colour, and the area average's degenerate areas.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/imaging/image/ImageTestUtil.h"
#include "imaging/image/RasterImage.h"

namespace {

// A 24-bit image whose red channel is 10 * x and green 10 * y.
void Ramp(CRasterImage& img, LONG w, LONG h) {
  ASSERT_NE(img.Create(w, h, 24, RASTER_TYPE_BMP), nullptr);
  for (LONG y = 0; y < h; y++)
    for (LONG x = 0; x < w; x++) img.SetColorAt(x, y, Q((BYTE)(10 * x), (BYTE)(10 * y), 0));
}

}  // namespace

// Positions at and around the edges, every method and the moving overflow
// rules are checked against a reference sampler in InterpolateReferenceTest.

TEST(Interpolate, OddPositionsStayDefined) {
  CRasterImage img;
  Ramp(img, 6, 5);
  // Method ids outside the table behave as bilinear.
  RGBQUAD c = img.InterpolateColor(2.5f, 1.25f, -4, RASTER_OVERFLOW_REPEAT);
  EXPECT_EQ(c.rgbRed, 25);
  EXPECT_EQ(c.rgbGreen, 12);
  // Far outside with overflow 1 and no replacement: white with alpha 0.
  c = img.InterpolateColor(-500, 800, RASTER_IM_BILINEAR, RASTER_OVERFLOW_COLOR);
  EXPECT_EQ(c.rgbRed, 255);
  EXPECT_EQ(c.rgbBlue, 255);
  EXPECT_EQ(c.rgbReserved, 0);
  // Non-finite and enormous positions stay defined.
  c = img.InterpolateColor(NAN, 1e30f, RASTER_IM_BICUBIC, RASTER_OVERFLOW_WRAP);
  c = img.InterpolateColor(1e30f, -1e30f, RASTER_IM_LANCZOS, RASTER_OVERFLOW_MIRROR);
  c = img.InterpolateColor(-1e30f, 2, RASTER_IM_NEAREST, RASTER_OVERFLOW_REPEAT);
  c = img.InterpolateColor(1e30f, 2, RASTER_IM_BILINEAR, RASTER_OVERFLOW_REPEAT);
  EXPECT_EQ(c.rgbRed, 50);
}

TEST(Interpolate, OverflowRules) {
  CRasterImage img;
  Ramp(img, 6, 5);
  const RGBQUAD none = Q(1, 2, 3, 4);
  EXPECT_EQ(img.GetColorWithOverflow(99, 2, RASTER_OVERFLOW_COLOR, &none).rgbRed, 1);
  EXPECT_EQ(img.GetColorWithOverflow(99, 2, RASTER_OVERFLOW_TRANSPARENT, &none).rgbRed, 1);
  img.SetTransparentIndex(-1);
  RGBQUAD tc = Q(7, 8, 9);
  img.SetTransparentColor(tc);
  CRasterImage pal(2, 2, 8, RASTER_TYPE_BMP);
  pal.SetPaletteEntry(4, 40, 41, 42);
  pal.SetTransparentIndex(4);
  EXPECT_EQ(pal.GetColorWithOverflow(9, 9, RASTER_OVERFLOW_TRANSPARENT, &none).rgbRed, 40);
  EXPECT_EQ(pal.GetColorWithOverflow(9, 9, RASTER_OVERFLOW_BACKGROUND, &none).rgbGreen, 41);
  pal.CreateAlphaMask();
  RGBQUAD bg = pal.GetColorWithOverflow(9, 9, RASTER_OVERFLOW_BACKGROUND, &none);
  EXPECT_EQ(bg.rgbRed, 1);
  EXPECT_EQ(bg.rgbReserved, 0);
  CRasterImage empty;
  EXPECT_EQ(empty.InterpolateColor(0, 0, RASTER_IM_BICUBIC, RASTER_OVERFLOW_REPEAT, &none).rgbRed, 1);
}

TEST(Interpolate, AreaAverage) {
  CRasterImage img(6, 6, 24, RASTER_TYPE_BMP);
  for (LONG y = 0; y < 6; y++)
    for (LONG x = 0; x < 6; x++) img.SetColorAt(x, y, Q(90, 60, 30));
  RGBQUAD c = img.AreaAverageColor(2.5f, 2.5f, 2, 2, RASTER_IM_BILINEAR, RASTER_OVERFLOW_REPEAT);
  EXPECT_EQ(c.rgbRed, 90);
  EXPECT_EQ(c.rgbGreen, 60);
  EXPECT_EQ(c.rgbBlue, 30);
  c = img.AreaAverageColor(2.5f, 2.5f, 3, 1, RASTER_IM_BILINEAR, RASTER_OVERFLOW_REPEAT);
  EXPECT_NEAR(c.rgbRed, 90, 1);
  // Halves of different colours average to the middle.
  CRasterImage halves(4, 2, 24, RASTER_TYPE_BMP);
  for (LONG x = 0; x < 4; x++)
    for (LONG y = 0; y < 2; y++) halves.SetColorAt(x, y, x < 2 ? Q(0, 0, 0) : Q(200, 200, 200));
  c = halves.AreaAverageColor(1.5f, 0.5f, 4, 2, RASTER_IM_BILINEAR, RASTER_OVERFLOW_REPEAT);
  EXPECT_NEAR(c.rgbRed, 100, 1);
  // An area with one side of zero length has no surface: no division by it.
  c = img.AreaAverageColor(2, 2, 4, 0, RASTER_IM_BILINEAR, RASTER_OVERFLOW_REPEAT);
  EXPECT_EQ(c.rgbRed, 90);
  c = img.AreaAverageColor(2, 2, 0, 5, RASTER_IM_BILINEAR, RASTER_OVERFLOW_REPEAT);
  EXPECT_EQ(c.rgbRed, 90);
  c = img.AreaAverageColor(2, 2, -3, 5, RASTER_IM_BILINEAR, RASTER_OVERFLOW_REPEAT);
  EXPECT_EQ(c.rgbRed, 90);
}
