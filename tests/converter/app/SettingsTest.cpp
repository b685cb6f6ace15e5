#include <gtest/gtest.h>

#include "converter/app/ConverterSettings.h"
#include "tests/converter/support/ConverterTestApp.h"
#include "foundation/Folders.h"

namespace {
UINT ReadInt(LPCTSTR entry) { return AfxGetApp()->GetProfileInt(L"Settings", entry, 12345); }
}  // namespace

TEST(ConverterSettings, FirstStartDefaults) {
  CConverterTestApp app(L"SettingsFirstStart");
  CConverterSettings s;
  EXPECT_EQ(0, s.Load());
  EXPECT_EQ(0, s.m_nVideoFormat);
  EXPECT_EQ(0, s.m_nPage);
  EXPECT_EQ(1, s.m_bAutoCheckUpdate);
  EXPECT_EQ(7, s.m_nAutoCheckEvery);
  EXPECT_EQ(0, s.m_nFrameRateNum);
  EXPECT_EQ(0, s.m_nFrameRateDen);
  EXPECT_EQ(0, s.m_bAlwaysOnTop);
  EXPECT_EQ(0, s.m_outputFiles.GetCount());
  EXPECT_EQ(0, s.m_inputFiles.GetCount());
  ASSERT_EQ(1, s.m_outputFolders.GetCount());
  EXPECT_STREQ(GetPicturesFolder(), s.m_outputFolders.GetAt(0));
  EXPECT_FALSE(s.m_outputFolders.GetAt(0).IsEmpty());
}

TEST(ConverterSettings, RoundTripAndBooleansWrittenAsOne) {
  CConverterTestApp app(L"SettingsRoundTrip");
  app.WriteProfileInt(L"Settings", L"AlwaysOnTop", 5);
  app.WriteProfileInt(L"Settings", L"ScanSubfolders", -2);
  {
    CConverterSettings s;
    s.Load();
    EXPECT_EQ(1, s.m_bAlwaysOnTop);
    EXPECT_EQ(1, s.m_bScanSubfolders);
    s.m_nPage = 1;
    s.m_nVideoFormat = 8;
    s.m_nFilterIndex = 2;
    s.m_strLastFolder1 = L"C:\\in put";
    s.m_strLastFolder2 = L"D:\\series";
    s.m_strLastFilter = L"IM*;*.dcm";
    s.m_bAutoCheckUpdate = 0;
    s.m_nAutoCheckEvery = 30;
    s.m_nFrameRateNum = 30000;
    s.m_nFrameRateDen = 1001;
    s.m_outputFiles.Add(L"C:\\v\\a.mp4");
    s.m_outputFiles.Add(L"C:\\v\\b.avi");
    s.m_inputFiles.Add(L"C:\\v\\in.mov");
    s.Save();
  }
  EXPECT_EQ(1u, ReadInt(L"AlwaysOnTop"));
  EXPECT_EQ(1u, ReadInt(L"ScanSubfolders"));
  EXPECT_EQ(0u, ReadInt(L"AutoCheckUpdate"));
  EXPECT_STREQ(L"C:\\v\\b.avi", app.GetProfileString(L"Recent\\OutFiles", L"01"));
  EXPECT_STREQ(L"C:\\v\\a.mp4", app.GetProfileString(L"Recent\\OutFiles", L"02"));

  CConverterSettings t;
  t.Load();
  EXPECT_EQ(1, t.m_nPage);
  EXPECT_EQ(8, t.m_nVideoFormat);
  EXPECT_EQ(2, t.m_nFilterIndex);
  EXPECT_STREQ(L"C:\\in put", t.m_strLastFolder1);
  EXPECT_STREQ(L"D:\\series", t.m_strLastFolder2);
  EXPECT_STREQ(L"IM*;*.dcm", t.m_strLastFilter);
  EXPECT_EQ(0, t.m_bAutoCheckUpdate);
  EXPECT_EQ(30, t.m_nAutoCheckEvery);
  EXPECT_EQ(30000, t.m_nFrameRateNum);
  EXPECT_EQ(1001, t.m_nFrameRateDen);
  ASSERT_EQ(2, t.m_outputFiles.GetCount());
  EXPECT_STREQ(L"C:\\v\\b.avi", t.m_outputFiles.GetAt(0));
  ASSERT_EQ(1, t.m_inputFiles.GetCount());
  // The Pictures folder came in at the first load and was saved with the rest.
  ASSERT_EQ(1, t.m_outputFolders.GetCount());
}

TEST(ConverterSettings, RecentListsKeepTwentyEntries) {
  CConverterTestApp app(L"SettingsCap");
  {
    CConverterSettings s;
    s.Load();
    for (int i = 0; i < 25; ++i) {
      CString path;
      path.Format(L"C:\\out\\f%02d.mp4", i);
      s.m_outputFiles.Add(path);
    }
    EXPECT_EQ(20, s.m_outputFiles.GetCount());
    EXPECT_STREQ(L"C:\\out\\f24.mp4", s.m_outputFiles.GetAt(0));
    EXPECT_STREQ(L"C:\\out\\f05.mp4", s.m_outputFiles.GetAt(19));
    // The same path in another case moves to the top instead of repeating.
    s.m_outputFiles.Add(L"c:\\OUT\\F10.MP4");
    EXPECT_EQ(20, s.m_outputFiles.GetCount());
    s.Save();
  }
  EXPECT_STREQ(L"c:\\OUT\\F10.MP4", app.GetProfileString(L"Recent\\OutFiles", L"01"));
  EXPECT_STREQ(L"", app.GetProfileString(L"Recent\\OutFiles", L"21"));
  // Values beyond the cap written by someone else are not read.
  app.WriteProfileString(L"Recent\\OutFiles", L"21", L"C:\\extra.mp4");
  CConverterSettings t;
  t.Load();
  EXPECT_EQ(20, t.m_outputFiles.GetCount());
  for (int i = 0; i < t.m_outputFiles.GetCount(); ++i) EXPECT_STRNE(L"C:\\extra.mp4", t.m_outputFiles.GetAt(i));
}

TEST(ConverterSettings, OutOfRangeValuesAreClampedAtLoad) {
  CConverterTestApp app(L"SettingsClamp");
  app.WriteProfileInt(L"Settings", L"Page", 7);
  app.WriteProfileInt(L"Settings", L"VideoFormat", 42);
  app.WriteProfileInt(L"Settings", L"FrameRate.num", -5);
  app.WriteProfileInt(L"Settings", L"FrameRate.den", 1);
  CConverterSettings s;
  s.Load();
  EXPECT_EQ(1, s.m_nPage);
  EXPECT_EQ(10, s.m_nVideoFormat);
  EXPECT_EQ(0, s.m_nFrameRateNum);
  EXPECT_EQ(0, s.m_nFrameRateDen);
  app.WriteProfileInt(L"Settings", L"Page", -1);
  app.WriteProfileInt(L"Settings", L"VideoFormat", -3);
  CConverterSettings t;
  t.Load();
  EXPECT_EQ(0, t.m_nPage);
  EXPECT_EQ(0, t.m_nVideoFormat);
}
