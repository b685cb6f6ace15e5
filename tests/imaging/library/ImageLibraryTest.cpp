// The binding to the image library: loading and its failure paths, convert
// requests and tag trees, against a stand-in library and against Quillfen.dll.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "imaging/library/ImageLibrary.h"
#include "tests/modules/quillfen/DicomTagTable.h"
#include "afxapp.h"

namespace {

CString TestFolder() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  CString p(path);
  return p.Left(p.ReverseFind(L'\\'));
}

CString FromUnix(const char* env, const wchar_t* tail) {
  const char* b = getenv(env);
  CString p = CString("Z:") + CString(b ? b : "") + tail;
  p.Replace(L'/', L'\\');
  return p;
}

CString Fixture(const wchar_t* name) { return FromUnix("RS_BINARY_DIR", L"/testdata/quillfen/") + name; }

template <typename T>
T Export(HMODULE m, const char* name) {
  return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

struct BoxCounter {
  int count = 0;
  CString text;
  BoxCounter() {
    AfxSetMessageBoxHandler([this](LPCTSTR t, UINT) {
      ++count;
      text = t;
      return IDOK;
    });
  }
  ~BoxCounter() { AfxSetMessageBoxHandler(nullptr); }
};

// The stand-in library, held loaded by the test so its counters survive.
class Fake : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = TestFolder() + L"\\qf_fake_module.dll";
    held_ = LoadLibraryW(path_);
    ASSERT_NE(held_, nullptr);
    setup_ = Export<void (*)(int, int, int)>(held_, "FakeSetup");
    releases_ = Export<int (*)()>(held_, "FakeReleases");
    calls_ = Export<int (*)()>(held_, "FakeConvertCalls");
    setup_(0, 0, 1);
  }
  void TearDown() override {
    FreeLibrary(held_);
    // The binding kept no reference of its own.
    EXPECT_EQ(GetModuleHandleW(path_), nullptr);
  }
  CString path_;
  HMODULE held_ = nullptr;
  void (*setup_)(int, int, int) = nullptr;
  int (*releases_)() = nullptr;
  int (*calls_)() = nullptr;
};

TEST(Loader, MissingLibraryShowsOneSystemMessage) {
  BoxCounter boxes;
  CImageLibrary lib;  // no Quillfen.dll beside the test program
  EXPECT_EQ(lib.Open(), -1);
  EXPECT_EQ(boxes.count, 1);
  EXPECT_FALSE(boxes.text.IsEmpty());
  EXPECT_FALSE(lib.IsLoaded());
  EXPECT_EQ(lib.m_hModule, nullptr);
  // Without a table every call fails.
  EXPECT_FALSE(lib.CanReadFile(L"x.dcm"));
  CImageFileInfo info;
  EXPECT_EQ(lib.ReadFileInfo(L"x.dcm", info), -1);
  EXPECT_EQ(lib.CreateViewerWindow(nullptr), nullptr);
}

TEST_F(Fake, FailedInitialisationReleasesAndUnloadsOnce) {
  BoxCounter boxes;
  setup_(1, 0, 1);
  {
    CImageLibraryLoader loader;
    EXPECT_EQ(loader.Load(path_), -1);
    EXPECT_EQ(releases_(), 1);
    EXPECT_FALSE(loader.IsLoaded());
    EXPECT_EQ(loader.m_hModule, nullptr);
  }
  EXPECT_EQ(releases_(), 1);
  EXPECT_EQ(boxes.count, 0);
}

TEST_F(Fake, LoadsAndReleasesOnDestruction) {
  {
    CImageLibraryLoader loader;
    ASSERT_EQ(loader.Load(path_), 0);
    EXPECT_EQ(loader.m_nModuleVersion, 12345);
    EXPECT_EQ(loader.GetTable()->pfnAlloc, &LibraryAlloc);
    EXPECT_EQ(releases_(), 0);
  }
  EXPECT_EQ(releases_(), 1);
}

