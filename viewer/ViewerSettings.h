// Every persistent setting of the viewer, with its recent list, kept under
// HKCU\Software\Morrowtide\Glimmerscope through the application's profile.
#pragma once
#include "foundation/RecentList.h"
#include "foundation/SettingFields.h"
#include "afxwin.h"

class CViewerSettings {
 public:
  CViewerSettings() {}
  virtual ~CViewerSettings() {}

  // Reads every value, keeping the defaults below for missing ones; 0 (always).
  int Load();
  // Writes what the program changes; "SaveRecentFiles" and "MaxRecentFiles" are only read.
  void Save();
  // Section "Recent\Files", entries "%02d"; read from the registry when maxEntries is not 0.
  void SetUpRecentList(int maxEntries);

  int m_bAutoCheckUpdate = 1;
  int m_nCheckInterval = 7;
  int m_bAlwaysOnTop = 0;
  int m_bAlwaysShowControlBar = 1;
  int m_nWindowLeft = -1;
  int m_nWindowTop = -1;
  int m_nWindowWidth = 0;
  int m_nWindowHeight = 0;
  int m_bWindowMaximized = 0;
  CString m_strLastOpenFile;
  CString m_strLastOpenFolder;
  CString m_strLastSaveFolder;
  int m_bSaveRecentFiles = 1;
  int m_nMaxRecentFiles = 30;
  CRecentList m_recentList;

  // The recent files' menu commands reach this many entries.
  static const int kMaxRecentFiles = 100;

 private:
  // The single values, in the order they are read and written.
  CSettingFields Fields();
};

// The program-wide settings record; null until the application publishes it.
CViewerSettings* GetViewerSettings();
void SetViewerSettings(CViewerSettings* settings);
