#include "converter/pages/FrameStripCtrl.h"

#include <shlwapi.h>

#include <algorithm>

#include "resources/converter/ConverterRes.h"
#include "foundation/ui/UIResources.h"

IMPLEMENT_DYNAMIC(CFrameStripCtrl, CDragItemStripCtrl)

BEGIN_MESSAGE_MAP(CFrameStripCtrl, CDragItemStripCtrl)
  ON_WM_CREATE()
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONDBLCLK()
  ON_WM_KEYDOWN()
END_MESSAGE_MAP()

namespace {
const COLORREF kSelectedFrame = 0xFFA000;
const COLORREF kHotFrame = 0xC0C0C0;
const COLORREF kMask = RGB(0xFF, 0x00, 0xFF);
}  // namespace

CFrameStripCtrl::CFrameStripCtrl() { m_nItemWidth = kMaxThumbnail + 16; }

CFrameStripCtrl::~CFrameStripCtrl() { ForgetThumbnails(); }

HBITMAP CFrameStripCtrl::GetThumbnail(CDC* pDC, CFrameItem* item) {
  auto found = m_thumbnails.find(item);
  if (found != m_thumbnails.end()) {
    m_thumbnailAges.splice(m_thumbnailAges.begin(), m_thumbnailAges, found->second.age);
    return found->second.hBitmap;
  }
  HDC mem = ::CreateCompatibleDC(pDC->GetSafeHdc());
  HBITMAP bitmap = ::CreateCompatibleBitmap(pDC->GetSafeHdc(), m_nThumbWidth, m_nThumbHeight);
  if (!mem || !bitmap) {
    if (bitmap) ::DeleteObject(bitmap);
    if (mem) ::DeleteDC(mem);
    return nullptr;
  }
  HGDIOBJ old = ::SelectObject(mem, bitmap);
  RECT all = {0, 0, m_nThumbWidth, m_nThumbHeight};
  ::FillRect(mem, &all, (HBRUSH)::GetStockObject(WHITE_BRUSH));
  item->m_image.Draw(mem, all, nullptr, false, false);
  ::SelectObject(mem, old);
  ::DeleteDC(mem);
  m_thumbnailAges.push_front(item);
  m_thumbnails[item] = CThumbnail{bitmap, m_thumbnailAges.begin()};
  while ((int)m_thumbnailAges.size() > kThumbnailCacheSize) ForgetThumbnail(m_thumbnailAges.back());
  return bitmap;
}

void CFrameStripCtrl::ForgetThumbnail(const CFrameItem* item) {
  auto found = m_thumbnails.find(item);
  if (found == m_thumbnails.end()) return;
  ::DeleteObject(found->second.hBitmap);
  m_thumbnailAges.erase(found->second.age);
  m_thumbnails.erase(found);
}

void CFrameStripCtrl::ForgetThumbnails() {
  for (auto& t : m_thumbnails) ::DeleteObject(t.second.hBitmap);
  m_thumbnails.clear();
  m_thumbnailAges.clear();
}

int CFrameStripCtrl::OnCreate(LPCREATESTRUCT lpCreateStruct) {
  if (CDragItemStripCtrl::OnCreate(lpCreateStruct) == -1) return -1;
  CBitmap buttons, labels;
  if (m_imgButtons.Create(32, 32, ILC_COLOR32 | ILC_MASK, 0, 3) && buttons.LoadBitmap(IDB_FRAME_BUTTONS))
    m_imgButtons.Add(&buttons, kMask);
  if (m_imgLabels.Create(4, 14, ILC_COLOR32 | ILC_MASK, 0, 3) && labels.LoadBitmap(IDB_FRAME_LABEL))
    m_imgLabels.Add(&labels, kMask);
  return 0;
}

int CFrameStripCtrl::PutFrame(std::shared_ptr<CFrameItem> item, int position) {
  if (!item) return -1;
  const DWORD_PTR data = (DWORD_PTR)item.get();
  const int index = position < 0 ? AddItem(data, TRUE) : InsertItem(position, data, TRUE);
  if (index < 0) return -1;
  m_pFrames->insert(m_pFrames->begin() + index, std::move(item));
  EnsureVisible(index);
  Invalidate(FALSE);
  return index;
}

BOOL CFrameStripCtrl::DeleteItem(int nIndex, BOOL bUpdate) {
  if (!CDragItemStripCtrl::DeleteItem(nIndex, bUpdate)) return FALSE;
  m_pFrames->erase(m_pFrames->begin() + nIndex);
  return TRUE;
}

