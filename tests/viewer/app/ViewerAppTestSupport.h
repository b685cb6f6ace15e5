// Shared by the viewer program's tests: the test files, the program folder
// the player loads the image library from, and message boxes answered
// without a window.
#pragma once
#include <functional>
#include <vector>

#include "tests/support/UiTestSupport.h"
#include "afxwin.h"

// A file or folder of the viewer's test data (made by make-viewer-fixtures.sh).
CString ViewerFixture(LPCTSTR relative);
// A path in the system's temporary folder.
CString TempPath(LPCTSTR name);
// The viewer's "AppFolder" value: where its player loads Quillfen.dll from.
void SetProgramFolder(LPCTSTR folder);
// The build's program folder, which holds Quillfen.dll.
void UseProgramFolderLibrary();

// Answers every message box with OK and keeps its text.
class CMessageBoxRecorder {
 public:
  CMessageBoxRecorder();
  ~CMessageBoxRecorder();
  const std::vector<CString>& Texts() const { return m_texts; }
  void Clear() { m_texts.clear(); }

 private:
  std::vector<CString> m_texts;
};

// Reads an 8-bit grey or RGB PNG (as written by the library) or a binary PGM,
// as grey samples (RGB must be grey). False when it cannot.
bool ReadGreyPicture(LPCTSTR path, int& width, int& height, std::vector<BYTE>& grey);

// Once a window of this thread with the caption is shown (also inside a modal
// loop of the code under test), runs the step on it once; the step answers
// the dialog. Steps left waiting are dropped by CancelPendingSteps.
void RunWhenShown(LPCTSTR lpszCaption, std::function<void(HWND)> step);
// The same for the first shown window of this thread that the test accepts.
void RunWhen(std::function<bool(HWND)> accept, std::function<void(HWND)> step);
// The text of the selected item of the first tree control in a window.
CString SelectedTreeText(HWND window);
void CancelPendingSteps();
