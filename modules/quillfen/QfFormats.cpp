// Recognising files, and what the readers of MetaImage, NIfTI / Analyze, NRRD
// and MINC share: reading raw, compressed and text samples, filling volumes
// and turning them to the display orientation.
#include <stdio.h>
#include <string.h>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <zlib.h>
#ifdef QF_WITH_TEEM
#include <bzlib.h>
#endif

#include "modules/quillfen/QfRawData.h"

namespace qf {

bool ReadPrefix(const std::string& path, std::vector<uint8_t>& out, size_t n, bool gz) {
  out.clear();
  if (gz) {
    gzFile f = gzopen(path.c_str(), "rb");
    if (!f) return false;
    out.resize(n);
    int got = gzread(f, out.data(), (unsigned)n);
    gzclose(f);
    if (got < 0) return false;
    out.resize((size_t)got);
    return true;
  }
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  // Room for what the file holds, not for all that could be asked.
  const uint64_t size = FileSize(path);
  out.resize((size_t)std::min<uint64_t>(n, size ? size : n));
  size_t got = fread(out.data(), 1, out.size(), f);
  fclose(f);
  out.resize(got);
  return true;
}

bool EndsWith(const std::string& s, const char* e) {
  const size_t l = strlen(e);
  return s.size() >= l && s.compare(s.size() - l, l, e) == 0;
}

std::string Lower(std::string s) {
  for (char& c : s) c = (char)tolower((unsigned char)c);
  return s;
}

std::string Trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r\n"), b = s.find_last_not_of(" \t\r\n");
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

bool WholeSizes(const std::vector<double>& values, int count, std::vector<uint64_t>& sizes, std::string& error) {
  sizes.clear();
  for (int i = 0; i < count; ++i) {
    if (!(values[i] >= 1 && values[i] < 4294967296.0)) {
      error = "unsupported dimensions";
      return false;
    }
    sizes.push_back((uint64_t)values[i]);
  }
  return true;
}

// Every number in a text, whatever stands between them ("(1,0,0) (0,1,0)").
std::vector<double> Numbers(const std::string& s) {
  std::vector<double> out;
  const char* p = s.c_str();
  while (*p) {
    if (isdigit((unsigned char)*p) || ((*p == '-' || *p == '+' || *p == '.') && p[1])) {
      char* end;
      const double v = strtod(p, &end);
      if (end != p) {
        out.push_back(v);
        p = end;
        continue;
      }
    }
    ++p;
  }
  return out;
}

namespace {

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool IsUrlScheme(const std::string& s) {
  const size_t colon = s.find(':');
  if (colon == std::string::npos || colon < 2) return false;
  for (size_t i = 0; i < colon; ++i)
    if (!isalnum((unsigned char)s[i]) && s[i] != '+' && s[i] != '-' && s[i] != '.') return false;
  return true;
}

}  // namespace

bool ResolveDataFile(const std::string& headerPath, const std::string& name, std::string& full, std::string& error) {
  const std::string n = Trim(name);
  if (n.empty()) {
    error = "the header names no data file";
    return false;
  }
  auto slash = [](char c) { return c == '\\' || c == '/'; };
  // Network shares, device paths and addresses are never opened; names with
  // wildcards are the system's object paths ("\??\UNC\...") and never files.
  if ((n.size() >= 2 && slash(n[0]) && slash(n[1])) || n.find("://") != std::string::npos || IsUrlScheme(n) ||
      n.find_first_of("?*") != std::string::npos) {
    error = "the data file is on a network share, a device or an address, which is not opened";
    return false;
  }
  const bool drive = n.size() >= 2 && isalpha((unsigned char)n[0]) && n[1] == ':';
  if (drive && (n.size() < 3 || !slash(n[2]))) {
    error = "the data file's path is not complete";
    return false;
  }
  // "-" is standard input to teem.
  if (n.find(':', drive ? 2 : 0) != std::string::npos || n == "-") {
    error = "the data file's name is not a plain file name";
    return false;
  }
  if (drive || slash(n[0])) {
#ifdef _WIN32
    if (drive) {
      const char root[4] = {n[0], ':', '\\', 0};
      if (GetDriveTypeA(root) == DRIVE_REMOTE) {
        error = "the data file is on a network share, a device or an address, which is not opened";
        return false;
      }
    }
#endif
    full = n;
    return true;
  }
  // Relative names stay inside the header's own folder.
  size_t start = 0;
  while (start <= n.size()) {
    size_t end = start;
    while (end < n.size() && !slash(n[end])) ++end;
    if (n.compare(start, end - start, "..") == 0) {
      error = "the data file lies outside the header's folder";
      return false;
    }
    start = end + 1;
  }
  full = JoinPath(FolderOf(headerPath), n);
  return true;
}

size_t ElemSize(Elem e) {
  switch (e) {
    case Elem::U8:
    case Elem::S8:
      return 1;
    case Elem::U16:
    case Elem::S16:
      return 2;
    case Elem::U32:
    case Elem::S32:
    case Elem::F32:
      return 4;
    default:
      return 8;
  }
}

bool ElemIsInteger(Elem e) { return e != Elem::F32 && e != Elem::F64; }
bool ElemIsSigned(Elem e) {
  return e == Elem::S8 || e == Elem::S16 || e == Elem::S32 || e == Elem::S64 || !ElemIsInteger(e);
}

double ReadElem(const uint8_t* p, Elem e, bool bigEndian) {
  uint8_t b[8];
  const size_t n = ElemSize(e);
  for (size_t i = 0; i < n; ++i) b[i] = bigEndian ? p[n - 1 - i] : p[i];
  switch (e) {
    case Elem::U8:
      return b[0];
    case Elem::S8:
      return (int8_t)b[0];
    case Elem::U16: {
      uint16_t v;
      memcpy(&v, b, 2);
      return v;
    }
    case Elem::S16: {
      int16_t v;
      memcpy(&v, b, 2);
      return v;
    }
    case Elem::U32: {
      uint32_t v;
      memcpy(&v, b, 4);
      return v;
    }
    case Elem::S32: {
      int32_t v;
      memcpy(&v, b, 4);
      return v;
    }
    case Elem::U64: {
      uint64_t v;
      memcpy(&v, b, 8);
      return (double)v;
    }
    case Elem::S64: {
      int64_t v;
      memcpy(&v, b, 8);
      return (double)v;
    }
    case Elem::F32: {
      float v;
      memcpy(&v, b, 4);
      return std::isfinite(v) ? v : 0;
    }
    default: {
      double v;
      memcpy(&v, b, 8);
      return std::isfinite(v) ? v : 0;
    }
  }
}

void SliceNormal(RawLayout& L) {
  const double(&u)[3] = L.axes[0];
  const double(&v)[3] = L.axes[1];
  L.axes[2][0] = u[1] * v[2] - u[2] * v[1];
  L.axes[2][1] = u[2] * v[0] - u[0] * v[2];
  L.axes[2][2] = u[0] * v[1] - u[1] * v[0];
}

bool CheckLayout(const RawLayout& L, std::string& error) {
  if (L.w <= 0 || L.h <= 0 || L.slices <= 0 || L.volumes <= 0 || L.w > 65535 || L.h > 65535 ||
      (L.oriented && L.slices > 65535)) {
    error = "unsupported dimensions";
    return false;
  }
  if (L.channels != 1 && L.channels != 3 && L.channels != 4) {
    error = "images of " + std::to_string(L.channels) + " channels are not shown (only grey, RGB and RGBA)";
    return false;
  }
  // The decoded samples and the volume made of them stay within the cap.
  const uint64_t count = L.SampleCount();
  const uint64_t volumeBytes = count * (L.channels == 1 ? sizeof(float) : 3);
  if (count > DecodeLimit() || (uint64_t)L.Frames() > DecodeLimit() || L.DataBytes() > DecodeLimit() ||
      volumeBytes > DecodeLimit()) {
    error = "the image is larger than the library takes (1 GiB)";
    return false;
  }
  uint64_t listed = 0;
  for (const Segment& s : L.segments) listed += s.samples * s.repeat;
  if (L.segments.empty() || listed != count * (uint64_t)L.channels) {
    error = "the data files do not add up to the image";
    return false;
  }
  if (L.scale.run && (L.channels != 1 || L.scale.slope.size() != L.scale.intercept.size() ||
                      L.scale.slope.size() * L.scale.run != count)) {
    error = "the image's slice scaling does not fit its slices";
    return false;
  }
  return true;
}

bool FrameCount(const std::vector<uint64_t>& extents, int& out, std::string& error) {
  uint64_t n = 1;
  for (uint64_t e : extents) {
    if (e == 0) {
      error = "unsupported dimensions";
      return false;
    }
    n *= e;
    if (n > DecodeLimit() || n > 0x7FFFFFFF) {
      error = "the image is larger than the library takes (1 GiB)";
      return false;
    }
  }
  out = (int)n;
  return true;
}

// "\n", "\r" and "\r\n" each end a line, as teem reads them.
bool SkipLines(FILE* f, uint64_t at, uint64_t lines, uint64_t& out) {
  if (fseeko64(f, (int64_t)at, SEEK_SET) != 0) return false;
  uint8_t buf[65536];
  bool afterCr = false;
  while (lines > 0) {
    const size_t got = fread(buf, 1, sizeof buf, f);
    if (got == 0) return false;
    for (size_t i = 0; i < got; ++i) {
      const uint8_t c = buf[i];
      const bool pair = afterCr && c == '\n';
      afterCr = c == '\r';
      if ((c != '\n' && c != '\r') || pair || --lines > 0) continue;
      out = at + i + 1;
      if (c == '\r' && (i + 1 < got ? buf[i + 1] : fgetc(f)) == '\n') ++out;
      return true;
    }
    at += got;
  }
  out = at;
  return true;
}

namespace {

using FilePtr = std::unique_ptr<FILE, int (*)(FILE*)>;

FilePtr OpenFile(const std::string& path) { return FilePtr(fopen(path.c_str(), "rb"), fclose); }

// Why a compressed stream that did not end well is refused.
const char* StreamFault(bool damaged, bool longer) {
  return damaged ? "the compressed data is damaged (its checksum or its stream is wrong)"
         : longer ? "the compressed data goes on far past the image"
                  : "the compressed data is cut short";
}

bool IsGzipMagic(const uint8_t* p, size_t n) { return n >= 2 && p[0] == 0x1F && p[1] == 0x8B; }

// Inflates the gzip or zlib stream at `at`, drops its first skip bytes and
// keeps the next want bytes in out (appended); the rest of the stream is
// inflated into scratch space so that every member's checksum is checked.
// Output never grows past want; a stream that goes on for more than the
// decode limit past it is refused.
bool Inflate(FILE* f, uint64_t at, uint64_t skip, uint64_t want, std::vector<uint8_t>* out, std::string& error,
             uint64_t* total = nullptr) {
  if (fseeko64(f, (int64_t)at, SEEK_SET) != 0) {
    error = "the compressed data is missing";
    return false;
  }
  z_stream z;
  memset(&z, 0, sizeof z);
  if (inflateInit2(&z, 15 + 32) != Z_OK) {
    error = "out of memory";
    return false;
  }
  const size_t base = out ? out->size() : 0;
  if (out) out->resize(base + (size_t)want);
  std::vector<uint8_t> in(1 << 16), scratch(1 << 16);
  uint64_t skipped = 0, kept = 0, after = 0;
  bool eof = false, ended = false, damaged = false;
  for (;;) {
    if (z.avail_in == 0 && !eof) {
      const size_t got = fread(in.data(), 1, in.size(), f);
      if (got == 0) eof = true;
      z.next_in = in.data();
      z.avail_in = (uInt)got;
    }
    uint64_t* count;
    if (skipped < skip) {
      z.next_out = scratch.data();
      z.avail_out = (uInt)std::min<uint64_t>(scratch.size(), skip - skipped);
      count = &skipped;
    } else if (kept < want && out) {
      z.next_out = out->data() + base + kept;
      z.avail_out = (uInt)std::min<uint64_t>(1u << 30, want - kept);
      count = &kept;
    } else {
      if (!out && kept < want) {
        z.next_out = scratch.data();
        z.avail_out = (uInt)std::min<uint64_t>(scratch.size(), want - kept);
        count = &kept;
      } else {
        z.next_out = scratch.data();
        z.avail_out = (uInt)scratch.size();
        count = &after;
      }
    }
    const uInt before = z.avail_out;
    const int rc = inflate(&z, Z_NO_FLUSH);
    *count += before - z.avail_out;
    if (rc == Z_STREAM_END) {
      // Further gzip members go on as one stream; anything else after the
      // last member is not part of it.
      if (z.avail_in == 0 && !eof) {
        const size_t got = fread(in.data(), 1, in.size(), f);
        if (got == 0) eof = true;
        z.next_in = in.data();
        z.avail_in = (uInt)got;
      }
      if (z.avail_in > 0 && IsGzipMagic(z.next_in, z.avail_in) && inflateReset(&z) == Z_OK) continue;
      ended = true;
      break;
    }
    if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT || rc == Z_MEM_ERROR) {
      damaged = true;
      break;
    }
    if (rc == Z_BUF_ERROR && eof && z.avail_in == 0) break;
    if (after > DecodeLimit()) break;
  }
  inflateEnd(&z);
  if (total) *total = skipped + kept + after;
  if (!damaged && kept == want && ended) return true;
  if (out) out->resize(base);
  error = kept < want && !damaged ? "the image data is shorter than its header says"
                                  : StreamFault(damaged, after > DecodeLimit());
  return false;
}

// Reads `count` numbers written as text into samples of type e (native order).
bool ReadText(FILE* f, uint64_t at, uint64_t count, Elem e, std::vector<uint8_t>& out, std::string& error) {
  if (fseeko64(f, (int64_t)at, SEEK_SET) != 0) {
    error = "the image data is shorter than its header says";
    return false;
  }
  const size_t es = ElemSize(e), base = out.size();
  out.resize(base + (size_t)(count * es));
  std::string word;
  uint64_t got = 0;
  int c = 0;
  while (got < count) {
    word.clear();
    while ((c = fgetc(f)) != EOF && (isspace(c) || c == ',')) {
    }
    while (c != EOF && !isspace(c) && c != ',' && word.size() < 64) {
      word.push_back((char)c);
      c = fgetc(f);
    }
    if (word.empty()) break;
    char* end;
    uint8_t* dst = &out[base + (size_t)(got * es)];
    if (ElemIsInteger(e)) {
      errno = 0;
      const long long s = ElemIsSigned(e) ? strtoll(word.c_str(), &end, 0) : 0;
      const unsigned long long u = ElemIsSigned(e) ? 0 : strtoull(word.c_str(), &end, 0);
      if (*end || errno == ERANGE || (!ElemIsSigned(e) && word[0] == '-')) break;
      switch (e) {
        case Elem::U8: {
          uint8_t v = (uint8_t)u;
          if (u > 0xFF) {
            end = nullptr;
            break;
          }
          memcpy(dst, &v, 1);
          break;
        }
        case Elem::S8: {
          int8_t v = (int8_t)s;
          if (s != v) {
            end = nullptr;
            break;
          }
          memcpy(dst, &v, 1);
          break;
        }
        case Elem::U16: {
          uint16_t v = (uint16_t)u;
          if (u != v) {
            end = nullptr;
            break;
          }
          memcpy(dst, &v, 2);
          break;
        }
        case Elem::S16: {
          int16_t v = (int16_t)s;
          if (s != v) {
            end = nullptr;
            break;
          }
          memcpy(dst, &v, 2);
          break;
        }
        case Elem::U32: {
          uint32_t v = (uint32_t)u;
          if (u != v) {
            end = nullptr;
            break;
          }
          memcpy(dst, &v, 4);
          break;
        }
        case Elem::S32: {
          int32_t v = (int32_t)s;
          if (s != v) {
            end = nullptr;
            break;
          }
          memcpy(dst, &v, 4);
          break;
        }
        case Elem::U64: {
          uint64_t v = u;
          memcpy(dst, &v, 8);
          break;
        }
        default: {
          int64_t v = s;
          memcpy(dst, &v, 8);
          break;
        }
      }
      if (!end) {
        error = "a sample written as text is out of its type's range";
        out.resize(base);
        return false;
      }
    } else {
      const double v = strtod(word.c_str(), &end);
      if (*end) break;
      if (e == Elem::F32) {
        const float fv = (float)v;
        memcpy(dst, &fv, 4);
      } else {
        memcpy(dst, &v, 8);
      }
    }
    ++got;
  }
  if (got < count) {
    out.resize(base);
    error = "the image data written as text is short or not a number";
    return false;
  }
  return true;
}

bool ReadHex(FILE* f, uint64_t at, uint64_t bytes, std::vector<uint8_t>& out, std::string& error) {
  if (fseeko64(f, (int64_t)at, SEEK_SET) != 0) {
    error = "the image data is shorter than its header says";
    return false;
  }
  const size_t base = out.size();
  out.resize(base + (size_t)bytes);
  uint64_t got = 0;
  int half = -1, c;
  while (got < bytes && (c = fgetc(f)) != EOF) {
    if (isspace(c)) continue;
    if (!isxdigit(c)) break;
    const int v = isdigit(c) ? c - '0' : tolower(c) - 'a' + 10;
    if (half < 0) {
      half = v;
    } else {
      out[base + (size_t)got++] = (uint8_t)(half << 4 | v);
      half = -1;
    }
  }
  if (got < bytes) {
    out.resize(base);
    error = "the image data written as hex digits is short or damaged";
    return false;
  }
  return true;
}

bool ReadSegment(const RawLayout& L, const Segment& s, std::vector<uint8_t>& out, std::string& error) {
  FilePtr f = OpenFile(s.file);
  if (!f || !FileExists(s.file)) {
    error = "the data file cannot be read";
    return false;
  }
  const uint64_t need = s.samples * ElemSize(L.e);
  uint64_t at = s.start;
  if (s.lineSkip > 0 && !SkipLines(f.get(), s.start, s.lineSkip, at)) {
    error = "the data file has fewer lines than the header skips";
    return false;
  }
  const uint64_t size = FileSize(s.file);
  switch (L.encoding) {
    case Encoding::Gzip:
      return Inflate(f.get(), at, (uint64_t)std::max<int64_t>(0, s.byteSkip), need, &out, error);
    case Encoding::Ascii:
      return ReadText(f.get(), at + (uint64_t)std::max<int64_t>(0, s.byteSkip), s.samples, L.e, out, error);
    case Encoding::Hex:
      return ReadHex(f.get(), at + (uint64_t)std::max<int64_t>(0, s.byteSkip), need, out, error);
    case Encoding::Bzip2:
      error = "bzip2-compressed samples are read only through teem";
      return false;
    case Encoding::Hdf5:
      error = "MINC 2 samples are read only through HDF5";
      return false;
    case Encoding::Raw:
      break;
  }
  if (s.byteSkip == -1)
    at = size >= need && size - need >= at ? size - need : UINT64_MAX;
  else
    at += (uint64_t)s.byteSkip;
  const size_t base = out.size();
  for (uint64_t r = 0; r < s.repeat; ++r, at += s.stride) {
    if (at == UINT64_MAX || at > size || size - at < need) {
      out.resize(base);
      error = "the image data is shorter than its header says";
      return false;
    }
    const size_t put = out.size();
    out.resize(put + (size_t)need);
    if (fseeko64(f.get(), (int64_t)at, SEEK_SET) != 0 || fread(out.data() + put, 1, (size_t)need, f.get()) != need) {
      out.resize(base);
      error = "the image data cannot be read";
      return false;
    }
  }
  return true;
}

#ifdef QF_WITH_TEEM
// Decompresses the bzip2 stream at `at` to its end (its checksums included)
// into scratch space, counting its bytes; data after the stream is not part
// of it, as teem reads one stream.
bool CheckBzip2(FILE* f, uint64_t at, uint64_t& total, std::string& error) {
  total = 0;
  if (fseeko64(f, (int64_t)at, SEEK_SET) != 0) {
    error = "the compressed data is missing";
    return false;
  }
  bz_stream z;
  memset(&z, 0, sizeof z);
  if (BZ2_bzDecompressInit(&z, 0, 0) != BZ_OK) {
    error = "out of memory";
    return false;
  }
  std::vector<char> in(1 << 16), scratch(1 << 16);
  int rc = BZ_OK;
  bool eof = false;
  while (rc == BZ_OK && total <= DecodeLimit()) {
    if (z.avail_in == 0 && !eof) {
      const size_t got = fread(in.data(), 1, in.size(), f);
      eof = got == 0;
      z.next_in = in.data();
      z.avail_in = (unsigned)got;
    }
    z.next_out = scratch.data();
    z.avail_out = (unsigned)scratch.size();
    rc = BZ2_bzDecompress(&z);
    total += scratch.size() - z.avail_out;
    if (rc == BZ_OK && eof && z.avail_out == scratch.size()) break;
  }
  BZ2_bzDecompressEnd(&z);
  if (rc == BZ_STREAM_END) return true;
  error = StreamFault(rc != BZ_OK, total > DecodeLimit());
  return false;
}
#else
bool CheckBzip2(FILE*, uint64_t, uint64_t&, std::string& error) {
  error = "bzip2-compressed samples are not read";
  return false;
}
#endif

}  // namespace

