// Dialogs from real templates: creation messages, initial combo items, data
// exchange, the modal loop with its idle updates, and modal runs on workers.
#include <gtest/gtest.h>

#include <vector>

#include "tests/classlib/ClasslibTest.h"
#include "afxwin.h"

namespace {
constexpr UINT WM_STEP = WM_APP + 20;

std::vector<CString> ComboItems(CWnd* dlg, int id) {
  std::vector<CString> items;
  HWND combo = ::GetDlgItem(dlg->m_hWnd, id);
  int n = (int)::SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (int i = 0; i < n; ++i) {
    wchar_t buf[64] = {0};
    ::SendMessageW(combo, CB_GETLBTEXT, i, (LPARAM)buf);
    items.push_back(buf);
  }
  return items;
}

CString Text(CWnd* dlg, int id) {
  CString s;
  dlg->GetDlgItemText(id, s);
  return s;
}

class COwnerDrawButton : public CButton {
 public:
  int draws = 0;
  void DrawItem(LPDRAWITEMSTRUCT dis) override {
    ++draws;
    ::FillRect(dis->hDC, &dis->rcItem, (HBRUSH)::GetStockObject(GRAY_BRUSH));
  }
};

// Shows the members, lets a script change the controls, and reads them back.
class CDataDlg : public CDialog {
 public:
  CDataDlg() : CDialog(IDD_DATA) {}
  CString m_name = L"Ada";
  int m_count = 42;
  int m_flag = 1;
  int m_list = 2;
  CString m_choice = L"Gre";  // a prefix selects the first item beginning with it
  int m_exList = 1;
  CString m_exEdit = L"Lisbon";  // not in the list: goes to the edit field
  COwnerDrawButton m_owner;

  int creates = 0, inits = 0;
  BOOL ownerEnabledDuringRun = TRUE;
  HWND ownerToCheck = nullptr;
  std::vector<CString> listItems, choiceItems, exItems, exEditItems;
  CString shownName, shownCount, shownChoice, shownExEdit;
  int shownList = -1, shownFlag = -1, shownExList = -1;
  BOOL badIntegerRefused = FALSE;
  std::vector<CString> boxes;

 protected:
  void DoDataExchange(CDataExchange* pDX) override {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_OWNERDRAW, m_owner);
    DDX_Text(pDX, IDC_NAME, m_name);
    DDX_Text(pDX, IDC_COUNT, m_count);
    DDX_Check(pDX, IDC_FLAG, m_flag);
    DDX_CBIndex(pDX, IDC_LIST, m_list);
    DDX_CBString(pDX, IDC_CHOICE, m_choice);
    DDX_CBIndex(pDX, IDC_EXLIST, m_exList);
    DDX_CBString(pDX, IDC_EXEDIT, m_exEdit);
  }
  BOOL OnInitDialog() override {
    ++inits;
    CDialog::OnInitDialog();
    if (ownerToCheck) ownerEnabledDuringRun = ::IsWindowEnabled(ownerToCheck);
    PostMessage(WM_STEP);
    return TRUE;
  }
  afx_msg int OnCreate(LPCREATESTRUCT cs) {
    ++creates;
    return CDialog::OnCreate(cs);
  }
  afx_msg LRESULT OnStep(WPARAM, LPARAM) {
    // Paint once, so the owner-drawn button draws itself.
    ShowWindow(SW_SHOWNA);
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    // What the initial exchange put into the controls.
    listItems = ComboItems(this, IDC_LIST);
    choiceItems = ComboItems(this, IDC_CHOICE);
    exItems = ComboItems(this, IDC_EXLIST);
    exEditItems = ComboItems(this, IDC_EXEDIT);
    shownName = Text(this, IDC_NAME);
    shownCount = Text(this, IDC_COUNT);
    shownFlag = (int)IsDlgButtonChecked(IDC_FLAG);
    shownList = (int)SendDlgItemMessage(IDC_LIST, CB_GETCURSEL);
    shownChoice = Text(this, IDC_CHOICE);
    shownExList = (int)SendDlgItemMessage(IDC_EXLIST, CB_GETCURSEL);
    HWND exEdit = (HWND)SendDlgItemMessage(IDC_EXEDIT, CBEM_GETEDITCONTROL);
    wchar_t buf[64] = {0};
    ::GetWindowTextW(exEdit, buf, 64);
    shownExEdit = buf;

    // A count that is not a whole number keeps the dialog open.
    SetDlgItemText(IDC_COUNT, L"12x");
    OnOK();
    badIntegerRefused = ContinueModal() && m_count == 42;

    // The user's changes.
    SetDlgItemText(IDC_NAME, L"Grace Hopper");
    SetDlgItemText(IDC_COUNT, L" -17 ");
    CheckDlgButton(IDC_FLAG, BST_UNCHECKED);
    SendDlgItemMessage(IDC_LIST, CB_SETCURSEL, 0);
    SetDlgItemText(IDC_CHOICE, L"Purple");
    SendDlgItemMessage(IDC_EXLIST, CB_SETCURSEL, 2);
    ::SetWindowTextW(exEdit, L"Rome");
    OnOK();
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CDataDlg, CDialog)
  ON_WM_CREATE()
  ON_MESSAGE(WM_STEP, OnStep)
END_MESSAGE_MAP()
}  // namespace

