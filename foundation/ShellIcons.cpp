#include "foundation/ShellIcons.h"

#include <shellapi.h>
#include <shlwapi.h>

int GetShellIconIndex(LPCTSTR path, UINT flags) {
  SHFILEINFOW info = {};
  DWORD attrs = PathIsDirectoryW(path) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  if (!SHGetFileInfoW(path, attrs, &info, sizeof(info), flags | SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES))
    return -1;
  return info.iIcon;
}

CSystemImageLists::~CSystemImageLists() {
  m_smallList.Detach();
  m_largeList.Detach();
}

int CSystemImageLists::Load() {
  SHFILEINFOW info = {};
  m_hSmallList = (HIMAGELIST)SHGetFileInfoW(L"C:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
  m_hLargeList = (HIMAGELIST)SHGetFileInfoW(L"C:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX);
  if (!m_hSmallList || !m_hLargeList) return 0;
  m_smallList.Attach(m_hSmallList);
  m_largeList.Attach(m_hLargeList);
  return 1;
}

CImageList* CSystemImageLists::GetImageList(int kind) {
  if (kind == 1) return &m_smallList;
  if (kind == 2) return &m_largeList;
  return nullptr;
}
