// The viewer's settings in the test prefix's registry and its shared resources.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <shlwapi.h>

#include "tests/viewer/ViewerTestSupport.h"

namespace {
const wchar_t kSettingsKey[] = L"Software\\Morrowtide\\Glimmerscope\\Settings";

bool ValueExists(LPCTSTR key, LPCTSTR name) {
  HKEY h = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &h)) return false;
  LONG r = ::RegQueryValueExW(h, name, nullptr, nullptr, nullptr, nullptr);
  ::RegCloseKey(h);
  return r == ERROR_SUCCESS;
}

void WriteInt(LPCTSTR name, DWORD value) {
  HKEY h = nullptr;
  ::RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr);
  ::RegSetValueExW(h, name, 0, REG_DWORD, (const BYTE*)&value, sizeof(value));
  ::RegCloseKey(h);
}

CString Pictures() {
  wchar_t buf[MAX_PATH] = {0};
  ::SHGetSpecialFolderPathW(nullptr, buf, CSIDL_MYPICTURES, TRUE);
  return buf;
}
}  // namespace

TEST(ViewerSettings, FirstStartDefaultsAndWhatTheFirstExitWrites) {
  DeleteViewerKey();
  CViewerTestApp app;
  CViewerSettings& s = app.m_settings;
  EXPECT_EQ(0, s.Load());
  EXPECT_EQ(1, s.m_bAutoCheckUpdate);
  EXPECT_EQ(7, s.m_nCheckInterval);
  EXPECT_EQ(0, s.m_bAlwaysOnTop);
  EXPECT_EQ(1, s.m_bAlwaysShowControlBar);
  EXPECT_EQ(-1, s.m_nWindowLeft);
  EXPECT_EQ(-1, s.m_nWindowTop);
  EXPECT_EQ(0, s.m_nWindowWidth);
  EXPECT_EQ(0, s.m_nWindowHeight);
  EXPECT_EQ(0, s.m_bWindowMaximized);
  EXPECT_STREQ(L"", s.m_strLastOpenFile);
  ASSERT_FALSE(Pictures().IsEmpty());
  EXPECT_STREQ(Pictures(), s.m_strLastOpenFolder);
  EXPECT_STREQ(Pictures(), s.m_strLastSaveFolder);
  EXPECT_TRUE(::PathIsDirectoryW(s.m_strLastOpenFolder));
  EXPECT_EQ(1, s.m_bSaveRecentFiles);
  EXPECT_EQ(30, s.m_nMaxRecentFiles);
  EXPECT_EQ(30, s.m_recentList.m_nMaxCount);
  EXPECT_STREQ(L"Recent\\Files", s.m_recentList.m_strSection);
  EXPECT_EQ(0, s.m_recentList.GetCount());

  s.Save();
  for (LPCTSTR name : {L"AutoCheckUpdate", L"AutoCheckUpdate.Every", L"AlwaysOnTop", L"AlwaysShowControlBar",
                       L"Window.Left", L"Window.Top", L"Window.Width", L"Window.Height", L"Window.Maximized",
                       L"LastOpenFile", L"LastOpenFolder", L"LastSaveFolder"})
    EXPECT_TRUE(ValueExists(kSettingsKey, name)) << CStringA(name).GetString();
  // Read, never written.
  EXPECT_FALSE(ValueExists(kSettingsKey, L"SaveRecentFiles"));
  EXPECT_FALSE(ValueExists(kSettingsKey, L"MaxRecentFiles"));
  EXPECT_STREQ(Pictures(), app.GetProfileString(L"Settings", L"LastOpenFolder"));
}

