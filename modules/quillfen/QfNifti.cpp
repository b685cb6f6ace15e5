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
  const std::string headerPath = single ? path : PairHeader(path, ext);
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
  auto i64 = [&](size_t at) { return (int64_t)ReadElem(&hdr[at], Elem::S64, big); };
  auto real = [&](size_t at) { return two ? ReadElem(&hdr[at], Elem::F64, big) : ReadElem(&hdr[at], Elem::F32, big); };
  int64_t dim[8];
  for (int i = 0; i < 8; ++i) dim[i] = two ? i64(16 + 8 * i) : i16(40 + 2 * i);
  const int64_t datatype = two ? i16(12) : i16(70);
  const bool nifti = two || memcmp(&hdr[344], "n+1", 4) == 0 || memcmp(&hdr[344], "ni1", 4) == 0;
  L.slope = nifti ? real(two ? 176 : 112) : 1;
  L.intercept = nifti ? real(two ? 184 : 116) : 0;
  if (L.slope == 0) L.slope = 1, L.intercept = 0;
  switch (datatype) {
    case 2:
      L.e = Elem::U8;
      break;
    case 4:
      L.e = Elem::S16;
      break;
    case 8:
      L.e = Elem::S32;
      break;
    case 16:
      L.e = Elem::F32;
      break;
    case 64:
      L.e = Elem::F64;
      break;
    case 128:
      L.e = Elem::U8;
      L.channels = 3;
      break;
    case 256:
      L.e = Elem::S8;
      break;
    case 512:
      L.e = Elem::U16;
      break;
    case 768:
      L.e = Elem::U32;
      break;
    case 1024:
      L.e = Elem::S64;
      break;
    case 1280:
      L.e = Elem::U64;
      break;
    case 2304:
      L.e = Elem::U8;
      L.channels = 4;
      break;
    default:
      error = "unsupported NIfTI data type (complex and 128-bit samples are not shown)";
      return false;
  }
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

  const double vox = two ? (double)i64(168) : real(108);
  Segment s;
  if (single) {
    s.file = path;
    s.byteSkip = vox >= size && vox < 1e12 ? (int64_t)vox : size + 4;
  } else {
    if (ext == ".hdr" || ext == ".hdr.gz") {
      const std::string base = path.substr(0, path.size() - ext.size());
      for (const char* x : {".img", ".IMG", ".img.gz"})
        if (FileExists(base + x)) {
          s.file = base + x;
          break;
        }
    } else {
      s.file = path;
    }
    if (s.file.empty()) {
      error = "the image file of the pair cannot be read";
      return false;
    }
    s.byteSkip = vox > 0 && vox < 1e12 ? (int64_t)vox : 0;
  }
  if (EndsWith(Lower(s.file), ".gz")) L.encoding = Encoding::Gzip;
  s.samples = L.SampleCount() * (uint64_t)L.channels;
  L.segments.push_back(s);
  return CheckLayout(L, error);
}

#ifdef QF_WITH_NIFTI
// nifticlib reads the header and the samples (NIfTI-1, NIfTI-2, Analyze,
// compressed or not); what it reads must be the image the header check
// above described. Its options are global, so one read at a time.
bool LoadNiftiSamples(const std::string& path, const RawLayout& L, Volume& v, std::string& error, bool& done) {
  done = true;
  // nifticlib reads no further than the samples, so a gzip checksum would
  // never be checked: every stream is checked to its end first.
  if (!VerifyLayoutStreams(L, error)) return false;
  static std::mutex lock;
  std::lock_guard<std::mutex> guard(lock);
  nifti_set_debug_level(0);
  nifti_image* nim = nifti_image_read(path.c_str(), 1);
  if (!nim || !nim->data) {
    // Its gzip reading stops short on some sound streams (nibabel's NIfTI-2
    // among them); the own reader, which has checked the header and will
    // check every sample's presence, reads those.
    if (nim) nifti_image_free(nim);
    done = false;
    return false;
  }
  uint64_t count = 1;
  for (int i = 1; i <= nim->dim[0] && i < 8; ++i) count *= (uint64_t)std::max<int64_t>(1, nim->dim[i]);
  RawLayout got = L;
  got.big = false;  // nifticlib hands samples over in the machine's order
  const bool same =
      nim->nx == L.w && nim->ny == L.h && count == L.SampleCount() && (uint64_t)nim->nbyper * count == L.DataBytes();
  const bool ok = same ? FillLayout(got, (const uint8_t*)nim->data, (size_t)L.DataBytes(), v, error) : false;
  if (!same) error = "nifticlib read another image than the header describes";
  nifti_image_free(nim);
  return ok;
}
#else
bool LoadNiftiSamples(const std::string&, const RawLayout&, Volume&, std::string&, bool& done) {
  done = false;
  return false;
}
#endif

}  // namespace qf