bool VerifyCompressedFile(const std::string& path, uint64_t start, std::string& error) {
  FilePtr f = OpenFile(path);
  if (!f) {
    error = "the file cannot be read";
    return false;
  }
  return Inflate(f.get(), start, 0, 0, nullptr, error);
}

bool ReadLayoutData(const RawLayout& L, std::vector<uint8_t>& out, std::string& error) {
  out.clear();
  if (!CheckLayout(L, error)) return false;
  out.reserve((size_t)L.DataBytes());
  for (const Segment& s : L.segments)
    if (!ReadSegment(L, s, out, error)) {
      out.clear();
      return false;
    }
  return true;
}

namespace {

// Colour samples as 8 bits: 8-bit samples as they are, wider integers by
// their high byte (as DICOM colour), floating point samples from 0..1 when
// they all lie there, else taken as 0..255.
void FillColour(Volume& v, const uint8_t* data, const RawLayout& L) {
  const size_t count = (size_t)L.SampleCount(), es = ElemSize(L.e), c = (size_t)L.channels;
  v.rgb.resize(count * 3);
  double scale = 1;
  if (ElemIsInteger(L.e)) {
    const int bits = (int)es * 8 - (ElemIsSigned(L.e) ? 1 : 0);
    scale = 255.0 / (std::pow(2.0, bits) - 1);
  } else {
    bool unit = true;
    for (size_t i = 0; i < count * c && unit; ++i) {
      if (i % c == 3) continue;
      const double s = ReadElem(data + i * es, L.e, L.big);
      unit = s >= 0 && s <= 1;
    }
    scale = unit ? 255 : 1;
  }
  for (size_t i = 0; i < count; ++i)
    for (size_t k = 0; k < 3; ++k) {
      const double s = ReadElem(data + (i * c + k) * es, L.e, L.big) * scale;
      v.rgb[i * 3 + k] = (uint8_t)(s <= 0 ? 0 : s >= 255 ? 255 : (int)(s + 0.5));
    }
}

int Sign(double x) { return x > 0 ? 1 : x < 0 ? -1 : 0; }

// How a volume turns to the display orientation of the plane it was
// acquired in, as DICOM images of that plane show, by permuting and flipping
// the axes only; its slices stay its frames. Axial: columns run to the
// patient's left, rows to the back, frames upwards; coronal: columns to the
// left, rows downwards, frames to the back; sagittal: columns to the back,
// rows downwards, frames to the left.
struct Turn {
  int outAxis[3] = {0, 1, 2};
  bool flip[3] = {false, false, false};
  bool identity = true;
};

Turn PlanTurn(const RawLayout& L) {
  Turn t;
  if (!L.oriented) return t;
  double a[3][3];
  for (int i = 0; i < 3; ++i) {
    const double n = std::sqrt(L.axes[i][0] * L.axes[i][0] + L.axes[i][1] * L.axes[i][1] + L.axes[i][2] * L.axes[i][2]);
    if (!(n > 0) || !std::isfinite(n)) return t;
    for (int k = 0; k < 3; ++k) a[i][k] = L.axes[i][k] / n;
  }
  // The patient axis closest to each stored axis, one each.
  static const int kPerms[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
  int best = 0;
  double bestScore = -1;
  for (int p = 0; p < 6; ++p) {
    const double score = std::fabs(a[0][kPerms[p][0]]) + std::fabs(a[1][kPerms[p][1]]) + std::fabs(a[2][kPerms[p][2]]);
    if (score > bestScore + 1e-9) best = p, bestScore = score;
  }
  const int* patient = kPerms[best];  // stored axis -> patient axis (0 L, 1 P, 2 S)
  int place[3], want[3];              // patient axis -> output axis, and the way it runs there
  if (patient[2] == 2) {
    place[0] = 0, place[1] = 1, place[2] = 2;
    want[0] = want[1] = want[2] = 1;
  } else if (patient[2] == 1) {  // coronal: left to the right, head up
    place[0] = 0, place[2] = 1, place[1] = 2;
    want[0] = 1, want[2] = -1, want[1] = 1;
  } else {  // sagittal: front to the left, head up
    place[1] = 0, place[2] = 1, place[0] = 2;
    want[1] = 1, want[2] = -1, want[0] = 1;
  }
  for (int i = 0; i < 3; ++i) {
    t.outAxis[i] = place[patient[i]];
    t.flip[i] = Sign(a[i][patient[i]]) != want[patient[i]];
    t.identity = t.identity && t.outAxis[i] == i && !t.flip[i];
  }
  return t;
}

void Reorient(Volume& v, const RawLayout& L) {
  const Turn t = PlanTurn(L);
  if (t.identity) return;
  const int* outAxis = t.outAxis;
  const bool* flip = t.flip;
  const int n[3] = {L.w, L.h, L.slices};
  int N[3];
  for (int i = 0; i < 3; ++i) N[outAxis[i]] = n[i];
  // Output strides for each stored axis.
  size_t stride[3];
  const size_t outStride[3] = {1, (size_t)N[0], (size_t)N[0] * N[1]};
  for (int i = 0; i < 3; ++i) stride[i] = outStride[outAxis[i]];
  const size_t per = (size_t)n[0] * n[1] * n[2];
  const int c = v.channels == 3 ? 3 : 1;
  auto move = [&](auto& samples) {
    auto copy = samples;
    for (int t = 0; t < L.volumes; ++t) {
      const size_t base = (size_t)t * per;
      size_t src = base;
      for (int z = 0; z < n[2]; ++z) {
        const size_t oz = (size_t)(flip[2] ? n[2] - 1 - z : z) * stride[2];
        for (int y = 0; y < n[1]; ++y) {
          const size_t oy = oz + (size_t)(flip[1] ? n[1] - 1 - y : y) * stride[1];
          for (int x = 0; x < n[0]; ++x, ++src) {
            const size_t dst = base + oy + (size_t)(flip[0] ? n[0] - 1 - x : x) * stride[0];
            for (int k = 0; k < c; ++k) samples[dst * c + k] = copy[src * c + k];
          }
        }
      }
    }
  };
  if (c == 3)
    move(v.rgb);
  else
    move(v.grey);
  v.width = N[0];
  v.height = N[1];
  v.frames = N[2] * L.volumes;
}

}  // namespace

bool LoadLayout(const RawLayout& L, Volume& v, std::string& error) {
  std::vector<uint8_t> data;
  return ReadLayoutData(L, data, error) && FillLayout(L, data.data(), data.size(), v, error);
}

bool VerifyLayoutStreams(const RawLayout& L, std::string& error) {
  if (L.encoding != Encoding::Gzip && L.encoding != Encoding::Bzip2) return true;
  for (const Segment& s : L.segments) {
    const uint64_t need = s.samples * ElemSize(L.e);
    FilePtr f = OpenFile(s.file);
    uint64_t at = s.start, total = 0;
    if (!f || (s.lineSkip > 0 && !SkipLines(f.get(), s.start, s.lineSkip, at))) {
      error = "the data file cannot be read";
      return false;
    }
    if (L.encoding == Encoding::Bzip2 ? !CheckBzip2(f.get(), at, total, error)
                                      : !Inflate(f.get(), at, 0, 0, nullptr, error, &total))
      return false;
    // Samples at the stream's end: teem holds all of it, growing its buffer
    // by the samples' size at a time, so what comes before them stays small.
    const uint64_t before = s.byteSkip == -1 ? (total >= need ? total - need : UINT64_MAX) : (uint64_t)s.byteSkip;
    if (before == UINT64_MAX || total - before < need) {
      error = "the image data is shorter than its header says";
      return false;
    }
    if (s.byteSkip == -1 && before > need + (64u << 10)) {
      error = "the compressed data holds far more before the image than the image itself";
      return false;
    }
  }
  return true;
}

bool FillLayout(const RawLayout& L, const uint8_t* data, size_t size, Volume& v, std::string& error) {
  if (!CheckLayout(L, error)) return false;
  const int w = L.w, h = L.h, frames = L.Frames();
  const size_t count = (size_t)L.SampleCount(), es = ElemSize(L.e);
  if (size / es / (size_t)L.channels < count) {
    error = "the image data is shorter than its header says";
    return false;
  }
  v = Volume();
  v.width = w;
  v.height = h;
  v.frames = frames;
  v.channels = L.channels == 1 ? 1 : 3;
  if (L.channels != 1) {
    FillColour(v, data, L);
  } else if (L.scale.run) {
    const RunScale& k = L.scale;
    v.grey.resize(count);
    for (size_t i = 0; i < count; ++i) {
      const double s = std::max(k.low, std::min(k.high, ReadElem(&data[i * es], L.e, L.big)));
      const size_t r = (size_t)(i / k.run);
      v.grey[i] = (float)std::max(-3.0e38, std::min(3.0e38, s * k.slope[r] + k.intercept[r]));
    }
  } else {
    double slope = L.slope, intercept = L.intercept;
    if (slope == 0 || !std::isfinite(slope)) slope = 1;
    if (!std::isfinite(intercept)) intercept = 0;
    v.grey.resize(count);
    for (size_t i = 0; i < count; ++i)
      v.grey[i] = (float)std::max(-3.0e38, std::min(3.0e38, ReadElem(&data[i * es], L.e, L.big) * slope + intercept));
  }
  if (L.oriented) {
    Reorient(v, L);
  } else if (L.flipRows) {
    const int c = v.channels;
    const size_t row = (size_t)w * c;
    for (int f = 0; f < frames; ++f)
      for (int y = 0; y < h / 2; ++y) {
        const size_t a = ((size_t)f * h + y) * row, b = ((size_t)f * h + h - 1 - y) * row;
        if (c == 3)
          std::swap_ranges(v.rgb.begin() + a, v.rgb.begin() + a + row, v.rgb.begin() + b);
        else
          std::swap_ranges(v.grey.begin() + a, v.grey.begin() + a + row, v.grey.begin() + b);
      }
  }
  return true;
}

bool PatternFiles(const std::string& headerPath, const std::string& line, const char* conversions,
                  std::vector<std::string>& files, std::string& error) {
  // "pattern first last step", the pattern with one integer conversion.
  std::vector<std::string> words;
  {
    const char* p = line.c_str();
    while (*p) {
      while (*p == ' ' || *p == '\t') ++p;
      const char* s = p;
      while (*p && *p != ' ' && *p != '\t') ++p;
      if (p > s) words.emplace_back(s, p);
    }
  }
  if (words.size() < 4) {
    error = "the data file pattern lacks its numbers";
    return false;
  }
  const std::string& pattern = words[0];
  size_t pct = pattern.find('%');
  size_t conv = pct == std::string::npos ? pct : pattern.find_first_not_of("0123456789", pct + 1);
  if (pct == std::string::npos || conv == std::string::npos || !strchr(conversions, pattern[conv]) ||
      pattern.find('%', conv + 1) != std::string::npos || conv - pct > 3) {
    error = "the data file pattern is not one number in a name";
    return false;
  }
  // Whole numbers far inside an int, so that no step of the run overflows.
  const int64_t kBound = 1 << 30;
  int64_t n[3] = {0, 0, 0};
  bool numbers = true;
  for (int i = 0; i < 3 && numbers; ++i) {
    char* end;
    errno = 0;
    n[i] = strtoll(words[i + 1].c_str(), &end, 10);
    numbers = !*end && !errno && n[i] >= -kBound && n[i] <= kBound;
  }
  const int64_t first = n[0], last = n[1], step = n[2];
  if (!numbers || step == 0 || (last - first) / step < 0 || (last - first) / step > 100000) {
    error = "the data file pattern's numbers do not make a run";
    return false;
  }
  for (int64_t k = 0, runs = (last - first) / step; k <= runs; ++k) {
    char name[1024];
    snprintf(name, sizeof name, pattern.c_str(), (int)(first + k * step));
    std::string full;
    if (!ResolveDataFile(headerPath, name, full, error)) return false;
    files.push_back(full);
  }
  return true;
}

// ---- recognition and loading ----------------------------------------------------

std::string PairFile(const std::string& path, const char* want) {
  const std::string ext = Extension(path);
  const std::string written = path.substr(path.size() - ext.size());
  const bool gz = EndsWith(ext, ".gz"), upper = written != Lower(written);
  std::string same = std::string(want) + (gz ? ".gz" : ""), other = std::string(want) + (gz ? "" : ".gz");
  if (upper)
    for (std::string* e : {&same, &other})
      for (char& c : *e) c = (char)toupper((unsigned char)c);
  const std::string base = path.substr(0, path.size() - ext.size());
  for (const std::string* e : {&same, &other})
    if (FileExists(base + *e)) return base + *e;
  return std::string();
}

std::string PairHeader(const std::string& path, const std::string& ext) {
  return ext == ".hdr" || ext == ".hdr.gz" ? path : PairFile(path, ".hdr");
}

int NiftiHeaderSize(const std::vector<uint8_t>& h) {
  if (h.size() < 348) return 0;
  const uint32_t le = (uint32_t)(h[0] | h[1] << 8 | h[2] << 16 | (uint32_t)h[3] << 24);
  const uint32_t be = (uint32_t)((uint32_t)h[0] << 24 | h[1] << 16 | h[2] << 8 | h[3]);
  if (le == 348 || be == 348) return 348;
  if ((le == 540 || be == 540) && h.size() >= 540 && memcmp(&h[4], "n", 1) == 0 && h[6] == '2') return 540;
  return 0;
}

namespace {

bool ParseLayout(Kind kind, const std::string& path, RawLayout& L, std::string& error) {
  switch (kind) {
    case Kind::MetaImage:
      return ParseMeta(path, L, error);
    case Kind::Nifti:
    case Kind::Analyze:
      return ParseNifti(path, L, error);
    case Kind::Nrrd:
      return ParseNrrd(path, L, error);
    case Kind::Minc:
      return ParseMinc(path, L, error);
    default:
      error = "unknown file type";
      return false;
  }
}

}  // namespace

Kind DetectKind(const std::string& path) {
  if (path.empty() || !FileExists(path)) return Kind::None;
  const std::string ext = Extension(path);
  std::vector<uint8_t> head;
  const bool gz = EndsWith(ext, ".gz");
  if (!ReadPrefix(path, head, 4096, gz)) return Kind::None;
  if (!gz && LooksLikeDicomBytes(head.data(), head.size())) return Kind::Dicom;
  const size_t n = head.size();
  if (n >= 4 && memcmp(head.data(), "NRRD", 4) == 0) return Kind::Nrrd;
  if (n >= 4 && memcmp(head.data(), "CDF", 3) == 0 && (head[3] == 1 || head[3] == 2)) return Kind::Minc;
  if (n >= 8 && memcmp(head.data(), "\x89HDF\r\n\x1a\n", 8) == 0 && ext == ".mnc") return Kind::Minc;
  const int nifti = NiftiHeaderSize(head);
  if (nifti == 348 && memcmp(&head[344], "n+1", 4) == 0) return Kind::Nifti;
  if (nifti == 540 && memcmp(&head[4], "n+2\0\r\n\032\n", 8) == 0) return Kind::Nifti;
  if (!gz && n >= 4 &&
      (memcmp(head.data(), "II*\0", 4) == 0 || memcmp(head.data(), "MM\0*", 4) == 0 ||
       memcmp(head.data(), "II+\0", 4) == 0 || memcmp(head.data(), "MM\0+", 4) == 0))
    return Kind::Tiff;
  if (!gz && n >= 3 && head[0] == 'P' && head[1] >= '1' && head[1] <= '6' && (isspace(head[2]) || head[2] == '#'))
    return Kind::Pnm;
  if (!gz && n >= 4 &&
      ((head[0] == 'B' && head[1] == 'M') || memcmp(head.data(), "\x89PNG", 4) == 0 ||
       (head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) || memcmp(head.data(), "GIF8", 4) == 0))
    return Kind::Picture;
  if (ext == ".mha" || ext == ".mhd") {
    std::string text((const char*)head.data(), n);
    if (text.find("NDims") != std::string::npos && text.find("ElementDataFile") != std::string::npos)
      return Kind::MetaImage;
    return Kind::None;
  }
  if (ext == ".hdr" || ext == ".hdr.gz" || ext == ".img" || ext == ".img.gz") {
    std::string h = PairHeader(path, ext);
    std::vector<uint8_t> hh;
    if (!h.empty() && ReadPrefix(h, hh, 540, EndsWith(h, ".gz"))) {
      const int size = NiftiHeaderSize(hh);
      if (size == 540 && memcmp(&hh[4], "ni2\0\r\n\032\n", 8) == 0) return Kind::Nifti;
      if (size == 348) return memcmp(&hh[344], "ni1", 4) == 0 ? Kind::Nifti : Kind::Analyze;
    }
  }
  return Kind::None;
}

bool LoadOtherFormat(Kind kind, const std::string& path, Volume& v, std::string& error) {
  RawLayout L;
  if (!ParseLayout(kind, path, L, error)) return false;
  // NIfTI, Analyze and NRRD samples come through their own libraries when
  // the build has them; the header checks above come first either way.
  bool done = false, ok = false;
  if (kind == Kind::Nifti || kind == Kind::Analyze)
    ok = LoadNiftiSamples(path, L, v, error, done);
  else if (kind == Kind::Nrrd)
    ok = LoadNrrdSamples(path, L, v, error, done);
  else if (L.encoding == Encoding::Hdf5)
    return LoadMinc2Samples(path, L, v, error);
  return done ? ok : LoadLayout(L, v, error);
}

bool ReadOtherFormatInfo(Kind kind, const std::string& path, int& width, int& height, int& frames, std::string& error) {
  RawLayout L;
  if (!ParseLayout(kind, path, L, error) || !CheckLayout(L, error)) return false;
  // Data files that are missing, or too short for raw samples, are known
  // without reading them.
  const std::string* last = nullptr;
  for (const Segment& s : L.segments) {
    if (L.encoding == Encoding::Hdf5) break;
    if ((!last || *last != s.file) && !FileExists(s.file)) {
      error = "the data file is missing";
      return false;
    }
    last = &s.file;
    const uint64_t need = s.samples * ElemSize(L.e), size = FileSize(s.file);
    const uint64_t at = s.start + (uint64_t)s.byteSkip + (s.repeat - 1) * s.stride;
    if (L.encoding == Encoding::Raw && s.lineSkip == 0 && s.byteSkip >= 0 && (at > size || size - at < need)) {
      error = "the image data is shorter than its header says";
      return false;
    }
  }
  // The size as shown, after any turn to the display orientation.
  const Turn t = PlanTurn(L);
  const int n[3] = {L.w, L.h, L.slices};
  int N[3];
  for (int i = 0; i < 3; ++i) N[t.outAxis[i]] = n[i];
  width = N[0];
  height = N[1];
  frames = N[2] * L.volumes;
  return true;
}

bool LoadVolume(const std::string& path, Volume& v, std::string& error) {
  return LoadVolumeOfKind(DetectKind(path), path, v, error);
}

bool LoadVolumeOfKind(Kind kind, const std::string& path, Volume& v, std::string& error) {
  if (kind == Kind::None || kind == Kind::Tiff || kind == Kind::Pnm || kind == Kind::Picture) {
    error = "not a medical image file";
    return false;
  }
  if (kind == Kind::Dicom) return LoadDicom(path, v, error);
  return LoadOtherFormat(kind, path, v, error);
}

bool ReadImageFrames(const std::string& path, Kind kind, std::vector<int>& frames) {
  frames.clear();
  int w = 0, h = 0, n = 0;
  std::string error;
  switch (kind) {
    case Kind::None:
    case Kind::Dicom:
      return false;
    case Kind::Tiff:
      if (!ReadTiffInfo(path, w, h, n)) return false;
      frames.assign((size_t)n, 1);
      return true;
    case Kind::Picture:
      if (!ReadPictureInfo(path, w, h, n, error)) return false;
      frames.assign((size_t)n, 1);
      return true;
    case Kind::Pnm: {
      std::vector<uint8_t> data;
      if (!ReadWholeFile(path, data, (size_t)0x7FFFFFFF)) return false;
      frames.assign((size_t)CountPnmImages(data.data(), data.size()), 1);
      return !frames.empty();
    }
    default:
      if (!ReadOtherFormatInfo(kind, path, w, h, n, error)) return false;
      frames.push_back(n);
      return true;
  }
}

bool LoadImages(const std::string& path, std::vector<Volume>& out, std::string& error) {
  const Kind kind = DetectKind(path);
  switch (kind) {
    case Kind::None:
      error = "not an image file that can be read";
      return false;
    case Kind::Tiff:
      return LoadTiff(path, out, error);
    case Kind::Pnm:
    case Kind::Picture: {
      std::vector<uint8_t> data;
      if (!ReadWholeFile(path, data, (size_t)0x7FFFFFFF) || data.size() >= (size_t)0x7FFFFFFF) {
        error = "the picture cannot be read";
        return false;
      }
      return kind == Kind::Pnm ? DecodePnm(data.data(), data.size(), out, error)
                               : DecodePicture(data.data(), data.size(), out, error);
    }
    default: {
      Volume v;
      if (!LoadVolumeOfKind(kind, path, v, error)) return false;
      out.push_back(std::move(v));
      return true;
    }
  }
}

}  // namespace qf
