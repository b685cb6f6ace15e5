#include "foundation/web/HttpClient.h"

#include <cwchar>
#include <mutex>
#include <vector>

#include "foundation/AnsiText.h"

namespace {
const wchar_t kDefaultUserAgent[] =
    L"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    L"Chrome/73.0.3683.86 Safari/537.36";
constexpr DWORD kDefaultReadSize = 4096;
constexpr DWORD kPollMs = 500;
constexpr DWORD kCancelLookMs = 200;
constexpr DWORD kCancelGraceMs = 1000;
constexpr DWORD kIdleGraceMs = 3000;
constexpr DWORD kHostChars = 4096;
constexpr DWORD kPathChars = 4096;

std::atomic<HttpConnectedStateProc> g_connectedState{nullptr};

BOOL IsOnline() {
  if (HttpConnectedStateProc proc = g_connectedState.load()) return proc();
  DWORD flags = 0;
  return ::InternetGetConnectedState(&flags, 0);
}

HINTERNET TakeInternetHandle(HINTERNET* slot) {
  return (HINTERNET)::InterlockedExchangePointer((PVOID*)slot, nullptr);
}

void CloseInternetHandle(HINTERNET* slot) {
  if (HINTERNET h = TakeInternetHandle(slot)) ::InternetCloseHandle(h);
}

// Perform's answer when its thread was left behind: nothing of the request
// may be touched any more.
constexpr int kLeftBehind = 2;

int LeftBehind(HINTERNET owned) {
  if (owned) ::InternetCloseHandle(owned);
  return kLeftBehind;
}

// Request threads left behind in a blocked call, until they end.
std::mutex g_leftLock;
std::vector<HANDLE> g_left;
}  // namespace

// The thread is attached while it may touch its request. Around a WinINet
// call that can block it is not, and then the watchdog may leave it behind;
// the thread notices when the call returns and from then on touches only
// what it holds itself. The last of the two to let go frees the link.
struct CHttpThreadLink {
  enum { ATTACHED, IN_CALL, LEFT_BEHIND };
  std::atomic<int> state{ATTACHED};
  std::atomic<int> refs{2};

  void Release() {
    if (--refs == 0) delete this;
  }
  // Runs a blocking call detached; false when the thread was left behind.
  template <class Call>
  bool Detached(Call call) {
    state = IN_CALL;
    call();
    int expected = IN_CALL;
    return state.compare_exchange_strong(expected, ATTACHED);
  }
  // The watchdog's side: true when the thread was in such a call.
  bool LeaveBehind() {
    int expected = IN_CALL;
    return state.compare_exchange_strong(expected, LEFT_BEHIND);
  }
};

int WaitForHttpRequestThreads(DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(g_leftLock);
      for (size_t i = 0; i < g_left.size();) {
        if (::WaitForSingleObject(g_left[i], 0) == WAIT_OBJECT_0) {
          ::CloseHandle(g_left[i]);
          g_left.erase(g_left.begin() + (ptrdiff_t)i);
        } else {
          ++i;
        }
      }
      if (g_left.empty()) return 1;
    }
    if (::GetTickCount() - start >= timeoutMs) return 0;
    ::Sleep(20);
  }
}

void SetHttpConnectedStateProc(HttpConnectedStateProc proc) { g_connectedState = proc; }

// ---------------------------------------------------------------------------

CHttpRequest::CHttpRequest() {}

CHttpRequest::~CHttpRequest() { CloseHandles(); }

void CHttpRequest::Reset() {
  m_pObserver = nullptr;
  m_pCancel = nullptr;
  m_nTimeout = 30;
  m_nReadSize = 0;
  m_transfer = CHttpTransferInfo();
  m_nAccessType = INTERNET_OPEN_TYPE_PRECONFIG;
  m_strProxyHost.Empty();
  m_nProxyPort = 80;
  m_strUserName.Empty();
  m_strPassword.Empty();
  m_strURL.Empty();
  m_nExpectedTotal = -1;
  m_nRangeStart = 0;
  m_nRangeEnd = -1;
  m_headers.Reset();
  m_response.Reset();
}

void CHttpRequest::CloseHandles() {
  CloseInternetHandle(&m_hRequest);
  CloseInternetHandle(&m_hConnection);
  CloseInternetHandle(&m_hRoot);
}

int CHttpRequest::Get(CStream* stream) {
  m_headers.m_strVerb = L"GET";
  m_pSink = stream;
  RunWithWatchdog();
  m_pSink = nullptr;
  return m_nResult;
}

