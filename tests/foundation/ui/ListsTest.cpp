// The report list with its flat header, the list and header extensions, the
// flat tab control and the column combo box, in a dialog made from a
// template, checked on screenshots of the windows.
#include <memory>

#include "foundation/ui/ColumnComboBox.h"
#include "tests/foundation/ui/ComponentsTest.h"
#include "tests/foundation/ui/ComponentsTestSupport.h"
#include "foundation/ui/FlatTabCtrl.h"
#include "foundation/ui/ReportListCtrl.h"
#include "foundation/ui/UIResources.h"
#include "resources/common/componentsres.h"

namespace {
const COLORREF kSelectionBlue = RGB(0, 160, 255);
const COLORREF kEvenRow = RGB(0xF8, 0xF8, 0xF8);
const COLORREF kPicture0 = RGB(200, 40, 40);
const COLORREF kPicture1 = RGB(40, 120, 40);
const COLORREF kArrow = RGB(0x20, 0x50, 0xA0);
const COLORREF kArrowOff = RGB(0xA0, 0xA0, 0xA0);
const COLORREF kColumnBlue = RGB(0, 0, 255);

// A column combo box that remembers where it was asked to draw each item.
class CTestCombo : public CColumnComboBox {
 public:
  struct Drawn {
    int item;
    UINT state;
    CRect rect;
  };
  std::vector<Drawn> drawn;
  void DrawItem(LPDRAWITEMSTRUCT dis) override {
    drawn.push_back({(int)dis->itemID, dis->itemState, CRect(dis->rcItem)});
    CColumnComboBox::DrawItem(dis);
  }
  // The last rectangle drawn for an item in the open list (or in the field).
  CRect Last(int item, bool field) const {
    for (auto it = drawn.rbegin(); it != drawn.rend(); ++it)
      if (it->item == item && ((it->state & ODS_COMBOBOXEDIT) != 0) == field) return it->rect;
    return CRect();
  }
};

class CListHostDlg : public CDialog {
 public:
  CListHostDlg() : CDialog(IDD_LISTHOST) {}
  CReportListCtrl list;
  CFlatTabCtrl tabs;
  CTestCombo formats, formatsOff;

 protected:
  void DoDataExchange(CDataExchange* pDX) override {
    DDX_Control(pDX, IDC_REPORT, list);
    DDX_Control(pDX, IDC_TABS, tabs);
    DDX_Control(pDX, IDC_FORMATS, formats);
    DDX_Control(pDX, IDC_FORMATS_OFF, formatsOff);
  }
};

// 24 x 24 pictures: a red and a green square with a magenta (transparent) border.
void MakePictures(CImageList& images) {
  images.Create(24, 24, ILC_COLOR24 | ILC_MASK, 0, 2);
  CClientDC screen(nullptr);
  for (COLORREF c : {kPicture0, kPicture1}) {
    CDC mem;
    mem.CreateCompatibleDC(&screen);
    CBitmap bitmap;
    bitmap.CreateCompatibleBitmap(&screen, 24, 24);
    CBitmap* old = mem.SelectObject(&bitmap);
    mem.FillSolidRect(0, 0, 24, 24, RGB(255, 0, 255));
    mem.FillSolidRect(2, 2, 20, 20, c);
    mem.SelectObject(old);
    images.Add(&bitmap, RGB(255, 0, 255));
  }
}

class ListsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dlg.Create(IDD_LISTHOST));
    dlg.SetWindowPos(nullptr, 560, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpPending();
  }
  void TearDown() override { dlg.DestroyWindow(); }

  // Three columns and six rows; row 1 selected, row 4 without a picture.
  void FillList() {
    CReportListCtrl& list = dlg.list;
    MakePictures(pictures);
    list.SetImageList(&pictures, LVSIL_SMALL);
    list.SetBkColor(RGB(255, 255, 255));
    list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    list.InsertColumn(0, L"", -1, LVCFMT_LEFT, 64, -1);
    list.InsertColumn(1, L"DICOM", -1, LVCFMT_LEFT, 150, -1);
    list.InsertColumn(2, L"Status", -1, LVCFMT_LEFT, 100, -1);
    for (int i = 0; i < 6; ++i) {
      CString name, number;
      number.Format(L"%d", i + 1);
      name.Format(L"knee-%04d.dcm", i + 1);
      list.InsertItem(i, number, i == 4 ? -1 : i % 2);
      list.SetItemText(i, 1, name);
      list.SetItemText(i, 2, i < 3 ? L"Done" : L"Waiting");
    }
    list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
  }
  CRect Row(int i) {
    CRect r;
    dlg.list.GetItemRect(i, &r, LVIR_BOUNDS);
    return r;
  }
  CWindowShot ListShot(LPCTSTR name = nullptr) {
    dlg.list.Invalidate();
    PumpPending();
    return name ? SaveShot(dlg.list.m_hWnd, name) : CaptureWindow(dlg.list.m_hWnd);
  }
  // Pixels much darker than the background in a rectangle of the shot.
  static int Dark(const CWindowShot& s, const CRect& r) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) {
        COLORREF c = s.At(x, y);
        if (GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 0xA0) ++n;
      }
    return n;
  }
  // The leftmost column of a rectangle that holds a dark pixel, or -1.
  static int FirstDarkColumn(const CWindowShot& s, const CRect& r) {
    for (int x = r.left; x < r.right; ++x)
      if (Dark(s, CRect(x, r.top, x + 1, r.bottom))) return x;
    return -1;
  }
  CListHostDlg dlg;
  CImageList pictures;
};
}  // namespace

