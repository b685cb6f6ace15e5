#include "foundation/ui/ExtendedControls.h"

#include <algorithm>

#include "foundation/ui/BufferedDC.h"

IMPLEMENT_DYNAMIC(CTabCtrlEx, CTabCtrl)
IMPLEMENT_DYNAMIC(CListCtrlEx, CListCtrl)
IMPLEMENT_DYNAMIC(CFixedHeaderCtrl, CHeaderCtrl)
IMPLEMENT_DYNAMIC(CFlatHeaderCtrl, CFixedHeaderCtrl)

// ---------------------------------------------------------------------------
// Tab control.

BEGIN_MESSAGE_MAP(CTabCtrlEx, CTabCtrl)
END_MESSAGE_MAP()

CString CTabCtrlEx::GetItemText(int nIndex) const {
  WCHAR buffer[1024] = {0};
  TCITEMW item = {};
  item.mask = TCIF_TEXT;
  item.pszText = buffer;
  item.cchTextMax = 1023;
  if (!GetItem(nIndex, &item)) return CString();
  return CString(item.pszText ? item.pszText : L"");
}

int CTabCtrlEx::GetItemImage(int nIndex) const {
  TCITEMW item = {};
  item.mask = TCIF_IMAGE;
  return GetItem(nIndex, &item) ? item.iImage : -1;
}

// ---------------------------------------------------------------------------
// List control.

BEGIN_MESSAGE_MAP(CListCtrlEx, CListCtrl)
END_MESSAGE_MAP()

int CListCtrlEx::InsertColumn(int nCol, LPCTSTR lpszText, int nImage, int nFormat, int nWidth, int nSubItem) {
  LVCOLUMNW col = {};
  if (lpszText) {
    col.mask |= LVCF_TEXT;
    col.pszText = const_cast<LPWSTR>(lpszText);
    col.cchTextMax = lstrlenW(lpszText);
  }
  if (nImage != -1) {
    col.mask |= LVCF_IMAGE;
    col.iImage = nImage;
  }
  if (nFormat != -1) {
    col.mask |= LVCF_FMT;
    col.fmt = nFormat;
  }
  if (nWidth != -1) {
    col.mask |= LVCF_WIDTH;
    col.cx = nWidth;
  }
  if (nSubItem != -1) {
    col.mask |= LVCF_SUBITEM;
    col.iSubItem = nSubItem;
  }
  return CListCtrl::InsertColumn(nCol, &col);
}

