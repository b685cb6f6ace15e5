// Drawing helpers, menus, the rectangle tracker and the control classes.
#include <gtest/gtest.h>

#include <memory>

#include "tests/support/UiTestSupport.h"
#include "afxwin.h"

namespace {
BOOL MakeTopLevel(CWnd& w) {
  return w.CreateEx(0, nullptr, L"test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr, nullptr);
}
}  // namespace

TEST(Drawing, DragRectDrawsAFrameAndErasesItAgain) {
  MemoryPicture pic(64, 64);
  CRect r(10, 10, 40, 40);
  CBrush* white = CBrush::FromHandle((HBRUSH)::GetStockObject(WHITE_BRUSH));
  pic.dc.DrawDragRect(&r, CSize(2, 2), nullptr, CSize(0, 0), white);
  // Inverted with white: the frame turns black, inside and outside stay white.
  EXPECT_EQ(RGB(0, 0, 0), pic.dc.GetPixel(10, 10));
  EXPECT_EQ(RGB(0, 0, 0), pic.dc.GetPixel(11, 25));
  EXPECT_EQ(RGB(0, 0, 0), pic.dc.GetPixel(39, 39));
  EXPECT_EQ(RGB(255, 255, 255), pic.dc.GetPixel(12, 12));
  EXPECT_EQ(RGB(255, 255, 255), pic.dc.GetPixel(25, 25));
  EXPECT_EQ(RGB(255, 255, 255), pic.dc.GetPixel(9, 9));
  EXPECT_EQ(RGB(255, 255, 255), pic.dc.GetPixel(40, 40));
  // Moving it: the old frame vanishes, the new one appears.
  CRect moved(20, 20, 50, 50);
  pic.dc.DrawDragRect(&moved, CSize(2, 2), &r, CSize(2, 2), white, white);
  EXPECT_EQ(RGB(255, 255, 255), pic.dc.GetPixel(10, 10));
  EXPECT_EQ(RGB(0, 0, 0), pic.dc.GetPixel(20, 20));
  EXPECT_EQ(RGB(0, 0, 0), pic.dc.GetPixel(49, 35));
  // Erasing with a zero size clears everything.
  pic.dc.DrawDragRect(&moved, CSize(0, 0), &moved, CSize(2, 2), white, white);
  for (int y = 0; y < 64; y += 3)
    for (int x = 0; x < 64; x += 3) ASSERT_EQ(RGB(255, 255, 255), pic.dc.GetPixel(x, y)) << x << "," << y;

  // The halftone brush alternates pixels.
  MemoryPicture half(8, 8);
  half.dc.FillRect(CRect(0, 0, 8, 8), CDC::GetHalftoneBrush());
  EXPECT_NE(half.dc.GetPixel(0, 0), half.dc.GetPixel(1, 0));
  EXPECT_NE(half.dc.GetPixel(0, 0), half.dc.GetPixel(0, 1));
  EXPECT_EQ(half.dc.GetPixel(0, 0), half.dc.GetPixel(1, 1));
  AfxDeleteTempMaps();
}

TEST(Drawing, GdiObjectsImageListAndTemporaryWrappers) {
  CFont font;
  ASSERT_TRUE(font.CreatePointFont(90, L"Tahoma"));
  LOGFONT lf = {};
  EXPECT_EQ((int)sizeof(lf), font.GetLogFont(&lf));
  EXPECT_LT(lf.lfHeight, 0);
  CBrush brush(RGB(1, 2, 3));
  LOGBRUSH lb = {};
  brush.GetLogBrush(&lb);
  EXPECT_EQ(RGB(1, 2, 3), lb.lbColor);
  HBRUSH raw = (HBRUSH)brush.Detach();
  EXPECT_EQ(nullptr, brush.GetSafeHandle());
  CBrush* temp = CBrush::FromHandle(raw);
  EXPECT_EQ(raw, (HBRUSH)*temp);
  AfxDeleteTempMaps();  // the temporary wrapper leaves the handle alone
  EXPECT_NE(0, ::GetObjectType(raw));
  ::DeleteObject(raw);

  CImageList images;
  ASSERT_TRUE(images.Create(16, 16, ILC_COLOR24 | ILC_MASK, 0, 1));
  MemoryPicture pic(32, 16);
  pic.dc.FillSolidRect(0, 0, 16, 16, RGB(255, 0, 255));
  pic.dc.FillSolidRect(16, 0, 16, 16, RGB(0, 128, 0));
  pic.dc.SelectObject(pic.old);
  pic.old = pic.dc.SelectObject(&pic.bitmap);
  CBitmap strip;
  strip.Attach(::CopyImage(pic.bitmap, IMAGE_BITMAP, 0, 0, 0));
  EXPECT_EQ(0, images.Add(&strip, RGB(255, 0, 255)));
  EXPECT_EQ(2, images.GetImageCount());
  MemoryPicture target(16, 16);
  images.Draw(&target.dc, 1, CPoint(0, 0), ILD_NORMAL);
  EXPECT_EQ(RGB(0, 128, 0), target.dc.GetPixel(8, 8));
  images.Draw(&target.dc, 0, CPoint(0, 0), ILD_TRANSPARENT);  // masked away entirely
  EXPECT_EQ(RGB(0, 128, 0), target.dc.GetPixel(8, 8));
  CRgn a, b;
  a.CreateRectRgn(0, 0, 10, 10);
  b.CreateRectRgn(5, 5, 20, 20);
  a.CombineRgn(&a, &b, RGN_OR);
  CRect box;
  a.GetRgnBox(&box);
  EXPECT_EQ(CRect(0, 0, 20, 20), box);
}

// ---------------------------------------------------------------------------
// Menus and the tracker.

namespace {
class CMenuOwner : public CWnd {
 public:
  HMENU trackedDuringPopup = nullptr;
  int popups = 0;

