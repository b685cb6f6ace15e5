// Load, save and the choice of codec: requested formats, automatic
// detection, the error text each path leaves, and stream offsets.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "imaging/image/RasterImage.h"

namespace {

std::wstring TempPath(const char* name) {
  std::string dir = ::testing::TempDir();
  std::string p = dir + name;
  return std::wstring(p.begin(), p.end());
}

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

void WriteText(const std::wstring& path, const char* text) {
  FILE* f = fopen(Narrow(path).c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fputs(text, f);
  fclose(f);
}

long FileSize(const std::wstring& path) {
  FILE* f = fopen(Narrow(path).c_str(), "rb");
  if (!f) return -1;
  fseek(f, 0, SEEK_END);
  long n = ftell(f);
  fclose(f);
  return n;
}

}  // namespace

TEST(Dispatch, WrongRequestedFormatFallsBackToDetection) {
  CRasterImage src(6, 4, 24, RASTER_TYPE_BMP);
  src.FillRows(0x40);
  std::wstring png = TempPath("rsimage_dispatch.png");
  ASSERT_TRUE(src.Save(png.c_str(), RASTER_TYPE_PNG)) << src.GetErrorText();
  CRasterImage img;
  EXPECT_TRUE(img.Load(png.c_str(), RASTER_TYPE_BMP)) << img.GetErrorText();
  EXPECT_EQ(img.GetFormat(), RASTER_TYPE_PNG);
  EXPECT_EQ(img.GetWidth(), 6u);
  EXPECT_TRUE(src.HasPixels());  // saving only borrowed the pixels
  remove(Narrow(png).c_str());
}

TEST(Dispatch, ErrorTextsOfFailedLoads) {
  std::wstring txt = TempPath("rsimage_dispatch.txt");
  WriteText(txt, "this is not a picture at all, just some text\n");
  CRasterImage img(2, 2, 8, RASTER_TYPE_BMP);
  BYTE* before = img.GetPixelBlock();
  EXPECT_FALSE(img.Load(txt.c_str(), RASTER_TYPE_UNKNOWN));
  EXPECT_STREQ(img.GetErrorText(), "Decode: Unknown or wrong format");
  EXPECT_EQ(img.GetPixelBlock(), before);  // a failed load keeps the old pixels
  EXPECT_FALSE(img.Load(txt.c_str(), RASTER_TYPE_JPEG));
  EXPECT_STRNE(img.GetErrorText(), "Decode: Unknown or wrong format");
  EXPECT_STRNE(img.GetErrorText(), "");
  img.SetErrorText("unchanged");
  EXPECT_FALSE(img.Load(TempPath("rsimage_no_such_file.bmp").c_str(), RASTER_TYPE_UNKNOWN));
  EXPECT_STREQ(img.GetErrorText(), "unchanged");
  CRasterMemoryStream none;
  EXPECT_FALSE(img.Decode(nullptr, 0));
  EXPECT_STREQ(img.GetErrorText(), "null file handler");
  BYTE one = 0;
  CRasterMemoryStream s(&one, 1);
  EXPECT_FALSE(img.Decode(&s, 9));
  EXPECT_STREQ(img.GetErrorText(), "Decode: Unknown or wrong format");
  remove(Narrow(txt).c_str());
}

TEST(Dispatch, SaveWithUnknownFormatLeavesAnEmptyFile) {
  CRasterImage src(3, 3, 8, RASTER_TYPE_BMP);
  std::wstring out = TempPath("rsimage_dispatch_unknown.bin");
  EXPECT_FALSE(src.Save(out.c_str(), 0));
  EXPECT_STREQ(src.GetErrorText(), "Encode: Unknown format");
  EXPECT_EQ(FileSize(out), 0);
  remove(Narrow(out).c_str());
}

TEST(Dispatch, DecodeStartsEveryCodecAtTheStreamOffset) {
  CRasterImage src(5, 5, 8, RASTER_TYPE_BMP);
  src.MakeGrayPalette();
  src.FillRows(9);
  for (int format : {RASTER_TYPE_BMP, RASTER_TYPE_PNG, RASTER_TYPE_GIF}) {
    CRasterMemoryStream enc;
    enc.Open();
    ASSERT_TRUE(src.Encode(&enc, format)) << format << " " << src.GetErrorText();
    std::vector<BYTE> data(7, 0xEE);  // junk before the picture
    BYTE* p = enc.GetBuffer();
    data.insert(data.end(), p, p + enc.GetSize());
    CRasterMemoryStream in(data.data(), (int32_t)data.size());
    ASSERT_TRUE(in.Seek(7, SEEK_SET));
    CRasterImage img;
    ASSERT_TRUE(img.Decode(&in, RASTER_TYPE_UNKNOWN)) << format << " " << img.GetErrorText();
    EXPECT_EQ(img.GetFormat(), format);
    EXPECT_EQ(img.GetColorAt(2, 2, false).rgbRed, 9);
  }
}
