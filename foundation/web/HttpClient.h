// A blocking HTTP/HTTPS client over WinINet. Each request runs on a thread of
// its own while the calling thread watches it: a request that shows no
// activity for the idle time-out, or whose cancel flag is set, has its handles
// closed. A thread still blocked in WinINet after that is left to end by
// itself (it is never ended by force); it touches nothing of the request
// from then on and frees what it holds when it ends.
#pragma once
#include <atomic>
#include <functional>

#include "foundation/Streams.h"
#include "afxwin.h"

#include <wininet.h>

// Request results.
enum HttpResult {
  HTTP_RESULT_OK = 0,         // any status below 400
  HTTP_RESULT_CANCELLED = 1,  // also when the request thread had to be left behind
  // The request thread could not start; the request could not be opened or
  // sent; a read failed; a write into the sink failed or was short.
  HTTP_RESULT_FAILED = -1,
  // Offline; a URL that does not parse or is not http/https; the internet root
  // handle or the connection cannot be opened; the server cannot be reached
  // (connection refused, name not found); a status of 400 or more; a resumed
  // download whose server ignored the range; a target file that cannot be
  // opened or positioned.
  HTTP_RESULT_UNAVAILABLE = -2,
};

// What an observer's OnTransferProgress returns to end the transfer early
// with success.
constexpr int HTTP_PROGRESS_STOP = 10;

// What an observer sees of a transfer.
struct CHttpTransferInfo {
  int m_bResumable = 0;           // the server accepts byte ranges
  LONGLONG m_nContentLength = 0;  // from the response header, 0 when absent
  LONGLONG m_nBytesReceived = 0;  // body bytes stored in the sink
};

class CHttpRequestObserver {
 public:
  virtual ~CHttpRequestObserver() {}
  virtual int OnEvent0(ULONGLONG request) { return 0; }
  virtual int OnEvent1(ULONGLONG request) { return 0; }
  virtual int OnTransferBegin(ULONGLONG request, CHttpTransferInfo* info) { return 0; }
  // Returning HTTP_PROGRESS_STOP ends the transfer early with success.
  virtual int OnTransferProgress(ULONGLONG request, CHttpTransferInfo* info) { return 0; }
  virtual int OnTransferEnd(ULONGLONG request, CHttpTransferInfo* info) { return 0; }
};

// Request options.
struct CHttpRequestHeaders {
  CString m_strHttpVersion;
  CString m_strVerb;
  CString m_strUserAgent;
  CString m_strReferrer;
  CString m_strCookies;  // "a=1; b=2": one Cookie line per piece
  CString m_strAccept;
  CString m_strAcceptLanguage;
  CString m_strAcceptCharset;
  CString m_strAcceptEncoding;
  CString m_strContentType;
  CString m_strBody;
  CString m_strExtraHeaders;  // added last, unchanged
  int m_bReload = 0;
  int m_bExistingConnect = 0;
  int m_bKeepConnection = 1;
  int m_bNoAutoRedirect = 0;
  int m_bNoCookies = 0;
  int m_bNoCacheWrite = 0;
  DWORD m_dwFreeFlags = 0;  // or-ed into the request flags as they are

  void Reset() { *this = CHttpRequestHeaders(); }
};

struct CHttpResponseInfo {
  int m_nStatusCode = 0;
  CString m_strRawHeaders;
  CString m_strAcceptRanges;  // lower case
  CString m_strContentEncoding;
  CString m_strLocation;  // only for status 301 to 303

  void Reset() { *this = CHttpResponseInfo(); }
};

// Waits up to timeoutMs for the request threads that were left behind in a
// blocked call (at exit: none is ever ended by force). 1 when none is left.
int WaitForHttpRequestThreads(DWORD timeoutMs);

// What a request and its thread share (the thread may outlive the request).
struct CHttpThreadLink;

// Tests replace how the client asks whether the machine is online; null
// restores InternetGetConnectedState.
typedef BOOL (*HttpConnectedStateProc)();
void SetHttpConnectedStateProc(HttpConnectedStateProc proc);

