// The drawn menu bar driven as a user would under Wine: clicks and posted
// keys reach the popups' own loop; steps run while a popup is open.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/UiTestSupport.h"
#include "tests/viewer/ViewerTestSupport.h"

namespace {
class MenuBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteViewerKey();
    SetSavedPlacement(app.m_settings, 60, 40, 640, 420);
    frame = app.Start();
    ASSERT_NE(nullptr, frame);
    bar = &frame->m_wndMenuBar;
    menu = bar->GetMenu();
    view = GetPlayView();
    ASSERT_NE(nullptr, view);
    view->SetFocus();
  }
  void TearDown() override {
    if (app.m_pMainWnd) app.m_pMainWnd->SendMessage(WM_CLOSE);
  }

  HMENU Popup(int i) const { return ::GetSubMenu(menu, i); }
  bool IsOpen(int i) const { return bar->IsTrackingPopup() && bar->GetTrackedPopup() == Popup(i); }
  bool Highlighted(HMENU popup, int pos) const { return (::GetMenuState(popup, pos, MF_BYPOSITION) & MF_HILITE) != 0; }
  int HighlightedItem(HMENU popup) const {
    for (int i = 0; i < ::GetMenuItemCount(popup); ++i)
      if (Highlighted(popup, i)) return i;
    return -1;
  }
  CPoint ItemCenter(int i) const { return bar->GetItem(i)->GetRect().CenterPoint(); }
  void Key(UINT vk) { ::PostMessageW(frame->m_hWnd, WM_KEYDOWN, vk, 0x00000001); }
  bool WaitClosed() {
    bool closed = PumpAppUntil([&] { return !bar->IsTrackingPopup() && frame->m_menuSteps.empty(); });
    if (!closed || frame->m_bStepsTimedOut)
      ADD_FAILURE() << "steps left " << frame->m_menuSteps.size() << ", timed out " << frame->m_bStepsTimedOut
                    << ", popups " << frame->Count(WM_INITMENUPOPUP) << ", idles " << frame->m_nMenuIdles
                    << ", tracking " << bar->IsTrackingPopup() << ", menu mode " << bar->IsInMenuMode();
    return closed && !frame->m_bStepsTimedOut;
  }
  bool Saw(UINT command) const {
    return std::find(frame->m_commands.begin(), frame->m_commands.end(), command) != frame->m_commands.end();
  }

  CViewerTestApp app;
  CRecordingFrame* frame = nullptr;
  CMenuBar* bar = nullptr;
  HMENU menu = nullptr;
  CPlayView* view = nullptr;
};
}  // namespace

