// Runs a program built the class library's way and reads its exit code.
#include <gtest/gtest.h>

#include "afxwin.h"

TEST(Entry, ProgramRunsThroughTheLibraryEntry) {
  wchar_t path[MAX_PATH] = {0};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  CString program(path);
  program = program.Left(program.ReverseFind(L'\\') + 1) + L"classlib_entry_program.exe";
  CString cmd = L"\"" + program + L"\"   run --fast";
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(::CreateProcessW(program, cmd.GetBuffer(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  cmd.ReleaseBuffer();
  EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(pi.hProcess, 30000));
  DWORD code = 0;
  ::GetExitCodeProcess(pi.hProcess, &code);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  EXPECT_EQ(100u, code);  // 100 and no problem bits
}
