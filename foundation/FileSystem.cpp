#include "foundation/FileSystem.h"

#include <io.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cwchar>

namespace {
// The path buffers here hold 1023 characters; a longer path is refused,
// never cut (a cut path names another file, and deleting that loses data).
const size_t kPathChars = 1023;

bool PathFits(LPCTSTR path) { return path && wcslen(path) <= kPathChars; }
}  // namespace

int DeletePath(LPCTSTR path, WORD flags, HWND owner) {
  if (!path || !*path || !PathFits(path)) return 0;
  wchar_t from[kPathChars + 2] = {0};  // the shell's list format: doubly terminated
  wcscpy(from, path);
  SHFILEOPSTRUCTW op = {};
  op.hwnd = owner;
  op.wFunc = FO_DELETE;
  op.pFrom = from;
  op.fFlags = flags;
  int r = SHFileOperationW(&op);
  return (r == 0 && !op.fAnyOperationsAborted) ? 1 : 0;
}

int DeleteFileIfExists(LPCTSTR path) {
  if (!PathFileExistsW(path)) return 1;
  return DeleteFileW(path) ? 0 : -1;
}

CString GetLastErrorText() {
  DWORD code = GetLastError();
  LPWSTR buf = nullptr;
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
                 MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), (LPWSTR)&buf, 0, nullptr);
  CString text;
  if (buf) {
    text.Format(L"%s", buf);
    LocalFree(buf);
  }
  return text;
}

CString GetFileBaseName(LPCTSTR path) {
  // Parts of 255 characters at most; a longer part gives no name rather than a cut one.
  wchar_t drive[256], dir[256], name[256], ext[256];
  drive[0] = dir[0] = name[0] = ext[0] = 0;
  if (_wsplitpath_s(path ? path : L"", drive, 256, dir, 256, name, 256, ext, 256) != 0) return CString();
  return name;
}

CString GetParentFolder(LPCTSTR path) {
  if (!path || !PathFits(path)) return CString();
  wchar_t buf[kPathChars + 1] = {0};
  wcscpy(buf, path);
  return PathRemoveFileSpecW(buf) ? CString(buf) : CString();
}

LONGLONG GetFileSize64(LPCTSTR path) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(path, &fd);
  if (h == INVALID_HANDLE_VALUE) return -1;
  FindClose(h);
  return ((LONGLONG)fd.nFileSizeHigh << 32) + fd.nFileSizeLow;
}

int CreateFolderTree(LPCTSTR path) {
  if (!path) return 0;
  if (PathFileExistsW(path)) return 1;
  CString p(path);
  for (int i = p.Find(L'\\', 1); i > 0; i = p.Find(L'\\', i + 1)) CreateDirectoryW(p.Left(i), nullptr);
  CreateDirectoryW(p, nullptr);
  return PathFileExistsW(p) ? 1 : 0;
}

CTempFileGuard::~CTempFileGuard() {
  if (!m_bArmed) return;
  for (;;) {
    if (_waccess(m_strPath, 0) != 0) break;
    if (_wremove(m_strPath) == 0) break;
    if (m_nRetries <= 0) break;
    Sleep(100);
    --m_nRetries;
  }
}

CTempFolderGuard::~CTempFolderGuard() {
  if (m_bArmed && PathFileExistsW(m_strPath)) DeletePath(m_strPath, DELETE_SILENT, nullptr);
}
