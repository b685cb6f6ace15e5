// The walk of a DICOM file's elements that comes before GDCM sees the file:
// from the start, the way GDCM reads it, so that what is judged afterwards is
// exactly what GDCM will take.
#include <gdcmDict.h>
#include <gdcmGlobal.h>
#include <gdcmTrace.h>
#include <gdcmTransferSyntax.h>
#include <zlib.h>

#include <string.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "modules/quillfen/QfDicomInternal.h"

namespace qf {

const gdcm::Dicts& DicomDictionaries() {
  static const gdcm::Dicts& dicts = []() -> const gdcm::Dicts& {
    // The library reports through its results, not on the standard streams.
    gdcm::Trace::SetDebug(false);
    gdcm::Trace::SetWarning(false);
    gdcm::Trace::SetError(false);
    return gdcm::Global::GetInstance().GetDicts();
  }();
  return dicts;
}

bool IsVrCode(const uint8_t* p) {
  static const char* const kVrs[] = {"AE", "AS", "AT", "CS", "DA", "DS", "DT", "FD", "FL", "IS", "LO", "LT",
                                     "OB", "OD", "OF", "OL", "OV", "OW", "PN", "SH", "SL", "SQ", "SS", "ST",
                                     "SV", "TM", "UC", "UI", "UL", "UN", "UR", "US", "UT", "UV"};
  for (const char* v : kVrs)
    if (p[0] == (uint8_t)v[0] && p[1] == (uint8_t)v[1]) return true;
  return false;
}

namespace {

// The VR of an element that GDCM reads while it builds the image agrees with
// the dictionary (GDCM asserts that it does); other elements keep whatever
// VR they came with, as real files often do. UN is taken for any of them
// where GDCM takes it: a value of defined length, little endian, not the
// pixel data (unknownAllowed).
bool VrFitsDictionary(uint16_t g, uint16_t e, char a, char b, bool unknownAllowed) {
  const bool read = g == 0x0002 || g == 0x0020 || g == 0x0028 || g == 0x7FE0 ||
                    (g == 0x0018 && (e == 0x0050 || e == 0x0088 || e == 0x1164 || e == 0x2010)) ||
                    (g == 0x3004 && (e == 0x000C || e == 0x000E));
  if (!read) return true;
  const gdcm::VR dict = DicomDictionaries().GetDictEntry(gdcm::Tag(g, e)).GetVR();
  if (dict == gdcm::VR::INVALID) return true;
  const char text[3] = {a, b, 0};
  const gdcm::VR vr = gdcm::VR::GetVRTypeFromFile(text);
  if (vr == gdcm::VR::UN) return unknownAllowed && g != 0x0002 && !(g == 0x7FE0 && e == 0x0010);
  return dict.Compatible(vr) || vr.Compatible(dict);
}

// Two bytes GDCM reads as a VR it does not know, and so as UN (printable ones).
bool PrintablePair(const uint8_t* p) { return p[0] >= ' ' && p[0] <= '~' && p[1] >= ' ' && p[1] <= '~'; }

bool LongFormVr(char a, char b) {
  return a == 'O' || (a == 'S' && (b == 'Q' || b == 'V')) ||
         (a == 'U' && (b == 'T' || b == 'N' || b == 'C' || b == 'R' || b == 'V'));
}

// How the elements of a data set are written: as its transfer syntax says,
// or, in a file whose explicit syntax GDCM cannot read so, element by element
// (explicit where a VR code follows the tag, else implicit), as GDCM then reads it.
enum class Encoding { Implicit, Explicit, Mixed };

class Walker {
 public:
  // shortTail: fewer than 4 bytes may follow the data set's last element.
  Walker(const uint8_t* d, size_t available, size_t total, bool big, bool shortTail = true)
      : d_(d), available_(available), total_(total), big_(big), shortTail_(shortTail) {}

  bool needMore = false;
  bool stopped = false;
  // An explicit element whose VR bytes are no VR at all (GDCM then reads the
  // data set again element by element).
  bool unreadableVr = false;

