// A frame's menu drawn as a control bar: one text item per top-level menu
// entry, hot-tracked by the mouse, opened by a click, Alt, Alt+letter or the
// arrow keys; the popups are shown with TrackPopupMenuEx and a message hook
// moves between them.
#pragma once
#include "viewer/BarItems.h"
#include "viewer/FixedControlBar.h"
#include "afxwin.h"

// Posted by the bar to itself: wParam = item index, lParam low word non-zero
// when opened from the keyboard (the popup opens with its first item selected).
#define WM_MENUBAR_POPUP (WM_USER + 100)

class CMenuBar : public CFixedControlBar {
  DECLARE_DYNAMIC(CMenuBar)
 public:
  CMenuBar();
  ~CMenuBar() override;

  // One item per top-level entry of hMenu, left to right; the bar keeps (and later destroys) the menu.
  BOOL LoadMenu(HMENU hMenu);
  HMENU GetMenu() const { return m_hMenu; }
  int GetItemCount() const { return m_items.GetCount(); }
  CMenuBarItem* GetItem(int i) const { return static_cast<CMenuBarItem*>(m_items.GetAt(i)); }
  // The item whose mnemonic is ch (any case), or -1.
  int FindMnemonic(UINT ch) const;
  int GetHotIndex() const { return m_items.IndexOf(m_items.m_pHot); }
  BOOL IsInMenuMode() const { return m_bMenuMode; }
  BOOL IsTrackingPopup() const { return m_bTracking; }
  HMENU GetTrackedPopup() const { return m_hTrackedPopup; }

  // Menu mode: the bar has the focus and the capture, the item at nIndex is hot.
  void EnterMenuMode(int nIndex);
  void LeaveMenuMode();

  // What the frame reports from the popup's loop.
  void OnFrameMenuSelect(UINT nItemID, UINT nFlags, HMENU hMenu);
  void OnFrameInitMenuPopup(HMENU hPopup, UINT nIndex, BOOL bSysMenu);
  void OnFrameUninitMenuPopup(HMENU hPopup);
  // Alt alone (SC_KEYMENU with no character): TRUE when the bar took it.
  BOOL OnFrameKeyMenu();
  // Alt+letter: TRUE when an item has that mnemonic (its popup is then posted).
  BOOL OnFrameMenuChar(UINT nChar);

  BOOL PreTranslateMessage(MSG* pMsg) override;
  void OnUpdateCmdUI(CCmdTarget* pTarget, BOOL bDisableIfNoHndler) override;
  void BeginModalState() override;
  void EndModalState() override;

 protected:
  virtual void LayoutItems(CDC* pDC);
  virtual void DrawBackground(CDC* pDC);
  virtual COLORREF GetBackgroundColor() const { return ::GetSysColor(COLOR_BTNFACE); }
  CFrameWnd* GetFrame() const;
  // The popup of the current index and the ones Left/Right/the mouse open after it.
  void TrackPopups();
  // Closes the open popup so the loop goes on with nIndex.
  void SwitchPopup(int nIndex, BOOL bKeyboard);
  void CancelPopup();
  static LRESULT CALLBACK MenuHook(int nCode, WPARAM wParam, LPARAM lParam);
  BOOL OnHookMessage(MSG* pMsg);
  // In menu mode, a press outside the bar ends the mode and is passed on to
  // the window under it (client or non-client message); FALSE when the press
  // is for the bar itself.
  BOOL ForwardOutsidePress(UINT nFlags, CPoint point, UINT nClientMsg, UINT nNonClientMsg);

  CBarItemList m_items;
  HMENU m_hMenu = nullptr;
  BAR_ITEM_COLORS m_colors;
  CPoint m_ptLast = CPoint(-1, -1);
  HWND m_hWndOldFocus = nullptr;
  HMENU m_hTrackedPopup = nullptr;
  int m_nCurrent = -1;
  BOOL m_bMenuMode = FALSE;
  BOOL m_bTracking = FALSE;
  BOOL m_bTopLevel = FALSE;  // the popup selection is in the first-level popup
  BOOL m_bSubmenu = FALSE;   // the selected popup item opens a submenu
  BOOL m_bStay = FALSE;      // stay in menu mode after the popup closes
  BOOL m_bOpenNext = FALSE;  // open the popup of the current index
  BOOL m_bKeyboardSelect = FALSE;
  BOOL m_bLayoutNeeded = TRUE;
  int m_nSubmenuDepth = 0;  // submenus open below the tracked popup
  CRect m_rcTracked;        // screen rectangle of the tracked popup's item

  afx_msg void OnPaint();
  afx_msg BOOL OnEraseBkgnd(CDC* pDC);
  afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
  afx_msg void OnRButtonDown(UINT nFlags, CPoint point);
  afx_msg void OnMouseMove(UINT nFlags, CPoint point);
  afx_msg void OnMouseLeave();
  afx_msg void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
  afx_msg void OnSysKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
  afx_msg void OnKillFocus(CWnd* pNewWnd);
  afx_msg UINT OnGetDlgCode();
  afx_msg void OnSize(UINT nType, int cx, int cy);
  afx_msg LRESULT OnMenuBarPopup(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()
};

// The main frame's bar in the viewer's dark colours.
class CFrameMenuBar : public CMenuBar {
  DECLARE_DYNAMIC(CFrameMenuBar)
 public:
  CFrameMenuBar();

 protected:
  COLORREF GetBackgroundColor() const override { return RGB(0x30, 0x30, 0x30); }
};
