// An application object for converter tests: its own registry key, so test
// programs running side by side never share settings.
#pragma once
#include "afxwin.h"

#include <shellapi.h>
#include <shlwapi.h>

class CConverterTestApp : public CWinApp {
 public:
  explicit CConverterTestApp(LPCTSTR name) : CWinApp(name) { SetRegistryKey(L"MorrowtideTest"); }
  ~CConverterTestApp() override {
    // Leave nothing behind in the registry.
    CString key;
    key.Format(L"Software\\MorrowtideTest\\%s", m_pszAppName);
    ::SHDeleteKeyW(HKEY_CURRENT_USER, key);
  }
};

// A fresh empty folder below the system's temporary folder, named for the test.
inline CString MakeTestFolder(LPCTSTR name) {
  wchar_t temp[MAX_PATH + 1] = {0};
  ::GetTempPathW(MAX_PATH, temp);
  CString folder;
  folder.Format(L"%s%s %lu", temp, name, ::GetCurrentProcessId());
  wchar_t from[MAX_PATH + 2] = {0};
  wcsncpy(from, folder, MAX_PATH);
  SHFILEOPSTRUCTW op = {};
  op.wFunc = FO_DELETE;
  op.pFrom = from;
  op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
  ::SHFileOperationW(&op);
  ::CreateDirectoryW(folder, nullptr);
  return folder;
}

inline void TouchFile(LPCTSTR path) {
  HANDLE h = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
}

// Points this process's temporary files (TMP, TEMP) at a folder of its own,
// so tests running side by side never see each other's temporary files.
inline CString UsePrivateTempFolder(LPCTSTR name) {
  CString folder = MakeTestFolder(name);
  ::SetEnvironmentVariableW(L"TMP", folder);
  ::SetEnvironmentVariableW(L"TEMP", folder);
  return folder;
}
