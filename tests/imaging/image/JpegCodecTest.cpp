#include <gtest/gtest.h>

#include "tests/imaging/image/CodecTestUtil.h"
#include "imaging/image/JpegCodec.h"

namespace {

// Smooth content keeps JPEG's error small; 12 levels is generous for quality 95.
const int kJpegTolerance = 12;

void FillSmooth(CRasterImage& img) {
  const LONG w = (LONG)img.GetWidth(), h = (LONG)img.GetHeight();
  for (LONG y = 0; y < h; y++)
    for (LONG x = 0; x < w; x++) {
      RGBQUAD c;
      c.rgbRed = (BYTE)(x * 255 / (w - 1));
      c.rgbGreen = (BYTE)(y * 255 / (h - 1));
      c.rgbBlue = (BYTE)(128 + (x - y) / 4);
      c.rgbReserved = 0;
      img.SetColorAt(x, y, c);
    }
}

TEST(JpegCodec, RoundTripsColourAndGrayWithinTolerance) {
  CRasterImage rgb(64, 48, 24, RASTER_TYPE_JPEG);
  FillSmooth(rgb);
  rgb.SetJpegQuality(95);
  rgb.SetCodecFlags(RASTER_JPEG_SAMPLING_1X1, RASTER_TYPE_JPEG);
  rgb.SetHorizontalDpi(300);
  rgb.SetVerticalDpi(72);
  std::vector<BYTE> bytes = EncodeToBytes(rgb, RASTER_TYPE_JPEG);
  ASSERT_FALSE(bytes.empty()) << rgb.GetErrorText();
  CRasterImage back;
  ASSERT_TRUE(DecodeBytes(bytes, back, RASTER_TYPE_JPEG)) << back.GetErrorText();
  EXPECT_EQ(back.GetBpp(), 24);
  EXPECT_TRUE(SamePicture(rgb, back, kJpegTolerance));
  EXPECT_EQ(back.GetHorizontalDpi(), 300);
  EXPECT_EQ(back.GetVerticalDpi(), 72);

  CRasterImage gray(33, 17, 8, RASTER_TYPE_JPEG);
  gray.MakeGrayPalette();
  for (LONG y = 0; y < 17; y++)
    for (LONG x = 0; x < 33; x++) gray.SetIndexAt(x, y, (BYTE)(x * 7 + y));
  gray.SetJpegQuality(95);
  bytes = EncodeToBytes(gray, RASTER_TYPE_JPEG);
  ASSERT_FALSE(bytes.empty()) << gray.GetErrorText();
  CRasterImage gback;
  ASSERT_TRUE(DecodeBytes(bytes, gback, RASTER_TYPE_JPEG));
  EXPECT_EQ(gback.GetBpp(), 8);
  EXPECT_TRUE(gback.IsGrayPalette());
  EXPECT_TRUE(SamePicture(gray, gback, kJpegTolerance));

  // Progressive, arithmetic and optimised coding read back too.
  for (DWORD flags : {RASTER_JPEG_PROGRESSION, RASTER_JPEG_ARITH_CODE, RASTER_JPEG_OPTIMIZE_CODING}) {
    rgb.SetCodecFlags(flags | RASTER_JPEG_SAMPLING_1X1, RASTER_TYPE_JPEG);
    bytes = EncodeToBytes(rgb, RASTER_TYPE_JPEG);
    ASSERT_FALSE(bytes.empty()) << rgb.GetErrorText();
    CRasterImage again;
    ASSERT_TRUE(DecodeBytes(bytes, again, RASTER_TYPE_JPEG)) << again.GetErrorText();
    EXPECT_TRUE(SamePicture(rgb, again, kJpegTolerance)) << "flags " << flags;
  }
}

TEST(JpegCodec, OneBitIdentityGrayIsWidenedNotOverread) {
  CRasterImage img(13, 9, 1, RASTER_TYPE_JPEG);
  img.SetPaletteEntry(0, 0, 0, 0);
  img.SetPaletteEntry(1, 1, 1, 1);
  for (LONG y = 0; y < 9; y++)
    for (LONG x = 0; x < 13; x++) img.SetIndexAt(x, y, (BYTE)((x + y) & 1));
  std::vector<BYTE> bytes = EncodeToBytes(img, RASTER_TYPE_JPEG);
  ASSERT_FALSE(bytes.empty()) << img.GetErrorText();
  CRasterImage back;
  ASSERT_TRUE(DecodeBytes(bytes, back, RASTER_TYPE_JPEG));
  EXPECT_EQ(back.GetWidth(), 13u);

  CRasterImage colour(4, 4, 8, RASTER_TYPE_JPEG);
  FillPattern(colour);
  CRasterMemoryStream out;
  out.Open();
  EXPECT_FALSE(colour.Encode(&out, RASTER_TYPE_JPEG));
  EXPECT_STREQ(colour.GetErrorText(), "JPEG can save only RGB or GreyScale images");
}

// An output of a whole number of 4096-byte buffers leaves nothing for the
// final write; that is no error.
TEST(JpegCodec, OutputOfWholeBuffersEncodes) {
  // Noise added pixel by pixel makes the output grow a few bytes at a time,
  // so it passes through sizes of k x 4096 bytes.
  CRasterImage img(64, 64, 24, RASTER_TYPE_JPEG);
  FillSmooth(img);
  img.SetJpegQuality(100);
  img.SetCodecFlags(RASTER_JPEG_SAMPLING_1X1, RASTER_TYPE_JPEG);
  unsigned state = 12345;
  int hits = 0;
  for (int step = 0; step < 4096 && hits < 2; step++) {
    state = state * 1103515245u + 12345u;
    RGBQUAD c = {(BYTE)(state >> 8), (BYTE)(state >> 16), (BYTE)(state >> 24), 0};
    img.SetColorAt((LONG)(step % 64), (LONG)((step / 64) % 64), c);
    CRasterMemoryStream out;
    out.Open();
    ASSERT_TRUE(img.Encode(&out, RASTER_TYPE_JPEG)) << "size " << out.GetSize() << ": " << img.GetErrorText();
    if (out.GetSize() % 4096 == 0) {
      hits++;
      CRasterImage back;
      std::vector<BYTE> bytes(out.GetBuffer(), out.GetBuffer() + out.GetSize());
      EXPECT_TRUE(DecodeBytes(bytes, back, RASTER_TYPE_JPEG)) << back.GetErrorText();
    }
  }
  EXPECT_GT(hits, 0) << "no output of a whole number of buffers was met";
}

TEST(JpegCodec, WriteFailureIsReported) {
  CRasterImage img(200, 200, 24, RASTER_TYPE_JPEG);
  FillPattern(img);
  CFailingStream failing(5000);
  EXPECT_FALSE(img.Encode(&failing, RASTER_TYPE_JPEG));
  EXPECT_STREQ(img.GetErrorText(), "Output file write error --- out of disk space?");
}

// The long jump out of libjpeg's error exit must come back cleanly in every build.
TEST(JpegCodec, CorruptEmptyAndTruncatedInput) {
  CRasterImage img(64, 64, 24, RASTER_TYPE_JPEG);
  FillSmooth(img);
  std::vector<BYTE> bytes = EncodeToBytes(img, RASTER_TYPE_JPEG);
  ASSERT_GT(bytes.size(), 600u);

  CRasterImage empty;
  EXPECT_FALSE(DecodeBytes(std::vector<BYTE>(), empty, RASTER_TYPE_JPEG));
  EXPECT_STREQ(empty.GetErrorText(), "Empty input file");

  CRasterImage text;
  std::vector<BYTE> hello = {'h', 'e', 'l', 'l', 'o'};
  EXPECT_FALSE(DecodeBytes(hello, text, RASTER_TYPE_JPEG));
  EXPECT_NE(std::string(text.GetErrorText()).find("Not a JPEG file"), std::string::npos) << text.GetErrorText();

  // Cut after the headers: a warning, missing rows, success.
  size_t sos = 0;
  for (size_t i = 2; i + 1 < bytes.size() && !sos; i++)
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA) sos = i;
  ASSERT_GT(sos, 0u);
  CRasterImage cut;
  EXPECT_TRUE(DecodeBytes(Truncated(bytes, sos + 40), cut, RASTER_TYPE_JPEG)) << cut.GetErrorText();
  EXPECT_EQ(cut.GetWidth(), 64u);

