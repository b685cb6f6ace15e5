// Include/exclude lists of wildcard patterns that a file name must pass.
#pragma once
#include "afxcoll.h"

class CFileFilter {
 public:
  CFileFilter() {}
  virtual ~CFileFilter() {}
  // Either text may be null. Patterns are separated by ';'; empty parts are
  // dropped, blanks are kept. Returns 0.
  virtual int SetPatterns(LPCTSTR includeText, LPCTSTR excludeText, int caseSensitive);
  // 1 when the name passes, 0 when it is rejected.
  virtual int Match(LPCTSTR name);

  CString m_strInclude;
  CString m_strExclude;
  int m_bCaseSensitive = 0;
  CStringArray m_include;
  CStringArray m_exclude;
};

// Wildcards: '*' any run, '?' one character, '[a-c]' and '[!a-c]' sets, '`'
// takes the next character literally, a leading '!' negates the rest, and
// U+001A is a run that stops at the next '.'. Letters A-Z match either case.
// The matcher remembers what it has tried, so many stars stay fast.
int MatchWildcard(LPCTSTR pattern, LPCTSTR text);
int MatchWildcardAt(LPCTSTR pattern, LPCTSTR text);
