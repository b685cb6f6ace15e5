#include "foundation/ui/MaskEdit.h"

#include <cwctype>

IMPLEMENT_DYNAMIC(CMaskEdit, CEdit)

BEGIN_MESSAGE_MAP(CMaskEdit, CEdit)
  ON_WM_CHAR()
  ON_WM_KEYDOWN()
  ON_WM_KEYUP()
END_MESSAGE_MAP()

namespace {
// Replaces the character at pos, or appends it when pos is the text's end.
void PutChar(CString& text, int pos, TCHAR ch) {
  if (pos < text.GetLength())
    text.SetAt(pos, ch);
  else if (pos == text.GetLength())
    text += ch;
}
}  // namespace

CMaskEdit::CMaskEdit() : m_strMask(L"##.##.##.###"), m_strAllowed(L"0123456789") {}

BOOL CMaskEdit::IsAllowedChar(TCHAR ch) const { return ch != 0 && m_strAllowed.Find(ch) >= 0; }

TCHAR CMaskEdit::FitChar(int pos, TCHAR ch) const {
  if (IsLiteralAt(pos)) return m_strMask[pos];
  ch = (TCHAR)towupper(ch);
  return IsAllowedChar(ch) ? ch : L'0';
}

void CMaskEdit::Apply(const CString& text, int selStart, int selEnd) {
  SetWindowText(text);
  SendMessage(EM_SETSEL, (WPARAM)selStart, (LPARAM)selEnd);
  SendMessage(EM_SCROLLCARET);
}

LRESULT CMaskEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CUT:
    case WM_CLEAR:
      ClearSelection();  // nothing goes to the clipboard
      return 0;
    case WM_PASTE:
      Paste();
      return 0;
  }
  return CEdit::WindowProc(message, wParam, lParam);
}

void CMaskEdit::OnKeyDown(UINT nChar, UINT, UINT) {
  switch (nChar) {
    case VK_CONTROL:
      m_bCtrlDown = TRUE;
      break;
    case VK_INSERT:
      return;  // neither Shift+Insert nor Ctrl+Insert
    case VK_DELETE:
      SendMessage(WM_CUT);
      return;
    case 'X':
    case 'C':
    case 'V':
      if (m_bCtrlDown) {
        SendMessage(nChar == 'X' ? WM_CUT : nChar == 'C' ? WM_COPY : WM_PASTE);
        return;
      }
      break;
  }
  Default();
}

void CMaskEdit::OnKeyUp(UINT nChar, UINT, UINT) {
  if (nChar == VK_CONTROL) m_bCtrlDown = FALSE;
  Default();
}

void CMaskEdit::OnChar(UINT nChar, UINT, UINT) {
  CString text;
  GetWindowText(text);
  int s = 0, e = 0;
  GetSel(s, e);
  const int maskLen = m_strMask.GetLength();
  const TCHAR ch = (TCHAR)towupper((wint_t)nChar);

  if (ch == VK_BACK) {
    if (s == e && s > 0) --s;
    if (e == text.GetLength()) {
      text.Delete(s, e - s);
    } else {
      for (int i = s; i < e && i < text.GetLength(); ++i)
        if (!IsLiteralAt(i)) text.SetAt(i, L'0');
    }
    Apply(text, s, s);
    return;
  }

  int p = s;
  if (IsAllowedChar(ch)) {
    if (p >= maskLen) return;
    if (IsLiteralAt(p)) {
      PutChar(text, p, m_strMask[p]);
      ++p;
    }
    if (p < maskLen && !IsLiteralAt(p)) {
      PutChar(text, p, ch);
      ++p;
    }
    Apply(text, p, p);
    return;
  }

  // Typing the separator over its own position moves on; all else is ignored.
  if (p < maskLen && IsLiteralAt(p) && ch == m_strMask[p]) {
    PutChar(text, p, ch);
    Apply(text, p + 1, p + 1);
  }
}

BOOL CMaskEdit::ClearSelection() {
  CString text;
  GetWindowText(text);
  int s = 0, e = 0;
  GetSel(s, e);
  if (s == e) return TRUE;
  if (e >= text.GetLength()) {
    text.Delete(s, text.GetLength() - s);
  } else {
    for (int i = s; i < e; ++i) text.SetAt(i, IsLiteralAt(i) ? m_strMask[i] : L'0');
  }
  Apply(text, s, e);
  return TRUE;
}

BOOL CMaskEdit::Paste() {
  if (!::OpenClipboard(m_hWnd)) return FALSE;
  CString clip;
  BOOL ok = FALSE;
  if (::IsClipboardFormatAvailable(CF_UNICODETEXT)) {
    if (HANDLE h = ::GetClipboardData(CF_UNICODETEXT)) {
      if (const wchar_t* p = static_cast<const wchar_t*>(::GlobalLock(h))) {
        // The block need not be terminated within its size.
        size_t max = ::GlobalSize(h) / sizeof(wchar_t);
        size_t n = 0;
        while (n < max && p[n]) ++n;
        clip = CString(p, (int)n);
        ::GlobalUnlock(h);
        ok = TRUE;
      }
    }
  }
  ::CloseClipboard();
  if (!ok) return FALSE;

  CString text;
  GetWindowText(text);
  int s = 0, e = 0;
  GetSel(s, e);
  const int n = clip.GetLength();
  if (s < e) {
    // The clipboard is read position for position against the mask.
    for (int i = s; i < e && i - s < n && i < text.GetLength(); ++i) text.SetAt(i, FitChar(i, clip[i - s]));
    Apply(text, s, e);
  } else {
    const int room = m_strMask.GetLength() - text.GetLength();
    for (int i = s; i < s + room && i - s < n; ++i) PutChar(text, i, FitChar(i, clip[i - s]));
    Apply(text, s, room > 0 ? s + room - 1 : s);
  }
  return TRUE;
}
