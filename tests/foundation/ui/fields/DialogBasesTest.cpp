// The dialog bases as real windows: string-table tips (also for a disabled
// control under the mouse), command updates of the menu bar's popups,
// the recent list's menu, and the frame dialog's icons.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "tests/foundation/ui/fields/FieldsTest.h"
#include "tests/foundation/ui/fields/FieldsTestSupport.h"
#include "foundation/ui/FrameDlg.h"
#include "foundation/ui/OEDialog.h"
#include "foundation/RecentList.h"
#include "tests/support/UiTestSupport.h"

namespace {
constexpr UINT WM_STEP = WM_APP + 31;
constexpr UINT_PTR kPollTimer = 7;

// What a TTN_NEEDTEXTW sent to a dialog gives: handled (text written) and the text.
struct TipAnswer {
  bool written;
  CString text;
};

TipAnswer AskTipW(CWnd& dlg, HWND hTool, UINT_PTR id, UINT flags) {
  NMTTDISPINFOW info = {};
  info.hdr.hwndFrom = hTool;
  info.hdr.idFrom = id;
  info.hdr.code = TTN_NEEDTEXTW;
  info.uFlags = flags;
  lstrcpyW(info.szText, L"untouched");
  dlg.SendMessage(WM_NOTIFY, id, (LPARAM)&info);
  return TipAnswer{lstrcmpW(info.szText, L"untouched") != 0, CString(info.szText)};
}

// ---------------------------------------------------------------------------
// Option dialog: tips.

class COptionsDlg : public COEDialog {
 public:
  COptionsDlg() : COEDialog(IDD_OPTIONS) {}

  std::vector<UINT> askedIds;       // tool ids the tooltip asked about
  std::map<UINT, CString> answers;  // id -> text given
  bool tipShown = false;
  CString shownFor;
  CWindowShot tipShot;
  std::vector<TipAnswer> direct;
  CString ansiText;
  DWORD startTick = 0;

 protected:
  BOOL OnInitDialog() override {
    COEDialog::OnInitDialog();
    for (int id : {IDC_TIPPED, IDC_DISABLED, IDC_NOSTRING, IDC_NONEWLINE, IDC_LONGTIP})
      m_wndToolTip.AddTool(GetDlgItem(id));
    m_wndToolTip.SetDelayTime(TTDT_INITIAL, 100);
    PostMessage(WM_STEP);
    return TRUE;
  }

  afx_msg BOOL OnTip(UINT id, NMHDR* pNMHDR, LRESULT* pResult) {
    BOOL handled = COEDialog::OnToolTipText(id, pNMHDR, pResult);
    NMTTDISPINFOW* info = reinterpret_cast<NMTTDISPINFOW*>(pNMHDR);
    UINT tool = (info->uFlags & TTF_IDISHWND) ? (UINT)::GetDlgCtrlID((HWND)pNMHDR->idFrom) : (UINT)pNMHDR->idFrom;
    askedIds.push_back(tool);
    if (handled) answers[tool] = info->szText;
    return handled;
  }

