// Quillfen.dll through its exported table, and its DICOM decoding against
// files and decodings made by dcmtk and GDCM at set-up.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "modules/quillfen/QfCore.h"
#include "interfaces/QuillfenRecords.h"
#include "tests/modules/quillfen/DicomReferenceTests.h"

namespace {

std::atomic<long> g_live{0};
void* QF_CALL TestAlloc(size_t n) {
  if (!n) return nullptr;
  ++g_live;
  return malloc(n);
}
int QF_CALL TestFree(void* p) {
  if (!p) return -1;
  --g_live;
  free(p);
  return 0;
}

std::string WinPath(const std::string& unixPath) {
  std::string p = "Z:" + unixPath;
  std::replace(p.begin(), p.end(), '/', '\\');
  return p;
}

std::string Fixtures() {
  const char* b = getenv("RS_BINARY_DIR");
  return b ? WinPath(std::string(b) + "/testdata/quillfen") : std::string();
}

}  // namespace

// The shared decoding tests' fixtures (DicomReferenceTests.h).
std::string RefFixture(const std::string& name) { return Fixtures() + "\\" + name; }

namespace {

std::string ProgramDll() {
  const char* b = getenv("RS_BINARY_DIR");
  return b ? WinPath(std::string(b) + "/bin/Quillfen.dll") : std::string();
}

std::string TempFolder(const char* name) {
  char tmp[MAX_PATH];
  GetTempPathA(MAX_PATH, tmp);
  std::string dir = std::string(tmp) + name + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

std::vector<std::string> ListFolder(const std::string& dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(fd.cFileName);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

void EmptyFolder(const std::string& dir) {
  for (const std::string& n : ListFolder(dir)) DeleteFileA((dir + "\\" + n).c_str());
}

class Module : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    module_ = LoadLibraryA(ProgramDll().c_str());
    ASSERT_NE(module_, nullptr) << ProgramDll();
    auto get = reinterpret_cast<QfGetModuleInterfaceFn>(
        reinterpret_cast<void*>(GetProcAddress(module_, "GetModuleInterface")));
    ASSERT_NE(get, nullptr);
    table_ = get();
    ASSERT_NE(table_, nullptr);
    table_->pfnAlloc = TestAlloc;
    table_->pfnFree = TestFree;
    ASSERT_EQ(table_->pfnInitialize(), 0);
  }
  static void TearDownTestSuite() {
    if (table_) table_->pfnRelease();
    if (module_) FreeLibrary(module_);
  }

  int ToBmp(const std::string& folder, const char* name, const std::vector<std::string>& paths,
            std::vector<std::string>* names, int frame = -1) {
    std::vector<ConvertInput> in;
    for (const std::string& p : paths) in.push_back({p.c_str(), 0, 0, frame});
    ConvertRequest r = {};
    r.inputCount = (int)in.size();
    r.inputs = in.data();
    r.outputFolder = folder.c_str();
    r.outputName = name;
    r.outputExt = ".tmp";
    r.outputFormat = QF_FORMAT_BMP;
    r.outputOption = 1;
    const int rc = table_->pfnConvertFiles(&r);
    if (rc == 0) {
      EXPECT_NE(r.outputs, nullptr);
      for (int i = 0; names && i < r.outputCount; ++i)
        names->push_back(std::string(r.outputs[i].name, strnlen(r.outputs[i].name, 260)));
    } else {
      EXPECT_EQ(r.outputs, nullptr);
    }
    TestFree(r.outputs);
    return rc;
  }

  static HMODULE module_;
  static ModuleInterface* table_;
};
HMODULE Module::module_ = nullptr;
ModuleInterface* Module::table_ = nullptr;

TEST_F(Module, RecognisesDicomByContentAndNothingElse) {
  const std::string dir = Fixtures(), tmp = TempFolder("qfcan");
  // A DICOM file under another name, and a raw data set without the preamble.
  CopyFileA((dir + "\\g8.dcm").c_str(), (tmp + "\\picture.jpg").c_str(), FALSE);
  std::ifstream in(dir + "\\g8-implicit.dcm", std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // Skip preamble and the meta group: the data set starts with the first group-8 element.
  size_t at = all.find(std::string("\x08\x00", 2), 132);
  ASSERT_NE(at, std::string::npos);
  std::ofstream((tmp + "\\raw-dataset").c_str(), std::ios::binary) << all.substr(at);
  EXPECT_EQ(table_->pfnCanReadFile((tmp + "\\picture.jpg").c_str()), 1);
  EXPECT_EQ(table_->pfnCanReadFile((tmp + "\\raw-dataset").c_str()), 1);
  EXPECT_EQ(table_->pfnCanReadFile((dir + "\\mr12-j2k.dcm").c_str()), 1);
  EXPECT_EQ(table_->pfnCanReadFile((dir + "\\pic.bmp").c_str()), 0);
  EXPECT_EQ(table_->pfnCanReadFile(dir.c_str()), 0);
  EXPECT_EQ(table_->pfnCanReadFile((dir + "\\missing.dcm").c_str()), 0);
  EXPECT_EQ(table_->pfnCanReadFile(""), 0);
  EXPECT_EQ(table_->pfnCanReadFile(nullptr), 0);
  // The raw data set decodes like the file it came from.
  std::vector<std::string> a, b;
  ASSERT_EQ(ToBmp(tmp, "raw", {tmp + "\\raw-dataset"}, &a), 0);
  ASSERT_EQ(ToBmp(tmp, "full", {dir + "\\g8.dcm"}, &b), 0);
  std::ifstream fa(tmp + "\\" + a[0], std::ios::binary), fb(tmp + "\\" + b[0], std::ios::binary);
  std::string sa((std::istreambuf_iterator<char>(fa)), {}), sb((std::istreambuf_iterator<char>(fb)), {});
  EXPECT_FALSE(sa.empty());
  EXPECT_EQ(sa, sb);
  fa.close();
  fb.close();
  EmptyFolder(tmp);
}

TEST_F(Module, WritesFramesInOrderUnderUniqueNames) {
  const std::string dir = Fixtures(), tmp = TempFolder("qfframes");
  EmptyFolder(tmp);
  std::vector<std::string> names;
  ASSERT_EQ(ToBmp(tmp, "~Wu1", {dir + "\\ct16.dcm", dir + "\\g8.dcm"}, &names), 0);
  ASSERT_EQ(names.size(), 4u);
  EXPECT_EQ(ListFolder(tmp), std::vector<std::string>(names.begin(), names.end()));
  for (size_t i = 1; i < names.size(); ++i) EXPECT_LT(names[i - 1], names[i]);
  // One frame only.
  std::vector<std::string> one;
  ASSERT_EQ(ToBmp(tmp, "~Wu1", {dir + "\\ct16.dcm"}, &one, 2), 0);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).count(one[0]), 0u);
  EmptyFolder(tmp);
  EXPECT_EQ(g_live.load(), 0);
}

