// Most-recent-first lists of paths kept as numbered registry values.
#pragma once
#include "afxwin.h"

class CRecentStringList {
 public:
  CRecentStringList() {}
  virtual ~CRecentStringList() {}
  virtual void Add(LPCTSTR text);
  virtual void Remove(int index);
  // Appends the stored values; meant to be read once into an empty list.
  virtual void ReadList();
  // Rewrites the whole section.
  virtual void WriteList();
  virtual BOOL IsSameEntry(LPCTSTR entry, LPCTSTR text);

  int GetCount() const { return (int)m_arrNames.GetSize(); }
  CString GetAt(int i) const { return m_arrNames[i]; }

  CStringArray m_arrNames;
  int m_nMaxCount = 10;
  CString m_strSection;
  CString m_strEntryFormat;

 protected:
  CString EntryName(int number) const;
};

class CRecentList : public CRecentStringList {
 public:
  BOOL IsSameEntry(LPCTSTR entry, LPCTSTR text) override;
  // Replaces the placeholder item of pCmdUI (the first id of a range) with the
  // entries; returns the item count, 0 for an empty list, -1 without a menu.
  virtual int UpdateMenu(CCmdUI* pCmdUI, int position = -1);

  int m_bShowFullPath = 1;
  CString m_strOriginal;
};
