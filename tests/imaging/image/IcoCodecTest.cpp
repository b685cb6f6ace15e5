#include <gtest/gtest.h>

#include "tests/imaging/image/CodecTestUtil.h"
#include "imaging/image/IcoCodec.h"

namespace {

TEST(IcoCodec, RoundTripsEveryFormTheEncoderWrites) {
  struct Case {
    int bpp;
    bool alpha;
    int transparent;
    LONG size;
  } cases[] = {{1, false, -1, 32}, {4, false, 3, 16},   {8, false, 200, 48}, {24, false, -1, 33},
               {24, true, -1, 32}, {8, false, -1, 300}, {24, true, -1, 256}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "bpp " << c.bpp << " alpha " << c.alpha << " size " << c.size);
    CRasterImage img(c.size, c.size, c.bpp, RASTER_TYPE_ICO);
    FillPattern(img, 2);
    if (c.alpha) {
      img.CreateAlphaMask();
      for (LONG y = 0; y < c.size; y++)
        for (LONG x = 0; x < c.size; x++) img.SetAlphaAt(x, y, (BYTE)(x * 4));
    }
    if (c.transparent >= 0) img.SetTransparentIndex(c.transparent);
    std::vector<BYTE> bytes = EncodeToBytes(img, RASTER_TYPE_ICO);
    ASSERT_GT(bytes.size(), 22u) << img.GetErrorText();
    if (c.size > 255) {
      EXPECT_EQ(bytes[6], 0);
      EXPECT_EQ(bytes[7], 0);
      EXPECT_EQ(bytes[22], 0x89);  // PNG data follows the entry
    }
    CRasterImage back;
    ASSERT_TRUE(DecodeBytes(bytes, back, RASTER_TYPE_ICO)) << back.GetErrorText();
    EXPECT_EQ(back.GetFormat(), RASTER_TYPE_ICO);
    EXPECT_EQ(back.GetFrameCount(), 1);
    EXPECT_TRUE(SamePicture(img, back));
  }
}

std::vector<BYTE> IconWithEntry(BYTE w, BYTE h, const std::vector<BYTE>& data, WORD type = 1) {
  std::vector<BYTE> f = {0, 0, (BYTE)type, 0, 1, 0, w, h, 0, 0, 1, 0, 32, 0};
  DWORD size = (DWORD)data.size(), offset = 22;
  for (int i = 0; i < 4; i++) f.push_back((BYTE)(size >> (8 * i)));
  for (int i = 0; i < 4; i++) f.push_back((BYTE)(offset >> (8 * i)));
  f.insert(f.end(), data.begin(), data.end());
  return f;
}

TEST(IcoCodec, BrokenEntriesFailTheLoad) {
  CRasterImage pic(20, 20, 24, RASTER_TYPE_PNG);
  FillPattern(pic);
  std::vector<BYTE> png = EncodeToBytes(pic, RASTER_TYPE_PNG);
  ASSERT_FALSE(png.empty());

  CRasterImage good;
  ASSERT_TRUE(DecodeBytes(IconWithEntry(0, 0, png), good, RASTER_TYPE_ICO)) << good.GetErrorText();
  EXPECT_TRUE(SamePicture(pic, good));
  CRasterImage cursor;
  EXPECT_TRUE(DecodeBytes(IconWithEntry(0, 0, png, 2), cursor, RASTER_TYPE_ICO));
  CRasterImage type3;
  EXPECT_FALSE(DecodeBytes(IconWithEntry(0, 0, png, 3), type3, RASTER_TYPE_ICO));

  std::vector<BYTE> broken = png;
  broken[40] ^= 0xFF;
  CRasterImage bad;
  EXPECT_FALSE(DecodeBytes(IconWithEntry(0, 0, broken), bad, RASTER_TYPE_ICO));
  EXPECT_STRNE(bad.GetErrorText(), "");
  EXPECT_FALSE(bad.HasPixels());

  CRasterImage cut;
  EXPECT_FALSE(DecodeBytes(Truncated(IconWithEntry(0, 0, png), 60), cut, RASTER_TYPE_ICO));
  EXPECT_FALSE(cut.HasPixels());

  // One zero dimension in a bitmap entry.
  std::vector<BYTE> bmp(40 + 16 * 16 * 4 + 16 * 4, 0);
  bmp[0] = 40;
  bmp[4] = 16;
  bmp[8] = 32;
  bmp[12] = 1;
  bmp[14] = 32;
  CRasterImage zero;
  EXPECT_FALSE(DecodeBytes(IconWithEntry(16, 0, bmp), zero, RASTER_TYPE_ICO));
  EXPECT_FALSE(zero.HasPixels());
  CRasterImage fine;
  EXPECT_TRUE(DecodeBytes(IconWithEntry(16, 16, bmp), fine, RASTER_TYPE_ICO)) << fine.GetErrorText();
}

