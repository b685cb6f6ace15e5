#include "foundation/web/HttpClient.h"

#include <cwchar>
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

void CloseInternetHandle(HINTERNET* slot) {
  HINTERNET h = (HINTERNET)::InterlockedExchangePointer((PVOID*)slot, nullptr);
  if (h) ::InternetCloseHandle(h);
}
}  // namespace

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
  request->m_nResult = request->Perform();
  request->m_bPerformed = 1;
  // Closed here, under the watchdog's eye: closing a request whose body was
  // not read to the end may first read on to keep the connection for reuse,
  // which a server that never stops sending can make last for ever.
  request->CloseHandles();
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
  HANDLE thread = ::CreateThread(nullptr, 0, HttpRequestThreadProc, this, 0, nullptr);
  if (!thread) return HTTP_RESULT_FAILED;

  const DWORD idleLimit = IdleLimitMs();
  bool cancelled = false;
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
    // Still running. It is ended by force unless it is writing into the sink;
    // then watching goes on with the idle clock left as it is.
    int allowed = 1;
    if (m_nTerminateAllowed.compare_exchange_strong(allowed, 2)) {
      ::TerminateThread(thread, 0);
      ::WaitForSingleObject(thread, 5000);
      // A request that had its result and hung only while closing keeps it.
      if (!m_bPerformed) m_nResult = HTTP_RESULT_CANCELLED;
      break;
    }
  }
  ::CloseHandle(thread);
  CloseHandles();
  // A request whose handles were closed for a cancel reports the cancel, not
  // the failure the closing caused.
  if (cancelled && m_nResult != HTTP_RESULT_OK) m_nResult = HTTP_RESULT_CANCELLED;
  return m_nResult;
}

// ---------------------------------------------------------------------------
// The request thread.

int CHttpRequest::Prepare() {
  if (!IsOnline()) return HTTP_RESULT_UNAVAILABLE;
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

int CHttpRequest::Perform() {
  m_nActivity = 0;
  m_nTerminateAllowed = 1;
  if (int r = Prepare()) return r;

  CString host, path;
  INTERNET_PORT port = 0;
  INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
  if (CrackUrl(host, path, port, scheme) != 0) return HTTP_RESULT_UNAVAILABLE;
  const CString proxy = GetProxyString();

  Touch();
  HINTERNET root = ::InternetOpenW(m_headers.m_strUserAgent, (DWORD)m_nAccessType,
                                   proxy.IsEmpty() ? nullptr : (LPCTSTR)proxy, nullptr, 0);
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
  if (!::HttpSendRequestW(request, nullptr, 0, bodyBytes > 1 ? (LPVOID)(LPCSTR)body : nullptr,
                          bodyBytes > 1 ? (DWORD)(bodyBytes - 1) : 0)) {
    const DWORD error = ::GetLastError();
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
    DWORD available = 0;
    if (!::InternetQueryDataAvailable(m_hRequest, &available, 0, 0)) {
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
    if (!::InternetReadFile(m_hRequest, buffer.m_pBlock, want, &got)) {
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
    int allowed = 1;
    if (!m_nTerminateAllowed.compare_exchange_strong(allowed, 0)) {
      result = HTTP_RESULT_CANCELLED;  // the watchdog is ending this thread
      break;
    }
    DWORD written = 0;
    const int w = m_pSink->Write(buffer.m_pBlock, got, &written);
    m_nTerminateAllowed = 1;
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
  m_nTerminateAllowed = 1;
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
