#include "viewer/ViewerStatusBar.h"

#include "foundation/ui/BufferedDC.h"
#include "resources/viewer/ViewerRes.h"
#include "viewer/ViewerResources.h"

IMPLEMENT_DYNAMIC(CViewerStatusBar, CStatusBar)

BEGIN_MESSAGE_MAP(CViewerStatusBar, CStatusBar)
  ON_WM_CREATE()
  ON_WM_ERASEBKGND()
  ON_WM_PAINT()
  ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

namespace {
const UINT kIndicators[] = {ID_SEPARATOR, ID_INDICATOR_FRAME, ID_INDICATOR_FILENAME};

BOOL IsNT6OrLater() {
  if (CViewerResources* res = GetViewerResources()) return res->IsNT6OrLater();
  COSVersionInfo os;
  os.Query();
  return os.m_info.dwPlatformId == VER_PLATFORM_WIN32_NT && os.m_info.dwMajorVersion > 5;
}
}  // namespace

BOOL CViewerStatusBar::Create(CWnd* pParentWnd, DWORD dwStyle, UINT nID) {
  return CreateEx(pParentWnd, SBARS_TOOLTIPS, dwStyle, nID);
}

int CViewerStatusBar::OnCreate(LPCREATESTRUCT lpcs) {
  if (CStatusBar::OnCreate(lpcs) == -1) return -1;
  if (m_imageList.Create(12, 12, ILC_COLOR24 | ILC_MASK, 0, 1)) {
    CBitmap grip;
    if (grip.LoadBitmap(IDB_SIZEGRIP)) m_imageList.Add(&grip, RGB(255, 0, 255));
  }
  if (!SetIndicators(kIndicators, 3)) return -1;
  SetPaneInfo(1, ID_INDICATOR_FRAME, SBPS_NOBORDERS, 128);
  SetPaneInfo(2, ID_INDICATOR_FILENAME, SBPS_NOBORDERS, 192);
  for (int i = 0; i < 3; ++i) SetPaneText(i, L"");
  return 0;
}

int CViewerStatusBar::SetPaneText(int nIndex, LPCTSTR lpszText) {
  if (!m_hWnd) return 0;
  LPCTSTR text = lpszText ? lpszText : L"";
  const int index = nIndex & 0xFF;
  if (index < GetCount()) m_panes[(size_t)index].strText = text;  // what the base would send again
  SendMessage(SB_SETTEXTW, (WPARAM)(nIndex | SBT_NOBORDERS), (LPARAM)text);
  return (int)SendMessage(SB_SETTIPTEXTW, (WPARAM)index, (LPARAM)text);
}

BOOL CViewerStatusBar::OnEraseBkgnd(CDC*) { return TRUE; }

void CViewerStatusBar::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(&client);
  if (client.IsRectEmpty()) return;
  CBufferedDC mem(&dc, &client);

  mem.FillSolidRect(&client, kBackground);
  CWnd* parent = GetParent();
  const BOOL maximized = parent && (parent->GetStyle() & WS_MAXIMIZE);
  const int oldMode = mem.SetBkMode(TRANSPARENT);
  const COLORREF oldColor = mem.SetTextColor(kText);
  HFONT font = (HFONT)SendMessage(WM_GETFONT);
  HGDIOBJ oldFont = mem.SelectObject(font ? (HGDIOBJ)font : ::GetStockObject(DEFAULT_GUI_FONT));

  for (int i = 0; i < 3 && i < GetCount(); ++i) {
    CRect pane;
    GetItemRect(i, &pane);
    pane.top = client.top;
    pane.bottom = client.bottom;
    CRect text = pane;
    if (i < 2) {
      // A separator line at the pane's right edge; the text stops short of it.
      mem.FillSolidRect(pane.right - 1, client.top + 1, 1, client.Height(), kSeparator);
      text.right = pane.right - 2;
    } else if (parent) {
      text.right = maximized ? client.right : client.right - ::GetSystemMetrics(SM_CXVSCROLL);
    }
    CString s = GetPaneText(i);
    if (s.IsEmpty()) continue;
    text.left += i == 0 ? 4 : 2;
    text.right -= 2;
    mem.DrawText(s, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  }
  if ((GetStyle() & SBARS_SIZEGRIP) && !IsNT6OrLater() && parent && !maximized)
    m_imageList.Draw(&mem, 0, CPoint(client.right - 12, client.bottom - 12), ILD_NORMAL);

  mem.SelectObject(oldFont);
  mem.SetTextColor(oldColor);
  mem.SetBkMode(oldMode);
}

void CViewerStatusBar::OnLButtonDown(UINT, CPoint point) {
  // Anywhere on the bar, the press moves the frame with the mouse.
  if (CWnd* parent = GetParent()) {
    CPoint screen = point;
    ClientToScreen(&screen);
    parent->SendMessage(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(screen.x, screen.y));
  }
  Default();
}
