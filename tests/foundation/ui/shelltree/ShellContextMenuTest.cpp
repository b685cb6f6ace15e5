// The shell context menu holder: filling, invoking by offset, help texts, the
// hook of the owner window, and its references; with stand-in objects and
// once with the real shell.
#include <gtest/gtest.h>

#include <algorithm>

#include "foundation/ui/ShellContextMenu.h"
#include "foundation/ui/ShellPidl.h"
#include "tests/foundation/ui/shelltree/ShellStandIns.h"
#include "tests/foundation/ui/shelltree/ShellTestSupport.h"

namespace {
// A window that records what reaches its own procedure, and the hook's state
// when its own WM_DESTROY runs.
class CRecordingWnd : public CWnd {
 public:
  BOOL CreateHidden() {
    return CreateEx(0, AfxRegisterWndClass(0), L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr);
  }
  BOOL CreateChild(CWnd* parent) { return Create(nullptr, L"child", WS_CHILD, CRect(0, 0, 50, 50), parent, 1); }
  std::vector<UINT> m_seen;
  BOOL m_destroySeen = FALSE;
  BOOL m_hookedAtDestroy = TRUE;
  BOOL m_propAtDestroy = TRUE;
  WNDPROC m_hookProc = nullptr;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    m_seen.push_back(message);
    if (message == WM_DESTROY) {
      m_destroySeen = TRUE;
      m_hookedAtDestroy = (WNDPROC)::GetWindowLongPtrW(m_hWnd, GWLP_WNDPROC) == m_hookProc;
      m_propAtDestroy = ::GetPropW(m_hWnd, CShellContextMenu::kPropName) != nullptr;
    }
    return CWnd::WindowProc(message, wParam, lParam);
  }
};

BOOL Saw(const std::vector<UINT>& seen, UINT message) {
  return std::find(seen.begin(), seen.end(), message) != seen.end();
}

class ShellContextMenuTest : public ::testing::Test {
 protected:
  CComScope com;
  CStandInNamespace ns;
  CStandInContextMenu* menu = nullptr;
  LPITEMIDLIST item = nullptr;
  void SetUp() override {
    menu = ns.Make<CStandInContextMenu>(TRUE);
    ns.m_pMenuForItems = menu;
    int child = ns.Add(0, L"child", 1);
    item = ns.MakeItem(child);
  }
  void TearDown() override { ns.m_malloc.Free(item); }
};
}  // namespace

TEST_F(ShellContextMenuTest, FillKeepsTheRangeTheShellUsedAndTheMenusOwnDefault) {
  CShellContextMenu host;
  HMENU popup = ::CreatePopupMenu();
  EXPECT_FALSE(host.FillMenu(popup, 0, 0x100, 0x1FF, CMF_NORMAL));  // nothing held yet
  ASSERT_TRUE(host.QueryFromItem(ns.m_pDesktop, item));
  ASSERT_TRUE(host.FillMenu(popup, 0, 0x100, 0x1FF, CMF_EXPLORE | CMF_NODEFAULT));
  EXPECT_EQ(0x100u, menu->m_queryFirst);
  EXPECT_EQ(0x1FFu, menu->m_queryLast);
  EXPECT_EQ((UINT)(CMF_EXPLORE | CMF_NODEFAULT), menu->m_queryFlags);
  EXPECT_EQ(0x100u, host.GetFirstId());
  EXPECT_EQ(0x102u, host.GetLastId());  // three commands
  EXPECT_EQ(3, ::GetMenuItemCount(popup));
  // The stand-in marks a default like the real shell does; CMF_NODEFAULT puts
  // back what the menu had before: none.
  EXPECT_EQ((UINT)-1, ::GetMenuDefaultItem(popup, FALSE, GMDI_USEDISABLED));

  // Without CMF_NODEFAULT the shell's default stays.
  HMENU second = ::CreatePopupMenu();
  ASSERT_TRUE(host.FillMenu(second, 0, 0x200, 0x2FF, CMF_NORMAL));
  EXPECT_EQ(0x200u, ::GetMenuDefaultItem(second, FALSE, GMDI_USEDISABLED));

  // A failed fill leaves no range.
  menu->m_hrQuery = E_FAIL;
  HMENU third = ::CreatePopupMenu();
  EXPECT_FALSE(host.FillMenu(third, 0, 0x300, 0x3FF, CMF_NORMAL));
  EXPECT_EQ(0u, host.GetFirstId());
  EXPECT_EQ(0u, host.GetLastId());
  EXPECT_FALSE(host.InvokeCommand(0x300));
  EXPECT_TRUE(menu->m_invokedVerbs.empty());
  ::DestroyMenu(popup);
  ::DestroyMenu(second);
  ::DestroyMenu(third);
}

