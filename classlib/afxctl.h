// Control classes: thin wrappers of the standard and common controls, with
// owner-draw items handled by the control itself (DrawItem, MeasureItem, ...).
#pragma once
#include "afxdlg.h"

#ifdef _WIN32
#define AFX_CTL_CREATE(cls)                                                          \
  virtual BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) { \
    return CWnd::Create(cls, nullptr, dwStyle, rect, pParentWnd, nID);               \
  }

class CStatic : public CWnd {
  DECLARE_DYNAMIC(CStatic)
 public:
  virtual BOOL Create(LPCTSTR text, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID = 0xFFFF) {
    return CWnd::Create(L"STATIC", text, dwStyle, rect, pParentWnd, nID);
  }
  HICON SetIcon(HICON h) { return (HICON)SendMessage(STM_SETICON, (WPARAM)h); }
  HICON GetIcon() const { return (HICON)SendMessage(STM_GETICON); }
  HBITMAP SetBitmap(HBITMAP h) { return (HBITMAP)SendMessage(STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)h); }
  HBITMAP GetBitmap() const { return (HBITMAP)SendMessage(STM_GETIMAGE, IMAGE_BITMAP); }
  virtual void DrawItem(LPDRAWITEMSTRUCT) {}
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};

class CButton : public CWnd {
  DECLARE_DYNAMIC(CButton)
 public:
  virtual BOOL Create(LPCTSTR text, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CWnd::Create(L"BUTTON", text, dwStyle, rect, pParentWnd, nID);
  }
  UINT GetState() const { return (UINT)SendMessage(BM_GETSTATE); }
  void SetState(BOOL b) { SendMessage(BM_SETSTATE, b); }
  int GetCheck() const { return (int)SendMessage(BM_GETCHECK); }
  void SetCheck(int n) { SendMessage(BM_SETCHECK, (WPARAM)n); }
  UINT GetButtonStyle() const { return (UINT)GetStyle() & 0xFFFF; }
  void SetButtonStyle(UINT style, BOOL redraw = TRUE) { SendMessage(BM_SETSTYLE, style, redraw); }
  HICON SetIcon(HICON h) { return (HICON)SendMessage(BM_SETIMAGE, IMAGE_ICON, (LPARAM)h); }
  HBITMAP SetBitmap(HBITMAP h) { return (HBITMAP)SendMessage(BM_SETIMAGE, IMAGE_BITMAP, (LPARAM)h); }
  virtual void DrawItem(LPDRAWITEMSTRUCT) {}
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};

class CEdit : public CWnd {
  DECLARE_DYNAMIC(CEdit)
 public:
  AFX_CTL_CREATE(L"EDIT")
  BOOL CanUndo() const { return (BOOL)SendMessage(EM_CANUNDO); }
  BOOL Undo() { return (BOOL)SendMessage(EM_UNDO); }
  void EmptyUndoBuffer() { SendMessage(EM_EMPTYUNDOBUFFER); }
  int GetLineCount() const { return (int)SendMessage(EM_GETLINECOUNT); }
  BOOL GetModify() const { return (BOOL)SendMessage(EM_GETMODIFY); }
  void SetModify(BOOL b = TRUE) { SendMessage(EM_SETMODIFY, b); }
  void GetSel(int& start, int& end) const { SendMessage(EM_GETSEL, (WPARAM)&start, (LPARAM)&end); }
  DWORD GetSel() const { return (DWORD)SendMessage(EM_GETSEL); }
  void SetSel(int start, int end, BOOL noScroll = FALSE) {
    SendMessage(EM_SETSEL, (WPARAM)start, end);
    if (!noScroll) SendMessage(EM_SCROLLCARET);
  }
  void SetSel(DWORD sel, BOOL noScroll = FALSE) { SetSel((int)(short)LOWORD(sel), (int)(short)HIWORD(sel), noScroll); }
  void ReplaceSel(LPCTSTR s, BOOL canUndo = FALSE) { SendMessage(EM_REPLACESEL, canUndo, (LPARAM)s); }
  void SetLimitText(UINT n) { SendMessage(EM_LIMITTEXT, n); }
  void LimitText(int n = 0) { SendMessage(EM_LIMITTEXT, (WPARAM)n); }
  UINT GetLimitText() const { return (UINT)SendMessage(EM_GETLIMITTEXT); }
  BOOL SetReadOnly(BOOL b = TRUE) { return (BOOL)SendMessage(EM_SETREADONLY, b); }
  void SetPasswordChar(TCHAR c) { SendMessage(EM_SETPASSWORDCHAR, c); }
  int LineFromChar(int i = -1) const { return (int)SendMessage(EM_LINEFROMCHAR, (WPARAM)i); }
  int LineIndex(int line = -1) const { return (int)SendMessage(EM_LINEINDEX, (WPARAM)line); }
  int LineLength(int i = -1) const { return (int)SendMessage(EM_LINELENGTH, (WPARAM)i); }
  void LineScroll(int lines, int chars = 0) { SendMessage(EM_LINESCROLL, (WPARAM)chars, lines); }
  void SetMargins(UINT left, UINT right) {
    SendMessage(EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELONG(left, right));
  }
  CPoint PosFromChar(UINT i) const { return CPoint((LPARAM)SendMessage(EM_POSFROMCHAR, i)); }
  int CharFromPos(CPoint p) const { return (int)SendMessage(EM_CHARFROMPOS, 0, MAKELPARAM(p.x, p.y)); }
  void Clear() { SendMessage(WM_CLEAR); }
  void Copy() { SendMessage(WM_COPY); }
  void Cut() { SendMessage(WM_CUT); }
  void Paste() { SendMessage(WM_PASTE); }
};

