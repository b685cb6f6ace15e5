// The shell's file icons.
#pragma once
#include "afxwin.h"

// The system image list index of a file's or folder's icon; -1 when none.
int GetShellIconIndex(LPCTSTR path, UINT flags);

// The system's small and large file-icon lists, borrowed: they are never destroyed here.
class CSystemImageLists {
 public:
  CSystemImageLists() {}
  virtual ~CSystemImageLists();
  // 1, or 0 when either list is missing.
  int Load();
  // kind 1: small icons, 2: large icons; none for any other kind.
  CImageList* GetImageList(int kind);

  HIMAGELIST m_hSmallList = nullptr;
  HIMAGELIST m_hLargeList = nullptr;
  CImageList m_smallList;
  CImageList m_largeList;
};
