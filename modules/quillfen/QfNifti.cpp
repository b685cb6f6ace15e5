// NIfTI-1, NIfTI-2 and Analyze 7.5: single files, header / image pairs,
// either of them gzip-compressed.
#include <string.h>
#include <algorithm>
#include <cmath>

#include "modules/quillfen/QfRawData.h"

#ifdef QF_WITH_NIFTI
#include <mutex>
#include <nifti/nifti2_io.h>
#endif

namespace qf {

namespace {

// Stored axes of the Analyze orientation codes, as (left, posterior, superior).
const double kAnalyzeAxes[6][3][3] = {
    {{1, 0, 0}, {0, -1, 0}, {0, 0, 1}},   // transverse
    {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}},   // coronal
    {{0, -1, 0}, {0, 0, 1}, {1, 0, 0}},   // sagittal
    {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},    // transverse, flipped
    {{1, 0, 0}, {0, 0, -1}, {0, -1, 0}},  // coronal, flipped
    {{0, -1, 0}, {0, 0, 1}, {-1, 0, 0}},  // sagittal, flipped
};

// The sample types by NIfTI data type code; complex and 128-bit ones are not shown.
const struct NiftiType {
  int datatype;
  Elem e;
  int channels;
} kNiftiTypes[] = {{2, Elem::U8, 1},     {4, Elem::S16, 1},   {8, Elem::S32, 1},    {16, Elem::F32, 1},
                   {64, Elem::F64, 1},   {128, Elem::U8, 3},  {256, Elem::S8, 1},   {512, Elem::U16, 1},
                   {768, Elem::U32, 1},  {1024, Elem::S64, 1}, {1280, Elem::U64, 1}, {2304, Elem::U8, 4}};

// The header of a path: the file itself when single, else its pair's.
std::string NiftiHeaderPath(const std::string& path) {
  const std::string ext = Extension(path);
  return ext == ".nii" || ext == ".nii.gz" ? path : PairHeader(path, ext);
}

// NIfTI's world frame runs right, anterior, superior.
void FromRas(RawLayout& L, int axis, double x, double y, double z) {
  L.axes[axis][0] = -x;
  L.axes[axis][1] = -y;
  L.axes[axis][2] = z;
}

}  // namespace

