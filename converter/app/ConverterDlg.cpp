#include "converter/app/ConverterDlg.h"

#include <vector>

#include "converter/app/ConverterGlobals.h"
#include "resources/converter/ConverterRes.h"
#include "converter/app/ConverterResources.h"
#include "converter/app/ConverterSettings.h"
#include "foundation/web/UpdateCheck.h"
#include "foundation/web/WebProgram.h"

namespace {
const COLORREF kBandColor = RGB(0xE0, 0xE0, 0xE0);
const COLORREF kLineColor = RGB(0xD0, 0xD0, 0xD0);
const COLORREF kPageColor = RGB(0xF0, 0xF0, 0xF0);
const COLORREF kMaskColor = RGB(0xFF, 0x00, 0xFF);

void FillSolid(CDC* pDC, const CRect& rect, COLORREF color) {
  if (rect.IsRectEmpty()) return;
  pDC->FillSolidRect(&rect, color);
}
}  // namespace

BEGIN_MESSAGE_MAP(CConverterDlg, CFrameDlg)
  ON_WM_CREATE()
  ON_WM_SYSCOMMAND()
  ON_WM_INITMENUPOPUP()
  ON_WM_CTLCOLOR()
  ON_WM_GETMINMAXINFO()
  ON_WM_ERASEBKGND()
  ON_WM_DESTROY()
  ON_WM_LBUTTONDOWN()
  ON_WM_PARENTNOTIFY()
  ON_WM_SIZE()
  ON_WM_CLOSE()
  ON_WM_QUERYENDSESSION()
  ON_WM_SYSCOLORCHANGE()
  ON_NOTIFY(TCN_SELCHANGE, IDC_PAGE_TABS, OnTabChanged)
  ON_MESSAGE(WM_KICKIDLE, OnKickIdle)
  ON_NOTIFY_RANGE(TBN_DROPDOWN, IDW_MAIN_TOOLBAR, IDW_SERIES_TOOLBAR, OnToolbarDropDown)
  ON_COMMAND(ID_MAIN_MENU, OnMainMenu)
  ON_MESSAGE(WM_AUTOCHECKUPDATE, OnAutoCheckUpdate)
END_MESSAGE_MAP()

CConverterDlg::CConverterDlg(CWnd* pParent)
    : CFrameDlg(IDD_CONVERTER_DIALOG, pParent), m_pageSeries(this), m_pageVideo(this) {
  if (CConverterSettings* settings = GetConverterSettings()) m_bAlwaysOnTop = settings->m_bAlwaysOnTop;
}

CConverterDlg::~CConverterDlg() {
  if (CConverterSettings* settings = GetConverterSettings()) settings->m_bAlwaysOnTop = m_bAlwaysOnTop ? 1 : 0;
}

int CConverterDlg::ClampPage(int nPage) { return nPage < 0 ? 0 : (nPage >= kPageCount ? kPageCount - 1 : nPage); }

BOOL CConverterDlg::IsInSizeGrip(const CRect& rcClient, CPoint point) {
  return point.x >= rcClient.right - kGripSize && point.x < rcClient.right && point.y >= rcClient.bottom - kGripSize &&
         point.y < rcClient.bottom;
}

void CConverterDlg::DoDataExchange(CDataExchange* pDX) {
  CFrameDlg::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_PAGE_TABS, m_wndTabs);
}

