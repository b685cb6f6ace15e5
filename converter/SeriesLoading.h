// Turns added files and folders into frame items: the image library splits
// medical files into pictures, ordinary pictures load as they are.
#pragma once
#include "FrameItem.h"
#include "afxwin.h"

class CImageLibraryLoader;

// File patterns by kind: 0 the Add Files filter, 1 the Add Folder choices,
// 2 the pattern of a drop; empty for any other kind.
CString GetSeriesFileFilter(int kind);

// Where loaded frames go.
class CFrameTarget {
 public:
  virtual ~CFrameTarget() {}
  // Takes ownership of the item; position -1 appends, else inserts there.
  virtual void PutFrame(CFrameItem* item, int position) = 0;
  virtual void ShowLoadStatus(LPCTSTR text) = 0;
  // After a file gave at least one frame.
  virtual void FramesAdded() = 0;
  // Checked between files: a long folder scan ends early when true.
  virtual bool StopRequested() { return false; }
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

 private:
  int ReadFrames(LPCTSTR path, int position, bool withStatus);
  bool Put(LPCTSTR source, int frameIndex, CRasterImage& image, int& position);

  CImageLibraryLoader* m_pLibrary;
  CFrameTarget* m_pTarget;
};