TEST_F(ListsTest, ReportListShadesRowsAndPaintsTheSelectionBlue) {
  FillList();
  CWindowShot s = ListShot(L"report-list.png");
  SaveShot(dlg.m_hWnd, L"lists-dialog.png");
  const CRect r0 = Row(0), r1 = Row(1), r2 = Row(2), r3 = Row(3);
  ASSERT_GT(r0.Height(), 24) << "rows are as high as the pictures";
  // Even rows (the first included) are shaded, odd ones take the list's background.
  const int x = 64 + 150 + 95;  // inside the third column, right of any text
  EXPECT_EQ(kEvenRow, s.At(x, r0.top + 2));
  EXPECT_EQ(kEvenRow, s.At(x, r2.CenterPoint().y));
  EXPECT_EQ(RGB(255, 255, 255), s.At(x, r3.CenterPoint().y));
  // The selected row is blue with white text in all three cells.
  EXPECT_EQ(kSelectionBlue, s.At(x, r1.CenterPoint().y));
  EXPECT_EQ(kSelectionBlue, s.At(r1.left, r1.top)) << "framed in the same blue";
  for (CRect cell :
       {CRect(36, r1.top, 64, r1.bottom), CRect(68, r1.top, 214, r1.bottom), CRect(218, r1.top, 314, r1.bottom)})
    EXPECT_GT(CountColor(s, cell, RGB(255, 255, 255), 40), 5) << cell.left;
  EXPECT_EQ(0, CountColor(s, CRect(68, r1.top, 214, r1.bottom), RGB(0, 0, 0), 60)) << "no dark text on the selection";
  // Pictures 4 px from the left, vertically centred; the text starts 32 px in.
  EXPECT_EQ(kPicture0, s.At(4 + 12, r0.CenterPoint().y));
  EXPECT_EQ(kPicture1, s.At(4 + 12, r1.CenterPoint().y));
  EXPECT_EQ(kEvenRow, s.At(4 + 12, Row(4).CenterPoint().y)) << "row 4 has no picture";
  // (right of where the pictures end)
  const int textWith = FirstDarkColumn(s, CRect(28, r0.top, 64, r0.bottom));
  const int textWithout = FirstDarkColumn(s, CRect(28, Row(4).top, 64, Row(4).bottom));
  EXPECT_GE(textWith, 32);
  EXPECT_EQ(textWith, textWithout) << "the same indent with or without a picture";
  // Column 1 text is dark on unselected rows.
  EXPECT_GT(Dark(s, CRect(68, r0.top, 214, r0.bottom)), 10);
}

