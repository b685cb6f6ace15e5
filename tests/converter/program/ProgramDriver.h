// Drives the converter program as a user would, from another process: starts
// build/win/bin/Reelsmith.exe, finds its windows, reads and sets their texts,
// posts commands to them, and looks at the registry it keeps its settings in.
// Only what crosses processes is used: window texts, WM_COMMAND, posted mouse
// and key messages, styles and rectangles.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/TestPaths.h"
#include "tests/support/UiTestSupport.h"
#include "afxwin.h"

namespace program {

const wchar_t kProgramKey[] = L"Software\\Morrowtide\\Reelsmith";
const wchar_t kSettingsKey[] = L"Software\\Morrowtide\\Reelsmith\\Settings";

inline CString ProgramFolder() { return BuildTreePath(L"bin"); }
inline CString ProgramPath() { return BuildTreePath(L"bin\\Reelsmith.exe"); }

// ---------------------------------------------------------------------------
// Windows of another process.

inline DWORD WindowProcessId(HWND hwnd) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  return pid;
}

inline CString ClassOf(HWND hwnd) {
  wchar_t name[128] = {0};
  ::GetClassNameW(hwnd, name, 128);
  return name;
}

// The text a window answers to WM_GETTEXT (bounded wait, so a hung program
// fails the test instead of stopping it).
inline CString TextOf(HWND hwnd) {
  if (!hwnd) return CString();
  wchar_t text[2048] = {0};
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutW(hwnd, WM_GETTEXT, 2048, (LPARAM)text, SMTO_ABORTIFHUNG, 5000, &result)) return CString();
  return text;
}

inline bool SetTextOf(HWND hwnd, LPCTSTR text) {
  DWORD_PTR result = 0;
  return hwnd && ::SendMessageTimeoutW(hwnd, WM_SETTEXT, 0, (LPARAM)text, SMTO_ABORTIFHUNG, 5000, &result) && result;
}

inline LRESULT SendBounded(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  ::SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result);
  return (LRESULT)result;
}

// A button press as the dialog sees it (posted: the caller never waits).
inline void PostCommand(HWND dlg, int id) {
  ::PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)::GetDlgItem(dlg, id));
}

inline bool IsShown(HWND hwnd) { return hwnd && ::IsWindow(hwnd) && ::IsWindowVisible(hwnd); }

// The main window's two pages: child dialogs told apart by a control each
// template has (format combo / start time).
inline HWND PageOf(HWND main, int index) {
  const int marker = index == 0 ? 1008 : 1145;
  for (HWND child = ::GetWindow(main, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
    if (ClassOf(child) == L"#32770" && ::GetDlgItem(child, marker)) return child;
  return nullptr;
}

// Visible top-level windows of a process, in z-order.
inline std::vector<HWND> TopWindowsOf(DWORD pid) {
  struct Search {
    DWORD pid;
    std::vector<HWND> found;
  } s{pid, {}};
  ::EnumWindows(
      [](HWND hwnd, LPARAM lp) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lp);
        if (WindowProcessId(hwnd) == s->pid && ::IsWindowVisible(hwnd)) s->found.push_back(hwnd);
        return TRUE;
      },
      (LPARAM)&s);
  return s.found;
}

// Waits for a condition without pumping anything of the program's; bounded
// only as a guard against a hang.
inline bool WaitFor(const std::function<bool()>& pred, DWORD timeoutMs = 30000) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (pred()) return true;
    if (::GetTickCount() - start > timeoutMs) return pred();
    ::Sleep(5);
  }
}

// ---------------------------------------------------------------------------
// The program's process.

class CProgram {
 public:
  CProgram() {}
  CProgram(const CProgram&) = delete;
  CProgram& operator=(const CProgram&) = delete;
  ~CProgram() { Kill(); }

