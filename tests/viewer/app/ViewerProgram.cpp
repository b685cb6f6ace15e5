#include "tests/viewer/app/ViewerProgram.h"

#include <commctrl.h>

#include "tests/TestPaths.h"

namespace viewer_program {

CString ProgramPath() { return BuildTreePath(L"bin\\Glimmerscope.exe"); }

bool WaitFor(const std::function<bool()>& pred, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (pred()) return true;
    if (::GetTickCount() - start > timeoutMs) return pred();
    ::Sleep(10);
  }
}

CString TextOf(HWND hwnd) {
  if (!hwnd) return CString();
  wchar_t text[2048] = {0};
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutW(hwnd, WM_GETTEXT, 2048, (LPARAM)text, SMTO_ABORTIFHUNG, 5000, &result)) return CString();
  return text;
}

CString RegText(LPCTSTR key, LPCTSTR name) {
  wchar_t buf[2048] = {};
  DWORD size = sizeof(buf);
  if (::RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS)
    return CString();
  return buf;
}

DWORD RegNumber(LPCTSTR key, LPCTSTR name, DWORD missing) {
  DWORD value = 0, size = sizeof(value);
  if (::RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
    return missing;
  return value;
}

void SetRegNumber(LPCTSTR key, LPCTSTR name, DWORD value) {
  ::RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_DWORD, &value, sizeof(value));
}

void FreshSettings() {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, kProgramKey);
  SetRegNumber(kSettingsKey, L"AutoCheckUpdate", 0);
}

CWindowShot CaptureScreenRect(const CRect& rect) {
  const CWindowShot screen = CaptureScreen();
  CWindowShot part;
  CRect r = rect;
  r.IntersectRect(&r, CRect(0, 0, screen.m_nWidth, screen.m_nHeight));
  part.m_nWidth = r.Width();
  part.m_nHeight = r.Height();
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) part.m_pixels.push_back(screen.At(x, y));
  return part;
}

CViewerProcess::~CViewerProcess() {
  if (m_hProcess) {
    if (!HasEnded()) {
      ::TerminateProcess(m_hProcess, 99);
      ::WaitForSingleObject(m_hProcess, 10000);
    }
    ::CloseHandle(m_hProcess);
  }
}

bool CViewerProcess::Launch(LPCTSTR arguments, LPCTSTR workingFolder) {
  CString cmd;
  cmd.Format(L"\"%s\" %s", (LPCTSTR)ProgramPath(), arguments ? arguments : L"");
  std::vector<wchar_t> line(cmd.GetLength() + 1);
  wcscpy(line.data(), cmd);
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  const CString folder = workingFolder ? CString(workingFolder) : BuildTreePath(L"bin");
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder, &si, &pi)) return false;
  ::CloseHandle(pi.hThread);
  m_hProcess = pi.hProcess;
  m_pid = pi.dwProcessId;
  return true;
}

bool CViewerProcess::Start(LPCTSTR arguments, LPCTSTR workingFolder) {
  if (!Launch(arguments, workingFolder)) return false;
  return WaitFor([&] {
           for (HWND h : TopWindows())
             if (TextOf(h) == L"Glimmerscope" && ::GetDlgItem(h, AFX_IDW_PANE_FIRST)) {
               m_hFrame = h;
               return true;
             }
           return HasEnded();
         }) &&
         m_hFrame;
}

bool CViewerProcess::Find(DWORD timeoutMs) {
  const DWORD self = ::GetCurrentProcessId();
  WaitFor(
      [&] {
        HWND found = nullptr;
        std::pair<DWORD, HWND*> search(self, &found);
        ::EnumWindows(
            [](HWND h, LPARAM lp) -> BOOL {
              auto* out = reinterpret_cast<std::pair<DWORD, HWND*>*>(lp);
              DWORD pid = 0;
              ::GetWindowThreadProcessId(h, &pid);
              if (pid != out->first && ::IsWindowVisible(h) && TextOf(h) == L"Glimmerscope" &&
                  ::GetDlgItem(h, AFX_IDW_PANE_FIRST)) {
                *out->second = h;
                return FALSE;
              }
              return TRUE;
            },
            (LPARAM)&search);
        m_hFrame = found;
        return found != nullptr;
      },
      timeoutMs);
  if (!m_hFrame) return false;
  ::GetWindowThreadProcessId(m_hFrame, &m_pid);
  m_hProcess = ::OpenProcess(PROCESS_ALL_ACCESS, FALSE, m_pid);
  return m_hProcess != nullptr;
}

