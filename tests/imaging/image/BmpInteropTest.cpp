// BMP files made by ImageMagick decode to exactly ImageMagick's own pixels,
// and ImageMagick reads the files we write back to exactly our pixels.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "tests/imaging/image/BmpTestUtil.h"
#include "imaging/image/RasterImage.h"

namespace {

std::string g_dir;

int Shell(const std::string& cmd) { return system((cmd + " >/dev/null 2>&1").c_str()); }

std::vector<BYTE> ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<BYTE>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// ImageMagick's decode of a file: RGBA bytes, top row first.
std::vector<BYTE> MagickPixels(const std::string& file) {
  std::string out = file + ".rgba";
  if (Shell("convert '" + file + "' -depth 8 'rgba:" + out + "'") != 0) return {};
  return ReadAll(out);
}

class BmpInterop : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char tmpl[] = "/tmp/rsimage_interop_XXXXXX";
    char* d = mkdtemp(tmpl);
    ASSERT_NE(d, nullptr);
    g_dir = d;
    // Odd width so that every depth has row padding; many colours.
    ASSERT_EQ(Shell("convert -seed 7 -size 37x23 plasma: '" + g_dir + "/src.png'"), 0)
        << "ImageMagick's convert is needed";
    ASSERT_EQ(
        Shell("convert '" + g_dir + "/src.png' -alpha set -channel A -fx 'i/w' +channel '" + g_dir + "/alpha.png'"), 0);
  }
  static void TearDownTestSuite() { Shell("rm -rf '" + g_dir + "'"); }
};

struct Variant {
  const char* name;
  const char* options;  // between the source and the output
  const char* source;
  int headerSize;
  int bitCount;
  int compression;
  int channelBits;  // bits per channel in the file: 8, or 5/6 for 16-bit pixels
};

}  // namespace

TEST_F(BmpInterop, MagickFilesDecodeToMagickPixels) {
  const Variant variants[] = {
      {"rgb24", "-type TrueColor BMP3:", "src.png", 40, 24, 0, 8},
      {"pal8", "-type Palette -compress None BMP3:", "src.png", 40, 8, 0, 8},
      {"rle8", "-type Palette -compress RLE BMP3:", "src.png", 40, 8, 1, 8},
      {"pal4", "-colors 16 -compress None BMP3:", "src.png", 40, 4, 0, 8},
      {"mono", "-monochrome BMP3:", "src.png", 40, 1, 0, 8},
      {"core8", "-type Palette BMP2:", "src.png", 12, 8, -1, 8},
      {"core24", "-type TrueColor BMP2:", "src.png", 12, 24, -1, 8},
      {"v5rgb24", "-type TrueColor BMP:", "src.png", 124, 24, 0, 8},
      {"v5pal8", "-type Palette -compress None BMP:", "src.png", 124, 8, 0, 8},
      {"v5rle8", "-type Palette BMP:", "src.png", 124, 8, 1, 8},
      {"v5rgb565", "-define bmp:subtype=RGB565 BMP:", "src.png", 124, 16, 3, 5},
      {"v5rgb555", "-define bmp:subtype=RGB555 BMP:", "src.png", 124, 16, 3, 5},
      {"v5argb32", "BMP:", "alpha.png", 124, 32, 3, 8},
  };
  for (const Variant& v : variants) {
    SCOPED_TRACE(v.name);
    std::string file = g_dir + "/" + v.name + ".bmp";
    ASSERT_EQ(Shell(std::string("convert '") + g_dir + "/" + v.source + "' " + v.options + "'" + file + "'"), 0);
    std::vector<BYTE> bytes = ReadAll(file);
    ASSERT_GT(bytes.size(), 54u);
    // The file really is the kind this case is about.
    ASSERT_EQ(bytes[14], v.headerSize);
    if (v.headerSize == 12) {
      ASSERT_EQ(bytes[24], v.bitCount);
    } else {
      ASSERT_EQ(bytes[28], v.bitCount);
      ASSERT_EQ(bytes[30], v.compression);
    }
    std::vector<BYTE> ref = MagickPixels(file);
    CRasterImage img;
    ASSERT_TRUE(img.Load(Wide(file).c_str(), RASTER_TYPE_BMP)) << img.GetErrorText();
    ASSERT_EQ(img.GetWidth(), 37u);
    ASSERT_EQ(img.GetHeight(), 23u);
    ASSERT_EQ(ref.size(), 37u * 23u * 4u);
    int mismatches = 0;
    for (DWORD row = 0; row < 23; row++) {
      for (DWORD x = 0; x < 37; x++) {
        const BYTE* m = &ref[(row * 37 + x) * 4];
        RGBQUAD c = img.GetColorAt(x, 22 - row, false);
        BYTE ours[3] = {c.rgbRed, c.rgbGreen, c.rgbBlue};
        for (int k = 0; k < 3; k++) {
          int bits = v.channelBits;
          if (bits == 5 && k == 1 && std::string(v.name) == "v5rgb565") bits = 6;
          // Fewer bits than 8: ImageMagick scales them to 0..255, we shift
          // them to the top; the file's bits must agree and ours stay clean.
          int drop = 8 - bits;
          if ((m[k] >> drop) != (ours[k] >> drop) || (ours[k] & ((1 << drop) - 1)) != 0) {
            if (++mismatches < 5)
              ADD_FAILURE() << "pixel " << x << "," << row << " channel " << k << ": ours " << (int)ours[k]
                            << " ImageMagick " << (int)m[k];
          }
        }
      }
    }
    EXPECT_EQ(mismatches, 0);
  }
}

