// Shared set-up for the tool runner tests: the stand-in tool, copied to a
// folder whose path has blanks, and small file helpers.
#pragma once
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <string>

#include "afx.h"

inline CString TestFolder() {
  wchar_t buf[MAX_PATH];
  GetTempPathW(MAX_PATH, buf);
  CString dir;
  dir.Format(L"%stool runs %lu", buf, GetCurrentProcessId());
  CreateDirectoryW(dir, nullptr);
  return dir;
}

// The stand-in tool, at a path with blanks.
inline CString FakeToolPath() {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  PathRemoveFileSpecW(exe);
  CString source = CString(exe) + L"\\fake_tool.exe";
  CString target = TestFolder() + L"\\fake tool.exe";
  CopyFileW(source, target, FALSE);
  return target;
}

inline std::string ReadUtf8(const CString& path) {
  std::string text;
  HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return text;
  char buf[4096];
  DWORD n = 0;
  while (ReadFile(h, buf, sizeof(buf), &n, nullptr) && n > 0) text.append(buf, n);
  CloseHandle(h);
  return text;
}
