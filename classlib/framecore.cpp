// Frame windows: creation from resources, the client view, the layout of
// control bars, command routing, status prompts, accelerators and closing.
#include "afxwin.h"

#include <shellapi.h>

IMPLEMENT_DYNCREATE(CFrameWnd, CWnd)

const CRect CFrameWnd::rectDefault(CW_USEDEFAULT, CW_USEDEFAULT, 0, 0);

BEGIN_MESSAGE_MAP(CFrameWnd, CWnd)
  ON_WM_CREATE()
  ON_WM_DESTROY()
  ON_WM_CLOSE()
  ON_WM_SIZE()
  ON_WM_SETFOCUS()
  ON_WM_ERASEBKGND()
  ON_WM_INITMENUPOPUP()
  ON_WM_MENUSELECT()
  ON_WM_DROPFILES()
  ON_WM_QUERYENDSESSION()
  ON_WM_ENDSESSION()
  ON_MESSAGE(WM_SETMESSAGESTRING, OnSetMessageString)
  ON_MESSAGE(WM_IDLEUPDATECMDUI, OnIdleUpdateCmdUI)
  ON_UPDATE_COMMAND_UI(ID_VIEW_STATUS_BAR, OnUpdateControlBarMenu)
  ON_COMMAND_EX(ID_VIEW_STATUS_BAR, OnBarCheck)
  ON_UPDATE_COMMAND_UI(ID_VIEW_TOOLBAR, OnUpdateControlBarMenu)
  ON_COMMAND_EX(ID_VIEW_TOOLBAR, OnBarCheck)
END_MESSAGE_MAP()

CFrameWnd::CFrameWnd() {}

CFrameWnd::~CFrameWnd() {
  if (m_hAccelTable) ::DestroyAcceleratorTable(m_hAccelTable);
}

void CFrameWnd::PostNcDestroy() { delete this; }  // frames are made with new

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCT& cs) {
  if (!cs.lpszClass)
    cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorW(nullptr, IDC_ARROW), (HBRUSH)(COLOR_WINDOW + 1));
  if (!(cs.style & WS_CHILD)) cs.dwExStyle |= WS_EX_CLIENTEDGE;
  if (cs.style & FWS_ADDTOTITLE) cs.style |= FWS_PREFIXTITLE;  // "document - program"
  return CWnd::PreCreateWindow(cs);
}

LPCTSTR CFrameWnd::GetIconWndClass(DWORD, UINT nIDResource) {
  HICON icon = nullptr;
  HINSTANCE modules[2] = {AfxGetResourceHandle(), AfxGetInstanceHandle()};
  for (HINSTANCE inst : modules)
    if (::FindResourceW(inst, MAKEINTRESOURCEW(nIDResource), RT_GROUP_ICON) &&
        (icon = ::LoadIconW(inst, MAKEINTRESOURCEW(nIDResource))) != nullptr)
      break;
  if (!icon) return nullptr;
  return AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorW(nullptr, IDC_ARROW), (HBRUSH)(COLOR_WINDOW + 1), icon);
}

BOOL CFrameWnd::Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                       LPCTSTR lpszMenuName, DWORD dwExStyle, CCreateContext* pContext) {
  HMENU menu = nullptr;
  if (lpszMenuName) {
    HINSTANCE modules[2] = {AfxGetResourceHandle(), AfxGetInstanceHandle()};
    for (HINSTANCE inst : modules)
      if (::FindResourceW(inst, lpszMenuName, RT_MENU) && (menu = ::LoadMenuW(inst, lpszMenuName)) != nullptr) break;
  }
  m_strTitle = lpszWindowName ? lpszWindowName : L"";
  m_hMenuDefault = menu;
  if (!CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle, rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top, pParentWnd->GetSafeHwnd(), menu, pContext)) {
    // The frame is gone (PostNcDestroy); a menu that did not go with it is freed here.
    if (menu && ::IsMenu(menu)) ::DestroyMenu(menu);
    return FALSE;
  }
  return TRUE;
}

