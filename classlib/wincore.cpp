// Window objects: handle maps, creation hook, the window procedure and the
// dispatch of window messages, commands and notifications.
#include "afxwin.h"

#include <deque>
#include <mutex>
#include <vector>

namespace {
// Permanent map: window objects that own or subclass their handle. Shared by
// all threads, since worker threads call page controls directly. Never
// destroyed, so window objects with static storage may still use it at exit.
std::mutex& WndLock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}
std::unordered_map<HWND, CWnd*>& PermanentWnds() {
  static auto* map = new std::unordered_map<HWND, CWnd*>;
  return *map;
}

thread_local AFX_THREAD_STATE* t_state = nullptr;
thread_local int t_loopDepth = 0;

BOOL IsCommandId(UINT id) { return id >= 0x8000 && id < 0xF000; }
}  // namespace

// Each thread's state lives on the heap: threads the library starts free it
// as they end (AfxTermThreadState); it needs no thread-exit destructor.
AFX_THREAD_STATE* AfxGetThreadState() {
  if (!t_state) t_state = new AFX_THREAD_STATE;
  return t_state;
}

void AfxTermThreadState() {
  if (!t_state) return;
  t_state->m_nTempMapLock = 0;
  AfxDeleteTempMaps();
  delete t_state;
  t_state = nullptr;
}

AFX_THREAD_STATE::~AFX_THREAD_STATE() {}

// ---------------------------------------------------------------------------
// Temporary maps.

void AfxLockTempMaps() { ++AfxGetThreadState()->m_nTempMapLock; }

BOOL AfxUnlockTempMaps(BOOL bDeleteTemps) {
  AFX_THREAD_STATE* st = AfxGetThreadState();
  if (st->m_nTempMapLock > 0 && --st->m_nTempMapLock == 0) {
    if (bDeleteTemps) AfxDeleteTempMaps();
    return TRUE;
  }
  return st->m_nTempMapLock == 0;
}

void AfxDeleteTempMaps() {
  AFX_THREAD_STATE* st = AfxGetThreadState();
  if (st->m_nTempMapLock != 0) return;
  auto wnds = std::move(st->m_tempWnds);
  st->m_tempWnds.clear();
  for (auto& p : wnds) {
    p.second->m_hWnd = nullptr;  // never destroy a window we do not own
    delete p.second;
  }
  auto dcs = std::move(st->m_tempDCs);
  st->m_tempDCs.clear();
  for (auto& p : dcs) {
    p.second->m_hDC = p.second->m_hAttribDC = nullptr;
    delete p.second;
  }
  auto menus = std::move(st->m_tempMenus);
  st->m_tempMenus.clear();
  for (auto& p : menus) {
    p.second->m_hMenu = nullptr;
    delete p.second;
  }
  auto gdi = std::move(st->m_tempGdi);
  st->m_tempGdi.clear();
  for (auto& p : gdi) {
    p.second->m_hObject = nullptr;
    delete p.second;
  }
  auto lists = std::move(st->m_tempImageLists);
  st->m_tempImageLists.clear();
  for (auto& p : lists) {
    p.second->m_hImageList = nullptr;
    delete p.second;
  }
}

// ---------------------------------------------------------------------------
// CWnd handle maps.

IMPLEMENT_DYNCREATE(CWnd, CCmdTarget)

const CWnd CWnd::wndTop(HWND_TOP);
const CWnd CWnd::wndBottom(HWND_BOTTOM);
const CWnd CWnd::wndTopMost(HWND_TOPMOST);
const CWnd CWnd::wndNoTopMost(HWND_NOTOPMOST);

CWnd::CWnd() {}
CWnd::CWnd(HWND hWnd) : m_hWnd(hWnd) {}

CWnd::~CWnd() {
  if (!m_hWnd || FromHandlePermanent(m_hWnd) != this) return;
  const BOOL alive = ::IsWindow(m_hWnd);
  const BOOL ours = alive && GetWindowThreadProcessId(m_hWnd, nullptr) == GetCurrentThreadId();
  if (ours && (m_nFlags & WF_CREATED)) {
    DestroyWindow();
  } else if (alive && m_pfnSuper) {
    UnsubclassWindow();  // not ours to destroy: hand the window its own procedure back
  } else {
    Detach();
  }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
  if (!hWnd) return nullptr;
  std::lock_guard<std::mutex> l(WndLock());
  auto it = PermanentWnds().find(hWnd);
  return it == PermanentWnds().end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND hWnd) {
  if (!hWnd) return nullptr;
  if (CWnd* p = FromHandlePermanent(hWnd)) return p;
  AFX_THREAD_STATE* st = AfxGetThreadState();
  CWnd*& temp = st->m_tempWnds[hWnd];
  if (!temp) temp = new CWnd(hWnd);
  return temp;
}

void CWnd::DeleteTempMap() { AfxDeleteTempMaps(); }

