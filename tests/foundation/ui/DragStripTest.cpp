// Dragging items to another place in the row, driven by mouse messages that
// the drag's own message loop reads, and the items' buttons.
#include "tests/foundation/ui/TestStrip.h"

namespace {
const COLORREF kMark = RGB(255, 0, 0);
const UINT WM_SHOT = WM_APP + 1;

// Takes a picture of the strip whenever WM_SHOT reaches it, which happens
// inside the drag's message loop.
class CShotHost : public CHostWnd {
 public:
  CWnd* target = nullptr;
  std::vector<CWindowShot> shots;

 protected:
  afx_msg LRESULT OnShot(WPARAM, LPARAM) {
    shots.push_back(CaptureWindow(target->m_hWnd));
    if (shots.size() == 1) {
      // The whole neighbourhood, with the drag image that follows the pointer.
      CRect r;
      target->GetWindowRect(&r);
      CWindowShot screen = CaptureScreen();
      CWindowShot part;
      part.m_nWidth = r.Width() + 100;
      part.m_nHeight = r.Height() + 60;
      for (int y = 0; y < part.m_nHeight; ++y)
        for (int x = 0; x < part.m_nWidth; ++x) part.m_pixels.push_back(screen.At(r.left - 50 + x, r.top - 30 + y));
      part.SavePng(L"strip-drag-screen.png");
    }
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CShotHost, CHostWnd)
  ON_MESSAGE(WM_SHOT, OnShot)
END_MESSAGE_MAP()

class DragTest : public ::testing::Test {
 protected:
  void Make(int nItems) {
    ASSERT_TRUE(host.CreateAt(10, 320, 440, 140));
    ASSERT_TRUE(strip.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 400, 100), &host, 1086));
    host.target = &strip;
    for (int i = 0; i < nItems; ++i) strip.AddItem(i, TRUE);
    PumpPending();
  }
  void Post(UINT msg, UINT flags, int x, int y) { strip.PostMessage(msg, flags, Pt(x, y)); }
  // Pointer onto an item, button down there, and the first move that starts the drag loop.
  void Press(int x, int y) {
    Post(WM_MOUSEMOVE, 0, x, y);
    Post(WM_LBUTTONDOWN, MK_LBUTTON, x, y);
    Post(WM_MOUSEMOVE, MK_LBUTTON, x + 1, y);
  }
  void Shot() { host.PostMessage(WM_SHOT); }
  int RedColumnsAt(const CWindowShot& s, int x) {
    int n = 0;
    for (int y = 0; y < s.m_nHeight; ++y)
      if (s.At(x, y) == kMark) ++n;
    return n;
  }
  int RedPixels(const CWindowShot& s) { return CountColor(s, CRect(0, 0, s.m_nWidth, s.m_nHeight), kMark); }
  CShotHost host;
  CTestStrip strip;
};
}  // namespace

TEST_F(DragTest, DragFromItemTwoToBetweenFiveAndSixMovesItThere) {
  Make(10);
  Press(100, 50);
  Post(WM_MOUSEMOVE, MK_LBUTTON, 180, 50);  // left half of item 4: mark before 4
  Shot();
  Post(WM_MOUSEMOVE, MK_LBUTTON, 250, 50);  // left half of item 6: mark before 6
  Shot();
  Post(WM_LBUTTONUP, 0, 250, 50);
  PumpPending();
  EXPECT_EQ("0,1,3,4,5,2,6,7,8,9", strip.Order());
  EXPECT_EQ((std::vector<std::pair<int, int>>{{2, 6}}), strip.moves);
  EXPECT_EQ("5", strip.Selection()) << "the pressed item was selected and moved with its state";
  EXPECT_EQ(-1, strip.m_nDragItem);
  EXPECT_EQ(nullptr, ::GetCapture());

  ASSERT_EQ(2u, host.shots.size());
  const CWindowShot& first = host.shots[0];
  first.SavePng(L"strip-drag.png");
  // The red mark: 2 px at item 4's left edge, as high as the items.
  CRect view;
  strip.GetViewRect(&view);
  const int h = view.Height();
  EXPECT_EQ(h, RedColumnsAt(first, 159));
  EXPECT_EQ(h, RedColumnsAt(first, 160));
  EXPECT_EQ(2 * h, RedPixels(first));
  // The dragged item left a gap in the row.
  EXPECT_EQ(kStripBack, first.At(100, 50));
  EXPECT_TRUE(ColorNear(first.At(140, 50), ItemColor(3)));
  const CWindowShot& second = host.shots[1];
  EXPECT_EQ(h, RedColumnsAt(second, 239));
  EXPECT_EQ(h, RedColumnsAt(second, 240));
  EXPECT_EQ(0, RedColumnsAt(second, 160)) << "the old mark is gone";
  // After the drop no mark is left and the item shows at its new place.
  CWindowShot after = SaveShot(strip.m_hWnd, L"strip-after-drag.png");
  EXPECT_EQ(0, RedPixels(after));
  EXPECT_TRUE(ColorNear(after.At(220, 50), ItemColor(2)));
}

