#include <thread>

#include "converter/tools/MediaTool.h"
#include "tests/converter/tools/ToolTestSupport.h"

namespace {
int Launch(CMediaTool& tool, const CString& args, const CStopFlag* cancel) {
  return tool.RunTool(tool.MakeCommandLine(args), cancel);
}

bool ProcessEnded(DWORD pid) {
  HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (!h) return true;
  bool ended = WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
  CloseHandle(h);
  return ended;
}
}  // namespace

TEST(RunTool, ExitCodesBecomeResults) {
  CMediaTool tool;
  tool.SetToolPath(TestFolder() + L"\\no such tool.exe");
  EXPECT_EQ(-1, Launch(tool, L"--exit 0", nullptr));

  tool.SetToolPath(FakeToolPath());
  CStopFlag flag{0};
  EXPECT_EQ(0, Launch(tool, L"--exit 0", nullptr));
  EXPECT_EQ(0, Launch(tool, L"--exit 0", &flag));
  EXPECT_EQ(-1, Launch(tool, L"--exit 3", &flag));
  EXPECT_EQ(-1, Launch(tool, L"--exit -1", nullptr));
  // A flag that is set but is no stop request lets the run finish, then reports 1.
  flag = 1;
  EXPECT_EQ(1, Launch(tool, L"--sleep 300 --exit 0", &flag));
}

TEST(RunTool, PathsWithBlanksAndFramePatternsArriveIntact) {
  CMediaTool tool;
  tool.SetToolPath(FakeToolPath());
  CString argsFile = TestFolder() + L"\\args out.txt";
  CString args;
  args.Format(L"--args \"%s\" -i \"C:\\work dir\\0001\\I%%07d.bmp\" -f mp4 \"D:\\out put\\O%%07d.bmp\" -y",
              (LPCTSTR)argsFile);
  ASSERT_EQ(0, Launch(tool, args, nullptr));
  std::string seen = ReadUtf8(argsFile);
  EXPECT_NE(std::string::npos, seen.find("\nC:\\work dir\\0001\\I%07d.bmp\n")) << seen;
  EXPECT_NE(std::string::npos, seen.find("\nD:\\out put\\O%07d.bmp\n")) << seen;
  EXPECT_NE(std::string::npos, seen.find("\n-y\n")) << seen;
}

TEST(RunTool, StopEndsToolThatIgnoresIt) {
  CMediaTool tool;
  tool.SetToolPath(FakeToolPath());
  CString pidFile = TestFolder() + L"\\stubborn.pid";
  DeleteFileW(pidFile);
  CString args;
  args.Format(L"--pid \"%s\" --sleep 60000", (LPCTSTR)pidFile);
  CStopFlag flag{0};
  std::thread stopper([&] {
    Sleep(500);
    flag = 2;
  });
  DWORD start = GetTickCount();
  int result = Launch(tool, args, &flag);
  DWORD took = GetTickCount() - start;
  stopper.join();
  EXPECT_EQ(1, result);
  EXPECT_GE(took, 10000u);  // the grace period comes first
  EXPECT_TRUE(tool.m_bForcedStop);
  DWORD pid = (DWORD)atol(ReadUtf8(pidFile).c_str());
  ASSERT_NE(0u, pid);
  // The tool itself is gone, not only the shell that started it.
  EXPECT_TRUE(ProcessEnded(pid));
}

TEST(RunTool, StopWithinGraceLetsToolEnd) {
  CMediaTool tool;
  tool.SetToolPath(FakeToolPath());
  CStopFlag flag{3};
  EXPECT_EQ(1, Launch(tool, L"--sleep 1500 --exit 0", &flag));
  EXPECT_FALSE(tool.m_bForcedStop);  // it ended by itself within the grace time
}

TEST(RunTool, NoHandlesLeak) {
  CMediaTool tool;
  tool.SetToolPath(FakeToolPath());
  CStopFlag flag{0};
  Launch(tool, L"--exit 0", &flag);  // warm up
  DWORD before = 0, after = 0;
  ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &before));
  for (int i = 0; i < 5; ++i) {
    Launch(tool, L"--exit 0", &flag);
    Launch(tool, L"--exit 2", nullptr);
  }
  CMediaTool missing;
  missing.SetToolPath(L"C:\\nowhere\\tool.exe");
  Launch(missing, L"", &flag);
  ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &after));
  EXPECT_LE(after, before + 1);
}
