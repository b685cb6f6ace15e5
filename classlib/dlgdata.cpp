// Dialog data exchange between member variables and controls.
#include "afxwin.h"

#include <cerrno>
#include <cwchar>

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
  CDataExchange dx(this, bSaveAndValidate);
  try {
    DoDataExchange(&dx);
  } catch (CUserException* e) {
    e->Delete();
    return FALSE;
  }
  return TRUE;
}

HWND CDataExchange::PrepareCtrl(int nIDC) {
  HWND h = ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
  m_idLastControl = (UINT)nIDC;
  m_bEditLastControl = FALSE;
  return h;
}

HWND CDataExchange::PrepareEditCtrl(int nIDC) {
  HWND h = PrepareCtrl(nIDC);
  m_bEditLastControl = TRUE;
  return h;
}

void CDataExchange::Fail() {
  if (!m_bSaveAndValidate) AfxThrowUserException();
  if (HWND h = ::GetDlgItem(m_pDlgWnd->m_hWnd, (int)m_idLastControl)) {
    ::SetFocus(h);
    if (m_bEditLastControl) ::SendMessageW(h, EM_SETSEL, 0, -1);
  }
  AfxThrowUserException();
}

namespace {
// A whole decimal number with optional blanks and sign around it.
bool ParseInteger(const CString& text, bool allowSign, long long* out) {
  const wchar_t* p = text;
  while (*p == L' ' || *p == L'\t') ++p;
  bool neg = false;
  if (*p == L'+' || *p == L'-') {
    if (!allowSign && *p == L'-') return false;
    neg = *p == L'-';
    ++p;
  }
  if (*p < L'0' || *p > L'9') return false;
  long long v = 0;
  while (*p >= L'0' && *p <= L'9') {
    v = v * 10 + (*p - L'0');
    if (v > 0xFFFFFFFFLL) return false;
    ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  if (*p) return false;
  *out = neg ? -v : v;
  return true;
}

template <class T>
void TextAsInteger(CDataExchange* pDX, int nIDC, T& value, bool isSigned) {
  HWND h = pDX->PrepareEditCtrl(nIDC);
  if (pDX->m_bSaveAndValidate) {
    long long v = 0;
    const long long lo = isSigned ? (long long)INT32_MIN : 0,
                    hi = isSigned ? (long long)INT32_MAX : (long long)UINT32_MAX;
    if (!ParseInteger(AfxGetWindowText(h), isSigned, &v) || v < lo || v > hi) {
      AfxMessageBox(isSigned ? L"Please enter an integer." : L"Please enter a positive integer.", MB_ICONEXCLAMATION);
      pDX->Fail();
    }
    value = (T)v;
  } else {
    CString s;
    if (isSigned)
      s.Format(L"%d", (int)value);
    else
      s.Format(L"%u", (unsigned)value);
    AfxSetWindowText(h, s);
  }
}

// The window that holds the text of a combo box: the edit of a ComboBoxEx
// with an edit field, else the combo box itself.
HWND ComboTextWindow(HWND hCombo) {
  HWND edit = (HWND)::SendMessageW(hCombo, CBEM_GETEDITCONTROL, 0, 0);
  return edit ? edit : hCombo;
}

CString ComboItemText(HWND hCombo, int i) {
  CString s;
  LRESULT n = ::SendMessageW(hCombo, CB_GETLBTEXTLEN, (WPARAM)i, 0);
  if (n == CB_ERR) return s;
  wchar_t* buf = s.GetBufferSetLength((int)n + 1);
  ::SendMessageW(hCombo, CB_GETLBTEXT, (WPARAM)i, (LPARAM)buf);
  s.ReleaseBuffer();
  return s;
}

// Index of the first item equal to (exact) or beginning with the text, ignoring case.
int FindComboItem(HWND hCombo, const CString& text, bool exact) {
  int count = (int)::SendMessageW(hCombo, CB_GETCOUNT, 0, 0);
  for (int i = 0; i < count; ++i) {
    CString item = ComboItemText(hCombo, i);
    if (exact ? item.CompareNoCase(text) == 0
              : (item.GetLength() >= text.GetLength() && item.Left(text.GetLength()).CompareNoCase(text) == 0))
      return i;
  }
  return -1;
}

void ComboString(CDataExchange* pDX, int nIDC, CString& value, bool exact) {
  HWND hCombo = pDX->PrepareCtrl(nIDC);
  HWND hText = ComboTextWindow(hCombo);
  const BOOL dropList = (::GetWindowLongPtrW(hCombo, GWL_STYLE) & 3) == CBS_DROPDOWNLIST;
  if (pDX->m_bSaveAndValidate) {
    if (dropList || hText == hCombo) {
      int sel = (int)::SendMessageW(hCombo, CB_GETCURSEL, 0, 0);
      value = (dropList && sel >= 0) ? ComboItemText(hCombo, sel) : AfxGetWindowText(hText);
    } else {
      value = AfxGetWindowText(hText);
    }
  } else {
    int i = FindComboItem(hCombo, value, exact);
    if (i >= 0) {
      ::SendMessageW(hCombo, CB_SETCURSEL, (WPARAM)i, 0);
    } else {
      if (dropList)
        ::SendMessageW(hCombo, CB_SETCURSEL, (WPARAM)-1, 0);
      else
        AfxSetWindowText(hText, value);
    }
  }
}
}  // namespace

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
  if (rControl.m_hWnd) return;
  HWND h = pDX->PrepareCtrl(nIDC);
  if (!h || !rControl.SubclassWindow(h)) pDX->Fail();
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
  HWND h = pDX->PrepareEditCtrl(nIDC);
  if (pDX->m_bSaveAndValidate)
    value = AfxGetWindowText(h);
  else
    AfxSetWindowText(h, value);
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value) { TextAsInteger(pDX, nIDC, value, true); }
void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value) { TextAsInteger(pDX, nIDC, value, false); }
void DDX_Text(CDataExchange* pDX, int nIDC, long& value) { TextAsInteger(pDX, nIDC, value, true); }
void DDX_Text(CDataExchange* pDX, int nIDC, DWORD& value) { TextAsInteger(pDX, nIDC, value, false); }