TEST_F(ShellContextMenuTest, InvokePassesTheOffsetAndTheRecordSizeAndOnlyForUsedIds) {
  CShellContextMenu host;
  HMENU popup = ::CreatePopupMenu();
  ASSERT_TRUE(host.QueryFromItem(ns.m_pDesktop, item));
  ASSERT_TRUE(host.FillMenu(popup, 0, 0xE00, 0xFFF, CMF_EXPLORE | CMF_NODEFAULT));
  EXPECT_TRUE(host.InvokeCommand(0xE00));
  EXPECT_TRUE(host.InvokeCommand(0xE02));
  EXPECT_FALSE(host.InvokeCommand(0xE03));  // in the range given, but not used by the shell
  EXPECT_FALSE(host.InvokeCommand(0xDFF));
  ASSERT_EQ(2u, menu->m_invokedVerbs.size());
  EXPECT_EQ(0u, menu->m_invokedVerbs[0]);  // the first command is offset 0, not a verb text
  EXPECT_EQ(2u, menu->m_invokedVerbs[1]);
  for (DWORD size : menu->m_invokedSizes) EXPECT_EQ((DWORD)sizeof(CMINVOKECOMMANDINFO), size);
  EXPECT_EQ(nullptr, menu->m_invokedWindows[0]);  // nothing attached

  CRecordingWnd owner;
  ASSERT_TRUE(owner.CreateHidden());
  host.Attach(&owner);
  EXPECT_TRUE(host.InvokeCommand(0xE01));
  host.Attach(nullptr);
  EXPECT_EQ(1u, menu->m_invokedVerbs.back());
  EXPECT_EQ(owner.m_hWnd, menu->m_invokedWindows.back());
  owner.DestroyWindow();
  ::DestroyMenu(popup);
}

TEST_F(ShellContextMenuTest, HelpTextFallsBackFromTheWideToTheNarrowCall) {
  CShellContextMenu host;
  HMENU popup = ::CreatePopupMenu();
  ASSERT_TRUE(host.QueryFromItem(ns.m_pDesktop, item));
  ASSERT_TRUE(host.FillMenu(popup, 0, 0x10, 0x20, CMF_NORMAL));
  CString text;
  menu->m_helpA = "Opens the item";
  EXPECT_TRUE(host.GetCommandHelp(0x11, text));
  EXPECT_EQ(CString(L"Opens the item"), text);
  ASSERT_EQ(2u, menu->m_helpTypes.size());
  EXPECT_EQ((UINT)GCS_HELPTEXTW, menu->m_helpTypes[0]);
  EXPECT_EQ((UINT)GCS_HELPTEXTA, menu->m_helpTypes[1]);

  menu->m_helpTypes.clear();
  menu->m_helpW = L"Zeigt das Element";
  EXPECT_TRUE(host.GetCommandHelp(0x10, text));
  EXPECT_EQ(CString(L"Zeigt das Element"), text);
  ASSERT_EQ(1u, menu->m_helpTypes.size());  // the wide text is enough

  menu->m_helpTypes.clear();
  EXPECT_FALSE(host.GetCommandHelp(0x13, text));  // not a used id: the shell is not asked
  EXPECT_TRUE(menu->m_helpTypes.empty());
  ::DestroyMenu(popup);
}

