#include "foundation/web/AboutDlg.h"

#include "foundation/ShellOpen.h"
#include "foundation/ui/UIResources.h"

CAboutDlg::CAboutDlg(CWnd* pParent) : CDialog(GetWebProgram().ids.about, pParent) {}

void CAboutDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  const CWebDialogIds& ids = GetWebProgram().ids;
  DDX_Control(pDX, ids.aboutHome, m_linkHome);
  DDX_Control(pDX, ids.aboutMail, m_linkMail);
}

BOOL CAboutDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  const CWebProgram& program = GetWebProgram();
  const CWebDialogIds& ids = program.ids;
  const CString appName = AfxGetAppName();

  CString text;
  GetWindowText(text);
  SetWindowText(text + L" " + appName);

  HICON icon = ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDI_WEB_PROGRAM));
  if (!icon) icon = ::LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDI_WEB_PROGRAM));
  if (!icon) icon = ::LoadIconW(nullptr, IDI_APPLICATION);
  SendDlgItemMessage(IDC_WEB_ICON, STM_SETICON, (WPARAM)icon, 0);

  if (CWnd* name = GetDlgItem(ids.aboutName)) {
    name->SetFont(GetSharedFont(CUIResources::FontLargeBold));
    text.Format(L"%s %d", (LPCTSTR)appName, 1);
    name->SetWindowText(text);
  }
  text.Format(L"Version %s", program.versionText);
  SetDlgItemText(ids.aboutVersion, text);

  const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
  CLinkButton* links[2] = {&m_linkHome, &m_linkMail};
  for (CLinkButton* link : links) {
    link->m_crBack = face;
    link->SetFont(GetSharedFont(CUIResources::FontNormal));
    link->m_pHoverFont = GetSharedFont(CUIResources::FontUnderline);
  }
  m_linkHome.SetLink(kHomePageUrl, kHomePageUrl);
  m_linkHome.SizeToText();
  m_linkMail.SetLink(nullptr, kSupportMail);
  m_linkMail.SizeToText();
  return TRUE;
}

BOOL CAboutDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (CDialog::OnCommand(wParam, lParam)) return TRUE;
  if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == GetWebProgram().ids.aboutMail) {
    SendSupportMail();
    return TRUE;
  }
  return FALSE;
}

int SendSupportMail() {
  CString subject;
  subject.Format(L"About %s %s", AfxGetAppName(), GetWebProgram().versionText);
  OpenMailTo(kSupportMail, subject, nullptr);
  return 0;
}
