// Files made by ImageMagick, icoutils and the libraries' own test sets, judged
// by ImageMagick's decoder; and our files read back by ImageMagick.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/imaging/image/CodecTestUtil.h"
#include "imaging/image/GifCodec.h"
#include "imaging/image/IcoCodec.h"
#include "imaging/image/JpegCodec.h"
#include "imaging/image/PngCodec.h"

namespace {

std::string DataDir() { return RS_CODEC_DATA; }
std::string WorkDir() { return std::string(RS_CODEC_DATA) + "/work"; }

bool RunCommand(const std::string& cmd, std::string* out = nullptr) {
  FILE* p = popen((cmd + " 2>/dev/null").c_str(), "r");
  if (!p) return false;
  std::string text;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), p)) > 0) text.append(buf, n);
  int rc = pclose(p);
  if (out) *out = text;
  return rc == 0;
}

std::vector<std::string> ListFiles(const std::string& dir, const std::string& suffix) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string n = e->d_name;
      if (n.size() > suffix.size() && n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0)
        names.push_back(dir + "/" + n);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

struct Rgba {
  int w = 0, h = 0;
  std::vector<BYTE> px;  // top row first
};

// ImageMagick's decode of frame `frame` (GIF frames coalesced onto the screen).
bool MagickDecode(const std::string& file, Rgba& out, int frame = 0, bool coalesce = false) {
  std::string dims;
  std::string sel = coalesce ? "'" + file + "'" : "'" + file + "[" + std::to_string(frame) + "]'";
  std::string fmt = coalesce ? "%W %H\\n" : "%w %h\\n";
  if (!RunCommand("identify -format '" + fmt + "' " + sel, &dims)) return false;
  std::istringstream(dims) >> out.w >> out.h;
  std::string raw;
  // Samples as stored: a gAMA chunk of 1.0 would otherwise make ImageMagick convert linear to sRGB.
  bool png = file.size() > 4 && file.compare(file.size() - 4, 4, ".png") == 0;
  if (!RunCommand(
          "convert " + sel + (coalesce ? " -coalesce" : "") + (png ? " -set colorspace sRGB" : "") + " -depth 8 rgba:-",
          &raw))
    return false;
  size_t size = (size_t)out.w * out.h * 4;
  if (raw.size() < size * (size_t)(coalesce ? frame + 1 : 1)) return false;
  size_t off = coalesce ? size * (size_t)frame : 0;
  out.px.assign(raw.begin() + (long)off, raw.begin() + (long)(off + size));
  return true;
}

::testing::AssertionResult Agrees(const CRasterImage& img, const Rgba& ref, int tolerance) {
  if ((int)img.GetWidth() != ref.w || (int)img.GetHeight() != ref.h)
    return ::testing::AssertionFailure() << "size " << img.GetWidth() << "x" << img.GetHeight() << " vs " << ref.w
                                         << "x" << ref.h;
  int worst = 0;
  for (int y = 0; y < ref.h; y++)
    for (int x = 0; x < ref.w; x++) {
      RGBQUAD c = ShownColor(img, x, ref.h - 1 - y);
      const BYTE* r = &ref.px[((size_t)y * ref.w + x) * 4];
      int da = std::abs((int)c.rgbReserved - r[3]);
      if (da > tolerance)
        return ::testing::AssertionFailure()
               << "alpha at " << x << "," << y << ": " << (int)c.rgbReserved << " vs " << (int)r[3];
      if (c.rgbReserved == 0 && r[3] == 0) continue;
      int d = std::max({std::abs(c.rgbRed - r[0]), std::abs(c.rgbGreen - r[1]), std::abs(c.rgbBlue - r[2])});
      if (d > tolerance)
        return ::testing::AssertionFailure()
               << "colour at " << x << "," << y << " (" << (int)c.rgbRed << "," << (int)c.rgbGreen << ","
               << (int)c.rgbBlue << ") vs (" << (int)r[0] << "," << (int)r[1] << "," << (int)r[2] << ")";
      worst = std::max(worst, d);
    }
  return ::testing::AssertionSuccess() << "largest difference " << worst;
}