class CScrollBar : public CWnd {
  DECLARE_DYNAMIC(CScrollBar)
 public:
  AFX_CTL_CREATE(L"SCROLLBAR")
  int GetScrollPos() const { return ::GetScrollPos(m_hWnd, SB_CTL); }
  int SetScrollPos(int pos, BOOL redraw = TRUE) { return ::SetScrollPos(m_hWnd, SB_CTL, pos, redraw); }
  void GetScrollRange(int* mn, int* mx) const { ::GetScrollRange(m_hWnd, SB_CTL, mn, mx); }
  void SetScrollRange(int mn, int mx, BOOL redraw = TRUE) { ::SetScrollRange(m_hWnd, SB_CTL, mn, mx, redraw); }
  BOOL SetScrollInfo(LPSCROLLINFO si, BOOL redraw = TRUE) {
    si->cbSize = sizeof(*si);
    ::SetScrollInfo(m_hWnd, SB_CTL, si, redraw);
    return TRUE;
  }
  BOOL GetScrollInfo(LPSCROLLINFO si, UINT mask = SIF_ALL) {
    si->cbSize = sizeof(*si);
    si->fMask = mask;
    return ::GetScrollInfo(m_hWnd, SB_CTL, si);
  }
  int GetScrollLimit();
  void ShowScrollBar(BOOL show = TRUE) { ::ShowScrollBar(m_hWnd, SB_CTL, show); }
  BOOL EnableScrollBar(UINT flags = ESB_ENABLE_BOTH) { return ::EnableScrollBar(m_hWnd, SB_CTL, flags); }
};

class CListBox : public CWnd {
  DECLARE_DYNAMIC(CListBox)
 public:
  AFX_CTL_CREATE(L"LISTBOX")
  int GetCount() const { return (int)SendMessage(LB_GETCOUNT); }
  int GetCurSel() const { return (int)SendMessage(LB_GETCURSEL); }
  int SetCurSel(int i) { return (int)SendMessage(LB_SETCURSEL, (WPARAM)i); }
  int GetSel(int i) const { return (int)SendMessage(LB_GETSEL, (WPARAM)i); }
  int SetSel(int i, BOOL b = TRUE) { return (int)SendMessage(LB_SETSEL, b, i); }
  int GetSelCount() const { return (int)SendMessage(LB_GETSELCOUNT); }
  int GetSelItems(int n, LPINT items) const { return (int)SendMessage(LB_GETSELITEMS, (WPARAM)n, (LPARAM)items); }
  DWORD_PTR GetItemData(int i) const { return (DWORD_PTR)SendMessage(LB_GETITEMDATA, (WPARAM)i); }
  int SetItemData(int i, DWORD_PTR d) { return (int)SendMessage(LB_SETITEMDATA, (WPARAM)i, (LPARAM)d); }
  void* GetItemDataPtr(int i) const { return (void*)GetItemData(i); }
  int SetItemDataPtr(int i, void* p) { return SetItemData(i, (DWORD_PTR)p); }
  int GetItemRect(int i, LPRECT r) const { return (int)SendMessage(LB_GETITEMRECT, (WPARAM)i, (LPARAM)r); }
  int GetText(int i, LPTSTR buf) const { return (int)SendMessage(LB_GETTEXT, (WPARAM)i, (LPARAM)buf); }
  void GetText(int i, CString& s) const;
  int GetTextLen(int i) const { return (int)SendMessage(LB_GETTEXTLEN, (WPARAM)i); }
  int SetItemHeight(int i, UINT h) { return (int)SendMessage(LB_SETITEMHEIGHT, (WPARAM)i, MAKELONG(h, 0)); }
  int GetItemHeight(int i) const { return (int)SendMessage(LB_GETITEMHEIGHT, (WPARAM)i); }
  int GetTopIndex() const { return (int)SendMessage(LB_GETTOPINDEX); }
  int SetTopIndex(int i) { return (int)SendMessage(LB_SETTOPINDEX, (WPARAM)i); }
  int AddString(LPCTSTR s) { return (int)SendMessage(LB_ADDSTRING, 0, (LPARAM)s); }
  int InsertString(int i, LPCTSTR s) { return (int)SendMessage(LB_INSERTSTRING, (WPARAM)i, (LPARAM)s); }
  int DeleteString(UINT i) { return (int)SendMessage(LB_DELETESTRING, i); }
  void ResetContent() { SendMessage(LB_RESETCONTENT); }
  int FindString(int start, LPCTSTR s) const { return (int)SendMessage(LB_FINDSTRING, (WPARAM)start, (LPARAM)s); }
  int FindStringExact(int start, LPCTSTR s) const {
    return (int)SendMessage(LB_FINDSTRINGEXACT, (WPARAM)start, (LPARAM)s);
  }
  int SelectString(int start, LPCTSTR s) { return (int)SendMessage(LB_SELECTSTRING, (WPARAM)start, (LPARAM)s); }
  virtual void DrawItem(LPDRAWITEMSTRUCT) {}
  virtual void MeasureItem(LPMEASUREITEMSTRUCT) {}
  virtual int CompareItem(LPCOMPAREITEMSTRUCT) { return 0; }
  virtual void DeleteItem(LPDELETEITEMSTRUCT) {}
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};

