// A settings record as a table of fields: each names its registry value, the
// member that holds it, how it is stored and the range a loaded number is
// brought into. One table serves both loading and saving.
#pragma once
#include <climits>
#include <vector>

#include "afxwin.h"

enum SettingKind {
  SETTING_INT,   // a number, loaded into [min, max]
  SETTING_BOOL,  // loaded as on when not 0, written as 0 or 1
  SETTING_TEXT,  // a string
};

enum SettingAccess {
  SETTING_READ_WRITE,
  SETTING_READ_ONLY,  // loaded, never written
};

struct CSettingField {
  LPCTSTR m_pszName;
  SettingKind m_kind;
  int* m_pInt;
  CString* m_pText;
  int m_nMin;
  int m_nMax;
  SettingAccess m_access;
  LPCTSTR m_pszDefault;  // a text's value when missing; null: the member's current value
};

inline CSettingField IntSetting(LPCTSTR name, int& member, int lo = INT_MIN, int hi = INT_MAX,
                                SettingAccess access = SETTING_READ_WRITE) {
  return {name, SETTING_INT, &member, nullptr, lo, hi, access, nullptr};
}
inline CSettingField BoolSetting(LPCTSTR name, int& member, SettingAccess access = SETTING_READ_WRITE) {
  return {name, SETTING_BOOL, &member, nullptr, 0, 1, access, nullptr};
}
inline CSettingField TextSetting(LPCTSTR name, CString& member, LPCTSTR missing = nullptr) {
  return {name, SETTING_TEXT, nullptr, &member, 0, 0, SETTING_READ_WRITE, missing};
}

using CSettingFields = std::vector<CSettingField>;

// Reads every field of the section in table order; a missing value keeps the
// member's current value (or takes the text field's own default).
void LoadSettingFields(CWinApp* app, LPCTSTR section, const CSettingFields& fields);
// Writes every field that is not read-only, in table order.
void SaveSettingFields(CWinApp* app, LPCTSTR section, const CSettingFields& fields);
