#include "viewer/ViewerSettings.h"

#include "foundation/Folders.h"
#include "resources/viewer/ViewerRes.h"

namespace {
CViewerSettings* g_pSettings = nullptr;
const wchar_t kSection[] = L"Settings";
static_assert(CViewerSettings::kMaxRecentFiles == ID_RECENT_LAST - ID_RECENT_FIRST + 1,
              "every recent entry has a menu command");
}  // namespace

CViewerSettings* GetViewerSettings() { return g_pSettings; }
void SetViewerSettings(CViewerSettings* settings) { g_pSettings = settings; }

CSettingFields CViewerSettings::Fields() {
  return {
      BoolSetting(L"AutoCheckUpdate", m_bAutoCheckUpdate),
      IntSetting(L"AutoCheckUpdate.Every", m_nCheckInterval),
      BoolSetting(L"AlwaysOnTop", m_bAlwaysOnTop),
      BoolSetting(L"AlwaysShowControlBar", m_bAlwaysShowControlBar),
      IntSetting(L"Window.Left", m_nWindowLeft),
      IntSetting(L"Window.Top", m_nWindowTop),
      IntSetting(L"Window.Width", m_nWindowWidth),
      IntSetting(L"Window.Height", m_nWindowHeight),
      BoolSetting(L"Window.Maximized", m_bWindowMaximized),
      TextSetting(L"LastOpenFile", m_strLastOpenFile),
      TextSetting(L"LastOpenFolder", m_strLastOpenFolder),
      TextSetting(L"LastSaveFolder", m_strLastSaveFolder),
      BoolSetting(L"SaveRecentFiles", m_bSaveRecentFiles, SETTING_READ_ONLY),
      IntSetting(L"MaxRecentFiles", m_nMaxRecentFiles, 0, kMaxRecentFiles, SETTING_READ_ONLY),
  };
}

int CViewerSettings::Load() {
  if (CWinApp* app = AfxGetApp()) {
    LoadSettingFields(app, kSection, Fields());
    if (m_strLastOpenFolder.IsEmpty()) m_strLastOpenFolder = GetPicturesFolder();
    if (m_strLastSaveFolder.IsEmpty()) m_strLastSaveFolder = GetPicturesFolder();
  }
  SetUpRecentList(m_bSaveRecentFiles ? m_nMaxRecentFiles : 0);
  return 0;
}

void CViewerSettings::Save() {
  CWinApp* app = AfxGetApp();
  if (!app) return;
  SaveSettingFields(app, kSection, Fields());
  m_recentList.WriteList();
}

void CViewerSettings::SetUpRecentList(int maxEntries) {
  m_recentList.m_strSection = L"Recent\\Files";
  m_recentList.m_strEntryFormat = L"%02d";
  m_recentList.m_nMaxCount = maxEntries < 0 ? 0 : maxEntries;
  m_recentList.m_arrNames.RemoveAll();
  if (m_recentList.m_nMaxCount != 0) m_recentList.ReadList();
}