// 16- and 32-bit pixels with bit-field layouts that no common writer makes:
// each channel agrees with ImageMagick's decode of the same file. Fields of
// up to 8 bits are widened by moving them to the top of the byte; wider
// fields keep their top 8 bits, which may differ from ImageMagick's rounded
// scaling by one.
TEST_F(BmpInterop, BitFieldLayoutsMatchMagick) {
  struct Layout {
    const char* name;
    WORD bpp;
    DWORD red, green, blue;
  };
  const Layout layouts[] = {
      {"6-5-5", 16, 0xFC00, 0x03E0, 0x001F},
      {"5-5-6", 16, 0xF800, 0x07C0, 0x003F},
      {"red low", 16, 0x001F, 0x03E0, 0x7C00},
      {"4-4-4 high", 16, 0xF000, 0x0F00, 0x00F0},
      {"gaps", 16, 0x7800, 0x01E0, 0x000F},
      {"10-10-10", 32, 0x3FF00000, 0x000FFC00, 0x000003FF},
      {"10-10-10 red low", 32, 0x000003FF, 0x000FFC00, 0x3FF00000},
      {"8-8-8 off the bytes", 32, 0x0FF00000, 0x000FF000, 0x00000FF0},
  };
  std::mt19937 rng(5);
  for (const Layout& l : layouts) {
    BmpLayout s;
    s.width = 9;
    s.height = 4;
    s.bpp = l.bpp;
    s.compression = BI_BITFIELDS;
    s.masks = {l.red, l.green, l.blue};
    const int rowBytes = l.bpp == 16 ? 20 : 36;  // 9 pixels; 16-bit rows padded by 2 bytes
    for (int y = 0; y < s.height; y++) {
      for (int x = 0; x < rowBytes; x++) s.pixels.push_back((BYTE)rng());
    }
    std::string file = g_dir + "/layout.bmp";
    std::vector<BYTE> bytes = MakeBmp(s);
    FILE* f = fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    std::vector<BYTE> ref = MagickPixels(file);
    ASSERT_EQ(ref.size(), 9u * 4u * 4u) << l.name;
    CRasterImage img;
    ASSERT_TRUE(img.Load(Wide(file).c_str(), RASTER_TYPE_BMP)) << img.GetErrorText();
    const DWORD masks[3] = {l.red, l.green, l.blue};
    int mismatches = 0;
    for (int row = 0; row < 4; row++) {
      for (int x = 0; x < 9; x++) {
        RGBQUAD c = img.GetColorAt(x, 3 - row, false);
        BYTE ours[3] = {c.rgbRed, c.rgbGreen, c.rgbBlue};
        for (int k = 0; k < 3; k++) {
          int bits = 0;
          for (DWORD m = masks[k]; m; m &= m - 1) bits++;
          BYTE theirs = ref[(row * 9 + x) * 4 + k];
          bool same;
          if (bits <= 8) {
            int drop = 8 - bits;
            same = (theirs >> drop) == (ours[k] >> drop) && (ours[k] & ((1 << drop) - 1)) == 0;
          } else {
            same = abs((int)theirs - (int)ours[k]) <= 1;
          }
          if (!same && ++mismatches < 5)
            ADD_FAILURE() << l.name << " pixel " << x << "," << row << " channel " << k << ": ours " << (int)ours[k]
                          << " ImageMagick " << (int)theirs;
        }
      }
    }
    EXPECT_EQ(mismatches, 0) << l.name;
  }
}

