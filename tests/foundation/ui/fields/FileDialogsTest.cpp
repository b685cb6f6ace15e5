// The system's file and folder dialogs driven end to end: names typed into
// the open dialog, OK and Cancel, the chosen filter, a filter without its
// closing "||", and the folder browser's start folder and chosen folder.
#include <gtest/gtest.h>
#include <windows.h>
#include <dlgs.h>

#include <functional>
#include <thread>
#include <vector>

#include "tests/foundation/ui/fields/FieldsTestSupport.h"
#include "foundation/ui/FileDialog.h"
#include "foundation/ui/FolderBrowser.h"
#include "tests/support/UiTestSupport.h"

namespace {
constexpr UINT WM_STEP = WM_APP + 41;
constexpr UINT_PTR kGuardTimer = 9;

// An open or save dialog that a script drives once it is shown.
class CDrivenFileDialog : public COCFileDialog {
 public:
  using Script = std::function<void(CDrivenFileDialog&, HWND frame)>;
  CDrivenFileDialog(BOOL open, LPCTSTR defExt, LPCTSTR fileName, DWORD flags, LPCTSTR filter, DWORD recordSize,
                    Script script)
      : COCFileDialog(open, defExt, fileName, flags, filter, nullptr, recordSize), m_script(std::move(script)) {}

  int initDone = 0, typeChanges = 0;
  bool centred = false;
  std::vector<CString> filterTexts;

  // Types text into the file name field, character by character.
  void TypeName(HWND frame, LPCTSTR text) {
    HWND field = FileNameField(frame);
    ASSERT_NE(nullptr, field);
    ::SetFocus(field);
    ::SendMessageW(field, WM_SETTEXT, 0, (LPARAM)L"");
    for (LPCTSTR p = text; *p; ++p) ::SendMessageW(field, WM_CHAR, *p, 1);
  }
  static void Press(HWND frame, int id) {
    ::PostMessageW(frame, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)::GetDlgItem(frame, id));
  }

 protected:
  void OnInitDone() override {
    COCFileDialog::OnInitDone();
    ++initDone;
    // Centred over the screen (no owner).
    CRect r;
    GetParent()->GetWindowRect(&r);
    MONITORINFO mi = {sizeof(mi)};
    ::GetMonitorInfoW(::MonitorFromWindow(GetParent()->m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
    centred = abs((r.left + r.right) / 2 - (mi.rcWork.left + mi.rcWork.right) / 2) <= 1 &&
              abs((r.top + r.bottom) / 2 - (mi.rcWork.top + mi.rcWork.bottom) / 2) <= 1;
    PostMessage(WM_STEP);
  }
  void OnTypeChange() override { ++typeChanges; }
  afx_msg LRESULT OnStep(WPARAM, LPARAM) {
    HWND frame = ::GetParent(m_hWnd);
    SetTimer(kGuardTimer, 20000, nullptr);  // hang guard: cancel a dialog the script left open
    filterTexts = FileTypeTexts(frame);
    m_script(*this, frame);
    return 0;
  }
  afx_msg void OnTimer(UINT_PTR) { Press(::GetParent(m_hWnd), IDCANCEL); }
  DECLARE_MESSAGE_MAP()

 private:
  Script m_script;
};

BEGIN_MESSAGE_MAP(CDrivenFileDialog, COCFileDialog)
  ON_MESSAGE(WM_STEP, OnStep)
  ON_WM_TIMER()
END_MESSAGE_MAP()

const wchar_t kFilter[] = L"DICOM Images (*.dcm)|*.dcm|Common Images (*.jpg;*.png)|*.jpg;*.png|All Files (*.*)|*.*||";

class FileDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_folder = MakeTestFolder(L"dialogs");
    ASSERT_TRUE(MakeFile(m_folder + L"\\a.dcm"));
    ASSERT_TRUE(MakeFile(m_folder + L"\\b b.dcm"));
    ASSERT_TRUE(::CreateDirectoryW(m_folder + L"\\first", nullptr));
    ASSERT_TRUE(::CreateDirectoryW(m_folder + L"\\second", nullptr));
  }
  void TearDown() override { RemoveTree(m_folder); }
  CString m_folder;
};

