// A custom-drawn progress bar with a 64-bit range, solid or marquee, with an
// optional line of text. Worker threads may call SetPos and SetRange.
#pragma once
#include <atomic>

#include "afxwin.h"

class CProgressBar : public CWnd {
  DECLARE_DYNAMIC(CProgressBar)
 public:
  // Timer id that steps the position by 2 (wrapping to 0 past the range).
  enum { kStepTimerId = 2 };

  CProgressBar();
  virtual BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

  // Sets the maximum (the minimum is 0) and puts the position back to 0.
  void SetRange(LONGLONG nRange);
  // Stores the position, kept within 0..range; the window repaints later on its own thread.
  void SetPos(LONGLONG nPos);
  LONGLONG GetRange() const { return m_nRange.load(); }
  LONGLONG GetPos() const { return m_nPos.load(); }

  // Paints the bar as it is now into pDC (the client rectangle).
  void Draw(CDC* pDC);

  std::atomic<int> m_bMarquee;
  std::atomic<LONGLONG> m_nRange;
  std::atomic<LONGLONG> m_nPos;
  CString m_strText;
  COLORREF m_crBack;
  COLORREF m_crText;
  COLORREF m_crBar;

 protected:
  afx_msg void OnPaint();
  afx_msg void OnTimer(UINT_PTR nIDEvent);
  DECLARE_MESSAGE_MAP()
};

// a * b / c without overflow of the product (c > 0), truncated toward zero.
LONGLONG MulDiv64(LONGLONG a, LONGLONG b, LONGLONG c);
