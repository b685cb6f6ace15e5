// The converter program's "Main Menu" button and the update check it runs on
// request and at start-up, against the local test web server.
#include <gtest/gtest.h>

#include <ctime>

#include "tests/converter/program/ProgramDriver.h"
#include "tests/foundation/web/WebTestSupport.h"

using namespace program;

namespace {
const int kMainToolBar = 59392;
const UINT kMainMenuButton = 32778;
const UINT kCheckForUpdates = 32834;

CString UpdateUrl(LPCTSTR name) { return ServerUrl(CString(L"/update/") + name + L".xml"); }

// A click posted to the toolbar at a client point, as the notes on the
// common controls describe for the drop-down arrow.
void ClickToolBar(HWND bar, int x, int y) {
  ::PostMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  ::PostMessageW(bar, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

class ProgramMenu : public CProgramTest {
 protected:
  HWND Launch() { return StartAndWait(IsShown); }
  HWND Popup() const {
    return m_program.Find([](HWND h) { return ClassOf(h) == L"#32768"; });
  }
  HWND WaitPopup() const {
    HWND popup = nullptr;
    WaitFor([&] { return (popup = Popup()) != nullptr; }, 20000);
    return popup;
  }
  // A dialog of the program other than the main window holding this control.
  HWND WaitDialogWith(int id) const {
    return m_program.WaitWindow([&](HWND h) { return h != m_hMain && ::GetDlgItem(h, id) != nullptr; }, 60000);
  }
};
}  // namespace

TEST_F(ProgramMenu, MainMenuDropsDownBelowItsButtonAndRoutesToTheApplication) {
  ASSERT_TRUE(Launch());
  HWND bar = ::GetDlgItem(m_hMain, kMainToolBar);
  ASSERT_NE(bar, nullptr);
  // After the idle updates the button is still there to be pressed.
  SendBounded(m_hMain, WM_NULL, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return SendBounded(bar, TB_ISBUTTONENABLED, kMainMenuButton, 0) != 0; }, 5000));
  EXPECT_EQ(SendBounded(bar, TB_BUTTONCOUNT, 0, 0), 1);

  // The arrow part: the menu drops down from the button's lower left corner.
  CRect client;
  ::GetClientRect(bar, &client);
  ClickToolBar(bar, client.right - 4, client.Height() / 2);
  HWND popup = WaitPopup();
  ASSERT_NE(popup, nullptr) << "the main menu did not open";
  EXPECT_TRUE(SendBounded(bar, TB_ISBUTTONPRESSED, kMainMenuButton, 0) != 0);
  CRect button = ScreenRect(bar);
  CRect menu = ScreenRect(popup);
  EXPECT_NEAR(menu.left, button.left, 2);
  EXPECT_NEAR(menu.top, button.bottom, 2);
  // Without a window manager Wine stacks every window itself; the popup is
  // brought up before its picture is taken, then its items are waited for.
  ::SetWindowPos(popup, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ::RedrawWindow(popup, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  CWindowShot screen;
  int other = 0;
  WaitFor(
      [&] {
        screen = CaptureScreen();
        COLORREF back = screen.At(menu.left + menu.Width() / 2, menu.top + 3);
        other = 0;
        for (int y = menu.top; y < menu.bottom; y += 2)
          for (int x = menu.left; x < menu.right; x += 2)
            if (!ColorNear(screen.At(x, y), back, 24)) ++other;
        return other > 50;
      },
      10000);
  screen.SavePng(L"reelsmith-main-menu.png");
  EXPECT_GT(other, 50) << "the menu shows no items";

  // The last item, "About...", chosen with the keys: the application shows the box.
  ::PostMessageW(m_hMain, WM_KEYDOWN, VK_UP, 0);
  ::PostMessageW(m_hMain, WM_KEYDOWN, VK_RETURN, 0);
  HWND about = m_program.WaitDialog(L"About Reelsmith");
  ASSERT_NE(about, nullptr) << "About... did not reach the application";
  EXPECT_EQ(Popup(), nullptr);
  EXPECT_TRUE(WaitFor([&] { return SendBounded(bar, TB_ISBUTTONPRESSED, kMainMenuButton, 0) == 0; }, 5000));
  PostCommand(about, IDOK);
  EXPECT_TRUE(WaitFor([&] { return !IsShown(about); }));

  // The main part of the button opens the same menu.
  ClickToolBar(bar, 8, client.Height() / 2);
  popup = WaitPopup();
  ASSERT_NE(popup, nullptr) << "the button's main part does nothing";
  ::PostMessageW(m_hMain, WM_CANCELMODE, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return Popup() == nullptr; }));
  EXPECT_TRUE(CloseAndWait());
}

