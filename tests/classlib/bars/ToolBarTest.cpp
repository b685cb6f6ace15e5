// Toolbars hosted by dialogs, as the converter uses them: buttons from
// toolbar resources, pictures, text, the drop-down button, command-UI updates
// with the dialog as target, and notifications that reach the bar's owner.
#include <gtest/gtest.h>

#include <vector>

#include "tests/classlib/bars/BarsTest.h"
#include "tests/support/UiTestSupport.h"
#include "afxwin.h"

namespace {
constexpr UINT kBarId = 59393;

class CHostDlg : public CDialog {
 public:
  CHostDlg() : CDialog(IDD_HOST) {}
  BOOL m_bGreenOn = FALSE;
  int m_nRed = 0, m_nBlue = 0, m_nDropDowns = 0, m_nTipRequests = 0;
  UINT m_nDropItem = 0;
  UINT m_nDropFrom = 0;

 protected:
  afx_msg void OnRed() { ++m_nRed; }
  afx_msg void OnGreen() {}
  afx_msg void OnBlue() { ++m_nBlue; }
  afx_msg void OnUpdateRed(CCmdUI* ui) {
    ui->Enable(TRUE);
    ui->SetCheck(1);
  }
  afx_msg void OnUpdateGreen(CCmdUI* ui) { ui->Enable(m_bGreenOn); }
  afx_msg void OnDropDown(NMHDR* nm, LRESULT* result) {
    ++m_nDropDowns;
    m_nDropItem = (UINT) reinterpret_cast<NMTOOLBARW*>(nm)->iItem;
    m_nDropFrom = (UINT)nm->idFrom;
    *result = TBDDRET_DEFAULT;
  }
  afx_msg BOOL OnTipText(UINT, NMHDR* nm, LRESULT* result) {
    ++m_nTipRequests;
    auto* di = reinterpret_cast<NMTTDISPINFOW*>(nm);
    CString text;
    if (!text.LoadString((UINT)nm->idFrom)) return FALSE;
    int nl = text.Find(L'\n');
    lstrcpynW(di->szText, nl >= 0 ? (LPCTSTR)text.Mid(nl + 1) : (LPCTSTR)text, 80);
    *result = 0;
    return TRUE;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CHostDlg, CDialog)
  ON_COMMAND(ID_CMD_RED, OnRed)
  ON_COMMAND(ID_CMD_GREEN, OnGreen)
  ON_COMMAND(ID_CMD_BLUE, OnBlue)
  ON_UPDATE_COMMAND_UI(ID_CMD_RED, OnUpdateRed)
  ON_UPDATE_COMMAND_UI(ID_CMD_GREEN, OnUpdateGreen)
  ON_NOTIFY(TBN_DROPDOWN, kBarId, OnDropDown)
  ON_NOTIFY_EX_RANGE(TTN_GETDISPINFOW, 0, 0xFFFF, OnTipText)
END_MESSAGE_MAP()

// A child page without handlers of its own.
class CPage : public CDialog {
 public:
  CPage() : CDialog(IDD_CHILDPAGE) {}
};

BOOL Enabled(CToolBar& bar, UINT id) { return bar.GetToolBarCtrl().IsButtonEnabled((int)id); }

void ClickAt(HWND hwnd, int x, int y) {
  ::PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  ::PostMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  PumpPending();
}

void Idle(CWnd& host) { host.SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE, TRUE); }

std::vector<UINT> Ids(CToolBar& bar) {
  std::vector<UINT> ids;
  for (int i = 0; i < bar.GetCount(); ++i) ids.push_back(bar.GetItemID(i));
  return ids;
}

BOOL CreateBar(CToolBar& bar, CWnd* parent) {
  return bar.CreateEx(parent, TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TOOLTIPS | TBSTYLE_TRANSPARENT,
                      WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP | CBRS_FLYBY, CRect(0, 0, 0, 0), kBarId);
}
}  // namespace

