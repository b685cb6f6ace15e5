#include "viewer/FileAssociation.h"

#include "viewer/ViewerResources.h"

const FileTypeEntry FileTypeTable[18] = {
    {L".dcm", L"DICOM Image"}, {L".dicom", L"DICOM Image"}, {L".mr", L"MR Image"},     {L".ct", L"CT Image"},
    {L".mha", L"MHA File"},    {L".mhd", L"MHD File"},      {L".mnc", L"MNC File"},    {L".nii", L"NIfTI Image"},
    {L".img", L"IMG File"},    {L".hdr", L"HDR File"},      {L".nrrd", L"NRRD Image"}, {L".jpg", L"JPEG Image"},
    {L".jpeg", L"JPEG Image"}, {L".bmp", L"BMP Image"},     {L".png", L"PNG Image"},   {L".pnm", L"PNM Image"},
    {L".tif", L"TIFF Image"},  {L".tiff", L"TIFF Image"},
};

namespace {
const wchar_t kClassesPrefix[] = L"Software\\Classes\\";

BOOL IsNT6() {
  if (CViewerResources* res = GetViewerResources()) return res->IsNT6OrLater();
  COSVersionInfo os;
  os.Query();
  return os.m_info.dwPlatformId == VER_PLATFORM_WIN32_NT && os.m_info.dwMajorVersion > 5;
}

BOOL KeyHasSubkeys(HKEY key) {
  wchar_t name[MAX_PATH];
  return ::RegEnumKeyW(key, 0, name, MAX_PATH) == ERROR_SUCCESS;
}

CString BackupSection(LPCTSTR lpszExtension) {
  CString section;
  section.Format(L"%s\\%s", L"FileTypes", lpszExtension);
  return section;
}
}  // namespace

CString MakeProgID(LPCTSTR lpszExtension) {
  CString id;
  id.Format(L"%s.%s%s", L"Morrowtide", L"Glimmerscope", lpszExtension ? lpszExtension : L"");
  return id;
}

HKEY GetClassesRoot() { return IsNT6() ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT; }

CString GetClassesPath(LPCTSTR lpszKey) {
  CString path(lpszKey ? lpszKey : L"");
  return IsNT6() ? CString(kClassesPrefix) + path : path;
}

BOOL ReadClassesValue(LPCTSTR lpszKey, CString& value) {
  wchar_t buffer[1024] = {};
  LONG size = (LONG)sizeof(buffer);
  if (::RegQueryValueW(GetClassesRoot(), GetClassesPath(lpszKey), buffer, &size) != ERROR_SUCCESS) return FALSE;
  buffer[1023] = 0;
  value = buffer;
  return TRUE;
}

