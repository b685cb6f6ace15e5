// libFuzzer target for one of the image library's own readers (QF_FUZZ_KIND:
// 1 MetaImage, 2 NIfTI, 3 NRRD, 4 MINC, 5 PNM, 6 DICOM through GDCM, with its
// file information, tag tree and series header). Every read that succeeds
// must give a consistent image that renders; every failure must say why.
// NIfTI and NRRD headers are also read by nifticlib and teem: where both
// those and the own reader take a header, they must read it alike.
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "modules/quillfen/QfCore.h"
#include "modules/quillfen/QfViewerSeries.h"

namespace {

const char* Extension() {
  switch (QF_FUZZ_KIND) {
    case 1:
      return ".mha";
    case 2:
      return ".nii";
    case 3:
      return ".nrrd";
    case 6:
      return ".dcm";
    default:
      return ".mnc";
  }
}

// The file-based readers get the input as a file of their own.
std::string InputPath() {
  static std::string path;
  if (path.empty()) {
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    path = std::string(base) + "/qf-fuzz-" + std::to_string(getpid()) + Extension();
  }
  return path;
}

void Check(const qf::Volume& v) {
  const size_t n = v.FrameSize() * (size_t)v.frames;
  if (v.width <= 0 || v.height <= 0 || v.frames <= 0) __builtin_trap();
  if (v.channels == 3 ? v.rgb.size() != n * 3 : v.grey.size() != n) __builtin_trap();
  double c, w;
  std::vector<uint8_t> px;
  for (int f : {0, v.frames - 1}) {
    qf::DefaultWindow(v, f, c, w);
    qf::RenderFrame(v, f, c, w, px);
    if (px.size() != v.FrameSize() * (size_t)v.channels) __builtin_trap();
  }
}

void* QF_CALL FuzzAlloc(size_t n) { return n ? malloc(n) : nullptr; }
int QF_CALL FuzzFree(void* p) {
  free(p);
  return 0;
}

#if QF_FUZZ_KIND == 6
void FreeRecords(TagRecord* r, int n) {
  for (int i = 0; i < n; ++i)
    if (r[i].children) FreeRecords(r[i].children, r[i].childCount);
  free(r);
}

// The header-only readers over the same bytes: file information with and
// without the tag tree, and the viewer's series header.
void ReadHeaders(const uint8_t* data, size_t size) {
  const std::string path = InputPath();
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return;
  fwrite(data, 1, size, f);
  fclose(f);
  for (bool tags : {false, true}) {
    FileInfoRequest req = {};
    std::string error;
    if (qf::ReadDicomInfo(path, tags, &req, error)) {
      if (req.tagCount < 0 || (req.tagCount > 0) != (req.tags != nullptr)) __builtin_trap();
      if (req.tags) FreeRecords(req.tags, req.tagCount);
    } else if (error.empty() || req.tags) {
      __builtin_trap();
    }
  }
  qf::SeriesHeader header;
  qf::ReadSeriesHeader(path, header);
}
#endif

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // One input never makes more than a few tens of megabytes here.
  qf::SetDecodeLimit(16u << 20);
  static ModuleInterface table = {};
  table.pfnAlloc = FuzzAlloc;
  table.pfnFree = FuzzFree;
  qf::BindTable(&table);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<qf::Volume> images;
  std::string error;
  bool ok;
#if QF_FUZZ_KIND == 5
  ok = qf::DecodePnm(data, size, images, error);
#elif QF_FUZZ_KIND == 6
  images.emplace_back();
  ok = qf::DecodeDicom(data, size, images[0], error);
  ReadHeaders(data, size);
#else
  const std::string path = InputPath();
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return 0;
  fwrite(data, 1, size, f);
  fclose(f);
  int w = 0, h = 0, frames = 0;
  std::string infoError;
  // Inputs that turn into another kind of file belong to other targets.
  const qf::Kind kind = qf::DetectKind(path);
  static const qf::Kind wanted[] = {qf::Kind::None, qf::Kind::MetaImage, qf::Kind::Nifti, qf::Kind::Nrrd,
                                    qf::Kind::Minc};
  if (kind != wanted[QF_FUZZ_KIND]) return 0;
  const bool info = kind != qf::Kind::None && qf::ReadOtherFormatInfo(kind, path, w, h, frames, infoError);
  if (kind != qf::Kind::None && !info && infoError.empty()) __builtin_trap();
  if (infoError == "teem reads this NRRD header differently" ||
      infoError == "nifticlib reads this NIfTI header differently")
    __builtin_trap();
  ok = qf::LoadImages(path, images, error);
  // What the header promises is what the reader delivers.
  if (ok && info && (images.size() != 1 || images[0].width != w || images[0].height != h)) __builtin_trap();
#endif
  static const bool show = getenv("QF_FUZZ_SHOW") != nullptr;
  if (show) fprintf(stderr, "%s\n", ok ? "read" : error.c_str());
  if (!ok && error.empty()) __builtin_trap();
  if (ok)
    for (const qf::Volume& v : images) Check(v);
  return 0;
}
