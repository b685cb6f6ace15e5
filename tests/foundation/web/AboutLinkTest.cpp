// The About box and the link buttons: texts, fonts, the links' widths taken
// from their captions, the hover colour and underline, the hand cursor, and
// clicks that open through the shell seam (or reach the parent without a URL).
#include <gtest/gtest.h>

#include "foundation/web/AboutDlg.h"
#include "foundation/ShellOpen.h"
#include "tests/foundation/web/DialogTestSupport.h"
#include "foundation/ui/UIResources.h"
#include "tests/foundation/web/WebTestSupport.h"

namespace {
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kRed = RGB(255, 0, 0);

std::vector<CString> ChildTexts(HWND parent) {
  std::vector<CString> texts;
  for (HWND c = ::GetWindow(parent, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) texts.push_back(WindowText(c));
  return texts;
}

bool Contains(const std::vector<CString>& texts, LPCTSTR text) {
  for (const CString& t : texts)
    if (t == text) return true;
  return false;
}

// Checks that the link's text fills its width: text pixels start near the
// left inset and end near the right one.
void ExpectWidthFitsText(HWND dialog, HWND link, COLORREF color, const char* what) {
  CWindowShot shot = CaptureWindow(dialog);
  const CRect rect = ChildRect(link);
  const CColorSpan span = FindColor(shot, rect, color);
  ASSERT_GT(span.count, 20) << what;
  EXPECT_GE(span.first, 1) << what;
  EXPECT_LE(span.first, 4) << what;
  EXPECT_GE(span.last, rect.Width() - 6) << what << " width " << rect.Width();
  EXPECT_LE(span.last, rect.Width() - 2) << what << " width " << rect.Width();
}

// A parent window that records the clicks its buttons report.
class CClickParent : public CWnd {
 public:
  int m_nClicks = 0;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
    if (CWnd::OnCommand(wParam, lParam)) return TRUE;
    if (HIWORD(wParam) == BN_CLICKED) ++m_nClicks;
    return TRUE;
  }
};

class CCountingLink : public CLinkButton {
 public:
  int m_nDraws = 0;
  void DrawItem(LPDRAWITEMSTRUCT dis) override {
    ++m_nDraws;
    CLinkButton::DrawItem(dis);
  }
};
}  // namespace

