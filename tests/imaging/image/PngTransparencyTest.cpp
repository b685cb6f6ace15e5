// Palette PNG files whose transparency chunk is shorter than their palette:
// the entries it lists get its alpha values, the others stay opaque.
#include <gtest/gtest.h>

#include <zlib.h>

#include <string>

#include "tests/imaging/image/CodecTestUtil.h"

namespace {

void Be32(std::vector<BYTE>& v, DWORD x) {
  for (int i = 3; i >= 0; i--) v.push_back((BYTE)(x >> (8 * i)));
}

void Chunk(std::vector<BYTE>& file, const char* type, const std::vector<BYTE>& data) {
  Be32(file, (DWORD)data.size());
  std::vector<BYTE> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  file.insert(file.end(), body.begin(), body.end());
  Be32(file, (DWORD)crc32(0, body.data(), (uInt)body.size()));
}

// An 8-bit palette file of one row whose pixels use every palette index in turn.
std::vector<BYTE> PalettePng(int colors, const std::vector<BYTE>& alpha) {
  std::vector<BYTE> file = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<BYTE> ihdr;
  Be32(ihdr, (DWORD)colors);
  Be32(ihdr, 1);
  ihdr.insert(ihdr.end(), {8, 3, 0, 0, 0});
  Chunk(file, "IHDR", ihdr);
  std::vector<BYTE> plte;
  for (int i = 0; i < colors; i++) plte.insert(plte.end(), {(BYTE)(i * 40), (BYTE)(200 - i * 20), 77});
  Chunk(file, "PLTE", plte);
  if (!alpha.empty()) Chunk(file, "tRNS", alpha);
  std::vector<BYTE> raw = {0};  // filter type of the row
  for (int i = 0; i < colors; i++) raw.push_back((BYTE)i);
  uLongf size = compressBound((uLong)raw.size());
  std::vector<BYTE> packed(size);
  EXPECT_EQ(Z_OK, compress(packed.data(), &size, raw.data(), (uLong)raw.size()));
  packed.resize(size);
  Chunk(file, "IDAT", packed);
  Chunk(file, "IEND", {});
  return file;
}

}  // namespace

TEST(PngTransparency, ShortChunkLeavesTheRestOpaque) {
  const std::vector<BYTE> alpha = {0, 128, 255, 30};
  for (size_t listed : {2u, 3u, 4u}) {
    SCOPED_TRACE(std::to_string(listed) + " alpha values for 6 colours");
    CRasterImage img;
    ASSERT_TRUE(
        DecodeBytes(PalettePng(6, std::vector<BYTE>(alpha.begin(), alpha.begin() + listed)), img, RASTER_TYPE_PNG))
        << img.GetErrorText();
    ASSERT_TRUE(img.IsIndexed());
    for (LONG x = 0; x < 6; x++) {
      RGBQUAD c = ShownColor(img, x, 0);
      EXPECT_EQ((size_t)x < listed ? alpha[x] : 255, c.rgbReserved) << "index " << x;
      EXPECT_EQ(x * 40, c.rgbRed) << "index " << x;
    }
  }
}
