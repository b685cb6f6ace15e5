// Per-job work folders and opening files in the viewer.
#pragma once
#include "afx.h"

// The file by which a work folder is known as the converter's own. While a
// process holds it open, no other process's clean-up touches the folder.
inline constexpr wchar_t kWorkFolderMark[] = L"~work.lock";

// A new work folder "<user data>\Temp\NNNN", holding only the mark file, that
// no other job holds; empty when none can be made. This process holds it until
// ReleaseWorkFolder (or a CWorkFolderGuard) lets it go.
CString CreateTempWorkFolder();
// The same below a given base folder (created when missing).
CString CreateWorkFolderIn(LPCTSTR base, int maxTries = 100000);
// Lets go of a work folder this process made; its files stay.
void ReleaseWorkFolder(LPCTSTR folder);
// Deletes the work folders under "<user data>\Temp" that no live process holds
// (also those left by earlier runs), then Temp itself when it is empty and
// lies in the program's own data folder. Folders without the mark are never
// touched: they may be the user's.
void DeleteTempWorkFolder();
// The same below a given base folder.
void DeleteWorkFoldersIn(LPCTSTR base);

// Lets go of a work folder and, when armed, deletes it with its files.
class CWorkFolderGuard {
 public:
  CWorkFolderGuard(LPCTSTR folder, int armed) : m_strFolder(folder ? folder : L""), m_bArmed(armed) {}
  ~CWorkFolderGuard();
  CString m_strFolder;
  int m_bArmed;

 private:
  CWorkFolderGuard(const CWorkFolderGuard&) = delete;
  CWorkFolderGuard& operator=(const CWorkFolderGuard&) = delete;
};
CString GetViewerPath();
// Shows a file in the viewer, or with the shell when the viewer is missing. 0.
int OpenInViewer(LPCTSTR path);
