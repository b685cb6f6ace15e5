#include "foundation/SettingFields.h"

void LoadSettingFields(CWinApp* app, LPCTSTR section, const CSettingFields& fields) {
  for (const CSettingField& f : fields) {
    if (f.m_kind == SETTING_TEXT) {
      *f.m_pText = app->GetProfileString(section, f.m_pszName, f.m_pszDefault ? f.m_pszDefault : (LPCTSTR)*f.m_pText);
      continue;
    }
    int v = (int)app->GetProfileInt(section, f.m_pszName, *f.m_pInt);
    if (f.m_kind == SETTING_BOOL) v = v != 0;
    *f.m_pInt = v < f.m_nMin ? f.m_nMin : (v > f.m_nMax ? f.m_nMax : v);
  }
}

void SaveSettingFields(CWinApp* app, LPCTSTR section, const CSettingFields& fields) {
  for (const CSettingField& f : fields) {
    if (f.m_access == SETTING_READ_ONLY) continue;
    if (f.m_kind == SETTING_TEXT)
      app->WriteProfileString(section, f.m_pszName, *f.m_pText);
    else
      app->WriteProfileInt(section, f.m_pszName, f.m_kind == SETTING_BOOL ? (*f.m_pInt ? 1 : 0) : *f.m_pInt);
  }
}
