#include "foundation/ui/BufferedDC.h"

CBufferedDC::CBufferedDC(CDC* pDC, const RECT* pRect) : m_pDC(pDC), m_bPassThrough(pDC->IsPrinting()) {
  if (pRect)
    m_rect = *pRect;
  else
    pDC->GetClipBox(&m_rect);
  if (!m_bPassThrough) {
    if (CreateCompatibleDC(pDC) && m_bitmap.CreateCompatibleBitmap(pDC, m_rect.Width(), m_rect.Height())) {
      m_hOldBitmap = ::SelectObject(m_hDC, m_bitmap.GetSafeHandle());
      SetWindowOrg(m_rect.left, m_rect.top);
    } else {
      // Out of memory for the picture: draw straight to the target instead
      // of into a context whose output would be lost.
      if (m_hDC) DeleteDC();
      m_bitmap.DeleteObject();
      m_bPassThrough = TRUE;
    }
  }
  if (m_bPassThrough) {
    m_hDC = pDC->m_hDC;
    m_hAttribDC = pDC->m_hAttribDC;
    m_bPrinting = pDC->m_bPrinting;
  }
}

CBufferedDC::~CBufferedDC() {
  if (!m_bPassThrough) {
    m_pDC->BitBlt(m_rect.left, m_rect.top, m_rect.Width(), m_rect.Height(), this, m_rect.left, m_rect.top, SRCCOPY);
    ::SelectObject(m_hDC, m_hOldBitmap);
  } else {
    // The handles are the target's: not ours to delete.
    m_hDC = m_hAttribDC = nullptr;
  }
  m_bitmap.DeleteObject();
}