TEST(ToolBar, OnDialogWithPicturesTextDropDownAndUpdates) {
  CHostDlg host;
  ASSERT_TRUE(host.Create(IDD_HOST));
  CToolBar bar;
  ASSERT_TRUE(CreateBar(bar, &host));
  ASSERT_TRUE(bar.LoadToolBar(IDT_WINDRES));
  EXPECT_EQ((std::vector<UINT>{ID_CMD_RED, ID_CMD_GREEN, ID_SEPARATOR, ID_CMD_BLUE, ID_CMD_YELLOW}), Ids(bar));
  EXPECT_EQ(3, bar.CommandToIndex(ID_CMD_BLUE));

  bar.GetToolBarCtrl().SetExtendedStyle(TBSTYLE_EX_MIXEDBUTTONS | TBSTYLE_EX_DRAWDDARROWS);
  CRect plain;
  bar.GetItemRect(1, &plain);
  bar.SetButtonStyle(0, bar.GetButtonStyle(0) | BTNS_SHOWTEXT);
  ASSERT_TRUE(bar.SetButtonText(0, L"Red things"));
  EXPECT_STREQ(L"Red things", bar.GetButtonText(0));
  bar.SetButtonStyle(3, bar.GetButtonStyle(3) | TBSTYLE_DROPDOWN);
  EXPECT_TRUE(bar.GetButtonStyle(3) & TBSTYLE_DROPDOWN);
  EXPECT_FALSE(bar.GetButtonStyle(3) & TBBS_DISABLED);  // restyling keeps the button enabled
  CRect withText, dropDown;
  bar.GetItemRect(0, &withText);
  bar.GetItemRect(3, &dropDown);
  EXPECT_GT(withText.Width(), plain.Width() + 20);  // the text is shown beside the picture
  EXPECT_GT(dropDown.Width(), plain.Width());       // the arrow part

  SIZE max = {0, 0};
  bar.GetToolBarCtrl().GetMaxSize(&max);
  bar.SetWindowPos(nullptr, 4, 4, max.cx, max.cy, SWP_NOZORDER);
  host.ShowWindow(SW_SHOWNA);

  // Idle updates with the dialog as target: handlers decide, commands
  // without any handler are disabled.
  Idle(host);
  EXPECT_TRUE(Enabled(bar, ID_CMD_RED));
  EXPECT_TRUE(bar.GetToolBarCtrl().IsButtonChecked(ID_CMD_RED));
  EXPECT_FALSE(Enabled(bar, ID_CMD_GREEN));
  EXPECT_TRUE(Enabled(bar, ID_CMD_BLUE));
  EXPECT_FALSE(Enabled(bar, ID_CMD_YELLOW));
  host.m_bGreenOn = TRUE;
  Idle(host);
  EXPECT_TRUE(Enabled(bar, ID_CMD_GREEN));
  // A hidden bar is left alone.
  host.m_bGreenOn = FALSE;
  bar.ShowWindow(SW_HIDE);
  Idle(host);
  EXPECT_TRUE(Enabled(bar, ID_CMD_GREEN));
  bar.ShowWindow(SW_SHOWNA);
  Idle(host);
  EXPECT_FALSE(Enabled(bar, ID_CMD_GREEN));

  // Clicks: a button's command reaches the dialog, a disabled one does nothing,
  // the drop-down arrow sends its notification.
  CRect r;
  bar.GetItemRect(0, &r);
  ClickAt(bar.m_hWnd, r.CenterPoint().x, r.CenterPoint().y);
  EXPECT_TRUE(PumpUntil([&] { return host.m_nRed == 1; }, 3000));
  bar.GetItemRect(4, &r);
  ClickAt(bar.m_hWnd, r.CenterPoint().x, r.CenterPoint().y);
  bar.GetItemRect(3, &r);
  ClickAt(bar.m_hWnd, r.right - 4, r.CenterPoint().y);
  EXPECT_TRUE(PumpUntil([&] { return host.m_nDropDowns == 1; }, 3000));
  EXPECT_EQ((UINT)ID_CMD_BLUE, host.m_nDropItem);
  EXPECT_EQ(kBarId, host.m_nDropFrom);
  EXPECT_EQ(0, host.m_nBlue);  // the arrow is not the button
  EXPECT_EQ(1, host.m_nRed);

  // The pictures come from the bitmap of the toolbar's own id.
  CWindowShot shot = CaptureWindow(bar.m_hWnd);
  shot.SavePng(L"toolbar-on-dialog.png");
  bar.GetItemRect(1, &r);
  bool green = false;
  for (int y = r.top; y < r.bottom && !green; ++y)
    for (int x = r.left; x < r.right && !green; ++x) green = ColorNear(shot.At(x, y), RGB(30, 180, 60), 40);
  // Disabled pictures are greyed: the green disc must not show in colour.
  EXPECT_FALSE(green);
  bar.GetItemRect(0, &r);
  bool red = false;
  for (int y = r.top; y < r.bottom && !red; ++y)
    for (int x = r.left; x < r.right && !red; ++x) red = ColorNear(shot.At(x, y), RGB(220, 30, 30), 40);
  EXPECT_TRUE(red);
  bool magenta = false;
  for (int y = 0; y < shot.m_nHeight && !magenta; ++y)
    for (int x = 0; x < shot.m_nWidth && !magenta; ++x) magenta = ColorNear(shot.At(x, y), RGB(255, 0, 255), 10);
  EXPECT_FALSE(magenta);  // the mask colour never shows
  host.DestroyWindow();
}

