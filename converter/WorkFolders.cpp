#include "WorkFolders.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "Folders.h"
#include "Helpers.h"

namespace {
ShellExecuteHook g_shellExecute = nullptr;

CString TempBase() { return GetUserDataFolder() + L"\\Temp"; }
}  // namespace

CString CreateWorkFolderIn(LPCTSTR base, int maxTries) {
  if (!base || !*base || !CreateFolderTree(base)) return CString();
  int denied = 0;
  for (int n = 0; n < maxTries; ++n) {
    CString candidate;
    candidate.Format(L"%s\\%04d", base, n);
    // Creating the leaf is the claim: a folder that exists belongs to someone else.
    if (::CreateDirectoryW(candidate, nullptr)) return candidate;
    DWORD error = ::GetLastError();
    if (error == ERROR_ACCESS_DENIED) {
      // A folder on its way out is denied too; a base we may not write to denies every name.
      if (++denied >= 64) return CString();
      continue;
    }
    denied = 0;
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return CString();
  }
  return CString();
}

CString CreateTempWorkFolder() { return CreateWorkFolderIn(TempBase()); }

void DeleteTempWorkFolder() {
  CString base = TempBase();
  if (PathFileExistsW(base)) DeletePath(base, DELETE_SILENT, nullptr);
}

CString GetViewerPath() { return GetProgramFolder() + L"\\Glimmerscope.exe"; }

int OpenInViewer(LPCTSTR path) {
  CString quoted;
  quoted.Format(L"\"%s\"", path ? path : L"");
  CString viewer = GetViewerPath();
  if (PathFileExistsW(viewer))
    ConverterShellExecute(nullptr, nullptr, viewer, quoted, nullptr, SW_SHOWNORMAL);
  else
    ConverterShellExecute(nullptr, L"open", quoted, nullptr, nullptr, SW_SHOWNORMAL);
  return 0;
}

void SetShellExecuteHook(ShellExecuteHook hook) { g_shellExecute = hook; }

HINSTANCE ConverterShellExecute(HWND hwnd, LPCWSTR verb, LPCWSTR file, LPCWSTR params, LPCWSTR dir, int show) {
  if (g_shellExecute) return g_shellExecute(hwnd, verb, file, params, dir, show);
  return ::ShellExecuteW(hwnd, verb, file, params, dir, show);
}
