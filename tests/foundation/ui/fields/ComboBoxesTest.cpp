// The combo boxes as real controls in a dialog: recent-path history in use
// order, the closing item that clears the history and its saved section,
// dropped files from a real WM_DROPFILES, drop-down widths, and a screenshot
// of the dialog with every field.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <vector>

#include "tests/foundation/ui/fields/FieldsDlg.h"
#include "tests/foundation/ui/fields/FieldsTestSupport.h"
#include "tests/support/UiTestSupport.h"

namespace {
const wchar_t kAppKey[] = L"Software\\Morrowtide\\FieldsComboTest";

std::vector<CString> Items(CComboBox& combo) {
  std::vector<CString> items;
  for (int i = 0; i < combo.GetCount(); ++i) {
    CString s;
    combo.GetLBText(i, s);
    items.push_back(s);
  }
  return items;
}

// A drop as the shell makes it: a DROPFILES block with the paths, each
// terminated, and an empty one at the end.
HDROP MakeDrop(const std::vector<CString>& paths, POINT pt) {
  size_t chars = 1;
  for (const CString& p : paths) chars += p.GetLength() + 1;
  HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars * sizeof(wchar_t));
  auto* df = static_cast<DROPFILES*>(::GlobalLock(h));
  df->pFiles = sizeof(DROPFILES);
  df->pt = pt;
  df->fWide = TRUE;
  wchar_t* out = reinterpret_cast<wchar_t*>(df + 1);
  for (const CString& p : paths) {
    memcpy(out, (LPCTSTR)p, p.GetLength() * sizeof(wchar_t));
    out += p.GetLength() + 1;
  }
  ::GlobalUnlock(h);
  return (HDROP)h;
}

// Delivers a drop where the system would: to the window under the point, or
// the nearest ancestor of it that accepts files. Returns that window.
HWND DropAt(HWND hWnd, const std::vector<CString>& paths) {
  POINT pt = ScreenCenter(hWnd);
  HWND target = ::WindowFromPoint(pt);
  while (target && !(::GetWindowLongPtrW(target, GWL_EXSTYLE) & WS_EX_ACCEPTFILES)) target = ::GetParent(target);
  if (!target) return nullptr;
  POINT client = pt;
  ::ScreenToClient(target, &client);
  ::PostMessageW(target, WM_DROPFILES, (WPARAM)MakeDrop(paths, client), 0);
  PumpPending();
  return target;
}

int TextWidth(CWnd& wnd, LPCTSTR text) {
  HDC dc = ::GetDC(wnd.m_hWnd);
  HGDIOBJ old = ::SelectObject(dc, (HFONT)wnd.SendMessage(WM_GETFONT));
  SIZE sz = {0, 0};
  ::GetTextExtentPoint32W(dc, text, lstrlenW(text), &sz);
  ::SelectObject(dc, old);
  ::ReleaseDC(wnd.m_hWnd, dc);
  return sz.cx;
}

HWND DroppedList(HWND hCombo) {
  COMBOBOXINFO info = {sizeof(info)};
  return ::GetComboBoxInfo(hCombo, &info) ? info.hwndList : nullptr;
}

// Opens the drop-down list. Another program activating its window on the
// shared screen closes an open list, so a closed one is opened again.
bool DropDown(CComboBox& combo) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    combo.GetTopLevelParent()->SetForegroundWindow();
    combo.ShowDropDown(TRUE);
    if (PumpUntil([&] { return combo.GetDroppedState() != FALSE; }, 2000)) return true;
  }
  return false;
}

class ComboBoxesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey);
    m_app.SetRegistryKey(L"Morrowtide");
    m_folder = MakeTestFolder(L"combo");
    ASSERT_TRUE(m_dlg.CreateShown());
    // Above other test programs' windows on the shared screen.
    m_dlg.SetWindowPos(&CWnd::wndTopMost, 10, 600, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  }
  void TearDown() override {
    if (m_dlg.m_hWnd) m_dlg.DestroyWindow();
    RemoveTree(m_folder);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey);
  }
  CString Path(LPCTSTR name) const { return m_folder + L"\\" + name; }
  static void Configure(CRecentList& list, LPCTSTR section) {
    list.m_strSection = section;
    list.m_strEntryFormat = L"%02d";
    list.m_nMaxCount = 20;
  }
  static bool KeyExists(LPCTSTR section) {
    HKEY key = nullptr;
    CString path = CString(kAppKey) + L"\\" + section;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
  }

  CWinApp m_app{L"FieldsComboTest"};
  CString m_folder;
  CFieldsDlg m_dlg;
};

