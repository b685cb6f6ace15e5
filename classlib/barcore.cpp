// Control bars: the common base with its layout and idle update, and the
// toolbar over the common toolbar control.
#include "afxwin.h"

#include <algorithm>
#include <cstring>

IMPLEMENT_DYNAMIC(CControlBar, CWnd)
IMPLEMENT_DYNAMIC(CToolBar, CControlBar)

// ---------------------------------------------------------------------------
// CControlBar.

BEGIN_MESSAGE_MAP(CControlBar, CWnd)
  ON_MESSAGE(WM_SIZEPARENT, OnSizeParent)
  ON_MESSAGE(WM_IDLEUPDATECMDUI, OnIdleUpdateCmdUI)
END_MESSAGE_MAP()

CControlBar::CControlBar() {}
CControlBar::~CControlBar() {}

void CControlBar::PostNcDestroy() {
  if (m_bAutoDelete) delete this;
}

void CControlBar::SetBorders(int cxLeft, int cyTop, int cxRight, int cyBottom) {
  m_cxLeftBorder = cxLeft;
  m_cyTopBorder = cyTop;
  m_cxRightBorder = cxRight;
  m_cyBottomBorder = cyBottom;
}

namespace {
// A stretched bar takes the whole length of its side.
CSize Stretched(CSize size, BOOL bStretch, BOOL bHorz) {
  if (bStretch) {
    if (bHorz)
      size.cx = 32767;
    else
      size.cy = 32767;
  }
  return size;
}
}  // namespace

CSize CControlBar::CalcFixedLayout(BOOL bStretch, BOOL bHorz) {
  return Stretched(CSize(m_cxLeftBorder + m_cxRightBorder, m_cyTopBorder + m_cyBottomBorder), bStretch, bHorz);
}

CCmdTarget* CControlBar::GetUpdateTarget() const {
  CWnd* owner = GetOwner();
  if (owner && owner->IsFrameWnd()) return owner;
  for (HWND h = ::GetParent(m_hWnd); h; h = ::GetParent(h))
    if (CWnd* p = FromHandlePermanent(h))
      if (p->IsFrameWnd()) return p;
  // A bar on a dialog: the dialog routes on to its owner and the application.
  return owner && FromHandlePermanent(owner->m_hWnd) ? owner : nullptr;
}

LRESULT CControlBar::OnIdleUpdateCmdUI(WPARAM wParam, LPARAM) {
  if (GetStyle() & WS_VISIBLE)
    if (CCmdTarget* target = GetUpdateTarget()) OnUpdateCmdUI(target, (BOOL)wParam);
  return 0;
}

LRESULT CControlBar::OnSizeParent(WPARAM, LPARAM lParam) {
  auto* layout = reinterpret_cast<AFX_SIZEPARENTPARAMS*>(lParam);
  const DWORD align = m_dwStyle & CBRS_ALIGN_ANY;
  if (!(GetStyle() & WS_VISIBLE) || align == 0) return 0;
  CRect rect(layout->rect);
  const CSize avail = rect.Size();
  const BOOL horz = (align & CBRS_ORIENT_HORZ) != 0;
  CSize size = CalcFixedLayout(layout->bStretch, horz);
  size.cx = std::max(0, std::min((int)size.cx, (int)avail.cx));
  size.cy = std::max(0, std::min((int)size.cy, (int)avail.cy));
  if (horz) {
    layout->sizeTotal.cy += size.cy;
    layout->sizeTotal.cx = std::max(layout->sizeTotal.cx, size.cx);
    if (align & CBRS_ALIGN_TOP) {
      layout->rect.top += size.cy;
    } else {
      rect.top = rect.bottom - size.cy;
      layout->rect.bottom -= size.cy;
    }
  } else {
    layout->sizeTotal.cx += size.cx;
    layout->sizeTotal.cy = std::max(layout->sizeTotal.cy, size.cy);
    if (align & CBRS_ALIGN_LEFT) {
      layout->rect.left += size.cx;
    } else {
      rect.left = rect.right - size.cx;
      layout->rect.right -= size.cx;
    }
  }
  rect.right = rect.left + size.cx;
  rect.bottom = rect.top + size.cy;
  if (layout->hDWP) AfxRepositionWindow(&layout->hDWP, m_hWnd, &rect);
  return 0;
}