  bool Start() {
    CString cmd;
    cmd.Format(L"\"%s\"", (LPCTSTR)ProgramPath());
    std::vector<wchar_t> line(cmd.GetLength() + 1);
    wcscpy(line.data(), cmd);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, ProgramFolder(), &si, &pi))
      return false;
    ::CloseHandle(pi.hThread);
    m_hProcess = pi.hProcess;
    m_nPid = pi.dwProcessId;
    return true;
  }

  DWORD Pid() const { return m_nPid; }
  bool IsRunning() const { return m_hProcess && ::WaitForSingleObject(m_hProcess, 0) == WAIT_TIMEOUT; }

  // Exit code once the process has ended within the time; false otherwise.
  bool WaitExit(DWORD timeoutMs, DWORD* code = nullptr) {
    if (!m_hProcess || ::WaitForSingleObject(m_hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
    if (code) ::GetExitCodeProcess(m_hProcess, code);
    return true;
  }

  void Kill() {
    if (!m_hProcess) return;
    if (IsRunning()) {
      ::TerminateProcess(m_hProcess, 99);
      ::WaitForSingleObject(m_hProcess, 10000);
    }
    ::CloseHandle(m_hProcess);
    m_hProcess = nullptr;
  }

  std::vector<HWND> Windows() const { return TopWindowsOf(m_nPid); }

  HWND Find(const std::function<bool(HWND)>& pred) const {
    for (HWND hwnd : Windows())
      if (pred(hwnd)) return hwnd;
    return nullptr;
  }

  HWND WaitWindow(const std::function<bool(HWND)>& pred, DWORD timeoutMs = 60000) const {
    HWND found = nullptr;
    WaitFor(
        [&] {
          found = Find(pred);
          return found != nullptr || !IsRunning();
        },
        timeoutMs);
    return found;
  }

  // The main dialog: the window with the page tabs.
  HWND WaitMainWindow(DWORD timeoutMs = 60000) const {
    return WaitWindow([](HWND h) { return ::GetDlgItem(h, 1110) != nullptr; }, timeoutMs);
  }

  // A dialog of the program (not the main window) with this caption.
  HWND WaitDialog(LPCTSTR caption, DWORD timeoutMs = 60000) const {
    CString want(caption);
    return WaitWindow([&](HWND h) { return ::GetDlgItem(h, 1110) == nullptr && TextOf(h) == want; }, timeoutMs);
  }

 private:
  HANDLE m_hProcess = nullptr;
  DWORD m_nPid = 0;
};

// A picture of a window of the program once it has painted everything it
// had to (the program paints on its own thread: the repaint is asked for and
// waited on before the picture is taken).
inline CWindowShot ShotOf(HWND hwnd, bool clientOnly = false) {
  DWORD_PTR result = 0;
  ::SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
  ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  ::SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
  return CaptureWindow(hwnd, clientOnly);
}

// A message box's text: the static control that holds the most text.
inline CString MessageBoxText(HWND box) {
  CString best;
  for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (ClassOf(child).CompareNoCase(L"Static") != 0) continue;
    CString text = TextOf(child);
    if (text.GetLength() > best.GetLength()) best = text;
  }
  return best;
}

// ---------------------------------------------------------------------------
// The program's registry key (the same private prefix as the test's).

inline void DeleteKeyTree(LPCTSTR key) { ::SHDeleteKeyW(HKEY_CURRENT_USER, key); }

inline bool WriteDword(LPCTSTR key, LPCTSTR name, DWORD value) {
  return ::SHSetValueW(HKEY_CURRENT_USER, key, name, REG_DWORD, &value, sizeof(value)) == ERROR_SUCCESS;
}

inline bool WriteString(LPCTSTR key, LPCTSTR name, LPCTSTR value) {
  return ::SHSetValueW(HKEY_CURRENT_USER, key, name, REG_SZ, value, (DWORD)((wcslen(value) + 1) * sizeof(wchar_t))) ==
         ERROR_SUCCESS;
}

// -1 when the value is missing.
inline long long ReadDword(LPCTSTR key, LPCTSTR name) {
  DWORD value = 0, size = sizeof(value), type = 0;
  if (::SHGetValueW(HKEY_CURRENT_USER, key, name, &type, &value, &size) != ERROR_SUCCESS || type != REG_DWORD)
    return -1;
  return value;
}

