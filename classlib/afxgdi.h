// Drawing: device contexts, GDI objects, menus, image lists, cursors and the rectangle tracker.
#pragma once
#include "afxwnd.h"

#ifdef _WIN32
class CGdiObject : public CObject {
  DECLARE_DYNCREATE(CGdiObject)
 public:
  HGDIOBJ m_hObject = nullptr;
  CGdiObject() {}
  ~CGdiObject() override { DeleteObject(); }
  operator HGDIOBJ() const { return this ? m_hObject : nullptr; }
  HGDIOBJ GetSafeHandle() const { return this ? m_hObject : nullptr; }
  static CGdiObject* FromHandle(HGDIOBJ h);
  BOOL Attach(HGDIOBJ h);
  HGDIOBJ Detach();
  BOOL DeleteObject();
  int GetObject(int n, LPVOID p) const { return ::GetObjectW(m_hObject, n, p); }
  UINT GetObjectType() const { return (UINT)::GetObjectType(m_hObject); }
  BOOL CreateStockObject(int index) { return Attach(::GetStockObject(index)); }
  BOOL UnrealizeObject() { return ::UnrealizeObject(m_hObject); }

 protected:
  // FromHandle for a derived class: the temporary object has that class.
  template <class T>
  static T* TempFromHandle(HGDIOBJ h);
};

class CPen : public CGdiObject {
  DECLARE_DYNAMIC(CPen)
 public:
  CPen() {}
  CPen(int style, int width, COLORREF color) { Attach(::CreatePen(style, width, color)); }
  static CPen* FromHandle(HPEN h) { return TempFromHandle<CPen>(h); }
  operator HPEN() const { return (HPEN)GetSafeHandle(); }
  BOOL CreatePen(int style, int width, COLORREF color) { return Attach(::CreatePen(style, width, color)); }
  BOOL CreatePenIndirect(LPLOGPEN lp) { return Attach(::CreatePenIndirect(lp)); }
  BOOL CreatePen(int style, int width, const LOGBRUSH* lb, int nStyles = 0, const DWORD* styles = nullptr) {
    return Attach(::ExtCreatePen(style, width, lb, nStyles, styles));
  }
};

class CBrush : public CGdiObject {
  DECLARE_DYNAMIC(CBrush)
 public:
  CBrush() {}
  explicit CBrush(COLORREF color) { Attach(::CreateSolidBrush(color)); }
  CBrush(int hatch, COLORREF color) { Attach(::CreateHatchBrush(hatch, color)); }
  explicit CBrush(class CBitmap* pBitmap);
  static CBrush* FromHandle(HBRUSH h) { return TempFromHandle<CBrush>(h); }
  operator HBRUSH() const { return (HBRUSH)GetSafeHandle(); }
  BOOL CreateSolidBrush(COLORREF color) { return Attach(::CreateSolidBrush(color)); }
  BOOL CreateHatchBrush(int hatch, COLORREF color) { return Attach(::CreateHatchBrush(hatch, color)); }
  BOOL CreateBrushIndirect(const LOGBRUSH* lb) { return Attach(::CreateBrushIndirect(lb)); }
  BOOL CreatePatternBrush(class CBitmap* pBitmap);
  BOOL CreateSysColorBrush(int index) { return Attach(::GetSysColorBrush(index)); }
  int GetLogBrush(LOGBRUSH* lb) const { return GetObject(sizeof(*lb), lb); }
};

class CFont : public CGdiObject {
  DECLARE_DYNAMIC(CFont)
 public:
  CFont() {}
  static CFont* FromHandle(HFONT h) { return TempFromHandle<CFont>(h); }
  operator HFONT() const { return (HFONT)GetSafeHandle(); }
  BOOL CreateFontIndirect(const LOGFONT* lf) { return Attach(::CreateFontIndirectW(lf)); }
  BOOL CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic, BYTE underline,
                  BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision, BYTE quality,
                  BYTE pitchAndFamily, LPCTSTR face) {
    return Attach(::CreateFontW(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                                outPrecision, clipPrecision, quality, pitchAndFamily, face));
  }
  BOOL CreatePointFont(int pointSize10, LPCTSTR face, class CDC* pDC = nullptr);
  int GetLogFont(LOGFONT* lf) const { return GetObject(sizeof(*lf), lf); }
};

