#include "ViewerSettings.h"

#include "Helpers.h"

namespace {
CViewerSettings* g_pSettings = nullptr;
const wchar_t kSection[] = L"Settings";
}  // namespace

CViewerSettings* GetViewerSettings() { return g_pSettings; }
void SetViewerSettings(CViewerSettings* settings) { g_pSettings = settings; }

int CViewerSettings::Load() {
  CWinApp* app = AfxGetApp();
  if (app) {
    struct {
      LPCTSTR name;
      int* value;
    } const ints[] = {
        {L"AutoCheckUpdate", &m_bAutoCheckUpdate},   {L"AutoCheckUpdate.Every", &m_nCheckInterval},
        {L"AlwaysOnTop", &m_bAlwaysOnTop},           {L"AlwaysShowControlBar", &m_bAlwaysShowControlBar},
        {L"Window.Left", &m_nWindowLeft},            {L"Window.Top", &m_nWindowTop},
        {L"Window.Width", &m_nWindowWidth},          {L"Window.Height", &m_nWindowHeight},
        {L"Window.Maximized", &m_bWindowMaximized},
    };
    for (const auto& v : ints) *v.value = (int)app->GetProfileInt(kSection, v.name, *v.value);
    m_strLastOpenFile = app->GetProfileString(kSection, L"LastOpenFile", m_strLastOpenFile);
    m_strLastOpenFolder = app->GetProfileString(kSection, L"LastOpenFolder", m_strLastOpenFolder);
    if (m_strLastOpenFolder.IsEmpty()) m_strLastOpenFolder = GetPicturesFolder();
    m_strLastSaveFolder = app->GetProfileString(kSection, L"LastSaveFolder", m_strLastSaveFolder);
    if (m_strLastSaveFolder.IsEmpty()) m_strLastSaveFolder = GetPicturesFolder();
    m_bSaveRecentFiles = (int)app->GetProfileInt(kSection, L"SaveRecentFiles", m_bSaveRecentFiles);
    m_nMaxRecentFiles = (int)app->GetProfileInt(kSection, L"MaxRecentFiles", m_nMaxRecentFiles);
  }
  SetUpRecentList(m_bSaveRecentFiles ? m_nMaxRecentFiles : 0);
  return 0;
}

void CViewerSettings::Save() {
  CWinApp* app = AfxGetApp();
  if (!app) return;
  app->WriteProfileInt(kSection, L"AutoCheckUpdate", m_bAutoCheckUpdate ? 1 : 0);
  app->WriteProfileInt(kSection, L"AutoCheckUpdate.Every", m_nCheckInterval);
  app->WriteProfileInt(kSection, L"AlwaysOnTop", m_bAlwaysOnTop ? 1 : 0);
  app->WriteProfileInt(kSection, L"AlwaysShowControlBar", m_bAlwaysShowControlBar ? 1 : 0);
  app->WriteProfileInt(kSection, L"Window.Left", m_nWindowLeft);
  app->WriteProfileInt(kSection, L"Window.Top", m_nWindowTop);
  app->WriteProfileInt(kSection, L"Window.Width", m_nWindowWidth);
  app->WriteProfileInt(kSection, L"Window.Height", m_nWindowHeight);
  app->WriteProfileInt(kSection, L"Window.Maximized", m_bWindowMaximized ? 1 : 0);
  app->WriteProfileString(kSection, L"LastOpenFile", m_strLastOpenFile);
  app->WriteProfileString(kSection, L"LastOpenFolder", m_strLastOpenFolder);
  app->WriteProfileString(kSection, L"LastSaveFolder", m_strLastSaveFolder);
  m_recentList.WriteList();
}

void CViewerSettings::SetUpRecentList(int maxEntries) {
  m_recentList.m_strSection = L"Recent\\Files";
  m_recentList.m_strEntryFormat = L"%02d";
  m_recentList.m_nMaxCount = maxEntries < 0 ? 0 : maxEntries;
  m_recentList.m_arrNames.RemoveAll();
  if (m_recentList.m_nMaxCount != 0) m_recentList.ReadList();
}