  afx_msg LRESULT OnStep(WPARAM, LPARAM) {
    ShowWindow(SW_SHOW);
    UpdateWindow();
    HWND tipWnd = m_wndToolTip.m_hWnd;
    // Direct questions, answered from the string table.
    HWND disabled = ::GetDlgItem(m_hWnd, IDC_DISABLED);
    direct.push_back(AskTipW(*this, tipWnd, (UINT_PTR)disabled, TTF_IDISHWND));
    direct.push_back(AskTipW(*this, tipWnd, (UINT_PTR)::GetDlgItem(m_hWnd, IDC_NOSTRING), TTF_IDISHWND));
    direct.push_back(AskTipW(*this, tipWnd, (UINT_PTR)::GetDlgItem(m_hWnd, IDC_NONEWLINE), TTF_IDISHWND));
    direct.push_back(AskTipW(*this, tipWnd, ID_CMD_HANDLED, 0));  // a toolbar button's command id
    direct.push_back(AskTipW(*this, tipWnd, (UINT_PTR)::GetDlgItem(m_hWnd, IDC_LONGTIP), TTF_IDISHWND));
    direct.push_back(AskTipW(*this, tipWnd, 0, 0));
    NMTTDISPINFOA a = {};
    a.hdr.hwndFrom = tipWnd;
    a.hdr.idFrom = (UINT_PTR)disabled;
    a.hdr.code = TTN_NEEDTEXTA;
    a.uFlags = TTF_IDISHWND;
    SendMessage(WM_NOTIFY, a.hdr.idFrom, (LPARAM)&a);
    ansiText = CString(a.szText);
    askedIds.clear();
    answers.clear();

    // Above other test programs' windows on the shared screen.
    SetWindowPos(&CWnd::wndTopMost, 820, 40, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    Hover();
    startTick = ::GetTickCount();
    SetTimer(kPollTimer, 30);
    return 0;
  }

  // The user rests the mouse on the disabled button.
  void Hover() {
    POINT corner = {0, 0};
    ClientToScreen(&corner);
    MoveMouseTo(POINT{corner.x + 2, corner.y + 2});
    MoveMouseTo(ScreenCenter(::GetDlgItem(m_hWnd, IDC_DISABLED)));
    lastHover = ::GetTickCount();
  }
  DWORD lastHover = 0;

  afx_msg void OnTimer(UINT_PTR id) {
    if (id != kPollTimer) return;
    if (!tipShown && ::IsWindowVisible(m_wndToolTip.m_hWnd) && answers.count(IDC_DISABLED)) {
      tipShown = true;
      shownFor = answers[IDC_DISABLED];
      ::RedrawWindow(m_wndToolTip.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
      tipShot = CaptureWindow(m_wndToolTip.m_hWnd);
      tipShot.SavePng(L"fields-tooltip-disabled.png");
      // The dialog with the tip over it, as the user sees it.
      CRect area, tip;
      GetWindowRect(&area);
      ::GetWindowRect(m_wndToolTip.m_hWnd, &tip);
      area.UnionRect(&area, &tip);
      CropShot(CaptureScreen(), area).SavePng(L"fields-options-tip.png");
    }
    if (tipShown || ::GetTickCount() - startTick > 15000) {
      KillTimer(kPollTimer);
      EndDialog(IDOK);
    }
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(COptionsDlg, COEDialog)
  ON_NOTIFY_EX_RANGE(TTN_NEEDTEXTW, 0, 0xFFFF, OnTip)
  ON_MESSAGE(WM_STEP, OnStep)
  ON_WM_TIMER()
END_MESSAGE_MAP()

TEST(DialogBases, TipsComeFromTheStringTableAlsoForDisabledControls) {
  COptionsDlg dlg;
  ASSERT_EQ(IDOK, dlg.DoModal());

  ASSERT_EQ(6u, dlg.direct.size());
  EXPECT_TRUE(dlg.direct[0].written);
  EXPECT_STREQ(L"Disabled button tip", dlg.direct[0].text);  // the window's id, second part
  EXPECT_FALSE(dlg.direct[1].written);                       // no string: left to others
  EXPECT_TRUE(dlg.direct[2].written);
  EXPECT_STREQ(L"", dlg.direct[2].text);                                // a string without newline: no tip
  EXPECT_STREQ(L"Remove all items (Ctrl+Delete)", dlg.direct[3].text);  // id, not a window
  EXPECT_STREQ(L"First line of a long tip\nSecond line of the tip", dlg.direct[4].text);
  EXPECT_TRUE(dlg.direct[5].written);
  EXPECT_STREQ(L"", dlg.direct[5].text);
  EXPECT_STREQ(L"Disabled button tip", dlg.ansiText);

  // Hovering the disabled button shows its tip.
  EXPECT_TRUE(dlg.tipShown);
  EXPECT_STREQ(L"Disabled button tip", dlg.shownFor);
  ASSERT_FALSE(dlg.tipShot.IsEmpty());
  // The tip window carries text: dark pixels on its light background.
  int dark = 0;
  for (int y = 0; y < dlg.tipShot.m_nHeight; ++y)
    for (int x = 0; x < dlg.tipShot.m_nWidth; ++x) {
      COLORREF c = dlg.tipShot.At(x, y);
      if (GetRValue(c) + GetGValue(c) + GetBValue(c) < 200) ++dark;
    }
  EXPECT_GT(dark, 20);
  // Wide enough for the text, not a collapsed window.
  EXPECT_GT(dlg.tipShot.m_nWidth, 60);
}

// ---------------------------------------------------------------------------
// Frame dialog: menu-bar updates, the recent list's menu, icons.

class CTestFrameDlg : public CFrameDlg {
 public:
  CTestFrameDlg() : CFrameDlg(IDD_FRAME) {}

  CRecentList recent;
  HMENU openedPopup = nullptr;
  UINT popupIndex = 0;
  bool read = false;
  std::map<UINT, UINT> states;       // command id -> menu state
  std::map<UINT, CString> texts;     // command id -> text
  std::vector<CString> recentTexts;  // the Recent popup, top to bottom
  std::vector<UINT> recentIds;
  bool removerUpdated = false, afterUpdatedAfterRemoval = false;
  int menuTries = 0;
  HMENU afterParent = nullptr, menuBar = nullptr;
  HICON bigIcon = nullptr, smallIcon = nullptr, dragIcon = nullptr;
  SIZE smallSize = {0, 0};

 protected:
  BOOL OnInitDialog() override {
    CFrameDlg::OnInitDialog();
    PostMessage(WM_STEP);
    return TRUE;
  }
  afx_msg void OnHandled() {}
  afx_msg void OnExit() {}
  afx_msg void OnUpdateChecked(CCmdUI* pCmdUI) { pCmdUI->SetCheck(1); }
  afx_msg void OnUpdateRemover(CCmdUI* pCmdUI) {
    removerUpdated = true;
    pCmdUI->m_pMenu->DeleteMenu(ID_CMD_REMOVER, MF_BYCOMMAND);
  }
  afx_msg void OnUpdateAfter(CCmdUI* pCmdUI) {
    if (removerUpdated) afterUpdatedAfterRemoval = true;  // in the same pass as the removal
    afterParent = pCmdUI->m_pParentMenu ? pCmdUI->m_pParentMenu->m_hMenu : nullptr;
    pCmdUI->SetText(L"After remover (updated)");
    pCmdUI->Enable(TRUE);
  }
  afx_msg void OnUpdateRecent(CCmdUI* pCmdUI) { recent.UpdateMenu(pCmdUI); }

  afx_msg LRESULT OnStep(WPARAM, LPARAM) {
    ShowWindow(SW_SHOW);
    bigIcon = (HICON)SendMessage(WM_GETICON, ICON_BIG);
    smallIcon = (HICON)SendMessage(WM_GETICON, ICON_SMALL);
    dragIcon = (HICON)SendMessage(WM_QUERYDRAGICON);
    ICONINFO ii = {};
    if (smallIcon && ::GetIconInfo(smallIcon, &ii)) {
      BITMAP bm = {};
      ::GetObjectW(ii.hbmColor ? ii.hbmColor : ii.hbmMask, sizeof(bm), &bm);
      smallSize = SIZE{bm.bmWidth, ii.hbmColor ? bm.bmHeight : bm.bmHeight / 2};
      if (ii.hbmColor) ::DeleteObject(ii.hbmColor);
      if (ii.hbmMask) ::DeleteObject(ii.hbmMask);
    }
    OpenMenu();
    SetTimer(kPollTimer, 1500, nullptr);
    return 0;
  }
  // Opens the popup of the menu bar as the keyboard does.
  void OpenMenu() {
    ++menuTries;
    PostMessage(WM_SYSCOMMAND, SC_KEYMENU, popupIndex == 0 ? 'f' : 'r');
  }
  afx_msg void OnEnterIdle(UINT nWhy, CWnd*) {
    if (nWhy != MSGF_MENU || read) return;
    HMENU bar = ::GetMenu(m_hWnd);
    menuBar = bar;
    HMENU popup = ::GetSubMenu(bar, (int)popupIndex);
    openedPopup = popup;
    for (int i = 0; i < ::GetMenuItemCount(popup); ++i) {
      UINT id = ::GetMenuItemID(popup, i);
      wchar_t text[128] = {0};
      ::GetMenuStringW(popup, (UINT)i, text, 128, MF_BYPOSITION);
      UINT state = ::GetMenuState(popup, (UINT)i, MF_BYPOSITION);
      if (popupIndex == 1) {
        recentTexts.push_back(text);
        recentIds.push_back(id);
      }
      if (id == (UINT)-1) id = 0xFFFF0000u + (UINT)i;  // a submenu item
      states[id] = state;
      texts[id] = text;
    }
    read = true;
    ::EndMenu();
    PostMessage(WM_STEP + 1);
  }
  afx_msg LRESULT OnDone(WPARAM, LPARAM) {
    EndDialog(IDOK);
    return 0;
  }
  // Another program activating a window on the shared screen closes an open
  // menu: open it again, within a bound that only guards against a hang.
  afx_msg void OnTimer(UINT_PTR) {
    if (menuTries < 8)
      OpenMenu();
    else
      EndDialog(IDCANCEL);
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestFrameDlg, CFrameDlg)
  ON_COMMAND(ID_CMD_HANDLED, OnHandled)
  ON_COMMAND(ID_CMD_EXIT, OnExit)
  ON_UPDATE_COMMAND_UI(ID_CMD_CHECKED, OnUpdateChecked)
  ON_UPDATE_COMMAND_UI(ID_CMD_REMOVER, OnUpdateRemover)
  ON_UPDATE_COMMAND_UI(ID_CMD_AFTER, OnUpdateAfter)
  ON_UPDATE_COMMAND_UI(ID_RECENT_FIRST, OnUpdateRecent)
  ON_MESSAGE(WM_STEP, OnStep)
  ON_MESSAGE(WM_STEP + 1, OnDone)
  ON_WM_ENTERIDLE()
  ON_WM_TIMER()
END_MESSAGE_MAP()

bool Grayed(UINT state) { return (state & (MF_GRAYED | MF_DISABLED)) != 0; }

TEST(DialogBases, FrameDialogMenuUpdatesAndIcons) {
  CTestFrameDlg dlg;
  ASSERT_EQ(IDOK, dlg.DoModal());
  ASSERT_TRUE(dlg.read);

  EXPECT_FALSE(Grayed(dlg.states[ID_CMD_HANDLED]));
  EXPECT_TRUE(Grayed(dlg.states[ID_CMD_NOHANDLER]));  // neither command nor update handler
  EXPECT_TRUE(dlg.states[ID_CMD_CHECKED] & MF_CHECKED);
  EXPECT_EQ(0u, dlg.states.count(ID_CMD_REMOVER));  // its handler took it away
  // The item after the removed one was still updated.
  EXPECT_TRUE(dlg.afterUpdatedAfterRemoval);
  EXPECT_STREQ(L"After remover (updated)", dlg.texts[ID_CMD_AFTER]);
  EXPECT_FALSE(Grayed(dlg.states[ID_CMD_AFTER]));
  // A popup of the dialog's own menu bar has the bar as its parent menu.
  ASSERT_NE(nullptr, dlg.afterParent);
  EXPECT_EQ(dlg.menuBar, dlg.afterParent);
  // The "More" submenu item is never disabled for want of a handler.
  bool foundSubmenu = false;
  for (auto& s : dlg.states)
    if (s.first >= 0xFFFF0000u) {
      foundSubmenu = true;
      EXPECT_FALSE(Grayed(s.second));
    }
  EXPECT_TRUE(foundSubmenu);

  EXPECT_NE(nullptr, dlg.bigIcon);
  EXPECT_NE(nullptr, dlg.smallIcon);
  EXPECT_EQ(dlg.bigIcon, dlg.dragIcon);
  EXPECT_EQ(16, dlg.smallSize.cx);
  EXPECT_EQ(16, dlg.smallSize.cy);
}

TEST(DialogBases, WithoutAutoEnableItemsWithoutHandlersStayEnabled) {
  CTestFrameDlg dlg;
  dlg.m_bAutoMenuEnable = FALSE;
  ASSERT_EQ(IDOK, dlg.DoModal());
  ASSERT_TRUE(dlg.read);
  EXPECT_FALSE(Grayed(dlg.states[ID_CMD_NOHANDLER]));
}

TEST(DialogBases, RecentListFillsItsMenu) {
  // An empty list: the placeholder alone, disabled.
  {
    CTestFrameDlg dlg;
    dlg.popupIndex = 1;
    dlg.recent.m_nMaxCount = 5;
    ASSERT_EQ(IDOK, dlg.DoModal());
    ASSERT_TRUE(dlg.read);
    ASSERT_EQ(3u, dlg.recentTexts.size());
    EXPECT_STREQ(L"(no recent files)", dlg.recentTexts[0]);
    EXPECT_TRUE(Grayed(dlg.states[ID_RECENT_FIRST]));
  }
  // Entries in order, with consecutive ids from the placeholder's; file
  // names only when full paths are off; a '&' in a path is shown as itself.
  {
    CTestFrameDlg dlg;
    dlg.popupIndex = 1;
    dlg.recent.m_nMaxCount = 5;
    dlg.recent.m_bShowFullPath = 0;
    dlg.recent.Add(L"C:\\Scans\\R&D\\knee.dcm");
    dlg.recent.Add(L"C:\\Scans\\head.dcm");
    ASSERT_EQ(IDOK, dlg.DoModal());
    ASSERT_TRUE(dlg.read);
    ASSERT_EQ(4u, dlg.recentTexts.size());
    EXPECT_STREQ(L"head.dcm", dlg.recentTexts[0]);
    EXPECT_STREQ(L"knee.dcm", dlg.recentTexts[1]);
    EXPECT_EQ((UINT)ID_RECENT_FIRST, dlg.recentIds[0]);
    EXPECT_EQ((UINT)ID_RECENT_FIRST + 1, dlg.recentIds[1]);
    EXPECT_EQ(0u, dlg.recentIds[2]);  // the separator stays
    EXPECT_FALSE(Grayed(dlg.states[ID_RECENT_FIRST]));
    EXPECT_STREQ(L"C:\\Scans\\R&D\\knee.dcm", dlg.recent.GetAt(1));  // the ids still map to full entries
  }
  {
    CTestFrameDlg dlg;
    dlg.popupIndex = 1;
    dlg.recent.Add(L"C:\\Scans\\R&D\\knee.dcm");
    ASSERT_EQ(IDOK, dlg.DoModal());
    ASSERT_TRUE(dlg.read);
    EXPECT_STREQ(L"C:\\Scans\\R&&D\\knee.dcm", dlg.recentTexts[0]);
  }
}

// A minimised frame dialog shows the program's icon.
class CIconicFrameDlg : public CFrameDlg {
 public:
  CIconicFrameDlg() : CFrameDlg(IDD_FRAME) {}
  bool iconic = false;
  int blue = 0;
  CWindowShot shot;

 protected:
  BOOL OnInitDialog() override {
    CFrameDlg::OnInitDialog();
    PostMessage(WM_STEP);
    return TRUE;
  }
  afx_msg LRESULT OnStep(WPARAM, LPARAM) {
    ShowWindow(SW_MINIMIZE);
    iconic = IsIconic() != FALSE;
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_FRAME);
    shot = CaptureWindow(m_hWnd, false);
    shot.SavePng(L"fields-frame-iconic.png");
    for (int y = 0; y < shot.m_nHeight; ++y)
      for (int x = 0; x < shot.m_nWidth; ++x)
        if (ColorNear(shot.At(x, y), RGB(30, 110, 200), 8)) ++blue;  // the icon's tile
    EndDialog(IDOK);
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CIconicFrameDlg, CFrameDlg)
  ON_MESSAGE(WM_STEP, OnStep)
END_MESSAGE_MAP()

TEST(DialogBases, MinimisedFrameDialogShowsItsIcon) {
  CIconicFrameDlg dlg;
  ASSERT_EQ(IDOK, dlg.DoModal());
  ASSERT_TRUE(dlg.iconic);
  EXPECT_GT(dlg.blue, 50);  // the clock's blue tile is on screen
}

}  // namespace
