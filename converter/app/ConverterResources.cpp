#include "converter/app/ConverterResources.h"

#include "resources/converter/ConverterRes.h"
#include "foundation/FileSystem.h"
#include "foundation/Folders.h"
#include "foundation/ui/VisualStyle.h"

CConverterResources::CConverterResources() { m_brLabel.CreateSolidBrush(RGB(0xF0, 0xF0, 0xF0)); }

CConverterResources::~CConverterResources() {
  if (GetUIResources() == this) SetUIResources(nullptr);
  if (m_hHandCursor) ::DestroyCursor(m_hHandCursor);
}

CString CConverterResources::MakeToolPath(LPCTSTR programFolder, LPCTSTR fileName) {
  CString path;
  path.Format(L"%s\\Modules\\%s", programFolder, fileName);
  return path;
}

CString CConverterResources::MakePresetsFolder(LPCTSTR encoderPath) {
  return GetParentFolder(encoderPath) + L"\\Presets";
}

int CConverterResources::Init() {
  m_osVersion.Query();
  m_bThemed = IsVisualStyleActive();
  if (!Load()) return -1;
  HINSTANCE res = AfxGetResourceHandle();
  m_hHandCursor = ::LoadCursorW(res, MAKEINTRESOURCEW(IDC_HAND_CURSOR));

  CBitmap small, large;
  if (!m_smallImages.Create(12, 12, ILC_COLOR24 | ILC_MASK, 0, 1)) return -1;
  if (small.LoadBitmap(IDB_SMALL_IMAGES)) m_smallImages.Add(&small, RGB(0xFF, 0x00, 0xFF));
  if (!m_largeImages.Create(24, 24, ILC_COLOR32 | ILC_MASK, 0, 3)) return -1;
  if (large.LoadBitmap(IDB_LARGE_IMAGES)) m_largeImages.Add(&large, RGB(0xFF, 0x00, 0xFF));

  CString folder = GetProgramFolder();
  m_strProbePath = MakeToolPath(folder, L"Sondrel.exe");
  m_strEncoderPath = MakeToolPath(folder, L"Smeltrix.exe");
  m_strPresetsFolder = MakePresetsFolder(m_strEncoderPath);
  SetUIResources(this);
  return 0;
}

BOOL CConverterResources::CreateFonts(CFont* font) {
  if (m_bFontsMade || !font || !font->GetSafeHandle()) return TRUE;
  m_bFontsMade = TRUE;
  LOGFONTW lf = {};
  ::GetObjectW((HFONT)font->GetSafeHandle(), sizeof(lf), &lf);
  m_fontNormal.CreateFontIndirect(&lf);
  lf.lfUnderline = 1;
  m_fontUnderline.CreateFontIndirect(&lf);
  lf.lfUnderline = 0;
  lf.lfWeight = FW_BOLD;
  m_fontBold.CreateFontIndirect(&lf);
  lf.lfHeight = LargeFontHeight(lf.lfHeight);
  m_fontLargeBold.CreateFontIndirect(&lf);
  return TRUE;
}

void CConverterResources::RefreshThemedFlag() { m_bThemed = IsVisualStyleActive(); }

CFont* CConverterResources::GetUIFont(int kind) {
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
