#include "foundation/ui/FolderBrowser.h"

#include <shlobj.h>

#include <vector>

namespace {
const int kPathChars = 1024;

// The file-system path of an item, empty for virtual items.
CString PathOfItem(PCIDLIST_ABSOLUTE pidl) {
  std::vector<wchar_t> buffer(kPathChars, L'\0');
  if (!pidl || !::SHGetPathFromIDListEx(pidl, buffer.data(), kPathChars, GPFIDL_DEFAULT)) return CString();
  return CString(buffer.data());
}
}  // namespace

CFolderBrowser::CFolderBrowser(LPCTSTR lpszTitle, UINT nFlags, CWnd* pParentWnd)
    : m_pParent(pParentWnd),
      m_nFlags(nFlags | BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_BROWSEINCLUDEURLS),
      m_strTitle(lpszTitle ? lpszTitle : L"") {}

int CALLBACK CFolderBrowser::BrowseCallback(HWND hWnd, UINT uMsg, LPARAM lParam, LPARAM lpData) {
  if (uMsg == BFFM_INITIALIZED) {
    if (CFolderBrowser* self = reinterpret_cast<CFolderBrowser*>(lpData))
      if (!self->m_strInitialFolder.IsEmpty()) {
        LPARAM folder = (LPARAM)(LPCTSTR)self->m_strInitialFolder;
        ::SendMessageW(hWnd, BFFM_SETSELECTIONW, TRUE, folder);
        // Once more when the dialog has settled: some systems drop a
        // selection made while the dialog is first being filled.
        ::PostMessageW(hWnd, BFFM_SETSELECTIONW, TRUE, folder);
      }
  } else if (uMsg == BFFM_SELCHANGED) {
    CString path = PathOfItem(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam));
    if (!path.IsEmpty()) ::SendMessageW(hWnd, BFFM_SETSTATUSTEXTW, 0, (LPARAM)(LPCTSTR)path);
  }
  return 0;
}

INT_PTR CFolderBrowser::DoModal() {
  m_strFolderPath.Empty();
  IMalloc* pMalloc = nullptr;
  if (FAILED(::SHGetMalloc(&pMalloc)) || !pMalloc) return IDCANCEL;
  std::vector<wchar_t> display(kPathChars, L'\0');
  BROWSEINFOW bi = {};
  bi.hwndOwner = m_pParent ? m_pParent->GetSafeHwnd() : nullptr;
  bi.pidlRoot = nullptr;
  bi.pszDisplayName = display.data();
  bi.lpszTitle = m_strTitle;
  bi.ulFlags = m_nFlags;
  bi.lpfn = BrowseCallback;
  bi.lParam = (LPARAM)this;
  bi.iImage = 0;
  PIDLIST_ABSOLUTE pidl;
  {
    CModalOwner disabled(bi.hwndOwner);
    pidl = ::SHBrowseForFolderW(&bi);
  }
  if (pidl) {
    m_strFolderPath = PathOfItem(pidl);
    pMalloc->Free(pidl);
  }
  pMalloc->Release();
  return m_strFolderPath.IsEmpty() ? IDCANCEL : IDOK;
}
