// The library's readers on files made by dcmtk and on damaged and hostile
// copies of them, under the address and undefined-behaviour sanitizers.
#include <dirent.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <tuple>
#include <sstream>
#include <string>
#include <vector>

#include <gdcmImage.h>
#include <gdcmReader.h>

#include "modules/quillfen/QfCore.h"
#include "modules/quillfen/QfDicomInternal.h"
#include "modules/quillfen/QfViewerSeries.h"
#include "tests/modules/quillfen/DicomReferenceTests.h"

namespace {

std::string Fixture(const std::string& name) {
  const char* b = getenv("RS_BINARY_DIR");
  return std::string(b ? b : ".") + "/testdata/quillfen/" + name;
}

}  // namespace

// The shared decoding tests' fixtures (DicomReferenceTests.h).
std::string RefFixture(const std::string& name) { return Fixture(name); }

namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string TempPath(const std::string& name) {
  return std::string("/tmp/qfreaders-") + std::to_string(getpid()) + "-" + name;
}

size_t PixelDataAt(const std::vector<uint8_t>& d) {
  const uint8_t tag[4] = {0xE0, 0x7F, 0x10, 0x00};
  auto it = std::search(d.begin(), d.end(), tag, tag + 4);
  return it == d.end() ? 0 : (size_t)(it - d.begin());
}

// A window from the frame's range shows the range, however narrow: a dose
// grid rescaled into a span of 0.001 is not all white.
TEST(DicomFaults, NarrowRangeShowsLowestBlackHighestWhite) {
  qf::Volume v;
  std::string error;
  ASSERT_TRUE(qf::LoadDicom(Fixture("dose.dcm"), v, error)) << error;
  ASSERT_FALSE(v.hasWindow);
  double c, w;
  std::vector<uint8_t> px;
  qf::DefaultWindow(v, 0, c, w);
  qf::RenderFrame(v, 0, c, w, px);
  EXPECT_EQ(px[0], 0);    // stored 0
  EXPECT_EQ(px[1], 255);  // stored 1000, the highest
  EXPECT_GT(std::count_if(px.begin(), px.end(), [](uint8_t p) { return p > 20 && p < 235; }), (long)px.size() / 2);
  // Integer data keeps its full range too: 0..255 maps to itself.
  ASSERT_TRUE(qf::LoadDicom(Fixture("g8.dcm"), v, error)) << error;
  qf::DefaultWindow(v, 0, c, w);
  qf::RenderFrame(v, 0, c, w, px);
  for (size_t i = 0; i < px.size(); ++i) ASSERT_EQ(px[i], (uint8_t)v.grey[i]) << i;
}

// 16-bit colour reads the same stored plain or RLE-compressed, 32-bit colour
// is read too; both scaled to their high byte.
TEST(DicomFaults, WideColourSamplesKeepTheirChannels) {
  const std::vector<uint8_t> expected = ReadAll(Fixture("rgb-hi.raw"));
  ASSERT_FALSE(expected.empty());
  for (const char* name : {"rgb16.dcm", "rgb16-rle.dcm", "rgb32.dcm"}) {
    SCOPED_TRACE(name);
    qf::Volume v;
    std::string error;
    ASSERT_TRUE(qf::LoadDicom(Fixture(name), v, error)) << error;
    ASSERT_EQ(v.channels, 3);
    ASSERT_EQ(v.rgb.size(), expected.size());
    size_t wrong = 0;
    for (size_t i = 0; i < expected.size(); ++i) wrong += v.rgb[i] != expected[i];
    EXPECT_EQ(wrong, 0u);
  }
}

TEST(DicomFaults, OddChromaPairReadsInsideItsBuffer) {
  qf::Volume v;
  std::string error;
  if (qf::LoadDicom(Fixture("ybr422.dcm"), v, error)) {
    EXPECT_EQ(v.rgb.size(), 15u * 3);
  } else {
    EXPECT_FALSE(error.empty());
  }
}

// Cut and damaged copies of compressed files: each one is read or refused
// with a reason; none takes the process down.
TEST(DicomFaults, CutAndDamagedCompressedFilesAreRefusedCleanly) {
  const std::vector<uint8_t> rle = ReadAll(Fixture("ct16-rle.dcm"));
  const size_t at = PixelDataAt(rle);
  ASSERT_GT(at, 0u);
  for (size_t cut : {at + 8, at + 12, at + 16, at + 20, at + 28, at + 60, at + 100, rle.size() - 9}) {
    std::vector<uint8_t> part(rle.begin(), rle.begin() + (ptrdiff_t)cut);
    qf::Volume v;
    std::string error;
    EXPECT_FALSE(qf::DecodeDicom(part.data(), part.size(), v, error)) << cut;
    EXPECT_FALSE(error.empty());
  }
  int refused = 0, read = 0;
  for (const char* name :
       {"g8-baseline.dcm", "rgb-baseline.dcm", "ct16-jpegll.dcm", "mr12-jpegls.dcm", "g8-j2k.dcm", "mr12-rle.dcm"}) {
    const std::vector<uint8_t> good = ReadAll(Fixture(name));
    const size_t pixel = PixelDataAt(good);
    ASSERT_GT(pixel, 0u) << name;
    // Every byte of the first 400 after the pixel data's header, set to 0, 0xFF and flipped.
    for (size_t i = pixel + 12; i < std::min(good.size(), pixel + 412); ++i)
      for (uint8_t value : {(uint8_t)0, (uint8_t)0xFF, (uint8_t)(good[i] ^ 0x80)}) {
        std::vector<uint8_t> bad = good;
        bad[i] = value;
        qf::Volume v;
        std::string error;
        if (qf::DecodeDicom(bad.data(), bad.size(), v, error)) {
          ++read;
          EXPECT_EQ(v.FrameSize() * v.frames * (v.channels == 3 ? 3 : 1),
                    v.channels == 3 ? v.rgb.size() : v.grey.size());
        } else {
          ++refused;
          EXPECT_FALSE(error.empty());
        }
      }
  }
  EXPECT_GT(refused, 100);
  EXPECT_GT(read, 100);
}

