// File information and the tag tree of a DICOM file, from the walk of its
// elements: every element as written, the pixel data without its value.
#include <gdcmDict.h>
#include <gdcmVR.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <cmath>

#include "modules/quillfen/QfDicomInternal.h"
#include "modules/quillfen/QfViewerSeries.h"

namespace qf {

namespace {

int VrCode(gdcm::VR vr) {
  switch (vr) {
    case gdcm::VR::AE:
      return QF_VR_AE;
    case gdcm::VR::AS:
      return QF_VR_AS;
    case gdcm::VR::AT:
      return QF_VR_AT;
    case gdcm::VR::CS:
      return QF_VR_CS;
    case gdcm::VR::DA:
      return QF_VR_DA;
    case gdcm::VR::DS:
      return QF_VR_DS;
    case gdcm::VR::DT:
      return QF_VR_DT;
    case gdcm::VR::FD:
      return QF_VR_FD;
    case gdcm::VR::FL:
      return QF_VR_FL;
    case gdcm::VR::IS:
      return QF_VR_IS;
    case gdcm::VR::LO:
      return QF_VR_LO;
    case gdcm::VR::LT:
      return QF_VR_LT;
    case gdcm::VR::OB:
      return QF_VR_OB;
    case gdcm::VR::OF:
      return QF_VR_OF;
    case gdcm::VR::OW:
      return QF_VR_OW;
    case gdcm::VR::PN:
      return QF_VR_PN;
    case gdcm::VR::SH:
      return QF_VR_SH;
    case gdcm::VR::SL:
      return QF_VR_SL;
    case gdcm::VR::SQ:
      return QF_VR_SQ;
    case gdcm::VR::SS:
      return QF_VR_SS;
    case gdcm::VR::ST:
      return QF_VR_ST;
    case gdcm::VR::TM:
      return QF_VR_TM;
    case gdcm::VR::UI:
      return QF_VR_UI;
    case gdcm::VR::UL:
      return QF_VR_UL;
    case gdcm::VR::UN:
      return QF_VR_UN;
    case gdcm::VR::US:
      return QF_VR_US;
    case gdcm::VR::UT:
      return QF_VR_UT;
    case gdcm::VR::OD:
      return QF_VR_OD;
    case gdcm::VR::OL:
      return QF_VR_OL;
    case gdcm::VR::UC:
      return QF_VR_UC;
    case gdcm::VR::UR:
      return QF_VR_UR;
    default:
      return QF_VR_NONE;
  }
}

// The VR of an element: as written, else (implicit encodings, UN) the dictionary's.
gdcm::VR ResolveVr(const DicomElement& de) {
  gdcm::VR vr = de.vr[0] ? gdcm::VR::GetVRTypeFromFile(de.vr) : gdcm::VR::INVALID;
  if (vr == gdcm::VR::INVALID || vr == gdcm::VR::UN) {
    gdcm::VR dict = DicomDictionaries().GetDictEntry(gdcm::Tag(de.group, de.element)).GetVR();
    if (dict == gdcm::VR::US_SS || dict == gdcm::VR::US_SS_OW)
      dict = gdcm::VR::US;
    else if (dict == gdcm::VR::OB_OW)
      dict = gdcm::VR::OW;
    if (dict != gdcm::VR::INVALID) vr = dict;
  }
  if (de.sequence) vr = gdcm::VR::SQ;
  if (vr == gdcm::VR::US_SS) vr = gdcm::VR::US;
  return vr;
}

// The text of one value: text representations as stored (trailing padding
// removed), numbers in decimal separated by backslashes.
std::string ValueText(const DicomLayout& L, const DicomElement& de, gdcm::VR vr) {
  if (de.sequence || de.encapsulated || de.size == 0) return std::string();
  const uint8_t* p = L.bytes + de.value;
  const size_t n = de.size;
  std::string out;
  char tmp[64];
  auto join = [&](const char* s) {
    if (!out.empty()) out += '\\';
    out += s;
  };
  auto u32 = [&](size_t i) { return L.U32(de.value + i); };
  auto u64 = [&](size_t i) {
    const uint64_t a = u32(i), b = u32(i + 4);
    return L.bigEndian ? a << 32 | b : b << 32 | a;
  };
  for (size_t i = 0; out.size() < 1100;) {
    switch (vr) {
      case gdcm::VR::US:
      case gdcm::VR::SS:
        if (i + 2 > n) return out;
        if (vr == gdcm::VR::US)
          snprintf(tmp, sizeof tmp, "%u", (unsigned)L.U16(de.value + i));
        else
          snprintf(tmp, sizeof tmp, "%d", (int)(int16_t)L.U16(de.value + i));
        i += 2;
        break;
      case gdcm::VR::UL:
      case gdcm::VR::SL:
        if (i + 4 > n) return out;
        if (vr == gdcm::VR::UL)
          snprintf(tmp, sizeof tmp, "%lu", (unsigned long)u32(i));
        else
          snprintf(tmp, sizeof tmp, "%ld", (long)(int32_t)u32(i));
        i += 4;
        break;
      case gdcm::VR::FL: {
        if (i + 4 > n) return out;
        const uint32_t bits = u32(i);
        float x;
        memcpy(&x, &bits, 4);
        snprintf(tmp, sizeof tmp, "%.9g", (double)x);
        i += 4;
        break;
      }
      case gdcm::VR::FD: {
        if (i + 8 > n) return out;
        const uint64_t bits = u64(i);
        double x;
        memcpy(&x, &bits, 8);
        snprintf(tmp, sizeof tmp, "%.17g", x);
        i += 8;
        break;
      }
      case gdcm::VR::AT:
        if (i + 4 > n) return out;
        snprintf(tmp, sizeof tmp, "(%04X,%04X)", (unsigned)L.U16(de.value + i), (unsigned)L.U16(de.value + i + 2));
        i += 4;
        break;
      case gdcm::VR::OB:
      case gdcm::VR::OW:
      case gdcm::VR::OF:
      case gdcm::VR::OD:
      case gdcm::VR::OL:
      case gdcm::VR::OV:
      case gdcm::VR::UN:
      case gdcm::VR::SQ:
      case gdcm::VR::INVALID:
        return std::string();
      default: {
        std::string s((const char*)p, std::min<size_t>(n, 2048));  // the record holds far less
        const size_t nul = s.find('\0');
        if (nul != std::string::npos) s.resize(nul);
        while (!s.empty() && s.back() == ' ') s.pop_back();
        return s;
      }
    }
    join(tmp);
  }
  return out;
}

struct RecordArrays {
  std::vector<TagRecord*> allocated;
  bool ok = true;

