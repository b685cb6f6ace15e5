// Masked and time fields as real edit controls: typing, Backspace, Delete,
// cut, copy and paste with the clipboard, and the time data exchange.
#include <gtest/gtest.h>

#include <climits>

#include "tests/foundation/ui/fields/FieldsDlg.h"
#include "tests/foundation/ui/fields/FieldsTestSupport.h"
#include "tests/support/UiTestSupport.h"

namespace {
class InputFieldsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dlg.CreateShown()); }
  void TearDown() override {
    if (m_dlg.m_hWnd) m_dlg.DestroyWindow();
  }

  static void Type(CWnd& edit, LPCTSTR chars) {
    for (LPCTSTR p = chars; *p; ++p) edit.SendMessage(WM_CHAR, *p, 1);
  }
  static void Key(CWnd& edit, UINT vk) {
    edit.SendMessage(WM_KEYDOWN, vk, 1);
    edit.SendMessage(WM_KEYUP, vk, 0xC0000001);
  }
  static void CtrlKey(CWnd& edit, UINT vk) {
    edit.SendMessage(WM_KEYDOWN, VK_CONTROL, 1);
    edit.SendMessage(WM_KEYDOWN, vk, 1);
    edit.SendMessage(WM_KEYUP, vk, 0xC0000001);
    edit.SendMessage(WM_KEYUP, VK_CONTROL, 0xC0000001);
  }
  static void Set(CEdit& edit, LPCTSTR text, int start, int end) {
    edit.SetWindowText(text);
    edit.SetSel(start, end);
  }
  static std::pair<int, int> Sel(CEdit& edit) {
    int s = 0, e = 0;
    edit.GetSel(s, e);
    return {s, e};
  }
  static CString Text(CWnd& w) { return WindowText(w.m_hWnd); }

  static bool PutClipboard(LPCTSTR text) {
    if (!::OpenClipboard(nullptr)) return false;
    ::EmptyClipboard();
    size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(::GlobalLock(h), text, bytes);
    ::GlobalUnlock(h);
    bool ok = ::SetClipboardData(CF_UNICODETEXT, h) != nullptr;
    ::CloseClipboard();
    return ok;
  }
  static CString GetClipboard() {
    CString text;
    if (!::OpenClipboard(nullptr)) return text;
    if (HANDLE h = ::GetClipboardData(CF_UNICODETEXT)) {
      text = static_cast<const wchar_t*>(::GlobalLock(h));
      ::GlobalUnlock(h);
    }
    ::CloseClipboard();
    return text;
  }

  CFieldsDlg m_dlg;
};

TEST_F(InputFieldsTest, TypedDigitsOverwriteAndSkipLiterals) {
  CMaskEdit& edit = m_dlg.m_mask;
  Type(edit, L"123");
  EXPECT_STREQ(L"12.3", Text(edit));  // the control wrote the '.' itself
  EXPECT_EQ(std::make_pair(4, 4), Sel(edit));

  Set(edit, L"12.34.56.789", 3, 3);
  Type(edit, L"9");
  EXPECT_STREQ(L"12.94.56.789", Text(edit));
  EXPECT_EQ(std::make_pair(4, 4), Sel(edit));

  Set(edit, L"12.34.56.789", 2, 2);
  Type(edit, L".");  // the separator over its own place moves on
  EXPECT_STREQ(L"12.34.56.789", Text(edit));
  EXPECT_EQ(std::make_pair(3, 3), Sel(edit));
  Type(edit, L"x :\x01");  // letters, other separators, control characters
  EXPECT_STREQ(L"12.34.56.789", Text(edit));
  EXPECT_EQ(std::make_pair(3, 3), Sel(edit));

  Set(edit, L"12.34.56.789", 12, 12);
  Type(edit, L"5");  // behind a full text
  EXPECT_STREQ(L"12.34.56.789", Text(edit));

  // A selection is not replaced: the digit goes to its start.
  Set(edit, L"12.34.56.789", 6, 11);
  Type(edit, L"0");
  EXPECT_STREQ(L"12.34.06.789", Text(edit));
  EXPECT_EQ(std::make_pair(7, 7), Sel(edit));
}

TEST_F(InputFieldsTest, BackspaceAndDeleteKeepTheMask) {
  CMaskEdit& edit = m_dlg.m_mask;
  Set(edit, L"12.34", 5, 5);
  Type(edit, L"\b");
  EXPECT_STREQ(L"12.3", Text(edit));  // at the end the text gets shorter
  Set(edit, L"12.34", 2, 2);
  Type(edit, L"\b");
  EXPECT_STREQ(L"10.34", Text(edit));  // inside it turns back into 0
  EXPECT_EQ(std::make_pair(1, 1), Sel(edit));
  Set(edit, L"12.34.56.789", 1, 7);
  Type(edit, L"\b");
  EXPECT_STREQ(L"10.00.06.789", Text(edit));

  Set(edit, L"12.34.56.789", 1, 4);
  Key(edit, VK_DELETE);
  EXPECT_STREQ(L"10.04.56.789", Text(edit));
  EXPECT_EQ(std::make_pair(1, 4), Sel(edit));
  Set(edit, L"12.34.56.789", 9, 12);
  Key(edit, VK_DELETE);  // a selection up to the end goes away
  EXPECT_STREQ(L"12.34.56.", Text(edit));
  Set(edit, L"12.34", 3, 3);
  Key(edit, VK_DELETE);  // no selection: nothing
  EXPECT_STREQ(L"12.34", Text(edit));
}

