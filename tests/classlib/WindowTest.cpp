// Run-time classes, handle maps, message maps, command routing and reflection.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/classlib/ClasslibTest.h"
#include "afxwin.h"

namespace {
constexpr UINT ID_BOTH = 0x8101;       // handled by the window and the application
constexpr UINT ID_OWNER_APP = 0x8102;  // handled by the owner and the application
constexpr UINT ID_APP_ONLY = 0x8103;
constexpr UINT ID_DISABLED = 0x8104;
constexpr UINT ID_ENABLED = 0x8105;
constexpr UINT ID_NOHANDLER = 0x8106;
constexpr UINT ID_CHECKED = 0x8107;
constexpr UINT ID_RENAMED = 0x8108;
constexpr UINT ID_RANGE_FIRST = 0x8110, ID_RANGE_LAST = 0x8114;
constexpr UINT WM_PROBE = WM_APP + 7;
const UINT g_registered = ::RegisterWindowMessageW(L"ClasslibTestRegistered");

std::vector<std::string> g_log;

class CLogApp : public CWinApp {
 public:
  CLogApp() : CWinApp(L"ClasslibWindowTest") {}

 protected:
  afx_msg void OnBoth() { g_log.push_back("app:both"); }
  afx_msg void OnOwnerApp() { g_log.push_back("app:owner"); }
  afx_msg void OnAppOnly() { g_log.push_back("app:only"); }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CLogApp, CWinApp)
  ON_COMMAND(ID_BOTH, OnBoth)
  ON_COMMAND(ID_OWNER_APP, OnOwnerApp)
  ON_COMMAND(ID_APP_ONLY, OnAppOnly)
END_MESSAGE_MAP()

class CBaseProbe : public CWnd {
  DECLARE_DYNCREATE(CBaseProbe)
 public:
  int baseMessages = 0;

 protected:
  afx_msg LRESULT OnProbe(WPARAM w, LPARAM l) {
    ++baseMessages;
    return (LRESULT)(w + l);
  }
  DECLARE_MESSAGE_MAP()
};

IMPLEMENT_DYNCREATE(CBaseProbe, CWnd)
BEGIN_MESSAGE_MAP(CBaseProbe, CWnd)
  ON_MESSAGE(WM_PROBE, OnProbe)
END_MESSAGE_MAP()

// A top-level window whose map covers the entry kinds.
class CProbeWnd : public CBaseProbe {
 public:
  int creates = 0, ncCreates = 0, destroys = 0, registered = 0, ranged = 0, lastRanged = 0;
  int enabledRuns = 0, disabledRuns = 0, bothRuns = 0;
  CSize lastSize;

