// What the converter's dialogs and controls share: fonts, the label brush,
// the image lists, the hand cursor and the paths of the outside tools.
#pragma once
#include "foundation/Versions.h"
#include "foundation/ShellIcons.h"
#include "foundation/ui/UIResources.h"

class CConverterResources : public CSystemImageLists, public CUIResources {
 public:
  CConverterResources();
  ~CConverterResources() override;

  // 0, or -1 when an image list cannot be made. Publishes this object as the
  // program's UI resources.
  int Init();
  // Makes the four fonts from a dialog's font; only the first call does anything.
  BOOL CreateFonts(CFont* font);
  // Visual styles may come and go with a system colour change.
  void RefreshThemedFlag();

  CFont* GetUIFont(int kind) override;
  HCURSOR GetHandCursor() override { return m_hHandCursor; }
  BOOL IsThemed() override { return m_bThemed; }
  CBrush* GetLabelBrush() override { return &m_brLabel; }

  // The tool paths: "<program folder>\Modules\<tool>.exe", kept whether or not
  // the file is there (a bare name would start whatever the shell finds).
  static CString MakeToolPath(LPCTSTR programFolder, LPCTSTR fileName);
  // The encoder's parent folder followed by "\Presets".
  static CString MakePresetsFolder(LPCTSTR encoderPath);
  // The large bold font's height for a dialog font of the given height.
  static LONG LargeFontHeight(LONG height) { return height + height / 3; }

  COSVersionInfo m_osVersion;
  BOOL m_bThemed = FALSE;
  CFont m_fontNormal;
  CFont m_fontBold;
  CFont m_fontUnderline;
  CFont m_fontLargeBold;
  HCURSOR m_hHandCursor = nullptr;
  CBrush m_brLabel;
  CImageList m_smallImages;  // 12 x 12
  CImageList m_largeImages;  // 24 x 24, the output list's row pictures
  CString m_strProbePath;
  CString m_strEncoderPath;
  CString m_strPresetsFolder;

 private:
  BOOL m_bFontsMade = FALSE;
};