TEST_F(Fake, ConvertRequestCrossesAsRecords) {
  CImageLibraryLoader loader;
  ASSERT_EQ(loader.Load(path_), 0);
  CImageConvertRequest req;
  // No inputs: the library is not called.
  EXPECT_EQ(loader.ConvertFiles(req), -1);
  EXPECT_EQ(calls_(), 0);

  req.AddInput(L"C:\\in\\a.dcm", 0, -1);
  req.AddInput(L"C:\\in\\b.dcm", 1010, 3);
  req.SetOutputPath(L"C:\\Temp\\~Wu12.tmp");
  req.m_nOutputFormat = 1010;
  req.m_nMode = 3;
  CImageConvertTag* excluded = new CImageConvertTag;
  excluded->m_nFlags = 0x00000001;
  req.m_tags.Add(excluded);
  const long before = LibraryLiveBlocks();
  ASSERT_EQ(loader.ConvertFiles(req), 0);
  auto last = Export<const ConvertRequest* (*)()>(held_, "FakeLastRequest")();
  auto part = Export<const char* (*)(int)>(held_, "FakeLastPart");
  EXPECT_EQ(last->inputCount, 2);
  EXPECT_EQ(last->outputFormat, 1010);
  EXPECT_EQ(last->outputOption, 1);
  EXPECT_EQ(last->mode, 1);  // no included tag
  EXPECT_EQ(req.m_nMode, 1);
  EXPECT_EQ(last->tags, nullptr);
  EXPECT_EQ(last->text, nullptr);
  EXPECT_STREQ(part(0), "C:\\Temp");
  EXPECT_STREQ(part(1), "~Wu12");
  EXPECT_STREQ(part(2), ".tmp");
  // Results: the unterminated name is read no further than its field.
  ASSERT_EQ(req.m_results.GetSize(), 2);
  EXPECT_EQ(req.m_results[0]->m_strFileName, CString(L"first.bmp"));
  EXPECT_EQ(req.m_results[1]->m_strFileName.GetLength(), 260);
  EXPECT_EQ(req.m_results[1]->m_nValue, 7);
  EXPECT_EQ(LibraryLiveBlocks(), before);

  // Included tags are sent, texts cut to their fields.
  req.m_nMode = 3;
  CImageConvertTag* tag = new CImageConvertTag;
  tag->m_nFlags = CImageConvertTag::INCLUDE;
  tag->m_wGroup = 0x0010;
  tag->m_wElement = 0x0010;
  tag->m_strText1 = CString(L'x', 200);
  tag->m_strText2 = L"value";
  req.m_tags.Add(tag);
  ASSERT_EQ(loader.ConvertFiles(req), 0);
  int count = 0;
  const ConvertTag* sent = Export<const ConvertTag* (*)(int*)>(held_, "FakeFirstTag")(&count);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(sent->group, 0x0010);
  EXPECT_EQ(strlen(sent->text1), 128u);
  EXPECT_STREQ(sent->text2, "value");
  EXPECT_EQ(req.m_nMode, 3);

  // A path without a dot has no extension, sent as null.
  req.SetOutputPath(L"C:\\Temp\\noext");
  ASSERT_EQ(loader.ConvertFiles(req), 0);
  EXPECT_STREQ(part(2), "<null>");
}

TEST_F(Fake, ConvertFailuresAndMissingOutputs) {
  CImageLibraryLoader loader;
  ASSERT_EQ(loader.Load(path_), 0);
  CImageConvertRequest req;
  req.SetInput(L"C:\\x.bmp", 1010, -1);
  const long before = LibraryLiveBlocks();
  setup_(0, 0, 0);  // success without an output array
  EXPECT_EQ(loader.ConvertFiles(req), -1);
  setup_(0, 5, 1);  // failure with an output array: freed, result kept
  EXPECT_EQ(loader.ConvertFiles(req), 5);
  EXPECT_EQ(req.m_results.GetSize(), 0);
  EXPECT_EQ(LibraryLiveBlocks(), before);
}