namespace {
// A tooltip request nobody answered: no text and no string resource.
BOOL TipTextEmpty(const NMHDR* nm) {
  if (nm->code == TTN_GETDISPINFOW) {
    auto* di = reinterpret_cast<const NMTTDISPINFOW*>(nm);
    if (di->szText[0]) return FALSE;
    if (!di->lpszText) return TRUE;
    if (IS_INTRESOURCE(di->lpszText)) return di->hinst == nullptr;
    return di->lpszText == LPSTR_TEXTCALLBACKW || di->lpszText[0] == 0;
  }
  if (nm->code == TTN_GETDISPINFOA) {
    auto* di = reinterpret_cast<const NMTTDISPINFOA*>(nm);
    if (di->szText[0]) return FALSE;
    if (!di->lpszText) return TRUE;
    if (IS_INTRESOURCE(di->lpszText)) return di->hinst == nullptr;
    return di->lpszText == LPSTR_TEXTCALLBACKA || di->lpszText[0] == 0;
  }
  return FALSE;
}
}  // namespace

LRESULT CControlBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY: {
      // The bar's own handlers and reflection first, then the owner.
      LRESULT result = 0;
      if (OnWndMsg(message, wParam, lParam, &result)) return result;
      CWnd* owner = GetOwner();
      if (!owner || !owner->m_hWnd || owner->m_hWnd == m_hWnd) break;
      if (message == WM_NOTIFY) {
        NMHDR* nm = reinterpret_cast<NMHDR*>(lParam);
        result = owner->SendMessage(message, wParam, lParam);
        // A tooltip the owner has no text for: the control may have its own.
        if (TipTextEmpty(nm)) return DefWindowProc(message, wParam, lParam);
        return result;
      }
      return owner->SendMessage(message, wParam, lParam);
    }
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_DELETEITEM:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM: {
      // Items of the bar's own children go to those children, the rest to the owner.
      LRESULT result = 0;
      HWND child = nullptr;
      if (message == WM_DRAWITEM)
        child = reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem;
      else if (message == WM_DELETEITEM)
        child = reinterpret_cast<DELETEITEMSTRUCT*>(lParam)->hwndItem;
      else if (message == WM_COMPAREITEM)
        child = reinterpret_cast<COMPAREITEMSTRUCT*>(lParam)->hwndItem;
      else if (message == WM_MEASUREITEM)
        child = ::GetDlgItem(m_hWnd, (int)reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->CtlID);
      else
        child = (HWND)lParam;
      if (CWnd* p = FromHandlePermanent(child))
        if (p->OnChildNotify(message, wParam, lParam, &result)) return result;
      CWnd* owner = GetOwner();
      if (owner && owner->m_hWnd && owner->m_hWnd != m_hWnd) return owner->SendMessage(message, wParam, lParam);
      break;
    }
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

// ---------------------------------------------------------------------------
// CToolBar.

BEGIN_MESSAGE_MAP(CToolBar, CControlBar)
  ON_NOTIFY_REFLECT_EX(TBN_HOTITEMCHANGE, OnHotItemChange)
END_MESSAGE_MAP()

CToolBar::CToolBar() {}

CToolBar::~CToolBar() {
  DestroyWindow();
  if (m_hImageList) ImageList_Destroy(m_hImageList);
}

BOOL CToolBar::Create(CWnd* pParentWnd, DWORD dwStyle, UINT nID) {
  return CreateEx(pParentWnd, TBSTYLE_FLAT, dwStyle, CRect(0, 0, 0, 0), nID);
}

