// The viewer's main frame under Wine: made through the template, the drawn
// menu bar in place of the window menu, the status line, full screen with
// its exact way back, Esc, Always On Top, the saved placement (also when
// closed minimised), the end of the session and the automatic update check.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "tests/support/UiTestSupport.h"
#include "tests/viewer/ViewerTestSupport.h"
#include "foundation/web/WebProgram.h"

namespace {
HMENU BarMenu(CRecordingFrame* frame) { return frame->m_wndMenuBar.GetMenu(); }

CString StatusText(CRecordingFrame* frame, int pane) { return frame->m_wndStatusBar.GetPaneText(pane); }

DWORD RegInt(LPCTSTR name, DWORD missing = 0xDEADBEEF) {
  DWORD value = 0, size = sizeof(value), type = 0;
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Morrowtide\\Glimmerscope\\Settings", 0, KEY_READ, &key))
    return missing;
  LONG r = ::RegQueryValueExW(key, name, nullptr, &type, (LPBYTE)&value, &size);
  ::RegCloseKey(key);
  return r == ERROR_SUCCESS ? value : missing;
}

// The saved placement as a rectangle.
CRect SavedPlacement(const CViewerSettings& s) {
  return CRect(s.m_nWindowLeft, s.m_nWindowTop, s.m_nWindowLeft + s.m_nWindowWidth, s.m_nWindowTop + s.m_nWindowHeight);
}

struct UpdateCall {
  int count = 0;
  CString url, version;
  int interval = -1;
  BOOL silent = -1;
} g_update;

void RecordUpdateCheck(CWnd*, LPCTSTR url, LPCTSTR version, int interval, BOOL silent) {
  ++g_update.count;
  g_update.url = url;
  g_update.version = version;
  g_update.interval = interval;
  g_update.silent = silent;
}
}  // namespace

