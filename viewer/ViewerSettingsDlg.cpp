#include "viewer/ViewerSettingsDlg.h"

#include <shlobj.h>

#include "viewer/ViewerSettings.h"

namespace {
CViewerSettings& Settings() {
  static CViewerSettings fallback;
  CViewerSettings* settings = GetViewerSettings();
  return settings ? *settings : fallback;
}
}  // namespace

BOOL ApplyFileAssociation(CFileAssociation& association, BOOL bChecked, LPCTSTR lpszProgramPath) {
  CString extensionBefore, progIDBefore;
  const BOOL hadExtension = ReadClassesValue(association.m_strExtension, extensionBefore);
  const BOOL hadProgID = ReadClassesValue(association.m_strProgID, progIDBefore);
  if (bChecked) {
    // An extension is pointed only at a ProgID that is complete.
    if (association.Register(lpszProgramPath)) {
      CString previous;
      if (association.Associate(previous)) {
        if (previous.IsEmpty())
          ClearAssociationBackup(association.m_strExtension);  // nobody to give it back to
        else if (previous != association.m_strProgID)
          SetAssociationBackup(association.m_strExtension, previous);
      }
    } else if (!association.IsAssociated()) {
      association.Unregister(lpszProgramPath);  // no half-written ProgID is left behind
    }
  } else {
    association.Unregister(lpszProgramPath);
    CString previous = GetAssociationBackup(association.m_strExtension);
    if (previous == association.m_strProgID) previous.Empty();
    association.Restore(previous);
    // Given back now, or the type went elsewhere meanwhile: either way the
    // backup has served.
    ClearAssociationBackup(association.m_strExtension);
  }
  CString extensionAfter, progIDAfter;
  const BOOL hasExtension = ReadClassesValue(association.m_strExtension, extensionAfter);
  const BOOL hasProgID = ReadClassesValue(association.m_strProgID, progIDAfter);
  return hadExtension != hasExtension || hadProgID != hasProgID || extensionBefore != extensionAfter ||
         progIDBefore != progIDAfter;
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
  BOOL changed = FALSE;
  for (int i = 0; i < (int)m_associations.size(); ++i)
    if (ApplyFileAssociation(*m_associations[(size_t)i], m_listFileTypes.GetCheck(i), program)) changed = TRUE;
  // Explorer and the open dialogs keep associations cached until told.
  if (changed) ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  CDialog::OnOK();
}
