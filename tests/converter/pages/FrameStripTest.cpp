// The frame strip as the page uses it: box sizes, captions, number labels,
// frame colours, the delete button, keys, double-click and drag-reorder.
#include <gtest/gtest.h>

#include <memory>

#include "resources/converter/ConverterRes.h"
#include "converter/pages/FrameStripCtrl.h"
#include "tests/converter/support/PageHost.h"
#include "tests/converter/support/ScriptedDialog.h"
#include "tests/support/UiTestSupport.h"

namespace {
LPARAM Pt(int x, int y) { return MAKELPARAM(x, y); }

// A frame whose picture is one flat colour.
std::shared_ptr<CFrameItem> MakeFrame(LPCTSTR path, int index, int w, int h, COLORREF color) {
  std::shared_ptr<CFrameItem> item = std::make_shared<CFrameItem>();
  item->m_sourcePath = path;
  item->m_frameIndex = index;
  item->m_image.Create(w, h, 24);
  RGBQUAD c = {GetBValue(color), GetGValue(color), GetRValue(color), 0};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) item->m_image.SetColorAt(x, y, c);
  return item;
}

COLORREF Shade(int i) { return RGB(40 + (i * 37) % 200, 200 - (i * 53) % 160, 60 + (i * 29) % 180); }

// Records what the strip tells its parent.
class CStripHost : public CPageHostWnd {
 public:
  std::vector<std::pair<WPARAM, LPARAM>> buttons;
  std::vector<UINT> commands;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_FRAMESTRIP_BUTTON) {
      buttons.push_back({wp, lp});
      return 0;
    }
    if (msg == WM_COMMAND && lp == 0) commands.push_back(LOWORD(wp));
    return CPageHostWnd::WindowProc(msg, wp, lp);
  }
};

class FrameStrip : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host.CreateHost(900, 360));
    CRect rc;
    host.GetClientRect(&rc);
    ASSERT_TRUE(strip.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP, rc, &host, IDC_FRAME_LIST));
    strip.ShowFrames(&frames);
  }
  void TearDown() override {
    strip.DestroyWindow();
    host.DestroyWindow();
  }
  void Fill(int n, int w = 64, int h = 64) {
    for (int i = 0; i < n; ++i) {
      CString path;
      path.Format(L"C:\\scans\\IM%04d.dcm", i + 1);
      strip.PutFrame(MakeFrame(path, -1, w, h, Shade(i)), -1);
    }
    strip.SetThumbnailSize(w, h);
    strip.EnsureVisible(0);
  }
  CRect Box(int i) {
    CRect item, box;
    strip.GetItemRect(i, &item);
    strip.GetItemBoxRect(&item, &box);
    return box;
  }
  CPoint Center(int i) { return Box(i).CenterPoint(); }
  void Post(UINT msg, UINT flags, CPoint p) { strip.PostMessage(msg, flags, Pt(p.x, p.y)); }
  // The list's order, which the strip's items show.
  CString Order() {
    CString s;
    EXPECT_EQ(strip.GetItemCount(), (int)frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
      EXPECT_EQ(frames[i].get(), strip.GetFrame((int)i)) << i;
      s += frames[i]->m_sourcePath.Right(5).Left(1);
    }
    return s;
  }

  CStripHost host;
  CFrameList frames;
  CFrameStripCtrl strip;
};
}  // namespace

TEST_F(FrameStrip, BoxSizeFollowsTheFirstPicture) {
  EXPECT_EQ(256, strip.m_nItemWidth);
  // A picture's size, the box it gives, and the item width, which follows
  // the box (120-wide boxes stand 136 apart); a size of 0 changes nothing.
  const struct {
    int w, h, boxW, boxH, item;
  } steps[] = {{1024, 768, 240, 180, 256}, {300, 600, 120, 240, 136}, {100, 80, 100, 80, 116},
               {480, 480, 240, 240, 256}, {0, 50, 240, 240, 256}};
  for (const auto& step : steps) {
    strip.SetThumbnailSize(step.w, step.h);
    EXPECT_EQ(step.boxW, strip.m_nThumbWidth) << step.w << "x" << step.h;
    EXPECT_EQ(step.boxH, strip.m_nThumbHeight) << step.w << "x" << step.h;
    EXPECT_EQ(step.item, strip.m_nItemWidth) << step.w << "x" << step.h;
  }
  // The box sits centred above the caption line.
  CRect item(0, 0, 256, 300), box;
  strip.GetItemBoxRect(&item, &box);
  EXPECT_EQ(CRect(8, 20, 248, 260), box);
}