TEST(MainFrame, TemplateMakesTheDarkFrameWithDrawnMenuAndStatusLine) {
  DeleteViewerKey();
  CViewerTestApp app;
  CRecordingFrame* frame = app.Start();
  ASSERT_NE(nullptr, frame);
  EXPECT_TRUE(frame->IsKindOf(RUNTIME_CLASS(CMainFrame)));
  EXPECT_EQ(frame, AfxGetMainWnd());

  // The window menu became the bar; the caption is the program's title alone.
  EXPECT_EQ(nullptr, ::GetMenu(frame->m_hWnd));
  ASSERT_EQ(5, frame->m_wndMenuBar.GetItemCount());
  const wchar_t* captions[] = {L"File", L"Edit", L"View", L"Tools", L"Help"};
  for (int i = 0; i < 5; ++i) EXPECT_STREQ(captions[i], frame->m_wndMenuBar.GetItem(i)->m_strCaption);
  CString caption;
  frame->GetWindowText(caption);
  EXPECT_STREQ(L"Glimmerscope", caption);
  EXPECT_FALSE(frame->GetExStyle() & WS_EX_CLIENTEDGE);

  // Menu bar on top (22 px), status bar at the bottom, the view between them, published.
  CRect client = ClientScreenRect(frame->m_hWnd);
  CRect bar = ScreenRect(frame->m_wndMenuBar.m_hWnd), status = ScreenRect(frame->m_wndStatusBar.m_hWnd);
  CPlayView* view = GetPlayView();
  ASSERT_NE(nullptr, view);
  CRect viewRect = ScreenRect(view->m_hWnd);
  EXPECT_EQ(client.top, bar.top);
  EXPECT_EQ(22, bar.Height());
  EXPECT_EQ(bar.bottom, viewRect.top);
  EXPECT_EQ(status.top, viewRect.bottom);
  EXPECT_EQ(client.bottom, status.bottom);
  EXPECT_FALSE(view->GetExStyle() & WS_EX_CLIENTEDGE);

  // A first start centres the frame on the work area.
  MONITORINFO mi = {sizeof(mi)};
  ::GetMonitorInfoW(::MonitorFromWindow(frame->m_hWnd, MONITOR_DEFAULTTOPRIMARY), &mi);
  CRect work(mi.rcWork), wr = ScreenRect(frame->m_hWnd);
  EXPECT_NEAR(work.CenterPoint().x, wr.CenterPoint().x, 1);
  EXPECT_NEAR(work.CenterPoint().y, wr.CenterPoint().y, 1);

  // "Ready", and a prompt while an item is highlighted.
  EXPECT_TRUE(PumpAppUntil([&] { return StatusText(frame, 0) == L"Ready"; }));
  HMENU file = ::GetSubMenu(BarMenu(frame), 0);
  frame->SendMessage(WM_MENUSELECT, MAKEWPARAM(ID_FILE_OPENFOLDER, MF_HILITE), (LPARAM)file);
  EXPECT_STREQ(L"Open a folder to view DICOM or other medical image files in the folder", StatusText(frame, 0));
  frame->SendMessage(WM_MENUSELECT, MAKEWPARAM(ID_APP_ABOUT, MF_HILITE), (LPARAM)::GetSubMenu(BarMenu(frame), 4));
  EXPECT_STREQ(L"Display application information, version number and copyright", StatusText(frame, 0));
  frame->SendMessage(WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
  EXPECT_STREQ(L"Ready", StatusText(frame, 0));

  // View > Status Bar: the bar goes, the view takes its place, the check follows.
  HMENU viewMenu = ::GetSubMenu(BarMenu(frame), 2);
  frame->SendMessage(WM_INITMENUPOPUP, (WPARAM)viewMenu, 2);
  EXPECT_TRUE(::GetMenuState(viewMenu, ID_VIEW_STATUS_BAR, MF_BYCOMMAND) & MF_CHECKED);
  frame->SendMessage(WM_COMMAND, ID_VIEW_STATUS_BAR, 0);
  EXPECT_FALSE(frame->m_wndStatusBar.IsWindowVisible());
  EXPECT_EQ(client.bottom, ScreenRect(view->m_hWnd).bottom);
  frame->SendMessage(WM_INITMENUPOPUP, (WPARAM)viewMenu, 2);
  EXPECT_FALSE(::GetMenuState(viewMenu, ID_VIEW_STATUS_BAR, MF_BYCOMMAND) & MF_CHECKED);
  frame->SendMessage(WM_COMMAND, ID_VIEW_STATUS_BAR, 0);
  EXPECT_EQ(ScreenRect(frame->m_wndStatusBar.m_hWnd).top, ScreenRect(view->m_hWnd).bottom);
  frame->SendMessage(WM_INITMENUPOPUP, (WPARAM)viewMenu, 2);
  EXPECT_TRUE(::GetMenuState(viewMenu, ID_VIEW_STATUS_BAR, MF_BYCOMMAND) & MF_CHECKED);

  // The empty frame: black view, two picture buttons in the middle, dark bars.
  frame->SetWindowPos(nullptr, 0, 0, 640, 440, SWP_NOMOVE | SWP_NOZORDER);
  PumpApp();
  CWindowShot shot = CaptureWindow(frame->m_hWnd);
  shot.SavePng(L"viewer-empty-frame.png");
  CRect files = ScreenRect(view->m_btnOpenFiles.m_hWnd), folder = ScreenRect(view->m_btnOpenFolder.m_hWnd);
  viewRect = ScreenRect(view->m_hWnd);
  client = ClientScreenRect(frame->m_hWnd);
  EXPECT_EQ(96, files.Width());
  EXPECT_EQ(96, files.Height());
  EXPECT_EQ(files.left + 160, folder.left);
  EXPECT_EQ(viewRect.left + (viewRect.Width() - 256) / 2, files.left);
  EXPECT_EQ(viewRect.top + (viewRect.Height() - 96) / 2, files.top);
  auto at = [&](CPoint screen) { return shot.At(screen.x - client.left, screen.y - client.top); };
  EXPECT_TRUE(ColorNear(RGB(0, 0, 0), at(CPoint(viewRect.left + 5, viewRect.top + 5))));
  EXPECT_TRUE(ColorNear(RGB(0x20, 0x20, 0x20), at(CPoint(files.left + 2, files.top + 2))));
  EXPECT_TRUE(ColorNear(RGB(0x20, 0x20, 0x20), at(CPoint(folder.right - 3, folder.bottom - 3))));
  EXPECT_TRUE(ColorNear(RGB(0x30, 0x30, 0x30), at(CPoint(client.right - 4, client.top + 2))));
  EXPECT_TRUE(ColorNear(RGB(0x30, 0x30, 0x30), at(CPoint(client.right - 40, client.bottom - 3))));
  frame->SendMessage(WM_CLOSE);
  EXPECT_EQ(nullptr, app.m_pMainWnd);
}

TEST(MainFrame, FullScreenCoversTheScreenAndComesBackExactly) {
  DeleteViewerKey();
  CViewerTestApp app;
  SetSavedPlacement(app.m_settings, 120, 90, 620, 430);
  CRecordingFrame* frame = app.Start();
  ASSERT_NE(nullptr, frame);
  const CRect normal = ScreenRect(frame->m_hWnd);
  EXPECT_EQ(CRect(120, 90, 740, 520), normal);  // the saved placement is used
  const int cx = ::GetSystemMetrics(SM_CXSCREEN), cy = ::GetSystemMetrics(SM_CYSCREEN);

  // Bars stay on screen: the client area covers the screen (2 px beyond every edge).
  frame->SendMessage(WM_COMMAND, ID_VIEW_FULLSCREEN, 0);
  EXPECT_TRUE(frame->IsFullScreen());
  EXPECT_EQ(CRect(-2, -2, cx + 2, cy + 2), ClientScreenRect(frame->m_hWnd));
  HMENU viewMenu = ::GetSubMenu(BarMenu(frame), 2);
  frame->SendMessage(WM_INITMENUPOPUP, (WPARAM)viewMenu, 2);
  EXPECT_TRUE(::GetMenuState(viewMenu, ID_VIEW_FULLSCREEN, MF_BYCOMMAND) & MF_CHECKED);
  // The full-screen window does not move.
  frame->SetWindowPos(nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_EQ(CRect(-2, -2, cx + 2, cy + 2), ClientScreenRect(frame->m_hWnd));
  PumpApp();
  CWindowShot shot = CaptureScreen();
  shot.SavePng(L"viewer-fullscreen.png");
  EXPECT_TRUE(ColorNear(RGB(0x30, 0x30, 0x30), shot.At(cx - 3, 5)));       // menu bar
  EXPECT_TRUE(ColorNear(RGB(0x30, 0x30, 0x30), shot.At(cx / 2, cy - 4)));  // status bar
  EXPECT_TRUE(ColorNear(RGB(0, 0, 0), shot.At(cx / 4, cy / 4)));           // view
  frame->SendMessage(WM_COMMAND, ID_VIEW_FULLSCREEN, 0);
  EXPECT_FALSE(frame->IsFullScreen());
  EXPECT_EQ(normal, ScreenRect(frame->m_hWnd));
  frame->SendMessage(WM_INITMENUPOPUP, (WPARAM)viewMenu, 2);
  EXPECT_FALSE(::GetMenuState(viewMenu, ID_VIEW_FULLSCREEN, MF_BYCOMMAND) & MF_CHECKED);

  // Bars hidden in full screen: the view alone covers the screen; a hidden
  // status bar adds nothing below.
  app.m_settings.m_bAlwaysShowControlBar = 0;
  const int statusHeight = ScreenRect(frame->m_wndStatusBar.m_hWnd).Height();
  frame->SendMessage(WM_COMMAND, ID_VIEW_FULLSCREEN, 0);
  EXPECT_EQ(CRect(-2, -2 - 22, cx + 2, cy + 2 + statusHeight), ClientScreenRect(frame->m_hWnd));
  EXPECT_EQ(CRect(-2, -2, cx + 2, cy + 2), ScreenRect(GetPlayView()->m_hWnd));
  frame->SendMessage(WM_COMMAND, ID_VIEW_FULLSCREEN, 0);
  EXPECT_EQ(normal, ScreenRect(frame->m_hWnd));
  frame->SendMessage(WM_COMMAND, ID_VIEW_STATUS_BAR, 0);
  frame->SendMessage(WM_COMMAND, ID_VIEW_FULLSCREEN, 0);
  EXPECT_EQ(CRect(-2, -2 - 22, cx + 2, cy + 2), ClientScreenRect(frame->m_hWnd));
  frame->SendMessage(WM_COMMAND, ID_VIEW_FULLSCREEN, 0);
  frame->SendMessage(WM_COMMAND, ID_VIEW_STATUS_BAR, 0);
  EXPECT_EQ(normal, ScreenRect(frame->m_hWnd));

  // From maximised and back: maximised again, and the normal rectangle kept.
  frame->ShowWindow(SW_MAXIMIZE);
  const CRect maximized = ScreenRect(frame->m_hWnd);
  frame->SendMessage(WM_COMMAND, ID_VIEW_FULLSCREEN, 0);
  EXPECT_FALSE(frame->IsZoomed());
  frame->SendMessage(WM_COMMAND, ID_VIEW_FULLSCREEN, 0);
  EXPECT_TRUE(frame->IsZoomed());
  EXPECT_EQ(maximized, ScreenRect(frame->m_hWnd));
  frame->ShowWindow(SW_RESTORE);
  EXPECT_EQ(normal, ScreenRect(frame->m_hWnd));

  // Esc leaves full screen; outside it, Esc exits the program.
  app.m_settings.m_bAlwaysShowControlBar = 1;
  frame->SendMessage(WM_COMMAND, ID_VIEW_FULLSCREEN, 0);
  ASSERT_TRUE(frame->IsFullScreen());
  GetPlayView()->SetFocus();
  ::PostMessageW(GetPlayView()->m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  EXPECT_TRUE(PumpAppUntil([&] { return !frame->IsFullScreen(); }));
  EXPECT_EQ(normal, ScreenRect(frame->m_hWnd));
  ASSERT_NE(nullptr, app.m_pMainWnd);
  ::PostMessageW(GetPlayView()->m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  EXPECT_TRUE(PumpAppUntil([&] { return app.m_pMainWnd == nullptr; }));
  // Closed in normal state: the placement was kept.
  EXPECT_EQ(120, app.m_settings.m_nWindowLeft);
  EXPECT_EQ(620, app.m_settings.m_nWindowWidth);
  EXPECT_EQ(0, app.m_settings.m_bWindowMaximized);
}

TEST(MainFrame, PlacementIsSavedWhenClosedNormalMaximisedOrMinimised) {
  DeleteViewerKey();
  {
    CViewerTestApp app;
    CRecordingFrame* frame = app.Start();
    ASSERT_NE(nullptr, frame);
    frame->SetWindowPos(nullptr, 70, 60, 500, 380, SWP_NOZORDER);
    frame->SendMessage(WM_CLOSE);
    EXPECT_EQ(CRect(70, 60, 570, 440), SavedPlacement(app.m_settings));
    EXPECT_EQ(0, app.m_settings.m_bWindowMaximized);
  }
  {
    // Minimised: the normal rectangle, never the icon's.
    CViewerTestApp app;
    SetSavedPlacement(app.m_settings, 80, 50, 520, 360);
    CRecordingFrame* frame = app.Start();
    ASSERT_NE(nullptr, frame);
    frame->ShowWindow(SW_MINIMIZE);
    ASSERT_TRUE(frame->IsIconic());
    frame->SendMessage(WM_CLOSE);
    EXPECT_EQ(CRect(80, 50, 600, 410), SavedPlacement(app.m_settings));
    EXPECT_EQ(0, app.m_settings.m_bWindowMaximized);
  }
  {
    // Maximised, also when minimised from there: it comes back maximised.
    CViewerTestApp app;
    SetSavedPlacement(app.m_settings, 80, 50, 520, 360);
    CRecordingFrame* frame = app.Start();
    ASSERT_NE(nullptr, frame);
    frame->ShowWindow(SW_MAXIMIZE);
    frame->ShowWindow(SW_MINIMIZE);
    frame->SendMessage(WM_CLOSE);
    EXPECT_EQ(1, app.m_settings.m_bWindowMaximized);
    EXPECT_EQ(80, app.m_settings.m_nWindowLeft);
    EXPECT_EQ(520, app.m_settings.m_nWindowWidth);
  }
  {
    CViewerTestApp app;
    CRecordingFrame* frame = app.Start();
    ASSERT_NE(nullptr, frame);
    frame->ShowWindow(SW_MAXIMIZE);
    frame->SendMessage(WM_CLOSE);
    EXPECT_EQ(1, app.m_settings.m_bWindowMaximized);
  }
}

TEST(MainFrame, AlwaysOnTopTogglesStyleCheckAndSavedValue) {
  DeleteViewerKey();
  CViewerTestApp app;
  app.m_settings.Load();
  CRecordingFrame* frame = app.Start();
  ASSERT_NE(nullptr, frame);
  EXPECT_FALSE(frame->GetExStyle() & WS_EX_TOPMOST);
  // The system menu begins with "Always On Top" and a separator.
  HMENU sys = ::GetSystemMenu(frame->m_hWnd, FALSE);
  wchar_t text[64] = {0};
  ::GetMenuStringW(sys, 0, text, 64, MF_BYPOSITION);
  EXPECT_STREQ(L"Always On Top", text);
  EXPECT_EQ((UINT)IDM_ALWAYSONTOP, ::GetMenuItemID(sys, 0));
  EXPECT_TRUE(::GetMenuState(sys, 1, MF_BYPOSITION) & MF_SEPARATOR);

  frame->SendMessage(WM_SYSCOMMAND, IDM_ALWAYSONTOP, 0);
  EXPECT_TRUE(frame->GetExStyle() & WS_EX_TOPMOST) << std::hex << frame->GetExStyle() << " " << frame->GetStyle();
  EXPECT_EQ(1, app.m_settings.m_bAlwaysOnTop);
  frame->SendMessage(WM_INITMENUPOPUP, (WPARAM)sys, MAKELPARAM(0, TRUE));
  EXPECT_TRUE(::GetMenuState(sys, IDM_ALWAYSONTOP, MF_BYCOMMAND) & MF_CHECKED);
  // Ending the session saves the settings.
  EXPECT_TRUE(frame->SendMessage(WM_QUERYENDSESSION, 0, 0));
  EXPECT_EQ(1u, RegInt(L"AlwaysOnTop"));

  frame->SendMessage(WM_SYSCOMMAND, IDM_ALWAYSONTOP | 0x3, 0);  // the low four bits do not matter
  EXPECT_FALSE(frame->GetExStyle() & WS_EX_TOPMOST);
  EXPECT_EQ(0, app.m_settings.m_bAlwaysOnTop);
  frame->SendMessage(WM_INITMENUPOPUP, (WPARAM)sys, MAKELPARAM(0, TRUE));
  EXPECT_FALSE(::GetMenuState(sys, IDM_ALWAYSONTOP, MF_BYCOMMAND) & MF_CHECKED);
  frame->SendMessage(WM_SYSCOMMAND, IDM_ALWAYSONTOP, 0);
  frame->SendMessage(WM_CLOSE);
  app.m_settings.Save();
  EXPECT_EQ(1u, RegInt(L"AlwaysOnTop"));

  // The next start is on top from the beginning.
  CViewerTestApp next;
  next.m_settings.Load();
  EXPECT_EQ(1, next.m_settings.m_bAlwaysOnTop);
  CRecordingFrame* again = next.Start();
  ASSERT_NE(nullptr, again);
  EXPECT_TRUE(again->GetExStyle() & WS_EX_TOPMOST);
  again->SendMessage(WM_CLOSE);
}

TEST(MainFrame, AutomaticUpdateCheckAndDroppedPaths) {
  DeleteViewerKey();
  CViewerTestApp app;
  app.m_settings.m_nCheckInterval = 9;
  CRecordingFrame* frame = app.Start();
  ASSERT_NE(nullptr, frame);
  SetViewerUpdateCheck(RecordUpdateCheck);
  g_update = UpdateCall();
  frame->PostMessage(WM_AUTOCHECKUPDATE, 0, 1);
  EXPECT_TRUE(PumpAppUntil([] { return g_update.count == 1; }));
  EXPECT_STREQ(GetUpdateInfoUrl(), g_update.url);
  EXPECT_STREQ(L"1.11.0", g_update.version);
  EXPECT_EQ(9, g_update.interval);
  EXPECT_TRUE(g_update.silent);
  frame->SendMessage(WM_AUTOCHECKUPDATE, 1, 1);  // wParam other than 0: nothing
  EXPECT_EQ(1, g_update.count);
  SetViewerUpdateCheck(nullptr);

  // Dropped files and folders go to the view's open request.
  const wchar_t paths[] = L"C:\\scans\\knee\0C:\\scans\\a b.dcm\0";
  HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + sizeof(paths) + sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(::GlobalLock(h));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  memcpy(drop + 1, paths, sizeof(paths));
  ::GlobalUnlock(h);
  frame->SendMessage(WM_DROPFILES, (WPARAM)h, 0);
  CPlayView* view = GetPlayView();
  ASSERT_EQ(2, view->m_arrRequestedPaths.GetSize());
  EXPECT_STREQ(L"C:\\scans\\knee", view->m_arrRequestedPaths[0]);
  EXPECT_STREQ(L"C:\\scans\\a b.dcm", view->m_arrRequestedPaths[1]);
  MSG msg;
  EXPECT_TRUE(::PeekMessageW(&msg, view->m_hWnd, WM_OPEN_REQUEST, WM_OPEN_REQUEST, PM_REMOVE));
  EXPECT_EQ(1u, (UINT)msg.wParam);
  // No document was opened for them.
  EXPECT_TRUE(frame->GetActiveDocument()->GetPathName().IsEmpty());
  frame->SendMessage(WM_CLOSE);
}