BOOL CFrameStripCtrl::DeleteAllItems(BOOL bUpdate) {
  CDragItemStripCtrl::DeleteAllItems(bUpdate);
  m_pFrames->clear();
  return TRUE;
}

BOOL CFrameStripCtrl::SwapItems(int a, int b) {
  if (!CDragItemStripCtrl::SwapItems(a, b)) return FALSE;
  std::swap((*m_pFrames)[a], (*m_pFrames)[b]);
  return TRUE;
}

void CFrameStripCtrl::ReverseItems() {
  CDragItemStripCtrl::ReverseItems();
  std::reverse(m_pFrames->begin(), m_pFrames->end());
}

void CFrameStripCtrl::SetThumbnailSize(int w, int h) {
  if (w <= 0 || h <= 0) return;
  int tw = w, th = h;
  if (w > kMaxThumbnail || h > kMaxThumbnail) {
    if (w > h) {
      tw = kMaxThumbnail;
      th = (int)((double)kMaxThumbnail * h / w);
    } else if (h > w) {
      tw = (int)((double)kMaxThumbnail * w / h);
      th = kMaxThumbnail;
    } else {
      tw = th = kMaxThumbnail;
    }
  }
  if (tw == m_nThumbWidth && th == m_nThumbHeight) return;
  m_nThumbWidth = tw;
  m_nThumbHeight = th;
  ForgetThumbnails();
  // The item follows its box, so boxes never reach into their neighbours.
  m_nItemWidth = tw + 16;
  if (::IsWindow(m_hWnd)) {
    UpdateScrollBar();
    Invalidate(FALSE);
  }
}

void CFrameStripCtrl::GetItemBoxRect(LPCRECT lpItem, LPRECT lpBox) {
  const int w = lpItem->right - lpItem->left, h = lpItem->bottom - lpItem->top;
  lpBox->left = lpItem->left + (w - m_nThumbWidth) / 2;
  lpBox->top = lpItem->top + (h - m_nThumbHeight - kCaptionHeight) / 2;
  lpBox->right = lpBox->left + m_nThumbWidth;
  lpBox->bottom = lpBox->top + m_nThumbHeight;
}

void CFrameStripCtrl::DrawBackground(CDC* pDC, LPCRECT lpRect) { pDC->FillSolidRect(lpRect, RGB(255, 255, 255)); }

CString CFrameStripCtrl::MakeCaption(const CFrameItem& item) {
  CString name = ::PathFindFileNameW(item.m_sourcePath);
  if (item.m_frameIndex == -1) return name;
  CString caption;
  caption.Format(L"%s (%d)", (LPCTSTR)name, item.m_frameIndex + 1);
  return caption;
}