TEST(AboutBox, ShowsTheProgramAndOpensItsLinks) {
  CShellRecorder shell;
  CAboutDlg about;
  ASSERT_TRUE(about.Create(GetWebProgram().ids.about));
  about.ShowWindow(SW_SHOW);
  PumpPending();
  const HWND dlg = about.m_hWnd;
  const CWebDialogIds& ids = GetWebProgram().ids;

  EXPECT_STREQ(L"About Reelsmith", WindowText(dlg));
  EXPECT_STREQ(L"Reelsmith 1", ItemText(dlg, ids.aboutName));
  EXPECT_STREQ(L"Version 1.11.0", ItemText(dlg, ids.aboutVersion));
  EXPECT_STREQ(L"Copyright (C) 2019 Morrowtide", ItemText(dlg, ids.aboutCopyright));
  EXPECT_STREQ(kHomePageUrl, ItemText(dlg, ids.aboutHome));
  EXPECT_STREQ(kSupportMail, ItemText(dlg, ids.aboutMail));
  const std::vector<CString> texts = ChildTexts(dlg);
  EXPECT_TRUE(Contains(texts, L"Convert a series of DICOM images to a video."));
  EXPECT_TRUE(Contains(texts, L"Web Site:"));
  EXPECT_TRUE(Contains(texts, L"Email:"));
  EXPECT_EQ((HFONT)GetSharedFont(CUIResources::FontLargeBold)->GetSafeHandle(),
            (HFONT)::SendDlgItemMessageW(dlg, ids.aboutName, WM_GETFONT, 0, 0));
  EXPECT_NE(nullptr, (HICON)::SendDlgItemMessageW(dlg, IDC_WEB_ICON, STM_GETICON, 0, 0));
  // The focus starts on OK, so Enter closes the box instead of following a link.
  EXPECT_EQ(::GetDlgItem(dlg, IDOK), ::GetNextDlgTabItem(dlg, nullptr, FALSE));

  const HWND home = about.m_linkHome.m_hWnd;
  const HWND mail = about.m_linkMail.m_hWnd;
  ExpectWidthFitsText(dlg, home, kBlue, "home page link");
  ExpectWidthFitsText(dlg, mail, kBlue, "mail link");
  CaptureWindow(dlg, false).SavePng(L"about_reelsmith.png");

  // Hovered: red and underlined; left: blue again.
  const CRect homeRect = ChildRect(home);
  ::SendMessageW(home, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
  EXPECT_TRUE(about.m_linkHome.m_bHover);
  CWindowShot hovered = CaptureWindow(dlg);
  const CColorSpan red = FindColor(hovered, homeRect, kRed);
  EXPECT_GT(red.count, 20);
  EXPECT_EQ(0, FindColor(hovered, homeRect, kBlue).count);
  EXPECT_GT(red.widestRow, (red.last - red.first) * 8 / 10) << "no underline under the hovered link";
  CaptureWindow(dlg, false).SavePng(L"about_reelsmith_hover.png");
  ::SendMessageW(home, WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(about.m_linkHome.m_bHover);
  CWindowShot left = CaptureWindow(dlg);
  EXPECT_EQ(0, FindColor(left, homeRect, kRed).count);
  const CColorSpan blue = FindColor(left, homeRect, kBlue);
  EXPECT_GT(blue.count, 20);
  EXPECT_LT(blue.widestRow, (blue.last - blue.first) / 2) << "underlined while not hovered";

  // The hand cursor over both links.
  for (HWND link : {home, mail}) {
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_TRUE(::SendMessageW(link, WM_SETCURSOR, (WPARAM)link, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(GetSharedHandCursor(), ::GetCursor());
  }

  // Clicks: the home page opens; the mail link, which has no URL, reaches
  // the dialog, which writes the support mail.
  ::SendMessageW(home, BM_CLICK, 0, 0);
  ::SendMessageW(mail, BM_CLICK, 0, 0);
  PumpPending();
  const auto calls = shell.Calls();
  ASSERT_EQ(2u, calls.size());
  EXPECT_STREQ(L"open", calls[0].verb);
  EXPECT_STREQ(kHomePageUrl, calls[0].file);
  EXPECT_STREQ(L"Open", calls[1].verb);
  EXPECT_STREQ(L"mailto:support@morrowtide.com?subject=About Reelsmith 1.11.0", calls[1].file);
  about.DestroyWindow();
}

TEST(AboutBox, SupportMailCommand) {
  CShellRecorder shell;
  EXPECT_EQ(0, SendSupportMail());
  const auto calls = shell.Calls();
  ASSERT_EQ(1u, calls.size());
  EXPECT_STREQ(L"mailto:support@morrowtide.com?subject=About Reelsmith 1.11.0", calls[0].file);
  EXPECT_EQ(-1, calls[0].file.Find(L"&body="));
  OpenMailTo(kSupportMail, L"Hello there", L"Line");
  ASSERT_EQ(2u, shell.Calls().size());
  EXPECT_STREQ(L"mailto:support@morrowtide.com?subject=Hello there&body=Line", shell.Calls()[1].file);
}

TEST(LinkButton, RedrawsOnEntryAndLeaveAndActsAsAButtonWithoutUrl) {
  CShellRecorder shell;
  CClickParent parent;
  ASSERT_TRUE(parent.CreateEx(0, AfxRegisterWndClass(0, nullptr, (HBRUSH)(COLOR_BTNFACE + 1)), L"links",
                              WS_POPUP | WS_VISIBLE, 100, 100, 300, 120, nullptr, nullptr));
  CCountingLink link;
  ASSERT_TRUE(link.Create(L"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, CRect(10, 10, 250, 30), &parent, 1001));
  link.SetFont(GetSharedFont(CUIResources::FontNormal));
  link.SetLink(nullptr, L"Plain link text");
  link.SizeToText();
  ::UpdateWindow(parent.m_hWnd);
  ExpectWidthFitsText(parent.m_hWnd, link.m_hWnd, kBlue, "plain link");

  // Without a URL the parent hears the click and nothing is opened.
  ::SendMessageW(link.m_hWnd, BM_CLICK, 0, 0);
  EXPECT_EQ(1, parent.m_nClicks);
  EXPECT_TRUE(shell.Calls().empty());
  // With one, the link opens it and the parent hears nothing.
  link.SetLink(L"http://127.0.0.1/page");
  ::SendMessageW(link.m_hWnd, BM_CLICK, 0, 0);
  EXPECT_EQ(1, parent.m_nClicks);
  ASSERT_EQ(1u, shell.Calls().size());
  EXPECT_STREQ(L"http://127.0.0.1/page", shell.Calls()[0].file);

  // Moves inside redraw only on entry; leaving redraws once.
  ::UpdateWindow(link.m_hWnd);
  const int before = link.m_nDraws;
  for (int x = 2; x < 12; x += 2) {
    ::SendMessageW(link.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, 5));
    ::UpdateWindow(link.m_hWnd);
  }
  EXPECT_EQ(before + 1, link.m_nDraws);
  ::SendMessageW(link.m_hWnd, WM_MOUSELEAVE, 0, 0);
  ::UpdateWindow(link.m_hWnd);
  ::SendMessageW(link.m_hWnd, WM_MOUSELEAVE, 0, 0);
  ::UpdateWindow(link.m_hWnd);
  EXPECT_EQ(before + 2, link.m_nDraws);

  // Opaque: the link sits on a rectangle of its background colour.
  link.m_bTransparent = FALSE;
  link.m_crBack = RGB(255, 255, 0);
  link.Invalidate(TRUE);
  CWindowShot shot = CaptureWindow(parent.m_hWnd);
  const CRect rect = ChildRect(link.m_hWnd);
  EXPECT_GT(FindColor(shot, rect, RGB(255, 255, 0), 0).count, rect.Width() * rect.Height() / 2);
  link.m_bTransparent = TRUE;
  link.Invalidate(TRUE);
  shot = CaptureWindow(parent.m_hWnd);
  EXPECT_EQ(0, FindColor(shot, rect, RGB(255, 255, 0), 0).count);
  EXPECT_GT(FindColor(shot, rect, ::GetSysColor(COLOR_BTNFACE), 0).count, rect.Width() * rect.Height() / 2);

  // A multi-line button keeps its width.
  link.ModifyStyle(0, BS_MULTILINE);
  link.SetWindowText(L"A much longer caption that would need a wider button than this one");
  link.SizeToText();
  EXPECT_EQ(rect.Width(), ChildRect(link.m_hWnd).Width());
  parent.DestroyWindow();
}
