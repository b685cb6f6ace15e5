// A single-line edit whose text follows a fixed mask: '#' takes a character
// from the allowed set, anything else is a literal the control writes itself.
// Typing overwrites in place, Backspace and Delete reset to '0', and pasted
// text is fitted into the mask.
#pragma once
#include "afxwin.h"

class CMaskEdit : public CEdit {
  DECLARE_DYNAMIC(CMaskEdit)
 public:
  CMaskEdit();

  BOOL IsAllowedChar(TCHAR ch) const;
  // Fits the clipboard's text into the mask; FALSE without clipboard text.
  BOOL Paste();
  // Cut, Clear and Delete: resets (or, at the end of the text, removes) the selection.
  BOOL ClearSelection();

  CString m_strMask;     // '#' or a literal per position
  CString m_strAllowed;  // characters allowed at '#' positions
  BOOL m_bCtrlDown = FALSE;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  afx_msg void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
  afx_msg void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
  afx_msg void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
  DECLARE_MESSAGE_MAP()

 private:
  BOOL IsLiteralAt(int pos) const { return pos < m_strMask.GetLength() && m_strMask[pos] != L'#'; }
  // The character the mask puts at pos for ch: the literal, ch when allowed, else '0'.
  TCHAR FitChar(int pos, TCHAR ch) const;
  void Apply(const CString& text, int selStart, int selEnd);
};
