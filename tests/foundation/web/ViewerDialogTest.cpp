// The same dialogs built from the viewer's resource script: its ids, texts
// and version, with the viewer's program object.
#include <gtest/gtest.h>

#include "foundation/web/AboutDlg.h"
#include "tests/foundation/web/DialogTestSupport.h"
#include "foundation/web/UpdateCheck.h"
#include "tests/foundation/web/WebTestSupport.h"

#include <commctrl.h>

namespace {
class CViewerTestApp : public CWinApp {
 public:
  CViewerTestApp() : CWinApp(L"Glimmerscope") {}
};
CViewerTestApp theApp;

class CViewerEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    SetWebProgram(&kViewerWebProgram);
  }
};
const auto* g_env = ::testing::AddGlobalTestEnvironment(new CViewerEnvironment);

bool HasText(HWND parent, LPCTSTR text) {
  for (HWND c = ::GetWindow(parent, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
    if (WindowText(c) == text) return true;
  return false;
}
}  // namespace

TEST(ViewerWebDialogs, AboutBox) {
  CShellRecorder shell;
  CAboutDlg about;
  ASSERT_TRUE(about.Create(IDD_GS_ABOUT));
  about.ShowWindow(SW_SHOW);
  PumpPending();
  const HWND dlg = about.m_hWnd;
  EXPECT_STREQ(L"About Glimmerscope", WindowText(dlg));
  EXPECT_STREQ(L"Glimmerscope 1", ItemText(dlg, IDC_GS_ABOUT_NAME));
  EXPECT_STREQ(L"Version 0.3.0", ItemText(dlg, IDC_GS_ABOUT_VERSION));
  EXPECT_STREQ(L"Copyright (C) 2019 Morrowtide", ItemText(dlg, IDC_GS_ABOUT_COPYRIGHT));
  EXPECT_STREQ(kHomePageUrl, ItemText(dlg, IDC_GS_ABOUT_HOME));
  EXPECT_STREQ(kSupportMail, ItemText(dlg, IDC_GS_ABOUT_MAIL));
  EXPECT_TRUE(HasText(dlg, L"A simple application for viewing DICOM and other format medical images."));
  EXPECT_TRUE(HasText(dlg, L"Email Box:"));
  EXPECT_EQ(about.m_linkMail.m_hWnd, ::GetDlgItem(dlg, IDC_GS_ABOUT_MAIL));
  CaptureWindow(dlg, false).SavePng(L"about_glimmerscope.png");

  ::SendDlgItemMessageW(dlg, IDC_GS_ABOUT_MAIL, BM_CLICK, 0, 0);
  PumpPending();
  const auto calls = shell.Calls();
  ASSERT_EQ(1u, calls.size());
  EXPECT_STREQ(L"mailto:support@morrowtide.com?subject=About Glimmerscope 0.3.0", calls[0].file);
  about.DestroyWindow();
}

TEST(ViewerWebDialogs, UpdateDialogs) {
  CUpdateJob job;
  job.m_strCurrentVersion = L"1.11.0";
  job.m_strNewestVersion = L"1.12.0";
  job.m_strDescription = L"One\r\nTwo";
  {
    CUpdateAvailableDlg available(&job);
    ASSERT_TRUE(available.Create(IDD_GS_UPDATE_AVAILABLE));
    const HWND dlg = available.m_hWnd;
    // The caption is the viewer's; the offer is the converter's release.
    EXPECT_STREQ(L"Glimmerscope", WindowText(dlg));
    EXPECT_STREQ(L"A newer version of Reelsmith is available:", ItemText(dlg, IDC_GS_UPDATE_LABEL));
    EXPECT_STREQ(L"1.12.0", ItemText(dlg, IDC_GS_UPDATE_NEW_VERSION));
    EXPECT_STREQ(L"Your version is 1.11.0.", ItemText(dlg, IDC_GS_UPDATE_YOUR_VERSION));
    EXPECT_STREQ(L"One\r\nTwo", ItemText(dlg, IDC_GS_UPDATE_DESCRIPTION));
    EXPECT_EQ(available.m_linkLearnMore.m_hWnd, ::GetDlgItem(dlg, IDC_GS_UPDATE_LEARN_MORE));
    EXPECT_EQ(BST_CHECKED, (int)::SendDlgItemMessageW(dlg, IDC_GS_UPDATE_AUTO_CHECK, BM_GETCHECK, 0, 0));
    available.DestroyWindow();
  }
  {
    // The viewer's progress template, ended at once when its thread cannot start.
    class CNoThreadDlg : public CUpdateProgressDlg {
     public:
      using CUpdateProgressDlg::CUpdateProgressDlg;
      BOOL StartCheckThread() override { return FALSE; }
    };
    CNoThreadDlg progress(&job);
    EXPECT_EQ(IDOK, progress.DoModal());
    EXPECT_EQ(-1, progress.m_nResult);
  }
}
