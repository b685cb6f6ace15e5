// What the readers of MetaImage, NIfTI / Analyze, NRRD and MINC share: the
// layout of raw samples that a header describes, how to read them, and the
// anatomical orientation of the volume they make.
#pragma once
#include <stdint.h>
#include <stdio.h>
#include <string>
#include <vector>

#include "modules/quillfen/QfCore.h"

namespace qf {

enum class Elem { U8, S8, U16, S16, U32, S32, U64, S64, F32, F64 };
size_t ElemSize(Elem e);
bool ElemIsInteger(Elem e);
bool ElemIsSigned(Elem e);
double ReadElem(const uint8_t* p, Elem e, bool bigEndian);

// How the samples are stored in their file: raw bytes, a gzip or zlib
// stream, numbers as text, or bytes as pairs of hex digits.
enum class Encoding { Raw, Gzip, Ascii, Hex, Bzip2, Hdf5 };

// One run of samples in one file, or `repeat` runs of the same length each
// `stride` bytes after the last (the records of a MINC 1 file).
struct Segment {
  std::string file;
  uint64_t start = 0;     // where the segment's part of the file begins
  uint64_t lineSkip = 0;  // text lines dropped from start on, before anything is decoded
  int64_t byteSkip = 0;   // decoded bytes dropped after the lines; -1: the samples are the file's last bytes
  uint64_t samples = 0;   // samples (of one channel each) one run holds
  uint64_t repeat = 1, stride = 0;
};

// Stored values to real ones, run by run of samples (a MINC slice each):
// clamped to low..high, then times slope[k] plus intercept[k].
struct RunScale {
  uint64_t run = 0;
  std::vector<double> slope, intercept;
  double low = 0, high = 0;
};

struct RawLayout {
  int w = 0, h = 0;
  int slices = 1;    // frames of one volume
  int volumes = 1;   // volumes one after the other (a time axis)
  int channels = 1;  // 1 grey; 3 or 4 are shown as RGB
  Elem e = Elem::U8;
  bool big = false;
  Encoding encoding = Encoding::Raw;
  double slope = 1, intercept = 0;
  RunScale scale;  // when its run is not 0, instead of slope and intercept
  bool flipRows = false;  // for files that give no orientation
  std::vector<Segment> segments;
  // The anatomical direction (left, posterior, superior) of the column, row
  // and slice axes, when the header gives one.
  bool oriented = false;
  double axes[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

  int Frames() const { return slices * volumes; }
  uint64_t SampleCount() const { return (uint64_t)w * (uint64_t)h * (uint64_t)slices * (uint64_t)volumes; }
  uint64_t DataBytes() const { return SampleCount() * (uint64_t)channels * ElemSize(e); }
};

// A single slice's third axis: the normal of its two, completing the frame.
void SliceNormal(RawLayout& L);
// Dimensions the library shows and that stay within the decode limit.
bool CheckLayout(const RawLayout& L, std::string& error);
// Multiplies extents, refusing products past the decode limit.
bool FrameCount(const std::vector<uint64_t>& extents, int& out, std::string& error);
// The samples of every segment, one after the other.
bool ReadLayoutData(const RawLayout& L, std::vector<uint8_t>& out, std::string& error);
bool LoadLayout(const RawLayout& L, Volume& v, std::string& error);
// A volume from samples already read (in the layout's byte order).
bool FillLayout(const RawLayout& L, const uint8_t* data, size_t size, Volume& v, std::string& error);
// Checks every gzip, zlib or bzip2 stream of the layout to its end (checksums
// included), and that each holds its skip and its samples.
bool VerifyLayoutStreams(const RawLayout& L, std::string& error);
// Moves past `lines` line ends from `at` on.
bool SkipLines(FILE* f, uint64_t at, uint64_t lines, uint64_t& out);
// Checks a whole gzip or zlib stream (every member's checksum) from start on.
bool VerifyCompressedFile(const std::string& path, uint64_t start, std::string& error);

// Files named by a header for a run of data files: a printf pattern with
// first, last and step ("slice%03d.raw 1 10 1"), its one conversion one of
// `conversions`.
bool PatternFiles(const std::string& headerPath, const std::string& line, const char* conversions,
                  std::vector<std::string>& files, std::string& error);

// Text helpers.
std::string Lower(std::string s);
std::string Trim(const std::string& s);
bool EndsWith(const std::string& s, const char* e);
std::vector<double> Numbers(const std::string& s);
// The first `count` values as whole sizes of 1 to 2^32-1.
bool WholeSizes(const std::vector<double>& values, int count, std::vector<uint64_t>& sizes, std::string& error);
bool ReadPrefix(const std::string& path, std::vector<uint8_t>& out, size_t n, bool gz);

// The header parsers.
bool ParseMeta(const std::string& path, RawLayout& L, std::string& error);
bool ParseNifti(const std::string& path, RawLayout& L, std::string& error);
bool ParseNrrd(const std::string& path, RawLayout& L, std::string& error);
bool ParseMinc(const std::string& path, RawLayout& L, std::string& error);
// The samples through the formats' own libraries, where the build has them;
// false with nothing done when it does not.
bool LoadNiftiSamples(const std::string& path, const RawLayout& L, Volume& v, std::string& error, bool& done);
bool LoadNrrdSamples(const std::string& path, const RawLayout& L, Volume& v, std::string& error, bool& done);
// teem's own reading of a NRRD header names the files, skips and samples of
// the layout made of it here (always true without teem).
bool NrrdTeemAgrees(const std::string& path, const RawLayout& L, std::string& error);
// MINC 2 (HDF5), where the build has HDF5.
bool ParseMinc2(const std::string& path, RawLayout& L, std::string& error);
bool LoadMinc2Samples(const std::string& path, const RawLayout& L, Volume& v, std::string& error);
// Header size of a NIfTI-1 / Analyze (348) or NIfTI-2 (540) header, 0 for neither.
int NiftiHeaderSize(const std::vector<uint8_t>& h);
// The header of an Analyze / NIfTI pair, from either file of the pair.
std::string PairHeader(const std::string& path, const std::string& ext);
// The other file of a pair (`want` ".hdr" or ".img"): compressed like this
// one, else the other way; its extension in this one's case.
std::string PairFile(const std::string& path, const char* want);
// Where nifticlib reads the layout's files, its own reading of the header
// finds the offset, type and sizes of the layout made of it here (always
// true without nifticlib).
bool NiftiLibAgrees(const std::string& path, const RawLayout& L, std::string& error);

}  // namespace qf
