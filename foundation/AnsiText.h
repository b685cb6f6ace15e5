// Wide text in the system's ANSI code page, as the image library takes paths.
#pragma once
#include "afx.h"

// Converts wide text to the ANSI code page; returns the byte count with the
// terminator, or -1 for null or empty text.
int WideToAnsi(LPCWSTR text, CStringA& out);

#ifdef _WIN32
// The ANSI form of text only when every character survives the code page
// (no best-fit stand-ins); empty text is exact. CP_ACP is the system's.
bool WideToAnsiExact(LPCWSTR text, CStringA& out, UINT codePage = CP_ACP);
// A path as the image library takes it: in the ANSI code page, in its short
// form when the long one does not survive the code page; false (and no text)
// when neither does, so that no other file is named.
bool PathForLibrary(LPCTSTR path, CStringA& out);
#endif