// JPEG streams carry at most 16 bits a sample: a data set that allocates 32
// (GDCM finds no JPEG reader for that and asserts) is refused, for every JPEG
// family; the same files with their own 8 bits still read. DCT precisions
// other than 8 and 12 bits are refused too.
TEST(DicomFaults, JpegWithWideAllocationIsRefused) {
  for (const char* name : {"g8-jpegll.dcm", "g8-baseline.dcm", "g8-jpegls.dcm"}) {
    std::vector<uint8_t> d = ReadAll(Fixture(name));
    ASSERT_FALSE(d.empty()) << name;
    qf::Volume v;
    std::string error;
    ASSERT_TRUE(qf::DecodeDicom(d.data(), d.size(), v, error)) << name << ": " << error;
    const uint8_t tag[6] = {0x28, 0x00, 0x00, 0x01, 'U', 'S'};
    auto it = std::search(d.begin(), d.end(), tag, tag + 6);
    ASSERT_NE(it, d.end()) << name;
    it[8] = 32;
    error.clear();
    EXPECT_FALSE(qf::DecodeDicom(d.data(), d.size(), v, error)) << name;
    EXPECT_NE(error.find("compressed"), std::string::npos) << name << ": " << error;
  }
  // A DCT frame header of a precision other than 8 or 12 bits (GDCM asserts on it).
  std::vector<uint8_t> d = ReadAll(Fixture("g8-baseline.dcm"));
  const uint8_t sof[2] = {0xFF, 0xC0};
  auto it = std::search(d.begin() + (ptrdiff_t)PixelDataAt(d), d.end(), sof, sof + 2);
  ASSERT_NE(it, d.end());
  ASSERT_EQ(8, it[4]);
  for (uint8_t precision : {3, 1, 16}) {
    it[4] = precision;
    qf::Volume v;
    std::string error;
    EXPECT_FALSE(qf::DecodeDicom(d.data(), d.size(), v, error)) << (int)precision;
    EXPECT_NE(error.find("compressed"), std::string::npos) << (int)precision << ": " << error;
  }
}

// A palette whose tables are shorter than their descriptors say is refused,
// wherever in the file its elements stand (here after 20 KB of private data).
TEST(DicomFaults, ShortPaletteIsRefusedFarIntoTheFile) {
  std::vector<uint8_t> d = ReadAll(Fixture("pal.dcm"));
  ASSERT_FALSE(d.empty());
  const uint8_t patient[4] = {0x10, 0x00, 0x10, 0x00};
  auto at = std::search(d.begin() + 132, d.end(), patient, patient + 4);
  ASSERT_NE(at, d.end());
  std::vector<uint8_t> filler = {0x09, 0x00, 0x10, 0x00, 'L',  'O',  8,   0,   'F', 'I', 'L',  'L',  'E', 'R',
                                 ' ',  ' ',  0x09, 0x00, 0x01, 0x10, 'O', 'B', 0,   0,   0x20, 0x4E, 0,   0};
  filler.resize(filler.size() + 20000, 0x55);
  d.insert(at, filler.begin(), filler.end());
  qf::Volume v;
  std::string error;
  ASSERT_TRUE(qf::DecodeDicom(d.data(), d.size(), v, error)) << error;  // still whole
  // Descriptors that claim 1024 entries for tables of 256.
  for (uint8_t element : {0x01, 0x02, 0x03}) {
    const uint8_t tag[6] = {0x28, 0x00, element, 0x11, 'U', 'S'};
    auto it = std::search(d.begin(), d.end(), tag, tag + 6);
    ASSERT_NE(it, d.end());
    it[8] = 0x00;
    it[9] = 0x04;
  }
  EXPECT_FALSE(qf::DecodeDicom(d.data(), d.size(), v, error));
  EXPECT_NE(error.find("palette"), std::string::npos) << error;
}

