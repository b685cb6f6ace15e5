// Command targets and message maps.
//
// A message map is a static table of entries; each entry names the message,
// notification code and id range it answers and a small dispatch function made
// by the entry macro. The dispatch function converts the handler to the exact
// member-function type the entry kind requires, so a handler with the wrong
// signature does not compile, and unpacks WPARAM/LPARAM for it.
#pragma once
#include "afx.h"
#include "afxtypes.h"

#ifdef _WIN32
#include <commctrl.h>
#include <algorithm>

class CCmdTarget;
class CCmdUI;
class CWnd;
class CDC;
class CMenu;
class CScrollBar;

// Private messages of the library.
#define WM_REFLECT_BASE 0xBC00
#define WM_CTLCOLOR 0x0019
#define WM_SETMESSAGESTRING 0x0362
#define WM_IDLEUPDATECMDUI 0x0363
// Posted by a window's worker thread as its last step (wParam 0, lParam 0).
#define WM_WORKER_FINISHED (WM_USER + 350)
#define WM_INITIALUPDATE 0x0364
#define WM_COMMANDHELP 0x0365
#define WM_HELPHITTEST 0x0366
#define WM_EXITHELPMODE 0x0367
#define WM_RECALCPARENT 0x0368
#define WM_SIZECHILD 0x0369
#define WM_KICKIDLE 0x036A
#define WM_QUERYCENTERWND 0x036B
#define WM_DISABLEMODAL 0x036C
#define WM_FLOATSTATUS 0x036D
#define WM_ACTIVATETOPLEVEL 0x036E
#define WM_SOCKET_NOTIFY 0x0373
#define WM_POPMESSAGESTRING 0x0375

// Command notification codes for OnCmdMsg.
#define CN_COMMAND 0
#define CN_UPDATE_COMMAND_UI ((UINT)(-1))
#define CN_EVENT ((UINT)(-2))

#define afx_msg

// One dispatch: what the entry's function unpacks.
struct AFX_MSGCALL {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  UINT nID;      // command or control id
  UINT nCode;    // notification code; for WM_CTLCOLOR the CTLCOLOR_ kind
  void* pExtra;  // CCmdUI* for updates, AFX_NOTIFY* for notifications
  LRESULT lResult;
};

// Dispatch function of an entry: TRUE when the message counts as handled.
typedef BOOL (*AFX_PMSG)(CCmdTarget* target, AFX_MSGCALL& call);

struct AFX_MSGMAP_ENTRY {
  UINT nMessage;            // window message, WM_COMMAND/WM_NOTIFY (+WM_REFLECT_BASE)
  UINT nCode;               // control notification code (low word) or CN_ code
  UINT nID;                 // first control id
  UINT nLastID;             // last control id
  const UINT* pRegistered;  // registered message variable, or null
  AFX_PMSG pfn;             // null ends the table
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();
  const AFX_MSGMAP_ENTRY* lpEntries;
};

struct AFX_NOTIFY {
  LRESULT* pResult;
  NMHDR* pNMHDR;
};

struct AFX_CTLCOLOR {
  HWND hWnd;
  HDC hDC;
  UINT nCtlType;
};

struct AFX_CMDHANDLERINFO {
  CCmdTarget* pTarget;
  const AFX_MSGMAP_ENTRY* pEntry;
};

class CCmdTarget : public CObject {
  DECLARE_DYNAMIC(CCmdTarget)
 public:
  CCmdTarget() {}

  // Looks for a command, update or notification handler in this object's maps.
  // nCode: CN_COMMAND, CN_UPDATE_COMMAND_UI, a control notification code, or
  // MAKELONG(code, WM_NOTIFY or a reflected message). With pHandlerInfo the
  // handler is only looked for, not called.
  virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo);

  void BeginWaitCursor();
  void EndWaitCursor();
  void RestoreWaitCursor();

 protected:
  static const AFX_MSGMAP* GetThisMessageMap();
  virtual const AFX_MSGMAP* GetMessageMap() const;

  // The entry answering a plain window message, or null.
  const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT message) const;
  // The entry answering a command-style dispatch, or null.
  const AFX_MSGMAP_ENTRY* FindCommandEntry(UINT message, UINT code, UINT id) const;
};

// Command-user-interface state: the target of an update handler.
class CCmdUI {
 public:
  UINT m_nID = 0;
  UINT m_nIndex = 0;
  CMenu* m_pMenu = nullptr;        // menu item being updated
  CMenu* m_pSubMenu = nullptr;     // popup of that item, when the item opens one
  CMenu* m_pParentMenu = nullptr;  // menu holding the popup being updated
  CWnd* m_pOther = nullptr;        // window being updated (control, bar)
  BOOL m_bEnableChanged = FALSE;
  BOOL m_bContinueRouting = FALSE;
  UINT m_nIndexMax = 0;

