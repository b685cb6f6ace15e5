#include "foundation/AnsiText.h"

#include <cwchar>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "foundation/ShellOpen.h"
#endif

namespace {
// The leading decimal number of a text, as the C runtime's _wtoi reads it.
int LeadingInt(const CString& s) { return (int)wcstol(s, nullptr, 10); }
}  // namespace

#ifdef _WIN32
int WideToAnsi(LPCWSTR text, CStringA& out) {
  out.Empty();
  if (!text || !*text) return -1;
  int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return -1;
  char* buf = (char*)calloc((size_t)size + 1, 1);
  if (!buf) return -1;
  WideCharToMultiByte(CP_ACP, 0, text, -1, buf, size, nullptr, nullptr);
  buf[size] = 0;
  out = buf;
  free(buf);
  return size;
}

bool WideToAnsiExact(LPCWSTR text, CStringA& out) {
  out.Empty();
  if (!text || !*text) return true;
  BOOL lossy = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr, &lossy);
  if (n <= 0 || lossy) return false;
  std::string buf((size_t)n, '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, &buf[0], n, nullptr, &lossy);
  if (lossy) return false;
  out = buf.c_str();
  return true;
}

bool PathForLibrary(LPCTSTR path, CStringA& out) {
  const CString wide = path ? path : L"";
  if (WideToAnsiExact(wide, out)) return true;
  // The short form of the path, or of its existing folder with the name
  // appended, when that survives the code page (the system makes short names
  // of long or foreign ones).
  CString tail;
  CString head = wide;
  while (!head.IsEmpty()) {
    std::vector<wchar_t> shortPath(32768);
    const DWORD n = GetShortPathNameW(head, shortPath.data(), (DWORD)shortPath.size());
    if (n > 0 && n < shortPath.size()) {
      if (WideToAnsiExact(CString(shortPath.data()) + tail, out)) return true;
      break;
    }
    const int slash = head.ReverseFind(L'\\');
    if (slash <= 0) break;
    tail = head.Mid(slash) + tail;
    head = head.Left(slash);
  }
  out.Empty();
  SetLastError(ERROR_NO_UNICODE_TRANSLATION);
  return false;
}
#else
int WideToAnsi(LPCWSTR text, CStringA& out) {
  out.Empty();
  if (!text || !*text) return -1;
  out = CStringA(text);
  return out.GetLength() + 1;
}
#endif

int ParseVersion(LPCTSTR text, int& major, int& minor, int& build) {
  CString s = text ? text : L"";
  s.Trim();
  s.Remove(L' ');
  CString parts[3];
  for (int i = 0; i < 3; ++i)
    if (!AfxExtractSubString(parts[i], s, i, L'.')) return -1;
  int v[3];
  for (int i = 0; i < 3; ++i) v[i] = parts[i] == L"x" ? -1 : LeadingInt(parts[i]);
  major = v[0];
  minor = v[1];
  build = v[2];
  return 0;
}

namespace {
// A version of fewer than three parts ("2.0") counts the missing ones as 0.
void ParseVersionForCompare(LPCTSTR text, int v[3]) {
  CString s = text ? text : L"";
  int dots = 0;
  for (int i = 0; i < s.GetLength(); ++i)
    if (s[i] == L'.') ++dots;
  for (; dots < 2; ++dots) s += L".0";
  ParseVersion(s, v[0], v[1], v[2]);
}
}  // namespace

int CompareVersions(LPCTSTR a, LPCTSTR b) {
  int va[3] = {0, 0, 0}, vb[3] = {0, 0, 0};
  ParseVersionForCompare(a, va);
  ParseVersionForCompare(b, vb);
  for (int i = 0; i < 3; ++i) {
    if (va[i] > vb[i]) return 1;
    if (va[i] < vb[i]) return -1;
  }
  return 0;
}

#ifdef _WIN32
// The helpers' path buffers hold 1023 characters; a longer path is refused,
// never cut (a cut path names another file, and deleting that loses data).
const size_t kPathChars = 1023;

bool PathFits(LPCTSTR path) { return path && wcslen(path) <= kPathChars; }

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

int GetShellIconIndex(LPCTSTR path, UINT flags) {
  SHFILEINFOW info = {};
  DWORD attrs = PathIsDirectoryW(path) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  if (!SHGetFileInfoW(path, attrs, &info, sizeof(info), flags | SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES))
    return -1;
  return info.iIcon;
}

CString GetPicturesFolder() {
  wchar_t buf[MAX_PATH + 1] = {0};
  if (!SHGetSpecialFolderPathW(nullptr, buf, CSIDL_MYPICTURES, TRUE)) return CString();
  return buf;
}

int OpenMailTo(LPCTSTR address, LPCTSTR subject, LPCTSTR body) {
  CString url;
  if (body)
    url.Format(L"mailto:%s?subject=%s&body=%s", address, subject, body);
  else
    url.Format(L"mailto:%s?subject=%s", address, subject);
  ShellOpen(L"Open", url);
  return 0;
}

COSVersionInfo::COSVersionInfo() : m_bValid(0) { ZeroMemory(&m_info, sizeof(m_info)); }

int COSVersionInfo::Query() {
  ZeroMemory(&m_info, sizeof(m_info));
  m_info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
  if (!GetVersionExW((OSVERSIONINFOW*)&m_info)) return 1;
  m_bValid = 1;
  if (m_info.dwPlatformId == VER_PLATFORM_WIN32_NT && m_info.dwMajorVersion >= 5) {
    ZeroMemory(&m_info, sizeof(m_info));
    m_info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
    GetVersionExW((OSVERSIONINFOW*)&m_info);
  }
  return 1;
}

CSystemImageLists::~CSystemImageLists() {
  m_smallList.Detach();
  m_largeList.Detach();
}

int CSystemImageLists::Load() {
  SHFILEINFOW info = {};
  m_hSmallList = (HIMAGELIST)SHGetFileInfoW(L"C:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
  m_hLargeList = (HIMAGELIST)SHGetFileInfoW(L"C:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX);
  if (!m_hSmallList || !m_hLargeList) return 0;
  m_smallList.Attach(m_hSmallList);
  m_largeList.Attach(m_hLargeList);
  return 1;
}

CImageList* CSystemImageLists::GetImageList(int kind) {
  if (kind == 1) return &m_smallList;
  if (kind == 2) return &m_largeList;
  return nullptr;
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
#endif