// What the library claims it converts: wide colour samples and a dose grid
// with a tiny rescale slope included.
TEST_F(Module, ClaimedFilesConvert) {
  const std::string dir = Fixtures(), tmp = TempFolder("qfclaim");
  EmptyFolder(tmp);
  for (const char* name : {"rgb32.dcm", "rgb16.dcm", "rgb16-rle.dcm", "dose.dcm"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(table_->pfnCanReadFile((dir + "\\" + name).c_str()), 1);
    std::vector<std::string> names;
    EXPECT_EQ(ToBmp(tmp, "claim", {dir + "\\" + name}, &names), 0);
    EXPECT_EQ(names.size(), 1u);
    EmptyFolder(tmp);
  }
  EXPECT_EQ(g_live.load(), 0);
}

TEST_F(Module, FailedRequestLeavesNothingBehind) {
  const std::string dir = Fixtures(), tmp = TempFolder("qffail");
  EmptyFolder(tmp);
  // A truncated DICOM file after a good one: no frame of either may remain.
  std::ifstream in(dir + "\\mr12.dcm", std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), {});
  std::string cut = TempFolder("qfcut") + "\\cut.dcm";
  std::ofstream(cut.c_str(), std::ios::binary) << all.substr(0, all.size() - 3000);
  EXPECT_NE(ToBmp(tmp, "x", {dir + "\\g8.dcm", cut}, nullptr), 0);
  EXPECT_NE(ToBmp(tmp, "x", {dir + "\\manifest.txt"}, nullptr), 0);
  EXPECT_NE(ToBmp(tmp + "\\no-such-folder", "x", {dir + "\\g8.dcm"}, nullptr), 0);
  EXPECT_NE(ToBmp(tmp, "x", {dir + "\\g8.dcm"}, nullptr, 5), 0);
  EXPECT_TRUE(ListFolder(tmp).empty());
  EXPECT_EQ(g_live.load(), 0);
}

