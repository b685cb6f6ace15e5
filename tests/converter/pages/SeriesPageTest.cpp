// The series-to-video page driven as a person would: adding files and a
// folder through its commands with the dialogs answered, the strip's frames
// removed, reversed and dragged, and its command states read from the real
// toolbar, menu and buttons.
#include "tests/converter/pages/SeriesPageFixture.h"

class SeriesPageT : public SeriesPage {
 public:
  CString ToolStates() {
    CString s;
    for (UINT id : {ID_ADD_FILES, ID_ADD_FOLDER, ID_REMOVE, ID_REMOVE_ALL}) s += ToolEnabled(id) ? L"1" : L"0";
    return s;
  }
  CString MenuLine() {
    std::map<UINT, bool> m = MenuStates();
    CString s;
    for (UINT id : {ID_OPEN_SOURCE_FILE, ID_OPEN_SOURCE_FOLDER, ID_REMOVE, ID_REMOVE_ALL, ID_INVERT_SELECTION,
                    ID_SELECT_ALL, ID_INSERT_IMAGES, ID_REVERSE_FRAMES})
      s += m.count(id) ? (m[id] ? L"1" : L"0") : L"?";
    return s;
  }
  // Convert, Stop, Options, "...", Play, format, file name: V visible and
  // enabled, v visible and disabled, - hidden.
  CString ButtonStates() {
    CString s;
    for (int id : {IDC_CONVERT, IDC_STOP, IDC_OPTIONS, IDC_CHOOSE_FILE, IDC_PLAY, IDC_FORMAT, IDC_FILE_NAME})
      s += !Visible(id) ? L"-" : (Enabled(id) ? L"V" : L"v");
    return s;
  }
  CString SourceOrder(int count) {
    CString s;
    for (int i = 0; i < count && i < Strip().GetItemCount(); ++i) {
      CString name = Strip().GetFrame(i)->m_sourcePath;
      s += name.Mid(name.ReverseFind(L'\\') + 3, 4) + L" ";
    }
    return s;
  }
};

TEST_F(SeriesPageT, EmptyPageStates) {
  ShotOf(m_host.m_hWnd, true).SavePng(L"series-page-empty.png");
  EXPECT_STREQ(L"", m_page->GetStatusText());
  EXPECT_STREQ(L"1100", ToolStates());
  EXPECT_STREQ(L"00000000", MenuLine());
  EXPECT_STREQ(L"V-VVvVV", ButtonStates());
  // The format list from the resources, with the format of the settings chosen.
  EXPECT_EQ(11, m_page->m_cbFormat.GetCount());
  EXPECT_EQ(0, m_page->m_cbFormat.GetCurSel());
  EXPECT_EQ(&VideoFormatTable[3], m_page->m_cbFormat.GetItemDataPtr(3));
  CString text;
  m_page->m_cbFormat.GetLBText(8, text);
  EXPECT_STREQ(L"3GPP\\t.3gp", text);
  // Convert with no frames says so and starts nothing.
  CString said;
  AfxSetMessageBoxHandler([&](LPCTSTR t, UINT) {
    said = t;
    return IDOK;
  });
  Click(IDC_CONVERT);
  EXPECT_STREQ(L"You must add some DICOM files.", said);
  EXPECT_FALSE(m_page->IsConverting());
  // Play on a file that is not there.
  m_page->m_cbFileName.SetWindowText(PageOut(L"never written.mp4"));
  Click(IDC_PLAY);
  EXPECT_STREQ(L"File doesn't exist.", said);
}

