// The HTTP client against the local test server: documents into strings,
// streams and files, statuses and redirects, the request's header block,
// resumed downloads, and requests refused before any connection.
#include <gtest/gtest.h>

#include <vector>

#include "foundation/web/HttpClient.h"
#include "tests/TestPaths.h"
#include "tests/foundation/web/WebTestSupport.h"

namespace {
std::vector<BYTE> Pattern(size_t n, size_t start = 0) {
  std::vector<BYTE> out;
  for (size_t i = start; i < n; ++i) out.push_back((BYTE)((i * 7 + i / 251) & 0xFF));
  return out;
}

std::vector<BYTE> StreamBytes(CMemoryStream& s) {
  const BYTE* p = s.GetBuffer();
  return p ? std::vector<BYTE>(p, p + s.GetSize()) : std::vector<BYTE>();
}

std::vector<BYTE> ReadFileBytes(LPCTSTR path) {
  std::vector<BYTE> out;
  FILE* f = _wfopen(path, L"rb");
  if (!f) return out;
  BYTE buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), f)) > 0) out.insert(out.end(), buf, buf + n);
  fclose(f);
  return out;
}

void WriteFileBytes(LPCTSTR path, const std::vector<BYTE>& bytes) {
  FILE* f = _wfopen(path, L"wb");
  ASSERT_NE(nullptr, f);
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

CString TempFile(LPCTSTR name) {
  wchar_t dir[MAX_PATH];
  ::GetTempPathW(MAX_PATH, dir);
  CString path;
  path.Format(L"%sweb_http_%lu_%s", dir, ::GetCurrentProcessId(), name);
  return path;
}

BOOL Offline() { return FALSE; }
}  // namespace

TEST(HttpClient, ServerIsUp) { ASSERT_GT(ServerPort(), 0) << "the test server's port file is missing"; }

TEST(HttpClient, DocumentsIntoStringsAndStreams) {
  {
    CHttpDownloader http;
    http.m_strURL = ServerUrl(L"/doc");
    CString text;
    EXPECT_EQ(0, http.DownloadToString(text));
    EXPECT_STREQ(L"Hello from the test server.\r\n", text);
    EXPECT_EQ(200, http.m_response.m_nStatusCode);
    EXPECT_EQ(29, http.m_transfer.m_nContentLength);
    EXPECT_NE(-1, http.m_response.m_strRawHeaders.Find(L"Content-Type: text/plain"));
  }
  {
    // The text ends at the first zero byte.
    CHttpDownloader http;
    http.m_strURL = ServerUrl(L"/nul");
    CString text = L"old";
    EXPECT_EQ(0, http.DownloadToString(text));
    EXPECT_STREQ(L"before", text);
    EXPECT_EQ(12, http.m_transfer.m_nBytesReceived);
  }
  {
    CHttpDownloader http;
    http.m_strURL = ServerUrl(L"/chunked");
    CString text;
    EXPECT_EQ(0, http.DownloadToString(text));
    CString expected = L"first piece;";
    for (int i = 0; i < 50; ++i) expected += L"second, longer piece;";
    expected += L"last.";
    EXPECT_STREQ(expected, text);
  }
  {
    // 300 KB of binary data, byte for byte.
    CHttpDownloader http;
    http.m_strURL = ServerUrl(L"/pattern/307200");
    CMemoryStream stream(1024);
    EXPECT_EQ(0, http.DownloadToStream(&stream));
    EXPECT_EQ(307200, stream.GetSize());
    EXPECT_TRUE(Pattern(307200) == StreamBytes(stream));
    EXPECT_EQ(307200, http.m_transfer.m_nBytesReceived);
  }
  {
    // The server keeps the connection open after the body: a client reading
    // past the length would wait until the idle time-out and fail.
    CHttpDownloader http;
    http.m_strURL = ServerUrl(L"/exact/5000");
    http.m_nTimeout = 60;
    CMemoryStream stream(1024);
    EXPECT_EQ(0, http.DownloadToStream(&stream));
    EXPECT_TRUE(Pattern(5000) == StreamBytes(stream));
  }
  {
    // A range end of 100 stops after 100 body bytes, whatever the read size.
    CHttpDownloader http;
    http.m_strURL = ServerUrl(L"/pattern/20000");
    http.m_nRangeEnd = 100;
    CMemoryStream stream(1024);
    EXPECT_EQ(0, http.DownloadToStream(&stream));
    EXPECT_EQ(100, stream.GetSize());
    EXPECT_TRUE(Pattern(100) == StreamBytes(stream));
  }
}

