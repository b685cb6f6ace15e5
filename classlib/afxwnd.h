// CWnd: the C++ object of a window, its handle maps and message dispatch.
#pragma once
#include "afxmsg.h"

#ifdef _WIN32
#include <unordered_map>

// Names of members that windows.h defines as macros of its own.
#undef GetNextWindow

class CWinThread;
class CDC;
class CFont;
class CMenu;
class CScrollBar;
class CDataExchange;
class CWindowCalls;

// Per-thread state of the library.
struct AFX_THREAD_STATE {
  CWinThread* m_pThread = nullptr;      // the thread object running this thread
  CWnd* m_pWndInit = nullptr;           // window object waiting for its handle
  CWnd* m_pAlternateWndInit = nullptr;  // object a hook procedure attaches on its first message
  HHOOK m_hHookOldCbtFilter = nullptr;
  MSG m_lastSentMsg = {};            // the message being handled (for Default)
  MSG m_msgCur = {};                 // the message last taken from the queue
  HWND m_hTrackingWindow = nullptr;  // window and menu of TrackPopupMenu
  HMENU m_hTrackingMenu = nullptr;
  int m_nTempMapLock = 0;
  BOOL m_bInRunLoop = FALSE;  // CWinThread::Run is pumping
  std::unordered_map<HWND, CWnd*> m_tempWnds;
  std::unordered_map<HDC, CDC*> m_tempDCs;
  std::unordered_map<HMENU, CMenu*> m_tempMenus;
  std::unordered_map<HGDIOBJ, class CGdiObject*> m_tempGdi;
  std::unordered_map<HIMAGELIST, class CImageList*> m_tempImageLists;
  ~AFX_THREAD_STATE();
};
AFX_THREAD_STATE* AfxGetThreadState();
// Frees the calling thread's state (temporary objects included).
void AfxTermThreadState();

// Temporary objects made by FromHandle live until the thread is idle and the
// temporary maps are not locked.
void AfxLockTempMaps();
BOOL AfxUnlockTempMaps(BOOL bDeleteTemps = TRUE);
void AfxDeleteTempMaps();

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
LRESULT AfxCallWndProc(CWnd* pWnd, HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
void AfxHookWindowCreate(CWnd* pWnd);
BOOL AfxUnhookWindowCreate();

// Registers (once) a window class with the given style, cursor, background and icon; returns its name.
LPCTSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor = nullptr, HBRUSH hbrBackground = nullptr,
                            HICON hIcon = nullptr);
// The class used by CWnd::Create without a class name: double-clicks, arrow cursor, no background.
extern const TCHAR AFX_WND_CLASS[];

// Sets the text only when it differs (avoids flicker).
void AfxSetWindowText(HWND hWnd, LPCTSTR text);
// The whole text of a window, however long.
CString AfxGetWindowText(HWND hWnd);
// Ends menus, capture and tracking in the windows of hWndRcvr's thread.
void AfxCancelModes(HWND hWndRcvr);
// Case-insensitive comparison of two paths; TRUE when equal.
BOOL AfxComparePath(LPCTSTR path1, LPCTSTR path2);
// Moves a child with a deferred position, only when its rectangle changes.
void AfxRepositionWindow(HDWP* pHdwp, HWND hWnd, LPCRECT rect);

class CWnd : public CCmdTarget {
  DECLARE_DYNCREATE(CWnd)
 public:
  HWND m_hWnd = nullptr;
  // Calls from other threads for this window's thread (afxcall.h); its
  // messages reach it before the window's own procedure.
  CWindowCalls* m_pWindowCalls = nullptr;

  CWnd();
  explicit CWnd(HWND hWnd);
  ~CWnd() override;

  operator HWND() const { return this ? m_hWnd : nullptr; }
  HWND GetSafeHwnd() const { return this ? m_hWnd : nullptr; }
  BOOL operator==(const CWnd& w) const { return w.m_hWnd == m_hWnd; }
  BOOL operator!=(const CWnd& w) const { return w.m_hWnd != m_hWnd; }

  // Handle maps.
  static CWnd* FromHandle(HWND hWnd);
  static CWnd* FromHandlePermanent(HWND hWnd);
  static void DeleteTempMap();
  BOOL Attach(HWND hWndNew);
  HWND Detach();

