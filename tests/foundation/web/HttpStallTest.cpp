// Servers that stall before the headers or in the body, one that is slow but
// keeps sending, and a cancel in the middle of a body. Each case runs in a
// process of its own (see CMakeLists.txt).
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "foundation/web/HttpClient.h"
#include "tests/foundation/web/WebTestSupport.h"

namespace {
// Holds its first write until the watchdog has closed the idle request's
// handles, and a while longer than the watchdog's grace.
class CSlowSink : public CMemoryStream {
 public:
  explicit CSlowSink(CHttpRequest* request) : m_pRequest(request) {}
  int Write(const void* buffer, DWORD count, DWORD* written) override {
    if (++m_nWrites == 1) {
      for (int i = 0; i < 1200 && *(HINTERNET volatile*)&m_pRequest->m_hRequest; ++i) ::Sleep(50);
      m_bSawClose = *(HINTERNET volatile*)&m_pRequest->m_hRequest == nullptr;
      ::Sleep(4000);
    }
    return CMemoryStream::Write(buffer, count, written);
  }
  CHttpRequest* m_pRequest;
  int m_nWrites = 0;
  bool m_bSawClose = false;
};

// Signals the first body bytes.
class CProgressSignal : public CHttpRequestObserver {
 public:
  HANDLE m_hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~CProgressSignal() override { ::CloseHandle(m_hEvent); }
  int OnTransferProgress(ULONGLONG, CHttpTransferInfo*) override {
    ::SetEvent(m_hEvent);
    return 0;
  }
};
}  // namespace

TEST(HttpStall, BeforeHeadersEndsAtIdleTimeOut) {
  CHttpDownloader http;
  http.m_strURL = ServerUrl(L"/stall-headers");
  http.m_nTimeout = 2;
  CString text = L"unchanged";
  const int result = http.DownloadToString(text);
  // The closed handles fail the waiting call (-1), or the thread is left
  // behind (1) and ends by itself at its receive time-out.
  EXPECT_TRUE(result == -1 || result == 1) << result;
  EXPECT_STREQ(L"unchanged", text);
  EXPECT_EQ(1, WaitForHttpRequestThreads(20000));
}

TEST(HttpStall, MidBodyEndsAtIdleTimeOut) {
  CHttpDownloader http;
  http.m_strURL = ServerUrl(L"/stall-body");
  http.m_nTimeout = 2;
  CMemoryStream stream(1024);
  const int result = http.DownloadToStream(&stream);
  EXPECT_TRUE(result == -1 || result == 1) << result;
  EXPECT_EQ(100000, http.m_transfer.m_nContentLength);
  EXPECT_EQ(1000, stream.GetSize());
}

TEST(HttpStall, SlowServerThatKeepsSendingFinishes) {
  // Ten blocks half a second apart: five seconds in all, never two idle.
  CHttpDownloader http;
  http.m_strURL = ServerUrl(L"/slow");
  http.m_nTimeout = 2;
  CMemoryStream stream(1024);
  EXPECT_EQ(0, http.DownloadToStream(&stream));
  EXPECT_EQ(10 * 4096, stream.GetSize());
}

TEST(HttpStall, CancelMidBodyReturnsPromptly) {
  // The server sends 1000 bytes and then nothing for longer than the test may
  // run; only the cancel can end the request early.
  CProgressSignal signal;
  int cancel = 0;
  CHttpDownloader http;
  http.m_strURL = ServerUrl(L"/stall-body");
  http.m_nTimeout = 600;
  http.m_pCancel = &cancel;
  http.m_pObserver = &signal;
  CMemoryStream stream(1024);
  int result = 99;
  DWORD returned = 0;
  std::thread worker([&] {
    result = http.DownloadToStream(&stream);
    returned = ::GetTickCount();
  });
  const DWORD waited = ::WaitForSingleObject(signal.m_hEvent, 30000);
  const DWORD cancelled = ::GetTickCount();
  *(volatile int*)&cancel = 2;
  worker.join();
  ASSERT_EQ(WAIT_OBJECT_0, waited) << "no body bytes arrived";
  EXPECT_EQ(1, result);
  // 500 ms of polling plus a second of grace; far below the server's silence.
  EXPECT_LT(returned - cancelled, 20000u);
  EXPECT_EQ(1000, stream.GetSize());
}

TEST(HttpStall, WriterIntoTheSinkIsNeverEndedByForce) {
  // The write outlasts the idle time-out and the grace: the watchdog closes
  // the handles but lets the write finish; the next read then fails.
  CHttpDownloader http;
  http.m_strURL = ServerUrl(L"/pattern/20000");
  http.m_nTimeout = 2;
  CSlowSink sink(&http);
  EXPECT_EQ(-1, http.DownloadToStream(&sink));
  EXPECT_TRUE(sink.m_bSawClose);
  EXPECT_EQ(1, sink.m_nWrites);
  EXPECT_EQ(4096, sink.GetSize());
  EXPECT_EQ(4096, http.m_transfer.m_nBytesReceived);
}

TEST(HttpStall, EndlessBodyIsCappedInMemory) {
  // A server that never stops sending: the text download gives up at its
  // limit instead of filling the memory, and the request still ends (the
  // close that would read on for ever is left behind by the watchdog, and
  // an exit waits for it only as long as it is told).
  CHttpDownloader http;
  http.m_strURL = ServerUrl(L"/endless");
  http.m_nStringLimit = 256 * 1024;
  http.m_nTimeout = 2;
  CString text = L"unchanged";
  EXPECT_EQ(-1, http.DownloadToString(text));
  EXPECT_STREQ(L"unchanged", text);
  EXPECT_LE(http.m_transfer.m_nBytesReceived, 256 * 1024);
  EXPECT_GT(http.m_transfer.m_nBytesReceived, 200 * 1024);
  const DWORD start = ::GetTickCount();
  EXPECT_EQ(0, WaitForHttpRequestThreads(500));
  EXPECT_LT(::GetTickCount() - start, 3000u);
}

TEST(HttpStall, ThreadBusyOutsideTheNetworkIsNeverEndedByForce) {
  // The observer holds a lock of its own longer than the idle time-out and
  // the grace: the watchdog closes the handles and waits for it; ended by
  // force, the thread would keep the lock for ever.
  struct CLockingObserver : CHttpRequestObserver {
    std::timed_mutex m_lock;
    int m_nCalls = 0;
    int OnTransferProgress(ULONGLONG, CHttpTransferInfo*) override {
      if (++m_nCalls == 1) {
        std::lock_guard<std::timed_mutex> hold(m_lock);
        ::Sleep(8000);
      }
      return 0;
    }
  } observer;
  CHttpDownloader http;
  http.m_strURL = ServerUrl(L"/pattern/20000");
  http.m_nTimeout = 2;
  http.m_pObserver = &observer;
  CMemoryStream stream(1024);
  EXPECT_EQ(-1, http.DownloadToStream(&stream));  // the next read meets the closed handles
  EXPECT_EQ(1, observer.m_nCalls);
  ASSERT_TRUE(observer.m_lock.try_lock_for(std::chrono::seconds(10)));
  observer.m_lock.unlock();
  EXPECT_EQ(1, WaitForHttpRequestThreads(0));
}