void DDX_Text(CDataExchange* pDX, int nIDC, double& value) {
  HWND h = pDX->PrepareEditCtrl(nIDC);
  if (pDX->m_bSaveAndValidate) {
    CString text = AfxGetWindowText(h);
    text.Trim();
    wchar_t* end = nullptr;
    errno = 0;
    double v = wcstod(text, &end);
    if (text.IsEmpty() || !end || *end || errno == ERANGE) {
      AfxMessageBox(L"Please enter a number.", MB_ICONEXCLAMATION);
      pDX->Fail();
    }
    value = v;
  } else {
    CString s;
    s.Format(L"%.15g", value);
    AfxSetWindowText(h, s);
  }
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
  HWND h = pDX->PrepareCtrl(nIDC);
  if (pDX->m_bSaveAndValidate)
    value = (int)::SendMessageW(h, BM_GETCHECK, 0, 0);
  else
    ::SendMessageW(h, BM_SETCHECK, (WPARAM)(value < 0 || value > 2 ? 0 : value), 0);
}

void DDX_Radio(CDataExchange* pDX, int nIDC, int& value) {
  HWND h = pDX->PrepareCtrl(nIDC);
  if (pDX->m_bSaveAndValidate) value = -1;
  // The group runs from this button to the next control with WS_GROUP.
  int index = 0;
  do {
    if (::SendMessageW(h, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) {
      if (pDX->m_bSaveAndValidate) {
        if (::SendMessageW(h, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
      } else {
        ::SendMessageW(h, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
      }
      ++index;
    }
    h = ::GetWindow(h, GW_HWNDNEXT);
  } while (h && !(::GetWindowLongPtrW(h, GWL_STYLE) & WS_GROUP));
}

void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index) {
  HWND h = pDX->PrepareCtrl(nIDC);
  if (pDX->m_bSaveAndValidate)
    index = (int)::SendMessageW(h, CB_GETCURSEL, 0, 0);
  else
    ::SendMessageW(h, CB_SETCURSEL, (WPARAM)index, 0);
}

void DDX_CBString(CDataExchange* pDX, int nIDC, CString& value) { ComboString(pDX, nIDC, value, false); }
void DDX_CBStringExact(CDataExchange* pDX, int nIDC, CString& value) { ComboString(pDX, nIDC, value, true); }

void DDX_LBIndex(CDataExchange* pDX, int nIDC, int& index) {
  HWND h = pDX->PrepareCtrl(nIDC);
  if (pDX->m_bSaveAndValidate)
    index = (int)::SendMessageW(h, LB_GETCURSEL, 0, 0);
  else
    ::SendMessageW(h, LB_SETCURSEL, (WPARAM)index, 0);
}

void DDX_LBString(CDataExchange* pDX, int nIDC, CString& value) {
  HWND h = pDX->PrepareCtrl(nIDC);
  if (pDX->m_bSaveAndValidate) {
    int sel = (int)::SendMessageW(h, LB_GETCURSEL, 0, 0);
    value.Empty();
    if (sel >= 0) {
      int n = (int)::SendMessageW(h, LB_GETTEXTLEN, (WPARAM)sel, 0);
      wchar_t* buf = value.GetBufferSetLength(n + 1);
      ::SendMessageW(h, LB_GETTEXT, (WPARAM)sel, (LPARAM)buf);
      value.ReleaseBuffer();
    }
  } else {
    ::SendMessageW(h, LB_SELECTSTRING, (WPARAM)-1, (LPARAM)(LPCTSTR)value);
  }
}

void DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars) {
  if (pDX->m_bSaveAndValidate) {
    if (value.GetLength() > nChars) {
      CString msg;
      msg.Format(L"Enter no more than %d characters.", nChars);
      AfxMessageBox(msg, MB_ICONEXCLAMATION);
      pDX->Fail();
    }
  } else if (HWND h = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, (int)pDX->m_idLastControl)) {
    ::SendMessageW(h, EM_LIMITTEXT, (WPARAM)nChars, 0);
  }
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal) {
  if (pDX->m_bSaveAndValidate && (value < minVal || value > maxVal)) {
    CString msg;
    msg.Format(L"Enter an integer between %d and %d.", minVal, maxVal);
    AfxMessageBox(msg, MB_ICONEXCLAMATION);
    pDX->Fail();
  }
}

void DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minVal, UINT maxVal) {
  if (pDX->m_bSaveAndValidate && (value < minVal || value > maxVal)) {
    CString msg;
    msg.Format(L"Enter an integer between %u and %u.", minVal, maxVal);
    AfxMessageBox(msg, MB_ICONEXCLAMATION);
    pDX->Fail();
  }
}