TEST_F(ComboBoxesTest, HistoryFollowsTheOrderOfUse) {
  // A first session uses three files and saves its list.
  {
    CRecentList used;
    Configure(used, L"Recent\\OutFiles");
    used.Add(L"C:\\Videos\\knee.mp4");
    used.Add(L"C:\\Videos\\head.avi");
    used.Add(L"C:\\Videos\\spine.wmv");
    used.Add(L"c:\\videos\\KNEE.mp4");  // used again, in other letters
    used.WriteList();
  }
  // The next session shows them most recent first.
  CRecentList outFiles;
  Configure(outFiles, L"Recent\\OutFiles");
  outFiles.ReadList();
  CHistoryComboBox& combo = m_dlg.m_history;
  combo.SetHistory(&outFiles);
  EXPECT_EQ((std::vector<CString>{L"c:\\videos\\KNEE.mp4", L"C:\\Videos\\spine.wmv", L"C:\\Videos\\head.avi"}),
            Items(combo));

  // A finished job adds its output; showing it moves it to the top, selected.
  outFiles.Add(L"C:\\Videos\\head.avi");
  EXPECT_EQ(0, combo.AddToTop(L"C:\\VIDEOS\\HEAD.AVI", FALSE));
  EXPECT_EQ((std::vector<CString>{L"C:\\VIDEOS\\HEAD.AVI", L"c:\\videos\\KNEE.mp4", L"C:\\Videos\\spine.wmv"}),
            Items(combo));
  EXPECT_EQ(0, combo.GetCurSel());

  // A new name only fills the edit field, unless it is to be inserted.
  EXPECT_EQ(-1, combo.AddToTop(L"C:\\Videos\\new.mp4", FALSE));
  EXPECT_EQ(3, combo.GetCount());
  EXPECT_STREQ(L"C:\\Videos\\new.mp4", combo.GetText());
  EXPECT_EQ(0, combo.AddToTop(L"C:\\Videos\\new.mp4", TRUE));
  EXPECT_STREQ(L"C:\\Videos\\new.mp4", Items(combo)[0]);
  EXPECT_EQ(-1, combo.AddToTop(L"", TRUE));

  // The list view stops at the first empty entry.
  outFiles.m_arrNames.InsertAt(1, CString());
  combo.ReloadHistory();
  EXPECT_EQ((std::vector<CString>{L"C:\\Videos\\head.avi"}), Items(combo));
}