class CBitmap : public CGdiObject {
  DECLARE_DYNAMIC(CBitmap)
 public:
  CBitmap() {}
  static CBitmap* FromHandle(HBITMAP h) { return TempFromHandle<CBitmap>(h); }
  operator HBITMAP() const { return (HBITMAP)GetSafeHandle(); }
  BOOL LoadBitmap(UINT id);
  BOOL LoadBitmap(LPCTSTR name);
  BOOL LoadOEMBitmap(UINT id) { return Attach(::LoadBitmapW(nullptr, MAKEINTRESOURCEW(id))); }
  BOOL CreateBitmap(int w, int h, UINT planes, UINT bpp, const void* bits) {
    return Attach(::CreateBitmap(w, h, planes, bpp, bits));
  }
  BOOL CreateCompatibleBitmap(class CDC* pDC, int w, int h);
  BOOL CreateDiscardableBitmap(class CDC* pDC, int w, int h) { return CreateCompatibleBitmap(pDC, w, h); }
  int GetBitmap(BITMAP* bm) const { return GetObject(sizeof(*bm), bm); }
  DWORD SetBitmapBits(DWORD n, const void* bits) { return (DWORD)::SetBitmapBits((HBITMAP)m_hObject, n, bits); }
  DWORD GetBitmapBits(DWORD n, void* bits) const { return (DWORD)::GetBitmapBits((HBITMAP)m_hObject, n, bits); }
  CSize GetBitmapDimension() const {
    SIZE s = {0, 0};
    ::GetBitmapDimensionEx((HBITMAP)m_hObject, &s);
    return s;
  }
};

class CPalette : public CGdiObject {
  DECLARE_DYNAMIC(CPalette)
 public:
  static CPalette* FromHandle(HPALETTE h) { return TempFromHandle<CPalette>(h); }
  operator HPALETTE() const { return (HPALETTE)GetSafeHandle(); }
  BOOL CreatePalette(LPLOGPALETTE lp) { return Attach(::CreatePalette(lp)); }
  BOOL CreateHalftonePalette(class CDC* pDC);
};

class CRgn : public CGdiObject {
  DECLARE_DYNAMIC(CRgn)
 public:
  CRgn() {}
  static CRgn* FromHandle(HRGN h) { return TempFromHandle<CRgn>(h); }
  operator HRGN() const { return (HRGN)GetSafeHandle(); }
  BOOL CreateRectRgn(int l, int t, int r, int b) { return Attach(::CreateRectRgn(l, t, r, b)); }
  BOOL CreateRectRgnIndirect(LPCRECT r) { return Attach(::CreateRectRgnIndirect(r)); }
  BOOL CreateEllipticRgn(int l, int t, int r, int b) { return Attach(::CreateEllipticRgn(l, t, r, b)); }
  BOOL CreateRoundRectRgn(int l, int t, int r, int b, int w, int h) {
    return Attach(::CreateRoundRectRgn(l, t, r, b, w, h));
  }
  BOOL CreatePolygonRgn(const POINT* pts, int n, int mode) { return Attach(::CreatePolygonRgn(pts, n, mode)); }
  void SetRectRgn(int l, int t, int r, int b) { ::SetRectRgn((HRGN)m_hObject, l, t, r, b); }
  void SetRectRgn(LPCRECT r) { SetRectRgn(r->left, r->top, r->right, r->bottom); }
  int CombineRgn(const CRgn* a, const CRgn* b, int mode) {
    return ::CombineRgn((HRGN)m_hObject, (HRGN)a->GetSafeHandle(), (HRGN)b->GetSafeHandle(), mode);
  }
  int CopyRgn(const CRgn* src) { return ::CombineRgn((HRGN)m_hObject, (HRGN)src->GetSafeHandle(), nullptr, RGN_COPY); }
  BOOL EqualRgn(const CRgn* o) const { return ::EqualRgn((HRGN)m_hObject, (HRGN)o->GetSafeHandle()); }
  int OffsetRgn(int x, int y) { return ::OffsetRgn((HRGN)m_hObject, x, y); }
  int GetRgnBox(LPRECT r) const { return ::GetRgnBox((HRGN)m_hObject, r); }
  BOOL PtInRegion(int x, int y) const { return ::PtInRegion((HRGN)m_hObject, x, y); }
  BOOL PtInRegion(POINT p) const { return PtInRegion(p.x, p.y); }
  BOOL RectInRegion(LPCRECT r) const { return ::RectInRegion((HRGN)m_hObject, r); }
};