TEST_F(SeriesPageT, AddFilesThroughTheFileDialog) {
  m_settings.m_strLastFolder1 = SeriesData(L"mixed");
  m_settings.m_nFilterIndex = 3;
  int filterShown = -1;
  {
    CDialogAnswerer answer(L"Add Files", [&](HWND frame) {
      filterShown = (int)::SendDlgItemMessageW(frame, cmb1, CB_GETCURSEL, 0, 0);
      AnswerFileDialog(frame, L"\"a.bmp\" \"b.png\" \"c.jpg\" \"d.dcm\"");
    });
    Command(ID_ADD_FILES);
    ASSERT_TRUE(WaitLoaded());
  }
  EXPECT_EQ(2, filterShown);  // "All Files", the third
  ASSERT_EQ(4, Strip().GetItemCount());
  EXPECT_STREQ(L"4 frames", m_page->GetStatusText());
  EXPECT_STREQ(SeriesData(L"mixed\\c.jpg"), Strip().GetFrame(2)->m_sourcePath);
  EXPECT_EQ(2, LitCell(Strip().GetFrame(3)->m_image, 8));
  EXPECT_EQ(0, m_settings.m_strLastFolder1.CompareNoCase(SeriesData(L"mixed")));
  // The boxes follow the first picture (40 x 30).
  EXPECT_EQ(40, Strip().m_nThumbWidth);
  EXPECT_EQ(30, Strip().m_nThumbHeight);
  // Insert before the second frame: a two-frame choice lands at 1 and 2.
  Strip().SelectItem(1, TRUE, TRUE, TRUE);
  {
    CDialogAnswerer answer(L"Add Files", [&](HWND frame) { AnswerFileDialog(frame, L"\"a.bmp\" \"d.dcm\""); });
    Command(ID_INSERT_IMAGES);
  }
  ASSERT_EQ(6, Strip().GetItemCount());
  EXPECT_STREQ(SeriesData(L"mixed\\a.bmp"), Strip().GetFrame(1)->m_sourcePath);
  EXPECT_STREQ(SeriesData(L"mixed\\d.dcm"), Strip().GetFrame(2)->m_sourcePath);
  EXPECT_STREQ(SeriesData(L"mixed\\b.png"), Strip().GetFrame(3)->m_sourcePath);
  EXPECT_STREQ(L"6 frames", m_page->GetStatusText());
}

TEST_F(SeriesPageT, FolderOfSlicesThroughAddFolder) {
  m_settings.m_strLastFolder2 = SeriesData(L"slices");
  m_settings.m_strLastFilter = L"*.dcm";
  m_settings.m_bScanSubfolders = 0;
  CString prompt;
  {
    CDialogAnswerer answer(L"Add Folder", [&](HWND dlg) {
      wchar_t buf[128] = {0};
      ::GetDlgItemTextW(dlg, 1052, buf, 128);
      prompt = buf;
      // The start folder is chosen in the tree once the picker has walked to it.
      HWND tree = ::GetDlgItem(dlg, 1017);
      for (int i = 0; i < 2000; ++i) {
        HTREEITEM sel = (HTREEITEM)::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
        wchar_t text[260] = {0};
        TVITEMW item = {};
        item.mask = TVIF_TEXT;
        item.hItem = sel;
        item.pszText = text;
        item.cchTextMax = 260;
        if (sel && ::SendMessageW(tree, TVM_GETITEMW, 0, (LPARAM)&item) && wcscmp(text, L"slices") == 0) break;
        ::Sleep(10);
      }
      ::RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      CaptureWindow(dlg, false).SavePng(L"series-page-add-folder.png");
      CDialogAnswerer::Press(dlg, IDOK);
    });
    Command(ID_ADD_FOLDER);
    ASSERT_TRUE(WaitLoaded());
  }
  EXPECT_STREQ(L"Select a folder to convert", prompt);
  ASSERT_EQ(40, Strip().GetItemCount());
  for (int i = 0; i < 40; ++i) EXPECT_EQ(i, LitCell(Strip().GetFrame(i)->m_image, 8)) << i;
  EXPECT_STREQ(L"0001 0002 0003 ", SourceOrder(3));
  EXPECT_STREQ(L"40 frames", m_page->GetStatusText());
  EXPECT_STREQ(L"*.dcm", m_settings.m_strLastFilter);
  EXPECT_EQ(0, m_settings.m_strLastFolder2.CompareNoCase(SeriesData(L"slices")));

  // Thumbnails as the user sees them: the first box's lit cell is white.
  Strip().SetFirstVisible(0);
  CWindowShot shot = ShotOf(m_host.m_hWnd, true);
  shot.SavePng(L"series-page-loaded.png");
  CRect item, box;
  Strip().GetItemRect(10, &item);
  Strip().GetItemBoxRect(&item, &box);
  Strip().MapWindowPoints(&m_host, &box);
  const int cell = box.Width() / 8;
  // Frame 11 (index 10) lights cell 10: second row, third column.
  EXPECT_EQ(RGB(255, 255, 255), shot.At(box.left + 2 * cell + cell / 2, box.top + cell + cell / 2));
  EXPECT_EQ(RGB(0, 0, 0), shot.At(box.left + 5 * cell + cell / 2, box.top + 5 * cell + cell / 2));
}