// Palette sizes the DICOM toolkit cannot build its table from are refused
// before it sees them (it would stop the process); sizes it takes still read.
TEST(DicomFaults, PaletteSizesTheToolkitCannotTakeAreRefused) {
  const std::vector<uint8_t> good = ReadAll(Fixture("pal.dcm"));
  ASSERT_FALSE(good.empty());
  auto patchUs = [](std::vector<uint8_t>& d, uint16_t element, uint16_t value, int index) {
    const uint8_t tag[6] = {0x28, 0x00, (uint8_t)element, (uint8_t)(element >> 8), 'U', 'S'};
    auto it = std::search(d.begin(), d.end(), tag, tag + 6);
    ASSERT_NE(it, d.end());
    it[8 + 2 * index] = (uint8_t)value;
    it[9 + 2 * index] = (uint8_t)(value >> 8);
  };
  struct Case {
    uint16_t bitsAllocated, entries, entryBits;
    bool read;
  };
  // The fixture: 8-bit pixels, tables of 256 16-bit entries (512 bytes each).
  for (const Case& c :
       {Case{8, 256, 16, true}, Case{16, 256, 16, false}, Case{16, 256, 8, false}, Case{8, 128, 16, false},
        Case{8, 200, 8, false}, Case{8, 512, 8, false}, Case{8, 0, 16, false}}) {
    SCOPED_TRACE(testing::Message() << c.bitsAllocated << " " << c.entries << " " << c.entryBits);
    std::vector<uint8_t> d = good;
    patchUs(d, 0x0100, c.bitsAllocated, 0);
    for (uint16_t element : {0x1101, 0x1102, 0x1103}) {
      patchUs(d, element, c.entries, 0);
      patchUs(d, element, c.entryBits, 2);
    }
    qf::Volume v;
    std::string error;
    const bool read = qf::DecodeDicom(d.data(), d.size(), v, error);
    if (c.read) {
      EXPECT_TRUE(read) << error;
    } else {
      EXPECT_FALSE(read);
      EXPECT_NE(error.find("palette"), std::string::npos) << error;
    }
  }
}

// Palettes GDCM cannot set its colour table up from (it asserts, or writes
// past its table) are refused before it sees them, in the picture and in its
// icon; sound ones still read.
TEST(DicomFaults, PalettesGdcmCannotTakeAreRefused) {
  const std::vector<uint8_t> pal = ReadAll(Fixture("pal.dcm")), icon = ReadAll(Fixture("icon.dcm"));
  ASSERT_FALSE(pal.empty());
  ASSERT_FALSE(icon.empty());
  // Sets entries and bits of the descriptors named (0x01 red .. 0x03 blue).
  auto describe = [](std::vector<uint8_t> d, std::initializer_list<uint8_t> channels, int entries, int bits) {
    for (uint8_t element : channels) {
      const uint8_t tag[6] = {0x28, 0x00, element, 0x11, 'U', 'S'};
      auto it = std::search(d.begin(), d.end(), tag, tag + 6);
      EXPECT_NE(it, d.end());
      if (it == d.end()) continue;
      if (entries >= 0) {
        it[8] = (uint8_t)entries;
        it[9] = (uint8_t)(entries >> 8);
      }
      if (bits >= 0) it[12] = (uint8_t)bits;
    }
    return d;
  };
  auto refused = [](const std::vector<uint8_t>& d, const char* why) {
    qf::Volume v;
    std::string error;
    if (qf::DecodeDicom(d.data(), d.size(), v, error)) return ::testing::AssertionFailure() << "read";
    if (error.find(why) == std::string::npos) return ::testing::AssertionFailure() << error;
    return ::testing::AssertionSuccess();
  };
  qf::Volume v;
  std::string error;
  ASSERT_TRUE(qf::DecodeDicom(pal.data(), pal.size(), v, error)) << error;
  EXPECT_EQ(3, v.channels);
  ASSERT_TRUE(qf::DecodeDicom(icon.data(), icon.size(), v, error)) << error;
  EXPECT_EQ(1, v.channels);
  // One entry over a table of 512 bytes (found by the fuzzer).
  EXPECT_TRUE(refused(describe(pal, {0x02}, 1, -1), "palette"));
  // 8-bit entries in tables of 16-bit ones.
  EXPECT_TRUE(refused(describe(pal, {0x01, 0x02, 0x03}, -1, 8), "palette"));
  // 65536 entries for 8-bit pixels; 128 entries over tables of 256.
  EXPECT_TRUE(refused(describe(pal, {0x01, 0x02, 0x03}, 0, -1), "palette"));
  EXPECT_TRUE(refused(describe(pal, {0x01}, 128, -1), "palette"));
  // The same faults in the icon of a grey picture.
  EXPECT_TRUE(refused(describe(icon, {0x02}, 1, -1), "icon"));
  EXPECT_TRUE(refused(describe(icon, {0x03}, 0, -1), "icon"));
  // An icon whose photometric interpretation names nothing known.
  std::vector<uint8_t> unknown = icon;
  const std::string name = "PALETTE COLOR";
  auto it = std::search(unknown.begin(), unknown.end(), name.begin(), name.end());
  ASSERT_NE(it, unknown.end());
  *it = 'X';
  EXPECT_TRUE(refused(unknown, "icon"));
}

// Headers that claim far more than the file holds fail at once.
TEST(HostileHeaders, HugeClaimsFailBeforeAnythingIsMade) {
  std::vector<uint8_t> d = ReadAll(Fixture("g8.dcm"));
  ASSERT_FALSE(d.empty());
  // Rows and columns 65535 and 100000 frames, with the original small data.
  auto patchUs = [&](uint16_t element, uint16_t value) {
    const uint8_t tag[6] = {0x28, 0x00, (uint8_t)element, (uint8_t)(element >> 8), 'U', 'S'};
    auto it = std::search(d.begin(), d.end(), tag, tag + 6);
    ASSERT_NE(it, d.end());
    it[8] = (uint8_t)value;
    it[9] = (uint8_t)(value >> 8);
  };
  patchUs(0x0010, 65535);
  patchUs(0x0011, 65535);
  qf::Volume v;
  std::string error;
  EXPECT_FALSE(qf::DecodeDicom(d.data(), d.size(), v, error));
  EXPECT_FALSE(error.empty());
  // A pixel data element that says it holds 4 GiB in a small file.
  std::vector<uint8_t> e = ReadAll(Fixture("g8.dcm"));
  const size_t at = PixelDataAt(e);
  e[at + 8] = e[at + 9] = e[at + 10] = 0xFF;
  e[at + 11] = 0xF0;
  EXPECT_FALSE(qf::DecodeDicom(e.data(), e.size(), v, error));
  EXPECT_NE(error.find("cut short"), std::string::npos) << error;
}

