#include "viewer/PlayerWindow.h"

#include <vector>

#include "foundation/AnsiText.h"

CPlayerWindow::~CPlayerWindow() {
  // The window procedure lives in the library, which the base part unloads
  // next: a window that outlived its parent goes first.
  if (m_hModule && m_hWnd && ::IsWindow(m_hWnd) && (HMODULE)::GetClassLongPtrW(m_hWnd, GCLP_HMODULE) == m_hModule &&
      ::GetWindowThreadProcessId(m_hWnd, nullptr) == ::GetCurrentThreadId())
    ::DestroyWindow(m_hWnd);
  m_hWnd = nullptr;
}

BOOL CPlayerWindow::Create(LPCTSTR, LPCTSTR, DWORD, const RECT&, CWnd* pParentWnd, UINT, void*) {
  if (Open() != 0) return FALSE;
  m_hWnd = CreateViewerWindow(pParentWnd->GetSafeHwnd());
  return m_hWnd != nullptr;
}

BOOL CPlayerWindow::NarrowPath(LPCTSTR lpszPath, CStringA& narrow) {
  return PathForLibrary(lpszPath, narrow) ? TRUE : FALSE;
}

int CPlayerWindow::SendPlayerMessage(int code, int count, LPARAM lParam) {
  if (!HasWindow()) return -1;
  return (int)::SendMessageW(m_hWnd, WM_PLAYER, MAKEWPARAM(code, count), lParam);
}

int CPlayerWindow::OpenFile(LPCTSTR lpszPath) {
  CStringA narrow;
  if (!NarrowPath(lpszPath, narrow)) return -1;
  return SendPlayerMessage(PLAYER_OPEN, 0, (LPARAM)(LPCSTR)narrow);
}

int CPlayerWindow::OpenFiles(const CStringArray& paths) {
  const INT_PTR count = paths.GetSize();
  if (count <= 0 || count > 0xFFFF) return -1;  // the count travels in 16 bits
  std::vector<CStringA> narrow((size_t)count);
  std::vector<const char*> list((size_t)count);
  for (INT_PTR i = 0; i < count; ++i) {
    if (!NarrowPath(paths[i], narrow[(size_t)i])) return -1;
    list[(size_t)i] = narrow[(size_t)i];
  }
  return SendPlayerMessage(PLAYER_OPEN_MULTIPLE, (int)count, (LPARAM)list.data());
}

int CPlayerWindow::Close() { return SendPlayerMessage(PLAYER_CLOSE, 0, 0); }

int CPlayerWindow::SaveSnapshot(LPCTSTR lpszPath) {
  CStringA narrow;
  if (!NarrowPath(lpszPath, narrow)) return -1;
  return SendPlayerMessage(PLAYER_SNAPSHOT, 0, (LPARAM)(LPCSTR)narrow);
}

int CPlayerWindow::Reset(int what) { return SendPlayerMessage(PLAYER_RESET, 0, what); }
