// The status bar over the common status control.
#include "afxwin.h"

#include <algorithm>

IMPLEMENT_DYNAMIC(CStatusBar, CControlBar)

BEGIN_MESSAGE_MAP(CStatusBar, CControlBar)
  ON_WM_SIZE()
  ON_MESSAGE(WM_SETTEXT, OnSetText)
  ON_MESSAGE(WM_GETTEXT, OnGetText)
  ON_MESSAGE(WM_GETTEXTLENGTH, OnGetTextLength)
  ON_MESSAGE(WM_SETFONT, OnSetFont)
END_MESSAGE_MAP()

namespace {
const int kPaneBorder = 3;  // room on each side of a bordered pane's text
}

CStatusBar::CStatusBar() {
  m_cyTopBorder = 2;
  m_cyBottomBorder = 1;
}

CStatusBar::~CStatusBar() { DestroyWindow(); }

BOOL CStatusBar::Create(CWnd* pParentWnd, DWORD dwStyle, UINT nID) { return CreateEx(pParentWnd, 0, dwStyle, nID); }

BOOL CStatusBar::CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle, DWORD dwStyle, UINT nID) {
  m_dwStyle = dwStyle & CBRS_ALL;
  DWORD style = (dwStyle & ~CBRS_ALL) | dwCtrlStyle | CCS_NOPARENTALIGN | CCS_NOMOVEY | CCS_NODIVIDER | CCS_NORESIZE;
  // A sizable parent gets a size grip.
  if (pParentWnd && (pParentWnd->GetStyle() & WS_THICKFRAME)) style |= SBARS_SIZEGRIP;
  return CWnd::Create(STATUSCLASSNAMEW, nullptr, style, CRect(0, 0, 0, 0), pParentWnd, nID);
}

int CStatusBar::TextWidth(const CString& text) const {
  HDC dc = ::GetDC(m_hWnd);
  HFONT font = m_hWnd ? (HFONT)SendMessage(WM_GETFONT, 0, 0) : nullptr;
  if (!font) font = (HFONT)::GetStockObject(DEFAULT_GUI_FONT);
  HGDIOBJ old = ::SelectObject(dc, font);
  SIZE size = {0, 0};
  ::GetTextExtentPoint32W(dc, text, text.GetLength(), &size);
  ::SelectObject(dc, old);
  ::ReleaseDC(m_hWnd, dc);
  return size.cx;
}

BOOL CStatusBar::SetIndicators(const UINT* lpIDArray, int nIDCount) {
  if (nIDCount < 0 || (nIDCount > 0 && !lpIDArray)) return FALSE;
  std::vector<Pane> panes;
  for (int i = 0; i < nIDCount; ++i) {
    Pane pane = {lpIDArray[i], SBPS_NORMAL, 0, CString()};
    if (pane.nID == ID_SEPARATOR) {
      pane.nStyle = SBPS_NOBORDERS | SBPS_STRETCH;
    } else {
      if (!AfxLoadString(pane.nID, pane.strText)) return FALSE;  // every indicator needs its string
      pane.cxText = TextWidth(pane.strText);
    }
    panes.push_back(pane);
  }
  m_panes = std::move(panes);
  UpdateAllPanes(TRUE, TRUE);
  return TRUE;
}

int CStatusBar::CommandToIndex(UINT nIDFind) const {
  for (size_t i = 0; i < m_panes.size(); ++i)
    if (m_panes[i].nID == nIDFind) return (int)i;
  return -1;
}

UINT CStatusBar::GetItemID(int nIndex) const {
  return nIndex >= 0 && nIndex < GetCount() ? m_panes[(size_t)nIndex].nID : 0;
}

void CStatusBar::GetItemRect(int nIndex, LPRECT lpRect) const {
  ::SetRectEmpty(lpRect);
  if (nIndex >= 0 && nIndex < GetCount()) SendMessage(SB_GETRECT, (WPARAM)nIndex, (LPARAM)lpRect);
}