TEST_F(Module, ConcurrentRequestsDoNotCollide) {
  const std::string dir = Fixtures(), tmp = TempFolder("qfthreads");
  EmptyFolder(tmp);
  const char* inputs[] = {"ct16-rle.dcm", "mr12-jpegls.dcm", "rgb-j2k.dcm", "g8-jpegll.dcm"};
  std::vector<std::vector<std::string>> names(8);
  std::vector<int> results(8, -1);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&, t] {
      for (int k = 0; k < 3; ++k) {
        std::vector<std::string> n;
        results[t] = ToBmp(tmp, "same", {dir + "\\" + inputs[t % 4]}, &n);
        if (results[t] != 0) return;
        names[t].insert(names[t].end(), n.begin(), n.end());
      }
    });
  for (auto& th : threads) th.join();
  std::set<std::string> all;
  size_t total = 0;
  for (int t = 0; t < 8; ++t) {
    EXPECT_EQ(results[t], 0);
    total += names[t].size();
    all.insert(names[t].begin(), names[t].end());
  }
  EXPECT_EQ(all.size(), total);
  EXPECT_EQ(ListFolder(tmp).size(), total);
  EmptyFolder(tmp);
}

TEST_F(Module, FileInformation) {
  const std::string dir = Fixtures();
  FileInfoRequest q = {};
  ASSERT_EQ(table_->pfnReadFileInfo((dir + "\\ct16.dcm").c_str(), &q), 0);
  EXPECT_EQ(q.width, 64);
  EXPECT_EQ(q.height, 48);
  EXPECT_EQ(q.tags, nullptr);
  q = {};
  ASSERT_EQ(table_->pfnReadFileInfo((dir + "\\pic.bmp").c_str(), &q), 0);
  EXPECT_EQ(q.width, 40);
  EXPECT_EQ(q.height, 30);
  q = {};
  EXPECT_NE(table_->pfnReadFileInfo((dir + "\\missing.dcm").c_str(), &q), 0);
  EXPECT_NE(table_->pfnReadFileInfo("", &q), 0);
  q = {};
  q.flags = QF_FILEINFO_TAGS;
  ASSERT_EQ(table_->pfnReadFileInfo((dir + "\\utf8.dcm").c_str(), &q), 0);
  ASSERT_GT(q.tagCount, 10);
  ASSERT_NE(q.tags, nullptr);
  EXPECT_GT(g_live.load(), 0);
  // Free the tree as a program would.
  std::function<void(TagRecord*, int)> release = [&](TagRecord* r, int n) {
    for (int i = 0; i < n; ++i)
      if (r[i].children) release(r[i].children, r[i].childCount);
    TestFree(r);
  };
  release(q.tags, q.tagCount);
  EXPECT_EQ(g_live.load(), 0);
}

TEST_F(Module, QueryListAndReleaseAreSafeToRepeat) {
  ListBuffer list = {};
  ASSERT_EQ(table_->pfnQueryList(0, &list), 0);
  EXPECT_GT(list.count, 0);
  ASSERT_NE(list.buffer, nullptr);
  TestFree(list.buffer);
  EXPECT_EQ(table_->pfnRelease(), 0);
  EXPECT_EQ(table_->pfnRelease(), 0);
  EXPECT_EQ(table_->pfnInitialize(), 0);
}

}  // namespace