// The limit meets the decoded size: 1-bit samples are held as floats, so a
// bitmap of a quarter of the limit in pixels already fills it, and the
// pictures of one file count together.
TEST(HostileHeaders, PnmBitmapsCountTheirDecodedSize) {
  auto bitmap = [](int side) {
    const std::string header = "P4\n" + std::to_string(side) + " " + std::to_string(side) + "\n";
    std::vector<uint8_t> d(header.begin(), header.end());
    d.resize(d.size() + (size_t)side / 8 * side, 0x55);
    return d;
  };
  const uint64_t saved = qf::DecodeLimit();
  qf::SetDecodeLimit(16u << 20);
  std::vector<qf::Volume> out;
  std::string error;
  const std::vector<uint8_t> fits = bitmap(2048);  // 4 Mi pixels, 16 MiB of floats
  EXPECT_TRUE(qf::DecodePnm(fits.data(), fits.size(), out, error)) << error;
  const std::vector<uint8_t> big = bitmap(4096);  // 2 MiB on disk, 64 MiB decoded
  EXPECT_FALSE(qf::DecodePnm(big.data(), big.size(), out, error));
  std::vector<uint8_t> two = fits;
  two.insert(two.end(), fits.begin(), fits.end());
  out.clear();
  EXPECT_TRUE(qf::DecodePnm(two.data(), two.size(), out, error)) << error;
  EXPECT_EQ(1u, out.size());  // the second would pass the limit: the first is kept
  qf::SetDecodeLimit(saved);
}

void* QF_CALL TestAlloc(size_t n) { return n ? malloc(n) : nullptr; }
int QF_CALL TestFree(void* p) {
  free(p);
  return 0;
}

// Deepest nesting of item records below these.
int Depth(const TagRecord* r, int n) {
  int deepest = 0;
  for (int i = 0; i < n; ++i)
    if (r[i].children) deepest = std::max(deepest, 1 + Depth(r[i].children, r[i].childCount));
  return deepest;
}

void FreeRecords(TagRecord* r, int n) {
  for (int i = 0; i < n; ++i)
    if (r[i].children) FreeRecords(r[i].children, r[i].childCount);
  free(r);
}

// Files assembled at set-up and read whole by dcmdump: every path into a
// file (decoding, file information with and without tags, the series
// header) takes the one walk first. Sequences nested 2000 deep and a claim of
// nearly 4 GiB are refused at once on each; nesting 20 deep is read, and its
// tag tree holds all of it. Behind a look-alike of sound compressed data in a
// private element, the real stream is the one judged: one larger than the
// image is refused (GDCM would write past its buffer), a sound one is read.
TEST(DicomWalk, EveryPathJudgesWhatGdcmWillRead) {
  static ModuleInterface table = {};
  table.pfnAlloc = TestAlloc;
  table.pfnFree = TestFree;
  qf::BindTable(&table);
  for (const char* name : {"nested2000.dcm", "claim.dcm"}) {
    SCOPED_TRACE(name);
    const auto start = std::chrono::steady_clock::now();
    qf::Volume v;
    std::string error;
    EXPECT_FALSE(qf::LoadDicom(Fixture(name), v, error));
    EXPECT_FALSE(error.empty());
    for (bool tags : {false, true}) {
      FileInfoRequest req = {};
      error.clear();
      EXPECT_FALSE(qf::ReadDicomInfo(Fixture(name), tags, &req, error)) << tags;
      EXPECT_EQ(req.tags, nullptr);
    }
    qf::SeriesHeader header;
    EXPECT_FALSE(qf::ReadSeriesHeader(Fixture(name), header));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  }
  qf::Volume v;
  std::string error;
  EXPECT_FALSE(qf::LoadDicom(Fixture("decoy-bad.dcm"), v, error));
  EXPECT_NE(error.find("compressed"), std::string::npos) << error;
  ASSERT_TRUE(qf::LoadDicom(Fixture("decoy-good.dcm"), v, error)) << error;
  ASSERT_TRUE(qf::LoadDicom(Fixture("nested20.dcm"), v, error)) << error;
  qf::SeriesHeader header;
  EXPECT_TRUE(qf::ReadSeriesHeader(Fixture("nested20.dcm"), header));
  FileInfoRequest req = {};
  ASSERT_TRUE(qf::ReadDicomInfo(Fixture("nested20.dcm"), true, &req, error)) << error;
  EXPECT_EQ(req.width, 64);
  // A sequence record, then an item record, per level.
  EXPECT_EQ(Depth(req.tags, req.tagCount), 40);
  FreeRecords(req.tags, req.tagCount);
}

std::vector<std::string> Folder(const std::string& dir);

