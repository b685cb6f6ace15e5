// One picture of the series-to-video frame list, with the file it came from.
#pragma once
#include <memory>
#include <vector>

#include "imaging/image/RasterImage.h"
#include "afxstr.h"

// Conversion progress of a frame item.
enum {
  FRAMEITEM_STATE_NONE = 0,
  FRAMEITEM_STATE_WRITING = 1,
  FRAMEITEM_STATE_WRITTEN = 10,
  FRAMEITEM_STATE_FAILED = 40,  // its file could not be written
};

class CFrameItem {
 public:
  CFrameItem() : m_frameIndex(-1), m_image(RASTER_TYPE_UNKNOWN), m_state(FRAMEITEM_STATE_NONE) {}
  CFrameItem(const CFrameItem&) = delete;
  CFrameItem& operator=(const CFrameItem&) = delete;
  virtual ~CFrameItem();

  CString m_sourcePath;  // the file the user added
  int m_frameIndex;      // picture index within that file, -1 for the whole file
  CRasterImage m_image;
  int m_state;
  CString m_caption;  // filled by the frame strip when first drawn
};

// The frames of a series in their order. The page owns the list and its
// strip shows it; a job holds the frames it writes for as long as it runs.
typedef std::vector<std::shared_ptr<CFrameItem>> CFrameList;