BOOL CFrameWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, CCreateContext* pContext) {
  m_nIDHelp = nIDResource;
  CString full;
  CString title;
  if (AfxLoadString(nIDResource, full)) AfxExtractSubString(title, full, 0);
  LPCTSTR cls = GetIconWndClass(dwDefaultStyle, nIDResource);
  if (!Create(cls, title, dwDefaultStyle, rectDefault, pParentWnd, MAKEINTRESOURCEW(nIDResource), 0, pContext))
    return FALSE;
  if (!m_hAccelTable) LoadAccelTable(MAKEINTRESOURCEW(nIDResource));
  if (!pContext) SendMessageToDescendants(WM_INITIALUPDATE, 0, 0, TRUE, TRUE);
  return TRUE;
}

BOOL CFrameWnd::LoadAccelTable(LPCTSTR lpszResourceName) {
  if (m_hAccelTable) return FALSE;
  HINSTANCE modules[2] = {AfxGetResourceHandle(), AfxGetInstanceHandle()};
  for (HINSTANCE inst : modules)
    if (::FindResourceW(inst, lpszResourceName, RT_ACCELERATOR) &&
        (m_hAccelTable = ::LoadAcceleratorsW(inst, lpszResourceName)) != nullptr)
      break;
  return m_hAccelTable != nullptr;
}

int CFrameWnd::OnCreate(LPCREATESTRUCT lpcs) {
  return OnCreateHelper(lpcs, static_cast<CCreateContext*>(lpcs->lpCreateParams));
}

int CFrameWnd::OnCreateHelper(LPCREATESTRUCT lpcs, CCreateContext* pContext) {
  if (CWnd::OnCreate(lpcs) == -1) return -1;
  if (!OnCreateClient(lpcs, pContext)) return -1;
  // The status line starts idle; bars made by derived frames are there by then.
  PostMessage(WM_SETMESSAGESTRING, AFX_IDS_IDLEMESSAGE, 0);
  RecalcLayout();
  return 0;
}

BOOL CFrameWnd::OnCreateClient(LPCREATESTRUCT, CCreateContext* pContext) {
  if (pContext && pContext->m_pNewViewClass) {
    if (!CreateView(pContext, AFX_IDW_PANE_FIRST)) return FALSE;
  }
  return TRUE;
}

CWnd* CFrameWnd::CreateView(CCreateContext* pContext, UINT nID) {
  if (!pContext || !pContext->m_pNewViewClass || !pContext->m_pNewViewClass->IsDerivedFrom(RUNTIME_CLASS(CWnd)))
    return nullptr;
  CWnd* view = static_cast<CWnd*>(pContext->m_pNewViewClass->CreateObject());
  if (!view) return nullptr;
  // A view that fails deletes itself (PostNcDestroy); a plain window object does not.
  const BOOL selfDeleting = view->IsKindOf(RUNTIME_CLASS(CView));
  if (!view->Create(nullptr, nullptr, AFX_WS_DEFAULT_VIEW, CRect(0, 0, 0, 0), this, nID, pContext)) {
    if (!selfDeleting) delete view;
    return nullptr;
  }
  // The view's own edge replaces the frame's.
  if (view->GetExStyle() & WS_EX_CLIENTEDGE) ModifyStyleEx(WS_EX_CLIENTEDGE, 0, SWP_FRAMECHANGED);
  return view;
}

void CFrameWnd::OnDestroy() {
  // A menu that was taken off the window belongs to whoever took it; the
  // window's current menu goes with the window. Nothing is put back.
  if (m_hMenuDefault && ::GetMenu(m_hWnd) != m_hMenuDefault) m_hMenuDefault = nullptr;
  m_pViewActive = nullptr;
  CWnd::OnDestroy();
}

// ---------------------------------------------------------------------------
// Views and documents.

CDocument* CFrameWnd::GetActiveDocument() { return m_pViewActive ? m_pViewActive->GetDocument() : nullptr; }

void CFrameWnd::SetActiveView(CView* pViewNew, BOOL bNotify) {
  CView* old = m_pViewActive;
  if (pViewNew == old) return;
  m_pViewActive = nullptr;
  if (bNotify && old) old->OnActivateView(FALSE, pViewNew, old);
  m_pViewActive = pViewNew;
  if (bNotify && pViewNew) pViewNew->OnActivateView(TRUE, pViewNew, old);
}

