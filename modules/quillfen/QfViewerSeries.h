// A folder series in the viewer window: its files are chosen and sorted by
// their headers alone and decoded on first use, the first one at once and the
// rest by a worker thread behind it, so that the first frame shows without
// waiting for the whole folder.
#pragma once
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "modules/quillfen/QfCore.h"

namespace qf {

// What the header of a single-frame DICOM image says about its place in a series.
struct SeriesHeader {
  std::string series;  // series instance UID, when known
  int instance = 0;    // instance number, when known
  bool hasInstance = false;
  // ImagePositionPatient and ImageOrientationPatient, when both are there.
  bool hasPosition = false;
  double position[3] = {0, 0, 0};
  double orientation[6] = {0, 0, 0, 0, 0, 0};
};
// False for files that are not single-frame DICOM images with rows and columns.
bool ReadSeriesHeader(const std::string& path, SeriesHeader& header);

// The order in which a series' slices play (indices into slices, names the
// files' names): by position along the slices' normal, increasing towards
// the patient's left, posterior or superior, whichever the normal is closest
// to, so that an axial series plays from inferior to superior; where a
// position is missing or the slices' orientations differ, by InstanceNumber
// (slices without one last); ties, then, by file name.
std::vector<size_t> SliceOrder(const std::vector<SeriesHeader>& slices, const std::vector<std::string>& names);

// One file decoded once, by whichever thread asks first.
class LazyVolume {
 public:
  explicit LazyVolume(std::string path) : m_path(std::move(path)) {}
  // The file's decoded image (of several: a TIFF's page, an animation's
  // frame), or null when it cannot be decoded or has no such image; decodes
  // the file on the calling thread unless another thread has begun, then
  // waits for that one.
  std::shared_ptr<const Volume> Get(size_t image = 0);
  // Decodes it when no thread has begun; never waits.
  void Prefetch();
  bool IsDecoded();

 private:
  void Decode(std::unique_lock<std::mutex>& lock);

  std::string m_path;
  std::mutex m_lock;
  std::condition_variable m_done;
  int m_state = 0;  // 0 waiting, 1 being decoded, 2 decoded or failed
  std::vector<std::shared_ptr<const Volume>> m_images;
};

// Decodes a list of files in order on a worker thread until done or stopped.
class BackgroundDecoder {
 public:
  BackgroundDecoder() {}
  BackgroundDecoder(const BackgroundDecoder&) = delete;
  BackgroundDecoder& operator=(const BackgroundDecoder&) = delete;
  ~BackgroundDecoder() { Stop(); }
  // Stops the previous work, then starts on these files.
  void Start(std::vector<std::shared_ptr<LazyVolume>> files);
  // Asks the worker to stop and waits for it (at most the file it is on).
  void Stop();
  bool IsRunning() const { return m_thread.joinable(); }

 private:
  std::thread m_thread;
  std::atomic<bool> m_stop{false};
};

}  // namespace qf