namespace {

// Volumes in the other formats (some written by teem's unu and minc-tools'
// rawtominc) read to the values they were made from.
TEST_F(Module, ReadsOtherMedicalFormats) {
  const std::string dir = Fixtures() + "\\formats";
  int checked = 0;
  std::set<std::string> seen;
  for (const std::string& name : ListFolder(dir)) {
    if (name.size() < 9 || name.compare(name.size() - 9, 9, ".expected") != 0) continue;
    const std::string file = dir + "\\" + name.substr(0, name.size() - 9);
    SCOPED_TRACE(file);
    std::ifstream in(dir + "\\" + name, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GE(bytes.size(), 12u);
    int32_t shape[3];  // frames, rows, columns
    memcpy(shape, bytes.data(), 12);
    std::vector<float> expected((bytes.size() - 12) / 4);
    memcpy(expected.data(), bytes.data() + 12, expected.size() * 4);
    EXPECT_EQ(table_->pfnCanReadFile(file.c_str()), 1);
    qf::Volume v;
    std::string error;
    ASSERT_TRUE(qf::LoadVolume(file, v, error)) << error;
    EXPECT_EQ(std::vector<int>({v.frames, v.height, v.width}), std::vector<int>(shape, shape + 3));
    EXPECT_EQ(v.grey, expected);
    seen.insert(qf::Extension(file));
    ++checked;
  }
  EXPECT_GE(checked, 10);
  for (const char* ext : {".mha", ".mhd", ".nii", ".nii.gz", ".hdr", ".img", ".nrrd"})
    EXPECT_TRUE(seen.count(ext)) << ext;
  // What cannot be shown is not claimed.
  for (const std::string& name : ListFolder(dir + "\\refused")) {
    const std::string file = dir + "\\refused\\" + name;
    EXPECT_EQ(table_->pfnCanReadFile(file.c_str()), 0) << file;
    qf::Volume v;
    std::string error;
    EXPECT_FALSE(qf::LoadVolume(file, v, error)) << file;
  }
  // Frames come out as files like DICOM frames do.
  const std::string tmp = TempFolder("qfformats");
  EmptyFolder(tmp);
  std::vector<std::string> names;
  ASSERT_EQ(ToBmp(tmp, "v", {dir + "\\float.nii.gz"}, &names), 0);
  EXPECT_EQ(names.size(), 3u);
  EmptyFolder(tmp);
}

TEST_F(Module, DamagedVolumesFailCleanly) {
  const std::string dir = Fixtures() + "\\formats", tmp = TempFolder("qfdamaged");
  EmptyFolder(tmp);
  auto cut = [&](const std::string& from, const std::string& to, size_t keep) {
    std::ifstream in(dir + "\\" + from, std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), {});
    std::ofstream(tmp + "\\" + to, std::ios::binary) << all.substr(0, std::min(keep, all.size()));
  };
  cut("scaled.nii", "cut.nii", 600);
  cut("plain.nrrd", "cut.nrrd", 120);
  cut("packed.mha", "cut.mha", 150);
  cut("detached.mhd", "orphan.mhd", 1000);  // its data file is not beside it
  cut("float.nii.gz", "cut.nii.gz", 100);
  if (GetFileAttributesA((dir + "\\rawtominc.mnc").c_str()) != INVALID_FILE_ATTRIBUTES)
    cut("rawtominc.mnc", "cut.mnc", 900);
  for (const std::string& name : ListFolder(tmp)) {
    SCOPED_TRACE(name);
    qf::Volume v;
    std::string error;
    EXPECT_FALSE(qf::LoadVolume(tmp + "\\" + name, v, error));
    EXPECT_FALSE(error.empty());
  }
  // A file whose raw samples are cut short or missing is not claimed either.
  for (const char* name : {"cut.nii", "cut.nrrd", "orphan.mhd"})
    EXPECT_EQ(table_->pfnCanReadFile((tmp + "\\" + name).c_str()), 0) << name;
  std::vector<std::string> names;
  EXPECT_NE(ToBmp(tmp, "v", {tmp + "\\cut.nii"}, &names), 0);
  EmptyFolder(tmp);
}

}  // namespace
