// The item strip in a real window: items and their data, selection by mouse
// and keyboard, rubber band, scrolling, hit tests and painting.
#include <atomic>
#include <thread>

#include "tests/foundation/ui/ComponentsTest.h"
#include "foundation/ui/ProgressBar.h"
#include "tests/foundation/ui/TestStrip.h"

namespace {
class StripTest : public ::testing::Test {
 protected:
  // A strip 400 x 100 in a host window; nItems items with data 0, 1, 2...
  void Make(int nItems, DWORD style = WS_CHILD | WS_VISIBLE) {
    ASSERT_TRUE(host.CreateAt(10, 150, 440, 140));
    ASSERT_TRUE(strip.Create(style, CRect(0, 0, 400, 100), &host, 1086));
    for (int i = 0; i < nItems; ++i) strip.AddItem(i, TRUE);
    PumpPending();
  }
  void Click(UINT msg, UINT flags, CPoint p) {
    strip.SendMessage(msg, flags, Pt(p));
    if (msg == WM_LBUTTONDOWN) strip.SendMessage(WM_LBUTTONUP, flags & ~MK_LBUTTON, Pt(p));
  }
  void Key(UINT vk) { strip.SendMessage(WM_KEYDOWN, vk, 1); }
  CHostWnd host;
  CTestStrip strip;
};
}  // namespace

TEST_F(StripTest, ItemsAreAddedInsertedRemovedAndKeepPointerSizedData) {
  Make(0);
  EXPECT_EQ(0, strip.AddItem(10, TRUE));
  EXPECT_EQ(1, strip.AddItem(11, TRUE));
  EXPECT_EQ(0, strip.InsertItem(-5, 9, TRUE)) << "clamped to the front";
  EXPECT_EQ(3, strip.InsertItem(100, 12, TRUE)) << "clamped to the end";
  EXPECT_EQ(2, strip.InsertItem(2, 20, TRUE));
  EXPECT_EQ("9,10,20,11,12", strip.Order());

  // Data is as wide as a pointer: a frame item's address survives.
  std::string payload = "frame item";
  const DWORD_PTR big = (DWORD_PTR)0xFEDCBA9876543210ULL;
  const int at = strip.AddItem((DWORD_PTR)&payload, TRUE);
  EXPECT_EQ(&payload, reinterpret_cast<std::string*>(strip.GetItemData(at)));
  EXPECT_EQ(big, strip.GetItemData(strip.AddItem(big, TRUE)));
  EXPECT_EQ(0u, strip.GetItemData(99));
  EXPECT_TRUE(strip.DeleteItem(6, TRUE));
  EXPECT_TRUE(strip.DeleteItem(5, TRUE));
  EXPECT_EQ((std::vector<DWORD_PTR>{big, (DWORD_PTR)&payload}), strip.freed) << "freed records hand back their data";

  // Deleting the focus item clears the focus; deleting before it keeps the index.
  strip.SetFocusItem(3, TRUE);
  EXPECT_TRUE(strip.DeleteItem(1, TRUE));
  EXPECT_EQ(3, strip.GetFocusItem());
  EXPECT_EQ("9,20,11,12", strip.Order());
  EXPECT_TRUE(strip.DeleteItem(3, TRUE));
  EXPECT_EQ(-1, strip.GetFocusItem());
  EXPECT_FALSE(strip.DeleteItem(3, TRUE));
  EXPECT_FALSE(strip.DeleteItem(-1, TRUE));

  // Swapping and reversing carry the state with the record.
  strip.SelectItem(0, TRUE, TRUE, TRUE);
  EXPECT_TRUE(strip.SwapItems(0, 2));
  EXPECT_FALSE(strip.SwapItems(0, 3));
  strip.ReverseItems();
  EXPECT_EQ("9,20,11", strip.Order());
  EXPECT_EQ("0", strip.Selection());

  // DeleteAllItems frees every record in order; destroying the window frees through the derived class.
  strip.freed.clear();
  EXPECT_TRUE(strip.DeleteAllItems(TRUE));
  EXPECT_EQ(0, strip.GetItemCount());
  EXPECT_EQ((std::vector<DWORD_PTR>{9, 20, 11}), strip.freed);
  strip.AddItem(1, TRUE);
  strip.AddItem(2, TRUE);
  strip.freed.clear();
  strip.DestroyWindow();
  EXPECT_EQ((std::vector<DWORD_PTR>{1, 2}), strip.freed);
  EXPECT_EQ(0, strip.GetItemCount());
}

