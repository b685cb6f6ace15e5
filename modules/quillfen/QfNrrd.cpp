// NRRD: header with the samples after it or in data files beside it, in
// every encoding but bzip2, with line and byte skips.
#include <string.h>
#include <algorithm>
#include <cstdlib>
#include <map>

#include "modules/quillfen/QfRawData.h"

#ifdef QF_WITH_TEEM
#include <mutex>
#include <teem/nrrd.h>
#endif

namespace qf {

namespace {

std::vector<std::string> Words(const std::string& s) {
  std::vector<std::string> out;
  const char* p = s.c_str();
  while (*p) {
    while (*p && isspace((unsigned char)*p)) ++p;
    const char* b = p;
    while (*p && !isspace((unsigned char)*p)) ++p;
    if (p > b) out.emplace_back(b, p);
  }
  return out;
}

// The vectors of "space directions", one per axis; an empty one for "none".
std::vector<std::vector<double>> Directions(const std::string& s) {
  std::vector<std::vector<double>> out;
  size_t at = 0;
  while (at < s.size()) {
    while (at < s.size() && isspace((unsigned char)s[at])) ++at;
    if (at >= s.size()) break;
    if (s[at] == '(') {
      const size_t end = s.find(')', at);
      if (end == std::string::npos) break;
      out.push_back(Numbers(s.substr(at + 1, end - at - 1)));
      at = end + 1;
    } else {
      size_t end = at;
      while (end < s.size() && !isspace((unsigned char)s[end])) ++end;
      out.emplace_back();
      at = end;
    }
  }
  return out;
}

}  // namespace

bool ParseNrrd(const std::string& path, RawLayout& L, std::string& error) {
  std::vector<uint8_t> file;
  if (!ReadPrefix(path, file, 1 << 20, false)) {
    error = "the file cannot be read";
    return false;
  }
  std::map<std::string, std::string> f;
  std::vector<std::string> listed;
  size_t pos = 0;
  bool first = true, ended = false, list = false;
  while (pos < file.size()) {
    size_t eol = pos;
    while (eol < file.size() && file[eol] != '\n') ++eol;
    // A last line without its end counts only when the whole file was read.
    if (eol == file.size() && file.size() >= (1u << 20)) break;
    std::string line((const char*)&file[pos], eol - pos);
    pos = std::min(file.size(), eol + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (first) {
      first = false;
      // The magics of the NRRD versions there are: teem reads anything else
      // as text, PNM or VTK, which is not asked of it here.
      if (line.size() < 8 || line.compare(0, 7, "NRRD000") != 0 || line[7] < '1' || line[7] > '5') {
        error = "not a NRRD file (or one of a version that is not read)";
        return false;
      }
      continue;
    }
    if (list) {
      // After "data file: LIST" every further line names a data file.
      if (!Trim(line).empty()) listed.push_back(Trim(line));
      continue;
    }
    if (line.empty()) {
      ended = true;
      break;
    }
    if (line[0] == '#') continue;
    size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string key = Lower(Trim(line.substr(0, colon)));
    std::string value = line.substr(colon + 1);
    if (!value.empty() && value[0] == '=') continue;  // key/value pairs of the user
    value = Trim(value);
    f[key] = value;
    if ((key == "data file" || key == "datafile") && Lower(Words(value).empty() ? "" : Words(value)[0]) == "list")
      list = true;
  }
  auto get = [&](const char* k) {
    auto it = f.find(k);
    return it == f.end() ? std::string() : it->second;
  };
  const int dimension = atoi(get("dimension").c_str());
  const std::vector<double> sizesD = Numbers(get("sizes"));
  if (dimension < 1 || dimension > 16 || (int)sizesD.size() < dimension) {
    error = "NRRD header without sizes";
    return false;
  }
  std::vector<uint64_t> sizes;
  if (!WholeSizes(sizesD, dimension, sizes, error)) return false;
  static const std::map<std::string, Elem> kTypes = {{"uchar", Elem::U8},
                                                     {"unsigned char", Elem::U8},
                                                     {"uint8", Elem::U8},
                                                     {"uint8_t", Elem::U8},
                                                     {"signed char", Elem::S8},
                                                     {"int8", Elem::S8},
                                                     {"int8_t", Elem::S8},
                                                     {"short", Elem::S16},
                                                     {"short int", Elem::S16},
                                                     {"signed short", Elem::S16},
                                                     {"signed short int", Elem::S16},
                                                     {"int16", Elem::S16},
                                                     {"int16_t", Elem::S16},
                                                     {"ushort", Elem::U16},
                                                     {"unsigned short", Elem::U16},
                                                     {"unsigned short int", Elem::U16},
                                                     {"uint16", Elem::U16},
                                                     {"uint16_t", Elem::U16},
                                                     {"int", Elem::S32},
                                                     {"signed int", Elem::S32},
                                                     {"int32", Elem::S32},
                                                     {"int32_t", Elem::S32},
                                                     {"uint", Elem::U32},
                                                     {"unsigned int", Elem::U32},
                                                     {"uint32", Elem::U32},
                                                     {"uint32_t", Elem::U32},
                                                     {"longlong", Elem::S64},
                                                     {"long long", Elem::S64},
                                                     {"long long int", Elem::S64},
                                                     {"signed long long", Elem::S64},
                                                     {"signed long long int", Elem::S64},
                                                     {"int64", Elem::S64},
                                                     {"int64_t", Elem::S64},
                                                     {"ulonglong", Elem::U64},
                                                     {"unsigned long long", Elem::U64},
                                                     {"unsigned long long int", Elem::U64},
                                                     {"uint64", Elem::U64},
                                                     {"uint64_t", Elem::U64},
                                                     {"float", Elem::F32},
                                                     {"double", Elem::F64}};
  auto t = kTypes.find(Lower(get("type")));
  if (t == kTypes.end()) {
    error = "unsupported NRRD type (block samples are not shown)";
    return false;
  }
  L.e = t->second;
  L.big = Lower(get("endian")) == "big";
  const std::string enc = Lower(get("encoding"));
  if (enc == "raw")
    L.encoding = Encoding::Raw;
  else if (enc == "gzip" || enc == "gz")
    L.encoding = Encoding::Gzip;
  else if (enc == "ascii" || enc == "text" || enc == "txt")
    L.encoding = Encoding::Ascii;
  else if (enc == "hex")
    L.encoding = Encoding::Hex;
  else if (enc == "bzip2" || enc == "bz2") {
#ifdef QF_WITH_TEEM
    L.encoding = Encoding::Bzip2;
#else
    error = "NRRD data compressed with bzip2 is not read";
    return false;
#endif
  } else {
    error = "unsupported NRRD encoding";
    return false;
  }
  // A first axis of 3 or 4 colour samples; the others are columns, rows,
  // slices and volumes.
  const std::vector<std::string> kinds = Words(Lower(get("kinds")));
  int axis0 = 0;
  if (dimension >= 3 && (sizes[0] == 3 || sizes[0] == 4) && !kinds.empty() &&
      (kinds[0] == "rgb-color" || kinds[0] == "rgba-color" || kinds[0] == "3-color" || kinds[0] == "4-color" ||
       kinds[0] == "vector" || kinds[0] == "3-vector" || kinds[0] == "4-vector")) {
    axis0 = 1;
    L.channels = (int)sizes[0];
  }
  if (dimension - axis0 < 2) {
    error = "a NRRD of one axis is not an image";
    return false;
  }
  if (sizes[axis0] > 65535 || sizes[axis0 + 1] > 65535) {
    error = "unsupported dimensions";
    return false;
  }
  L.w = (int)sizes[axis0];
  L.h = (int)sizes[axis0 + 1];
  std::vector<uint64_t> rest(sizes.begin() + axis0 + std::min(dimension - axis0, 3), sizes.end());
  if (!FrameCount({dimension - axis0 > 2 ? sizes[axis0 + 2] : 1}, L.slices, error) ||
      !FrameCount(rest, L.volumes, error))
    return false;

  // Orientation from an anatomical space and the directions of the first
  // three image axes.
  const std::string space = Lower(get("space"));
  double flipX = 0, flipY = 0;
  if (space == "right-anterior-superior" || space == "ras" || space == "right-anterior-superior-time" ||
      space == "rast")
    flipX = flipY = -1;
  else if (space == "left-anterior-superior" || space == "las" || space == "left-anterior-superior-time" ||
           space == "last")
    flipX = 1, flipY = -1;
  else if (space == "left-posterior-superior" || space == "lps" || space == "left-posterior-superior-time" ||
           space == "lpst")
    flipX = flipY = 1;
  if (flipX != 0) {
    const std::vector<std::vector<double>> dirs = Directions(get("space directions"));
    const int spatial = std::min(dimension - axis0, 3);
    bool ok = (int)dirs.size() >= dimension;
    for (int a = 0; a < spatial && ok; ++a) {
      const std::vector<double>& d = dirs[axis0 + a];
      ok = d.size() >= 3;
      if (ok) L.axes[a][0] = d[0] * flipX, L.axes[a][1] = d[1] * flipY, L.axes[a][2] = d[2];
    }
    if (ok && spatial == 2) {
      // A single slice: its normal completes the frame.
      const double(&u)[3] = L.axes[0];
      const double(&v)[3] = L.axes[1];
      L.axes[2][0] = u[1] * v[2] - u[2] * v[1];
      L.axes[2][1] = u[2] * v[0] - u[0] * v[2];
      L.axes[2][2] = u[0] * v[1] - u[1] * v[0];
    }
    L.oriented = ok;
  }

  const uint64_t total = L.SampleCount() * (uint64_t)L.channels;
  const int64_t byteSkip = atoll(get("byte skip").empty() ? get("byteskip").c_str() : get("byte skip").c_str());
  const int64_t lineSkip = atoll(get("line skip").empty() ? get("lineskip").c_str() : get("line skip").c_str());
  if (byteSkip < -1 || lineSkip < 0 || (byteSkip == -1 && L.encoding != Encoding::Raw)) {
    error = "bad NRRD skip";
    return false;
  }
  const std::string dataFile = get("data file").empty() ? get("datafile") : get("data file");
  std::vector<std::string> files;
  if (dataFile.empty()) {
    if (!ended) {
      error = "the NRRD header has no end";
      return false;
    }
    files.push_back(path);
  } else if (list) {
    for (const std::string& name : listed) {
      files.emplace_back();
      if (!ResolveDataFile(path, name, files.back(), error)) return false;
    }
  } else if (dataFile.find('%') != std::string::npos) {
    if (!PatternFiles(path, dataFile, files, error)) return false;
  } else {
    files.emplace_back();
    if (!ResolveDataFile(path, dataFile, files[0], error)) return false;
  }
  if (files.empty() || total % files.size() != 0) {
    error = "the data files do not add up to the image";
    return false;
  }
  for (const std::string& name : files) {
    Segment s;
    s.file = name;
    s.start = dataFile.empty() ? pos : 0;
    s.lineSkip = (uint64_t)lineSkip;
    s.byteSkip = byteSkip;
    s.samples = total / files.size();
    L.segments.push_back(s);
  }
  return CheckLayout(L, error);
}

#ifdef QF_WITH_TEEM
// teem reads every encoding, skip and data file run itself; what it reads
// must be the image the header check above described. Its error messages
// are kept in one global store, so one load at a time.
bool LoadNrrdSamples(const std::string& path, const RawLayout& L, Volume& v, std::string& error, bool& done) {
  done = true;
  // teem does not check the checksums of gzip data; every stream is checked
  // to its end first.
  if (!VerifyLayoutStreams(L, error)) return false;
  static std::mutex lock;
  std::lock_guard<std::mutex> guard(lock);
  nrrdStateVerboseIO = 0;
  Nrrd* n = nrrdNew();
  if (nrrdLoad(n, path.c_str(), nullptr) != 0) {
    char* why = biffGetDone(NRRD);
    error = std::string("teem cannot read the NRRD file: ") + (why ? Trim(why) : "");
    free(why);
    nrrdNuke(n);
    return false;
  }
  static const Elem kElem[] = {Elem::U8,  Elem::S8,  Elem::U8,  Elem::S16, Elem::U16, Elem::S32,
                               Elem::U32, Elem::S64, Elem::U64, Elem::F32, Elem::F64};
  RawLayout got = L;
  got.big = false;  // teem hands samples over in the machine's order
  uint64_t count = 1;
  for (unsigned i = 0; i < n->dim; ++i) count *= n->axis[i].size;
  const bool known = n->type >= nrrdTypeChar && n->type <= nrrdTypeDouble;
  if (!n->data || !known || kElem[n->type] != L.e || count * (uint64_t)nrrdTypeSize[n->type] != L.DataBytes()) {
    error = "teem read another image than the NRRD header describes";
    nrrdNuke(n);
    return false;
  }
  const bool ok = FillLayout(got, (const uint8_t*)n->data, (size_t)L.DataBytes(), v, error);
  nrrdNuke(n);
  return ok;
}
#else
bool LoadNrrdSamples(const std::string&, const RawLayout&, Volume&, std::string&, bool& done) {
  done = false;
  return false;
}
#endif

}  // namespace qf