 protected:
  afx_msg void OnInitMenuPopup(CMenu* popup, UINT, BOOL) {
    ++popups;
    trackedDuringPopup = AfxGetThreadState()->m_hTrackingMenu;
    (void)popup;
    PostMessage(WM_CANCELMODE);
    ::EndMenu();
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CMenuOwner, CWnd)
  ON_WM_INITMENUPOPUP()
END_MESSAGE_MAP()

class CBandWnd : public CWnd {
 public:
  CRect lastChange;
  int changes = 0;
};

class CCountingTracker : public CRectTracker {
 public:
  int changes = 0;
  void OnChangedRect(const CRect&) override { ++changes; }
};
}  // namespace

TEST(Menu, TrackPopupMenuRecordsTheTrackingMenu) {
  CMenuOwner owner;
  ASSERT_TRUE(MakeTopLevel(owner));
  owner.SetForegroundWindow();
  CMenu menu;
  ASSERT_TRUE(menu.CreatePopupMenu());
  menu.AppendMenu(MF_STRING, 0x8001, L"Item");
  EXPECT_EQ(nullptr, AfxGetThreadState()->m_hTrackingMenu);
  menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_RETURNCMD, 10, 10, &owner);
  EXPECT_EQ(1, owner.popups);
  EXPECT_EQ(menu.m_hMenu, owner.trackedDuringPopup);
  EXPECT_EQ(nullptr, AfxGetThreadState()->m_hTrackingMenu);
  owner.DestroyWindow();
}

TEST(Tracker, RubberBandFollowsTheMouseUntilRelease) {
  CBandWnd w;
  ASSERT_TRUE(MakeTopLevel(w));
  w.UpdateWindow();
  // The loop reads these from the queue as the user's drag.
  w.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(30, 25));
  w.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(60, 45));
  w.PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(80, 70));
  CCountingTracker tracker;
  tracker.m_nStyle = CRectTracker::dottedLine;
  EXPECT_TRUE(tracker.TrackRubberBand(&w, CPoint(10, 10), TRUE));
  EXPECT_EQ(CRect(10, 10, 80, 70), tracker.m_rect);
  EXPECT_EQ(3, tracker.changes);
  EXPECT_EQ(nullptr, ::GetCapture());

  // Escape cancels and restores the rectangle.
  w.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(30, 25));
  w.PostMessage(WM_KEYDOWN, VK_ESCAPE, 1);
  CRectTracker cancelled;
  EXPECT_FALSE(cancelled.TrackRubberBand(&w, CPoint(10, 10), TRUE));
  EXPECT_EQ(CRect(10, 10, 10, 10), cancelled.m_rect);
  w.DestroyWindow();
}

// ---------------------------------------------------------------------------
// Controls.

namespace {
class CMeasuredCombo : public CComboBox {
 public:
  int measures = 0, draws = 0;
  void MeasureItem(LPMEASUREITEMSTRUCT mis) override {
    ++measures;
    mis->itemHeight = 21;
  }
  void DrawItem(LPDRAWITEMSTRUCT) override { ++draws; }
};
}  // namespace

TEST(Controls, OwnerDrawComboIsMeasuredWhileBeingCreated) {
  CWnd parent;
  ASSERT_TRUE(MakeTopLevel(parent));
  CMeasuredCombo combo;
  ASSERT_TRUE(combo.Create(WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS,
                           CRect(10, 10, 150, 200), &parent, 77));
  EXPECT_GE(combo.measures, 1);  // sent before CreateWindowEx returns
  EXPECT_EQ(21, combo.GetItemHeight(0));
  combo.AddString(L"first");
  combo.SetCurSel(0);
  combo.RedrawWindow();
  EXPECT_GE(combo.draws, 1);
  parent.DestroyWindow();
}