TEST_F(Fake, TagRecordsAreReadBoundedAndAlwaysFreed) {
  CImageLibraryLoader loader;
  ASSERT_EQ(loader.Load(path_), 0);
  const long before = LibraryLiveBlocks();
  {
    CImageFileInfo info;  // no tags asked for, yet the library returns some
    ASSERT_EQ(loader.ReadFileInfo(L"any", info), 0);
    EXPECT_EQ(info.GetWidth(), 11);
    EXPECT_EQ(info.GetHeight(), 22);
    EXPECT_EQ(info.m_tags.GetSize(), 0);
    EXPECT_EQ(info.m_nCodePage, 0);
  }
  EXPECT_EQ(LibraryLiveBlocks(), before);
  {
    CImageFileInfo info;
    info.m_nFlags = 1;
    ASSERT_EQ(loader.ReadFileInfo(L"any", info), 0);
    EXPECT_EQ(info.m_nCodePage, 28591);
    ASSERT_EQ(info.m_tags.GetSize(), 3);
    const CTagNode* name = info.m_tags.GetNode(1);
    ASSERT_EQ(name->m_strValue.GetLength(), 1028);
    EXPECT_EQ(name->m_strValue[0], (wchar_t)0x00E9);
    const CTagNode* seq = info.m_tags.GetNode(2);
    ASSERT_NE(seq->m_pChildren, nullptr);
    ASSERT_EQ(seq->m_pChildren->GetSize(), 2);
    const CTagNode* item = seq->m_pChildren->GetNode(1);
    ASSERT_NE(item->m_pChildren, nullptr);
    EXPECT_EQ(item->m_pChildren->GetNode(0)->m_strValue, CString(L"1.2"));
  }
  EXPECT_EQ(LibraryLiveBlocks(), before);
  CImageFileInfo failed;
  failed.m_nFlags = 1;
  EXPECT_EQ(loader.ReadFileInfo(L"fail", failed), -1);
  EXPECT_EQ(failed.m_tags.GetSize(), 0);
  EXPECT_EQ(LibraryLiveBlocks(), before);
}

TEST(Charset, TableAndDecoding) {
  EXPECT_EQ(DicomCharsetToCodePage("ISO_IR 100"), 28591);
  EXPECT_EQ(DicomCharsetToCodePage("ISO_IR 192"), 65001);
  EXPECT_EQ(DicomCharsetToCodePage("ISO_IR 6"), 65001);
  EXPECT_EQ(DicomCharsetToCodePage("ISO_IR 148"), 28599);
  EXPECT_EQ(DicomCharsetToCodePage("ISO_IR 100\\ISO 2022 IR 87"), 0);
  EXPECT_EQ(DicomCharsetToCodePage("iso_ir 100"), 0);
  EXPECT_EQ(DicomCharsetToCodePage(nullptr), 0);
  CString out;
  EXPECT_EQ(DecodeCodePageText("Ren\xE9", 28591, out), 5);
  EXPECT_EQ(out, CString(L"Ren\u00e9"));
  EXPECT_EQ(DecodeCodePageText("\xE1\xE2", 28597, out), 3);  // Greek: two letters
  EXPECT_EQ(out, CString(L"\u03b1\u03b2"));
  EXPECT_EQ(DecodeCodePageText(nullptr, 0, out), -1);
  EXPECT_TRUE(out.IsEmpty());
}

// Quillfen.dll itself, with files that dcmtk made.
class Real : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(lib_.Load(FromUnix("RS_BINARY_DIR", L"/bin/Quillfen.dll")), 0); }
  CImageLibraryLoader lib_;
};

const CTagNode* Find(const CTagNodeArray& a, WORD g, WORD e) {
  for (INT_PTR i = 0; i < a.GetSize(); ++i)
    if (a.GetNode(i)->m_wGroup == g && a.GetNode(i)->m_wElement == e) return a.GetNode(i);
  return nullptr;
}