TEST(ToolBar, OnChildPageNotifiesItsOwner) {
  CHostDlg host;
  ASSERT_TRUE(host.Create(IDD_HOST));
  CPage page;
  ASSERT_TRUE(page.Create(IDD_CHILDPAGE, &host));
  CToolBar bar;
  ASSERT_TRUE(CreateBar(bar, &page));
  ASSERT_TRUE(bar.LoadToolBar(IDT_WINDRES));
  bar.SetOwner(&host);
  bar.GetToolBarCtrl().SetExtendedStyle(TBSTYLE_EX_DRAWDDARROWS);
  bar.SetButtonStyle(3, bar.GetButtonStyle(3) | TBSTYLE_DROPDOWN);
  SIZE max = {0, 0};
  bar.GetToolBarCtrl().GetMaxSize(&max);
  bar.SetWindowPos(nullptr, 0, 0, max.cx, max.cy, SWP_NOZORDER);
  host.ShowWindow(SW_SHOWNA);

  // The page has no handlers: the owner's decide.
  Idle(host);
  EXPECT_FALSE(Enabled(bar, ID_CMD_GREEN));
  EXPECT_FALSE(Enabled(bar, ID_CMD_YELLOW));
  EXPECT_TRUE(Enabled(bar, ID_CMD_BLUE));

  CRect r;
  bar.GetItemRect(3, &r);
  ClickAt(bar.m_hWnd, r.right - 4, r.CenterPoint().y);
  EXPECT_TRUE(PumpUntil([&] { return host.m_nDropDowns == 1; }, 3000));
  EXPECT_EQ((UINT)ID_CMD_BLUE, host.m_nDropItem);
  ClickAt(bar.m_hWnd, r.left + 4, r.CenterPoint().y);
  EXPECT_TRUE(PumpUntil([&] { return host.m_nBlue == 1; }, 3000));

  // A tooltip's text request reaching the bar goes on to the owner.
  HWND tip = (HWND)bar.SendMessage(TB_GETTOOLTIPS);
  ASSERT_NE(nullptr, tip);
  NMTTDISPINFOW di = {};
  di.hdr.hwndFrom = tip;
  di.hdr.idFrom = ID_CMD_GREEN;
  di.hdr.code = TTN_GETDISPINFOW;
  di.lpszText = di.szText;
  bar.SendMessage(WM_NOTIFY, 0, (LPARAM)&di);
  EXPECT_EQ(1, host.m_nTipRequests);
  EXPECT_STREQ(L"Green", di.szText);
  host.DestroyWindow();
}

TEST(ToolBar, ResourceLayoutsAndBadResources) {
  CHostDlg host;
  ASSERT_TRUE(host.Create(IDD_HOST));
  CToolBar bar;
  ASSERT_TRUE(CreateBar(bar, &host));
  // The 16-bit layout; no bitmap of that id, pictures may come from an image list.
  ASSERT_TRUE(bar.LoadToolBar(IDT_WORDS));
  EXPECT_EQ((std::vector<UINT>{ID_CMD_GREEN, ID_CMD_BLUE, ID_CMD_RED}), Ids(bar));
  CImageList images;
  ASSERT_TRUE(images.Create(16, 15, ILC_COLOR24 | ILC_MASK, 0, 1));
  CBitmap strip;
  ASSERT_TRUE(strip.LoadBitmap(IDB_STRIP));
  EXPECT_EQ(0, images.Add(&strip, RGB(255, 0, 255)));
  bar.GetToolBarCtrl().SetImageList(&images);
  EXPECT_EQ(4, ImageList_GetImageCount((HIMAGELIST)bar.SendMessage(TB_GETIMAGELIST)));

  EXPECT_FALSE(bar.LoadToolBar(IDT_BROKEN));
  EXPECT_FALSE(bar.LoadToolBar(12345));
  bar.GetToolBarCtrl().SetImageList(nullptr);
  host.DestroyWindow();
}
