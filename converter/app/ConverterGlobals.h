// The converter's program-wide objects: the application object owns them and
// publishes them here when it is built; every other part reaches them here.
#pragma once

class CConverterResources;
class CConverterSettings;
class CImageLibrary;

CConverterResources* GetConverterResources();
CConverterSettings* GetConverterSettings();
CImageLibrary* GetConverterImageLibrary();
void SetConverterGlobals(CConverterResources* resources, CConverterSettings* settings, CImageLibrary* library);
