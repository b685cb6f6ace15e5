// MINC 1 (NetCDF classic, with record dimensions) volumes.
#include <string.h>
#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

#include "modules/quillfen/QfRawData.h"

#ifdef QF_WITH_HDF5
#include <hdf5.h>
#include <mutex>
#endif

namespace qf {

namespace {

struct CdfAttribute {
  std::string text;            // character attributes
  std::vector<double> values;  // numeric ones
};
using CdfAttributes = std::map<std::string, CdfAttribute>;

struct CdfVariable {
  std::string name;
  std::vector<uint32_t> dims;
  CdfAttributes atts;
  uint32_t type = 0;
  uint64_t vsize = 0, begin = 0;
};

struct CdfReader {
  const std::vector<uint8_t>& d;
  size_t pos = 4;
  bool ok = true;
  bool offset64 = false;
  explicit CdfReader(const std::vector<uint8_t>& data) : d(data) {}
  uint32_t U32() {
    if (pos + 4 > d.size()) {
      ok = false;
      return 0;
    }
    uint32_t v = (uint32_t)d[pos] << 24 | d[pos + 1] << 16 | d[pos + 2] << 8 | d[pos + 3];
    pos += 4;
    return v;
  }
  uint64_t Offset() {
    if (!offset64) return U32();
    const uint64_t hi = U32();
    return hi << 32 | U32();
  }
  // Names and values are padded to four bytes.
  std::string Name() {
    uint32_t n = U32();
    if (!ok || n > 4096 || pos + n > d.size()) {
      ok = false;
      return std::string();
    }
    std::string s((const char*)&d[pos], n);
    pos += (n + 3) & ~3u;
    return s;
  }
  static size_t TypeSize(uint32_t t) {
    return t == 1 || t == 2 ? 1 : t == 3 ? 2 : t == 4 || t == 5 ? 4 : t == 6 ? 8 : 0;
  }
  // A number of a NetCDF type (big-endian; bytes are signed, characters not).
  static double Value(const uint8_t* p, uint32_t type) {
    return type == 1   ? (double)(int8_t)p[0]
           : type == 2 ? (double)p[0]
           : type == 3 ? ReadElem(p, Elem::S16, true)
           : type == 4 ? ReadElem(p, Elem::S32, true)
           : type == 5 ? ReadElem(p, Elem::F32, true)
                       : ReadElem(p, Elem::F64, true);
  }
  void Attributes(CdfAttributes* out) {
    uint32_t tag = U32(), n = U32();
    if (tag == 0) return;
    if (tag != 0x0C || n > 100000) {
      ok = false;
      return;
    }
    for (uint32_t i = 0; i < n && ok; ++i) {
      std::string name = Name();
      uint32_t type = U32(), count = U32();
      const size_t es = TypeSize(type), bytes = es * (size_t)count;
      if (!ok || es == 0 || count > d.size() || pos + bytes > d.size()) {
        ok = false;
        return;
      }
      if (out) {
        CdfAttribute& a = (*out)[name];
        if (type == 2)
          a.text.assign((const char*)&d[pos], bytes);
        else
          for (uint32_t k = 0; k < count && k < 16; ++k) a.values.push_back(Value(&d[pos + k * es], type));
      }
      pos += (bytes + 3) & ~(size_t)3;
    }
  }
};

// Width, height, slices and volumes from an image's dimensions, outermost
// first; a last vector dimension of 3 or 4 is its colour.
bool MincShape(std::vector<std::string>& names, std::vector<uint64_t>& shape, RawLayout& L, std::string& error) {
  if (!names.empty() && names.back() == "vector_dimension" && (shape.back() == 3 || shape.back() == 4)) {
    L.channels = (int)shape.back();
    names.pop_back();
    shape.pop_back();
  }
  if (shape.size() < 2) {
    error = "a MINC image needs two dimensions";
    return false;
  }
  for (uint64_t s : shape)
    if (s == 0) {
      error = "the MINC image is empty";
      return false;
    }
  const size_t k = shape.size();
  if (shape[k - 1] > 65535 || shape[k - 2] > 65535) {
    error = "unsupported dimensions";
    return false;
  }
  L.w = (int)shape[k - 1];
  L.h = (int)shape[k - 2];
  if (!FrameCount({k > 2 ? shape[k - 3] : 1}, L.slices, error) ||
      !FrameCount(std::vector<uint64_t>(shape.begin(), shape.end() - std::min<size_t>(k, 3)), L.volumes, error))
    return false;
  L.flipRows = true;
  return true;
}

// Real values: each stored value clamped to the valid range, then mapped from
// it to its slice's image-min..image-max (which run over the image's first
// one or two dimensions); floating point samples are real values already.
// Without image-max and image-min the stored values are shown.
bool MincScale(const std::vector<std::string>& names, const std::vector<uint64_t>& shape,
               const std::vector<std::string>& scaleNames, const std::vector<double>& max,
               const std::vector<double>& min, const std::vector<double>& validRange, RawLayout& L,
               std::string& error) {
  if (!ElemIsInteger(L.e) || L.channels != 1 || (max.empty() && min.empty())) return true;
  uint64_t values = 1;
  for (size_t k = 0; k < scaleNames.size() && k < shape.size(); ++k) values *= shape[k];
  if (scaleNames.size() > 2 || scaleNames.size() >= names.size() ||
      !std::equal(scaleNames.begin(), scaleNames.end(), names.begin()) || max.size() != values ||
      min.size() != values) {
    error = "the MINC file's slice scaling does not fit its image";
    return false;
  }
  const int bits = (int)ElemSize(L.e) * 8;
  double low = ElemIsSigned(L.e) ? -std::ldexp(1.0, bits - 1) : 0;
  double high = ElemIsSigned(L.e) ? std::ldexp(1.0, bits - 1) - 1 : std::ldexp(1.0, bits) - 1;
  if (validRange.size() == 2 && validRange[0] < validRange[1] && validRange[0] >= low && validRange[1] <= high)
    low = validRange[0], high = validRange[1];
  RunScale& k = L.scale;
  k.run = L.SampleCount() / values;
  k.low = low;
  k.high = high;
  for (size_t i = 0; i < values; ++i) {
    const double slope = (max[i] - min[i]) / (high - low);
    k.slope.push_back(slope);
    k.intercept.push_back(min[i] - low * slope);
  }
  return true;
}

// Orientation: each spatial dimension's world axis (right, anterior,
// superior), turned by its direction cosines, signed by its step; `look`
// gives a dimension's step and cosines where the file has them.
template <typename Look>
void MincOrientation(const std::vector<std::string>& names, RawLayout& L, Look look) {
  const size_t k = names.size();
  int spatial = 0;
  for (size_t a = 0; a < std::min<size_t>(k, 3); ++a) {
    const std::string& name = names[k - 1 - a];
    const int world = name == "xspace" ? 0 : name == "yspace" ? 1 : name == "zspace" ? 2 : -1;
    if (world < 0) break;
    double dir[3] = {0, 0, 0};
    dir[world] = 1;
    double step = 1;
    look(name, step, dir);
    const double sg = step < 0 ? -1 : 1;
    L.axes[a][0] = -dir[0] * sg;
    L.axes[a][1] = -dir[1] * sg;
    L.axes[a][2] = dir[2] * sg;
    ++spatial;
  }
  if (spatial == (int)std::min<size_t>(k, 3) && spatial >= 2) {
    if (spatial == 2) SliceNormal(L);
    L.oriented = true;
  }
}

}  // namespace

bool ParseMinc(const std::string& path, RawLayout& L, std::string& error) {
  // The header comes first; 16 MiB is far more than any real one needs.
  std::vector<uint8_t> d;
  if (!ReadPrefix(path, d, 16 << 20, false) || d.size() < 8) {
    error = "not a MINC file";
    return false;
  }
  if (memcmp(d.data(), "\x89HDF", 4) == 0) return ParseMinc2(path, L, error);
  if (memcmp(d.data(), "CDF", 3) != 0 || (d[3] != 1 && d[3] != 2)) {
    error = "not a MINC 1 file";
    return false;
  }
  CdfReader r(d);
  r.offset64 = d[3] == 2;
  const uint32_t records = r.U32();
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
  std::vector<CdfVariable> vars;
  for (uint32_t i = 0; i < n && r.ok && i < 4096; ++i) {
    CdfVariable v;
    v.name = r.Name();
    const uint32_t ndims = r.U32();
    for (uint32_t k = 0; k < ndims && r.ok; ++k) {
      if (k >= 64) {
        r.ok = false;
        break;
      }
      v.dims.push_back(r.U32());
    }
    r.Attributes(&v.atts);
    v.type = r.U32();
    v.vsize = r.U32();
    v.begin = r.Offset();
    for (uint32_t id : v.dims)
      if (id >= dims.size()) r.ok = false;
    if (r.ok) vars.push_back(std::move(v));
  }
  if (!r.ok) {
    error = "the MINC header is damaged";
    return false;
  }
  auto isRecord = [&](const CdfVariable& v) { return !v.dims.empty() && dims[v.dims[0]].second == 0; };
  auto image = std::find_if(vars.begin(), vars.end(), [](const CdfVariable& v) { return v.name == "image"; });
  if (image == vars.end()) {
    error = "MINC file without an image variable";
    return false;
  }
  const size_t es = CdfReader::TypeSize(image->type);
  auto sign = image->atts.find("signtype");
  const bool isSigned = sign != image->atts.end() ? sign->second.text.compare(0, 6, "signed") == 0 : image->type != 1;
  switch (image->type) {
    case 1:
    case 2:
      L.e = isSigned ? Elem::S8 : Elem::U8;
      break;
    case 3:
      L.e = isSigned ? Elem::S16 : Elem::U16;
      break;
    case 4:
      L.e = isSigned ? Elem::S32 : Elem::U32;
      break;
    case 5:
      L.e = Elem::F32;
      break;
    case 6:
      L.e = Elem::F64;
      break;
    default:
      error = "unsupported MINC type";
      return false;
  }
  // Extents of the image's dimensions, outermost first; the record
  // dimension's is the file's record count.
  const bool recordVar = isRecord(*image);
  if (recordVar && records == 0xFFFFFFFFu) {
    error = "the MINC file's record count is not known";
    return false;
  }
  std::vector<std::string> names;
  std::vector<uint64_t> shape;
  for (size_t k = 0; k < image->dims.size(); ++k) {
    names.push_back(dims[image->dims[k]].first);
    shape.push_back(k == 0 && recordVar ? records : dims[image->dims[k]].second);
  }
  if (!MincShape(names, shape, L, error)) return false;
  L.big = true;

  MincOrientation(names, L, [&](const std::string& name, double& step, double dir[3]) {
    auto var = std::find_if(vars.begin(), vars.end(), [&](const CdfVariable& v) { return v.name == name; });
    if (var == vars.end()) return;
    auto st = var->atts.find("step");
    if (st != var->atts.end() && !st->second.values.empty() && st->second.values[0] != 0) step = st->second.values[0];
    auto c = var->atts.find("direction_cosines");
    if (c != var->atts.end() && c->second.values.size() >= 3)
      for (int i = 0; i < 3; ++i) dir[i] = c->second.values[i];
  });

  // A fixed-size image is one run; a record image has one run per record,
  // the records of every record variable standing one after the other.
  int recordVars = 0;
  uint64_t recordSize = 0;
  for (const CdfVariable& v : vars)
    if (isRecord(v)) ++recordVars, recordSize += v.vsize;
  const uint64_t total = L.SampleCount() * (uint64_t)L.channels;
  Segment s;
  s.file = path;
  s.byteSkip = (int64_t)image->begin;
  s.samples = total;
  if (recordVar) {
    s.repeat = records;
    s.samples = total / records;
    s.stride = recordVars == 1 ? s.samples * es : recordSize;
    if (s.stride < s.samples * es) {
      error = "the MINC header's record size is wrong";
      return false;
    }
  }
  L.segments.push_back(s);
  if (!CheckLayout(L, error)) return false;

  // The values of a variable (of the record dimension or not), at most `limit` of them.
  auto values = [&](const CdfVariable& v, uint64_t limit, std::vector<double>& out) {
    const size_t vs = CdfReader::TypeSize(v.type);
    uint64_t perRecord = 1;
    for (size_t k = isRecord(v) ? 1 : 0; k < v.dims.size() && perRecord <= limit; ++k)
      perRecord *= dims[v.dims[k]].second;
    const uint64_t runs = isRecord(v) ? records : 1;
    // Within the limit, and in the file, before room is made for them.
    if (vs == 0 || perRecord > limit || perRecord * runs > limit ||
        v.begin + (runs - 1) * recordSize + perRecord * vs > FileSize(path))
      return false;
    std::unique_ptr<FILE, int (*)(FILE*)> f(fopen(path.c_str(), "rb"), fclose);
    std::vector<uint8_t> run((size_t)(perRecord * vs));
    for (uint64_t r = 0; f && r < runs; ++r) {
      if (fseeko64(f.get(), (int64_t)(v.begin + r * recordSize), SEEK_SET) != 0 ||
          fread(run.data(), 1, run.size(), f.get()) != run.size())
        return false;
      for (uint64_t i = 0; i < perRecord; ++i) out.push_back(CdfReader::Value(&run[(size_t)(i * vs)], v.type));
    }
    return f != nullptr;
  };
  std::vector<double> scale[2];
  std::vector<std::string> scaleNames;
  const char* kScales[2] = {"image-max", "image-min"};
  for (int i = 0; i < 2; ++i) {
    auto v = std::find_if(vars.begin(), vars.end(), [&](const CdfVariable& x) { return x.name == kScales[i]; });
    if (v == vars.end()) continue;
    std::vector<std::string> these;
    for (uint32_t id : v->dims) these.push_back(dims[id].first);
    if ((i == 1 && these != scaleNames) || !values(*v, (uint64_t)L.Frames(), scale[i])) {
      error = "the MINC file's slice scaling does not fit its image";
      return false;
    }
    scaleNames = these;
  }
  std::vector<double> valid;
  auto vr = image->atts.find("valid_range");
  auto vmin = image->atts.find("valid_min"), vmax = image->atts.find("valid_max");
  if (vr != image->atts.end() && vr->second.values.size() == 2)
    valid = {std::min(vr->second.values[0], vr->second.values[1]), std::max(vr->second.values[0], vr->second.values[1])};
  else if (vmin != image->atts.end() && vmax != image->atts.end() && !vmin->second.values.empty() &&
           !vmax->second.values.empty())
    valid = {vmin->second.values[0], vmax->second.values[0]};
  return MincScale(names, shape, scaleNames, scale[0], scale[1], valid, L, error);
}

#ifdef QF_WITH_HDF5
namespace {

// HDF5 keeps global state and is built without its own locking.
std::mutex g_hdf5;

struct H5Handle {
  hid_t id;
  herr_t (*close)(hid_t);
  H5Handle(hid_t i, herr_t (*c)(hid_t)) : id(i), close(c) {}
  ~H5Handle() {
    if (id >= 0) close(id);
  }
  explicit operator bool() const { return id >= 0; }
};

bool ReadStringAttribute(hid_t object, const char* name, std::string& out) {
  if (H5Aexists(object, name) <= 0) return false;
  H5Handle a(H5Aopen(object, name, H5P_DEFAULT), H5Aclose);
  H5Handle t(a ? H5Aget_type(a.id) : -1, H5Tclose);
  if (!t || H5Tget_class(t.id) != H5T_STRING) return false;
  if (H5Tis_variable_str(t.id) > 0) {
    H5Handle mt(H5Tcopy(H5T_C_S1), H5Tclose);
    H5Tset_size(mt.id, H5T_VARIABLE);
    char* s = nullptr;
    if (H5Aread(a.id, mt.id, &s) < 0 || !s) return false;
    out = s;
    H5free_memory(s);
    return true;
  }
  const size_t n = H5Tget_size(t.id);
  if (n == 0 || n > 4096) return false;
  std::vector<char> buf(n + 1, 0);
  H5Handle mt(H5Tcopy(H5T_C_S1), H5Tclose);
  H5Tset_size(mt.id, n);
  if (H5Aread(a.id, mt.id, buf.data()) < 0) return false;
  out.assign(buf.data());
  return true;
}

std::vector<std::string> SplitDimorder(const std::string& order) {
  std::vector<std::string> names;
  for (size_t at = 0; at <= order.size() && !order.empty();) {
    const size_t comma = order.find(',', at);
    names.push_back(Trim(order.substr(at, comma == std::string::npos ? std::string::npos : comma - at)));
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  return names;
}

hid_t NativeType(Elem e) {
  switch (e) {
    case Elem::U8:
      return H5T_NATIVE_UCHAR;
    case Elem::S8:
      return H5T_NATIVE_SCHAR;
    case Elem::U16:
      return H5T_NATIVE_USHORT;
    case Elem::S16:
      return H5T_NATIVE_SHORT;
    case Elem::U32:
      return H5T_NATIVE_UINT;
    case Elem::S32:
      return H5T_NATIVE_INT;
    case Elem::U64:
      return H5T_NATIVE_ULLONG;
    case Elem::S64:
      return H5T_NATIVE_LLONG;
    case Elem::F32:
      return H5T_NATIVE_FLOAT;
    default:
      return H5T_NATIVE_DOUBLE;
  }
}

// A dataset's numbers as doubles, at most `limit` of them, and its dimension names.
bool ReadDataset(hid_t file, const char* path, uint64_t limit, std::vector<double>& out,
                 std::vector<std::string>& names) {
  if (H5Lexists(file, path, H5P_DEFAULT) <= 0) return true;
  H5Handle set(H5Dopen2(file, path, H5P_DEFAULT), H5Dclose);
  H5Handle space(set ? H5Dget_space(set.id) : -1, H5Sclose);
  const hssize_t n = space ? H5Sget_simple_extent_npoints(space.id) : -1;
  if (n <= 0 || (uint64_t)n > limit) return false;
  out.resize((size_t)n);
  std::string order;
  ReadStringAttribute(set.id, "dimorder", order);
  names = SplitDimorder(order);
  return H5Dread(set.id, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, out.data()) >= 0;
}

std::vector<double> ReadNumbers(hid_t object, const char* name) {
  std::vector<double> out;
  if (H5Aexists(object, name) <= 0) return out;
  H5Handle a(H5Aopen(object, name, H5P_DEFAULT), H5Aclose);
  H5Handle sp(a ? H5Aget_space(a.id) : -1, H5Sclose);
  if (!sp) return out;
  const hssize_t n = H5Sget_simple_extent_npoints(sp.id);
  if (n <= 0 || n > 16) return out;
  out.resize((size_t)n);
  if (H5Aread(a.id, H5T_NATIVE_DOUBLE, out.data()) < 0) out.clear();
  return out;
}

}  // namespace

bool ParseMinc2(const std::string& path, RawLayout& L, std::string& error) {
  std::lock_guard<std::mutex> guard(g_hdf5);
  H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
  H5Handle file(H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
  if (!file) {
    error = "not a MINC 2 file that HDF5 can open";
    return false;
  }
  H5Handle image(H5Dopen2(file.id, "/minc-2.0/image/0/image", H5P_DEFAULT), H5Dclose);
  H5Handle space(image ? H5Dget_space(image.id) : -1, H5Sclose);
  H5Handle type(image ? H5Dget_type(image.id) : -1, H5Tclose);
  if (!image || !space || !type) {
    error = "MINC 2 file without an image";
    return false;
  }
  const int rank = H5Sget_simple_extent_ndims(space.id);
  if (rank < 2 || rank > 8) {
    error = "unsupported MINC 2 dimensions";
    return false;
  }
  hsize_t extent[8];
  H5Sget_simple_extent_dims(space.id, extent, nullptr);
  std::string order;
  ReadStringAttribute(image.id, "dimorder", order);
  std::vector<std::string> names = SplitDimorder(order);
  if ((int)names.size() != rank) names.assign((size_t)rank, std::string());
  // An image never written holds no samples (HDF5 would make them all up).
  H5D_space_status_t status = H5D_SPACE_STATUS_ERROR;
  if (H5Dget_space_status(image.id, &status) < 0 || status == H5D_SPACE_STATUS_NOT_ALLOCATED) {
    error = "the MINC 2 image's samples are not in the file";
    return false;
  }
  const H5T_class_t cls = H5Tget_class(type.id);
  const size_t size = H5Tget_size(type.id);
  if (cls == H5T_INTEGER) {
    const bool sgn = H5Tget_sign(type.id) == H5T_SGN_2;
    L.e = size == 1   ? (sgn ? Elem::S8 : Elem::U8)
          : size == 2 ? (sgn ? Elem::S16 : Elem::U16)
          : size == 4 ? (sgn ? Elem::S32 : Elem::U32)
                      : (sgn ? Elem::S64 : Elem::U64);
  } else if (cls == H5T_FLOAT) {
    L.e = size == 4 ? Elem::F32 : Elem::F64;
  } else {
    error = "unsupported MINC 2 sample type";
    return false;
  }
  std::vector<uint64_t> shape(extent, extent + rank);
  if (!MincShape(names, shape, L, error)) return false;
  MincOrientation(names, L, [&](const std::string& name, double& step, double dir[3]) {
    H5Handle dim(H5Dopen2(file.id, ("/minc-2.0/dimensions/" + name).c_str(), H5P_DEFAULT), H5Dclose);
    if (!dim) return;
    const std::vector<double> st = ReadNumbers(dim.id, "step"), c = ReadNumbers(dim.id, "direction_cosines");
    if (!st.empty() && st[0] != 0) step = st[0];
    if (c.size() >= 3) dir[0] = c[0], dir[1] = c[1], dir[2] = c[2];
  });
  L.encoding = Encoding::Hdf5;
  Segment s;
  s.file = path;
  s.samples = L.SampleCount() * (uint64_t)L.channels;
  L.segments.push_back(s);
  if (!CheckLayout(L, error)) return false;
  std::vector<double> max, min;
  std::vector<std::string> maxNames, minNames;
  if (!ReadDataset(file.id, "/minc-2.0/image/0/image-max", (uint64_t)L.Frames(), max, maxNames) ||
      !ReadDataset(file.id, "/minc-2.0/image/0/image-min", (uint64_t)L.Frames(), min, minNames) ||
      maxNames != minNames) {
    error = "the MINC file's slice scaling does not fit its image";
    return false;
  }
  return MincScale(names, shape, maxNames, max, min, ReadNumbers(image.id, "valid_range"), L, error);
}

bool LoadMinc2Samples(const std::string& path, const RawLayout& L, Volume& v, std::string& error) {
  if (!CheckLayout(L, error)) return false;
  // The samples in their stored type (HDF5 puts them in the machine's byte
  // order and checks what its filters decode).
  std::vector<uint8_t> samples;
  {
    std::lock_guard<std::mutex> guard(g_hdf5);
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    H5Handle file(H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
    H5Handle image(file ? H5Dopen2(file.id, "/minc-2.0/image/0/image", H5P_DEFAULT) : -1, H5Dclose);
    H5Handle space(image ? H5Dget_space(image.id) : -1, H5Sclose);
    if (!space || (uint64_t)H5Sget_simple_extent_npoints(space.id) != L.SampleCount() * (uint64_t)L.channels) {
      error = "the MINC 2 image cannot be read";
      return false;
    }
    samples.resize((size_t)L.DataBytes());
    if (H5Dread(image.id, NativeType(L.e), H5S_ALL, H5S_ALL, H5P_DEFAULT, samples.data()) < 0) {
      error = "the MINC 2 image data is damaged or short";
      return false;
    }
  }
  RawLayout got = L;
  got.big = false;
  return FillLayout(got, samples.data(), samples.size(), v, error);
}
#else
bool ParseMinc2(const std::string&, RawLayout&, std::string& error) {
  error = "MINC 2 files (HDF5) are not read";
  return false;
}
bool LoadMinc2Samples(const std::string&, const RawLayout&, Volume&, std::string& error) {
  error = "MINC 2 files (HDF5) are not read";
  return false;
}
#endif

}  // namespace qf
