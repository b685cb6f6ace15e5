// Records what the programs would have started through the shell, in place
// of the shell, while it lives.
#pragma once
#include <mutex>
#include <vector>

#include "foundation/ShellOpen.h"

struct ShellCall {
  CString verb, file, params;
  bool hasVerb, hasParams;  // null verb or parameters are not empty ones
  int show;
};

class CShellRecorder {
 public:
  CShellRecorder() {
    SetShellLaunchHandler([this](LPCTSTR verb, LPCTSTR file, LPCTSTR params, int show) {
      std::lock_guard<std::mutex> l(m_lock);
      m_calls.push_back({verb ? verb : L"", file, params ? params : L"", verb != nullptr, params != nullptr, show});
    });
  }
  ~CShellRecorder() { SetShellLaunchHandler(nullptr); }
  CShellRecorder(const CShellRecorder&) = delete;
  CShellRecorder& operator=(const CShellRecorder&) = delete;

  std::vector<ShellCall> Calls() {
    std::lock_guard<std::mutex> l(m_lock);
    return m_calls;
  }
  void Clear() {
    std::lock_guard<std::mutex> l(m_lock);
    m_calls.clear();
  }

 private:
  std::mutex m_lock;
  std::vector<ShellCall> m_calls;
};
