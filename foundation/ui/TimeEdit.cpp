#include "foundation/ui/TimeEdit.h"

#include "foundation/DurationText.h"

IMPLEMENT_DYNAMIC(CTimeEdit, CMaskEdit)

BEGIN_MESSAGE_MAP(CTimeEdit, CMaskEdit)
END_MESSAGE_MAP()

namespace {
CString TimeText(int ms) { return FormatDurationPadded(ms, DURATION_CLOCK, DURATION_WITH_MS, DURATION_ALWAYS_HOURS); }
}  // namespace

CTimeEdit::CTimeEdit() {
  m_strMask = L"##:##:##.###";
  m_strAllowed = L"0123456789";
}

void CTimeEdit::SetTime(int ms) { SetWindowText(TimeText(ms)); }

void DDX_TimeText(CDataExchange* pDX, int nIDC, int& ms) {
  HWND hWnd = pDX->PrepareCtrl(nIDC);
  if (pDX->m_bSaveAndValidate) {
    wchar_t text[64] = {0};
    if (hWnd) ::GetWindowTextW(hWnd, text, 64);
    ms = ParseDuration(text);
  } else if (hWnd) {
    AfxSetWindowText(hWnd, TimeText(ms));
  }
}
