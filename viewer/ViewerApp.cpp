#include "viewer/ViewerApp.h"

#include <shlwapi.h>

#include "foundation/web/AboutDlg.h"
#include "viewer/MainFrame.h"
#include "viewer/PlayView.h"
#include "foundation/ShellOpen.h"
#include "resources/viewer/ViewerRes.h"
#include "viewer/ViewerSettingsDlg.h"
#include "foundation/web/WebProgram.h"

IMPLEMENT_DYNCREATE(CGlimmerscopeDoc, CDocument)

const wchar_t kViewerCheckVersion[] = L"1.11.0";

namespace {
void RunUpdateCheck(CWnd*, LPCTSTR lpszUrl, LPCTSTR lpszVersion, int nIntervalDays, BOOL bSilent) {
  CheckForUpdates(lpszUrl, lpszVersion, nIntervalDays, bSilent);
}

// A path of the command line as the view keeps it: relative paths are taken
// from the folder the program was started in.
CString FullPath(const CString& path) {
  if (path.IsEmpty() || !::PathIsRelativeW(path)) return path;
  wchar_t full[4096] = {};
  const DWORD n = ::GetFullPathNameW(path, 4096, full, nullptr);
  return n > 0 && n < 4096 ? CString(full) : path;
}
}  // namespace

// ---------------------------------------------------------------------------
// Command line.

void CViewerCommandLineInfo::ParseParam(const wchar_t* pszParam, BOOL bFlag, BOOL bLast) {
  if (bFlag) {
    CCommandLineInfo::ParseParam(pszParam, TRUE, FALSE);  // the base's flag parser, narrowed
  } else {
    m_arrPaths.Add(pszParam ? pszParam : L"");
  }
  ParseLastParam(bLast);
}

void CViewerCommandLineInfo::ParseParam(const char* pszParam, BOOL bFlag, BOOL bLast) {
  if (bFlag) {
    CCommandLineInfo::ParseParam(pszParam, TRUE, FALSE);
  } else {
    const int n = ::MultiByteToWideChar(CP_ACP, 0, pszParam ? pszParam : "", -1, nullptr, 0);
    CString wide;
    if (n > 0) {
      ::MultiByteToWideChar(CP_ACP, 0, pszParam ? pszParam : "", -1, wide.GetBuffer(n), n);
      wide.ReleaseBuffer();
    }
    m_arrPaths.Add(wide);
  }
  ParseLastParam(bLast);
}

void CViewerCommandLineInfo::ParseLastParam(BOOL bLast) {
  if (!bLast) return;
  if (m_nShellCommand == FileNew && m_arrPaths.GetSize() > 0) m_nShellCommand = FileOpen;
  m_bShowSplash = !m_bRunEmbedded && !m_bRunAutomated;
}

// ---------------------------------------------------------------------------
// Update settings.

int CViewerUpdateSettings::GetAutoCheckUpdate() {
  CViewerSettings* s = GetViewerSettings();
  return s ? s->m_bAutoCheckUpdate : 1;
}