TEST(Dialog, TemplateItemsDataExchangeAndCreationMessages) {
  std::vector<CString> boxes;
  AfxSetMessageBoxHandler([&](LPCTSTR text, UINT) {
    boxes.push_back(text);
    return IDOK;
  });
  CWnd owner;
  ASSERT_TRUE(owner.CreateEx(0, nullptr, L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr));
  CDataDlg dlg;
  dlg.m_pParentWnd = &owner;
  dlg.ownerToCheck = owner.m_hWnd;
  EXPECT_EQ(IDOK, dlg.DoModal());
  AfxSetMessageBoxHandler(nullptr);

  EXPECT_EQ(1, dlg.creates);
  EXPECT_EQ(1, dlg.inits);
  EXPECT_FALSE(dlg.ownerEnabledDuringRun);
  EXPECT_TRUE(owner.IsWindowEnabled());
  EXPECT_EQ(nullptr, dlg.m_hWnd);

  // Initial items from the dialog's type-240 resource.
  EXPECT_EQ((std::vector<CString>{L"Alpha", L"Beta", L"Gamma"}), dlg.listItems);
  EXPECT_EQ((std::vector<CString>{L"Red", L"Green", L"Blue"}), dlg.choiceItems);
  EXPECT_EQ((std::vector<CString>{L"One", L"Two", L"Three"}), dlg.exItems);
  EXPECT_EQ((std::vector<CString>{L"Oslo", L"Paris"}), dlg.exEditItems);

  // Members into controls.
  EXPECT_STREQ(L"Ada", dlg.shownName);
  EXPECT_STREQ(L"42", dlg.shownCount);
  EXPECT_EQ(1, dlg.shownFlag);
  EXPECT_EQ(2, dlg.shownList);
  EXPECT_STREQ(L"Green", dlg.shownChoice);
  EXPECT_EQ(1, dlg.shownExList);
  EXPECT_STREQ(L"Lisbon", dlg.shownExEdit);

  // A bad integer: one message, the member untouched, the dialog still open.
  EXPECT_TRUE(dlg.badIntegerRefused);
  ASSERT_EQ(1u, boxes.size());
  EXPECT_STREQ(L"Please enter an integer.", boxes[0]);

  // Controls into members.
  EXPECT_STREQ(L"Grace Hopper", dlg.m_name);
  EXPECT_EQ(-17, dlg.m_count);
  EXPECT_EQ(0, dlg.m_flag);
  EXPECT_EQ(0, dlg.m_list);
  EXPECT_STREQ(L"Purple", dlg.m_choice);
  EXPECT_EQ(2, dlg.m_exList);
  EXPECT_STREQ(L"Rome", dlg.m_exEdit);
  // The owner-drawn control was subclassed by the exchange and drew itself.
  EXPECT_GE(dlg.m_owner.draws, 1);
  EXPECT_EQ(nullptr, dlg.m_owner.m_hWnd);
  owner.DestroyWindow();
}

// ---------------------------------------------------------------------------
// Idle updates in the modal loop.

namespace {
class CPage : public CDialog {
 public:
  CPage() : CDialog(IDD_PAGE) {}
  int idleUpdates = 0;