BOOL CWnd::Attach(HWND hWndNew) {
  if (!hWndNew || m_hWnd) return FALSE;
  std::lock_guard<std::mutex> l(WndLock());
  auto& map = PermanentWnds();
  if (map.count(hWndNew)) return FALSE;
  map[hWndNew] = this;
  m_hWnd = hWndNew;
  return TRUE;
}

HWND CWnd::Detach() {
  HWND h = m_hWnd;
  if (h) {
    std::lock_guard<std::mutex> l(WndLock());
    auto it = PermanentWnds().find(h);
    if (it != PermanentWnds().end() && it->second == this) PermanentWnds().erase(it);
  }
  m_hWnd = nullptr;
  m_pfnSuper = nullptr;
  m_nFlags &= ~WF_CREATED;
  return h;
}

// ---------------------------------------------------------------------------
// Creation.

const TCHAR AFX_WND_CLASS[] = L"ClasslibWnd";

namespace {
void RegisterDefaultClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    WNDCLASSW wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = AFX_WND_CLASS;
    ::RegisterClassW(&wc);
  });
}

std::mutex& ClassLock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}
// A deque: names handed out stay where they are when more are added.
std::deque<CString>& ClassNames() {
  static auto* names = new std::deque<CString>;
  return *names;
}
}  // namespace

LPCTSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground, HICON hIcon) {
  CString name;
  name.Format(L"Classlib:%p:%x:%p:%p:%p", (void*)GetModuleHandleW(nullptr), nClassStyle, (void*)hCursor,
              (void*)hbrBackground, (void*)hIcon);
  std::lock_guard<std::mutex> l(ClassLock());
  for (const CString& n : ClassNames())
    if (n == name) return n;
  WNDCLASSW wc = {};
  wc.style = nClassStyle;
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = hCursor;
  wc.hbrBackground = hbrBackground;
  wc.hIcon = hIcon;
  ClassNames().push_back(name);
  wc.lpszClassName = ClassNames().back();
  if (!::RegisterClassW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    ClassNames().pop_back();
    return nullptr;
  }
  return ClassNames().back();
}

LRESULT CALLBACK AfxCbtFilterHook(int code, WPARAM wParam, LPARAM lParam) {
  AFX_THREAD_STATE* st = AfxGetThreadState();
  if (code == HCBT_CREATEWND && st->m_pWndInit) {
    HWND hWnd = (HWND)wParam;
    wchar_t cls[16] = {0};
    ::GetClassNameW(hWnd, cls, 16);
    if (lstrcmpiW(cls, L"IME") != 0) {  // input-method helper windows are not ours
      CWnd* pWnd = st->m_pWndInit;
      st->m_pWndInit = nullptr;
      if (pWnd->Attach(hWnd)) {  // an object that already has a window gets no second one
        pWnd->m_nFlags |= CWnd::WF_CREATED;
        pWnd->PreSubclassWindow();
        WNDPROC old = (WNDPROC)::GetWindowLongPtrW(hWnd, GWLP_WNDPROC);
        if (old != AfxWndProc) {
          ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, (LONG_PTR)AfxWndProc);
          pWnd->m_pfnSuper = old;
        }
      }
    }
  }
  return ::CallNextHookEx(st->m_hHookOldCbtFilter, code, wParam, lParam);
}

void AfxHookWindowCreate(CWnd* pWnd) {
  AFX_THREAD_STATE* st = AfxGetThreadState();
  if (!st->m_hHookOldCbtFilter)
    st->m_hHookOldCbtFilter = ::SetWindowsHookExW(WH_CBT, AfxCbtFilterHook, nullptr, ::GetCurrentThreadId());
  st->m_pWndInit = pWnd;
}

BOOL AfxUnhookWindowCreate() {
  AFX_THREAD_STATE* st = AfxGetThreadState();
  if (st->m_hHookOldCbtFilter) {
    ::UnhookWindowsHookEx(st->m_hHookOldCbtFilter);
    st->m_hHookOldCbtFilter = nullptr;
  }
  if (st->m_pWndInit) {
    st->m_pWndInit = nullptr;
    return FALSE;  // no window was made
  }
  return TRUE;
}

BOOL CWnd::PreCreateWindow(CREATESTRUCT& cs) {
  if (!cs.lpszClass) {
    RegisterDefaultClass();
    cs.lpszClass = AFX_WND_CLASS;
  }
  return TRUE;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, int x, int y,
                    int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam) {
  CREATESTRUCT cs = {};
  cs.dwExStyle = dwExStyle;
  cs.lpszClass = lpszClassName;
  cs.lpszName = lpszWindowName;
  cs.style = dwStyle;
  cs.x = x;
  cs.y = y;
  cs.cx = nWidth;
  cs.cy = nHeight;
  cs.hwndParent = hWndParent;
  cs.hMenu = nIDorHMenu;
  cs.hInstance = AfxGetInstanceHandle();
  cs.lpCreateParams = lpParam;
  if (!PreCreateWindow(cs)) {
    PostNcDestroy();
    return FALSE;
  }
  AfxHookWindowCreate(this);
  HWND hWnd = ::CreateWindowExW(cs.dwExStyle, cs.lpszClass, cs.lpszName, cs.style, cs.x, cs.y, cs.cx, cs.cy,
                                cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
  AfxUnhookWindowCreate();
  // A refused creation (WM_CREATE answering -1) went through WM_NCDESTROY,
  // which detached this object (and may have deleted it): do not touch it.
  return hWnd != nullptr;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                    CWnd* pParentWnd, UINT nID, LPVOID lpParam) {
  return CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle, rect.left, rect.top, rect.right - rect.left,
                  rect.bottom - rect.top, pParentWnd->GetSafeHwnd(), (HMENU)(UINT_PTR)nID, lpParam);
}

