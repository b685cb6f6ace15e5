// The library's DICOM decoding against the files and decodings made at
// set-up by dcmtk, GDCM and pydicom (make-fixtures.sh), one set of tests for
// the Windows module test and the native sanitizer readers test alike: the
// includer defines RefFixture, the path of a file in the fixtures' folder.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "modules/quillfen/QfCore.h"
#include "modules/quillfen/QfViewerSeries.h"
#include "tests/modules/quillfen/DicomTagTable.h"

std::string RefFixture(const std::string& name);

namespace dicomrefs {

inline std::vector<uint8_t> Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void* QF_CALL Alloc(size_t n) { return n ? malloc(n) : nullptr; }
inline int QF_CALL Free(void* p) {
  free(p);
  return 0;
}
inline void FreeTree(TagRecord* r, int n) {
  for (int i = 0; i < n; ++i)
    if (r[i].children) FreeTree(r[i].children, r[i].childCount);
  free(r);
}
inline const TagRecord* FindRecord(const TagRecord* r, int n, uint16_t g, uint16_t e) {
  for (int i = 0; i < n; ++i)
    if (r[i].group == g && r[i].element == e) return &r[i];
  return nullptr;
}
// The library allocates tag records through a bound table: one for these tests.
inline void BindAllocator() {
  static ModuleInterface table = {};
  table.pfnAlloc = Alloc;
  table.pfnFree = Free;
  qf::BindTable(&table);
}

}  // namespace dicomrefs

// Every encoded file decodes to the values that dcmtk's decoders, GDCM's or
// (for the layouts of the field) a control file written in the ordinary
// layout hold, and its file information tells the size decoded.
TEST(Decoding, MatchesReferenceDecoders) {
  dicomrefs::BindAllocator();
  std::ifstream manifest(RefFixture("manifest.txt"));
  ASSERT_TRUE(manifest.good());
  std::string enc, ref;
  int lossless, checked = 0;
  std::set<std::string> kinds;
  while (manifest >> enc >> ref >> lossless) {
    SCOPED_TRACE(enc);
    qf::Volume a, b;
    std::string error;
    ASSERT_TRUE(qf::LoadDicom(RefFixture(enc), a, error)) << error;
    ASSERT_TRUE(qf::LoadDicom(RefFixture(ref), b, error)) << error;
    ASSERT_EQ(a.width, b.width);
    ASSERT_EQ(a.height, b.height);
    ASSERT_EQ(a.frames, b.frames);
    ASSERT_EQ(a.channels, b.channels);
    double worst = 0;
    for (size_t i = 0; i < a.grey.size(); ++i) worst = std::max(worst, (double)std::fabs(a.grey[i] - b.grey[i]));
    for (size_t i = 0; i < a.rgb.size(); ++i) worst = std::max(worst, (double)std::abs(a.rgb[i] - b.rgb[i]));
    if (lossless)
      EXPECT_EQ(worst, 0);
    else
      EXPECT_LE(worst, 3) << "lossy decoding differs from dcmtk's by " << worst;
    FileInfoRequest info = {};
    ASSERT_TRUE(qf::ReadDicomInfo(RefFixture(enc), false, &info, error)) << error;
    EXPECT_EQ(info.width, a.width);
    EXPECT_EQ(info.height, a.height);
    EXPECT_EQ(info.info5, a.frames);
    kinds.insert(enc.substr(enc.find('-') + 1));
    ++checked;
  }
  EXPECT_GE(checked, 48);
  for (const char* k : {"implicit.dcm", "explicit.dcm", "bigendian.dcm", "deflated.dcm", "jpegll.dcm", "rle.dcm",
                        "jpegls.dcm", "j2k.dcm", "baseline.dcm", "jpeg-implicit-dataset.dcm", "rle32-un.dcm",
                        "rle32-un-1frame.dcm", "j2k-jp2-boxes.dcm"})
    EXPECT_TRUE(kinds.count(k)) << k;
}