TEST_F(FrameStrip, BoxesNeverOverlapWhenTheSizeShrinks) {
  Fill(6, 240, 240);
  strip.SetThumbnailSize(30, 20);
  for (int i = 0; i + 1 < strip.GetItemCount(); ++i) {
    CRect a = Box(i), b = Box(i + 1);
    a.InflateRect(4, 4);  // the selection frames
    b.InflateRect(4, 4);
    EXPECT_LE(a.right, b.left) << i;
  }
}

TEST_F(FrameStrip, CaptionsLabelsAndFrames) {
  Fill(12);
  strip.PutFrame(MakeFrame(L"C:\\scans\\cine.dcm", 4, 64, 64, RGB(0, 0, 0)), 0);
  EXPECT_STREQ(L"cine.dcm (5)", CFrameStripCtrl::MakeCaption(*strip.GetFrame(0)));
  EXPECT_STREQ(L"IM0001.dcm", CFrameStripCtrl::MakeCaption(*strip.GetFrame(1)));
  strip.SelectItem(2, TRUE, TRUE, TRUE);
  strip.EnsureVisible(9);
  // The real cursor goes there too, so that no mouse-leave from wherever it was undoes the hover.
  CPoint hover = Center(9);
  strip.ClientToScreen(&hover);
  ::SetCursorPos(hover.x, hover.y);
  strip.SendMessage(WM_MOUSEMOVE, 0, Pt(Center(9).x, Center(9).y));
  CWindowShot shot = ShotOf(strip.m_hWnd, true);
  shot.SavePng(L"frame-strip.png");
  // Captions are cached once drawn.
  EXPECT_STREQ(L"cine.dcm (5)", strip.GetFrame(0)->m_caption);
  // The tenth frame (index 9): its picture, its label "10" four-pixel aligned.
  CRect box = Box(9);
  EXPECT_TRUE(ColorNear(Shade(8), shot.At(box.left + 20, box.bottom - 5), 2));
  int labelRight = box.left;
  while (labelRight < box.right && !ColorNear(shot.At(labelRight, box.top + 7), Shade(8), 2)) ++labelRight;
  EXPECT_EQ(0, (labelRight - box.left) % 4);
  EXPECT_GE(labelRight - box.left, 16);
  int white = 0;
  for (int x = box.left; x < labelRight; ++x)
    for (int y = box.top; y < box.top + 14; ++y) white += shot.At(x, y) == RGB(255, 255, 255);
  EXPECT_GT(white, 5);  // the number itself
  // Hot item: grey frames and the delete button; other items white frames.
  EXPECT_EQ(RGB(0xC0, 0xC0, 0xC0), shot.At(box.left - 2, box.top + 40));
  int red = 0;
  for (int y = box.top; y < box.top + 20; ++y)
    for (int x = box.right - 20; x < box.right; ++x) {
      COLORREF c = shot.At(x, y);
      red += GetRValue(c) > 180 && GetGValue(c) < 90;
    }
  EXPECT_GT(red, 50);
  CRect other = Box(8);
  EXPECT_EQ(RGB(255, 255, 255), shot.At(other.left - 2, other.top + 40));
  // Selected item: four frames of 0xFFA000 (as stored: 0x00BBGGRR).
  strip.EnsureVisible(2);
  shot = ShotOf(strip.m_hWnd, true);
  CRect sel = Box(2);
  for (int d = 1; d <= 4; ++d) EXPECT_EQ((COLORREF)0xFFA000, shot.At(sel.left - d, sel.top + 30)) << d;
}

