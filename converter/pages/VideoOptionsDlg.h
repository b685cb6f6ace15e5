// "Video Options": the output frame size (or that of the first source image)
// and the frame rate, picked from a fixed list.
#pragma once
#include "afxwin.h"

struct FrameRateEntry {
  LPCTSTR pszText;
  int nNum, nDen;
};
const int FRAME_RATE_COUNT = 23;
const int FRAME_RATE_DEFAULT_INDEX = 12;  // 10 fps
extern const FrameRateEntry FrameRateTable[FRAME_RATE_COUNT];
// The row holding exactly this pair, or -1.
int FindFrameRate(int num, int den);

class CVideoOptionsDlg : public CDialog {
 public:
  explicit CVideoOptionsDlg(CWnd* pParent = nullptr);

  int m_bSizeEditable = 1;
  int m_bRateEditable = 1;
  int m_nWidth = 0;
  int m_nHeight = 0;
  int m_bSameAsFirstImage = 0;
  int m_nRateIndex = -1;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  afx_msg void OnSameAsFirstImage();
  DECLARE_MESSAGE_MAP()
};

struct VideoFormatEntry;

// What the dialog shows for a format: the chosen size (where the format lets
// one be chosen), else the format's, else
// the first image's; the chosen rate, else the format's (row 12 when the pair
// is not in the list). firstWidth/firstHeight: 0 when unknown.
void PrepareVideoOptions(CVideoOptionsDlg& dlg, const VideoFormatEntry& row, int chosenWidth, int chosenHeight,
                         int chosenRateNum, int chosenRateDen, int firstWidth, int firstHeight);
// What OK means for the page's choice: 0 x 0 with the check box on, else the
// edits (negative as 0); the list's pair, or 0/0 outside the list. A greyed
// group leaves its part of the choice as it was.
void TakeVideoOptions(const CVideoOptionsDlg& dlg, int& chosenWidth, int& chosenHeight, int& chosenRateNum,
                      int& chosenRateDen);
