// An owner-drawn push button shown as a hyperlink: link-coloured text on the
// dialog's background, another colour (and optionally font) under the mouse,
// the hand cursor, and a click that opens its URL. Without a URL a click
// reaches the parent as from a plain button.
#pragma once
#include "afxwin.h"

class CLinkButton : public CButton {
  DECLARE_DYNAMIC(CLinkButton)
 public:
  CLinkButton();

  // Stores the URL; a caption, when given, becomes the window text.
  void SetLink(LPCTSTR url, LPCTSTR caption = nullptr);
  // Single-line buttons take the width of their caption + 4 px.
  void SizeToText();
  void DrawItem(LPDRAWITEMSTRUCT dis) override;

  CFont* m_pHoverFont = nullptr;  // null: the window's own font
  COLORREF m_crNormal = RGB(0, 0, 255);
  COLORREF m_crHover = RGB(255, 0, 0);
  COLORREF m_crBack;
  CString m_strURL;
  BOOL m_bHover = FALSE;
  BOOL m_bTransparent = TRUE;

 protected:
  void DrawBackground(CDC* pDC, const CRect& rect);

  afx_msg BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
  afx_msg BOOL OnEraseBkgnd(CDC* pDC);
  afx_msg BOOL OnClicked();
  afx_msg void OnMouseMove(UINT nFlags, CPoint point);
  afx_msg void OnMouseLeave();
  DECLARE_MESSAGE_MAP()
};
