// The off-screen drawing context and the 64-bit progress bar, drawn in real
// windows and read back from the screen.
#include <atomic>
#include <climits>
#include <thread>

#include "foundation/ui/BufferedDC.h"
#include "tests/foundation/ui/ComponentsTestSupport.h"
#include "foundation/ui/ProgressBar.h"

namespace {
const COLORREF kGrey = RGB(0xC0, 0xC0, 0xC0);
const COLORREF kGreen = RGB(0, 0xC0, 0);
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kRed = RGB(255, 0, 0);

class ProgressBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host.CreateAt(20, 20, 260, 60));
    ASSERT_TRUE(bar.Create(WS_CHILD | WS_VISIBLE, CRect(10, 10, 210, 30), &host, 1099));
  }
  // The bar's client area as it is on the screen now.
  CWindowShot Shot() {
    PumpPending();
    return CaptureWindow(bar.m_hWnd);
  }
  // Columns of the middle row that show the bar colour.
  std::string GreenColumns(const CWindowShot& s) {
    std::string cols;
    for (int x = 0; x < s.m_nWidth; ++x) cols += ColorNear(s.At(x, 10), kGreen, 8) ? '#' : '.';
    return cols;
  }
  CHostWnd host;
  CProgressBar bar;
};
}  // namespace

TEST(BufferedDC, CopiesOnlyItsRectangleAndOnlyAtTheEnd) {
  MemoryPicture pic(64, 64);
  CRect area(10, 12, 50, 40);
  {
    CBufferedDC buffer(&pic.dc, &area);
    EXPECT_FALSE(buffer.IsPassThrough());
    // Drawn with the target's coordinates, spilling over the rectangle.
    buffer.FillSolidRect(0, 0, 64, 64, kRed);
    buffer.SetPixelV(10, 12, RGB(0, 0, 255));
    buffer.SetPixelV(49, 39, RGB(0, 255, 0));
    EXPECT_EQ(kWhite, pic.dc.GetPixel(20, 20)) << "nothing reaches the target before the end";
  }
  EXPECT_EQ(RGB(0, 0, 255), pic.dc.GetPixel(10, 12));
  EXPECT_EQ(RGB(0, 255, 0), pic.dc.GetPixel(49, 39));
  EXPECT_EQ(kWhite, pic.dc.GetPixel(9, 20));
  EXPECT_EQ(kWhite, pic.dc.GetPixel(50, 20));
  EXPECT_EQ(kWhite, pic.dc.GetPixel(30, 40));

  // Without a rectangle the clip box is covered.
  CRgn clip;
  clip.CreateRectRgn(5, 5, 15, 15);
  pic.dc.SelectClipRgn(&clip);
  {
    CBufferedDC buffer(&pic.dc, nullptr);
    EXPECT_EQ(CRect(5, 5, 15, 15), buffer.GetBufferRect());
    buffer.FillSolidRect(0, 0, 64, 64, RGB(0, 0, 0));
  }
  pic.dc.SelectClipRgn(nullptr);
  EXPECT_EQ(RGB(0, 0, 0), pic.dc.GetPixel(5, 5));
  EXPECT_EQ(RGB(0, 0, 0), pic.dc.GetPixel(14, 14));
  EXPECT_EQ(kRed, pic.dc.GetPixel(15, 15)) << "outside the clip box the earlier picture stays";
  AfxDeleteTempMaps();
}

TEST(BufferedDC, PrintingTargetIsDrawnStraightThroughAndLeftAlive) {
  MemoryPicture pic(32, 32);
  CDC printer;
  printer.Attach(pic.dc.m_hDC);
  printer.m_bPrinting = TRUE;
  {
    CBufferedDC buffer(&printer, CRect(0, 0, 16, 16));
    EXPECT_TRUE(buffer.IsPassThrough());
    EXPECT_EQ(printer.m_hDC, buffer.m_hDC);
    buffer.FillSolidRect(0, 0, 32, 32, kRed);
    EXPECT_EQ(kRed, pic.dc.GetPixel(20, 20)) << "drawn at once, not clipped to the rectangle";
  }
  // The target's handle survived the buffer: it still draws.
  EXPECT_NE(0, ::GetObjectType(pic.dc.m_hDC));
  pic.dc.SetPixelV(1, 1, RGB(0, 0, 255));
  EXPECT_EQ(RGB(0, 0, 255), pic.dc.GetPixel(1, 1));
  printer.Detach();
}

TEST_F(ProgressBarTest, NewBarShowsOnlyItsBackground) {
  EXPECT_EQ(100, bar.GetRange());
  EXPECT_EQ(0, bar.GetPos());
  CWindowShot s = Shot();
  ASSERT_EQ(200, s.m_nWidth);
  EXPECT_EQ(200 * 20, CountColor(s, CRect(0, 0, 200, 20), kGrey));
}