void CStatusBar::SendPaneText(int nIndex) {
  if (!m_hWnd || nIndex < 0 || nIndex >= GetCount()) return;
  const Pane& pane = m_panes[(size_t)nIndex];
  const UINT type = pane.nStyle & (SBT_NOBORDERS | SBT_POPOUT | SBT_OWNERDRAW);
  LPCTSTR text = (pane.nStyle & SBPS_DISABLED) ? L"" : (LPCTSTR)pane.strText;
  SendMessage(SB_SETTEXTW, (WPARAM)(nIndex | type), (LPARAM)text);
}

BOOL CStatusBar::SetPaneText(int nIndex, LPCTSTR lpszNewText, BOOL bUpdate) {
  if (nIndex < 0 || nIndex >= GetCount()) return FALSE;
  Pane& pane = m_panes[(size_t)nIndex];
  CString text = lpszNewText ? lpszNewText : L"";
  // Unchanged text is not sent again, so idle updates do not flicker.
  if (pane.strText == text && GetPaneText(nIndex) == ((pane.nStyle & SBPS_DISABLED) ? CString() : text)) return TRUE;
  pane.strText = text;
  SendPaneText(nIndex);
  if (bUpdate && m_hWnd) UpdateWindow();
  return TRUE;
}

CString CStatusBar::GetPaneText(int nIndex) const {
  CString text;
  if (!m_hWnd || nIndex < 0 || nIndex >= GetCount()) return text;
  int length = LOWORD(SendMessage(SB_GETTEXTLENGTHW, (WPARAM)nIndex, 0));
  wchar_t* buf = text.GetBufferSetLength(length + 1);
  buf[0] = 0;
  SendMessage(SB_GETTEXTW, (WPARAM)nIndex, (LPARAM)buf);
  buf[length] = 0;
  text.ReleaseBuffer();
  return text;
}

void CStatusBar::GetPaneInfo(int nIndex, UINT& nID, UINT& nStyle, int& cxWidth) const {
  if (nIndex < 0 || nIndex >= GetCount()) {
    nID = nStyle = 0;
    cxWidth = 0;
    return;
  }
  const Pane& pane = m_panes[(size_t)nIndex];
  nID = pane.nID;
  nStyle = pane.nStyle;
  cxWidth = pane.cxText;
}

void CStatusBar::SetPaneInfo(int nIndex, UINT nID, UINT nStyle, int cxWidth) {
  if (nIndex < 0 || nIndex >= GetCount()) return;
  Pane& pane = m_panes[(size_t)nIndex];
  const BOOL textChanged = (pane.nStyle ^ nStyle) & (SBT_NOBORDERS | SBT_POPOUT | SBT_OWNERDRAW | SBPS_DISABLED);
  pane.nID = nID;
  pane.nStyle = nStyle;
  pane.cxText = std::max(0, cxWidth);
  UpdateAllPanes(TRUE, FALSE);
  if (textChanged) SendPaneText(nIndex);
}

UINT CStatusBar::GetPaneStyle(int nIndex) const {
  return nIndex >= 0 && nIndex < GetCount() ? m_panes[(size_t)nIndex].nStyle : 0;
}

void CStatusBar::SetPaneStyle(int nIndex, UINT nStyle) {
  if (nIndex < 0 || nIndex >= GetCount() || m_panes[(size_t)nIndex].nStyle == nStyle) return;
  SetPaneInfo(nIndex, m_panes[(size_t)nIndex].nID, nStyle, m_panes[(size_t)nIndex].cxText);
}

void CStatusBar::UpdateAllPanes(BOOL bUpdateRects, BOOL bUpdateText) {
  if (!m_hWnd) return;
  if (bUpdateRects && !m_panes.empty()) {
    CRect client;
    GetClientRect(&client);
    auto width = [](const Pane& p) { return p.cxText + ((p.nStyle & SBPS_NOBORDERS) ? 0 : 2 * kPaneBorder); };
    int fixed = 0;
    for (const Pane& p : m_panes)
      if (!(p.nStyle & SBPS_STRETCH)) fixed += width(p);
    std::vector<int> rights(m_panes.size());
    int right = 0;
    for (size_t i = 0; i < m_panes.size(); ++i) {
      const Pane& p = m_panes[i];
      int w = width(p);
      if (p.nStyle & SBPS_STRETCH) w = std::max(w, (int)client.Width() - fixed);
      right += w;
      rights[i] = right;
    }
    SendMessage(SB_SETPARTS, (WPARAM)rights.size(), (LPARAM)rights.data());
  }
  if (bUpdateText)
    for (int i = 0; i < GetCount(); ++i) SendPaneText(i);
}

