// Every program, document, folder, web page and mail link the programs start
// goes through ShellLaunch. Tests install a handler so that nothing is
// launched.
#pragma once
#include "afx.h"

#ifdef _WIN32
#include <functional>

// ShellExecuteW(owner, verb, file, params, no folder, show); the shell's
// answer is not reported. Null verb and params stay null.
void ShellLaunch(HWND owner, LPCTSTR verb, LPCTSTR file, LPCTSTR params, int show);
// ShellLaunch(no owner, verb, target, no parameters, SW_SHOWNORMAL).
void ShellOpen(LPCTSTR verb, LPCTSTR target);
// Opens "mailto:address?subject=subject" (with "&body=body" when body is not
// null) with the verb "Open". 0.
int OpenMailTo(LPCTSTR address, LPCTSTR subject, LPCTSTR body);

// A handler replaces the shell for every later launch; null restores it.
typedef std::function<void(LPCTSTR verb, LPCTSTR file, LPCTSTR params, int show)> ShellLaunchHandler;
void SetShellLaunchHandler(ShellLaunchHandler handler);
#endif
