#include "foundation/AnsiText.h"

#include <string>
#include <vector>

#ifdef _WIN32
int WideToAnsi(LPCWSTR text, CStringA& out) {
  out.Empty();
  if (!text || !*text) return -1;
  int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return -1;
  char* buf = (char*)calloc((size_t)size + 1, 1);
  if (!buf) return -1;
  WideCharToMultiByte(CP_ACP, 0, text, -1, buf, size, nullptr, nullptr);
  buf[size] = 0;
  out = buf;
  free(buf);
  return size;
}

bool WideToAnsiExact(LPCWSTR text, CStringA& out, UINT codePage) {
  out.Empty();
  if (!text || !*text) return true;
  if (codePage == CP_ACP) codePage = GetACP();
  // UTF-8 holds every character: the system takes no best-fit flag and no
  // default character for it, and refuses only what is no character.
  const bool utf8 = codePage == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL lossy = FALSE;
  BOOL* used = utf8 ? nullptr : &lossy;
  const int n = WideCharToMultiByte(codePage, flags, text, -1, nullptr, 0, nullptr, used);
  if (n <= 0 || lossy) return false;
  std::string buf((size_t)n, '\0');
  WideCharToMultiByte(codePage, flags, text, -1, &buf[0], n, nullptr, used);
  if (lossy) return false;
  out = buf.c_str();
  return true;
}

bool PathForLibrary(LPCTSTR path, CStringA& out) {
  const CString wide = path ? path : L"";
  if (WideToAnsiExact(wide, out)) return true;
  // The short form of the path, or of its existing folder with the name
  // appended, when that survives the code page (the system makes short names
  // of long or foreign ones).
  CString tail;
  CString head = wide;
  while (!head.IsEmpty()) {
    std::vector<wchar_t> shortPath(32768);
    const DWORD n = GetShortPathNameW(head, shortPath.data(), (DWORD)shortPath.size());
    if (n > 0 && n < shortPath.size()) {
      if (WideToAnsiExact(CString(shortPath.data()) + tail, out)) return true;
      break;
    }
    const int slash = head.ReverseFind(L'\\');
    if (slash <= 0) break;
    tail = head.Mid(slash) + tail;
    head = head.Left(slash);
  }
  out.Empty();
  SetLastError(ERROR_NO_UNICODE_TRANSLATION);
  return false;
}
#else
int WideToAnsi(LPCWSTR text, CStringA& out) {
  out.Empty();
  if (!text || !*text) return -1;
  out = CStringA(text);
  return out.GetLength() + 1;
}
#endif
