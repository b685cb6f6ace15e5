// Document/view under Wine: a single-document template builds its document,
// frame and view from run-time classes; the frame loads its resources, lays
// out its bars around the view, routes commands, shows prompts and "Ready",
// toggles bars from the menu, translates accelerators, updates popup menus
// it owns, and closes everything it made.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <vector>

#include "tests/classlib/frame/FrameTest.h"
#include "tests/support/UiTestSupport.h"
#include "afxwin.h"

namespace {
std::vector<CString> g_log;  // which target handled a command
int g_docs = 0, g_docsDeleted = 0, g_views = 0, g_viewsDeleted = 0, g_frames = 0, g_framesDeleted = 0;
int g_initialUpdates = 0;

class CTestDoc : public CDocument {
  DECLARE_DYNCREATE(CTestDoc)
 public:
  CTestDoc() { ++g_docs; }
  ~CTestDoc() override { ++g_docsDeleted; }

 protected:
  afx_msg void OnDocCmd() { g_log.push_back(L"doc"); }
  DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(CTestDoc, CDocument)
BEGIN_MESSAGE_MAP(CTestDoc, CDocument)
  ON_COMMAND(ID_DOC_AND_FRAME, OnDocCmd)
END_MESSAGE_MAP()

class CTestView : public CView {
  DECLARE_DYNCREATE(CTestView)
 public:
  CTestView() { ++g_views; }
  ~CTestView() override { ++g_viewsDeleted; }
  void OnDraw(CDC* pDC) override {
    CRect r;
    GetClientRect(&r);
    pDC->FillSolidRect(&r, RGB(0, 90, 160));
  }
  void OnInitialUpdate() override {
    ++g_initialUpdates;
    CView::OnInitialUpdate();
  }

 protected:
  afx_msg void OnViewCmd() { g_log.push_back(L"view"); }
  afx_msg void OnUpdateChecked(CCmdUI* ui) { ui->SetCheck(1); }
  afx_msg void OnUpdateViewOnly(CCmdUI* ui) { ui->Enable(TRUE); }
  DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(CTestView, CView)
BEGIN_MESSAGE_MAP(CTestView, CView)
  ON_COMMAND(ID_VIEW_ONLY, OnViewCmd)
  ON_UPDATE_COMMAND_UI(ID_VIEW_ONLY, OnUpdateViewOnly)
  ON_UPDATE_COMMAND_UI(ID_CHECKED, OnUpdateChecked)
END_MESSAGE_MAP()

// A view that cannot be made.
class CFailView : public CView {
  DECLARE_DYNCREATE(CFailView)
 public:
  CFailView() { ++g_views; }
  ~CFailView() override { ++g_viewsDeleted; }
  void OnDraw(CDC*) override {}

 protected:
  afx_msg int OnCreate(LPCREATESTRUCT) { return -1; }
  DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(CFailView, CView)
BEGIN_MESSAGE_MAP(CFailView, CView)
  ON_WM_CREATE()
END_MESSAGE_MAP()

class CTestFrame : public CFrameWnd {
  DECLARE_DYNCREATE(CTestFrame)
 public:
  CTestFrame() { ++g_frames; }
  ~CTestFrame() override { ++g_framesDeleted; }
  CStatusBar m_wndStatusBar;
  CToolBar m_wndToolBar;
  // What the popup showed while it was open.
  UINT m_stateNobody = 0, m_stateChecked = 0, m_stateViewOnly = 0;
  HMENU m_hTracked = nullptr;

