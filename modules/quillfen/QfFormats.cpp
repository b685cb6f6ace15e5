// Recognising files, and the readers of MetaImage, NIfTI-1 / Analyze, NRRD and
// MINC 1 (NetCDF) volumes.
#include <stdio.h>
#include <string.h>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <zlib.h>

#include "QfCore.h"

namespace qf {

namespace {

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

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The header of an Analyze / NIfTI pair, from either file of the pair.
std::string PairHeader(const std::string& path, const std::string& ext) {
  std::string base = path.substr(0, path.size() - ext.size());
  const bool gz = EndsWith(ext, ".gz");
  if (ext == ".hdr" || ext == ".hdr.gz") return path;
  for (const char* e : {".hdr", ".HDR", ".hdr.gz"}) {
    std::string h = base + e;
    if (FileExists(h)) return h;
  }
  (void)gz;
  return std::string();
}

bool IsAnalyzeHeader(const std::vector<uint8_t>& h) {
  if (h.size() < 348) return false;
  int32_t le = (int32_t)(h[0] | h[1] << 8 | h[2] << 16 | (uint32_t)h[3] << 24);
  int32_t be = (int32_t)((uint32_t)h[0] << 24 | h[1] << 16 | h[2] << 8 | h[3]);
  return le == 348 || be == 348;
}

// Element types shared by the readers.
enum class Elem { U8, S8, U16, S16, U32, S32, F32, F64 };
size_t ElemSize(Elem e) {
  switch (e) {
    case Elem::U8: case Elem::S8: return 1;
    case Elem::U16: case Elem::S16: return 2;
    case Elem::U32: case Elem::S32: case Elem::F32: return 4;
    default: return 8;
  }
}

double ReadElem(const uint8_t* p, Elem e, bool bigEndian) {
  uint8_t b[8];
  const size_t n = ElemSize(e);
  for (size_t i = 0; i < n; ++i) b[i] = bigEndian ? p[n - 1 - i] : p[i];
  switch (e) {
    case Elem::U8: return b[0];
    case Elem::S8: return (int8_t)b[0];
    case Elem::U16: { uint16_t v; memcpy(&v, b, 2); return v; }
    case Elem::S16: { int16_t v; memcpy(&v, b, 2); return v; }
    case Elem::U32: { uint32_t v; memcpy(&v, b, 4); return v; }
    case Elem::S32: { int32_t v; memcpy(&v, b, 4); return v; }
    case Elem::F32: { float v; memcpy(&v, b, 4); return std::isfinite(v) ? v : 0; }
    default: { double v; memcpy(&v, b, 8); return std::isfinite(v) ? v : 0; }
  }
}

// Where the samples of a raw volume are and how they are laid out; the
// header readers fill it, nothing is read past the header until it is checked.
struct RawLayout {
  int w = 0, h = 0, frames = 0, channels = 1;
  Elem e = Elem::U8;
  bool big = false;
  double slope = 1, intercept = 0;
  bool flipRows = false;
  std::string file;          // the file that holds the samples
  uint64_t offset = 0;       // where they start in it (in the inflated stream when compressed)
  bool compressed = false;   // gzip or zlib from fileOffset on
  uint64_t fileOffset = 0;   // start of the compressed stream in the file
  bool fromEnd = false;      // the samples are the last bytes of the file
  uint64_t SampleCount() const { return (uint64_t)w * (uint64_t)h * (uint64_t)frames; }
  uint64_t DataBytes() const { return SampleCount() * channels * ElemSize(e); }
};

bool CheckLayout(const RawLayout& L, std::string& error) {
  if (L.w <= 0 || L.h <= 0 || L.frames <= 0 || L.w > 65535 || L.h > 65535 ||
      (L.channels != 1 && L.channels != 3)) {
    error = "unsupported dimensions";
    return false;
  }
  // The decoded samples and the volume made of them stay within the cap.
  const uint64_t volumeBytes = L.SampleCount() * (L.channels == 3 ? 3 : sizeof(float));
  if (L.SampleCount() > DecodeLimit() || L.DataBytes() > DecodeLimit() || volumeBytes > DecodeLimit()) {
    error = "the image is larger than the library takes (1 GiB)";
    return false;
  }
  return true;
}

// Inflates a gzip or zlib stream that starts at fileOffset, drops its first
// skip bytes and keeps the next want bytes; the output never grows past that.
bool InflateFileRange(const std::string& path, uint64_t fileOffset, uint64_t skip, uint64_t want,
                      std::vector<uint8_t>& out, std::string& error) {
  out.clear();
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) {
    error = "the data file cannot be read";
    return false;
  }
  std::unique_ptr<FILE, int (*)(FILE*)> guard(f, fclose);
  if (fseeko64(f, (int64_t)fileOffset, SEEK_SET) != 0) {
    error = "the compressed data is missing";
    return false;
  }
  z_stream z;
  memset(&z, 0, sizeof z);
  if (inflateInit2(&z, 15 + 32) != Z_OK) {
    error = "out of memory";
    return false;
  }
  out.resize((size_t)want);
  std::vector<uint8_t> in(1 << 16), scratch(1 << 16);
  uint64_t skipped = 0, kept = 0;
  int rc = Z_OK;
  bool eof = false;
  while (kept < want) {
    if (z.avail_in == 0 && !eof) {
      const size_t got = fread(in.data(), 1, in.size(), f);
      if (got == 0) eof = true;
      z.next_in = in.data();
      z.avail_in = (uInt)got;
    }
    if (skipped < skip) {
      z.next_out = scratch.data();
      z.avail_out = (uInt)std::min<uint64_t>(scratch.size(), skip - skipped);
    } else {
      z.next_out = out.data() + kept;
      z.avail_out = (uInt)std::min<uint64_t>(1u << 30, want - kept);
    }
    const uInt before = z.avail_out;
    rc = inflate(&z, Z_NO_FLUSH);
    const uInt made = before - z.avail_out;
    if (skipped < skip) skipped += made;
    else kept += made;
    if (rc == Z_STREAM_END) {
      // Concatenated gzip members go on as one stream.
      if (kept < want && (z.avail_in > 0 || !eof) && inflateReset(&z) == Z_OK) continue;
      break;
    }
    if (rc == Z_BUF_ERROR && eof && z.avail_in == 0) break;
    if (rc != Z_OK && rc != Z_BUF_ERROR) break;
  }
  inflateEnd(&z);
  if (kept < want) {
    out.clear();
    error = rc == Z_DATA_ERROR ? "the compressed data is damaged" : "the image data is shorter than its header says";
    return false;
  }
  return true;
}

// Reads exactly the samples the layout names, checking the file holds them
// before making room for them.
bool ReadLayoutData(const RawLayout& L, std::vector<uint8_t>& out, std::string& error) {
  if (!CheckLayout(L, error)) return false;
  const uint64_t need = L.DataBytes();
  if (L.compressed) return InflateFileRange(L.file, L.fileOffset, L.offset, need, out, error);
  const uint64_t size = FileSize(L.file);
  if (!FileExists(L.file)) {
    error = "the data file cannot be read";
    return false;
  }
  uint64_t at = L.offset;
  if (L.fromEnd) at = size >= need ? size - need : UINT64_MAX;
  if (at == UINT64_MAX || at > size || size - at < need) {
    error = "the image data is shorter than its header says";
    return false;
  }
  FILE* f = fopen(L.file.c_str(), "rb");
  if (!f) {
    error = "the data file cannot be read";
    return false;
  }
  out.resize((size_t)need);
  const bool ok = fseeko64(f, (int64_t)at, SEEK_SET) == 0 && fread(out.data(), 1, out.size(), f) == out.size();
  fclose(f);
  if (!ok) {
    out.clear();
    error = "the image data cannot be read";
  }
  return ok;
}

// Fills a volume from raw samples laid out as the layout says.
bool FillVolume(Volume& v, const uint8_t* data, size_t size, const RawLayout& L, std::string& error) {
  if (!CheckLayout(L, error)) return false;
  const int w = L.w, h = L.h, frames = L.frames, channels = L.channels;
  const size_t count = (size_t)L.SampleCount();
  const size_t es = ElemSize(L.e);
  if (size / es / (size_t)channels < count) {
    error = "the image data is shorter than its header says";
    return false;
  }
  double slope = L.slope, intercept = L.intercept;
  v = Volume();
  v.width = w;
  v.height = h;
  v.frames = frames;
  v.channels = channels;
  if (slope == 0 || !std::isfinite(slope)) slope = 1;
  if (!std::isfinite(intercept)) intercept = 0;
  const size_t fs = (size_t)w * h;
  if (channels == 3) v.rgb.resize(count * 3);
  else v.grey.resize(count);
  for (int f = 0; f < frames; ++f)
    for (int y = 0; y < h; ++y) {
      const int sy = L.flipRows ? h - 1 - y : y;
      for (int x = 0; x < w; ++x) {
        const size_t src = (size_t)f * fs + (size_t)sy * w + x;
        const size_t dst = (size_t)f * fs + (size_t)y * w + x;
        if (channels == 3)
          for (int c = 0; c < 3; ++c) {
            double s = ReadElem(data + (src * 3 + c) * es, L.e, L.big);
            v.rgb[dst * 3 + c] = (uint8_t)std::max(0.0, std::min(255.0, s));
          }
        else
          v.grey[dst] = (float)std::max(-3.0e38, std::min(3.0e38, ReadElem(data + src * es, L.e, L.big) * slope + intercept));
      }
    }
  return true;
}

bool LoadLayout(const RawLayout& L, Volume& v, std::string& error) {
  std::vector<uint8_t> data;
  if (!ReadLayoutData(L, data, error)) return false;
  return FillVolume(v, data.data(), data.size(), L, error);
}

bool IsUrlScheme(const std::string& s) {
  const size_t colon = s.find(':');
  if (colon == std::string::npos || colon < 2) return false;
  for (size_t i = 0; i < colon; ++i)
    if (!isalnum((unsigned char)s[i]) && s[i] != '+' && s[i] != '-' && s[i] != '.') return false;
  return true;
}

}  // namespace

