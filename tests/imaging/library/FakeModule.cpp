// A stand-in library for the binding's tests: it records what it is sent and
// answers as the test asks, including in ways a sound library would not.
#include <windows.h>
#include <string.h>
#include <string>

#include "interfaces/QuillfenRecords.h"

namespace {
struct State {
  int initResult = 0;
  int releases = 0;
  int convertCalls = 0;
  int convertResult = 0;
  bool convertOutputs = true;
  ConvertRequest last = {};
  std::string folder, name, ext;
  int tagCount = 0;
  ConvertTag firstTag = {};
} g;

int QF_CALL Init() { return g.initResult; }
int QF_CALL Release() {
  ++g.releases;
  return 0;
}

ModuleInterface g_table;

int QF_CALL Convert(ConvertRequest* r) {
  ++g.convertCalls;
  g.last = *r;
  g.folder = r->outputFolder ? r->outputFolder : "<null>";
  g.name = r->outputName ? r->outputName : "<null>";
  g.ext = r->outputExt ? r->outputExt : "<null>";
  g.tagCount = r->tagCount;
  if (r->tags && r->tagCount > 0) g.firstTag = r->tags[0];
  if (g.convertOutputs) {
    r->outputCount = 2;
    r->outputs = static_cast<ConvertOutput*>(g_table.pfnAlloc(2 * sizeof(ConvertOutput)));
    memset(r->outputs, 0, 2 * sizeof(ConvertOutput));
    strcpy(r->outputs[0].name, "first.bmp");
    memset(r->outputs[1].name, 'n', sizeof r->outputs[1].name);  // no terminator
    r->outputs[1].value = 7;
  }
  return g.convertResult;
}

TagRecord* Records(int n) {
  TagRecord* r = static_cast<TagRecord*>(g_table.pfnAlloc(n * sizeof(TagRecord)));
  memset(r, 0, n * sizeof(TagRecord));
  return r;
}

int QF_CALL Info(const char* path, FileInfoRequest* q) {
  q->width = 11;
  q->height = 22;
  // Returned whatever the flags, as a careless library might.
  TagRecord* top = Records(3);
  top[0].group = 0x0008, top[0].element = 0x0005, top[0].vr = 4, top[0].length = 10;
  strcpy(top[0].text, "ISO_IR 100");
  top[1].group = 0x0010, top[1].element = 0x0010, top[1].vr = 16, top[1].length = 1028;
  memset(top[1].text, 'A', sizeof top[1].text);  // no terminator
  top[1].text[0] = (char)0xE9;
  top[2].group = 0x0008, top[2].element = 0x1140, top[2].vr = 19;
  top[2].childCount = 2;
  top[2].children = Records(2);
  for (int i = 0; i < 2; ++i) {
    TagRecord& item = top[2].children[i];
    item.group = 0xFFFE, item.element = 0xE000;
    item.childCount = 1;
    item.children = Records(1);
    item.children[0].group = 0x0008, item.children[0].element = 0x1150, item.children[0].vr = 23;
    item.children[0].length = 3;
    strcpy(item.children[0].text, i ? "1.2" : "1.1");
  }
  q->tagCount = 3;
  q->tags = top;
  return path && strcmp(path, "fail") == 0 ? -1 : 0;
}
}  // namespace

extern "C" {
__declspec(dllexport) int QF_CALL GetModuleVersion(int) { return 12345; }
__declspec(dllexport) ModuleInterface* QF_CALL GetModuleInterface() {
  g_table.pfnInitialize = Init;
  g_table.pfnRelease = Release;
  g_table.pfnConvertFiles = Convert;
  g_table.pfnReadFileInfo = Info;
  return &g_table;
}
__declspec(dllexport) void FakeSetup(int initResult, int convertResult, int convertOutputs) {
  g = State();
  g.initResult = initResult;
  g.convertResult = convertResult;
  g.convertOutputs = convertOutputs != 0;
}
__declspec(dllexport) int FakeReleases() { return g.releases; }
__declspec(dllexport) int FakeConvertCalls() { return g.convertCalls; }
__declspec(dllexport) const ConvertRequest* FakeLastRequest() { return &g.last; }
__declspec(dllexport) const char* FakeLastPart(int which) {
  return which == 0 ? g.folder.c_str() : which == 1 ? g.name.c_str() : g.ext.c_str();
}
__declspec(dllexport) const ConvertTag* FakeFirstTag(int* count) {
  *count = g.tagCount;
  return &g.firstTag;
}
}
