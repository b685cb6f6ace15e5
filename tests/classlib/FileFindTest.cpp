#include <gtest/gtest.h>

#include <set>

#include "afxwin.h"

TEST(FileFind, WalksAFolderIncludingTheLastEntry) {
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  CString dir;
  dir.Format(L"%sfind test %lu", tmp, GetCurrentProcessId());
  CreateDirectoryW(dir, nullptr);
  CreateDirectoryW(dir + L"\\sub folder", nullptr);
  for (LPCTSTR name : {L"a.txt", L"b.c.bmp"}) {
    HANDLE h = CreateFileW(dir + L"\\" + name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n;
    WriteFile(h, "hello", 5, &n, nullptr);
    CloseHandle(h);
  }

  CFileFind finder;
  ASSERT_TRUE(finder.FindFile(dir + L"\\*.*"));
  EXPECT_STREQ(dir, finder.GetRoot());
  std::set<std::wstring> files, folders;
  BOOL more = TRUE;
  while (more) {
    more = finder.FindNextFile();
    if (finder.IsDots()) continue;
    if (finder.IsDirectory()) {
      folders.insert(finder.GetFileName().GetString());
    } else {
      files.insert(finder.GetFileTitle().GetString());
      EXPECT_EQ(5u, finder.GetLength());
      EXPECT_STREQ(dir + L"\\" + finder.GetFileName(), finder.GetFilePath());
    }
  }
  EXPECT_EQ((std::set<std::wstring>{L"a", L"b.c"}), files);
  EXPECT_EQ((std::set<std::wstring>{L"sub folder"}), folders);

  EXPECT_FALSE(finder.FindFile(dir + L"\\*.none"));
  EXPECT_FALSE(finder.FindNextFile());

  DeleteFileW(dir + L"\\a.txt");
  DeleteFileW(dir + L"\\b.c.bmp");
  RemoveDirectoryW(dir + L"\\sub folder");
  RemoveDirectoryW(dir);
}