int CHttpRequest::FetchHeaders() { return Get(nullptr); }

// Notifications: a cancelled request forwards nothing; without an observer -1.
int CHttpRequest::NotifyEvent0() {
  if (IsCancelled()) return HTTP_RESULT_CANCELLED;
  return m_pObserver ? m_pObserver->OnEvent0((ULONGLONG)(UINT_PTR)this) : -1;
}
int CHttpRequest::NotifyEvent1() {
  if (IsCancelled()) return HTTP_RESULT_CANCELLED;
  return m_pObserver ? m_pObserver->OnEvent1((ULONGLONG)(UINT_PTR)this) : -1;
}
int CHttpRequest::NotifyTransferBegin() {
  if (IsCancelled()) return HTTP_RESULT_CANCELLED;
  return m_pObserver ? m_pObserver->OnTransferBegin((ULONGLONG)(UINT_PTR)this, &m_transfer) : -1;
}
int CHttpRequest::NotifyTransferProgress() {
  if (IsCancelled()) return HTTP_RESULT_CANCELLED;
  return m_pObserver ? m_pObserver->OnTransferProgress((ULONGLONG)(UINT_PTR)this, &m_transfer) : -1;
}
int CHttpRequest::NotifyTransferEnd() {
  if (IsCancelled()) return HTTP_RESULT_CANCELLED;
  return m_pObserver ? m_pObserver->OnTransferEnd((ULONGLONG)(UINT_PTR)this, &m_transfer) : -1;
}

// ---------------------------------------------------------------------------
// The watching side.

DWORD WINAPI CHttpRequest::HttpRequestThreadProc(LPVOID param) {
  CHttpRequest* request = static_cast<CHttpRequest*>(param);
  CHttpThreadLink* link = request->m_pLink;
  const int result = request->Perform();
  if (result != kLeftBehind) {
    request->m_nResult = result;
    request->m_bPerformed = 1;
    // Closed here, under the watchdog's eye: closing a request whose body was
    // not read to the end may first read on to keep the connection for reuse,
    // which a server that never stops sending can make last for ever.
    HINTERNET handles[] = {TakeInternetHandle(&request->m_hRequest), TakeInternetHandle(&request->m_hConnection),
                           TakeInternetHandle(&request->m_hRoot)};
    link->Detached([&] {
      for (HINTERNET h : handles)
        if (h) ::InternetCloseHandle(h);
    });
  }
  link->Release();
  return 0;
}

DWORD CHttpRequest::IdleLimitMs() const {
  int timeout = m_nTimeout > 0 ? m_nTimeout : 30;
  if (timeout > 86400) timeout = 86400;
  return (DWORD)timeout * 1000;
}

int CHttpRequest::RunWithWatchdog() {
  m_nResult = HTTP_RESULT_FAILED;
  m_bPerformed = 0;
  CHttpThreadLink* link = new CHttpThreadLink;
  m_pLink = link;
  HANDLE thread = ::CreateThread(nullptr, 0, HttpRequestThreadProc, this, 0, nullptr);
  if (!thread) {
    m_pLink = nullptr;
    delete link;
    return HTTP_RESULT_FAILED;
  }

  const DWORD idleLimit = IdleLimitMs();
  bool cancelled = false, leftBehind = false;
  DWORD idleStart = ::GetTickCount();
  LONGLONG seen = m_nActivity;
  for (;;) {
    DWORD grace;
    if (IsCancelled()) {
      // The request thread looks at the flag between its steps and ends by
      // itself; only a thread blocked in a call needs its handles closed.
      if (!cancelled && ::WaitForSingleObject(thread, kCancelLookMs) == WAIT_OBJECT_0) {
        cancelled = true;
        break;
      }
      cancelled = true;
      CloseHandles();  // wakes a blocked WinINet call
      grace = kCancelGraceMs;
    } else {
      if (::WaitForSingleObject(thread, kPollMs) == WAIT_OBJECT_0) break;
      const LONGLONG now = m_nActivity;
      if (now != seen) {
        seen = now;
        idleStart = ::GetTickCount();
        continue;
      }
      if (::GetTickCount() - idleStart < idleLimit) continue;
      CloseHandles();
      grace = kIdleGraceMs;
    }
    if (::WaitForSingleObject(thread, grace) == WAIT_OBJECT_0) break;
    // Still running. A thread blocked in WinINet is left to end by itself;
    // one in our own code (a sink write, an observer) is waited for, with the
    // idle clock left as it is. None is ever ended by force: it could hold a
    // lock of the heap, the loader or WinINet for ever.
    if (link->LeaveBehind()) {
      leftBehind = true;
      // A request that had its result and hung only while closing keeps it.
      if (!m_bPerformed) m_nResult = HTTP_RESULT_CANCELLED;
      break;
    }
  }
  if (leftBehind) {
    std::lock_guard<std::mutex> lock(g_leftLock);
    g_left.push_back(thread);
  } else {
    ::CloseHandle(thread);
  }
  m_pLink = nullptr;
  link->Release();
  CloseHandles();
  // A request whose handles were closed for a cancel reports the cancel, not
  // the failure the closing caused.
  if (cancelled && m_nResult != HTTP_RESULT_OK) m_nResult = HTTP_RESULT_CANCELLED;
  return m_nResult;
}

