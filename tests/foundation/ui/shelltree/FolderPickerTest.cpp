// The folder picker run modally and driven from inside its own message loop:
// a folder, a pattern and the scan choice come back on OK, Cancel changes
// nothing, and the layout, size limits, system menu and presets.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "foundation/ui/FolderPickerDlg.h"
#include "tests/foundation/ui/shelltree/ShellTestSupport.h"
#include "tests/support/UiTestSupport.h"
#include "resources/common/folderpickerres.h"

namespace {
const UINT WM_STEP = WM_APP + 60;

// Runs a script once the dialog is up and its start folder (if any) is chosen.
class CDrivenPicker : public CFolderPickerDlg {
 public:
  std::function<void(CDrivenPicker&)> m_script;
  std::function<void(CDrivenPicker&)> m_onInit;  // right after the dialog's own initialisation
  BOOL m_bThreadStarted = FALSE;
  BOOL m_bMenuDriven = FALSE;
  int m_menuKeys = 0;  // VK_DOWN presses to give the preset menu before Enter

  CRect Place(int id) {
    CRect r;
    ::GetWindowRect(::GetDlgItem(m_hWnd, id), &r);
    ScreenToClient(&r);
    return r;
  }
  CString EditText() {
    CString s;
    if (CEdit* e = m_filterCombo.GetEditCtrl()) e->GetWindowText(s);
    return s;
  }

 protected:
  BOOL OnInitDialog() override {
    BOOL r = CFolderPickerDlg::OnInitDialog();
    m_bThreadStarted = m_pFillThread != nullptr;
    if (m_onInit) m_onInit(*this);
    if (!m_pFillThread) PostMessage(WM_STEP);
    return r;
  }
  LRESULT OnWorkerDone(WPARAM wParam, LPARAM lParam) {
    CFolderPickerDlg::OnWorkerFinished(wParam, lParam);
    PostMessage(WM_STEP);
    return 0;
  }
  LRESULT OnStep(WPARAM, LPARAM) {
    // Bottom right, clear of the other window tests' windows.
    SetWindowPos(nullptr, 760, 570, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(SW_SHOWNORMAL);
    UpdateWindow();
    PumpPending();
    if (m_script) m_script(*this);
    return 0;
  }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_ENTERIDLE && wParam == MSGF_MENU && !m_bMenuDriven) {
      m_bMenuDriven = TRUE;
      for (int i = 0; i < m_menuKeys; ++i) PostMessage(WM_KEYDOWN, VK_DOWN, 0);
      PostMessage(WM_KEYDOWN, VK_RETURN, 0);
    }
    return CFolderPickerDlg::WindowProc(message, wParam, lParam);
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDrivenPicker, CFolderPickerDlg)
  ON_MESSAGE(WM_WORKER_FINISHED, OnWorkerDone)
  ON_MESSAGE(WM_STEP, OnStep)
END_MESSAGE_MAP()

class FolderPickerTest : public ::testing::Test {
 protected:
  CComScope com;
};
}  // namespace