inline CString ReadString(LPCTSTR key, LPCTSTR name) {
  wchar_t value[2048] = {0};
  DWORD size = sizeof(value) - sizeof(wchar_t), type = 0;
  if (::SHGetValueW(HKEY_CURRENT_USER, key, name, &type, value, &size) != ERROR_SUCCESS) return CString();
  return value;
}

// Every value below a key, by "subkey\\name", with its type and bytes.
typedef std::map<std::wstring, std::pair<DWORD, std::vector<BYTE>>> KeySnapshot;

inline void SnapshotInto(HKEY parent, const std::wstring& path, const std::wstring& prefix, KeySnapshot& out) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  for (DWORD i = 0;; ++i) {
    wchar_t name[512];
    DWORD nameLen = 512, type = 0, size = 0;
    if (::RegEnumValueW(key, i, name, &nameLen, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    std::vector<BYTE> data(size);
    nameLen = 512;
    ::RegEnumValueW(key, i, name, &nameLen, nullptr, &type, data.data(), &size);
    out[prefix + name] = {type, data};
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[512];
    DWORD nameLen = 512;
    if (::RegEnumKeyExW(key, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    SnapshotInto(parent, path + L"\\" + name, prefix + name + L"\\", out);
  }
  ::RegCloseKey(key);
}

inline KeySnapshot Snapshot(LPCTSTR key) {
  KeySnapshot out;
  SnapshotInto(HKEY_CURRENT_USER, key, L"", out);
  return out;
}

// ---------------------------------------------------------------------------
// Files.

inline bool FileExists(LPCTSTR path) { return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

// Names of the entries of a folder (no "." and ".."), sorted.
inline std::vector<CString> ListFolder(LPCTSTR folder, LPCTSTR pattern = L"*") {
  std::vector<CString> names;
  CString mask;
  mask.Format(L"%s\\%s", folder, pattern);
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW(mask, &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (wcscmp(fd.cFileName, L".") && wcscmp(fd.cFileName, L"..")) names.push_back(fd.cFileName);
  } while (::FindNextFileW(h, &fd));
  ::FindClose(h);
  std::sort(names.begin(), names.end(), [](const CString& a, const CString& b) { return a.Compare(b) < 0; });
  return names;
}

// The program's per-user data folder: %APPDATA%\Morrowtide\Reelsmith.
inline CString UserDataFolder() {
  wchar_t appData[MAX_PATH] = {0};
  ::SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE);
  CString folder;
  folder.Format(L"%s\\Morrowtide\\Reelsmith", appData);
  return folder;
}

// ---------------------------------------------------------------------------
// The test fixture.

// A test that runs the program: a first start (no settings, no update check
// against the maker's server unless the test asks for one), and the program
// closed, or else ended, and its settings removed afterwards.
class CProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteKeyTree(kProgramKey);
    WriteDword(kSettingsKey, L"AutoCheckUpdate", 0);
  }
  void TearDown() override {
    if (m_program.IsRunning() && m_hMain && ::IsWindow(m_hMain)) {
      ::PostMessageW(m_hMain, WM_CLOSE, 0, 0);
      m_program.WaitExit(60000);
    }
    m_program.Kill();
    DeleteKeyTree(kProgramKey);
  }
  // Starts the program and waits until its main window exists and
  // shown(main) is true; the main window, or null.
  HWND StartAndWait(const std::function<bool(HWND)>& shown) {
    EXPECT_TRUE(m_program.Start());
    m_hMain = m_program.WaitMainWindow();
    if (m_hMain) WaitFor([&] { return shown(m_hMain); });
    return m_hMain;
  }
  // Closes as the title bar's Close does and waits for the process to end.
  bool CloseAndWait() {
    ::PostMessageW(m_hMain, WM_CLOSE, 0, 0);
    bool ended = m_program.WaitExit(60000);
    m_hMain = nullptr;
    return ended;
  }

  CProgram m_program;
  HWND m_hMain = nullptr;
};

}  // namespace program