int CConverterDlg::OnCreate(LPCREATESTRUCT lpCreateStruct) {
  if (CFrameDlg::OnCreate(lpCreateStruct) == -1) return -1;

  if (!m_wndToolBar.CreateEx(this, TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TOOLTIPS | TBSTYLE_TRANSPARENT,
                             WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP | CBRS_FLYBY, CRect(0, 0, 0, 0),
                             IDW_MAIN_TOOLBAR) ||
      !m_wndToolBar.LoadToolBar(IDR_MAIN_TOOLBAR))
    return -1;
  m_wndToolBar.SetBarStyle(m_wndToolBar.GetBarStyle() | CBRS_FLYBY);
  CImageList images;
  CBitmap bitmap;
  if (!images.Create(20, 20, ILC_COLOR32 | ILC_MASK, 0, 1) || !bitmap.LoadBitmap(IDB_MAIN_TOOLBAR)) return -1;
  images.Add(&bitmap, kMaskColor);
  // The control keeps the list for the program's life.
  m_wndToolBar.SendMessage(TB_SETIMAGELIST, 0, (LPARAM)images.Detach());
  m_wndToolBar.SendMessage(TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
  const int button = m_wndToolBar.CommandToIndex(ID_MAIN_MENU);
  if (button < 0) return -1;
  m_wndToolBar.SetButtonStyle(button, m_wndToolBar.GetButtonStyle(button) | TBSTYLE_DROPDOWN);
  m_wndToolBar.SetButtonText(button, L"Main Menu");

  if (!m_pageSeries.Create(IDD_SERIES_PAGE, this) || !m_pageVideo.Create(IDD_VIDEO_PAGE, this)) return -1;

  CBitmap tabBitmap;
  if (!m_tabImages.Create(16, 16, ILC_COLOR24 | ILC_MASK, 0, 1) || !tabBitmap.LoadBitmap(IDB_TAB_IMAGES)) return -1;
  m_tabImages.Add(&tabBitmap, kMaskColor);
  return 0;
}

BOOL CConverterDlg::OnInitDialog() {
  CFrameDlg::OnInitDialog();
  CConverterResources* resources = GetConverterResources();
  if (resources) resources->CreateFonts(GetFont());

  if (CMenu* sysMenu = GetSystemMenu(FALSE)) {
    sysMenu->InsertMenu(0, MF_BYPOSITION | MF_STRING, IDM_ALWAYS_ON_TOP, L"Always On Top");
    sysMenu->InsertMenu(1, MF_BYPOSITION | MF_SEPARATOR);
  }

  m_wndToolBar.SetFont(GetFont());
  m_wndTabs.SetFont(GetSharedFont(CUIResources::FontBold));
  RecalcLayout();

  // The padding counts only for tabs inserted after it.
  m_wndTabs.SetImageList(&m_tabImages);
  m_wndTabs.SendMessage(TCM_SETMINTABWIDTH, 0, 120);
  m_wndTabs.SendMessage(TCM_SETPADDING, 0, MAKELPARAM(8, 8));
  m_wndTabs.m_crBack = kBandColor;
  m_wndTabs.m_crLine = kLineColor;
  m_wndTabs.InsertItem(0, L"DICOM\tVideo", 0);
  m_wndTabs.InsertItem(1, L"Video\tDICOM", 0);

  ApplyAlwaysOnTop();
  CConverterSettings* settings = GetConverterSettings();
  const int page = ClampPage(settings ? settings->m_nPage : 0);
  m_wndTabs.SetCurSel(page);
  ShowPage(page);

  if (settings && settings->m_bAutoCheckUpdate) PostMessage(WM_AUTOCHECKUPDATE, 0, 1);
  return TRUE;
}

void CConverterDlg::ApplyAlwaysOnTop() {
  if (!m_bAlwaysOnTop) {
    SetWindowPos(&CWnd::wndNoTopMost, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    return;
  }
  // Windows this one owns that are top-most already (the tooltips) keep
  // their owner out of the top-most band under Wine; they are let go while
  // the window moves up and owned again afterwards.
  struct Owned {
    HWND self;
    std::vector<HWND> windows;
  } owned{m_hWnd, {}};
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND hwnd, LPARAM lp) -> BOOL {
        auto* o = reinterpret_cast<Owned*>(lp);
        if (::GetWindow(hwnd, GW_OWNER) == o->self && (::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST))
          o->windows.push_back(hwnd);
        return TRUE;
      },
      (LPARAM)&owned);
  for (HWND hwnd : owned.windows) ::SetWindowLongPtrW(hwnd, GWLP_HWNDPARENT, 0);
  SetWindowPos(&CWnd::wndTopMost, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  for (HWND hwnd : owned.windows) ::SetWindowLongPtrW(hwnd, GWLP_HWNDPARENT, (LONG_PTR)m_hWnd);
}

void CConverterDlg::ShowPage(int nIndex) {
  CConvertPage* show = nullptr;
  CConvertPage* hide = nullptr;
  if (nIndex == 0) {
    show = &m_pageSeries;
    hide = &m_pageVideo;
  } else if (nIndex == 1) {
    show = &m_pageVideo;
    hide = &m_pageSeries;
  } else {
    return;
  }
  if (!show->m_hWnd || !hide->m_hWnd) return;
  show->ShowWindow(SW_SHOW);
  hide->ShowWindow(SW_HIDE);
  show->SetFocus();
}

void CConverterDlg::RecalcLayout() {
  if (!m_wndTabs.m_hWnd) return;
  CRect client;
  GetClientRect(&client);
  CRect tabs;
  m_wndTabs.GetWindowRect(&tabs);
  ScreenToClient(&tabs);
  m_nBandHeight = tabs.bottom;

  HDWP hdwp = ::BeginDeferWindowPos(3);
  if (m_wndToolBar.m_hWnd) {
    if (m_sizeToolBar.cx == 0 && m_sizeToolBar.cy == 0) {
      SIZE size = {0, 0};
      m_wndToolBar.SendMessage(TB_GETMAXSIZE, 0, (LPARAM)&size);
      m_sizeToolBar = size;
    }
    const int x = client.right - m_sizeToolBar.cx - 4;
    const int y = (m_nBandHeight - m_sizeToolBar.cy) / 2;
    hdwp = ::DeferWindowPos(hdwp, m_wndToolBar.m_hWnd, nullptr, x, y, m_sizeToolBar.cx, m_sizeToolBar.cy,
                            SWP_NOZORDER | SWP_NOACTIVATE);
  }
  const int pageHeight = client.bottom - m_nBandHeight > 0 ? client.bottom - m_nBandHeight : 0;
  for (CConvertPage* page : {(CConvertPage*)&m_pageSeries, (CConvertPage*)&m_pageVideo}) {
    if (page->m_hWnd && hdwp)
      hdwp = ::DeferWindowPos(hdwp, page->m_hWnd, nullptr, 0, m_nBandHeight, client.Width(), pageHeight,
                              SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (hdwp) ::EndDeferWindowPos(hdwp);
  Invalidate();
}

void CConverterDlg::OnSysCommand(UINT nID, LPARAM lParam) {
  if ((nID & ~0xFu) == IDM_ALWAYS_ON_TOP) {
    m_bAlwaysOnTop = !m_bAlwaysOnTop;
    ApplyAlwaysOnTop();
    return;
  }
  CFrameDlg::OnSysCommand(nID, lParam);
}

void CConverterDlg::OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu) {
  CFrameDlg::OnInitMenuPopup(pPopupMenu, nIndex, bSysMenu);
  if (bSysMenu && pPopupMenu)
    pPopupMenu->CheckMenuItem(IDM_ALWAYS_ON_TOP, MF_BYCOMMAND | (m_bAlwaysOnTop ? MF_CHECKED : MF_UNCHECKED));
}

HBRUSH CConverterDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
  HBRUSH brush = CFrameDlg::OnCtlColor(pDC, pWnd, nCtlColor);
  if (nCtlColor == CTLCOLOR_BTN || nCtlColor == CTLCOLOR_STATIC) {
    pDC->SetBkMode(TRANSPARENT);
    pDC->SetBkColor(kPageColor);
    if (CConverterResources* resources = GetConverterResources()) brush = (HBRUSH)resources->m_brLabel.GetSafeHandle();
  }
  return brush;
}

void CConverterDlg::OnGetMinMaxInfo(MINMAXINFO* lpMMI) {
  lpMMI->ptMinTrackSize.x = kMinTrackWidth;
  lpMMI->ptMinTrackSize.y = kMinTrackHeight;
  CFrameDlg::OnGetMinMaxInfo(lpMMI);
}

BOOL CConverterDlg::OnEraseBkgnd(CDC* pDC) {
  CRect client;
  GetClientRect(&client);
  CRect band(client.left, client.top, client.right, client.top + m_nBandHeight);
  CRect line(band.left, band.bottom - 1, band.right, band.bottom);
  band.bottom -= 1;
  FillSolid(pDC, band, kBandColor);
  FillSolid(pDC, line, kLineColor);
  FillSolid(pDC, CRect(client.left, line.bottom, client.right, client.bottom), kPageColor);
  return TRUE;
}

void CConverterDlg::OnDestroy() {
  if (m_wndTabs.m_hWnd)
    if (CConverterSettings* settings = GetConverterSettings())
      settings->m_nPage = ClampPage((int)m_wndTabs.SendMessage(TCM_GETCURSEL));
  CFrameDlg::OnDestroy();
}

void CConverterDlg::StartMoveOrSize(CPoint point) {
  CRect client;
  GetClientRect(&client);
  CPoint screen = point;
  ClientToScreen(&screen);
  const WPARAM hit = IsInSizeGrip(client, point) ? HTBOTTOMRIGHT : HTCAPTION;
  SendMessage(WM_NCLBUTTONDOWN, hit, MAKELPARAM(screen.x, screen.y));
}

void CConverterDlg::OnLButtonDown(UINT nFlags, CPoint point) {
  StartMoveOrSize(point);
  CFrameDlg::OnLButtonDown(nFlags, point);
}

// The pages cover everything below the band, the sizing corner included: a
// press on a page's own background (not on one of its controls) counts as a
// press on the window's surface.
void CConverterDlg::OnParentNotify(UINT message, LPARAM lParam) {
  CFrameDlg::OnParentNotify(message, lParam);
  if (LOWORD(message) != WM_LBUTTONDOWN) return;
  CPoint point((short)LOWORD(lParam), (short)HIWORD(lParam));
  CPoint screen = point;
  ClientToScreen(&screen);
  HWND hit = ::WindowFromPoint(screen);
  if (hit && (hit == m_pageSeries.m_hWnd || hit == m_pageVideo.m_hWnd)) StartMoveOrSize(point);
}

void CConverterDlg::OnSize(UINT nType, int cx, int cy) {
  CFrameDlg::OnSize(nType, cx, cy);
  if (nType == SIZE_MINIMIZED || cx == 0 || cy == 0) return;
  if (m_pageVideo.m_hWnd) RecalcLayout();
}

BOOL CConverterDlg::IsWorkRunning() const {
  return m_pageSeries.IsWorkerRunning() || m_pageSeries.IsLoading() || m_pageVideo.IsWorkerRunning();
}

BOOL CConverterDlg::StopWorkBeforeClosing() {
  if (!IsWorkRunning()) return FALSE;
  // The page whose work ends posts WM_CLOSE again.
  m_pageSeries.RequestStop(STOP_AND_CLOSE);
  m_pageVideo.RequestStop(STOP_AND_CLOSE);
  return TRUE;
}

void CConverterDlg::OnClose() {
  if (StopWorkBeforeClosing()) return;
  CFrameDlg::OnClose();
}

void CConverterDlg::OnCancel() {
  if (StopWorkBeforeClosing()) return;
  CFrameDlg::OnCancel();
}

BOOL CConverterDlg::OnQueryEndSession() {
  if (!CFrameDlg::OnQueryEndSession()) return FALSE;
  if (CConverterSettings* settings = GetConverterSettings()) {
    settings->m_bAlwaysOnTop = m_bAlwaysOnTop ? 1 : 0;
    if (m_wndTabs.m_hWnd) settings->m_nPage = ClampPage((int)m_wndTabs.SendMessage(TCM_GETCURSEL));
    settings->Save();
  }
  return TRUE;
}

void CConverterDlg::OnSysColorChange() {
  CFrameDlg::OnSysColorChange();
  if (CConverterResources* resources = GetConverterResources()) resources->RefreshThemedFlag();
}

void CConverterDlg::OnTabChanged(NMHDR*, LRESULT* pResult) {
  m_wndTabs.Invalidate();
  ShowPage((int)m_wndTabs.SendMessage(TCM_GETCURSEL));
  *pResult = 0;
}

LRESULT CConverterDlg::OnKickIdle(WPARAM, LPARAM) {
  UpdateDialogControls(this, FALSE);
  SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE, TRUE);
  return 0;
}