TEST_F(FolderPickerTest, OkReturnsTheFolderThePatternAndTheScanChoice) {
  CTestFolder folder(L"picker");
  ASSERT_TRUE(folder.AddFolder(L"alpha"));
  ASSERT_TRUE(folder.AddFolder(L"beta"));
  ASSERT_TRUE(folder.AddFolder(L"beta\\inner"));
  ASSERT_TRUE(folder.AddFolder(L"beta\\outer"));

  CDrivenPicker dlg;
  dlg.m_strCaption = L"Add Folder";
  dlg.m_strPrompt = L"Select a folder to convert";
  dlg.m_strStartFolder = folder.Path(L"beta");
  dlg.m_strFilterList = L"*.dcm|*.*";
  CString selectedAtStart, shownPrompt, shownCaption, shownPattern;
  BOOL everyFolderOnTheWayOpen = TRUE;
  dlg.m_script = [&](CDrivenPicker& d) {
    selectedAtStart = d.m_tree.GetSelectedPath();
    HTREEITEM node = d.m_tree.GetSelectedItem();
    for (HTREEITEM n = node; n; n = d.m_tree.GetParentItem(n))
      if (!(d.m_tree.GetItemState(n, TVIS_EXPANDED) & TVIS_EXPANDED)) everyFolderOnTheWayOpen = FALSE;
    d.GetDlgItemText(IDC_FOLDER_PICKER_PROMPT, shownPrompt);
    d.GetWindowText(shownCaption);
    shownPattern = d.EditText();
    // The user moves down to "inner", types a pattern and ticks the box.
    d.m_tree.SetFocus();
    d.m_tree.SendMessage(WM_KEYDOWN, VK_DOWN, 0);
    d.m_filterCombo.GetEditCtrl()->SetWindowText(L"*.png;*.jpg");
    d.SendDlgItemMessage(IDC_FOLDER_PICKER_SCAN, BM_CLICK);
    PumpPending();
    CaptureWindow(d.m_hWnd, false).SavePng(L"folder-picker.png");
    d.PostMessage(WM_COMMAND, IDOK, 0);
  };
  ASSERT_EQ(IDOK, dlg.DoModal());
  EXPECT_TRUE(dlg.m_bThreadStarted);
  EXPECT_EQ(nullptr, dlg.m_pFillThread);  // joined and freed
  EXPECT_TRUE(AfxComparePath(folder.Path(L"beta"), selectedAtStart));
  EXPECT_TRUE(everyFolderOnTheWayOpen);  // the start folder itself too
  EXPECT_EQ(CString(L"Select a folder to convert"), shownPrompt);
  EXPECT_EQ(CString(L"Add Folder"), shownCaption);
  EXPECT_EQ(CString(L"*.dcm"), shownPattern);  // no pattern given: the first item
  EXPECT_TRUE(AfxComparePath(folder.Path(L"beta\\inner"), dlg.m_strFolder));
  EXPECT_EQ(CString(L"*.png;*.jpg"), dlg.m_strFilter);
  EXPECT_EQ(1, dlg.m_bScanSubfolders);
}

TEST_F(FolderPickerTest, CancelChangesNothing) {
  CDrivenPicker dlg;
  dlg.m_strStartFolder = L"C:\\no\\such\\folder\\here";
  dlg.m_strFilterList = L"*.dcm|*.*";
  dlg.m_strFilter = L"*.ima";
  dlg.m_strFolder = L"untouched";
  BOOL onlyFirstLevel = TRUE;
  int rootChildren = 0;
  dlg.m_script = [&](CDrivenPicker& d) {
    HTREEITEM root = d.m_tree.GetRootItem();
    for (HTREEITEM c = d.m_tree.GetChildItem(root); c; c = d.m_tree.GetNextSiblingItem(c)) {
      ++rootChildren;
      if (d.m_tree.GetItemState(c, TVIS_EXPANDED) & TVIS_EXPANDED) onlyFirstLevel = FALSE;
    }
    d.m_tree.SelectItem(d.m_tree.GetChildItem(root));
    d.m_filterCombo.GetEditCtrl()->SetWindowText(L"*.changed");
    d.SendDlgItemMessage(IDC_FOLDER_PICKER_SCAN, BM_CLICK);
    d.PostMessage(WM_COMMAND, IDCANCEL, 0);
  };
  ASSERT_EQ(IDCANCEL, dlg.DoModal());
  EXPECT_FALSE(dlg.m_bThreadStarted);  // a missing start folder starts no thread
  EXPECT_GT(rootChildren, 0);          // the desktop's first level
  EXPECT_TRUE(onlyFirstLevel);
  EXPECT_EQ(CString(L"untouched"), dlg.m_strFolder);
  EXPECT_EQ(CString(L"*.ima"), dlg.m_strFilter);
  EXPECT_EQ(0, dlg.m_bScanSubfolders);
}

TEST_F(FolderPickerTest, EmptyPatternBecomesStarAndNoSelectionGivesNoFolder) {
  CDrivenPicker dlg;
  CString shownPattern = L"?";
  dlg.m_script = [&](CDrivenPicker& d) {
    shownPattern = d.EditText();
    d.m_tree.Select(nullptr, TVGN_CARET);
    d.PostMessage(WM_COMMAND, IDOK, 0);
  };
  ASSERT_EQ(IDOK, dlg.DoModal());
  EXPECT_EQ(CString(), shownPattern);
  EXPECT_EQ(CString(L"*"), dlg.m_strFilter);
  EXPECT_EQ(CString(), dlg.m_strFolder);
}

