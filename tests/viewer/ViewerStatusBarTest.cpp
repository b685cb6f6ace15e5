// The dark status bar as the user sees it: colours, separators, text that
// stops short of them and ends in an ellipsis, tips equal to the texts, and
// panes the idle update leaves alone.
#include <gtest/gtest.h>

#include "tests/support/UiTestSupport.h"
#include "tests/viewer/ViewerTestSupport.h"

namespace {
bool IsText(COLORREF c) {
  // Anti-aliased text lies between the background and 0xC0C0C0; count the clearly lit pixels.
  return GetRValue(c) > 0x70 && GetGValue(c) > 0x70 && GetBValue(c) > 0x70;
}

// Columns holding text pixels, left to right.
std::vector<int> TextColumns(const CWindowShot& shot, int left, int right) {
  std::vector<int> cols;
  for (int x = std::max(0, left); x < std::min(right, shot.m_nWidth); ++x)
    for (int y = 0; y < shot.m_nHeight; ++y)
      if (IsText(shot.At(x, y))) {
        cols.push_back(x);
        break;
      }
  return cols;
}

// The last glyphs of a run are three small dots on one baseline.
bool EndsWithEllipsis(const CWindowShot& shot, int left, int right) {
  std::vector<int> cols = TextColumns(shot, left, right);
  if (cols.empty()) return false;
  std::vector<std::pair<int, int>> groups;  // [first, last] columns
  for (int x : cols) {
    if (!groups.empty() && x == groups.back().second + 1)
      groups.back().second = x;
    else
      groups.push_back({x, x});
  }
  if (groups.size() < 4) return false;
  int baseline = -1;
  for (size_t g = groups.size() - 3; g < groups.size(); ++g) {
    if (groups[g].second - groups[g].first > 2) return false;  // a dot is narrow
    int top = shot.m_nHeight, bottom = -1;
    for (int x = groups[g].first; x <= groups[g].second; ++x)
      for (int y = 0; y < shot.m_nHeight; ++y)
        if (IsText(shot.At(x, y))) {
          top = std::min(top, y);
          bottom = std::max(bottom, y);
        }
    if (bottom - top > 2) return false;  // and low
    if (baseline >= 0 && std::abs(bottom - baseline) > 1) return false;
    baseline = bottom;
  }
  return baseline > shot.m_nHeight / 2;
}

CString TipText(CViewerStatusBar& bar, int pane) {
  wchar_t buf[512] = {0};
  bar.SendMessage(SB_GETTIPTEXTW, MAKEWPARAM(pane, 511), (LPARAM)buf);
  return buf;
}
}  // namespace