BOOL CWnd::Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                  UINT nID, void*) {
  return CreateEx(0, lpszClassName, lpszWindowName, dwStyle | WS_CHILD, rect, pParentWnd, nID);
}

BOOL CWnd::DestroyWindow() {
  HWND h = m_hWnd;
  if (!h) return FALSE;
  const BOOL permanent = FromHandlePermanent(h) == this;
  BOOL ok = ::DestroyWindow(h);
  // A window that went through our procedure detached itself at WM_NCDESTROY
  // (and may have deleted this object); anything else is detached here.
  if (!permanent)
    m_hWnd = nullptr;
  else if (FromHandlePermanent(h) == this)
    Detach();
  return ok;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
  if (!Attach(hWnd)) return FALSE;
  PreSubclassWindow();
  WNDPROC old = (WNDPROC)::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, (LONG_PTR)AfxWndProc);
  if (old != AfxWndProc) m_pfnSuper = old;
  return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
  HWND hCtl = ::GetDlgItem(pParent->GetSafeHwnd(), (int)nID);
  return hCtl ? SubclassWindow(hCtl) : FALSE;
}

HWND CWnd::UnsubclassWindow() {
  if (m_pfnSuper && (WNDPROC)::GetWindowLongPtrW(m_hWnd, GWLP_WNDPROC) == AfxWndProc)
    ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, (LONG_PTR)m_pfnSuper);
  return Detach();
}

void CWnd::AfterNcDestroy() {
  if (m_pfnSuper && (WNDPROC)::GetWindowLongPtrW(m_hWnd, GWLP_WNDPROC) == AfxWndProc)
    ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, (LONG_PTR)m_pfnSuper);
  AFX_THREAD_STATE* st = AfxGetThreadState();
  if (CWinThread* thread = AfxGetThread()) {
    if (thread->m_pMainWnd == this) {
      if (st->m_bInRunLoop) ::PostQuitMessage(0);
      thread->m_pMainWnd = nullptr;
    }
    if (thread->m_pActiveWnd == this) thread->m_pActiveWnd = nullptr;
  }
  Detach();
  PostNcDestroy();
}

// ---------------------------------------------------------------------------
// The window procedure.

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
  CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
  if (!pWnd) return ::DefWindowProcW(hWnd, nMsg, wParam, lParam);
  return AfxCallWndProc(pWnd, hWnd, nMsg, wParam, lParam);
}

LRESULT AfxCallWndProc(CWnd* pWnd, HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
  AFX_THREAD_STATE* st = AfxGetThreadState();
  MSG saved = st->m_lastSentMsg;
  st->m_lastSentMsg.hwnd = hWnd;
  st->m_lastSentMsg.message = nMsg;
  st->m_lastSentMsg.wParam = wParam;
  st->m_lastSentMsg.lParam = lParam;
  LRESULT result = 0;
  CWindowCalls* calls = pWnd->m_pWindowCalls;
  if (!calls || !calls->OnWindowMessage(nMsg, wParam, lParam)) result = pWnd->WindowProc(nMsg, wParam, lParam);
  if (nMsg == WM_NCDESTROY && calls) calls->Close();
  if (nMsg == WM_NCDESTROY && CWnd::FromHandlePermanent(hWnd) == pWnd) pWnd->AfterNcDestroy();
  st->m_lastSentMsg = saved;
  return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
  return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_pfnSuper) return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
  return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
  const MSG& m = AfxGetThreadState()->m_lastSentMsg;
  return DefWindowProc(m.message, m.wParam, m.lParam);
}