BOOL WriteClassesValue(LPCTSTR lpszKey, LPCTSTR lpszValue) {
  CString text(lpszValue ? lpszValue : L"");
  return ::RegSetValueW(GetClassesRoot(), GetClassesPath(lpszKey), REG_SZ, text,
                        (DWORD)((text.GetLength() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

BOOL ClearClassesValue(LPCTSTR lpszKey) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(GetClassesRoot(), GetClassesPath(lpszKey), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return FALSE;
  const LONG result = ::RegDeleteValueW(key, nullptr);
  ::RegCloseKey(key);
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

BOOL IsClassesKeyEmpty(LPCTSTR lpszKey) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(GetClassesRoot(), GetClassesPath(lpszKey), 0, KEY_READ, &key) != ERROR_SUCCESS) return FALSE;
  DWORD subkeys = 1, values = 1;
  const LONG result = ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                         nullptr, nullptr, nullptr);
  ::RegCloseKey(key);
  return result == ERROR_SUCCESS && subkeys == 0 && values == 0;
}

void DeleteClassesKey(LPCTSTR lpszKey) {
  const HKEY root = GetClassesRoot();
  const CString prefix = GetClassesPath(L"");
  CString path(lpszKey ? lpszKey : L"");
  while (!path.IsEmpty()) {
    const CString full = prefix + path;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, full, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    const BOOL busy = KeyHasSubkeys(key);
    ::RegCloseKey(key);
    if (busy || ::RegDeleteKeyW(root, full) != ERROR_SUCCESS) return;
    const int cut = path.ReverseFind(L'\\');
    if (cut < 0) return;
    path = path.Left(cut);
  }
}

CString GetAssociationBackup(LPCTSTR lpszExtension) {
  CWinApp* app = AfxGetApp();
  return app ? app->GetProfileString(BackupSection(lpszExtension), L"Backup", L"") : CString();
}

void SetAssociationBackup(LPCTSTR lpszExtension, LPCTSTR lpszProgID) {
  if (CWinApp* app = AfxGetApp()) app->WriteProfileString(BackupSection(lpszExtension), L"Backup", lpszProgID);
}

void ClearAssociationBackup(LPCTSTR lpszExtension) {
  // The section holds the backup alone.
  if (CWinApp* app = AfxGetApp()) app->WriteProfileString(BackupSection(lpszExtension), nullptr, nullptr);
}

CFileAssociation::CFileAssociation(LPCTSTR lpszExtension, LPCTSTR lpszProgID, LPCTSTR lpszDescription, int nIconIndex)
    : m_strExtension(lpszExtension ? lpszExtension : L""),
      m_strProgID(lpszProgID ? lpszProgID : L""),
      m_strDescription(lpszDescription ? lpszDescription : L""),
      m_nIconIndex(nIconIndex) {}

BOOL CFileAssociation::IsAssociated() {
  if (m_strExtension.IsEmpty() || m_strProgID.IsEmpty()) return FALSE;
  CString value;
  return ReadClassesValue(m_strExtension, value) && value == m_strProgID;
}

BOOL CFileAssociation::Associate(CString& previous) {
  previous.Empty();
  if (m_strExtension.IsEmpty() || m_strProgID.IsEmpty()) return FALSE;
  CString value;
  if (ReadClassesValue(m_strExtension, value)) previous = value;
  // Only the value is ours: whatever else other programs keep under the
  // extension (Content Type, PerceivedType, OpenWithProgids) stays.
  return WriteClassesValue(m_strExtension, m_strProgID);
}

BOOL CFileAssociation::Restore(LPCTSTR previous) {
  if (m_strExtension.IsEmpty() || m_strProgID.IsEmpty()) return FALSE;
  if (!IsAssociated()) return FALSE;
  const CString before(previous ? previous : L"");
  if (!before.IsEmpty() && before != m_strProgID) {
    WriteClassesValue(m_strExtension, before);
  } else {
    // No owner to give back: the value goes (a value naming a deleted ProgID
    // would hide the machine-wide association), the key only when nothing
    // else is left in it.
    ClearClassesValue(m_strExtension);
    if (IsClassesKeyEmpty(m_strExtension)) DeleteClassesKey(m_strExtension);
  }
  return TRUE;
}

BOOL CFileAssociation::IsRegistered() {
  if (m_strExtension.IsEmpty() || m_strProgID.IsEmpty()) return FALSE;
  CString value;
  return ReadClassesValue(m_strProgID, value) && value == m_strDescription;
}

BOOL CFileAssociation::Register(LPCTSTR lpszProgramPath) {
  if (m_strExtension.IsEmpty() || m_strProgID.IsEmpty()) return FALSE;
  const CString program(lpszProgramPath ? lpszProgramPath : L"");
  CString icon, command;
  icon.Format(L"%s,%d", (LPCTSTR)program, m_nIconIndex);
  command.Format(L"\"%s\" \"%%1\"", (LPCTSTR)program);
  return WriteClassesValue(m_strProgID, m_strDescription) && WriteClassesValue(m_strProgID + L"\\DefaultIcon", icon) &&
         WriteClassesValue(m_strProgID + L"\\shell\\open\\command", command);
}

BOOL CFileAssociation::Unregister(LPCTSTR) {
  if (m_strExtension.IsEmpty() || m_strProgID.IsEmpty()) return FALSE;
  DeleteClassesKey(m_strProgID + L"\\DefaultIcon");
  DeleteClassesKey(m_strProgID + L"\\shell\\open\\command");
  DeleteClassesKey(m_strProgID);
  return TRUE;
}