// ---------------------------------------------------------------------------
// The request thread.

int CHttpRequest::Prepare() {
  BOOL online = FALSE;
  if (!m_pLink->Detached([&] { online = IsOnline(); })) return kLeftBehind;
  if (!online) return HTTP_RESULT_UNAVAILABLE;
  m_response.Reset();
  if (m_headers.m_strUserAgent.IsEmpty()) m_headers.m_strUserAgent = kDefaultUserAgent;
  if (m_nReadSize == 0) m_nReadSize = kDefaultReadSize;
  return HTTP_RESULT_OK;
}

int CHttpRequest::CrackUrl(CString& host, CString& path, INTERNET_PORT& port, INTERNET_SCHEME& scheme) const {
  std::vector<wchar_t> hostBuf(kHostChars + 1, L'\0'), pathBuf(kPathChars + 1, L'\0'), extraBuf(kPathChars + 1, L'\0');
  URL_COMPONENTSW parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.lpszHostName = hostBuf.data();
  parts.dwHostNameLength = kHostChars;
  parts.lpszUrlPath = pathBuf.data();
  parts.dwUrlPathLength = kPathChars;
  parts.lpszExtraInfo = extraBuf.data();
  parts.dwExtraInfoLength = kPathChars;
  if (m_strURL.IsEmpty() || !::InternetCrackUrlW(m_strURL, 0, 0, &parts)) return HTTP_RESULT_UNAVAILABLE;
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return HTTP_RESULT_UNAVAILABLE;
  if (hostBuf[0] == L'\0') return HTTP_RESULT_UNAVAILABLE;
  host = hostBuf.data();
  // The query belongs to the request path.
  path = CString(pathBuf.data()) + extraBuf.data();
  if (path.IsEmpty()) path = L"/";
  port = parts.nPort;
  scheme = parts.nScheme;
  return 0;
}

CString CHttpRequest::GetProxyString() {
  if (m_nAccessType != INTERNET_OPEN_TYPE_PRECONFIG && m_nAccessType != INTERNET_OPEN_TYPE_DIRECT &&
      m_nAccessType != INTERNET_OPEN_TYPE_PROXY)
    m_nAccessType = INTERNET_OPEN_TYPE_PRECONFIG;
  CString text;
  if (m_nAccessType == INTERNET_OPEN_TYPE_PROXY) {
    if (!m_strProxyHost.IsEmpty() && m_nProxyPort >= 0)
      text.Format(L"%s:%d", (LPCTSTR)m_strProxyHost, m_nProxyPort);
    else
      m_nAccessType = INTERNET_OPEN_TYPE_PRECONFIG;
  }
  return text;
}

DWORD CHttpRequest::GetRequestFlags(INTERNET_SCHEME scheme) const {
  DWORD flags = 0;
  if (m_headers.m_bReload) flags |= INTERNET_FLAG_RELOAD;
  if (m_headers.m_bExistingConnect) flags |= INTERNET_FLAG_EXISTING_CONNECT;
  if (m_headers.m_bKeepConnection) flags |= INTERNET_FLAG_KEEP_CONNECTION;
  if (m_headers.m_bNoCacheWrite) flags |= INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
  if (m_headers.m_bNoAutoRedirect) flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
  if (m_headers.m_bNoCookies) flags |= INTERNET_FLAG_NO_COOKIES;
  if (scheme == INTERNET_SCHEME_HTTPS)
    flags |= INTERNET_FLAG_SECURE | INTERNET_FLAG_IGNORE_CERT_CN_INVALID | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID;
  return flags | m_headers.m_dwFreeFlags;
}