 protected:
  afx_msg int OnCreate(LPCREATESTRUCT lpcs) {
    if (CFrameWnd::OnCreate(lpcs) == -1) return -1;
    if (!m_wndToolBar.Create(this) || !m_wndToolBar.LoadToolBar(IDR_TESTFRAME)) return -1;
    static const UINT indicators[] = {ID_SEPARATOR, ID_PANE_NUMBER};
    if (!m_wndStatusBar.Create(this) || !m_wndStatusBar.SetIndicators(indicators, 2)) return -1;
    return 0;
  }
  afx_msg void OnDocAndFrame() { g_log.push_back(L"frame"); }
  afx_msg void OnFrameAndApp() { g_log.push_back(L"frame"); }
  afx_msg void OnAccel() { g_log.push_back(L"accel"); }
  afx_msg void OnEnterIdle(UINT why, CWnd*) {
    if (why != MSGF_MENU || !m_hTracked) return;
    m_stateNobody = ::GetMenuState(m_hTracked, ID_NOBODY, MF_BYCOMMAND);
    m_stateChecked = ::GetMenuState(m_hTracked, ID_CHECKED, MF_BYCOMMAND);
    m_stateViewOnly = ::GetMenuState(m_hTracked, ID_VIEW_ONLY, MF_BYCOMMAND);
    m_hTracked = nullptr;
    ::EndMenu();
  }
  DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(CTestFrame, CFrameWnd)
BEGIN_MESSAGE_MAP(CTestFrame, CFrameWnd)
  ON_WM_CREATE()
  ON_WM_ENTERIDLE()
  ON_COMMAND(ID_DOC_AND_FRAME, OnDocAndFrame)
  ON_COMMAND(ID_FRAME_AND_APP, OnFrameAndApp)
  ON_COMMAND(ID_ACCEL_THING, OnAccel)
END_MESSAGE_MAP()

class CTestApp : public CWinApp {
 public:
  CTestApp() : CWinApp(L"FrameTest") { m_nCmdShow = SW_SHOWNORMAL; }

