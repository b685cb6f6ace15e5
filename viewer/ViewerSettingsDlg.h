// The viewer's Settings dialog: two options and the file types the viewer
// is associated with.
#pragma once
#include <memory>
#include <vector>

#include "viewer/FileAssociation.h"
#include "resources/viewer/ViewerRes.h"
#include "afxwin.h"

class CViewerSettingsDlg : public CDialog {
 public:
  enum { IDD = IDD_SETTINGS };
  explicit CViewerSettingsDlg(CWnd* pParent = nullptr);

  CListCtrl m_listFileTypes;
  int m_bAlwaysShowControlBar;
  int m_bAutoCheckUpdate;
  // One per row of the file-type table, in table order.
  std::vector<std::unique_ptr<CFileAssociation>> m_associations;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  // Stores the options, then registers and associates every checked type and
  // undoes every unchecked one, giving the previous owners back.
  void OnOK() override;
};

// Applies one row of the dialog: checked registers it and, once registered,
// associates it (keeping another owner as the backup); unchecked unregisters
// it and gives the extension back to the backup, which is then cleared.
// TRUE when the row's registry values changed.
BOOL ApplyFileAssociation(CFileAssociation& association, BOOL bChecked, LPCTSTR lpszProgramPath);