class CDC : public CObject {
  DECLARE_DYNCREATE(CDC)
 public:
  HDC m_hDC = nullptr;
  HDC m_hAttribDC = nullptr;
  BOOL m_bPrinting = FALSE;  // set by whoever makes a printer context

  CDC() {}
  ~CDC() override {
    if (m_hDC) DeleteDC();
  }
  operator HDC() const { return this ? m_hDC : nullptr; }
  HDC GetSafeHdc() const { return this ? m_hDC : nullptr; }
  static CDC* FromHandle(HDC h);
  static void DeleteTempMap() { AfxDeleteTempMaps(); }
  BOOL Attach(HDC h);
  HDC Detach();
  BOOL DeleteDC();
  CWnd* GetWindow() const { return CWnd::FromHandle(::WindowFromDC(m_hDC)); }
  BOOL IsPrinting() const { return m_bPrinting; }

  BOOL CreateDC(LPCTSTR driver, LPCTSTR device, LPCTSTR output, const DEVMODE* init) {
    return Attach(::CreateDCW(driver, device, output, init));
  }
  BOOL CreateCompatibleDC(CDC* pDC) { return Attach(::CreateCompatibleDC(pDC->GetSafeHdc())); }
  int SaveDC() { return ::SaveDC(m_hDC); }
  BOOL RestoreDC(int saved) { return ::RestoreDC(m_hDC, saved); }
  int GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hAttribDC, index); }

  CGdiObject* SelectStockObject(int index) {
    return CGdiObject::FromHandle(::SelectObject(m_hDC, ::GetStockObject(index)));
  }
  CPen* SelectObject(CPen* p) { return CPen::FromHandle((HPEN)::SelectObject(m_hDC, p->GetSafeHandle())); }
  CBrush* SelectObject(CBrush* p) { return CBrush::FromHandle((HBRUSH)::SelectObject(m_hDC, p->GetSafeHandle())); }
  CFont* SelectObject(CFont* p) { return CFont::FromHandle((HFONT)::SelectObject(m_hDC, p->GetSafeHandle())); }
  CBitmap* SelectObject(CBitmap* p) { return CBitmap::FromHandle((HBITMAP)::SelectObject(m_hDC, p->GetSafeHandle())); }
  int SelectObject(CRgn* p) { return (int)(INT_PTR)::SelectObject(m_hDC, p->GetSafeHandle()); }
  CGdiObject* SelectObject(CGdiObject* p) { return CGdiObject::FromHandle(::SelectObject(m_hDC, p->GetSafeHandle())); }
  HGDIOBJ SelectObject(HGDIOBJ h) { return ::SelectObject(m_hDC, h); }
  CPalette* SelectPalette(CPalette* p, BOOL bg) {
    return CPalette::FromHandle(::SelectPalette(m_hDC, (HPALETTE)p->GetSafeHandle(), bg));
  }
  UINT RealizePalette() { return ::RealizePalette(m_hDC); }
  CFont* GetCurrentFont() const { return CFont::FromHandle((HFONT)::GetCurrentObject(m_hDC, OBJ_FONT)); }
  CBitmap* GetCurrentBitmap() const { return CBitmap::FromHandle((HBITMAP)::GetCurrentObject(m_hDC, OBJ_BITMAP)); }

  COLORREF GetBkColor() const { return ::GetBkColor(m_hDC); }
  COLORREF SetBkColor(COLORREF c) { return ::SetBkColor(m_hDC, c); }
  int GetBkMode() const { return ::GetBkMode(m_hDC); }
  int SetBkMode(int m) { return ::SetBkMode(m_hDC, m); }
  COLORREF GetTextColor() const { return ::GetTextColor(m_hDC); }
  COLORREF SetTextColor(COLORREF c) { return ::SetTextColor(m_hDC, c); }
  int SetROP2(int m) { return ::SetROP2(m_hDC, m); }
  int GetROP2() const { return ::GetROP2(m_hDC); }
  int SetStretchBltMode(int m) { return ::SetStretchBltMode(m_hDC, m); }
  int SetMapMode(int m) { return ::SetMapMode(m_hDC, m); }
  UINT SetTextAlign(UINT f) { return ::SetTextAlign(m_hDC, f); }
  CPoint SetViewportOrg(int x, int y) {
    POINT p = {0, 0};
    ::SetViewportOrgEx(m_hDC, x, y, &p);
    return p;
  }
  CPoint SetViewportOrg(POINT p) { return SetViewportOrg(p.x, p.y); }
  CPoint GetViewportOrg() const {
    POINT p = {0, 0};
    ::GetViewportOrgEx(m_hDC, &p);
    return p;
  }
  CPoint OffsetViewportOrg(int x, int y) {
    POINT p = {0, 0};
    ::OffsetViewportOrgEx(m_hDC, x, y, &p);
    return p;
  }
  CPoint SetWindowOrg(int x, int y) {
    POINT p = {0, 0};
    ::SetWindowOrgEx(m_hDC, x, y, &p);
    return p;
  }
  CPoint SetBrushOrg(int x, int y) {
    POINT p = {0, 0};
    ::SetBrushOrgEx(m_hDC, x, y, &p);
    return p;
  }
  CPoint SetBrushOrg(POINT p) { return SetBrushOrg(p.x, p.y); }
  void DPtoLP(LPPOINT p, int n = 1) const { ::DPtoLP(m_hDC, p, n); }
  void DPtoLP(LPRECT r) const { ::DPtoLP(m_hDC, (LPPOINT)r, 2); }
  void LPtoDP(LPPOINT p, int n = 1) const { ::LPtoDP(m_hDC, p, n); }
  void LPtoDP(LPRECT r) const { ::LPtoDP(m_hDC, (LPPOINT)r, 2); }

  int GetClipBox(LPRECT r) const { return ::GetClipBox(m_hDC, r); }
  int SelectClipRgn(CRgn* rgn) { return ::SelectClipRgn(m_hDC, (HRGN)rgn->GetSafeHandle()); }
  int SelectClipRgn(CRgn* rgn, int mode) { return ::ExtSelectClipRgn(m_hDC, (HRGN)rgn->GetSafeHandle(), mode); }
  int IntersectClipRect(int l, int t, int r, int b) { return ::IntersectClipRect(m_hDC, l, t, r, b); }
  int IntersectClipRect(LPCRECT r) { return IntersectClipRect(r->left, r->top, r->right, r->bottom); }
  int ExcludeClipRect(int l, int t, int r, int b) { return ::ExcludeClipRect(m_hDC, l, t, r, b); }
  int ExcludeClipRect(LPCRECT r) { return ExcludeClipRect(r->left, r->top, r->right, r->bottom); }
  BOOL PtVisible(int x, int y) const { return ::PtVisible(m_hDC, x, y); }
  BOOL RectVisible(LPCRECT r) const { return ::RectVisible(m_hDC, r); }

  CPoint MoveTo(int x, int y) {
    POINT p = {0, 0};
    ::MoveToEx(m_hDC, x, y, &p);
    return p;
  }
  CPoint MoveTo(POINT p) { return MoveTo(p.x, p.y); }
  BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
  BOOL LineTo(POINT p) { return LineTo(p.x, p.y); }
  BOOL Polyline(const POINT* p, int n) { return ::Polyline(m_hDC, p, n); }
  BOOL Polygon(const POINT* p, int n) { return ::Polygon(m_hDC, p, n); }
  BOOL Rectangle(int l, int t, int r, int b) { return ::Rectangle(m_hDC, l, t, r, b); }
  BOOL Rectangle(LPCRECT r) { return Rectangle(r->left, r->top, r->right, r->bottom); }
  BOOL RoundRect(int l, int t, int r, int b, int w, int h) { return ::RoundRect(m_hDC, l, t, r, b, w, h); }
  BOOL RoundRect(LPCRECT r, POINT p) { return RoundRect(r->left, r->top, r->right, r->bottom, p.x, p.y); }
  BOOL Ellipse(int l, int t, int r, int b) { return ::Ellipse(m_hDC, l, t, r, b); }
  BOOL Ellipse(LPCRECT r) { return Ellipse(r->left, r->top, r->right, r->bottom); }
  void FillRect(LPCRECT r, CBrush* b) { ::FillRect(m_hDC, r, (HBRUSH)b->GetSafeHandle()); }
  void FrameRect(LPCRECT r, CBrush* b) { ::FrameRect(m_hDC, r, (HBRUSH)b->GetSafeHandle()); }
  void InvertRect(LPCRECT r) { ::InvertRect(m_hDC, r); }
  BOOL FillRgn(CRgn* rgn, CBrush* b) {
    return ::FillRgn(m_hDC, (HRGN)rgn->GetSafeHandle(), (HBRUSH)b->GetSafeHandle());
  }
  BOOL FrameRgn(CRgn* rgn, CBrush* b, int w, int h) {
    return ::FrameRgn(m_hDC, (HRGN)rgn->GetSafeHandle(), (HBRUSH)b->GetSafeHandle(), w, h);
  }
  void FillSolidRect(LPCRECT r, COLORREF c);
  void FillSolidRect(int x, int y, int cx, int cy, COLORREF c);
  void Draw3dRect(LPCRECT r, COLORREF topLeft, COLORREF bottomRight);
  void Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight);
  void DrawFocusRect(LPCRECT r) { ::DrawFocusRect(m_hDC, r); }
  BOOL DrawEdge(LPRECT r, UINT edge, UINT flags) { return ::DrawEdge(m_hDC, r, edge, flags); }
  BOOL DrawFrameControl(LPRECT r, UINT type, UINT state) { return ::DrawFrameControl(m_hDC, r, type, state); }
  BOOL DrawIcon(int x, int y, HICON h) { return ::DrawIcon(m_hDC, x, y, h); }
  BOOL DrawIcon(POINT p, HICON h) { return ::DrawIcon(m_hDC, p.x, p.y, h); }
  BOOL DrawState(CPoint pt, CSize size, HICON h, UINT flags, CBrush* b = nullptr) {
    return ::DrawStateW(m_hDC, (HBRUSH)b->GetSafeHandle(), nullptr, (LPARAM)h, 0, pt.x, pt.y, size.cx, size.cy,
                        flags | DST_ICON);
  }
  // Draws (or, with lpRectLast, moves) a dragging rectangle: the frame of
  // thickness size, exclusive-ored with the brush (the halftone brush by default).
  void DrawDragRect(LPCRECT lpRect, SIZE size, LPCRECT lpRectLast, SIZE sizeLast, CBrush* pBrush = nullptr,
                    CBrush* pBrushLast = nullptr);
  static CBrush* GetHalftoneBrush();

  BOOL BitBlt(int x, int y, int w, int h, CDC* src, int sx, int sy, DWORD rop) {
    return ::BitBlt(m_hDC, x, y, w, h, src->GetSafeHdc(), sx, sy, rop);
  }
  BOOL StretchBlt(int x, int y, int w, int h, CDC* src, int sx, int sy, int sw, int sh, DWORD rop) {
    return ::StretchBlt(m_hDC, x, y, w, h, src->GetSafeHdc(), sx, sy, sw, sh, rop);
  }
  BOOL PatBlt(int x, int y, int w, int h, DWORD rop) { return ::PatBlt(m_hDC, x, y, w, h, rop); }
  BOOL TransparentBlt(int x, int y, int w, int h, CDC* src, int sx, int sy, int sw, int sh, UINT transparent);
  BOOL AlphaBlend(int x, int y, int w, int h, CDC* src, int sx, int sy, int sw, int sh, BLENDFUNCTION bf);
  COLORREF GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
  COLORREF GetPixel(POINT p) const { return ::GetPixel(m_hDC, p.x, p.y); }
  COLORREF SetPixel(int x, int y, COLORREF c) { return ::SetPixel(m_hDC, x, y, c); }
  COLORREF SetPixel(POINT p, COLORREF c) { return ::SetPixel(m_hDC, p.x, p.y, c); }
  BOOL SetPixelV(int x, int y, COLORREF c) { return ::SetPixelV(m_hDC, x, y, c); }

  BOOL TextOut(int x, int y, LPCTSTR s, int n) { return ::TextOutW(m_hDC, x, y, s, n); }
  BOOL TextOut(int x, int y, const CString& s) { return TextOut(x, y, s, s.GetLength()); }
  BOOL ExtTextOut(int x, int y, UINT opts, LPCRECT r, LPCTSTR s, UINT n, const int* dx) {
    return ::ExtTextOutW(m_hDC, x, y, opts, r, s, n, dx);
  }
  BOOL ExtTextOut(int x, int y, UINT opts, LPCRECT r, const CString& s, const int* dx) {
    return ExtTextOut(x, y, opts, r, s, (UINT)s.GetLength(), dx);
  }
  int DrawText(LPCTSTR s, int n, LPRECT r, UINT fmt) { return ::DrawTextW(m_hDC, s, n, r, fmt); }
  int DrawText(const CString& s, LPRECT r, UINT fmt) { return DrawText(s, s.GetLength(), r, fmt); }
  int DrawTextEx(LPTSTR s, int n, LPRECT r, UINT fmt, LPDRAWTEXTPARAMS p) {
    return ::DrawTextExW(m_hDC, s, n, r, fmt, p);
  }
  CSize GetTextExtent(LPCTSTR s, int n) const {
    SIZE sz = {0, 0};
    ::GetTextExtentPoint32W(m_hAttribDC, s, n, &sz);
    return sz;
  }
  CSize GetTextExtent(const CString& s) const { return GetTextExtent(s, s.GetLength()); }
  CSize GetOutputTextExtent(const CString& s) const {
    SIZE sz = {0, 0};
    ::GetTextExtentPoint32W(m_hDC, s, s.GetLength(), &sz);
    return sz;
  }
  BOOL GetTextMetrics(LPTEXTMETRIC tm) const { return ::GetTextMetricsW(m_hAttribDC, tm); }
  int GetTextFace(CString& face) const;
};

