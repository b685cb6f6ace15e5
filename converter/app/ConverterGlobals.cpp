#include "converter/app/ConverterGlobals.h"

namespace {
CConverterResources* g_pResources = nullptr;
CConverterSettings* g_pSettings = nullptr;
CImageLibrary* g_pLibrary = nullptr;
}  // namespace

CConverterResources* GetConverterResources() { return g_pResources; }
CConverterSettings* GetConverterSettings() { return g_pSettings; }
CImageLibrary* GetConverterImageLibrary() { return g_pLibrary; }

void SetConverterGlobals(CConverterResources* resources, CConverterSettings* settings, CImageLibrary* library) {
  g_pResources = resources;
  g_pSettings = settings;
  g_pLibrary = library;
}
