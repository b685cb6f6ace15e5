#include "foundation/RecentList.h"

#include <shlwapi.h>

CString CRecentStringList::EntryName(int number) const {
  CString name;
  name.Format(m_strEntryFormat, number);
  return name;
}

void CRecentStringList::Add(LPCTSTR text) {
  CString entry(text ? text : L"");
  entry.Trim();
  if (entry.IsEmpty()) return;
  for (int i = 0; i < GetCount(); ++i) {
    if (IsSameEntry(m_arrNames[i], entry)) {
      m_arrNames.RemoveAt(i);
      break;
    }
  }
  m_arrNames.InsertAt(0, entry);
  if (GetCount() > m_nMaxCount && m_nMaxCount >= 0) m_arrNames.RemoveAt(m_nMaxCount, GetCount() - m_nMaxCount);
}

void CRecentStringList::Remove(int index) {
  if (index >= 0 && index < GetCount()) m_arrNames.RemoveAt(index);
}

BOOL CRecentStringList::IsSameEntry(LPCTSTR entry, LPCTSTR text) { return wcscmp(entry, text) == 0; }

void CRecentStringList::ReadList() {
  if (m_strSection.IsEmpty() || m_strEntryFormat.IsEmpty()) return;
  CWinApp* app = AfxGetApp();
  if (!app) return;
  for (int i = 1; i <= m_nMaxCount; ++i) {
    CString value = app->GetProfileString(m_strSection, EntryName(i));
    value.Trim();
    if (!value.IsEmpty()) m_arrNames.Add(value);
  }
  if (GetCount() > m_nMaxCount && m_nMaxCount >= 0) m_arrNames.RemoveAt(m_nMaxCount, GetCount() - m_nMaxCount);
}

void CRecentStringList::WriteList() {
  if (m_strSection.IsEmpty() || m_strEntryFormat.IsEmpty()) return;
  CWinApp* app = AfxGetApp();
  if (!app) return;
  app->WriteProfileString(m_strSection, nullptr, nullptr);
  for (int i = 0; i < GetCount(); ++i) app->WriteProfileString(m_strSection, EntryName(i + 1), m_arrNames[i]);
}

BOOL CRecentList::IsSameEntry(LPCTSTR entry, LPCTSTR text) { return AfxComparePath(entry, text); }

int CRecentList::UpdateMenu(CCmdUI* pCmdUI, int position) {
  CMenu* menu = pCmdUI->m_pSubMenu ? pCmdUI->m_pSubMenu : pCmdUI->m_pMenu;
  if (!menu || !menu->GetSafeHmenu()) return -1;
  if (m_strOriginal.IsEmpty()) menu->GetMenuString(pCmdUI->m_nID, m_strOriginal, MF_BYCOMMAND);

  if (GetCount() == 0) {
    for (int i = 1; i < m_nMaxCount; ++i) menu->DeleteMenu(pCmdUI->m_nID + i, MF_BYCOMMAND);
    if (!m_strOriginal.IsEmpty())
      menu->ModifyMenu(pCmdUI->m_nID, MF_BYCOMMAND | MF_STRING, pCmdUI->m_nID, m_strOriginal);
    pCmdUI->Enable(FALSE);
    return 0;
  }

  for (int i = 0; i < m_nMaxCount; ++i) menu->DeleteMenu(pCmdUI->m_nID + i, MF_BYCOMMAND);
  if (position == -1) position = (int)pCmdUI->m_nIndex;
  for (int j = 0; j < GetCount(); ++j) {
    CString text = m_bShowFullPath ? m_arrNames[j] : CString(::PathFindFileNameW(m_arrNames[j]));
    text.Replace(L"&", L"&&");  // shown as written, not as an accelerator
    menu->InsertMenu(position + j, MF_BYPOSITION | MF_STRING, pCmdUI->m_nID++, text);
    pCmdUI->m_nIndex++;
  }
  pCmdUI->m_nIndex--;
  pCmdUI->m_nIndexMax = menu->GetMenuItemCount();
  pCmdUI->m_bEnableChanged = TRUE;
  return GetCount();
}