bool ParseNifti(const std::string& path, RawLayout& L, std::string& error) {
  const std::string ext = Extension(path);
  const bool single = ext == ".nii" || ext == ".nii.gz";
  const std::string headerPath = NiftiHeaderPath(path);
  if (headerPath.empty()) {
    error = "the header file of the pair is missing";
    return false;
  }
  std::vector<uint8_t> hdr;
  const int size = ReadPrefix(headerPath, hdr, 540, EndsWith(headerPath, ".gz")) ? NiftiHeaderSize(hdr) : 0;
  if (size == 0) {
    error = "not a NIfTI or Analyze header";
    return false;
  }
  const bool two = size == 540;
  const bool big = two ? !(hdr[0] == 0x1C && hdr[1] == 0x02) : !(hdr[0] == 0x5C && hdr[1] == 0x01);
  auto i16 = [&](size_t at) { return (int64_t)ReadElem(&hdr[at], Elem::S16, big); };
  auto i32 = [&](size_t at) { return (int64_t)ReadElem(&hdr[at], Elem::S32, big); };
  auto i64 = [&](size_t at) {  // whole, not through a double
    uint8_t b[8];
    for (size_t i = 0; i < 8; ++i) b[i] = hdr[at + (big ? 7 - i : i)];
    int64_t v;
    memcpy(&v, b, 8);
    return v;
  };
  auto real = [&](size_t at) { return two ? ReadElem(&hdr[at], Elem::F64, big) : ReadElem(&hdr[at], Elem::F32, big); };
  int64_t dim[8];
  for (int i = 0; i < 8; ++i) dim[i] = two ? i64(16 + 8 * i) : i16(40 + 2 * i);
  const int64_t datatype = two ? i16(12) : i16(70);
  const bool nifti = two || memcmp(&hdr[344], "n+1", 4) == 0 || memcmp(&hdr[344], "ni1", 4) == 0;
  L.slope = nifti ? real(two ? 176 : 112) : 1;
  L.intercept = nifti ? real(two ? 184 : 116) : 0;
  if (L.slope == 0) L.slope = 1, L.intercept = 0;
  const auto type = std::find_if(std::begin(kNiftiTypes), std::end(kNiftiTypes),
                                 [&](const NiftiType& t) { return t.datatype == datatype; });
  if (type == std::end(kNiftiTypes)) {
    error = "unsupported NIfTI data type (complex and 128-bit samples are not shown)";
    return false;
  }
  L.e = type->e;
  L.channels = type->channels;
  if (dim[0] < 2 || dim[0] > 7) {
    error = "bad NIfTI dimensions";
    return false;
  }
  for (int i = 1; i <= dim[0]; ++i)
    if (dim[i] < 1) {
      error = "bad NIfTI dimensions";
      return false;
    }
  if (dim[1] > 65535 || dim[2] > 65535) {
    error = "unsupported dimensions";
    return false;
  }
  L.big = big;
  L.w = (int)dim[1];
  L.h = (int)dim[2];
  std::vector<uint64_t> time;
  for (int i = 4; i <= dim[0]; ++i) time.push_back((uint64_t)dim[i]);
  if (!FrameCount({dim[0] >= 3 ? (uint64_t)dim[3] : 1}, L.slices, error) || !FrameCount(time, L.volumes, error))
    return false;

  // Orientation: the sform when it is set, else the qform; Analyze's code.
  const int64_t qcode = nifti ? (two ? i32(344) : i16(252)) : 0, scode = nifti ? (two ? i32(348) : i16(254)) : 0;
  if (scode > 0) {
    const size_t row = two ? 400 : 280, step = two ? 32 : 16, cell = two ? 8 : 4;
    for (int a = 0; a < 3; ++a)
      FromRas(L, a, real(row + a * cell), real(row + step + a * cell), real(row + 2 * step + a * cell));
    L.oriented = true;
  } else if (qcode > 0) {
    const size_t q = two ? 352 : 256, cell = two ? 8 : 4;
    double b = real(q), c = real(q + cell), d = real(q + 2 * cell);
    double a = 1 - (b * b + c * c + d * d);
    if (a < 1e-7) {
      a = 1 / std::sqrt(b * b + c * c + d * d);
      b *= a, c *= a, d *= a;
      a = 0;
    } else {
      a = std::sqrt(a);
    }
    const double qfac = real(two ? 104 : 76) < 0 ? -1 : 1;
    const double r[3][3] = {{a * a + b * b - c * c - d * d, 2 * b * c - 2 * a * d, 2 * b * d + 2 * a * c},
                            {2 * b * c + 2 * a * d, a * a + c * c - b * b - d * d, 2 * c * d - 2 * a * b},
                            {2 * b * d - 2 * a * c, 2 * c * d + 2 * a * b, a * a + d * d - c * c - b * b}};
    for (int k = 0; k < 3; ++k) {
      const double s = k == 2 ? qfac : 1;
      FromRas(L, k, r[0][k] * s, r[1][k] * s, r[2][k] * s);
    }
    L.oriented = true;
  } else if (!nifti && hdr[252] < 6) {
    memcpy(L.axes, kAnalyzeAxes[hdr[252]], sizeof L.axes);
    L.oriented = true;
  }
  L.flipRows = true;

  // Where the samples start: vox_offset (nifticlib keeps a NIfTI-1 one in an
  // int), in a single file past the header and its 4 extension bytes, which
  // nifticlib and nibabel read differently otherwise.
  const double vox = two ? (double)i64(168) : std::trunc(real(108));
  if (!(vox >= (single ? size + 4 : 0) && vox < (two ? 1e12 : 2147483647.0))) {
    error = "the NIfTI header's data offset is not usable";
    return false;
  }
  Segment s;
  s.file = single ? path : PairFile(headerPath, ".img");
  s.byteSkip = (int64_t)vox;
  if (s.file.empty()) {
    error = "the image file of the pair cannot be read";
    return false;
  }
  if (EndsWith(Lower(s.file), ".gz")) L.encoding = Encoding::Gzip;
  s.samples = L.SampleCount() * (uint64_t)L.channels;
  L.segments.push_back(s);
  return CheckLayout(L, error) && NiftiLibAgrees(path, L, error);
}

