// Device contexts, GDI objects, menus, image lists and the wait cursor.
#include "afxwin.h"

IMPLEMENT_DYNCREATE(CGdiObject, CObject)
IMPLEMENT_DYNAMIC(CPen, CGdiObject)
IMPLEMENT_DYNAMIC(CBrush, CGdiObject)
IMPLEMENT_DYNAMIC(CFont, CGdiObject)
IMPLEMENT_DYNAMIC(CBitmap, CGdiObject)
IMPLEMENT_DYNAMIC(CPalette, CGdiObject)
IMPLEMENT_DYNAMIC(CRgn, CGdiObject)
IMPLEMENT_DYNCREATE(CDC, CObject)
IMPLEMENT_DYNAMIC(CPaintDC, CDC)
IMPLEMENT_DYNAMIC(CClientDC, CDC)
IMPLEMENT_DYNAMIC(CWindowDC, CDC)
IMPLEMENT_DYNCREATE(CMenu, CObject)
IMPLEMENT_DYNCREATE(CImageList, CObject)

// ---------------------------------------------------------------------------
// GDI objects.

template <class T>
T* CGdiObject::TempFromHandle(HGDIOBJ h) {
  if (!h) return nullptr;
  CGdiObject*& temp = AfxGetThreadState()->m_tempGdi[h];
  if (!temp) {
    T* obj = new T;
    obj->m_hObject = h;
    temp = obj;
  }
  return static_cast<T*>(temp);
}

template CPen* CGdiObject::TempFromHandle<CPen>(HGDIOBJ);
template CBrush* CGdiObject::TempFromHandle<CBrush>(HGDIOBJ);
template CFont* CGdiObject::TempFromHandle<CFont>(HGDIOBJ);
template CBitmap* CGdiObject::TempFromHandle<CBitmap>(HGDIOBJ);
template CPalette* CGdiObject::TempFromHandle<CPalette>(HGDIOBJ);
template CRgn* CGdiObject::TempFromHandle<CRgn>(HGDIOBJ);

CGdiObject* CGdiObject::FromHandle(HGDIOBJ h) { return TempFromHandle<CGdiObject>(h); }

BOOL CGdiObject::Attach(HGDIOBJ h) {
  if (!h) return FALSE;
  DeleteObject();
  m_hObject = h;
  return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
  HGDIOBJ h = m_hObject;
  m_hObject = nullptr;
  return h;
}

BOOL CGdiObject::DeleteObject() {
  if (!m_hObject) return FALSE;
  BOOL ok = ::DeleteObject(m_hObject);  // stock objects ignore this
  m_hObject = nullptr;
  return ok;
}

CBrush::CBrush(CBitmap* pBitmap) { Attach(::CreatePatternBrush((HBITMAP)pBitmap->GetSafeHandle())); }
BOOL CBrush::CreatePatternBrush(CBitmap* pBitmap) {
  return Attach(::CreatePatternBrush((HBITMAP)pBitmap->GetSafeHandle()));
}

BOOL CFont::CreatePointFont(int pointSize10, LPCTSTR face, CDC* pDC) {
  LOGFONTW lf = {};
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(lf.lfFaceName, face ? face : L"", LF_FACESIZE);
  HDC dc = pDC ? pDC->m_hAttribDC : ::GetDC(nullptr);
  POINT pt = {0, ::MulDiv(::GetDeviceCaps(dc, LOGPIXELSY), pointSize10, 720)};
  POINT origin = {0, 0};
  if (pDC) {
    ::DPtoLP(dc, &pt, 1);
    ::DPtoLP(dc, &origin, 1);
  } else {
    ::ReleaseDC(nullptr, dc);
  }
  lf.lfHeight = -abs(pt.y - origin.y);
  return CreateFontIndirect(&lf);
}

BOOL CBitmap::LoadBitmap(UINT id) { return LoadBitmap(MAKEINTRESOURCEW(id)); }
BOOL CBitmap::LoadBitmap(LPCTSTR name) {
  HBITMAP h = ::LoadBitmapW(AfxGetResourceHandle(), name);
  if (!h && AfxGetResourceHandle() != AfxGetInstanceHandle()) h = ::LoadBitmapW(AfxGetInstanceHandle(), name);
  return Attach(h);
}
BOOL CBitmap::CreateCompatibleBitmap(CDC* pDC, int w, int h) {
  return Attach(::CreateCompatibleBitmap(pDC->GetSafeHdc(), w, h));
}
BOOL CPalette::CreateHalftonePalette(CDC* pDC) { return Attach(::CreateHalftonePalette(pDC->GetSafeHdc())); }

// ---------------------------------------------------------------------------
// Device contexts.

CDC* CDC::FromHandle(HDC h) {
  if (!h) return nullptr;
  CDC*& temp = AfxGetThreadState()->m_tempDCs[h];
  if (!temp) {
    temp = new CDC;
    temp->m_hDC = temp->m_hAttribDC = h;
  }
  return temp;
}

BOOL CDC::Attach(HDC h) {
  if (!h) return FALSE;
  m_hDC = m_hAttribDC = h;
  return TRUE;
}