TEST_F(StripTest, MouseSelectsWithClickShiftAndCtrl) {
  Make(5);  // items at x 0..200; 200..400 is empty
  strip.SelectItem(1, TRUE, TRUE, TRUE);
  strip.SetFocusItem(1, TRUE);
  Click(WM_LBUTTONDOWN, MK_LBUTTON, CPoint(300, 50));
  EXPECT_EQ("", strip.Selection()) << "empty space deselects";
  EXPECT_EQ(-1, strip.GetFocusItem());
  Click(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, strip.Center(3));
  EXPECT_EQ("0,1,2,3", strip.Selection()) << "without a focus Shift starts at item 0";
  EXPECT_EQ(3, strip.GetFocusItem());

  Click(WM_LBUTTONDOWN, MK_LBUTTON, strip.Center(4));
  EXPECT_EQ("4", strip.Selection());
  Click(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, strip.Center(2));
  EXPECT_EQ("2,3,4", strip.Selection());
  EXPECT_EQ(2, strip.GetFocusItem());
  Click(WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, strip.Center(3));
  EXPECT_EQ("2,4", strip.Selection()) << "Ctrl-click on a selected item deselects just it";
  Click(WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, strip.Center(0));
  EXPECT_EQ("0,2,4", strip.Selection());
  EXPECT_EQ(0, strip.GetFocusItem());
  EXPECT_EQ(&strip, CWnd::GetFocus()) << "a click takes the focus";

  // The right button: Ctrl changes nothing; a selected item keeps the selection; another selects only itself.
  Click(WM_RBUTTONDOWN, MK_RBUTTON | MK_CONTROL, strip.Center(1));
  EXPECT_EQ("0,2,4", strip.Selection());
  Click(WM_RBUTTONDOWN, MK_RBUTTON, strip.Center(2));
  EXPECT_EQ("0,2,4", strip.Selection());
  EXPECT_EQ(2, strip.GetFocusItem());
  Click(WM_RBUTTONDOWN, MK_RBUTTON, strip.Center(1));
  EXPECT_EQ("1", strip.Selection());
  Click(WM_RBUTTONDOWN, MK_RBUTTON, CPoint(350, 50));
  EXPECT_EQ("", strip.Selection());
  EXPECT_EQ(-1, strip.GetFocusItem());
  EXPECT_GT(strip.selectionChanges, 0);
}

TEST_F(StripTest, HitTestsAtItemEdges) {
  Make(0);
  strip.m_rcMargins = CRect(5, 10, 0, 0);
  for (int i = 0; i < 20; ++i) strip.AddItem(i, TRUE);
  CRect view;
  strip.GetViewRect(&view);
  ASSERT_EQ(CRect(5, 10, 400, view.bottom), view);
  EXPECT_EQ(0, strip.HitTest(5, 10, FALSE));
  EXPECT_EQ(-1, strip.HitTest(4, 50, FALSE));
  EXPECT_EQ(-1, strip.HitTest(20, 9, FALSE)) << "above the view";
  EXPECT_EQ(-1, strip.HitTest(20, view.bottom, FALSE)) << "the bottom edge is outside";
  EXPECT_EQ(0, strip.HitTest(44, 50, FALSE));
  EXPECT_EQ(1, strip.HitTest(45, 50, FALSE)) << "an item's right edge belongs to the next";
  // The box is 2 px narrower on each side: the gap between boxes hits nothing.
  EXPECT_EQ(-1, strip.HitTest(46, 50, TRUE));
  EXPECT_EQ(1, strip.HitTest(47, 50, TRUE));
  EXPECT_EQ(-1, strip.HitTest(83, 50, TRUE));
  EXPECT_EQ(-1, strip.HitTest(60, 13, TRUE));
  // Scrolled: the first visible item starts at the view's left edge.
  strip.SetFirstVisible(3);
  EXPECT_EQ(3, strip.HitTest(5, 50, FALSE));
  CRect r;
  EXPECT_TRUE(strip.GetItemRect(3, &r));
  EXPECT_EQ(CRect(5, 10, 45, view.bottom), r);
  EXPECT_TRUE(strip.GetItemRect(0, &r));
  EXPECT_EQ(-115, r.left);
  EXPECT_FALSE(strip.GetItemRect(20, &r));
  EXPECT_TRUE(r.IsRectEmpty());
}