  // Creation and subclassing.
  virtual BOOL Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                      UINT nID, void* pContext = nullptr);
  virtual BOOL CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, int x, int y,
                        int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam = nullptr);
  BOOL CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                CWnd* pParentWnd, UINT nID, LPVOID lpParam = nullptr);
  virtual BOOL DestroyWindow();
  virtual BOOL PreCreateWindow(CREATESTRUCT& cs);
  virtual void PreSubclassWindow() {}
  BOOL SubclassWindow(HWND hWnd);
  BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
  HWND UnsubclassWindow();

  // Message handling.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  virtual BOOL PreTranslateMessage(MSG* pMsg);
  virtual void PostNcDestroy() {}
  virtual BOOL ContinueModal();
  virtual void EndModalLoop(int nResult);
  virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
  // Routing after the window's own map: a command or update (ids 0x8000 to
  // 0xEFFF) goes to the owner, then to the thread or application object.
  BOOL RouteCmdToOwner(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo);
  virtual class CFrameWnd* AsFrameWnd() { return nullptr; }
  BOOL IsFrameWnd() const { return const_cast<CWnd*>(this)->AsFrameWnd() != nullptr; }
  virtual void DoDataExchange(CDataExchange*) {}
  LRESULT Default();
  // Offers a message from a child to that child's object (reflection).
  BOOL ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  static BOOL ReflectLastMsg(HWND hWndChild, LRESULT* pResult = nullptr);
  static BOOL WalkPreTranslateTree(HWND hWndStop, MSG* pMsg);
  int RunModalLoop(DWORD dwFlags = 0);

  // Command update of child controls.
  void UpdateDialogControls(CCmdTarget* pTarget, BOOL bDisableIfNoHndler);
  void SendMessageToDescendants(UINT message, WPARAM wParam = 0, LPARAM lParam = 0, BOOL bDeep = TRUE,
                                BOOL bOnlyPerm = FALSE);
  BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

  // Thin members.
  LRESULT SendMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const { return ::SendMessageW(m_hWnd, m, w, l); }
  BOOL PostMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const { return ::PostMessageW(m_hWnd, m, w, l); }
  BOOL SendNotifyMessage(UINT m, WPARAM w, LPARAM l) const { return ::SendNotifyMessageW(m_hWnd, m, w, l); }
  DWORD GetStyle() const { return (DWORD)::GetWindowLongPtrW(m_hWnd, GWL_STYLE); }
  DWORD GetExStyle() const { return (DWORD)::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE); }
  BOOL ModifyStyle(DWORD remove, DWORD add, UINT nFlags = 0) { return ModifyStyle(m_hWnd, remove, add, nFlags); }
  BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT nFlags = 0) { return ModifyStyleEx(m_hWnd, remove, add, nFlags); }
  static BOOL ModifyStyle(HWND hWnd, DWORD remove, DWORD add, UINT nFlags);
  static BOOL ModifyStyleEx(HWND hWnd, DWORD remove, DWORD add, UINT nFlags);
  int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
  int SetDlgCtrlID(int nID) { return (int)::SetWindowLongPtrW(m_hWnd, GWLP_ID, nID); }
  CWnd* GetDlgItem(int nID) const { return FromHandle(::GetDlgItem(m_hWnd, nID)); }
  void GetDlgItem(int nID, HWND* phWnd) const { *phWnd = ::GetDlgItem(m_hWnd, nID); }
  UINT GetDlgItemInt(int nID, BOOL* pTrans = nullptr, BOOL bSigned = TRUE) const {
    return ::GetDlgItemInt(m_hWnd, nID, pTrans, bSigned);
  }
  void SetDlgItemInt(int nID, UINT v, BOOL bSigned = TRUE) { ::SetDlgItemInt(m_hWnd, nID, v, bSigned); }
  int GetDlgItemText(int nID, CString& s) const;
  void SetDlgItemText(int nID, LPCTSTR s) { ::SetDlgItemTextW(m_hWnd, nID, s); }
  LRESULT SendDlgItemMessage(int nID, UINT m, WPARAM w = 0, LPARAM l = 0) const {
    return ::SendDlgItemMessageW(m_hWnd, nID, m, w, l);
  }
  void CheckDlgButton(int nID, UINT nCheck) { ::CheckDlgButton(m_hWnd, nID, nCheck); }
  UINT IsDlgButtonChecked(int nID) const { return ::IsDlgButtonChecked(m_hWnd, nID); }
  void CheckRadioButton(int first, int last, int check) { ::CheckRadioButton(m_hWnd, first, last, check); }
  CWnd* GetNextDlgTabItem(CWnd* pCtl, BOOL bPrev = FALSE) const {
    return FromHandle(::GetNextDlgTabItem(m_hWnd, pCtl->GetSafeHwnd(), bPrev));
  }
  CWnd* GetNextDlgGroupItem(CWnd* pCtl, BOOL bPrev = FALSE) const {
    return FromHandle(::GetNextDlgGroupItem(m_hWnd, pCtl->GetSafeHwnd(), bPrev));
  }
  void SetWindowText(LPCTSTR s) { ::SetWindowTextW(m_hWnd, s); }
  int GetWindowText(LPTSTR buf, int n) const { return ::GetWindowTextW(m_hWnd, buf, n); }
  void GetWindowText(CString& s) const;
  int GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
  void SetFont(CFont* pFont, BOOL bRedraw = TRUE);
  CFont* GetFont() const;
  HICON SetIcon(HICON h, BOOL bBig) { return (HICON)SendMessage(WM_SETICON, bBig, (LPARAM)h); }
  HICON GetIcon(BOOL bBig) const { return (HICON)SendMessage(WM_GETICON, bBig, 0); }

  CWnd* GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
  CWnd* SetParent(CWnd* p) { return FromHandle(::SetParent(m_hWnd, p->GetSafeHwnd())); }
  CWnd* GetOwner() const;
  void SetOwner(CWnd* pOwner) { m_hWndOwner = pOwner->GetSafeHwnd(); }
  CWnd* GetTopLevelParent() const;
  CWnd* GetTopLevelOwner() const;
  CWnd* GetParentOwner() const;
  class CFrameWnd* GetParentFrame() const;
  class CFrameWnd* GetTopLevelFrame() const;
  CWnd* GetWindow(UINT cmd) const { return FromHandle(::GetWindow(m_hWnd, cmd)); }
  CWnd* GetTopWindow() const { return FromHandle(::GetTopWindow(m_hWnd)); }
  CWnd* GetNextWindow(UINT flag = GW_HWNDNEXT) const { return FromHandle(::GetWindow(m_hWnd, flag)); }
  CWnd* GetLastActivePopup() const { return FromHandle(::GetLastActivePopup(m_hWnd)); }
  CWnd* ChildWindowFromPoint(POINT p) const { return FromHandle(::ChildWindowFromPoint(m_hWnd, p)); }
  CWnd* ChildWindowFromPoint(POINT p, UINT flags) const {
    return FromHandle(::ChildWindowFromPointEx(m_hWnd, p, flags));
  }
  static CWnd* WindowFromPoint(POINT p) { return FromHandle(::WindowFromPoint(p)); }
  static CWnd* GetDesktopWindow() { return FromHandle(::GetDesktopWindow()); }
  static CWnd* GetFocus() { return FromHandle(::GetFocus()); }
  static CWnd* GetActiveWindow() { return FromHandle(::GetActiveWindow()); }
  static CWnd* GetForegroundWindow() { return FromHandle(::GetForegroundWindow()); }
  static CWnd* GetCapture() { return FromHandle(::GetCapture()); }
  static CWnd* GetSafeOwner(CWnd* pParent = nullptr, HWND* pWndTop = nullptr);
  static CWnd* FindWindow(LPCTSTR cls, LPCTSTR name) { return FromHandle(::FindWindowW(cls, name)); }
  CWnd* SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
  CWnd* SetActiveWindow() { return FromHandle(::SetActiveWindow(m_hWnd)); }
  BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }
  CWnd* SetCapture() { return FromHandle(::SetCapture(m_hWnd)); }
  BOOL IsChild(const CWnd* p) const { return ::IsChild(m_hWnd, p->GetSafeHwnd()); }
  BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
  BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
  BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
  BOOL IsZoomed() const { return ::IsZoomed(m_hWnd); }
  BOOL EnableWindow(BOOL b = TRUE) { return ::EnableWindow(m_hWnd, b); }
  BOOL ShowWindow(int n) { return ::ShowWindow(m_hWnd, n); }
  void UpdateWindow() { ::UpdateWindow(m_hWnd); }
  void Invalidate(BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, bErase); }
  void InvalidateRect(LPCRECT r, BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, r, bErase); }
  void InvalidateRgn(class CRgn* pRgn, BOOL bErase = TRUE);
  void ValidateRect(LPCRECT r) { ::ValidateRect(m_hWnd, r); }
  BOOL RedrawWindow(LPCRECT r = nullptr, class CRgn* rgn = nullptr,
                    UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
  void SetRedraw(BOOL b = TRUE) { SendMessage(WM_SETREDRAW, b, 0); }
  BOOL LockWindowUpdate() { return ::LockWindowUpdate(m_hWnd); }
  void UnlockWindowUpdate() { ::LockWindowUpdate(nullptr); }
  void ShowOwnedPopups(BOOL show = TRUE) { ::ShowOwnedPopups(m_hWnd, show); }
  BOOL SetWindowContextHelpId(DWORD id) { return ::SetWindowContextHelpId(m_hWnd, id); }
  // The message being handled on this thread.
  static const MSG* GetCurrentMessage() { return &AfxGetThreadState()->m_lastSentMsg; }
  BOOL GetUpdateRect(LPRECT r, BOOL bErase = FALSE) { return ::GetUpdateRect(m_hWnd, r, bErase); }
  void GetWindowRect(LPRECT r) const { ::GetWindowRect(m_hWnd, r); }
  void GetClientRect(LPRECT r) const { ::GetClientRect(m_hWnd, r); }
  void ClientToScreen(LPPOINT p) const { ::ClientToScreen(m_hWnd, p); }
  void ClientToScreen(LPRECT r) const;
  void ScreenToClient(LPPOINT p) const { ::ScreenToClient(m_hWnd, p); }
  void ScreenToClient(LPRECT r) const;
  void MapWindowPoints(CWnd* to, LPPOINT p, UINT n) const { ::MapWindowPoints(m_hWnd, to->GetSafeHwnd(), p, n); }
  void MapWindowPoints(CWnd* to, LPRECT r) const { ::MapWindowPoints(m_hWnd, to->GetSafeHwnd(), (LPPOINT)r, 2); }
  void MoveWindow(int x, int y, int w, int h, BOOL bRepaint = TRUE) { ::MoveWindow(m_hWnd, x, y, w, h, bRepaint); }
  void MoveWindow(LPCRECT r, BOOL bRepaint = TRUE) {
    MoveWindow(r->left, r->top, r->right - r->left, r->bottom - r->top, bRepaint);
  }
  BOOL SetWindowPos(const CWnd* after, int x, int y, int cx, int cy, UINT flags) {
    return ::SetWindowPos(m_hWnd, after->GetSafeHwnd(), x, y, cx, cy, flags);
  }
  void CenterWindow(CWnd* pAlternateOwner = nullptr);
  void BringWindowToTop() { ::BringWindowToTop(m_hWnd); }
  BOOL SetWindowPlacement(const WINDOWPLACEMENT* p) { return ::SetWindowPlacement(m_hWnd, p); }
  BOOL GetWindowPlacement(WINDOWPLACEMENT* p) const {
    p->length = sizeof(*p);
    return ::GetWindowPlacement(m_hWnd, p);
  }
  int SetWindowRgn(HRGN h, BOOL bRedraw) { return ::SetWindowRgn(m_hWnd, h, bRedraw); }
  UINT_PTR SetTimer(UINT_PTR id, UINT ms, TIMERPROC proc = nullptr) { return ::SetTimer(m_hWnd, id, ms, proc); }
  BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
  CDC* GetDC();
  CDC* GetWindowDC();
  CDC* GetDCEx(class CRgn* clip, DWORD flags);
  int ReleaseDC(CDC* pDC);
  CMenu* GetMenu() const;
  BOOL SetMenu(CMenu* pMenu);
  void DrawMenuBar() { ::DrawMenuBar(m_hWnd); }
  CMenu* GetSystemMenu(BOOL bRevert) const;
  int GetScrollPos(int bar) const { return ::GetScrollPos(m_hWnd, bar); }
  int SetScrollPos(int bar, int pos, BOOL redraw = TRUE) { return ::SetScrollPos(m_hWnd, bar, pos, redraw); }
  void SetScrollRange(int bar, int mn, int mx, BOOL redraw = TRUE) { ::SetScrollRange(m_hWnd, bar, mn, mx, redraw); }
  BOOL SetScrollInfo(int bar, LPSCROLLINFO si, BOOL redraw = TRUE) {
    si->cbSize = sizeof(*si);
    ::SetScrollInfo(m_hWnd, bar, si, redraw);
    return TRUE;
  }
  BOOL GetScrollInfo(int bar, LPSCROLLINFO si, UINT mask = SIF_ALL) {
    si->cbSize = sizeof(*si);
    si->fMask = mask;
    return ::GetScrollInfo(m_hWnd, bar, si);
  }
  void ShowScrollBar(UINT bar, BOOL show = TRUE) { ::ShowScrollBar(m_hWnd, bar, show); }
  void ScrollWindow(int dx, int dy, LPCRECT r = nullptr, LPCRECT clip = nullptr) {
    ::ScrollWindow(m_hWnd, dx, dy, r, clip);
  }
  void DragAcceptFiles(BOOL b = TRUE) { ::DragAcceptFiles(m_hWnd, b); }
  BOOL OpenClipboard() { return ::OpenClipboard(m_hWnd); }
  int MessageBox(LPCTSTR text, LPCTSTR caption = nullptr, UINT type = MB_OK);
  BOOL FlashWindow(BOOL b) { return ::FlashWindow(m_hWnd, b); }
  DWORD GetWindowContextHelpId() const { return ::GetWindowContextHelpId(m_hWnd); }
  static const CWnd wndTop, wndBottom, wndTopMost, wndNoTopMost;

  // Default handlers of window messages; the message maps name them.
  afx_msg int OnCreate(LPCREATESTRUCT) { return (int)Default(); }
  afx_msg BOOL OnNcCreate(LPCREATESTRUCT) { return (BOOL)Default(); }
  afx_msg void OnDestroy() { Default(); }
  afx_msg void OnNcDestroy() { Default(); }
  afx_msg void OnClose() { Default(); }
  afx_msg void OnPaint() { Default(); }
  afx_msg void OnNcPaint() { Default(); }
  afx_msg BOOL OnEraseBkgnd(CDC*) { return (BOOL)Default(); }
  afx_msg void OnSize(UINT, int, int) { Default(); }
  afx_msg void OnSizing(UINT, LPRECT) { Default(); }
  afx_msg void OnMove(int, int) { Default(); }
  afx_msg void OnTimer(UINT_PTR) { Default(); }
  afx_msg void OnShowWindow(BOOL, UINT) { Default(); }
  afx_msg void OnEnable(BOOL) { Default(); }
  afx_msg void OnCancelMode() { Default(); }
  afx_msg BOOL OnNcActivate(BOOL) { return (BOOL)Default(); }
  afx_msg void OnSetFocus(CWnd*) { Default(); }
  afx_msg void OnKillFocus(CWnd*) { Default(); }
  afx_msg void OnActivate(UINT, CWnd*, BOOL) { Default(); }
  afx_msg void OnActivateApp(BOOL, DWORD) { Default(); }
  afx_msg int OnMouseActivate(CWnd*, UINT, UINT) { return (int)Default(); }
  afx_msg void OnCaptureChanged(CWnd*) { Default(); }
  afx_msg void OnWindowPosChanging(WINDOWPOS*) { Default(); }
  afx_msg void OnWindowPosChanged(WINDOWPOS*) { Default(); }
  afx_msg void OnGetMinMaxInfo(MINMAXINFO*) { Default(); }
  afx_msg UINT OnGetDlgCode() { return (UINT)Default(); }
  afx_msg LRESULT OnNcHitTest(CPoint) { return Default(); }
  afx_msg void OnNcCalcSize(BOOL, NCCALCSIZE_PARAMS*) { Default(); }
  afx_msg BOOL OnSetCursor(CWnd*, UINT, UINT) { return (BOOL)Default(); }
  afx_msg void OnContextMenu(CWnd*, CPoint) { Default(); }
  afx_msg void OnDropFiles(HDROP) { Default(); }
  afx_msg void OnSysCommand(UINT, LPARAM) { Default(); }
  afx_msg void OnSysColorChange() { Default(); }
  afx_msg void OnSettingChange(UINT, LPCTSTR) { Default(); }
  afx_msg BOOL OnQueryEndSession() { return (BOOL)Default(); }
  afx_msg void OnEndSession(BOOL) { Default(); }
  afx_msg HCURSOR OnQueryDragIcon() { return (HCURSOR)Default(); }
  afx_msg BOOL OnCopyData(CWnd*, COPYDATASTRUCT*) { return (BOOL)Default(); }
  afx_msg BOOL OnHelpInfo(HELPINFO*) { return (BOOL)Default(); }
  afx_msg void OnParentNotify(UINT, LPARAM);
  afx_msg void OnEnterIdle(UINT, CWnd*) { Default(); }
  afx_msg void OnInitMenu(CMenu*) { Default(); }
  afx_msg void OnInitMenuPopup(CMenu*, UINT, BOOL) { Default(); }
  afx_msg void OnMenuSelect(UINT, UINT, HMENU) { Default(); }
  afx_msg LRESULT OnMenuChar(UINT, UINT, CMenu*) { return Default(); }
  afx_msg void OnDrawItem(int, LPDRAWITEMSTRUCT);
  afx_msg void OnMeasureItem(int, LPMEASUREITEMSTRUCT);
  afx_msg int OnCompareItem(int, LPCOMPAREITEMSTRUCT);
  afx_msg void OnDeleteItem(int, LPDELETEITEMSTRUCT);
  afx_msg HBRUSH OnCtlColor(CDC*, CWnd*, UINT);
  afx_msg void OnHScroll(UINT, UINT, CScrollBar*);
  afx_msg void OnVScroll(UINT, UINT, CScrollBar*);
  afx_msg void OnMouseMove(UINT, CPoint) { Default(); }
  afx_msg void OnLButtonDown(UINT, CPoint) { Default(); }
  afx_msg void OnLButtonUp(UINT, CPoint) { Default(); }
  afx_msg void OnLButtonDblClk(UINT, CPoint) { Default(); }
  afx_msg void OnRButtonDown(UINT, CPoint) { Default(); }
  afx_msg void OnRButtonUp(UINT, CPoint) { Default(); }
  afx_msg void OnRButtonDblClk(UINT, CPoint) { Default(); }
  afx_msg void OnMButtonDown(UINT, CPoint) { Default(); }
  afx_msg void OnMButtonUp(UINT, CPoint) { Default(); }
  afx_msg void OnMButtonDblClk(UINT, CPoint) { Default(); }
  afx_msg void OnMouseHover(UINT, CPoint) { Default(); }
  afx_msg void OnMouseLeave() { Default(); }
  afx_msg BOOL OnMouseWheel(UINT, short, CPoint) { return (BOOL)Default(); }
  afx_msg void OnNcMouseMove(UINT, CPoint) { Default(); }
  afx_msg void OnNcLButtonDown(UINT, CPoint) { Default(); }
  afx_msg void OnNcLButtonUp(UINT, CPoint) { Default(); }
  afx_msg void OnNcLButtonDblClk(UINT, CPoint) { Default(); }
  afx_msg void OnNcRButtonDown(UINT, CPoint) { Default(); }
  afx_msg void OnKeyDown(UINT, UINT, UINT) { Default(); }
  afx_msg void OnKeyUp(UINT, UINT, UINT) { Default(); }
  afx_msg void OnChar(UINT, UINT, UINT) { Default(); }
  afx_msg void OnSysKeyDown(UINT, UINT, UINT) { Default(); }
  afx_msg void OnSysKeyUp(UINT, UINT, UINT) { Default(); }
  afx_msg void OnSysChar(UINT, UINT, UINT) { Default(); }

 protected:
  WNDPROC m_pfnSuper = nullptr;  // the window procedure we replaced
  HWND m_hWndOwner = nullptr;    // owner for command routing, when not the window's own
  UINT m_nFlags = 0;
  int m_nModalResult = 0;
  enum { WF_CONTINUEMODAL = 0x0080, WF_MODALLOOP = 0x0100, WF_CREATED = 0x10000 };

  DECLARE_MESSAGE_MAP()

 private:
  friend LRESULT AfxCallWndProc(CWnd*, HWND, UINT, WPARAM, LPARAM);
  friend LRESULT CALLBACK AfxCbtFilterHook(int, WPARAM, LPARAM);
  // Final step of a window's life: unsubclass, detach, PostNcDestroy.
  void AfterNcDestroy();
};

// Message pump pieces shared by the thread loop and the modal loop.
BOOL AfxPumpMessage();
BOOL AfxPreTranslateMessage(MSG* pMsg);
BOOL AfxIsIdleMessage(MSG* pMsg);
// Nesting depth of message loops on this thread; temporary objects are only
// freed at the outermost loop, where no handler still holds one.
int AfxLoopDepth();
struct AfxLoopScope {
  AfxLoopScope();
  ~AfxLoopScope();
};

// Flags of RunModalLoop.
#define MLF_NOIDLEMSG 0x0001
#define MLF_NOKICKIDLE 0x0002
#define MLF_SHOWONIDLE 0x0004
#endif
