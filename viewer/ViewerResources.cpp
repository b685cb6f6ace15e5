#include "viewer/ViewerResources.h"

#include "resources/viewer/ViewerRes.h"
#include "foundation/ui/VisualStyle.h"

namespace {
CViewerResources* g_pResources = nullptr;
}

CViewerResources* GetViewerResources() { return g_pResources; }
void SetViewerResources(CViewerResources* resources) { g_pResources = resources; }

CViewerResources::~CViewerResources() {
  if (GetUIResources() == this) SetUIResources(nullptr);
  if (g_pResources == this) g_pResources = nullptr;
  if (m_hCursor) ::DestroyCursor(m_hCursor);
}

int CViewerResources::Init() {
  m_osVersion.Query();
  LOGFONTW lf = {};
  HGDIOBJ stock = ::GetStockObject(DEFAULT_GUI_FONT);
  if (!stock || !::GetObjectW(stock, sizeof(lf), &lf)) ::GetObjectW(::GetStockObject(SYSTEM_FONT), sizeof(lf), &lf);
  if (lstrcmpW(lf.lfFaceName, L"Tahoma") != 0) {
    lstrcpynW(lf.lfFaceName, L"Tahoma", LF_FACESIZE);
    lf.lfHeight = -11;
  }
  m_fontNormal.CreateFontIndirect(&lf);
  lf.lfUnderline = TRUE;
  m_fontUnderline.CreateFontIndirect(&lf);
  lf.lfUnderline = FALSE;
  lf.lfWeight = FW_BOLD;
  m_fontBold.CreateFontIndirect(&lf);
  lf.lfHeight += lf.lfHeight / 3;
  m_fontLargeBold.CreateFontIndirect(&lf);
  m_hCursor = ::LoadCursorW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDC_HANDCURSOR));
  SetUIResources(this);
  return 0;
}

BOOL CViewerResources::IsNT6OrLater() const {
  return m_osVersion.m_info.dwPlatformId == VER_PLATFORM_WIN32_NT && m_osVersion.m_info.dwMajorVersion > 5;
}

CFont* CViewerResources::GetUIFont(int kind) {
  switch (kind) {
    case FontBold:
      return &m_fontBold;
    case FontUnderline:
      return &m_fontUnderline;
    case FontLargeBold:
      return &m_fontLargeBold;
    default:
      return &m_fontNormal;
  }
}

BOOL CViewerResources::IsThemed() { return IsVisualStyleActive(); }