TEST_F(ShellContextMenuTest, HookPassesOnlyMenuMessagesToTheShellAndGoesAway) {
  CRecordingWnd owner;
  ASSERT_TRUE(owner.CreateHidden());
  const WNDPROC ownProc = (WNDPROC)::GetWindowLongPtrW(owner.m_hWnd, GWLP_WNDPROC);
  CShellContextMenu host;
  ASSERT_TRUE(host.QueryFromItem(ns.m_pDesktop, item));
  host.Attach(&owner);
  EXPECT_NE(ownProc, (WNDPROC)::GetWindowLongPtrW(owner.m_hWnd, GWLP_WNDPROC));
  EXPECT_EQ(&host, ::GetPropW(owner.m_hWnd, CShellContextMenu::kPropName));

  DRAWITEMSTRUCT menuItem = {};
  menuItem.CtlType = ODT_MENU;
  DRAWITEMSTRUCT buttonItem = {};
  buttonItem.CtlType = ODT_BUTTON;
  MEASUREITEMSTRUCT menuMeasure = {};
  menuMeasure.CtlType = ODT_MENU;
  MEASUREITEMSTRUCT listMeasure = {};
  listMeasure.CtlType = ODT_LISTBOX;
  owner.m_seen.clear();
  EXPECT_EQ(TRUE, owner.SendMessage(WM_DRAWITEM, 0, (LPARAM)&menuItem));
  owner.SendMessage(WM_MEASUREITEM, 0, (LPARAM)&menuMeasure);
  EXPECT_EQ(0, owner.SendMessage(WM_INITMENUPOPUP, (WPARAM)::CreatePopupMenu(), 0));
  ASSERT_EQ(3u, menu->m_menuMessages.size());
  EXPECT_EQ((UINT)WM_DRAWITEM, menu->m_menuMessages[0]);
  EXPECT_EQ((UINT)WM_MEASUREITEM, menu->m_menuMessages[1]);
  EXPECT_EQ((UINT)WM_INITMENUPOPUP, menu->m_menuMessages[2]);
  EXPECT_FALSE(Saw(owner.m_seen, WM_DRAWITEM));  // taken by the shell
  EXPECT_FALSE(Saw(owner.m_seen, WM_INITMENUPOPUP));

  owner.SendMessage(WM_DRAWITEM, 7, (LPARAM)&buttonItem);
  owner.SendMessage(WM_MEASUREITEM, 7, (LPARAM)&listMeasure);
  owner.SendMessage(WM_USER + 5, 0, 0);
  // No frame window: menu selections get no help text and reach the owner.
  owner.SendMessage(WM_MENUSELECT, MAKEWPARAM(0, MF_HILITE), 0);
  EXPECT_EQ(3u, menu->m_menuMessages.size());
  EXPECT_TRUE(Saw(owner.m_seen, WM_DRAWITEM));
  EXPECT_TRUE(Saw(owner.m_seen, WM_MEASUREITEM));
  EXPECT_TRUE(Saw(owner.m_seen, WM_USER + 5));
  EXPECT_TRUE(Saw(owner.m_seen, WM_MENUSELECT));
  EXPECT_TRUE(menu->m_helpTypes.empty());

  host.Attach(nullptr);
  EXPECT_EQ(ownProc, (WNDPROC)::GetWindowLongPtrW(owner.m_hWnd, GWLP_WNDPROC));
  EXPECT_EQ(nullptr, ::GetPropW(owner.m_hWnd, CShellContextMenu::kPropName));
  owner.SendMessage(WM_INITMENUPOPUP, 0, 0);
  EXPECT_EQ(3u, menu->m_menuMessages.size());

  // A menu without the second interface: its drawing stays with the owner.
  CStandInContextMenu* plain = ns.Make<CStandInContextMenu>(FALSE);
  ns.m_pMenuForItems = plain;
  ASSERT_TRUE(host.QueryFromItem(ns.m_pDesktop, item));
  host.Attach(&owner);
  owner.m_seen.clear();
  owner.SendMessage(WM_DRAWITEM, 0, (LPARAM)&menuItem);
  EXPECT_TRUE(plain->m_menuMessages.empty());
  EXPECT_TRUE(Saw(owner.m_seen, WM_DRAWITEM));
  host.Attach(nullptr);
  owner.DestroyWindow();
}