TEST_F(ComboBoxesTest, ClosingItemClearsTheHistoryAndItsSavedSection) {
  ASSERT_TRUE(::CreateDirectoryW(Path(L"out1"), nullptr));
  CRecentList folders;
  Configure(folders, L"Recent\\OutFolders");
  folders.Add(L"C:\\gone\\folder");  // no longer there: listed without an icon
  folders.Add(Path(L"out1"));
  folders.WriteList();
  ASSERT_TRUE(KeyExists(L"Recent\\OutFolders"));

  CHistoryComboBoxEx& combo = m_dlg.m_historyEx;
  CImageList* small = nullptr;
  SHFILEINFOW sfi = {};
  HIMAGELIST sys = (HIMAGELIST)::SHGetFileInfoW(L"C:\\", 0, &sfi, sizeof(sfi), SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
  ASSERT_NE(nullptr, sys);
  combo.SendMessage(CBEM_SETIMAGELIST, 0, (LPARAM)sys);
  (void)small;
  combo.SetHistory(&folders, L"Clear history");
  ASSERT_EQ(3, combo.GetCount());
  EXPECT_STREQ(Path(L"out1"), combo.GetItemText(0));
  EXPECT_STREQ(L"Clear history", combo.GetItemText(2));
  int image = -2, selected = -2;
  ASSERT_TRUE(combo.GetItemImage(0, image, selected));
  EXPECT_GE(image, 0);  // an existing folder has its shell icon
  ASSERT_TRUE(combo.GetItemImage(1, image, selected));
  EXPECT_EQ(-1, image);
  ASSERT_TRUE(combo.GetItemImage(2, image, selected));
  EXPECT_EQ(-1, image);

  // The user opens the list and clicks the last item.
  CComboBox* inner = combo.GetComboCtrl();
  ASSERT_NE(nullptr, inner);
  for (int attempt = 0; attempt < 5 && m_dlg.m_selEndOks == 0; ++attempt) {
    ASSERT_TRUE(DropDown(*inner));
    HWND list = DroppedList(inner->m_hWnd);
    ASSERT_NE(nullptr, list);
    ASSERT_EQ(3, (int)::SendMessageW(list, LB_GETCOUNT, 0, 0));
    // The click goes to the list itself, wherever the pointer is.
    CRect item;
    ::SendMessageW(list, LB_GETITEMRECT, 2, (LPARAM)&item);
    CPoint at = item.CenterPoint();
    ::PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    ::PostMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    PumpUntil([&] { return m_dlg.m_selEndOks > 0; }, 2000);
  }
  ASSERT_EQ(1, m_dlg.m_selEndOks);  // the dialog heard of the choice too
  // The closing item's text is not left behind as a folder.
  EXPECT_TRUE(PumpUntil([&] { return combo.GetText().IsEmpty() && !inner->GetDroppedState(); }, 5000))
      << combo.GetText();

  EXPECT_EQ(0, folders.GetCount());
  EXPECT_EQ(0, combo.GetCount());
  folders.WriteList();  // saving the empty list removes its section
  EXPECT_FALSE(KeyExists(L"Recent\\OutFolders"));
}

TEST_F(ComboBoxesTest, DroppedFileLandsInTheComboNotInTheDialog) {
  ASSERT_TRUE(MakeFile(Path(L"first.dcm")));
  ASSERT_TRUE(MakeFile(Path(L"second.dcm")));
  ASSERT_TRUE(::CreateDirectoryW(Path(L"sub"), nullptr));

  // Several paths: the first file is taken (the folder before it is not a file).
  HWND target = DropAt(m_dlg.m_drop.m_hWnd, {Path(L"sub"), Path(L"first.dcm"), Path(L"second.dcm")});
  EXPECT_EQ(m_dlg.m_drop.m_hWnd, target);
  EXPECT_TRUE(m_dlg.m_droppedOnDialog.empty());
  EXPECT_STREQ(Path(L"first.dcm"), m_dlg.m_drop.GetText());
  EXPECT_EQ(0, m_dlg.m_drop.GetCount());  // a new path is not inserted

  // A path already listed moves to the top and is selected.
  m_dlg.m_drop.AddString(L"C:\\elsewhere.dcm");
  m_dlg.m_drop.AddString(Path(L"SECOND.dcm"));
  DropAt(m_dlg.m_drop.m_hWnd, {Path(L"second.dcm")});
  EXPECT_STREQ(Path(L"second.dcm"), Items(m_dlg.m_drop)[0]);
  EXPECT_EQ(0, m_dlg.m_drop.GetCurSel());
  EXPECT_EQ(2, m_dlg.m_drop.GetCount());

  // Beside the combo, the dialog itself takes the drop.
  CRect label;
  m_dlg.GetDlgItem(IDC_LABEL_MASK)->GetWindowRect(&label);
  EXPECT_EQ(m_dlg.m_hWnd, DropAt(m_dlg.GetDlgItem(IDC_LABEL_MASK)->m_hWnd, {Path(L"first.dcm")}));
  EXPECT_EQ((std::vector<CString>{Path(L"first.dcm")}), m_dlg.m_droppedOnDialog);
}

TEST_F(ComboBoxesTest, ExtendedDropFollowsThePathMode) {
  ASSERT_TRUE(MakeFile(Path(L"clip.mp4")));
  ASSERT_TRUE(::CreateDirectoryW(Path(L"frames"), nullptr));
  CDropComboBoxEx& combo = m_dlg.m_dropEx;

  // Files only: folders alone change nothing.
  combo.m_nPathMode = PATHMODE_FILES;
  EXPECT_EQ(combo.m_hWnd, DropAt(combo.m_hWnd, {Path(L"frames")}));
  EXPECT_STREQ(L"", combo.GetText());
  DropAt(combo.m_hWnd, {Path(L"frames"), Path(L"clip.mp4")});
  EXPECT_STREQ(Path(L"clip.mp4"), combo.GetText());

  // Folders only: the folder is taken, a listed one moves up with its icon.
  combo.m_nPathMode = PATHMODE_FOLDERS;
  combo.InsertItem(0, L"C:\\other", 5, 6);
  combo.InsertItem(1, Path(L"FRAMES"), 7, 8);
  DropAt(combo.m_hWnd, {Path(L"clip.mp4"), Path(L"frames")});
  ASSERT_EQ(2, combo.GetCount());
  EXPECT_STREQ(Path(L"frames"), combo.GetItemText(0));
  EXPECT_EQ(0, combo.GetCurSel());
  int image = 0, selected = 0;
  ASSERT_TRUE(combo.GetItemImage(0, image, selected));
  EXPECT_EQ(7, image);
  EXPECT_EQ(8, selected);
  EXPECT_TRUE(m_dlg.m_droppedOnDialog.empty());
  // The shell's path completion was bound to the edit field (under Wine the
  // call succeeds but completes nothing).
  EXPECT_TRUE(combo.m_bAutoComplete);
}

TEST_F(ComboBoxesTest, DropDownIsWideEnoughForTheLongestItem) {
  CAutoWidthComboBox& choice = m_dlg.m_choice;
  // An empty list: twice the width of "W".
  EXPECT_EQ(2 * TextWidth(choice, L"W"), choice.CalcDroppedWidth());

  const wchar_t* longest = L"MPEG-4 Part 14 video with H.264 (*.mp4)";
  for (const wchar_t* t : {L"AVI", longest, L"WMV", L"FLV"}) choice.AddString(t);
  CRect combo;
  choice.GetWindowRect(&combo);
  // The whole item is drawn inside the list, with room to spare at its right.
  ASSERT_TRUE(DropDown(choice));
  HWND hList = DroppedList(choice.m_hWnd);
  CRect list, row;
  ::GetWindowRect(hList, &list);
  EXPECT_GT(list.Width(), combo.Width());
  EXPECT_GE(list.Width(), TextWidth(choice, longest) + 2 * TextWidth(choice, L"W"));
  ::SendMessageW(hList, LB_GETITEMRECT, 1, (LPARAM)&row);
  row.DeflateRect(2, 2);  // the row's outer pixels may carry a focus frame
  CWindowShot shot = CaptureWindow(hList);
  shot.SavePng(L"fields-dropdown.png");
  int rightmostInk = -1;
  for (int y = row.top; y < row.bottom; ++y)
    for (int x = row.left; x < row.right; ++x) {
      COLORREF c = shot.At(x, y);
      if (GetRValue(c) + GetGValue(c) + GetBValue(c) < 200 && x > rightmostInk) rightmostInk = x;
    }
  ASSERT_GT(rightmostInk, row.left + TextWidth(choice, longest) / 2);  // the long item is drawn
  EXPECT_LT(rightmostInk, row.right - TextWidth(choice, L"W") / 2);    // and not cut off
  choice.ShowDropDown(FALSE);

  // The extended line also counts the images; near the screen's right edge
  // the list ends 2 pixels before it.
  CAutoWidthComboBoxEx& pattern = m_dlg.m_pattern;
  for (const wchar_t* t : {L"*.dcm", L"DICOM and pictures (*.dcm;*.jpg;*.png;*.bmp;*.tif)", L"*"})
    pattern.InsertItem(pattern.GetCount(), t, -1);
  pattern.AdjustDroppedWidth();
  const int wide = pattern.GetComboCtrl()->GetDroppedWidth();
  EXPECT_GE(wide, TextWidth(pattern, L"DICOM and pictures (*.dcm;*.jpg;*.png;*.bmp;*.tif)") + 8);
  const int screen = ::GetSystemMetrics(SM_CXSCREEN);
  CRect dlg;
  m_dlg.GetWindowRect(&dlg);
  CRect at;
  pattern.GetWindowRect(&at);
  const int room = at.Width() + 40;  // the combo fits, its list does not
  ASSERT_GT(wide, room);
  const int shift = screen - room - at.left;
  m_dlg.SetWindowPos(nullptr, dlg.left + shift, dlg.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  pattern.AdjustDroppedWidth();
  EXPECT_EQ(room - 2, pattern.GetComboCtrl()->GetDroppedWidth());
  // Back in the open, the list widens again, and narrows when items go.
  m_dlg.SetWindowPos(nullptr, dlg.left, dlg.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  pattern.AdjustDroppedWidth();
  EXPECT_EQ(wide, pattern.GetComboCtrl()->GetDroppedWidth());
  pattern.DeleteItem(1);
  pattern.InsertItem(1, L"*.jpg;*.png;*.bmp;*.tif;*.tiff;*.jpeg", -1);
  pattern.AdjustDroppedWidth();
  const int narrower = TextWidth(pattern, L"*.jpg;*.png;*.bmp;*.tif;*.tiff;*.jpeg") + 2 * TextWidth(pattern, L"W") + 8;
  EXPECT_EQ(std::max(narrower, at.Width()), pattern.GetComboCtrl()->GetDroppedWidth());
}

TEST_F(ComboBoxesTest, ScreenshotOfEveryField) {
  CRecentList files, folders;
  files.Add(L"C:\\Videos\\knee.mp4");
  files.Add(L"C:\\Videos\\head series.avi");
  folders.Add(L"C:\\windows");
  folders.Add(m_folder);
  SHFILEINFOW sfi = {};
  HIMAGELIST sys = (HIMAGELIST)::SHGetFileInfoW(L"C:\\", 0, &sfi, sizeof(sfi), SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
  m_dlg.m_historyEx.SendMessage(CBEM_SETIMAGELIST, 0, (LPARAM)sys);
  m_dlg.m_dropEx.SendMessage(CBEM_SETIMAGELIST, 0, (LPARAM)sys);
  m_dlg.m_history.SetHistory(&files);
  m_dlg.m_history.SetCurSel(0);
  m_dlg.m_historyEx.SetHistory(&folders, L"Clear history");
  m_dlg.m_historyEx.SetCurSel(0);
  m_dlg.m_drop.AddToTop(L"C:\\Videos\\source.mp4", TRUE);
  m_dlg.m_dropEx.AddToTop(L"C:\\windows", TRUE);
  m_dlg.m_pattern.InsertItem(0, L"*.dcm", -1);
  m_dlg.m_pattern.SetCurSel(0);
  m_dlg.m_choice.AddString(L"MP4");
  m_dlg.m_choice.SetCurSel(0);
  m_dlg.m_mask.SetWindowText(L"01.02.03.004");
  m_dlg.m_startMs = 65250;
  m_dlg.m_endMs = 3723004;
  m_dlg.m_plainMs = 500;
  ASSERT_TRUE(m_dlg.UpdateData(FALSE));
  m_dlg.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  PumpPending();
  CWindowShot shot = CaptureWindow(m_dlg.m_hWnd);
  ASSERT_FALSE(shot.IsEmpty());
  EXPECT_TRUE(shot.SavePng(L"fields-dialog.png"));
  // The time field shows its text: dark pixels inside the control.
  CRect edit;
  m_dlg.m_start.GetWindowRect(&edit);
  m_dlg.ScreenToClient(&edit);
  int dark = 0;
  for (int y = edit.top + 2; y < edit.bottom - 2; ++y)
    for (int x = edit.left + 2; x < edit.right - 2; ++x) {
      COLORREF c = shot.At(x, y);
      if (GetRValue(c) + GetGValue(c) + GetBValue(c) < 200) ++dark;
    }
  EXPECT_GT(dark, 30);
}
}  // namespace
