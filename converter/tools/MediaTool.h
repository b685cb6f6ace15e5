// Runs an outside command-line tool as a hidden child process and waits for
// it, watching the caller's cancel flag.
#pragma once
#include <atomic>

#include "afx.h"

// The caller's stop request: 0 runs; any other value asks the tool to stop.
typedef std::atomic<int> CStopFlag;

class CMediaTool {
 public:
  CMediaTool() {}
  virtual ~CMediaTool() {}
  virtual int SetToolPath(LPCTSTR path);
  // 0 when the tool ended with exit code 0; 1 when the cancel flag is non-zero
  // after the run (a flag of 2 or 3 stops the tool); -1 for a missing tool, a
  // failed start or any other exit code.
  virtual int RunTool(LPCTSTR commandLine, const CStopFlag* cancel);
  // The same with the tool's standard output written into outputFile (made
  // anew; -1 when it cannot be).
  int RunToolWithOutput(LPCTSTR commandLine, LPCTSTR outputFile, const CStopFlag* cancel);

  // ""<tool>" <arguments>": the command line every wrapper runs. The tool is
  // started directly, so nothing in it is expanded or interpreted on the way.
  CString MakeCommandLine(LPCTSTR arguments) const;

  CString m_strToolPath;
  // How long a tool asked to stop may take to end by itself before it is
  // ended by force.
  DWORD m_nStopGraceMs = 10000;
  // Set by RunTool when the tool had to be ended by force after a stop request.
  bool m_bForcedStop = false;
};

#ifdef _WIN32
// Holds one started process and closes its handles.
class CChildProcess {
 public:
  CChildProcess();
  ~CChildProcess();
  STARTUPINFOW m_si;
  PROCESS_INFORMATION m_pi;
  HANDLE m_hJob = nullptr;  // the tool and everything it starts
};
#endif
