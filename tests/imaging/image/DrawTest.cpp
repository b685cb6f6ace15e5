// Drawing into memory device contexts: placement, clipping, scaling,
// mirroring, transparency and alpha blending.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

#include "tests/imaging/image/ImageTestUtil.h"
#include "imaging/image/RasterImage.h"

namespace {

// A top-down 32-bit canvas in a memory device context.
class Canvas {
 public:
  Canvas(int w, int h, COLORREF fill = RGB(255, 255, 255)) : m_w(w), m_h(h) {
    BITMAPINFO bi;
    memset(&bi, 0, sizeof(bi));
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    m_dc = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    m_bmp = CreateDIBSection(m_dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    m_bits = (DWORD*)bits;
    m_old = SelectObject(m_dc, m_bmp);
    Fill(fill);
  }
  ~Canvas() {
    SelectObject(m_dc, m_old);
    DeleteObject(m_bmp);
    DeleteDC(m_dc);
  }
  void Fill(COLORREF c) {
    GdiFlush();
    DWORD v = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    for (int i = 0; i < m_w * m_h; i++) m_bits[i] = v;
  }
  // 0xRRGGBB at a device position.
  DWORD At(int x, int y) {
    GdiFlush();
    return m_bits[y * m_w + x] & 0xFFFFFF;
  }
  HDC dc() const { return m_dc; }
  bool ok() const { return m_dc && m_bmp && m_bits; }

 private:
  int m_w, m_h;
  HDC m_dc = nullptr;
  HBITMAP m_bmp = nullptr;
  HGDIOBJ m_old = nullptr;
  DWORD* m_bits = nullptr;
};

DWORD Rgb(RGBQUAD c) { return ((DWORD)c.rgbRed << 16) | ((DWORD)c.rgbGreen << 8) | c.rgbBlue; }

// 24-bit image with a distinct colour per pixel: red = x, green = stored row.
void Distinct(CRasterImage& img, LONG w, LONG h) {
  ASSERT_NE(img.Create(w, h, 24, RASTER_TYPE_BMP), nullptr);
  for (LONG y = 0; y < h; y++)
    for (LONG x = 0; x < w; x++) img.SetColorAt(x, y, Q((BYTE)x, (BYTE)y, 77));
}

const DWORD kWhite = 0xFFFFFF;

}  // namespace

TEST(Draw, PreconditionsDrawNothing) {
  Canvas canvas(20, 20);
  ASSERT_TRUE(canvas.ok());
  CRasterImage empty;
  EXPECT_EQ(empty.Draw(canvas.dc(), 0, 0), 0);
  CRasterImage img;
  Distinct(img, 4, 4);
  EXPECT_EQ(img.Draw(nullptr, 0, 0), 0);
  EXPECT_EQ(img.Draw(canvas.dc(), 0, 0, 0, 4), 0);
  img.Enable(false);
  EXPECT_EQ(img.Draw(canvas.dc(), 0, 0), 0);
  EXPECT_EQ(canvas.At(0, 0), kWhite);
  img.Enable(true);
  // Entirely outside the clip box: nothing changes, but the call goes through.
  EXPECT_EQ(img.Draw(canvas.dc(), 30, 30, 8, 8), 1);
  EXPECT_EQ(img.Draw(canvas.dc(), -50, 2, 8, 8), 1);
  for (int y = 0; y < 20; y++)
    for (int x = 0; x < 20; x++) ASSERT_EQ(canvas.At(x, y), kWhite);
}

TEST(Draw, UnscaledIsPixelExactAndUpright) {
  Canvas canvas(60, 50);
  CRasterImage img;
  Distinct(img, 30, 20);
  EXPECT_EQ(img.Draw(canvas.dc(), 10, 10, -1, -1), 1);
  for (int y = 0; y < 20; y++)
    for (int x = 0; x < 30; x++)
      ASSERT_EQ(canvas.At(10 + x, 10 + y), Rgb(img.GetColorAt(x, 19 - y, false))) << x << "," << y;
  EXPECT_EQ(canvas.At(9, 10), kWhite);
  EXPECT_EQ(canvas.At(40, 29), kWhite);
  EXPECT_EQ(canvas.At(10, 30), kWhite);
  // Mirrored: the stored bottom row is at the top.
  canvas.Fill(kWhite);
  EXPECT_EQ(img.Draw(canvas.dc(), 10, 10, 30, 20, nullptr, false, true), 1);
  for (int y = 0; y < 20; y++)
    for (int x = 0; x < 30; x++) ASSERT_EQ(canvas.At(10 + x, 10 + y), Rgb(img.GetColorAt(x, y, false)));
}

TEST(Draw, ClipRectangleAndClipRegion) {
  Canvas canvas(40, 40);
  CRasterImage img;
  Distinct(img, 20, 20);
  RECT clip = {5, 6, 9, 12};
  EXPECT_EQ(img.Draw(canvas.dc(), 0, 0, 20, 20, &clip), 1);
  for (int y = 0; y < 25; y++) {
    for (int x = 0; x < 25; x++) {
      bool inside = x >= 5 && x < 9 && y >= 6 && y < 12;
      if (inside)
        ASSERT_EQ(canvas.At(x, y), Rgb(img.GetColorAt(x, 19 - y, false)));
      else
        ASSERT_EQ(canvas.At(x, y), kWhite) << x << "," << y;
    }
  }
  // The device's own clip region is back: a later draw covers everything.
  EXPECT_EQ(img.Draw(canvas.dc(), 0, 0, 20, 20), 1);
  EXPECT_EQ(canvas.At(0, 0), Rgb(img.GetColorAt(0, 19, false)));

  // A device clip region limits the scaled path to the visible part.
  canvas.Fill(kWhite);
  HRGN rgn = CreateRectRgn(10, 10, 30, 20);
  SelectClipRgn(canvas.dc(), rgn);
  DeleteObject(rgn);
  EXPECT_EQ(img.Draw(canvas.dc(), 0, 0, 40, 40), 1);
  SelectClipRgn(canvas.dc(), nullptr);
  EXPECT_EQ(canvas.At(9, 15), kWhite);
  EXPECT_EQ(canvas.At(30, 15), kWhite);
  EXPECT_EQ(canvas.At(15, 9), kWhite);
  EXPECT_EQ(canvas.At(15, 20), kWhite);
  // Doubling: device (x, y) shows source column x / 2 of display row y / 2.
  for (int y = 10; y < 20; y++)
    for (int x = 10; x < 30; x++)
      ASSERT_EQ(canvas.At(x, y), Rgb(img.GetColorAt(x / 2, 19 - y / 2, false))) << x << "," << y;
}

TEST(Draw, ShrinkingSamplesNearestPixels) {
  Canvas canvas(100, 100);
  CRasterImage img(400, 400, 24, RASTER_TYPE_BMP);
  for (LONG y = 0; y < 400; y++)
    for (LONG x = 0; x < 400; x++)
      img.SetColorAt(x, y, Q((BYTE)(x & 0xFF), (BYTE)(y & 0xFF), (BYTE)(x >> 8 | (y >> 8) << 1)));
  EXPECT_EQ(img.Draw(canvas.dc(), 0, 0, 100, 100), 1);
  for (int dy = 0; dy < 100; dy++) {
    for (int dx = 0; dx < 100; dx++) {
      // Section row r = 99 - dy samples stored row 400 - (100 - r) * 4.
      LONG sx = dx * 4, sy = 400 - (dy + 1) * 4;
      ASSERT_EQ(canvas.At(dx, dy), Rgb(img.GetColorAt(sx, sy, false))) << dx << "," << dy;
    }
  }
  // Flip mirrors the visible band.
  canvas.Fill(kWhite);
  EXPECT_EQ(img.Draw(canvas.dc(), 0, 0, 100, 100, nullptr, false, true), 1);
  EXPECT_EQ(canvas.At(0, 99), Rgb(img.GetColorAt(0, 400 - 4, false)));
  EXPECT_EQ(canvas.At(0, 0), Rgb(img.GetColorAt(0, 0, false)));
}

TEST(Draw, TransparentIndexAndColour) {
  Canvas canvas(10, 10, RGB(0, 0, 255));
  CRasterImage pal(4, 4, 8, RASTER_TYPE_BMP);
  pal.SetPaletteEntry(0, 10, 20, 30);
  pal.SetPaletteEntry(1, 200, 100, 0);
  pal.FillRows(0);
  pal.SetIndexAt(1, 1, 1);
  pal.SetTransparentIndex(0);
  EXPECT_EQ(pal.Draw(canvas.dc(), 0, 0), 1);
  EXPECT_EQ(canvas.At(0, 0), 0x0000FFu);
  EXPECT_EQ(canvas.At(1, 2), 0xC86400u);  // stored row 1 is display row 2

  canvas.Fill(RGB(0, 0, 255));
  CRasterImage rgb(4, 4, 24, RASTER_TYPE_BMP);
  rgb.FillRows(0);
  rgb.SetColorAt(2, 3, Q(255, 0, 0));
  rgb.SetTransparentColor(Q(255, 0, 0));
  rgb.SetTransparentIndex(0);
  ASSERT_TRUE(rgb.IsTransparent());
  EXPECT_EQ(rgb.Draw(canvas.dc(), 0, 0), 1);
  EXPECT_EQ(canvas.At(2, 0), 0x0000FFu);
  EXPECT_EQ(canvas.At(1, 0), 0u);
  rgb.SetTransparentIndex(-1);
  EXPECT_EQ(rgb.Draw(canvas.dc(), 0, 0), 1);
  EXPECT_EQ(canvas.At(2, 0), 0xFF0000u);
}

TEST(Draw, AlphaBlending) {
  Canvas canvas(8, 8);
  CRasterImage img(4, 4, 24, RASTER_TYPE_BMP);
  img.FillRows(0);  // black
  ASSERT_TRUE(img.CreateAlphaMask());
  img.SetAlphaAt(0, 3, 128);
  img.SetAlphaAt(1, 3, 0);
  EXPECT_EQ(img.Draw(canvas.dc(), 0, 0), 1);
  // (255 x 127) >> 8 = 126 in each channel.
  EXPECT_EQ(canvas.At(0, 0), 0x7E7E7Eu);
  EXPECT_EQ(canvas.At(1, 0), kWhite);
  EXPECT_EQ(canvas.At(2, 0), 0u);
  // Overall opacity 0: nothing painted.
  canvas.Fill(kWhite);
  img.SetAlphaMax(0);
  EXPECT_EQ(img.Draw(canvas.dc(), 0, 0), 1);
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 4; x++) ASSERT_EQ(canvas.At(x, y), kWhite);
  // Palette alpha scales the mask.
  canvas.Fill(kWhite);
  CRasterImage pal(2, 2, 1, RASTER_TYPE_PNG);
  pal.SetPaletteEntry(0, 0, 0, 0, 127);
  pal.SetPaletteEntry(1, 0, 0, 0, 255);
  pal.FillRows(0);
  pal.SetIndexAt(1, 1, 1);
  pal.SetPaletteAlpha(true);
  EXPECT_EQ(pal.Draw(canvas.dc(), 0, 0), 1);
  EXPECT_EQ(canvas.At(0, 1), (DWORD)(((255 * 128) >> 8) * 0x010101));  // a = (255 * 128) >> 8 = 127
  EXPECT_EQ(canvas.At(1, 0), 0u);
  // Scaled blended drawing of the same image blends every covered pixel.
  canvas.Fill(kWhite);
  EXPECT_EQ(pal.Draw(canvas.dc(), 0, 0, 4, 4), 1);
  EXPECT_EQ(canvas.At(0, 3), canvas.At(1, 2));
  EXPECT_EQ(canvas.At(3, 0), 0u);
}

