#include "ViewerSettingsDlg.h"

#include "ViewerSettings.h"

namespace {
CViewerSettings& Settings() {
  static CViewerSettings fallback;
  CViewerSettings* settings = GetViewerSettings();
  return settings ? *settings : fallback;
}
}  // namespace

void ApplyFileAssociation(CFileAssociation& association, BOOL bChecked, LPCTSTR lpszProgramPath) {
  if (bChecked) {
    association.Register(lpszProgramPath);
    CString previous;
    association.Associate(previous);
    if (!previous.IsEmpty() && previous != association.m_strProgID)
      SetAssociationBackup(association.m_strExtension, previous);
  } else {
    association.Unregister(lpszProgramPath);
    CString previous = GetAssociationBackup(association.m_strExtension);
    if (previous == association.m_strProgID) previous.Empty();
    association.Restore(previous);
  }
}

CViewerSettingsDlg::CViewerSettingsDlg(CWnd* pParent)
    : CDialog(IDD, pParent),
      m_bAlwaysShowControlBar(Settings().m_bAlwaysShowControlBar ? 1 : 0),
      m_bAutoCheckUpdate(Settings().m_bAutoCheckUpdate ? 1 : 0) {
  for (const FileTypeEntry& row : FileTypeTable)
    m_associations.push_back(std::make_unique<CFileAssociation>(row.extension, MakeProgID(row.extension),
                                                                row.description, kFileTypeIconIndex));
}

void CViewerSettingsDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_FILE_TYPES, m_listFileTypes);
  DDX_Check(pDX, IDC_SHOW_CONTROL_BARS, m_bAlwaysShowControlBar);
  DDX_Check(pDX, IDC_AUTO_CHECK_UPDATE, m_bAutoCheckUpdate);
}

BOOL CViewerSettingsDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_listFileTypes.SetExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
  for (int i = 0; i < (int)m_associations.size(); ++i) {
    CFileAssociation& a = *m_associations[(size_t)i];
    a.m_bRegistered = a.IsRegistered();
    a.m_bAssociated = a.IsAssociated();
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = i;
    item.iImage = I_IMAGENONE;
    item.pszText = const_cast<LPWSTR>((LPCWSTR)a.m_strExtension);
    const int index = m_listFileTypes.InsertItem(&item);
    m_listFileTypes.SetCheck(index, a.m_bRegistered && a.m_bAssociated);
  }
  return TRUE;
}

void CViewerSettingsDlg::OnOK() {
  if (!UpdateData(TRUE)) return;
  CViewerSettings& s = Settings();
  s.m_bAlwaysShowControlBar = m_bAlwaysShowControlBar;
  s.m_bAutoCheckUpdate = m_bAutoCheckUpdate;
  wchar_t program[1024] = {};
  ::GetModuleFileNameW(nullptr, program, 1023);
  for (int i = 0; i < (int)m_associations.size(); ++i)
    ApplyFileAssociation(*m_associations[(size_t)i], m_listFileTypes.GetCheck(i), program);
  CDialog::OnOK();
}
