// Shared by the window-component tests: COM and common controls for the test
// thread, mouse moves through the system's input queue, window rectangles.
#pragma once
#include <windows.h>

#include "tests/support/UiTestSupport.h"
#include "tests/support/TestFolders.h"
#include "afxwin.h"

#include <ostream>

// Readable strings in test messages.
inline void PrintTo(const CString& s, std::ostream* os) {
  CStringA narrow(s);
  *os << '"' << (const char*)narrow << '"';
}

// A part of a screenshot.
CWindowShot CropShot(const CWindowShot& shot, const RECT& rect);

// Moves the mouse pointer to a screen point as a user would (input events).
void MoveMouseTo(POINT pt);
// Centre of a window in screen coordinates.
POINT ScreenCenter(HWND hWnd);
// Writes a file with a little content; TRUE when it exists afterwards.
BOOL MakeFile(LPCTSTR path);
// A fresh empty folder under the temporary folder, named after the test.
CString MakeTestFolder(LPCTSTR name);
