#include "foundation/ui/ReportListCtrl.h"

#include "foundation/ui/BufferedDC.h"
#include "foundation/ui/UIResources.h"
#include "resources/common/componentsres.h"

IMPLEMENT_DYNAMIC(CReportListCtrl, CListCtrlEx)

BEGIN_MESSAGE_MAP(CReportListCtrl, CListCtrlEx)
  ON_NOTIFY_REFLECT(NM_CUSTOMDRAW, OnCustomDraw)
END_MESSAGE_MAP()

namespace {
const COLORREF kSelection = RGB(0, 160, 255);
const COLORREF kEvenRow = RGB(0xF8, 0xF8, 0xF8);
const COLORREF kSelectedText = RGB(255, 255, 255);
const UINT kTextFormat = DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;
}  // namespace

CReportListCtrl::CReportListCtrl() {}

CReportListCtrl::~CReportListCtrl() {
  m_imlHeader.DeleteImageList();
  if (m_wndHeader.m_hWnd) m_wndHeader.UnsubclassWindow();
}

void CReportListCtrl::PreSubclassWindow() {
  if (!m_imlHeader.GetSafeHandle() && m_imlHeader.Create(4, 24, ILC_MASK | ILC_COLOR24, 0, 2)) {
    CBitmap strip;
    if (strip.LoadBitmap(IDB_FLATHEADER)) m_imlHeader.Add(&strip, RGB(255, 0, 255));
  }
  HWND header = (HWND)::SendMessageW(m_hWnd, LVM_GETHEADER, 0, 0);
  if (header && !m_wndHeader.m_hWnd && m_wndHeader.SubclassWindow(header)) {
    m_wndHeader.m_nHeight = 24;
    m_wndHeader.m_pBackImages = &m_imlHeader;
    RelayoutHeader();
  }
  CListCtrlEx::PreSubclassWindow();
}

void CReportListCtrl::RelayoutHeader() {
  // The list lays out its header when its size changes: change it and back.
  CRect r;
  ::GetWindowRect(m_hWnd, &r);
  const UINT flags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
  ::SetWindowPos(m_hWnd, nullptr, 0, 0, r.Width() + 1, r.Height(), flags);
  ::SetWindowPos(m_hWnd, nullptr, 0, 0, r.Width(), r.Height(), flags);
  // Its picture is aligned to its bottom: all of it changes with the height.
  if (m_wndHeader.m_hWnd) m_wndHeader.Invalidate();
}

void CReportListCtrl::OnCustomDraw(NMHDR* pNMHDR, LRESULT* pResult) {
  NMLVCUSTOMDRAW* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(pNMHDR);
  switch (cd->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      *pResult = CDRF_NOTIFYITEMDRAW;
      break;
    case CDDS_PREERASE:
      *pResult = CDRF_SKIPDEFAULT;
      break;
    case CDDS_ITEMPREPAINT: {
      *pResult = CDRF_SKIPDEFAULT;
      const int item = (int)cd->nmcd.dwItemSpec;
      CRect r;
      if (!GetItemRect(item, &r, LVIR_BOUNDS)) break;
      const UINT state = GetItemState(item, LVIS_FOCUSED | LVIS_SELECTED);
      CDC* pDC = CDC::FromHandle(cd->nmcd.hdc);
      CBufferedDC buffer(pDC, &r);
      DrawItem(&buffer, item, &r, state);
      break;
    }
    default:
      break;
  }
}

void CReportListCtrl::DrawItem(CDC* pDC, int nItem, LPCRECT lpRect, UINT nState) {
  const CRect row(lpRect);
  const BOOL selected = (nState & LVIS_SELECTED) != 0;
  if (selected) {
    pDC->FillSolidRect(&row, kSelection);
    CBrush frame(kSelection);
    pDC->FrameRect(&row, &frame);
  } else {
    pDC->FillSolidRect(&row, (nItem % 2) ? GetBkColor() : kEvenRow);
  }
  int oldMode = pDC->SetBkMode(TRANSPARENT);
  CFont* oldFont = pDC->SelectObject(GetSharedFont(CUIResources::FontNormal));
  COLORREF oldText = pDC->GetTextColor(), oldBack = pDC->GetBkColor();
  // The first three columns, in the order the header shows them.
  CHeaderCtrl* header = GetHeaderCtrl();
  const int columns = header ? header->GetItemCount() : 0;
  int x = row.left;
  for (int order = 0; order < 3 && order < columns; ++order) {
    const int column = header->OrderToIndex(order);
    const int width = GetColumnWidth(column);
    CRect cell(x, row.top, x + width, row.bottom);
    DrawSubItem(pDC, nItem, column, &cell, selected);
    x = cell.right;
  }
  pDC->SetTextColor(oldText);
  pDC->SetBkColor(oldBack);
  pDC->SelectObject(oldFont);
  pDC->SetBkMode(oldMode);
}

void CReportListCtrl::DrawSubItem(CDC* pDC, int nItem, int nColumn, LPCRECT lpCell, BOOL bSelected) {
  const CRect cell(lpCell);
  if (cell.Width() < 9) return;
  COLORREF old = pDC->SetTextColor(bSelected ? kSelectedText : GetTextColor());
  CString text = GetItemText(nItem, nColumn);
  CRect r = cell;
  r.DeflateRect(4, 4);
  if (nColumn == 0) {
    r.left += 28;
    if (!text.IsEmpty()) pDC->DrawText(text, &r, kTextFormat);
    const int image = GetItemImage(nItem, 0);
    CImageList* images = GetImageList(LVSIL_SMALL);
    if (image >= 0 && images) {
      const CPoint at(cell.left + 4, cell.top + (cell.Height() - 24) / 2);
      if (cell.Width() > 31) {
        images->Draw(pDC, image, at, ILD_TRANSPARENT);
      } else {
        // A narrow column shows the picture cut at its edge.
        IMAGELISTDRAWPARAMS p = {};
        p.himl = images->GetSafeHandle();
        p.i = image;
        p.hdcDst = pDC->GetSafeHdc();
        p.x = at.x;
        p.y = at.y;
        p.cx = cell.Width() - 8;
        p.cy = 24;
        p.rgbBk = CLR_DEFAULT;
        p.rgbFg = CLR_DEFAULT;
        p.fStyle = ILD_TRANSPARENT;
        p.dwRop = SRCCOPY;
        images->DrawIndirect(&p);
      }
    }
  } else if (!text.IsEmpty()) {
    pDC->DrawText(text, &r, kTextFormat);
  }
  pDC->SetTextColor(old);
}