 protected:
  afx_msg void OnFrameAndApp() { g_log.push_back(L"app"); }
  afx_msg void OnAppOnly() { g_log.push_back(L"app"); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CTestApp, CWinApp)
  ON_COMMAND(ID_FRAME_AND_APP, OnFrameAndApp)
  ON_COMMAND(ID_APP_ONLY, OnAppOnly)
  ON_COMMAND(ID_FILE_NEW, CWinApp::OnFileNew)
END_MESSAGE_MAP()

void ResetCounters() {
  g_log.clear();
  g_docs = g_docsDeleted = g_views = g_viewsDeleted = g_frames = g_framesDeleted = g_initialUpdates = 0;
}

CRect ChildRect(CWnd* frame, UINT id) {
  CRect r;
  HWND h = ::GetDlgItem(frame->m_hWnd, (int)id);
  ::GetWindowRect(h, &r);
  ::MapWindowPoints(nullptr, frame->m_hWnd, (LPPOINT)&r, 2);
  return r;
}

CString PaneText(CTestFrame* frame, int index) { return frame->m_wndStatusBar.GetPaneText(index); }

// Starts the program's one document the way the start-up does.
CTestFrame* StartDocument(CTestApp& app, CRuntimeClass* viewClass = RUNTIME_CLASS(CTestView)) {
  app.AddDocTemplate(
      new CSingleDocTemplate(IDR_TESTFRAME, RUNTIME_CLASS(CTestDoc), RUNTIME_CLASS(CTestFrame), viewClass));
  CCommandLineInfo info;
  if (!app.ProcessShellCommand(info)) return nullptr;
  return static_cast<CTestFrame*>(app.m_pMainWnd);
}

HDROP MakeDrop(const std::vector<CString>& paths) {
  size_t chars = 1;
  for (const CString& p : paths) chars += (size_t)p.GetLength() + 1;
  HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(::GlobalLock(h));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  wchar_t* out = reinterpret_cast<wchar_t*>(drop + 1);
  for (const CString& p : paths) {
    wmemcpy(out, p, (size_t)p.GetLength());
    out += p.GetLength() + 1;
  }
  ::GlobalUnlock(h);
  return (HDROP)h;
}
}  // namespace

TEST(FrameDocView, TemplateBuildsFrameViewAndDocumentAndClosesThem) {
  ResetCounters();
  CTestApp app;
  CTestFrame* frame = StartDocument(app);
  ASSERT_NE(nullptr, frame);
  EXPECT_TRUE(frame->IsKindOf(RUNTIME_CLASS(CTestFrame)));
  EXPECT_EQ(1, g_docs);
  EXPECT_EQ(1, g_views);

  // The view fills the pane, joined to the document, active, initially updated once.
  CWnd* pane = CWnd::FromHandlePermanent(::GetDlgItem(frame->m_hWnd, AFX_IDW_PANE_FIRST));
  ASSERT_NE(nullptr, pane);
  EXPECT_TRUE(pane->IsKindOf(RUNTIME_CLASS(CTestView)));
  CTestView* view = static_cast<CTestView*>(pane);
  EXPECT_EQ(view, frame->GetActiveView());
  ASSERT_NE(nullptr, view->GetDocument());
  EXPECT_TRUE(view->GetDocument()->IsKindOf(RUNTIME_CLASS(CTestDoc)));
  EXPECT_EQ(frame->GetActiveDocument(), view->GetDocument());
  EXPECT_EQ(1, g_initialUpdates);

  // Title, icon, menu from resource 128.
  CString caption;
  frame->GetWindowText(caption);
  EXPECT_STREQ(L"Untitled - Frame Test", caption);
  EXPECT_NE(0u, (UINT_PTR)::GetClassLongPtrW(frame->m_hWnd, GCLP_HICON));
  ASSERT_NE(nullptr, ::GetMenu(frame->m_hWnd));
  EXPECT_EQ(2, ::GetMenuItemCount(::GetMenu(frame->m_hWnd)));
  EXPECT_TRUE(frame->IsWindowVisible());

  // Layout: toolbar at the top, status bar at the bottom, the view in between.
  frame->SetWindowPos(nullptr, 40, 40, 600, 400, SWP_NOZORDER);
  CRect client;
  frame->GetClientRect(&client);
  CRect tool = ChildRect(frame, AFX_IDW_TOOLBAR), status = ChildRect(frame, AFX_IDW_STATUS_BAR);
  CRect viewRect = ChildRect(frame, AFX_IDW_PANE_FIRST);
  EXPECT_EQ(0, tool.top);
  EXPECT_GT(tool.Height(), 15);
  EXPECT_EQ(client.bottom, status.bottom);
  EXPECT_EQ(client.Width(), status.Width());
  EXPECT_EQ(tool.bottom, viewRect.top);
  EXPECT_EQ(status.top, viewRect.bottom);

  // The status line starts with "Ready" and shows a menu item's prompt while it is selected.
  PumpApp();
  EXPECT_STREQ(L"Ready", PaneText(frame, 0));
  HMENU file = ::GetSubMenu(::GetMenu(frame->m_hWnd), 0);
  frame->SendMessage(WM_MENUSELECT, MAKEWPARAM(ID_FIRST_THING, MF_HILITE), (LPARAM)file);
  EXPECT_STREQ(L"Do the first thing", PaneText(frame, 0));
  frame->SendMessage(WM_MENUSELECT, MAKEWPARAM(1, MF_HILITE | MF_POPUP), (LPARAM)::GetMenu(frame->m_hWnd));
  EXPECT_STREQ(L"", PaneText(frame, 0));
  frame->SendMessage(WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
  EXPECT_STREQ(L"Ready", PaneText(frame, 0));

  // A pane no handler claims keeps the program's text through idle time.
  frame->m_wndStatusBar.SetPaneText(1, L"12 / 40");
  app.OnIdle(0);
  EXPECT_STREQ(L"12 / 40", PaneText(frame, 1));

  // View > Status Bar hides the bar, the view grows, and the check follows.
  HMENU viewMenu = ::GetSubMenu(::GetMenu(frame->m_hWnd), 1);
  frame->SendMessage(WM_INITMENUPOPUP, (WPARAM)viewMenu, 1);
  EXPECT_TRUE(::GetMenuState(viewMenu, ID_VIEW_STATUS_BAR, MF_BYCOMMAND) & MF_CHECKED);
  frame->SendMessage(WM_COMMAND, ID_VIEW_STATUS_BAR, 0);
  EXPECT_FALSE(frame->m_wndStatusBar.IsWindowVisible());
  EXPECT_EQ(client.bottom, ChildRect(frame, AFX_IDW_PANE_FIRST).bottom);
  frame->SendMessage(WM_INITMENUPOPUP, (WPARAM)viewMenu, 1);
  EXPECT_FALSE(::GetMenuState(viewMenu, ID_VIEW_STATUS_BAR, MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_TRUE(::GetMenuState(viewMenu, ID_VIEW_TOOLBAR, MF_BYCOMMAND) & MF_CHECKED);
  frame->SendMessage(WM_COMMAND, ID_VIEW_STATUS_BAR, 0);
  EXPECT_TRUE(frame->m_wndStatusBar.IsWindowVisible());
  EXPECT_EQ(ChildRect(frame, AFX_IDW_STATUS_BAR).top, ChildRect(frame, AFX_IDW_PANE_FIRST).bottom);

  // Routing: view, then document, then frame, then application; first one wins.
  for (UINT id : {ID_VIEW_ONLY, ID_DOC_AND_FRAME, ID_FRAME_AND_APP, ID_APP_ONLY, ID_NOBODY})
    frame->SendMessage(WM_COMMAND, id, 0);
  EXPECT_EQ((std::vector<CString>{L"view", L"doc", L"frame", L"app"}), g_log);
  g_log.clear();

  // Accelerators are translated on the way to the focused view.
  view->SetFocus();
  ::PostMessageW(view->m_hWnd, WM_KEYDOWN, VK_F5, 0x003F0001);
  EXPECT_TRUE(PumpAppUntil([] { return !g_log.empty(); }));
  EXPECT_EQ(std::vector<CString>{L"accel"}, g_log);

  CWindowShot shot = CaptureWindow(frame->m_hWnd);
  shot.SavePng(L"classlib-frame.png");
  CPoint mid = viewRect.CenterPoint();
  EXPECT_TRUE(ColorNear(RGB(0, 90, 160), shot.At(mid.x, mid.y)));
  // A flat toolbar shows the frame's face colour around its buttons, not what was there before.
  EXPECT_TRUE(ColorNear(::GetSysColor(COLOR_BTNFACE), shot.At(tool.right - 5, tool.top + 3), 8));

  // Exit closes the document, which takes its frame and view with it.
  frame->SendMessage(WM_COMMAND, ID_APP_EXIT, 0);
  EXPECT_EQ(nullptr, app.m_pMainWnd);
  EXPECT_EQ(1, g_docsDeleted);
  EXPECT_EQ(1, g_viewsDeleted);
  EXPECT_EQ(1, g_framesDeleted);
}

TEST(FrameDocView, MenuTakenAwayStaysAwayAndIsNotDestroyed) {
  ResetCounters();
  CTestApp app;
  CTestFrame* frame = StartDocument(app);
  ASSERT_NE(nullptr, frame);
  HMENU menu = ::GetMenu(frame->m_hWnd);
  ASSERT_NE(nullptr, menu);
  frame->SetMenu(nullptr);
  app.OnIdle(0);
  frame->InitialUpdateFrame(frame->GetActiveDocument(), TRUE);
  frame->SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(500, 300));
  EXPECT_EQ(nullptr, ::GetMenu(frame->m_hWnd));
  frame->SendMessage(WM_CLOSE);
  EXPECT_EQ(1, g_framesDeleted);
  // Whoever took the menu still owns it.
  EXPECT_TRUE(::IsMenu(menu));
  ::DestroyMenu(menu);
}

TEST(FrameDocView, PopupTrackedWithFrameAsOwnerIsUpdated) {
  ResetCounters();
  CTestApp app;
  CTestFrame* frame = StartDocument(app);
  ASSERT_NE(nullptr, frame);
  CMenu menu;
  ASSERT_TRUE(menu.LoadMenu(IDM_POPUP));
  CMenu* popup = menu.GetSubMenu(0);
  frame->m_hTracked = popup->m_hMenu;
  CRect r;
  frame->GetWindowRect(&r);
  ::TrackPopupMenuEx(popup->m_hMenu, TPM_LEFTALIGN, r.left + 20, r.top + 40, frame->m_hWnd, nullptr);
  EXPECT_EQ(nullptr, frame->m_hTracked);             // it was open and read
  EXPECT_TRUE(frame->m_stateNobody & MF_GRAYED);     // no handler anywhere
  EXPECT_FALSE(frame->m_stateViewOnly & MF_GRAYED);  // the view's handler
  EXPECT_TRUE(frame->m_stateChecked & MF_CHECKED);   // the view's update handler
  EXPECT_TRUE(frame->m_stateChecked & MF_GRAYED);    // checked, but nobody carries it out
  frame->SendMessage(WM_CLOSE);
}

TEST(FrameDocView, FailingViewReportsAndLeavesNothingBehind) {
  ResetCounters();
  CString box;
  AfxSetMessageBoxHandler([&](LPCTSTR text, UINT) {
    box = text;
    return IDOK;
  });
  {
    CTestApp app;
    EXPECT_EQ(nullptr, StartDocument(app, RUNTIME_CLASS(CFailView)));
    EXPECT_EQ(nullptr, app.m_pMainWnd);
  }
  AfxSetMessageBoxHandler(nullptr);
  EXPECT_STREQ(L"Failed to create empty document.", box);
  EXPECT_EQ(g_frames, g_framesDeleted);
  EXPECT_EQ(g_views, g_viewsDeleted);
  EXPECT_EQ(g_docs, g_docsDeleted);
  EXPECT_EQ(1, g_docs);
}

TEST(FrameDocView, DroppedFilesOpenThroughTheApplication) {
  ResetCounters();
  CTestApp app;
  CTestFrame* frame = StartDocument(app);
  ASSERT_NE(nullptr, frame);
  frame->SendMessage(WM_DROPFILES, (WPARAM)MakeDrop({L"C:\\data\\first.dcm", L"C:\\data\\knee.dcm"}), 0);
  // One document at a time: the last path is the one open.
  ASSERT_NE(nullptr, frame->GetActiveDocument());
  EXPECT_STREQ(L"C:\\data\\knee.dcm", frame->GetActiveDocument()->GetPathName());
  EXPECT_EQ(1, g_docs);
  app.OnIdle(0);
  CString caption;
  frame->GetWindowText(caption);
  EXPECT_STREQ(L"knee.dcm - Frame Test", caption);
  frame->SendMessage(WM_CLOSE);
  EXPECT_EQ(1, g_docsDeleted);
}

TEST(CommandLine, FlagsPathsAndTheShellCommand) {
  CCommandLineInfo plain;
  EXPECT_EQ(CCommandLineInfo::FileNew, plain.m_nShellCommand);
  plain.ParseParam(L"Embedding", TRUE, FALSE);
  plain.ParseParam(L"C:\\a b\\one.dcm", FALSE, TRUE);
  EXPECT_EQ(CCommandLineInfo::FileOpen, plain.m_nShellCommand);
  EXPECT_STREQ(L"C:\\a b\\one.dcm", plain.m_strFileName);
  EXPECT_TRUE(plain.m_bRunEmbedded);
  EXPECT_FALSE(plain.m_bShowSplash);

  CCommandLineInfo narrow;
  narrow.ParseParam("p", TRUE, FALSE);
  narrow.ParseParam("C:\\x.dcm", FALSE, TRUE);
  EXPECT_EQ(CCommandLineInfo::FilePrint, narrow.m_nShellCommand);
  EXPECT_STREQ(L"C:\\x.dcm", narrow.m_strFileName);
  EXPECT_TRUE(narrow.m_bShowSplash);

  CCommandLineInfo none;
  none.ParseParam(L"unknownflag", TRUE, TRUE);
  EXPECT_EQ(CCommandLineInfo::FileNew, none.m_nShellCommand);
  EXPECT_TRUE(none.m_bShowSplash);
}