  // Elements from at up to end, or, nested in an item of undefined length,
  // up to its delimiter.
  bool Elements(size_t at, size_t end, Encoding encoding, int depth, bool untilDelimiter, bool stopAtPixelData,
                std::vector<DicomElement>& out, size_t& stoppedAt) {
    if (depth > kMaxDicomDepth) return false;
    while (at < end) {
      // Fewer than 4 bytes after the last element of the data set: GDCM's
      // next tag finds the end of the file and its reading ends there.
      if (shortTail_ && depth == 0 && !untilDelimiter && end == total_ && end - at < 4) break;
      if (!Have(at, 8, end) || ++count_ > kMaxElements) return false;
      DicomElement de;
      de.group = U16(at);
      de.element = U16(at + 2);
      if (de.group == 0xFFFE) {
        // Only the delimiter of an item of undefined length ends elements early.
        if (de.element != 0xE00D || !untilDelimiter || U32(at + 4) != 0) return false;
        stoppedAt = at + 8;
        return true;
      }
      size_t header = 8;
      bool isExplicit = encoding == Encoding::Explicit;
      if (encoding == Encoding::Mixed) {
        // GDCM takes printable bytes that are no VR code for UN; those are refused.
        isExplicit = IsVrCode(d_ + at + 4);
        if (!isExplicit && PrintablePair(d_ + at + 4)) return false;
      }
      if (isExplicit) {
        const char a = (char)d_[at + 4], b = (char)d_[at + 5];
        if (!IsVrCode(d_ + at + 4)) {
          unreadableVr = !PrintablePair(d_ + at + 4);
          return false;
        }
        // GDCM takes (00FF,4AA5) for pixel data running to the end of the file.
        if (!VrFitsDictionary(de.group, de.element, a, b, !big_) || (de.group == 0x00FF && de.element == 0x4AA5))
          return false;
        de.vr[0] = a;
        de.vr[1] = b;
        if (LongFormVr(a, b)) {
          if (!Have(at, 12, end)) return false;
          de.length = U32(at + 8);
          header = 12;
        } else {
          de.length = U16(at + 6);
          // GDCM reads four bytes of a UL of six in group 0009.
          if (de.group == 0x0009 && a == 'U' && b == 'L' && de.length == 6) de.length = 4;
        }
      } else {
        de.length = U32(at + 4);
        // GDCM reads 10 bytes of an implicit value of 13 (an old writer's
        // fault it repairs), except of two elements that another writer wrote so.
        if (de.length == 13 && !(de.group == 0x0008 && (de.element == 0x0070 || de.element == 0x0080)))
          de.length = 10;
      }
      at += header;
      de.value = at;
      const bool pixelData = de.group == 0x7FE0 && de.element == 0x0010;
      const bool sq = isExplicit && de.vr[0] == 'S' && de.vr[1] == 'Q';
      const bool un = isExplicit && de.vr[0] == 'U' && de.vr[1] == 'N';
      // Items nested in an element: explicit ones as the data set, implicit
      // ones (and UN sequences) in the implicit encoding.
      const Encoding inner = isExplicit && !un ? encoding : Encoding::Implicit;
      if (pixelData && depth == 0 && stopAtPixelData) {
        // Its value is not read here: a cut one is for decoding to refuse.
        de.size = 0;
        de.encapsulated = de.length == kUndefinedLength;
        // What follows a pixel data value of defined length at the end of the
        // file: a tail of 4 to 7 bytes is refused here as when walked whole.
        if (de.length != kUndefinedLength && de.length <= total_ - at) {
          const size_t tail = total_ - at - de.length;
          if (tail >= 4 && tail < 8) return false;
        }
        out.push_back(std::move(de));
        stopped = true;
        stoppedAt = at;
        return true;
      }
      if (de.length == kUndefinedLength) {
        if (pixelData) {
          // Fragments, in any encoding; pixel data written as a sequence is refused.
          if (sq || un || !Fragments(at, end, de.fragments, at)) return false;
          de.encapsulated = true;
        } else if (sq || !isExplicit || un) {
          // A sequence; of unknown VR, its items in the implicit encoding.
          de.sequence = true;
          if (!Items(at, end, true, inner, depth, de.children, at)) return false;
        } else {
          return false;  // GDCM would read another VR of undefined length as a sequence
        }
      } else {
        if (de.length > end - at || de.length > total_ - at) return false;
        de.size = de.length;
        if (sq && !pixelData) {
          de.sequence = true;
          size_t stop;
          if (!Items(at, at + de.length, false, inner, depth, de.children, stop)) return false;
        } else if (pixelData && sq) {
          return false;
        } else if ((!isExplicit || un) && de.length >= 8 && !pixelData) {
          // A value that starts with an item is read as a sequence when asked
          // for one (the implicit encoding); it must then be one.
          if (!Have(at, 4, end)) return false;
          if (U16(at) == 0xFFFE && U16(at + 2) == 0xE000) {
            de.sequence = true;
            size_t stop;
            if (!Items(at, at + de.length, false, Encoding::Implicit, depth, de.children, stop)) return false;
          }
        }
        at += de.length;
      }
      out.push_back(std::move(de));
    }
    if (untilDelimiter) return false;
    stoppedAt = at;
    return true;
  }