TEST_F(FolderPickerTest, LayoutSizeLimitsAndSystemMenu) {
  for (BOOL withPresets : {FALSE, TRUE}) {
    CDrivenPicker dlg;
    if (withPresets) dlg.m_strPresets = L"DICOM|*.dcm|Pictures|*.png;*.jpg";
    BOOL presetShown = !withPresets;
    CRect client, combo, preset, ok, cancel, tree, grip, check, label;
    CRect bigClient, bigTree, bigCancel;
    MINMAXINFO mmi = {};
    UINT restore = 0, minimize = 0, maximize = 0, close = 0;
    DWORD exStyle = 0;
    CString tip;
    dlg.m_script = [&](CDrivenPicker& d) {
      d.GetClientRect(&client);
      presetShown = d.GetDlgItem(IDC_FOLDER_PICKER_PRESETS)->IsWindowVisible();
      combo = d.Place(IDC_FOLDER_PICKER_FILTER);
      preset = d.Place(IDC_FOLDER_PICKER_PRESETS);
      ok = d.Place(IDOK);
      cancel = d.Place(IDCANCEL);
      tree = d.Place(IDC_FOLDER_PICKER_TREE);
      check = d.Place(IDC_FOLDER_PICKER_SCAN);
      label = d.Place(IDC_FOLDER_PICKER_FILTER_LABEL);
      grip = d.Place(CFolderPickerDlg::kSizeGripId);
      d.SendMessage(WM_GETMINMAXINFO, 0, (LPARAM)&mmi);
      HMENU system = ::GetSystemMenu(d.m_hWnd, FALSE);
      restore = ::GetMenuState(system, SC_RESTORE, MF_BYCOMMAND);
      minimize = ::GetMenuState(system, SC_MINIMIZE, MF_BYCOMMAND);
      maximize = ::GetMenuState(system, SC_MAXIMIZE, MF_BYCOMMAND);
      close = ::GetMenuState(system, SC_CLOSE, MF_BYCOMMAND);
      exStyle = d.GetExStyle();
      wchar_t text[80] = {0};
      TOOLINFOW ti = {};
      ti.cbSize = sizeof(ti);
      ti.hwnd = d.m_hWnd;
      ti.uFlags = TTF_IDISHWND;
      ti.uId = (UINT_PTR)::GetDlgItem(d.m_hWnd, IDC_FOLDER_PICKER_PRESETS);
      ti.lpszText = text;
      d.m_tooltip.SendMessage(TTM_GETTEXTW, 80, (LPARAM)&ti);
      tip = text;
      CRect w;
      d.GetWindowRect(&w);
      d.SetWindowPos(nullptr, 0, 0, w.Width() + 120, w.Height() + 90, SWP_NOMOVE | SWP_NOZORDER);
      d.GetClientRect(&bigClient);
      bigTree = d.Place(IDC_FOLDER_PICKER_TREE);
      bigCancel = d.Place(IDCANCEL);
      d.PostMessage(WM_COMMAND, IDCANCEL, 0);
    };
    ASSERT_EQ(IDCANCEL, dlg.DoModal());
    SCOPED_TRACE(withPresets ? "with presets" : "without presets");
    EXPECT_EQ(withPresets, presetShown);
    if (withPresets) {
      EXPECT_EQ(combo.right + 6, preset.left);
      EXPECT_EQ(client.right - 10, preset.right);
      EXPECT_EQ(combo.top, preset.top);
    } else {
      EXPECT_EQ(client.right - 10, combo.right);
    }
    EXPECT_EQ(client.right - 10, cancel.right);
    EXPECT_EQ(client.bottom - 10, cancel.bottom);
    EXPECT_EQ(cancel.left - 6 - ok.Width(), ok.left);
    EXPECT_EQ(ok.Size(), cancel.Size());
    EXPECT_EQ(client.bottom - 19 - ok.Height(), combo.bottom);
    EXPECT_EQ(combo.top - 2, label.bottom);
    EXPECT_EQ(label.top - 6, tree.bottom);
    EXPECT_EQ(client.right - 10, tree.right);
    EXPECT_EQ(client.BottomRight(), grip.BottomRight());
    EXPECT_LT(combo.bottom, ok.top + ok.Height());  // the pattern box stays above the buttons
    EXPECT_GE(check.top, combo.bottom);
    // Resized: the tree and the buttons follow the corner.
    EXPECT_EQ(bigClient.right - 10, bigTree.right);
    EXPECT_EQ(bigClient.bottom - 10, bigCancel.bottom);
    EXPECT_GT(bigTree.Height(), tree.Height());
    EXPECT_EQ(320, mmi.ptMinTrackSize.x);
    EXPECT_EQ(280, mmi.ptMinTrackSize.y);
    EXPECT_EQ((UINT)-1, restore);
    EXPECT_EQ((UINT)-1, minimize);
    EXPECT_EQ((UINT)-1, maximize);
    EXPECT_NE((UINT)-1, close);
    EXPECT_TRUE(exStyle & WS_EX_DLGMODALFRAME);
    EXPECT_EQ(CString(L"Preset including filters"), tip);
  }
}

