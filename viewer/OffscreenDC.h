// A memory device context the size of a client area: drawing goes to it,
// and it is copied to the target in one go when it goes out of scope.
#pragma once
#include "afxwin.h"

class COffscreenDC : public CDC {
 public:
  COffscreenDC(CDC* pTarget, const CRect& rcClient) : m_pTarget(pTarget), m_rcClient(rcClient) {
    CreateCompatibleDC(pTarget);
    m_bitmap.CreateCompatibleBitmap(pTarget, rcClient.Width(), rcClient.Height());
    m_pOldBitmap = SelectObject(&m_bitmap);
  }
  ~COffscreenDC() override {
    m_pTarget->BitBlt(0, 0, m_rcClient.Width(), m_rcClient.Height(), this, 0, 0, SRCCOPY);
    SelectObject(m_pOldBitmap);
  }
  COffscreenDC(const COffscreenDC&) = delete;
  COffscreenDC& operator=(const COffscreenDC&) = delete;

 private:
  CDC* m_pTarget;
  CRect m_rcClient;
  CBitmap m_bitmap;
  CBitmap* m_pOldBitmap = nullptr;
};