class CPaintDC : public CDC {
  DECLARE_DYNAMIC(CPaintDC)
 public:
  explicit CPaintDC(CWnd* pWnd);
  ~CPaintDC() override;
  PAINTSTRUCT m_ps = {};

 protected:
  HWND m_hWnd;
};

class CClientDC : public CDC {
  DECLARE_DYNAMIC(CClientDC)
 public:
  explicit CClientDC(CWnd* pWnd);
  ~CClientDC() override;

 protected:
  HWND m_hWnd;
};

class CWindowDC : public CDC {
  DECLARE_DYNAMIC(CWindowDC)
 public:
  explicit CWindowDC(CWnd* pWnd);
  ~CWindowDC() override;

 protected:
  HWND m_hWnd;
};

class CMenu : public CObject {
  DECLARE_DYNCREATE(CMenu)
 public:
  HMENU m_hMenu = nullptr;
  CMenu() {}
  ~CMenu() override { DestroyMenu(); }
  operator HMENU() const { return this ? m_hMenu : nullptr; }
  HMENU GetSafeHmenu() const { return this ? m_hMenu : nullptr; }
  static CMenu* FromHandle(HMENU h);
  static void DeleteTempMap() { AfxDeleteTempMaps(); }
  BOOL Attach(HMENU h);
  HMENU Detach();
  BOOL CreateMenu() { return Attach(::CreateMenu()); }
  BOOL CreatePopupMenu() { return Attach(::CreatePopupMenu()); }
  BOOL LoadMenu(UINT id);
  BOOL LoadMenu(LPCTSTR name);
  BOOL DestroyMenu();