class CComboBox : public CWnd {
  DECLARE_DYNAMIC(CComboBox)
 public:
  AFX_CTL_CREATE(L"COMBOBOX")
  int GetCount() const { return (int)SendMessage(CB_GETCOUNT); }
  int GetCurSel() const { return (int)SendMessage(CB_GETCURSEL); }
  int SetCurSel(int i) { return (int)SendMessage(CB_SETCURSEL, (WPARAM)i); }
  DWORD GetEditSel() const { return (DWORD)SendMessage(CB_GETEDITSEL); }
  BOOL SetEditSel(int start, int end) { return (BOOL)SendMessage(CB_SETEDITSEL, 0, MAKELONG(start, end)); }
  BOOL LimitText(int n) { return (BOOL)SendMessage(CB_LIMITTEXT, (WPARAM)n); }
  DWORD_PTR GetItemData(int i) const { return (DWORD_PTR)SendMessage(CB_GETITEMDATA, (WPARAM)i); }
  int SetItemData(int i, DWORD_PTR d) { return (int)SendMessage(CB_SETITEMDATA, (WPARAM)i, (LPARAM)d); }
  void* GetItemDataPtr(int i) const { return (void*)GetItemData(i); }
  int SetItemDataPtr(int i, void* p) { return SetItemData(i, (DWORD_PTR)p); }
  int GetLBText(int i, LPTSTR buf) const { return (int)SendMessage(CB_GETLBTEXT, (WPARAM)i, (LPARAM)buf); }
  void GetLBText(int i, CString& s) const;
  int GetLBTextLen(int i) const { return (int)SendMessage(CB_GETLBTEXTLEN, (WPARAM)i); }
  int SetItemHeight(int i, UINT h) { return (int)SendMessage(CB_SETITEMHEIGHT, (WPARAM)i, h); }
  int GetItemHeight(int i) const { return (int)SendMessage(CB_GETITEMHEIGHT, (WPARAM)i); }
  int SetExtendedUI(BOOL b = TRUE) { return (int)SendMessage(CB_SETEXTENDEDUI, b); }
  BOOL GetExtendedUI() const { return (BOOL)SendMessage(CB_GETEXTENDEDUI); }
  void GetDroppedControlRect(LPRECT r) const { SendMessage(CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)r); }
  BOOL GetDroppedState() const { return (BOOL)SendMessage(CB_GETDROPPEDSTATE); }
  int GetDroppedWidth() const { return (int)SendMessage(CB_GETDROPPEDWIDTH); }
  int SetDroppedWidth(UINT w) { return (int)SendMessage(CB_SETDROPPEDWIDTH, w); }
  int GetTopIndex() const { return (int)SendMessage(CB_GETTOPINDEX); }
  int SetTopIndex(int i) { return (int)SendMessage(CB_SETTOPINDEX, (WPARAM)i); }
  void ShowDropDown(BOOL b = TRUE) { SendMessage(CB_SHOWDROPDOWN, b); }
  int AddString(LPCTSTR s) { return (int)SendMessage(CB_ADDSTRING, 0, (LPARAM)s); }
  int InsertString(int i, LPCTSTR s) { return (int)SendMessage(CB_INSERTSTRING, (WPARAM)i, (LPARAM)s); }
  int DeleteString(UINT i) { return (int)SendMessage(CB_DELETESTRING, i); }
  void ResetContent() { SendMessage(CB_RESETCONTENT); }
  int FindString(int start, LPCTSTR s) const { return (int)SendMessage(CB_FINDSTRING, (WPARAM)start, (LPARAM)s); }
  int FindStringExact(int start, LPCTSTR s) const {
    return (int)SendMessage(CB_FINDSTRINGEXACT, (WPARAM)start, (LPARAM)s);
  }
  int SelectString(int start, LPCTSTR s) { return (int)SendMessage(CB_SELECTSTRING, (WPARAM)start, (LPARAM)s); }
  void Clear() { SendMessage(WM_CLEAR); }
  void Copy() { SendMessage(WM_COPY); }
  void Cut() { SendMessage(WM_CUT); }
  void Paste() { SendMessage(WM_PASTE); }
  virtual void DrawItem(LPDRAWITEMSTRUCT) {}
  virtual void MeasureItem(LPMEASUREITEMSTRUCT) {}
  virtual int CompareItem(LPCOMPAREITEMSTRUCT) { return 0; }
  virtual void DeleteItem(LPDELETEITEMSTRUCT) {}
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};

class CComboBoxEx : public CComboBox {
  DECLARE_DYNAMIC(CComboBoxEx)
 public:
  AFX_CTL_CREATE(WC_COMBOBOXEXW)
  int InsertItem(const COMBOBOXEXITEM* item) { return (int)SendMessage(CBEM_INSERTITEMW, 0, (LPARAM)item); }
  int DeleteItem(int i) { return (int)SendMessage(CBEM_DELETEITEM, (WPARAM)i); }
  BOOL GetItem(COMBOBOXEXITEM* item) { return (BOOL)SendMessage(CBEM_GETITEMW, 0, (LPARAM)item); }
  BOOL SetItem(const COMBOBOXEXITEM* item) { return (BOOL)SendMessage(CBEM_SETITEMW, 0, (LPARAM)item); }
  CComboBox* GetComboBoxCtrl() { return (CComboBox*)CWnd::FromHandle((HWND)SendMessage(CBEM_GETCOMBOCONTROL)); }
  CEdit* GetEditCtrl() { return (CEdit*)CWnd::FromHandle((HWND)SendMessage(CBEM_GETEDITCONTROL)); }
  CImageList* GetImageList() const { return CImageList::FromHandle((HIMAGELIST)SendMessage(CBEM_GETIMAGELIST)); }
  CImageList* SetImageList(CImageList* p) {
    return CImageList::FromHandle((HIMAGELIST)SendMessage(CBEM_SETIMAGELIST, 0, (LPARAM)p->GetSafeHandle()));
  }
  DWORD GetExtendedStyle() const { return (DWORD)SendMessage(CBEM_GETEXTENDEDSTYLE); }
  DWORD SetExtendedStyle(DWORD mask, DWORD styles) { return (DWORD)SendMessage(CBEM_SETEXTENDEDSTYLE, mask, styles); }
  BOOL HasEditChanged() { return (BOOL)SendMessage(CBEM_HASEDITCHANGED); }
};

class CProgressCtrl : public CWnd {
  DECLARE_DYNAMIC(CProgressCtrl)
 public:
  AFX_CTL_CREATE(PROGRESS_CLASSW)
  void SetRange(short lo, short hi) { SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lo, hi)); }
  void SetRange32(int lo, int hi) { SendMessage(PBM_SETRANGE32, (WPARAM)lo, hi); }
  void GetRange(int& lo, int& hi) const {
    PBRANGE r = {};
    SendMessage(PBM_GETRANGE, 0, (LPARAM)&r);
    lo = r.iLow;
    hi = r.iHigh;
  }
  int GetPos() const { return (int)SendMessage(PBM_GETPOS); }
  int SetPos(int n) { return (int)SendMessage(PBM_SETPOS, (WPARAM)n); }
  int OffsetPos(int n) { return (int)SendMessage(PBM_DELTAPOS, (WPARAM)n); }
  int SetStep(int n) { return (int)SendMessage(PBM_SETSTEP, (WPARAM)n); }
  int StepIt() { return (int)SendMessage(PBM_STEPIT); }
  COLORREF SetBarColor(COLORREF c) { return (COLORREF)SendMessage(PBM_SETBARCOLOR, 0, c); }
  COLORREF SetBkColor(COLORREF c) { return (COLORREF)SendMessage(PBM_SETBKCOLOR, 0, c); }
};