  CCmdUI() {}
  virtual ~CCmdUI() {}
  virtual void Enable(BOOL bOn = TRUE);
  virtual void SetCheck(int nCheck = 1);
  virtual void SetRadio(BOOL bOn = TRUE);
  virtual void SetText(LPCTSTR text);
  void ContinueRouting() { m_bContinueRouting = TRUE; }

  // Routes the update to pTarget; when nobody updates the enabled state and
  // bDisableIfNoHndler is set, the item is enabled exactly when a command
  // handler exists.
  BOOL DoUpdate(CCmdTarget* pTarget, BOOL bDisableIfNoHndler);
};

// Records only whether an update handler disabled the command.
class CTestCmdUI : public CCmdUI {
 public:
  BOOL m_bEnabled = TRUE;
  void Enable(BOOL bOn) override {
    m_bEnabled = bOn;
    m_bEnableChanged = TRUE;
  }
  void SetCheck(int) override {}
  void SetRadio(BOOL) override {}
  void SetText(LPCTSTR) override {}
};

// ---------------------------------------------------------------------------
// Map declaration macros.

#define DECLARE_MESSAGE_MAP()                   \
 protected:                                     \
  static const AFX_MSGMAP* GetThisMessageMap(); \
  virtual const AFX_MSGMAP* GetMessageMap() const;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                      \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {                                 \
    typedef theClass ThisClass [[maybe_unused]];                                    \
    typedef baseClass TheBaseClass;                                                 \
    static const AFX_MSGMAP_ENTRY _messageEntries[] = {
#define END_MESSAGE_MAP()                                                                       \
  { 0, 0, 0, 0, nullptr, nullptr }                                                              \
  }                                                                                             \
  ;                                                                                             \
  static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
  return &messageMap;                                                                           \
  }

// An entry: Sig is the handler's function type; the body may use afxThis,
// afxFn (the handler as a pointer to member of that type) and afxCall.
#define AFX_ENTRY(msg, code, id, last, reg, Sig, memb, ...)                                                            \
  {(UINT)(msg), (UINT)(code), (UINT)(id), (UINT)(last), reg, [](CCmdTarget* afxTarget, AFX_MSGCALL& afxCall) -> BOOL { \
     using AfxHandlerType = Sig;                                                                                       \
     AfxHandlerType ThisClass::*afxFn = &ThisClass::memb;                                                              \
     ThisClass* afxThis = static_cast<ThisClass*>(afxTarget);                                                          \
     (void)afxCall;                                                                                                    \
     __VA_ARGS__                                                                                                       \
   }},

#define AFX_CALL(...) (afxThis->*afxFn)(__VA_ARGS__)
#define AFX_VOID(...)    \
  AFX_CALL(__VA_ARGS__); \
  return TRUE;
#define AFX_RESULT(...)                             \
  afxCall.lResult = (LRESULT)AFX_CALL(__VA_ARGS__); \
  return TRUE;
#define AFX_MSG_ENTRY(msg, Sig, memb, ...) AFX_ENTRY(msg, 0, 0, 0, nullptr, Sig, memb, __VA_ARGS__)

#define AFX_WP afxCall.wParam
#define AFX_LP afxCall.lParam
#define AFX_PT CPoint((int)(short)LOWORD(AFX_LP), (int)(short)HIWORD(AFX_LP))

// Generic messages.
#define ON_MESSAGE(msg, memb) AFX_MSG_ENTRY(msg, LRESULT(WPARAM, LPARAM), memb, AFX_RESULT(AFX_WP, AFX_LP))
#define ON_MESSAGE_VOID(msg, memb) AFX_MSG_ENTRY(msg, void(), memb, AFX_VOID())
#define ON_REGISTERED_MESSAGE(var, memb) \
  AFX_ENTRY(0xC000, 0, 0, 0, &var, LRESULT(WPARAM, LPARAM), memb, AFX_RESULT(AFX_WP, AFX_LP))
#define ON_THREAD_MESSAGE(msg, memb) AFX_MSG_ENTRY(msg, void(WPARAM, LPARAM), memb, AFX_VOID(AFX_WP, AFX_LP))
#define ON_REGISTERED_THREAD_MESSAGE(var, memb) \
  AFX_ENTRY(0xC000, 0, 0, 0, &var, void(WPARAM, LPARAM), memb, AFX_VOID(AFX_WP, AFX_LP))

