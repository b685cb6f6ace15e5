// The viewer program: application object, its empty document and the
// command line of file and folder paths.
#pragma once
#include "foundation/web/UpdateCheck.h"
#include "viewer/ViewerResources.h"
#include "viewer/ViewerSettings.h"
#include "afxwin.h"

// The single-document template's document: the viewer never keeps one.
class CGlimmerscopeDoc : public CDocument {
  DECLARE_DYNCREATE(CGlimmerscopeDoc)
};

// Collects every non-flag parameter, in order; flags go to the base.
class CViewerCommandLineInfo : public CCommandLineInfo {
 public:
  void ParseParam(const wchar_t* pszParam, BOOL bFlag, BOOL bLast) override;
  void ParseParam(const char* pszParam, BOOL bFlag, BOOL bLast) override;

  CStringArray m_arrPaths;

 protected:
  void ParseLastParam(BOOL bLast);
};

// The update check's view of the viewer's settings.
class CViewerUpdateSettings : public CUpdateSettings {
 public:
  int GetAutoCheckUpdate() override;
  void SetAutoCheckUpdate(int value) override;
};

class CViewerApp : public CWinApp {
 public:
  CViewerApp();
  ~CViewerApp() override;

  BOOL InitInstance() override;
  int ExitInstance() override;
  // Makes the empty document with its frame and view, then hands the paths
  // to the view; FALSE when the frame could not be made.
  virtual BOOL ProcessCommandLine(CViewerCommandLineInfo& rCmdInfo);

  CViewerResources m_resources;
  CViewerSettings m_settings;
  CViewerUpdateSettings m_updateSettings;

 protected:
  afx_msg void OnAppAbout();
  afx_msg void OnToolsSettings();
  afx_msg void OnHelpWebSite();
  afx_msg void OnHelpEmail();
  afx_msg void OnHelpCheckUpdates();
  afx_msg void OnRecentClear();
  afx_msg void OnUpdateRecentClear(CCmdUI* pCmdUI);
  afx_msg void OnRecentOpen(UINT nID);
  afx_msg void OnUpdateRecentMenu(CCmdUI* pCmdUI);
  DECLARE_MESSAGE_MAP()
};

// The version the update check compares with.
extern const wchar_t kViewerCheckVersion[];