  BOOL AppendMenu(UINT flags, UINT_PTR id = 0, LPCTSTR item = nullptr) {
    return ::AppendMenuW(m_hMenu, flags, id, item);
  }
  BOOL InsertMenu(UINT pos, UINT flags, UINT_PTR id = 0, LPCTSTR item = nullptr) {
    return ::InsertMenuW(m_hMenu, pos, flags, id, item);
  }
  BOOL ModifyMenu(UINT pos, UINT flags, UINT_PTR id = 0, LPCTSTR item = nullptr) {
    return ::ModifyMenuW(m_hMenu, pos, flags, id, item);
  }
  BOOL DeleteMenu(UINT pos, UINT flags) { return ::DeleteMenu(m_hMenu, pos, flags); }
  BOOL RemoveMenu(UINT pos, UINT flags) { return ::RemoveMenu(m_hMenu, pos, flags); }
  UINT EnableMenuItem(UINT id, UINT enable) { return ::EnableMenuItem(m_hMenu, id, enable); }
  UINT CheckMenuItem(UINT id, UINT check) { return (UINT)::CheckMenuItem(m_hMenu, id, check); }
  BOOL CheckMenuRadioItem(UINT first, UINT last, UINT item, UINT flags) {
    return ::CheckMenuRadioItem(m_hMenu, first, last, item, flags);
  }
  BOOL SetDefaultItem(UINT item, BOOL byPos = FALSE) { return ::SetMenuDefaultItem(m_hMenu, item, byPos); }
  UINT GetDefaultItem(UINT flags, BOOL byPos = FALSE) const { return ::GetMenuDefaultItem(m_hMenu, byPos, flags); }
  UINT GetMenuState(UINT id, UINT flags) const { return ::GetMenuState(m_hMenu, id, flags); }
  int GetMenuItemCount() const { return ::GetMenuItemCount(m_hMenu); }
  UINT GetMenuItemID(int pos) const { return ::GetMenuItemID(m_hMenu, pos); }
  int GetMenuString(UINT id, CString& s, UINT flags) const;
  BOOL GetMenuItemInfo(UINT item, LPMENUITEMINFO mii, BOOL byPos = FALSE) {
    mii->cbSize = sizeof(*mii);
    return ::GetMenuItemInfoW(m_hMenu, item, byPos, mii);
  }
  BOOL SetMenuItemInfo(UINT item, LPMENUITEMINFO mii, BOOL byPos = FALSE) {
    mii->cbSize = sizeof(*mii);
    return ::SetMenuItemInfoW(m_hMenu, item, byPos, mii);
  }
  CMenu* GetSubMenu(int pos) const { return FromHandle(::GetSubMenu(m_hMenu, pos)); }
  // Shows the popup; the thread state records it as the tracking menu meanwhile.
  BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* pWnd, LPCRECT rect = nullptr);
  BOOL TrackPopupMenuEx(UINT flags, int x, int y, CWnd* pWnd, LPTPMPARAMS params);
  virtual void DrawItem(LPDRAWITEMSTRUCT) {}
  virtual void MeasureItem(LPMEASUREITEMSTRUCT) {}
};