TEST_F(MenuBarTest, ClickOpensPopupArrowsWrapAndEscReturnsStepByStep) {
  bool edit = false, editNoSelection = false, viewFirst = false, wrapRight = false, wrapLeft = false;
  frame->m_menuSteps = {
      [&] {
        if (!IsOpen(1)) return false;
        edit = true;
        editNoSelection = HighlightedItem(Popup(1)) == -1;  // opened by the mouse
        Key(VK_RIGHT);
        return true;
      },
      [&] {
        if (!IsOpen(2) || HighlightedItem(Popup(2)) < 0) return false;
        viewFirst = HighlightedItem(Popup(2)) == 0;  // the keyboard opens with the first item
        Key(VK_RIGHT);
        return true;
      },
      [&] { return IsOpen(3) && (Key(VK_RIGHT), true); },
      [&] { return IsOpen(4) && (Key(VK_RIGHT), true); },
      [&] {
        if (!IsOpen(0)) return false;
        wrapRight = true;
        Key(VK_LEFT);
        return true;
      },
      [&] {
        if (!IsOpen(4)) return false;
        wrapLeft = true;
        Key(VK_ESCAPE);
        return true;
      },
  };
  PostClick(bar->m_hWnd, ItemCenter(1));
  ASSERT_TRUE(WaitClosed());
  EXPECT_TRUE(edit);
  EXPECT_TRUE(editNoSelection);
  EXPECT_TRUE(viewFirst);
  EXPECT_TRUE(wrapRight);
  EXPECT_TRUE(wrapLeft);
  // The frame saw the popup open through its popup-menu message.
  bool sawEdit = false;
  for (const auto& e : frame->m_log) sawEdit |= e.message == WM_INITMENUPOPUP && (HMENU)e.wParam == Popup(1);
  EXPECT_TRUE(sawEdit);

  // Esc in the popup returned to the bar: still in menu mode with the focus and the mouse.
  PumpApp();
  EXPECT_TRUE(bar->IsInMenuMode());
  EXPECT_EQ(bar->m_hWnd, ::GetFocus());
  EXPECT_EQ(bar->m_hWnd, ::GetCapture());
  EXPECT_EQ(-1, bar->GetHotIndex());
  // A second Esc leaves menu mode and gives the focus back; it does not exit.
  ::PostMessageW(bar->m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  EXPECT_TRUE(PumpAppUntil([&] { return !bar->IsInMenuMode(); }));
  EXPECT_EQ(view->m_wndPlayer.m_hWnd, ::GetFocus());  // the view hands its focus to the player
  EXPECT_NE(bar->m_hWnd, ::GetCapture());
  EXPECT_FALSE(Saw(ID_APP_EXIT));
  EXPECT_NE(nullptr, app.m_pMainWnd);
}

TEST_F(MenuBarTest, SubmenuKeysStayInsideUntilBackAtTheFirstPopup) {
  // File > Recent Files/Folders: Right opens the submenu instead of moving on;
  // Left closes it (no selection message comes back); the next Left moves on.
  HMENU file = Popup(0);
  const int recent = 7;
  ASSERT_NE(nullptr, ::GetSubMenu(file, recent));
  bool submenuOpened = false, stillFile = false, movedOn = false;
  int recentInits = 0;
  frame->m_menuSteps = {
      [&] {
        if (!IsOpen(0) || HighlightedItem(file) != 0) return false;
        Key(VK_UP);  // wraps to Exit
        return true;
      },
      [&] { return HighlightedItem(file) == 9 && (Key(VK_UP), true); },
      [&] { return HighlightedItem(file) == recent && (Key(VK_RIGHT), true); },
      [&] {
        for (const auto& e : frame->m_log)
          recentInits += e.message == WM_INITMENUPOPUP && (HMENU)e.wParam == ::GetSubMenu(file, recent);
        if (!recentInits) return false;
        submenuOpened = IsOpen(0);
        Key(VK_LEFT);
        return true;
      },
      [&] {
        if (HighlightedItem(file) != recent) return false;
        stillFile = IsOpen(0);
        Key(VK_LEFT);
        return true;
      },
      [&] {
        if (!IsOpen(4)) return false;
        movedOn = true;
        Key(VK_ESCAPE);
        return true;
      },
  };
  ::PostMessageW(bar->m_hWnd, WM_MENUBAR_POPUP, 0, 1);
  ASSERT_TRUE(WaitClosed());
  EXPECT_TRUE(submenuOpened);
  EXPECT_TRUE(stillFile);
  EXPECT_TRUE(movedOn);
  ::PostMessageW(bar->m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  EXPECT_TRUE(PumpAppUntil([&] { return !bar->IsInMenuMode(); }));
}

TEST_F(MenuBarTest, AltLetterAndAltAloneOpenFromTheKeyboard) {
  // Alt+T (captions without "&" use their first letter): Tools opens with its first item selected.
  bool tools = false;
  CString prompt;
  frame->m_menuSteps = {
      [&] {
        if (!IsOpen(3) || HighlightedItem(Popup(3)) < 0) return false;
        tools = HighlightedItem(Popup(3)) == 0;
        prompt = frame->m_wndStatusBar.GetPaneText(0);  // the highlighted item's prompt
        Key(VK_ESCAPE);
        return true;
      },
  };
  ::PostMessageW(view->m_hWnd, WM_SYSKEYDOWN, 'T', 0x20000001);
  ASSERT_TRUE(WaitClosed());
  EXPECT_TRUE(tools);
  EXPECT_STREQ(L"Change/view application settings", prompt);
  EXPECT_STREQ(L"Ready", frame->m_wndStatusBar.GetPaneText(0));
  ::PostMessageW(bar->m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  EXPECT_TRUE(PumpAppUntil([&] { return !bar->IsInMenuMode(); }));
  EXPECT_EQ(view->m_wndPlayer.m_hWnd, ::GetFocus());  // the view hands its focus to the player

  // Alt alone: menu mode on the first item; arrows move and wrap without
  // reaching the frame's Left/Right accelerators; Down opens the popup.
  frame->m_commands.clear();
  frame->SendMessage(WM_SYSCOMMAND, SC_KEYMENU, 0);
  EXPECT_TRUE(bar->IsInMenuMode());
  EXPECT_EQ(0, bar->GetHotIndex());
  EXPECT_EQ(bar->m_hWnd, ::GetFocus());
  ::PostMessageW(bar->m_hWnd, WM_KEYDOWN, VK_LEFT, 0x014B0001);
  EXPECT_TRUE(PumpAppUntil([&] { return bar->GetHotIndex() == 4; }));
  ::PostMessageW(bar->m_hWnd, WM_KEYDOWN, VK_RIGHT, 0x014D0001);
  ::PostMessageW(bar->m_hWnd, WM_KEYDOWN, VK_RIGHT, 0x014D0001);
  EXPECT_TRUE(PumpAppUntil([&] { return bar->GetHotIndex() == 1; }));
  EXPECT_FALSE(Saw(ID_FILE_PREVIOUS));
  EXPECT_FALSE(Saw(ID_FILE_NEXT));
  bool editFirst = false;
  frame->m_menuSteps = {
      [&] {
        if (!IsOpen(1) || HighlightedItem(Popup(1)) < 0) return false;
        editFirst = HighlightedItem(Popup(1)) == 0;
        Key(VK_ESCAPE);
        return true;
      },
  };
  ::PostMessageW(bar->m_hWnd, WM_KEYDOWN, VK_DOWN, 0x01500001);
  ASSERT_TRUE(PumpAppUntil([&] { return frame->m_menuSteps.empty() && !bar->IsTrackingPopup(); }));
  EXPECT_TRUE(editFirst);
  // Back on the bar with nothing hot: Right starts at the first item.
  EXPECT_TRUE(bar->IsInMenuMode());
  ::PostMessageW(bar->m_hWnd, WM_KEYDOWN, VK_RIGHT, 0x014D0001);
  EXPECT_TRUE(PumpAppUntil([&] { return bar->GetHotIndex() == 0; }));
  // Alt again leaves menu mode.
  ::PostMessageW(bar->m_hWnd, WM_SYSKEYDOWN, VK_MENU, 0x20380001);
  EXPECT_TRUE(PumpAppUntil([&] { return !bar->IsInMenuMode(); }));
  EXPECT_EQ(view->m_wndPlayer.m_hWnd, ::GetFocus());  // the view hands its focus to the player
  EXPECT_FALSE(Saw(ID_APP_EXIT));
}

TEST_F(MenuBarTest, HoverSwitchesPopupsAndScreenshotShowsTheOpenMenu) {
  frame->SetTopMost(TRUE);  // nothing of other programs covers the bar
  CWindowShot shot;
  bool toolsByHover = false;
  CRect fileItem = bar->GetItem(0)->GetRect();
  bar->ClientToScreen(&fileItem);
  frame->m_menuSteps = {
      [&] {
        if (!IsOpen(0)) return false;
        shot = CaptureScreen();
        CPoint tools = ItemCenter(3);
        CPoint screen = tools;
        bar->ClientToScreen(&screen);
        ::SetCursorPos(screen.x, screen.y);
        ::PostMessageW(bar->m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(tools.x, tools.y));
        return true;
      },
      [&] {
        if (!IsOpen(3)) return false;
        toolsByHover = true;
        Key(VK_ESCAPE);
        return true;
      },
  };
  PostClick(bar->m_hWnd, ItemCenter(0));
  ASSERT_TRUE(WaitClosed());
  EXPECT_TRUE(toolsByHover);
  ::PostMessageW(bar->m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  EXPECT_TRUE(PumpAppUntil([&] { return !bar->IsInMenuMode(); }));

  ASSERT_FALSE(shot.IsEmpty());
  shot.SavePng(L"viewer-menu-open.png");
  // The pressed item on the bar, and the popup's light face below it over the black view.
  EXPECT_TRUE(ColorNear(RGB(0x60, 0x60, 0x60), shot.At(fileItem.left + 2, fileItem.top + 2), 2));
  const COLORREF face = shot.At(fileItem.left + 6, fileItem.bottom + 30);
  EXPECT_GT(GetRValue(face) + GetGValue(face) + GetBValue(face), 3 * 150);
}

TEST_F(MenuBarTest, PopupNearTheScreenBottomOpensUpwards) {
  const int cy = ::GetSystemMetrics(SM_CYSCREEN);
  frame->SetWindowPos(&CWnd::wndTopMost, 100, cy - 80, 500, 300, SWP_NOACTIVATE);
  CRect item = bar->GetItem(2)->GetRect();
  bar->ClientToScreen(&item);
  ASSERT_GT(item.bottom, cy - 80);
  CRect popup;
  frame->m_menuSteps = {
      [&] {
        if (!IsOpen(2)) return false;
        HWND menuWindow = ::FindWindowW(L"#32768", nullptr);
        if (!menuWindow || !::IsWindowVisible(menuWindow)) return false;
        ::GetWindowRect(menuWindow, &popup);
        Key(VK_ESCAPE);
        return true;
      },
  };
  PostClick(bar->m_hWnd, ItemCenter(2));
  ASSERT_TRUE(WaitClosed());
  EXPECT_LE(popup.bottom, item.top + 1);  // above the item, not over it
  EXPECT_GT(popup.Height(), 40);
}

TEST_F(MenuBarTest, EmptyBarAndStatusBarDragTheWindowAndHotTracking) {
  CRect client;
  bar->GetClientRect(&client);
  CRect last = bar->GetItem(4)->GetRect();
  CPoint empty(last.right + 40, client.Height() / 2);
  ASSERT_LT(empty.x, client.right);
  PostClick(bar->m_hWnd, empty);
  ASSERT_TRUE(PumpAppUntil([&] { return frame->Count(WM_NCLBUTTONDOWN) == 1; }));
  const auto* drag = frame->Last(WM_NCLBUTTONDOWN);
  EXPECT_EQ((WPARAM)HTCAPTION, drag->wParam);
  CPoint screen = empty;
  bar->ClientToScreen(&screen);
  EXPECT_EQ(screen.x, (short)LOWORD(drag->lParam));
  EXPECT_EQ(screen.y, (short)HIWORD(drag->lParam));
  EXPECT_FALSE(bar->IsTrackingPopup());
  EXPECT_EQ(0, frame->Count(WM_INITMENUPOPUP));

  // A press anywhere on the status bar, pane text included.
  CRect pane;
  frame->m_wndStatusBar.GetItemRect(0, &pane);
  PostClick(frame->m_wndStatusBar.m_hWnd, CPoint(pane.left + 10, pane.CenterPoint().y));
  ASSERT_TRUE(PumpAppUntil([&] { return frame->Count(WM_NCLBUTTONDOWN) == 2; }));
  EXPECT_EQ((WPARAM)HTCAPTION, frame->Last(WM_NCLBUTTONDOWN)->wParam);

  // Hot tracking: the item under the mouse turns hot and is drawn so; leaving clears it.
  CPoint help = ItemCenter(4);
  ::PostMessageW(bar->m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(help.x, help.y));
  EXPECT_TRUE(PumpAppUntil([&] { return bar->GetHotIndex() == 4; }));
  CWindowShot shot = CaptureWindow(bar->m_hWnd);
  shot.SavePng(L"viewer-menubar-hot.png");
  CRect helpRect = bar->GetItem(4)->GetRect(), fileRect = bar->GetItem(0)->GetRect();
  EXPECT_TRUE(ColorNear(RGB(0x60, 0x60, 0x60), shot.At(helpRect.left + 2, helpRect.top + 2), 2));
  EXPECT_TRUE(ColorNear(RGB(0x30, 0x30, 0x30), shot.At(fileRect.left + 2, fileRect.top + 2), 2));
  bool white = false, grey = false;
  for (int y = helpRect.top; y < helpRect.bottom; ++y)
    for (int x = helpRect.left; x < helpRect.right; ++x) white |= ColorNear(RGB(0xFF, 0xFF, 0xFF), shot.At(x, y), 24);
  for (int y = fileRect.top; y < fileRect.bottom; ++y)
    for (int x = fileRect.left; x < fileRect.right; ++x) grey |= ColorNear(RGB(0xC0, 0xC0, 0xC0), shot.At(x, y), 24);
  EXPECT_TRUE(white);  // hot text
  EXPECT_TRUE(grey);   // plain text
  ::PostMessageW(bar->m_hWnd, WM_MOUSELEAVE, 0, 0);
  EXPECT_TRUE(PumpAppUntil([&] { return bar->GetHotIndex() == -1; }));
}

TEST_F(MenuBarTest, ChosenItemReachesTheFrameAsItsCommand) {
  // Alt+V, down to "Status Bar", Enter: the command hides the status bar.
  frame->m_menuSteps = {
      [&] { return IsOpen(2) && HighlightedItem(Popup(2)) == 0 && (Key(VK_DOWN), true); },
      [&] { return HighlightedItem(Popup(2)) == 1 && (Key(VK_DOWN), true); },
      [&] { return HighlightedItem(Popup(2)) == 2 && (Key(VK_DOWN), true); },
      [&] {
        if (HighlightedItem(Popup(2)) != 4) return false;  // past the separator
        ::PostMessageW(frame->m_hWnd, WM_KEYDOWN, VK_RETURN, 0x001C0001);
        return true;
      },
  };
  ::PostMessageW(view->m_hWnd, WM_SYSKEYDOWN, 'V', 0x20000001);
  ASSERT_TRUE(WaitClosed());
  EXPECT_TRUE(PumpAppUntil([&] { return !frame->m_wndStatusBar.IsWindowVisible(); }));
  EXPECT_TRUE(Saw(ID_VIEW_STATUS_BAR));
  // Choosing ends menu mode and gives the focus back.
  EXPECT_FALSE(bar->IsInMenuMode());
  EXPECT_EQ(view->m_wndPlayer.m_hWnd, ::GetFocus());  // the view hands its focus to the player
}
