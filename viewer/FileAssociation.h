// The viewer's file-type associations: a program identifier per extension
// ("Morrowtide.Glimmerscope.dcm"), the extension pointed at it, and the way
// back to the extension's previous owner.
#pragma once
#include "afxwin.h"

class CFileAssociation {
 public:
  CFileAssociation(LPCTSTR lpszExtension, LPCTSTR lpszProgID, LPCTSTR lpszDescription, int nIconIndex);
  virtual ~CFileAssociation() {}

  // The extension's value is this ProgID (case-sensitive).
  virtual BOOL IsAssociated();
  // Points the extension at the ProgID; previous = the value it had, if any.
  // Only the extension's own value changes.
  virtual BOOL Associate(CString& previous);
  // Only while associated: the extension's value goes back to previous, or,
  // when previous is empty or this ProgID, is removed, and the key with it
  // when nothing else is in it.
  virtual BOOL Restore(LPCTSTR previous);
  // The ProgID's value is the description (case-sensitive).
  virtual BOOL IsRegistered();
  // The ProgID with its description, DefaultIcon and open command.
  virtual BOOL Register(LPCTSTR lpszProgramPath);
  virtual BOOL Unregister(LPCTSTR lpszProgramPath);

  CString m_strExtension;  // with its dot
  CString m_strProgID;
  CString m_strDescription;
  int m_nIconIndex;
  int m_bRegistered = 0;
  int m_bAssociated = 0;
};

struct FileTypeEntry {
  LPCTSTR extension;
  LPCTSTR description;
};
extern const FileTypeEntry FileTypeTable[18];
const int kFileTypeCount = 18;
// The program's icon group, by resource id.
const int kFileTypeIconIndex = -129;

// "Morrowtide.Glimmerscope" followed by the extension.
CString MakeProgID(LPCTSTR lpszExtension);

// Where the classes live: HKEY_CURRENT_USER with "Software\Classes\" before
// every path on NT 6 and later, HKEY_CLASSES_ROOT as it is before.
HKEY GetClassesRoot();
CString GetClassesPath(LPCTSTR lpszKey);

// Registry access by key path below the classes root.
BOOL ReadClassesValue(LPCTSTR lpszKey, CString& value);
BOOL WriteClassesValue(LPCTSTR lpszKey, LPCTSTR lpszValue);
// Removes the key's own (default) value; TRUE also when it had none.
BOOL ClearClassesValue(LPCTSTR lpszKey);
// The key exists and holds neither values nor subkeys.
BOOL IsClassesKeyEmpty(LPCTSTR lpszKey);
// Deletes the key when it has no subkeys, then each parent that became empty,
// never climbing above the classes root's own keys.
void DeleteClassesKey(LPCTSTR lpszKey);

// The stored previous owner of an extension ("FileTypes\<ext>", "Backup").
CString GetAssociationBackup(LPCTSTR lpszExtension);
void SetAssociationBackup(LPCTSTR lpszExtension, LPCTSTR lpszProgID);
void ClearAssociationBackup(LPCTSTR lpszExtension);
