#include "ConverterSettings.h"

#include "Helpers.h"
#include "VideoFormats.h"

namespace {
const wchar_t kSection[] = L"Settings";

int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

void PrepareList(CRecentList& list, LPCTSTR section) {
  list.m_nMaxCount = CConverterSettings::kMaxRecent;
  list.m_strSection = section;
  list.m_strEntryFormat = L"%02d";
  list.m_arrNames.RemoveAll();
}
}  // namespace

CConverterSettings::CConverterSettings() {
  PrepareList(m_outputFiles, L"Recent\\OutFiles");
  PrepareList(m_inputFiles, L"Recent\\InFiles");
  PrepareList(m_outputFolders, L"Recent\\OutFolders");
}

int CConverterSettings::Load() {
  CWinApp* app = AfxGetApp();
  if (!app) return 0;
  m_bAlwaysOnTop = (int)app->GetProfileInt(kSection, L"AlwaysOnTop", m_bAlwaysOnTop) != 0;
  m_nPage = Clamp((int)app->GetProfileInt(kSection, L"Page", m_nPage), 0, kPageCount - 1);
  m_nVideoFormat = Clamp((int)app->GetProfileInt(kSection, L"VideoFormat", m_nVideoFormat), 0, VIDEO_FORMAT_COUNT - 1);
  m_nFilterIndex = (int)app->GetProfileInt(kSection, L"FilterIndex", m_nFilterIndex);
  m_strLastFolder1 = app->GetProfileString(kSection, L"LastFolder1", L"");
  m_strLastFolder2 = app->GetProfileString(kSection, L"LastFolder2", L"");
  m_bScanSubfolders = (int)app->GetProfileInt(kSection, L"ScanSubfolders", m_bScanSubfolders) != 0;
  m_strLastFilter = app->GetProfileString(kSection, L"LastFilter", m_strLastFilter);
  m_bAutoCheckUpdate = (int)app->GetProfileInt(kSection, L"AutoCheckUpdate", m_bAutoCheckUpdate) != 0;
  m_nAutoCheckEvery = (int)app->GetProfileInt(kSection, L"AutoCheckUpdate.Every", m_nAutoCheckEvery);
  m_nFrameRateNum = (int)app->GetProfileInt(kSection, L"FrameRate.num", m_nFrameRateNum);
  m_nFrameRateDen = (int)app->GetProfileInt(kSection, L"FrameRate.den", m_nFrameRateDen);
  // A rate is a pair of positive numbers or none at all.
  if (m_nFrameRateNum <= 0 || m_nFrameRateDen <= 0) m_nFrameRateNum = m_nFrameRateDen = 0;

  PrepareList(m_outputFiles, L"Recent\\OutFiles");
  PrepareList(m_inputFiles, L"Recent\\InFiles");
  PrepareList(m_outputFolders, L"Recent\\OutFolders");
  m_outputFiles.ReadList();
  m_inputFiles.ReadList();
  m_outputFolders.ReadList();
  if (m_outputFolders.GetCount() == 0) {
    CString pictures = GetPicturesFolder();
    if (!pictures.IsEmpty()) m_outputFolders.Add(pictures);
  }
  return 0;
}

void CConverterSettings::Save() {
  CWinApp* app = AfxGetApp();
  if (!app) return;
  app->WriteProfileInt(kSection, L"AlwaysOnTop", m_bAlwaysOnTop ? 1 : 0);
  app->WriteProfileInt(kSection, L"Page", m_nPage);
  app->WriteProfileInt(kSection, L"VideoFormat", m_nVideoFormat);
  app->WriteProfileInt(kSection, L"FilterIndex", m_nFilterIndex);
  app->WriteProfileString(kSection, L"LastFolder1", m_strLastFolder1);
  app->WriteProfileString(kSection, L"LastFolder2", m_strLastFolder2);
  app->WriteProfileInt(kSection, L"ScanSubfolders", m_bScanSubfolders ? 1 : 0);
  app->WriteProfileString(kSection, L"LastFilter", m_strLastFilter);
  app->WriteProfileInt(kSection, L"AutoCheckUpdate", m_bAutoCheckUpdate ? 1 : 0);
  app->WriteProfileInt(kSection, L"AutoCheckUpdate.Every", m_nAutoCheckEvery);
  app->WriteProfileInt(kSection, L"FrameRate.num", m_nFrameRateNum);
  app->WriteProfileInt(kSection, L"FrameRate.den", m_nFrameRateDen);
  m_outputFiles.WriteList();
  m_inputFiles.WriteList();
  m_outputFolders.WriteList();
}