TEST_F(ShellContextMenuTest, HookIsRemovedBeforeTheWindowsOwnDestroyRuns) {
  CRecordingWnd owner;
  ASSERT_TRUE(owner.CreateHidden());
  CShellContextMenu host;
  ASSERT_TRUE(host.QueryFromItem(ns.m_pDesktop, item));
  host.Attach(&owner);
  owner.m_hookProc = (WNDPROC)::GetWindowLongPtrW(owner.m_hWnd, GWLP_WNDPROC);
  owner.DestroyWindow();
  EXPECT_TRUE(owner.m_destroySeen);
  EXPECT_FALSE(owner.m_hookedAtDestroy);
  EXPECT_FALSE(owner.m_propAtDestroy);
  EXPECT_EQ(nullptr, host.GetAttachedWindow());
}

// A frame window that records the status texts it is given.
class CStatusFrame : public CFrameWnd {
 public:
  std::vector<CString> m_texts;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_SETMESSAGESTRING) {
      m_texts.push_back(lParam ? CString(reinterpret_cast<LPCWSTR>(lParam)) : CString(L"(null)"));
      return 0;
    }
    return CFrameWnd::WindowProc(message, wParam, lParam);
  }
  void PostNcDestroy() override {}  // lives on the test's stack
};

TEST_F(ShellContextMenuTest, MenuSelectionInAFrameShowsTheCommandsHelpText) {
  CStatusFrame frame;
  ASSERT_TRUE(frame.Create(nullptr, L"frame"));
  CRecordingWnd owner;
  ASSERT_TRUE(owner.CreateChild(&frame));
  CShellContextMenu host;
  HMENU popup = ::CreatePopupMenu();
  ASSERT_TRUE(host.QueryFromItem(ns.m_pDesktop, item));
  ASSERT_TRUE(host.FillMenu(popup, 0, 0x100, 0x1FF, CMF_NORMAL));
  HMENU outer = ::CreatePopupMenu();
  ::AppendMenuW(outer, MF_POPUP | MF_STRING, (UINT_PTR)popup, L"More");
  menu->m_helpA = "Does the thing";
  host.Attach(&owner);
  owner.m_seen.clear();
  owner.SendMessage(WM_MENUSELECT, MAKEWPARAM(0x101, MF_HILITE), (LPARAM)popup);
  owner.SendMessage(WM_MENUSELECT, MAKEWPARAM(0, MF_SEPARATOR), (LPARAM)popup);
  owner.SendMessage(WM_MENUSELECT, MAKEWPARAM(0, MF_POPUP | MF_HILITE), (LPARAM)outer);  // its first item
  EXPECT_FALSE(Saw(owner.m_seen, WM_MENUSELECT));
  owner.SendMessage(WM_MENUSELECT, MAKEWPARAM(0x150, MF_HILITE), (LPARAM)popup);  // not the shell's
  owner.SendMessage(WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);                     // closing
  EXPECT_TRUE(Saw(owner.m_seen, WM_MENUSELECT));
  host.Attach(nullptr);
  ASSERT_EQ(3u, frame.m_texts.size());
  EXPECT_EQ(CString(L"Does the thing"), frame.m_texts[0]);
  EXPECT_EQ(CString(), frame.m_texts[1]);  // a separator clears the line
  EXPECT_EQ(CString(L"Does the thing"), frame.m_texts[2]);
  owner.DestroyWindow();
  frame.DestroyWindow();
  ::DestroyMenu(outer);
}