 protected:
  void OnOK() override {}
  void OnCancel() override {}
  afx_msg LRESULT OnIdleUpdateCmdUI(WPARAM, LPARAM) {
    ++idleUpdates;
    UpdateDialogControls(this, FALSE);
    return 0;
  }
  afx_msg void OnUpdatePageButton(CCmdUI* ui) { ui->Enable(FALSE); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CPage, CDialog)
  ON_MESSAGE(WM_IDLEUPDATECMDUI, OnIdleUpdateCmdUI)
  ON_UPDATE_COMMAND_UI(IDC_PAGEBUTTON, OnUpdatePageButton)
END_MESSAGE_MAP()

class CIdleDlg : public CDialog {
 public:
  CIdleDlg() : CDialog(IDD_IDLE) {}
  CPage m_page;
  int kicks = 0, ticks = 0, preTranslated = 0;
  BOOL probeDisabled = FALSE, noHandlerDisabled = FALSE, pageButtonDisabled = FALSE, disableMeDisabled = FALSE;
  BOOL disableMe = FALSE;

  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_F9) {
      ++preTranslated;
      return TRUE;
    }
    return CDialog::PreTranslateMessage(msg);
  }

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    m_page.Create(IDD_PAGE, this);
    m_page.SetWindowPos(nullptr, 0, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ::PostMessageW(::GetDlgItem(m_hWnd, IDC_EDIT), WM_KEYDOWN, VK_F9, 1);
    SetTimer(1, 30, nullptr);
    return TRUE;
  }
  afx_msg LRESULT OnKickIdle(WPARAM, LPARAM) {
    ++kicks;
    UpdateDialogControls(this, TRUE);
    return 0;
  }
  afx_msg void OnTimer(UINT_PTR) {
    // Record what the idle updates did, then change state and see it follow.
    if (++ticks == 3) {
      probeDisabled = !GetDlgItem(IDC_PROBE)->IsWindowEnabled();
      noHandlerDisabled = !GetDlgItem(IDC_NOHANDLER)->IsWindowEnabled();
      pageButtonDisabled = !m_page.GetDlgItem(IDC_PAGEBUTTON)->IsWindowEnabled();
      disableMe = TRUE;
    }
    if (ticks == 6) {
      disableMeDisabled = !GetDlgItem(IDC_DISABLEME)->IsWindowEnabled();
      KillTimer(1);
      EndDialog(IDOK);
    }
  }
  afx_msg void OnProbe() {}
  afx_msg void OnUpdateProbe(CCmdUI* ui) { ui->Enable(TRUE); }
  afx_msg void OnDisableMe() {}
  afx_msg void OnUpdateDisableMe(CCmdUI* ui) { ui->Enable(!disableMe); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CIdleDlg, CDialog)
  ON_MESSAGE(WM_KICKIDLE, OnKickIdle)
  ON_WM_TIMER()
  ON_BN_CLICKED(IDC_PROBE, OnProbe)
  ON_UPDATE_COMMAND_UI(IDC_PROBE, OnUpdateProbe)
  ON_BN_CLICKED(IDC_DISABLEME, OnDisableMe)
  ON_UPDATE_COMMAND_UI(IDC_DISABLEME, OnUpdateDisableMe)
END_MESSAGE_MAP()
}  // namespace

TEST(Dialog, ModalLoopKicksIdleAndUpdatesDescendants) {
  CIdleDlg dlg;
  EXPECT_EQ(IDOK, dlg.DoModal());
  EXPECT_GE(dlg.kicks, 1);
  EXPECT_GE(dlg.m_page.idleUpdates, 1);
  EXPECT_FALSE(dlg.probeDisabled);
  EXPECT_TRUE(dlg.noHandlerDisabled);  // a push button with no handler anywhere
  EXPECT_TRUE(dlg.pageButtonDisabled);
  EXPECT_TRUE(dlg.disableMeDisabled);
  EXPECT_EQ(1, dlg.preTranslated);
  EXPECT_EQ(nullptr, dlg.m_page.m_hWnd);  // destroyed with its parent
}

namespace {
class CSelfClosingDlg : public CDialog {
 public:
  CSelfClosingDlg() : CDialog(IDD_ROUTE) {}
  DWORD threadSeen = 0;

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    threadSeen = ::GetCurrentThreadId();
    SetTimer(7, 20, nullptr);
    return TRUE;
  }
  afx_msg void OnTimer(UINT_PTR) {
    KillTimer(7);
    EndDialog(1234);
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CSelfClosingDlg, CDialog)
  ON_WM_TIMER()
END_MESSAGE_MAP()

struct WorkerDialogRun {
  INT_PTR result = 0;
  DWORD dialogThread = 0, workerThread = 0;
};

UINT __cdecl RunDialogOnWorker(LPVOID param) {
  auto* run = static_cast<WorkerDialogRun*>(param);
  run->workerThread = ::GetCurrentThreadId();
  CSelfClosingDlg dlg;
  run->result = dlg.DoModal();
  run->dialogThread = dlg.threadSeen;
  return 0;
}
}  // namespace