void CFrameWnd::InitialUpdateFrame(CDocument* pDoc, BOOL bMakeVisible) {
  CView* view = nullptr;
  if (!m_pViewActive) {
    CWnd* pane = FromHandlePermanent(::GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST));
    if (pane && pane->IsKindOf(RUNTIME_CLASS(CView))) {
      view = static_cast<CView*>(pane);
      SetActiveView(view, FALSE);
    }
  }
  if (bMakeVisible) {
    SendMessageToDescendants(WM_INITIALUPDATE, 0, 0, TRUE, TRUE);
    if (view) view->OnActivateFrame(WA_INACTIVE, this);
    int nCmdShow = -1;
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd == this) {
      nCmdShow = app->m_nCmdShow;
      app->m_nCmdShow = -1;  // only the first time
    }
    ActivateFrame(nCmdShow);
    if (view) view->OnActivateView(TRUE, view, view);
  }
  OnUpdateFrameTitle(TRUE);
  (void)pDoc;
}

void CFrameWnd::ActivateFrame(int nCmdShow) {
  if (nCmdShow == -1) {
    if (!IsWindowVisible())
      nCmdShow = SW_SHOWNORMAL;
    else if (IsIconic())
      nCmdShow = SW_RESTORE;
  }
  if (nCmdShow != -1) ShowWindow(nCmdShow);
  if (!(GetStyle() & WS_CHILD)) BringWindowToTop();
}

void CFrameWnd::OnUpdateFrameTitle(BOOL bAddToTitle) {
  if (!(GetStyle() & FWS_ADDTOTITLE)) return;
  CString title = m_strTitle;
  CDocument* doc = GetActiveDocument();
  if (bAddToTitle && doc && !doc->GetTitle().IsEmpty()) {
    if (GetStyle() & FWS_PREFIXTITLE)
      title = doc->GetTitle() + L" - " + m_strTitle;
    else
      title = m_strTitle + L" - " + doc->GetTitle();
  }
  AfxSetWindowText(m_hWnd, title);
}

// ---------------------------------------------------------------------------
// Layout.

void CFrameWnd::RepositionBars(UINT nIDFirst, UINT nIDLast, UINT nIDLeftOver, UINT nFlag, LPRECT lpRectParam,
                               LPCRECT lpRectClient, BOOL bStretch) {
  AFX_SIZEPARENTPARAMS layout = {};
  layout.bStretch = bStretch;
  if (lpRectClient)
    layout.rect = *lpRectClient;
  else
    GetClientRect(&layout.rect);
  layout.hDWP = nFlag == reposQuery ? nullptr : ::BeginDeferWindowPos(8);
  HWND leftOver = nullptr;
  for (HWND child = ::GetTopWindow(m_hWnd); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    UINT id = (UINT)::GetDlgCtrlID(child);
    if (id == nIDLeftOver)
      leftOver = child;
    else if (id >= nIDFirst && id <= nIDLast && FromHandlePermanent(child))
      ::SendMessageW(child, WM_SIZEPARENT, 0, (LPARAM)&layout);
  }
  if (nFlag == reposQuery) {
    if (lpRectParam) *lpRectParam = layout.rect;
    return;
  }
  if (nFlag == reposExtra && lpRectParam) {
    layout.rect.left += lpRectParam->left;
    layout.rect.top += lpRectParam->top;
    layout.rect.right -= lpRectParam->right;
    layout.rect.bottom -= lpRectParam->bottom;
  }
  if (leftOver) {
    if (layout.rect.right < layout.rect.left) layout.rect.right = layout.rect.left;
    if (layout.rect.bottom < layout.rect.top) layout.rect.bottom = layout.rect.top;
    AfxRepositionWindow(&layout.hDWP, leftOver, &layout.rect);
  }
  if (layout.hDWP) ::EndDeferWindowPos(layout.hDWP);
}

void CFrameWnd::RecalcLayout(BOOL) {
  if (m_bInRecalcLayout || !m_hWnd) return;
  m_bInRecalcLayout = TRUE;
  RepositionBars(0, 0xFFFF, AFX_IDW_PANE_FIRST, reposExtra, &m_rectBorder);
  m_bInRecalcLayout = FALSE;
}

void CFrameWnd::OnSize(UINT nType, int, int) {
  Default();
  if (nType != SIZE_MINIMIZED) RecalcLayout();
}