  TagRecord* Make(size_t n) {
    TagRecord* records = n ? static_cast<TagRecord*>(Alloc(n * sizeof(TagRecord))) : nullptr;
    if (!records) {
      ok = false;
      return nullptr;
    }
    memset(records, 0, n * sizeof(TagRecord));
    allocated.push_back(records);
    return records;
  }
};

void FillRecords(const DicomLayout& L, const std::vector<DicomElement>& set, TagRecord* records, size_t from,
                 RecordArrays& arrays);

void FillRecord(const DicomLayout& L, const DicomElement& de, TagRecord& r, RecordArrays& arrays) {
  r.group = de.group;
  r.element = de.element;
  const gdcm::VR vr = ResolveVr(de);
  r.vr = VrCode(vr);
  r.info2 = de.length == kUndefinedLength ? -1 : (int32_t)de.length;
  if (de.group == 0x7FE0 && de.element == 0x0010) return;
  if (de.sequence) {
    // One record per item, (FFFE,E000), whose children are the item's elements.
    r.vr = QF_VR_SQ;
    if (de.children.empty()) return;
    r.children = arrays.Make(de.children.size());
    if (!r.children) return;
    r.childCount = (int32_t)de.children.size();
    for (size_t i = 0; i < de.children.size() && arrays.ok; ++i) {
      TagRecord& item = r.children[i];
      item.group = 0xFFFE;
      item.element = 0xE000;
      item.info1 = (int32_t)i;
      const std::vector<DicomElement>& elements = de.children[i].children;
      if (elements.empty()) continue;
      item.children = arrays.Make(elements.size());
      if (!item.children) return;
      item.childCount = (int32_t)elements.size();
      FillRecords(L, elements, item.children, 0, arrays);
    }
    return;
  }
  std::string text = ValueText(L, de, vr);
  if (text.size() > sizeof r.text - 1) text.resize(sizeof r.text - 1);
  memcpy(r.text, text.data(), text.size());
  r.text[text.size()] = 0;
  r.length = (int32_t)text.size();
}

void FillRecords(const DicomLayout& L, const std::vector<DicomElement>& set, TagRecord* records, size_t from,
                 RecordArrays& arrays) {
  for (size_t i = 0; i < set.size() && arrays.ok; ++i) {
    records[from + i].info1 = (int32_t)(from + i);
    FillRecord(L, set[i], records[from + i], arrays);
  }
}

// Numbers of a DS value separated by backslashes; true when there are n of them.
bool Numbers(const std::string& text, double* out, int n) {
  const char* p = text.c_str();
  for (int k = 0; k < n; ++k) {
    char* end = nullptr;
    out[k] = strtod(p, &end);
    if (end == p || !std::isfinite(out[k])) return false;
    p = end;
    while (*p == ' ') ++p;
    if (k + 1 < n) {
      if (*p != '\\') return false;
      ++p;
    }
  }
  return true;
}

// The records the tree of these elements takes: one an element, one an item.
uint64_t CountRecords(const std::vector<DicomElement>& set) {
  uint64_t n = set.size();
  for (const DicomElement& de : set)
    if (de.sequence)
      for (const DicomElement& item : de.children) n += 1 + CountRecords(item.children);
  return n;
}

}  // namespace

bool ReadDicomInfo(const std::string& path, bool wantTags, FileInfoRequest* req, std::string& error) {
  DicomDictionaries();
  std::vector<uint8_t> data;
  DicomLayout L;
  // The size needs the header only; the tags are every element of the file.
  if (!ReadDicomLayout(path, wantTags, data, L, error)) return false;
  const std::vector<DicomElement>& ds = L.dataSet;
  req->width = (int32_t)L.US(ds, 0x0028, 0x0011);
  req->height = (int32_t)L.US(ds, 0x0028, 0x0010);
  // The frames as GDCM counts them.
  const uint64_t frames = L.Frames(ds);
  req->info5 = req->width ? (int32_t)std::min<uint64_t>(frames, 0x7FFFFFFF) : 0;
  req->info1 = 1;  // DICOM
  req->info2 = (int32_t)L.US(ds, 0x0028, 0x0002);
  req->tagCount = 0;
  req->tags = nullptr;
  if (!wantTags) return true;

  // The records take a fixed size each, their text included: a tree that
  // would take more than a quarter of the decoding limit is refused before
  // any of it is made (a small deflated file can hold a million empty elements).
  const uint64_t records = CountRecords(L.meta) + CountRecords(ds);
  if (records * sizeof(TagRecord) > DecodeLimit() / 4) {
    error = "the file has more elements than the tag list takes";
    return false;
  }
  // The meta header first, then the data set, in one array.
  RecordArrays arrays;
  const size_t n = L.meta.size() + ds.size();
  TagRecord* top = n ? arrays.Make(n) : nullptr;
  if (top) {
    // The meta header is little endian whatever the data set is.
    DicomLayout meta;
    meta.bytes = L.file;
    meta.size = L.fileSize;
    FillRecords(meta, L.meta, top, 0, arrays);
    FillRecords(L, ds, top, L.meta.size(), arrays);
  }
  if (!arrays.ok) {
    for (TagRecord* p : arrays.allocated) FreeBuffer(p);
    error = "out of memory";
    return false;
  }
  req->tagCount = (int32_t)n;
  req->tags = top;
  return true;
}

bool ReadSeriesHeader(const std::string& path, SeriesHeader& header) {
  header = SeriesHeader();
  if (!LooksLikeDicom(path)) return false;
  std::vector<uint8_t> data;
  DicomLayout L;
  std::string error;
  // The same walk as every other read; the header alone is enough here.
  if (!ReadDicomLayout(path, false, data, L, error)) return false;
  const std::vector<DicomElement>& ds = L.dataSet;
  if (!L.US(ds, 0x0028, 0x0010) || !L.US(ds, 0x0028, 0x0011)) return false;
  if (L.Frames(ds) != 1) return false;
  double instance = 0;
  header.hasInstance = L.Number(ds, 0x0020, 0x0013, instance) && std::fabs(instance) < 2e9;
  header.instance = header.hasInstance ? (int)instance : 0;
  header.series = L.Text(ds, 0x0020, 0x000E);
  header.hasPosition = Numbers(L.Text(ds, 0x0020, 0x0032), header.position, 3) &&
                       Numbers(L.Text(ds, 0x0020, 0x0037), header.orientation, 6);
  return true;
}

std::vector<size_t> SliceOrder(const std::vector<SeriesHeader>& slices, const std::vector<std::string>& names) {
  std::vector<size_t> order(slices.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  // One orientation for all, within a small tolerance, and a position each.
  bool placed = !slices.empty();
  for (const SeriesHeader& s : slices) {
    placed = placed && s.hasPosition;
    for (int k = 0; placed && k < 6; ++k) placed = std::fabs(s.orientation[k] - slices[0].orientation[k]) < 1e-3;
  }
  std::vector<double> along(slices.size(), 0);
  if (placed) {
    const double* o = slices[0].orientation;
    const double normal[3] = {o[1] * o[5] - o[2] * o[4], o[2] * o[3] - o[0] * o[5], o[0] * o[4] - o[1] * o[3]};
    int axis = 0;
    for (int k = 1; k < 3; ++k)
      if (std::fabs(normal[k]) > std::fabs(normal[axis])) axis = k;
    const double sign = normal[axis] < 0 ? -1 : 1;
    placed = std::fabs(normal[axis]) > 1e-6;
    for (size_t i = 0; i < slices.size(); ++i) {
      const double* p = slices[i].position;
      along[i] = sign * (p[0] * normal[0] + p[1] * normal[1] + p[2] * normal[2]);
    }
  }
  auto name = [&](size_t i) {
    std::string n = i < names.size() ? names[i] : std::string();
    for (char& c : n) c = (char)tolower((unsigned char)c);
    return n;
  };
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    if (placed && along[a] != along[b]) return along[a] < along[b];
    const SeriesHeader &x = slices[a], &y = slices[b];
    if (!placed || along[a] == along[b]) {
      if (x.hasInstance != y.hasInstance) return x.hasInstance;
      if (x.hasInstance && x.instance != y.instance) return x.instance < y.instance;
    }
    return name(a) < name(b);
  });
  return order;
}

}  // namespace qf
