// Drives build/win/bin/Glimmerscope.exe from the test's process, as a user
// would: starts it with a command line, finds its windows, reads the status
// bar's panes, posts keys, commands and the wheel, answers its message boxes,
// and looks at the registry it keeps its settings in.
#pragma once
#include <functional>
#include <vector>

#include "tests/support/UiTestSupport.h"
#include "afxwin.h"

namespace viewer_program {

const wchar_t kProgramKey[] = L"Software\\Morrowtide\\Glimmerscope";
const wchar_t kSettingsKey[] = L"Software\\Morrowtide\\Glimmerscope\\Settings";
const wchar_t kRecentKey[] = L"Software\\Morrowtide\\Glimmerscope\\Recent\\Files";

CString ProgramPath();
// Waits for pred() without pumping (the program runs elsewhere); bounded only
// as a guard against a hang.
bool WaitFor(const std::function<bool()>& pred, DWORD timeoutMs = 30000);
CString TextOf(HWND hwnd);
// A registry value of the viewer's key ("" when missing).
CString RegText(LPCTSTR key, LPCTSTR name);
DWORD RegNumber(LPCTSTR key, LPCTSTR name, DWORD missing = 0xFFFFFFFF);
void SetRegNumber(LPCTSTR key, LPCTSTR name, DWORD value);
// A first start without the automatic update check.
void FreshSettings();
// A part of the screen as it is now.
CWindowShot CaptureScreenRect(const CRect& rect);

class CViewerProcess {
 public:
  CViewerProcess() {}
  CViewerProcess(const CViewerProcess&) = delete;
  CViewerProcess& operator=(const CViewerProcess&) = delete;
  ~CViewerProcess();

  // Starts the program with the arguments (in the program folder, or in the
  // given folder) and waits for its main window.
  bool Start(LPCTSTR arguments, LPCTSTR workingFolder = nullptr);
  // Starts it without waiting for any window.
  bool Launch(LPCTSTR arguments, LPCTSTR workingFolder = nullptr);
  // Takes a program started by someone else (its main window appears).
  bool Find(DWORD timeoutMs = 30000);
  // Closes the main window and waits for the process to end; its exit code.
  bool Exit(DWORD* pExitCode = nullptr);
  bool HasEnded(DWORD timeoutMs = 0);

  DWORD m_pid = 0;
  HANDLE m_hProcess = nullptr;
  HWND m_hFrame = nullptr;
  HWND View() const;
  HWND Player() const;
  HWND StatusBar() const;
  HWND Button(int id) const;
  CString Pane(int index) const;
  bool WaitPane(int index, LPCTSTR text, DWORD timeoutMs = 30000) const;

  void PostKey(UINT vk) const;
  void PostWheel(int notches) const;
  void PostCommand(UINT id) const;
  // A visible top-level window of the program with this caption (null when none).
  HWND WindowWithCaption(LPCTSTR caption) const;
  // The program's message box once it shows, with its text; answered with OK.
  bool AnswerMessageBox(CString& text, DWORD timeoutMs = 30000) const;
  // Whether a message box is up now.
  bool HasMessageBox() const;

 private:
  std::vector<HWND> TopWindows() const;
};

}  // namespace viewer_program
