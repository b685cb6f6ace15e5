// What the DICOM parts of the library share: the walk of a file's elements
// that comes before GDCM sees it, and the checks made on what it finds.
#pragma once
#include <gdcmDicts.h>
#include <gdcmPhotometricInterpretation.h>

#include <istream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "modules/quillfen/QfCore.h"

namespace gdcm {
class File;
class Pixmap;
}  // namespace gdcm

namespace qf {

// GDCM's dictionaries, built once before threads race for them; also keeps
// GDCM quiet on the standard streams.
const gdcm::Dicts& DicomDictionaries();

constexpr uint32_t kUndefinedLength = 0xFFFFFFFF;
// Sequences nest no deeper than this; deeper files are refused.
constexpr int kMaxDicomDepth = 32;

// One element as it is written in the file.
struct DicomElement {
  uint16_t group = 0, element = 0;
  char vr[3] = {0, 0, 0};     // as written; empty in implicit encodings
  uint32_t length = 0;        // as written (kUndefinedLength for undefined)
  size_t value = 0;           // where the value starts in the layout's bytes
  size_t size = 0;            // bytes of a value of defined length
  bool sequence = false;      // children are items (FFFE,E000), whose children are elements
  bool encapsulated = false;  // pixel data in fragments
  std::vector<DicomElement> children;
  std::vector<std::pair<size_t, size_t>> fragments;  // offset and length of each item
};

// A file's meta header and data set, walked the way GDCM reads them.
struct DicomLayout {
  const uint8_t* file = nullptr;  // the meta header's bytes
  size_t fileSize = 0;
  const uint8_t* bytes = nullptr;  // the data set's bytes: the file's, or the inflated ones
  size_t size = 0;
  std::vector<uint8_t> inflated;
  std::vector<DicomElement> meta, dataSet;
  std::string syntax;  // transfer syntax named by the meta header, empty when none
  bool explicitVr = true, bigEndian = false;
  // Elements written explicit or implicit one by one under an explicit syntax.
  bool mixed = false;
  // False when the walk stopped at the header of the top-level pixel data.
  bool whole = true;

  DicomLayout() = default;
  DicomLayout(const DicomLayout&) = delete;
  DicomLayout& operator=(const DicomLayout&) = delete;

  // The first element with this tag among these (GDCM keeps the first of duplicates).
  static const DicomElement* Find(const std::vector<DicomElement>& set, uint16_t g, uint16_t e);
  // A value's first unsigned 16-bit number (0 when absent or short), its numbers, its text
  // without trailing spaces and NULs, the first number of a text value.
  unsigned US(const std::vector<DicomElement>& set, uint16_t g, uint16_t e) const;
  // A text value's first number as GDCM reads an IS value (a whole number in
  // front of anything else; false when none).
  bool Integer(const std::vector<DicomElement>& set, uint16_t g, uint16_t e, long long& value) const;
  // The frames GDCM's image reader finds: NumberOfFrames read as a whole
  // number (1 unless above 1), or, where ImageDimensions (0028,0005) is 3,
  // the ACR-NEMA Planes (0028,0012).
  uint64_t Frames(const std::vector<DicomElement>& set) const;
  std::vector<unsigned> USValues(const DicomElement& de) const;
  std::string Text(const std::vector<DicomElement>& set, uint16_t g, uint16_t e) const;
  bool Number(const std::vector<DicomElement>& set, uint16_t g, uint16_t e, double& value) const;
  uint16_t U16(size_t at) const;
  uint32_t U32(size_t at) const;
};

// Walks a file's bytes. `available` of them are in memory, of a file of
// `total`: every element must lie inside the file, sequences nest at most
// kMaxDicomDepth deep, and nothing may be written so that GDCM would read it
// otherwise. With stopAtPixelData the walk ends at the header of the
// top-level pixel data, whose value is not looked at. needMore tells that
// the bytes in memory ran out first.
bool WalkDicom(const uint8_t* d, size_t available, size_t total, bool stopAtPixelData, DicomLayout& out,
               bool& needMore);
// The one way into a DICOM file from disk: its bytes read (only as far as the
// top-level pixel data when wholeFile is false, when that is enough) and walked.
bool ReadDicomLayout(const std::string& path, bool wholeFile, std::vector<uint8_t>& data, DicomLayout& out,
                     std::string& error);

// The description of one image (the file's own, or its icon's) that GDCM takes on trust.
struct ImageDescription {
  unsigned rows = 0, cols = 0, spp = 1, bitsAllocated = 0, bitsStored = 0, highBit = 0, signedness = 0;
  unsigned planar = 0;
  bool encapsulated = false;  // compressed: GDCM's codec may revise bits stored, high bit and sign from the stream
  uint64_t frames = 1;
  gdcm::PhotometricInterpretation::PIType pi = gdcm::PhotometricInterpretation::UNKNOWN;
};

// The checks on a walked file before GDCM decodes it: the pixel description,
// palettes, icon, and the compressed streams of the top-level pixel data,
// each judged against its own description (given back in image).
bool ImageIsSound(const DicomLayout& layout, ImageDescription& image, std::string& error);

// What GDCM read against what the walk judged (QfDicomAgree.cpp). After
// GDCM's parse and before its image set-up: the transfer syntax and every
// element decoding uses (group 0028 with its palettes and LUTs, the pixel
// data with its fragments, the icon, overlays, the SOP class, the recognition
// code, the dose grid's elements) hold the same values in both. After the
// set-up: GDCM's image is the one described.
bool GdcmReadTheWalk(const DicomLayout& layout, const gdcm::File& file, std::string& error);
bool GdcmImageIsDescribed(const ImageDescription& image, const gdcm::Pixmap& pixmap, std::string& error);

// A read-only stream over bytes in memory, so that GDCM parses a file read once.
class MemoryBuf : public std::streambuf {
 public:
  MemoryBuf(const uint8_t* data, size_t size) {
    char* p = reinterpret_cast<char*>(const_cast<uint8_t*>(data));
    setg(p, p, p + size);
  }

 protected:
  pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override {
    const off_type size = egptr() - eback();
    off_type base = dir == std::ios_base::beg ? 0 : dir == std::ios_base::cur ? gptr() - eback() : size;
    if (off < -base || off > size - base) return pos_type(off_type(-1));
    setg(eback(), eback() + (base + off), egptr());
    return pos_type(base + off);
  }
  pos_type seekpos(pos_type pos, std::ios_base::openmode which) override {
    return seekoff(off_type(pos), std::ios_base::beg, which);
  }
};

struct MemoryStream : std::istream {
  MemoryBuf buf;
  MemoryStream(const uint8_t* data, size_t size) : std::istream(nullptr), buf(data, size) { rdbuf(&buf); }
};

inline uint32_t Le32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
inline uint16_t Le16(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }
inline uint16_t Be16(const uint8_t* p) { return (uint16_t)(p[0] << 8 | p[1]); }

bool IsVrCode(const uint8_t* p);

}  // namespace qf
