// Shared pieces of the web tests: the local test server's addresses, the
// shell recorder, and a listening socket that tells whether anything
// connected to it.
#pragma once
#include "afxwin.h"
#include "tests/support/ShellRecorder.h"

// "http://127.0.0.1:<port><path>" of the server the test run started.
CString ServerUrl(LPCTSTR path);
int ServerPort();

// A socket listening on 127.0.0.1 at a free port that nobody else uses.
class CListeningProbe {
 public:
  CListeningProbe();
  ~CListeningProbe();
  int Port() const { return m_nPort; }
  // True when a connection is waiting to be accepted.
  bool WasConnected();

 private:
  UINT_PTR m_socket = ~(UINT_PTR)0;  // a SOCKET
  int m_nPort = 0;
};

// A port on 127.0.0.1 with nothing listening on it.
int ClosedPort();