// The one place where window messages meet the message maps: WM_COMMAND and
// WM_NOTIFY go through OnCommand/OnNotify (reflection, update check, routing);
// the colour messages share the WM_CTLCOLOR entry; everything else is looked
// up by message number.
BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  LRESULT lResult = 0;
  if (message == WM_COMMAND) {
    if (!OnCommand(wParam, lParam)) return FALSE;
    lResult = 1;
  } else if (message == WM_NOTIFY) {
    NMHDR* nm = reinterpret_cast<NMHDR*>(lParam);
    if (!nm || !nm->hwndFrom || !OnNotify(wParam, lParam, &lResult)) return FALSE;
  } else {
    AFX_MSGCALL call = {message, wParam, lParam, 0, 0, nullptr, 0};
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
      call.message = WM_CTLCOLOR;
      call.nCode = message - WM_CTLCOLORMSGBOX;
    }
    const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(call.message);
    if (!entry || !entry->pfn(this, call)) return FALSE;
    lResult = call.lResult;
  }
  if (pResult) *pResult = lResult;
  return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  UINT nID = LOWORD(wParam);
  HWND hWndCtrl = (HWND)lParam;
  int nCode = HIWORD(wParam);
  if (!hWndCtrl) {
    // Menu or accelerator: a command whose update handler disables it is eaten.
    if (nID == 0) return FALSE;
    CTestCmdUI state;
    state.m_nID = nID;
    OnCmdMsg(nID, (int)CN_UPDATE_COMMAND_UI, &state, nullptr);
    if (!state.m_bEnabled) return TRUE;
    nCode = CN_COMMAND;
  } else {
    if (CWnd* child = FromHandlePermanent(hWndCtrl))
      if (child->OnChildNotify(WM_COMMAND, wParam, lParam, nullptr)) return TRUE;
    if (nID == 0) return FALSE;
  }
  return OnCmdMsg(nID, nCode, nullptr, nullptr);
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* pResult) {
  NMHDR* nm = reinterpret_cast<NMHDR*>(lParam);
  HWND hWndCtrl = nm->hwndFrom;
  if (CWnd* child = FromHandlePermanent(hWndCtrl))
    if (child->OnChildNotify(WM_NOTIFY, nm->idFrom, lParam, pResult)) return TRUE;
  // Dispatched by the sending window's id, whatever idFrom says.
  UINT nID = (UINT)::GetDlgCtrlID(hWndCtrl);
  AFX_NOTIFY notify = {pResult, nm};
  return OnCmdMsg(nID, MAKELONG(nm->code, WM_NOTIFY), &notify, nullptr);
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  return ReflectChildNotify(message, wParam, lParam, pResult);
}

BOOL CWnd::ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  switch (message) {
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_PARENTNOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_DELETEITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_COMPAREITEM:
      return CWnd::OnWndMsg(WM_REFLECT_BASE + message, wParam, lParam, pResult);
    case WM_COMMAND: {
      if (CWnd::OnCmdMsg(0, MAKELONG(HIWORD(wParam), WM_REFLECT_BASE + WM_COMMAND), nullptr, nullptr)) {
        if (pResult) *pResult = 1;
        return TRUE;
      }
      return FALSE;
    }
    case WM_NOTIFY: {
      NMHDR* nm = reinterpret_cast<NMHDR*>(lParam);
      LRESULT dummy = 0;
      AFX_NOTIFY notify = {pResult ? pResult : &dummy, nm};
      return CWnd::OnCmdMsg(0, MAKELONG(nm->code, WM_REFLECT_BASE + WM_NOTIFY), &notify, nullptr);
    }
  }
  if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
    AFX_CTLCOLOR ctl = {(HWND)lParam, (HDC)wParam, message - WM_CTLCOLORMSGBOX};
    return CWnd::OnWndMsg(WM_REFLECT_BASE + WM_CTLCOLOR, 0, (LPARAM)&ctl, pResult);
  }
  return FALSE;
}

BOOL CWnd::ReflectLastMsg(HWND hWndChild, LRESULT* pResult) {
  CWnd* child = FromHandlePermanent(hWndChild);
  if (!child) return FALSE;
  const MSG& m = AfxGetThreadState()->m_lastSentMsg;
  return child->OnChildNotify(m.message, m.wParam, m.lParam, pResult);
}

BOOL CWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  return CCmdTarget::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

