// Off-screen drawing context: everything drawn into it reaches the target in
// one copy when it goes out of scope, so a control paints without flicker.
#pragma once
#include "afxwin.h"

class CBufferedDC : public CDC {
 public:
  // pRect: the part of the target to cover, in its logical coordinates; null
  // takes the target's clip box. Callers draw with the target's coordinates.
  CBufferedDC(CDC* pDC, const RECT* pRect = nullptr);
  ~CBufferedDC() override;
  CBufferedDC(const CBufferedDC&) = delete;
  CBufferedDC& operator=(const CBufferedDC&) = delete;

  // TRUE when drawing goes straight to the target (a printer context, or no
  // off-screen bitmap could be made).
  BOOL IsPassThrough() const { return m_bPassThrough; }
  const CRect& GetBufferRect() const { return m_rect; }

 private:
  CBitmap m_bitmap;
  HGDIOBJ m_hOldBitmap = nullptr;
  CDC* m_pDC;
  CRect m_rect;
  BOOL m_bPassThrough;
};
