// An owner-drawn drop-down list whose items show a label on the left and a
// short second column on the right ("MP4 (H.264)\t.mp4"). The text is split at
// the first tab character, or else at the two characters backslash and t.
#pragma once
#include "afxwin.h"

class CColumnComboBox : public CComboBox {
  DECLARE_DYNAMIC(CColumnComboBox)
 public:
  CColumnComboBox();
  ~CColumnComboBox() override;
  void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
  // TRUE when a separator line is drawn under the item in the open list.
  BOOL IsSeparatorAfter(UINT nIndex) const;
  // Splits an item's text into its label and its column.
  static void SplitText(const CString& text, CString& label, CString& column);

  int m_nColumnWidth;
  COLORREF m_crColumn;
  BOOL m_bRightAlignColumn;
  BOOL m_bHideColumnInEdit;
  CArray<UINT, UINT> m_arrSeparators;
};
