// A large owner-drawn picture button: one picture normally, a second one
// while the mouse is over it or it is pressed, on a dark square.
#pragma once
#include "imaging/image/RasterImage.h"
#include "afxwin.h"

class CImageButton : public CButton {
  DECLARE_DYNAMIC(CImageButton)
 public:
  enum DrawState { stateNormal = 0, stateHover = 1, stateFocused = 2, statePressed = 3, stateDisabled = 4 };

  // The pictures stay the caller's; their size is taken from the normal one.
  void SetImages(CRasterImage* pNormal, CRasterImage* pHover);
  // The draw state for an owner-draw item state.
  static int GetDrawState(UINT itemState, BOOL bHovered);

  void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
  virtual void DrawBackground(CDC* pDC, const CRect& rect);
  virtual void DrawButton(CDC* pDC, int left, int top, int right, int bottom, int state);

  CRasterImage* m_pNormal = nullptr;
  CRasterImage* m_pHover = nullptr;
  int m_nImageWidth = 0;
  int m_nImageHeight = 0;
  COLORREF m_clrBackground = RGB(0x20, 0x20, 0x20);
  int m_bHovered = 0;

 protected:
  afx_msg BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
  afx_msg void OnMouseMove(UINT nFlags, CPoint point);
  afx_msg BOOL OnEraseBkgnd(CDC* pDC);
  afx_msg void OnMouseLeave();
  DECLARE_MESSAGE_MAP()
};
