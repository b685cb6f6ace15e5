// Stands in for the browser and the mail program: the shell starts it for
// "http:" and "mailto:" addresses while a test runs. It appends what it was
// given to the file named by RS_URL_LOG, one line per start.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  LPWSTR cmd = ::GetCommandLineW();
  // Skip the program name (quoted or not) and the blanks after it.
  if (*cmd == L'"') {
    ++cmd;
    while (*cmd && *cmd != L'"') ++cmd;
    if (*cmd == L'"') ++cmd;
  } else {
    while (*cmd > L' ') ++cmd;
  }
  while (*cmd == L' ') ++cmd;
  // The shell passes the address quoted ("%1").
  wchar_t arg[4096] = {0};
  wcsncpy(arg, cmd, 4095);
  size_t len = wcslen(arg);
  while (len && arg[len - 1] == L' ') arg[--len] = 0;
  LPWSTR text = arg;
  if (len >= 2 && arg[0] == L'"' && arg[len - 1] == L'"') {
    arg[len - 1] = 0;
    ++text;
  }
  wchar_t log[MAX_PATH] = {0};
  if (!::GetEnvironmentVariableW(L"RS_URL_LOG", log, MAX_PATH)) return 1;
  FILE* f = _wfopen(log, L"ab");
  if (!f) return 1;
  // UTF-8, one line per start.
  char line[4096] = {0};
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, line, sizeof(line) - 1, nullptr, nullptr);
  fprintf(f, "%s\n", line);
  fclose(f);
  return 0;
}