#ifdef QF_WITH_NIFTI
namespace {

// nifticlib's options are global, so one call at a time.
std::mutex g_nifti;

const int kMsbFirst = 2;  // nifticlib's byte order code for big-endian files

// nifticlib's reading of a header alone (without extensions or samples): the
// header file it picks for a path, its image of the header, and the file it
// would read the samples from.
struct NiftiLibHeader {
  std::string header, image;
  nifti_image* nim = nullptr;
  ~NiftiLibHeader() {
    if (nim) nifti_image_free(nim);
  }
};

bool ReadNiftiLibHeader(const std::string& path, NiftiLibHeader& h) {
  nifti_set_debug_level(0);
  nifti_set_alter_cifti(0);
  char* hname = nifti_findhdrname(path.c_str());
  int version = 0;
  void* hdr = hname ? nifti_read_header(hname, &version, 0) : nullptr;
  if (hdr && version == 2)
    h.nim = nifti_convert_n2hdr2nim(*(nifti_2_header*)hdr, hname);
  else if (hdr && (version == 0 || version == 1))
    h.nim = nifti_convert_n1hdr2nim(*(nifti_1_header*)hdr, hname);
  char* iname = h.nim && h.nim->iname ? nifti_findimgname(h.nim->iname, h.nim->nifti_type) : nullptr;
  if (hname) h.header = hname;
  if (iname) h.image = iname;
  free(iname);
  free(hdr);
  free(hname);
  return h.nim && !h.image.empty();
}

// nifticlib reads the files of the layout. Where it would read others (a
// "x.nii" beside "x.nii.gz", the other compression of a pair), or cannot read
// the header, the samples are read here instead, from the files checked.
bool ReadsLayoutFiles(const NiftiLibHeader& h, const std::string& path, const RawLayout& L) {
  return h.nim && h.header == NiftiHeaderPath(path) && h.image == L.segments[0].file;
}

// nifticlib's image of the header holds the layout's offset, type and sizes.
bool SameAsLayout(const nifti_image* nim, const RawLayout& L) {
  bool type = false;
  for (const auto& t : kNiftiTypes) type = type || (t.datatype == nim->datatype && t.e == L.e && t.channels == L.channels);
  uint64_t count = 1;
  for (int i = 1; i <= nim->dim[0] && i < 8; ++i) count *= (uint64_t)std::max<int64_t>(1, nim->dim[i]);
  return type && nim->iname_offset == L.segments[0].byteSkip && nim->nx == L.w && nim->ny == L.h &&
         count == L.SampleCount() && (uint64_t)nim->nbyper * count == L.DataBytes() &&
         (nim->byteorder == kMsbFirst) == L.big;
}

}  // namespace

bool NiftiLibAgrees(const std::string& path, const RawLayout& L, std::string& error) {
  std::lock_guard<std::mutex> guard(g_nifti);
  NiftiLibHeader h;
  if (!ReadNiftiLibHeader(path, h) || !ReadsLayoutFiles(h, path, L) || SameAsLayout(h.nim, L)) return true;
  error = "nifticlib reads this NIfTI header differently";
  return false;
}

// nifticlib reads the header and the samples (NIfTI-1, NIfTI-2, Analyze,
// compressed or not) of the files checked here; what it reads must be the
// image the header check described.
bool LoadNiftiSamples(const std::string& path, const RawLayout& L, Volume& v, std::string& error, bool& done) {
  done = true;
  // nifticlib reads no further than the samples, so a gzip checksum would
  // never be checked: every stream is checked to its end first.
  if (!VerifyLayoutStreams(L, error)) return false;
  std::lock_guard<std::mutex> guard(g_nifti);
  NiftiLibHeader h;
  nifti_image* nim = ReadNiftiLibHeader(path, h) && ReadsLayoutFiles(h, path, L) ? nifti_image_read(path.c_str(), 1)
                                                                                 : nullptr;
  if (!nim || !nim->data) {
    // Its gzip reading also stops short on some sound streams (nibabel's
    // NIfTI-2 among them); the own reader, which has checked the header and
    // will check every sample's presence, reads those.
    if (nim) nifti_image_free(nim);
    done = false;
    return false;
  }
  RawLayout got = L;
  got.big = false;  // nifticlib hands samples over in the machine's order
  const bool same = SameAsLayout(nim, L);
  const bool ok = same ? FillLayout(got, (const uint8_t*)nim->data, (size_t)L.DataBytes(), v, error) : false;
  if (!same) error = "nifticlib read another image than the header describes";
  nifti_image_free(nim);
  return ok;
}
#else
bool NiftiLibAgrees(const std::string&, const RawLayout&, std::string&) { return true; }
bool LoadNiftiSamples(const std::string&, const RawLayout&, Volume&, std::string&, bool& done) {
  done = false;
  return false;
}
#endif

}  // namespace qf