 protected:
  afx_msg BOOL OnNcCreate(LPCREATESTRUCT cs) {
    ++ncCreates;
    return CWnd::OnNcCreate(cs);
  }
  afx_msg int OnCreate(LPCREATESTRUCT cs) {
    ++creates;
    return CWnd::OnCreate(cs);
  }
  afx_msg void OnDestroy() {
    ++destroys;
    CWnd::OnDestroy();
  }
  afx_msg void OnSize(UINT, int cx, int cy) { lastSize = CSize(cx, cy); }
  afx_msg LRESULT OnRegistered(WPARAM w, LPARAM) {
    ++registered;
    return (LRESULT)w * 2;
  }
  afx_msg void OnBoth() {
    ++bothRuns;
    g_log.push_back("wnd:both");
  }
  afx_msg void OnEnabled() { ++enabledRuns; }
  afx_msg void OnDisabled() { ++disabledRuns; }
  afx_msg void OnUpdateDisabled(CCmdUI* ui) { ui->Enable(FALSE); }
  afx_msg void OnUpdateEnabled(CCmdUI* ui) { ui->Enable(TRUE); }
  afx_msg void OnUpdateChecked(CCmdUI* ui) { ui->SetCheck(1); }
  afx_msg void OnChecked() {}
  afx_msg void OnUpdateRenamed(CCmdUI* ui) {
    ui->SetText(L"Renamed");
    ui->SetRadio(TRUE);
  }
  afx_msg void OnRange(UINT id) {
    ++ranged;
    lastRanged = (int)id;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CProbeWnd, CBaseProbe)
  ON_WM_NCCREATE()
  ON_WM_CREATE()
  ON_WM_DESTROY()
  ON_WM_SIZE()
  ON_REGISTERED_MESSAGE(g_registered, OnRegistered)
  ON_COMMAND(ID_BOTH, OnBoth)
  ON_COMMAND(ID_ENABLED, OnEnabled)
  ON_COMMAND(ID_DISABLED, OnDisabled)
  ON_COMMAND(ID_CHECKED, OnChecked)
  ON_UPDATE_COMMAND_UI(ID_DISABLED, OnUpdateDisabled)
  ON_UPDATE_COMMAND_UI(ID_ENABLED, OnUpdateEnabled)
  ON_UPDATE_COMMAND_UI(ID_CHECKED, OnUpdateChecked)
  ON_UPDATE_COMMAND_UI(ID_RENAMED, OnUpdateRenamed)
  ON_COMMAND_RANGE(ID_RANGE_FIRST, ID_RANGE_LAST, OnRange)
END_MESSAGE_MAP()

BOOL MakeTopLevel(CWnd& w, LPCTSTR title = L"probe") {
  return w.CreateEx(0, nullptr, title, WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr);
}
}  // namespace

TEST(RuntimeClass, KindDowncastAndCreation) {
  CProbeWnd probe;
  EXPECT_TRUE(probe.IsKindOf(RUNTIME_CLASS(CBaseProbe)));
  EXPECT_TRUE(probe.IsKindOf(RUNTIME_CLASS(CWnd)));
  EXPECT_TRUE(probe.IsKindOf(RUNTIME_CLASS(CCmdTarget)));
  EXPECT_FALSE(probe.IsKindOf(RUNTIME_CLASS(CDialog)));
  CObject* obj = &probe;
  EXPECT_EQ(&probe, DYNAMIC_DOWNCAST(CWnd, obj));
  EXPECT_EQ(nullptr, DYNAMIC_DOWNCAST(CDialog, obj));
  EXPECT_EQ(nullptr, DYNAMIC_DOWNCAST(CWnd, (CObject*)nullptr));
  // Dynamic creation by class and by name.
  CObject* made = RUNTIME_CLASS(CBaseProbe)->CreateObject();
  ASSERT_NE(nullptr, made);
  EXPECT_STREQ("CBaseProbe", made->GetRuntimeClass()->m_lpszClassName);
  delete made;
  EXPECT_EQ(RUNTIME_CLASS(CBaseProbe), CRuntimeClass::FromName("CBaseProbe"));
  EXPECT_EQ(nullptr, RUNTIME_CLASS(CDialog)->CreateObject());  // not creatable
}

TEST(Window, CreationMessagesReachTheObjectAndMapsChain) {
  CProbeWnd w;
  ASSERT_TRUE(MakeTopLevel(w));
  EXPECT_EQ(1, w.ncCreates);
  EXPECT_EQ(1, w.creates);
  EXPECT_EQ(&w, CWnd::FromHandlePermanent(w.m_hWnd));
  EXPECT_EQ(&w, CWnd::FromHandle(w.m_hWnd));
  // The default class has double-clicks.
  EXPECT_TRUE(::GetClassLongPtrW(w.m_hWnd, GCL_STYLE) & CS_DBLCLKS);
  // The base class's entry answers through the derived map; unpacked arguments.
  EXPECT_EQ(12, w.SendMessage(WM_PROBE, 5, 7));
  EXPECT_EQ(1, w.baseMessages);
  EXPECT_EQ(42, w.SendMessage(g_registered, 21, 0));
  w.SetWindowPos(nullptr, 0, 0, 320, 240, SWP_NOMOVE | SWP_NOZORDER);
  CRect rc;
  w.GetClientRect(&rc);
  EXPECT_EQ(rc.Size(), w.lastSize);
  HWND h = w.m_hWnd;
  EXPECT_TRUE(w.DestroyWindow());
  EXPECT_EQ(1, w.destroys);
  EXPECT_EQ(nullptr, w.m_hWnd);
  EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(h));
}