TEST_F(SeriesPageT, RemoveReverseDragAndDeleteButton) {
  DropSlices();
  Idle();
  EXPECT_STREQ(L"1101", ToolStates());
  EXPECT_STREQ(L"00011101", MenuLine());
  EXPECT_STREQ(L"V-VVvVV", ButtonStates());
  Strip().SelectItem(0, TRUE, TRUE, TRUE);
  Strip().SelectItem(1, TRUE, FALSE, TRUE);
  Idle();
  EXPECT_STREQ(L"1111", ToolStates());
  EXPECT_STREQ(L"11111111", MenuLine());
  EXPECT_STREQ(L"V-VVvVV", ButtonStates());
  // Remove from the toolbar's command: two gone.
  Command(ID_REMOVE);
  EXPECT_EQ(38, Strip().GetItemCount());
  EXPECT_STREQ(L"0003 0004 ", SourceOrder(2));
  EXPECT_STREQ(L"38 frames", m_page->GetStatusText());
  // Reverse from the menu's command.
  Command(ID_REVERSE_FRAMES);
  EXPECT_STREQ(L"0040 0039 ", SourceOrder(2));
  // Drag the first frame right of the middle of the third.
  CRect r0, r2;
  Strip().SetFirstVisible(0);
  Strip().GetItemRect(0, &r0);
  Strip().GetItemRect(2, &r2);
  CPoint from = r0.CenterPoint(), to(r2.CenterPoint().x + 5, r2.CenterPoint().y);
  Strip().PostMessage(WM_MOUSEMOVE, 0, MAKELPARAM(from.x, from.y));
  Strip().PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
  Strip().PostMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(from.x + 6, from.y));
  Strip().PostMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
  Strip().PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
  PumpPending();
  EXPECT_STREQ(L"0039 0038 0040 0037 ", SourceOrder(4));
  // The delete button of the hot frame removes that frame.
  CRect item, box;
  Strip().GetItemRect(1, &item);
  Strip().GetItemBoxRect(&item, &box);
  Strip().SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(box.right - 6, box.top + 6));
  Strip().SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(box.right - 6, box.top + 6));
  Strip().SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(box.right - 6, box.top + 6));
  EXPECT_EQ(37, Strip().GetItemCount());
  EXPECT_STREQ(L"0039 0040 0037 ", SourceOrder(3));
  EXPECT_STREQ(L"37 frames", m_page->GetStatusText());
  // Delete key on the strip removes the selection; Ctrl+A selects all.
  Strip().SelectItem(0, TRUE, TRUE, TRUE);
  Strip().SendMessage(WM_KEYDOWN, VK_DELETE, 1);
  EXPECT_EQ(36, Strip().GetItemCount());
  Command(ID_INVERT_SELECTION);
  EXPECT_EQ(36, Strip().GetSelectedCount());
  // Remove All empties the strip and the status line.
  Command(ID_REMOVE_ALL);
  EXPECT_EQ(0, Strip().GetItemCount());
  EXPECT_STREQ(L"", m_page->GetStatusText());
  // One frame is one "frame".
  Drop({SeriesData(L"mixed\\b.png")});
  ASSERT_TRUE(WaitLoaded());
  EXPECT_STREQ(L"1 frame", m_page->GetStatusText());
  // A dropped path longer than 1,023 characters is refused, not cut: its
  // first 1,023 characters name another picture here.
  CString folder = PageOut(L"long path");
  ::CreateDirectoryW(folder, nullptr);
  while (folder.GetLength() < 800) {
    folder += L"\\" + CString(L'd', 200);
    ::CreateDirectoryW(folder, nullptr);
  }
  const CString cut = folder + L"\\" + CString(L'p', 1023 - folder.GetLength() - 5) + L".png";
  ASSERT_EQ(1023, cut.GetLength());
  ASSERT_TRUE(::CopyFileW(SeriesData(L"mixed\\b.png"), cut, FALSE));
  Drop({cut + L"\\b.png"});
  ASSERT_TRUE(WaitLoaded());
  EXPECT_STREQ(L"1 frame", m_page->GetStatusText());
}