// Commands and command updates.
#define ON_COMMAND(id, memb) AFX_ENTRY(WM_COMMAND, CN_COMMAND, id, id, nullptr, void(), memb, AFX_VOID())
#define ON_COMMAND_RANGE(id, last, memb) \
  AFX_ENTRY(WM_COMMAND, CN_COMMAND, id, last, nullptr, void(UINT), memb, AFX_VOID(afxCall.nID))
#define ON_COMMAND_EX(id, memb) \
  AFX_ENTRY(WM_COMMAND, CN_COMMAND, id, id, nullptr, BOOL(UINT), memb, return AFX_CALL(afxCall.nID);)
#define ON_COMMAND_EX_RANGE(id, last, memb) \
  AFX_ENTRY(WM_COMMAND, CN_COMMAND, id, last, nullptr, BOOL(UINT), memb, return AFX_CALL(afxCall.nID);)
#define ON_UPDATE_COMMAND_UI(id, memb)                                              \
  AFX_ENTRY(WM_COMMAND, CN_UPDATE_COMMAND_UI, id, id, nullptr, void(CCmdUI*), memb, \
            AFX_VOID(static_cast<CCmdUI*>(afxCall.pExtra)))
#define ON_UPDATE_COMMAND_UI_RANGE(id, last, memb)                                    \
  AFX_ENTRY(WM_COMMAND, CN_UPDATE_COMMAND_UI, id, last, nullptr, void(CCmdUI*), memb, \
            AFX_VOID(static_cast<CCmdUI*>(afxCall.pExtra)))

// Control notifications sent with WM_COMMAND.
#define ON_CONTROL(code, id, memb) AFX_ENTRY(WM_COMMAND, (WORD)(code), id, id, nullptr, void(), memb, AFX_VOID())
#define ON_CONTROL_RANGE(code, id, last, memb) \
  AFX_ENTRY(WM_COMMAND, (WORD)(code), id, last, nullptr, void(UINT), memb, AFX_VOID(afxCall.nID))
#define ON_BN_CLICKED(id, memb) ON_CONTROL(BN_CLICKED, id, memb)
#define ON_BN_DOUBLECLICKED(id, memb) ON_CONTROL(BN_DOUBLECLICKED, id, memb)
#define ON_BN_SETFOCUS(id, memb) ON_CONTROL(BN_SETFOCUS, id, memb)
#define ON_BN_KILLFOCUS(id, memb) ON_CONTROL(BN_KILLFOCUS, id, memb)
#define ON_EN_CHANGE(id, memb) ON_CONTROL(EN_CHANGE, id, memb)
#define ON_EN_UPDATE(id, memb) ON_CONTROL(EN_UPDATE, id, memb)
#define ON_EN_SETFOCUS(id, memb) ON_CONTROL(EN_SETFOCUS, id, memb)
#define ON_EN_KILLFOCUS(id, memb) ON_CONTROL(EN_KILLFOCUS, id, memb)
#define ON_EN_MAXTEXT(id, memb) ON_CONTROL(EN_MAXTEXT, id, memb)
#define ON_EN_HSCROLL(id, memb) ON_CONTROL(EN_HSCROLL, id, memb)
#define ON_EN_VSCROLL(id, memb) ON_CONTROL(EN_VSCROLL, id, memb)
#define ON_CBN_SELCHANGE(id, memb) ON_CONTROL(CBN_SELCHANGE, id, memb)
#define ON_CBN_DBLCLK(id, memb) ON_CONTROL(CBN_DBLCLK, id, memb)
#define ON_CBN_SETFOCUS(id, memb) ON_CONTROL(CBN_SETFOCUS, id, memb)
#define ON_CBN_KILLFOCUS(id, memb) ON_CONTROL(CBN_KILLFOCUS, id, memb)
#define ON_CBN_EDITCHANGE(id, memb) ON_CONTROL(CBN_EDITCHANGE, id, memb)
#define ON_CBN_EDITUPDATE(id, memb) ON_CONTROL(CBN_EDITUPDATE, id, memb)
#define ON_CBN_DROPDOWN(id, memb) ON_CONTROL(CBN_DROPDOWN, id, memb)
#define ON_CBN_CLOSEUP(id, memb) ON_CONTROL(CBN_CLOSEUP, id, memb)
#define ON_CBN_SELENDOK(id, memb) ON_CONTROL(CBN_SELENDOK, id, memb)
#define ON_CBN_SELENDCANCEL(id, memb) ON_CONTROL(CBN_SELENDCANCEL, id, memb)
#define ON_LBN_SELCHANGE(id, memb) ON_CONTROL(LBN_SELCHANGE, id, memb)
#define ON_LBN_DBLCLK(id, memb) ON_CONTROL(LBN_DBLCLK, id, memb)
#define ON_LBN_SETFOCUS(id, memb) ON_CONTROL(LBN_SETFOCUS, id, memb)
#define ON_LBN_KILLFOCUS(id, memb) ON_CONTROL(LBN_KILLFOCUS, id, memb)
#define ON_STN_CLICKED(id, memb) ON_CONTROL(STN_CLICKED, id, memb)
#define ON_STN_DBLCLK(id, memb) ON_CONTROL(STN_DBLCLK, id, memb)

