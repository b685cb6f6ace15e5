// Files of the video-to-DICOM tests: the videos make-media.sh made with the
// system's ffmpeg, the frame counts its ffprobe found, fresh output folders.
#pragma once
#include <shlwapi.h>

#include <cstdio>
#include <ostream>
#include <string>

#include "foundation/FileSystem.h"
#include "tests/TestPaths.h"

// Readable texts in test messages.
inline void PrintTo(const CString& s, std::ostream* os) { *os << '"' << CStringA(s).GetString() << '"'; }

// A full path without ".." parts, as the system's dialogs give paths back.
inline CString FullPath(const CString& path) {
  wchar_t full[MAX_PATH * 2] = {0};
  ::GetFullPathNameW(path, MAX_PATH * 2, full, nullptr);
  return full;
}

inline CString Media(LPCTSTR name) { return FullPath(BuildTreePath(CString(L"testdata\\video2dicom\\") + name)); }

// The count in "<name>" beside the videos; -1 when missing.
inline int ExpectedCount(LPCTSTR name) {
  FILE* f = _wfopen(Media(name), L"r");
  if (!f) return -1;
  int n = -1;
  if (fscanf(f, "%d", &n) != 1) n = -1;
  fclose(f);
  return n;
}

// An empty folder, made fresh.
inline CString FreshFolder(const CString& path) {
  if (::PathFileExistsW(path)) DeletePath(path, DELETE_SILENT, nullptr);
  CreateFolderTree(path);
  return path;
}

inline int CountFiles(const CString& folder) {
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW(folder + L"\\*", &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  int n = 0;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++n;
  } while (::FindNextFileW(h, &fd));
  ::FindClose(h);
  return n;
}

inline std::string ReadBytes(const CString& path) {
  std::string bytes;
  HANDLE h = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return bytes;
  char buf[65536];
  DWORD n = 0;
  while (::ReadFile(h, buf, sizeof(buf), &n, nullptr) && n > 0) bytes.append(buf, n);
  ::CloseHandle(h);
  return bytes;
}

inline void WriteBytes(const CString& path, const std::string& bytes) {
  HANDLE h = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD n = 0;
  ::WriteFile(h, bytes.data(), (DWORD)bytes.size(), &n, nullptr);
  ::CloseHandle(h);
}