TEST_F(DragTest, TrackerReportsAMoveOnlyWhenOneHappened) {
  Make(10);
  // A real move, with the tracker driven directly.
  Post(WM_MOUSEMOVE, MK_LBUTTON, 180, 50);
  Post(WM_MOUSEMOVE, MK_LBUTTON, 250, 50);
  Post(WM_LBUTTONUP, 0, 250, 50);
  {
    CStripDragTracker tracker(&strip);
    EXPECT_EQ(1, tracker.Track(2, 100, 50));
  }
  EXPECT_EQ("0,1,3,4,5,2,6,7,8,9", strip.Order());

  // Drops that would change nothing: on the item itself (either half) and on
  // the left half of the item after it. None shows a mark or reports a move.
  for (int x : {85, 115, 130}) {
    const std::string order = strip.Order();
    host.shots.clear();
    const int callsBefore = strip.moveCalls;
    Post(WM_MOUSEMOVE, MK_LBUTTON, x, 50);
    Shot();
    Post(WM_LBUTTONUP, 0, x, 50);
    CStripDragTracker tracker(&strip);
    EXPECT_EQ(0, tracker.Track(2, 100, 50)) << x;
    EXPECT_EQ(order, strip.Order()) << x;
    EXPECT_EQ(1u, strip.moves.size()) << x;
    EXPECT_LE(strip.moveCalls - callsBefore, 1) << x;
    ASSERT_EQ(1u, host.shots.size());
    EXPECT_EQ(0, RedPixels(host.shots[0])) << x;
    EXPECT_EQ(-1, strip.m_nDragItem);
    // The item is drawn again at its place.
    CWindowShot s = CaptureWindow(strip.m_hWnd);
    EXPECT_TRUE(ColorNear(s.At(100, 50), ItemColor(strip.GetItemData(2)))) << x;
  }

  // Ends of the row: item 0 right of the middle of the last item goes to the
  // end, the last item on the left half of item 0 to the front.
  Post(WM_MOUSEMOVE, MK_LBUTTON, 390, 50);
  Post(WM_LBUTTONUP, 0, 390, 50);
  {
    CStripDragTracker tracker(&strip);
    EXPECT_EQ(1, tracker.Track(0, 20, 50));
  }
  EXPECT_EQ("1,3,4,5,2,6,7,8,9,0", strip.Order());
  Post(WM_MOUSEMOVE, MK_LBUTTON, 5, 50);
  Post(WM_LBUTTONUP, 0, 5, 50);
  {
    CStripDragTracker tracker(&strip);
    EXPECT_EQ(1, tracker.Track(9, 380, 50));
  }
  EXPECT_EQ("0,1,3,4,5,2,6,7,8,9", strip.Order());
}

TEST_F(DragTest, PressAndReleaseWithoutMovingIsAPlainClick) {
  Make(10);
  Post(WM_MOUSEMOVE, 0, 100, 50);
  Post(WM_LBUTTONDOWN, MK_LBUTTON, 100, 50);
  Post(WM_LBUTTONUP, 0, 100, 50);
  PumpPending();
  EXPECT_EQ("0,1,2,3,4,5,6,7,8,9", strip.Order());
  EXPECT_EQ("2", strip.Selection());
  EXPECT_EQ(2, strip.GetFocusItem());
  // A move that comes back to the press point inside the drag moves nothing either.
  Post(WM_MOUSEMOVE, 0, 140, 50);
  Post(WM_LBUTTONDOWN, MK_LBUTTON, 140, 50);
  Post(WM_MOUSEMOVE, MK_LBUTTON, 141, 50);
  Post(WM_MOUSEMOVE, MK_LBUTTON, 140, 50);
  Post(WM_LBUTTONUP, 0, 140, 50);
  PumpPending();
  EXPECT_EQ("0,1,2,3,4,5,6,7,8,9", strip.Order());
  EXPECT_EQ("3", strip.Selection());
  EXPECT_EQ(0, strip.moveCalls);
}

