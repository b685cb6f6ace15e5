// The viewer's application object in this process: start-up from the saved
// settings (maximised, the automatic update check), the command line's
// parameters, the recent list's menu and commands, the dialogs of the Tools
// and Help menus, and exit saving the settings.
#include <gtest/gtest.h>

#include "viewer/MainFrame.h"
#include "viewer/PlayView.h"
#include "tests/support/ShellRecorder.h"
#include "tests/TestPaths.h"
#include "viewer/ViewerApp.h"
#include "tests/viewer/app/ViewerAppTestSupport.h"
#include "tests/viewer/ViewerTestSupport.h"

namespace {
class CTestViewerApp : public CViewerApp {
} theApp;

const wchar_t kKey[] = L"Software\\Morrowtide\\Glimmerscope";
const wchar_t kSettings[] = L"Software\\Morrowtide\\Glimmerscope\\Settings";
const wchar_t kRecent[] = L"Software\\Morrowtide\\Glimmerscope\\Recent\\Files";

void SetNumber(LPCTSTR key, LPCTSTR name, DWORD value) {
  ::RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_DWORD, &value, sizeof(value));
}
void SetText(LPCTSTR key, LPCTSTR name, const CString& value) {
  ::RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_SZ, (LPCTSTR)value,
                    (DWORD)((value.GetLength() + 1) * sizeof(wchar_t)));
}
CString Text(LPCTSTR key, LPCTSTR name) {
  wchar_t buf[2048] = {};
  DWORD size = sizeof(buf);
  if (::RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, buf, &size)) return L"<missing>";
  return buf;
}
DWORD Number(LPCTSTR key, LPCTSTR name) {
  DWORD value = 0, size = sizeof(value);
  if (::RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size)) return 0xFFFFFFFF;
  return value;
}

struct UpdateCall {
  int count = 0;
  int interval = -1;
  BOOL silent = -1;
  CString version;
} g_update;

void RecordUpdateCheck(CWnd*, LPCTSTR, LPCTSTR version, int interval, BOOL silent) {
  ++g_update.count;
  g_update.interval = interval;
  g_update.silent = silent;
  g_update.version = version;
}

// The texts and ids of a popup's items.
std::vector<std::pair<UINT, CString>> Items(HMENU menu) {
  std::vector<std::pair<UINT, CString>> out;
  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
    wchar_t text[512] = {};
    ::GetMenuStringW(menu, i, text, 512, MF_BYPOSITION);
    out.push_back({::GetMenuItemID(menu, i), text});
  }
  return out;
}
}  // namespace

TEST(ViewerCommandLine, PathsInOrderFlagsAside) {
  CViewerCommandLineInfo info;
  info.ParseParam(L"C:\\scans\\a.dcm", FALSE, FALSE);
  info.ParseParam(L"Embedding", TRUE, FALSE);
  info.ParseParam("C:\\scans\\b c", FALSE, FALSE);
  info.ParseParam(L"x", TRUE, TRUE);
  ASSERT_EQ(2, info.m_arrPaths.GetSize());
  EXPECT_STREQ(L"C:\\scans\\a.dcm", info.m_arrPaths[0]);
  EXPECT_STREQ(L"C:\\scans\\b c", info.m_arrPaths[1]);
  EXPECT_EQ(CCommandLineInfo::FileOpen, info.m_nShellCommand);
  EXPECT_FALSE(info.m_bShowSplash);  // embedded

  CViewerCommandLineInfo none;
  none.ParseParam(L"p", TRUE, TRUE);
  EXPECT_EQ(0, none.m_arrPaths.GetSize());
  EXPECT_EQ(CCommandLineInfo::FilePrint, none.m_nShellCommand);  // the base's reading; the viewer ignores it
  EXPECT_TRUE(none.m_bShowSplash);
}

