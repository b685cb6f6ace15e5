// The open and save dialog of both programs: the class library's file dialog,
// always explorer style, resizable and hooked, with room for a multiple
// selection of many files.
#pragma once
#include "afxwin.h"

class COCFileDialog : public CFileDialog {
  DECLARE_DYNAMIC(COCFileDialog)
 public:
  // Characters of the file name buffer (its terminator not counted).
  static constexpr DWORD kFileBufferChars = 0x100000;

  // dwRecordSize 0 (or any size the system does not know) uses the full
  // record of the platform.
  COCFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt = nullptr, LPCTSTR lpszFileName = nullptr,
                DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCTSTR lpszFilter = nullptr,
                CWnd* pParentWnd = nullptr, DWORD dwRecordSize = 0);

  OPENFILENAMEW* m_pOFN;  // the record the system gets

 protected:
  // Centres the dialog over its owner.
  void OnInitDone() override;
};