namespace {
class CRefuseWnd : public CWnd {
 protected:
  afx_msg int OnCreate(LPCREATESTRUCT) { return -1; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CRefuseWnd, CWnd)
  ON_WM_CREATE()
END_MESSAGE_MAP()
}  // namespace

TEST(Window, CreateFailsWhenOnCreateRefuses) {
  CRefuseWnd w;
  EXPECT_FALSE(MakeTopLevel(w));
  EXPECT_EQ(nullptr, w.m_hWnd);
}

TEST(HandleMaps, TemporaryPermanentAttachAndForeignHandles) {
  HWND raw = ::CreateWindowExW(0, L"STATIC", L"raw", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(raw);
  EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(raw));
  CWnd* temp = CWnd::FromHandle(raw);
  ASSERT_NE(nullptr, temp);
  EXPECT_EQ(raw, temp->m_hWnd);
  EXPECT_EQ(temp, CWnd::FromHandle(raw));  // the same temporary object until idle
  AfxDeleteTempMaps();

  {
    // Attached without being created by the object: the destructor leaves it alone.
    CWnd attached;
    EXPECT_TRUE(attached.Attach(raw));
    EXPECT_EQ(&attached, CWnd::FromHandle(raw));
    CWnd second;
    EXPECT_FALSE(second.Attach(raw));  // one object per handle
  }
  EXPECT_TRUE(::IsWindow(raw));
  EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(raw));

  // Subclassed and dropped: the control gets its own procedure back.
  WNDPROC original = (WNDPROC)::GetWindowLongPtrW(raw, GWLP_WNDPROC);
  {
    CWnd sub;
    ASSERT_TRUE(sub.SubclassWindow(raw));
    EXPECT_EQ((LONG_PTR)AfxWndProc, ::GetWindowLongPtrW(raw, GWLP_WNDPROC));
    ::SetWindowTextW(raw, L"through us");
  }
  EXPECT_TRUE(::IsWindow(raw));
  EXPECT_EQ((LONG_PTR)original, ::GetWindowLongPtrW(raw, GWLP_WNDPROC));
  wchar_t text[32] = {0};
  ::GetWindowTextW(raw, text, 32);
  EXPECT_STREQ(L"through us", text);

  // A handle destroyed behind the object's back does not upset its destructor.
  {
    CWnd stale;
    stale.Attach(raw);
    ::DestroyWindow(raw);
  }
  EXPECT_FALSE(::IsWindow(raw));
}

namespace {
class COwnerDlg : public CDialog {
 public:
  COwnerDlg() : CDialog(IDD_ROUTE) {}