// WM_NOTIFY.
#define AFX_NMHDR static_cast<AFX_NOTIFY*>(afxCall.pExtra)->pNMHDR
#define AFX_NMRESULT static_cast<AFX_NOTIFY*>(afxCall.pExtra)->pResult
#define ON_NOTIFY(code, id, memb) \
  AFX_ENTRY(WM_NOTIFY, (WORD)(code), id, id, nullptr, void(NMHDR*, LRESULT*), memb, AFX_VOID(AFX_NMHDR, AFX_NMRESULT))
#define ON_NOTIFY_RANGE(code, id, last, memb)                                               \
  AFX_ENTRY(WM_NOTIFY, (WORD)(code), id, last, nullptr, void(UINT, NMHDR*, LRESULT*), memb, \
            AFX_VOID(afxCall.nID, AFX_NMHDR, AFX_NMRESULT))
#define ON_NOTIFY_EX(code, id, memb)                                                      \
  AFX_ENTRY(WM_NOTIFY, (WORD)(code), id, id, nullptr, BOOL(UINT, NMHDR*, LRESULT*), memb, \
            return AFX_CALL(afxCall.nID, AFX_NMHDR, AFX_NMRESULT);)
#define ON_NOTIFY_EX_RANGE(code, id, last, memb)                                            \
  AFX_ENTRY(WM_NOTIFY, (WORD)(code), id, last, nullptr, BOOL(UINT, NMHDR*, LRESULT*), memb, \
            return AFX_CALL(afxCall.nID, AFX_NMHDR, AFX_NMRESULT);)

// Reflected notifications, handled by the control that sent them.
#define ON_NOTIFY_REFLECT(code, memb)                                                               \
  AFX_ENTRY(WM_REFLECT_BASE + WM_NOTIFY, (WORD)(code), 0, 0, nullptr, void(NMHDR*, LRESULT*), memb, \
            AFX_VOID(AFX_NMHDR, AFX_NMRESULT))
#define ON_NOTIFY_REFLECT_EX(code, memb)                                                            \
  AFX_ENTRY(WM_REFLECT_BASE + WM_NOTIFY, (WORD)(code), 0, 0, nullptr, BOOL(NMHDR*, LRESULT*), memb, \
            return AFX_CALL(AFX_NMHDR, AFX_NMRESULT);)
#define ON_CONTROL_REFLECT(code, memb) \
  AFX_ENTRY(WM_REFLECT_BASE + WM_COMMAND, (WORD)(code), 0, 0, nullptr, void(), memb, AFX_VOID())
#define ON_CONTROL_REFLECT_EX(code, memb) \
  AFX_ENTRY(WM_REFLECT_BASE + WM_COMMAND, (WORD)(code), 0, 0, nullptr, BOOL(), memb, return AFX_CALL();)
#define ON_UPDATE_COMMAND_UI_REFLECT(memb)                                            \
  AFX_ENTRY(WM_REFLECT_BASE + WM_COMMAND, 0xFFFF, 0, 0, nullptr, void(CCmdUI*), memb, \
            AFX_VOID(static_cast<CCmdUI*>(afxCall.pExtra)))
#define ON_WM_CTLCOLOR_REFLECT()                                                                           \
  AFX_MSG_ENTRY(WM_REFLECT_BASE + WM_CTLCOLOR, HBRUSH(CDC*, UINT), CtlColor,                               \
                AFX_CTLCOLOR* c = reinterpret_cast<AFX_CTLCOLOR*>(AFX_LP);                                 \
                HBRUSH br = AFX_CALL(CDC::FromHandle(c->hDC), c->nCtlType); afxCall.lResult = (LRESULT)br; \
                return br != nullptr;)
#define ON_WM_DRAWITEM_REFLECT()                                                                         \
  AFX_MSG_ENTRY(WM_REFLECT_BASE + WM_DRAWITEM, void(LPDRAWITEMSTRUCT), DrawItem, afxCall.lResult = TRUE; \
                AFX_VOID((LPDRAWITEMSTRUCT)AFX_LP))
#define ON_WM_MEASUREITEM_REFLECT()                                                                               \
  AFX_MSG_ENTRY(WM_REFLECT_BASE + WM_MEASUREITEM, void(LPMEASUREITEMSTRUCT), MeasureItem, afxCall.lResult = TRUE; \
                AFX_VOID((LPMEASUREITEMSTRUCT)AFX_LP))
