// Per-job work folders and opening files in the viewer.
#pragma once
#include "afxwin.h"

// A new, empty folder "<user data>\Temp\NNNN" that no other job holds; empty
// when none can be made.
CString CreateTempWorkFolder();
// The same below a given base folder (created when missing).
CString CreateWorkFolderIn(LPCTSTR base, int maxTries = 100000);
// Deletes "<user data>\Temp" with everything in it.
void DeleteTempWorkFolder();
CString GetViewerPath();
// Shows a file in the viewer, or with the shell when the viewer is missing. 0.
int OpenInViewer(LPCTSTR path);

// Every program or document the converter starts goes through this; tests
// replace it so that nothing is launched.
typedef HINSTANCE (*ShellExecuteHook)(HWND hwnd, LPCWSTR verb, LPCWSTR file, LPCWSTR params, LPCWSTR dir, int show);
void SetShellExecuteHook(ShellExecuteHook hook);
HINSTANCE ConverterShellExecute(HWND hwnd, LPCWSTR verb, LPCWSTR file, LPCWSTR params, LPCWSTR dir, int show);