 protected:
  afx_msg void OnBoth() { g_log.push_back("owner:both"); }
  afx_msg void OnOwnerApp() { g_log.push_back("owner:owner"); }
  afx_msg void OnLowId() { g_log.push_back("owner:low"); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(COwnerDlg, CDialog)
  ON_COMMAND(ID_BOTH, OnBoth)
  ON_COMMAND(ID_OWNER_APP, OnOwnerApp)
  ON_COMMAND(0x0100, OnLowId)
END_MESSAGE_MAP()

class CChildDlg : public CDialog {
 public:
  CChildDlg() : CDialog(IDD_ROUTE) {}
  int disabledRuns = 0, exCalls = 0;

 protected:
  afx_msg void OnBoth() { g_log.push_back("child:both"); }
  afx_msg BOOL OnEx(UINT) {
    ++exCalls;
    return FALSE;  // not handled here: routing goes on
  }
  afx_msg void OnDisabled() { ++disabledRuns; }
  afx_msg void OnUpdateDisabled(CCmdUI* ui) { ui->Enable(FALSE); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CChildDlg, CDialog)
  ON_COMMAND(ID_BOTH, OnBoth)
  ON_COMMAND(ID_DISABLED, OnDisabled)
  ON_UPDATE_COMMAND_UI(ID_DISABLED, OnUpdateDisabled)
  ON_COMMAND_EX(ID_OWNER_APP, OnEx)
END_MESSAGE_MAP()

class CRecordCmdUI : public CCmdUI {
 public:
  int enabled = -1;
  void Enable(BOOL on) override {
    enabled = on ? 1 : 0;
    m_bEnableChanged = TRUE;
  }
};
}  // namespace

TEST(Commands, RoutingGoesWindowThenOwnerThenApplication) {
  CLogApp app;
  COwnerDlg owner;
  ASSERT_TRUE(owner.Create(IDD_ROUTE));
  CChildDlg child;
  ASSERT_TRUE(child.Create(IDD_ROUTE, &owner));
  EXPECT_EQ(owner.m_hWnd, ::GetWindow(child.m_hWnd, GW_OWNER));

  g_log.clear();
  child.SendMessage(WM_COMMAND, ID_BOTH);
  child.SendMessage(WM_COMMAND, ID_OWNER_APP);
  child.SendMessage(WM_COMMAND, ID_APP_ONLY);
  child.SendMessage(WM_COMMAND, ID_NOHANDLER);
  child.SendMessage(WM_COMMAND, 0x0100);  // a control id stays with the window
  EXPECT_EQ((std::vector<std::string>{"child:both", "owner:owner", "app:only"}), g_log);
  EXPECT_EQ(1, child.exCalls);

  // The handler-exists probe follows the same road without calling anybody.
  g_log.clear();
  AFX_CMDHANDLERINFO info = {nullptr, nullptr};
  EXPECT_TRUE(child.OnCmdMsg(ID_APP_ONLY, CN_COMMAND, nullptr, &info));
  EXPECT_EQ(static_cast<CCmdTarget*>(&app), info.pTarget);
  EXPECT_FALSE(child.OnCmdMsg(ID_NOHANDLER, CN_COMMAND, nullptr, &info));
  EXPECT_TRUE(g_log.empty());

  // Updates: no update handler, so enabled exactly when a command handler exists.
  CRecordCmdUI ui;
  ui.m_nID = ID_APP_ONLY;
  ui.DoUpdate(&child, TRUE);
  EXPECT_EQ(1, ui.enabled);
  ui.m_nID = ID_NOHANDLER;
  ui.DoUpdate(&child, TRUE);
  EXPECT_EQ(0, ui.enabled);
  ui.enabled = -1;
  ui.DoUpdate(&child, FALSE);
  EXPECT_EQ(-1, ui.enabled);
  ui.m_nID = ID_DISABLED;
  ui.DoUpdate(&child, TRUE);
  EXPECT_EQ(0, ui.enabled);  // the update handler decides

  child.DestroyWindow();
  owner.DestroyWindow();
}

TEST(Commands, DisabledCommandRunsNeitherFromMenuAcceleratorNorOnCommand) {
  CProbeWnd w;
  ASSERT_TRUE(MakeTopLevel(w));
  // Menu selection (notification code 0, no control).
  w.SendMessage(WM_COMMAND, MAKEWPARAM(ID_DISABLED, 0), 0);
  w.SendMessage(WM_COMMAND, MAKEWPARAM(ID_ENABLED, 0), 0);
  EXPECT_EQ(0, w.disabledRuns);
  EXPECT_EQ(1, w.enabledRuns);
  // Accelerators translated by the system.
  ACCEL keys[] = {{FVIRTKEY, VK_F5, (WORD)ID_DISABLED}, {FVIRTKEY, VK_F6, (WORD)ID_ENABLED}};
  HACCEL accel = ::CreateAcceleratorTableW(keys, 2);
  ASSERT_TRUE(accel);
  MSG msg = {w.m_hWnd, WM_KEYDOWN, VK_F5, 0x00000001, 0, {0, 0}};
  EXPECT_TRUE(::TranslateAcceleratorW(w.m_hWnd, accel, &msg));
  msg.wParam = VK_F6;
  EXPECT_TRUE(::TranslateAcceleratorW(w.m_hWnd, accel, &msg));
  ::DestroyAcceleratorTable(accel);
  EXPECT_EQ(0, w.disabledRuns);
  EXPECT_EQ(2, w.enabledRuns);
  // Called directly: the command is eaten, not run.
  EXPECT_TRUE(w.OnCommand(ID_DISABLED, 0));
  EXPECT_EQ(0, w.disabledRuns);

  // A popup menu updated through the window: disabled by its handler, disabled
  // for want of any handler, checked by its handler.
  CMenu menu;
  ASSERT_TRUE(menu.CreatePopupMenu());
  menu.AppendMenu(MF_STRING, ID_DISABLED, L"Disabled");
  menu.AppendMenu(MF_SEPARATOR);
  menu.AppendMenu(MF_STRING, ID_ENABLED, L"Enabled");
  menu.AppendMenu(MF_STRING, ID_NOHANDLER, L"Nobody");
  menu.AppendMenu(MF_STRING, ID_CHECKED, L"Checked");
  menu.AppendMenu(MF_STRING, ID_RENAMED, L"Old name");
  AfxUpdateMenuPopup(&w, &menu, TRUE);
  CString name;
  menu.GetMenuString(ID_RENAMED, name, MF_BYCOMMAND);
  EXPECT_STREQ(L"Renamed", name);
  MENUITEMINFOW mii = {};
  mii.fMask = MIIM_FTYPE | MIIM_STATE;
  menu.GetMenuItemInfo(ID_RENAMED, &mii);
  EXPECT_TRUE(mii.fType & MFT_RADIOCHECK);
  EXPECT_TRUE(mii.fState & MFS_CHECKED);
  EXPECT_TRUE(menu.GetMenuState(ID_DISABLED, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_FALSE(menu.GetMenuState(ID_ENABLED, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_TRUE(menu.GetMenuState(ID_NOHANDLER, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_TRUE(menu.GetMenuState(ID_CHECKED, MF_BYCOMMAND) & MF_CHECKED);
  CMenu menu2;
  menu2.CreatePopupMenu();
  menu2.AppendMenu(MF_STRING, ID_NOHANDLER, L"Nobody");
  AfxUpdateMenuPopup(&w, &menu2, FALSE);
  EXPECT_FALSE(menu2.GetMenuState(ID_NOHANDLER, MF_BYCOMMAND) & MF_GRAYED);
  w.DestroyWindow();
}

TEST(Commands, RangeEntryGetsTheId) {
  CProbeWnd w;
  ASSERT_TRUE(MakeTopLevel(w));
  w.SendMessage(WM_COMMAND, ID_RANGE_FIRST + 2);
  EXPECT_EQ(1, w.ranged);
  EXPECT_EQ((int)ID_RANGE_FIRST + 2, w.lastRanged);
  w.SendMessage(WM_COMMAND, ID_RANGE_LAST + 1);
  EXPECT_EQ(1, w.ranged);
  w.DestroyWindow();
}

// ---------------------------------------------------------------------------
// Reflection.

namespace {
constexpr int NM_PROBE = -900;    // a private notification code
constexpr WORD CN_PROBE = 0x700;  // a private WM_COMMAND notification

// A child that sends notifications to its parent like a control does.
class CNotifier : public CWnd {
 public:
  int reflectedNotify = 0, reflectedCommand = 0, exNotify = 0, exCommand = 0;
  BOOL exAnswer = FALSE;
  HBRUSH brush = nullptr;

  LRESULT Notify(int code, UINT_PTR idFrom) {
    NMHDR nm = {m_hWnd, idFrom, (UINT)code};
    return ::SendMessageW(::GetParent(m_hWnd), WM_NOTIFY, idFrom, (LPARAM)&nm);
  }
  void Command(WORD code) {
    ::SendMessageW(::GetParent(m_hWnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), code), (LPARAM)m_hWnd);
  }

 protected:
  afx_msg void OnReflectNotify(NMHDR*, LRESULT* result) {
    ++reflectedNotify;
    *result = 55;
  }
  afx_msg BOOL OnReflectNotifyEx(NMHDR*, LRESULT*) {
    ++exNotify;
    return exAnswer;
  }
  afx_msg void OnReflectCommand() { ++reflectedCommand; }
  afx_msg BOOL OnReflectCommandEx() {
    ++exCommand;
    return exAnswer;
  }
  afx_msg HBRUSH CtlColor(CDC*, UINT) { return brush; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CNotifier, CWnd)
  ON_NOTIFY_REFLECT(NM_PROBE, OnReflectNotify)
  ON_NOTIFY_REFLECT_EX(NM_PROBE - 1, OnReflectNotifyEx)
  ON_CONTROL_REFLECT(CN_PROBE, OnReflectCommand)
  ON_CONTROL_REFLECT_EX(CN_PROBE + 1, OnReflectCommandEx)
  ON_WM_CTLCOLOR_REFLECT()
END_MESSAGE_MAP()

class CCountingButton : public CButton {
 public:
  int draws = 0;
  void DrawItem(LPDRAWITEMSTRUCT dis) override {
    ++draws;
    ::FillRect(dis->hDC, &dis->rcItem, (HBRUSH)::GetStockObject(BLACK_BRUSH));
  }
};

class CDeletingTree : public CTreeCtrl {
 public:
  int* deletions = nullptr;

 protected:
  afx_msg void OnDeleteItem(NMHDR*, LRESULT* result) {
    ++*deletions;
    *result = 0;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CDeletingTree, CTreeCtrl)
  ON_NOTIFY_REFLECT(TVN_DELETEITEMW, OnDeleteItem)
END_MESSAGE_MAP()

class CParentWnd : public CWnd {
 public:
  int parentNotify = 0, parentCommand = 0, parentNotifyById = 0, parentDraws = 0;
  std::vector<UINT> rangeIds;

 protected:
  afx_msg void OnNotifyProbe(NMHDR*, LRESULT*) { ++parentNotify; }
  afx_msg void OnNotifyRange(UINT id, NMHDR*, LRESULT*) { rangeIds.push_back(id); }
  afx_msg void OnCommandProbe() { ++parentCommand; }
  afx_msg void OnById(NMHDR*, LRESULT*) { ++parentNotifyById; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CParentWnd, CWnd)
  ON_NOTIFY(NM_PROBE, 501, OnNotifyProbe)
  ON_NOTIFY_RANGE(NM_PROBE - 1, 500, 510, OnNotifyRange)
  ON_CONTROL(CN_PROBE, 501, OnCommandProbe)
  ON_CONTROL(CN_PROBE + 1, 501, OnCommandProbe)
  ON_NOTIFY(NM_PROBE - 2, 502, OnById)
END_MESSAGE_MAP()
}  // namespace

TEST(Reflection, ChildHandlesItsOwnNotificationsAndExPassesOn) {
  CParentWnd parent;
  ASSERT_TRUE(MakeTopLevel(parent));
  CNotifier child;
  ASSERT_TRUE(child.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(0, 0, 20, 20), &parent, 501));
  CNotifier other;  // id 502
  ASSERT_TRUE(other.Create(nullptr, nullptr, WS_CHILD, CRect(0, 0, 20, 20), &parent, 502));

  // WM_NOTIFY handled by the child itself; the parent never sees it.
  EXPECT_EQ(55, child.Notify(NM_PROBE, 501));
  EXPECT_EQ(1, child.reflectedNotify);
  EXPECT_EQ(0, parent.parentNotify);
  // _EX returning FALSE passes on to the parent; TRUE keeps it.
  child.Notify(NM_PROBE - 1, 501);
  EXPECT_EQ(1, child.exNotify);
  EXPECT_EQ(std::vector<UINT>{501}, parent.rangeIds);
  child.exAnswer = TRUE;
  child.Notify(NM_PROBE - 1, 501);
  EXPECT_EQ(2, child.exNotify);
  EXPECT_EQ(1u, parent.rangeIds.size());
  child.exAnswer = FALSE;

  // WM_COMMAND notifications the same way.
  child.Command(CN_PROBE);
  EXPECT_EQ(1, child.reflectedCommand);
  EXPECT_EQ(0, parent.parentCommand);
  child.Command(CN_PROBE + 1);
  EXPECT_EQ(1, child.exCommand);
  EXPECT_EQ(1, parent.parentCommand);

  // The parent dispatches WM_NOTIFY by the sender's control id, not idFrom.
  other.Notify(NM_PROBE - 2, 9999);
  EXPECT_EQ(1, parent.parentNotifyById);

  // WM_CTLCOLOR: the child's brush when it gives one.
  HBRUSH brush = (HBRUSH)::GetStockObject(GRAY_BRUSH);
  child.brush = brush;
  HDC dc = ::GetDC(child.m_hWnd);
  EXPECT_EQ((LRESULT)brush, parent.SendMessage(WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)child.m_hWnd));
  ::ReleaseDC(child.m_hWnd, dc);
  parent.DestroyWindow();
}

TEST(Reflection, OwnerDrawReachesTheControlAndNotificationsDuringParentDestruction) {
  CParentWnd parent;
  ASSERT_TRUE(MakeTopLevel(parent));
  CCountingButton button;
  ASSERT_TRUE(button.Create(L"x", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, CRect(0, 0, 40, 20), &parent, 600));
  DRAWITEMSTRUCT dis = {};
  dis.CtlType = ODT_BUTTON;
  dis.CtlID = 600;
  dis.hwndItem = button.m_hWnd;
  dis.hDC = ::GetDC(button.m_hWnd);
  dis.rcItem = {0, 0, 40, 20};
  EXPECT_TRUE(parent.SendMessage(WM_DRAWITEM, 600, (LPARAM)&dis));
  ::ReleaseDC(button.m_hWnd, dis.hDC);
  EXPECT_EQ(1, button.draws);
  // The system's own painting of the button goes the same way.
  parent.ShowWindow(SW_SHOWNA);
  button.Invalidate();
  button.UpdateWindow();
  EXPECT_GE(button.draws, 2);

  int deletions = 0;
  CDeletingTree tree;
  tree.deletions = &deletions;
  ASSERT_TRUE(tree.Create(WS_CHILD | WS_VISIBLE, CRect(0, 50, 100, 150), &parent, 601));
  HTREEITEM root = tree.InsertItem(L"root");
  tree.InsertItem(L"a", root);
  tree.InsertItem(L"b", root);
  // Destroying the parent destroys the tree, whose deletions still reach it.
  parent.DestroyWindow();
  EXPECT_EQ(3, deletions);
  EXPECT_EQ(nullptr, tree.m_hWnd);
}

// ---------------------------------------------------------------------------
// Pre-translation and idle updates.

namespace {
class CFilterWnd : public CWnd {
 public:
  int seen = 0;
  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_F9) {
      ++seen;
      return TRUE;
    }
    return FALSE;
  }
};

class CIdleChild : public CWnd {
 public:
  int updates = 0;

 protected:
  afx_msg LRESULT OnIdleUpdate(WPARAM, LPARAM) {
    ++updates;
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CIdleChild, CWnd)
  ON_MESSAGE(WM_IDLEUPDATECMDUI, OnIdleUpdate)
END_MESSAGE_MAP()
}  // namespace

TEST(Window, PreTranslateWalksUpTheParentChain) {
  CFilterWnd parent;
  ASSERT_TRUE(MakeTopLevel(parent));
  HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 50, 20, parent.m_hWnd, nullptr, nullptr, nullptr);
  ASSERT_TRUE(edit);
  ::PostMessageW(edit, WM_KEYDOWN, VK_F9, 1);
  ::PostMessageW(edit, WM_KEYDOWN, VK_F8, 1);
  EXPECT_TRUE(AfxPumpMessage());
  EXPECT_TRUE(AfxPumpMessage());
  EXPECT_EQ(1, parent.seen);
  parent.DestroyWindow();
}

TEST(Window, DescendantsGetMessagesDeepAndOnlyPermanent) {
  CWnd top;
  ASSERT_TRUE(MakeTopLevel(top));
  CIdleChild a, deep;
  ASSERT_TRUE(a.Create(nullptr, nullptr, WS_CHILD, CRect(0, 0, 10, 10), &top, 1));
  HWND plain = ::CreateWindowExW(0, AFX_WND_CLASS, L"", WS_CHILD, 0, 0, 10, 10, top.m_hWnd, nullptr, nullptr, nullptr);
  CWnd* plainWnd = CWnd::FromHandle(plain);
  ASSERT_TRUE(deep.Create(nullptr, nullptr, WS_CHILD, CRect(0, 0, 10, 10), plainWnd, 2));
  top.SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE, TRUE);
  EXPECT_EQ(1, a.updates);
  EXPECT_EQ(1, deep.updates);
  top.SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, FALSE, FALSE);
  EXPECT_EQ(2, a.updates);
  EXPECT_EQ(1, deep.updates);
  top.DestroyWindow();
}