TEST_F(FolderPickerTest, PresetsFillThePatternFromTheListAndFromTheMenu) {
  CDrivenPicker dlg;
  dlg.m_strPresets = L"DICOM|*.dcm|Pictures|*.png;*.jpg";
  dlg.m_strFilterList = L"DICOM|Pictures";
  dlg.m_nInitialFilter = 1;
  dlg.m_strFilter = L"*";  // an empty pattern would start with the first item instead
  dlg.m_menuKeys = 2;
  CString initial, afterList, afterMenu;
  int menuItems = 0;
  UINT secondId = 0;
  dlg.m_script = [&](CDrivenPicker& d) {
    initial = d.EditText();
    d.m_filterCombo.SetCurSel(0);
    d.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_FOLDER_PICKER_FILTER, CBN_SELCHANGE), (LPARAM)d.m_filterCombo.m_hWnd);
    afterList = d.EditText();
    HMENU menu = ::CreatePopupMenu();
    menuItems = d.BuildPresetMenu(menu);
    secondId = ::GetMenuItemID(menu, 1);
    ::DestroyMenu(menu);
    d.SendDlgItemMessage(IDC_FOLDER_PICKER_PRESETS, BM_CLICK);  // the menu; the keys choose "Pictures"
    afterMenu = d.EditText();
    d.PostMessage(WM_COMMAND, IDOK, 0);
  };
  ASSERT_EQ(IDOK, dlg.DoModal());
  EXPECT_EQ(CString(L"*.png;*.jpg"), initial);  // the initial preset's pattern
  EXPECT_EQ(CString(L"*.dcm"), afterList);
  EXPECT_EQ(2, menuItems);
  EXPECT_EQ(40001u, secondId);
  EXPECT_TRUE(dlg.m_bMenuDriven);
  EXPECT_EQ(CString(L"*.png;*.jpg"), afterMenu);
  EXPECT_EQ(CString(L"*.png;*.jpg"), dlg.m_strFilter);
}

TEST_F(FolderPickerTest, EndingWhileTheStartFolderIsStillBeingSelectedEndsTheThreadCleanly) {
  CTestFolder folder(L"early");
  ASSERT_TRUE(folder.AddFolder(L"a"));
  ASSERT_TRUE(folder.AddFolder(L"a\\b"));
  ASSERT_TRUE(folder.AddFolder(L"a\\b\\c"));
  auto dlg = std::make_unique<CDrivenPicker>();
  dlg->m_strStartFolder = folder.Path(L"a\\b\\c");
  HANDLE thread = nullptr;
  dlg->m_onInit = [&](CDrivenPicker& d) {
    if (d.m_pFillThread)
      ::DuplicateHandle(::GetCurrentProcess(), d.m_pFillThread->m_hThread, ::GetCurrentProcess(), &thread, SYNCHRONIZE,
                        FALSE, 0);
    d.PostMessage(WM_COMMAND, IDCANCEL, 0);  // before the fill thread can be done
  };
  EXPECT_EQ(IDCANCEL, dlg->DoModal());
  ASSERT_NE(nullptr, thread);
  dlg.reset();  // the thread is joined by then at the latest
  EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(thread, 0));
  ::CloseHandle(thread);
}
