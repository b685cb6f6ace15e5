// Quillfen.dll: the exported table and the requests behind it.
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <atomic>
#include <memory>
#include <mutex>

#include "modules/quillfen/QfCore.h"
#include "modules/quillfen/QfViewer.h"

namespace {

HINSTANCE g_instance = nullptr;
std::mutex g_stateLock;
bool g_initialized = false;

int QF_CALL Initialize();
int QF_CALL Release();
int QF_CALL ConvertFiles(ConvertRequest* request);
int QF_CALL CanReadFile(const char* path);
int QF_CALL ReadFileInfo(const char* path, FileInfoRequest* request);
int QF_CALL QueryList(int kind, ListBuffer* list);
QfWindow QF_CALL CreateViewer(QfWindow parent);

// The program writes its allocator into this table, so it stays writable.
ModuleInterface g_table = {Initialize,  Release,      nullptr,   nullptr, ConvertFiles, CreateViewer,
                           CanReadFile, ReadFileInfo, QueryList, nullptr, nullptr,      nullptr};

std::atomic<unsigned> g_requestCounter{0};

int QF_CALL Initialize() {
  std::lock_guard<std::mutex> lock(g_stateLock);
  if (!g_table.pfnAlloc || !g_table.pfnFree) return -1;
  if (!g_initialized) {
    // Warm the readers' shared tables before any thread races for them.
    qf::WarmUp();
    if (!qf::RegisterViewerClass(g_instance)) return -1;
    g_initialized = true;
  }
  return 0;
}

int QF_CALL Release() {
  std::lock_guard<std::mutex> lock(g_stateLock);
  if (g_initialized) {
    qf::UnregisterViewerClass(g_instance);
    g_initialized = false;
  }
  return 0;
}

std::string UniqueStem(const char* name) {
  char buf[96];
  snprintf(buf, sizeof buf, "-%lu-%u", (unsigned long)GetCurrentProcessId(), g_requestCounter.fetch_add(1));
  return std::string(name && *name ? name : "frame") + buf;
}

ConvertOutput* MakeOutputs(const std::vector<std::string>& names) {
  const size_t n = names.empty() ? 1 : names.size();
  ConvertOutput* out = static_cast<ConvertOutput*>(qf::Alloc(n * sizeof(ConvertOutput)));
  if (!out) return nullptr;
  memset(out, 0, n * sizeof(ConvertOutput));
  for (size_t i = 0; i < names.size(); ++i) {
    const size_t len = std::min(names[i].size(), sizeof out[i].name - 1);
    memcpy(out[i].name, names[i].data(), len);
    out[i].value = (int32_t)i;
  }
  return out;
}

int ConvertToBmp(ConvertRequest* r) {
  const std::string folder = r->outputFolder ? r->outputFolder : "";
  if (folder.empty() || !qf::IsDirectory(folder)) return -1;
  const std::string stem = UniqueStem(r->outputName);
  std::vector<std::string> names;
  auto fail = [&]() {
    for (const std::string& n : names) DeleteFileA(qf::JoinPath(folder, n).c_str());
    return -1;
  };
  std::vector<uint8_t> pixels;
  for (int i = 0; i < r->inputCount; ++i) {
    const ConvertInput& in = r->inputs[i];
    if (!in.path || !*in.path) return fail();
    std::string error;
    if (in.format == QF_FORMAT_BMP) {
      int w, h, c;
      if (!qf::ReadBmp(in.path, w, h, c, pixels, error)) return fail();
      char num[32];
      snprintf(num, sizeof num, "-%05zu.bmp", names.size());
      const std::string name = stem + num;
      if (!qf::WriteBmp(qf::JoinPath(folder, name), w, h, c, pixels.data())) return fail();
      names.push_back(name);
      continue;
    }
    std::vector<qf::Volume> images;
    if (!qf::LoadImages(in.path, images, error)) return fail();
    // Frames are counted across the file's images (pages, animation frames).
    int index = 0;
    bool found = false;
    for (const qf::Volume& img : images)
      for (int f = 0; f < img.frames; ++f, ++index) {
        if (in.frame >= 0 && index != in.frame) continue;
        found = true;
        double c, w;
        qf::DefaultWindow(img, f, c, w);
        qf::RenderFrame(img, f, c, w, pixels);
        char num[32];
        snprintf(num, sizeof num, "-%05zu.bmp", names.size());
        const std::string name = stem + num;
        if (!qf::WriteBmp(qf::JoinPath(folder, name), img.width, img.height, img.channels, pixels.data()))
          return fail();
        names.push_back(name);
      }
    if (!found) return fail();
  }
  ConvertOutput* out = MakeOutputs(names);
  if (!out) return fail();
  r->outputs = out;
  r->outputCount = (int32_t)names.size();
  return 0;
}

int ConvertToDicom(ConvertRequest* r) {
  if (r->inputCount != 1 || !r->outputName || !*r->outputName) return -1;
  const ConvertInput& in = r->inputs[0];
  if (!in.path || !*in.path) return -1;
  std::string name = std::string(r->outputName) + (r->outputExt ? r->outputExt : "");
  const std::string path = qf::JoinPath(r->outputFolder ? r->outputFolder : "", name);
  int w = 0, h = 0, c = 0;
  std::vector<uint8_t> pixels;
  std::string error;
  if (!qf::ReadBmp(in.path, w, h, c, pixels, error)) {
    // Other inputs: the chosen frame (the first by default) as rendered.
    std::vector<qf::Volume> images;
    if (in.format == QF_FORMAT_BMP || !qf::LoadImages(in.path, images, error)) return -1;
    int f = in.frame >= 0 ? in.frame : 0;
    const qf::Volume* v = nullptr;
    for (const qf::Volume& img : images) {
      if (f < img.frames) {
        v = &img;
        break;
      }
      f -= img.frames;
    }
    if (!v) return -1;
    double wc, ww;
    qf::DefaultWindow(*v, f, wc, ww);
    qf::RenderFrame(*v, f, wc, ww, pixels);
    w = v->width, h = v->height, c = v->channels;
  }
  if (!qf::WriteSecondaryCapture(path, w, h, c, pixels, error)) return -1;
  ConvertOutput* out = MakeOutputs({name});
  if (!out) {
    DeleteFileA(path.c_str());
    return -1;
  }
  r->outputs = out;
  r->outputCount = 1;
  return 0;
}

int QF_CALL ConvertFiles(ConvertRequest* r) {
  if (!r || r->inputCount <= 0 || !r->inputs) return -1;
  r->outputs = nullptr;
  r->outputCount = 0;
  try {
    switch (r->outputFormat) {
      case QF_FORMAT_BMP:
        return ConvertToBmp(r);
      case QF_FORMAT_DICOM:
        return ConvertToDicom(r);
      default:
        return -1;
    }
  } catch (...) {
    return -1;
  }
}

int QF_CALL CanReadFile(const char* path) {
  if (!path || !*path) return 0;
  try {
    if (qf::IsDirectory(path) || !qf::FileExists(path)) return 0;
    // Ordinary pictures that the image container reads stay with the program.
    const qf::Kind kind = qf::DetectKind(path);
    if (kind == qf::Kind::None || kind == qf::Kind::Picture) return 0;
    // A medical volume is claimed only when its header is one the reader takes.
    if (kind == qf::Kind::MetaImage || kind == qf::Kind::Nifti || kind == qf::Kind::Analyze || kind == qf::Kind::Nrrd ||
        kind == qf::Kind::Minc) {
      int w = 0, h = 0, frames = 0;
      std::string error;
      return qf::ReadOtherFormatInfo(kind, path, w, h, frames, error) ? 1 : 0;
    }
    if (kind == qf::Kind::Tiff) {
      int w = 0, h = 0, pages = 0;
      return qf::ReadTiffInfo(path, w, h, pages) ? 1 : 0;
    }
    return 1;
  } catch (...) {
    return 0;
  }
}

int QF_CALL ReadFileInfo(const char* path, FileInfoRequest* req) {
  if (!path || !*path || !req) return -1;
  const bool wantTags = (req->flags & QF_FILEINFO_TAGS) != 0;
  req->info1 = req->info2 = req->width = req->height = req->info5 = 0;
  req->tagCount = 0;
  req->tags = nullptr;
  try {
    if (!qf::FileExists(path)) return -1;
    std::string error;
    const qf::Kind kind = qf::DetectKind(path);
    if (kind == qf::Kind::Dicom) return qf::ReadDicomInfo(path, wantTags, req, error) ? 0 : -1;
    if (kind == qf::Kind::Tiff) {
      int w = 0, h = 0, pages = 0;
      if (!qf::ReadTiffInfo(path, w, h, pages)) return -1;
      req->info1 = (int32_t)kind;
      req->width = w;
      req->height = h;
      req->info5 = pages;
      return 0;
    }
    if (kind != qf::Kind::None && kind != qf::Kind::Pnm && kind != qf::Kind::Picture) {
      // The header alone tells the size.
      int w = 0, h = 0, frames = 0;
      if (!qf::ReadOtherFormatInfo(kind, path, w, h, frames, error)) return -1;
      req->info1 = (int32_t)kind;
      req->width = w;
      req->height = h;
      req->info5 = frames;
      return 0;
    }
    // Pictures: the size, and the frames of an animation within the decode limit.
    int w = 0, h = 0, frames = 1;
    if (kind == qf::Kind::Picture ? !qf::ReadPictureInfo(path, w, h, frames, error) : !qf::ReadPictureSize(path, w, h))
      return -1;
    req->width = w;
    req->height = h;
    req->info5 = frames;
    return 0;
  } catch (...) {
    return -1;
  }
}

int QF_CALL QueryList(int kind, ListBuffer* list) {
  if (!list) return -1;
  // The extensions the library reads, NUL-separated.
  static const char kList[] =
      ".dcm\0.dicom\0.mr\0.ct\0.mha\0.mhd\0.nii\0.nii.gz\0.hdr\0.hdr.gz\0.img\0.img.gz\0.nrrd\0.mnc\0";
  void* p = qf::Alloc(sizeof kList);
  if (!p) return -1;
  memcpy(p, kList, sizeof kList);
  list->reserved = 0;
  list->count = 14;
  list->buffer = p;
  return 0;
}

QfWindow QF_CALL CreateViewer(QfWindow parent) {
  {
    std::lock_guard<std::mutex> lock(g_stateLock);
    if (!g_initialized) return nullptr;
  }
  return qf::CreateViewerWindow(g_instance, parent);
}

}  // namespace

extern "C" {
__declspec(dllexport) int QF_CALL GetModuleVersion(int) { return 0x00010000; }
__declspec(dllexport) ModuleInterface* QF_CALL GetModuleInterface() { return &g_table; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_instance = instance;
    qf::BindTable(&g_table);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}
}