bool LoadFile(const std::string& path, CRasterImage& img, int format) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  bool ok = img.LoadFromFile(f, format);
  fclose(f);
  return ok;
}

bool SaveFile(const std::string& path, CRasterImage& img, int format) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = img.SaveToFile(f, format);
  fclose(f);
  return ok;
}

class CodecInterop : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    mkdir(WorkDir().c_str(), 0755);
    const std::string w = WorkDir();
    // Pictures made by ImageMagick and icoutils for this run.
    const char* commands[] = {
        "convert -size 61x47 gradient:red-blue -swirl 90 -depth 8 '%s/im-rgb.png'",
        "convert rose: -colors 200 -type Palette '%s/im-pal8.png'",
        "convert rose: -colors 12 PNG8:'%s/im-pal4.png'",
        "convert -size 33x21 pattern:checkerboard -monochrome '%s/im-mono.png'",
        "convert rose: -colorspace Gray -depth 16 '%s/im-gray16.png'",
        "convert rose: -alpha set -channel A -fx 'i/w' +channel PNG64:'%s/im-rgba16.png'",
        "convert rose: -alpha set -channel A -fx 'j/h' +channel PNG32:'%s/im-rgba8.png'",
        "convert rose: -interlace PNG '%s/im-interlaced.png'",
        "convert rose: -transparent '#5A3F2E' -fuzz 20%% '%s/im-trns.png'",
        "convert rose: '%s/im-rose.gif'",
        "convert rose: -interlace GIF '%s/im-interlaced.gif'",
        "convert -size 45x31 gradient:red-blue -colors 8 '%s/im-odd4.gif'",
        "convert -size 20x16 xc:white -fill red -draw 'rectangle 2,2 8,8' -transparent white '%s/im-trans.gif'",
        "convert -delay 10 -size 32x24 gradient:yellow-navy \\( -size 10x8 xc:red -repage +4+5 \\) \\( -size 6x6 "
        "xc:lime -repage +20+10 \\) '%s/im-anim.gif'",
        "convert rose: -quality 92 '%s/im-rose.jpg'",
        "convert rose: -colorspace Gray -quality 90 '%s/im-gray.jpg'",
        "convert rose: -interlace Plane -quality 85 '%s/im-progressive.jpg'",
        "convert rose: -sampling-factor 2x1 -quality 95 '%s/im-422.jpg'",
        "convert rose: -colorspace CMYK -quality 95 '%s/im-cmyk.jpg'",
        "convert rose: -resize 32x32! -colors 16 -type Palette '%s/ico-16c.png'",
        "convert rose: -resize 48x48! -alpha set -channel A -fx 'i<8?0:0.5+0.5*i/w' +channel PNG32:'%s/ico-48a.png'",
        "convert rose: -resize 256x256! PNG24:'%s/ico-256.png'",
        "icotool -c -o '%s/icotool.ico' '%s/ico-16c.png' '%s/ico-48a.png'",
        "icotool -c -o '%s/icotool-48.ico' '%s/ico-48a.png'",
        "icotool -c -r '%s/ico-256.png' -o '%s/icotool-png.ico'",
        "convert rose: -resize 32x32! '%s/im-rose.ico'",
    };
    for (const char* c : commands) {
      char cmd[1024];
      snprintf(cmd, sizeof(cmd), c, w.c_str(), w.c_str(), w.c_str());
      if (!RunCommand(cmd)) ADD_FAILURE() << "could not make a test file: " << cmd;
    }
  }
};

TEST_F(CodecInterop, PngSuitesDecodeAsImageMagickDoes) {
  std::vector<std::string> files = ListFiles(DataDir() + "/pngsuite", ".png");
  std::vector<std::string> more = ListFiles(DataDir() + "/pngsuite/interlaced", ".png");
  std::vector<std::string> tests = ListFiles(DataDir() + "/testpngs", ".png");
  files.insert(files.end(), more.begin(), more.end());
  files.insert(files.end(), tests.begin(), tests.end());
  ASSERT_GT(files.size(), 150u) << "libpng's test images are missing from " << DataDir();
  for (const std::string& f : files) {
    SCOPED_TRACE(f);
    CRasterImage img;
    ASSERT_TRUE(LoadFile(f, img, RASTER_TYPE_PNG)) << img.GetErrorText();
    Rgba ref;
    ASSERT_TRUE(MagickDecode(f, ref));
    // 16-bit samples: we keep the high byte, ImageMagick rounds.
    int tolerance = f.find("16") != std::string::npos ? 1 : 0;
    EXPECT_TRUE(Agrees(img, ref, tolerance));
  }
}

