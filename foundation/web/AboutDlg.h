// The About box of both programs and the support mail that goes with it.
#pragma once
#include "foundation/ui/LinkButton.h"
#include "foundation/web/WebProgram.h"
#include "afxwin.h"

class CAboutDlg : public CDialog {
 public:
  explicit CAboutDlg(CWnd* pParent = nullptr);

  CLinkButton m_linkHome;
  CLinkButton m_linkMail;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  // The mail link has no URL: its click arrives here.
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
};

// Opens a new message to the support address with the subject
// "About <program> <version>"; gives 0.
int SendSupportMail();