 private:
  // The items of a sequence, of defined or undefined length.
  bool Items(size_t at, size_t end, bool undefined, Encoding encoding, int depth, std::vector<DicomElement>& out,
             size_t& stoppedAt) {
    for (;;) {
      if (!undefined && at == end) {
        stoppedAt = at;
        return true;
      }
      if (!Have(at, 8, end) || U16(at) != 0xFFFE || ++count_ > kMaxElements) return false;
      const uint16_t e = U16(at + 2);
      const uint32_t len = U32(at + 4);
      at += 8;
      if (e == 0xE0DD) {
        if (!undefined || len != 0) return false;
        stoppedAt = at;
        return true;
      }
      if (e != 0xE000) return false;
      DicomElement item;
      item.group = 0xFFFE;
      item.element = 0xE000;
      item.length = len;
      item.value = at;
      if (len == kUndefinedLength) {
        if (!Elements(at, end, encoding, depth + 1, true, false, item.children, at)) return false;
      } else {
        // Its elements end inside it: one that runs past its end is refused.
        if (len > end - at) return false;
        size_t stop;
        item.size = len;
        if (!Elements(at, at + len, encoding, depth + 1, false, false, item.children, stop)) return false;
        at += len;
      }
      out.push_back(std::move(item));
    }
  }

  bool Fragments(size_t at, size_t end, std::vector<std::pair<size_t, size_t>>& out, size_t& stoppedAt) {
    for (;;) {
      if (!Have(at, 8, end) || U16(at) != 0xFFFE || ++count_ > kMaxElements) return false;
      const uint16_t e = U16(at + 2);
      const uint32_t len = U32(at + 4);
      at += 8;
      if (e == 0xE0DD) {
        if (len != 0) return false;
        stoppedAt = at;
        return true;
      }
      if (e != 0xE000 || len > end - at) return false;
      out.emplace_back(at, len);
      at += len;
    }
  }

  // n bytes at `at` lie before end; false (with needMore when the file has
  // them but memory does not) otherwise.
  bool Have(size_t at, size_t n, size_t end) {
    if (at > end || n > end - at) return false;
    if (at + n > available_) {
      needMore = at + n <= total_;
      return false;
    }
    return true;
  }

  uint16_t U16(size_t at) const { return big_ && Le16(d_ + at) != 0xFFFE ? Be16(d_ + at) : Le16(d_ + at); }
  uint32_t U32(size_t at) const {
    return big_ ? (uint32_t)d_[at] << 24 | (uint32_t)d_[at + 1] << 16 | (uint32_t)d_[at + 2] << 8 | d_[at + 3]
                : Le32(d_ + at);
  }

  // Elements, items and fragments of one file at most: real files hold a
  // few thousand; each one kept here costs about a hundred bytes.
  static constexpr size_t kMaxElements = 1000000;

