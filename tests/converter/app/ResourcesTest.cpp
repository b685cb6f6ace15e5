#include <gtest/gtest.h>

#include "resources/converter/ConverterRes.h"
#include "converter/app/ConverterResources.h"
#include "tests/converter/support/ConverterTestApp.h"
#include "converter/tools/MediaTool.h"

TEST(ConverterResources, ImageListsCursorAndPublishedFonts) {
  CConverterTestApp app(L"ResourcesLists");
  CConverterResources res;
  ASSERT_EQ(0, res.Init());
  EXPECT_EQ(&res, GetUIResources());
  EXPECT_EQ(4, res.m_smallImages.GetImageCount());
  EXPECT_EQ(3, res.m_largeImages.GetImageCount());
  int cx = 0, cy = 0;
  res.m_largeImages.GetIconSize(&cx, &cy);
  EXPECT_EQ(24, cx);
  EXPECT_EQ(24, cy);
  ASSERT_NE(nullptr, res.GetHandCursor());
  EXPECT_EQ(res.GetHandCursor(), GetSharedHandCursor());
  ICONINFO info = {};
  ASSERT_TRUE(::GetIconInfo(res.GetHandCursor(), &info));
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(10u, info.xHotspot);
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  if (info.hbmMask) ::DeleteObject(info.hbmMask);
  EXPECT_EQ(RGB(0xF0, 0xF0, 0xF0), [&] {
    LOGBRUSH lb = {};
    res.GetLabelBrush()->GetLogBrush(&lb);
    return lb.lbColor;
  }());
  EXPECT_NE(nullptr, res.GetImageList(1));

  LOGFONTW lf = {};
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
  lf.lfHeight = -12;
  CFont dialogFont;
  dialogFont.CreateFontIndirect(&lf);
  EXPECT_TRUE(res.CreateFonts(&dialogFont));
  LOGFONTW got = {};
  ::GetObjectW((HFONT)res.m_fontLargeBold.GetSafeHandle(), sizeof(got), &got);
  EXPECT_EQ(-16, got.lfHeight);
  EXPECT_EQ(FW_BOLD, got.lfWeight);
  ::GetObjectW((HFONT)res.m_fontUnderline.GetSafeHandle(), sizeof(got), &got);
  EXPECT_EQ(1, got.lfUnderline);
  EXPECT_EQ(-12, got.lfHeight);
  ::GetObjectW((HFONT)res.m_fontBold.GetSafeHandle(), sizeof(got), &got);
  EXPECT_EQ(0, got.lfUnderline);
  EXPECT_EQ(FW_BOLD, got.lfWeight);
  // Fonts are made once for the whole program.
  HFONT before = (HFONT)res.m_fontNormal.GetSafeHandle();
  lf.lfHeight = -30;
  CFont other;
  other.CreateFontIndirect(&lf);
  res.CreateFonts(&other);
  EXPECT_EQ(before, (HFONT)res.m_fontNormal.GetSafeHandle());
  EXPECT_EQ(&res.m_fontBold, GetSharedFont(CUIResources::FontBold));
  EXPECT_EQ(-14, CConverterResources::LargeFontHeight(-11));  // truncated toward zero
}

TEST(ConverterResources, ToolPathsKeepTheirFolderWhenTheToolIsMissing) {
  CConverterTestApp app(L"ResourcesTools");
  CString folder = MakeTestFolder(L"tool paths");
  app.WriteProfileString(L"", L"AppFolder", folder);
  {
    CConverterResources res;
    ASSERT_EQ(0, res.Init());
    EXPECT_STREQ(folder + L"\\Modules\\Smeltrix.exe", res.m_strEncoderPath);
    EXPECT_STREQ(folder + L"\\Modules\\Sondrel.exe", res.m_strProbePath);
    EXPECT_STREQ(folder + L"\\Modules\\Presets", res.m_strPresetsFolder);
    // A program of the same name in the current folder is never run instead.
    wchar_t cwd[MAX_PATH] = {0};
    ::GetCurrentDirectoryW(MAX_PATH, cwd);
    ::SetCurrentDirectoryW(folder);
    ::CopyFileW(L"C:\\windows\\system32\\cmd.exe", folder + L"\\Smeltrix.exe", FALSE);
    CMediaTool tool;
    tool.SetToolPath(res.m_strEncoderPath);
    CStopFlag stop{0};
    EXPECT_EQ(-1, tool.RunTool(tool.MakeCommandLine(L"/c exit 0"), &stop));
    ::SetCurrentDirectoryW(cwd);
  }
  ::CreateDirectoryW(folder + L"\\Modules", nullptr);
  TouchFile(folder + L"\\Modules\\Smeltrix.exe");
  CConverterResources res;
  ASSERT_EQ(0, res.Init());
  EXPECT_STREQ(folder + L"\\Modules\\Smeltrix.exe", res.m_strEncoderPath);
  EXPECT_STREQ(folder + L"\\Modules\\Presets", res.m_strPresetsFolder);
  EXPECT_STREQ(L"C:\\x\\Modules\\Presets", CConverterResources::MakePresetsFolder(L"C:\\x\\Modules\\Smeltrix.exe"));
}