TEST_F(FileDialogsTest, TwoQuotedNamesGiveBothFullPaths) {
  CDrivenFileDialog dlg(TRUE, nullptr, nullptr, OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kFilter,
                        0, [](CDrivenFileDialog& d, HWND frame) {
                          d.TypeName(frame, L"\"a.dcm\" \"b b.dcm\"");
                          ::RedrawWindow(frame, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
                          CaptureWindow(frame, false).SavePng(L"fields-open-dialog.png");
                          d.Press(frame, IDOK);
                        });
  dlg.GetOFN().lpstrInitialDir = m_folder;
  dlg.GetOFN().lpstrTitle = L"Add Files";
  ASSERT_EQ(IDOK, dlg.DoModal());
  EXPECT_EQ(1, dlg.initDone);
  EXPECT_TRUE(dlg.centred);
  std::vector<CString> paths;
  for (POSITION pos = dlg.GetStartPosition(); pos;) paths.push_back(dlg.GetNextPathName(pos));
  ASSERT_EQ(2u, paths.size());
  EXPECT_EQ(0, paths[0].CompareNoCase(m_folder + L"\\a.dcm")) << paths[0];
  EXPECT_EQ(0, paths[1].CompareNoCase(m_folder + L"\\b b.dcm")) << paths[1];
  EXPECT_EQ((std::vector<CString>{L"DICOM Images (*.dcm)", L"Common Images (*.jpg;*.png)", L"All Files (*.*)"}),
            dlg.filterTexts);
}

TEST_F(FileDialogsTest, CancelGivesCancelAndNoPath) {
  CDrivenFileDialog dlg(TRUE, nullptr, L"a.dcm", OFN_HIDEREADONLY, kFilter, 0,
                        [](CDrivenFileDialog& d, HWND frame) { d.Press(frame, IDCANCEL); });
  dlg.GetOFN().lpstrInitialDir = m_folder;
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  EXPECT_EQ(1, dlg.initDone);
}

TEST_F(FileDialogsTest, TheChosenFilterIndexIsKept) {
  CDrivenFileDialog dlg(TRUE, nullptr, nullptr, OFN_HIDEREADONLY, kFilter, 0, [](CDrivenFileDialog& d, HWND frame) {
    HWND types = ::GetDlgItem(frame, cmb1);
    ASSERT_EQ(1, (int)::SendMessageW(types, CB_GETCURSEL, 0, 0));  // the caller's index 2
    // The user picks the third type: the list tells its dialog as it does for a click.
    ::SendMessageW(types, CB_SETCURSEL, 2, 0);
    ::SendMessageW(frame, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELCHANGE), (LPARAM)types);
    ::SendMessageW(frame, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELENDOK), (LPARAM)types);
    d.TypeName(frame, L"a.dcm");
    d.Press(frame, IDOK);
  });
  dlg.GetOFN().lpstrInitialDir = m_folder;
  dlg.GetOFN().nFilterIndex = 2;
  ASSERT_EQ(IDOK, dlg.DoModal());
  EXPECT_EQ(3u, dlg.GetOFN().nFilterIndex);
  EXPECT_GE(dlg.typeChanges, 1);
}

TEST_F(FileDialogsTest, SaveDialogWithAFilterWithoutClosingBars) {
  // The viewer's snapshot filter has no closing "||".
  CDrivenFileDialog dlg(FALSE, L"png", L"snapshot", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, L"PNG File (*.png)|*.png",
                        0, [](CDrivenFileDialog& d, HWND frame) { d.Press(frame, IDOK); });
  dlg.GetOFN().lpstrInitialDir = m_folder;
  dlg.GetOFN().lpstrTitle = L"Save Snapshot to File";
  ASSERT_EQ(IDOK, dlg.DoModal());
  EXPECT_EQ((std::vector<CString>{L"PNG File (*.png)"}), dlg.filterTexts);
  EXPECT_EQ(0, dlg.GetPathName().CompareNoCase(m_folder + L"\\snapshot.png")) << dlg.GetPathName();
  EXPECT_EQ(1u, dlg.GetOFN().nFilterIndex);
}