TEST(Decoding, AppliesRescaleAndFileWindow) {
  qf::Volume v;
  std::string error;
  ASSERT_TRUE(qf::LoadDicom(RefFixture("ct16.dcm"), v, error)) << error;
  EXPECT_EQ(v.frames, 3);
  // Stored value at (0,0) of frame 0 is -1000; intercept -1024.
  EXPECT_EQ(v.grey[0], -2024.0f);
  EXPECT_TRUE(v.hasWindow);
  EXPECT_EQ(v.center, 40);
  EXPECT_EQ(v.width_, 400);
  ASSERT_TRUE(qf::LoadDicom(RefFixture("m1.dcm"), v, error));
  EXPECT_TRUE(v.invert);
  ASSERT_TRUE(qf::LoadDicom(RefFixture("g8.dcm"), v, error));
  EXPECT_FALSE(v.invert);
  // Signed 12-bit samples keep their sign (the compressed copies are in the manifest).
  std::ifstream values(RefFixture("ct12s.values"));
  ASSERT_TRUE(qf::LoadDicom(RefFixture("ct12s.dcm"), v, error)) << error;
  size_t i = 0, wrong = 0, negative = 0;
  for (int x; values >> x; ++i) {
    ASSERT_LT(i, v.grey.size());
    wrong += v.grey[i] != (float)x;
    negative += x < 0;
  }
  EXPECT_EQ(i, v.grey.size());
  EXPECT_EQ(wrong, 0u);
  EXPECT_GT(negative, i / 3);
}

// An RT Dose read by GDCM's pixmap reader keeps the dose grid scaling its
// image reader takes (1e-6 here): stored values are 123456 + 70001 i, as
// pydicom reads them at set-up.
TEST(Decoding, RtDoseIsScaledByItsGrid) {
  for (const char* name : {"odd-rle32-un.dcm", "odd-rle32-un-1frame.dcm", "odd-rle32-1frame-ref.dcm"}) {
    SCOPED_TRACE(name);
    qf::Volume v;
    std::string error;
    ASSERT_TRUE(qf::LoadDicom(RefFixture(name), v, error)) << error;
    ASSERT_EQ(v.grey.size(), 64u * v.frames);
    for (size_t i = 0; i < v.grey.size(); ++i)
      ASSERT_EQ(v.grey[i], (float)((123456.0 + 70001.0 * i) * 1e-6)) << i;
  }
}

