// The viewer's handle on the image library's viewer window: loads the
// library, asks it for the window under the view, and drives it with
// WM_PLAYER messages. The window and its procedure belong to the library.
#pragma once
#include "imaging/library/ImageLibrary.h"
#include "afxwin.h"

// Both directions: wParam = MAKEWPARAM(code, count), the result 0 = success.
#define WM_PLAYER QF_WM_PLAYER

class CPlayerWindow : public CWnd, public CImageLibrary {
 public:
  CPlayerWindow() {}
  // Destroys a library window that is still alive before the library goes.
  ~CPlayerWindow() override;

  // Opens the library and takes the window it makes under pParentWnd; the
  // other arguments are not used. FALSE when either fails.
  BOOL Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
              UINT nID, void* pContext = nullptr) override;

  BOOL HasWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }
  // The operation's result; -1 without a window.
  int SendPlayerMessage(int code, int count, LPARAM lParam);
  // -1 without sending when a path cannot be given to the library.
  int OpenFile(LPCTSTR lpszPath);
  // -1 for an empty list, for more paths than the count can carry and when
  // any path cannot be given to the library.
  int OpenFiles(const CStringArray& paths);
  int Close();
  int SaveSnapshot(LPCTSTR lpszPath);
  int Reset(int what);

  // The path as the library gets it: exactly in the ANSI code page, else its
  // short form; FALSE when neither names the file (the operation then fails
  // instead of handing over a look-alike name of another file).
  static BOOL NarrowPath(LPCTSTR lpszPath, CStringA& narrow);
};
