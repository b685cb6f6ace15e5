// Colours at fractional positions: bilinear fast and border paths, overflow
// rules, kernels and the area average.
#include <gtest/gtest.h>

#include <cmath>

#include "ImageTestUtil.h"
#include "RasterImage.h"

namespace {

// A 24-bit image whose red channel is 10 * x and green 10 * y.
void Ramp(CRasterImage& img, LONG w, LONG h) {
  ASSERT_NE(img.Create(w, h, 24, RASTER_TYPE_BMP), nullptr);
  for (LONG y = 0; y < h; y++)
    for (LONG x = 0; x < w; x++) img.SetColorAt(x, y, Q((BYTE)(10 * x), (BYTE)(10 * y), 0));
}

}  // namespace

TEST(Interpolate, BilinearFastAndBorderPaths) {
  CRasterImage img;
  Ramp(img, 6, 5);
  RGBQUAD c = img.InterpolateColor(2, 3, RASTER_IM_BILINEAR, RASTER_OVERFLOW_REPEAT);
  EXPECT_EQ(c.rgbRed, 20);
  EXPECT_EQ(c.rgbGreen, 30);
  c = img.InterpolateColor(2.5f, 1.25f, RASTER_IM_BILINEAR, RASTER_OVERFLOW_REPEAT);
  EXPECT_EQ(c.rgbRed, 25);
  EXPECT_EQ(c.rgbGreen, 12);
  // Right neighbour outside: clamping repeats the border pixel.
  c = img.InterpolateColor(5.5f, 0, RASTER_IM_BILINEAR, RASTER_OVERFLOW_REPEAT);
  EXPECT_EQ(c.rgbRed, 50);
  // Method ids outside the table behave as bilinear.
  for (int m : {0, 19, -4}) {
    RGBQUAD d = img.InterpolateColor(2.5f, 1.25f, m, RASTER_OVERFLOW_REPEAT);
    EXPECT_EQ(d.rgbRed, 25) << m;
  }
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
  EXPECT_EQ(img.GetColorWithOverflow(-1, 0, RASTER_OVERFLOW_MIRROR, &none).rgbRed, 10);
  EXPECT_EQ(img.GetColorWithOverflow(6, 0, RASTER_OVERFLOW_MIRROR, &none).rgbRed, 50);
  EXPECT_EQ(img.GetColorWithOverflow(-1, 0, RASTER_OVERFLOW_WRAP, &none).rgbRed, 50);
  EXPECT_EQ(img.GetColorWithOverflow(8, -1, RASTER_OVERFLOW_WRAP, &none).rgbGreen, 40);
  EXPECT_EQ(img.GetColorWithOverflow(99, 2, RASTER_OVERFLOW_REPEAT, &none).rgbRed, 50);
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

TEST(Interpolate, KernelsAtWholePixels) {
  CRasterImage img;
  Ramp(img, 8, 8);
  // Interpolating kernels give the pixel itself at a pixel centre.
  for (int m : {RASTER_IM_BICUBIC, RASTER_IM_BICUBIC2, RASTER_IM_LANCZOS, RASTER_IM_BOX,
                RASTER_IM_HERMITE, RASTER_IM_CATROM, RASTER_IM_SINC, RASTER_IM_HANNING,
                RASTER_IM_POWER}) {
    RGBQUAD c = img.InterpolateColor(4, 3, m, RASTER_OVERFLOW_REPEAT);
    EXPECT_NEAR(c.rgbRed, 40, 1) << m;
    EXPECT_NEAR(c.rgbGreen, 30, 1) << m;
  }
  // Blackman weighs distant taps too; the unnormalised sum is limited to 255.
  CRasterImage bright(8, 8, 24, RASTER_TYPE_BMP);
  bright.FillRows(200);
  EXPECT_EQ(bright.InterpolateColor(4, 4, RASTER_IM_BLACKMAN, RASTER_OVERFLOW_REPEAT).rgbRed, 255);
  EXPECT_NEAR(CRasterImage::KernelBessel(0.5f), CRasterImage::BesselJ1(3.14159265358979 * 0.5) / 1.0, 1e-5);
  EXPECT_NEAR(CRasterImage::BesselJ1(1.0), 0.4400505857, 1e-7);
  EXPECT_NEAR(CRasterImage::BesselJ1(10.0), 0.0434727462, 1e-7);
  EXPECT_NEAR(CRasterImage::BesselJ1(-10.0), -0.0434727462, 1e-7);
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
