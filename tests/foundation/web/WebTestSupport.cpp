#include <winsock2.h>

#include "tests/foundation/web/WebTestSupport.h"

#include <cstdio>

#include "tests/TestPaths.h"

namespace {
struct CWinsock {
  CWinsock() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~CWinsock() { WSACleanup(); }
};
CWinsock& Winsock() {
  static CWinsock winsock;
  return winsock;
}
}  // namespace

int ServerPort() {
  static int port = [] {
    int p = 0;
    FILE* f = _wfopen(BuildTreePath(L"webserver\\port"), L"r");
    if (f) {
      if (fscanf(f, "%d", &p) != 1) p = 0;
      fclose(f);
    }
    return p;
  }();
  return port;
}

CString ServerUrl(LPCTSTR path) {
  CString url;
  url.Format(L"http://127.0.0.1:%d%s", ServerPort(), path);
  return url;
}

CListeningProbe::CListeningProbe() {
  Winsock();
  m_socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in addr = {};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  bind(m_socket, (sockaddr*)&addr, sizeof(addr));
  listen(m_socket, 4);
  int len = sizeof(addr);
  getsockname(m_socket, (sockaddr*)&addr, &len);
  m_nPort = ntohs(addr.sin_port);
}

CListeningProbe::~CListeningProbe() {
  if (m_socket != INVALID_SOCKET) closesocket(m_socket);
}

bool CListeningProbe::WasConnected() {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(m_socket, &set);
  timeval tv = {0, 200000};
  return select(0, &set, nullptr, nullptr, &tv) > 0;
}

int ClosedPort() {
  CListeningProbe probe;
  return probe.Port();  // closed again when the probe goes
}
