// The items of a drawn bar and the list that owns them: hit testing, hot and
// pressed items, command update and the mouse relay that hot-tracks them.
#pragma once
#include "afxwin.h"

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
  CBarItem* m_pPressed = nullptr;
  CPtrArray m_items;              // owned
  BOOL m_bMouseTracking = FALSE;  // TrackMouseEvent asked for WM_MOUSELEAVE
};