class CImageList : public CObject {
  DECLARE_DYNCREATE(CImageList)
 public:
  HIMAGELIST m_hImageList = nullptr;
  CImageList() {}
  ~CImageList() override { DeleteImageList(); }
  operator HIMAGELIST() const { return this ? m_hImageList : nullptr; }
  HIMAGELIST GetSafeHandle() const { return this ? m_hImageList : nullptr; }
  static CImageList* FromHandle(HIMAGELIST h);
  BOOL Attach(HIMAGELIST h);
  HIMAGELIST Detach();
  BOOL Create(int cx, int cy, UINT flags, int initial, int grow) {
    return Attach(ImageList_Create(cx, cy, flags, initial, grow));
  }
  BOOL Create(UINT bitmapId, int cx, int grow, COLORREF mask);
  BOOL Create(LPCTSTR bitmapName, int cx, int grow, COLORREF mask);
  BOOL Create(CImageList* src) { return Attach(ImageList_Duplicate(src->GetSafeHandle())); }
  BOOL DeleteImageList();
  int GetImageCount() const { return ImageList_GetImageCount(m_hImageList); }
  BOOL SetImageCount(UINT n) { return ImageList_SetImageCount(m_hImageList, n); }
  int Add(CBitmap* bm, CBitmap* mask) {
    return ImageList_Add(m_hImageList, (HBITMAP)bm->GetSafeHandle(), (HBITMAP)mask->GetSafeHandle());
  }
  int Add(CBitmap* bm, COLORREF mask) { return ImageList_AddMasked(m_hImageList, (HBITMAP)bm->GetSafeHandle(), mask); }
  int Add(HICON h) { return ImageList_AddIcon(m_hImageList, h); }
  BOOL Replace(int i, CBitmap* bm, CBitmap* mask) {
    return ImageList_Replace(m_hImageList, i, (HBITMAP)bm->GetSafeHandle(), (HBITMAP)mask->GetSafeHandle());
  }
  int Replace(int i, HICON h) { return ImageList_ReplaceIcon(m_hImageList, i, h); }
  BOOL Remove(int i) { return ImageList_Remove(m_hImageList, i); }
  HICON ExtractIcon(int i) { return ImageList_GetIcon(m_hImageList, i, ILD_NORMAL); }
  BOOL Draw(CDC* pDC, int i, POINT p, UINT style) {
    return ImageList_Draw(m_hImageList, i, pDC->GetSafeHdc(), p.x, p.y, style);
  }
  BOOL DrawEx(CDC* pDC, int i, POINT p, SIZE s, COLORREF bk, COLORREF fg, UINT style) {
    return ImageList_DrawEx(m_hImageList, i, pDC->GetSafeHdc(), p.x, p.y, s.cx, s.cy, bk, fg, style);
  }
  BOOL DrawIndirect(IMAGELISTDRAWPARAMS* p) {
    p->cbSize = sizeof(*p);
    return ImageList_DrawIndirect(p);
  }
  COLORREF SetBkColor(COLORREF c) { return ImageList_SetBkColor(m_hImageList, c); }
  COLORREF GetBkColor() const { return ImageList_GetBkColor(m_hImageList); }
  BOOL GetImageInfo(int i, IMAGEINFO* info) const { return ImageList_GetImageInfo(m_hImageList, i, info); }
  BOOL SetOverlayImage(int image, int overlay) { return ImageList_SetOverlayImage(m_hImageList, image, overlay); }
  BOOL GetIconSize(int* cx, int* cy) const { return ImageList_GetIconSize(m_hImageList, cx, cy); }
  BOOL BeginDrag(int i, POINT hot) { return ImageList_BeginDrag(m_hImageList, i, hot.x, hot.y); }
  static void EndDrag() { ImageList_EndDrag(); }
  static BOOL DragMove(POINT p) { return ImageList_DragMove(p.x, p.y); }
  static BOOL DragEnter(CWnd* w, POINT p) { return ImageList_DragEnter(w->GetSafeHwnd(), p.x, p.y); }
  static BOOL DragLeave(CWnd* w) { return ImageList_DragLeave(w->GetSafeHwnd()); }
  static BOOL DragShowNolock(BOOL b) { return ImageList_DragShowNolock(b); }
};

