// The status bar: indicators from strings, the stretching message pane,
// pane texts through idle updates, and the message pane through WM_SETTEXT.
#include <gtest/gtest.h>

#include "tests/classlib/bars/BarsTest.h"
#include "tests/support/UiTestSupport.h"
#include "afxwin.h"

namespace {
// A plain window standing in for the bar's owner, with update handlers.
class CHostWnd : public CWnd {
 public:
  BOOL m_bTwoOn = TRUE;
  CString m_strTwo = L"Two!";

 protected:
  afx_msg void OnUpdateTwo(CCmdUI* ui) {
    ui->Enable(m_bTwoOn);
    ui->SetText(m_strTwo);
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CHostWnd, CWnd)
  ON_UPDATE_COMMAND_UI(ID_PANE_TWO, OnUpdateTwo)
END_MESSAGE_MAP()

std::vector<int> Rights(CStatusBar& bar) {
  int parts[8] = {0};
  int n = (int)bar.SendMessage(SB_GETPARTS, 8, (LPARAM)parts);
  return std::vector<int>(parts, parts + n);
}
}  // namespace

TEST(StatusBar, IndicatorsTextsAndLayout) {
  CHostWnd host;
  ASSERT_TRUE(host.CreateEx(0, AfxRegisterWndClass(0), L"Status host", WS_OVERLAPPEDWINDOW, 50, 50, 500, 200, nullptr,
                            nullptr));
  CStatusBar bar;
  ASSERT_TRUE(bar.Create(&host));
  // An indicator without its string fails.
  const UINT missing[] = {ID_SEPARATOR, ID_PANE_ONE, ID_PANE_NOSTRING};
  EXPECT_FALSE(bar.SetIndicators(missing, 3));
  const UINT ids[] = {ID_SEPARATOR, ID_PANE_ONE, ID_PANE_TWO};
  ASSERT_TRUE(bar.SetIndicators(ids, 3));
  EXPECT_EQ(3, bar.GetCount());
  EXPECT_EQ(2, bar.CommandToIndex(ID_PANE_TWO));
  EXPECT_STREQ(L"One pane", bar.GetPaneText(1));  // panes start with their string
  EXPECT_TRUE(bar.GetStyle() & SBARS_SIZEGRIP);   // the host can be sized

  CRect client;
  host.GetClientRect(&client);
  CSize size = bar.CalcFixedLayout(TRUE, TRUE);
  EXPECT_EQ(32767, size.cx);
  EXPECT_GE(size.cy, 16);
  bar.MoveWindow(0, client.bottom - size.cy, client.Width(), size.cy);
  bar.SetPaneInfo(1, ID_PANE_ONE, SBPS_NOBORDERS, 100);
  bar.SetPaneInfo(2, ID_PANE_TWO, SBPS_NOBORDERS, 150);
  // The message pane takes what the others leave.
  EXPECT_EQ((std::vector<int>{client.Width() - 250, client.Width() - 150, client.Width()}), Rights(bar));
  host.SetWindowPos(nullptr, 0, 0, 640, 200, SWP_NOMOVE | SWP_NOZORDER);
  host.GetClientRect(&client);
  bar.MoveWindow(0, client.bottom - size.cy, client.Width(), size.cy);
  EXPECT_EQ(client.Width() - 250, Rights(bar)[0]);

  // The program's texts; the message pane also through WM_SETTEXT.
  ASSERT_TRUE(bar.SetPaneText(1, L"3 / 40"));
  bar.SetWindowText(L"Ready");
  EXPECT_STREQ(L"Ready", bar.GetPaneText(0));
  CString viaText;
  bar.GetWindowText(viaText);
  EXPECT_STREQ(L"Ready", viaText);

  // Idle updates change only what a handler claims; the frame pane keeps its text.
  host.ShowWindow(SW_SHOWNA);
  host.SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE, TRUE);
  EXPECT_STREQ(L"3 / 40", bar.GetPaneText(1));
  EXPECT_STREQ(L"Two!", bar.GetPaneText(2));
  // A disabled pane shows nothing and gets its text back when enabled again.
  host.m_bTwoOn = FALSE;
  host.m_strTwo = L"Later";
  host.SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE, TRUE);
  EXPECT_STREQ(L"", bar.GetPaneText(2));
  host.m_bTwoOn = TRUE;
  host.SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE, TRUE);
  EXPECT_STREQ(L"Later", bar.GetPaneText(2));
  EXPECT_STREQ(L"3 / 40", bar.GetPaneText(1));
  host.DestroyWindow();
}
