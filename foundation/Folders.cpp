#include "Folders.h"

#include <shlobj.h>

#include "Helpers.h"

const wchar_t kMakerName[] = L"Morrowtide";

CString GetProgramFolder() {
  CWinApp* app = AfxGetApp();
  if (app) {
    CString folder = app->GetProfileString(L"", L"AppFolder", nullptr);
    if (!folder.IsEmpty()) return folder;
  }
  wchar_t path[1024] = {0};
  GetModuleFileNameW(AfxGetInstanceHandle(), path, 1023);
  return GetParentFolder(path);
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
  GetTempPathW(1023, folder);
  if (!GetTempFileNameW(folder, L"~Wu", 0, name)) return CString();
  return name;
}