TEST(HttpClient, StatusesAndRedirects) {
  for (int code : {404, 500}) {
    CHttpDownloader http;
    CString path;
    path.Format(L"/status/%d", code);
    http.m_strURL = ServerUrl(path);
    CString text = L"unchanged";
    EXPECT_EQ(-2, http.DownloadToString(text)) << code;
    EXPECT_EQ(code, http.m_response.m_nStatusCode);
    EXPECT_STREQ(L"unchanged", text);
  }
  {
    // Followed by WinINet: the final status is 200, so no location is kept.
    CHttpDownloader http;
    http.m_strURL = ServerUrl(L"/redirect/302");
    CString text;
    EXPECT_EQ(0, http.DownloadToString(text));
    EXPECT_STREQ(L"Hello from the test server.\r\n", text);
    EXPECT_EQ(200, http.m_response.m_nStatusCode);
    EXPECT_TRUE(http.m_response.m_strLocation.IsEmpty());
  }
  {
    CHttpDownloader http;
    http.m_strURL = ServerUrl(L"/redirect/301");
    http.m_headers.m_bNoAutoRedirect = 1;
    CString text;
    EXPECT_EQ(0, http.DownloadToString(text));
    EXPECT_EQ(301, http.m_response.m_nStatusCode);
    EXPECT_STREQ(L"moved", text);
    EXPECT_NE(-1, http.m_response.m_strLocation.Find(L"/doc"));
  }
  {
    // Headers only: the length and the ranges, no body.
    CHttpDownloader http;
    http.m_strURL = ServerUrl(L"/file");
    LONGLONG length = -5;
    EXPECT_EQ(0, http.GetContentLength(length, 0));
    EXPECT_EQ(200000, length);
    EXPECT_EQ(1, http.m_transfer.m_bResumable);
    EXPECT_EQ(0, http.m_transfer.m_nBytesReceived);
    CHttpDownloader rest;
    rest.m_strURL = ServerUrl(L"/file");
    EXPECT_EQ(0, rest.GetContentLength(length, 150000));
    EXPECT_EQ(50000, length);
    EXPECT_EQ(206, rest.m_response.m_nStatusCode);
  }
}

TEST(HttpClient, HeaderBlockInOrder) {
  CHttpDownloader http;
  http.m_strURL = ServerUrl(L"/echo");
  http.m_headers.m_strAccept = L"text/xml";
  http.m_headers.m_strAcceptLanguage = L"en-US";
  http.m_headers.m_strAcceptCharset = L"utf-8";
  http.m_nRangeStart = 7;
  http.m_headers.m_strAcceptEncoding = L"identity";
  http.m_headers.m_strContentType = L"text/plain";
  http.m_headers.m_strCookies = L"alpha=1; beta=2";
  http.m_headers.m_strExtraHeaders = L"X-Extra: last\r\n";
  CString echo;
  ASSERT_EQ(0, http.DownloadToString(echo)) << (LPCTSTR)echo;
  const LPCTSTR lines[] = {L"\r\nAccept: text/xml\r\n",
                           L"\r\nAccept-Language: en-US\r\n",
                           L"\r\nAccept-Charset: utf-8\r\n",
                           L"\r\nRange: bytes=7-\r\n",
                           L"\r\nAccept-Encoding: identity\r\n",
                           L"\r\nContent-Type: text/plain\r\n",
                           L"\r\nCookie: alpha=1\r\n",
                           L"\r\nCookie: beta=2\r\n",
                           L"\r\nX-Extra: last\r\n"};
  int last = -1;
  for (LPCTSTR line : lines) {
    const int at = echo.Find(line);
    EXPECT_GT(at, last) << "missing or out of order: " << CStringA(line).GetString() << "\n"
                        << CStringA(echo).GetString();
    if (at >= 0) last = at;
  }
  EXPECT_NE(-1, echo.Find(L"\r\nUser-Agent: Mozilla/5.0 (Windows NT 10.0; Win64; x64)"));
  EXPECT_EQ(0, echo.Find(L"GET /echo HTTP/1.1\r\n"));
}

