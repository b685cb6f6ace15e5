// The viewer's shared fonts, cursor and system version, reached by every
// viewer class through the published pointer.
#pragma once
#include "foundation/Versions.h"
#include "foundation/ui/UIResources.h"
#include "afxwin.h"

class CViewerResources : public CUIResources {
 public:
  CViewerResources() {}
  ~CViewerResources() override;

  // Queries the system version, makes the fonts, loads cursor 401; 0 (always).
  // Publishes itself to the window components.
  int Init();
  // Platform NT and major version above 5.
  BOOL IsNT6OrLater() const;

  // What the window components ask for.
  CFont* GetUIFont(int kind) override;
  HCURSOR GetHandCursor() override { return m_hCursor; }
  BOOL IsThemed() override;

  COSVersionInfo m_osVersion;
  CFont m_fontNormal;
  CFont m_fontUnderline;
  CFont m_fontBold;
  CFont m_fontLargeBold;
  HCURSOR m_hCursor = nullptr;
};

// The program-wide resources record; null until the application publishes it.
CViewerResources* GetViewerResources();
void SetViewerResources(CViewerResources* resources);