BOOL CToolBar::CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle, DWORD dwStyle, CRect rcBorders, UINT nID) {
  SetBorders(&rcBorders);
  m_dwStyle = dwStyle & CBRS_ALL;
  // The bar places itself; the control must not move or size itself.
  DWORD style = (dwStyle & ~CBRS_ALL) | dwCtrlStyle | CCS_NOPARENTALIGN | CCS_NOMOVEY | CCS_NODIVIDER | CCS_NORESIZE;
  if (!CWnd::Create(TOOLBARCLASSNAMEW, nullptr, style, CRect(0, 0, 0, 0), pParentWnd, nID)) return FALSE;
  SendMessage(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SetSizes(m_sizeButton, m_sizeImage);
  return TRUE;
}

BOOL CToolBar::LoadToolBar(LPCTSTR lpszResourceName) {
  DWORD size = 0;
  const BYTE* p = static_cast<const BYTE*>(AfxLockNamedResource(lpszResourceName, RT_TOOLBAR, &size));
  if (!p) return FALSE;
  // Two layouts exist: 32-bit width, height, count and ids (12 + 4n bytes, as
  // GNU windres writes the TOOLBAR statement), or 16-bit version 1, width,
  // height, count and ids (8 + 2n bytes).
  std::vector<UINT> ids;
  int cx = 0, cy = 0;
  DWORD d[3] = {0, 0, 0};
  WORD w[4] = {0, 0, 0, 0};
  if (size >= 12) memcpy(d, p, sizeof(d));
  if (size >= 8) memcpy(w, p, sizeof(w));
  if (size >= 12 && d[2] < 0x10000 && size == 12 + 4 * d[2]) {
    cx = (int)d[0];
    cy = (int)d[1];
    for (DWORD i = 0; i < d[2]; ++i) {
      DWORD id;
      memcpy(&id, p + 12 + 4 * i, sizeof(id));
      ids.push_back(id);
    }
  } else if (size >= 8 && w[0] == 1 && size >= 8u + 2u * w[3]) {
    cx = w[1];
    cy = w[2];
    for (WORD i = 0; i < w[3]; ++i) {
      WORD id;
      memcpy(&id, p + 8 + 2 * i, sizeof(id));
      ids.push_back(id);
    }
  } else {
    return FALSE;
  }
  if (cx <= 0 || cy <= 0 || cx > 256 || cy > 256) return FALSE;
  if (!SetButtons(ids.data(), (int)ids.size())) return FALSE;
  SetSizes(CSize(cx + 7, cy + 7), CSize(cx, cy));
  // The pictures may also come later, from an image list.
  HINSTANCE modules[2] = {AfxGetResourceHandle(), AfxGetInstanceHandle()};
  for (HINSTANCE inst : modules)
    if (::FindResourceW(inst, lpszResourceName, RT_BITMAP)) return LoadBitmap(lpszResourceName);
  return TRUE;
}

BOOL CToolBar::LoadBitmap(LPCTSTR lpszResourceName) {
  HBITMAP bmp = nullptr;
  HINSTANCE modules[2] = {AfxGetResourceHandle(), AfxGetInstanceHandle()};
  for (HINSTANCE inst : modules)
    if ((bmp = (HBITMAP)::LoadImageW(inst, lpszResourceName, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)) != nullptr)
      break;
  if (!bmp) return FALSE;
  // Magenta shows the bar's background, as in every picture strip of the programs.
  HIMAGELIST list = ImageList_Create(m_sizeImage.cx, m_sizeImage.cy, ILC_COLOR24 | ILC_MASK, 0, 1);
  BOOL ok = list && ImageList_AddMasked(list, bmp, RGB(255, 0, 255)) >= 0;
  ::DeleteObject(bmp);
  if (!ok) {
    if (list) ImageList_Destroy(list);
    return FALSE;
  }
  SendMessage(TB_SETIMAGELIST, 0, (LPARAM)list);
  if (m_hImageList) ImageList_Destroy(m_hImageList);
  m_hImageList = list;
  return TRUE;
}

BOOL CToolBar::SetButtons(const UINT* lpIDArray, int nIDCount) {
  if (nIDCount < 0 || (nIDCount > 0 && !lpIDArray)) return FALSE;
  for (int n = GetCount(); n > 0; --n) SendMessage(TB_DELETEBUTTON, (WPARAM)(n - 1), 0);
  std::vector<TBBUTTON> buttons((size_t)nIDCount);
  int image = 0;
  for (int i = 0; i < nIDCount; ++i) {
    TBBUTTON& b = buttons[(size_t)i];
    b.iString = -1;
    if (lpIDArray[i] == ID_SEPARATOR) {
      b.fsStyle = TBSTYLE_SEP;
      b.iBitmap = 8;  // separator width
    } else {
      b.idCommand = (int)lpIDArray[i];
      b.iBitmap = image++;
      b.fsState = TBSTATE_ENABLED;
      b.fsStyle = TBSTYLE_BUTTON;
    }
  }
  if (nIDCount == 0) return TRUE;
  return (BOOL)SendMessage(TB_ADDBUTTONSW, (WPARAM)nIDCount, (LPARAM)buttons.data());
}

void CToolBar::SetSizes(SIZE sizeButton, SIZE sizeImage) {
  m_sizeButton = sizeButton;
  m_sizeImage = sizeImage;
  if (!m_hWnd) return;
  SendMessage(TB_SETBITMAPSIZE, 0, MAKELPARAM(sizeImage.cx, sizeImage.cy));
  SendMessage(TB_SETBUTTONSIZE, 0, MAKELPARAM(sizeButton.cx, sizeButton.cy));
}

void CToolBar::SetHeight(int cyHeight) {
  int inner = cyHeight - m_cyTopBorder - m_cyBottomBorder;
  if (inner > 0) SetSizes(CSize(m_sizeButton.cx, inner), m_sizeImage);
}

int CToolBar::GetCount() const { return m_hWnd ? (int)SendMessage(TB_BUTTONCOUNT, 0, 0) : 0; }

int CToolBar::CommandToIndex(UINT nIDFind) const { return (int)SendMessage(TB_COMMANDTOINDEX, nIDFind, 0); }

BOOL CToolBar::GetButton(int nIndex, TBBUTTON* pButton) const {
  memset(pButton, 0, sizeof(*pButton));
  return (BOOL)SendMessage(TB_GETBUTTON, (WPARAM)nIndex, (LPARAM)pButton);
}

void CToolBar::SetButton(int nIndex, const TBBUTTON* pButton) {
  TBBUTTONINFOW info = {};
  info.cbSize = sizeof(info);
  info.dwMask = TBIF_BYINDEX | TBIF_COMMAND | TBIF_IMAGE | TBIF_STATE | TBIF_STYLE;
  info.idCommand = pButton->idCommand;
  info.iImage = pButton->iBitmap;
  info.fsState = pButton->fsState;
  info.fsStyle = pButton->fsStyle;
  SendMessage(TB_SETBUTTONINFOW, (WPARAM)nIndex, (LPARAM)&info);
}

UINT CToolBar::GetItemID(int nIndex) const {
  TBBUTTON b;
  if (!GetButton(nIndex, &b)) return 0;
  return (b.fsStyle & TBSTYLE_SEP) ? ID_SEPARATOR : (UINT)b.idCommand;
}

void CToolBar::GetItemRect(int nIndex, LPRECT lpRect) const {
  ::SetRectEmpty(lpRect);
  SendMessage(TB_GETITEMRECT, (WPARAM)nIndex, (LPARAM)lpRect);
}

UINT CToolBar::GetButtonStyle(int nIndex) const {
  TBBUTTON b;
  if (!GetButton(nIndex, &b)) return 0;
  return MAKELONG(b.fsStyle, b.fsState ^ TBSTATE_ENABLED);
}

void CToolBar::SetButtonStyle(int nIndex, UINT nStyle) {
  TBBUTTON b;
  if (!GetButton(nIndex, &b)) return;
  const BYTE style = (BYTE)LOWORD(nStyle);
  const BYTE state = (BYTE)(HIWORD(nStyle) ^ TBSTATE_ENABLED);
  if (b.fsStyle == style && b.fsState == state) return;
  b.fsStyle = style;
  b.fsState = state;
  SetButton(nIndex, &b);
}

void CToolBar::GetButtonInfo(int nIndex, UINT& nID, UINT& nStyle, int& iImage) const {
  TBBUTTON b;
  GetButton(nIndex, &b);
  nID = (UINT)b.idCommand;
  nStyle = MAKELONG(b.fsStyle, b.fsState ^ TBSTATE_ENABLED);
  iImage = b.iBitmap;
}

void CToolBar::SetButtonInfo(int nIndex, UINT nID, UINT nStyle, int iImage) {
  TBBUTTON b;
  if (!GetButton(nIndex, &b)) return;
  b.idCommand = (int)nID;
  b.fsStyle = (BYTE)LOWORD(nStyle);
  b.fsState = (BYTE)(HIWORD(nStyle) ^ TBSTATE_ENABLED);
  b.iBitmap = iImage;
  SetButton(nIndex, &b);
}

BOOL CToolBar::SetButtonText(int nIndex, LPCTSTR lpszText) {
  TBBUTTON b;
  if (!GetButton(nIndex, &b) || (b.fsStyle & TBSTYLE_SEP)) return FALSE;
  // The text joins the control's string pool; the button is inserted again
  // so the control measures it anew.
  CString text(lpszText ? lpszText : L"");
  std::vector<wchar_t> pool(text.GetString(), text.GetString() + text.GetLength());
  pool.push_back(0);
  pool.push_back(0);
  INT_PTR index = SendMessage(TB_ADDSTRINGW, 0, (LPARAM)pool.data());
  if (index < 0) return FALSE;
  b.iString = index;
  if (!SendMessage(TB_DELETEBUTTON, (WPARAM)nIndex, 0)) return FALSE;
  return (BOOL)SendMessage(TB_INSERTBUTTONW, (WPARAM)nIndex, (LPARAM)&b);
}

CString CToolBar::GetButtonText(int nIndex) const {
  TBBUTTON b;
  if (!GetButton(nIndex, &b) || (b.fsStyle & TBSTYLE_SEP)) return CString();
  int length = (int)SendMessage(TB_GETBUTTONTEXTW, (WPARAM)b.idCommand, 0);
  if (length <= 0) return CString();
  CString text;
  wchar_t* buf = text.GetBufferSetLength(length + 1);
  SendMessage(TB_GETBUTTONTEXTW, (WPARAM)b.idCommand, (LPARAM)buf);
  buf[length] = 0;
  text.ReleaseBuffer();
  return text;
}

void CToolBar::SetOwner(CWnd* pOwnerWnd) {
  if (m_hWnd) DefWindowProc(TB_SETPARENT, (WPARAM)pOwnerWnd->GetSafeHwnd(), 0);
  CWnd::SetOwner(pOwnerWnd);
}

CSize CToolBar::CalcFixedLayout(BOOL bStretch, BOOL bHorz) {
  SIZE max = {0, 0};
  if (m_hWnd) SendMessage(TB_GETMAXSIZE, 0, (LPARAM)&max);
  return Stretched(CSize(max.cx + m_cxLeftBorder + m_cxRightBorder, max.cy + m_cyTopBorder + m_cyBottomBorder),
                   bStretch, bHorz);
}

BOOL CToolBar::OnHotItemChange(NMHDR* pNMHDR, LRESULT*) {
  // Fly-by: the frame's status line follows the button under the mouse.
  if (!(m_dwStyle & CBRS_FLYBY)) return FALSE;
  auto* hot = reinterpret_cast<NMTBHOTITEM*>(pNMHDR);
  CWnd* owner = GetOwner();
  if (!owner || !owner->IsFrameWnd()) return FALSE;
  if (hot->dwFlags & HICF_LEAVING)
    owner->SendMessage(WM_SETMESSAGESTRING, AFX_IDS_IDLEMESSAGE, 0);
  else if (hot->idNew > 0)
    owner->SendMessage(WM_SETMESSAGESTRING, (WPARAM)hot->idNew, 0);
  return FALSE;
}

namespace {
// Command UI of one toolbar button.
class CToolCmdUI : public CCmdUI {
 public:
  void Enable(BOOL bOn) override {
    m_bEnableChanged = TRUE;
    CToolBar* bar = static_cast<CToolBar*>(m_pOther);
    UINT style = bar->GetButtonStyle((int)m_nIndex);
    UINT next = bOn ? (style & ~TBBS_DISABLED) : ((style | TBBS_DISABLED) & ~TBBS_PRESSED);
    bar->SetButtonStyle((int)m_nIndex, next);
  }
  void SetCheck(int nCheck) override {
    CToolBar* bar = static_cast<CToolBar*>(m_pOther);
    UINT style = bar->GetButtonStyle((int)m_nIndex) & ~(TBBS_CHECKED | TBBS_INDETERMINATE);
    if (nCheck == 1)
      style |= TBBS_CHECKED;
    else if (nCheck == 2)
      style |= TBBS_INDETERMINATE;
    bar->SetButtonStyle((int)m_nIndex, style);
  }
  void SetRadio(BOOL bOn) override { SetCheck(bOn ? 1 : 0); }
  void SetText(LPCTSTR) override {}
};
}  // namespace

void CToolBar::OnUpdateCmdUI(CCmdTarget* pTarget, BOOL bDisableIfNoHndler) {
  if (!pTarget) return;
  CToolCmdUI state;
  state.m_pOther = this;
  state.m_nIndexMax = (UINT)GetCount();
  for (state.m_nIndex = 0; state.m_nIndex < state.m_nIndexMax; state.m_nIndex++) {
    TBBUTTON b;
    if (!GetButton((int)state.m_nIndex, &b) || (b.fsStyle & TBSTYLE_SEP)) continue;
    state.m_nID = (UINT)b.idCommand;
    state.DoUpdate(pTarget, bDisableIfNoHndler);
  }
}
