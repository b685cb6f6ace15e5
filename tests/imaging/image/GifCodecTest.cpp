#include <gtest/gtest.h>

#include "tests/imaging/image/CodecTestUtil.h"
#include "imaging/image/GifCodec.h"

namespace {

// Minimal GIF builder for damaged and unusual files.
struct GifBuilder {
  std::vector<BYTE> b;
  explicit GifBuilder(WORD w, WORD h, int globalColors = 2) {
    const char* sig = "GIF89a";
    b.assign(sig, sig + 6);
    Word(w);
    Word(h);
    if (globalColors) {
      int exp = 0;
      while ((2 << exp) < globalColors) exp++;
      b.push_back((BYTE)(0x80 | exp));
    } else {
      b.push_back(0);
    }
    b.push_back(0);
    b.push_back(0);
    for (int i = 0; i < globalColors; i++) {
      b.push_back((BYTE)(i * 80));
      b.push_back((BYTE)(255 - i * 80));
      b.push_back((BYTE)(i * 20));
    }
  }
  void Word(WORD v) {
    b.push_back((BYTE)v);
    b.push_back((BYTE)(v >> 8));
  }
  void Descriptor(WORD l, WORD t, WORD w, WORD h, BYTE flags) {
    b.push_back(',');
    Word(l);
    Word(t);
    Word(w);
    Word(h);
    b.push_back(flags);
  }
  // Pixels as 4-bit codes with code size 2 (clear 4, end 5): a clear code
  // before every pixel keeps the code width at 3 bits.
  void Pixels(const std::vector<int>& pixels, bool end = true, bool terminate = true) {
    b.push_back(2);
    std::vector<int> codes;
    for (int p : pixels) {
      codes.push_back(4);
      codes.push_back(p);
    }
    if (end) codes.push_back(5);
    AppendGifCodes(b, codes);
    if (terminate) b.push_back(0);
  }
  void Trailer() { b.push_back(';'); }
};

TEST(GifCodec, RoundTripsEveryDepthWithEveryCompressor) {
  for (int bpp : {1, 4, 8}) {
    for (DWORD flags : {RASTER_GIF_LZW, RASTER_GIF_UNCOMPRESSED, RASTER_GIF_RUN_LENGTH}) {
      SCOPED_TRACE(::testing::Message() << "bpp " << bpp << " compressor " << flags);
      CRasterImage img(256, 256, bpp, RASTER_TYPE_GIF);
      FillPattern(img, 5);
      // Long runs as well as noise, so every branch of the run-length coder runs.
      for (LONG y = 0; y < 100; y++)
        for (LONG x = 0; x < 256; x++) img.SetIndexAt(x, y, (BYTE)((y / 7) % img.GetColorCount()));
      unsigned state = 7;
      for (LONG y = 200; y < 256; y++)
        for (LONG x = 0; x < 256; x++) {
          state = state * 1103515245u + 12345u;
          img.SetIndexAt(x, y, (BYTE)((state >> 16) % img.GetColorCount()));
        }
      img.SetCodecFlags(flags, RASTER_TYPE_GIF);
      std::vector<BYTE> bytes = EncodeToBytes(img, RASTER_TYPE_GIF);
      ASSERT_FALSE(bytes.empty()) << img.GetErrorText();
      CRasterImage back;
      ASSERT_TRUE(DecodeBytes(bytes, back, RASTER_TYPE_GIF)) << back.GetErrorText();
      EXPECT_EQ(back.GetBpp(), bpp);
      EXPECT_TRUE(SamePicture(img, back));
    }
  }
}

TEST(GifCodec, TrueColourImagesGoOutAsTilesAndComeBack) {
  // 40 x 20 needs tiles in both directions; 10 x 40 and 40 x 10 fit one tile in one direction.
  for (auto size : {std::make_pair(40, 20), std::make_pair(10, 40), std::make_pair(40, 10)}) {
    SCOPED_TRACE(::testing::Message() << size.first << "x" << size.second);
    CRasterImage img(size.first, size.second, 24, RASTER_TYPE_GIF);
    FillPattern(img, 9);
    std::vector<BYTE> bytes = EncodeToBytes(img, RASTER_TYPE_GIF);
    ASSERT_FALSE(bytes.empty()) << img.GetErrorText();
    EXPECT_EQ(bytes[10], 0x11);  // no global table
    CRasterImage back;
    ASSERT_TRUE(DecodeBytes(bytes, back, RASTER_TYPE_GIF)) << back.GetErrorText();
    EXPECT_EQ(back.GetBpp(), 24);
    EXPECT_TRUE(SamePicture(img, back));
  }
}

TEST(GifCodec, AnimationsAreWrittenAndComposed) {
  CRasterImage* frames[3];
  for (int i = 0; i < 3; i++) {
    frames[i] = new CRasterImage(20, 10, 8, RASTER_TYPE_GIF);
    FillPattern(*frames[i], 1);
    for (LONG x = 0; x < 20; x++) frames[i]->SetIndexAt(x, 5, (BYTE)(100 + i));
    frames[i]->SetFrameDelay(10 * (i + 1));
  }
  CRasterImageGIF writer;
  writer.Create(20, 10, 8, RASTER_TYPE_GIF);
  writer.SetLoopCount(0);
  CRasterMemoryStream out;
  out.Open();
  ASSERT_TRUE(writer.EncodeFrames(&out, frames, 3, true, false)) << writer.GetErrorText();
  std::vector<BYTE> bytes(out.GetBuffer(), out.GetBuffer() + out.GetSize());

  CRasterImage back;
  back.SetAllFrames(true);
  ASSERT_TRUE(DecodeBytes(bytes, back, RASTER_TYPE_GIF)) << back.GetErrorText();
  EXPECT_EQ(back.GetFrameCount(), 3);
  ASSERT_EQ(back.GetFrameListLength(), 3);
  for (int i = 0; i < 3; i++) {
    ASSERT_NE(back.GetFrame(i), nullptr);
    EXPECT_TRUE(SamePicture(*frames[i], *back.GetFrame(i))) << "frame " << i;
  }
  CRasterImage first;
  ASSERT_TRUE(DecodeBytes(bytes, first, RASTER_TYPE_GIF));
  EXPECT_EQ(first.GetFrameCount(), 3);
  EXPECT_TRUE(SamePicture(*frames[0], first));

  // A true-colour frame is refused with its message.
  CRasterImage* mixed[2] = {frames[0], new CRasterImage(20, 10, 24, RASTER_TYPE_GIF)};
  CRasterMemoryStream out2;
  out2.Open();
  EXPECT_FALSE(writer.EncodeFrames(&out2, mixed, 2, false, false));
  EXPECT_NE(std::string(writer.GetErrorText()).find("true color frame"), std::string::npos);
  delete mixed[1];
  for (CRasterImage* f : frames) delete f;
}

TEST(GifCodec, WriteFailuresAreReported) {
  CRasterImage img(64, 64, 8, RASTER_TYPE_GIF);
  FillPattern(img);
  for (int32_t limit : {3, 100, 1000}) {
    CFailingStream failing(limit);
    EXPECT_FALSE(img.Encode(&failing, RASTER_TYPE_GIF)) << "limit " << limit;
    EXPECT_STREQ(img.GetErrorText(), "Write Error in GIF file");
  }
  CRasterImage tc(40, 40, 24, RASTER_TYPE_GIF);
  FillPattern(tc);
  CFailingStream failing(500);
  EXPECT_FALSE(tc.Encode(&failing, RASTER_TYPE_GIF));
}

TEST(GifCodec, DamagedStructuresEndCleanly) {
  {  // interlaced frame of zero rows, then a normal frame
    GifBuilder g(4, 2);
    g.Descriptor(0, 0, 4, 0, 0x40);
    g.Pixels({1, 0, 1, 0});
    g.Descriptor(0, 0, 4, 2, 0x40);
    g.Pixels({1, 0, 1, 0, 0, 1, 0, 1});
    g.Trailer();
    CRasterImage img;
    DecodeBytes(g.b, img, RASTER_TYPE_GIF);  // must return, either way
    EXPECT_EQ(img.GetFrameCount(), 2);
  }
  {  // extension whose sub-block chain never ends
    GifBuilder g(2, 2);
    g.b.push_back('!');
    g.b.push_back(0x01);
    for (int i = 0; i < 10; i++) {
      g.b.push_back(200);
      g.b.insert(g.b.end(), 120, 'x');
    }
    CRasterImage img;
    EXPECT_FALSE(DecodeBytes(g.b, img, RASTER_TYPE_GIF));
  }
  {  // image data whose sub-blocks never end
    GifBuilder g(2, 2);
    g.Descriptor(0, 0, 2, 2, 0);
    g.Pixels({1, 0, 0, 1}, false, false);
    g.b.push_back(255);
    g.b.insert(g.b.end(), 255, 0x7F);
    CRasterImage img;
    ASSERT_TRUE(DecodeBytes(g.b, img, RASTER_TYPE_GIF)) << img.GetErrorText();
    EXPECT_EQ(img.GetWidth(), 2u);
  }
  {  // local palette announced with 256 entries, file ends inside it
    GifBuilder g(2, 2);
    g.Descriptor(0, 0, 2, 2, 0x87);
    g.b.insert(g.b.end(), 30, 0x11);
    CRasterImage img;
    DecodeBytes(g.b, img, RASTER_TYPE_GIF);
    SUCCEED();
  }
  {  // bad LZW codes in the first frame; the second frame is still found
    GifBuilder g(2, 1);
    g.Descriptor(0, 0, 2, 1, 0);
    g.b.push_back(2);
    g.b.push_back(2);
    g.b.push_back(0xFC);  // clear, then code 7: far beyond the table
    g.b.push_back(0xFF);
    g.b.push_back(0);
    g.Descriptor(0, 0, 2, 1, 0);
    g.Pixels({1, 1});
    g.Trailer();
    CRasterImage img;
    img.SetAllFrames(true);
    ASSERT_TRUE(DecodeBytes(g.b, img, RASTER_TYPE_GIF));
    EXPECT_EQ(img.GetFrameCount(), 2);
  }
  {  // code sizes outside 2..9 leave the frame blank and the decode goes on
    for (BYTE size : {1, 10}) {
      GifBuilder g(2, 1);
      g.Descriptor(0, 0, 2, 1, 0);
      g.b.push_back(size);
      g.b.push_back(1);
      g.b.push_back(0xFF);
      g.b.push_back(0);
      g.Trailer();
      CRasterImage img;
      ASSERT_TRUE(DecodeBytes(g.b, img, RASTER_TYPE_GIF)) << (int)size;
      EXPECT_EQ(img.GetIndexAt(0, 0), 0);
      EXPECT_EQ(img.GetIndexAt(1, 0), 0);
    }
  }
  {  // an image larger than the screen is not counted; nothing else: failure
    GifBuilder g(2, 2);
    g.Descriptor(1, 1, 2, 2, 0);
    g.Pixels({1, 1, 1, 1});
    g.Trailer();
    CRasterImage img;
    EXPECT_FALSE(DecodeBytes(g.b, img, RASTER_TYPE_GIF));
    EXPECT_EQ(img.GetFrameCount(), 0);
  }
}

TEST(GifCodec, InterlacedRowsAndScreenSize) {
  // 10 rows, pixel value = 1 only in the row sent first of each pass.
  GifBuilder g(0, 0);
  g.Descriptor(0, 0, 1, 10, 0x40);
  // Sending order 0, 8, 4, 2, 6, 1, 3, 5, 7, 9; give row r the value r & 1.
  const int order[] = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
  std::vector<int> px;
  for (int r : order) px.push_back(r & 1);
  g.Pixels(px);
  g.Trailer();
  CRasterImage img;
  ASSERT_TRUE(DecodeBytes(g.b, img, RASTER_TYPE_GIF)) << img.GetErrorText();
  ASSERT_EQ(img.GetWidth(), 1u);  // screen 0 x 0 takes the image's size
  ASSERT_EQ(img.GetHeight(), 10u);
  CRasterImage header;
  header.SetEscape(-1);
  ASSERT_TRUE(DecodeBytes(g.b, header, RASTER_TYPE_GIF));
  EXPECT_EQ(header.GetWidth(), 1u);
  EXPECT_EQ(header.GetHeight(), 10u);
  EXPECT_FALSE(header.HasPixels());
  for (int r = 0; r < 10; r++) EXPECT_EQ(img.GetIndexAt(0, 9 - r), r & 1) << "row " << r;
}

TEST(GifCodec, DisposalToTheBackgroundClearsTheNextCanvas) {
  // Two frames with transparent index 0: a full one disposed to the
  // background, then one pixel; the second picture shows only that pixel.
  GifBuilder g(4, 1);
  auto control = [&](int disposal) { g.b.insert(g.b.end(), {'!', 0xF9, 4, (BYTE)(disposal << 2 | 1), 10, 0, 0, 0}); };
  control(2);
  g.Descriptor(0, 0, 4, 1, 0);
  g.Pixels({1, 1, 1, 1});
  control(1);
  g.Descriptor(0, 0, 1, 1, 0);
  g.Pixels({1});
  g.Trailer();
  CRasterImage img;
  img.SetAllFrames(true);
  ASSERT_TRUE(DecodeBytes(g.b, img, RASTER_TYPE_GIF)) << img.GetErrorText();
  ASSERT_EQ(img.GetFrameListLength(), 2);
  for (LONG x = 0; x < 4; x++) {
    EXPECT_EQ(1, img.GetFrame(0)->GetIndexAt(x, 0)) << "first picture, pixel " << x;
    EXPECT_EQ(x == 0 ? 1 : 0, img.GetFrame(1)->GetIndexAt(x, 0)) << "second picture, pixel " << x;
  }
}

}  // namespace
