// Combo boxes in two lines, over the plain combo box and over the extended
// combo box with item images: a drop-down list as wide as its longest item, a
// path field that takes a dropped file or folder and completes paths as the
// user types, and a view of a recent-path list.
#pragma once
#include "foundation/RecentList.h"
#include "afxwin.h"

// Path modes of the drop combos.
enum { PATHMODE_FILES = 1, PATHMODE_FOLDERS = 2 };

// Binds the shell's path completion to an edit field (SHAutoComplete, looked
// up at run time); FALSE without a window or without the function.
BOOL EnableAutoComplete(HWND hWnd, DWORD dwFlags);
// The completion flags of a path mode.
DWORD AutoCompleteFlags(int nPathMode);

// ---------------------------------------------------------------------------
// Plain line

class CAutoWidthComboBox : public CComboBox {
  DECLARE_DYNAMIC(CAutoWidthComboBox)
 public:
  // The edit field (child 1001), null for a drop-down list.
  CEdit* GetEditCtrl() const;
  virtual CString GetText();
  virtual void AdjustDroppedWidth();
  // Longest item + twice the width of "W", + a scroll bar when one is shown.
  virtual int CalcDroppedWidth();

 protected:
  afx_msg BOOL OnDropDown();
  DECLARE_MESSAGE_MAP()
};

class CDropComboBox : public CAutoWidthComboBox {
  DECLARE_DYNAMIC(CDropComboBox)
 public:
  explicit CDropComboBox(int nPathMode = PATHMODE_FILES) : m_nPathMode(nPathMode) {}
  // Case-insensitive path comparison; -1 when none or start is past the end.
  int FindStringExact(int nIndexStart, LPCTSTR lpszFind) const;
  // Moves a listed entry to the top and selects it; a new one is inserted at
  // the top when bInsert is set, else it only fills the edit field (-1).
  virtual int AddToTop(LPCTSTR lpszText, BOOL bInsert);

  int m_nPathMode;

 protected:
  void PreSubclassWindow() override;
  afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
  afx_msg void OnDropFiles(HDROP hDropInfo);
  void EnableDropAndCompletion();
  DECLARE_MESSAGE_MAP()
};

class CHistoryComboBox : public CDropComboBox {
  DECLARE_DYNAMIC(CHistoryComboBox)
 public:
  explicit CHistoryComboBox(int nPathMode = PATHMODE_FILES) : CDropComboBox(nPathMode) {}
  int AddToTop(LPCTSTR lpszText, BOOL bInsert) override;
  void SetHistory(CRecentList* pHistory);
  // Refills the list from the recent list, up to its first empty entry.
  virtual void ReloadHistory();

  CRecentList* m_pHistory = nullptr;

 protected:
  DECLARE_MESSAGE_MAP()
};

// ---------------------------------------------------------------------------
// Extended line

class CAutoWidthComboBoxEx : public CComboBoxEx {
  DECLARE_DYNAMIC(CAutoWidthComboBoxEx)
 public:
  using CComboBoxEx::InsertItem;
  CEdit* GetEditCtrl() const;
  CImageList* GetImageList() const;
  CComboBox* GetComboCtrl() const;

  virtual CString GetText();
  virtual CString GetItemText(int nIndex);
  // FALSE when the item cannot be read (the outputs are then left alone).
  virtual BOOL GetItemImage(int nIndex, int& nImage, int& nSelectedImage);
  // A selected image of -1 is the same as the image; returns the index or -1.
  virtual int InsertItem(int nIndex, LPCTSTR lpszText, int nImage, int nSelectedImage = -1);
  virtual int InsertItemIndent(int nIndex, LPCTSTR lpszText, int nImage, int nSelectedImage, int nIndent);
  // Case-insensitive; -1 when none.
  virtual int FindItem(int nIndexStart, LPCTSTR lpszText);
  virtual BOOL SetItemImage(int nIndex, int nImage, int nSelectedImage = -1);
  virtual BOOL SetItemText(int nIndex, LPCTSTR lpszText);
  // Longest item, images and margins, kept on the screen.
  virtual void AdjustDroppedWidth();

 protected:
  afx_msg BOOL OnDropDown();
  DECLARE_MESSAGE_MAP()
};

class CDropComboBoxEx : public CAutoWidthComboBoxEx {
  DECLARE_DYNAMIC(CDropComboBoxEx)
 public:
  explicit CDropComboBoxEx(int nPathMode = PATHMODE_FILES) : m_nPathMode(nPathMode) {}
  // Path comparison instead of plain text comparison.
  int FindItem(int nIndexStart, LPCTSTR lpszText) override;
  // Inserts a path with its shell icon (none when the path does not exist).
  virtual int InsertPath(int nIndex, LPCTSTR lpszPath);
  // As CDropComboBox::AddToTop; a moved entry keeps its images.
  virtual int AddToTop(LPCTSTR lpszText, BOOL bInsert);

  int m_nPathMode;
  BOOL m_bAutoComplete = FALSE;

 protected:
  void PreSubclassWindow() override;
  afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
  afx_msg void OnDropFiles(HDROP hDropInfo);
  void EnableDropAndCompletion();
  DECLARE_MESSAGE_MAP()
};

class CHistoryComboBoxEx : public CDropComboBoxEx {
  DECLARE_DYNAMIC(CHistoryComboBoxEx)
 public:
  explicit CHistoryComboBoxEx(int nPathMode = PATHMODE_FILES) : CDropComboBoxEx(nPathMode) {}
  int AddToTop(LPCTSTR lpszText, BOOL bInsert) override;
  // The closing item, when given, is a last item that clears the history.
  void SetHistory(CRecentList* pHistory, LPCTSTR lpszClosingItem = nullptr);
  virtual void ReloadHistory();

  CRecentList* m_pHistory = nullptr;
  CString m_strClosingItem;

 protected:
  afx_msg BOOL OnDropDownHistory();
  afx_msg BOOL OnSelEndOk();
  afx_msg LRESULT OnHistoryCleared(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()
};
