#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "tests/converter/support/ConverterTestApp.h"
#include "foundation/Folders.h"
#include "foundation/FileSystem.h"
#include "converter/jobs/WorkFolders.h"
#include "tests/support/ShellRecorder.h"

TEST(WorkFolders, FirstFreeNumberAndReuseAfterDelete) {
  CString base = MakeTestFolder(L"work numbers") + L"\\Temp";
  EXPECT_STREQ(base + L"\\0000", CreateWorkFolderIn(base));
  EXPECT_STREQ(base + L"\\0001", CreateWorkFolderIn(base));
  EXPECT_STREQ(base + L"\\0002", CreateWorkFolderIn(base));
  { CWorkFolderGuard done(base + L"\\0000", 1); }
  EXPECT_STREQ(base + L"\\0000", CreateWorkFolderIn(base));
  // A file with a folder's name is taken as well.
  TouchFile(base + L"\\0003");
  EXPECT_STREQ(base + L"\\0004", CreateWorkFolderIn(base));
  // The search is bounded.
  EXPECT_STREQ(L"", CreateWorkFolderIn(base, 5));
  // No folder under a base that is a file.
  TouchFile(base + L"\\plain");
  EXPECT_STREQ(L"", CreateWorkFolderIn(base + L"\\plain"));
}

TEST(WorkFolders, JobsStartingTogetherNeverShareAFolder) {
  CString base = MakeTestFolder(L"work race") + L"\\Temp";
  const int threads = 8, each = 40;
  std::vector<std::vector<CString>> got(threads);
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t)
    workers.emplace_back([&, t] {
      for (int i = 0; i < each; ++i) got[t].push_back(CreateWorkFolderIn(base));
    });
  for (auto& w : workers) w.join();
  std::set<std::wstring> distinct;
  for (auto& list : got)
    for (auto& path : list) {
      EXPECT_FALSE(path.IsEmpty());
      distinct.insert(path.GetString());
    }
  EXPECT_EQ((size_t)(threads * each), distinct.size());
}

TEST(WorkFolders, ExitLeavesHeldAndForeignFoldersAlone) {
  CConverterTestApp app(L"WorkFoldersTemp");
  const CString temp = GetUserDataFolder() + L"\\Temp";
  DeleteTempWorkFolder();  // a missing folder is no error
  // The folder of a job that still runs, here or in a second converter.
  CString running = CreateTempWorkFolder();
  ASSERT_FALSE(running.IsEmpty());
  TouchFile(running + L"\\I0000000.bmp");
  // The user's own folders where the work folders live (the program folder
  // stands in for a user data folder that cannot be had).
  ASSERT_TRUE(CreateFolderTree(temp + L"\\0050"));
  TouchFile(temp + L"\\0050\\mine.txt");
  ASSERT_TRUE(CreateFolderTree(temp + L"\\notes"));
  TouchFile(temp + L"\\notes\\mine.txt");
  DeleteTempWorkFolder();
  EXPECT_TRUE(PathFileExistsW(running + L"\\I0000000.bmp"));
  EXPECT_TRUE(PathFileExistsW(temp + L"\\0050\\mine.txt"));
  EXPECT_TRUE(PathFileExistsW(temp + L"\\notes\\mine.txt"));
}

TEST(WorkFolders, ExitTakesWorkFoldersNoLiveProcessHolds) {
  CConverterTestApp app(L"WorkFoldersLeft");
  // Left by a job whose process has ended without deleting it.
  CString left = CreateTempWorkFolder();
  ASSERT_FALSE(left.IsEmpty());
  TouchFile(left + L"\\O0000001.bmp");
  ReleaseWorkFolder(left);
  CString held = CreateTempWorkFolder();
  // One whose file another program still has open: it stays with its mark,
  // and a later exit takes it once the file is free.
  CString busy = CreateTempWorkFolder();
  ASSERT_FALSE(busy.IsEmpty());
  TouchFile(busy + L"\\O0000001.bmp");
  ReleaseWorkFolder(busy);
  HANDLE open = ::CreateFileW(busy + L"\\O0000001.bmp", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, open);
  DeleteTempWorkFolder();
  EXPECT_FALSE(PathFileExistsW(left));
  EXPECT_TRUE(PathFileExistsW(held));
  EXPECT_TRUE(PathFileExistsW(busy + L"\\O0000001.bmp"));
  ::CloseHandle(open);
  DeleteTempWorkFolder();
  EXPECT_FALSE(PathFileExistsW(busy));
  EXPECT_TRUE(PathFileExistsW(held));
  // A job's guard lets go of its folder and deletes it.
  { CWorkFolderGuard guard(held, 1); }
  EXPECT_FALSE(PathFileExistsW(held));
}

TEST(WorkFolders, OpenInViewerOrWithTheShell) {
  CConverterTestApp app(L"WorkFoldersViewer");
  CString folder = MakeTestFolder(L"viewer launch");
  app.WriteProfileString(L"", L"AppFolder", folder);
  CShellRecorder shell;
  EXPECT_EQ(0, OpenInViewer(L"C:\\my scans\\a b.dcm"));
  std::vector<ShellCall> calls = shell.Calls();
  ASSERT_EQ(1u, calls.size());
  EXPECT_STREQ(L"open", calls[0].verb);
  EXPECT_STREQ(L"\"C:\\my scans\\a b.dcm\"", calls[0].file);
  EXPECT_FALSE(calls[0].hasParams);
  EXPECT_EQ(SW_SHOWNORMAL, calls[0].show);

  TouchFile(folder + L"\\Glimmerscope.exe");
  EXPECT_STREQ(folder + L"\\Glimmerscope.exe", GetViewerPath());
  EXPECT_EQ(0, OpenInViewer(L"C:\\my scans\\a b.dcm"));
  calls = shell.Calls();
  ASSERT_EQ(2u, calls.size());
  EXPECT_FALSE(calls[1].hasVerb);
  EXPECT_STREQ(folder + L"\\Glimmerscope.exe", calls[1].file);
  EXPECT_STREQ(L"\"C:\\my scans\\a b.dcm\"", calls[1].params);
}
