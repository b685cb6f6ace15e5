#include "viewer/BarItems.h"

void CBarItem::SetRect(int left, int top, int right, int bottom, BOOL bRedraw) {
  if (bRedraw) Invalidate(FALSE);
  m_rect.SetRect(left, top, right, bottom);
  if (bRedraw) Invalidate(FALSE);
}

void CBarItem::ModifyState(UINT remove, UINT add, BOOL bRedraw) {
  UINT next = (m_nState & ~remove) | add;
  if (next == m_nState) return;
  m_nState = next;
  if (bRedraw) Invalidate(FALSE);
}

void CBarItem::Invalidate(BOOL bUpdate) {
  CWnd* owner = m_pList ? m_pList->m_pOwner : nullptr;
  if (!owner || !owner->m_hWnd) return;
  ::InvalidateRect(owner->m_hWnd, &m_rect, FALSE);
  if (bUpdate) ::UpdateWindow(owner->m_hWnd);
}

void CBarItem::OnMouseMessage(const MSG* pMsg) {
  if (pMsg->message != WM_MOUSEMOVE || !m_pList) return;
  const int x = (short)LOWORD(pMsg->lParam), y = (short)HIWORD(pMsg->lParam);
  if (HitTest(x, y)) {
    if (m_pList->m_pHot != this) m_pList->SetHot(this);
  } else {
    if (m_pList->m_pPressed == this) m_pList->SetPressed(nullptr);
    if (m_pList->m_pHot == this) m_pList->SetHot(nullptr);
  }
}

void CBarItem::Draw(CDC* pDC, const BAR_ITEM_COLORS& colors, BOOL bHotBackground) {
  if (IsHidden()) return;
  DrawBackground(pDC, colors, bHotBackground);
  DrawText(pDC, colors, bHotBackground);
}

void CBarItem::DrawBackground(CDC* pDC, const BAR_ITEM_COLORS& colors, BOOL bHot) {
  if (bHot) pDC->FillSolidRect(&m_rect, colors.hotBackground);
}

CMenuBarItem::CMenuBarItem(CBarItemList* pList, LPCTSTR caption) : CBarItem(pList), m_strCaption(caption) {
  // The character after the first '&' (when one follows), else the first character.
  int amp = m_strCaption.Find(L'&');
  wchar_t ch = 0;
  if (amp >= 0 && amp + 1 < m_strCaption.GetLength())
    ch = m_strCaption[amp + 1];
  else if (!m_strCaption.IsEmpty())
    ch = m_strCaption[0];
  m_chMnemonic = (wchar_t)(UINT_PTR)::CharUpperW((LPWSTR)(UINT_PTR)ch);
}

void CMenuBarItem::DrawText(CDC* pDC, const BAR_ITEM_COLORS& colors, BOOL bHot) {
  if (m_strCaption.IsEmpty()) return;
  pDC->SetTextColor(bHot ? colors.hotText : colors.text);
  pDC->SetBkMode(TRANSPARENT);
  CRect r = m_rect;
  pDC->DrawText(m_strCaption, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
}

int CBarItemList::Add(CBarItem* pItem) {
  pItem->m_pList = this;
  return (int)m_items.Add(pItem);
}

void CBarItemList::RemoveAll() {
  for (INT_PTR i = 0; i < m_items.GetSize(); ++i) delete static_cast<CBarItem*>(m_items[i]);
  m_items.RemoveAll();
  m_pHot = m_pPressed = nullptr;
}

CBarItem* CBarItemList::GetAt(int i) const {
  return i >= 0 && i < GetCount() ? static_cast<CBarItem*>(m_items[i]) : nullptr;
}

int CBarItemList::IndexOf(const CBarItem* pItem) const {
  for (int i = 0; i < GetCount(); ++i)
    if (m_items[i] == pItem) return i;
  return -1;
}

int CBarItemList::HitTest(int x, int y) const {
  for (int i = 0; i < GetCount(); ++i)
    if (GetAt(i)->HitTest(x, y)) return i;
  return -1;
}

void CBarItemList::ModifyItemState(int i, UINT remove, UINT add, BOOL bRedraw) {
  if (CBarItem* item = GetAt(i)) item->ModifyState(remove, add, bRedraw);
}

void CBarItemList::UpdateCommandUI(CCmdTarget* pTarget, BOOL bDisableIfNoHndler) {
  if (!pTarget) return;
  // Items with a command follow its enabled state.
  class CItemCmdUI : public CCmdUI {
   public:
    CBarItem* m_pItem = nullptr;
    void Enable(BOOL bOn) override {
      m_pItem->Enable(bOn);
      m_bEnableChanged = TRUE;
    }
    void SetCheck(int) override {}
    void SetText(LPCTSTR) override {}
  } state;
  for (int i = 0; i < GetCount(); ++i) {
    CBarItem* item = GetAt(i);
    if (!item->GetID()) continue;
    state.m_pItem = item;
    state.m_nID = item->GetID();
    state.m_nIndex = (UINT)i;
    state.DoUpdate(pTarget, bDisableIfNoHndler);
  }
  if (m_pOwner && m_pOwner->m_hWnd) m_pOwner->UpdateDialogControls(pTarget, bDisableIfNoHndler);
}

void CBarItemList::RelayEvent(const MSG* pMsg) {
  if (!IsTrackingEnabled()) return;
  switch (pMsg->message) {
    case WM_KILLFOCUS:
    case WM_CANCELMODE:
      m_bMouseTracking = FALSE;
      SetPressed(nullptr);
      return;
    case WM_MOUSEMOVE:
      if (!m_bMouseTracking && m_pOwner && m_pOwner->m_hWnd) {
        TRACKMOUSEEVENT tme = {sizeof(tme), TME_LEAVE, m_pOwner->m_hWnd, 0};
        m_bMouseTracking = ::TrackMouseEvent(&tme);
      }
      break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      m_bMouseTracking = FALSE;
      SetHot(nullptr);
      break;
    case WM_MOUSELEAVE:
      m_bMouseTracking = FALSE;
      SetPressed(nullptr);
      return;
  }
  for (int i = 0; i < GetCount(); ++i) {
    CBarItem* item = GetAt(i);
    if (!item->IsDisabled() && !item->IsHidden()) item->OnMouseMessage(pMsg);
  }
}

void CBarItemList::OnIdle() {
  for (int i = 0; i < GetCount(); ++i)
    if (!GetAt(i)->IsDisabled()) GetAt(i)->OnIdle();
}

void CBarItemList::Draw(CDC* pDC, const BAR_ITEM_COLORS& colors) {
  for (int i = 0; i < GetCount(); ++i) GetAt(i)->Draw(pDC, colors, IsHot(GetAt(i)));
}

void CBarItemList::SetHot(CBarItem* pItem) {
  if (pItem == m_pHot) return;
  CBarItem* old = m_pHot;
  m_pHot = pItem;
  if (old) old->Invalidate(FALSE);
  if (pItem) pItem->Invalidate(FALSE);
}

void CBarItemList::SetPressed(CBarItem* pItem) {
  CBarItem* olds[2] = {m_pHot, m_pPressed};
  m_pHot = m_pPressed = pItem;
  for (int i = 0; i < 2; ++i) {
    BOOL seen = olds[i] == pItem;
    for (int j = 0; j < i; ++j) seen = seen || olds[j] == olds[i];
    if (olds[i] && !seen) olds[i]->Invalidate(FALSE);
  }
  if (pItem) pItem->Invalidate(FALSE);
}
