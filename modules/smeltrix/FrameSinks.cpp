#include "modules/smeltrix/FrameSinks.h"

namespace smeltrix {

std::string TempName(const std::string& finalName) {
  return finalName + ".~" + std::to_string(GetCurrentProcessId()) + ".part";
}

namespace {
bool ProcessRuns(DWORD pid) {
  HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (!h) return false;
  const bool runs = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
  CloseHandle(h);
  return runs;
}
}  // namespace

void RemoveStalePartials(const std::string& output) {
  const std::wstring wide = modtext::Utf8ToWide(output);
  const size_t slash = wide.find_last_of(L"\\/");
  const std::wstring folder = slash == std::wstring::npos ? L"." : wide.substr(0, slash);
  const std::wstring name = slash == std::wstring::npos ? wide : wide.substr(slash + 1);
  // For a numbered series the part before the number is the common stem.
  const size_t percent = name.find(L'%');
  const std::wstring stem = percent == std::wstring::npos ? name : name.substr(0, percent);
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((folder + L"\\" + stem + L"*.~*.part").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring found = fd.cFileName;
    const size_t mark = found.rfind(L".~");
    if (mark == std::wstring::npos || (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    const std::wstring base = found.substr(0, mark);
    if (percent == std::wstring::npos ? base != name : base.compare(0, stem.size(), stem) != 0) continue;
    const DWORD pid = (DWORD)wcstoul(found.c_str() + mark + 2, nullptr, 10);
    if (pid != GetCurrentProcessId() && !ProcessRuns(pid)) DeleteFileW((folder + L"\\" + found).c_str());
  } while (FindNextFileW(h, &fd));
  FindClose(h);
}

void CheckCanWrite(const std::string& path, bool overwrite) {
  if (!overwrite && FileExists(path)) Throw(path + " already exists (give -y to replace it)");
}

const AVOutputFormat* OutputFormatFor(const SmeltrixOptions& opt) {
  const AVOutputFormat* ofmt = nullptr;
  if (!opt.outputFormat.empty()) {
    ofmt = av_guess_format(opt.outputFormat.c_str(), nullptr, nullptr);
    if (!ofmt) Throw("unknown output format: " + opt.outputFormat);
  } else if (!(ofmt = av_guess_format(nullptr, opt.output.c_str(), nullptr))) {
    Throw("cannot tell the output format from the name " + opt.output + " (give -f)");
  }
  return ofmt;
}
}  // namespace smeltrix