TEST_F(CodecInterop, ImageMagickPicturesDecodeAlike) {
  struct Case {
    const char* name;
    int format;
    int tolerance;
  } cases[] = {
      {"im-rgb.png", 4, 0},
      {"im-pal8.png", 4, 0},
      {"im-pal4.png", 4, 0},
      {"im-mono.png", 4, 0},
      {"im-gray16.png", 4, 1},
      {"im-rgba16.png", 4, 1},
      {"im-rgba8.png", 4, 0},
      {"im-interlaced.png", 4, 0},
      {"im-trns.png", 4, 0},
      {"im-rose.gif", 2, 0},
      {"im-interlaced.gif", 2, 0},
      {"im-odd4.gif", 2, 0},  // rows of an odd width, 4 bits a pixel
      {"im-trans.gif", 2, 0},
      // Same library underneath; differences come only from the IDCT and upsampling paths.
      {"im-rose.jpg", 3, 2},
      {"im-gray.jpg", 3, 2},
      {"im-progressive.jpg", 3, 2},
      {"im-422.jpg", 3, 2},
      {"im-cmyk.jpg", 3, 2},
      {"icotool.ico", 5, 0},
      {"icotool-48.ico", 5, 0},
      {"icotool-png.ico", 5, 0},
      {"im-rose.ico", 5, 0},
  };
  for (const Case& c : cases) {
    std::string f = WorkDir() + "/" + c.name;
    SCOPED_TRACE(f);
    CRasterImage img;
    ASSERT_TRUE(LoadFile(f, img, c.format)) << img.GetErrorText();
    Rgba ref;
    ASSERT_TRUE(MagickDecode(f, ref));
    EXPECT_TRUE(Agrees(img, ref, c.tolerance));
    // Automatic detection finds the same format.
    CRasterImage any;
    ASSERT_TRUE(LoadFile(f, any, 0));
    EXPECT_EQ(any.GetFormat(), c.format);
  }
}

TEST_F(CodecInterop, AnimatedGifFramesComposeAsImageMagickCoalesces) {
  std::string f = WorkDir() + "/im-anim.gif";
  CRasterImage img;
  img.SetAllFrames(true);
  ASSERT_TRUE(LoadFile(f, img, RASTER_TYPE_GIF)) << img.GetErrorText();
  ASSERT_EQ(img.GetFrameCount(), 3);
  ASSERT_EQ(img.GetFrameListLength(), 3);
  for (int i = 0; i < 3; i++) {
    SCOPED_TRACE(i);
    Rgba ref;
    ASSERT_TRUE(MagickDecode(f, ref, i, true));
    EXPECT_TRUE(Agrees(*img.GetFrame(i), ref, 0));
  }
}