TEST_F(ProgressBarTest, PositionsBeyond32BitsDrawTheirFraction) {
  bar.SetRange(1LL << 34);
  bar.SetPos((1LL << 32) + (1LL << 31));  // 3/8 of the range
  std::string cols = GreenColumns(Shot());
  EXPECT_EQ(std::string(75, '#') + std::string(125, '.'), cols);

  bar.SetRange(1LL << 40);
  bar.SetPos(3 * (1LL << 38));  // 3/4
  CWindowShot s = SaveShot(bar.m_hWnd, L"progress-bar-large-range.png");
  EXPECT_EQ(std::string(150, '#') + std::string(50, '.'), GreenColumns(s));

  // The product of width and position does not overflow near the top of the range.
  bar.SetRange(LLONG_MAX);
  bar.SetPos(LLONG_MAX / 2);
  cols = GreenColumns(Shot());
  EXPECT_EQ(std::string(99, '#') + std::string(101, '.'), cols);
  bar.SetPos(LLONG_MAX);
  EXPECT_EQ(std::string(200, '#'), GreenColumns(Shot()));
  EXPECT_EQ(LLONG_MAX, MulDiv64(LLONG_MAX, 3, 3));
  EXPECT_EQ(-7, MulDiv64(-15, 1, 2));
}

TEST_F(ProgressBarTest, PositionIsClampedAndAnEmptyRangeDrawsNoBar) {
  bar.SetRange(1000);
  bar.SetPos(500);
  bar.SetPos(-5);
  EXPECT_EQ(0, bar.GetPos());
  EXPECT_EQ(std::string(200, '.'), GreenColumns(Shot()));
  bar.SetPos(1001);
  EXPECT_EQ(1000, bar.GetPos());
  EXPECT_EQ(std::string(200, '#'), GreenColumns(Shot()));
  bar.SetRange(2000);
  EXPECT_EQ(0, bar.GetPos()) << "a new range starts from 0";

  bar.m_strText = L"Ready";
  for (LONGLONG range : {0LL, -10LL}) {
    bar.SetRange(range);
    bar.m_nPos = 5;  // even a stored position draws nothing without a range
    CWindowShot s = Shot();
    EXPECT_EQ(std::string(200, '.'), GreenColumns(s)) << range;
    int text = 0;
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 60; ++x)
        if (GetRValue(s.At(x, y)) < 0x60) ++text;
    EXPECT_GT(text, 10) << "the text is still drawn";
  }
}

TEST_F(ProgressBarTest, TextIsDrawnOverTheBar) {
  bar.SetRange(240);
  bar.SetPos(144);
  bar.m_strText = L"Frame 144 of 240 & more";
  CWindowShot s = SaveShot(bar.m_hWnd, L"progress-bar-text.png");
  int dark = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 200; ++x) dark += GetGValue(s.At(x, y)) < 0x60;
  EXPECT_GT(dark, 40);
  // The 4-px inset on the left keeps the bar colour.
  EXPECT_EQ(4 * 20, CountColor(s, CRect(0, 0, 4, 20), kGreen));
}

TEST_F(ProgressBarTest, MarqueeBlocksTravelAndAreCutAtTheEdges) {
  bar.m_bMarquee = 1;
  bar.SetRange(1000);
  bar.SetPos(500);  // S = 288, e = 144
  std::string expected(200, '.');
  for (auto span : {std::pair<int, int>(120, 144), {88, 112}, {56, 80}})
    for (int x = span.first; x < span.second; ++x) expected[x] = '#';
  CWindowShot s = SaveShot(bar.m_hWnd, L"progress-marquee.png");
  EXPECT_EQ(expected, GreenColumns(s));

  bar.SetPos(0);
  EXPECT_EQ(std::string(200, '.'), GreenColumns(Shot()));
  bar.SetPos(1000);
  EXPECT_EQ(std::string(200, '.'), GreenColumns(Shot())) << "at the range the group has left";

  bar.SetRange(288);
  bar.SetPos(10);  // right end at x 10: the first block cut at the left edge
  EXPECT_EQ(std::string(10, '#') + std::string(190, '.'), GreenColumns(Shot()));
  bar.SetPos(280);  // right end at 280: blocks 256..280, 224..248, 192..216
  EXPECT_EQ(std::string(192, '.') + std::string(8, '#'), GreenColumns(Shot()));
}

TEST_F(ProgressBarTest, StepTimerAdvancesByTwoAndWraps) {
  bar.SetRange(100);
  bar.SetPos(50);
  bar.SendMessage(WM_TIMER, CProgressBar::kStepTimerId);
  EXPECT_EQ(52, bar.GetPos());
  bar.SetPos(99);
  bar.SendMessage(WM_TIMER, CProgressBar::kStepTimerId);
  EXPECT_EQ(0, bar.GetPos()) << "past the range it starts again";
  bar.SetPos(98);
  bar.SendMessage(WM_TIMER, CProgressBar::kStepTimerId);
  EXPECT_EQ(100, bar.GetPos());
  bar.SendMessage(WM_TIMER, 3);
  EXPECT_EQ(100, bar.GetPos()) << "other timers do not step";
}

TEST_F(ProgressBarTest, WorkerSetsPositionWhileTheWindowPaints) {
  std::atomic<bool> done(false);
  std::atomic<int> steps(0);
  std::thread worker([&] {
    bar.m_bMarquee = 0;
    bar.SetRange(5000000000LL);  // beyond 32 bits, as long videos give
    for (LONGLONG p = 0; p <= 5000000000LL; p += 1250000) {
      bar.SetPos(p);
      ++steps;
    }
    done = true;
  });
  int paints = 0;
  EXPECT_TRUE(PumpUntil([&] {
    bar.UpdateWindow();  // paints whatever the worker stored last
    ++paints;
    return done.load();
  }));
  worker.join();
  EXPECT_EQ(4001, steps.load());
  EXPECT_GT(paints, 0);
  EXPECT_EQ(5000000000LL, bar.GetPos());
  EXPECT_EQ(std::string(200, '#'), GreenColumns(Shot())) << "the final state is drawn";
}
