// MetaImage (.mha with the samples inside, .mhd with them beside it).
#include <string.h>
#include <algorithm>
#include <cstdlib>
#include <map>

#include "modules/quillfen/QfRawData.h"

namespace qf {

namespace {

// Stored axis directions in the patient's left, posterior, superior frame:
// the first n numbers of the matrix are the first axis.
bool MetaAxes(const std::map<std::string, std::string>& keys, int ndims, RawLayout& L) {
  for (const char* k : {"transformmatrix", "rotation", "orientation"}) {
    auto it = keys.find(k);
    if (it == keys.end()) continue;
    const std::vector<double> m = Numbers(it->second);
    if (ndims < 2 || (int)m.size() < ndims * ndims) return false;
    const int n = std::min(ndims, 3);
    for (int i = 0; i < 3; ++i)
      for (int k2 = 0; k2 < 3; ++k2) L.axes[i][k2] = i < n && k2 < n ? m[(size_t)i * ndims + k2] : (i == k2 ? 1 : 0);
    return true;
  }
  // Letters name the side each axis comes from: "RAI" runs left, back, up.
  auto it = keys.find("anatomicalorientation");
  if (it == keys.end() || it->second.size() < 3) return false;
  for (int i = 0; i < 3; ++i) {
    const char c = (char)toupper((unsigned char)it->second[i]);
    const char* sides = "RLAPIS";
    const char* at = strchr(sides, c);
    if (!c || !at) return false;
    const int side = (int)(at - sides);
    for (int k = 0; k < 3; ++k) L.axes[i][k] = 0;
    L.axes[i][side / 2] = side % 2 == 0 ? 1 : -1;
  }
  return true;
}

}  // namespace

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
  auto nextLine = [&](std::string& line) {
    size_t eol = pos;
    while (eol < file.size() && file[eol] != '\n') ++eol;
    if (eol == file.size()) return false;  // the header's last line must be complete
    line.assign((const char*)&file[pos], eol - pos);
    pos = eol + 1;
    return true;
  };
  std::string line;
  while (!ended && nextLine(line)) {
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
  auto get = [&](const char* k) {
    auto it = keys.find(k);
    return it == keys.end() ? std::string() : it->second;
  };
  const int ndims = atoi(get("ndims").c_str());
  const std::vector<double> dimsD = Numbers(get("dimsize"));
  if (ndims < 2 || ndims > 16 || (int)dimsD.size() < ndims) {
    error = "MetaImage header without dimensions";
    return false;
  }
  std::vector<uint64_t> dims;
  if (!WholeSizes(dimsD, ndims, dims, error)) return false;
  static const std::map<std::string, Elem> kTypes = {
      {"met_uchar", Elem::U8},      {"met_char", Elem::S8},   {"met_ushort", Elem::U16},
      {"met_short", Elem::S16},     {"met_uint", Elem::U32},  {"met_int", Elem::S32},
      {"met_ulong", Elem::U32},     {"met_long", Elem::S32},  {"met_ulong_long", Elem::U64},
      {"met_long_long", Elem::S64}, {"met_float", Elem::F32}, {"met_double", Elem::F64}};
  auto t = kTypes.find(Lower(get("elementtype")));
  if (t == kTypes.end()) {
    error = "unsupported MetaImage element type";
    return false;
  }
  L.e = t->second;
  L.channels = keys.count("elementnumberofchannels") ? atoi(get("elementnumberofchannels").c_str()) : 1;
  const std::string msb =
      Lower(get("binarydatabyteordermsb").empty() ? get("elementbyteordermsb") : get("binarydatabyteordermsb"));
  L.big = msb == "true";
  if (Lower(get("compresseddata")) == "true") L.encoding = Encoding::Gzip;
  if (dims[0] > 65535 || dims[1] > 65535) {
    error = "unsupported dimensions";
    return false;
  }
  L.w = (int)dims[0];
  L.h = (int)dims[1];
  std::vector<uint64_t> time;
  if (ndims > 3) time.assign(dims.begin() + 3, dims.end());
  if (!FrameCount({ndims > 2 ? dims[2] : 1}, L.slices, error) || !FrameCount(time, L.volumes, error)) return false;
  L.oriented = MetaAxes(keys, ndims, L);
  const uint64_t total = L.SampleCount() * (uint64_t)std::max(1, L.channels);

  const std::string dataFile = get("elementdatafile");
  std::vector<std::string> files;
  if (Lower(dataFile) == "local") {
    Segment s;
    s.file = path;
    s.start = pos;
    s.samples = total;
    L.segments.push_back(s);
    return CheckLayout(L, error);
  }
  if (Lower(dataFile.substr(0, 4)) == "list") {
    while (nextLine(line)) {
      const std::string name = Trim(line);
      if (name.empty()) continue;
      std::string full;
      if (!ResolveDataFile(path, name, full, error)) return false;
      files.push_back(full);
    }
  } else if (dataFile.find('%') != std::string::npos) {
    if (!PatternFiles(path, dataFile, "diu", files, error)) return false;
  } else {
    files.emplace_back();
    if (!ResolveDataFile(path, dataFile, files[0], error)) return false;
  }
  if (files.empty() || total % files.size() != 0) {
    error = "the data files do not add up to the image";
    return false;
  }
  const long headerSize = keys.count("headersize") ? atol(get("headersize").c_str()) : 0;
  for (const std::string& f : files) {
    Segment s;
    s.file = f;
    s.samples = total / files.size();
    if (headerSize == -1 && L.encoding == Encoding::Raw)
      s.byteSkip = -1;
    else if (headerSize > 0)
      s.start = (uint64_t)headerSize;
    L.segments.push_back(s);
  }
  return CheckLayout(L, error);
}

}  // namespace qf
