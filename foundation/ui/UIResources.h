// What the window components take from the program they run in: fonts, the
// hand cursor, the label brush and whether visual styles are on. Each
// program's resources object implements it and publishes itself at start-up;
// without one (test hosts) the components fall back to system objects.
#pragma once
#include "afxwin.h"

class CUIResources {
 public:
  enum FontKind { FontNormal = 0, FontBold = 1, FontUnderline = 2, FontLargeBold = 3 };
  virtual ~CUIResources() {}
  virtual CFont* GetUIFont(int kind) = 0;
  virtual HCURSOR GetHandCursor() = 0;
  virtual BOOL IsThemed() = 0;
  // The background brush of labels; null when the program keeps none.
  virtual CBrush* GetLabelBrush() { return nullptr; }
};

CUIResources* GetUIResources();
void SetUIResources(CUIResources* resources);

// With fallbacks: the default GUI font (a bold or underlined copy of it), the
// system hand cursor, visual styles as the binding reports them.
CFont* GetSharedFont(int kind);
HCURSOR GetSharedHandCursor();
BOOL IsSharedThemed();
