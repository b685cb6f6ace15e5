#include <gtest/gtest.h>

#include <shlwapi.h>

#include "foundation/AnsiText.h"
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

// Windows takes for UTF-8 no flag but WC_ERR_INVALID_CHARS and no
// default-character argument; Wine lets them pass. The program's import of
// the conversion is held to the Windows rule while a test needs it.
decltype(&::WideCharToMultiByte) g_wideToMulti = nullptr;
int WINAPI StrictWideToMulti(UINT cp, DWORD flags, LPCWCH text, int n, LPSTR out, int size, LPCCH def, LPBOOL used) {
  if (cp == CP_UTF8 && ((flags & ~(DWORD)WC_ERR_INVALID_CHARS) || def || used)) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  return g_wideToMulti(cp, flags, text, n, out, size, def, used);
}

// The slot of this program's import of a function by that name, or null.
void** ImportSlot(const char* name) {
  BYTE* base = (BYTE*)GetModuleHandleW(nullptr);
  auto* nt = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* imp = (IMAGE_IMPORT_DESCRIPTOR*)(base + dir.VirtualAddress); imp->Name; ++imp) {
    auto* names = (IMAGE_THUNK_DATA*)(base + imp->OriginalFirstThunk);
    auto* slots = (IMAGE_THUNK_DATA*)(base + imp->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots)
      if (!IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) &&
          strcmp((const char*)((IMAGE_IMPORT_BY_NAME*)(base + names->u1.AddressOfData))->Name, name) == 0)
        return (void**)&slots->u1.Function;
  }
  return nullptr;
}

class CStrictConversion {
 public:
  CStrictConversion() : m_slot(ImportSlot("WideCharToMultiByte")) {
    if (m_slot) g_wideToMulti = (decltype(g_wideToMulti))Swap((void*)&StrictWideToMulti);
  }
  ~CStrictConversion() {
    if (m_slot) Swap((void*)g_wideToMulti);
  }
  bool Active() const { return m_slot != nullptr; }

 private:
  void* Swap(void* fn) {
    DWORD old = 0;
    VirtualProtect(m_slot, sizeof(void*), PAGE_READWRITE, &old);
    void* was = *m_slot;
    *m_slot = fn;
    VirtualProtect(m_slot, sizeof(void*), old, &old);
    return was;
  }
  void** m_slot;
};

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

// Paths for the image library: exact in the code page or refused. Where the
// system's code page is UTF-8 every path has its exact form.
TEST(PathPieces, NarrowedExactlyOrNotAtAll) {
  CStrictConversion strict;
  ASSERT_TRUE(strict.Active());
  const wchar_t path[] = L"C:\\Bilder\\K\u00e4se \u0436\u4e2d.dcm";
  CStringA out("stale");
  ASSERT_TRUE(WideToAnsiExact(path, out, CP_UTF8));
  EXPECT_STREQ("C:\\Bilder\\K\xC3\xA4se \xD0\xB6\xE4\xB8\xAD.dcm", out);
  // A lone surrogate has no UTF-8 form.
  EXPECT_FALSE(WideToAnsiExact(L"a\xD800" L"b", out, CP_UTF8));
  EXPECT_STREQ("", out);
  // Western European: the umlaut survives, the rest has only stand-ins.
  ASSERT_TRUE(WideToAnsiExact(L"K\u00e4se", out, 1252));
  EXPECT_STREQ("K\xE4se", out);
  EXPECT_FALSE(WideToAnsiExact(path, out, 1252));
  EXPECT_FALSE(WideToAnsiExact(L"p\u0101t.dcm", out, 1252));
  EXPECT_TRUE(WideToAnsiExact(L"", out, CP_UTF8));
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