TEST_F(StripTest, RubberBandFromRealMouseMessagesSelectsCoveredItems) {
  Make(5);
  CWindowShot before = CaptureWindow(strip.m_hWnd);
  // A 3-px diagonal move does not start a band.
  strip.PostMessage(WM_MOUSEMOVE, 0, Pt(230, 20));
  strip.PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, Pt(230, 20));
  strip.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, Pt(227, 23));
  PumpPending();
  EXPECT_EQ("", strip.Selection());
  EXPECT_EQ(CPoint(230, 20), strip.m_ptPress) << "still armed";
  // 4 px across and 1 down starts it; it follows the pointer until the release.
  strip.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, Pt(226, 21));
  strip.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, Pt(150, 60));
  strip.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, Pt(90, 70));
  strip.PostMessage(WM_LBUTTONUP, 0, Pt(90, 70));
  PumpPending();
  // Items 2..4 are covered at least half their width; item 1 not at all.
  EXPECT_EQ("2,3,4", strip.Selection());
  EXPECT_EQ(CPoint(-1, -1), strip.m_ptPress);
  EXPECT_EQ(nullptr, ::GetCapture());
  // No trace of the band is left on the screen.
  CWindowShot after = CaptureWindow(strip.m_hWnd);
  strip.Invalidate();
  CWindowShot repainted = CaptureWindow(strip.m_hWnd);
  ASSERT_EQ(after.m_pixels.size(), repainted.m_pixels.size());
  EXPECT_TRUE(after.m_pixels == repainted.m_pixels);
  EXPECT_FALSE(before.m_pixels == after.m_pixels) << "the selection shows";

  // A band less than half an item wide does not select it; items outside are deselected.
  strip.PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, Pt(300, 5));
  strip.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, Pt(290, 12));
  strip.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, Pt(181, 12));  // 19 px of item 4, 7 px high
  strip.PostMessage(WM_LBUTTONUP, 0, Pt(181, 12));
  PumpPending();
  EXPECT_EQ("", strip.Selection());
}

TEST_F(StripTest, RubberBandScrollsOneItemPerMoveOutsideTheRow) {
  Make(0);
  strip.m_rcMargins = CRect(0, 8, 0, 0);
  for (int i = 0; i < 20; ++i) strip.AddItem(i, TRUE);        // 10 of 20 visible
  strip.PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, Pt(100, 3));  // the top margin is empty space
  strip.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, Pt(105, 5));    // still over no item: the band starts
  strip.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, Pt(420, 60));
  strip.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, Pt(421, 60));
  strip.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, Pt(422, 60));
  strip.PostMessage(WM_LBUTTONUP, 0, Pt(422, 60));
  PumpPending();
  // Each move outside (and the release there) scrolled one item; the band's
  // anchor moved with the row, so it still starts at item 2.
  EXPECT_EQ(4, strip.GetFirstVisible());
  EXPECT_EQ("2,3,4,5,6,7,8,9,10,11,12,13", strip.Selection());
  SaveShot(host.m_hWnd, L"strip-band-scrolled.png");
}

TEST_F(StripTest, KeyboardMovesFocusAndKeepsItVisible) {
  Make(30);  // 10 visible
  Key(VK_LEFT);
  EXPECT_EQ(-1, strip.GetFocusItem()) << "Left without a focus does nothing";
  Key(VK_RIGHT);
  EXPECT_EQ(0, strip.GetFocusItem());
  EXPECT_EQ("0", strip.Selection());
  Key(VK_RIGHT);
  {
    CKeyState shift(true, false);
    Key(VK_RIGHT);
  }
  EXPECT_EQ("1,2", strip.Selection());
  EXPECT_EQ(2, strip.GetFocusItem());
  {
    CKeyState ctrl(false, true);
    Key(VK_RIGHT);
    EXPECT_EQ("1,2", strip.Selection()) << "Ctrl moves the focus only";
    EXPECT_EQ(3, strip.GetFocusItem());
    Key('A');
    EXPECT_EQ(30, strip.GetSelectedCount()) << "Ctrl+A";
  }
  Key(VK_NEXT);
  EXPECT_EQ(4, strip.GetFocusItem());
  EXPECT_EQ("4", strip.Selection());
  Key(VK_PRIOR);
  Key(VK_UP);
  EXPECT_EQ(2, strip.GetFocusItem());
  Key(VK_END);
  EXPECT_EQ(29, strip.GetFocusItem());
  EXPECT_EQ("29", strip.Selection());
  EXPECT_EQ(20, strip.GetFirstVisible()) << "the focus is scrolled into view";
  Key(VK_RIGHT);
  EXPECT_EQ(29, strip.GetFocusItem()) << "nothing after the last item";
  Key(VK_HOME);
  EXPECT_EQ(0, strip.GetFocusItem());
  EXPECT_EQ(0, strip.GetFirstVisible());
  for (int i = 0; i < 12; ++i) Key(VK_DOWN);
  EXPECT_EQ(12, strip.GetFocusItem());
  EXPECT_EQ(3, strip.GetFirstVisible());
  {
    CKeyState shift(true, false);
    Key(VK_END);
  }
  EXPECT_EQ(18, strip.GetSelectedCount()) << "Shift+End selects from the focus to the end";
  SaveShot(host.m_hWnd, L"strip-keyboard.png");
}