TEST(Dialog, ModalRunWorksOnAWorkerThread) {
  WorkerDialogRun run;
  CWinThread* thread = AfxBeginThread(RunDialogOnWorker, &run, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
  ASSERT_NE(nullptr, thread);
  thread->m_bAutoDelete = FALSE;
  thread->ResumeThread();
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(thread->m_hThread, 20000));
  delete thread;
  EXPECT_EQ(1234, run.result);
  EXPECT_NE(0u, run.workerThread);
  EXPECT_EQ(run.workerThread, run.dialogThread);
}

TEST(Dialog, ModelessChildDialogAndEndDialogInInit) {
  CWnd top;
  ASSERT_TRUE(top.CreateEx(0, nullptr, L"top", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr));
  CPage page;
  ASSERT_TRUE(page.Create(IDD_PAGE, &top));
  EXPECT_EQ(top.m_hWnd, ::GetParent(page.m_hWnd));
  EXPECT_TRUE(page.GetStyle() & WS_CHILD);
  EXPECT_EQ(&page, CWnd::FromHandlePermanent(page.m_hWnd));
  top.DestroyWindow();
  EXPECT_EQ(nullptr, page.m_hWnd);
}

TEST(Dialog, StringResourcesAndFileDialogSelections) {
  CString tip;
  EXPECT_TRUE(tip.LoadString(IDS_TIP));
  EXPECT_STREQ(L"Status part\nTip part", tip);
  CString part;
  EXPECT_TRUE(AfxExtractSubString(part, tip, 1, L'\n'));
  EXPECT_STREQ(L"Tip part", part);
  EXPECT_FALSE(tip.LoadString(9999));
  EXPECT_TRUE(tip.IsEmpty());

  CFileDialog open(TRUE, L"dcm", nullptr, OFN_ALLOWMULTISELECT, L"DICOM files|*.dcm|All files|*.*||");
  const wchar_t filter[] = L"DICOM files\0*.dcm\0All files\0*.*\0\0";
  EXPECT_EQ(0, memcmp(open.m_ofn.lpstrFilter, filter, sizeof(filter)));
  // What the system hands back for two files: the folder, the names, an empty string.
  const wchar_t several[] = L"C:\\data\0a.dcm\0b b.dcm\0";
  memcpy(open.m_ofn.lpstrFile, several, sizeof(several));
  std::vector<CString> paths;
  for (POSITION pos = open.GetStartPosition(); pos;) paths.push_back(open.GetNextPathName(pos));
  EXPECT_EQ((std::vector<CString>{L"C:\\data\\a.dcm", L"C:\\data\\b b.dcm"}), paths);
  const wchar_t one[] = L"C:\\data\\c.dcm\0";
  memcpy(open.m_ofn.lpstrFile, one, sizeof(one));
  EXPECT_STREQ(L"C:\\data\\c.dcm", open.GetPathName());
  EXPECT_STREQ(L"c.dcm", open.GetFileName());
  EXPECT_STREQ(L"dcm", open.GetFileExt());
  EXPECT_STREQ(L"c", open.GetFileTitle());
  EXPECT_TRUE(open.IsKindOf(RUNTIME_CLASS(CDialog)));
}

namespace {
class CRefusingDlg : public CDialog {
 public:
  CRefusingDlg() : CDialog(IDD_ROUTE) {}
  int inits = 0;

 protected:
  BOOL OnInitDialog() override {
    ++inits;
    return CDialog::OnInitDialog();
  }
  afx_msg int OnCreate(LPCREATESTRUCT) { return -1; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CRefusingDlg, CDialog)
  ON_WM_CREATE()
END_MESSAGE_MAP()
}  // namespace

TEST(Dialog, RefusedCreationEndsTheModalRunAtOnce) {
  CWnd owner;
  ASSERT_TRUE(owner.CreateEx(0, nullptr, L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr));
  CRefusingDlg dlg;
  dlg.m_pParentWnd = &owner;
  EXPECT_EQ(-1, dlg.DoModal());
  EXPECT_EQ(0, dlg.inits);
  EXPECT_EQ(nullptr, dlg.m_hWnd);
  EXPECT_TRUE(owner.IsWindowEnabled());
  owner.DestroyWindow();
}