TEST_F(DragTest, EscapeRightButtonAndQuitEndTheDragWithoutAMove) {
  Make(10);
  Press(100, 50);
  Post(WM_MOUSEMOVE, MK_LBUTTON, 250, 50);
  strip.PostMessage(WM_KEYDOWN, 'X', 1);  // other keys are dropped
  strip.PostMessage(WM_KEYDOWN, VK_ESCAPE, 1);
  Post(WM_LBUTTONUP, 0, 250, 50);
  PumpPending();
  EXPECT_EQ("0,1,2,3,4,5,6,7,8,9", strip.Order());

  Press(100, 50);
  Post(WM_MOUSEMOVE, MK_LBUTTON, 250, 50);
  Post(WM_RBUTTONDOWN, MK_RBUTTON | MK_LBUTTON, 250, 50);
  Post(WM_LBUTTONUP, 0, 250, 50);
  PumpPending();
  EXPECT_EQ("0,1,2,3,4,5,6,7,8,9", strip.Order());

  // The program is told to end during a drag: the loop stops and passes the quit on.
  Press(100, 50);
  Post(WM_MOUSEMOVE, MK_LBUTTON, 250, 50);
  ::PostQuitMessage(5);
  int quits = 0;
  WPARAM code = 0;
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ++quits;
      code = msg.wParam;
      continue;
    }
    ::DispatchMessageW(&msg);
  }
  EXPECT_EQ(1, quits);
  EXPECT_EQ(5u, code);
  EXPECT_EQ("0,1,2,3,4,5,6,7,8,9", strip.Order());
  EXPECT_EQ(0u, strip.moves.size());
  EXPECT_EQ(-1, strip.m_nDragItem);
  EXPECT_EQ(nullptr, ::GetCapture());
  CWindowShot s = CaptureWindow(strip.m_hWnd);
  EXPECT_TRUE(ColorNear(s.At(100, 50), ItemColor(2))) << "the item shows again";
}

TEST_F(DragTest, AutoScrollsPastTheVisibleEnd) {
  Make(20);  // 10 of 20 visible
  Press(100, 50);
  Post(WM_MOUSEMOVE, MK_LBUTTON, 180, 50);
  Post(WM_MOUSEMOVE, MK_LBUTTON, 403, 50);  // 3 px outside: no scrolling
  Shot();
  Post(WM_MOUSEMOVE, MK_LBUTTON, 404, 50);
  Post(WM_MOUSEMOVE, MK_LBUTTON, 405, 50);
  Post(WM_MOUSEMOVE, MK_LBUTTON, 406, 50);
  Shot();
  Post(WM_MOUSEMOVE, MK_LBUTTON, 250, 50);  // back in: left half of item 3 + 6 = 9
  Post(WM_LBUTTONUP, 0, 250, 50);
  PumpPending();
  ASSERT_EQ(2u, host.shots.size());
  EXPECT_EQ(0, RedPixels(host.shots[0])) << "outside the row the mark is removed";
  EXPECT_EQ(3, strip.GetFirstVisible());
  EXPECT_EQ((std::vector<std::pair<int, int>>{{2, 9}}), strip.moves);
  EXPECT_EQ("0,1,3,4,5,6,7,8,2,9,10,11,12,13,14,15,16,17,18,19", strip.Order());
  // The scrolled row was painted while dragging: item 3 is first.
  EXPECT_TRUE(ColorNear(host.shots[1].At(20, 50), ItemColor(3)));
}

TEST_F(DragTest, ItemButtonFiresOnlyWhenPressedAndReleasedOnIt) {
  Make(6);  // items at 0..240, empty space beyond
  strip.SelectItem(4, TRUE, TRUE, TRUE);
  strip.SetFocusItem(4, TRUE);
  // Item 1's box is 42..78 wide from y 4; its button is the 10 x 10 square at its top right.
  Post(WM_MOUSEMOVE, 0, 73, 8);
  Post(WM_LBUTTONDOWN, MK_LBUTTON, 73, 8);
  PumpPending();
  EXPECT_EQ("4", strip.Selection()) << "a button press neither selects";
  EXPECT_EQ(4, strip.GetFocusItem()) << "nor focuses";
  EXPECT_TRUE(strip.buttons.empty()) << "nor fires yet";
  Post(WM_LBUTTONUP, 0, 73, 8);
  PumpPending();
  EXPECT_EQ((std::vector<std::pair<int, int>>{{1, kButtonId}}), strip.buttons);
  EXPECT_EQ("0,2,3,4,5", strip.Order());
  EXPECT_EQ(0, strip.moveCalls);

  // A press on empty space released over another item's button does nothing.
  strip.buttons.clear();
  Post(WM_MOUSEMOVE, 0, 300, 50);
  Post(WM_LBUTTONDOWN, MK_LBUTTON, 300, 50);
  Post(WM_MOUSEMOVE, MK_LBUTTON, 153, 8);  // item 3's button
  Post(WM_LBUTTONUP, 0, 153, 8);
  PumpPending();
  EXPECT_TRUE(strip.buttons.empty());
  EXPECT_EQ("0,2,3,4,5", strip.Order());
  // Nor does a press on one button released over another item's button.
  Post(WM_MOUSEMOVE, 0, 73, 8);
  Post(WM_LBUTTONDOWN, MK_LBUTTON, 73, 8);
  Post(WM_MOUSEMOVE, MK_LBUTTON, 153, 8);
  Post(WM_LBUTTONUP, 0, 153, 8);
  PumpPending();
  EXPECT_TRUE(strip.buttons.empty());
  EXPECT_EQ("0,2,3,4,5", strip.Order());
}