class CToolTipCtrl : public CWnd {
  DECLARE_DYNAMIC(CToolTipCtrl)
 public:
  virtual BOOL Create(CWnd* pParentWnd, DWORD dwStyle = 0);
  BOOL AddTool(CWnd* pWnd, LPCTSTR text = LPSTR_TEXTCALLBACKW, LPCRECT rect = nullptr, UINT_PTR nIDTool = 0);
  BOOL AddTool(CWnd* pWnd, UINT nIDText, LPCRECT rect = nullptr, UINT_PTR nIDTool = 0);
  void DelTool(CWnd* pWnd, UINT_PTR nIDTool = 0);
  void UpdateTipText(LPCTSTR text, CWnd* pWnd, UINT_PTR nIDTool = 0);
  void SetToolRect(CWnd* pWnd, UINT_PTR nIDTool, LPCRECT rect);
  BOOL GetToolInfo(TOOLINFO& ti, CWnd* pWnd, UINT_PTR nIDTool = 0) const;
  void SetToolInfo(TOOLINFO* ti) { SendMessage(TTM_SETTOOLINFOW, 0, (LPARAM)ti); }
  int GetToolCount() const { return (int)SendMessage(TTM_GETTOOLCOUNT); }
  void Activate(BOOL b) { SendMessage(TTM_ACTIVATE, b); }
  void RelayEvent(LPMSG msg) { SendMessage(TTM_RELAYEVENT, 0, (LPARAM)msg); }
  void SetDelayTime(UINT ms) { SendMessage(TTM_SETDELAYTIME, TTDT_AUTOMATIC, (LPARAM)ms); }
  void SetDelayTime(DWORD which, int ms) { SendMessage(TTM_SETDELAYTIME, which, MAKELPARAM(ms, 0)); }
  int SetMaxTipWidth(int w) { return (int)SendMessage(TTM_SETMAXTIPWIDTH, 0, w); }
  void Pop() { SendMessage(TTM_POP); }
  void Update() { SendMessage(TTM_UPDATE); }
  void SetTipBkColor(COLORREF c) { SendMessage(TTM_SETTIPBKCOLOR, c); }
  void SetTipTextColor(COLORREF c) { SendMessage(TTM_SETTIPTEXTCOLOR, c); }

 protected:
  void FillInToolInfo(TOOLINFO& ti, CWnd* pWnd, UINT_PTR nIDTool) const;
};

class CHeaderCtrl : public CWnd {
  DECLARE_DYNAMIC(CHeaderCtrl)
 public:
  AFX_CTL_CREATE(WC_HEADERW)
  int GetItemCount() const { return (int)SendMessage(HDM_GETITEMCOUNT); }
  int InsertItem(int i, HDITEM* item) { return (int)SendMessage(HDM_INSERTITEMW, (WPARAM)i, (LPARAM)item); }
  BOOL DeleteItem(int i) { return (BOOL)SendMessage(HDM_DELETEITEM, (WPARAM)i); }
  BOOL GetItem(int i, HDITEM* item) const { return (BOOL)SendMessage(HDM_GETITEMW, (WPARAM)i, (LPARAM)item); }
  BOOL SetItem(int i, HDITEM* item) { return (BOOL)SendMessage(HDM_SETITEMW, (WPARAM)i, (LPARAM)item); }
  BOOL GetItemRect(int i, LPRECT r) const { return (BOOL)SendMessage(HDM_GETITEMRECT, (WPARAM)i, (LPARAM)r); }
  BOOL Layout(HDLAYOUT* layout) { return (BOOL)SendMessage(HDM_LAYOUT, 0, (LPARAM)layout); }
  CImageList* GetImageList() const { return CImageList::FromHandle((HIMAGELIST)SendMessage(HDM_GETIMAGELIST)); }
  CImageList* SetImageList(CImageList* p) {
    return CImageList::FromHandle((HIMAGELIST)SendMessage(HDM_SETIMAGELIST, 0, (LPARAM)p->GetSafeHandle()));
  }
  int OrderToIndex(int order) const { return (int)SendMessage(HDM_ORDERTOINDEX, (WPARAM)order); }
  BOOL GetOrderArray(LPINT a, int n) const { return (BOOL)SendMessage(HDM_GETORDERARRAY, (WPARAM)n, (LPARAM)a); }
  int HitTest(LPHDHITTESTINFO info) { return (int)SendMessage(HDM_HITTEST, 0, (LPARAM)info); }
  virtual void DrawItem(LPDRAWITEMSTRUCT) {}
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};