  // Cut inside the headers: a fatal error.
  CRasterImage header;
  EXPECT_FALSE(DecodeBytes(Truncated(bytes, 20), header, RASTER_TYPE_JPEG));
  EXPECT_STRNE(header.GetErrorText(), "");

  // A damaged marker segment.
  std::vector<BYTE> bad = bytes;
  for (size_t i = 2; i + 1 < bad.size(); i++)
    if (bad[i] == 0xFF && bad[i + 1] == 0xC0) {  // start of frame
      bad[i + 9] = 7;                            // seven components
      break;
    }
  CRasterImage broken;
  EXPECT_FALSE(DecodeBytes(bad, broken, RASTER_TYPE_JPEG));
  EXPECT_STRNE(broken.GetErrorText(), "");

  CRasterImage fine;
  EXPECT_TRUE(DecodeBytes(bytes, fine, RASTER_TYPE_JPEG));
  EXPECT_TRUE(SamePicture(img, fine, 40));
}

TEST(JpegCodec, SizeIsCheckedBeforeDecompressionStarts) {
  CRasterImage img(16, 16, 24, RASTER_TYPE_JPEG);
  FillSmooth(img);
  img.SetCodecFlags(RASTER_JPEG_PROGRESSION, RASTER_TYPE_JPEG);
  std::vector<BYTE> bytes = EncodeToBytes(img, RASTER_TYPE_JPEG);
  // Claim 60000 x 60000 in the frame header.
  bool patched = false;
  for (size_t i = 2; i + 8 < bytes.size(); i++)
    if (bytes[i] == 0xFF && (bytes[i + 1] == 0xC0 || bytes[i + 1] == 0xC2)) {
      bytes[i + 5] = 0xEA;
      bytes[i + 6] = 0x60;
      bytes[i + 7] = 0xEA;
      bytes[i + 8] = 0x60;
      patched = true;
      break;
    }
  ASSERT_TRUE(patched);
  CRasterImage back;
  EXPECT_FALSE(DecodeBytes(bytes, back, RASTER_TYPE_JPEG));
  EXPECT_STREQ(back.GetErrorText(), "RASTER_MAX_MEMORY exceeded");

  CRasterImage header;
  header.SetEscape(-1);
  EXPECT_TRUE(DecodeBytes(bytes, header, RASTER_TYPE_JPEG));
  EXPECT_EQ(header.GetWidth(), 60000u);
}