TEST_F(FrameStrip, DeleteButtonOnlyInTheCorner) {
  Fill(3);
  CRect box = Box(1);
  strip.SendMessage(WM_MOUSEMOVE, 0, Pt(box.right - 5, box.top + 5));
  EXPECT_EQ(1, strip.GetHotItem());
  EXPECT_EQ(ID_FRAME_DELETE, strip.HitTestItemButton(1, box.right - 20, box.top + 19));
  EXPECT_EQ(-1, strip.HitTestItemButton(1, box.right - 21, box.top + 5));
  EXPECT_EQ(-1, strip.HitTestItemButton(1, box.right - 5, box.top + 20));
  // A click in the corner reaches the page; nothing is selected.
  strip.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, Pt(box.right - 5, box.top + 5));
  strip.SendMessage(WM_LBUTTONUP, 0, Pt(box.right - 5, box.top + 5));
  ASSERT_EQ(1u, host.buttons.size());
  EXPECT_EQ((WPARAM)ID_FRAME_DELETE, host.buttons[0].first);
  EXPECT_EQ(1, host.buttons[0].second);
  EXPECT_EQ(0, strip.GetSelectedCount());
  // 21 pixels left of the box's right edge the click selects the item.
  strip.SendMessage(WM_MOUSEMOVE, 0, Pt(box.right - 21, box.top + 5));
  strip.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, Pt(box.right - 21, box.top + 5));
  strip.SendMessage(WM_LBUTTONUP, 0, Pt(box.right - 21, box.top + 5));
  EXPECT_EQ(1u, host.buttons.size());
  EXPECT_EQ(1, strip.GetSelectedCount());
  EXPECT_EQ(STRIP_ITEM_SELECTED, strip.GetItemState(1) & STRIP_ITEM_SELECTED);
}

TEST_F(FrameStrip, KeysAndDoubleClickGoToThePage) {
  Fill(3);
  strip.SendMessage(WM_KEYDOWN, VK_DELETE, 1);
  BYTE keys[256];
  ::GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  ::SetKeyboardState(keys);
  strip.SendMessage(WM_KEYDOWN, VK_DELETE, 1);
  keys[VK_CONTROL] = 0;
  ::SetKeyboardState(keys);
  // A double-click without a selection opens nothing.
  strip.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, Pt(3, 3));
  strip.SelectItem(0, TRUE, TRUE, TRUE);
  CPoint c = Center(0);
  strip.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, Pt(c.x, c.y));
  PumpPending();
  std::vector<UINT> want = {ID_REMOVE, ID_REMOVE_ALL, ID_OPEN_SOURCE_FILE};
  EXPECT_EQ(want, host.commands);
}

TEST_F(FrameStrip, DragMovesFramesUnlessLocked) {
  Fill(4);
  EXPECT_STREQ(L"1234", Order());
  CPoint from = Center(0), to = Center(3);
  to.x += 20;  // right of the last item's middle
  Post(WM_MOUSEMOVE, 0, from);
  Post(WM_LBUTTONDOWN, MK_LBUTTON, from);
  Post(WM_MOUSEMOVE, MK_LBUTTON, CPoint(from.x + 5, from.y));
  Post(WM_MOUSEMOVE, MK_LBUTTON, to);
  Post(WM_LBUTTONUP, 0, to);
  PumpPending();
  EXPECT_STREQ(L"2341", Order());
  strip.Lock(TRUE);
  from = Center(3);
  to = Center(0);
  to.x -= 20;
  Post(WM_MOUSEMOVE, 0, from);
  Post(WM_LBUTTONDOWN, MK_LBUTTON, from);
  Post(WM_MOUSEMOVE, MK_LBUTTON, CPoint(from.x - 5, from.y));
  Post(WM_MOUSEMOVE, MK_LBUTTON, to);
  Post(WM_LBUTTONUP, 0, to);
  PumpPending();
  EXPECT_STREQ(L"2341", Order());
  EXPECT_FALSE(strip.MoveItem(0, 3));
  strip.Lock(FALSE);
  EXPECT_TRUE(strip.MoveItem(3, 0));
  EXPECT_STREQ(L"1234", Order());
}