class CListCtrl : public CWnd {
  DECLARE_DYNAMIC(CListCtrl)
 public:
  AFX_CTL_CREATE(WC_LISTVIEWW)
  int GetItemCount() const { return (int)SendMessage(LVM_GETITEMCOUNT); }
  BOOL SetItemCount(int n) { return (BOOL)SendMessage(LVM_SETITEMCOUNT, (WPARAM)n); }
  BOOL SetItemCountEx(int n, DWORD flags = LVSICF_NOINVALIDATEALL) {
    return (BOOL)SendMessage(LVM_SETITEMCOUNT, (WPARAM)n, flags);
  }
  int InsertItem(const LVITEM* item) { return (int)SendMessage(LVM_INSERTITEMW, 0, (LPARAM)item); }
  int InsertItem(int i, LPCTSTR text);
  int InsertItem(int i, LPCTSTR text, int image);
  BOOL DeleteItem(int i) { return (BOOL)SendMessage(LVM_DELETEITEM, (WPARAM)i); }
  BOOL DeleteAllItems() { return (BOOL)SendMessage(LVM_DELETEALLITEMS); }
  BOOL GetItem(LVITEM* item) const { return (BOOL)SendMessage(LVM_GETITEMW, 0, (LPARAM)item); }
  BOOL SetItem(const LVITEM* item) { return (BOOL)SendMessage(LVM_SETITEMW, 0, (LPARAM)item); }
  CString GetItemText(int i, int sub) const;
  BOOL SetItemText(int i, int sub, LPCTSTR text);
  DWORD_PTR GetItemData(int i) const;
  BOOL SetItemData(int i, DWORD_PTR data);
  UINT GetItemState(int i, UINT mask) const { return (UINT)SendMessage(LVM_GETITEMSTATE, (WPARAM)i, mask); }
  BOOL SetItemState(int i, UINT state, UINT mask);
  BOOL GetCheck(int i) const { return ((GetItemState(i, LVIS_STATEIMAGEMASK) >> 12) - 1) > 0; }
  BOOL SetCheck(int i, BOOL check = TRUE) {
    return SetItemState(i, INDEXTOSTATEIMAGEMASK(check ? 2 : 1), LVIS_STATEIMAGEMASK);
  }
  int GetNextItem(int i, int flags) const { return (int)SendMessage(LVM_GETNEXTITEM, (WPARAM)i, flags); }
  int GetSelectedCount() const { return (int)SendMessage(LVM_GETSELECTEDCOUNT); }
  int GetSelectionMark() const { return (int)SendMessage(LVM_GETSELECTIONMARK); }
  int SetSelectionMark(int i) { return (int)SendMessage(LVM_SETSELECTIONMARK, 0, i); }
  BOOL GetItemRect(int i, LPRECT r, UINT code) const {
    r->left = (LONG)code;
    return (BOOL)SendMessage(LVM_GETITEMRECT, (WPARAM)i, (LPARAM)r);
  }
  BOOL GetSubItemRect(int i, int sub, int area, CRect& r) const;
  BOOL EnsureVisible(int i, BOOL partialOk) { return (BOOL)SendMessage(LVM_ENSUREVISIBLE, (WPARAM)i, partialOk); }
  int HitTest(LVHITTESTINFO* info) const { return (int)SendMessage(LVM_HITTEST, 0, (LPARAM)info); }
  int HitTest(CPoint p, UINT* flags = nullptr) const;
  int SubItemHitTest(LVHITTESTINFO* info) { return (int)SendMessage(LVM_SUBITEMHITTEST, 0, (LPARAM)info); }
  int InsertColumn(int i, const LVCOLUMN* col) { return (int)SendMessage(LVM_INSERTCOLUMNW, (WPARAM)i, (LPARAM)col); }
  int InsertColumn(int i, LPCTSTR heading, int format = LVCFMT_LEFT, int width = -1, int subItem = -1);
  BOOL DeleteColumn(int i) { return (BOOL)SendMessage(LVM_DELETECOLUMN, (WPARAM)i); }
  BOOL GetColumn(int i, LVCOLUMN* col) const { return (BOOL)SendMessage(LVM_GETCOLUMNW, (WPARAM)i, (LPARAM)col); }
  BOOL SetColumn(int i, const LVCOLUMN* col) { return (BOOL)SendMessage(LVM_SETCOLUMNW, (WPARAM)i, (LPARAM)col); }
  int GetColumnWidth(int i) const { return (int)SendMessage(LVM_GETCOLUMNWIDTH, (WPARAM)i); }
  BOOL SetColumnWidth(int i, int w) { return (BOOL)SendMessage(LVM_SETCOLUMNWIDTH, (WPARAM)i, MAKELPARAM(w, 0)); }
  CHeaderCtrl* GetHeaderCtrl() const { return (CHeaderCtrl*)CWnd::FromHandle((HWND)SendMessage(LVM_GETHEADER)); }
  CImageList* GetImageList(int kind) const {
    return CImageList::FromHandle((HIMAGELIST)SendMessage(LVM_GETIMAGELIST, (WPARAM)kind));
  }
  CImageList* SetImageList(CImageList* p, int kind) {
    return CImageList::FromHandle((HIMAGELIST)SendMessage(LVM_SETIMAGELIST, (WPARAM)kind, (LPARAM)p->GetSafeHandle()));
  }
  DWORD GetExtendedStyle() const { return (DWORD)SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE); }
  DWORD SetExtendedStyle(DWORD s) { return (DWORD)SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, s); }
  COLORREF GetBkColor() const { return (COLORREF)SendMessage(LVM_GETBKCOLOR); }
  BOOL SetBkColor(COLORREF c) { return (BOOL)SendMessage(LVM_SETBKCOLOR, 0, c); }
  BOOL SetTextColor(COLORREF c) { return (BOOL)SendMessage(LVM_SETTEXTCOLOR, 0, c); }
  BOOL SetTextBkColor(COLORREF c) { return (BOOL)SendMessage(LVM_SETTEXTBKCOLOR, 0, c); }
  int GetTopIndex() const { return (int)SendMessage(LVM_GETTOPINDEX); }
  int GetCountPerPage() const { return (int)SendMessage(LVM_GETCOUNTPERPAGE); }
  BOOL RedrawItems(int first, int last) { return (BOOL)SendMessage(LVM_REDRAWITEMS, (WPARAM)first, last); }
  BOOL Update(int i) { return (BOOL)SendMessage(LVM_UPDATE, (WPARAM)i); }
  BOOL Scroll(CSize s) { return (BOOL)SendMessage(LVM_SCROLL, (WPARAM)s.cx, s.cy); }
  BOOL SortItems(PFNLVCOMPARE fn, DWORD_PTR data) { return (BOOL)SendMessage(LVM_SORTITEMS, (WPARAM)data, (LPARAM)fn); }
  CEdit* EditLabel(int i) { return (CEdit*)CWnd::FromHandle((HWND)SendMessage(LVM_EDITLABELW, (WPARAM)i)); }
  BOOL GetViewRect(LPRECT r) const { return (BOOL)SendMessage(LVM_GETVIEWRECT, 0, (LPARAM)r); }
  int GetHotItem() const { return (int)SendMessage(LVM_GETHOTITEM); }
  int SetHotItem(int i) { return (int)SendMessage(LVM_SETHOTITEM, (WPARAM)i); }
  BOOL SetInsertMark(LPLVINSERTMARK mark) {
    mark->cbSize = sizeof(*mark);
    return (BOOL)SendMessage(LVM_SETINSERTMARK, 0, (LPARAM)mark);
  }
  BOOL GetInsertMark(LPLVINSERTMARK mark) const {
    mark->cbSize = sizeof(*mark);
    return (BOOL)SendMessage(LVM_GETINSERTMARK, 0, (LPARAM)mark);
  }
  // The caller owns the returned image list.
  CImageList* CreateDragImage(int i, LPPOINT upperLeft);
  POSITION GetFirstSelectedItemPosition() const { return (POSITION)(INT_PTR)(1 + GetNextItem(-1, LVNI_SELECTED)); }
  int GetNextSelectedItem(POSITION& pos) const;
  virtual void DrawItem(LPDRAWITEMSTRUCT) {}
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};

