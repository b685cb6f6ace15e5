#include <gtest/gtest.h>

#include <shlwapi.h>

#include "afxwin.h"
#include "foundation/Folders.h"
#include "foundation/FileSystem.h"

namespace {
class ConverterApp : public CWinApp {
 public:
  ConverterApp() : CWinApp(L"Reelsmith") { SetRegistryKey(kMakerName); }
};

void SetViewerAppFolder(LPCTSTR value) {
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Morrowtide\\Glimmerscope", 0, nullptr, 0,
                                           KEY_WRITE, nullptr, &key, nullptr));
  RegSetValueExW(key, L"AppFolder", 0, REG_SZ, (const BYTE*)value, (DWORD)((wcslen(value) + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}
}  // namespace

TEST(ProgramFolder, AppFolderValueOverridesOnlyItsOwnProgram) {
  ConverterApp app;
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  CString own = GetParentFolder(exe);

  app.WriteProfileString(L"", L"AppFolder", nullptr);
  EXPECT_STREQ(own, GetProgramFolder());

  SetViewerAppFolder(L"D:\\viewer elsewhere");
  EXPECT_STREQ(own, GetProgramFolder());
  RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Morrowtide\\Glimmerscope", L"AppFolder");

  // Returned exactly as stored, whether or not it exists.
  app.WriteProfileString(L"", L"AppFolder", L"Q:\\does not exist\\");
  EXPECT_STREQ(L"Q:\\does not exist\\", GetProgramFolder());
  app.WriteProfileString(L"", L"AppFolder", L"");
  EXPECT_STREQ(own, GetProgramFolder());
  app.WriteProfileString(L"", L"AppFolder", nullptr);
}

TEST(UserFolders, DataFolderAndTempFiles) {
  ConverterApp app;
  CString a = GetUserDataFolder(), b = GetUserDataFolder();
  EXPECT_STREQ(a, b);
  EXPECT_TRUE(PathIsDirectoryW(a));
  EXPECT_STREQ(L"\\Morrowtide\\Reelsmith", a.Right(21));

  CString t1 = CreateTempFileName(), t2 = CreateTempFileName();
  ASSERT_FALSE(t1.IsEmpty());
  ASSERT_FALSE(t2.IsEmpty());
  EXPECT_STRNE(t1, t2);
  EXPECT_EQ(0, GetFileSize64(t1));
  EXPECT_EQ(0, GetFileSize64(t2));
  EXPECT_EQ(0, CString(PathFindFileNameW(t1)).Find(L"~Wu"));
  CTempFileGuard g1(t1, 1), g2(t2, 1);
}
