#include "foundation/ui/FileDialog.h"

IMPLEMENT_DYNAMIC(COCFileDialog, CFileDialog)

COCFileDialog::COCFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt, LPCTSTR lpszFileName, DWORD dwFlags,
                             LPCTSTR lpszFilter, CWnd* pParentWnd, DWORD dwRecordSize)
    : CFileDialog(bOpenFileDialog, lpszDefExt, nullptr, dwFlags, lpszFilter, pParentWnd), m_pOFN(&m_ofn) {
  // Only the two sizes the system knows: the older record without the
  // trailing fields, or the whole one. Sizes meant for other platforms
  // would make the system refuse the dialog.
  m_ofn.lStructSize =
      dwRecordSize == OPENFILENAME_SIZE_VERSION_400W ? OPENFILENAME_SIZE_VERSION_400W : (DWORD)sizeof(OPENFILENAMEW);
  SetFileBufferSize(kFileBufferChars);
  if (lpszFileName) lstrcpynW(m_ofn.lpstrFile, lpszFileName, (int)kFileBufferChars);
  DWORD flags = dwFlags | OFN_ENABLESIZING | OFN_EXPLORER | OFN_ENABLEHOOK;
  if (dwFlags & OFN_ENABLETEMPLATE) flags &= ~OFN_ENABLESIZING;
  m_ofn.Flags = flags;
  m_ofn.hInstance = AfxGetResourceHandle();
}

void COCFileDialog::OnInitDone() {
  if (CWnd* frame = GetParent()) frame->CenterWindow();
}
