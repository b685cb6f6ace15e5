#include "foundation/ui/UIResources.h"

#include "foundation/ui/VisualStyle.h"

namespace {
CUIResources* g_pResources = nullptr;

// Fallback fonts, made once from the default GUI font.
CFont* FallbackFont(int kind) {
  static CFont fonts[4];
  if (kind < 0 || kind > 3) kind = 0;
  if (!fonts[kind].GetSafeHandle()) {
    LOGFONTW lf = {};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    if (kind == CUIResources::FontUnderline) lf.lfUnderline = 1;
    if (kind == CUIResources::FontBold || kind == CUIResources::FontLargeBold) lf.lfWeight = FW_BOLD;
    if (kind == CUIResources::FontLargeBold) lf.lfHeight += lf.lfHeight / 3;
    fonts[kind].CreateFontIndirect(&lf);
  }
  return &fonts[kind];
}
}  // namespace

CUIResources* GetUIResources() { return g_pResources; }
void SetUIResources(CUIResources* resources) { g_pResources = resources; }

CFont* GetSharedFont(int kind) {
  CFont* font = g_pResources ? g_pResources->GetUIFont(kind) : nullptr;
  return font && font->GetSafeHandle() ? font : FallbackFont(kind);
}

HCURSOR GetSharedHandCursor() {
  HCURSOR cursor = g_pResources ? g_pResources->GetHandCursor() : nullptr;
  return cursor ? cursor : ::LoadCursorW(nullptr, IDC_HAND);
}

BOOL IsSharedThemed() { return g_pResources ? g_pResources->IsThemed() : IsVisualStyleActive(); }