TEST(Controls, CommonControlWrappersKeepTextAndPointerData) {
  CWnd parent;
  ASSERT_TRUE(MakeTopLevel(parent));
  // Pointer-sized item data survives, also above 4 GB.
  const DWORD_PTR big = (DWORD_PTR)0x123456789ABCull;

  CListCtrl list;
  ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(0, 0, 200, 100), &parent, 10));
  EXPECT_EQ(0, list.InsertColumn(0, L"Name", LVCFMT_LEFT, 80));
  EXPECT_EQ(1, list.InsertColumn(1, L"Size", LVCFMT_RIGHT, 60));
  EXPECT_EQ(0, list.InsertItem(0, L"a.dcm"));
  EXPECT_EQ(1, list.InsertItem(1, L"b.dcm"));
  EXPECT_TRUE(list.SetItemText(1, 1, L"12 KB"));
  EXPECT_TRUE(list.SetItemData(1, big));
  EXPECT_STREQ(L"12 KB", list.GetItemText(1, 1));
  EXPECT_EQ(big, list.GetItemData(1));
  CString longText(L'x', 700);
  list.SetItemText(0, 0, longText);
  EXPECT_EQ(700, list.GetItemText(0, 0).GetLength());
  list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
  POSITION pos = list.GetFirstSelectedItemPosition();
  ASSERT_NE(nullptr, pos);
  EXPECT_EQ(1, list.GetNextSelectedItem(pos));
  EXPECT_EQ(nullptr, pos);
  ASSERT_NE(nullptr, list.GetHeaderCtrl());
  EXPECT_EQ(2, list.GetHeaderCtrl()->GetItemCount());

  CTreeCtrl tree;
  ASSERT_TRUE(tree.Create(WS_CHILD | WS_VISIBLE, CRect(0, 100, 200, 200), &parent, 11));
  HTREEITEM root = tree.InsertItem(L"C:\\");
  HTREEITEM child = tree.InsertItem(L"Users", root);
  EXPECT_TRUE(tree.SetItemData(child, big));
  EXPECT_EQ(big, tree.GetItemData(child));
  EXPECT_STREQ(L"Users", tree.GetItemText(child));
  EXPECT_EQ(root, tree.GetParentItem(child));
  EXPECT_EQ(child, tree.GetChildItem(root));

  CComboBox combo;
  ASSERT_TRUE(combo.Create(WS_CHILD | CBS_DROPDOWNLIST, CRect(0, 0, 100, 100), &parent, 12));
  combo.AddString(L"one");
  combo.SetItemData(0, big);
  EXPECT_EQ(big, combo.GetItemData(0));
  CString text;
  combo.GetLBText(0, text);
  EXPECT_STREQ(L"one", text);

  CTabCtrl tabs;
  ASSERT_TRUE(tabs.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 200, 30), &parent, 13));
  tabs.InsertItem(0, L"DICOM\tVideo");
  tabs.InsertItem(1, L"Video\tDICOM");
  tabs.SetCurSel(1);
  EXPECT_EQ(2, tabs.GetItemCount());
  EXPECT_EQ(1, tabs.GetCurSel());

  CProgressCtrl progress;
  ASSERT_TRUE(progress.Create(WS_CHILD, CRect(0, 0, 100, 10), &parent, 14));
  progress.SetRange32(0, 1000);
  progress.SetPos(640);
  EXPECT_EQ(640, progress.GetPos());

  CToolTipCtrl tips;
  ASSERT_TRUE(tips.Create(&parent, TTS_ALWAYSTIP));
  EXPECT_TRUE(tips.AddTool(&list, L"The list"));
  EXPECT_TRUE(tips.AddTool(&parent, L"An area", CRect(0, 0, 10, 10), 5));
  EXPECT_EQ(2, tips.GetToolCount());
  TOOLINFO ti;
  EXPECT_TRUE(tips.GetToolInfo(ti, &list));
  EXPECT_TRUE(ti.uFlags & TTF_IDISHWND);
  EXPECT_EQ((UINT_PTR)list.m_hWnd, ti.uId);

  CToolBarCtrl bar;
  ASSERT_TRUE(bar.Create(WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT, CRect(0, 0, 200, 30), &parent, 15));
  TBBUTTON buttons[2] = {};
  buttons[0].idCommand = 0x8001;
  buttons[0].fsState = TBSTATE_ENABLED;
  buttons[0].iBitmap = I_IMAGENONE;
  buttons[1].idCommand = 0x8002;
  buttons[1].iBitmap = I_IMAGENONE;
  EXPECT_TRUE(bar.AddButtons(2, buttons));
  EXPECT_EQ(2, bar.GetButtonCount());
  EXPECT_TRUE(bar.IsButtonEnabled(0x8001));
  EXPECT_FALSE(bar.IsButtonEnabled(0x8002));
  parent.DestroyWindow();
  // Member controls were destroyed with the parent and detached.
  EXPECT_EQ(nullptr, list.m_hWnd);
  EXPECT_EQ(nullptr, tips.m_hWnd);
}
