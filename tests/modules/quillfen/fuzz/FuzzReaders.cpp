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
#if QF_FUZZ_KIND == 6
#include <gdcmExplicitImplicitDataElement.h>
#include <gdcmReader.h>
#include <gdcmSequenceOfFragments.h>

#include <cstring>

#include "modules/quillfen/QfDicomInternal.h"
#endif

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
[[maybe_unused]] std::string InputPath() {
  static std::string path;
  if (path.empty()) {
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    path = std::string(base) + "/qf-fuzz-" + std::to_string(getpid()) + Extension();
    atexit([] { remove(path.c_str()); });
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

// The walk against GDCM's own parse of a file the library decoded, judged
// here apart from the library's guard: every top-level element of group 0028
// (little endian) holds the same bytes in both, and the pixel data is as long
// or has as many fragments. A difference the decoding did not refuse is a crash.
void WalkAgreesWithGdcm(const uint8_t* data, size_t size) {
  qf::DicomLayout L;
  bool needMore = false;
  if (!qf::WalkDicom(data, size, size, false, L, needMore)) __builtin_trap();
  qf::MemoryStream is(data, size);
  gdcm::Reader reader;
  reader.SetStream(is);
  if (L.mixed) {
    // Element by element, as GDCM reads such a data set in the end (its
    // first tries assert on crafted ones, and the library skips them too).
    gdcm::File& file = reader.GetFile();
    try {
      file.GetHeader().GetPreamble().Read(is);
      file.GetHeader().Read(is);
      file.GetDataSet().Read<gdcm::ExplicitImplicitDataElement, gdcm::SwapperNoOp>(is);
    } catch (...) {
      __builtin_trap();
    }
  } else if (!reader.Read()) {
    __builtin_trap();
  }
  const gdcm::DataSet& ds = reader.GetFile().GetDataSet();
  size_t ours = 0;
  for (const qf::DicomElement& de : L.dataSet) {
    if (qf::DicomLayout::Find(L.dataSet, de.group, de.element) != &de) continue;
    const gdcm::Tag tag(de.group, de.element);
    if (de.group == 0x0028) {
      ++ours;
      if (!ds.FindDataElement(tag)) __builtin_trap();
      const gdcm::DataElement& theirs = ds.GetDataElement(tag);
      const gdcm::ByteValue* bv = theirs.GetByteValue();
      if (L.bigEndian || de.sequence || !bv) continue;
      if ((size_t)(uint32_t)bv->GetLength() != de.size || memcmp(bv->GetPointer(), L.bytes + de.value, de.size) != 0)
        __builtin_trap();
    } else if (de.group == 0x7FE0 && de.element == 0x0010) {
      if (!ds.FindDataElement(tag)) __builtin_trap();
      const gdcm::DataElement& theirs = ds.GetDataElement(tag);
      if (const gdcm::SequenceOfFragments* sf = theirs.GetSequenceOfFragments()) {
        if (!de.encapsulated || sf->GetNumberOfFragments() + 1 != de.fragments.size()) __builtin_trap();
      } else if (de.encapsulated || !theirs.GetByteValue() ||
                 (size_t)(uint32_t)theirs.GetByteValue()->GetLength() != de.size) {
        __builtin_trap();
      }
    }
  }
  size_t theirs = 0;
  const gdcm::DataSet::DataElementSet& all = ds.GetDES();
  for (auto it = all.lower_bound(gdcm::DataElement(gdcm::Tag(0x0028, 0)));
       it != all.end() && it->GetTag().GetGroup() == 0x0028; ++it)
    ++theirs;
  if (ours != theirs) __builtin_trap();
}

// The header-only readers over the same bytes: file information with and
// without the tag tree, and the viewer's series header. What the file
// information tells of a decoded file is what decoding made of it.
void ReadHeaders(const uint8_t* data, size_t size, const qf::Volume* decoded) {
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
      if (decoded && (req.width != decoded->width || req.height != decoded->height || req.info5 != decoded->frames))
        __builtin_trap();
      if (req.tags) FreeRecords(req.tags, req.tagCount);
    } else if (error.empty() || req.tags) {
      __builtin_trap();
    }
  }
  qf::SeriesHeader header;
  if (qf::ReadSeriesHeader(path, header) && decoded && decoded->frames != 1) __builtin_trap();
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
  ReadHeaders(data, size, ok ? &images[0] : nullptr);
  if (ok) WalkAgreesWithGdcm(data, size);
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