TEST_F(FileDialogsTest, RecordSizesOfOtherPlatformsStillOpenTheDialog) {
  // 88 bytes is the record of a 32-bit system; the platform's own is used.
  CDrivenFileDialog dlg(TRUE, nullptr, nullptr, OFN_HIDEREADONLY, kFilter, 88,
                        [](CDrivenFileDialog& d, HWND frame) { d.Press(frame, IDCANCEL); });
  EXPECT_EQ((DWORD)sizeof(OPENFILENAMEW), dlg.GetOFN().lStructSize);
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  EXPECT_EQ(1, dlg.initDone);
  EXPECT_TRUE(dlg.GetOFN().Flags & OFN_ENABLESIZING);
}

TEST(FileDialogRecord, MultipleSelectionBuffers) {
  COCFileDialog dlg(TRUE, nullptr, nullptr, OFN_ALLOWMULTISELECT);
  EXPECT_EQ(COCFileDialog::kFileBufferChars, dlg.GetOFN().nMaxFile);
  EXPECT_EQ(OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLESIZING | OFN_ALLOWMULTISELECT, dlg.GetOFN().Flags);
  auto load = [&](const wchar_t* text, size_t chars) {
    memset(dlg.GetOFN().lpstrFile, 0, 64 * sizeof(wchar_t));
    memcpy(dlg.GetOFN().lpstrFile, text, chars * sizeof(wchar_t));
  };
  auto all = [&]() {
    std::vector<CString> out;
    for (POSITION pos = dlg.GetStartPosition(); pos;) out.push_back(dlg.GetNextPathName(pos));
    return out;
  };
  const wchar_t root[] = L"C:\\\0a.dcm\0b.dcm\0";
  load(root, sizeof(root) / sizeof(wchar_t));
  EXPECT_EQ((std::vector<CString>{L"C:\\a.dcm", L"C:\\b.dcm"}), all());
  const wchar_t one[] = L"C:\\Data\\a.dcm\0";
  load(one, sizeof(one) / sizeof(wchar_t));
  EXPECT_EQ((std::vector<CString>{L"C:\\Data\\a.dcm"}), all());

  // Without multiple selection the whole text is the one path.
  COCFileDialog single(TRUE, nullptr, L"C:\\Data\\a b.dcm", OFN_HIDEREADONLY, nullptr, nullptr,
                       OPENFILENAME_SIZE_VERSION_400W);
  EXPECT_EQ((DWORD)OPENFILENAME_SIZE_VERSION_400W, single.GetOFN().lStructSize);
  POSITION pos = single.GetStartPosition();
  EXPECT_STREQ(L"C:\\Data\\a b.dcm", single.GetNextPathName(pos));
  EXPECT_EQ(nullptr, pos);

  // A template keeps the dialog at its own size.
  COCFileDialog templated(TRUE, nullptr, nullptr, OFN_ENABLETEMPLATE);
  EXPECT_FALSE(templated.GetOFN().Flags & OFN_ENABLESIZING);
}

// ---------------------------------------------------------------------------
// Folder browser.

// The folder tree of a browse dialog.
HWND TreeOf(HWND dlg) {
  HWND tree = ::FindWindowExW(dlg, nullptr, WC_TREEVIEWW, nullptr);
  for (HWND child = ::GetWindow(dlg, GW_CHILD); !tree && child; child = ::GetWindow(child, GW_HWNDNEXT))
    tree = ::FindWindowExW(child, nullptr, WC_TREEVIEWW, nullptr);
  return tree;
}

CString ItemText(HWND tree, HTREEITEM hItem) {
  wchar_t text[MAX_PATH] = {0};
  TVITEMW item = {};
  item.mask = TVIF_TEXT;
  item.hItem = hItem;
  item.pszText = text;
  item.cchTextMax = MAX_PATH;
  if (hItem) ::SendMessageW(tree, TVM_GETITEMW, 0, (LPARAM)&item);
  return CString(text);
}

// The text of the tree item with the caret in a browse dialog.
CString CaretText(HWND dlg) {
  HWND tree = TreeOf(dlg);
  return tree ? ItemText(tree, (HTREEITEM)::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)) : CString();
}

