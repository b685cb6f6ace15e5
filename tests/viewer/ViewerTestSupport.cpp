#include "tests/viewer/ViewerTestSupport.h"

#include "tests/TestPaths.h"

IMPLEMENT_DYNCREATE(CViewerTestDoc, CDocument)
IMPLEMENT_DYNCREATE(CRecordingFrame, CMainFrame)

BEGIN_MESSAGE_MAP(CRecordingFrame, CMainFrame)
  ON_WM_ENTERIDLE()
  ON_WM_TIMER()
  ON_MESSAGE(WM_ENTERMENULOOP, OnEnterMenuLoop)
  ON_MESSAGE(WM_EXITMENULOOP, OnExitMenuLoop)
  ON_WM_NCLBUTTONDOWN()
  ON_WM_INITMENUPOPUP()
  ON_WM_MENUSELECT()
END_MESSAGE_MAP()

int CRecordingFrame::Count(UINT message) const {
  int n = 0;
  for (const Entry& e : m_log) n += e.message == message;
  return n;
}

const CRecordingFrame::Entry* CRecordingFrame::Last(UINT message) const {
  for (auto it = m_log.rbegin(); it != m_log.rend(); ++it)
    if (it->message == message) return &*it;
  return nullptr;
}

BOOL CRecordingFrame::OnCommand(WPARAM wParam, LPARAM lParam) {
  m_commands.push_back(LOWORD(wParam));
  return CMainFrame::OnCommand(wParam, lParam);
}

namespace {
const UINT_PTR kStepTimer = 0x5EED;
const DWORD kStepLimitMs = 5000;
}  // namespace

void CRecordingFrame::RunStep() {
  if (m_menuSteps.empty()) return;
  if (m_menuSteps.front()()) {
    m_menuSteps.pop_front();
    m_dwStepStart = ::GetTickCount();
  } else if (::GetTickCount() - m_dwStepStart > kStepLimitMs) {
    m_bStepsTimedOut = TRUE;
    m_menuSteps.clear();
    ::EndMenu();
  }
}

void CRecordingFrame::OnEnterIdle(UINT nWhy, CWnd*) {
  Default();
  if (nWhy != MSGF_MENU) return;
  ++m_nMenuIdles;
  RunStep();
}

void CRecordingFrame::OnTimer(UINT_PTR nIDEvent) {
  if (nIDEvent == kStepTimer)
    RunStep();
  else
    Default();
}

LRESULT CRecordingFrame::OnEnterMenuLoop(WPARAM, LPARAM) {
  m_dwStepStart = ::GetTickCount();  // each popup's loop has its own time limit
  if (!m_menuSteps.empty()) SetTimer(kStepTimer, 20);
  return Default();
}

LRESULT CRecordingFrame::OnExitMenuLoop(WPARAM, LPARAM) {
  KillTimer(kStepTimer);
  return Default();
}

void CRecordingFrame::OnNcLButtonDown(UINT nHitTest, CPoint point) {
  // Recorded only: a real drag would start the system's move loop.
  m_log.push_back({WM_NCLBUTTONDOWN, nHitTest, MAKELPARAM(point.x, point.y)});
}

void CRecordingFrame::OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu) {
  m_log.push_back({WM_INITMENUPOPUP, (WPARAM)pPopupMenu->GetSafeHmenu(), MAKELPARAM(nIndex, bSysMenu)});
  CMainFrame::OnInitMenuPopup(pPopupMenu, nIndex, bSysMenu);
}

void CRecordingFrame::OnMenuSelect(UINT nItemID, UINT nFlags, HMENU hSysMenu) {
  m_log.push_back({WM_MENUSELECT, MAKEWPARAM(nItemID, nFlags), (LPARAM)hSysMenu});
  CMainFrame::OnMenuSelect(nItemID, nFlags, hSysMenu);
}

CViewerTestApp::CViewerTestApp() : CWinApp(L"Glimmerscope") {
  SetRegistryKey(L"Morrowtide");
  m_resources.Init();
  SetViewerResources(&m_resources);
  SetViewerSettings(&m_settings);
}

CViewerTestApp::~CViewerTestApp() {
  if (m_pMainWnd && m_pMainWnd->m_hWnd) m_pMainWnd->DestroyWindow();
  SetViewerSettings(nullptr);
  SetViewerResources(nullptr);
  SetPlayView(nullptr);
}

CRecordingFrame* CViewerTestApp::Start(int nCmdShow) {
  // The view's player loads the image library from the program folder.
  WriteProfileString(L"", L"AppFolder", BuildTreePath(L"bin"));
  AddDocTemplate(new CSingleDocTemplate(IDR_MAINFRAME, RUNTIME_CLASS(CViewerTestDoc), RUNTIME_CLASS(CRecordingFrame),
                                        RUNTIME_CLASS(CPlayView)));
  m_nCmdShow = nCmdShow;
  CCommandLineInfo info;
  if (!ProcessShellCommand(info)) return nullptr;
  m_pMainWnd->ShowWindow(nCmdShow);
  m_pMainWnd->UpdateWindow();
  m_pMainWnd->DragAcceptFiles(TRUE);
  PumpApp();
  return Frame();
}

void DeleteViewerKey() { ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Morrowtide\\Glimmerscope"); }

void PostClick(HWND hwnd, CPoint pt) {
  ::PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
  ::PostMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
}

namespace {
struct PendingPress {
  CString caption;
  int button = 0;
  bool* seen = nullptr;
  UINT_PTR timer = 0;
} g_press;

BOOL CALLBACK PressIfCaption(HWND hwnd, LPARAM) {
  if (!::IsWindowVisible(hwnd) || g_press.caption != WindowText(hwnd)) return TRUE;
  ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(g_press.button, BN_CLICKED), (LPARAM)::GetDlgItem(hwnd, g_press.button));
  if (g_press.seen) *g_press.seen = true;
  ::KillTimer(nullptr, g_press.timer);
  g_press.timer = 0;
  return FALSE;
}

void CALLBACK PressTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (g_press.timer) ::EnumThreadWindows(::GetCurrentThreadId(), PressIfCaption, 0);
}
}  // namespace

void PressWhenShown(LPCTSTR lpszCaption, int nButton, bool* pSeen) {
  if (g_press.timer) ::KillTimer(nullptr, g_press.timer);
  g_press.caption = lpszCaption;
  g_press.button = nButton;
  g_press.seen = pSeen;
  g_press.timer = ::SetTimer(nullptr, 0, 20, PressTimer);
}