void CViewerUpdateSettings::SetAutoCheckUpdate(int value) {
  if (CViewerSettings* s = GetViewerSettings()) s->m_bAutoCheckUpdate = value ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Application.

BEGIN_MESSAGE_MAP(CViewerApp, CWinApp)
  ON_COMMAND(ID_APP_ABOUT, OnAppAbout)
  ON_COMMAND(ID_TOOLS_SETTINGS, OnToolsSettings)
  ON_COMMAND(ID_HELP_WEBSITE, OnHelpWebSite)
  ON_COMMAND(ID_HELP_EMAIL, OnHelpEmail)
  ON_COMMAND(ID_HELP_CHECKUPDATES, OnHelpCheckUpdates)
  ON_COMMAND(ID_FILE_NEW, CWinApp::OnFileNew)
  ON_COMMAND(ID_RECENT_CLEAR, OnRecentClear)
  ON_UPDATE_COMMAND_UI(ID_RECENT_CLEAR, OnUpdateRecentClear)
  ON_COMMAND_RANGE(ID_RECENT_FIRST, ID_RECENT_LAST, OnRecentOpen)
  ON_UPDATE_COMMAND_UI(ID_RECENT_FIRST, OnUpdateRecentMenu)
END_MESSAGE_MAP()

CViewerApp::CViewerApp() : CWinApp(L"Glimmerscope") {
  SetViewerResources(&m_resources);
  SetViewerSettings(&m_settings);
}

CViewerApp::~CViewerApp() {
  SetUpdateSettings(nullptr);
  SetViewerUpdateCheck(nullptr);
  SetViewerSettings(nullptr);
  SetViewerResources(nullptr);
}

BOOL CViewerApp::InitInstance() {
  Enable3dControlsStatic();
  SetRegistryKey(L"Morrowtide");
  if (m_resources.Init() != 0 || m_settings.Load() != 0) return FALSE;
  SetWebProgram(&kViewerWebProgram);
  SetUpdateSettings(&m_updateSettings);
  SetViewerUpdateCheck(RunUpdateCheck);
  if (m_settings.m_bWindowMaximized) m_nCmdShow = SW_SHOWMAXIMIZED;

  AddDocTemplate(new CSingleDocTemplate(IDR_MAINFRAME, RUNTIME_CLASS(CGlimmerscopeDoc), RUNTIME_CLASS(CMainFrame),
                                        RUNTIME_CLASS(CPlayView)));
  EnableShellOpen();

  CViewerCommandLineInfo cmdInfo;
  ParseCommandLine(cmdInfo);
  if (!ProcessCommandLine(cmdInfo)) return FALSE;

  m_pMainWnd->ShowWindow(m_settings.m_bWindowMaximized ? SW_SHOWMAXIMIZED : SW_SHOW);
  m_pMainWnd->UpdateWindow();
  m_pMainWnd->DragAcceptFiles(TRUE);
  if (m_settings.m_bAutoCheckUpdate) m_pMainWnd->PostMessage(WM_AUTOCHECKUPDATE, 0, 1);
  return TRUE;
}

BOOL CViewerApp::ProcessCommandLine(CViewerCommandLineInfo& rCmdInfo) {
  // Paths are never opened as documents, and no flag may print, unregister
  // or skip the window: the program always makes its empty document.
  rCmdInfo.m_nShellCommand = CCommandLineInfo::FileNew;
  if (!ProcessShellCommand(rCmdInfo) || !m_pMainWnd) return FALSE;
  if (rCmdInfo.m_arrPaths.GetSize() > 0) {
    CStringArray paths;
    for (INT_PTR i = 0; i < rCmdInfo.m_arrPaths.GetSize(); ++i) paths.Add(FullPath(rCmdInfo.m_arrPaths[i]));
    if (CPlayView* view = GetPlayView()) view->OpenPaths(paths);
  }
  return TRUE;
}

int CViewerApp::ExitInstance() {
  // A check still running would outlive the settings it writes.
  StopUpdateChecks(kUpdateStopWaitMs);
  m_settings.Save();
  return CWinApp::ExitInstance();
}

void CViewerApp::OnAppAbout() {
  CAboutDlg about(m_pMainWnd);
  about.DoModal();
}

void CViewerApp::OnToolsSettings() {
  CViewerSettingsDlg dlg(m_pMainWnd);
  dlg.DoModal();
}

void CViewerApp::OnHelpWebSite() { ShellOpen(L"open", kHomePageUrl); }

void CViewerApp::OnHelpEmail() { SendSupportMail(); }

void CViewerApp::OnHelpCheckUpdates() { CheckForUpdates(GetUpdateInfoUrl(), kViewerCheckVersion, 0, 0); }

void CViewerApp::OnRecentClear() { m_settings.m_recentList.m_arrNames.RemoveAll(); }

void CViewerApp::OnUpdateRecentClear(CCmdUI* pCmdUI) { pCmdUI->Enable(m_settings.m_recentList.GetCount() > 0); }

void CViewerApp::OnRecentOpen(UINT nID) {
  const int index = (int)(nID - ID_RECENT_FIRST);
  CRecentList& list = m_settings.m_recentList;
  if (index < 0 || index >= list.GetCount()) return;
  const CString entry = list.GetAt(index);
  if (!::PathFileExistsW(entry)) {
    list.Remove(index);
    return;
  }
  if (CPlayView* view = GetPlayView()) view->OpenPath(entry);
}

void CViewerApp::OnUpdateRecentMenu(CCmdUI* pCmdUI) { m_settings.m_recentList.UpdateMenu(pCmdUI); }
