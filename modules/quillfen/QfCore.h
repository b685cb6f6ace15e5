// Quillfen's inner model: decoded images, the readers and writers behind the
// exported table, and the helpers they share.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>
#include "interfaces/QuillfenRecords.h"

namespace qf {

// Most bytes of decoded samples that one request may make from one file,
// whatever its header claims; compressed data is inflated up to this much.
constexpr uint64_t kMaxDecodedBytes = (uint64_t)1 << 30;
// The limit in force: kMaxDecodedBytes, or a lower one that a test harness sets.
uint64_t DecodeLimit();
void SetDecodeLimit(uint64_t bytes);
// Bytes a decoded volume of this many pixels holds: grey samples are floats,
// colour ones three bytes. This, not the file's sample size, meets the limit.
constexpr uint64_t DecodedBytes(uint64_t pixels, int channels) {
  return pixels * (channels == 3 ? 3u : (uint64_t)sizeof(float));
}

// A decoded image: one or more frames of grey values (after the modality
// rescale) or 8-bit RGB triples.
struct Volume {
  int width = 0, height = 0, frames = 0;
  int channels = 1;          // 1 grey, 3 RGB
  std::vector<float> grey;   // width*height*frames
  std::vector<uint8_t> rgb;  // width*height*frames*3
  bool invert = false;       // MONOCHROME1
  bool hasWindow = false;    // window from the file
  double center = 0, width_ = 0;
  int instance = 0;  // DICOM instance number, when known
  bool hasInstance = false;
  std::string series;  // DICOM series instance UID, when known

  size_t FrameSize() const { return (size_t)width * (size_t)height; }
};

// Default window of a frame: the file's, else the frame's value range.
void DefaultWindow(const Volume& v, int frame, double& center, double& width);
// Renders one frame to 8-bit samples (grey: w*h, colour: w*h*3, top-down rows).
void RenderFrame(const Volume& v, int frame, double center, double width, std::vector<uint8_t>& out);

// File kinds recognised by content (and, for the raw formats, extension).
// Picture stands for BMP, PNG, JPEG and GIF, which the image container reads.
enum class Kind { None, Dicom, MetaImage, Nifti, Analyze, Nrrd, Minc, Tiff, Pnm, Picture };
Kind DetectKind(const std::string& path);
// Medical formats only (one volume).
bool LoadVolume(const std::string& path, Volume& v, std::string& error);
bool LoadVolumeOfKind(Kind kind, const std::string& path, Volume& v, std::string& error);
// Every kind; pages of a TIFF and frames of an animation become volumes of their own.
bool LoadImages(const std::string& path, std::vector<Volume>& out, std::string& error);
// The frames of each volume LoadImages makes of a file that is not DICOM,
// from its headers alone; false when they tell it cannot be read.
bool ReadImageFrames(const std::string& path, Kind kind, std::vector<int>& frames);

// DICOM through GDCM.
bool LooksLikeDicom(const std::string& path);
bool LooksLikeDicomBytes(const uint8_t* head, size_t size);
void WarmUp();
bool LoadDicom(const std::string& path, Volume& v, std::string& error);
bool DecodeDicom(const uint8_t* data, size_t size, Volume& v, std::string& error);
bool ReadDicomInfo(const std::string& path, bool wantTags, FileInfoRequest* req, std::string& error);
// Writes an 8-bit grey or 24-bit colour picture as one Secondary Capture file.
bool WriteSecondaryCapture(const std::string& path, int width, int height, int channels,
                           const std::vector<uint8_t>& pixels, std::string& error);

// Other medical formats (own readers).
bool LoadOtherFormat(Kind kind, const std::string& path, Volume& v, std::string& error);
// Width, height and frames from the header alone.
bool ReadOtherFormatInfo(Kind kind, const std::string& path, int& width, int& height, int& frames, std::string& error);
// A data file named by a header: inside the header's folder or a local
// absolute path; network shares, device paths and addresses are refused.
bool ResolveDataFile(const std::string& headerPath, const std::string& name, std::string& full, std::string& error);

// Pictures.
bool DecodePnm(const uint8_t* data, size_t size, std::vector<Volume>& out, std::string& error);
// The pictures of a PNM file, from their headers (text samples: the first only).
int CountPnmImages(const uint8_t* data, size_t size);
// Through the image container; format 0 detects BMP, JPEG, GIF or PNG.
bool DecodePicture(const uint8_t* data, size_t size, std::vector<Volume>& out, std::string& error, int format = 0);
bool LoadTiff(const std::string& path, std::vector<Volume>& out, std::string& error);
// Size of the first page and the number of pages read, from the directories
// only; pages larger together than the decode limit are refused.
bool ReadTiffInfo(const std::string& path, int& width, int& height, int& pages);
bool WriteBmp(const std::string& path, int width, int height, int channels, const uint8_t* pixels);
bool ReadBmp(const std::string& path, int& width, int& height, int& channels, std::vector<uint8_t>& pixels,
             std::string& error);
bool ReadPictureSize(const std::string& path, int& width, int& height);
// BMP, PNG, JPEG and GIF: the size, and the frames (a GIF's all), whose
// decoded size must stay within the decode limit, as decoding checks it.
bool ReadPictureInfo(const std::string& path, int& width, int& height, int& frames, std::string& error);
bool WritePng(const std::string& path, int width, int height, int channels, const uint8_t* pixels);

// Files.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& data, size_t limit = 0);
bool ReadMaybeGzip(const std::string& path, std::vector<uint8_t>& data);
bool IsDirectory(const std::string& path);
uint64_t FileSize(const std::string& path);  // 0 when it cannot be had
bool FileExists(const std::string& path);
std::string JoinPath(const std::string& folder, const std::string& name);
std::string Extension(const std::string& path);  // lower case, with the dot; ".nii.gz" style for gz
// Writes through a temporary file in the same folder and moves it into place
// without replacing an existing file; nothing is left behind on failure.
// Creates a file that must not exist yet; removed again if the write fails.
bool WriteNewFile(const std::string& path, const std::vector<uint8_t>& data);
bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& data, bool replace);

// Buffers handed back to the program.
// The table whose pfnAlloc / pfnFree serve the buffers handed back.
void BindTable(ModuleInterface* table);
void* Alloc(size_t size);
void FreeBuffer(void* p);

}  // namespace qf