BOOL CWnd::RouteCmdToOwner(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  // Only real commands travel on; control notifications stay with the window.
  if ((nCode != (int)CN_COMMAND && nCode != (int)CN_UPDATE_COMMAND_UI) || !IsCommandId(nID)) return FALSE;
  CWnd* pOwner = GetOwner();
  if (pOwner && pOwner != this && pOwner->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
  CCmdTarget* thread = AfxGetThread();
  if (!thread) thread = AfxGetApp();
  return thread && thread->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

// Default handlers that first offer the message to the child that sent it.
void CWnd::OnDrawItem(int, LPDRAWITEMSTRUCT dis) {
  if (dis->CtlType != ODT_MENU)
    if (CWnd* child = FromHandlePermanent(dis->hwndItem))
      if (child->OnChildNotify(WM_DRAWITEM, dis->CtlID, (LPARAM)dis, nullptr)) return;
  Default();
}

void CWnd::OnMeasureItem(int, LPMEASUREITEMSTRUCT mis) {
  if (mis->CtlType != ODT_MENU)
    if (CWnd* child = FromHandlePermanent(::GetDlgItem(m_hWnd, (int)mis->CtlID)))
      if (child->OnChildNotify(WM_MEASUREITEM, mis->CtlID, (LPARAM)mis, nullptr)) return;
  Default();
}

int CWnd::OnCompareItem(int, LPCOMPAREITEMSTRUCT cis) {
  LRESULT r = 0;
  if (CWnd* child = FromHandlePermanent(cis->hwndItem))
    if (child->OnChildNotify(WM_COMPAREITEM, cis->CtlID, (LPARAM)cis, &r)) return (int)r;
  return (int)Default();
}

void CWnd::OnDeleteItem(int, LPDELETEITEMSTRUCT dis) {
  if (CWnd* child = FromHandlePermanent(dis->hwndItem))
    if (child->OnChildNotify(WM_DELETEITEM, dis->CtlID, (LPARAM)dis, nullptr)) return;
  Default();
}

HBRUSH CWnd::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
  LRESULT r = 0;
  if (CWnd* child = FromHandlePermanent(pWnd->GetSafeHwnd()))
    if (child->OnChildNotify(WM_CTLCOLORMSGBOX + nCtlColor, (WPARAM)pDC->GetSafeHdc(), (LPARAM)child->m_hWnd, &r))
      return (HBRUSH)r;
  return (HBRUSH)Default();
}

void CWnd::OnHScroll(UINT, UINT, CScrollBar* pBar) {
  if (CWnd* child = FromHandlePermanent(((CWnd*)pBar)->GetSafeHwnd())) {
    const MSG& m = AfxGetThreadState()->m_lastSentMsg;
    if (child->OnChildNotify(WM_HSCROLL, m.wParam, m.lParam, nullptr)) return;
  }
  Default();
}

void CWnd::OnVScroll(UINT, UINT, CScrollBar* pBar) {
  if (CWnd* child = FromHandlePermanent(((CWnd*)pBar)->GetSafeHwnd())) {
    const MSG& m = AfxGetThreadState()->m_lastSentMsg;
    if (child->OnChildNotify(WM_VSCROLL, m.wParam, m.lParam, nullptr)) return;
  }
  Default();
}

void CWnd::OnParentNotify(UINT message, LPARAM lParam) {
  if (LOWORD(message) == WM_CREATE || LOWORD(message) == WM_DESTROY) {
    const MSG& m = AfxGetThreadState()->m_lastSentMsg;
    if (CWnd* child = FromHandlePermanent((HWND)lParam))
      if (child->OnChildNotify(WM_PARENTNOTIFY, m.wParam, m.lParam, nullptr)) return;
  }
  Default();
}

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
  ON_WM_DRAWITEM()
  ON_WM_MEASUREITEM()
  ON_WM_COMPAREITEM()
  ON_WM_DELETEITEM()
  ON_WM_CTLCOLOR()
  ON_WM_HSCROLL()
  ON_WM_VSCROLL()
  ON_WM_PARENTNOTIFY()
END_MESSAGE_MAP()

// ---------------------------------------------------------------------------
// Message loop helpers.

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

BOOL CWnd::WalkPreTranslateTree(HWND hWndStop, MSG* pMsg) {
  for (HWND h = pMsg->hwnd; h; h = ::GetParent(h)) {
    if (CWnd* p = FromHandlePermanent(h))
      if (p->PreTranslateMessage(pMsg)) return TRUE;
    if (h == hWndStop) break;
  }
  return FALSE;
}

BOOL AfxPreTranslateMessage(MSG* pMsg) {
  if (CWinThread* thread = AfxGetThread()) return thread->PreTranslateMessage(pMsg);
  return CWnd::WalkPreTranslateTree(nullptr, pMsg);
}

BOOL AfxPumpMessage() {
  MSG& msg = AfxGetThreadState()->m_msgCur;
  if (!::GetMessageW(&msg, nullptr, 0, 0)) return FALSE;
  if (msg.message != WM_KICKIDLE && !AfxPreTranslateMessage(&msg)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return TRUE;
}

BOOL AfxIsIdleMessage(MSG* pMsg) {
  // Mouse moves and cursor blinks do not make the program busy.
  static thread_local POINT lastPt = {-1, -1};
  if (pMsg->message == WM_MOUSEMOVE || pMsg->message == WM_NCMOUSEMOVE) {
    if (pMsg->pt.x == lastPt.x && pMsg->pt.y == lastPt.y) return FALSE;
    lastPt = pMsg->pt;
    return TRUE;
  }
  return pMsg->message != WM_PAINT && pMsg->message != 0x0118;  // 0x0118: caret blink
}

int AfxLoopDepth() { return t_loopDepth; }
AfxLoopScope::AfxLoopScope() { ++t_loopDepth; }
AfxLoopScope::~AfxLoopScope() { --t_loopDepth; }

BOOL CWnd::ContinueModal() { return (m_nFlags & WF_CONTINUEMODAL) != 0; }

void CWnd::EndModalLoop(int nResult) {
  m_nModalResult = nResult;
  if (m_nFlags & WF_CONTINUEMODAL) {
    m_nFlags &= ~WF_CONTINUEMODAL;
    PostMessage(WM_NULL);
  }
}

int CWnd::RunModalLoop(DWORD dwFlags) {
  AfxLoopScope depth;
  BOOL bIdle = TRUE;
  LONG lIdleCount = 0;
  BOOL bShowIdle = (dwFlags & MLF_SHOWONIDLE) && !(GetStyle() & WS_VISIBLE);
  HWND hWndParent = ::GetParent(m_hWnd);
  m_nFlags |= WF_MODALLOOP | WF_CONTINUEMODAL;
  MSG* pMsg = &AfxGetThreadState()->m_msgCur;
  const HWND self = m_hWnd;

  for (;;) {
    while (bIdle && !::PeekMessageW(pMsg, nullptr, 0, 0, PM_NOREMOVE)) {
      if (bShowIdle) {
        ShowWindow(SW_SHOWNORMAL);
        UpdateWindow();
        bShowIdle = FALSE;
      }
      if (lIdleCount == 0) {
        if (!(dwFlags & MLF_NOIDLEMSG) && hWndParent)
          ::SendMessageW(hWndParent, WM_ENTERIDLE, MSGF_DIALOGBOX, (LPARAM)self);
        // Idle command update of the dialog's controls and bars.
        if (IsWindowVisible()) SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE, TRUE);
      }
      if ((dwFlags & MLF_NOKICKIDLE) || !SendMessage(WM_KICKIDLE, MSGF_DIALOGBOX, lIdleCount++)) bIdle = FALSE;
      if (!::IsWindow(self) || !ContinueModal()) goto ExitModal;
      if (!bIdle && AfxLoopDepth() == 1) AfxDeleteTempMaps();
    }
    do {
      if (!AfxPumpMessage()) {
        ::PostQuitMessage((int)pMsg->wParam);
        m_nFlags &= ~(WF_MODALLOOP | WF_CONTINUEMODAL);
        return -1;
      }
      if (bShowIdle && (pMsg->message == 0x0118 || pMsg->message == WM_SYSKEYDOWN)) {
        ShowWindow(SW_SHOWNORMAL);
        UpdateWindow();
        bShowIdle = FALSE;
      }
      if (!::IsWindow(self) || !ContinueModal()) goto ExitModal;
      if (AfxIsIdleMessage(pMsg)) {
        bIdle = TRUE;
        lIdleCount = 0;
      }
    } while (::PeekMessageW(pMsg, nullptr, 0, 0, PM_NOREMOVE));
  }
ExitModal:
  m_nFlags &= ~(WF_MODALLOOP | WF_CONTINUEMODAL);
  return m_nModalResult;
}

// ---------------------------------------------------------------------------
// Command update of children.

void CWnd::UpdateDialogControls(CCmdTarget* pTarget, BOOL bDisableIfNoHndler) {
  CCmdUI state;
  CWnd wndTemp;  // stands for each child without entering the handle maps
  for (HWND hChild = ::GetTopWindow(m_hWnd); hChild; hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
    wndTemp.m_hWnd = hChild;
    state.m_nID = (UINT)::GetDlgCtrlID(hChild);
    state.m_pOther = &wndTemp;
    // A control may update itself through a reflected update handler.
    if (CWnd* pChild = FromHandlePermanent(hChild))
      if (pChild->CWnd::OnCmdMsg(0, MAKELONG(0xFFFF, WM_REFLECT_BASE + WM_COMMAND), &state, nullptr)) continue;
    if (CWnd::OnCmdMsg(state.m_nID, (int)CN_UPDATE_COMMAND_UI, &state, nullptr)) continue;
    BOOL bDisable = bDisableIfNoHndler;
    if (bDisable) {
      if (!(::SendMessageW(hChild, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON)) {
        bDisable = FALSE;  // only push buttons are disabled for want of a handler
      } else {
        UINT style = (UINT)(::GetWindowLongPtrW(hChild, GWL_STYLE) & 0x0F);
        if (style == BS_AUTOCHECKBOX || style == BS_AUTO3STATE || style == BS_GROUPBOX || style == BS_AUTORADIOBUTTON)
          bDisable = FALSE;
      }
    }
    state.DoUpdate(pTarget, bDisable);
  }
  wndTemp.m_hWnd = nullptr;
}

void CWnd::SendMessageToDescendants(UINT message, WPARAM wParam, LPARAM lParam, BOOL bDeep, BOOL bOnlyPerm) {
  for (HWND hChild = ::GetTopWindow(m_hWnd); hChild; hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
    if (bOnlyPerm) {
      if (CWnd* p = FromHandlePermanent(hChild)) AfxCallWndProc(p, hChild, message, wParam, lParam);
    } else {
      ::SendMessageW(hChild, message, wParam, lParam);
    }
    if (bDeep && ::GetTopWindow(hChild)) {
      CWnd tmp(hChild);
      tmp.SendMessageToDescendants(message, wParam, lParam, bDeep, bOnlyPerm);
      tmp.m_hWnd = nullptr;
    }
  }
}

// ---------------------------------------------------------------------------
// Thin members that need more than one call.

BOOL CWnd::ModifyStyle(HWND hWnd, DWORD remove, DWORD add, UINT nFlags) {
  DWORD style = (DWORD)::GetWindowLongPtrW(hWnd, GWL_STYLE);
  DWORD next = (style & ~remove) | add;
  if (style == next) return FALSE;
  ::SetWindowLongPtrW(hWnd, GWL_STYLE, (LONG_PTR)next);
  if (nFlags)
    ::SetWindowPos(hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
  return TRUE;
}

BOOL CWnd::ModifyStyleEx(HWND hWnd, DWORD remove, DWORD add, UINT nFlags) {
  DWORD style = (DWORD)::GetWindowLongPtrW(hWnd, GWL_EXSTYLE);
  DWORD next = (style & ~remove) | add;
  if (style == next) return FALSE;
  ::SetWindowLongPtrW(hWnd, GWL_EXSTYLE, (LONG_PTR)next);
  if (nFlags)
    ::SetWindowPos(hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
  return TRUE;
}

int CWnd::GetDlgItemText(int nID, CString& s) const {
  HWND h = ::GetDlgItem(m_hWnd, nID);
  s.Empty();
  if (!h) return 0;
  CWnd tmp(h);
  tmp.GetWindowText(s);
  tmp.m_hWnd = nullptr;
  return s.GetLength();
}

void CWnd::GetWindowText(CString& s) const { s = AfxGetWindowText(m_hWnd); }

void CWnd::SetFont(CFont* pFont, BOOL bRedraw) { SendMessage(WM_SETFONT, (WPARAM)pFont->GetSafeHandle(), bRedraw); }
CFont* CWnd::GetFont() const { return CFont::FromHandle((HFONT)SendMessage(WM_GETFONT)); }

CWnd* CWnd::GetOwner() const {
  if (m_hWndOwner) return FromHandle(m_hWndOwner);
  HWND h = (GetStyle() & WS_CHILD) ? ::GetParent(m_hWnd) : ::GetWindow(m_hWnd, GW_OWNER);
  return FromHandle(h);
}

CWnd* CWnd::GetTopLevelParent() const {
  HWND h = m_hWnd, parent;
  while ((::GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD) && (parent = ::GetParent(h)) != nullptr) h = parent;
  return FromHandle(h);
}

CWnd* CWnd::GetParentOwner() const {
  HWND h = m_hWnd, parent;
  while ((::GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD) && (parent = ::GetParent(h)) != nullptr) h = parent;
  return FromHandle(h);
}

CWnd* CWnd::GetTopLevelOwner() const {
  HWND h = m_hWnd, owner;
  while ((owner = ::GetWindow(h, GW_OWNER)) != nullptr) h = owner;
  return FromHandle(h);
}

CFrameWnd* CWnd::GetParentFrame() const {
  for (HWND h = ::GetParent(m_hWnd); h; h = ::GetParent(h))
    if (CWnd* p = FromHandlePermanent(h))
      if (CFrameWnd* frame = p->AsFrameWnd()) return frame;
  return nullptr;
}

CFrameWnd* CWnd::GetTopLevelFrame() const {
  CFrameWnd* frame = const_cast<CWnd*>(this)->AsFrameWnd();
  for (HWND h = ::GetParent(m_hWnd); h; h = ::GetParent(h))
    if (CWnd* p = FromHandlePermanent(h))
      if (CFrameWnd* f = p->AsFrameWnd()) frame = f;
  return frame;
}

CWnd* CWnd::GetSafeOwner(CWnd* pParent, HWND* pWndTop) {
  HWND h = pParent->GetSafeHwnd();
  if (!h) {
    CWnd* main = AfxGetMainWnd();
    h = main->GetSafeHwnd();
  }
  // The owner of a popup is always a top-level window.
  while (h && (::GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD)) h = ::GetParent(h);
  HWND top = h;
  if (h && pParent == nullptr) h = ::GetLastActivePopup(h);
  if (pWndTop) *pWndTop = top;
  return FromHandle(h);
}

void CWnd::ClientToScreen(LPRECT r) const {
  ::ClientToScreen(m_hWnd, (LPPOINT)r);
  ::ClientToScreen(m_hWnd, ((LPPOINT)r) + 1);
}

void CWnd::ScreenToClient(LPRECT r) const {
  ::ScreenToClient(m_hWnd, (LPPOINT)r);
  ::ScreenToClient(m_hWnd, ((LPPOINT)r) + 1);
}

void CWnd::InvalidateRgn(CRgn* pRgn, BOOL bErase) { ::InvalidateRgn(m_hWnd, (HRGN)pRgn->GetSafeHandle(), bErase); }

BOOL CWnd::RedrawWindow(LPCRECT r, CRgn* rgn, UINT flags) {
  return ::RedrawWindow(m_hWnd, r, rgn ? (HRGN)rgn->GetSafeHandle() : nullptr, flags);
}

void CWnd::CenterWindow(CWnd* pAlternateOwner) {
  HWND center = pAlternateOwner ? pAlternateOwner->m_hWnd
                                : ((GetStyle() & WS_CHILD) ? ::GetParent(m_hWnd) : ::GetWindow(m_hWnd, GW_OWNER));
  CRect self, area;
  GetWindowRect(&self);
  if (GetStyle() & WS_CHILD) {
    ::GetClientRect(::GetParent(m_hWnd), &area);
    ::MapWindowPoints(nullptr, ::GetParent(m_hWnd), (LPPOINT)&self, 2);
  } else {
    MONITORINFO mi = {};
    mi.cbSize = sizeof(mi);
    ::GetMonitorInfoW(::MonitorFromWindow(center ? center : m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
    area = mi.rcWork;
    if (center && ::IsWindowVisible(center) && !::IsIconic(center)) ::GetWindowRect(center, &area);
  }
  int x = (area.left + area.right) / 2 - self.Width() / 2;
  int y = (area.top + area.bottom) / 2 - self.Height() / 2;
  ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

CDC* CWnd::GetDC() { return CDC::FromHandle(::GetDC(m_hWnd)); }
CDC* CWnd::GetWindowDC() { return CDC::FromHandle(::GetWindowDC(m_hWnd)); }
CDC* CWnd::GetDCEx(CRgn* clip, DWORD flags) {
  return CDC::FromHandle(::GetDCEx(m_hWnd, clip ? (HRGN)clip->GetSafeHandle() : nullptr, flags));
}
int CWnd::ReleaseDC(CDC* pDC) { return ::ReleaseDC(m_hWnd, pDC->GetSafeHdc()); }
CMenu* CWnd::GetMenu() const { return CMenu::FromHandle(::GetMenu(m_hWnd)); }
BOOL CWnd::SetMenu(CMenu* pMenu) { return ::SetMenu(m_hWnd, pMenu->GetSafeHmenu()); }
CMenu* CWnd::GetSystemMenu(BOOL bRevert) const { return CMenu::FromHandle(::GetSystemMenu(m_hWnd, bRevert)); }

int CWnd::MessageBox(LPCTSTR text, LPCTSTR caption, UINT type) {
  if (!caption) caption = AfxGetApp() ? AfxGetApp()->m_pszAppName : L"";
  return ::MessageBoxW(m_hWnd, text, caption, type);
}

// ---------------------------------------------------------------------------
// Free helpers.

CString AfxGetWindowText(HWND hWnd) {
  CString s;
  int n = ::GetWindowTextLengthW(hWnd);
  wchar_t* buf = s.GetBufferSetLength(n + 1);
  int got = ::GetWindowTextW(hWnd, buf, n + 1);
  s.ReleaseBufferSetLength(got);
  return s;
}

void AfxSetWindowText(HWND hWnd, LPCTSTR text) {
  if (!text) text = L"";
  int len = lstrlenW(text);
  wchar_t old[256];
  // Compare first: a changed text only when it differs, so controls do not flicker.
  if (len < 256 && ::GetWindowTextW(hWnd, old, 256) == len && lstrcmpW(old, text) == 0) return;
  ::SetWindowTextW(hWnd, text);
}

void AfxCancelModes(HWND hWndRcvr) {
  HWND capture = ::GetCapture();
  if (capture && capture != hWndRcvr) ::SendMessageW(capture, WM_CANCELMODE, 0, 0);
  HWND focus = ::GetFocus();
  if (focus && focus != hWndRcvr) {
    wchar_t cls[16] = {0};
    ::GetClassNameW(focus, cls, 16);
    if (lstrcmpiW(cls, L"ComboBox") == 0 || lstrcmpiW(cls, L"ComboLBox") == 0) {
      if (lstrcmpiW(cls, L"ComboLBox") == 0) focus = ::GetParent(focus);
      ::SendMessageW(focus, CB_SHOWDROPDOWN, FALSE, 0);
    } else if (lstrcmpiW(cls, L"Edit") == 0) {
      HWND parent = ::GetParent(focus);
      wchar_t pcls[16] = {0};
      if (parent) ::GetClassNameW(parent, pcls, 16);
      if (lstrcmpiW(pcls, L"ComboBox") == 0) ::SendMessageW(parent, CB_SHOWDROPDOWN, FALSE, 0);
    }
  }
}

BOOL AfxComparePath(LPCTSTR path1, LPCTSTR path2) {
  if (!path1 || !path2) return path1 == path2;
  return lstrcmpiW(path1, path2) == 0;
}

void AfxRepositionWindow(HDWP* pHdwp, HWND hWnd, LPCRECT rect) {
  HWND parent = ::GetParent(hWnd);
  CRect old;
  ::GetWindowRect(hWnd, &old);
  ::MapWindowPoints(nullptr, parent, (LPPOINT)&old, 2);
  if (old == *rect) return;
  const UINT flags = SWP_NOACTIVATE | SWP_NOZORDER;
  if (pHdwp && *pHdwp)
    *pHdwp = ::DeferWindowPos(*pHdwp, hWnd, nullptr, rect->left, rect->top, rect->right - rect->left,
                              rect->bottom - rect->top, flags);
  else
    ::SetWindowPos(hWnd, nullptr, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, flags);
}
