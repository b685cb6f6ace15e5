// Turns added files and folders into frame items: the image library splits
// medical files into pictures, ordinary pictures load as they are.
#pragma once
#include "afx.h"
#include "converter/jobs/FrameItem.h"

#include <memory>
#include <utility>
#include <vector>

class CImageLibraryLoader;

// The kinds of file patterns of the series page.
enum SeriesFilterKind {
  SERIES_FILTER_ADD_FILES = 0,       // the Add Files dialog's filter
  SERIES_FILTER_FOLDER_CHOICES = 1,  // the Add Folder dialog's choices
  SERIES_FILTER_DROP_PATTERN = 2,    // what a dropped folder is scanned for
};

// The patterns of one kind; empty for any other kind.
CString GetSeriesFileFilter(int kind);

// Where loaded frames go: the series page, which carries the calls of a
// loader thread to its window's thread.
class CFrameTarget {
 public:
  virtual ~CFrameTarget() {}
  // Position -1 appends, else inserts there.
  virtual void PutFrame(std::shared_ptr<CFrameItem> item, int position) = 0;
  virtual void ShowLoadStatus(LPCTSTR text) = 0;
  // After a file gave at least one frame.
  virtual void FramesAdded() = 0;
  // Checked between files: a long folder scan ends early when true.
  virtual bool StopRequested() { return false; }
};

// The pictures of one file, made ready for delivery (with their picture
// index in the file, or -1 for the whole file).
struct CDecodedSource {
  std::vector<std::pair<CRasterImage*, int>> images;
  ~CDecodedSource();
};

class CSeriesLoader {
 public:
  CSeriesLoader(CImageLibraryLoader* library, CFrameTarget* target) : m_pLibrary(library), m_pTarget(target) {}
  // The frames of one file appended, with status texts; their count.
  int LoadSource(LPCTSTR path);
  // The frames of one file inserted from position on, without status texts.
  int InsertSource(int position, LPCTSTR path);
  // Matching files of a folder (and its subfolders when asked), in name order.
  int ScanFolder(LPCTSTR folder, LPCTSTR pattern, int subfolders);
  // Files appended in their order, as LoadSource does for each; several are
  // decoded at once ahead of the one being delivered.
  int LoadFiles(const std::vector<CString>& paths);
  // Files and folders appended in their order: a folder is scanned for the
  // pattern. Ends early when the target asks to stop; the frames' count.
  int LoadPaths(const CStringArray& paths, LPCTSTR pattern, int subfolders);

  // Reads a file's pictures; runs on any thread.
  static std::unique_ptr<CDecodedSource> Decode(CImageLibraryLoader* library, LPCTSTR path);

 private:
  int ReadFrames(LPCTSTR path, int position, bool withStatus);
  int Deliver(LPCTSTR path, CDecodedSource& decoded, int position, bool withStatus);
  void ShowLoading(LPCTSTR path);
  bool Put(LPCTSTR source, int frameIndex, CRasterImage& image, int& position);

  CImageLibraryLoader* m_pLibrary;
  CFrameTarget* m_pTarget;
};