BOOL CFrameWnd::OnEraseBkgnd(CDC* pDC) {
  // The view paints itself; erasing under it would only flicker. What lies
  // around it (and what transparent bars ask for) gets the face colour.
  HWND pane = ::GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST);
  if (!pane || !::IsWindowVisible(pane)) return (BOOL)Default();
  CRect client, view;
  GetClientRect(&client);
  ::GetWindowRect(pane, &view);
  ScreenToClient(&view);
  int saved = pDC->SaveDC();
  pDC->ExcludeClipRect(&view);
  ::FillRect(pDC->m_hDC, &client, ::GetSysColorBrush(COLOR_BTNFACE));
  pDC->RestoreDC(saved);
  return TRUE;
}

void CFrameWnd::OnSetFocus(CWnd*) {
  if (m_pViewActive && m_pViewActive->m_hWnd)
    m_pViewActive->SetFocus();
  else
    Default();
}

CControlBar* CFrameWnd::GetControlBar(UINT nID) {
  if (nID == 0) return nullptr;
  return DYNAMIC_DOWNCAST(CControlBar, FromHandlePermanent(::GetDlgItem(m_hWnd, (int)nID)));
}

void CFrameWnd::ShowControlBar(CControlBar* pBar, BOOL bShow, BOOL bDelay) {
  if (!pBar || !pBar->m_hWnd) return;
  pBar->ShowWindow(bShow ? SW_SHOWNA : SW_HIDE);
  if (!bDelay) RecalcLayout();
}

void CFrameWnd::OnUpdateControlBarMenu(CCmdUI* pCmdUI) {
  if (CControlBar* bar = GetControlBar(pCmdUI->m_nID)) {
    pCmdUI->SetCheck((bar->GetStyle() & WS_VISIBLE) != 0);
    return;
  }
  pCmdUI->ContinueRouting();
}

BOOL CFrameWnd::OnBarCheck(UINT nID) {
  CControlBar* bar = GetControlBar(nID);
  if (!bar) return FALSE;
  ShowControlBar(bar, (bar->GetStyle() & WS_VISIBLE) == 0, FALSE);
  return TRUE;
}

void CFrameWnd::BeginModalState() {
  if (m_cModalStack++ > 0) return;
  for (HWND child = ::GetTopWindow(m_hWnd); child; child = ::GetWindow(child, GW_HWNDNEXT))
    if (CControlBar* bar = DYNAMIC_DOWNCAST(CControlBar, FromHandlePermanent(child))) bar->BeginModalState();
}

void CFrameWnd::EndModalState() {
  if (m_cModalStack == 0 || --m_cModalStack > 0) return;
  for (HWND child = ::GetTopWindow(m_hWnd); child; child = ::GetWindow(child, GW_HWNDNEXT))
    if (CControlBar* bar = DYNAMIC_DOWNCAST(CControlBar, FromHandlePermanent(child))) bar->EndModalState();
}

// ---------------------------------------------------------------------------
// Commands, menus and the status line.

