#include "foundation/Folders.h"

#include <shlobj.h>

#include <vector>

#include "afxwin.h"
#include "foundation/FileSystem.h"

const wchar_t kMakerName[] = L"Morrowtide";

CString GetProgramFolder() {
  CWinApp* app = AfxGetApp();
  if (app) {
    CString folder = app->GetProfileString(L"", L"AppFolder", nullptr);
    if (!folder.IsEmpty()) return folder;
  }
  // The whole module path, however long; a cut one would name another folder.
  std::vector<wchar_t> path(1024);
  for (;;) {
    const DWORD n = GetModuleFileNameW(AfxGetInstanceHandle(), path.data(), (DWORD)path.size());
    if (n == 0) return CString();
    if (n < path.size() - 1) break;
    if (path.size() >= 32768) return CString();
    path.resize(path.size() * 2);
  }
  return GetParentFolder(path.data());
}

CString GetUserDataFolder() {
  wchar_t appData[1024] = {0};
  if (!SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE)) return GetProgramFolder();
  CWinApp* app = AfxGetApp();
  CString folder;
  folder.Format(L"%s\\%s\\%s", appData, kMakerName, app ? app->m_pszAppName : L"");
  CreateFolderTree(folder);
  return folder;
}

CString CreateTempFileName() {
  wchar_t folder[1024] = {0}, name[MAX_PATH + 1] = {0};
  const DWORD n = GetTempPathW(1023, folder);
  if (n == 0 || n >= 1023) return CString();  // a folder that does not fit is not cut
  if (!GetTempFileNameW(folder, L"~Wu", 0, name)) return CString();
  return name;
}

CString GetPicturesFolder() {
  wchar_t buf[MAX_PATH + 1] = {0};
  if (!SHGetSpecialFolderPathW(nullptr, buf, CSIDL_MYPICTURES, TRUE)) return CString();
  return buf;
}
