#include "converter/FrameItem.h"

CFrameItem::~CFrameItem() {
  m_image.FreeFrames();
  m_image.FreeBuffers();
}
