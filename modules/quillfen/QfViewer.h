// The viewer window that the programs embed and drive by messages.
#pragma once
#include <windows.h>

namespace qf {
bool RegisterViewerClass(HINSTANCE instance);
void UnregisterViewerClass(HINSTANCE instance);
HWND CreateViewerWindow(HINSTANCE instance, HWND parent);
}  // namespace qf