TEST_F(InputFieldsTest, CutCopyAndPasteKeepTheMask) {
  CMaskEdit& edit = m_dlg.m_mask;
  ASSERT_TRUE(PutClipboard(L"sentinel"));
  Set(edit, L"12.34.56.789", 1, 4);
  CtrlKey(edit, 'X');
  EXPECT_STREQ(L"10.04.56.789", Text(edit));  // cleared like Delete...
  EXPECT_STREQ(L"sentinel", GetClipboard());  // ...and nothing taken to the clipboard
  edit.SendMessage(WM_CUT);
  EXPECT_STREQ(L"sentinel", GetClipboard());

  Set(edit, L"12.34.56.789", 3, 8);
  CtrlKey(edit, 'C');
  EXPECT_STREQ(L"34.56", GetClipboard());  // copying works as in any edit

  ASSERT_TRUE(PutClipboard(L"00.01.05.250"));
  Set(edit, L"", 0, 0);
  CtrlKey(edit, 'V');
  EXPECT_STREQ(L"00.01.05.250", Text(edit));
  EXPECT_EQ(std::make_pair(0, 11), Sel(edit));

  ASSERT_TRUE(PutClipboard(L"ab"));
  Set(edit, L"", 0, 0);
  edit.SendMessage(WM_PASTE);
  EXPECT_STREQ(L"00", Text(edit));  // what is not allowed becomes 0

  // Into a selection: position for position, literals kept.
  ASSERT_TRUE(PutClipboard(L"99x88"));
  Set(edit, L"12.34.56.789", 0, 5);
  edit.SendMessage(WM_PASTE);
  EXPECT_STREQ(L"99.88.56.789", Text(edit));
  EXPECT_EQ(std::make_pair(0, 5), Sel(edit));
  ASSERT_TRUE(PutClipboard(L"5"));
  Set(edit, L"12.34.56.789", 9, 12);
  edit.SendMessage(WM_PASTE);
  EXPECT_STREQ(L"12.34.56.589", Text(edit));  // a shorter text fills only its own places
  EXPECT_EQ(std::make_pair(9, 12), Sel(edit));

  // A full text takes nothing without a selection; Insert key combinations do nothing.
  Set(edit, L"12.34.56.789", 4, 4);
  edit.SendMessage(WM_PASTE);
  EXPECT_STREQ(L"12.34.56.789", Text(edit));
  Set(edit, L"12.34", 5, 5);
  edit.SendMessage(WM_KEYDOWN, VK_SHIFT, 1);
  Key(edit, VK_INSERT);
  edit.SendMessage(WM_KEYUP, VK_SHIFT, 0xC0000001);
  EXPECT_STREQ(L"12.34", Text(edit));
}

TEST_F(InputFieldsTest, TimeFieldTypingAndDataExchange) {
  CTimeEdit& start = m_dlg.m_start;
  start.SetTime(65250);
  EXPECT_STREQ(L"00:01:05.250", Text(start));
  start.SetTime(3723004);
  EXPECT_STREQ(L"01:02:03.004", Text(start));

  // ".5" typed after the seconds reads as 500 ms: the digits overwrite the zeros.
  start.SetTime(0);
  start.SetSel(8, 8);
  Type(start, L".5");
  EXPECT_STREQ(L"00:00:00.500", Text(start));
  // Typing from the start fills the fields and steps over the ':'.
  start.SetSel(0, 0);
  Type(start, L"0130");
  EXPECT_STREQ(L"01:30:00.500", Text(start));
  ASSERT_TRUE(m_dlg.UpdateData(TRUE));
  EXPECT_EQ(5400500, m_dlg.m_startMs);

  // Any edit control takes part: the plain field holds free text.
  CWnd* plain = m_dlg.GetDlgItem(IDC_PLAINTIME);
  plain->SetWindowText(L".5");
  ASSERT_TRUE(m_dlg.UpdateData(TRUE));
  EXPECT_EQ(500, m_dlg.m_plainMs);
  plain->SetWindowText(L"");
  ASSERT_TRUE(m_dlg.UpdateData(TRUE));
  EXPECT_EQ(0, m_dlg.m_plainMs);
  // At most 63 characters are read: "12.5" behind 60 blanks loses its 5.
  plain->SetWindowText(CString(L' ', 60) + L"12.5");
  ASSERT_TRUE(m_dlg.UpdateData(TRUE));
  EXPECT_EQ(12000, m_dlg.m_plainMs);

  // Load then save gives the same count, up to the largest one.
  for (int ms : {0, 1, 999, 59999, 3600000, 360000000, 123456789, INT_MAX - 1, INT_MAX}) {
    m_dlg.m_startMs = ms;
    m_dlg.m_endMs = ms;
    ASSERT_TRUE(m_dlg.UpdateData(FALSE));
    m_dlg.m_startMs = m_dlg.m_endMs = -1;
    ASSERT_TRUE(m_dlg.UpdateData(TRUE));
    EXPECT_EQ(ms, m_dlg.m_startMs);
    EXPECT_EQ(ms, m_dlg.m_endMs);
  }
  m_dlg.m_startMs = 100 * 3600000;
  ASSERT_TRUE(m_dlg.UpdateData(FALSE));
  EXPECT_STREQ(L"100:00:00.000", Text(start));  // hours are not cut to two digits
}
}  // namespace