bool ResolveDataFile(const std::string& headerPath, const std::string& name, std::string& full,
                     std::string& error) {
  const std::string n = Trim(name);
  if (n.empty()) {
    error = "the header names no data file";
    return false;
  }
  auto slash = [](char c) { return c == '\\' || c == '/'; };
  // Network shares, device paths and addresses are never opened.
  if ((n.size() >= 2 && slash(n[0]) && slash(n[1])) || n.find("://") != std::string::npos || IsUrlScheme(n)) {
    error = "the data file is on a network share, a device or an address, which is not opened";
    return false;
  }
  const bool drive = n.size() >= 2 && isalpha((unsigned char)n[0]) && n[1] == ':';
  if (drive && (n.size() < 3 || !slash(n[2]))) {
    error = "the data file's path is not complete";
    return false;
  }
  if (n.find(':', drive ? 2 : 0) != std::string::npos) {
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

namespace {

// ---- MetaImage --------------------------------------------------------------

bool ParseMeta(const std::string& path, RawLayout& L, std::string& error) {
  // The header is text at the start of the file; it ends with ElementDataFile.
  std::vector<uint8_t> file;
  if (!ReadPrefix(path, file, 1 << 20, false)) {
    error = "the file cannot be read";
    return false;
  }
  std::map<std::string, std::string> keys;
  size_t pos = 0;
  bool ended = false;
  while (pos < file.size() && !ended) {
    size_t eol = pos;
    while (eol < file.size() && file[eol] != '\n') ++eol;
    if (eol == file.size()) break;  // the header's last line must be complete
    std::string line((const char*)&file[pos], eol - pos);
    pos = eol + 1;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = Lower(Trim(line.substr(0, eq))), value = Trim(line.substr(eq + 1));
    keys[key] = value;
    ended = key == "elementdatafile";
  }
  if (!ended) {
    error = "MetaImage header without ElementDataFile";
    return false;
  }
  auto get = [&](const char* k) { auto it = keys.find(k); return it == keys.end() ? std::string() : it->second; };
  const int ndims = atoi(get("ndims").c_str());
  std::vector<long> dims;
  {
    std::string s = get("dimsize");
    const char* p = s.c_str();
    for (;;) {
      char* end;
      long d = strtol(p, &end, 10);
      if (end == p) break;
      dims.push_back(d);
      p = end;
    }
  }
  if (ndims < 2 || ndims > 16 || (int)dims.size() < ndims) {
    error = "MetaImage header without dimensions";
    return false;
  }
  const std::string type = Lower(get("elementtype"));
  static const std::map<std::string, Elem> kTypes = {
      {"met_uchar", Elem::U8}, {"met_char", Elem::S8}, {"met_ushort", Elem::U16}, {"met_short", Elem::S16},
      {"met_uint", Elem::U32}, {"met_int", Elem::S32}, {"met_float", Elem::F32}, {"met_double", Elem::F64}};
  auto t = kTypes.find(type);
  if (t == kTypes.end()) {
    error = "unsupported MetaImage element type";
    return false;
  }
  L.channels = keys.count("elementnumberofchannels") ? atoi(get("elementnumberofchannels").c_str()) : 1;
  if ((L.channels != 1 && L.channels != 3) || (L.channels == 3 && t->second != Elem::U8)) {
    error = "unsupported channel count";
    return false;
  }
  L.e = t->second;
  const std::string msb = Lower(get("binarydatabyteordermsb").empty() ? get("elementbyteordermsb")
                                                                      : get("binarydatabyteordermsb"));
  L.big = msb == "true";
  L.compressed = Lower(get("compresseddata")) == "true";
  uint64_t frames = 1;
  for (int i = 2; i < ndims; ++i) {
    frames *= (uint64_t)std::max(1L, dims[i]);
    if (frames > DecodeLimit()) break;
  }
  if (dims[0] <= 0 || dims[1] <= 0 || dims[0] > 65535 || dims[1] > 65535 || frames > DecodeLimit()) {
    error = "unsupported dimensions";
    return false;
  }
  L.w = (int)dims[0];
  L.h = (int)dims[1];
  L.frames = (int)frames;
  const std::string dataFile = get("elementdatafile");
  if (Lower(dataFile) == "local") {
    L.file = path;
    if (L.compressed) L.fileOffset = pos;
    else L.offset = pos;
    return CheckLayout(L, error);
  }
  if (Lower(dataFile) == "list" || dataFile.find('%') != std::string::npos) {
    error = "unsupported MetaImage data file";
    return false;
  }
  if (!ResolveDataFile(path, dataFile, L.file, error)) return false;
  const long headerSize = keys.count("headersize") ? atol(get("headersize").c_str()) : 0;
  if (headerSize == -1 && !L.compressed) L.fromEnd = true;
  else if (headerSize > 0) (L.compressed ? L.fileOffset : L.offset) = (uint64_t)headerSize;
  return CheckLayout(L, error);
}

// ---- NIfTI-1 and Analyze 7.5 -------------------------------------------------

bool ParseNifti(const std::string& path, RawLayout& L, std::string& error) {
  const std::string ext = Extension(path);
  const bool single = ext == ".nii" || ext == ".nii.gz";
  const std::string headerPath = single ? path : PairHeader(path, ext);
  if (headerPath.empty()) {
    error = "the header file of the pair is missing";
    return false;
  }
  std::vector<uint8_t> hdr;
  if (!ReadPrefix(headerPath, hdr, 348, EndsWith(headerPath, ".gz")) || !IsAnalyzeHeader(hdr)) {
    error = "not a NIfTI or Analyze header";
    return false;
  }
  const bool big = !(hdr[0] == 0x5C && hdr[1] == 0x01);
  auto s16 = [&](size_t at) { return (int)(int16_t)ReadElem(&hdr[at], Elem::S16, big); };
  auto f32 = [&](size_t at) { return ReadElem(&hdr[at], Elem::F32, big); };
  int dim[8];
  for (int i = 0; i < 8; ++i) dim[i] = s16(40 + 2 * i);
  const int datatype = s16(70);
  const bool nifti = memcmp(&hdr[344], "n+1", 4) == 0 || memcmp(&hdr[344], "ni1", 4) == 0;
  L.slope = nifti ? f32(112) : 1;
  L.intercept = nifti ? f32(116) : 0;
  if (L.slope == 0) L.slope = 1, L.intercept = 0;
  switch (datatype) {
    case 2: L.e = Elem::U8; break;
    case 4: L.e = Elem::S16; break;
    case 8: L.e = Elem::S32; break;
    case 16: L.e = Elem::F32; break;
    case 64: L.e = Elem::F64; break;
    case 128: L.e = Elem::U8; L.channels = 3; break;
    case 256: L.e = Elem::S8; break;
    case 512: L.e = Elem::U16; break;
    case 768: L.e = Elem::U32; break;
    default: error = "unsupported NIfTI data type"; return false;
  }
  if (dim[0] < 2 || dim[0] > 7) {
    error = "bad NIfTI dimensions";
    return false;
  }
  uint64_t frames = 1;
  for (int i = 3; i <= dim[0]; ++i) frames *= (uint64_t)std::max(1, dim[i]);
  if (frames > DecodeLimit()) {
    error = "the image is larger than the library takes (1 GiB)";
    return false;
  }
  L.big = big;
  L.w = dim[1];
  L.h = dim[2];
  L.frames = (int)frames;
  L.flipRows = true;
  const double vox = f32(108);
  if (single) {
    L.file = path;
    L.offset = vox >= 348 && vox < 1e9 ? (uint64_t)vox : 352;
  } else {
    L.file.clear();
    if (ext == ".hdr" || ext == ".hdr.gz") {
      const std::string base = path.substr(0, path.size() - ext.size());
      for (const char* x : {".img", ".IMG", ".img.gz"})
        if (FileExists(base + x)) { L.file = base + x; break; }
    } else {
      L.file = path;
    }
    if (L.file.empty()) {
      error = "the image file of the pair cannot be read";
      return false;
    }
    L.offset = vox > 0 && vox < 1e9 ? (uint64_t)vox : 0;
  }
  L.compressed = EndsWith(Lower(L.file), ".gz");
  return CheckLayout(L, error);
}

// ---- NRRD ---------------------------------------------------------------------

bool ParseNrrd(const std::string& path, RawLayout& L, std::string& error) {
  std::vector<uint8_t> file;
  if (!ReadPrefix(path, file, 1 << 20, false)) {
    error = "the file cannot be read";
    return false;
  }
  std::map<std::string, std::string> f;
  size_t pos = 0;
  bool first = true, ended = false;
  while (pos < file.size()) {
    size_t eol = pos;
    while (eol < file.size() && file[eol] != '\n') ++eol;
    std::string line((const char*)&file[pos], eol - pos);
    pos = std::min(file.size(), eol + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (first) {
      first = false;
      if (line.compare(0, 4, "NRRD") != 0) { error = "not a NRRD file"; return false; }
      continue;
    }
    if (line.empty()) { ended = true; break; }
    if (line[0] == '#') continue;
    size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string key = Lower(Trim(line.substr(0, colon)));
    std::string value = line.substr(colon + 1);
    if (!value.empty() && value[0] == '=') value.erase(0, 1);
    f[key] = Trim(value);
  }
  auto get = [&](const char* k) { auto it = f.find(k); return it == f.end() ? std::string() : it->second; };
  const int dimension = atoi(get("dimension").c_str());
  std::vector<long> sizes;
  {
    std::string s = get("sizes");
    const char* p = s.c_str();
    for (;;) {
      char* end;
      long d = strtol(p, &end, 10);
      if (end == p) break;
      sizes.push_back(d);
      p = end;
    }
  }
  if (dimension < 2 || dimension > 16 || (int)sizes.size() < dimension) {
    error = "NRRD header without sizes";
    return false;
  }
  static const std::map<std::string, Elem> kTypes = {
      {"uchar", Elem::U8}, {"unsigned char", Elem::U8}, {"uint8", Elem::U8}, {"uint8_t", Elem::U8},
      {"signed char", Elem::S8}, {"int8", Elem::S8}, {"int8_t", Elem::S8},
      {"short", Elem::S16}, {"short int", Elem::S16}, {"signed short", Elem::S16}, {"signed short int", Elem::S16},
      {"int16", Elem::S16}, {"int16_t", Elem::S16},
      {"ushort", Elem::U16}, {"unsigned short", Elem::U16}, {"unsigned short int", Elem::U16},
      {"uint16", Elem::U16}, {"uint16_t", Elem::U16},
      {"int", Elem::S32}, {"signed int", Elem::S32}, {"int32", Elem::S32}, {"int32_t", Elem::S32},
      {"uint", Elem::U32}, {"unsigned int", Elem::U32}, {"uint32", Elem::U32}, {"uint32_t", Elem::U32},
      {"float", Elem::F32}, {"double", Elem::F64}};
  auto t = kTypes.find(Lower(get("type")));
  if (t == kTypes.end()) {
    error = "unsupported NRRD type";
    return false;
  }
  L.e = t->second;
  const std::string enc = Lower(get("encoding"));
  L.big = Lower(get("endian")) == "big";
  int axis0 = 0;
  const std::string kinds = Lower(get("kinds"));
  if (t->second == Elem::U8 && sizes[0] == 3 && dimension >= 3 &&
      (kinds.compare(0, 9, "rgb-color") == 0 || kinds.compare(0, 7, "3-color") == 0 || kinds.compare(0, 6, "vector") == 0))
    axis0 = 1, L.channels = 3;
  uint64_t frames = 1;
  for (int i = axis0 + 2; i < dimension; ++i) {
    frames *= (uint64_t)std::max(1L, sizes[i]);
    if (frames > DecodeLimit()) break;
  }
  const long w = sizes[axis0], h = sizes[axis0 + 1];
  if (w <= 0 || h <= 0 || w > 65535 || h > 65535 || frames > DecodeLimit()) {
    error = "unsupported dimensions";
    return false;
  }
  L.w = (int)w;
  L.h = (int)h;
  L.frames = (int)frames;
  if (enc == "gzip" || enc == "gz") L.compressed = true;
  else if (enc != "raw") {
    error = "unsupported NRRD encoding";
    return false;
  }
  const std::string dataFile = get("data file").empty() ? get("datafile") : get("data file");
  if (!dataFile.empty()) {
    if (!ResolveDataFile(path, dataFile, L.file, error)) return false;
  } else {
    if (!ended) {
      error = "the NRRD header has no end";
      return false;
    }
    L.file = path;
    (L.compressed ? L.fileOffset : L.offset) = pos;
  }
  return CheckLayout(L, error);
}

// ---- MINC 1 (NetCDF classic) ----------------------------------------------------

struct CdfReader {
  const std::vector<uint8_t>& d;
  size_t pos = 4;
  bool ok = true;
  bool offset64 = false;
  explicit CdfReader(const std::vector<uint8_t>& data) : d(data) {}
  uint32_t U32() {
    if (pos + 4 > d.size()) { ok = false; return 0; }
    uint32_t v = (uint32_t)d[pos] << 24 | d[pos + 1] << 16 | d[pos + 2] << 8 | d[pos + 3];
    pos += 4;
    return v;
  }
  uint64_t Offset() {
    if (!offset64) return U32();
    const uint64_t hi = U32();
    return hi << 32 | U32();
  }
  std::string Name() {
    uint32_t n = U32();
    if (!ok || n > 4096 || pos + n > d.size()) { ok = false; return std::string(); }
    std::string s((const char*)&d[pos], n);
    pos += (n + 3) & ~3u;
    return s;
  }
  static size_t TypeSize(uint32_t t) { return t == 1 || t == 2 ? 1 : t == 3 ? 2 : t == 4 || t == 5 ? 4 : t == 6 ? 8 : 0; }
  // Skips (or returns as text) an attribute list.
  void Attributes(std::map<std::string, std::string>* out) {
    uint32_t tag = U32(), n = U32();
    if (tag == 0) return;
    if (tag != 0x0C || n > 100000) { ok = false; return; }
    for (uint32_t i = 0; i < n && ok; ++i) {
      std::string name = Name();
      uint32_t type = U32(), count = U32();
      size_t bytes = TypeSize(type) * (size_t)count;
      if (!ok || TypeSize(type) == 0 || bytes > d.size() || pos + bytes > d.size()) { ok = false; return; }
      if (out && type == 2) (*out)[name] = std::string((const char*)&d[pos], bytes);
      pos += (bytes + 3) & ~(size_t)3;
    }
  }
};

bool ParseMinc(const std::string& path, RawLayout& L, std::string& error) {
  // The header comes first; 16 MiB is far more than any real one needs.
  std::vector<uint8_t> d;
  if (!ReadPrefix(path, d, 16 << 20, false) || d.size() < 8 || memcmp(d.data(), "CDF", 3) != 0) {
    error = "not a MINC 1 file";
    return false;
  }
  CdfReader r(d);
  r.offset64 = d[3] == 2;
  r.U32();  // record count
  std::vector<std::pair<std::string, uint32_t>> dims;
  uint32_t tag = r.U32(), n = r.U32();
  if (tag == 0x0A)
    for (uint32_t i = 0; i < n && r.ok && i < 1024; ++i) {
      std::string name = r.Name();
      dims.emplace_back(name, r.U32());
    }
  r.Attributes(nullptr);
  tag = r.U32();
  n = r.U32();
  if (!r.ok || tag != 0x0B) {
    error = "MINC file without variables";
    return false;
  }
  for (uint32_t i = 0; i < n && r.ok && i < 4096; ++i) {
    std::string name = r.Name();
    uint32_t ndims = r.U32();
    std::vector<uint32_t> ids;
    for (uint32_t k = 0; k < ndims && r.ok && k < 64; ++k) ids.push_back(r.U32());
    std::map<std::string, std::string> atts;
    r.Attributes(&atts);
    uint32_t type = r.U32();
    r.U32();  // size
    uint64_t begin = r.Offset();
    if (!r.ok) break;
    if (name != "image") continue;
    if (ids.size() < 2) break;
    std::vector<uint64_t> shape;
    for (uint32_t id : ids) {
      if (id >= dims.size()) { error = "bad MINC dimension"; return false; }
      shape.push_back(dims[id].second);
    }
    const bool isSigned = atts.count("signtype") ? atts["signtype"].compare(0, 6, "signed") == 0 : type != 1;
    switch (type) {
      case 1: case 2: L.e = isSigned ? Elem::S8 : Elem::U8; break;
      case 3: L.e = isSigned ? Elem::S16 : Elem::U16; break;
      case 4: L.e = isSigned ? Elem::S32 : Elem::U32; break;
      case 5: L.e = Elem::F32; break;
      case 6: L.e = Elem::F64; break;
      default: error = "unsupported MINC type"; return false;
    }
    const uint64_t w = shape[shape.size() - 1], h = shape[shape.size() - 2];
    uint64_t frames = 1;
    for (size_t k = 0; k + 2 < shape.size(); ++k) {
      frames *= std::max<uint64_t>(1, shape[k]);
      if (frames > DecodeLimit()) break;
    }
    if (w == 0 || h == 0 || w > 65535 || h > 65535 || frames > DecodeLimit()) {
      error = "unsupported dimensions";
      return false;
    }
    L.w = (int)w;
    L.h = (int)h;
    L.frames = (int)frames;
    L.big = true;
    L.flipRows = true;
    L.file = path;
    L.offset = begin;
    return CheckLayout(L, error);
  }
  error = "MINC file without an image variable";
  return false;
}

bool ParseLayout(Kind kind, const std::string& path, RawLayout& L, std::string& error) {
  switch (kind) {
    case Kind::MetaImage: return ParseMeta(path, L, error);
    case Kind::Nifti: case Kind::Analyze: return ParseNifti(path, L, error);
    case Kind::Nrrd: return ParseNrrd(path, L, error);
    case Kind::Minc: return ParseMinc(path, L, error);
    default: error = "unknown file type"; return false;
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
  if (n >= 348 && IsAnalyzeHeader(head) && memcmp(&head[344], "n+1", 4) == 0) return Kind::Nifti;
  if (!gz && n >= 4 && (memcmp(head.data(), "II*\0", 4) == 0 || memcmp(head.data(), "MM\0*", 4) == 0 ||
                        memcmp(head.data(), "II+\0", 4) == 0 || memcmp(head.data(), "MM\0+", 4) == 0))
    return Kind::Tiff;
  if (!gz && n >= 3 && head[0] == 'P' && head[1] >= '1' && head[1] <= '6' &&
      (isspace(head[2]) || head[2] == '#'))
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
    if (!h.empty() && ReadPrefix(h, hh, 348, EndsWith(h, ".gz")) && IsAnalyzeHeader(hh))
      return memcmp(&hh[344], "ni1", 4) == 0 ? Kind::Nifti : Kind::Analyze;
  }
  return Kind::None;
}

bool LoadOtherFormat(Kind kind, const std::string& path, Volume& v, std::string& error) {
  RawLayout L;
  return ParseLayout(kind, path, L, error) && LoadLayout(L, v, error);
}

bool ReadOtherFormatInfo(Kind kind, const std::string& path, int& width, int& height, int& frames,
                         std::string& error) {
  RawLayout L;
  if (!ParseLayout(kind, path, L, error)) return false;
  width = L.w;
  height = L.h;
  frames = L.frames;
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
