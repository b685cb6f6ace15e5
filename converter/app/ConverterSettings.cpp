#include "converter/app/ConverterSettings.h"

#include "foundation/Folders.h"
#include "foundation/SettingFields.h"
#include "converter/jobs/VideoFormats.h"

namespace {
const wchar_t kSection[] = L"Settings";

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

CSettingFields CConverterSettings::Fields() {
  return {
      BoolSetting(L"AlwaysOnTop", m_bAlwaysOnTop),
      IntSetting(L"Page", m_nPage, 0, kPageCount - 1),
      IntSetting(L"VideoFormat", m_nVideoFormat, 0, VIDEO_FORMAT_COUNT - 1),
      IntSetting(L"FilterIndex", m_nFilterIndex),
      TextSetting(L"LastFolder1", m_strLastFolder1, L""),
      TextSetting(L"LastFolder2", m_strLastFolder2, L""),
      BoolSetting(L"ScanSubfolders", m_bScanSubfolders),
      TextSetting(L"LastFilter", m_strLastFilter),
      BoolSetting(L"AutoCheckUpdate", m_bAutoCheckUpdate),
      IntSetting(L"AutoCheckUpdate.Every", m_nAutoCheckEvery),
      IntSetting(L"FrameRate.num", m_nFrameRateNum),
      IntSetting(L"FrameRate.den", m_nFrameRateDen),
  };
}

int CConverterSettings::Load() {
  CWinApp* app = AfxGetApp();
  if (!app) return 0;
  LoadSettingFields(app, kSection, Fields());
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
  SaveSettingFields(app, kSection, Fields());
  m_outputFiles.WriteList();
  m_inputFiles.WriteList();
  m_outputFolders.WriteList();
}