HDC CDC::Detach() {
  HDC h = m_hDC;
  m_hDC = m_hAttribDC = nullptr;
  return h;
}

BOOL CDC::DeleteDC() {
  if (!m_hDC) return FALSE;
  BOOL ok = ::DeleteDC(Detach());
  return ok;
}

void CDC::FillSolidRect(LPCRECT r, COLORREF c) {
  COLORREF old = ::SetBkColor(m_hDC, c);
  ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, r, nullptr, 0, nullptr);
  ::SetBkColor(m_hDC, old);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF c) {
  RECT r = {x, y, x + cx, y + cy};
  FillSolidRect(&r, c);
}

void CDC::Draw3dRect(LPCRECT r, COLORREF topLeft, COLORREF bottomRight) {
  Draw3dRect(r->left, r->top, r->right - r->left, r->bottom - r->top, topLeft, bottomRight);
}

void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight) {
  FillSolidRect(x, y, cx - 1, 1, topLeft);
  FillSolidRect(x, y, 1, cy - 1, topLeft);
  FillSolidRect(x + cx, y, -1, cy, bottomRight);
  FillSolidRect(x, y + cy, cx, -1, bottomRight);
}

CBrush* CDC::GetHalftoneBrush() {
  // One brush per process: a checkerboard of alternating pixels.
  static CBrush* brush = [] {
    WORD pattern[8];
    for (int i = 0; i < 8; ++i) pattern[i] = (WORD)(0x5555 << (i & 1));
    HBITMAP bm = ::CreateBitmap(8, 8, 1, 1, pattern);
    CBrush* b = new CBrush;
    b->Attach(::CreatePatternBrush(bm));
    ::DeleteObject(bm);
    return b;
  }();
  return brush;
}

void CDC::DrawDragRect(LPCRECT lpRect, SIZE size, LPCRECT lpRectLast, SIZE sizeLast, CBrush* pBrush,
                       CBrush* pBrushLast) {
  if (!pBrush) pBrush = GetHalftoneBrush();
  if (!pBrushLast) pBrushLast = pBrush;
  // The frame is the rectangle less its inside (deflated by the thickness).
  auto frameRgn = [](LPCRECT r, SIZE s, CRgn& out) {
    RECT inner = *r;
    ::InflateRect(&inner, -s.cx, -s.cy);
    ::IntersectRect(&inner, &inner, r);
    out.CreateRectRgnIndirect(r);
    CRgn in;
    in.CreateRectRgnIndirect(&inner);
    out.CombineRgn(&out, &in, RGN_XOR);
  };
  CRgn rgnNew, rgnLast, rgnUpdate;
  frameRgn(lpRect, size, rgnNew);
  if (lpRectLast) {
    frameRgn(lpRectLast, sizeLast, rgnLast);
    rgnUpdate.CreateRectRgn(0, 0, 0, 0);
    rgnUpdate.CombineRgn(&rgnLast, &rgnNew, RGN_XOR);
  }
  RECT clip;
  GetClipBox(&clip);
  CRgn clipRgn;
  clipRgn.CreateRectRgnIndirect(&clip);
  SelectClipRgn(&clipRgn);
  if (pBrush != pBrushLast && lpRectLast) {
    // Different brushes: erase the old frame, then draw the new one.
    SelectClipRgn(&rgnLast);
    GetClipBox(&clip);
    HGDIOBJ old = ::SelectObject(m_hDC, pBrushLast->GetSafeHandle());
    PatBlt(clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, PATINVERT);
    ::SelectObject(m_hDC, old);
    rgnUpdate.DeleteObject();
  }
  SelectClipRgn(rgnUpdate.GetSafeHandle() ? &rgnUpdate : &rgnNew);
  GetClipBox(&clip);
  HGDIOBJ old = ::SelectObject(m_hDC, pBrush->GetSafeHandle());
  PatBlt(clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, PATINVERT);
  ::SelectObject(m_hDC, old);
  ::SelectClipRgn(m_hDC, nullptr);
}

BOOL CDC::TransparentBlt(int x, int y, int w, int h, CDC* src, int sx, int sy, int sw, int sh, UINT transparent) {
  return ::GdiTransparentBlt(m_hDC, x, y, w, h, src->GetSafeHdc(), sx, sy, sw, sh, transparent);
}

BOOL CDC::AlphaBlend(int x, int y, int w, int h, CDC* src, int sx, int sy, int sw, int sh, BLENDFUNCTION bf) {
  return ::GdiAlphaBlend(m_hDC, x, y, w, h, src->GetSafeHdc(), sx, sy, sw, sh, bf);
}

int CDC::GetTextFace(CString& face) const {
  wchar_t buf[LF_FACESIZE] = {0};
  int n = ::GetTextFaceW(m_hAttribDC, LF_FACESIZE, buf);
  face = buf;
  return n;
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd) { Attach(::BeginPaint(m_hWnd, &m_ps)); }
CPaintDC::~CPaintDC() {
  ::EndPaint(m_hWnd, &m_ps);
  Detach();
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd->GetSafeHwnd()) { Attach(::GetDC(m_hWnd)); }
CClientDC::~CClientDC() { ::ReleaseDC(m_hWnd, Detach()); }