// A GIF written byte by byte: no global colour table, frames with tables of
// their own. Pixel codes are sent as literals with a clear code after every
// two, so the code width stays 3 bits (minimum code size 2).
struct GifBuilder {
  std::vector<BYTE> bytes;
  GifBuilder(int w, int h) {
    const char head[] = "GIF89a";
    bytes.assign(head, head + 6);
    Word(w), Word(h);
    bytes.insert(bytes.end(), {0x00, 0, 0});  // no global table
  }
  void Word(int v) { bytes.push_back((BYTE)v), bytes.push_back((BYTE)(v >> 8)); }
  void Comment(const std::string& text) {
    bytes.insert(bytes.end(), {0x21, 0xFE});
    if (!text.empty()) {
      bytes.push_back((BYTE)text.size());
      bytes.insert(bytes.end(), text.begin(), text.end());
    }
    bytes.push_back(0);
  }
  void Frame(int x, int y, int w, int h, const BYTE table[4][3], BYTE index, int transparent) {
    bytes.insert(bytes.end(), {0x21, 0xF9, 4, (BYTE)(transparent >= 0 ? 0x05 : 0x04), 10, 0,
                               (BYTE)(transparent >= 0 ? transparent : 0), 0});
    bytes.push_back(0x2C);
    Word(x), Word(y), Word(w), Word(h);
    bytes.push_back(0x81);  // local table of 4 entries
    for (int i = 0; i < 4; i++) bytes.insert(bytes.end(), table[i], table[i] + 3);
    bytes.push_back(2);
    std::vector<int> codes = {4};
    for (int i = 0; i < w * h; i++) {
      codes.push_back(index);
      if (i % 2 == 1) codes.push_back(4);
    }
    codes.push_back(5);
    AppendGifCodes(bytes, codes);
    bytes.push_back(0);
  }
  void Save(const std::string& path) {
    bytes.push_back(0x3B);
    FILE* f = fopen(path.c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }
};

// An ordinary animation whose first frame is full width but shorter than the
// screen, with tables of its own only, is an animation and not a set of
// true-colour tiles: every frame as ImageMagick coalesces it. An empty comment
// before the second frame changes nothing.
TEST_F(CodecInterop, AnimationWithShorterFirstFrameComposesLikeImageMagick) {
  const BYTE red[4][3] = {{0, 0, 0}, {230, 20, 10}, {0, 0, 0}, {0, 0, 0}};
  const BYTE blue[4][3] = {{0, 0, 0}, {10, 20, 230}, {0, 255, 0}, {0, 0, 0}};
  for (bool comment : {false, true}) {
    SCOPED_TRACE(comment ? "with an empty comment" : "plain");
    GifBuilder gif(8, 6);
    gif.Frame(0, 0, 8, 3, red, 1, 0);
    if (comment) gif.Comment("");
    gif.Frame(0, 2, 8, 4, blue, 2, -1);
    std::string f = WorkDir() + (comment ? "/short-first-comment.gif" : "/short-first.gif");
    gif.Save(f);
    CRasterImage img;
    img.SetAllFrames(true);
    ASSERT_TRUE(LoadFile(f, img, RASTER_TYPE_GIF)) << img.GetErrorText();
    ASSERT_EQ(img.GetFrameCount(), 2);
    ASSERT_EQ(img.GetFrameListLength(), 2);
    for (int i = 0; i < 2; i++) {
      SCOPED_TRACE(i);
      Rgba ref;
      ASSERT_TRUE(MagickDecode(f, ref, i, true));
      EXPECT_TRUE(Agrees(*img.GetFrame(i), ref, 0));
    }
  }
}

// Tiles of a true-colour picture (first tile narrower and shorter) still make one picture.
TEST_F(CodecInterop, TrueColourTilesStillComposeIntoOnePicture) {
  const BYTE a[4][3] = {{0, 0, 0}, {200, 10, 10}, {0, 0, 0}, {0, 0, 0}};
  const BYTE b[4][3] = {{0, 0, 0}, {10, 200, 10}, {0, 0, 0}, {0, 0, 0}};
  GifBuilder gif(8, 6);
  gif.Frame(0, 0, 4, 3, a, 1, -1);
  gif.Frame(4, 0, 4, 3, b, 1, -1);
  gif.Frame(0, 3, 8, 3, a, 1, -1);
  std::string f = WorkDir() + "/tiles.gif";
  gif.Save(f);
  CRasterImage img;
  ASSERT_TRUE(LoadFile(f, img, RASTER_TYPE_GIF)) << img.GetErrorText();
  EXPECT_EQ(img.GetBpp(), 24);
  RGBQUAD tl = img.GetColorAt(0, 5), tr = img.GetColorAt(7, 5), bottom = img.GetColorAt(3, 0);
  EXPECT_EQ(tl.rgbRed, 200);
  EXPECT_EQ(tr.rgbGreen, 200);
  EXPECT_EQ(bottom.rgbRed, 200);
}

TEST_F(CodecInterop, LibjpegTestImagesDecodeAlike) {
  const std::string dir = DataDir() + "/testimages";
  for (const char* name : {"testorig.jpg", "testimgint.jpg", "testimgari.jpg"}) {
    std::string f = dir + "/" + name;
    SCOPED_TRACE(f);
    CRasterImage img;
    ASSERT_TRUE(LoadFile(f, img, RASTER_TYPE_JPEG)) << img.GetErrorText();
    Rgba ref;
    ASSERT_TRUE(MagickDecode(f, ref));
    EXPECT_TRUE(Agrees(img, ref, 2));
  }
  // 12-bit samples are outside an 8-bit library: a clean failure with its message.
  CRasterImage twelve;
  EXPECT_FALSE(LoadFile(dir + "/testorig12.jpg", twelve, RASTER_TYPE_JPEG));
  EXPECT_STRNE(twelve.GetErrorText(), "");
  // The reference PPM is what the test JPEG holds; our lossy decode is near it.
  Rgba ppm;
  ASSERT_TRUE(MagickDecode(dir + "/testorig.ppm", ppm));
  CRasterImage orig;
  ASSERT_TRUE(LoadFile(dir + "/testorig.jpg", orig, RASTER_TYPE_JPEG));
  EXPECT_EQ((int)orig.GetWidth(), ppm.w);
}

TEST_F(CodecInterop, OurFilesReadBackInImageMagick) {
  struct Case {
    int bpp;
    bool alpha;
    int format;
    const char* ext;
    DWORD flags;
    int tolerance;
  } cases[] = {
      {1, false, 4, "png", 0, 0},  {4, false, 4, "png", 0, 0},  {8, false, 4, "png", 0, 0},
      {24, false, 4, "png", 0, 0}, {24, true, 4, "png", 0, 0},  {24, false, 4, "png", RASTER_PNG_INTERLACED, 0},
      {1, false, 2, "gif", 0, 0},  {4, false, 2, "gif", 1, 0},  {8, false, 2, "gif", 2, 0},
      {8, false, 2, "gif", 0, 0},  {24, false, 2, "gif", 0, 0}, {24, false, 3, "jpg", 0, 3},
      {8, false, 5, "ico", 0, 0},  {4, false, 5, "ico", 0, 0},  {24, true, 5, "ico", 0, 0},
      {24, false, 5, "ico", 0, 0}, {1, false, 5, "ico", 0, 0},
  };
  int n = 0;
  for (const Case& c : cases) {
    std::string f = WorkDir() + "/ours-" + std::to_string(n++) + "." + c.ext;
    SCOPED_TRACE(f);
    CRasterImage img(c.format == 3 ? 64 : 45, c.format == 3 ? 48 : 31, c.bpp, c.format);
    FillPattern(img, 4);
    if (c.alpha) {
      img.CreateAlphaMask();
      for (LONG y = 0; y < (LONG)img.GetHeight(); y++)
        for (LONG x = 0; x < (LONG)img.GetWidth(); x++) img.SetAlphaAt(x, y, (BYTE)(x * 5 + y));
    }
    if (c.format == 3) {
      // Smooth picture, so that the comparison is of the two decoders, not of the coder.
      for (LONG y = 0; y < 48; y++)
        for (LONG x = 0; x < 64; x++) img.SetColorAt(x, y, RGBQUAD{(BYTE)(x * 4), (BYTE)(y * 5), (BYTE)(x + y), 0});
    }
    img.SetCodecFlags(c.flags, c.format);
    ASSERT_TRUE(SaveFile(f, img, c.format)) << img.GetErrorText();
    Rgba ref;
    if (c.format == 2 && c.bpp == 24) {
      // Tiles of 17 x 15: ImageMagick composes them frame by frame.
      int tiles = (int)((img.GetWidth() + 16) / 17 * ((img.GetHeight() + 14) / 15));
      ASSERT_TRUE(MagickDecode(f, ref, tiles - 1, true));
    } else {
      ASSERT_TRUE(MagickDecode(f, ref));
    }
    if (c.format == 3) {
      CRasterImage ours;
      ASSERT_TRUE(LoadFile(f, ours, 3));
      EXPECT_TRUE(Agrees(ours, ref, c.tolerance));
    } else {
      EXPECT_TRUE(Agrees(img, ref, c.tolerance));
    }
  }
}

}  // namespace