#define ON_WM_COMPAREITEM_REFLECT()                                                      \
  AFX_MSG_ENTRY(WM_REFLECT_BASE + WM_COMPAREITEM, int(LPCOMPAREITEMSTRUCT), CompareItem, \
                AFX_RESULT((LPCOMPAREITEMSTRUCT)AFX_LP))
#define ON_WM_DELETEITEM_REFLECT()                                                                             \
  AFX_MSG_ENTRY(WM_REFLECT_BASE + WM_DELETEITEM, void(LPDELETEITEMSTRUCT), DeleteItem, afxCall.lResult = TRUE; \
                AFX_VOID((LPDELETEITEMSTRUCT)AFX_LP))
#define ON_WM_HSCROLL_REFLECT() \
  AFX_MSG_ENTRY(WM_REFLECT_BASE + WM_HSCROLL, void(UINT, UINT), HScroll, AFX_VOID(LOWORD(AFX_WP), HIWORD(AFX_WP)))
#define ON_WM_VSCROLL_REFLECT() \
  AFX_MSG_ENTRY(WM_REFLECT_BASE + WM_VSCROLL, void(UINT, UINT), VScroll, AFX_VOID(LOWORD(AFX_WP), HIWORD(AFX_WP)))

// Window messages with their unpacked handler signatures.
#define AFX_WND(h) CWnd::FromHandle((HWND)(h))
#define ON_WM_CREATE() AFX_MSG_ENTRY(WM_CREATE, int(LPCREATESTRUCT), OnCreate, AFX_RESULT((LPCREATESTRUCT)AFX_LP))
#define ON_WM_NCCREATE() \
  AFX_MSG_ENTRY(WM_NCCREATE, BOOL(LPCREATESTRUCT), OnNcCreate, AFX_RESULT((LPCREATESTRUCT)AFX_LP))
#define ON_WM_DESTROY() AFX_MSG_ENTRY(WM_DESTROY, void(), OnDestroy, AFX_VOID())
#define ON_WM_NCDESTROY() AFX_MSG_ENTRY(WM_NCDESTROY, void(), OnNcDestroy, AFX_VOID())
#define ON_WM_CLOSE() AFX_MSG_ENTRY(WM_CLOSE, void(), OnClose, AFX_VOID())
#define ON_WM_PAINT() AFX_MSG_ENTRY(WM_PAINT, void(), OnPaint, AFX_VOID())
#define ON_WM_NCPAINT() AFX_MSG_ENTRY(WM_NCPAINT, void(), OnNcPaint, AFX_VOID())
#define ON_WM_ERASEBKGND() \
  AFX_MSG_ENTRY(WM_ERASEBKGND, BOOL(CDC*), OnEraseBkgnd, AFX_RESULT(CDC::FromHandle((HDC)AFX_WP)))
#define ON_WM_SIZE()                                   \
  AFX_MSG_ENTRY(WM_SIZE, void(UINT, int, int), OnSize, \
                AFX_VOID((UINT)AFX_WP, (short)LOWORD(AFX_LP), (short)HIWORD(AFX_LP)))
#define ON_WM_SIZING() \
  AFX_MSG_ENTRY(WM_SIZING, void(UINT, LPRECT), OnSizing, afxCall.lResult = TRUE; AFX_VOID((UINT)AFX_WP, (LPRECT)AFX_LP))
#define ON_WM_MOVE() \
  AFX_MSG_ENTRY(WM_MOVE, void(int, int), OnMove, AFX_VOID((short)LOWORD(AFX_LP), (short)HIWORD(AFX_LP)))
#define ON_WM_TIMER() AFX_MSG_ENTRY(WM_TIMER, void(UINT_PTR), OnTimer, AFX_VOID((UINT_PTR)AFX_WP))
#define ON_WM_SHOWWINDOW() \
  AFX_MSG_ENTRY(WM_SHOWWINDOW, void(BOOL, UINT), OnShowWindow, AFX_VOID((BOOL)AFX_WP, (UINT)AFX_LP))
