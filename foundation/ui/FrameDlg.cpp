#include "foundation/ui/FrameDlg.h"

IMPLEMENT_DYNAMIC(CFrameDlg, CDialog)

BEGIN_MESSAGE_MAP(CFrameDlg, CDialog)
  ON_WM_CREATE()
  ON_WM_INITMENUPOPUP()
  ON_WM_PAINT()
  ON_WM_QUERYDRAGICON()
  ON_NOTIFY_EX_RANGE(TTN_NEEDTEXTW, 0, 0xFFFF, OnToolTipText)
  ON_NOTIFY_EX_RANGE(TTN_NEEDTEXTA, 0, 0xFFFF, OnToolTipText)
END_MESSAGE_MAP()

CFrameDlg::CFrameDlg(UINT nIDTemplate, CWnd* pParentWnd) : CDialog(nIDTemplate, pParentWnd) {}

CFrameDlg::~CFrameDlg() {
  if (m_wndToolTip.m_hWnd) m_wndToolTip.DestroyWindow();
  if (m_hIcon) ::DestroyIcon(m_hIcon);
  if (m_hSmallIcon) ::DestroyIcon(m_hSmallIcon);
}

int CFrameDlg::OnCreate(LPCREATESTRUCT lpCreateStruct) {
  if (CDialog::OnCreate(lpCreateStruct) == -1) return -1;
  // Both icons are private copies (not shared), so the destructor may free them.
  m_hIcon = (HICON)::LoadImageW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0);
  m_hSmallIcon =
      (HICON)::LoadImageW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 16, 16, LR_DEFAULTSIZE);
  if (!CreateDialogToolTip(this, m_wndToolTip, TTS_ALWAYSTIP)) return -1;
  return 0;
}

BOOL CFrameDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hSmallIcon, FALSE);
  return TRUE;
}

BOOL CFrameDlg::PreTranslateMessage(MSG* pMsg) {
  m_wndToolTip.RelayEvent(pMsg);
  return CDialog::PreTranslateMessage(pMsg);
}

void CFrameDlg::OnInitMenuPopup(CMenu* pPopupMenu, UINT, BOOL bSysMenu) {
  Default();
  UpdateDialogMenuPopup(this, pPopupMenu, bSysMenu, m_bAutoMenuEnable);
}

void CFrameDlg::OnPaint() {
  if (!IsIconic()) {
    Default();
    return;
  }
  CPaintDC dc(this);
  SendMessage(WM_ICONERASEBKGND, (WPARAM)dc.GetSafeHdc(), 0);
  CRect rect;
  GetClientRect(&rect);
  int x = (rect.Width() - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
  int y = (rect.Height() - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
  if (m_hIcon) ::DrawIcon(dc.GetSafeHdc(), x, y, m_hIcon);
}

HCURSOR CFrameDlg::OnQueryDragIcon() { return (HCURSOR)m_hIcon; }

BOOL CFrameDlg::OnToolTipText(UINT, NMHDR* pNMHDR, LRESULT* pResult) { return LoadToolTipText(pNMHDR, pResult); }