TEST(ViewerSettings, RoundTripAndTheRecentListSize) {
  DeleteViewerKey();
  {
    CViewerTestApp app;
    CViewerSettings& s = app.m_settings;
    s.Load();
    s.m_bAutoCheckUpdate = 0;
    s.m_nCheckInterval = 3;
    s.m_bAlwaysOnTop = 1;
    s.m_bAlwaysShowControlBar = 0;
    s.m_nWindowLeft = -20;  // partly off the left edge is a real position
    s.m_nWindowTop = 15;
    s.m_nWindowWidth = 800;
    s.m_nWindowHeight = 600;
    s.m_bWindowMaximized = 1;
    s.m_strLastOpenFile = L"C:\\scans\\knee 01.dcm";
    s.m_strLastOpenFolder = L"C:\\scans";
    s.m_strLastSaveFolder = L"D:\\snapshots";
    s.m_recentList.Add(L"C:\\scans\\older.dcm");
    s.m_recentList.Add(L"C:\\scans\\knee 01.dcm");
    s.Save();
  }
  {
    CViewerTestApp app;
    CViewerSettings& s = app.m_settings;
    s.Load();
    EXPECT_EQ(0, s.m_bAutoCheckUpdate);
    EXPECT_EQ(3, s.m_nCheckInterval);
    EXPECT_EQ(1, s.m_bAlwaysOnTop);
    EXPECT_EQ(0, s.m_bAlwaysShowControlBar);
    EXPECT_EQ(-20, s.m_nWindowLeft);
    EXPECT_EQ(15, s.m_nWindowTop);
    EXPECT_EQ(800, s.m_nWindowWidth);
    EXPECT_EQ(600, s.m_nWindowHeight);
    EXPECT_EQ(1, s.m_bWindowMaximized);
    EXPECT_STREQ(L"C:\\scans\\knee 01.dcm", s.m_strLastOpenFile);
    EXPECT_STREQ(L"C:\\scans", s.m_strLastOpenFolder);
    EXPECT_STREQ(L"D:\\snapshots", s.m_strLastSaveFolder);
    ASSERT_EQ(2, s.m_recentList.GetCount());
    EXPECT_STREQ(L"C:\\scans\\knee 01.dcm", s.m_recentList.GetAt(0));
    EXPECT_TRUE(ValueExists(L"Software\\Morrowtide\\Glimmerscope\\Recent\\Files", L"01"));
  }
  // A smaller maximum reads fewer entries; no recent files reads none.
  WriteInt(L"MaxRecentFiles", 1);
  {
    CViewerTestApp app;
    app.m_settings.Load();
    EXPECT_EQ(1, app.m_settings.m_nMaxRecentFiles);
    EXPECT_EQ(1, app.m_settings.m_recentList.GetCount());
  }
  // The list never outgrows its menu commands: a huge maximum would make start-up and the menu crawl.
  for (DWORD written : {100u, 101u, 0x7FFFFFFFu}) {
    WriteInt(L"MaxRecentFiles", written);
    CViewerTestApp app;
    app.m_settings.Load();
    EXPECT_EQ(100, app.m_settings.m_recentList.m_nMaxCount) << written;
  }
  WriteInt(L"SaveRecentFiles", 0);
  {
    CViewerTestApp app;
    app.m_settings.Load();
    EXPECT_EQ(0, app.m_settings.m_recentList.m_nMaxCount);
    EXPECT_EQ(0, app.m_settings.m_recentList.GetCount());
    app.m_settings.m_recentList.Add(L"C:\\x.dcm");
    EXPECT_EQ(0, app.m_settings.m_recentList.GetCount());
  }
}

TEST(ViewerResources, FontsCursorAndPublishing) {
  CViewerResources res;
  EXPECT_EQ(0, res.Init());
  EXPECT_EQ(&res, GetUIResources());
  LOGFONTW stock = {}, normal = {}, bold = {}, large = {}, under = {};
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(stock), &stock);
  res.m_fontNormal.GetLogFont(&normal);
  res.m_fontBold.GetLogFont(&bold);
  res.m_fontLargeBold.GetLogFont(&large);
  res.m_fontUnderline.GetLogFont(&under);
  EXPECT_STREQ(L"Tahoma", normal.lfFaceName);
  const LONG height = lstrcmpW(stock.lfFaceName, L"Tahoma") == 0 ? stock.lfHeight : -11;
  EXPECT_EQ(height, normal.lfHeight);
  EXPECT_EQ(FW_BOLD, bold.lfWeight);
  EXPECT_FALSE(bold.lfUnderline);
  EXPECT_TRUE(under.lfUnderline);
  EXPECT_EQ(height + height / 3, large.lfHeight);
  EXPECT_EQ(FW_BOLD, large.lfWeight);
  EXPECT_EQ(&res.m_fontBold, GetSharedFont(CUIResources::FontBold));
  // The viewer's own cursor, hot spot at the finger tip.
  ASSERT_NE(nullptr, res.m_hCursor);
  ICONINFO info = {};
  ASSERT_TRUE(::GetIconInfo(res.m_hCursor, &info));
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(8u, info.xHotspot);
  EXPECT_EQ(1u, info.yHotspot);
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  if (info.hbmMask) ::DeleteObject(info.hbmMask);
  EXPECT_EQ(res.m_hCursor, GetSharedHandCursor());
  // Under Wine the system reports an NT 6 version.
  EXPECT_EQ(res.m_osVersion.m_info.dwMajorVersion > 5, res.IsNT6OrLater());
}