TEST_F(SeriesPageT, ContextMenuFromTheKeyboard) {
  DropSlices();
  RECT where;
  UINT def = 0;
  MenuStates(&where, &def);
  CPoint expect(8, 8);
  Strip().ClientToScreen(&expect);
  EXPECT_EQ(expect.x, where.left);
  EXPECT_EQ(expect.y, where.top);
  EXPECT_EQ((UINT)ID_OPEN_SOURCE_FILE, def);
  // With a selection: at the selected box's corner plus 8.
  Strip().SetFirstVisible(0);
  Strip().SelectItem(1, TRUE, TRUE, TRUE);
  MenuStates(&where);
  CRect item, box;
  Strip().GetItemRect(1, &item);
  Strip().GetItemBoxRect(&item, &box);
  CPoint corner = box.TopLeft() + CPoint(8, 8);
  Strip().ClientToScreen(&corner);
  EXPECT_EQ(corner.x, where.left);
  EXPECT_EQ(corner.y, where.top);
  // Open Source File and Folder go to the viewer and the shell.
  Command(ID_OPEN_SOURCE_FILE);
  Command(ID_OPEN_SOURCE_FOLDER);
  ASSERT_EQ(2u, m_shell.Calls().size());
  // The viewer when the program folder has it (the build may not have made
  // it yet), else the shell's open.
  const CString quoted = L"\"" + SeriesData(L"slices\\IM0002.dcm") + L"\"";
  if (GetFileAttributesW(GetViewerPath()) != INVALID_FILE_ATTRIBUTES) {
    EXPECT_STREQ(GetViewerPath(), m_shell.Calls()[0].file);
    EXPECT_STREQ(quoted, m_shell.Calls()[0].params);
  } else {
    EXPECT_STREQ(L"open", m_shell.Calls()[0].verb);
    EXPECT_STREQ(quoted, m_shell.Calls()[0].file);
  }
  EXPECT_STREQ(L"explorer.exe", m_shell.Calls()[1].file);
  // Quoted: a comma in a path must not cut the item Explorer selects.
  EXPECT_STREQ(L"/select,\"" + SeriesData(L"slices\\IM0002.dcm") + L"\"", m_shell.Calls()[1].params);
}

TEST_F(SeriesPageT, ToolbarTipsComeFromTheStringTable) {
  HWND tips = (HWND)m_page->m_wndToolBar.SendMessage(TB_GETTOOLTIPS);
  ASSERT_NE(nullptr, tips);
  auto tipOf = [&](UINT id) {
    wchar_t text[128] = {0};
    TOOLINFOW ti = {};
    ti.cbSize = sizeof(ti);
    ti.hwnd = m_page->m_wndToolBar.m_hWnd;
    ti.uId = id;
    ti.lpszText = text;
    ::SendMessageW(tips, TTM_GETTEXTW, 128, (LPARAM)&ti);
    return CString(text);
  };
  // The toolbar asks its owner, the page, which reads the string table.
  EXPECT_STREQ(L"Add DICOM files (Insert)", tipOf(ID_ADD_FILES));
  EXPECT_STREQ(L"Add DICOM files in a folder (Ctrl+Insert)", tipOf(ID_ADD_FOLDER));
  EXPECT_STREQ(L"Remove selected items (Delete)", tipOf(ID_REMOVE));
  EXPECT_STREQ(L"Remove all items (Ctrl+Delete)", tipOf(ID_REMOVE_ALL));
  // The buttons' texts.
  EXPECT_STREQ(L"Add Files", m_page->m_wndToolBar.GetButtonText(m_page->m_wndToolBar.CommandToIndex(ID_ADD_FILES)));
  EXPECT_STREQ(L"Remove All", m_page->m_wndToolBar.GetButtonText(m_page->m_wndToolBar.CommandToIndex(ID_REMOVE_ALL)));
}

TEST_F(SeriesPageT, ClosingWhileLoadingStopsTheLoaderThenCloses) {
  // The loader starts with the drop and waits for this thread to show its
  // bar; the close request (as the main dialog makes it) comes first.
  Drop({SeriesData(L"ct")});
  ASSERT_TRUE(m_page->IsLoading());
  m_page->RequestStop(STOP_AND_CLOSE);
  // A conversion's own stop flag is the page base's; the loader has its own.
  EXPECT_EQ(STOP_AND_CLOSE, m_page->m_nLoaderStop);
  ASSERT_TRUE(WaitLoaded());
  EXPECT_EQ(0, Strip().GetItemCount());
  ASSERT_TRUE(PumpUntil([&] { return m_host.m_nCloses == 1; }));
  // A later load starts afresh.
  DropSlices();
  EXPECT_EQ(1, m_host.m_nCloses);
}