TEST_F(StripTest, KeysOnAnEmptyStripDoNothing) {
  Make(0);
  for (UINT vk : {VK_RIGHT, VK_DOWN, VK_NEXT, VK_END, VK_HOME, VK_LEFT, VK_PRIOR}) Key(vk);
  {
    CKeyState ctrl(false, true);
    Key('A');
  }
  EXPECT_EQ(-1, strip.GetFocusItem());
  EXPECT_EQ(0, strip.selectionChanges);
  strip.AddItem(0, TRUE);
  Key(VK_RIGHT);
  EXPECT_EQ(0, strip.GetFocusItem());
}

TEST(StripDialog, TabLeavesTheStrip) {
  CDialog dlg;
  ASSERT_TRUE(dlg.Create(IDD_STRIPHOST));
  CTestStrip strip;
  ASSERT_TRUE(strip.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP, CRect(10, 40, 410, 140), &dlg, 1086));
  strip.AddItem(1, TRUE);
  strip.SetFocus();
  ASSERT_EQ(&strip, CWnd::GetFocus());
  // Arrows stay with the strip; Tab moves on, as in any dialog.
  EXPECT_TRUE(strip.SendMessage(WM_GETDLGCODE) & DLGC_WANTARROWS);
  for (UINT vk : {VK_RIGHT, VK_TAB}) {
    strip.PostMessage(WM_KEYDOWN, vk, 1);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
      if (!::IsDialogMessageW(dlg.m_hWnd, &msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
  }
  EXPECT_EQ(0, strip.GetFocusItem());
  EXPECT_NE(strip.m_hWnd, ::GetFocus());
  EXPECT_EQ(::GetDlgItem(dlg.m_hWnd, IDC_BEFORE), ::GetFocus());
  strip.DestroyWindow();
  dlg.DestroyWindow();
}

TEST_F(StripTest, WheelAndScrollBarMoveTheFirstVisibleItem) {
  Make(0);
  strip.m_nItemWidth = 64;
  strip.MoveWindow(0, 0, 256, 100);
  for (int i = 0; i < 10; ++i) strip.AddItem(i, TRUE);
  SCROLLINFO si = {};
  strip.GetScrollInfo(SB_HORZ, &si);
  EXPECT_EQ(0, si.nMin);
  EXPECT_EQ(10, si.nMax);
  EXPECT_EQ(4u, si.nPage);
  strip.SendMessage(WM_HSCROLL, SB_RIGHT);
  EXPECT_EQ(7, strip.GetFirstVisible()) << "the range leaves room for one empty slot";
  strip.SendMessage(WM_HSCROLL, SB_LINELEFT);
  EXPECT_EQ(6, strip.GetFirstVisible());
  strip.SendMessage(WM_HSCROLL, SB_PAGELEFT);
  EXPECT_EQ(2, strip.GetFirstVisible());
  strip.SendMessage(WM_HSCROLL, SB_LEFT);
  EXPECT_EQ(0, strip.GetFirstVisible());
  strip.SendMessage(WM_HSCROLL, SB_PAGERIGHT);
  EXPECT_EQ(4, strip.GetFirstVisible());
  strip.SendMessage(WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 5));
  EXPECT_EQ(5, strip.GetFirstVisible());
  strip.SendMessage(WM_HSCROLL, SB_LINERIGHT);
  EXPECT_EQ(6, strip.GetFirstVisible());

  strip.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 240), Pt(20, 20));
  EXPECT_EQ(4, strip.GetFirstVisible()) << "+240 moves two items back";
  strip.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 100), Pt(20, 20));
  EXPECT_EQ(4, strip.GetFirstVisible()) << "less than a notch moves nothing";
  strip.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)(short)-360), Pt(20, 20));
  EXPECT_EQ(7, strip.GetFirstVisible());
  EXPECT_EQ(4, strip.GetVisibleCount());
}

