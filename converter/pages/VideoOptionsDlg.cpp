#include "converter/pages/VideoOptionsDlg.h"

#include "resources/converter/ConverterRes.h"

const FrameRateEntry FrameRateTable[FRAME_RATE_COUNT] = {
    {L"0.1", 1, 10},
    {L"0.2", 1, 5},
    {L"0.5", 1, 2},
    {L"1", 1, 1},
    {L"2", 2, 1},
    {L"3", 3, 1},
    {L"4", 4, 1},
    {L"5", 5, 1},
    {L"6", 6, 1},
    {L"7", 7, 1},
    {L"8", 8, 1},
    {L"9", 9, 1},
    {L"10", 10, 1},
    {L"12", 12, 1},
    {L"15", 15, 1},
    {L"20", 20, 1},
    {L"23.976", 24000, 1001},
    {L"24", 24, 1},
    {L"25", 25, 1},
    {L"29.97", 30000, 1001},
    {L"30", 30, 1},
    {L"50", 50, 1},
    {L"60", 60, 1},
};

int FindFrameRate(int num, int den) {
  for (int i = 0; i < FRAME_RATE_COUNT; ++i)
    if (FrameRateTable[i].nNum == num && FrameRateTable[i].nDen == den) return i;
  return -1;
}

BEGIN_MESSAGE_MAP(CVideoOptionsDlg, CDialog)
  ON_BN_CLICKED(IDC_SAME_SIZE, OnSameAsFirstImage)
END_MESSAGE_MAP()

CVideoOptionsDlg::CVideoOptionsDlg(CWnd* pParent) : CDialog(IDD_VIDEO_OPTIONS, pParent) {}

void CVideoOptionsDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Text(pDX, IDC_VIDEO_HEIGHT, m_nHeight);
  DDX_Text(pDX, IDC_VIDEO_WIDTH, m_nWidth);
  DDX_Check(pDX, IDC_SAME_SIZE, m_bSameAsFirstImage);
  DDX_CBIndex(pDX, IDC_FRAME_RATE, m_nRateIndex);
}

BOOL CVideoOptionsDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  if (m_bSizeEditable) {
    OnSameAsFirstImage();
  } else {
    for (int id : {IDC_SIZE_LABEL, IDC_SAME_SIZE, IDC_VIDEO_WIDTH, IDC_VIDEO_HEIGHT, IDC_TIMES_LABEL, IDC_SIZE_HINT})
      GetDlgItem(id)->EnableWindow(FALSE);
  }
  if (!m_bRateEditable)
    for (int id : {IDC_RATE_LABEL, IDC_FRAME_RATE, IDC_FPS_LABEL}) GetDlgItem(id)->EnableWindow(FALSE);
  return TRUE;
}

void CVideoOptionsDlg::OnSameAsFirstImage() {
  m_bSameAsFirstImage = IsDlgButtonChecked(IDC_SAME_SIZE) ? 1 : 0;
  const BOOL on = !m_bSameAsFirstImage;
  for (int id : {IDC_VIDEO_WIDTH, IDC_VIDEO_HEIGHT, IDC_TIMES_LABEL, IDC_SIZE_HINT}) GetDlgItem(id)->EnableWindow(on);
}

#include "converter/jobs/VideoFormats.h"

void PrepareVideoOptions(CVideoOptionsDlg& dlg, const VideoFormatEntry& row, int chosenWidth, int chosenHeight,
                         int chosenRateNum, int chosenRateDen, int firstWidth, int firstHeight) {
  int w = row.nWidth, h = row.nHeight;
  // A size chosen under another format does not apply where none may be chosen.
  if (chosenWidth != 0 && chosenHeight != 0 && (row.dwFlags & FORMAT_SIZE_EDITABLE)) {
    w = chosenWidth;
    h = chosenHeight;
  }
  if (w == 0 || h == 0) {
    w = firstWidth;
    h = firstHeight;
  }
  int num = chosenRateNum, den = chosenRateDen;
  if (num == 0 || den == 0) {
    num = row.nRateNum;
    den = row.nRateDen;
  }
  int index = FindFrameRate(num, den);
  dlg.m_bSizeEditable = (row.dwFlags & FORMAT_SIZE_EDITABLE) ? 1 : 0;
  dlg.m_bRateEditable = (row.dwFlags & FORMAT_RATE_EDITABLE) ? 1 : 0;
  dlg.m_bSameAsFirstImage = (w == firstWidth && h == firstHeight) ? 1 : 0;
  dlg.m_nWidth = w;
  dlg.m_nHeight = h;
  dlg.m_nRateIndex = index >= 0 ? index : FRAME_RATE_DEFAULT_INDEX;
}

void TakeVideoOptions(const CVideoOptionsDlg& dlg, int& chosenWidth, int& chosenHeight, int& chosenRateNum,
                      int& chosenRateDen) {
  // Greyed fields show the format's own values: nothing chosen there.
  if (!dlg.m_bSizeEditable) {
  } else if (dlg.m_bSameAsFirstImage) {
    chosenWidth = chosenHeight = 0;
  } else {
    chosenWidth = dlg.m_nWidth < 0 ? 0 : dlg.m_nWidth;
    chosenHeight = dlg.m_nHeight < 0 ? 0 : dlg.m_nHeight;
  }
  if (!dlg.m_bRateEditable) {
  } else if (dlg.m_nRateIndex >= 0 && dlg.m_nRateIndex < FRAME_RATE_COUNT) {
    chosenRateNum = FrameRateTable[dlg.m_nRateIndex].nNum;
    chosenRateDen = FrameRateTable[dlg.m_nRateIndex].nDen;
  } else {
    chosenRateNum = chosenRateDen = 0;
  }
}