TEST_F(ProgramMenu, CheckForUpdatesOnRequestReportsTheNewestVersion) {
  ASSERT_GT(ServerPort(), 0) << "the test web server is not running";
  WriteString(kProgramKey, L"UpdateInfoURL", UpdateUrl(L"equal"));
  ASSERT_TRUE(Launch());
  const time_t start = time(nullptr);
  ::PostMessageW(m_hMain, WM_COMMAND, kCheckForUpdates, 0);
  // The progress dialog, then the answer.
  HWND box = m_program.WaitWindow(
      [&](HWND h) { return h != m_hMain && MessageBoxText(h).Find(L"newest version") >= 0; }, 60000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), L"You are already using the newest version.\nPlease check again in future.");
  PostCommand(box, IDOK);
  EXPECT_TRUE(WaitFor([&] { return !IsShown(box); }));
  long long last = ReadDword(kSettingsKey, L"LastUpdateCheck");
  EXPECT_GE(last, (long long)start - 1);
  EXPECT_TRUE(CloseAndWait());
}

TEST_F(ProgramMenu, AutomaticCheckAtStartOffersANewerVersion) {
  ASSERT_GT(ServerPort(), 0) << "the test web server is not running";
  WriteString(kProgramKey, L"UpdateInfoURL", UpdateUrl(L"newer"));
  WriteDword(kSettingsKey, L"AutoCheckUpdate", 1);
  const time_t start = time(nullptr);
  ASSERT_TRUE(Launch());
  HWND offer = WaitDialogWith(1053);
  ASSERT_NE(offer, nullptr) << "no newer version offered";
  EXPECT_EQ(TextOf(::GetDlgItem(offer, 1053)), L"1.12.0");
  PostCommand(offer, IDCANCEL);
  EXPECT_TRUE(WaitFor([&] { return !IsShown(offer); }));
  EXPECT_GE(ReadDword(kSettingsKey, L"LastUpdateCheck"), (long long)start - 1);
  EXPECT_TRUE(CloseAndWait());
}

TEST_F(ProgramMenu, AutomaticCheckWaitsForItsInterval) {
  ASSERT_GT(ServerPort(), 0) << "the test web server is not running";
  WriteString(kProgramKey, L"UpdateInfoURL", UpdateUrl(L"newer"));
  WriteDword(kSettingsKey, L"AutoCheckUpdate", 1);
  WriteDword(kSettingsKey, L"AutoCheckUpdate.Every", 7);
  const DWORD yesterday = (DWORD)(time(nullptr) - 86400);
  WriteDword(kSettingsKey, L"LastUpdateCheck", yesterday);
  ASSERT_TRUE(Launch());
  // Posted after the start-up's own check message, so handled after it.
  ASSERT_TRUE(CloseAndWait());
  EXPECT_EQ(ReadDword(kSettingsKey, L"LastUpdateCheck"), (long long)yesterday);

  // Due once the interval is 1 day and the date has changed.
  WriteDword(kSettingsKey, L"AutoCheckUpdate.Every", 1);
  ASSERT_TRUE(Launch());
  HWND offer = WaitDialogWith(1053);
  ASSERT_NE(offer, nullptr);
  PostCommand(offer, IDCANCEL);
  EXPECT_TRUE(WaitFor([&] { return !IsShown(offer); }));
  EXPECT_GT(ReadDword(kSettingsKey, L"LastUpdateCheck"), (long long)yesterday);
  EXPECT_TRUE(CloseAndWait());
}