TEST_F(Real, TagTreeInUtf8WithSequencesAndEveryKindOfValue) {
  CImageFileInfo info;
  info.m_nFlags = 1;
  const long before = LibraryLiveBlocks();
  ASSERT_EQ(lib_.ReadFileInfo(Fixture(L"utf8.dcm"), info), 0);
  EXPECT_EQ(LibraryLiveBlocks(), before);
  EXPECT_EQ(info.m_nCodePage, 65001);
  EXPECT_EQ(info.GetWidth(), 2);
  // The table the native readers test compares too.
  for (const DicomTagExpectation& x : kUtf8TagTree) {
    const CTagNode* n = Find(info.m_tags, x.group, x.element);
    ASSERT_NE(n, nullptr) << std::hex << x.group << "," << x.element;
    EXPECT_EQ(n->m_nVR, x.vr) << std::hex << x.group << "," << x.element;
    CString value;
    DecodeCodePageText(x.utf8, 65001, value);
    EXPECT_EQ(n->m_strValue, value) << std::hex << x.group << "," << x.element;
  }
  // Every element of the file, the padding after the pixel data too.
  EXPECT_NE(Find(info.m_tags, 0xFFFC, 0xFFFC), nullptr);
  const CTagNode* seq = Find(info.m_tags, 0x0008, 0x1140);
  ASSERT_NE(seq, nullptr);
  EXPECT_EQ(seq->m_nVR, 19);
  ASSERT_NE(seq->m_pChildren, nullptr);
  ASSERT_EQ(seq->m_pChildren->GetSize(), 2);
  const CTagNode* item0 = seq->m_pChildren->GetNode(0);
  ASSERT_NE(item0->m_pChildren, nullptr);
  EXPECT_EQ(Find(*item0->m_pChildren, 0x0008, 0x1150)->m_strValue, CString(L"1.2.3"));  // kUtf8FirstReference
  const CTagNode* inner = Find(*item0->m_pChildren, 0x0040, 0xA730);
  ASSERT_NE(inner, nullptr);
  ASSERT_NE(inner->m_pChildren, nullptr);
  const CTagNode* text = Find(*inner->m_pChildren->GetNode(0)->m_pChildren, 0x0040, 0xA160);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->m_nVR, 27);
  EXPECT_EQ(text->m_strValue, CString(L"Inner \u00e5 text"));
  EXPECT_EQ(Find(*seq->m_pChildren->GetNode(1)->m_pChildren, 0x0008, 0x1150)->m_strValue, CString(L"1.2.4"));
}

TEST_F(Real, TagTreeInLatin1) {
  CImageFileInfo info;
  info.m_nFlags = 1;
  ASSERT_EQ(lib_.ReadFileInfo(Fixture(L"latin1.dcm"), info), 0);
  EXPECT_EQ(info.m_nCodePage, 28591);
  const CTagNode* name = Find(info.m_tags, 0x0010, 0x0010);
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->m_strValue, CString(L"M\u00fcller^Ren\u00e9"));
}

TEST_F(Real, ConvertsFramesAndWritesDicomThroughTheBinding) {
  EXPECT_TRUE(lib_.CanReadFile(Fixture(L"ct16-rle.dcm")));
  EXPECT_FALSE(lib_.CanReadFile(Fixture(L"pic.bmp")));
  wchar_t tmp[MAX_PATH], name[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  GetTempFileNameW(tmp, L"~Wu", 0, name);
  CImageConvertRequest req;
  req.AddInput(Fixture(L"ct16-rle.dcm"), 0, -1);
  req.SetOutputPath(name);
  req.m_nOutputFormat = 1010;
  ASSERT_EQ(lib_.ConvertFiles(req), 0);
  ASSERT_EQ(req.m_results.GetSize(), 3);
  CString first = req.m_strOutputFolder + L"\\" + req.m_results[0]->m_strFileName;
  EXPECT_NE(GetFileAttributesW(first), INVALID_FILE_ATTRIBUTES);
  // One frame back to DICOM at the exact path.
  CImageConvertRequest back;
  CString dcm = req.m_strOutputFolder + L"\\back frame.dcm";
  back.SetInput(first, 1010, -1);
  back.SetOutputPath(dcm);
  back.m_nOutputFormat = 2000;
  ASSERT_EQ(lib_.ConvertFiles(back), 0);
  CImageFileInfo info;
  ASSERT_EQ(lib_.ReadFileInfo(dcm, info), 0);
  EXPECT_EQ(info.GetWidth(), 64);
  EXPECT_EQ(info.GetHeight(), 48);
  DeleteFileW(dcm);
  req.DeleteOutputFiles();
  EXPECT_EQ(GetFileAttributesW(first), INVALID_FILE_ATTRIBUTES);
  DeleteFileW(name);
}

}  // namespace