CString CHttpRequest::BuildHeaders() {
  CString block;
  auto line = [&block](LPCTSTR name, const CString& value) {
    if (!value.IsEmpty()) block += CString(name) + value + L"\r\n";
  };
  line(L"Accept: ", m_headers.m_strAccept);
  line(L"Accept-Language: ", m_headers.m_strAcceptLanguage);
  line(L"Accept-Charset: ", m_headers.m_strAcceptCharset);
  if (m_nRangeStart < 0) m_nRangeStart = 0;
  if (m_nRangeStart > 0) {
    CString range;
    range.Format(L"bytes=%lld-", m_nRangeStart);
    line(L"Range: ", range);
  }
  line(L"Accept-Encoding: ", m_headers.m_strAcceptEncoding);
  line(L"Content-Type: ", m_headers.m_strContentType);
  const CString& cookies = m_headers.m_strCookies;
  if (cookies.Find(L';') < 0) {
    line(L"Cookie: ", cookies);
  } else {
    int start = 0;
    while (start <= cookies.GetLength()) {
      int end = cookies.Find(L';', start);
      if (end < 0) end = cookies.GetLength();
      CString piece = cookies.Mid(start, end - start);
      piece.Trim();
      line(L"Cookie: ", piece);
      start = end + 1;
    }
  }
  block += m_headers.m_strExtraHeaders;
  return block;
}

CString CHttpRequest::QueryText(DWORD info) {
  DWORD bytes = 0;
  HINTERNET request = m_hRequest;
  if (::HttpQueryInfoW(request, info, nullptr, &bytes, nullptr) || ::GetLastError() != ERROR_INSUFFICIENT_BUFFER ||
      bytes == 0)
    return CString();
  std::vector<wchar_t> buf(bytes / sizeof(wchar_t) + 2, L'\0');
  DWORD size = (DWORD)(buf.size() * sizeof(wchar_t));
  if (!::HttpQueryInfoW(request, info, buf.data(), &size, nullptr)) return CString();
  return CString(buf.data());
}

