// Builds the argument text of an outside tool's command line, token by token.
#pragma once
#include "afx.h"

class CArgumentList {
 public:
  CArgumentList() {}
  virtual ~CArgumentList() {}

  // Appends one token, separated by a blank; a null or empty token gives -1.
  int Add(LPCTSTR token);
  // Adds the name (when given), then the formatted value when it is not empty.
  int AddFormatted(LPCTSTR name, LPCTSTR format, ...);

  const CString& GetText() const { return m_strText; }
  operator LPCTSTR() const { return m_strText; }

 private:
  CString m_strText;
};