#define ON_WM_ENABLE() AFX_MSG_ENTRY(WM_ENABLE, void(BOOL), OnEnable, AFX_VOID((BOOL)AFX_WP))
#define ON_WM_NCACTIVATE() AFX_MSG_ENTRY(WM_NCACTIVATE, BOOL(BOOL), OnNcActivate, AFX_RESULT((BOOL)AFX_WP))
#define ON_WM_CANCELMODE() AFX_MSG_ENTRY(WM_CANCELMODE, void(), OnCancelMode, AFX_VOID())
#define ON_WM_SETFOCUS() AFX_MSG_ENTRY(WM_SETFOCUS, void(CWnd*), OnSetFocus, AFX_VOID(AFX_WND(AFX_WP)))
#define ON_WM_KILLFOCUS() AFX_MSG_ENTRY(WM_KILLFOCUS, void(CWnd*), OnKillFocus, AFX_VOID(AFX_WND(AFX_WP)))
#define ON_WM_ACTIVATE()                                          \
  AFX_MSG_ENTRY(WM_ACTIVATE, void(UINT, CWnd*, BOOL), OnActivate, \
                AFX_VOID(LOWORD(AFX_WP), AFX_WND(AFX_LP), (BOOL)HIWORD(AFX_WP)))
#define ON_WM_ACTIVATEAPP() \
  AFX_MSG_ENTRY(WM_ACTIVATEAPP, void(BOOL, DWORD), OnActivateApp, AFX_VOID((BOOL)AFX_WP, (DWORD)AFX_LP))
#define ON_WM_MOUSEACTIVATE()                                              \
  AFX_MSG_ENTRY(WM_MOUSEACTIVATE, int(CWnd*, UINT, UINT), OnMouseActivate, \
                AFX_RESULT(AFX_WND(AFX_WP), LOWORD(AFX_LP), HIWORD(AFX_LP)))
#define ON_WM_CAPTURECHANGED() \
  AFX_MSG_ENTRY(WM_CAPTURECHANGED, void(CWnd*), OnCaptureChanged, AFX_VOID(AFX_WND(AFX_LP)))
#define ON_WM_WINDOWPOSCHANGING() \
  AFX_MSG_ENTRY(WM_WINDOWPOSCHANGING, void(WINDOWPOS*), OnWindowPosChanging, AFX_VOID((WINDOWPOS*)AFX_LP))
#define ON_WM_WINDOWPOSCHANGED() \
  AFX_MSG_ENTRY(WM_WINDOWPOSCHANGED, void(WINDOWPOS*), OnWindowPosChanged, AFX_VOID((WINDOWPOS*)AFX_LP))
#define ON_WM_GETMINMAXINFO() \
  AFX_MSG_ENTRY(WM_GETMINMAXINFO, void(MINMAXINFO*), OnGetMinMaxInfo, AFX_VOID((MINMAXINFO*)AFX_LP))
#define ON_WM_GETDLGCODE() AFX_MSG_ENTRY(WM_GETDLGCODE, UINT(), OnGetDlgCode, AFX_RESULT())
#define ON_WM_NCHITTEST() AFX_MSG_ENTRY(WM_NCHITTEST, LRESULT(CPoint), OnNcHitTest, AFX_RESULT(AFX_PT))
#define ON_WM_NCCALCSIZE()                                                   \
  AFX_MSG_ENTRY(WM_NCCALCSIZE, void(BOOL, NCCALCSIZE_PARAMS*), OnNcCalcSize, \
                AFX_VOID((BOOL)AFX_WP, (NCCALCSIZE_PARAMS*)AFX_LP))
#define ON_WM_SETCURSOR()                                           \
  AFX_MSG_ENTRY(WM_SETCURSOR, BOOL(CWnd*, UINT, UINT), OnSetCursor, \
                AFX_RESULT(AFX_WND(AFX_WP), LOWORD(AFX_LP), HIWORD(AFX_LP)))
#define ON_WM_CONTEXTMENU() \
  AFX_MSG_ENTRY(WM_CONTEXTMENU, void(CWnd*, CPoint), OnContextMenu, AFX_VOID(AFX_WND(AFX_WP), AFX_PT))
#define ON_WM_DROPFILES() AFX_MSG_ENTRY(WM_DROPFILES, void(HDROP), OnDropFiles, AFX_VOID((HDROP)AFX_WP))
#define ON_WM_SYSCOMMAND() \
  AFX_MSG_ENTRY(WM_SYSCOMMAND, void(UINT, LPARAM), OnSysCommand, AFX_VOID((UINT)AFX_WP, AFX_LP))
#define ON_WM_SYSCOLORCHANGE() AFX_MSG_ENTRY(WM_SYSCOLORCHANGE, void(), OnSysColorChange, AFX_VOID())
#define ON_WM_SETTINGCHANGE() \
  AFX_MSG_ENTRY(WM_SETTINGCHANGE, void(UINT, LPCTSTR), OnSettingChange, AFX_VOID((UINT)AFX_WP, (LPCTSTR)AFX_LP))