// Shows the wait cursor for the object's lifetime.
class CWaitCursor {
 public:
  CWaitCursor();
  ~CWaitCursor();
  void Restore();
};

// A rectangle the user moves, sizes or draws with the mouse.
class CRectTracker {
 public:
  enum StyleFlags {
    solidLine = 1,
    dottedLine = 2,
    hatchedBorder = 4,
    resizeInside = 8,
    resizeOutside = 16,
    hatchInside = 32
  };
  enum TrackerHit {
    hitNothing = -1,
    hitTopLeft = 0,
    hitTopRight = 1,
    hitBottomRight = 2,
    hitBottomLeft = 3,
    hitTop = 4,
    hitRight = 5,
    hitBottom = 6,
    hitLeft = 7,
    hitMiddle = 8
  };
  CRect m_rect;
  CSize m_sizeMin;
  int m_nHandleSize = 4;
  UINT m_nStyle = 0;

  CRectTracker() { Construct(); }
  CRectTracker(LPCRECT rect, UINT style) {
    Construct();
    m_rect = *rect;
    m_nStyle = style;
  }
  virtual ~CRectTracker() {}

  void Draw(CDC* pDC) const;
  void GetTrueRect(LPRECT rect) const;
  BOOL SetCursor(CWnd* pWnd, UINT nHitTest) const;
  BOOL Track(CWnd* pWnd, CPoint point, BOOL bAllowInvert = FALSE, CWnd* pWndClipTo = nullptr);
  // Rubber band: from point, until the left button is released.
  BOOL TrackRubberBand(CWnd* pWnd, CPoint point, BOOL bAllowInvert = TRUE);
  int HitTest(CPoint point) const;
  int NormalizeHit(int nHandle) const;

