// Every persistent setting of the converter, kept in the registry under the
// application's key, section "Settings", with three recent lists.
#pragma once
#include "foundation/RecentList.h"
#include "foundation/SettingFields.h"

class CConverterSettings {
 public:
  CConverterSettings();
  virtual ~CConverterSettings() {}

  // Reads every value; missing values keep their defaults, out-of-range ones
  // are brought into range. Returns 0.
  int Load();
  void Save();

  int m_bAlwaysOnTop = 0;
  int m_nPage = 0;         // 0 series to video, 1 video to DICOM
  int m_nVideoFormat = 0;  // row of the format table
  int m_nFilterIndex = 0;
  CString m_strLastFolder1;  // last Add Files
  CString m_strLastFolder2;  // last Add Folder
  int m_bScanSubfolders = 0;
  CString m_strLastFilter;
  CRecentList m_outputFiles;
  CRecentList m_inputFiles;
  CRecentList m_outputFolders;
  int m_bAutoCheckUpdate = 1;
  int m_nAutoCheckEvery = 7;
  int m_nFrameRateNum = 0;  // 0/0: the format's own rate
  int m_nFrameRateDen = 0;

  static const int kPageCount = 2;
  static const int kMaxRecent = 20;

 private:
  // The single values, in the order they are read and written.
  CSettingFields Fields();
};
