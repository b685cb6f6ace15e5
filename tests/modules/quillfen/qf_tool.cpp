// Command-line driver of Quillfen.dll for the scripted tests and the benchmark:
//   qf_tool canread PATH
//   qf_tool tobmp OUTFOLDER NAME PATH...        (prints the written names)
//   qf_tool todicom BMP OUTPATH
//   qf_tool info PATH
//   qf_tool bench LISTFILE OUTFOLDER            (one request per listed file)
//   qf_tool peak COMMAND ARGS...                (then prints "peak BYTES", the peak working set)
#include <windows.h>
#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

#include "interfaces/QuillfenRecords.h"

static void* QF_CALL Alloc(size_t n) { return n ? malloc(n) : nullptr; }
static int QF_CALL Free(void* p) {
  if (!p) return -1;
  free(p);
  return 0;
}

static ModuleInterface* LoadTable() {
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string dir(exe);
  dir.resize(dir.find_last_of('\\'));
  const char* env = getenv("QF_LIBRARY");
  std::string path = env && *env ? env : dir + "\\..\\bin\\Quillfen.dll";
  HMODULE m = LoadLibraryA(path.c_str());
  if (!m) {
    fprintf(stderr, "cannot load %s\n", path.c_str());
    return nullptr;
  }
  auto get = reinterpret_cast<QfGetModuleInterfaceFn>(reinterpret_cast<void*>(GetProcAddress(m, "GetModuleInterface")));
  ModuleInterface* t = get ? get() : nullptr;
  if (!t) return nullptr;
  t->pfnAlloc = Alloc;
  t->pfnFree = Free;
  return t->pfnInitialize() == 0 ? t : nullptr;
}

static int ToBmp(ModuleInterface* t, const char* folder, const char* name, std::vector<const char*> paths, bool print) {
  std::vector<ConvertInput> in(paths.size());
  for (size_t i = 0; i < paths.size(); ++i) in[i] = {paths[i], 0, 0, -1};
  ConvertRequest r = {};
  r.inputCount = (int)in.size();
  r.inputs = in.data();
  r.outputFolder = folder;
  r.outputName = name;
  r.outputExt = ".tmp";
  r.outputFormat = QF_FORMAT_BMP;
  r.outputOption = 1;
  const int rc = t->pfnConvertFiles(&r);
  if (rc == 0 && print)
    for (int i = 0; i < r.outputCount; ++i) printf("%.*s\n", (int)strnlen(r.outputs[i].name, 260), r.outputs[i].name);
  Free(r.outputs);
  return rc;
}

int main(int argc, char** argv) {
  const bool peak = argc > 1 && strcmp(argv[1], "peak") == 0;
  if (peak) --argc, ++argv;
  if (argc < 3) return 2;
  ModuleInterface* t = LoadTable();
  if (!t) return 3;
  const std::string cmd = argv[1];
  int rc = 2;
  if (cmd == "canread") {
    printf("%d\n", t->pfnCanReadFile(argv[2]));
    rc = 0;
  } else if (cmd == "tobmp" && argc >= 5) {
    rc = ToBmp(t, argv[2], argv[3], std::vector<const char*>(argv + 4, argv + argc), true);
  } else if (cmd == "todicom" && argc == 4) {
    std::string out = argv[3];
    size_t slash = out.find_last_of('\\'), dot = out.find_last_of('.');
    std::string folder = out.substr(0, slash), file = out.substr(slash + 1);
    std::string name = file, ext;
    if (dot != std::string::npos && dot > slash) name = out.substr(slash + 1, dot - slash - 1), ext = out.substr(dot);
    ConvertInput in = {argv[2], QF_FORMAT_BMP, 0, -1};
    ConvertRequest r = {};
    r.inputCount = 1;
    r.inputs = &in;
    r.outputFolder = folder.c_str();
    r.outputName = name.c_str();
    r.outputExt = ext.empty() ? nullptr : ext.c_str();
    r.outputFormat = QF_FORMAT_DICOM;
    r.outputOption = 1;
    rc = t->pfnConvertFiles(&r);
    if (rc == 0) printf("%s\n", r.outputs[0].name);
    Free(r.outputs);
  } else if (cmd == "info") {
    FileInfoRequest q = {};
    rc = t->pfnReadFileInfo(argv[2], &q);
    if (rc == 0) printf("%d %d %d\n", q.width, q.height, q.info5);
  } else if (cmd == "bench" && argc == 4) {
    FILE* f = fopen(argv[2], "r");
    if (!f) return 4;
    std::vector<std::string> files;
    char line[1024];
    while (fgets(line, sizeof line, f)) {
      line[strcspn(line, "\r\n")] = 0;
      if (*line) files.push_back(line);
    }
    fclose(f);
    LARGE_INTEGER freq, a, b;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&a);
    rc = 0;
    for (size_t i = 0; i < files.size() && rc == 0; ++i) rc = ToBmp(t, argv[3], "bench", {files[i].c_str()}, false);
    QueryPerformanceCounter(&b);
    printf("%zu files %.3f s\n", files.size(), (double)(b.QuadPart - a.QuadPart) / freq.QuadPart);
  }
  t->pfnRelease();
  if (peak) {
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    printf("peak %zu\n", (size_t)pmc.PeakWorkingSetSize);
  }
  return rc;
}