class CTreeCtrl : public CWnd {
  DECLARE_DYNAMIC(CTreeCtrl)
 public:
  AFX_CTL_CREATE(WC_TREEVIEWW)
  HTREEITEM InsertItem(LPTVINSERTSTRUCT is) { return (HTREEITEM)SendMessage(TVM_INSERTITEMW, 0, (LPARAM)is); }
  HTREEITEM InsertItem(LPCTSTR text, HTREEITEM parent = TVI_ROOT, HTREEITEM after = TVI_LAST);
  HTREEITEM InsertItem(LPCTSTR text, int image, int selImage, HTREEITEM parent = TVI_ROOT, HTREEITEM after = TVI_LAST);
  HTREEITEM InsertItem(UINT mask, LPCTSTR text, int image, int selImage, UINT state, UINT stateMask, LPARAM lParam,
                       HTREEITEM parent, HTREEITEM after);
  BOOL DeleteItem(HTREEITEM h) { return (BOOL)SendMessage(TVM_DELETEITEM, 0, (LPARAM)h); }
  BOOL DeleteAllItems() { return (BOOL)SendMessage(TVM_DELETEITEM, 0, (LPARAM)TVI_ROOT); }
  BOOL Expand(HTREEITEM h, UINT code) { return (BOOL)SendMessage(TVM_EXPAND, code, (LPARAM)h); }
  HTREEITEM GetNextItem(HTREEITEM h, UINT code) const {
    return (HTREEITEM)SendMessage(TVM_GETNEXTITEM, code, (LPARAM)h);
  }
  HTREEITEM GetChildItem(HTREEITEM h) const { return GetNextItem(h, TVGN_CHILD); }
  HTREEITEM GetNextSiblingItem(HTREEITEM h) const { return GetNextItem(h, TVGN_NEXT); }
  HTREEITEM GetPrevSiblingItem(HTREEITEM h) const { return GetNextItem(h, TVGN_PREVIOUS); }
  HTREEITEM GetParentItem(HTREEITEM h) const { return GetNextItem(h, TVGN_PARENT); }
  HTREEITEM GetFirstVisibleItem() const { return GetNextItem(nullptr, TVGN_FIRSTVISIBLE); }
  HTREEITEM GetNextVisibleItem(HTREEITEM h) const { return GetNextItem(h, TVGN_NEXTVISIBLE); }
  HTREEITEM GetSelectedItem() const { return GetNextItem(nullptr, TVGN_CARET); }
  HTREEITEM GetDropHilightItem() const { return GetNextItem(nullptr, TVGN_DROPHILITE); }
  HTREEITEM GetRootItem() const { return GetNextItem(nullptr, TVGN_ROOT); }
  BOOL ItemHasChildren(HTREEITEM h) const;
  BOOL Select(HTREEITEM h, UINT code) { return (BOOL)SendMessage(TVM_SELECTITEM, code, (LPARAM)h); }
  BOOL SelectItem(HTREEITEM h) { return Select(h, TVGN_CARET); }
  BOOL SelectDropTarget(HTREEITEM h) { return Select(h, TVGN_DROPHILITE); }
  BOOL SelectSetFirstVisible(HTREEITEM h) { return Select(h, TVGN_FIRSTVISIBLE); }
  BOOL GetItem(TVITEM* item) const { return (BOOL)SendMessage(TVM_GETITEMW, 0, (LPARAM)item); }
  BOOL SetItem(TVITEM* item) { return (BOOL)SendMessage(TVM_SETITEMW, 0, (LPARAM)item); }
  CString GetItemText(HTREEITEM h) const;
  BOOL SetItemText(HTREEITEM h, LPCTSTR text);
  BOOL GetItemImage(HTREEITEM h, int& image, int& selImage) const;
  BOOL SetItemImage(HTREEITEM h, int image, int selImage);
  UINT GetItemState(HTREEITEM h, UINT mask) const { return (UINT)SendMessage(TVM_GETITEMSTATE, (WPARAM)h, mask); }
  BOOL SetItemState(HTREEITEM h, UINT state, UINT mask);
  DWORD_PTR GetItemData(HTREEITEM h) const;
  BOOL SetItemData(HTREEITEM h, DWORD_PTR data);
  BOOL GetItemRect(HTREEITEM h, LPRECT r, BOOL textOnly) const {
    *(HTREEITEM*)r = h;
    return (BOOL)SendMessage(TVM_GETITEMRECT, textOnly, (LPARAM)r);
  }
  UINT GetCount() const { return (UINT)SendMessage(TVM_GETCOUNT); }
  UINT GetVisibleCount() const { return (UINT)SendMessage(TVM_GETVISIBLECOUNT); }
  UINT GetIndent() const { return (UINT)SendMessage(TVM_GETINDENT); }
  void SetIndent(UINT n) { SendMessage(TVM_SETINDENT, n); }
  CImageList* GetImageList(int kind) const {
    return CImageList::FromHandle((HIMAGELIST)SendMessage(TVM_GETIMAGELIST, (WPARAM)kind));
  }
  CImageList* SetImageList(CImageList* p, int kind) {
    return CImageList::FromHandle((HIMAGELIST)SendMessage(TVM_SETIMAGELIST, (WPARAM)kind, (LPARAM)p->GetSafeHandle()));
  }
  HTREEITEM HitTest(CPoint p, UINT* flags = nullptr) const;
  HTREEITEM HitTest(TVHITTESTINFO* info) const { return (HTREEITEM)SendMessage(TVM_HITTEST, 0, (LPARAM)info); }
  BOOL EnsureVisible(HTREEITEM h) { return (BOOL)SendMessage(TVM_ENSUREVISIBLE, 0, (LPARAM)h); }
  BOOL SortChildren(HTREEITEM h) { return (BOOL)SendMessage(TVM_SORTCHILDREN, 0, (LPARAM)h); }
  BOOL SortChildrenCB(LPTVSORTCB cb) { return (BOOL)SendMessage(TVM_SORTCHILDRENCB, 0, (LPARAM)cb); }
  CEdit* EditLabel(HTREEITEM h) { return (CEdit*)CWnd::FromHandle((HWND)SendMessage(TVM_EDITLABELW, 0, (LPARAM)h)); }
  COLORREF SetBkColor(COLORREF c) { return (COLORREF)SendMessage(TVM_SETBKCOLOR, 0, c); }
  BOOL SetInsertMark(HTREEITEM h, BOOL after = TRUE) { return (BOOL)SendMessage(TVM_SETINSERTMARK, after, (LPARAM)h); }
  // The caller owns the returned image list.
  CImageList* CreateDragImage(HTREEITEM h);
  COLORREF SetTextColor(COLORREF c) { return (COLORREF)SendMessage(TVM_SETTEXTCOLOR, 0, c); }
};