#define ON_WM_QUERYENDSESSION() AFX_MSG_ENTRY(WM_QUERYENDSESSION, BOOL(), OnQueryEndSession, AFX_RESULT())
#define ON_WM_ENDSESSION() AFX_MSG_ENTRY(WM_ENDSESSION, void(BOOL), OnEndSession, AFX_VOID((BOOL)AFX_WP))
#define ON_WM_QUERYDRAGICON() AFX_MSG_ENTRY(WM_QUERYDRAGICON, HCURSOR(), OnQueryDragIcon, AFX_RESULT())
#define ON_WM_COPYDATA()                                               \
  AFX_MSG_ENTRY(WM_COPYDATA, BOOL(CWnd*, COPYDATASTRUCT*), OnCopyData, \
                AFX_RESULT(AFX_WND(AFX_WP), (COPYDATASTRUCT*)AFX_LP))
#define ON_WM_HELPINFO() AFX_MSG_ENTRY(WM_HELPINFO, BOOL(HELPINFO*), OnHelpInfo, AFX_RESULT((HELPINFO*)AFX_LP))
#define ON_WM_PARENTNOTIFY() \
  AFX_MSG_ENTRY(WM_PARENTNOTIFY, void(UINT, LPARAM), OnParentNotify, AFX_VOID((UINT)LOWORD(AFX_WP), AFX_LP))
#define ON_WM_ENTERIDLE() \
  AFX_MSG_ENTRY(WM_ENTERIDLE, void(UINT, CWnd*), OnEnterIdle, AFX_VOID((UINT)AFX_WP, AFX_WND(AFX_LP)))
#define ON_WM_INITMENU() \
  AFX_MSG_ENTRY(WM_INITMENU, void(CMenu*), OnInitMenu, AFX_VOID(CMenu::FromHandle((HMENU)AFX_WP)))
#define ON_WM_INITMENUPOPUP()                                                \
  AFX_MSG_ENTRY(WM_INITMENUPOPUP, void(CMenu*, UINT, BOOL), OnInitMenuPopup, \
                AFX_VOID(CMenu::FromHandle((HMENU)AFX_WP), (UINT)LOWORD(AFX_LP), (BOOL)HIWORD(AFX_LP)))
#define ON_WM_MENUSELECT()                                            \
  AFX_MSG_ENTRY(WM_MENUSELECT, void(UINT, UINT, HMENU), OnMenuSelect, \
                AFX_VOID(LOWORD(AFX_WP), HIWORD(AFX_WP), (HMENU)AFX_LP))
#define ON_WM_MENUCHAR()                                              \
  AFX_MSG_ENTRY(WM_MENUCHAR, LRESULT(UINT, UINT, CMenu*), OnMenuChar, \
                AFX_RESULT(LOWORD(AFX_WP), HIWORD(AFX_WP), CMenu::FromHandle((HMENU)AFX_LP)))
#define ON_WM_DRAWITEM()                                                                      \
  AFX_MSG_ENTRY(WM_DRAWITEM, void(int, LPDRAWITEMSTRUCT), OnDrawItem, afxCall.lResult = TRUE; \
                AFX_VOID((int)AFX_WP, (LPDRAWITEMSTRUCT)AFX_LP))
#define ON_WM_MEASUREITEM()                                                                            \
  AFX_MSG_ENTRY(WM_MEASUREITEM, void(int, LPMEASUREITEMSTRUCT), OnMeasureItem, afxCall.lResult = TRUE; \
                AFX_VOID((int)AFX_WP, (LPMEASUREITEMSTRUCT)AFX_LP))
#define ON_WM_COMPAREITEM()                                                   \
  AFX_MSG_ENTRY(WM_COMPAREITEM, int(int, LPCOMPAREITEMSTRUCT), OnCompareItem, \
                AFX_RESULT((int)AFX_WP, (LPCOMPAREITEMSTRUCT)AFX_LP))
#define ON_WM_DELETEITEM()                                                                          \
  AFX_MSG_ENTRY(WM_DELETEITEM, void(int, LPDELETEITEMSTRUCT), OnDeleteItem, afxCall.lResult = TRUE; \
                AFX_VOID((int)AFX_WP, (LPDELETEITEMSTRUCT)AFX_LP))
#define ON_WM_CTLCOLOR()                                            \
  AFX_MSG_ENTRY(WM_CTLCOLOR, HBRUSH(CDC*, CWnd*, UINT), OnCtlColor, \
                AFX_RESULT(CDC::FromHandle((HDC)AFX_WP), AFX_WND(AFX_LP), afxCall.nCode))
#define ON_WM_HSCROLL()                                               \
  AFX_MSG_ENTRY(WM_HSCROLL, void(UINT, UINT, CScrollBar*), OnHScroll, \
                AFX_VOID(LOWORD(AFX_WP), HIWORD(AFX_WP), reinterpret_cast<CScrollBar*>(AFX_WND(AFX_LP))))
