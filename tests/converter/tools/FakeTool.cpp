// A stand-in for the outside tools in runner tests. Options, in any order:
//   --exit N        exit code (default 0)
//   --sleep MS      sleep before exiting
//   --args FILE     write the command line and each argument, one a line (UTF-8)
//   --pid FILE      write the process id
//   --cat FILE      copy FILE to standard output
//   --progress N    send N progress records to the -callbackwindow, with the
//                   -callbackcontext value; exit 1 as soon as one is answered 1
//   --part FILE     leave a partial file "FILE.~<process id>.part" as the encoder does
//   --until FILE    wait (at most a minute) until FILE exists, then exit
// The environment variable FAKE_TOOL_SLEEP (milliseconds) adds a sleep to a
// run whose command line the caller makes (a probe).
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "interfaces/ToolContract.h"

namespace {
std::string Utf8(const wchar_t* w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  std::string s(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w, -1, &s[0], n, nullptr, nullptr);
  return s;
}

void WriteText(const wchar_t* path, const std::string& text) {
  FILE* f = _wfopen(path, L"wb");
  if (!f) return;
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
}

// Sends one record; returns the receiver's answer.
LRESULT Send(HWND wnd, unsigned long long context, int event, long long total, long long position, int frame) {
  ToolCallbackData data;
  memset(&data, 0, sizeof(data));
  data.context = context;
  data.event = event;
  data.progress.total = total;
  data.progress.position = position;
  data.progress.frame = frame;
  COPYDATASTRUCT cds;
  cds.dwData = TOOL_CALLBACK_ID;
  cds.cbData = sizeof(data);
  cds.lpData = &data;
  return SendMessageW(wnd, WM_COPYDATA, 0, (LPARAM)&cds);
}
}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  int code = 0, sleepMs = 0, progress = 0;
  if (const wchar_t* sleep = _wgetenv(L"FAKE_TOOL_SLEEP")) sleepMs = _wtoi(sleep);
  HWND wnd = nullptr;
  unsigned long long context = 0;
  for (int i = 1; i < argc; ++i) {
    std::wstring a = argv[i];
    bool more = i + 1 < argc;
    if (a == L"--exit" && more)
      code = _wtoi(argv[++i]);
    else if (a == L"--sleep" && more)
      sleepMs = _wtoi(argv[++i]);
    else if (a == L"--progress" && more)
      progress = _wtoi(argv[++i]);
    else if (a == L"-callbackwindow" && more)
      wnd = (HWND)(INT_PTR)_wtoi64(argv[++i]);
    else if (a == L"-callbackcontext" && more)
      context = _wcstoui64(argv[++i], nullptr, 10);
    else if (a == L"--cat" && more) {
      FILE* f = _wfopen(argv[++i], L"rb");
      char buf[4096];
      size_t n;
      while (f && (n = fread(buf, 1, sizeof(buf), f)) > 0) fwrite(buf, 1, n, stdout);
      if (f) fclose(f);
      fflush(stdout);
    } else if (a == L"--pid" && more)
      WriteText(argv[++i], std::to_string(GetCurrentProcessId()));
    else if (a == L"--until" && more) {
      const wchar_t* file = argv[++i];
      for (int k = 0; k < 3000 && GetFileAttributesW(file) == INVALID_FILE_ATTRIBUTES; ++k) Sleep(20);
    } else if (a == L"--part" && more) {
      std::wstring part = std::wstring(argv[++i]) + L".~" + std::to_wstring(GetCurrentProcessId()) + L".part";
      WriteText(part.c_str(), "partial");
    } else if (a == L"--args" && more) {
      const wchar_t* file = argv[++i];
      std::string text = Utf8(GetCommandLineW()) + "\n";
      for (int j = 1; j < argc; ++j) text += Utf8(argv[j]) + "\n";
      WriteText(file, text);
    }
  }
  if (progress > 0 && wnd) {
    if (Send(wnd, context, TOOL_EVENT_START, progress, 0, 0) == 1) return 1;
    for (int f = 1; f <= progress; ++f) {
      if (Send(wnd, context, TOOL_EVENT_PROGRESS, progress, f, f) == 1) return 1;
      Sleep(20);
    }
    Send(wnd, context, TOOL_EVENT_FINISH, progress, progress, progress);
  }
  if (sleepMs > 0) Sleep(sleepMs);
  return code;
}
