#include "MediaTool.h"

#ifdef _WIN32
#include <shlwapi.h>
#endif

int CMediaTool::SetToolPath(LPCTSTR path) {
  m_strToolPath = path ? path : L"";
  return 0;
}

CString CMediaTool::MakeShellCommand(LPCTSTR arguments) const {
  CString cmd;
  cmd.Format(L"CMD /C \"\"%s\" %s\"", (LPCTSTR)m_strToolPath, arguments ? arguments : L"");
  return cmd;
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
  // Closing the job ends whatever the shell left running.
  if (m_hJob) CloseHandle(m_hJob);
}

int CMediaTool::RunTool(LPCTSTR commandLine, volatile int* cancel) {
  m_bForcedStop = false;
  if (!PathFileExistsW(m_strToolPath)) return -1;

  CChildProcess child;
  child.m_si.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEOFFFEEDBACK;
  child.m_si.wShowWindow = SW_HIDE;

  // The shell and the tool it starts run in one job, so that a forced stop
  // ends the tool too and not only the shell.
  child.m_hJob = CreateJobObjectW(nullptr, nullptr);
  if (child.m_hJob) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(child.m_hJob, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
  }

  CString cmd(commandLine ? commandLine : L"");
  if (!CreateProcessW(nullptr, cmd.GetBuffer(cmd.GetLength() + 1), nullptr, nullptr, FALSE,
                      NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED, nullptr, nullptr, &child.m_si, &child.m_pi)) {
    ZeroMemory(&child.m_pi, sizeof(child.m_pi));
    return -1;
  }
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
        if (WaitForSingleObject(child.m_pi.hProcess, kStopGraceMs) != WAIT_OBJECT_0) {
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
int CMediaTool::RunTool(LPCTSTR, volatile int*) { return -1; }
#endif
