// Where tests find files that the test set-up made outside Wine.
#pragma once
#include <cstdlib>

#include "afx.h"

// A folder of the build tree as the test sees it: under Wine the Unix path
// of RS_BINARY_DIR is reached through drive Z:.
inline CString BuildTreePath(LPCTSTR relative) {
  const char* root = getenv("RS_BINARY_DIR");
  CString path(root ? root : ".");
#ifdef _WIN32
  if (path.GetLength() > 0 && path[0] == L'/') path = L"Z:" + path;
  path.Replace(L'/', L'\\');
  path += L'\\';
#else
  path += L'/';
#endif
  path += relative;
  return path;
}
