// An image library whose initialisation refuses to start: the program must
// end quietly when it meets one. It notes each release in the file named by
// the environment variable RS_LIBRARY_LOG (one line per call).
#include <windows.h>

#include <cstdio>

#include "interfaces/QuillfenRecords.h"

namespace {
ModuleInterface g_table;

void Note(const char* what) {
  char path[MAX_PATH] = {0};
  if (!GetEnvironmentVariableA("RS_LIBRARY_LOG", path, MAX_PATH)) return;
  if (FILE* f = fopen(path, "a")) {
    fprintf(f, "%s\n", what);
    fclose(f);
  }
}

int QF_CALL Initialize() {
  Note("initialize");
  return 1;
}
int QF_CALL Release() {
  Note("release");
  return 0;
}
}  // namespace

extern "C" {
__declspec(dllexport) int QF_CALL GetModuleVersion(int) { return 1; }
__declspec(dllexport) ModuleInterface* QF_CALL GetModuleInterface() {
  g_table.pfnInitialize = Initialize;
  g_table.pfnRelease = Release;
  return &g_table;
}
}
