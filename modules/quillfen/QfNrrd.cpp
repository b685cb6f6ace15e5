// NRRD: header with the samples after it or in data files beside it, in
// every encoding (bzip2 through teem), with line and byte skips. teem reads the samples;
// the header is read here the way teem reads it, and teem's own reading of
// it must name the same files, skips and samples before anything is shown.
#include <stdio.h>
#include <string.h>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>

#include "modules/quillfen/QfRawData.h"

#ifdef QF_WITH_TEEM
#include <mutex>
#include <teem/nrrd.h>
#endif

namespace qf {

namespace {

// Words between spaces and tabs, as teem splits a field's values.
std::vector<std::string> Words(const std::string& s) {
  std::vector<std::string> out;
  const char* p = s.c_str();
  while (*p) {
    while (*p == ' ' || *p == '\t') ++p;
    const char* b = p;
    while (*p && *p != ' ' && *p != '\t') ++p;
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

constexpr size_t kHeaderRead = 1 << 20;
// teem formats its messages, which quote a field's value or a data file's
// name, into a buffer of 1 KiB on the stack: longer ones are refused first.
constexpr size_t kLongestValue = 512;

// The header's fields by teem's names, and the data file names listed after
// "data file: LIST".
struct NrrdHeader {
  std::map<std::string, std::string> fields;
  std::vector<std::string> listed;
  bool ended = false;        // a blank line ended it
  bool sizesFirst = false;   // dimension and sizes came before the data file
  uint64_t end = 0;          // where attached data begins
  std::string Get(const char* name) const {
    auto it = fields.find(name);
    return it == fields.end() ? std::string() : it->second;
  }
};

// teem's field names, in any case, with their other spellings.
const char* FieldName(const std::string& text) {
  static const std::map<std::string, const char*> kNames = {
      {"content", "content"},
      {"number", "number"},
      {"type", "type"},
      {"block size", "block size"},
      {"blocksize", "block size"},
      {"dimension", "dimension"},
      {"space", "space"},
      {"space dimension", "space dimension"},
      {"spacedimension", "space dimension"},
      {"sizes", "sizes"},
      {"spacings", "spacings"},
      {"thicknesses", "thicknesses"},
      {"axis mins", "axis mins"},
      {"axismins", "axis mins"},
      {"axis maxs", "axis maxs"},
      {"axismaxs", "axis maxs"},
      {"space directions", "space directions"},
      {"spacedirections", "space directions"},
      {"centers", "centers"},
      {"centerings", "centers"},
      {"kinds", "kinds"},
      {"labels", "labels"},
      {"units", "units"},
      {"min", "min"},
      {"max", "max"},
      {"old min", "old min"},
      {"oldmin", "old min"},
      {"old max", "old max"},
      {"oldmax", "old max"},
      {"endian", "endian"},
      {"encoding", "encoding"},
      {"line skip", "line skip"},
      {"lineskip", "line skip"},
      {"byte skip", "byte skip"},
      {"byteskip", "byte skip"},
      {"sample units", "sample units"},
      {"sampleunits", "sample units"},
      {"space units", "space units"},
      {"spaceunits", "space units"},
      {"space origin", "space origin"},
      {"spaceorigin", "space origin"},
      {"measurement frame", "measurement frame"},
      {"measurementframe", "measurement frame"},
      {"data file", "data file"},
      {"datafile", "data file"}};
  auto it = kNames.find(Lower(text));
  return it == kNames.end() ? nullptr : it->second;
}

// The next line as teem cuts it: "\n", "\r" or "\r\n" ends it; a last line
// without its end is no line.
bool NextLine(const std::vector<uint8_t>& d, size_t& pos, std::string& line) {
  size_t eol = pos;
  while (eol < d.size() && d[eol] != '\n' && d[eol] != '\r') ++eol;
  if (eol >= d.size()) return false;
  line.assign((const char*)&d[pos], eol - pos);
  pos = eol + 1;
  if (d[eol] == '\r' && pos < d.size() && d[pos] == '\n') ++pos;
  return true;
}

bool ReadNrrdHeader(const std::string& path, NrrdHeader& h, std::string& error) {
  std::vector<uint8_t> file;
  if (!ReadPrefix(path, file, kHeaderRead, false)) {
    error = "the file cannot be read";
    return false;
  }
  const bool whole = file.size() < kHeaderRead || FileSize(path) == file.size();
  size_t pos = 0;
  std::string line;
  // The magics of the NRRD versions there are: teem reads anything else as
  // text, PNM or VTK, which is not asked of it here.
  if (!NextLine(file, pos, line) || line.size() != 8 || line.compare(0, 7, "NRRD000") != 0 || line[7] < '1' ||
      line[7] > '5') {
    error = "not a NRRD file (or one of a version that is not read)";
    return false;
  }
  bool list = false;
  while (NextLine(file, pos, line)) {
    // teem's text of a line with a NUL in it depends on how it read the line.
    if (line.find('\0') != std::string::npos) {
      error = "a line of the NRRD header holds a NUL byte";
      return false;
    }
    if (list) {
      // After "data file: LIST" every further line names a data file.
      h.listed.push_back(line);
      continue;
    }
    if (line.empty()) {
      h.ended = true;
      break;
    }
    if (line[0] == '#') continue;
    const size_t sep = line.find(": ");
    const char* name = sep == std::string::npos ? nullptr : FieldName(line.substr(0, sep));
    if (!name) {
      if (line.find(":=") != std::string::npos) continue;  // key/value pairs of the user
      error = "a line of the NRRD header is not a field teem knows";
      return false;
    }
    if (h.fields.count(name)) {
      error = std::string("the NRRD header gives its ") + name + " twice";
      return false;
    }
    if (line.size() > kLongestValue && strcmp(name, "content") != 0) {
      error = std::string("the NRRD header's ") + name + " is longer than teem takes";
      return false;
    }
    const size_t value = line.find_first_not_of(" \t", sep + 2);
    h.fields[name] = value == std::string::npos ? std::string() : line.substr(value);
    if (strcmp(name, "data file") == 0) {
      h.sizesFirst = h.fields.count("dimension") && h.fields.count("sizes");
      list = h.fields[name].compare(0, 4, "LIST") == 0;
    }
  }
  // teem takes a last line without its end as a line or not by the size of
  // its line buffer at the time.
  if (!h.ended && pos < file.size()) {
    error = "the NRRD header's last line has no end";
    return false;
  }
  h.end = pos;
  // What teem would read past the part read here could change the header.
  if (!whole && (!h.ended || list)) {
    error = "the NRRD header is longer than the library reads";
    return false;
  }
  return true;
}

// Sample type, byte order and encoding.
bool NrrdSamples(const NrrdHeader& h, RawLayout& L, std::string& error) {
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
  auto t = kTypes.find(Lower(h.Get("type")));
  if (t == kTypes.end()) {
    error = "unsupported NRRD type (block samples are not shown)";
    return false;
  }
  L.e = t->second;
  L.big = Lower(h.Get("endian")) == "big";
  const std::string enc = Lower(h.Get("encoding"));
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
  return true;
}

// Axis sizes: a first axis of 3 or 4 colour samples; the others are columns,
// rows, slices and volumes. `axis0` is the first axis of the image.
bool NrrdAxes(const NrrdHeader& h, RawLayout& L, std::vector<uint64_t>& sizes, int& axis0, std::string& error) {
  // As teem reads them: exactly one word for each axis, each its leading digits.
  const int dimension = atoi(h.Get("dimension").c_str());
  const std::vector<std::string> words = Words(h.Get("sizes"));
  sizes.clear();
  for (const std::string& w : words) {
    uint64_t v = 0;
    for (size_t i = 0; i < w.size() && isdigit((unsigned char)w[i]) && v < (1ull << 32); ++i) v = v * 10 + (w[i] - '0');
    sizes.push_back(v);
  }
  if (dimension < 1 || dimension > 16 || (int)sizes.size() != dimension) {
    error = "NRRD header without sizes";
    return false;
  }
  for (uint64_t v : sizes)
    if (v < 1 || v >= (1ull << 32)) {
      error = "unsupported dimensions";
      return false;
    }
  const std::vector<std::string> kinds = Words(Lower(h.Get("kinds")));
  axis0 = 0;
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
  return FrameCount({dimension - axis0 > 2 ? sizes[axis0 + 2] : 1}, L.slices, error) &&
         FrameCount(rest, L.volumes, error);
}

// Orientation from an anatomical space and the directions of the first
// three image axes.
void NrrdOrientation(const NrrdHeader& h, int dimension, int axis0, RawLayout& L) {
  const std::string space = Lower(h.Get("space"));
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
  if (flipX == 0) return;
  const std::vector<std::vector<double>> dirs = Directions(h.Get("space directions"));
  const int spatial = std::min(dimension - axis0, 3);
  bool ok = (int)dirs.size() >= dimension;
  for (int a = 0; a < spatial && ok; ++a) {
    const std::vector<double>& d = dirs[axis0 + a];
    ok = d.size() >= 3;
    if (ok) L.axes[a][0] = d[0] * flipX, L.axes[a][1] = d[1] * flipY, L.axes[a][2] = d[2];
  }
  if (ok && spatial == 2) SliceNormal(L);
  L.oriented = ok;
}

// A data file name exactly as teem takes it, which must also be one that is opened here.
bool NrrdFileName(const std::string& path, const std::string& name, std::string& full, std::string& error) {
  if (!name.empty() && Trim(name) != name) {
    error = "the data file's name begins or ends with spaces";
    return false;
  }
  return ResolveDataFile(path, name, full, error);
}

// Whether `files` data files hold pieces of `pieceDim` axes each, as teem
// checks it: as many as the samples of the other axes, or equal parts of the
// last axis when they have all axes.
bool PiecesFit(const std::vector<uint64_t>& sizes, const std::string& pieceDimText, size_t files) {
  const std::string text = Trim(pieceDimText);
  if (files == 0 || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  const size_t pieceDim = text.empty() ? sizes.size() - 1 : (size_t)atoi(text.c_str());
  if (pieceDim < 1 || pieceDim > sizes.size()) return false;
  if (pieceDim == sizes.size()) return files <= sizes.back() && sizes.back() % files == 0;
  uint64_t pieces = 1;
  for (size_t i = pieceDim; i < sizes.size(); ++i) pieces *= sizes[i];
  return pieces == files;
}

// The files the samples are in, with their skips.
bool NrrdDataFiles(const std::string& path, const NrrdHeader& h, const std::vector<uint64_t>& sizes, RawLayout& L,
                   std::string& error) {
  const std::string byteSkipText = h.Get("byte skip"), lineSkipText = h.Get("line skip");
  const int64_t byteSkip = atoll(byteSkipText.c_str()), lineSkip = atoll(lineSkipText.c_str());
  // A skip of -1 takes the last bytes of raw data or of a gzip stream; teem
  // reads bzip2 data from its start whatever the skip.
  if (byteSkip < -1 || lineSkip < 0 || lineSkip > 0xFFFFFFFFll ||
      (byteSkip == -1 && L.encoding != Encoding::Raw && L.encoding != Encoding::Gzip)) {
    error = "bad NRRD skip";
    return false;
  }
  // A "data file" field, even an empty one, makes the data detached.
  const std::string dataFile = h.Get("data file");
  const bool attached = !h.fields.count("data file");
  std::vector<std::string> files;
  if (attached) {
    if (!h.ended) {
      error = "the NRRD header has no end";
      return false;
    }
    files.push_back(path);
  } else if (dataFile.compare(0, 4, "LIST") == 0) {
    if (!PiecesFit(sizes, dataFile.substr(4), h.listed.size())) {
      error = "the NRRD data file list does not fit the image";
      return false;
    }
    for (const std::string& name : h.listed) {
      files.emplace_back();
      if (!NrrdFileName(path, name, files.back(), error)) return false;
    }
  } else if (dataFile.compare(0, 8, "SKIPLIST") == 0) {
    error = "NRRD data files with skips of their own are not read";
    return false;
  } else if (dataFile.find('%') != std::string::npos) {
    const std::vector<std::string> words = Words(dataFile);
    if (!PatternFiles(path, dataFile, "d", files, error)) return false;
    if (!h.sizesFirst || !PiecesFit(sizes, words.size() > 4 ? words[4] : std::string(), files.size())) {
      error = "the NRRD data file pattern does not fit the image";
      return false;
    }
  } else {
    files.emplace_back();
    if (!NrrdFileName(path, dataFile, files[0], error)) return false;
  }
  const uint64_t total = L.SampleCount() * (uint64_t)L.channels;
  if (files.empty() || total % files.size() != 0) {
    error = "the data files do not add up to the image";
    return false;
  }
  for (const std::string& name : files)
    if (name.size() > kLongestValue) {
      error = "the data file's name is longer than teem takes";
      return false;
    }
  for (const std::string& name : files) {
    Segment s;
    s.file = name;
    s.start = attached ? h.end : 0;
    s.lineSkip = (uint64_t)lineSkip;
    s.byteSkip = byteSkip;
    s.samples = total / files.size();
    L.segments.push_back(s);
  }
  return true;
}

}  // namespace

bool ParseNrrd(const std::string& path, RawLayout& L, std::string& error) {
  NrrdHeader h;
  std::vector<uint64_t> sizes;
  int axis0 = 0;
  if (!ReadNrrdHeader(path, h, error) || !NrrdSamples(h, L, error) || !NrrdAxes(h, L, sizes, axis0, error))
    return false;
  NrrdOrientation(h, (int)sizes.size(), axis0, L);
  return NrrdDataFiles(path, h, sizes, L, error) && CheckLayout(L, error) && NrrdTeemAgrees(path, L, error);
}

#ifdef QF_WITH_TEEM
namespace {

// teem keeps its messages in one global store, so one call at a time.
std::mutex g_teem;

std::string TeemError(const char* what) {
  char* why = biffGetDone(NRRD);
  std::string text = std::string(what) + (why ? ": " + Trim(why) : std::string());
  free(why);
  return text;
}

// The name teem opens for a data file: beside the header unless it starts
// with '/' or a drive, or is "-".
std::string TeemFileName(const NrrdIoState* nio, const char* name) {
  const bool needPath = strcmp(name, "-") != 0 && name[0] && name[1] != ':' && name[0] != '/';
  std::string full = needPath ? std::string(nio->path ? nio->path : "") + "/" + name : std::string(name);
  std::replace(full.begin(), full.end(), '\\', '/');
  return full;
}

std::vector<std::string> TeemFiles(const NrrdIoState* nio) {
  std::vector<std::string> out;
  if (nio->dataFNFormat) {
    char name[1100];
    for (int64_t i = nio->dataFNMin; nio->dataFNStep > 0 ? i <= nio->dataFNMax : i >= nio->dataFNMax;
         i += nio->dataFNStep) {
      if (strlen(nio->dataFNFormat) > 1000 || out.size() > 100000) return {};
      snprintf(name, sizeof name, nio->dataFNFormat, (int)i);
      out.push_back(TeemFileName(nio, name));
    }
  } else {
    for (unsigned i = 0; i < nio->dataFNArr->len; ++i) out.push_back(TeemFileName(nio, nio->dataFN[i]));
  }
  return out;
}

struct TeemRead {
  Nrrd* nrrd = nrrdNew();
  NrrdIoState* nio = nrrdIoStateNew();
  ~TeemRead() {
    if (nio->dataFile) airFclose(nio->dataFile);
    nio->dataFile = nullptr;
    nrrdIoStateNix(nio);
    nrrdNuke(nrrd);
  }
  bool Load(const std::string& path) {
    if (nrrdLoad(nrrd, path.c_str(), nio) == 0) return true;
    // A failed load has closed the header file, which is also the kept data
    // file when the samples are attached.
    if (nio->dataFile == nio->headerFile) nio->dataFile = nullptr;
    return false;
  }
};

const Elem kTeemElem[] = {Elem::U8,  Elem::S8,  Elem::U8,  Elem::S16, Elem::U16, Elem::S32,
                          Elem::U32, Elem::S64, Elem::U64, Elem::F32, Elem::F64};

// The file teem has read, with or without its samples, is the image the layout describes.
bool SameAsLayout(const std::string& path, const TeemRead& t, const RawLayout& L, std::string& error) {
  const Nrrd* n = t.nrrd;
  const NrrdIoState* nio = t.nio;
  error = "teem reads this NRRD header differently";
  if (n->type < nrrdTypeChar || n->type > nrrdTypeDouble || kTeemElem[n->type] != L.e) return false;
  std::vector<uint64_t> want;
  if (L.channels > 1) want.push_back((uint64_t)L.channels);
  want.push_back((uint64_t)L.w);
  want.push_back((uint64_t)L.h);
  uint64_t count = 1, rest = 1;
  for (unsigned i = 0; i < n->dim; ++i) {
    count *= n->axis[i].size;
    if (i >= want.size() + 1) rest *= n->axis[i].size;
  }
  for (size_t i = 0; i < want.size(); ++i)
    if (i >= n->dim || n->axis[i].size != want[i]) return false;
  const bool slices = n->dim > want.size();
  if ((slices && n->axis[want.size()].size != (uint64_t)L.slices) || (!slices && L.slices != 1) ||
      rest != (uint64_t)L.volumes || count != L.SampleCount() * (uint64_t)L.channels)
    return false;
  static const Encoding kEncodings[] = {Encoding::Raw, Encoding::Ascii, Encoding::Hex, Encoding::Gzip,
                                        Encoding::Bzip2};
  const NrrdEncoding* teem[] = {nrrdEncodingRaw, nrrdEncodingAscii, nrrdEncodingHex, nrrdEncodingGzip,
                                nrrdEncodingBzip2};
  bool encoding = false;
  for (int i = 0; i < 5; ++i) encoding = encoding || (nio->encoding == teem[i] && kEncodings[i] == L.encoding);
  if (!encoding || (ElemSize(L.e) > 1 && nio->encoding->endianMatters &&
                    nio->endian != (L.big ? airEndianBig : airEndianLittle)))
    return false;
  const Segment& first = L.segments[0];
  if (nio->lineSkip != first.lineSkip || nio->byteSkip != first.byteSkip || nio->dataFSkip) return false;
  // The same data files, or the header's own file for attached samples.
  std::vector<std::string> files = TeemFiles(nio);
  const bool attached = files.empty();
  if (attached) files.push_back(path);
  if (files.size() != L.segments.size()) return false;
  for (size_t i = 0; i < files.size(); ++i) {
    std::string own = attached ? path : L.segments[i].file;
    std::replace(own.begin(), own.end(), '\\', '/');
    std::replace(files[i].begin(), files[i].end(), '\\', '/');
    if (own != files[i]) return false;
  }
  error.clear();
  return true;
}

// teem reads each text sample with fscanf("%s") into 1 KiB on the stack and
// quotes it in its messages: every word it will read must be short.
bool TextWordsFit(const RawLayout& L, std::string& error) {
  for (const Segment& s : L.segments) {
    // A file teem cannot open or skip into is teem's to refuse.
    FILE* f = fopen(s.file.c_str(), "rb");
    uint64_t at = s.start;
    const bool start = f && (s.lineSkip == 0 || SkipLines(f, s.start, s.lineSkip, at)) &&
                       fseeko64(f, (int64_t)(at + (uint64_t)std::max<int64_t>(0, s.byteSkip)), SEEK_SET) == 0;
    bool ok = true;
    uint64_t samples = 0;
    size_t word = 0;
    bool comma = false;
    for (int c = start ? getc(f) : EOF; start; c = getc(f)) {
      if (c == EOF || isspace(c)) {
        if (word > 0 && !(word == 1 && comma) && ++samples == s.samples) break;
        if (c == EOF) break;
        word = 0;
        continue;
      }
      if (word == 0) comma = c == ',';
      if (++word > kLongestValue) {
        ok = false;
        break;
      }
    }
    if (f) fclose(f);
    if (!ok) {
      error = "a sample of the NRRD text data is longer than teem takes";
      return false;
    }
  }
  return true;
}

}  // namespace

// teem's own reading of the header, without the samples: it opens the data
// files named (which have passed the checks above) and skips what the header
// says; where one data file is read, it must stand where the samples start here.
bool NrrdTeemAgrees(const std::string& path, const RawLayout& L, std::string& error) {
  std::lock_guard<std::mutex> guard(g_teem);
  nrrdStateVerboseIO = 0;
  TeemRead t;
  t.nio->skipData = AIR_TRUE;
  t.nio->keepNrrdDataFileOpen = AIR_TRUE;
  if (!t.Load(path)) {
    error = TeemError("teem cannot read the NRRD header");
    return false;
  }
  if (!SameAsLayout(path, t, L, error)) return false;
  if (t.nio->dataFile && L.segments.size() == 1) {
    // Compressed data is skipped into after it is opened; raw data from its end for -1.
    const Segment& s = L.segments[0];
    uint64_t at = s.start;
    FILE* f = fopen(s.file.c_str(), "rb");
    const bool lines = f && (s.lineSkip == 0 || SkipLines(f, s.start, s.lineSkip, at));
    if (f) fclose(f);
    if (!lines) {
      // teem takes a long last line without its end as one.
      error = "the data file has fewer lines than the header skips";
      return false;
    }
    if (L.encoding != Encoding::Gzip && L.encoding != Encoding::Bzip2)
      at = s.byteSkip == -1 ? FileSize(s.file) - s.samples * ElemSize(L.e) : at + (uint64_t)s.byteSkip;
    if ((uint64_t)ftello64(t.nio->dataFile) != at) {
      error = "teem reads this NRRD header differently";
      return false;
    }
  }
  return true;
}

// teem reads every encoding, skip and data file run itself; what it reads
// must be the image the header check above described.
bool LoadNrrdSamples(const std::string& path, const RawLayout& L, Volume& v, std::string& error, bool& done) {
  done = true;
  // teem does not check the checksums of compressed data; every stream is
  // checked to its end first.
  if (!VerifyLayoutStreams(L, error) || (L.encoding == Encoding::Ascii && !TextWordsFit(L, error))) return false;
  std::lock_guard<std::mutex> guard(g_teem);
  nrrdStateVerboseIO = 0;
  TeemRead t;
  if (!t.Load(path)) {
    error = TeemError("teem cannot read the NRRD file");
    return false;
  }
  if (!SameAsLayout(path, t, L, error)) return false;
  if (!t.nrrd->data || nrrdElementNumber(t.nrrd) * nrrdElementSize(t.nrrd) != L.DataBytes()) {
    error = "teem read another image than the NRRD header describes";
    return false;
  }
  RawLayout got = L;
  got.big = false;  // teem hands samples over in the machine's order
  return FillLayout(got, (const uint8_t*)t.nrrd->data, (size_t)L.DataBytes(), v, error);
}
#else
bool NrrdTeemAgrees(const std::string&, const RawLayout&, std::string&) { return true; }
bool LoadNrrdSamples(const std::string&, const RawLayout&, Volume&, std::string&, bool& done) {
  done = false;
  return false;
}
#endif

}  // namespace qf