// An element that runs past the end of its item of defined length is refused
// on every path; so is a tail of 4 to 7 bytes after the last element (GDCM
// asserts on it), while a tail of 1 to 3 is read as GDCM reads it.
TEST(DicomWalk, ElementsEndInsideTheirItemAndTheFile) {
  static ModuleInterface table = {};
  table.pfnAlloc = TestAlloc;
  table.pfnFree = TestFree;
  qf::BindTable(&table);
  const std::string overrun = Fixture("item-overrun.dcm");
  qf::Volume v;
  std::string error;
  EXPECT_FALSE(qf::LoadDicom(overrun, v, error));
  EXPECT_NE(error.find("damaged"), std::string::npos) << error;
  for (bool tags : {false, true}) {
    FileInfoRequest req = {};
    EXPECT_FALSE(qf::ReadDicomInfo(overrun, tags, &req, error)) << tags;
  }
  qf::SeriesHeader header;
  EXPECT_FALSE(qf::ReadSeriesHeader(overrun, header));
  const std::vector<uint8_t> g8 = ReadAll(Fixture("g8.dcm"));
  for (size_t tail = 1; tail < 8; ++tail) {
    SCOPED_TRACE(tail);
    std::vector<uint8_t> d = g8;
    d.resize(d.size() + tail, 0x41);
    const std::string path = TempPath("tail.dcm");
    std::ofstream(path, std::ios::binary).write((const char*)d.data(), (std::streamsize)d.size());
    FileInfoRequest req = {};
    EXPECT_EQ(qf::DecodeDicom(d.data(), d.size(), v, error), tail < 4) << error;
    EXPECT_EQ(qf::ReadDicomInfo(path, false, &req, error), tail < 4) << error;
    EXPECT_EQ(qf::ReadSeriesHeader(path, header), tail < 4);
    remove(path.c_str());
  }
}

// The guard between GDCM's parse and its image set-up: GDCM's reading of one
// file against the walk of another that differs in one element of group
// 0028, in the pixel data, or in its fragments, is told apart; against the
// walk of the same file it agrees. After the set-up, an image of another
// size or frame count than the walk's description is told apart too.
TEST(DicomWalk, TheGuardTellsGdcmsReadingFromTheWalks) {
  auto walk = [](const std::vector<uint8_t>& d, qf::DicomLayout& L) {
    bool needMore = false;
    return qf::WalkDicom(d.data(), d.size(), d.size(), false, L, needMore);
  };
  auto gdcmRead = [](const std::vector<uint8_t>& d, gdcm::Reader& reader) {
    qf::MemoryStream is(d.data(), d.size());
    reader.SetStream(is);
    return reader.Read();
  };
  for (const char* name : {"g8.dcm", "ct16-bigendian.dcm", "g8-rle.dcm", "icon.dcm", "pal.dcm", "utf8.dcm",
                           "odd-rle32-un.dcm", "odd-jpeg-implicit-dataset.dcm", "ct16-deflated.dcm"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> good = ReadAll(Fixture(name));
    qf::DicomLayout L;
    ASSERT_TRUE(walk(good, L));
    gdcm::Reader reader;
    ASSERT_TRUE(gdcmRead(good, reader));
    std::string error;
    EXPECT_TRUE(qf::GdcmReadTheWalk(L, reader.GetFile(), error)) << error;
  }
  // One byte changed in the rows, the last byte of the pixel data, a fragment.
  struct Change {
    const char* name;
    size_t (*at)(const std::vector<uint8_t>&);
  };
  const Change changes[] = {
      {"g8.dcm",
       [](const std::vector<uint8_t>& d) {
         const uint8_t rows[6] = {0x28, 0x00, 0x10, 0x00, 'U', 'S'};
         return (size_t)(std::search(d.begin(), d.end(), rows, rows + 6) - d.begin()) + 8;
       }},
      {"g8.dcm", [](const std::vector<uint8_t>& d) { return d.size() - 1; }},
      {"ct16-bigendian.dcm", [](const std::vector<uint8_t>& d) { return d.size() - 2; }},
      {"g8-rle.dcm", [](const std::vector<uint8_t>& d) { return d.size() - 20; }},
  };
  {
    // An element of group 0028 that GDCM reads and the walk does not have:
    // the same file with NumberOfFrames added.
    const std::vector<uint8_t> g8 = ReadAll(Fixture("g8.dcm")), more = ReadAll(Fixture("frames-1e1.dcm"));
    qf::DicomLayout L;
    ASSERT_TRUE(walk(g8, L));
    gdcm::Reader reader;
    ASSERT_TRUE(gdcmRead(more, reader));
    std::string error;
    EXPECT_FALSE(qf::GdcmReadTheWalk(L, reader.GetFile(), error));
  }
  for (const Change& c : changes) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> good = ReadAll(Fixture(c.name));
    std::vector<uint8_t> other = good;
    other[c.at(other)] ^= 0x01;
    qf::DicomLayout L;
    ASSERT_TRUE(walk(good, L));
    gdcm::Reader reader;
    ASSERT_TRUE(gdcmRead(other, reader));
    std::string error;
    EXPECT_FALSE(qf::GdcmReadTheWalk(L, reader.GetFile(), error));
    EXPECT_NE(error.find("GDCM reads"), std::string::npos) << error;
  }
  qf::DicomLayout L;
  const std::vector<uint8_t> g8 = ReadAll(Fixture("g8.dcm"));
  ASSERT_TRUE(walk(g8, L));
  qf::ImageDescription described;
  std::string error;
  ASSERT_TRUE(qf::ImageIsSound(L, described, error)) << error;
  gdcm::Image image;
  image.SetNumberOfDimensions(2);
  image.SetDimension(0, 64);
  image.SetDimension(1, 48);
  image.SetPixelFormat(gdcm::PixelFormat(1, 8, 8, 7, 0));
  image.SetPhotometricInterpretation(gdcm::PhotometricInterpretation::MONOCHROME2);
  EXPECT_TRUE(qf::GdcmImageIsDescribed(described, image, error)) << error;
  image.SetNumberOfDimensions(3);
  image.SetDimension(2, 10);
  EXPECT_FALSE(qf::GdcmImageIsDescribed(described, image, error));
  image.SetNumberOfDimensions(2);
  image.SetDimension(1, 24);
  EXPECT_FALSE(qf::GdcmImageIsDescribed(described, image, error));
}