class CTabCtrl : public CWnd {
  DECLARE_DYNAMIC(CTabCtrl)
 public:
  AFX_CTL_CREATE(WC_TABCONTROLW)
  int GetItemCount() const { return (int)SendMessage(TCM_GETITEMCOUNT); }
  LONG InsertItem(int i, TCITEM* item) { return (LONG)SendMessage(TCM_INSERTITEMW, (WPARAM)i, (LPARAM)item); }
  LONG InsertItem(int i, LPCTSTR text);
  LONG InsertItem(int i, LPCTSTR text, int image);
  BOOL DeleteItem(int i) { return (BOOL)SendMessage(TCM_DELETEITEM, (WPARAM)i); }
  BOOL DeleteAllItems() { return (BOOL)SendMessage(TCM_DELETEALLITEMS); }
  BOOL GetItem(int i, TCITEM* item) const { return (BOOL)SendMessage(TCM_GETITEMW, (WPARAM)i, (LPARAM)item); }
  BOOL SetItem(int i, TCITEM* item) { return (BOOL)SendMessage(TCM_SETITEMW, (WPARAM)i, (LPARAM)item); }
  BOOL GetItemRect(int i, LPRECT r) const { return (BOOL)SendMessage(TCM_GETITEMRECT, (WPARAM)i, (LPARAM)r); }
  int GetCurSel() const { return (int)SendMessage(TCM_GETCURSEL); }
  int SetCurSel(int i) { return (int)SendMessage(TCM_SETCURSEL, (WPARAM)i); }
  int GetCurFocus() const { return (int)SendMessage(TCM_GETCURFOCUS); }
  void SetCurFocus(int i) { SendMessage(TCM_SETCURFOCUS, (WPARAM)i); }
  CSize SetItemSize(CSize s) { return CSize((DWORD)SendMessage(TCM_SETITEMSIZE, 0, MAKELPARAM(s.cx, s.cy))); }
  void SetPadding(CSize s) { SendMessage(TCM_SETPADDING, 0, MAKELPARAM(s.cx, s.cy)); }
  int SetMinTabWidth(int w) { return (int)SendMessage(TCM_SETMINTABWIDTH, 0, w); }
  int GetRowCount() const { return (int)SendMessage(TCM_GETROWCOUNT); }
  void AdjustRect(BOOL larger, LPRECT r) { SendMessage(TCM_ADJUSTRECT, larger, (LPARAM)r); }
  int HitTest(TCHITTESTINFO* info) const { return (int)SendMessage(TCM_HITTEST, 0, (LPARAM)info); }
  CImageList* GetImageList() const { return CImageList::FromHandle((HIMAGELIST)SendMessage(TCM_GETIMAGELIST)); }
  CImageList* SetImageList(CImageList* p) {
    return CImageList::FromHandle((HIMAGELIST)SendMessage(TCM_SETIMAGELIST, 0, (LPARAM)p->GetSafeHandle()));
  }
  CToolTipCtrl* GetToolTips() const { return (CToolTipCtrl*)CWnd::FromHandle((HWND)SendMessage(TCM_GETTOOLTIPS)); }
  BOOL HighlightItem(int i, BOOL b = TRUE) { return (BOOL)SendMessage(TCM_HIGHLIGHTITEM, (WPARAM)i, MAKELPARAM(b, 0)); }
  virtual void DrawItem(LPDRAWITEMSTRUCT) {}
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};