void CFrameStripCtrl::DrawItemLabel(CDC* pDC, int nIndex, LPCRECT lpItem) {
  CFrameItem* item = GetFrame(nIndex);
  if (!m_bShowCaptions || !item) return;
  if (item->m_caption.IsEmpty()) item->m_caption = MakeCaption(*item);
  CRect box;
  GetItemBoxRect(lpItem, &box);
  CRect band(box.left, box.bottom, box.right, box.bottom + kCaptionHeight);
  CFont* old = pDC->SelectObject(GetSharedFont(CUIResources::FontNormal));
  pDC->SetTextColor(RGB(0, 0, 0));
  pDC->SetBkMode(TRANSPARENT);
  pDC->DrawText(item->m_caption, -1, &band, DT_LEFT | DT_BOTTOM | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  pDC->SelectObject(old);
}

void CFrameStripCtrl::DrawItemBox(CDC* pDC, int nIndex, LPCRECT lpBox, BOOL bDragImage) {
  CRect box(lpBox);
  const BOOL selected = (GetItemState(nIndex) & STRIP_ITEM_SELECTED) != 0;
  COLORREF frame = RGB(255, 255, 255);
  if (selected || bDragImage)
    frame = kSelectedFrame;
  else if (nIndex == m_nHotItem)
    frame = kHotFrame;
  for (int i = 1; i <= 4; ++i) {
    CRect r(box);
    r.InflateRect(i, i);
    pDC->Draw3dRect(&r, frame, frame);
  }
  // The box is painted whole: a picture with holes or none still covers it.
  pDC->FillSolidRect(&box, RGB(255, 255, 255));
  CFrameItem* item = GetFrame(nIndex);
  if (item && item->m_image.HasPixels()) {
    CRect thumb(0, 0, m_nThumbWidth, m_nThumbHeight);
    thumb.OffsetRect(box.left + (box.Width() - m_nThumbWidth) / 2, box.top + (box.Height() - m_nThumbHeight) / 2);
    HBITMAP picture = GetThumbnail(pDC, item);
    HDC mem = picture ? ::CreateCompatibleDC(pDC->GetSafeHdc()) : nullptr;
    if (mem) {
      HGDIOBJ old = ::SelectObject(mem, picture);
      ::BitBlt(pDC->GetSafeHdc(), thumb.left, thumb.top, thumb.Width(), thumb.Height(), mem, 0, 0, SRCCOPY);
      ::SelectObject(mem, old);
      ::DeleteDC(mem);
    } else {
      item->m_image.Draw(pDC->GetSafeHdc(), thumb, nullptr, false, false);
    }
  }

  // Number label.
  CString number;
  number.Format(L"%d", nIndex + 1);
  CFont* old = pDC->SelectObject(GetSharedFont(CUIResources::FontNormal));
  pDC->SetBkMode(TRANSPARENT);
  int width = GetTextWidth(pDC, number) + 6;
  if (width % 4) width += 4 - width % 4;
  CRect label(box.left, box.top, box.left + width, box.top + 14);
  if (m_imgLabels.GetSafeHandle()) {
    m_imgLabels.Draw(pDC, 0, CPoint(label.left, label.top), ILD_TRANSPARENT);
    for (int x = label.left + 4; x < label.right - 4; x += 4)
      m_imgLabels.Draw(pDC, 1, CPoint(x, label.top), ILD_TRANSPARENT);
    m_imgLabels.Draw(pDC, 2, CPoint(label.right - 4, label.top), ILD_TRANSPARENT);
  }
  pDC->SetTextColor(RGB(255, 255, 255));
  pDC->DrawText(number, -1, &label, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  pDC->SelectObject(old);

  if (!bDragImage && nIndex == m_nHotItem && m_imgButtons.GetSafeHandle())
    m_imgButtons.Draw(pDC, 0, CPoint(box.right - 32, box.top), ILD_TRANSPARENT);
}

void CFrameStripCtrl::FreeItem(CStripItem* pItem) {
  if (!pItem) return;
  // The frame itself belongs to the list.
  ForgetThumbnail(reinterpret_cast<CFrameItem*>(pItem->m_dwData));
  delete pItem;
}

int CFrameStripCtrl::HitTestItemButton(int nItem, int x, int y) {
  CRect item;
  if (!GetItemRect(nItem, &item)) return -1;
  CRect box;
  GetItemBoxRect(&item, &box);
  CRect button(box.right - kButtonSize, box.top, box.right, box.top + kButtonSize);
  return button.PtInRect(CPoint(x, y)) ? ID_FRAME_DELETE : -1;
}

void CFrameStripCtrl::OnItemButton(int nItem, int nButton) {
  if (nButton == ID_FRAME_DELETE && GetParent()) GetParent()->SendMessage(WM_FRAMESTRIP_BUTTON, ID_FRAME_DELETE, nItem);
}

BOOL CFrameStripCtrl::MoveItem(int nFrom, int nTo) {
  if (m_bLocked || !CDragItemStripCtrl::MoveItem(nFrom, nTo)) return FALSE;
  std::shared_ptr<CFrameItem> moved = (*m_pFrames)[nFrom];
  m_pFrames->insert(m_pFrames->begin() + nTo, moved);
  m_pFrames->erase(m_pFrames->begin() + (nTo < nFrom ? nFrom + 1 : nFrom));
  return TRUE;
}

void CFrameStripCtrl::OnLButtonDown(UINT nFlags, CPoint point) {
  CDragItemStripCtrl::OnLButtonDown(nFlags, point);
  // No drag starts while the frames must stay as they are.
  if (m_bLocked) m_nPressItem = -1;
}

void CFrameStripCtrl::OnLButtonDblClk(UINT nFlags, CPoint point) {
  if (GetSelectedCount() > 0 && GetParent()) GetParent()->PostMessage(WM_COMMAND, ID_OPEN_SOURCE_FILE);
  Default();
}

void CFrameStripCtrl::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
  if (nChar == VK_DELETE && GetParent())
    GetParent()->SendMessage(WM_COMMAND, (::GetKeyState(VK_CONTROL) < 0) ? ID_REMOVE_ALL : ID_REMOVE);
  CDragItemStripCtrl::OnKeyDown(nChar, nRepCnt, nFlags);
}
