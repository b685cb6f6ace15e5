// Recent lists against the registry of the test prefix: what is written is
// read back with the plain registry functions, and registry contents made
// with them are read by the list.
#include <gtest/gtest.h>

#include <vector>

#include "foundation/RecentList.h"

namespace {
const wchar_t kAppKey[] = L"Software\\Morrowtide\\FieldsRecentTest";

class RecentListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey);
    m_app.SetRegistryKey(L"Morrowtide");
  }
  void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey); }

  static CString KeyPath(LPCTSTR section) { return CString(kAppKey) + L"\\" + section; }
  static bool KeyExists(LPCTSTR section) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath(section), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
  }
  // Every value of a key as name=text, in the order the registry lists them.
  static std::vector<CString> Values(LPCTSTR section) {
    std::vector<CString> out;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath(section), 0, KEY_READ, &key) != ERROR_SUCCESS) return out;
    for (DWORD i = 0;; ++i) {
      wchar_t name[64] = {0}, data[512] = {0};
      DWORD nameLen = 64, dataSize = sizeof(data), type = 0;
      if (::RegEnumValueW(key, i, name, &nameLen, nullptr, &type, (LPBYTE)data, &dataSize) != ERROR_SUCCESS) break;
      EXPECT_EQ((DWORD)REG_SZ, type);
      out.push_back(CString(name) + L"=" + data);
    }
    ::RegCloseKey(key);
    return out;
  }
  static void SetValue(LPCTSTR section, LPCTSTR name, LPCTSTR text) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath(section), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
    ::RegSetValueExW(key, name, 0, REG_SZ, (const BYTE*)text, (DWORD)((wcslen(text) + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
  }
  static std::vector<CString> Entries(const CRecentStringList& list) {
    std::vector<CString> out;
    for (int i = 0; i < list.GetCount(); ++i) out.push_back(list.GetAt(i));
    return out;
  }
  static void Configure(CRecentStringList& list, LPCTSTR section, int max) {
    list.m_strSection = section;
    list.m_strEntryFormat = L"%02d";
    list.m_nMaxCount = max;
  }

  CWinApp m_app{L"FieldsRecentTest"};
};

TEST_F(RecentListTest, SaveAndLoadRoundTripThroughTheRegistry) {
  CRecentList list;
  Configure(list, L"Recent\\OutFiles", 20);
  list.Add(L"C:\\Videos\\knee.mp4");
  list.Add(L"  C:\\Videos\\head.avi  ");  // blanks around are dropped
  list.Add(L"   ");                       // blanks only: nothing
  list.Add(L"D:\\Out\\spine.wmv");
  list.WriteList();
  EXPECT_EQ((std::vector<CString>{L"01=D:\\Out\\spine.wmv", L"02=C:\\Videos\\head.avi", L"03=C:\\Videos\\knee.mp4"}),
            Values(L"Recent\\OutFiles"));

  CRecentList again;
  Configure(again, L"Recent\\OutFiles", 20);
  again.ReadList();
  EXPECT_EQ(Entries(list), Entries(again));
}

TEST_F(RecentListTest, KeepsAtMostTheMaximumAndMovesRepeatsToTheTop) {
  CRecentList list;
  Configure(list, L"Recent\\InFiles", 20);
  for (int i = 1; i <= 25; ++i) {
    CString path;
    path.Format(L"C:\\In\\clip%02d.mp4", i);
    list.Add(path);
  }
  ASSERT_EQ(20, list.GetCount());
  EXPECT_STREQ(L"C:\\In\\clip25.mp4", list.GetAt(0));
  EXPECT_STREQ(L"C:\\In\\clip06.mp4", list.GetAt(19));  // the five oldest fell off

  list.Add(L"C:\\In\\clip10.mp4");  // already listed: moves up, no duplicate
  EXPECT_EQ(20, list.GetCount());
  EXPECT_STREQ(L"C:\\In\\clip10.mp4", list.GetAt(0));
  EXPECT_STREQ(L"C:\\In\\clip25.mp4", list.GetAt(1));
  int tens = 0;
  for (const CString& e : Entries(list)) tens += e == L"C:\\In\\clip10.mp4";
  EXPECT_EQ(1, tens);

  list.WriteList();
  std::vector<CString> values = Values(L"Recent\\InFiles");
  ASSERT_EQ(20u, values.size());
  EXPECT_STREQ(L"20=C:\\In\\clip06.mp4", values.back());

  // Values past the maximum are not read.
  SetValue(L"Recent\\InFiles", L"21", L"C:\\In\\extra.mp4");
  CRecentList reread;
  Configure(reread, L"Recent\\InFiles", 20);
  reread.ReadList();
  EXPECT_EQ(Entries(list), Entries(reread));
}

TEST_F(RecentListTest, PathsCompareWithoutRegardToLetterCase) {
  CRecentList paths;
  paths.Add(L"C:\\Data\\Knee.dcm");
  paths.Add(L"C:\\Other.dcm");
  paths.Add(L"c:\\data\\KNEE.DCM");
  EXPECT_EQ((std::vector<CString>{L"c:\\data\\KNEE.DCM", L"C:\\Other.dcm"}), Entries(paths));  // new spelling

  CRecentStringList texts;
  texts.Add(L"C:\\Data\\Knee.dcm");
  texts.Add(L"c:\\data\\KNEE.DCM");
  EXPECT_EQ(2, texts.GetCount());  // plain texts compare exactly
}

TEST_F(RecentListTest, GapsAreClosedWhenReadAndWrittenBack) {
  SetValue(L"Recent\\OutFolders", L"01", L"C:\\a");
  SetValue(L"Recent\\OutFolders", L"03", L"  C:\\c ");
  SetValue(L"Recent\\OutFolders", L"04", L"");
  CRecentList list;
  Configure(list, L"Recent\\OutFolders", 20);
  list.ReadList();
  EXPECT_EQ((std::vector<CString>{L"C:\\a", L"C:\\c"}), Entries(list));
  list.WriteList();
  EXPECT_EQ((std::vector<CString>{L"01=C:\\a", L"02=C:\\c"}), Values(L"Recent\\OutFolders"));
}

TEST_F(RecentListTest, AnEmptyListDeletesOnlyItsOwnSection) {
  SetValue(L"Recent\\InFiles", L"01", L"C:\\in.mp4");
  SetValue(L"Recent\\OutFiles", L"01", L"C:\\out.mp4");
  SetValue(L"Recent", L"Note", L"kept");
  SetValue(L"Settings", L"LastFolder1", L"C:\\kept");

  CRecentList inFiles;
  Configure(inFiles, L"Recent\\InFiles", 20);
  inFiles.ReadList();
  ASSERT_EQ(1, inFiles.GetCount());
  inFiles.Remove(5);  // out of range: nothing
  inFiles.Remove(-1);
  EXPECT_EQ(1, inFiles.GetCount());
  inFiles.Remove(0);
  inFiles.WriteList();

  EXPECT_FALSE(KeyExists(L"Recent\\InFiles"));
  EXPECT_EQ((std::vector<CString>{L"01=C:\\out.mp4"}), Values(L"Recent\\OutFiles"));
  EXPECT_EQ((std::vector<CString>{L"Note=kept"}), Values(L"Recent"));
  EXPECT_EQ((std::vector<CString>{L"LastFolder1=C:\\kept"}), Values(L"Settings"));
}

}  // namespace
