// A frame's menu drawn as a control bar: one text item per top-level menu
// entry, hot-tracked by the mouse, opened by a click, Alt, Alt+letter or the
// arrow keys; the popups are shown with TrackPopupMenuEx and a message hook
// moves between them.
#pragma once
#include "afxwin.h"

// Posted by the bar to itself: wParam = item index, lParam low word non-zero
// when opened from the keyboard (the popup opens with its first item selected).
#define WM_MENUBAR_POPUP (WM_USER + 100)

// A bar of fixed height (or width) along one side of its frame.
class CFixedControlBar : public CControlBar {
  DECLARE_DYNAMIC(CFixedControlBar)
 public:
  // Keeps the control-bar bits of style and the rectangle's size, then creates the window.
  virtual BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
  CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) override;
  void OnUpdateCmdUI(CCmdTarget* pTarget, BOOL bDisableIfNoHndler) override;

 protected:
  int m_cxFixed = 0;
  int m_cyFixed = 0;
};

class CBarItemList;

// Colours an item draws with.
struct BAR_ITEM_COLORS {
  COLORREF text;
  COLORREF hotText;
  COLORREF hotBackground;
};

class CBarItem {
 public:
  enum { stateDisabled = 0x10, stateHidden = 0x20 };
  explicit CBarItem(CBarItemList* pList = nullptr) : m_pList(pList) {}
  virtual ~CBarItem() {}
  virtual UINT GetID() const { return 0; }
  virtual CRect GetRect() const { return m_rect; }
  virtual BOOL IsDisabled() const { return (m_nState & stateDisabled) != 0; }
  virtual BOOL IsHidden() const { return (m_nState & stateHidden) != 0; }
  virtual void SetRect(int left, int top, int right, int bottom, BOOL bRedraw);
  virtual BOOL HitTest(int x, int y) const { return m_rect.PtInRect(CPoint(x, y)); }
  virtual void ModifyState(UINT remove, UINT add, BOOL bRedraw);
  virtual void SetHidden(BOOL bHidden) { ModifyState(stateHidden, bHidden ? stateHidden : 0, TRUE); }
  virtual void Enable(BOOL bEnable) { ModifyState(stateDisabled, bEnable ? 0 : stateDisabled, TRUE); }
  virtual void Invalidate(BOOL bUpdate);
  // A mouse message from the list's relay: WM_MOUSEMOVE makes the item under the point hot.
  virtual void OnMouseMessage(const MSG* pMsg);
  virtual void OnIdle() {}
  virtual void Draw(CDC* pDC, const BAR_ITEM_COLORS& colors, BOOL bHotBackground);
  virtual void DrawBackground(CDC* pDC, const BAR_ITEM_COLORS& colors, BOOL bHot);
  virtual void DrawText(CDC* pDC, const BAR_ITEM_COLORS& colors, BOOL bHot) {}

  CBarItemList* m_pList;
  CRect m_rect;
  UINT m_nState = 0;
};

class CMenuBarItem : public CBarItem {
 public:
  CMenuBarItem(CBarItemList* pList, LPCTSTR caption);
  void DrawText(CDC* pDC, const BAR_ITEM_COLORS& colors, BOOL bHot) override;

  CString m_strCaption;
  wchar_t m_chMnemonic = 0;  // upper case
};

class CBarItemList {
 public:
  CBarItemList() {}
  virtual ~CBarItemList() { RemoveAll(); }
  virtual int Add(CBarItem* pItem);
  virtual void RemoveAll();
  virtual CBarItem* GetAt(int i) const;
  virtual int IndexOf(const CBarItem* pItem) const;
  virtual int HitTest(int x, int y) const;
  virtual void ModifyItemState(int i, UINT remove, UINT add, BOOL bRedraw);
  // Command update of items with a command id, then of the owner's own controls.
  virtual void UpdateCommandUI(CCmdTarget* pTarget, BOOL bDisableIfNoHndler);
  virtual BOOL IsTrackingEnabled() const { return TRUE; }
  // Hot tracking outside menu mode, for every message reaching the bar.
  virtual void RelayEvent(const MSG* pMsg);
  virtual void OnIdle();
  virtual void Draw(CDC* pDC, const BAR_ITEM_COLORS& colors);
  int GetCount() const { return (int)m_items.GetSize(); }
  void SetHot(CBarItem* pItem);
  void SetPressed(CBarItem* pItem);
  BOOL IsHot(const CBarItem* pItem) const { return pItem && (pItem == m_pHot || pItem == m_pPressed); }

  CWnd* m_pOwner = nullptr;
  CBarItem* m_pHot = nullptr;
  CBarItem* m_pLastPressed = nullptr;
  CBarItem* m_pPressed = nullptr;
  CPtrArray m_items;  // owned
  BOOL m_bMouseTracking = FALSE;  // TrackMouseEvent asked for WM_MOUSELEAVE
};

class CMenuBar : public CFixedControlBar {
  DECLARE_DYNAMIC(CMenuBar)
 public:
  CMenuBar();
  ~CMenuBar() override;

  // One item per top-level entry of hMenu; the bar keeps (and later destroys) the menu.
  BOOL LoadMenu(HMENU hMenu, int nDirection = 0);
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
  CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) override;
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
  int m_nBottomMargin = 0;
  HMENU m_hMenu = nullptr;
  int m_nDirection = 0;
  BAR_ITEM_COLORS m_colors;
  CPoint m_ptLast = CPoint(-1, -1);
  HWND m_hWndOldFocus = nullptr;
  HMENU m_hTrackedPopup = nullptr;
  int m_nCurrent = -1;
  BOOL m_bMenuMode = FALSE;
  BOOL m_bTracking = FALSE;
  BOOL m_bTopLevel = FALSE;    // the popup selection is in the first-level popup
  BOOL m_bSubmenu = FALSE;     // the selected popup item opens a submenu
  BOOL m_bStay = FALSE;        // stay in menu mode after the popup closes
  BOOL m_bOpenNext = FALSE;    // open the popup of the current index
  BOOL m_bKeyboardSelect = FALSE;
  BOOL m_bLayoutNeeded = TRUE;
  int m_nSubmenuDepth = 0;     // submenus open below the tracked popup
  CRect m_rcTracked;           // screen rectangle of the tracked popup's item

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
  void DrawBackground(CDC* pDC) override;
  COLORREF GetBackgroundColor() const override { return RGB(0x30, 0x30, 0x30); }
};