TEST_F(BmpInterop, MagickReadsOurFilesBack) {
  std::mt19937 rng(99);
  for (int bpp : {1, 4, 8, 24, 32}) {
    SCOPED_TRACE(bpp);
    CRasterImage img(37, 23, bpp == 32 ? 24 : bpp, RASTER_TYPE_BMP);
    if (img.IsIndexed())
      for (DWORD i = 0; i < img.GetColorCount(); i++)
        img.SetPaletteEntry((BYTE)i, (BYTE)rng(), (BYTE)rng(), (BYTE)rng());
    for (LONG y = 0; y < 23; y++) {
      for (LONG x = 0; x < 37; x++) {
        if (img.IsIndexed()) {
          img.SetIndexAt(x, y, (BYTE)(rng() % img.GetColorCount()));
        } else {
          RGBQUAD c;
          c.rgbRed = (BYTE)rng();
          c.rgbGreen = (BYTE)rng();
          c.rgbBlue = (BYTE)rng();
          c.rgbReserved = 0;
          img.SetColorAt(x, y, c);
        }
      }
    }
    if (bpp == 32) {
      ASSERT_TRUE(img.CreateAlphaMask());
      for (LONG y = 0; y < 23; y++)
        for (LONG x = 0; x < 37; x++) img.SetAlphaAt(x, y, (BYTE)(x * 7 + y));
    }
    std::string file = g_dir + "/ours" + std::to_string(bpp) + ".bmp";
    ASSERT_TRUE(img.Save(Wide(file).c_str(), RASTER_TYPE_BMP)) << img.GetErrorText();
    std::vector<BYTE> bytes = ReadAll(file);
    ASSERT_EQ(bytes[28], bpp);
    std::vector<BYTE> ref = MagickPixels(file);
    ASSERT_EQ(ref.size(), 37u * 23u * 4u);
    int mismatches = 0;
    for (DWORD row = 0; row < 23; row++) {
      for (DWORD x = 0; x < 37; x++) {
        const BYTE* m = &ref[(row * 37 + x) * 4];
        RGBQUAD c = img.GetColorAt(x, 22 - row, true);
        bool same = m[0] == c.rgbRed && m[1] == c.rgbGreen && m[2] == c.rgbBlue;
        if (bpp == 32)
          same = same && m[3] == c.rgbReserved;
        else
          same = same && m[3] == 255;
        if (!same && ++mismatches < 5)
          ADD_FAILURE() << "pixel " << x << "," << row << ": ImageMagick " << (int)m[0] << "," << (int)m[1] << ","
                        << (int)m[2] << "," << (int)m[3] << " ours " << (int)c.rgbRed << "," << (int)c.rgbGreen << ","
                        << (int)c.rgbBlue << "," << (int)c.rgbReserved;
      }
    }
    EXPECT_EQ(mismatches, 0);
  }
}