TEST(ViewerStatusBar, DarkPanesSeparatorsEllipsisTipsAndIdle) {
  DeleteViewerKey();
  CViewerTestApp app;
  SetSavedPlacement(app.m_settings, 30, 30, 700, 400);
  CRecordingFrame* frame = app.Start();
  ASSERT_NE(nullptr, frame);
  CViewerStatusBar& bar = frame->m_wndStatusBar;
  EXPECT_TRUE(bar.GetStyle() & SBARS_TOOLTIPS);
  ASSERT_EQ(3, bar.GetCount());
  EXPECT_EQ((UINT)ID_INDICATOR_FRAME, bar.GetItemID(1));
  EXPECT_EQ((UINT)ID_INDICATOR_FILENAME, bar.GetItemID(2));
  EXPECT_EQ(1, bar.m_imageList.GetImageCount());  // the grip picture
  // Panes 1 and 2 are 128 and 192 px; the message pane takes the rest.
  CRect client, p0, p1, p2;
  bar.GetClientRect(&client);
  bar.GetItemRect(0, &p0);
  bar.GetItemRect(1, &p1);
  bar.GetItemRect(2, &p2);
  EXPECT_EQ(client.right, p2.right);
  EXPECT_EQ(192, p2.right - p1.right);
  EXPECT_EQ(128, p1.right - p0.right);
  // The panes start empty; the message pane says "Ready" once idle.
  EXPECT_TRUE(PumpAppUntil([&] { return bar.GetPaneText(0) == L"Ready"; }));
  EXPECT_STREQ(L"", bar.GetPaneText(1));
  EXPECT_STREQ(L"", bar.GetPaneText(2));

  const CString longName = L"a-very-long-file-name-of-a-series-of-computed-tomography-slices-0001.dcm";
  bar.SetPaneText(1, L"3 / 40");
  bar.SetPaneText(2, longName);
  EXPECT_STREQ(L"3 / 40", bar.GetPaneText(1));
  EXPECT_STREQ(longName, TipText(bar, 2));
  EXPECT_STREQ(L"3 / 40", TipText(bar, 1));
  // The frame's idle update does not blank panes that nobody updates.
  app.OnIdle(0);
  EXPECT_STREQ(L"3 / 40", bar.GetPaneText(1));
  EXPECT_STREQ(longName, bar.GetPaneText(2));

  CWindowShot shot = CaptureWindow(bar.m_hWnd);
  shot.SavePng(L"viewer-statusbar.png");
  const COLORREF back = RGB(0x30, 0x30, 0x30), line = RGB(0x40, 0x40, 0x40);
  EXPECT_TRUE(ColorNear(back, shot.At(p0.right - 6, 1)));
  EXPECT_TRUE(ColorNear(back, shot.At(client.right - 2, client.bottom - 2)));
  for (int y = 1; y < shot.m_nHeight; ++y) {
    EXPECT_TRUE(ColorNear(line, shot.At(p0.right - 1, y))) << "row " << y;
    EXPECT_TRUE(ColorNear(line, shot.At(p1.right - 1, y))) << "row " << y;
  }
  EXPECT_TRUE(ColorNear(back, shot.At(p0.right - 1, 0)));  // the line starts one row down
  // Text in the message and frame panes, inset, never on the lines.
  std::vector<int> ready = TextColumns(shot, p0.left, p0.right);
  ASSERT_FALSE(ready.empty());
  EXPECT_GE(ready.front(), p0.left + 4);
  std::vector<int> frameText = TextColumns(shot, p1.left, p1.right);
  ASSERT_FALSE(frameText.empty());
  EXPECT_GE(frameText.front(), p0.right + 2);
  EXPECT_LT(frameText.back(), p1.right - 1);
  // The long name ends in an ellipsis before the grip's room.
  const int textRight = client.right - ::GetSystemMetrics(SM_CXVSCROLL) - 2;
  std::vector<int> nameText = TextColumns(shot, p2.left, p2.right);
  ASSERT_FALSE(nameText.empty());
  EXPECT_LT(nameText.back(), textRight);
  EXPECT_GT(nameText.back(), textRight - 12);
  EXPECT_TRUE(EndsWithEllipsis(shot, p2.left, p2.right));
  bool textColour = false;
  for (int y = 0; y < shot.m_nHeight; ++y)
    for (int x : ready) textColour |= ColorNear(RGB(0xC0, 0xC0, 0xC0), shot.At(x, y), 8);
  EXPECT_TRUE(textColour);

  // A short name shows whole, without dots.
  bar.SetPaneText(2, L"knee.dcm");
  shot = CaptureWindow(bar.m_hWnd);
  EXPECT_FALSE(EndsWithEllipsis(shot, p2.left, p2.right));
  // A long frame text stops short of its separator.
  bar.SetPaneText(1, L"1234567 / 8901234 / 5678901 / 2345678");
  shot = CaptureWindow(bar.m_hWnd);
  for (int y = 1; y < shot.m_nHeight; ++y) EXPECT_TRUE(ColorNear(line, shot.At(p1.right - 1, y)));
  EXPECT_TRUE(EndsWithEllipsis(shot, p1.left, p1.right));

  // Maximised, the name may use the whole pane: no room is kept for a grip.
  bar.SetPaneText(2, longName);
  frame->ShowWindow(SW_MAXIMIZE);
  PumpApp();
  bar.GetClientRect(&client);
  bar.GetItemRect(2, &p2);
  shot = CaptureWindow(bar.m_hWnd);
  nameText = TextColumns(shot, p2.left, p2.right);
  ASSERT_FALSE(nameText.empty());
  EXPECT_GT(nameText.back(), client.right - ::GetSystemMetrics(SM_CXVSCROLL) - 2);
  EXPECT_LT(nameText.back(), client.right - 2);
  frame->SendMessage(WM_CLOSE);
}