TEST(Draw, SmoothScalingInterpolates) {
  Canvas canvas(8, 8);
  CRasterImage img(2, 1, 24, RASTER_TYPE_BMP);
  img.SetColorAt(0, 0, Q(0, 0, 0));
  img.SetColorAt(1, 0, Q(200, 200, 200));
  EXPECT_EQ(img.Draw(canvas.dc(), 0, 0, 8, 1, nullptr, true, false), 1);
  DWORD left = canvas.At(0, 0) & 0xFF, middle = canvas.At(4, 0) & 0xFF, right = canvas.At(7, 0) & 0xFF;
  EXPECT_EQ(left, 0u);
  EXPECT_GT(middle, 0u);
  EXPECT_LT(middle, 200u);
  EXPECT_EQ(right, 200u);
  // Shrinking smoothly averages the covered area.
  CRasterImage stripes(8, 8, 24, RASTER_TYPE_BMP);
  for (LONG y = 0; y < 8; y++)
    for (LONG x = 0; x < 8; x++) stripes.SetColorAt(x, y, (x & 1) ? Q(200, 200, 200) : Q(0, 0, 0));
  canvas.Fill(kWhite);
  EXPECT_EQ(stripes.Draw(canvas.dc(), 0, 0, 4, 4, nullptr, true, false), 1);
  DWORD v = canvas.At(1, 1) & 0xFF;
  EXPECT_NEAR((int)v, 100, 2);
}
