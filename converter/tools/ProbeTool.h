// Runs the outside probe over a media file and reads its JSON report into a
// description of the file's format and streams.
#pragma once
#include <memory>
#include <vector>

#include "converter/tools/MediaTool.h"

enum : DWORD { MEDIA_HAS_VIDEO = 0x1, MEDIA_HAS_AUDIO = 0x2 };
enum {
  STREAM_TYPE_UNKNOWN = 0,
  STREAM_TYPE_VIDEO,
  STREAM_TYPE_AUDIO,
  STREAM_TYPE_SUBTITLE,
  STREAM_TYPE_DATA,
  STREAM_TYPE_ATTACHMENT
};

class CStreamInfo {
 public:
  int m_nType = 0;
  CString m_strCodecName;
  LONGLONG m_nStartTime = 0;  // microseconds
  LONGLONG m_nDuration = 0;   // microseconds
  int m_nBitRate = 0;
  LONGLONG m_nFrames = 0;
  int m_nWidth = 0;
  int m_nHeight = 0;
  int m_nFrameRateNum = 0;
  int m_nFrameRateDen = 0;
  int m_nChannels = 0;
  int m_nSampleRate = 0;
};

class CMediaInfo {
 public:
  CMediaInfo() {}
  // Probes the file with the probe at probePath: 0, 1 when stopped, -1 on failure.
  int Load(LPCTSTR path, LPCTSTR probePath, const CStopFlag* cancel);
  void Reset();
  void SplitStreams();
  CStreamInfo* GetFirstVideoStream() const;

  DWORD m_dwStreamFlags = 0;
  CString m_strFormatName;
  LONGLONG m_nSize = 0;
  LONGLONG m_nDuration = 0;  // microseconds
  int m_nBitRate = 0;
  LONGLONG m_nStartTime = 0;  // microseconds
  int m_nStreamCount = 0;
  std::vector<std::unique_ptr<CStreamInfo>> m_streams;
  std::vector<CStreamInfo*> m_videoStreams;
  std::vector<CStreamInfo*> m_audioStreams;
  int m_nFirstVideo = -1;
  int m_nFirstAudio = -1;

 private:
  CMediaInfo(const CMediaInfo&) = delete;
  CMediaInfo& operator=(const CMediaInfo&) = delete;
};

class CProbeOptions {
 public:
  CString m_strInput;
  CString m_strPrintFormat = L"json";
  int m_bShowFormat = 1;
  int m_bShowStreams = 1;
  int m_bShowEntries = 1;
  int m_bCountFrames = 0;
  CString m_strExtraArgs;
};

class CProbeTool : public CMediaTool {
 public:
  // A probe writes nothing that needs finishing: a stop ends it at once.
  CProbeTool() { m_nStopGraceMs = 0; }
  // Runs the probe; with an output file its report is redirected there.
  virtual int Execute(CProbeOptions& options, LPCTSTR outputFile, const CStopFlag* cancel);
  virtual int BuildProbeArgs(CString& args, const CProbeOptions& options);
  virtual int ProbeMedia(LPCTSTR path, CMediaInfo& info, const CStopFlag* cancel);
  virtual int ParseProbeJson(LPCTSTR reportPath, CMediaInfo& info, const CStopFlag* cancel);

  CProbeOptions m_options;
};