CSize CStatusBar::CalcFixedLayout(BOOL bStretch, BOOL bHorz) {
  HDC dc = ::GetDC(m_hWnd);
  HFONT font = m_hWnd ? (HFONT)SendMessage(WM_GETFONT, 0, 0) : nullptr;
  if (!font) font = (HFONT)::GetStockObject(DEFAULT_GUI_FONT);
  HGDIOBJ old = ::SelectObject(dc, font);
  TEXTMETRICW tm = {};
  ::GetTextMetricsW(dc, &tm);
  ::SelectObject(dc, old);
  ::ReleaseDC(m_hWnd, dc);
  CSize size = CControlBar::CalcFixedLayout(bStretch, bHorz);
  size.cy += tm.tmHeight + 4;  // the text and the pane's inner margins
  return size;
}

void CStatusBar::OnSize(UINT, int, int) {
  Default();
  UpdateAllPanes(TRUE, FALSE);
}

LRESULT CStatusBar::OnSetText(WPARAM, LPARAM lParam) {
  int index = CommandToIndex(ID_SEPARATOR);
  if (index < 0) return FALSE;
  return SetPaneText(index, (LPCTSTR)lParam) ? TRUE : FALSE;
}

LRESULT CStatusBar::OnGetText(WPARAM wParam, LPARAM lParam) {
  int index = CommandToIndex(ID_SEPARATOR);
  if (index < 0 || wParam == 0 || !lParam) return 0;
  CString text = GetPaneText(index);
  int n = std::min((int)wParam - 1, text.GetLength());
  wmemcpy((LPWSTR)lParam, text, (size_t)n);
  ((LPWSTR)lParam)[n] = 0;
  return n;
}

LRESULT CStatusBar::OnGetTextLength(WPARAM, LPARAM) {
  int index = CommandToIndex(ID_SEPARATOR);
  return index < 0 ? 0 : GetPaneText(index).GetLength();
}

LRESULT CStatusBar::OnSetFont(WPARAM, LPARAM) {
  LRESULT r = Default();
  UpdateAllPanes(TRUE, FALSE);
  return r;
}

// Command UI of one status pane: disabled panes show no text, checked ones pop out.
class CStatusCmdUI : public CCmdUI {
 public:
  void Enable(BOOL bOn) override {
    m_bEnableChanged = TRUE;
    CStatusBar* bar = static_cast<CStatusBar*>(m_pOther);
    UINT style = bar->GetPaneStyle((int)m_nIndex) & ~SBPS_DISABLED;
    if (!bOn) style |= SBPS_DISABLED;
    bar->SetPaneStyle((int)m_nIndex, style);
  }
  void SetCheck(int nCheck) override {
    CStatusBar* bar = static_cast<CStatusBar*>(m_pOther);
    UINT style = bar->GetPaneStyle((int)m_nIndex) & ~SBPS_POPOUT;
    if (nCheck) style |= SBPS_POPOUT;
    bar->SetPaneStyle((int)m_nIndex, style);
  }
  void SetRadio(BOOL bOn) override { SetCheck(bOn ? 1 : 0); }
  void SetText(LPCTSTR text) override { static_cast<CStatusBar*>(m_pOther)->SetPaneText((int)m_nIndex, text); }
};

void CStatusBar::OnUpdateCmdUI(CCmdTarget* pTarget, BOOL) {
  if (!pTarget) return;
  CStatusCmdUI state;
  state.m_pOther = this;
  state.m_nIndexMax = (UINT)GetCount();
  for (state.m_nIndex = 0; state.m_nIndex < state.m_nIndexMax; state.m_nIndex++) {
    state.m_nID = m_panes[state.m_nIndex].nID;
    if (state.m_nID == ID_SEPARATOR) continue;
    // Never disabled for want of a handler: the program's text stays.
    state.DoUpdate(pTarget, FALSE);
  }
}