TEST(IcoCodec, AndMaskBecomesTransparency) {
  // 8-bit 4 x 2 entry, indices 0..7, the mask hides pixels 1 and 6 (both index 1 colour).
  std::vector<BYTE> bmp;
  auto le = [&](DWORD v, int n) {
    for (int i = 0; i < n; i++) bmp.push_back((BYTE)(v >> (8 * i)));
  };
  le(40, 4);
  le(4, 4);
  le(4, 4);
  le(1, 2);
  le(8, 2);
  le(0, 4);
  le(0, 4);
  le(0, 4);
  le(0, 4);
  le(0, 4);
  le(0, 4);
  for (int i = 0; i < 256; i++) le(i < 8 ? 0x00102030u * (DWORD)(i + 1) : 0, 4);
  const BYTE rows[2][4] = {{0, 1, 2, 3}, {4, 5, 1, 7}};
  for (auto& r : rows) bmp.insert(bmp.end(), r, r + 4);
  // mask rows (4 bytes each), bottom row first
  const BYTE mask[2][4] = {{0x40, 0, 0, 0}, {0x20, 0, 0, 0}};
  for (auto& r : mask) bmp.insert(bmp.end(), r, r + 4);
  CRasterImage img;
  ASSERT_TRUE(DecodeBytes(IconWithEntry(4, 2, bmp), img, RASTER_TYPE_ICO)) << img.GetErrorText();
  EXPECT_FALSE(img.HasAlpha());
  ASSERT_EQ(img.GetTransparentIndex(), 255);  // the highest index no pixel uses
  EXPECT_EQ(img.GetIndexAt(1, 0), 255);
  EXPECT_EQ(img.GetIndexAt(2, 1), 255);
  EXPECT_EQ(img.GetIndexAt(0, 0), 0);

  // All mask bytes 0xFF: inverted colours, transparent index 0.
  for (size_t i = bmp.size() - 8; i < bmp.size(); i++) bmp[i] = 0xFF;
  CRasterImage inv;
  ASSERT_TRUE(DecodeBytes(IconWithEntry(4, 2, bmp), inv, RASTER_TYPE_ICO));
  EXPECT_EQ(inv.GetTransparentIndex(), 0);
  EXPECT_EQ(inv.GetPaletteEntry(0).rgbBlue, 255 - 0x30);
}

TEST(IcoCodec, EncoderFailuresAreReported) {
  CRasterImage img(32, 32, 8, RASTER_TYPE_ICO);
  FillPattern(img);
  CFailingStream failing(100);
  EXPECT_FALSE(img.Encode(&failing, RASTER_TYPE_ICO));
  EXPECT_STRNE(img.GetErrorText(), "");
  CRasterImage big(300, 300, 24, RASTER_TYPE_ICO);
  FillPattern(big);
  CFailingStream failing2(1000);
  EXPECT_FALSE(big.Encode(&failing2, RASTER_TYPE_ICO));
}

}  // namespace
