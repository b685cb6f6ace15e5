// Every web page, download address and mail link the programs open goes
// through here. Tests install a handler so that nothing is launched.
#pragma once
#include "afx.h"

#ifdef _WIN32
#include <functional>

// ShellExecuteW(no owner, verb, target, no parameters, no folder, SW_SHOWNORMAL);
// the shell's answer is not reported.
void ShellOpen(LPCTSTR verb, LPCTSTR target);

// A handler replaces the shell for every later ShellOpen; null restores it.
typedef std::function<void(LPCTSTR verb, LPCTSTR target)> ShellOpenHandler;
void SetShellOpenHandler(ShellOpenHandler handler);
#endif
