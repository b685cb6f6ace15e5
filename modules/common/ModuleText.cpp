#include "modules/common/ModuleText.h"

#include <cstdio>
#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace modtext {

#ifdef _WIN32
std::string WideToUtf8(const std::wstring& s) {
  if (s.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0, nullptr, nullptr);
  std::string out((size_t)n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, s.data(), (int)s.size(), &out[0], n, nullptr, nullptr);
  return out;
}

std::wstring Utf8ToWide(const std::string& s) {
  if (s.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0);
  std::wstring out((size_t)n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), &out[0], n);
  return out;
}

std::vector<std::string> CommandLineUtf8() {
  std::vector<std::string> args;
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv) {
    for (int i = 0; i < argc; ++i) args.push_back(WideToUtf8(argv[i]));
    LocalFree(argv);
  }
  return args;
}

void ErrorLine(const std::string& s) {
  std::string line = s + "\n";
  HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (h != INVALID_HANDLE_VALUE && h != nullptr && GetConsoleMode(h, &mode)) {
    std::wstring w = Utf8ToWide(line);
    DWORD done = 0;
    WriteConsoleW(h, w.data(), (DWORD)w.size(), &done, nullptr);
  } else {
    fwrite(line.data(), 1, line.size(), stderr);
    fflush(stderr);
  }
}
#else
std::string WideToUtf8(const std::wstring& s) { return std::string(s.begin(), s.end()); }
std::wstring Utf8ToWide(const std::string& s) { return std::wstring(s.begin(), s.end()); }
std::vector<std::string> CommandLineUtf8() { return {}; }
void ErrorLine(const std::string& s) { fprintf(stderr, "%s\n", s.c_str()); }
#endif

std::string JsonQuote(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += (char)c;
        }
    }
  }
  out += '"';
  return out;
}

}  // namespace modtext