TEST(JpegCodec, DensityUnitsAndScaling) {
  CRasterImage img(32, 32, 24, RASTER_TYPE_JPEG);
  FillSmooth(img);
  std::vector<BYTE> bytes = EncodeToBytes(img, RASTER_TYPE_JPEG);
  ASSERT_GT(bytes.size(), 20u);
  ASSERT_EQ(bytes[6], 'J');  // JFIF segment right after SOI
  // unit 2 (per cm), 118 x 118 -> 300 DPI
  bytes[13] = 2;
  bytes[14] = 0;
  bytes[15] = 118;
  bytes[16] = 0;
  bytes[17] = 118;
  CRasterImage cm;
  ASSERT_TRUE(DecodeBytes(bytes, cm, RASTER_TYPE_JPEG));
  EXPECT_EQ(cm.GetHorizontalDpi(), 300);
  EXPECT_EQ(cm.GetVerticalDpi(), 300);
  // unit 0, aspect 1:2
  bytes[13] = 0;
  bytes[15] = 1;
  bytes[17] = 2;
  CRasterImage aspect;
  ASSERT_TRUE(DecodeBytes(bytes, aspect, RASTER_TYPE_JPEG));
  EXPECT_EQ(aspect.GetHorizontalDpi(), 96);
  EXPECT_EQ(aspect.GetVerticalDpi(), 192);

  CRasterImage half;
  half.SetJpegScaleDenominator(2);
  ASSERT_TRUE(DecodeBytes(bytes, half, RASTER_TYPE_JPEG));
  EXPECT_EQ(half.GetWidth(), 16u);

  CRasterImage quant;
  quant.SetCodecFlags(RASTER_JPEG_QUANTIZE_COLORS, RASTER_TYPE_JPEG);
  ASSERT_TRUE(DecodeBytes(bytes, quant, RASTER_TYPE_JPEG));
  EXPECT_EQ(quant.GetBpp(), 8);
  EXPECT_LE(quant.GetImportantColors(), 90u);
  EXPECT_TRUE(SamePicture(img, quant, 60));
}

}  // namespace