// Selects a sibling of the caret item by its text, as a click on it does.
bool SelectSibling(HWND dlg, LPCTSTR name) {
  HWND tree = TreeOf(dlg);
  HTREEITEM caret = tree ? (HTREEITEM)::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0) : nullptr;
  HTREEITEM parent = caret ? (HTREEITEM)::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_PARENT, (LPARAM)caret) : nullptr;
  for (HTREEITEM h = parent ? (HTREEITEM)::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)parent) : nullptr; h;
       h = (HTREEITEM)::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)h))
    if (ItemText(tree, h).CompareNoCase(name) == 0)
      return ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)h) != 0;
  return false;
}

// Finds the browse dialog of a thread once it is visible (and, when a name is
// given, once its tree has selected that folder), then acts on it.
class CBrowseDriver {
 public:
  CBrowseDriver(LPCTSTR waitFor, std::function<void(HWND)> act)
      : m_waitFor(waitFor ? waitFor : L""), m_act(std::move(act)), m_ui(::GetCurrentThreadId()) {
    m_thread = std::thread([this] { Run(); });
  }
  ~CBrowseDriver() {
    if (m_thread.joinable()) m_thread.join();
  }
  bool found = false;

 private:
  void Run() {
    const DWORD start = ::GetTickCount();
    HWND dlg = nullptr;
    while (::GetTickCount() - start < 20000) {  // hang guard
      dlg = nullptr;
      ::EnumThreadWindows(
          m_ui,
          [](HWND h, LPARAM p) -> BOOL {
            wchar_t cls[16] = {0};
            ::GetClassNameW(h, cls, 16);
            if (lstrcmpW(cls, L"#32770") == 0 && ::IsWindowVisible(h)) {
              *reinterpret_cast<HWND*>(p) = h;
              return FALSE;
            }
            return TRUE;
          },
          (LPARAM)&dlg);
      if (dlg && (m_waitFor.IsEmpty() || CaretText(dlg).CompareNoCase(m_waitFor) == 0)) break;
      ::Sleep(20);  // polls for the window; no result depends on the time
    }
    if (!dlg) return;
    found = true;
    m_act(dlg);
  }
  CString m_waitFor;
  std::function<void(HWND)> m_act;
  DWORD m_ui;
  std::thread m_thread;
};

TEST_F(FileDialogsTest, FolderBrowserStartsAtTheInitialFolder) {
  CFolderBrowser browser(L"Choose a folder to save DICOM files", BIF_STATUSTEXT);
  EXPECT_EQ((UINT)(BIF_STATUSTEXT | BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_BROWSEINCLUDEURLS),
            browser.m_nFlags);
  browser.SetInitialFolder(m_folder + L"\\second");
  CBrowseDriver driver(L"second", [](HWND dlg) {
    CaptureWindow(dlg, false).SavePng(L"fields-folder-browser.png");
    ::PostMessageW(dlg, WM_COMMAND, IDOK, 0);
  });
  ASSERT_EQ(IDOK, browser.DoModal());
  EXPECT_TRUE(driver.found);
  EXPECT_EQ(0, browser.GetFolderPath().CompareNoCase(m_folder + L"\\second")) << browser.GetFolderPath();
}

TEST_F(FileDialogsTest, FolderBrowserGivesTheChosenFolder) {
  CFolderBrowser browser(L"Open Folder", BIF_STATUSTEXT);
  browser.SetInitialFolder(m_folder + L"\\second");
  CString other = m_folder + L"\\first";
  CBrowseDriver driver(L"second", [&](HWND dlg) {
    // The user clicks another folder beside it, then OK.
    EXPECT_TRUE(SelectSibling(dlg, L"first"));
    ::PostMessageW(dlg, WM_COMMAND, IDOK, 0);
  });
  ASSERT_EQ(IDOK, browser.DoModal());
  EXPECT_EQ(0, browser.GetFolderPath().CompareNoCase(other)) << browser.GetFolderPath();
}

TEST_F(FileDialogsTest, FolderBrowserCancelGivesNoFolder) {
  CFolderBrowser cancelled(L"Open Folder");
  cancelled.SetInitialFolder(m_folder);
  CBrowseDriver driver(nullptr, [](HWND dlg) { ::PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0); });
  EXPECT_EQ(IDCANCEL, cancelled.DoModal());
  EXPECT_TRUE(driver.found);
  EXPECT_TRUE(cancelled.GetFolderPath().IsEmpty());
}
}  // namespace