TEST_F(ShellContextMenuTest, EveryReferenceTakenIsGivenBack) {
  const LONG menuRefs = menu->m_refs;
  const LONG folderRefs = ns.m_pDesktop->m_refs;
  {
    CShellContextMenu host;
    HMENU popup = ::CreatePopupMenu();
    ASSERT_TRUE(host.QueryFromItem(ns.m_pDesktop, item));
    ASSERT_TRUE(host.QueryFromItem(ns.m_pDesktop, item));  // replaces the first
    EXPECT_EQ(menuRefs + 1, menu->m_refs);
    ASSERT_TRUE(host.FillMenu(popup, 0, 1, 100, CMF_NORMAL));
    CRecordingWnd owner;
    ASSERT_TRUE(owner.CreateHidden());
    host.Attach(&owner);
    DRAWITEMSTRUCT menuItem = {};
    menuItem.CtlType = ODT_MENU;
    for (int i = 0; i < 5; ++i)
      owner.SendMessage(WM_DRAWITEM, 0, (LPARAM)&menuItem);  // each asks for the second interface
    host.InvokeCommand(1);
    host.Attach(nullptr);
    owner.DestroyWindow();
    ::DestroyMenu(popup);
    // The interface stays until the host goes, for a command after the popup closed.
    EXPECT_EQ(menuRefs + 1, menu->m_refs);
    EXPECT_FALSE(host.QueryFromItem(nullptr, nullptr));
    EXPECT_EQ(menuRefs, menu->m_refs);
    ASSERT_TRUE(host.QueryFromItem(ns.m_pDesktop, item));
  }
  EXPECT_EQ(menuRefs, menu->m_refs);
  EXPECT_EQ(folderRefs, ns.m_pDesktop->m_refs);
  EXPECT_EQ(0, ns.m_overReleases);
  EXPECT_EQ(ns.m_addRefs, ns.m_releases);
}

// The real shell through the desktop folder: a folder's menu fills within the
// range, its commands are found by verb, and the drawing hook runs.
TEST(ShellContextMenuWineTest, RealFolderMenuThroughTheDesktopFolder) {
  CComScope com;
  CTestFolder folder(L"context");
  ASSERT_TRUE(folder.AddFolder(L"beta"));
  CPidl absolute(ParsePathToPidl(folder.Path(L"beta")));
  ASSERT_NE(nullptr, absolute.m_pidl);
  CPidl parent(CopyPidl(absolute));
  // The parent list: everything but the last item.
  reinterpret_cast<USHORT*>(const_cast<ITEMIDLIST*>(GetLastPidlItem(parent)))[0] = 0;
  IShellFolder* desktop = AcquireDesktopFolder();
  ASSERT_NE(nullptr, desktop);
  IShellFolder* parentFolder = nullptr;
  ASSERT_TRUE(SUCCEEDED(desktop->BindToObject(parent, nullptr, IID_IShellFolder, (void**)&parentFolder)));

  CShellContextMenu host;
  ASSERT_TRUE(host.QueryFromItem(parentFolder, GetLastPidlItem(absolute)));
  HMENU popup = ::CreatePopupMenu();
  ASSERT_TRUE(host.FillMenu(popup, 0, 0xE00, 0xFFF, CMF_EXPLORE | CMF_NODEFAULT));
  EXPECT_GE(host.GetLastId(), host.GetFirstId());
  EXPECT_LE(host.GetLastId(), 0xFFFu);
  UINT propertiesId = 0;
  const int count = ::GetMenuItemCount(popup);
  for (int i = 0; i < count; ++i) {
    UINT id = ::GetMenuItemID(popup, i);
    if (id == 0 || id == (UINT)-1) continue;  // separators and sub-menus
    EXPECT_GE(id, host.GetFirstId());
    EXPECT_LE(id, host.GetLastId());
    wchar_t verb[64] = {0};
    if (SUCCEEDED(host.GetInterface()->GetCommandString(id - host.GetFirstId(), GCS_VERBW, nullptr,
                                                        reinterpret_cast<LPSTR>(verb), 64)) &&
        lstrcmpiW(verb, L"properties") == 0)
      propertiesId = id;
  }
  EXPECT_NE(0u, propertiesId);
  CString help;
  host.GetCommandHelp(propertiesId, help);  // answers either way; the text is the shell's

  CRecordingWnd owner;
  ASSERT_TRUE(owner.CreateHidden());
  host.Attach(&owner);
  LRESULT result = -1;
  host.HandleMenuMessage(WM_INITMENUPOPUP, (WPARAM)popup, 0, &result);
  host.Attach(nullptr);
  owner.DestroyWindow();
  ::DestroyMenu(popup);
  parentFolder->Release();
  ReleaseDesktopFolder(desktop);
}