bool CViewerProcess::HasEnded(DWORD timeoutMs) {
  return m_hProcess && ::WaitForSingleObject(m_hProcess, timeoutMs) == WAIT_OBJECT_0;
}

bool CViewerProcess::Exit(DWORD* pExitCode) {
  ::PostMessageW(m_hFrame, WM_CLOSE, 0, 0);
  if (!HasEnded(30000)) return false;
  DWORD code = 0;
  ::GetExitCodeProcess(m_hProcess, &code);
  if (pExitCode) *pExitCode = code;
  return true;
}

std::vector<HWND> CViewerProcess::TopWindows() const {
  struct Search {
    DWORD pid;
    std::vector<HWND> found;
  } s{m_pid, {}};
  ::EnumWindows(
      [](HWND h, LPARAM lp) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lp);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(h, &pid);
        if (pid == s->pid && ::IsWindowVisible(h)) s->found.push_back(h);
        return TRUE;
      },
      (LPARAM)&s);
  return s.found;
}

HWND CViewerProcess::View() const { return ::GetDlgItem(m_hFrame, AFX_IDW_PANE_FIRST); }
HWND CViewerProcess::Player() const { return ::FindWindowExW(View(), nullptr, L"QuillfenViewerWindow", nullptr); }
HWND CViewerProcess::StatusBar() const { return ::GetDlgItem(m_hFrame, AFX_IDW_STATUS_BAR); }
HWND CViewerProcess::Button(int id) const { return ::GetDlgItem(View(), id); }

CString CViewerProcess::Pane(int index) const {
  HWND bar = StatusBar();
  if (!bar || !m_hProcess) return L"<no bar>";
  const size_t bytes = 1024 * sizeof(wchar_t);
  void* remote = ::VirtualAllocEx(m_hProcess, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
  if (!remote) return L"<no memory>";
  DWORD_PTR length = 0;
  CString text = L"<unread>";
  if (::SendMessageTimeoutW(bar, SB_GETTEXTLENGTHW, index, 0, SMTO_ABORTIFHUNG, 5000, &length) &&
      LOWORD(length) < 1000) {
    DWORD_PTR result = 0;
    wchar_t local[1024] = {0};
    SIZE_T got = 0;
    if (::SendMessageTimeoutW(bar, SB_GETTEXTW, index, (LPARAM)remote, SMTO_ABORTIFHUNG, 5000, &result) &&
        ::ReadProcessMemory(m_hProcess, remote, local, (LOWORD(length) + 1) * sizeof(wchar_t), &got)) {
      local[LOWORD(length)] = 0;
      text = local;
    }
  }
  ::VirtualFreeEx(m_hProcess, remote, 0, MEM_RELEASE);
  return text;
}

bool CViewerProcess::WaitPane(int index, LPCTSTR text, DWORD timeoutMs) const {
  return WaitFor([&] { return Pane(index) == text; }, timeoutMs);
}

void CViewerProcess::PostKey(UINT vk) const {
  HWND target = Player();
  ::PostMessageW(target ? target : m_hFrame, WM_KEYDOWN, vk, 1);
  ::PostMessageW(target ? target : m_hFrame, WM_KEYUP, vk, 0xC0000001);
}

void CViewerProcess::PostWheel(int notches) const {
  ::PostMessageW(Player(), WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)(short)(-notches * WHEEL_DELTA)), 0);
}

void CViewerProcess::PostCommand(UINT id) const { ::PostMessageW(m_hFrame, WM_COMMAND, id, 0); }

HWND CViewerProcess::WindowWithCaption(LPCTSTR caption) const {
  for (HWND h : TopWindows())
    if (TextOf(h) == caption) return h;
  return nullptr;
}

namespace {
HWND MessageBoxOf(const std::vector<HWND>& windows) {
  wchar_t cls[64];
  for (HWND h : windows) {
    ::GetClassNameW(h, cls, 64);
    if (!wcscmp(cls, L"#32770") && ::GetDlgItem(h, 0xFFFF)) return h;
  }
  return nullptr;
}
}  // namespace

bool CViewerProcess::HasMessageBox() const { return MessageBoxOf(TopWindows()) != nullptr; }

bool CViewerProcess::AnswerMessageBox(CString& text, DWORD timeoutMs) const {
  HWND box = nullptr;
  if (!WaitFor([&] { return (box = MessageBoxOf(TopWindows())) != nullptr; }, timeoutMs)) return false;
  text = TextOf(::GetDlgItem(box, 0xFFFF));
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)::GetDlgItem(box, IDOK));
  return WaitFor([&] { return !::IsWindow(box) || !::IsWindowVisible(box); });
}

}  // namespace viewer_program
