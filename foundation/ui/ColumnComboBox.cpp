#include "foundation/ui/ColumnComboBox.h"

#include "foundation/ui/UIResources.h"

IMPLEMENT_DYNAMIC(CColumnComboBox, CComboBox)

namespace {
const COLORREF kGrey = RGB(0x80, 0x80, 0x80);
const COLORREF kSeparator = RGB(0xD8, 0xE0, 0xE8);  // 0xE8E0D8
}  // namespace

CColumnComboBox::CColumnComboBox()
    : m_nColumnWidth(64),
      m_crColumn(::GetSysColor(COLOR_BTNSHADOW)),
      m_bRightAlignColumn(FALSE),
      m_bHideColumnInEdit(FALSE) {}

CColumnComboBox::~CColumnComboBox() { m_arrSeparators.RemoveAll(); }

BOOL CColumnComboBox::IsSeparatorAfter(UINT nIndex) const {
  for (INT_PTR i = 0; i < m_arrSeparators.GetSize(); ++i)
    if (m_arrSeparators[i] == nIndex) return TRUE;
  return FALSE;
}

void CColumnComboBox::SplitText(const CString& text, CString& label, CString& column) {
  int at = text.Find(L'\t'), skip = 1;
  if (at < 0) {
    at = text.Find(L"\\t");
    skip = 2;
  }
  if (at < 0) {
    label = text;
    column.Empty();
  } else {
    label = text.Left(at);
    column = text.Mid(at + skip);
  }
}

void CColumnComboBox::DrawItem(LPDRAWITEMSTRUCT dis) {
  CDC* pDC = CDC::FromHandle(dis->hDC);
  const CRect item(dis->rcItem);
  if ((int)dis->itemID >= 0 && (dis->itemAction & (ODA_DRAWENTIRE | ODA_SELECT))) {
    const BOOL disabled = !IsWindowEnabled();
    const BOOL selected = (dis->itemState & ODS_SELECTED) != 0;
    const BOOL inEdit = (dis->itemState & ODS_COMBOBOXEDIT) != 0;
    COLORREF oldText = pDC->SetTextColor(disabled ? kGrey : ::GetSysColor(COLOR_WINDOWTEXT));
    COLORREF oldBack = pDC->SetBkColor(::GetSysColor(COLOR_WINDOW));
    if (disabled) {
      pDC->SetTextColor(::GetSysColor(COLOR_BTNSHADOW));
      pDC->SetBkColor(::GetSysColor(COLOR_HIGHLIGHT));
    } else if (selected) {
      pDC->SetTextColor(::GetSysColor(COLOR_HIGHLIGHTTEXT));
      pDC->SetBkColor(::GetSysColor(COLOR_HIGHLIGHT));
    }
    CString text, label, column;
    GetLBText((int)dis->itemID, text);
    SplitText(text, label, column);

    COLORREF fill;
    if (disabled)
      fill = ::GetSysColor(IsSharedThemed() ? COLOR_WINDOW : COLOR_BTNFACE);
    else
      fill = ::GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW);
    pDC->FillSolidRect(&item, fill);
    if (IsSeparatorAfter(dis->itemID) && !inEdit)
      pDC->FillSolidRect(item.left, item.bottom - 1, item.Width(), 1, kSeparator);

    CRect work = item;
    work.DeflateRect(3, 0);
    int oldMode = pDC->SetBkMode(TRANSPARENT);
    if (!label.IsEmpty()) {
      CRect r = work;
      if (!column.IsEmpty()) r.right = work.right - m_nColumnWidth - 8;
      pDC->DrawText(label, &r, DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    if (!column.IsEmpty() && !(inEdit && m_bHideColumnInEdit)) {
      CRect r(work.right - m_nColumnWidth, work.top, work.right, work.bottom);
      if (m_bRightAlignColumn) r.right -= 4;
      if (disabled)
        pDC->SetTextColor(kGrey);
      else if (!selected)
        pDC->SetTextColor(m_crColumn);
      pDC->DrawText(column, &r, DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | (m_bRightAlignColumn ? DT_RIGHT : 0));
    }
    pDC->SetBkMode(oldMode);
    pDC->SetTextColor(oldText);
    pDC->SetBkColor(oldBack);
  }
  if ((dis->itemAction & ODA_FOCUS) || (dis->itemState & ODS_FOCUS)) pDC->DrawFocusRect(&item);
}