TEST(ViewerApp, StartsFromItsSettingsKeepsTheRecentListAndSavesAtExit) {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
  SetText(kKey, L"AppFolder", BuildTreePath(L"bin"));
  SetNumber(kSettings, L"Window.Maximized", 1);
  SetNumber(kSettings, L"AutoCheckUpdate", 1);
  SetNumber(kSettings, L"AutoCheckUpdate.Every", 3);
  SetNumber(kSettings, L"MaxRecentFiles", 3);
  const CString first = ViewerFixture(L"ct40\\slice01.dcm"), gone = ViewerFixture(L"ct40\\no longer here.dcm");
  SetText(kRecent, L"01", first);
  SetText(kRecent, L"02", gone);
  CMessageBoxRecorder boxes;

  ASSERT_TRUE(theApp.InitInstance());
  SetViewerUpdateCheck(RecordUpdateCheck);  // before the posted check runs
  CMainFrame* frame = DYNAMIC_DOWNCAST(CMainFrame, theApp.m_pMainWnd);
  ASSERT_NE(nullptr, frame);
  CPlayView* view = GetPlayView();
  ASSERT_NE(nullptr, view);
  EXPECT_TRUE(frame->IsZoomed());
  EXPECT_TRUE(PumpAppUntil([] { return g_update.count > 0; }));
  EXPECT_EQ(1, g_update.count);
  EXPECT_EQ(TRUE, g_update.silent);
  EXPECT_EQ(3, g_update.interval);
  EXPECT_STREQ(L"1.11.0", g_update.version);
  // No paths on this command line: nothing opens.
  EXPECT_TRUE(view->m_btnOpenFiles.IsWindowVisible());
  EXPECT_TRUE(view->m_strCurrentPath.IsEmpty());

  // The recent popup lists the entries as the File menu opens it.
  HMENU file = ::GetSubMenu(frame->m_wndMenuBar.GetMenu(), 0);
  HMENU recent = nullptr;
  int recentPos = -1;
  for (int i = 0; i < ::GetMenuItemCount(file); ++i)
    if (HMENU sub = ::GetSubMenu(file, i)) recent = sub, recentPos = i;
  ASSERT_NE(nullptr, recent);
  frame->SendMessage(WM_INITMENUPOPUP, (WPARAM)recent, MAKELPARAM(recentPos, FALSE));
  auto items = Items(recent);
  ASSERT_EQ(4u, items.size());
  EXPECT_EQ((UINT)ID_RECENT_FIRST, items[0].first);
  EXPECT_STREQ(first, items[0].second);
  EXPECT_EQ((UINT)ID_RECENT_FIRST + 1, items[1].first);
  EXPECT_STREQ(gone, items[1].second);
  EXPECT_EQ((UINT)ID_RECENT_CLEAR, items[3].first);
  EXPECT_FALSE(::GetMenuState(recent, ID_RECENT_CLEAR, MF_BYCOMMAND) & MF_GRAYED);

  // An entry that is gone disappears on its click, without a message; one
  // that is there opens.
  frame->SendMessage(WM_COMMAND, ID_RECENT_FIRST + 1, 0);
  PumpApp();
  EXPECT_TRUE(boxes.Texts().empty());
  ASSERT_EQ(1, theApp.m_settings.m_recentList.GetCount());
  frame->SendMessage(WM_COMMAND, ID_RECENT_FIRST, 0);
  PumpApp();
  EXPECT_STREQ(first, view->m_strCurrentPath);
  EXPECT_STREQ(L"slice01.dcm", frame->m_wndStatusBar.GetPaneText(2));

  // Paths opened go in front, the list keeps three.
  for (LPCTSTR name : {L"ct40\\slice02.dcm", L"ct40\\slice03.dcm", L"ct40"}) {
    view->OpenPath(ViewerFixture(name));
    PumpApp();
  }
  ASSERT_EQ(3, theApp.m_settings.m_recentList.GetCount());
  EXPECT_STREQ(ViewerFixture(L"ct40"), theApp.m_settings.m_recentList.GetAt(0));
  EXPECT_STREQ(ViewerFixture(L"ct40\\slice02.dcm"), theApp.m_settings.m_recentList.GetAt(2));

  // Clear Recent List empties it and is then disabled; the popup shows its placeholder.
  frame->SendMessage(WM_COMMAND, ID_RECENT_CLEAR, 0);
  EXPECT_EQ(0, theApp.m_settings.m_recentList.GetCount());
  frame->SendMessage(WM_INITMENUPOPUP, (WPARAM)recent, MAKELPARAM(recentPos, FALSE));
  items = Items(recent);
  ASSERT_EQ(3u, items.size());
  EXPECT_STREQ(L"Recent File/Folder", items[0].second);
  EXPECT_TRUE(::GetMenuState(recent, ID_RECENT_FIRST, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_TRUE(::GetMenuState(recent, ID_RECENT_CLEAR, MF_BYCOMMAND) & MF_GRAYED);
  view->OpenPath(ViewerFixture(L"ct40\\slice04.dcm"));
  PumpApp();

  // Tools > Settings and Help > About are the application's dialogs.
  bool settingsShown = false, aboutShown = false;
  RunWhenShown(L"Settings", [&](HWND dlg) {
    settingsShown = true;
    ::PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  frame->SendMessage(WM_COMMAND, ID_TOOLS_SETTINGS, 0);
  RunWhenShown(L"About Glimmerscope", [&](HWND dlg) {
    aboutShown = true;
    ::PostMessageW(dlg, WM_COMMAND, IDOK, 0);
  });
  frame->SendMessage(WM_COMMAND, ID_APP_ABOUT, 0);
  EXPECT_TRUE(settingsShown);
  EXPECT_TRUE(aboutShown);
  // Help's web page and mail go to the shell.
  std::vector<ShellCall> opened;
  {
    CShellRecorder shell;
    frame->SendMessage(WM_COMMAND, ID_HELP_WEBSITE, 0);
    frame->SendMessage(WM_COMMAND, ID_HELP_EMAIL, 0);
    opened = shell.Calls();
  }
  ASSERT_EQ(2u, opened.size());
  EXPECT_STREQ(L"open", opened[0].verb);
  EXPECT_STREQ(L"http://www.morrowtide.com", opened[0].file);
  EXPECT_STREQ(L"mailto:support@morrowtide.com?subject=About Glimmerscope 0.3.0", opened[1].file);

  // Exit: the window closes, then the settings are saved.
  frame->SendMessage(WM_CLOSE);
  EXPECT_EQ(nullptr, theApp.m_pMainWnd);
  theApp.ExitInstance();
  EXPECT_EQ(1u, Number(kSettings, L"Window.Maximized"));
  EXPECT_EQ(1u, Number(kSettings, L"AutoCheckUpdate"));
  EXPECT_STREQ(ViewerFixture(L"ct40\\slice04.dcm"), Text(kSettings, L"LastOpenFile"));
  EXPECT_STREQ(ViewerFixture(L"ct40"), Text(kSettings, L"LastOpenFolder"));
  EXPECT_STREQ(ViewerFixture(L"ct40\\slice04.dcm"), Text(kRecent, L"01"));
  EXPECT_STREQ(L"<missing>", Text(kRecent, L"02"));
  EXPECT_EQ(3u, Number(kSettings, L"MaxRecentFiles"));
  ::RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
}
