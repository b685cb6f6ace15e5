#include "converter/tools/EncoderJob.h"

int CEncoderJob::MakeSizeEven() {
  if (m_nWidth > 0 && (m_nWidth & 1)) ++m_nWidth;
  if (m_nHeight > 0 && (m_nHeight & 1)) ++m_nHeight;
  return 0;
}
