#include <gtest/gtest.h>

#include <shlwapi.h>

#include "foundation/Versions.h"
#include "foundation/FileSystem.h"
#include "foundation/ShellIcons.h"

namespace {
CString TempRoot() {
  wchar_t buf[MAX_PATH];
  GetTempPathW(MAX_PATH, buf);
  CString root;
  root.Format(L"%shelpers test %lu", buf, GetCurrentProcessId());
  return root;
}

void WriteText(const CString& path, const char* text) {
  HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  DWORD n = 0;
  ::WriteFile(h, text, (DWORD)strlen(text), &n, nullptr);
  CloseHandle(h);
}
}  // namespace

TEST(PathPieces, WithAndWithoutDriveRoots) {
  EXPECT_STREQ(L"C:\\a", GetParentFolder(L"C:\\a\\b.txt"));
  EXPECT_STREQ(L"C:\\", GetParentFolder(L"C:\\b.txt"));
  EXPECT_STREQ(L"", GetParentFolder(L"name.txt"));
  EXPECT_STREQ(L"b.c", GetFileBaseName(L"C:\\a\\b.c.dcm"));
  EXPECT_STREQ(L"noext", GetFileBaseName(L"noext"));
  EXPECT_STREQ(L"", GetFileBaseName(L"C:\\folder\\"));
}

// A path longer than the helpers' buffers is refused, not cut: cut, it would
// name another file (here a folder full of data that must survive).
TEST(PathPieces, PathsTooLongAreRefusedNotCut) {
  CString root = TempRoot() + L" long";
  ASSERT_EQ(1, CreateFolderTree(root));
  WriteText(root + L"\\keep.txt", "keep");
  CString longPath = root + L"\\";
  while (longPath.GetLength() < 1100) longPath += L'x';
  // Its first 1023 characters are the folder plus some of the x's...
  EXPECT_EQ(0, DeletePath(longPath, DELETE_SILENT));
  EXPECT_TRUE(PathFileExistsW(root + L"\\keep.txt"));
  // ...and a path whose cut form is the folder itself is refused too.
  CString toFolder = root;
  while (toFolder.GetLength() < 1023) toFolder += L' ';
  toFolder += L"\\sub";
  EXPECT_EQ(0, DeletePath(toFolder, DELETE_SILENT));
  EXPECT_TRUE(PathFileExistsW(root + L"\\keep.txt"));
  EXPECT_STREQ(L"", GetParentFolder(longPath));
  EXPECT_STREQ(root, GetParentFolder(root + L"\\keep.txt"));
  CString longName(L'n', 300);
  EXPECT_STREQ(L"", GetFileBaseName(L"C:\\a\\" + longName + L".txt"));
  EXPECT_EQ(0, DeletePath(L"", DELETE_SILENT));
  EXPECT_EQ(1, DeletePath(root, DELETE_SILENT));
}

TEST(FoldersAndFiles, CreateMeasureAndRemove) {
  CString root = TempRoot();
  CString deep = root + L"\\one\\two\\three";
  ASSERT_EQ(1, CreateFolderTree(deep));
  EXPECT_TRUE(PathIsDirectoryW(deep));
  EXPECT_EQ(1, CreateFolderTree(deep));  // already there

  CString file = deep + L"\\data.bin";
  WriteText(file, "12345");
  EXPECT_EQ(5, GetFileSize64(file));
  EXPECT_EQ(-1, GetFileSize64(deep + L"\\missing.bin"));

  EXPECT_EQ(1, DeleteFileIfExists(deep + L"\\missing.bin"));
  EXPECT_EQ(0, DeleteFileIfExists(file));
  EXPECT_FALSE(PathFileExistsW(file));

  CString locked = deep + L"\\readonly.bin";
  WriteText(locked, "x");
  SetFileAttributesW(locked, FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(-1, DeleteFileIfExists(locked));
  EXPECT_TRUE(PathFileExistsW(locked));
  SetFileAttributesW(locked, FILE_ATTRIBUTE_NORMAL);

  EXPECT_EQ(1, DeletePath(root, DELETE_SILENT));
  EXPECT_FALSE(PathFileExistsW(root));
  EXPECT_EQ(0, DeletePath(root + L"\\never there", DELETE_SILENT));
}

TEST(TempGuards, RemoveWhenArmedOnly) {
  CString root = TempRoot() + L"-guards";
  ASSERT_EQ(1, CreateFolderTree(root + L"\\inner"));
  CString kept = root + L"\\kept.txt", removed = root + L"\\removed.txt";
  WriteText(kept, "a");
  WriteText(removed, "b");
  { CTempFileGuard g(kept, 0); }
  { CTempFileGuard g(removed, 1); }
  EXPECT_TRUE(PathFileExistsW(kept));
  EXPECT_FALSE(PathFileExistsW(removed));
  { CTempFileGuard g(root + L"\\absent.txt", 1); }  // nothing to do, returns at once

  { CTempFolderGuard g(root, 0); }
  EXPECT_TRUE(PathFileExistsW(root));
  { CTempFolderGuard g(root, 1); }
  EXPECT_FALSE(PathFileExistsW(root));
}

TEST(SystemInfo, ErrorTextAndVersion) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(GetLastErrorText().IsEmpty());

  COSVersionInfo v;
  EXPECT_EQ(0, v.m_bValid);
  EXPECT_EQ(1, v.Query());
  EXPECT_EQ(1, v.m_bValid);
  EXPECT_EQ(sizeof(OSVERSIONINFOEXW), v.m_info.dwOSVersionInfoSize);
  EXPECT_GE(v.m_info.dwMajorVersion, 5u);
}

TEST(SystemInfo, ShellIconsForPathsThatNeedNotExist) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  EXPECT_GE(GetShellIconIndex(L"C:\\no such folder\\picture.bmp", 0), 0);
  CoUninitialize();
}

TEST(SystemInfo, SystemImageListsAreBorrowed) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  HIMAGELIST small = nullptr;
  {
    CSystemImageLists lists;
    ASSERT_EQ(1, lists.Load());
    small = lists.GetImageList(1)->GetSafeHandle();
    EXPECT_NE(nullptr, small);
    EXPECT_NE(nullptr, lists.GetImageList(2)->GetSafeHandle());
    EXPECT_EQ(nullptr, lists.GetImageList(3));
    EXPECT_EQ(nullptr, lists.GetImageList(0));
  }
  // The system's list outlives the wrapper.
  int cx = 0, cy = 0;
  EXPECT_TRUE(ImageList_GetIconSize(small, &cx, &cy));
  EXPECT_GT(cx, 0);
  CoUninitialize();
}
