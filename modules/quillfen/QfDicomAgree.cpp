// What GDCM read against what the walk judged. GDCM repairs some broken
// layouts while it reads, and the walk copies only the repairs it knows: after
// any other, the two parses part ways and the checks would judge elements
// GDCM never decodes. So once GDCM has read a file, every element decoding
// uses must hold in GDCM's data set what the walk found, and once GDCM has
// set its image up, the image must be the one the walk described; a file
// that fails either is refused.
#include <gdcmFile.h>
#include <gdcmPixmap.h>
#include <gdcmSequenceOfFragments.h>
#include <gdcmSequenceOfItems.h>
#include <gdcmTransferSyntax.h>

#include <string.h>

#include "modules/quillfen/QfDicomInternal.h"

namespace qf {

namespace {

const char kDiffers[] = "GDCM reads the file otherwise than its elements are written";

// Bytes of a value as the walk found them against GDCM's copy, which GDCM
// has put in little-endian order where the file is big endian (by the VR's
// size of number, swap).
bool SameBytes(const DicomLayout& L, size_t at, size_t size, const gdcm::ByteValue* bv, unsigned swap) {
  const size_t theirs = bv ? (size_t)(uint32_t)bv->GetLength() : 0;
  if (theirs != size) return false;
  if (size == 0) return true;
  const uint8_t* ours = L.bytes + at;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(bv->GetPointer());
  if (!L.bigEndian || swap < 2) return memcmp(ours, p, size) == 0;
  if (size % swap) return false;
  for (size_t i = 0; i < size; i += swap)
    for (unsigned k = 0; k < swap; ++k)
      if (ours[i + k] != p[i + swap - 1 - k]) return false;
  return true;
}

bool SameElement(const DicomLayout& L, const DicomElement& ours, const gdcm::DataElement& theirs);

// The elements of one item or data set: the same tags (the first of
// duplicates, as both keep), with the same values.
bool SameElements(const DicomLayout& L, const std::vector<DicomElement>& ours, const gdcm::DataSet& theirs) {
  size_t distinct = 0;
  for (size_t i = 0; i < ours.size(); ++i) {
    const DicomElement& de = ours[i];
    // GDCM keeps no element of the groups below 0008 (but 0004) in a data set.
    if (de.group < 0x0008 && de.group != 0x0004) continue;
    if (DicomLayout::Find(ours, de.group, de.element) != &de) continue;
    ++distinct;
    const gdcm::Tag tag(de.group, de.element);
    if (!theirs.FindDataElement(tag) || !SameElement(L, de, theirs.GetDataElement(tag))) return false;
  }
  return distinct == theirs.Size();
}

bool SameElement(const DicomLayout& L, const DicomElement& ours, const gdcm::DataElement& theirs) {
  const gdcm::Value* value = theirs.IsEmpty() ? nullptr : &theirs.GetValue();
  if (!value) return ours.size == 0 && !ours.encapsulated && ours.children.empty() && ours.fragments.empty();
  if (const gdcm::ByteValue* bv = dynamic_cast<const gdcm::ByteValue*>(value)) {
    // A sequence of defined length GDCM keeps as bytes until it is asked for items.
    if (ours.encapsulated || ours.length == kUndefinedLength) return false;
    const gdcm::VR vr = theirs.GetVR();
    unsigned swap = vr == gdcm::VR::AT ? 2 : (vr & gdcm::VR::VRBINARY) ? vr.GetSize() : 1;
    return SameBytes(L, ours.value, ours.size, bv, swap);
  }
  if (const gdcm::SequenceOfFragments* sf = dynamic_cast<const gdcm::SequenceOfFragments*>(value)) {
    // The offset table and each fragment, in order.
    if (!ours.encapsulated || ours.fragments.empty() || sf->GetNumberOfFragments() + 1 != ours.fragments.size())
      return false;
    const gdcm::BasicOffsetTable& table = sf->GetTable();
    if (!SameBytes(L, ours.fragments[0].first, ours.fragments[0].second, table.GetByteValue(), 1)) return false;
    for (size_t k = 1; k < ours.fragments.size(); ++k)
      if (!SameBytes(L, ours.fragments[k].first, ours.fragments[k].second,
                     sf->GetFragment((unsigned)(k - 1)).GetByteValue(), 1))
        return false;
    return true;
  }
  if (const gdcm::SequenceOfItems* sq = dynamic_cast<const gdcm::SequenceOfItems*>(value)) {
    if (!ours.sequence || sq->GetNumberOfItems() != ours.children.size()) return false;
    for (size_t i = 0; i < ours.children.size(); ++i)
      if (!SameElements(L, ours.children[i].children, sq->GetItem(i + 1).GetNestedDataSet())) return false;
    return true;
  }
  return false;
}

// One top-level element in both, or in neither.
bool SameTopLevel(const DicomLayout& L, const std::vector<DicomElement>& ours, const gdcm::DataSet& theirs, uint16_t g,
                  uint16_t e) {
  const DicomElement* de = DicomLayout::Find(ours, g, e);
  const gdcm::Tag tag(g, e);
  if (!de) return !theirs.FindDataElement(tag);
  return theirs.FindDataElement(tag) && SameElement(L, *de, theirs.GetDataElement(tag));
}

// Every top-level element of the groups first to last, in both.
bool SameGroups(const DicomLayout& L, const std::vector<DicomElement>& ours, const gdcm::DataSet& theirs,
                uint16_t first, uint16_t last) {
  size_t distinct = 0;
  for (const DicomElement& de : ours) {
    if (de.group < first || de.group > last || DicomLayout::Find(ours, de.group, de.element) != &de) continue;
    ++distinct;
    if (!SameTopLevel(L, ours, theirs, de.group, de.element)) return false;
  }
  const gdcm::DataSet::DataElementSet& all = theirs.GetDES();
  size_t counted = 0;
  for (auto it = all.lower_bound(gdcm::DataElement(gdcm::Tag(first, 0)));
       it != all.end() && it->GetTag().GetGroup() <= last; ++it)
    ++counted;
  return counted == distinct;
}

}  // namespace

bool GdcmReadTheWalk(const DicomLayout& L, const gdcm::File& file, std::string& error) {
  const gdcm::TransferSyntax::TSType ours =
      L.syntax.empty()
          ? (L.explicitVr ? gdcm::TransferSyntax::ExplicitVRLittleEndian : gdcm::TransferSyntax::ImplicitVRLittleEndian)
          : gdcm::TransferSyntax::GetTSType(L.syntax.c_str());
  const gdcm::FileMetaInformation& meta = file.GetHeader();
  const gdcm::DataSet& ds = file.GetDataSet();
  const std::vector<DicomElement>& set = L.dataSet;
  // The meta header is little endian whatever the data set is.
  DicomLayout metaBytes;
  metaBytes.bytes = L.file;
  metaBytes.size = L.fileSize;
  bool same = meta.GetDataSetTransferSyntax() == gdcm::TransferSyntax(ours) &&
              SameTopLevel(metaBytes, L.meta, meta, 0x0002, 0x0002) && SameTopLevel(metaBytes, L.meta, meta, 0x0002, 0x0010);
  // The image description with its palettes and LUTs, the SOP class and the
  // old recognition code that choose how GDCM reads it, the dose grid's
  // scaling and frame offsets, the icon, the overlays, the pixel data.
  same = same && SameGroups(L, set, ds, 0x0028, 0x0028) && SameGroups(L, set, ds, 0x6000, 0x60FF) &&
         SameTopLevel(L, set, ds, 0x0008, 0x0010) && SameTopLevel(L, set, ds, 0x0008, 0x0016) &&
         SameTopLevel(L, set, ds, 0x3004, 0x000C) && SameTopLevel(L, set, ds, 0x3004, 0x000E) &&
         SameTopLevel(L, set, ds, 0x0088, 0x0200) && SameTopLevel(L, set, ds, 0x7FE0, 0x0010);
  if (!same) error = kDiffers;
  return same;
}

bool GdcmImageIsDescribed(const ImageDescription& image, const gdcm::Pixmap& pixmap, std::string& error) {
  const unsigned* dims = pixmap.GetDimensions();
  const gdcm::PixelFormat& pf = pixmap.GetPixelFormat();
  const uint64_t frames = pixmap.GetNumberOfDimensions() > 2 ? dims[2] : 1;
  const unsigned bitsStored = pf.GetBitsStored() ? pf.GetBitsStored() : pf.GetBitsAllocated();
  const unsigned highBit = pf.GetHighBit() ? pf.GetHighBit() : bitsStored - 1;
  // A codec may take bits stored, high bit and sign from its stream instead.
  const bool samples = image.encapsulated || (bitsStored == image.bitsStored && highBit == image.highBit &&
                                              pf.GetPixelRepresentation() == image.signedness);
  const bool same = dims[0] == image.cols && dims[1] == image.rows && frames == image.frames &&
                    pf.GetSamplesPerPixel() == image.spp && pf.GetBitsAllocated() == image.bitsAllocated && samples &&
                    pixmap.GetPhotometricInterpretation() == image.pi &&
                    (image.spp != 3 || pixmap.GetPlanarConfiguration() == image.planar);
  if (!same) error = kDiffers;
  return same;
}

}  // namespace qf