void CListCtrlEx::SelectAllItems(BOOL bSelect) {
  const int count = GetItemCount();
  for (int i = 0; i < count; ++i) {
    if (bSelect)
      SetItemState(i, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    else
      SetItemState(i, 0, LVIS_SELECTED);
  }
}

void CListCtrlEx::SetAllItemStates(BOOL bCheck) {
  const int count = GetItemCount();
  for (int i = 0; i < count; ++i) SetCheck(i, bCheck);
}

BOOL CListCtrlEx::SetItemImage(int nItem, int nSubItem, int nImage) {
  LVITEMW item = {};
  item.mask = LVIF_IMAGE;
  item.iItem = nItem;
  item.iSubItem = nSubItem;
  item.iImage = nImage;
  return SetItem(&item);
}

int CListCtrlEx::GetItemImage(int nItem, int nSubItem) const {
  LVITEMW item = {};
  item.mask = LVIF_IMAGE;
  item.iItem = nItem;
  item.iSubItem = nSubItem;
  return GetItem(&item) ? item.iImage : -1;
}

// ---------------------------------------------------------------------------
// Headers.

BEGIN_MESSAGE_MAP(CFixedHeaderCtrl, CHeaderCtrl)
  ON_MESSAGE(HDM_LAYOUT, OnLayout)
END_MESSAGE_MAP()

LRESULT CFixedHeaderCtrl::OnLayout(WPARAM, LPARAM lParam) {
  LRESULT result = Default();
  HDLAYOUT* layout = reinterpret_cast<HDLAYOUT*>(lParam);
  if (m_nHeight > 0 && layout && layout->pwpos && layout->prc) {
    layout->pwpos->cy = m_nHeight;
    layout->prc->top = m_nHeight;
  }
  return result;
}

BEGIN_MESSAGE_MAP(CFlatHeaderCtrl, CFixedHeaderCtrl)
  ON_WM_PAINT()
  ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CFlatHeaderCtrl::CFlatHeaderCtrl()
    : m_bNoItems(FALSE), m_bNoSeparators(FALSE), m_crText(::GetSysColor(COLOR_BTNSHADOW)), m_pBackImages(nullptr) {}

BOOL CFlatHeaderCtrl::OnEraseBkgnd(CDC*) { return TRUE; }

void CFlatHeaderCtrl::OnPaint() {
  // Without its images the header paints itself the usual way rather than
  // leaving whatever the off-screen bitmap held.
  if (!m_pBackImages || !m_pBackImages->GetSafeHandle()) {
    Default();
    return;
  }
  CPaintDC dc(this);
  CBufferedDC buffer(&dc, nullptr);
  DrawBackground(&buffer);
}

namespace {
// Draws part of one image of the list (srcX, srcY inside the image) at (x, y).
void DrawImagePart(CImageList* images, int image, CDC* pDC, int x, int y, int cx, int cy, int srcX, int srcY) {
  IMAGELISTDRAWPARAMS p = {};
  p.himl = images->GetSafeHandle();
  p.i = image;
  p.hdcDst = pDC->GetSafeHdc();
  p.x = x;
  p.y = y;
  p.cx = cx;
  p.cy = cy;
  p.xBitmap = srcX;
  p.yBitmap = srcY;
  p.rgbBk = CLR_DEFAULT;
  p.rgbFg = CLR_DEFAULT;
  p.fStyle = ILD_NORMAL;
  p.dwRop = SRCCOPY;
  images->DrawIndirect(&p);
}
}  // namespace

void CFlatHeaderCtrl::DrawBackground(CDC* pDC) {
  if (!m_pBackImages || !m_pBackImages->GetSafeHandle()) return;
  CRect client;
  GetClientRect(&client);
  const int h = client.Height();
  // The 24-px images are aligned to the bottom of the header.
  for (int x = client.left; x < client.right; x += 4)
    DrawImagePart(m_pBackImages, 0, pDC, x, 0, std::min(4, (int)(client.right - x)), h, 0, 24 - h);
  COLORREF oldColor = pDC->SetTextColor(m_crText);
  const int count = GetItemCount();
  for (int i = 0; i < count; ++i) {
    CRect r;
    GetItemRect(i, &r);
    DrawItem(i, pDC, &r);
  }
  pDC->SetTextColor(oldColor);
  if (!m_bNoSeparators) {
    for (int i = 0; i < count; ++i) {
      CRect r;
      GetItemRect(i, &r);
      DrawImagePart(m_pBackImages, 1, pDC, r.right, r.top, 1, r.Height(), 1, 24 - r.Height());
    }
  }
}

void CFlatHeaderCtrl::DrawItem(int nIndex, CDC* pDC, LPCRECT lpRect) {
  if (m_bNoItems) return;
  WCHAR text[1024] = {0};
  HDITEMW item = {};
  item.mask = HDI_TEXT | HDI_FORMAT | HDI_IMAGE;
  item.pszText = text;
  item.cchTextMax = 1023;
  if (!GetItem(nIndex, &item)) return;
  CRect r(lpRect);
  r.left += 6;
  r.right -= 6;
  r.bottom -= 2;
  CImageList* images = GetHeaderImageList();
  if ((item.fmt & HDF_IMAGE) && images) {
    images->Draw(pDC, item.iImage, CPoint(r.right - 12, r.top + (r.bottom - r.top - 6) / 2), ILD_NORMAL);
    r.right -= 16;
  }
  int oldMode = pDC->SetBkMode(TRANSPARENT);
  CFont* oldFont = pDC->SelectObject(GetFont());
  UINT format = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS;
  if (item.fmt & HDF_RIGHT)
    format |= DT_RIGHT;
  else if (item.fmt & HDF_CENTER)
    format |= DT_CENTER;
  else
    format |= DT_LEFT;
  pDC->DrawText(text, -1, &r, format);
  pDC->SelectObject(oldFont);
  pDC->SetBkMode(oldMode);
}