void CConverterDlg::OnToolbarDropDown(UINT, NMHDR* pNMHDR, LRESULT* pResult) {
  const NMTOOLBARW* info = reinterpret_cast<const NMTOOLBARW*>(pNMHDR);
  if (info->iItem == ID_MAIN_MENU) TrackMainMenu();
  *pResult = 0;
}

void CConverterDlg::OnMainMenu() { TrackMainMenu(); }

void CConverterDlg::TrackMainMenu() {
  CToolBarCtrl& bar = m_wndToolBar.GetToolBarCtrl();
  bar.SendMessage(TB_PRESSBUTTON, ID_MAIN_MENU, MAKELPARAM(TRUE, 0));
  CRect rect;
  bar.SendMessage(TB_GETRECT, ID_MAIN_MENU, (LPARAM)&rect);
  m_wndToolBar.ClientToScreen(&rect);
  CMenu menu;
  if (menu.LoadMenu(IDR_MAIN_MENU)) {
    if (CMenu* popup = menu.GetSubMenu(0)) {
      TPMPARAMS params = {};
      params.cbSize = sizeof(params);
      params.rcExclude = rect;
      CWnd* owner = AfxGetMainWnd();
      popup->TrackPopupMenuEx(TPM_LEFTALIGN | TPM_TOPALIGN | TPM_VERTICAL | TPM_LEFTBUTTON, rect.left, rect.bottom,
                              owner && owner->m_hWnd ? owner : this, &params);
    }
  }
  if (bar.m_hWnd) bar.SendMessage(TB_PRESSBUTTON, ID_MAIN_MENU, MAKELPARAM(FALSE, 0));
}

LRESULT CConverterDlg::OnAutoCheckUpdate(WPARAM wParam, LPARAM lParam) {
  if (wParam == 0) {
    CConverterSettings* settings = GetConverterSettings();
    CheckForUpdates(GetUpdateInfoUrl(), GetWebProgram().versionText, settings ? settings->m_nAutoCheckEvery : 7,
                    lParam != 0);
  }
  return 0;
}