class CToolBarCtrl : public CWnd {
  DECLARE_DYNAMIC(CToolBarCtrl)
 public:
  virtual BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
  BOOL EnableButton(int id, BOOL b = TRUE) { return (BOOL)SendMessage(TB_ENABLEBUTTON, (WPARAM)id, MAKELPARAM(b, 0)); }
  BOOL CheckButton(int id, BOOL b = TRUE) { return (BOOL)SendMessage(TB_CHECKBUTTON, (WPARAM)id, MAKELPARAM(b, 0)); }
  BOOL PressButton(int id, BOOL b = TRUE) { return (BOOL)SendMessage(TB_PRESSBUTTON, (WPARAM)id, MAKELPARAM(b, 0)); }
  BOOL HideButton(int id, BOOL b = TRUE) { return (BOOL)SendMessage(TB_HIDEBUTTON, (WPARAM)id, MAKELPARAM(b, 0)); }
  BOOL Indeterminate(int id, BOOL b = TRUE) {
    return (BOOL)SendMessage(TB_INDETERMINATE, (WPARAM)id, MAKELPARAM(b, 0));
  }
  BOOL IsButtonEnabled(int id) const { return (BOOL)SendMessage(TB_ISBUTTONENABLED, (WPARAM)id); }
  BOOL IsButtonChecked(int id) const { return (BOOL)SendMessage(TB_ISBUTTONCHECKED, (WPARAM)id); }
  BOOL IsButtonPressed(int id) const { return (BOOL)SendMessage(TB_ISBUTTONPRESSED, (WPARAM)id); }
  BOOL IsButtonHidden(int id) const { return (BOOL)SendMessage(TB_ISBUTTONHIDDEN, (WPARAM)id); }
  int GetState(int id) const { return (int)SendMessage(TB_GETSTATE, (WPARAM)id); }
  BOOL SetState(int id, UINT state) { return (BOOL)SendMessage(TB_SETSTATE, (WPARAM)id, MAKELPARAM(state, 0)); }
  BOOL AddButtons(int n, LPTBBUTTON buttons) { return (BOOL)SendMessage(TB_ADDBUTTONSW, (WPARAM)n, (LPARAM)buttons); }
  BOOL InsertButton(int i, LPTBBUTTON button) { return (BOOL)SendMessage(TB_INSERTBUTTONW, (WPARAM)i, (LPARAM)button); }
  BOOL DeleteButton(int i) { return (BOOL)SendMessage(TB_DELETEBUTTON, (WPARAM)i); }
  BOOL GetButton(int i, LPTBBUTTON button) const { return (BOOL)SendMessage(TB_GETBUTTON, (WPARAM)i, (LPARAM)button); }
  int GetButtonCount() const { return (int)SendMessage(TB_BUTTONCOUNT); }
  UINT CommandToIndex(UINT id) const { return (UINT)SendMessage(TB_COMMANDTOINDEX, id); }
  BOOL GetItemRect(int i, LPRECT r) const { return (BOOL)SendMessage(TB_GETITEMRECT, (WPARAM)i, (LPARAM)r); }
  BOOL GetRect(int id, LPRECT r) const { return (BOOL)SendMessage(TB_GETRECT, (WPARAM)id, (LPARAM)r); }
  void SetButtonStructSize(int n) { SendMessage(TB_BUTTONSTRUCTSIZE, (WPARAM)n); }
  BOOL SetButtonSize(CSize s) { return (BOOL)SendMessage(TB_SETBUTTONSIZE, 0, MAKELPARAM(s.cx, s.cy)); }
  BOOL SetBitmapSize(CSize s) { return (BOOL)SendMessage(TB_SETBITMAPSIZE, 0, MAKELPARAM(s.cx, s.cy)); }
  BOOL GetMaxSize(LPSIZE s) const { return (BOOL)SendMessage(TB_GETMAXSIZE, 0, (LPARAM)s); }
  void AutoSize() { SendMessage(TB_AUTOSIZE); }
  int AddBitmap(int n, UINT id);
  int AddStrings(LPCTSTR s) { return (int)SendMessage(TB_ADDSTRINGW, 0, (LPARAM)s); }
  BOOL GetButtonInfo(int id, TBBUTTONINFO* info) const {
    info->cbSize = sizeof(*info);
    return (int)SendMessage(TB_GETBUTTONINFOW, (WPARAM)id, (LPARAM)info) >= 0;
  }
  BOOL SetButtonInfo(int id, TBBUTTONINFO* info) {
    info->cbSize = sizeof(*info);
    return (BOOL)SendMessage(TB_SETBUTTONINFOW, (WPARAM)id, (LPARAM)info);
  }
  DWORD GetExtendedStyle() const { return (DWORD)SendMessage(TB_GETEXTENDEDSTYLE); }
  DWORD SetExtendedStyle(DWORD s) { return (DWORD)SendMessage(TB_SETEXTENDEDSTYLE, 0, s); }
  CImageList* SetImageList(CImageList* p) {
    return CImageList::FromHandle((HIMAGELIST)SendMessage(TB_SETIMAGELIST, 0, (LPARAM)p->GetSafeHandle()));
  }
  CImageList* GetImageList() const { return CImageList::FromHandle((HIMAGELIST)SendMessage(TB_GETIMAGELIST)); }
  CImageList* SetDisabledImageList(CImageList* p) {
    return CImageList::FromHandle((HIMAGELIST)SendMessage(TB_SETDISABLEDIMAGELIST, 0, (LPARAM)p->GetSafeHandle()));
  }
  CImageList* SetHotImageList(CImageList* p) {
    return CImageList::FromHandle((HIMAGELIST)SendMessage(TB_SETHOTIMAGELIST, 0, (LPARAM)p->GetSafeHandle()));
  }
  CToolTipCtrl* GetToolTips() const { return (CToolTipCtrl*)CWnd::FromHandle((HWND)SendMessage(TB_GETTOOLTIPS)); }
  void SetToolTips(CToolTipCtrl* p) { SendMessage(TB_SETTOOLTIPS, (WPARAM)p->GetSafeHwnd()); }
  void SetOwner(CWnd* p) { SendMessage(TB_SETPARENT, (WPARAM)p->GetSafeHwnd()); }
  int HitTest(LPPOINT p) const { return (int)SendMessage(TB_HITTEST, 0, (LPARAM)p); }
  int GetHotItem() const { return (int)SendMessage(TB_GETHOTITEM); }
  int SetHotItem(int i) { return (int)SendMessage(TB_SETHOTITEM, (WPARAM)i); }
  DWORD GetButtonSize() const { return (DWORD)SendMessage(TB_GETBUTTONSIZE); }
  int GetRows() const { return (int)SendMessage(TB_GETROWS); }
};

class CSpinButtonCtrl : public CWnd {
  DECLARE_DYNAMIC(CSpinButtonCtrl)
 public:
  AFX_CTL_CREATE(UPDOWN_CLASSW)
  void SetRange32(int lo, int hi) { SendMessage(UDM_SETRANGE32, (WPARAM)lo, hi); }
  void SetRange(short lo, short hi) { SendMessage(UDM_SETRANGE, 0, MAKELPARAM(hi, lo)); }
  int SetPos32(int n) { return (int)SendMessage(UDM_SETPOS32, 0, n); }
  int GetPos32(LPBOOL err = nullptr) const { return (int)SendMessage(UDM_GETPOS32, 0, (LPARAM)err); }
  CWnd* SetBuddy(CWnd* p) { return CWnd::FromHandle((HWND)SendMessage(UDM_SETBUDDY, (WPARAM)p->GetSafeHwnd())); }
};

class CSliderCtrl : public CWnd {
  DECLARE_DYNAMIC(CSliderCtrl)
 public:
  AFX_CTL_CREATE(TRACKBAR_CLASSW)
  int GetPos() const { return (int)SendMessage(TBM_GETPOS); }
  void SetPos(int n) { SendMessage(TBM_SETPOS, TRUE, n); }
  void SetRange(int lo, int hi, BOOL redraw = FALSE) {
    SendMessage(TBM_SETRANGEMIN, FALSE, lo);
    SendMessage(TBM_SETRANGEMAX, redraw, hi);
  }
  int GetRangeMin() const { return (int)SendMessage(TBM_GETRANGEMIN); }
  int GetRangeMax() const { return (int)SendMessage(TBM_GETRANGEMAX); }
};

#undef AFX_CTL_CREATE
#endif