TEST_F(StripTest, TenThousandItemsPaintOnlyWhatIsVisible) {
  Make(0);
  for (int i = 0; i < 10000; ++i) strip.AddItem(i, FALSE);
  strip.UpdateScrollBar();
  strip.drawn = 0;
  strip.Invalidate();
  strip.UpdateWindow();
  EXPECT_GE(strip.drawn, 10);
  EXPECT_LE(strip.drawn, 11);
  strip.SendMessage(WM_HSCROLL, SB_RIGHT);
  EXPECT_EQ(9991, strip.GetFirstVisible());
  strip.drawn = 0;
  strip.UpdateWindow();
  EXPECT_GE(strip.drawn, 9);
  EXPECT_LE(strip.drawn, 11);
  EXPECT_TRUE(strip.EnsureVisible(5000));
  EXPECT_EQ(5000, strip.GetFirstVisible());
  strip.SetFocusItem(5005, TRUE);
  {
    CKeyState shift(false, false);
    for (int i = 0; i < 10; ++i) strip.SendMessage(WM_KEYDOWN, VK_RIGHT, 1);
  }
  EXPECT_EQ(5015, strip.GetFocusItem());
  EXPECT_EQ(5006, strip.GetFirstVisible());
  CWindowShot s = SaveShot(strip.m_hWnd, L"strip-10000.png");
  // The focused item (data 5015) is the last visible one, drawn in its colour.
  EXPECT_TRUE(ColorNear(s.At(9 * 40 + 20, 50), ItemColor(5015)));
  EXPECT_FALSE(strip.EnsureVisible(10000));
}

TEST_F(StripTest, WorkerThreadAddsItemsWhileTheWindowPaints) {
  Make(0);
  std::atomic<bool> done(false);
  std::thread worker([&] {
    for (int i = 0; i < 300; ++i) {
      int index = strip.AddItem(i, TRUE);
      strip.EnsureVisible(index);
    }
    done = true;
  });
  // Every call waits for a repaint, which is slow under a virtual display.
  EXPECT_TRUE(PumpUntil(
      [&] {
        strip.UpdateWindow();
        return done.load();
      },
      60000));
  worker.join();
  ASSERT_EQ(300, strip.GetItemCount());
  for (int i = 0; i < 300; ++i) ASSERT_EQ((DWORD_PTR)i, strip.GetItemData(i));
  EXPECT_EQ(290, strip.GetFirstVisible()) << "the last item was scrolled into view";
}

TEST_F(StripTest, PaintsItemsSelectionAndBackground) {
  Make(6);
  strip.m_rcMargins = CRect(0, 10, 0, 10);
  strip.UpdateScrollBar();
  strip.SelectItem(2, TRUE, TRUE, TRUE);
  strip.PostMessage(WM_MOUSEMOVE, 0, Pt(strip.Center(4)));
  PumpPending();
  EXPECT_EQ(4, strip.GetHotItem());
  CWindowShot s = SaveShot(strip.m_hWnd, L"strip.png");
  EXPECT_TRUE(ColorNear(s.At(20, 50), ItemColor(0)));
  EXPECT_TRUE(ColorNear(s.At(100, 50), ItemColor(2)));
  EXPECT_EQ(kSelectedFrame, s.At(83, 50)) << "the selected item's frame";
  EXPECT_EQ(kStripBack, s.At(43, 50)) << "unselected items have no frame";
  EXPECT_EQ(kButtonColor, s.At(195, 18)) << "the hot item's button";
  EXPECT_EQ(kStripBack, s.At(300, 50)) << "background after the last item";
  EXPECT_EQ(kStripBack, s.At(20, 5)) << "the margin is painted too";
}

TEST(StripDialog, StripAndProgressBarInADialog) {
  CDialog dlg;
  ASSERT_TRUE(dlg.Create(IDD_STRIPHOST));
  dlg.SetWindowPos(nullptr, 20, 480, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  CTestStrip strip;
  ASSERT_TRUE(strip.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP, CRect(10, 30, 410, 130), &dlg, 1086));
  for (int i = 0; i < 14; ++i) strip.AddItem(i, TRUE);
  strip.SelectRange(2, 4, TRUE, TRUE);
  CProgressBar bar;
  ASSERT_TRUE(bar.Create(WS_CHILD | WS_VISIBLE, CRect(10, 140, 410, 142), &dlg, 1099));
  bar.SetRange(14);
  bar.SetPos(9);
  CWindowShot s = SaveShot(dlg.m_hWnd, L"strip-dialog.png");
  EXPECT_TRUE(ColorNear(s.At(10 + 20, 80), ItemColor(0)));
  EXPECT_EQ(kSelectedFrame, s.At(10 + 83, 80));
  EXPECT_EQ(RGB(0, 0xC0, 0), s.At(10 + 400 * 9 / 14 - 2, 141));
  EXPECT_EQ(RGB(0xC0, 0xC0, 0xC0), s.At(10 + 400 * 9 / 14 + 2, 141));
  bar.DestroyWindow();
  strip.DestroyWindow();
  dlg.DestroyWindow();
}
