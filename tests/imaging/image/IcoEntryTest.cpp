// Icon entries: each entry of a directory by its index and nothing for
// indices outside it (the first one past the last included); sizes that do
// not fit an entry's size bytes; the AND mask of a palette entry moved to an
// unused index, index 0 included.
#include <gtest/gtest.h>

#include "tests/imaging/image/CodecTestUtil.h"
#include "imaging/image/IcoCodec.h"

namespace {

void Le(std::vector<BYTE>& v, DWORD value, int bytes) {
  for (int i = 0; i < bytes; i++) v.push_back((BYTE)(value >> (8 * i)));
}

// A 32-bit bitmap entry whose pixels all have the given blue value.
std::vector<BYTE> Entry32(BYTE w, BYTE h, BYTE blue) {
  std::vector<BYTE> b;
  Le(b, 40, 4);
  Le(b, w, 4);
  Le(b, 2u * h, 4);
  Le(b, 1, 2);
  Le(b, 32, 2);
  for (int i = 0; i < 6; i++) Le(b, 0, 4);
  for (int i = 0; i < w * h; i++) {
    BYTE px[4] = {blue, 20, 30, 255};
    b.insert(b.end(), px, px + 4);
  }
  b.insert(b.end(), (size_t)4 * h, 0);  // AND mask: nothing hidden
  return b;
}

std::vector<BYTE> Icon(const std::vector<std::vector<BYTE>>& data, const std::vector<std::pair<BYTE, BYTE>>& sizes) {
  std::vector<BYTE> f;
  Le(f, 0, 2);
  Le(f, 1, 2);
  Le(f, (DWORD)data.size(), 2);
  DWORD offset = 6 + 16 * (DWORD)data.size();
  for (size_t i = 0; i < data.size(); i++) {
    f.push_back(sizes[i].first);
    f.push_back(sizes[i].second);
    Le(f, 0, 2);
    Le(f, 1, 2);
    Le(f, 32, 2);
    Le(f, (DWORD)data[i].size(), 4);
    Le(f, offset, 4);
    offset += (DWORD)data[i].size();
  }
  for (const auto& d : data) f.insert(f.end(), d.begin(), d.end());
  return f;
}

}  // namespace

TEST(IcoEntries, EachIndexInsideTheDirectoryAndNoneOutside) {
  const std::vector<BYTE> file =
      Icon({Entry32(2, 2, 11), Entry32(3, 1, 22), Entry32(1, 4, 33)}, {{2, 2}, {3, 1}, {1, 4}});
  const struct {
    LONG w, h;
    BYTE blue;
  } want[] = {{2, 2, 11}, {3, 1, 22}, {1, 4, 33}};
  for (int index = 0; index < 3; index++) {
    CRasterImage img;
    img.SetCurrentFrame(index);
    ASSERT_TRUE(DecodeBytes(file, img, RASTER_TYPE_ICO)) << index << ": " << img.GetErrorText();
    EXPECT_EQ((DWORD)want[index].w, img.GetWidth()) << index;
    EXPECT_EQ((DWORD)want[index].h, img.GetHeight()) << index;
    EXPECT_EQ(want[index].blue, img.GetColorAt(0, 0, false).rgbBlue) << index;
    EXPECT_EQ(3, img.GetFrameCount());
  }
  for (int index : {3, 4, -1}) {
    CRasterImage img;
    img.SetCurrentFrame(index);
    EXPECT_FALSE(DecodeBytes(file, img, RASTER_TYPE_ICO)) << index;
    EXPECT_STREQ("Icon entry not found", img.GetErrorText()) << index;
    EXPECT_FALSE(img.HasPixels());
  }
  // A directory with no entries has no entry 0.
  CRasterImage none;
  EXPECT_FALSE(DecodeBytes(Icon({}, {}), none, RASTER_TYPE_ICO));
  EXPECT_FALSE(none.HasPixels());
}

TEST(IcoEntries, SidesOver255GoThroughPngEitherWay) {
  for (auto [w, h] : {std::make_pair(16, 300), std::make_pair(300, 16), std::make_pair(255, 255)}) {
    SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
    CRasterImage img(w, h, 24, RASTER_TYPE_ICO);
    FillPattern(img, 3);
    std::vector<BYTE> bytes = EncodeToBytes(img, RASTER_TYPE_ICO);
    ASSERT_GT(bytes.size(), 22u) << img.GetErrorText();
    const bool png = w > 255 || h > 255;
    EXPECT_EQ(png ? 0 : w, bytes[6]);
    EXPECT_EQ(png ? 0 : h, bytes[7]);
    EXPECT_EQ(png, bytes[22] == 0x89);
    CRasterImage back;
    ASSERT_TRUE(DecodeBytes(bytes, back, RASTER_TYPE_ICO)) << back.GetErrorText();
    EXPECT_EQ((DWORD)w, back.GetWidth());
    EXPECT_EQ((DWORD)h, back.GetHeight());
    EXPECT_TRUE(SamePicture(img, back));
  }
}

TEST(IcoEntries, MaskedPixelsMoveToTheHighestUnusedIndexEvenZero) {
  // A 1-bit entry whose pixels all use index 1; the mask hides columns 0 and 5.
  std::vector<BYTE> bmp;
  Le(bmp, 40, 4);
  Le(bmp, 8, 4);
  Le(bmp, 4, 4);
  Le(bmp, 1, 2);
  Le(bmp, 1, 2);
  for (int i = 0; i < 6; i++) Le(bmp, 0, 4);
  Le(bmp, 0x00000000, 4);
  Le(bmp, 0x00C08040, 4);
  for (int row = 0; row < 2; row++) Le(bmp, 0xFF, 4);  // pixels: all index 1
  for (int row = 0; row < 2; row++) Le(bmp, 0x84, 4);  // mask: columns 0 and 5
  std::vector<BYTE> file = Icon({bmp}, {{8, 2}});
  CRasterImage img;
  ASSERT_TRUE(DecodeBytes(file, img, RASTER_TYPE_ICO)) << img.GetErrorText();
  EXPECT_FALSE(img.HasAlpha());
  ASSERT_EQ(0, img.GetTransparentIndex());
  for (LONG y = 0; y < 2; y++) {
    for (LONG x = 0; x < 8; x++) {
      bool masked = x == 0 || x == 5;
      EXPECT_EQ(masked ? 0 : 1, img.GetIndexAt(x, y)) << x << "," << y;
      // What shows: the unmasked pixels stay opaque in their own colour.
      RGBQUAD shown = ShownColor(img, x, y);
      if (!masked) {
        EXPECT_EQ(255, shown.rgbReserved) << x << "," << y;
        EXPECT_EQ(0xC0, shown.rgbRed) << x << "," << y;
      } else {
        EXPECT_EQ(0, shown.rgbReserved) << x << "," << y;
      }
    }
  }
}