// Nothing of the request is read or written while a detached call runs: its
// arguments are copies, its results locals.
int CHttpRequest::Perform() {
  CHttpThreadLink* link = m_pLink;
  m_nActivity = 0;
  if (int r = Prepare()) return r;

  CString host, path;
  INTERNET_PORT port = 0;
  INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
  if (CrackUrl(host, path, port, scheme) != 0) return HTTP_RESULT_UNAVAILABLE;
  const CString proxy = GetProxyString();

  Touch();
  const CString agent = m_headers.m_strUserAgent;
  const DWORD access = (DWORD)m_nAccessType;
  HINTERNET root = nullptr;
  LPCTSTR proxyText = proxy.IsEmpty() ? nullptr : (LPCTSTR)proxy;
  if (!link->Detached([&] { root = ::InternetOpenW(agent, access, proxyText, nullptr, 0); })) return LeftBehind(root);
  if (!root) return HTTP_RESULT_UNAVAILABLE;
  m_hRoot = root;
  // WinINet's own waits end at the idle time-out too, so a stalled call
  // usually returns by itself before the watchdog has to end the thread.
  DWORD waitMs = IdleLimitMs();
  ::InternetSetOptionW(root, INTERNET_OPTION_RECEIVE_TIMEOUT, &waitMs, sizeof(waitMs));
  ::InternetSetOptionW(root, INTERNET_OPTION_SEND_TIMEOUT, &waitMs, sizeof(waitMs));
  if (IsCancelled()) return HTTP_RESULT_CANCELLED;

  Touch();
  HINTERNET connection =
      ::InternetConnectW(root, host, port, m_strUserName.IsEmpty() ? nullptr : (LPCTSTR)m_strUserName,
                         m_strPassword.IsEmpty() ? nullptr : (LPCTSTR)m_strPassword, INTERNET_SERVICE_HTTP, 0, 2);
  if (!connection) return HTTP_RESULT_UNAVAILABLE;
  m_hConnection = connection;
  if (IsCancelled()) return HTTP_RESULT_CANCELLED;

  if (m_headers.m_strVerb.IsEmpty()) m_headers.m_strVerb = L"GET";
  Touch();
  HINTERNET request =
      ::HttpOpenRequestW(connection, m_headers.m_strVerb, path,
                         m_headers.m_strHttpVersion.IsEmpty() ? nullptr : (LPCTSTR)m_headers.m_strHttpVersion,
                         m_headers.m_strReferrer.IsEmpty() ? nullptr : (LPCTSTR)m_headers.m_strReferrer, nullptr,
                         GetRequestFlags(scheme), 2);
  if (!request) return HTTP_RESULT_FAILED;
  m_hRequest = request;
  ::InternetSetOptionW(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &waitMs, sizeof(waitMs));
  ::InternetSetOptionW(request, INTERNET_OPTION_SEND_TIMEOUT, &waitMs, sizeof(waitMs));
  if (IsCancelled()) return HTTP_RESULT_CANCELLED;

  const CString headers = BuildHeaders();
  if (!headers.IsEmpty()) ::HttpAddRequestHeadersW(request, headers, (DWORD)-1, HTTP_ADDREQ_FLAG_ADD);

  CStringA body;
  int bodyBytes = m_headers.m_strBody.IsEmpty() ? 0 : WideToAnsi(m_headers.m_strBody, body);
  Touch();
  BOOL sent = FALSE;
  DWORD error = 0;
  if (!link->Detached([&] {
        sent = ::HttpSendRequestW(request, nullptr, 0, bodyBytes > 1 ? (LPVOID)(LPCSTR)body : nullptr,
                                  bodyBytes > 1 ? (DWORD)(bodyBytes - 1) : 0);
        error = ::GetLastError();
      }))
    return kLeftBehind;
  if (!sent) {
    if (IsCancelled()) return HTTP_RESULT_CANCELLED;
    // A server that cannot be reached is an unusable address, like one that
    // does not parse. The update check folds both into "failed".
    if (error == ERROR_INTERNET_CANNOT_CONNECT || error == ERROR_INTERNET_NAME_NOT_RESOLVED)
      return HTTP_RESULT_UNAVAILABLE;
    return HTTP_RESULT_FAILED;
  }

  m_response.m_nStatusCode = _wtoi(QueryText(HTTP_QUERY_STATUS_CODE));
  if (m_response.m_nStatusCode >= 400) return HTTP_RESULT_UNAVAILABLE;

  m_response.m_strRawHeaders = QueryText(HTTP_QUERY_RAW_HEADERS_CRLF);
  m_transfer.m_nContentLength = _wcstoi64(QueryText(HTTP_QUERY_CONTENT_LENGTH), nullptr, 10);
  if (m_transfer.m_nContentLength < 0) m_transfer.m_nContentLength = 0;
  m_response.m_strContentEncoding = QueryText(HTTP_QUERY_CONTENT_ENCODING);
  m_response.m_strAcceptRanges = QueryText(HTTP_QUERY_ACCEPT_RANGES);
  m_response.m_strAcceptRanges.MakeLower();
  const int status = m_response.m_nStatusCode;
  if (status >= 301 && status <= 303) m_response.m_strLocation = QueryText(HTTP_QUERY_LOCATION);
  m_transfer.m_bResumable = m_response.m_strAcceptRanges == L"bytes" ? 1 : 0;

  if (!m_pSink || m_nRangeEnd == 0) return HTTP_RESULT_OK;
  if (IsCancelled()) return HTTP_RESULT_CANCELLED;

  if (m_nRangeStart > 0) {
    // A server that ignored the range sends the whole file (status 200, or a
    // length not smaller than the whole); writing it after the part already
    // there would corrupt the file.
    if (status != 206) return HTTP_RESULT_UNAVAILABLE;
    if (m_nExpectedTotal > 0 && m_transfer.m_nContentLength >= m_nExpectedTotal) return HTTP_RESULT_UNAVAILABLE;
  }
  return ReadBody();
}

