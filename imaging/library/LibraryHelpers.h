// The few general helpers the library binding needs (paths, ANSI text, error
// texts, the program folder), behind one thin layer.
#pragma once
#include "afx.h"

namespace libhelp {
CStringA WideToAnsi(const CString& text);          // system ANSI code page
CString GetLastErrorText(DWORD error);             // the system's message text
CString GetProgramFolder();                        // honours "AppFolder"
CString GetParentFolder(const CString& path);      // no trailing backslash
CString GetFileBaseName(const CString& path);      // name without extension
BOOL DeleteFileIfExists(const CString& path);
}  // namespace libhelp