  const uint8_t* d_;
  size_t available_, total_;
  bool big_, shortTail_;
  size_t count_ = 0;
};

}  // namespace

bool WalkDicom(const uint8_t* d, size_t n, size_t total, bool stopAtPixelData, DicomLayout& out, bool& needMore) {
  needMore = false;
  out.meta.clear();
  out.dataSet.clear();
  out.inflated.clear();
  out.syntax.clear();
  out.file = out.bytes = d;
  out.fileSize = out.size = n;
  out.explicitVr = true;
  out.mixed = false;
  out.bigEndian = false;
  out.whole = true;
  if (total < n) return false;
  size_t at = 0;
  const bool preamble = n >= 132 && memcmp(d + 128, "DICM", 4) == 0;
  if (preamble) at = 132;
  // A meta header without the preamble leaves GDCM guessing its encoding.
  else if (n >= 2 && d[0] == 0x02 && d[1] == 0x00)
    return false;
  // The meta header: explicit little endian, group 0002, values of defined
  // length. With the preamble it must be there and name the transfer syntax,
  // so that GDCM has nothing to guess.
  {
    Walker meta(d, n, total, false);
    while (at + 8 <= n && d[at] == 0x02 && d[at + 1] == 0x00) {
      if (!IsVrCode(d + at + 4) ||
          !VrFitsDictionary(0x0002, Le16(d + at + 2), (char)d[at + 4], (char)d[at + 5], false))
        return false;
      const bool longForm = LongFormVr((char)d[at + 4], (char)d[at + 5]);
      const size_t header = longForm ? 12 : 8;
      if (at + header > n) {
        needMore = at + header <= total;
        return false;
      }
      const uint32_t len = longForm ? Le32(d + at + 8) : Le16(d + at + 6);
      if (len == kUndefinedLength || (d[at + 4] == 'S' && d[at + 5] == 'Q') || len > n - at - header) {
        needMore = len != kUndefinedLength && len <= total - at - header;
        return false;
      }
      DicomElement de;
      de.group = 0x0002;
      de.element = Le16(d + at + 2);
      de.vr[0] = (char)d[at + 4];
      de.vr[1] = (char)d[at + 5];
      de.length = len;
      de.value = at + header;
      de.size = len;
      if (de.element == 0x0010) {
        out.syntax.assign((const char*)d + de.value, len);
        while (!out.syntax.empty() && (out.syntax.back() == 0 || out.syntax.back() == ' ')) out.syntax.pop_back();
      }
      out.meta.push_back(de);
      at += header + len;
    }
    if (at + 8 > n && n < total) {
      needMore = true;
      return false;
    }
    if (preamble && (out.meta.empty() || out.syntax.empty() || at >= total)) return false;  // a data set must follow
    if (out.syntax.find('\0') != std::string::npos) return false;
  }
  if (!out.syntax.empty()) {
    // A syntax GDCM reads as another one than it says is refused.
    const gdcm::TransferSyntax::TSType type = gdcm::TransferSyntax::GetTSType(out.syntax.c_str());
    if (type == gdcm::TransferSyntax::TS_END ||
        strcmp(gdcm::TransferSyntax::GetTSString(type), out.syntax.c_str()) != 0)
      return false;
  } else if (at + 2 <= n && !(d[at] == 0x08 && d[at + 1] == 0x00)) {
    return false;  // a bare data set starts with group 0008, little endian
  }
  if (at >= total) return true;
  if (out.syntax.empty()) {
    // No meta header: explicit when a VR follows the first tag.
    out.explicitVr = at + 6 <= n && d[at + 4] >= 'A' && d[at + 4] <= 'Z' && d[at + 5] >= 'A' && d[at + 5] <= 'Z';
  } else if (out.syntax == "1.2.840.10008.1.2.1.99") {
    if (n < total) {
      needMore = true;
      return false;
    }
    z_stream z;
    memset(&z, 0, sizeof z);
    if (inflateInit2(&z, -15) != Z_OK) return false;
    z.next_in = const_cast<Bytef*>(d + at);
    z.avail_in = (uInt)std::min<size_t>(n - at, 0x7FFFFFFF);
    int rc = Z_OK;
    while (rc == Z_OK) {
      if (out.inflated.size() >= DecodeLimit()) break;
      const size_t before = out.inflated.size();
      out.inflated.resize(before + (1 << 16));
      z.next_out = out.inflated.data() + before;
      z.avail_out = 1 << 16;
      rc = inflate(&z, Z_NO_FLUSH);
      out.inflated.resize(before + (1 << 16) - z.avail_out);
    }
    inflateEnd(&z);
    if (rc != Z_STREAM_END) return false;
    out.bytes = out.inflated.data();
    out.size = out.inflated.size();
    Walker walker(out.bytes, out.size, out.size, false, false);
    size_t stop;
    return walker.Elements(0, out.size, Encoding::Explicit, 0, false, false, out.dataSet, stop);
  } else {
    out.explicitVr = out.syntax != "1.2.840.10008.1.2";
    out.bigEndian = out.syntax == "1.2.840.10008.1.2.2";
  }
  Walker walker(d, n, total, out.bigEndian);
  size_t stop;
  bool ok = walker.Elements(at, total, out.explicitVr ? Encoding::Explicit : Encoding::Implicit, 0, false,
                            stopAtPixelData, out.dataSet, stop);
  if (!ok && walker.unreadableVr && !walker.needMore && out.explicitVr && !out.bigEndian && !out.syntax.empty()) {
    // An explicit syntax over elements without VRs (some writers store the
    // data set implicit whatever the meta header says): GDCM reads the data
    // set again element by element, and so does the walk.
    Walker mixed(d, n, total, false);
    out.dataSet.clear();
    out.mixed = true;
    ok = mixed.Elements(at, total, Encoding::Mixed, 0, false, stopAtPixelData, out.dataSet, stop);
    needMore = mixed.needMore;
    out.whole = !mixed.stopped;
    return ok;
  }
  needMore = walker.needMore;
  out.whole = !walker.stopped;
  return ok;
}

bool ReadDicomLayout(const std::string& path, bool wholeFile, std::vector<uint8_t>& data, DicomLayout& out,
                     std::string& error) {
  const uint64_t total = FileSize(path);
  // Headers mostly fit in the first 256 KiB; the rest is read when they do not.
  const size_t prefix = (size_t)256 << 10;
  bool needMore = false;
  if (!wholeFile && total > prefix) {
    if (!ReadWholeFile(path, data, prefix)) {
      error = "the file cannot be read";
      return false;
    }
    if (WalkDicom(data.data(), data.size(), (size_t)total, true, out, needMore)) return true;
    if (!needMore) {
      error = "the file is cut short or its elements are damaged";
      return false;
    }
  }
  if (!ReadWholeFile(path, data) || (total && data.size() != total)) {
    error = "the file cannot be read";
    return false;
  }
  if (!WalkDicom(data.data(), data.size(), data.size(), !wholeFile, out, needMore)) {
    error = "the file is cut short or its elements are damaged";
    return false;
  }
  return true;
}

// ---- values of a walked file -------------------------------------------------

const DicomElement* DicomLayout::Find(const std::vector<DicomElement>& set, uint16_t g, uint16_t e) {
  for (const DicomElement& de : set)
    if (de.group == g && de.element == e) return &de;
  return nullptr;
}

uint16_t DicomLayout::U16(size_t at) const { return bigEndian ? Be16(bytes + at) : Le16(bytes + at); }

uint32_t DicomLayout::U32(size_t at) const {
  return bigEndian
             ? (uint32_t)bytes[at] << 24 | (uint32_t)bytes[at + 1] << 16 | (uint32_t)bytes[at + 2] << 8 | bytes[at + 3]
             : Le32(bytes + at);
}

std::vector<unsigned> DicomLayout::USValues(const DicomElement& de) const {
  std::vector<unsigned> out;
  if (de.sequence || de.encapsulated) return out;
  for (size_t i = 0; i + 2 <= de.size; i += 2) out.push_back(U16(de.value + i));
  return out;
}

unsigned DicomLayout::US(const std::vector<DicomElement>& set, uint16_t g, uint16_t e) const {
  const DicomElement* de = Find(set, g, e);
  if (!de || de->sequence || de->encapsulated || de->size < 2) return 0;
  return U16(de->value);
}

std::string DicomLayout::Text(const std::vector<DicomElement>& set, uint16_t g, uint16_t e) const {
  const DicomElement* de = Find(set, g, e);
  if (!de || de->sequence || de->encapsulated) return std::string();
  std::string s((const char*)bytes + de->value, de->size);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

bool DicomLayout::Integer(const std::vector<DicomElement>& set, uint16_t g, uint16_t e, long long& value) const {
  const DicomElement* de = Find(set, g, e);
  if (!de || de->sequence || de->encapsulated || de->size == 0) return false;
  // As GDCM reads it: a stream's whole number after leading white space
  // ("1e1" is 1, "0x10" is 0), the largest int where it overflows.
  std::istringstream in(std::string((const char*)bytes + de->value, de->size));
  int32_t v = 0;
  in >> std::ws >> v;
  value = v;
  return true;
}

uint64_t DicomLayout::Frames(const std::vector<DicomElement>& set) const {
  long long n = 0;
  uint64_t frames = Integer(set, 0x0028, 0x0008, n) && n > 1 ? (uint64_t)n : 1;
  // ACR-NEMA: three image dimensions, the third one the planes.
  if (Find(set, 0x0028, 0x0005) && US(set, 0x0028, 0x0005) == 3) {
    const unsigned planes = US(set, 0x0028, 0x0012);
    frames = planes > 1 ? planes : 1;
  }
  return frames;
}

bool DicomLayout::Number(const std::vector<DicomElement>& set, uint16_t g, uint16_t e, double& value) const {
  std::string s = Text(set, g, e);
  const size_t cut = s.find('\\');
  if (cut != std::string::npos) s.resize(cut);
  char* end = nullptr;
  value = strtod(s.c_str(), &end);
  return end != s.c_str() && std::isfinite(value);
}

}  // namespace qf