int CHttpRequest::ReadBody() {
  CHttpThreadLink* link = m_pLink;
  NotifyTransferBegin();
  CReadBuffer buffer;
  buffer.m_bOwns = 1;
  if (buffer.Allocate(m_nReadSize) != 1) return HTTP_RESULT_FAILED;

  int result = HTTP_RESULT_OK;
  for (;;) {
    if (IsCancelled()) {
      result = HTTP_RESULT_CANCELLED;
      break;
    }
    DWORD want = buffer.m_nSize;
    if (m_nRangeEnd > 0) {
      const LONGLONG left = m_nRangeEnd - m_transfer.m_nBytesReceived;
      if (left <= 0) break;
      if (left < (LONGLONG)want) want = (DWORD)left;
    }
    memset(buffer.m_pBlock, 0, buffer.m_nSize);
    // Waiting for data and reading it are separate steps: a read asks only
    // for what has arrived, so bytes are stored (and count as activity) as
    // they come instead of after a whole block.
    Touch();
    const HINTERNET request = m_hRequest;
    DWORD available = 0;
    BOOL ok = FALSE;
    if (!link->Detached([&] { ok = ::InternetQueryDataAvailable(request, &available, 0, 0); })) return kLeftBehind;
    if (!ok) {
      result = IsCancelled() ? HTTP_RESULT_CANCELLED : HTTP_RESULT_FAILED;
      break;
    }
    if (available > 0 && available < want) want = available;
    if (IsCancelled()) {
      result = HTTP_RESULT_CANCELLED;
      break;
    }
    Touch();
    DWORD got = 0;
    void* block = buffer.m_pBlock;
    if (!link->Detached([&] { ok = ::InternetReadFile(request, block, want, &got); })) return kLeftBehind;
    if (!ok) {
      result = IsCancelled() ? HTTP_RESULT_CANCELLED : HTTP_RESULT_FAILED;
      break;
    }
    if (got == 0) {
      result = HTTP_RESULT_OK;
      break;
    }
    if (IsCancelled()) {
      result = HTTP_RESULT_CANCELLED;
      break;
    }
    Touch();
    DWORD written = 0;
    const int w = m_pSink->Write(buffer.m_pBlock, got, &written);
    if (w == -1 || written < got) {
      result = HTTP_RESULT_FAILED;
      break;
    }
    m_transfer.m_nBytesReceived += got;
    if (NotifyTransferProgress() == HTTP_PROGRESS_STOP) {
      result = HTTP_RESULT_OK;
      break;
    }
    if (m_nRangeEnd > 0 && m_transfer.m_nBytesReceived >= m_nRangeEnd) {
      result = HTTP_RESULT_OK;
      break;
    }
  }
  NotifyTransferEnd();
  return result;
}

// ---------------------------------------------------------------------------

CHttpDownloader::CHttpDownloader() { Reset(); }

CHttpDownloader::~CHttpDownloader() { CloseHandles(); }

void CHttpDownloader::Reset() {
  CHttpRequest::Reset();
  m_nResult = HTTP_RESULT_FAILED;
  m_nActivity = 0;
  m_nAccessType = INTERNET_OPEN_TYPE_PRECONFIG;
  m_pSink = nullptr;
}

int CHttpDownloader::DownloadToStream(CStream* stream) { return Get(stream); }

int CHttpDownloader::DownloadToString(CString& text) {
  CMemoryStream stream(1024);
  stream.SetLimit(m_nStringLimit);
  const int result = Get(&stream);
  if (result == 0) {
    const char* bytes = reinterpret_cast<const char*>(stream.GetBuffer());
    const int size = (int)stream.GetSize();  // within the limit, far below 2 GiB
    int n = 0;
    while (n < size && bytes[n]) ++n;
    text.Empty();
    if (n > 0) {
      const int wide = ::MultiByteToWideChar(CP_ACP, 0, bytes, n, nullptr, 0);
      std::vector<wchar_t> buf((size_t)wide + 1, L'\0');
      ::MultiByteToWideChar(CP_ACP, 0, bytes, n, buf.data(), wide);
      text = buf.data();
    }
  }
  return result;
}

int CHttpDownloader::DownloadToFile(LPCTSTR path, LONGLONG start, int resume) {
  DWORD disposition;
  if (resume || start > 0)
    disposition = OPEN_EXISTING;
  else if (start == -1)
    disposition = OPEN_ALWAYS;
  else
    disposition = CREATE_ALWAYS;
  CFileStream file;
  if (file.Open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, disposition, FILE_ATTRIBUTE_NORMAL) != 0)
    return HTTP_RESULT_UNAVAILABLE;
  if (start > 0) {
    if (file.Seek(start, 0) != start) return HTTP_RESULT_UNAVAILABLE;
  } else if (start == -1) {
    if (file.Seek(0, 2) < 0) return HTTP_RESULT_UNAVAILABLE;
  }
  const int result = Get(&file);
  file.Close();
  return result;
}

int CHttpDownloader::GetContentLength(LONGLONG& length, LONGLONG start) {
  length = 0;
  m_nRangeEnd = 0;
  m_nRangeStart = start;
  const int result = FetchHeaders();
  if (result == 0) length = m_transfer.m_nContentLength;
  return result;
}