BOOL CFrameWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  // The active view (and through it the document) first, then the frame, then the application.
  if (m_pViewActive && m_pViewActive->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
  if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
  CWinApp* app = AfxGetApp();
  return app && app->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

BOOL CFrameWnd::PreTranslateMessage(MSG* pMsg) {
  if (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST && m_hAccelTable &&
      ::TranslateAcceleratorW(m_hWnd, m_hAccelTable, pMsg))
    return TRUE;
  return CWnd::PreTranslateMessage(pMsg);
}

void CFrameWnd::OnInitMenuPopup(CMenu* pPopupMenu, UINT, BOOL bSysMenu) {
  Default();
  if (bSysMenu || !pPopupMenu) return;
  AfxUpdateMenuPopup(this, pPopupMenu, m_bAutoMenuEnable);
}

void CFrameWnd::OnMenuSelect(UINT nItemID, UINT nFlags, HMENU hSysMenu) {
  if (nFlags == 0xFFFF && !hSysMenu) {
    m_nIDTracking = AFX_IDS_IDLEMESSAGE;  // the menu closed
  } else if (nItemID == 0 || (nFlags & (MF_SEPARATOR | MF_POPUP | MF_MENUBREAK | MF_MENUBARBREAK))) {
    m_nIDTracking = 0;  // nothing to say
  } else if (nItemID >= 0xF000) {
    m_nIDTracking = 0;  // system commands have no prompts here
  } else {
    m_nIDTracking = nItemID;
  }
  if (m_nIDTracking != m_nIDLastMessage) SetMessageText(m_nIDTracking);
}

CWnd* CFrameWnd::GetMessageBar() { return FromHandlePermanent(::GetDlgItem(m_hWnd, AFX_IDW_STATUS_BAR)); }

void CFrameWnd::GetMessageString(UINT nID, CString& rMessage) const {
  CString full;
  rMessage.Empty();
  if (nID != 0 && AfxLoadString(nID, full)) AfxExtractSubString(rMessage, full, 0);
}

void CFrameWnd::SetMessageText(LPCTSTR lpszText) { SendMessage(WM_SETMESSAGESTRING, 0, (LPARAM)lpszText); }
void CFrameWnd::SetMessageText(UINT nID) { SendMessage(WM_SETMESSAGESTRING, (WPARAM)nID, 0); }

LRESULT CFrameWnd::OnSetMessageString(WPARAM wParam, LPARAM lParam) {
  UINT last = m_nIDLastMessage;
  m_nIDLastMessage = (UINT)wParam;
  if (CWnd* bar = GetMessageBar()) {
    CString text;
    if (lParam)
      text = (LPCTSTR)lParam;
    else if (wParam)
      GetMessageString((UINT)wParam, text);
    bar->SetWindowText(text);
  }
  return last;
}

LRESULT CFrameWnd::OnIdleUpdateCmdUI(WPARAM, LPARAM) {
  OnUpdateFrameTitle(TRUE);
  return 0;
}

// ---------------------------------------------------------------------------
// Closing, the end of the session and dropped files.

void CFrameWnd::OnClose() {
  CDocument* doc = GetActiveDocument();
  if (doc && !doc->CanCloseFrame(this)) return;
  CWinApp* app = AfxGetApp();
  if (app && app->m_pMainWnd == this) {
    // The main window: every document closes, which destroys its frames.
    if (!app->SaveAllModified()) return;
    const HWND self = m_hWnd;
    app->CloseAllDocuments(FALSE);
    if (!::IsWindow(self) || FromHandlePermanent(self) != this) return;  // gone with its document
    DestroyWindow();
    return;
  }
  if (doc && doc->m_bAutoDelete) {
    // The document's only frame: closing the document closes the frame.
    BOOL otherFrame = FALSE;
    POSITION pos = doc->GetFirstViewPosition();
    while (pos && !otherFrame) {
      CView* v = doc->GetNextView(pos);
      if (v->GetParentFrame() != this) otherFrame = TRUE;
    }
    if (!otherFrame) {
      doc->OnCloseDocument();
      return;
    }
    doc->PreCloseFrame(this);
  }
  DestroyWindow();
}

BOOL CFrameWnd::OnQueryEndSession() {
  CWinApp* app = AfxGetApp();
  if (app && app->m_pMainWnd == this) return app->SaveAllModified();
  return TRUE;
}

void CFrameWnd::OnEndSession(BOOL bEnding) {
  if (!bEnding) return;
  CWinApp* app = AfxGetApp();
  if (app && app->m_pMainWnd == this) {
    app->CloseAllDocuments(TRUE);
    app->ExitInstance();
  }
}

void CFrameWnd::OnDropFiles(HDROP hDropInfo) {
  CStringArray paths;
  UINT count = ::DragQueryFileW(hDropInfo, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    UINT length = ::DragQueryFileW(hDropInfo, i, nullptr, 0);
    CString path;
    wchar_t* buf = path.GetBufferSetLength((int)length + 1);
    ::DragQueryFileW(hDropInfo, i, buf, length + 1);
    buf[length] = 0;
    path.ReleaseBuffer();
    paths.Add(path);
  }
  ::DragFinish(hDropInfo);
  ::SetActiveWindow(m_hWnd);
  if (paths.GetSize() > 0) OnDropPaths(paths);
}

void CFrameWnd::OnDropPaths(const CStringArray& paths) {
  CWinApp* app = AfxGetApp();
  if (!app) return;
  for (INT_PTR i = 0; i < paths.GetSize(); ++i) app->OpenDocumentFile(paths[i]);
}
