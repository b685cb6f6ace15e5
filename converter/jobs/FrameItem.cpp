#include "converter/jobs/FrameItem.h"

CFrameItem::~CFrameItem() {
  m_image.FreeFrames();
  m_image.FreeBuffers();
}
