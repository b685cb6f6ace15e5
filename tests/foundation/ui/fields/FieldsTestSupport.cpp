#include "tests/foundation/ui/fields/FieldsTestSupport.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <vector>

namespace {
class CComEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    // The shell dialogs and path completion need an apartment on this thread.
    ::OleInitialize(nullptr);
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_USEREX_CLASSES};
    ::InitCommonControlsEx(&icc);
  }
  void TearDown() override { ::OleUninitialize(); }
};
::testing::Environment* const g_comEnvironment = ::testing::AddGlobalTestEnvironment(new CComEnvironment);
}  // namespace

void MoveMouseTo(POINT pt) {
  // Absolute moves are in 0..65535 over the primary screen.
  const int cx = ::GetSystemMetrics(SM_CXSCREEN), cy = ::GetSystemMetrics(SM_CYSCREEN);
  INPUT in = {};
  in.type = INPUT_MOUSE;
  in.mi.dx = (LONG)((pt.x * 65535 + cx / 2) / (cx - 1));
  in.mi.dy = (LONG)((pt.y * 65535 + cy / 2) / (cy - 1));
  in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  ::SendInput(1, &in, sizeof(in));
  ::SetCursorPos(pt.x, pt.y);
}

POINT ScreenCenter(HWND hWnd) {
  RECT r;
  ::GetWindowRect(hWnd, &r);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

BOOL MakeFile(LPCTSTR path) {
  HANDLE h = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return FALSE;
  DWORD written = 0;
  ::WriteFile(h, "test", 4, &written, nullptr);
  ::CloseHandle(h);
  return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

CString MakeTestFolder(LPCTSTR name) {
  wchar_t temp[MAX_PATH] = {0};
  ::GetTempPathW(MAX_PATH, temp);
  wchar_t longTemp[MAX_PATH] = {0};
  if (!::GetLongPathNameW(temp, longTemp, MAX_PATH)) lstrcpynW(longTemp, temp, MAX_PATH);
  CString folder;
  folder.Format(L"%sfields-%s-%lu", longTemp, name, ::GetCurrentProcessId());
  RemoveTree(folder);
  ::CreateDirectoryW(folder, nullptr);
  return folder;
}

CWindowShot CropShot(const CWindowShot& shot, const RECT& rect) {
  CWindowShot part;
  RECT r = rect;
  if (r.left < 0) r.left = 0;
  if (r.top < 0) r.top = 0;
  if (r.right > shot.m_nWidth) r.right = shot.m_nWidth;
  if (r.bottom > shot.m_nHeight) r.bottom = shot.m_nHeight;
  if (r.right <= r.left || r.bottom <= r.top) return part;
  part.m_nWidth = r.right - r.left;
  part.m_nHeight = r.bottom - r.top;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) part.m_pixels.push_back(shot.At(x, y));
  return part;
}