CWindowDC::CWindowDC(CWnd* pWnd) : m_hWnd(pWnd->GetSafeHwnd()) { Attach(::GetWindowDC(m_hWnd)); }
CWindowDC::~CWindowDC() { ::ReleaseDC(m_hWnd, Detach()); }

// ---------------------------------------------------------------------------
// Menus.

CMenu* CMenu::FromHandle(HMENU h) {
  if (!h) return nullptr;
  CMenu*& temp = AfxGetThreadState()->m_tempMenus[h];
  if (!temp) {
    temp = new CMenu;
    temp->m_hMenu = h;
  }
  return temp;
}

BOOL CMenu::Attach(HMENU h) {
  if (!h || m_hMenu) return FALSE;
  m_hMenu = h;
  return TRUE;
}

HMENU CMenu::Detach() {
  HMENU h = m_hMenu;
  m_hMenu = nullptr;
  return h;
}

BOOL CMenu::DestroyMenu() {
  if (!m_hMenu) return FALSE;
  return ::DestroyMenu(Detach());
}

BOOL CMenu::LoadMenu(UINT id) { return LoadMenu(MAKEINTRESOURCEW(id)); }
BOOL CMenu::LoadMenu(LPCTSTR name) {
  HMENU h = ::LoadMenuW(AfxGetResourceHandle(), name);
  if (!h && AfxGetResourceHandle() != AfxGetInstanceHandle()) h = ::LoadMenuW(AfxGetInstanceHandle(), name);
  return Attach(h);
}

int CMenu::GetMenuString(UINT id, CString& s, UINT flags) const {
  int n = ::GetMenuStringW(m_hMenu, id, nullptr, 0, flags);
  wchar_t* buf = s.GetBufferSetLength(n + 1);
  n = ::GetMenuStringW(m_hMenu, id, buf, n + 1, flags);
  s.ReleaseBufferSetLength(n);
  return n;
}

namespace {
// Records the menu being tracked in the thread state for its duration.
struct TrackingScope {
  AFX_THREAD_STATE* st;
  HWND oldWnd;
  HMENU oldMenu;
  TrackingScope(HWND w, HMENU m)
      : st(AfxGetThreadState()), oldWnd(st->m_hTrackingWindow), oldMenu(st->m_hTrackingMenu) {
    st->m_hTrackingWindow = w;
    st->m_hTrackingMenu = m;
  }
  ~TrackingScope() {
    st->m_hTrackingWindow = oldWnd;
    st->m_hTrackingMenu = oldMenu;
  }
};
}  // namespace

BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* pWnd, LPCRECT rect) {
  TrackingScope scope(pWnd->GetSafeHwnd(), m_hMenu);
  return ::TrackPopupMenu(m_hMenu, flags, x, y, 0, pWnd->GetSafeHwnd(), rect);
}

BOOL CMenu::TrackPopupMenuEx(UINT flags, int x, int y, CWnd* pWnd, LPTPMPARAMS params) {
  TrackingScope scope(pWnd->GetSafeHwnd(), m_hMenu);
  return ::TrackPopupMenuEx(m_hMenu, flags, x, y, pWnd->GetSafeHwnd(), params);
}

// ---------------------------------------------------------------------------
// Image lists.

CImageList* CImageList::FromHandle(HIMAGELIST h) {
  if (!h) return nullptr;
  CImageList*& temp = AfxGetThreadState()->m_tempImageLists[h];
  if (!temp) {
    temp = new CImageList;
    temp->m_hImageList = h;
  }
  return temp;
}

BOOL CImageList::Attach(HIMAGELIST h) {
  if (!h || m_hImageList) return FALSE;
  m_hImageList = h;
  return TRUE;
}

HIMAGELIST CImageList::Detach() {
  HIMAGELIST h = m_hImageList;
  m_hImageList = nullptr;
  return h;
}

BOOL CImageList::DeleteImageList() {
  if (!m_hImageList) return FALSE;
  return ImageList_Destroy(Detach());
}

BOOL CImageList::Create(UINT bitmapId, int cx, int grow, COLORREF mask) {
  return Create(MAKEINTRESOURCEW(bitmapId), cx, grow, mask);
}

BOOL CImageList::Create(LPCTSTR bitmapName, int cx, int grow, COLORREF mask) {
  return Attach(
      ImageList_LoadImageW(AfxGetResourceHandle(), bitmapName, cx, grow, mask, IMAGE_BITMAP, LR_CREATEDIBSECTION));
}

// ---------------------------------------------------------------------------
// Wait cursor.

CWaitCursor::CWaitCursor() {
  if (CWinApp* app = AfxGetApp())
    app->BeginWaitCursor();
  else
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
}

CWaitCursor::~CWaitCursor() {
  if (CWinApp* app = AfxGetApp())
    app->EndWaitCursor();
  else
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
}

void CWaitCursor::Restore() {
  if (CWinApp* app = AfxGetApp()) app->RestoreWaitCursor();
}
