#include "converter/app/ConverterApp.h"

#include "foundation/web/AboutDlg.h"
#include "converter/app/ConverterDlg.h"
#include "converter/app/ConverterGlobals.h"
#include "resources/converter/ConverterRes.h"
#include "foundation/ShellOpen.h"
#include "foundation/web/WebProgram.h"
#include "converter/jobs/WorkFolders.h"

const wchar_t kHowToUseUrl[] = L"http://www.morrowtide.com/reelsmith/screenshots";

namespace {
// The program's title string names the application (and its registry key).
CString LoadAppTitle() {
  wchar_t text[256] = {0};
  if (::LoadStringW(::GetModuleHandleW(nullptr), AFX_IDS_APP_TITLE, text, 256) > 0) return text;
  return L"Reelsmith";
}
}  // namespace

CConverterImageLibrary::~CConverterImageLibrary() {}

BEGIN_MESSAGE_MAP(CConverterApp, CWinApp)
  ON_COMMAND(ID_APP_ABOUT, OnAppAbout)
  ON_COMMAND(ID_WEB_SITE, OnWebSite)
  ON_COMMAND(ID_CHECK_UPDATES, OnCheckForUpdates)
  ON_COMMAND(ID_HOW_TO_USE, OnHowToUse)
  ON_COMMAND(ID_EMAIL_US, OnEmailUs)
END_MESSAGE_MAP()

CConverterApp::CConverterApp() : CWinApp(LoadAppTitle()), m_updateSettings(&m_settings) {
  SetConverterGlobals(&m_resources, &m_settings, &m_library);
}

CConverterApp::~CConverterApp() {
  if (GetUpdateSettings() == &m_updateSettings) SetUpdateSettings(nullptr);
  if (GetConverterSettings() == &m_settings) SetConverterGlobals(nullptr, nullptr, nullptr);
}

BOOL CConverterApp::InitInstance() {
  Enable3dControlsStatic();
  SetRegistryKey(L"Morrowtide");
  SetWebProgram(&kConverterWebProgram);
  SetUpdateSettings(&m_updateSettings);

  if (m_resources.Init() != 0) return FALSE;
  if (m_settings.Load() != 0) return FALSE;
  // A library that cannot be loaded has shown the system's message already.
  if (m_library.Open() != 0) return FALSE;

  m_bSaveSettings = TRUE;
  RunMainDialog();
  // No message loop of our own: the library goes on to ExitInstance.
  return FALSE;
}

void CConverterApp::RunMainDialog() {
  CConverterDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  m_pMainWnd = nullptr;
}

int CConverterApp::ExitInstance() {
  // A check still running would outlive the settings it writes.
  StopUpdateChecks(kUpdateStopWaitMs);
  if (m_bSaveSettings) m_settings.Save();
  DeleteTempWorkFolder();
  return CWinApp::ExitInstance();
}

void CConverterApp::OnAppAbout() {
  CAboutDlg dlg;
  dlg.DoModal();
}

void CConverterApp::OnWebSite() { ShellOpen(L"open", kHomePageUrl); }

void CConverterApp::OnCheckForUpdates() { CheckForUpdates(GetUpdateInfoUrl(), GetWebProgram().versionText, 0, FALSE); }

void CConverterApp::OnHowToUse() { ShellOpen(L"open", kHowToUseUrl); }

void CConverterApp::OnEmailUs() { SendSupportMail(); }