TEST(HttpClient, ResumedDownloads) {
  const std::vector<BYTE> whole = Pattern(200000);
  const std::vector<BYTE> head(whole.begin(), whole.begin() + 50000);
  {
    // The rest is appended at the offset and rebuilds the exact file.
    const CString path = TempFile(L"resume.bin");
    WriteFileBytes(path, head);
    CHttpDownloader http;
    http.m_strURL = ServerUrl(L"/file");
    http.m_nRangeStart = 50000;
    EXPECT_EQ(0, http.DownloadToFile(path, 50000, 1));
    EXPECT_EQ(206, http.m_response.m_nStatusCode);
    EXPECT_TRUE(whole == ReadFileBytes(path));
    ::DeleteFileW(path);
  }
  for (LONGLONG expectedTotal : {-1LL, 200000LL}) {
    // A server that ignores the range sends everything again: refused, and the
    // part already there stays as it was.
    const CString path = TempFile(L"norange.bin");
    WriteFileBytes(path, head);
    CHttpDownloader http;
    http.m_strURL = ServerUrl(L"/norange");
    http.m_nRangeStart = 50000;
    http.m_nExpectedTotal = expectedTotal;
    EXPECT_EQ(-2, http.DownloadToFile(path, 50000, 1)) << expectedTotal;
    EXPECT_TRUE(head == ReadFileBytes(path)) << expectedTotal;
    ::DeleteFileW(path);
  }
  {
    // A whole download replaces the file; a missing file cannot be resumed.
    const CString path = TempFile(L"whole.bin");
    WriteFileBytes(path, std::vector<BYTE>(300000, 0xEE));
    CHttpDownloader http;
    http.m_strURL = ServerUrl(L"/file");
    EXPECT_EQ(0, http.DownloadToFile(path, 0, 0));
    EXPECT_TRUE(whole == ReadFileBytes(path));
    ::DeleteFileW(path);
    CHttpDownloader again;
    again.m_strURL = ServerUrl(L"/file");
    EXPECT_EQ(-2, again.DownloadToFile(path, 0, 1));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(path));
  }
}

TEST(HttpClient, RefusedWithoutReachingAServer) {
  {
    // Nothing listens: the same result as an unusable address.
    CHttpDownloader http;
    http.m_nTimeout = 5;
    CString url;
    url.Format(L"http://127.0.0.1:%d/doc", ClosedPort());
    http.m_strURL = url;
    CString text;
    EXPECT_EQ(-2, http.DownloadToString(text));
  }
  CListeningProbe probe;
  CString ftp, https;
  ftp.Format(L"ftp://127.0.0.1:%d/update.xml", probe.Port());
  const CString urls[] = {
      ftp, L"", L"junk", L"http//127.0.0.1/", L"http://", L"127.0.0.1/doc", L"file:///C:/x.xml", L"mailto:a@b"};
  for (const CString& url : urls) {
    CHttpDownloader http;
    http.m_nTimeout = 5;
    http.m_strURL = url;
    CString text;
    EXPECT_EQ(-2, http.DownloadToString(text)) << CStringA(url).GetString();
  }
  {
    // Offline: refused before anything is opened.
    SetHttpConnectedStateProc(Offline);
    CHttpDownloader http;
    http.m_nTimeout = 5;
    CString url;
    url.Format(L"http://127.0.0.1:%d/doc", probe.Port());
    http.m_strURL = url;
    CString text;
    EXPECT_EQ(-2, http.DownloadToString(text));
    SetHttpConnectedStateProc(nullptr);
  }
  {
    // Cancelled before it starts.
    int cancel = 2;
    CHttpDownloader http;
    http.m_nTimeout = 5;
    http.m_pCancel = &cancel;
    CString url;
    url.Format(L"http://127.0.0.1:%d/doc", probe.Port());
    http.m_strURL = url;
    CString text;
    EXPECT_EQ(1, http.DownloadToString(text));
  }
  EXPECT_FALSE(probe.WasConnected());
}

TEST(HttpClient, RequestPieces) {
  CHttpDownloader http;
  http.m_nAccessType = 7;
  EXPECT_STREQ(L"", http.GetProxyString());
  EXPECT_EQ(0, http.m_nAccessType);
  http.m_nAccessType = 3;
  EXPECT_STREQ(L"", http.GetProxyString());  // no host: the system's settings
  EXPECT_EQ(0, http.m_nAccessType);
  http.m_nAccessType = 3;
  http.m_strProxyHost = L"proxy.local";
  http.m_nProxyPort = 8080;
  EXPECT_STREQ(L"proxy.local:8080", http.GetProxyString());
  EXPECT_EQ(3, http.m_nAccessType);

  http.m_strURL = L"http://127.0.0.1:8123/a/b.xml?x=1&y=2";
  CString host, path;
  INTERNET_PORT port = 0;
  INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
  ASSERT_EQ(0, http.CrackUrl(host, path, port, scheme));
  EXPECT_STREQ(L"127.0.0.1", host);
  EXPECT_STREQ(L"/a/b.xml?x=1&y=2", path);
  EXPECT_EQ(8123, port);
  EXPECT_EQ(INTERNET_SCHEME_HTTP, scheme);

  // A cookie text without ';' is one line, unchanged; a negative range start
  // is reset and writes no range line.
  http.m_headers.m_strCookies = L"k=v ";
  http.m_nRangeStart = -4;
  EXPECT_STREQ(L"Cookie: k=v \r\n", http.BuildHeaders());
  EXPECT_EQ(0, http.m_nRangeStart);
  http.m_headers.m_strCookies = L" a=1;; b=2 ;";
  EXPECT_STREQ(L"Cookie: a=1\r\nCookie: b=2\r\n", http.BuildHeaders());
}
