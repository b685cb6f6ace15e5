// Keeps the default desktop in use for a whole test session. Wine closes its
// desktop process a moment after the last program using the desktop ends and
// starts it again with the next one, which hands it its output: a test
// runner then waits for that output to close, that is for the desktop to go
// idle again, and the test seems to hang. scripts/with-wine starts this
// program (its output going nowhere) after the desktop, and ends it with the
// session.
#include <windows.h>

int main() {
  HWND window =
      ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  if (!window || !::GetDesktopWindow()) return 1;
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
  return 0;
}