class CHttpRequest {
 public:
  CHttpRequest();
  virtual ~CHttpRequest();
  CHttpRequest(const CHttpRequest&) = delete;
  CHttpRequest& operator=(const CHttpRequest&) = delete;

  virtual void Reset();
  virtual int GetContentLength(LONGLONG& length, LONGLONG start) = 0;
  virtual int DownloadToFile(LPCTSTR path, LONGLONG start, int resume) = 0;
  virtual int DownloadToStream(CStream* stream) = 0;
  virtual int NotifyEvent0();
  virtual int NotifyEvent1();
  virtual int NotifyTransferBegin();
  virtual int NotifyTransferProgress();
  virtual int NotifyTransferEnd();

  // GET into the stream; the body is not read without one.
  int Get(CStream* stream);
  int FetchHeaders();
  BOOL IsCancelled() const { return m_pCancel && *(volatile int*)m_pCancel != 0; }
  void CloseHandles();

  // Options and state, in the order the request keeps them.
  CHttpRequestObserver* m_pObserver = nullptr;
  int* m_pCancel = nullptr;  // cancelled while set and non-zero
  int m_nTimeout = 30;       // idle time-out, seconds
  DWORD m_nReadSize = 0;     // 0 = 4096
  CHttpTransferInfo m_transfer;
  int m_nAccessType = INTERNET_OPEN_TYPE_PRECONFIG;  // or _DIRECT, or _PROXY (named proxy)
  CString m_strProxyHost;
  int m_nProxyPort = 80;
  CString m_strUserName;
  CString m_strPassword;
  CString m_strURL;
  LONGLONG m_nExpectedTotal = -1;  // -1 = not given
  LONGLONG m_nRangeStart = 0;
  LONGLONG m_nRangeEnd = -1;  // body bytes after which reading stops; -1 no limit, 0 none
  CHttpRequestHeaders m_headers;
  CHttpResponseInfo m_response;
  CStream* m_pSink = nullptr;
  std::atomic<LONGLONG> m_nActivity{0};
  std::atomic<int> m_nResult{-1};
  HINTERNET m_hRoot = nullptr;
  HINTERNET m_hConnection = nullptr;
  HINTERNET m_hRequest = nullptr;
  CHttpThreadLink* m_pLink = nullptr;  // while a request thread runs
  std::atomic<int> m_bPerformed{0};    // the request thread has its result

  // Pieces of a request, open to tests.
  int CrackUrl(CString& host, CString& path, INTERNET_PORT& port, INTERNET_SCHEME& scheme) const;
  CString GetProxyString();
  DWORD GetRequestFlags(INTERNET_SCHEME scheme) const;
  CString BuildHeaders();

 protected:
  int RunWithWatchdog();
  // The idle time-out in milliseconds (30 s when not positive).
  DWORD IdleLimitMs() const;
  int Perform();
  int Prepare();
  int ReadBody();
  static DWORD WINAPI HttpRequestThreadProc(LPVOID param);
  void Touch() { ++m_nActivity; }
  CString QueryText(DWORD info);
};

class CHttpDownloader : public CHttpRequest {
 public:
  CHttpDownloader();
  ~CHttpDownloader() override;

  void Reset() override;
  int GetContentLength(LONGLONG& length, LONGLONG start) override;
  // start > 0: continue the file there (set m_nRangeStart to the same offset);
  // start = -1: append; resume: the file must exist.
  int DownloadToFile(LPCTSTR path, LONGLONG start, int resume) override;
  int DownloadToStream(CStream* stream) override;
  // The body up to its first zero byte, decoded from the ANSI code page. A
  // body larger than m_nStringLimit fails with -1.
  int DownloadToString(CString& text);

  ULONGLONG m_nStringLimit = kStringLimit;
  static constexpr ULONGLONG kStringLimit = 4u << 20;
};
