#include "LibraryHelpers.h"

#include <shlwapi.h>

#include "afxapp.h"

namespace libhelp {

CStringA WideToAnsi(const CString& text) {
  CStringA out;
  if (text.IsEmpty()) return out;
  const int n = WideCharToMultiByte(CP_ACP, 0, text, text.GetLength(), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return out;
  char* p = out.GetBuffer(n);
  WideCharToMultiByte(CP_ACP, 0, text, text.GetLength(), p, n, nullptr, nullptr);
  out.ReleaseBufferSetLength(n);
  return out;
}

CString GetLastErrorText(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, error, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  CString text;
  if (n && buffer) text = CString(buffer, (int)n);
  if (buffer) LocalFree(buffer);
  text.TrimRight();
  if (text.IsEmpty()) text.Format(L"Error %lu", (unsigned long)error);
  return text;
}

CString GetProgramFolder() {
  if (CWinApp* app = AfxGetApp()) {
    if (HKEY key = app->GetAppRegistryKey()) {
      wchar_t value[MAX_PATH * 2] = {};
      DWORD size = sizeof value - sizeof(wchar_t), type = 0;
      const LONG rc = RegQueryValueExW(key, L"AppFolder", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
      RegCloseKey(key);
      if (rc == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) && value[0]) {
        CString folder(value);
        while (folder.GetLength() > 3 && folder[folder.GetLength() - 1] == L'\\') folder.Truncate(folder.GetLength() - 1);
        return folder;
      }
    }
  }
  wchar_t path[MAX_PATH * 2] = {};
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 2 - 1);
  return n ? GetParentFolder(CString(path, (int)n)) : CString();
}

CString GetParentFolder(const CString& path) {
  const int slash = std::max(path.ReverseFind(L'\\'), path.ReverseFind(L'/'));
  if (slash < 0) return CString();
  if (slash == 2 && path.GetLength() > 1 && path[1] == L':') return path.Left(3);
  return path.Left(slash);
}

CString GetFileBaseName(const CString& path) {
  CString name(PathFindFileNameW(path));
  const int dot = name.ReverseFind(L'.');
  return dot > 0 ? name.Left(dot) : name;
}

BOOL DeleteFileIfExists(const CString& path) {
  if (path.IsEmpty()) return FALSE;
  const DWORD a = GetFileAttributesW(path);
  if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY)) return FALSE;
  return DeleteFileW(path);
}

}  // namespace libhelp
