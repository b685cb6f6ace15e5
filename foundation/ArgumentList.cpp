#include "foundation/ArgumentList.h"

int CArgumentList::Add(LPCTSTR token) {
  if (!token || !*token) return -1;
  if (!m_strText.IsEmpty()) m_strText += L' ';
  m_strText += token;
  return 0;
}

int CArgumentList::AddFormatted(LPCTSTR name, LPCTSTR format, ...) {
  if (name) Add(name);
  if (format) {
    CString value;
    va_list args;
    va_start(args, format);
    value.FormatV(format, args);
    va_end(args);
    if (!value.IsEmpty()) Add(value);
  }
  return 0;
}
