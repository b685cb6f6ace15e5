// Listing and removing the folders that tests make.
#pragma once
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

// The names of the files (not folders) in a folder that match the pattern, in name order.
inline std::vector<std::wstring> FilesIn(const wchar_t* folder, const wchar_t* pattern = L"*") {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW((std::wstring(folder) + L"\\" + pattern).c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(fd.cFileName);
  } while (::FindNextFileW(h, &fd));
  ::FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

// Deletes the files of a folder; its subfolders stay.
inline void DeleteFilesIn(const wchar_t* folder) {
  for (const std::wstring& name : FilesIn(folder)) ::DeleteFileW((std::wstring(folder) + L"\\" + name).c_str());
}

// Deletes a file, or a folder with everything below it; true when nothing is left.
inline bool RemoveTree(const wchar_t* path) {
  const DWORD attributes = ::GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return ::DeleteFileW(path) != 0;
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW((std::wstring(path) + L"\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      if (wcscmp(fd.cFileName, L".") != 0 && wcscmp(fd.cFileName, L"..") != 0)
        RemoveTree((std::wstring(path) + L"\\" + fd.cFileName).c_str());
    } while (::FindNextFileW(h, &fd));
    ::FindClose(h);
  }
  return ::RemoveDirectoryW(path) != 0;
}
