#include "converter/jobs/WorkFolders.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <mutex>
#include <vector>

#include "foundation/Folders.h"
#include "foundation/FileSystem.h"
#include "foundation/ShellOpen.h"

namespace {
CString TempBase() { return GetUserDataFolder() + L"\\Temp"; }

CString MarkOf(LPCTSTR folder) { return CString(folder) + L"\\" + kWorkFolderMark; }

// The work folders this process holds, each with its open mark file.
struct HeldFolder {
  CString folder;
  HANDLE mark;
};
std::mutex g_heldLock;
std::vector<HeldFolder> g_held;

// Opens the mark of a folder just made and keeps it open: others may read it,
// but not write, delete or open it for themselves alone.
bool HoldFolder(const CString& folder) {
  HANDLE mark = ::CreateFileW(MarkOf(folder), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (mark == INVALID_HANDLE_VALUE) return false;
  std::lock_guard<std::mutex> lock(g_heldLock);
  g_held.push_back({folder, mark});
  return true;
}

// Deletes what a folder holds but the entry named keep; links to folders go,
// never what they point to. True when nothing else is left.
bool DeleteContents(const CString& folder, LPCWSTR keep) {
  std::vector<std::pair<CString, DWORD>> entries;
  WIN32_FIND_DATAW fd;
  HANDLE find = ::FindFirstFileW(folder + L"\\*", &fd);
  if (find == INVALID_HANDLE_VALUE) return false;
  do {
    if (wcscmp(fd.cFileName, L".") && wcscmp(fd.cFileName, L"..") && (!keep || lstrcmpiW(fd.cFileName, keep)))
      entries.emplace_back(folder + L"\\" + fd.cFileName, fd.dwFileAttributes);
  } while (::FindNextFileW(find, &fd));
  ::FindClose(find);
  bool all = true;
  for (const auto& e : entries) {
    if (e.second & FILE_ATTRIBUTE_READONLY) ::SetFileAttributesW(e.first, e.second & ~FILE_ATTRIBUTE_READONLY);
    if (!(e.second & FILE_ATTRIBUTE_DIRECTORY))
      all = ::DeleteFileW(e.first) && all;
    else if (e.second & FILE_ATTRIBUTE_REPARSE_POINT)
      all = ::RemoveDirectoryW(e.first) && all;
    else
      all = DeleteContents(e.first, nullptr) && ::RemoveDirectoryW(e.first) && all;
  }
  return all;
}

// Only names the converter gives its work folders: four digits or more.
bool IsWorkFolderName(LPCWSTR name) {
  size_t n = 0;
  for (; name[n]; ++n)
    if (name[n] < L'0' || name[n] > L'9') return false;
  return n >= 4;
}
}  // namespace

CString CreateWorkFolderIn(LPCTSTR base, int maxTries) {
  if (!base || !*base || !CreateFolderTree(base)) return CString();
  int denied = 0;
  for (int n = 0; n < maxTries; ++n) {
    CString candidate;
    candidate.Format(L"%s\\%04d", base, n);
    // Creating the leaf is the claim: a folder that exists belongs to someone else.
    if (::CreateDirectoryW(candidate, nullptr)) {
      if (HoldFolder(candidate)) return candidate;
      ::RemoveDirectoryW(candidate);
      return CString();
    }
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

void ReleaseWorkFolder(LPCTSTR folder) {
  if (!folder || !*folder) return;
  std::lock_guard<std::mutex> lock(g_heldLock);
  for (size_t i = 0; i < g_held.size(); ++i) {
    if (g_held[i].folder.CompareNoCase(folder) != 0) continue;
    ::CloseHandle(g_held[i].mark);
    g_held.erase(g_held.begin() + (ptrdiff_t)i);
    return;
  }
}

CWorkFolderGuard::~CWorkFolderGuard() {
  ReleaseWorkFolder(m_strFolder);
  if (m_bArmed && !m_strFolder.IsEmpty() && PathFileExistsW(m_strFolder))
    DeletePath(m_strFolder, DELETE_SILENT, nullptr);
}

void DeleteWorkFoldersIn(LPCTSTR base) {
  if (!base || !*base) return;
  std::vector<CString> names;
  WIN32_FIND_DATAW fd;
  HANDLE find = ::FindFirstFileW(CString(base) + L"\\*", &fd);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        IsWorkFolderName(fd.cFileName))
      names.push_back(fd.cFileName);
  } while (::FindNextFileW(find, &fd));
  ::FindClose(find);
  for (const CString& name : names) {
    const CString folder = CString(base) + L"\\" + name;
    // Opening the mark for ourselves alone fails while a live process holds
    // it; a folder without the mark is not ours to delete. The mark goes
    // last: a folder with a file that cannot go yet keeps it for a later exit.
    HANDLE mark = ::CreateFileW(MarkOf(folder), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (mark == INVALID_HANDLE_VALUE) continue;
    const bool emptied = DeleteContents(folder, kWorkFolderMark);
    ::CloseHandle(mark);
    if (emptied && ::DeleteFileW(MarkOf(folder))) ::RemoveDirectoryW(folder);
  }
}

void DeleteTempWorkFolder() {
  const CString data = GetUserDataFolder();
  const CString base = data + L"\\Temp";
  DeleteWorkFoldersIn(base);
  // The program's own data folder keeps no empty Temp. Without one the data
  // folder is the program folder, whose Temp may be the user's: it stays.
  if (data.CompareNoCase(GetProgramFolder()) != 0) ::RemoveDirectoryW(base);
}

CString GetViewerPath() { return GetProgramFolder() + L"\\Glimmerscope.exe"; }

int OpenInViewer(LPCTSTR path) {
  CString quoted;
  quoted.Format(L"\"%s\"", path ? path : L"");
  CString viewer = GetViewerPath();
  if (PathFileExistsW(viewer))
    ShellLaunch(nullptr, nullptr, viewer, quoted, SW_SHOWNORMAL);
  else
    ShellLaunch(nullptr, L"open", quoted, nullptr, SW_SHOWNORMAL);
  return 0;
}
