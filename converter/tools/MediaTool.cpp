#include "converter/tools/MediaTool.h"

#ifdef _WIN32
#include <shlwapi.h>

#include <vector>
#endif

int CMediaTool::SetToolPath(LPCTSTR path) {
  m_strToolPath = path ? path : L"";
  return 0;
}

CString CMediaTool::MakeCommandLine(LPCTSTR arguments) const {
  CString cmd;
  cmd.Format(L"\"%s\" %s", (LPCTSTR)m_strToolPath, arguments ? arguments : L"");
  return cmd;
}

int CMediaTool::RunTool(LPCTSTR commandLine, const CStopFlag* cancel) {
  return RunToolWithOutput(commandLine, nullptr, cancel);
}

#ifdef _WIN32
namespace {
const DWORD kPollMs = 100;
const DWORD kStopGraceMs = 10000;

bool IsStopRequest(int flag) { return flag == 2 || flag == 3; }
}  // namespace

CChildProcess::CChildProcess() {
  ZeroMemory(&m_si, sizeof(m_si));
  m_si.cb = sizeof(m_si);
  ZeroMemory(&m_pi, sizeof(m_pi));
}

CChildProcess::~CChildProcess() {
  if (m_pi.hThread) CloseHandle(m_pi.hThread);
  if (m_pi.hProcess) CloseHandle(m_pi.hProcess);
  // Closing the job ends whatever the tool left running.
  if (m_hJob) CloseHandle(m_hJob);
}

namespace {
// Closes a file handle when it goes out of scope.
class COwnedHandle {
 public:
  ~COwnedHandle() { Close(); }
  void Close() {
    if (m_h) CloseHandle(m_h);
    m_h = nullptr;
  }
  HANDLE m_h = nullptr;
};

// Hands exactly one inheritable handle to a child: the attribute list that
// names it, when the system offers one.
class CInheritList {
 public:
  explicit CInheritList(HANDLE handle) : m_handle(handle) {
    if (!handle) return;
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    if (size == 0) return;
    m_buffer.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(m_buffer.data());
    if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
    if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &m_handle, sizeof(m_handle), nullptr,
                                   nullptr)) {
      DeleteProcThreadAttributeList(list);
      return;
    }
    m_list = list;
  }
  ~CInheritList() {
    if (m_list) DeleteProcThreadAttributeList(m_list);
  }
  LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return m_list; }

 private:
  HANDLE m_handle;
  std::vector<BYTE> m_buffer;
  LPPROC_THREAD_ATTRIBUTE_LIST m_list = nullptr;
};
}  // namespace

int CMediaTool::RunToolWithOutput(LPCTSTR commandLine, LPCTSTR outputFile, const CStopFlag* cancel) {
  m_bForcedStop = false;
  if (!PathFileExistsW(m_strToolPath)) return -1;

  CChildProcess child;
  child.m_si.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEOFFFEEDBACK;
  child.m_si.wShowWindow = SW_HIDE;

  // The tool's standard output goes into the file through an inherited handle.
  COwnedHandle output;
  if (outputFile) {
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    output.m_h =
        CreateFileW(outputFile, GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output.m_h == INVALID_HANDLE_VALUE) {
      output.m_h = nullptr;
      return -1;
    }
    child.m_si.dwFlags |= STARTF_USESTDHANDLES;
    child.m_si.hStdOutput = output.m_h;
  }
  CInheritList inherit(output.m_h);
  STARTUPINFOEXW six = {};
  six.StartupInfo = child.m_si;
  DWORD flags = NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED;
  if (output.m_h && inherit.Get()) {
    six.StartupInfo.cb = sizeof(six);
    six.lpAttributeList = inherit.Get();
    flags |= EXTENDED_STARTUPINFO_PRESENT;
  }

  // The tool runs in a job, so that a forced stop also ends whatever it started.
  child.m_hJob = CreateJobObjectW(nullptr, nullptr);
  if (child.m_hJob) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(child.m_hJob, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
  }

  // The program is named by its path, so that it is the file tested above
  // and never one found by a search.
  CString cmd(commandLine ? commandLine : L"");
  if (!CreateProcessW(m_strToolPath, cmd.GetBuffer(cmd.GetLength() + 1), nullptr, nullptr, output.m_h ? TRUE : FALSE,
                      flags, nullptr, nullptr, &six.StartupInfo, &child.m_pi)) {
    ZeroMemory(&child.m_pi, sizeof(child.m_pi));
    return -1;
  }
  output.Close();  // the child holds its own copy
  if (child.m_hJob && !AssignProcessToJobObject(child.m_hJob, child.m_pi.hProcess)) {
    CloseHandle(child.m_hJob);
    child.m_hJob = nullptr;
  }
  ResumeThread(child.m_pi.hThread);

  if (!cancel) {
    WaitForSingleObject(child.m_pi.hProcess, INFINITE);
  } else {
    for (;;) {
      if (IsStopRequest(*cancel)) {
        if (WaitForSingleObject(child.m_pi.hProcess, m_nStopGraceMs) != WAIT_OBJECT_0) {
          if (child.m_hJob) TerminateJobObject(child.m_hJob, 1);
          TerminateProcess(child.m_pi.hProcess, 1);
          m_bForcedStop = true;
          WaitForSingleObject(child.m_pi.hProcess, kStopGraceMs);
        }
        break;
      }
      DWORD wait = WaitForSingleObject(child.m_pi.hProcess, kPollMs);
      if (wait == WAIT_OBJECT_0 || wait == WAIT_FAILED) break;
    }
  }

  if (cancel && *cancel != 0) return 1;
  DWORD code = 1;
  if (!GetExitCodeProcess(child.m_pi.hProcess, &code)) code = 1;
  return code == 0 ? 0 : -1;
}
#else
// Outside tools are Windows programs; elsewhere nothing can be run.
int CMediaTool::RunToolWithOutput(LPCTSTR, LPCTSTR, const CStopFlag*) { return -1; }
#endif