TEST_F(ListsTest, ReportListFollowsColumnOrderAndWidths) {
  FillList();
  CReportListCtrl& list = dlg.list;
  // Reordered by the header: the file names first, then the numbers with their pictures.
  int order[3] = {1, 0, 2};
  list.SendMessage(LVM_SETCOLUMNORDERARRAY, 3, (LPARAM)order);
  CWindowShot s = ListShot(L"report-list-reordered.png");
  EXPECT_EQ(kPicture0, s.At(150 + 4 + 12, Row(0).CenterPoint().y));
  EXPECT_NE(kPicture0, s.At(4 + 12, Row(0).CenterPoint().y));
  int normal[3] = {0, 1, 2};
  list.SendMessage(LVM_SETCOLUMNORDERARRAY, 3, (LPARAM)normal);

  // A fourth column shows the row's background but no text.
  list.InsertColumn(3, L"Extra", -1, LVCFMT_LEFT, 60, 3);
  list.SetItemText(0, 3, L"hidden");
  s = ListShot();
  const CRect extra(314 + 2, Row(0).top + 1, 314 + 58, Row(0).bottom - 1);
  EXPECT_EQ(extra.Width() * extra.Height(), CountColor(s, extra, kEvenRow));

  // A first column narrower than 9 px stays empty; between 9 and 31 px the picture is cut.
  list.SetColumnWidth(0, 8);
  s = ListShot();
  EXPECT_EQ(0, CountColor(s, CRect(0, Row(0).top, 8, Row(0).bottom), kPicture0));
  list.SetColumnWidth(0, 20);
  s = ListShot(L"report-list-narrow.png");
  const int y = Row(0).CenterPoint().y;
  EXPECT_EQ(kPicture0, s.At(10, y));
  EXPECT_EQ(kPicture0, s.At(15, y));
  EXPECT_NE(kPicture0, s.At(16, y)) << "cut at the cell width less 8";
}

TEST_F(ListsTest, FlatHeaderIsDrawnFromItsImageStrip) {
  FillList();
  CFlatHeaderCtrl& header = dlg.list.m_wndHeader;
  ASSERT_EQ(header.m_hWnd, dlg.list.GetHeaderCtrl()->m_hWnd) << "the list's own header is subclassed";
  CRect hr;
  header.GetClientRect(&hr);
  EXPECT_EQ(24, hr.Height());
  EXPECT_EQ(24, Row(0).top) << "the rows start below the 24-px header";

  // Expected colours come from the bitmap itself.
  CBitmap strip;
  ASSERT_TRUE(strip.LoadBitmap(IDB_FLATHEADER));
  CClientDC screen(nullptr);
  CDC mem;
  mem.CreateCompatibleDC(&screen);
  CBitmap* old = mem.SelectObject(&strip);
  const COLORREF top = mem.GetPixel(2, 0), bottom = mem.GetPixel(2, 23), middle = mem.GetPixel(2, 12);
  const COLORREF separator = mem.GetPixel(5, 12);
  const COLORREF separatorTop = mem.GetPixel(5, 4);
  mem.SelectObject(old);

  CWindowShot s = SaveShot(header.m_hWnd, L"flat-header.png");
  EXPECT_EQ(top, s.At(330, 0));
  EXPECT_EQ(middle, s.At(330, 12));
  EXPECT_EQ(bottom, s.At(330, 23));
  // The separator at each item's right edge.
  EXPECT_EQ(separator, s.At(64, 12));
  EXPECT_EQ(separator, s.At(214, 12));
  EXPECT_NE(separator, s.At(63, 12));
  // Item text in the header's text colour.
  EXPECT_GT(CountColor(s, CRect(70, 0, 214, 24), header.m_crText, 24), 5);

  // 20 px high: the bottom 20 rows of the images.
  header.m_nHeight = 20;
  dlg.list.RelayoutHeader();
  header.GetClientRect(&hr);
  ASSERT_EQ(20, hr.Height());
  s = SaveShot(header.m_hWnd, L"flat-header-20.png");
  mem.SelectObject(&strip);
  EXPECT_EQ(mem.GetPixel(2, 4), s.At(330, 0));
  EXPECT_EQ(bottom, s.At(330, 19));
  EXPECT_EQ(separatorTop, s.At(64, 0));
  mem.SelectObject(old);
}

TEST_F(ListsTest, HeaderHeightAndUnpaintedFlatHeader) {
  // A header without background images paints itself like a plain one.
  CListCtrl plain, flat;
  ASSERT_TRUE(plain.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(0, 240, 180, 320), &dlg, 2001));
  ASSERT_TRUE(flat.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(200, 240, 380, 320), &dlg, 2002));
  for (CListCtrl* l : {&plain, &flat}) l->InsertColumn(0, L"Name", LVCFMT_LEFT, 100);
  CFlatHeaderCtrl bare;
  ASSERT_TRUE(bare.SubclassWindow(flat.GetHeaderCtrl()->m_hWnd));
  flat.GetHeaderCtrl()->Invalidate();
  plain.GetHeaderCtrl()->Invalidate();
  CWindowShot a = CaptureWindow(plain.GetHeaderCtrl()->m_hWnd);
  CWindowShot b = CaptureWindow(bare.m_hWnd);
  ASSERT_EQ(a.m_pixels.size(), b.m_pixels.size());
  EXPECT_TRUE(a.m_pixels == b.m_pixels);

  // A fixed header of 0 or -1 keeps the control's own height; 30 makes it 30.
  CFixedHeaderCtrl fixed;
  ASSERT_TRUE(fixed.SubclassWindow(plain.GetHeaderCtrl()->m_hWnd));
  CRect before, after;
  fixed.GetClientRect(&before);
  for (int h : {0, -1, 30}) {
    fixed.m_nHeight = h;
    plain.SetWindowPos(nullptr, 0, 0, 181 + (h & 1), 80, SWP_NOMOVE | SWP_NOZORDER);  // lays the header out
    fixed.GetClientRect(&after);
    EXPECT_EQ(h > 0 ? h : before.Height(), after.Height()) << h;
  }
  fixed.UnsubclassWindow();
  bare.UnsubclassWindow();
  plain.DestroyWindow();
  flat.DestroyWindow();
}