#define ON_WM_VSCROLL()                                               \
  AFX_MSG_ENTRY(WM_VSCROLL, void(UINT, UINT, CScrollBar*), OnVScroll, \
                AFX_VOID(LOWORD(AFX_WP), HIWORD(AFX_WP), reinterpret_cast<CScrollBar*>(AFX_WND(AFX_LP))))
#define AFX_MOUSE_ENTRY(msg, memb) AFX_MSG_ENTRY(msg, void(UINT, CPoint), memb, AFX_VOID((UINT)AFX_WP, AFX_PT))
#define ON_WM_MOUSEMOVE() AFX_MOUSE_ENTRY(WM_MOUSEMOVE, OnMouseMove)
#define ON_WM_LBUTTONDOWN() AFX_MOUSE_ENTRY(WM_LBUTTONDOWN, OnLButtonDown)
#define ON_WM_LBUTTONUP() AFX_MOUSE_ENTRY(WM_LBUTTONUP, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() AFX_MOUSE_ENTRY(WM_LBUTTONDBLCLK, OnLButtonDblClk)
#define ON_WM_RBUTTONDOWN() AFX_MOUSE_ENTRY(WM_RBUTTONDOWN, OnRButtonDown)
#define ON_WM_RBUTTONUP() AFX_MOUSE_ENTRY(WM_RBUTTONUP, OnRButtonUp)
#define ON_WM_RBUTTONDBLCLK() AFX_MOUSE_ENTRY(WM_RBUTTONDBLCLK, OnRButtonDblClk)
#define ON_WM_MBUTTONDOWN() AFX_MOUSE_ENTRY(WM_MBUTTONDOWN, OnMButtonDown)
#define ON_WM_MBUTTONUP() AFX_MOUSE_ENTRY(WM_MBUTTONUP, OnMButtonUp)
#define ON_WM_MBUTTONDBLCLK() AFX_MOUSE_ENTRY(WM_MBUTTONDBLCLK, OnMButtonDblClk)
#define ON_WM_MOUSEHOVER() AFX_MOUSE_ENTRY(WM_MOUSEHOVER, OnMouseHover)
#define ON_WM_MOUSELEAVE() AFX_MSG_ENTRY(WM_MOUSELEAVE, void(), OnMouseLeave, AFX_VOID())
#define ON_WM_MOUSEWHEEL()                                              \
  AFX_MSG_ENTRY(WM_MOUSEWHEEL, BOOL(UINT, short, CPoint), OnMouseWheel, \
                AFX_RESULT(LOWORD(AFX_WP), (short)HIWORD(AFX_WP), AFX_PT))
#define AFX_NCMOUSE_ENTRY(msg, memb) AFX_MSG_ENTRY(msg, void(UINT, CPoint), memb, AFX_VOID((UINT)AFX_WP, AFX_PT))
#define ON_WM_NCMOUSEMOVE() AFX_NCMOUSE_ENTRY(WM_NCMOUSEMOVE, OnNcMouseMove)
#define ON_WM_NCLBUTTONDOWN() AFX_NCMOUSE_ENTRY(WM_NCLBUTTONDOWN, OnNcLButtonDown)
#define ON_WM_NCLBUTTONUP() AFX_NCMOUSE_ENTRY(WM_NCLBUTTONUP, OnNcLButtonUp)
#define ON_WM_NCLBUTTONDBLCLK() AFX_NCMOUSE_ENTRY(WM_NCLBUTTONDBLCLK, OnNcLButtonDblClk)
#define ON_WM_NCRBUTTONDOWN() AFX_NCMOUSE_ENTRY(WM_NCRBUTTONDOWN, OnNcRButtonDown)
#define AFX_KEY_ENTRY(msg, memb) \
  AFX_MSG_ENTRY(msg, void(UINT, UINT, UINT), memb, AFX_VOID((UINT)AFX_WP, LOWORD(AFX_LP), HIWORD(AFX_LP)))
#define ON_WM_KEYDOWN() AFX_KEY_ENTRY(WM_KEYDOWN, OnKeyDown)
#define ON_WM_KEYUP() AFX_KEY_ENTRY(WM_KEYUP, OnKeyUp)
#define ON_WM_CHAR() AFX_KEY_ENTRY(WM_CHAR, OnChar)
#define ON_WM_SYSKEYDOWN() AFX_KEY_ENTRY(WM_SYSKEYDOWN, OnSysKeyDown)
#define ON_WM_SYSKEYUP() AFX_KEY_ENTRY(WM_SYSKEYUP, OnSysKeyUp)
#define ON_WM_SYSCHAR() AFX_KEY_ENTRY(WM_SYSCHAR, OnSysChar)
#endif