// A tag tree that would take more than its share of the decoding limit
// (records and their text together) is refused before any of it is made.
TEST(DicomTags, TheTreeIsBoundedByItsMemory) {
  static ModuleInterface table = {};
  table.pfnAlloc = TestAlloc;
  table.pfnFree = TestFree;
  qf::BindTable(&table);
  const uint64_t saved = qf::DecodeLimit();
  qf::SetDecodeLimit(16u << 20);  // 4 MiB of records: 3,900 or so
  const std::vector<uint8_t> g8 = ReadAll(Fixture("g8.dcm"));
  const size_t at = PixelDataAt(g8);
  for (size_t empty : {1000, 8000}) {
    std::vector<uint8_t> d(g8.begin(), g8.begin() + (ptrdiff_t)at);
    for (size_t i = 0; i < empty; ++i) {
      const uint8_t e[8] = {0x09, 0x00, (uint8_t)(0x10 + i % 200), 0x10, 'L', 'O', 0, 0};
      d.insert(d.end(), e, e + 8);
    }
    d.insert(d.end(), g8.begin() + (ptrdiff_t)at, g8.end());
    const std::string path = TempPath("many.dcm");
    std::ofstream(path, std::ios::binary).write((const char*)d.data(), (std::streamsize)d.size());
    FileInfoRequest req = {};
    std::string error;
    const bool read = qf::ReadDicomInfo(path, true, &req, error);
    EXPECT_EQ(read, empty < 2000) << empty;
    if (read) {
      EXPECT_GT(req.tagCount, (int)empty);
      FreeRecords(req.tags, req.tagCount);
    } else {
      EXPECT_NE(error.find("elements"), std::string::npos) << error;
      EXPECT_EQ(req.tags, nullptr);
    }
    // The header alone still reads.
    EXPECT_TRUE(qf::ReadDicomInfo(path, false, &req, error)) << error;
    remove(path.c_str());
  }
  qf::SetDecodeLimit(saved);
  // 999,000 empty elements in a deflated file of 12 KB: a gigabyte of records.
  FileInfoRequest req = {};
  std::string error;
  EXPECT_FALSE(qf::ReadDicomInfo(Fixture("many-elements.dcm"), true, &req, error));
  EXPECT_NE(error.find("elements"), std::string::npos) << error;
  EXPECT_EQ(req.tags, nullptr);
}

// Folders of one axial series whose file names are in no order of position
// play from inferior to superior whether InstanceNumber counts up from the
// feet, down from the head, or is empty; a series without positions plays
// by InstanceNumber.
TEST(SeriesOrder, SlicesPlayInPositionOrder) {
  for (const char* folder : {"series-up", "series-down", "series-empty", "series"}) {
    SCOPED_TRACE(folder);
    const std::string dir = Fixture(folder);
    std::vector<qf::SeriesHeader> headers;
    std::vector<std::string> kept;
    std::string series;
    for (const std::string& n : Folder(dir)) {
      qf::SeriesHeader h;
      ASSERT_TRUE(qf::ReadSeriesHeader(dir + "/" + n, h)) << n;
      if (series.empty()) series = h.series;
      if (h.series != series) continue;  // the stranger of "series"
      headers.push_back(h);
      kept.push_back(n);
    }
    // Listed the other way round: the order is the headers', not the listing's.
    std::reverse(headers.begin(), headers.end());
    std::reverse(kept.begin(), kept.end());
    std::vector<int> shown;
    for (size_t k : qf::SliceOrder(headers, kept)) {
      qf::Volume v;
      std::string error;
      ASSERT_TRUE(qf::LoadDicom(dir + "/" + kept[k], v, error)) << error;
      shown.push_back((int)v.grey[0]);
    }
    const std::vector<int> expected =
        std::string(folder) == "series" ? std::vector<int>{40, 80, 120} : std::vector<int>{40, 80, 120, 160};
    EXPECT_EQ(shown, expected);
  }
}