TEST_F(ListsTest, ListExtensionsInsertSelectAndWalk) {
  CListCtrlEx& list = dlg.list;
  EXPECT_EQ(0, list.InsertColumn(0, nullptr, -1, -1, -1, -1)) << "an empty mask is a valid column";
  EXPECT_EQ(1, list.InsertColumn(1, L"Second", -1, LVCFMT_RIGHT, 77, 1));
  EXPECT_EQ(77, list.GetColumnWidth(1));
  for (int i = 0; i < 5; ++i) list.InsertItem(i, L"row");

  EXPECT_EQ(-1, list.GetFirstSelectedItem());
  EXPECT_EQ(nullptr, list.GetFirstSelectedItemPosition());
  for (int i : {1, 3, 4}) list.SetItemState(i, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_EQ(1, list.GetFirstSelectedItem());
  std::vector<int> visited;
  for (POSITION pos = list.GetFirstSelectedItemPosition(); pos;) visited.push_back(list.GetNextSelectedItem(pos));
  EXPECT_EQ((std::vector<int>{1, 3, 4}), visited);

  list.SelectAllItems(TRUE);
  EXPECT_EQ(5, list.GetSelectedCount());
  list.SelectAllItems(FALSE);
  EXPECT_EQ(0, list.GetSelectedCount());
  list.SetExtendedStyle(LVS_EX_CHECKBOXES);
  list.SetAllItemStates(TRUE);
  EXPECT_TRUE(list.GetCheck(0) && list.GetCheck(4));
}

TEST_F(ListsTest, FlatTabsDrawPanelCaptionsAndPicture) {
  CFlatTabCtrl& tabs = dlg.tabs;
  tabs.m_crBack = RGB(0xE0, 0xE0, 0xE0);
  tabs.m_crLine = RGB(0xD0, 0xD0, 0xD0);
  CImageList arrows;
  ASSERT_TRUE(arrows.Create(IDB_TABARROWS, 16, 1, RGB(255, 0, 255)));
  tabs.SetImageList(&arrows);
  tabs.SetMinTabWidth(120);
  tabs.SetPadding(CSize(8, 8));
  tabs.SetFont(GetSharedFont(CUIResources::FontBold));
  tabs.MoveWindow(0, 0, 420, 36);
  tabs.InsertItem(0, L"DICOM\tVideo", 0);
  tabs.InsertItem(1, L"Video\tDICOM", 0);
  tabs.InsertItem(2, L"Plain", 0);
  tabs.SetCurSel(0);
  tabs.HighlightItem(1, TRUE);
  EXPECT_EQ(L"Video\tDICOM", tabs.GetItemText(1));
  EXPECT_EQ(L"", tabs.GetItemText(7));

  CWindowShot s = SaveShot(tabs.m_hWnd, L"flat-tabs.png");
  CRect client, t0, t1, t2;
  tabs.GetClientRect(&client);
  tabs.GetItemRect(0, &t0);
  tabs.GetItemRect(1, &t1);
  tabs.GetItemRect(2, &t2);
  // Background and the line along the bottom.
  EXPECT_EQ(RGB(0xE0, 0xE0, 0xE0), s.At(client.right - 3, 3));
  EXPECT_EQ(RGB(0xD0, 0xD0, 0xD0), s.At(client.right - 3, client.bottom - 1));
  EXPECT_EQ(RGB(0xD0, 0xD0, 0xD0), s.At(t1.CenterPoint().x, client.bottom - 1));
  // The selected tab: a light panel with a border on three sides, open at the bottom, rounded at the top.
  EXPECT_EQ(RGB(0xF0, 0xF0, 0xF0), s.At(t0.left + 3, client.bottom - 1));
  EXPECT_EQ(RGB(0xF0, 0xF0, 0xF0), s.At(t0.left + 3, client.top + 3));
  EXPECT_EQ(RGB(0xD0, 0xD0, 0xD0), s.At(t0.right - 1, client.top + 5));
  EXPECT_EQ(RGB(0xE0, 0xE0, 0xE0), s.At(t0.left, client.top)) << "rounded corner";
  EXPECT_EQ(RGB(0xD0, 0xD0, 0xD0), s.At(t0.left + 1, client.top + 1));
  // The highlighted tab's text is red; the others are dark grey.
  const CRect full1(t1.left, client.top, t1.right, client.bottom), full0(t0.left, client.top, t0.right, client.bottom);
  EXPECT_GT(CountColor(s, full1, RGB(255, 0, 0), 60), 10);
  EXPECT_EQ(0, CountColor(s, full0, RGB(255, 0, 0), 60));
  EXPECT_GT(CountColor(s, full0, RGB(0x40, 0x40, 0x40), 40), 10);

  // The picture sits in the 24-px gap between the halves of the caption.
  CClientDC dc(&tabs);
  CFont* oldFont = dc.SelectObject(GetSharedFont(CUIResources::FontNormal));
  CRect ra(0, 0, 0, 0), rb(0, 0, 0, 0);
  dc.DrawText(CString(L"DICOM"), &ra, DT_CALCRECT | DT_SINGLELINE);
  dc.DrawText(CString(L"Video"), &rb, DT_CALCRECT | DT_SINGLELINE);
  dc.SelectObject(oldFont);
  CRect text(t0.left + 12, client.top + 1, t0.right - 12, client.bottom - 1);
  const int margin = (text.Width() - ra.Width() - rb.Width() - 24) / 2;
  const CPoint pic(text.left + margin + ra.Width() + 4, text.top + (text.Height() - 16) / 2 + 1);
  EXPECT_EQ(kArrow, s.At(pic.x + 5, pic.y + 7));
  EXPECT_EQ(kArrow, s.At(pic.x + 12, pic.y + 7));
  EXPECT_EQ(0, CountColor(s, CRect(t2.left, client.top, t2.right, client.bottom), kArrow))
      << "no picture without a tab character";
  // The left half ends 4 px before the picture, the right half starts 4 px after it.
  const COLORREF ink = RGB(0x40, 0x40, 0x40);
  EXPECT_GT(CountColor(s, CRect(pic.x - 12, text.top, pic.x - 4, text.bottom), ink, 60), 0);
  EXPECT_EQ(0, CountColor(s, CRect(pic.x - 3, text.top, pic.x, text.bottom), ink, 60));
  EXPECT_EQ(0, CountColor(s, CRect(pic.x + 16, text.top, pic.x + 20, text.bottom), ink, 60));
  EXPECT_GT(CountColor(s, CRect(pic.x + 20, text.top, pic.x + 30, text.bottom), ink, 60), 0);

  // Disabled: the grey picture, the same text colour.
  tabs.EnableWindow(FALSE);
  s = SaveShot(tabs.m_hWnd, L"flat-tabs-disabled.png");
  EXPECT_EQ(kArrowOff, s.At(pic.x + 5, pic.y + 7));
  EXPECT_GT(CountColor(s, full1, RGB(255, 0, 0), 60), 10);
  tabs.EnableWindow(TRUE);

  // The whole dialog with every control filled in, for a person to look at.
  FillList();
  for (CTestCombo* combo : {&dlg.formats, &dlg.formatsOff}) {
    combo->m_nColumnWidth = 32;
    combo->m_crColumn = 0xFF0000;
    combo->SetCurSel(0);
  }
  dlg.Invalidate();
  s = SaveShot(dlg.m_hWnd, L"components-dialog.png");
  CPoint row(64 + 150 + 95, Row(1).CenterPoint().y);
  dlg.list.MapWindowPoints(&dlg, &row, 1);
  EXPECT_EQ(kSelectionBlue, s.At(row.x, row.y));

  tabs.SetImageList(nullptr);
}

TEST_F(ListsTest, ColumnComboShowsLabelAndColouredColumn) {
  CTestCombo& combo = dlg.formats;
  dlg.tabs.SetFocus();  // the closed box draws its item unselected
  ASSERT_EQ(4, combo.GetCount()) << "items from the dialog's initial data";
  CString text;
  combo.GetLBText(1, text);
  EXPECT_EQ(CString(L"FLV\\t.flv"), text) << "backslash and t as two characters";
  combo.GetLBText(2, text);
  EXPECT_EQ(CString(L"AVI\t.avi"), text);
  CString label, column;
  CColumnComboBox::SplitText(L"A\tB\\tC", label, column);
  EXPECT_EQ(CString(L"B\\tC"), column) << "a tab character wins";
  CColumnComboBox::SplitText(L"No extension", label, column);
  EXPECT_TRUE(column.IsEmpty());

  combo.m_nColumnWidth = 32;
  combo.m_crColumn = 0xFF0000;  // blue
  combo.m_arrSeparators.Add(1);
  EXPECT_TRUE(combo.IsSeparatorAfter(1));
  EXPECT_FALSE(combo.IsSeparatorAfter(0));
  combo.SetCurSel(1);
  combo.Invalidate();
  CWindowShot s = SaveShot(combo.m_hWnd, L"column-combo.png");
  CRect field = combo.Last(1, true);
  ASSERT_FALSE(field.IsRectEmpty());
  const CRect columnRect(field.right - 3 - 32, field.top, field.right - 3, field.bottom);
  const CRect labelRect(field.left + 3, field.top, field.right - 3 - 32 - 8, field.bottom);
  EXPECT_GT(CountColor(s, columnRect, kColumnBlue, 90), 5) << "the extension in the blue column";
  EXPECT_EQ(0, CountColor(s, labelRect, kColumnBlue, 90));
  EXPECT_GT(Dark(s, labelRect), 5);
  // Separators never show in the closed box.
  EXPECT_EQ(0, CountColor(s, CRect(field.left, field.bottom - 1, field.right, field.bottom), RGB(0xD8, 0xE0, 0xE8)));

  // The open list: a separator under item 1; the selected item's column in the highlight text colour.
  combo.ShowDropDown(TRUE);
  PumpPending();
  COMBOBOXINFO info = {sizeof(info)};
  ASSERT_TRUE(::GetComboBoxInfo(combo.m_hWnd, &info));
  CWindowShot open = SaveShot(info.hwndList, L"column-combo-open.png");
  CRect i0 = combo.Last(0, false), i1 = combo.Last(1, false);
  ASSERT_FALSE(i1.IsRectEmpty());
  EXPECT_EQ(RGB(0xD8, 0xE0, 0xE8), open.At(i1.left + 20, i1.bottom - 1));
  EXPECT_NE(RGB(0xD8, 0xE0, 0xE8), open.At(i0.left + 20, i0.bottom - 1));
  EXPECT_EQ(::GetSysColor(COLOR_HIGHLIGHT), open.At(i1.left + 1, i1.top + 1));
  EXPECT_GT(CountColor(open, CRect(i0.right - 35, i0.top, i0.right - 3, i0.bottom), kColumnBlue, 90), 5);
  EXPECT_EQ(0, CountColor(open, CRect(i1.right - 35, i1.top, i1.right - 3, i1.bottom), kColumnBlue, 90));
  EXPECT_GT(CountColor(open, CRect(i1.right - 35, i1.top, i1.right - 3, i1.bottom - 1),
                       ::GetSysColor(COLOR_HIGHLIGHTTEXT), 60),
            5);
  combo.ShowDropDown(FALSE);
  PumpPending();
}

TEST_F(ListsTest, DisabledColumnComboIsGreyed) {
  CTestCombo& combo = dlg.formatsOff;
  ASSERT_EQ(1, combo.GetCount());
  combo.m_nColumnWidth = 32;
  combo.m_crColumn = 0xFF0000;
  combo.SetCurSel(0);
  combo.Invalidate();
  CWindowShot s = SaveShot(combo.m_hWnd, L"column-combo-disabled.png");
  CRect field = combo.Last(0, true);
  ASSERT_FALSE(field.IsRectEmpty());
  const COLORREF fill = ::GetSysColor(IsSharedThemed() ? COLOR_WINDOW : COLOR_BTNFACE);
  EXPECT_EQ(fill, s.At(field.left + 1, field.top + 1));
  const CRect columnRect(field.right - 3 - 32, field.top, field.right - 3, field.bottom);
  EXPECT_EQ(0, CountColor(s, columnRect, kColumnBlue, 90));
  EXPECT_GT(CountColor(s, columnRect, RGB(0x80, 0x80, 0x80), 40), 3);
}
