// MINC 1 (NetCDF classic, with record dimensions) volumes.
#include <string.h>
#include <algorithm>
#include <cmath>
#include <map>

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
          for (uint32_t k = 0; k < count && k < 16; ++k) {
            const uint8_t* p = &d[pos + k * es];
            a.values.push_back(type == 1   ? (double)(int8_t)p[0]
                               : type == 3 ? ReadElem(p, Elem::S16, true)
                               : type == 4 ? ReadElem(p, Elem::S32, true)
                               : type == 5 ? ReadElem(p, Elem::F32, true)
                                           : ReadElem(p, Elem::F64, true));
          }
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
    if (spatial == 2) {
      const double(&u)[3] = L.axes[0];
      const double(&v)[3] = L.axes[1];
      L.axes[2][0] = u[1] * v[2] - u[2] * v[1];
      L.axes[2][1] = u[2] * v[0] - u[0] * v[2];
      L.axes[2][2] = u[0] * v[1] - u[1] * v[0];
    }
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
  const uint64_t total = L.SampleCount() * (uint64_t)L.channels;
  if (!recordVar) {
    Segment s;
    s.file = path;
    s.byteSkip = (int64_t)image->begin;
    s.samples = total;
    L.segments.push_back(s);
    return CheckLayout(L, error);
  }
  if (total > DecodeLimit()) {
    error = "the image is larger than the library takes (1 GiB)";
    return false;
  }
  int recordVars = 0;
  uint64_t recordSize = 0;
  for (const CdfVariable& v : vars)
    if (isRecord(v)) ++recordVars, recordSize += v.vsize;
  const uint64_t perRecord = total / records;
  if (recordVars == 1) recordSize = perRecord * es;
  if (recordSize < perRecord * es) {
    error = "the MINC header's record size is wrong";
    return false;
  }
  for (uint32_t i = 0; i < records; ++i) {
    Segment s;
    s.file = path;
    s.byteSkip = (int64_t)(image->begin + (uint64_t)i * recordSize);
    s.samples = perRecord;
    L.segments.push_back(s);
    if (L.segments.size() > DecodeLimit()) break;
  }
  return CheckLayout(L, error);
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
  std::vector<std::string> names;
  for (size_t at = 0; at <= order.size() && !order.empty();) {
    const size_t comma = order.find(',', at);
    names.push_back(Trim(order.substr(at, comma == std::string::npos ? std::string::npos : comma - at)));
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  if ((int)names.size() != rank) names.assign((size_t)rank, std::string());
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
  return CheckLayout(L, error);
}

// Writes a sample back in its stored type.
template <typename T>
void StoreAs(double s, uint8_t* p) {
  const T x = (T)s;
  memcpy(p, &x, sizeof x);
}

bool LoadMinc2Samples(const std::string& path, const RawLayout& L, Volume& v, std::string& error) {
  if (!CheckLayout(L, error)) return false;
  std::vector<double> samples;
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
    // HDF5 converts every stored type to doubles and checks what its filters decode.
    samples.resize((size_t)(L.SampleCount() * (uint64_t)L.channels));
    if (H5Dread(image.id, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, samples.data()) < 0) {
      error = "the MINC 2 image data is damaged or short";
      return false;
    }
  }
  RawLayout got = L;
  got.e = Elem::F64;
  got.big = false;
  if (L.channels != 1 && ElemIsInteger(L.e)) {
    // Colour keeps its stored width's scale: back to the stored type first.
    got.e = L.e;
    std::vector<uint8_t> raw(samples.size() * ElemSize(L.e));
    for (size_t i = 0; i < samples.size(); ++i) {
      const double s = samples[i];
      uint8_t* p = &raw[i * ElemSize(L.e)];
      switch (L.e) {
        case Elem::U8:
          StoreAs<uint8_t>(s, p);
          break;
        case Elem::S8:
          StoreAs<int8_t>(s, p);
          break;
        case Elem::U16:
          StoreAs<uint16_t>(s, p);
          break;
        case Elem::S16:
          StoreAs<int16_t>(s, p);
          break;
        case Elem::U32:
          StoreAs<uint32_t>(s, p);
          break;
        case Elem::S32:
          StoreAs<int32_t>(s, p);
          break;
        case Elem::U64:
          StoreAs<uint64_t>(s, p);
          break;
        default:
          StoreAs<int64_t>(s, p);
          break;
      }
    }
    return FillLayout(got, raw.data(), raw.size(), v, error);
  }
  return FillLayout(got, (const uint8_t*)samples.data(), samples.size() * sizeof(double), v, error);
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
