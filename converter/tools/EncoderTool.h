// The encoder wrapper: turns an encoder job into the encoder's command line,
// runs it, and relays the encoder's progress records to a progress sink.
#pragma once
#include "converter/tools/EncoderJob.h"
#include "converter/tools/MediaTool.h"
#include "interfaces/ToolContract.h"

#ifndef _WIN32
typedef void* HWND;
#endif

class CToolProgressSink {
 public:
  virtual int OnRunBegin() = 0;
  virtual int OnRunEnd() = 0;
  virtual int OnToolStart(const ToolProgress& progress) = 0;
  virtual int OnToolProgress(const ToolProgress& progress) = 0;
  virtual int OnToolFinish(const ToolProgress& progress) = 0;
};

class CEncoderToolBase : public CMediaTool {
 public:
  CEncoderToolBase();
  ~CEncoderToolBase() override;

  virtual int Init(LPCTSTR toolPath, LPCTSTR presetsFolder, HWND callbackWnd);
  // Runs one job: 0, 1 when stopped, -1 on failure.
  virtual int Execute(CEncoderJob& job, const CStopFlag* cancel);
  // Replaces args with the job's argument text; returns 0.
  virtual int BuildEncoderArgs(CString& args, CEncoderJob& job);

  // The value written after "-callbackcontext" for the current run.
  ULONGLONG GetContext() const { return m_nContext; }

  int m_nThreads = 0;
  int m_nBufferSize = 0;
  CString m_strHwAccel;
  CString m_strPresetsFolder;
  HWND m_hCallbackWnd = nullptr;

 private:
  ULONGLONG m_nContext = 0;
};

class CEncoderTool : public CEncoderToolBase {
 public:
  CEncoderTool();

  int Execute(CEncoderJob& job, const CStopFlag* cancel) override;

  virtual int InitWithSink(LPCTSTR toolPath, LPCTSTR presetsFolder, HWND callbackWnd, CToolProgressSink* sink);
  virtual int MuxStreams(LPCTSTR input1, int stream1, LPCTSTR input2, int stream2, LPCTSTR output, LPCTSTR format,
                         const CStopFlag* cancel);
  virtual int MuxStreamsWithCodecs(LPCTSTR input1, int stream1, LPCTSTR input2, int stream2, LPCTSTR output,
                                   LPCTSTR format, LPCTSTR videoCodec, LPCTSTR audioCodec, const CStopFlag* cancel);
  virtual int ConcatFiles(const CStringArray& paths, LPCTSTR output, LPCTSTR format, const CStopFlag* cancel);
  virtual int ConcatList(LPCTSTR listFile, LPCTSTR output, const CStopFlag* cancel);
  virtual int ExtractFrame(LPCTSTR input, LPCTSTR output, int seek, int width, int height, LPCTSTR format,
                           const CStopFlag* cancel);
  virtual int TranscodeSegment(LPCTSTR input, int rateNum, int rateDen, LPCTSTR output, LPCTSTR format,
                               LPCTSTR videoCodec, int width, int height, int bestQuality, int quality,
                               const CStopFlag* cancel);
  virtual int ExtractFrameRange(LPCTSTR input, int start, int end, LPCTSTR output, LPCTSTR format, int width,
                                int height, const CStopFlag* cancel);
  // Hands one progress record to the sink; the sink's answer, or -1.
  virtual int OnToolCallback(const ToolCallbackData* data);

  // Delivers a WM_COPYDATA payload to the live wrapper its context names.
  // Returns false, leaving result alone, when the payload is not a progress
  // record or names no wrapper that is running now.
  static bool RelayCopyData(ULONG_PTR dwData, DWORD cbData, const void* lpData, LRESULT& result);

  CToolProgressSink* m_pSink = nullptr;
  ToolProgress m_lastProgress;
};