// A JPEG 2000 stream in the JP2 file format is read as GDCM reads it; one of
// its boxes shorter than a box header (GDCM's walk through the boxes steps
// back by it) or of length 0 before the code stream is refused.
TEST(Decoding, Jp2BoxesAreWhole) {
  const std::vector<uint8_t> good = dicomrefs::Bytes(RefFixture("odd-j2k-jp2-boxes.dcm"));
  const uint8_t signature[12] = {0, 0, 0, 12, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
  const size_t at = (size_t)(std::search(good.begin(), good.end(), signature, signature + 12) - good.begin());
  ASSERT_LT(at, good.size());
  qf::Volume v;
  std::string error;
  ASSERT_TRUE(qf::DecodeDicom(good.data(), good.size(), v, error)) << error;
  // The box after the signature (ftyp): its length set to 4, then to 0.
  for (uint8_t length : {4, 0}) {
    std::vector<uint8_t> bad = good;
    bad[at + 12] = bad[at + 13] = bad[at + 14] = 0;
    bad[at + 15] = length;
    EXPECT_FALSE(qf::DecodeDicom(bad.data(), bad.size(), v, error)) << (int)length;
    EXPECT_NE(error.find("compressed"), std::string::npos) << error;
  }
}

// Native 8-bit samples of fewer stored bits (GDCM's raw codec asserts on
// them; the fuzzer found it): the stored bits of each byte.
TEST(Decoding, EightBitSamplesOfFewerStoredBits) {
  std::vector<uint8_t> d = dicomrefs::Bytes(RefFixture("g8.dcm"));
  const std::vector<uint8_t> raw = dicomrefs::Bytes(RefFixture("g8.raw"));
  ASSERT_FALSE(d.empty());
  for (uint16_t element : {0x0101, 0x0102}) {
    const uint8_t tag[6] = {0x28, 0x00, (uint8_t)element, (uint8_t)(element >> 8), 'U', 'S'};
    auto it = std::search(d.begin(), d.end(), tag, tag + 6);
    ASSERT_NE(it, d.end());
    it[8] = element == 0x0101 ? 2 : 1;  // 2 bits stored, the high bit 1
  }
  qf::Volume v;
  std::string error;
  ASSERT_TRUE(qf::DecodeDicom(d.data(), d.size(), v, error)) << error;
  ASSERT_EQ(v.grey.size(), raw.size());
  for (size_t i = 0; i < raw.size(); ++i) ASSERT_EQ(v.grey[i], (float)(raw[i] & 3)) << i;
}

// 1-bit pictures: each bit a pixel, the lowest bit of each byte first.
TEST(Decoding, OneBitPicturesReadBitByBit) {
  qf::Volume v;
  std::string error;
  ASSERT_TRUE(qf::LoadDicom(RefFixture("bits1.dcm"), v, error)) << error;
  std::ifstream values(RefFixture("bits1.values"));
  size_t i = 0, wrong = 0, ones = 0;
  for (int x; values >> x; ++i) {
    ASSERT_LT(i, v.grey.size());
    wrong += v.grey[i] != (float)x;
    ones += x;
  }
  EXPECT_EQ(i, v.grey.size());
  EXPECT_EQ(wrong, 0u);
  EXPECT_GT(ones, i / 4);
}

// Palettes: 16-bit entries give their high byte (the table's low bytes
// differ from them), as dcm2pnm renders them; a palette whose first mapped
// value is not 0 (GDCM asserts it is) is refused.
TEST(Decoding, PalettesAsDcmtkRendersThem) {
  qf::Volume v;
  std::string error;
  ASSERT_TRUE(qf::LoadDicom(RefFixture("pal16.dcm"), v, error)) << error;
  const std::vector<uint8_t> ppm = dicomrefs::Bytes(RefFixture("pal16.ppm"));
  std::istringstream head(std::string(ppm.begin(), ppm.begin() + std::min<size_t>(ppm.size(), 64)));
  std::string magic;
  int w = 0, h = 0, maxval = 0;
  head >> magic >> w >> h >> maxval;
  ASSERT_EQ(magic, "P6");
  ASSERT_EQ(v.channels, 3);
  ASSERT_EQ((size_t)w * h * 3, v.rgb.size());
  const uint8_t* px = ppm.data() + (size_t)head.tellg() + 1;
  EXPECT_EQ(0, memcmp(px, v.rgb.data(), v.rgb.size()));
  EXPECT_FALSE(qf::LoadDicom(RefFixture("pal-first.dcm"), v, error));
  EXPECT_NE(error.find("palette"), std::string::npos) << error;
}

// Files GDCM reads otherwise than their bytes seem to say (an implicit value
// of 13 bytes of which GDCM takes 10, NumberOfFrames "1e1" and "0x10",
// ACR-NEMA planes) are read, on every path, as gdcminfo and gdcmraw read
// them (gdcm-read.txt); the palette made of the same trick is refused, and
// so is what GDCM's ACR-NEMA reader asserts on.
TEST(Decoding, ReadsWhatGdcmReads) {
  dicomrefs::BindAllocator();
  std::ifstream table(RefFixture("gdcm-read.txt"));
  std::string name, pi;
  int cols, rows, frames, checked = 0;
  while (table >> name >> cols >> rows >> frames >> pi) {
    SCOPED_TRACE(name);
    const std::string path = RefFixture(name);
    qf::Volume v;
    std::string error;
    ASSERT_TRUE(qf::LoadDicom(path, v, error)) << error;
    EXPECT_EQ(v.width, cols);
    EXPECT_EQ(v.height, rows);
    EXPECT_EQ(v.frames, frames);
    EXPECT_EQ(v.invert, pi == "MONOCHROME1");
    // The 8-bit ones, sample by sample.
    const std::vector<uint8_t> raw = dicomrefs::Bytes(path.substr(0, path.size() - 4) + ".gdcmraw");
    if (v.grey.size() == raw.size() || v.grey.size() + 1 == raw.size())
      for (size_t i = 0; i < v.grey.size(); ++i) ASSERT_EQ(v.grey[i], (float)raw[i]) << i;
    for (bool tags : {false, true}) {
      FileInfoRequest info = {};
      ASSERT_TRUE(qf::ReadDicomInfo(path, tags, &info, error)) << error;
      EXPECT_EQ(info.width, cols);
      EXPECT_EQ(info.height, rows);
      EXPECT_EQ(info.info5, frames);
      if (info.tags) dicomrefs::FreeTree(info.tags, info.tagCount);
    }
    qf::SeriesHeader header;
    EXPECT_EQ(qf::ReadSeriesHeader(path, header), frames == 1);
    ++checked;
  }
  EXPECT_GE(checked, 5);
  qf::Volume v;
  std::string error;
  EXPECT_FALSE(qf::LoadDicom(RefFixture("desync-palette.dcm"), v, error));
  EXPECT_NE(error.find("palette"), std::string::npos) << error;
  FileInfoRequest info = {};
  ASSERT_TRUE(qf::ReadDicomInfo(RefFixture("desync-palette.dcm"), false, &info, error)) << error;
  EXPECT_EQ(info.width, 4);
  EXPECT_EQ(info.height, 4);
  // GDCM's reader of data sets without a meta header asserts on three image
  // dimensions without Planes: refused before it.
  EXPECT_FALSE(qf::LoadDicom(RefFixture("acr-no-planes.dcm"), v, error));
  EXPECT_NE(error.find("ACR-NEMA"), std::string::npos) << error;
}

// The tag tree of the character-set file: every kind of value, signed and
// floating ones included, as the Windows library test sees it too.
TEST(DicomTags, Utf8TreeHoldsEveryKindOfValue) {
  dicomrefs::BindAllocator();
  FileInfoRequest req = {};
  std::string error;
  ASSERT_TRUE(qf::ReadDicomInfo(RefFixture("utf8.dcm"), true, &req, error)) << error;
  for (const DicomTagExpectation& x : kUtf8TagTree) {
    const TagRecord* r = dicomrefs::FindRecord(req.tags, req.tagCount, x.group, x.element);
    ASSERT_NE(r, nullptr) << std::hex << x.group << "," << x.element;
    EXPECT_EQ(r->vr, x.vr) << std::hex << x.group << "," << x.element;
    EXPECT_STREQ(r->text, x.utf8) << std::hex << x.group << "," << x.element;
  }
  const TagRecord* seq = dicomrefs::FindRecord(req.tags, req.tagCount, 0x0008, 0x1140);
  ASSERT_NE(seq, nullptr);
  ASSERT_EQ(seq->childCount, 2);
  const TagRecord* item0 = &seq->children[0];
  const TagRecord* first = dicomrefs::FindRecord(item0->children, item0->childCount, 0x0008, 0x1150);
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(first->text, kUtf8FirstReference);
  const TagRecord* inner = dicomrefs::FindRecord(item0->children, item0->childCount, 0x0040, 0xA730);
  ASSERT_NE(inner, nullptr);
  ASSERT_EQ(inner->childCount, 1);
  const TagRecord* text =
      dicomrefs::FindRecord(inner->children[0].children, inner->children[0].childCount, 0x0040, 0xA160);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->vr, QF_VR_UT);
  EXPECT_STREQ(text->text, kUtf8InnerText);
  const TagRecord* second =
      dicomrefs::FindRecord(seq->children[1].children, seq->children[1].childCount, 0x0008, 0x1150);
  ASSERT_NE(second, nullptr);
  EXPECT_STREQ(second->text, kUtf8SecondReference);
  EXPECT_NE(dicomrefs::FindRecord(req.tags, req.tagCount, 0xFFFC, 0xFFFC), nullptr);
  dicomrefs::FreeTree(req.tags, req.tagCount);
}