std::vector<std::string> Folder(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool Ends(const std::string& s, const std::string& e) {
  return s.size() > e.size() && s.compare(s.size() - e.size(), e.size(), e) == 0;
}

// Every variant of the other formats (written by nibabel, unu, rawtominc,
// ncgen or by hand) shows what the outside readers see in it, in the display
// orientation of the plane it was acquired in, and the header alone tells the
// size that is shown; the same anatomy stored in any orientation shows the
// same frames for each of the three planes.
TEST(OtherFormats, ShowWhatOutsideReadersSee) {
  const std::string dir = Fixture("formats");
  int checked = 0;
  std::map<std::vector<float>, int> anatomy;
  for (const std::string& name : Folder(dir)) {
    if (!Ends(name, ".expected")) continue;
    const std::string file = dir + "/" + name.substr(0, name.size() - 9);
    SCOPED_TRACE(file);
    const std::vector<uint8_t> bytes = ReadAll(dir + "/" + name);
    ASSERT_GE(bytes.size(), 12u);
    int32_t shape[3];  // frames, rows, columns
    memcpy(shape, bytes.data(), 12);
    std::vector<float> expected((bytes.size() - 12) / 4);
    memcpy(expected.data(), bytes.data() + 12, expected.size() * 4);
    qf::Volume v;
    std::string error;
    ASSERT_TRUE(qf::LoadVolume(file, v, error)) << error;
    int w = 0, h = 0, frames = 0;
    ASSERT_TRUE(qf::ReadOtherFormatInfo(qf::DetectKind(file), file, w, h, frames, error)) << error;
    EXPECT_EQ(std::make_tuple(v.frames, v.height, v.width), std::make_tuple(shape[0], shape[1], shape[2]));
    EXPECT_EQ(std::make_tuple(w, h, frames), std::make_tuple(v.width, v.height, v.frames));
    EXPECT_EQ(v.grey, expected);
    const bool stored = name.find("scaled") == std::string::npos && name.find("records") == std::string::npos;
    if (name.compare(0, 7, "orient-") == 0 || (name.compare(0, 5, "minc-") == 0 && stored)) ++anatomy[v.grey];
    ++checked;
  }
  EXPECT_GE(checked, 95);
  // Seven orientations in seven forms each, and six MINC 1 and 2 layouts,
  // are the three pictures of the three planes.
  EXPECT_EQ(anatomy.size(), 3u);
  int pictures = 0;
  for (const auto& a : anatomy) pictures += a.second;
  EXPECT_EQ(pictures, 55);
}

// Data whose checksum fails, that is cut short or that has fewer lines or
// numbers than its header says is never shown.
TEST(OtherFormats, DamagedDataIsRefused) {
  const std::string dir = Fixture("formats/damaged");
  int checked = 0;
  for (const std::string& name : Folder(dir)) {
    if (Ends(name, ".raw")) continue;
    SCOPED_TRACE(name);
    std::vector<qf::Volume> out;
    std::string error;
    EXPECT_FALSE(qf::LoadImages(dir + "/" + name, out, error));
    EXPECT_FALSE(error.empty());
    ++checked;
  }
  EXPECT_GE(checked, 6);
}

// What cannot be shown is refused from the header already, with a reason, by
// file information and by decoding, at once: small files claiming images far
// past the decode limit (or records past their end) among them.
TEST(OtherFormats, RefusedFromTheHeader) {
  int checked = 0;
  for (const char* folder : {"formats/refused", "formats/huge"}) {
    const std::string dir = Fixture(folder);
    for (const std::string& name : Folder(dir)) {
      SCOPED_TRACE(name);
      const std::string file = dir + "/" + name;
      const auto start = std::chrono::steady_clock::now();
      const qf::Kind kind = qf::DetectKind(file);
      ASSERT_NE(kind, qf::Kind::None);
      int w, h, frames;
      std::string error;
      const bool info = kind == qf::Kind::Picture ? qf::ReadPictureInfo(file, w, h, frames, error)
                        : kind == qf::Kind::Tiff  ? false  // read in the Windows build only
                                                  : qf::ReadOtherFormatInfo(kind, file, w, h, frames, error);
      EXPECT_FALSE(info);
      EXPECT_TRUE(kind == qf::Kind::Tiff || !error.empty());
      std::vector<qf::Volume> out;
      error.clear();
      EXPECT_FALSE(qf::LoadImages(file, out, error));
      EXPECT_FALSE(error.empty());
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
      ++checked;
    }
  }
  EXPECT_GE(checked, 18);
}

// PNM samples as ImageMagick decodes them: 8-bit and 16-bit samples (most
// significant byte first), bitmaps with 1 as black.
TEST(Pictures, PnmAsImageMagickSeesIt) {
  std::ifstream refs(Fixture("pictures/refs.txt"));
  std::string line;
  int checked = 0;
  while (std::getline(refs, line)) {
    std::istringstream words(line);
    std::string picture, ref;
    words >> picture >> ref;
    if (!Ends(picture, ".pgm") && !Ends(picture, ".ppm") && !Ends(picture, ".pbm")) continue;
    SCOPED_TRACE(picture);
    const std::vector<uint8_t> data = ReadAll(Fixture("pictures/" + picture));
    std::vector<qf::Volume> out;
    std::string error;
    ASSERT_TRUE(qf::DecodePnm(data.data(), data.size(), out, error)) << error;
    // The reference: binary PPM written by ImageMagick, 8 bits.
    const std::vector<uint8_t> r = ReadAll(Fixture("pictures/" + ref));
    std::istringstream head(std::string(r.begin(), r.begin() + std::min<size_t>(r.size(), 64)));
    std::string magic;
    int w, h, maxval;
    head >> magic >> w >> h >> maxval;
    ASSERT_EQ(magic, "P6");
    ASSERT_EQ(out[0].width, w);
    ASSERT_EQ(out[0].height, h);
    const uint8_t* px = r.data() + (size_t)head.tellg() + 1;
    int worst = 0;
    for (size_t i = 0; i < (size_t)w * h; ++i)
      for (int c = 0; c < 3; ++c) {
        const int got = out[0].channels == 3 ? out[0].rgb[i * 3 + c] : (int)out[0].grey[i];
        worst = std::max(worst, std::abs(got - (int)px[i * 3 + c]));
      }
    EXPECT_LE(worst, 1);
    ++checked;
  }
  EXPECT_GE(checked, 6);
}

// The frames the headers give for each image of a file (what the viewer
// places a folder's files by before decoding them) are those decoding gives.
TEST(Pictures, FramesFromHeadersAreThoseDecoded) {
  const std::string twice = TempPath("twice.pgm");
  {
    const std::vector<uint8_t> one = ReadAll(Fixture("pictures/grey8.pgm"));
    std::ofstream out(twice, std::ios::binary);
    out.write((const char*)one.data(), (std::streamsize)one.size());
    out.write((const char*)one.data(), (std::streamsize)one.size());
  }
  for (const std::string& file : {Fixture("pictures/anim.gif"), Fixture("pictures/colour.png"), twice,
                                  Fixture("pictures/bits-text.pbm"), Fixture("formats/time.nii"),
                                  Fixture("formats/minc-records.mnc")}) {
    SCOPED_TRACE(file);
    std::vector<int> frames, decoded;
    ASSERT_TRUE(qf::ReadImageFrames(file, qf::DetectKind(file), frames));
    std::vector<qf::Volume> images;
    std::string error;
    ASSERT_TRUE(qf::LoadImages(file, images, error)) << error;
    for (const qf::Volume& v : images) decoded.push_back(v.frames);
    EXPECT_EQ(frames, decoded);
  }
  remove(twice.c_str());
}

TEST(DataFiles, OnlyLocalFilesBesideTheHeaderAreOpened) {
  std::string full, error;
  for (const char* name : {"\\\\host\\share\\x.raw", "//host/share/x.raw", "\\\\?\\C:\\x.raw", "\\\\.\\PhysicalDrive0",
                           "\\??\\UNC\\host\\share\\x.raw", "/??/UNC/host/share/x.raw",
                           "\\??\\GLOBALROOT\\Device\\Mup\\host\\x.raw", "http://host/x.raw", "file:///etc/passwd",
                           "smb:host/x", "../x.raw", "a/../../x.raw", "C:x.raw", "x.raw:stream", "-"}) {
    error.clear();
    EXPECT_FALSE(qf::ResolveDataFile("/data/head.mhd", name, full, error)) << name;
    EXPECT_FALSE(error.empty()) << name;
  }
  ASSERT_TRUE(qf::ResolveDataFile("/data/head.mhd", "x.raw", full, error));
  EXPECT_EQ(full, "/data/x.raw");
  ASSERT_TRUE(qf::ResolveDataFile("/data/head.mhd", "sub/x.raw", full, error));
  ASSERT_TRUE(qf::ResolveDataFile("/data/head.mhd", "C:\\images\\x.raw", full, error));
  EXPECT_EQ(full, "C:\\images\\x.raw");
  // A MetaImage naming a share fails with that reason, and so does a NRRD file.
  const std::string mhd = TempPath("share.mhd"), nrrd = TempPath("share.nrrd");
  std::ofstream(mhd) << "ObjectType = Image\nNDims = 2\nDimSize = 4 4\nElementType = MET_UCHAR\n"
                        "ElementDataFile = \\\\host\\share\\x.raw\n";
  std::ofstream(nrrd)
      << "NRRD0004\ntype: uchar\ndimension: 2\nsizes: 4 4\nencoding: raw\ndata file: //host/share/x.raw\n\n";
  for (const std::string& path : {mhd, nrrd}) {
    std::vector<qf::Volume> out;
    error.clear();
    EXPECT_FALSE(qf::LoadImages(path, out, error)) << path;
    EXPECT_NE(error.find("network"), std::string::npos) << error;
    remove(path.c_str());
  }
}

// A gzip stream far longer than the header needs is read only as far as it
// needs; a header claiming more than the cap is refused before inflating.
TEST(HostileHeaders, GzipBombsAreBounded) {
  auto nifti = [](int w, int h, int d, int datatype, int bitpix) {
    std::vector<uint8_t> hdr(352, 0);
    auto put16 = [&](size_t at, int v) {
      hdr[at] = (uint8_t)v;
      hdr[at + 1] = (uint8_t)(v >> 8);
    };
    hdr[0] = 0x5C;
    hdr[1] = 0x01;  // 348
    put16(40, 3);
    put16(42, w);
    put16(44, h);
    put16(46, d);
    put16(70, datatype);
    put16(72, bitpix);
    const float vox = 352;
    memcpy(&hdr[108], &vox, 4);
    memcpy(&hdr[344], "n+1", 4);
    return hdr;
  };
  auto gzipWithZeros = [](const std::vector<uint8_t>& head, size_t zeros, const std::string& path) {
    gzFile f = gzopen(path.c_str(), "wb9");
    gzwrite(f, head.data(), (unsigned)head.size());
    std::vector<uint8_t> block(1 << 20, 0);
    for (size_t done = 0; done < zeros; done += block.size()) gzwrite(f, block.data(), (unsigned)block.size());
    gzclose(f);
  };
  const std::string small = TempPath("bomb.nii.gz"), huge = TempPath("claim.nii.gz");
  gzipWithZeros(nifti(64, 64, 1, 4, 16), (size_t)256 << 20, small);
  gzipWithZeros(nifti(30000, 30000, 30000, 16, 32), (size_t)1 << 20, huge);
  std::vector<qf::Volume> out;
  std::string error;
  ASSERT_TRUE(qf::LoadImages(small, out, error)) << error;
  EXPECT_EQ(out[0].width, 64);
  out.clear();
  EXPECT_FALSE(qf::LoadImages(huge, out, error));
  EXPECT_NE(error.find("larger"), std::string::npos) << error;
  remove(small.c_str());
  remove(huge.c_str());
}

}  // namespace