  virtual void DrawTrackerRect(LPCRECT lpRect, CWnd* pWndClipTo, CDC* pDC, CWnd* pWnd);
  virtual void AdjustRect(int nHandle, LPRECT lpRect);
  virtual void OnChangedRect(const CRect& rectOld);
  virtual UINT GetHandleMask() const;

 protected:
  BOOL m_bAllowInvert = FALSE;
  CRect m_rectLast;
  CSize m_sizeLast;
  BOOL m_bErase = FALSE;
  BOOL m_bFinalErase = FALSE;
  void Construct();
  BOOL TrackHandle(int nHandle, CWnd* pWnd, CPoint point, CWnd* pWndClipTo);
  void GetHandleRect(int nHandle, CRect* pHandleRect) const;
  int HitTestHandles(CPoint point) const;
  void GetModifyPointers(int nHandle, int** ppx, int** ppy, int* px, int* py);
  // What DrawTrackerRect draws for lpRect: the rectangle in pWndClipTo's
  // coordinates (when given) and the border size of this pass.
  void GetDragRect(LPCRECT lpRect, CWnd* pWndClipTo, CWnd* pWnd, CRect& rect, CSize& size) const;
};

// Updates a popup menu's items through the target's update handlers (the
// frame window's rule); items without any handler are disabled when asked.
// pParentMenu, when given, is the menu the popup belongs to (else the popup
// itself when it is the menu being tracked).
void AfxUpdateMenuPopup(CCmdTarget* pTarget, CMenu* pPopup, BOOL bAutoMenuEnable, CMenu* pParentMenu = nullptr);
#endif
