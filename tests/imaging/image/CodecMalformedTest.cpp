// Damaged files of every codec fail cleanly: no crash, no hang, a message.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/imaging/image/CodecTestUtil.h"
#include "imaging/image/GifCodec.h"
#include "imaging/image/IcoCodec.h"
#include "imaging/image/JpegCodec.h"
#include "imaging/image/PngCodec.h"

namespace {

struct Sample {
  const char* name;
  int format;
  std::vector<BYTE> bytes;
};

std::vector<Sample> MakeSamples() {
  std::vector<Sample> samples;
  auto add = [&](const char* name, int format, LONG w, LONG h, int bpp, DWORD flags, bool alpha) {
    CRasterImage img(w, h, bpp, format);
    FillPattern(img, 6);
    if (alpha) {
      img.CreateAlphaMask();
      img.SetAlphaAt(1, 1, 0);
    }
    img.SetCodecFlags(flags, format);
    samples.push_back({name, format, EncodeToBytes(img, format)});
    EXPECT_FALSE(samples.back().bytes.empty()) << name << ": " << img.GetErrorText();
  };
  add("gif8", RASTER_TYPE_GIF, 40, 30, 8, 0, false);
  add("gif-tiles", RASTER_TYPE_GIF, 40, 30, 24, 0, false);
  add("gif-rle", RASTER_TYPE_GIF, 40, 30, 4, RASTER_GIF_RUN_LENGTH, false);
  add("jpeg", RASTER_TYPE_JPEG, 40, 30, 24, 0, false);
  add("jpeg-progressive", RASTER_TYPE_JPEG, 40, 30, 24, RASTER_JPEG_PROGRESSION, false);
  add("png-rgba", RASTER_TYPE_PNG, 40, 30, 24, 0, true);
  add("png-pal-interlaced", RASTER_TYPE_PNG, 40, 30, 8, RASTER_PNG_INTERLACED, false);
  add("ico-4", RASTER_TYPE_ICO, 32, 32, 4, 0, false);
  add("ico-32", RASTER_TYPE_ICO, 32, 32, 24, 0, true);
  add("ico-png", RASTER_TYPE_ICO, 260, 4, 8, 0, false);
  return samples;
}

// Decodes with the given format and automatically; a failure leaves a message.
void ExpectCleanResult(const std::vector<BYTE>& bytes, int format, const std::string& what) {
  for (int f : {format, 0}) {
    CRasterImage img;
    bool ok = DecodeBytes(bytes, img, f);
    if (ok) {
      EXPECT_TRUE(img.HasPixels()) << what;
      EXPECT_GT(img.GetWidth(), 0u) << what;
    } else {
      EXPECT_STRNE(img.GetErrorText(), "") << what << " format " << f;
      EXPECT_FALSE(img.HasPixels()) << what;
    }
  }
}

TEST(CodecMalformed, TruncatedFilesFailCleanly) {
  for (const Sample& s : MakeSamples()) {
    const size_t n = s.bytes.size();
    for (size_t cut = 0; cut < n; cut += (cut < 64 ? 1 : n / 40 + 1))
      ExpectCleanResult(Truncated(s.bytes, cut), s.format, std::string(s.name) + " cut at " + std::to_string(cut));
  }
}

TEST(CodecMalformed, DamagedBytesFailCleanlyOrDecode) {
  unsigned state = 2024;
  for (const Sample& s : MakeSamples()) {
    for (int round = 0; round < 150; round++) {
      std::vector<BYTE> bytes = s.bytes;
      int flips = 1 + round % 4;
      for (int k = 0; k < flips; k++) {
        state = state * 1103515245u + 12345u;
        size_t at = (state >> 8) % (round < 75 ? std::min<size_t>(bytes.size(), 80) : bytes.size());
        state = state * 1103515245u + 12345u;
        bytes[at] = (BYTE)(state >> 16);
      }
      ExpectCleanResult(bytes, s.format, std::string(s.name) + " round " + std::to_string(round));
    }
  }
}

TEST(CodecMalformed, HugeDimensionsAreRefused) {
  for (const Sample& s : MakeSamples()) {
    std::vector<BYTE> bytes = s.bytes;
    if (s.format == RASTER_TYPE_GIF) {
      bytes[6] = bytes[7] = bytes[8] = bytes[9] = 0xFF;  // screen 65535 x 65535
      // The first image is moved to fill it.
      for (size_t i = 13; i + 9 < bytes.size(); i++)
        if (bytes[i] == ',' && (bytes[i - 1] == 0 || i == 13 + 3u * 256 || bytes[i - 1] == ';')) {
          bytes[i + 5] = bytes[i + 6] = bytes[i + 7] = bytes[i + 8] = 0xFF;
          break;
        }
    } else if (s.format == RASTER_TYPE_ICO) {
      continue;  // sizes are bytes there
    } else if (s.format == RASTER_TYPE_JPEG) {
      for (size_t i = 2; i + 8 < bytes.size(); i++)
        if (bytes[i] == 0xFF && (bytes[i + 1] == 0xC0 || bytes[i + 1] == 0xC2)) {
          bytes[i + 5] = bytes[i + 6] = bytes[i + 7] = bytes[i + 8] = 0xFF;
          break;
        }
    } else {
      bytes[16] = bytes[20] = 0x7F;  // 2 G x 2 G; the CRC no longer matches either
    }
    CRasterImage img;
    EXPECT_FALSE(DecodeBytes(bytes, img, s.format)) << s.name;
    EXPECT_STRNE(img.GetErrorText(), "") << s.name;
  }
}

#ifdef RS_CODEC_DATA
// libpng's collection of files that once crashed decoders.
TEST(CodecMalformed, LibpngCrashersFailCleanly) {
  const std::string dir = std::string(RS_CODEC_DATA) + "/testpngs/crashers/";
  const char* names[] = {"bad_iCCP.png",        "badadler.png",
                         "badcrc.png",          "empty_ancillary_chunks.png",
                         "huge_IDAT.png",       "huge_bKGD_chunk.png",
                         "huge_iCCP_chunk.png", "huge_tEXt_chunk.png",
                         "huge_zTXt_chunk.png", "huge_juNK_unsafe_to_copy.png"};
  for (const char* n : names) {
    FILE* f = fopen((dir + n).c_str(), "rb");
    ASSERT_NE(f, nullptr) << dir << n;
    std::vector<BYTE> bytes;
    int c;
    while ((c = fgetc(f)) != EOF) bytes.push_back((BYTE)c);
    fclose(f);
    ExpectCleanResult(bytes, RASTER_TYPE_PNG, n);
  }
}
#endif

}  // namespace
