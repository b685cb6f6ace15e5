#include "converter/tools/EncoderTool.h"

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>

#include "foundation/ArgumentList.h"
#include "foundation/DurationText.h"

namespace {
// The encoder wrappers whose run is going on, by the context value their
// encoder was given. Records are resolved here, so the encoder never holds an
// address of ours.
std::recursive_mutex g_liveLock;
std::map<ULONGLONG, CEncoderToolBase*> g_live;
std::atomic<ULONGLONG> g_nextContext{1};

CString Duration(int ms) { return FormatDuration(ms, DURATION_CLOCK, DURATION_WITH_MS, DURATION_ALWAYS_HOURS); }

void AddInput(CArgumentList& a, const CString& path, const CString& format, int seek, int duration, int offset) {
  if (path.IsEmpty()) return;
  if (!format.IsEmpty()) a.AddFormatted(L"-f", L"%s", (LPCTSTR)format);
  if (seek > 0) a.AddFormatted(L"-ss", L"%s", (LPCTSTR)Duration(seek));
  if (duration > 0) a.AddFormatted(L"-t", L"%s", (LPCTSTR)Duration(duration));
  if (offset > 0) a.AddFormatted(L"-itsoffset", L"%s", (LPCTSTR)Duration(offset));
  a.AddFormatted(L"-i", L"\"%s\"", (LPCTSTR)path);
}

void AddText(CArgumentList& a, LPCTSTR name, const CString& value) {
  if (!value.IsEmpty()) a.AddFormatted(name, L"%s", (LPCTSTR)value);
}

void AddQuoted(CArgumentList& a, LPCTSTR name, const CString& value) {
  if (!value.IsEmpty()) a.AddFormatted(name, L"\"%s\"", (LPCTSTR)value);
}

void AddPositive(CArgumentList& a, LPCTSTR name, int value) {
  if (value > 0) a.AddFormatted(name, L"%d", value);
}

void Chain(CString& chain, LPCTSTR item) {
  if (!chain.IsEmpty()) chain += L',';
  chain += item;
}

// An encoder ended by force leaves "<output>.~<process>.part" behind (for a
// numbered series, beside each picture); those of encoders no longer running go.
void RemoveDeadPartials(const CString& output) {
#ifdef _WIN32
  if (output.IsEmpty()) return;
  const int slash = output.ReverseFind(L'\\');
  const CString folder = slash < 0 ? CString(L".") : output.Left(slash);
  const CString name = slash < 0 ? output : output.Mid(slash + 1);
  const int percent = name.Find(L'%');
  const CString stem = percent < 0 ? name : name.Left(percent);
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(folder + L"\\" + stem + L"*.~*.part", &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    const CString found = fd.cFileName;
    const int mark = found.ReverseFind(L'~');
    if (mark < 1 || found[mark - 1] != L'.' || (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    const CString base = found.Left(mark - 1);
    if (percent < 0 ? base.CompareNoCase(name) != 0 : base.Left(stem.GetLength()).CompareNoCase(stem) != 0) continue;
    const DWORD pid = (DWORD)wcstoul((LPCTSTR)found + mark + 1, nullptr, 10);
    HANDLE p = OpenProcess(SYNCHRONIZE, FALSE, pid);
    const bool runs = p && WaitForSingleObject(p, 0) == WAIT_TIMEOUT;
    if (p) CloseHandle(p);
    if (!runs) DeleteFileW(folder + L"\\" + found);
  } while (FindNextFileW(h, &fd));
  FindClose(h);
#else
  (void)output;
#endif
}

class CLiveRun {
 public:
  CLiveRun(ULONGLONG context, CEncoderToolBase* tool) : m_context(context) {
    std::lock_guard<std::recursive_mutex> l(g_liveLock);
    g_live[context] = tool;
  }
  ~CLiveRun() {
    std::lock_guard<std::recursive_mutex> l(g_liveLock);
    g_live.erase(m_context);
  }

 private:
  ULONGLONG m_context;
};
}  // namespace

CEncoderToolBase::CEncoderToolBase() {}

CEncoderToolBase::~CEncoderToolBase() {}

int CEncoderToolBase::Init(LPCTSTR toolPath, LPCTSTR presetsFolder, HWND callbackWnd) {
  if (SetToolPath(toolPath) != 0) return -1;
  m_strPresetsFolder = presetsFolder ? presetsFolder : L"";
  m_hCallbackWnd = callbackWnd;
  return 0;
}

int CEncoderToolBase::BuildEncoderArgs(CString& args, CEncoderJob& job) {
  CArgumentList a;
  AddText(a, L"-hwaccel", m_strHwAccel);
  if ((job.m_dwFlags & JOB_FLAG_THREADS) && m_nThreads > 0) a.AddFormatted(L"-threads", L"%d", m_nThreads);
  AddPositive(a, L"-bufsize", m_nBufferSize);
  if (job.m_nSafe != 1) a.AddFormatted(L"-safe", L"%d", job.m_nSafe);
  if (job.m_nInputRateNum > 0 && job.m_nInputRateDen > 0)
    a.AddFormatted(L"-r", L"%d/%d", job.m_nInputRateNum, job.m_nInputRateDen);

  AddInput(a, job.m_strInput1, job.m_strInput1Format, job.m_nInput1Seek, job.m_nInput1Duration, job.m_nInput1Offset);
  AddInput(a, job.m_strInput2, job.m_strInput2Format, job.m_nInput2Seek, job.m_nInput2Duration, job.m_nInput2Offset);
  if (!job.m_strInput3.IsEmpty()) a.AddFormatted(L"-i", L"\"%s\"", (LPCTSTR)job.m_strInput3);

  if (job.m_nMap1Input >= 0 && job.m_nMap1Stream >= 0 && job.m_nMap2Input >= 0 && job.m_nMap2Stream >= 0) {
    a.AddFormatted(L"-map", L"%d:%d", job.m_nMap1Input, job.m_nMap1Stream);
    a.AddFormatted(L"-map", L"%d:%d", job.m_nMap2Input, job.m_nMap2Stream);
  }
  if (job.m_nHlsListSize >= 0) a.AddFormatted(L"-hls_list_size", L"%d", job.m_nHlsListSize);

  // Video.
  if (job.m_dwVideoFlags & STREAM_FLAG_DISABLED) {
    a.Add(L"-vn");
  } else {
    AddText(a, L"-codec:v", job.m_strVideoCodec);
    AddText(a, L"-tag:v", job.m_strVideoTag);
    a.Add(job.m_strVideoArgs);
    AddText(a, L"-pix_fmt", job.m_strPixelFormat);
    if (job.m_nWidth > 0 && job.m_nHeight > 0) a.AddFormatted(L"-s", L"%dx%d", job.m_nWidth, job.m_nHeight);
    if (job.m_nAspectNum > 0 && job.m_nAspectDen > 0)
      a.AddFormatted(L"-aspect", L"%d:%d", job.m_nAspectNum, job.m_nAspectDen);
    if (job.m_nFrameRateNum > 0 && job.m_nFrameRateDen > 0)
      a.AddFormatted(L"-r", L"%d/%d", job.m_nFrameRateNum, job.m_nFrameRateDen);
    AddPositive(a, L"-b:v", job.m_nVideoBitRate);
    if (job.m_dwVideoFlags & STREAM_FLAG_BEST_QUALITY) job.m_nVideoQuality = 0;
    if (job.m_nVideoQuality >= 0) a.AddFormatted(L"-q:v", L"%d", job.m_nVideoQuality);
    AddPositive(a, L"-frames:v", job.m_nVideoFrames);
    AddQuoted(a, L"-bsf:v", job.m_strVideoBitstreamFilter);
    AddQuoted(a, L"-profile:v", job.m_strVideoProfile);
    AddQuoted(a, L"-pre:v", job.m_strVideoPreset);

    CString chain;
    if (job.m_nCropX > 0 && job.m_nCropY > 0 && job.m_nCropWidth > 0 && job.m_nCropHeight > 0) {
      CString crop;
      crop.Format(L"crop=%d:%d:%d:%d", job.m_nCropWidth, job.m_nCropHeight, job.m_nCropX, job.m_nCropY);
      Chain(chain, crop);
    }
    if (job.m_nRotation == 90)
      Chain(chain, L"transpose=1");
    else if (job.m_nRotation == 180)
      Chain(chain, L"transpose=2,transpose=2");
    else if (job.m_nRotation == 270)
      Chain(chain, L"transpose=2");
    if (job.m_bFlipHorizontal) Chain(chain, L"hflip");
    if (job.m_bFlipVertical) Chain(chain, L"vflip");
    if (job.m_bGrayscale) Chain(chain, L"hue=s=0");
    if (job.m_bNegate) Chain(chain, L"negate");
    AddQuoted(a, L"-filter:v", chain);
    AddQuoted(a, L"-filter:v", job.m_strVideoFilter);
  }

  // Audio.
  if (job.m_dwAudioFlags & STREAM_FLAG_DISABLED) {
    a.Add(L"-an");
  } else {
    AddText(a, L"-codec:a", job.m_strAudioCodec);
    AddText(a, L"-tag:a", job.m_strAudioTag);
    a.Add(job.m_strAudioArgs);
    AddPositive(a, L"-ac", job.m_nChannels);
    AddPositive(a, L"-ar", job.m_nSampleRate);
    AddPositive(a, L"-b:a", job.m_nAudioBitRate);
    if (job.m_nVolume != 256) a.AddFormatted(L"-vol", L"%d", job.m_nVolume);
    if (job.m_dwAudioFlags & STREAM_FLAG_BEST_QUALITY) job.m_nAudioQuality = 0;
    if (job.m_nAudioQuality >= 0) a.AddFormatted(L"-q:a", L"%d", job.m_nAudioQuality);
    AddQuoted(a, L"-bsf:a", job.m_strAudioBitstreamFilter);
    AddQuoted(a, L"-profile:a", job.m_strAudioProfile);
    AddQuoted(a, L"-pre:a", job.m_strAudioPreset);
    CString chain;
    if (job.m_nVolumePercent != 100) {
      CString volume;
      volume.Format(L"volume=%.2f", job.m_nVolumePercent * 0.01);
      Chain(chain, volume);
    }
    AddQuoted(a, L"-filter:a", chain);
    AddQuoted(a, L"-filter:a", job.m_strAudioFilter);
  }

  AddQuoted(a, L"-filter_complex", job.m_strFilterComplex);
  a.Add(job.m_strExtraArgs1);
  a.Add(job.m_strExtraArgs2);
  AddText(a, L"-target", job.m_strTarget);
  AddText(a, L"-f", job.m_strOutputFormat);
  if (job.m_strOutputFormat == L"concat") a.Add(L"-safe 0");
  AddText(a, L"-c", job.m_strCodec);
  if (job.m_nMaxFileSize > 0) a.AddFormatted(L"-fs", L"%I64d", job.m_nMaxFileSize);
  if (job.m_nLoop >= 0) a.AddFormatted(L"-loop", L"%d", job.m_nLoop);
  if (job.m_nOutputSeek > 0) a.AddFormatted(L"-ss", L"%s", (LPCTSTR)Duration(job.m_nOutputSeek));
  if (job.m_nOutputDuration > 0) a.AddFormatted(L"-t", L"%s", (LPCTSTR)Duration(job.m_nOutputDuration));
  if (!job.m_strOutput.IsEmpty()) a.AddFormatted(nullptr, L"\"%s\"", (LPCTSTR)job.m_strOutput);
  a.Add(L"-y");

  args = a.GetText();
  return 0;
}

int CEncoderToolBase::Execute(CEncoderJob& job, const CStopFlag* cancel) {
  CString args;
  if (BuildEncoderArgs(args, job) != 0) return -1;

  // Registered first, then published: a context that can be seen names a live run.
  const ULONGLONG context = g_nextContext++;
  CLiveRun live(context, this);
  m_nContext = context;
  CString extra;
  if (m_hCallbackWnd) {
    extra.Format(L" -callbackwindow %I64d", (LONGLONG)(LONG_PTR)m_hCallbackWnd);
    args += extra;
  }
  extra.Format(L" -callbackcontext %I64d", (LONGLONG)context);
  args += extra;
  const int result = RunTool(MakeCommandLine(args), cancel);
  if (m_bForcedStop) RemoveDeadPartials(job.m_strOutput);
  return result;
}

CEncoderTool::CEncoderTool() { memset(&m_lastProgress, 0, sizeof(m_lastProgress)); }

int CEncoderTool::Execute(CEncoderJob& job, const CStopFlag* cancel) {
  job.MakeSizeEven();
  if (m_pSink) m_pSink->OnRunBegin();
  int result = CEncoderToolBase::Execute(job, cancel);
  if (m_pSink) {
    m_pSink->OnToolFinish(m_lastProgress);
    m_pSink->OnRunEnd();
  }
  return result;
}

int CEncoderTool::InitWithSink(LPCTSTR toolPath, LPCTSTR presetsFolder, HWND callbackWnd, CToolProgressSink* sink) {
  if (Init(toolPath, presetsFolder, callbackWnd) != 0) return -1;
  m_pSink = sink;
  return 0;
}

int CEncoderTool::MuxStreams(LPCTSTR input1, int stream1, LPCTSTR input2, int stream2, LPCTSTR output, LPCTSTR format,
                             const CStopFlag* cancel) {
  return MuxStreamsWithCodecs(input1, stream1, input2, stream2, output, format, L"copy", L"copy", cancel);
}

int CEncoderTool::MuxStreamsWithCodecs(LPCTSTR input1, int stream1, LPCTSTR input2, int stream2, LPCTSTR output,
                                       LPCTSTR format, LPCTSTR videoCodec, LPCTSTR audioCodec,
                                       const CStopFlag* cancel) {
  CEncoderJob job;
  job.m_strInput1 = input1;
  job.m_strInput2 = input2;
  job.m_nMap1Input = 0;
  job.m_nMap1Stream = stream1;
  job.m_nMap2Input = 1;
  job.m_nMap2Stream = stream2;
  job.m_strOutput = output;
  job.m_strOutputFormat = format;
  job.m_strVideoCodec = (videoCodec && *videoCodec) ? videoCodec : L"copy";
  job.m_strAudioCodec = (audioCodec && *audioCodec) ? audioCodec : L"copy";
  return Execute(job, cancel);
}

int CEncoderTool::ConcatFiles(const CStringArray& paths, LPCTSTR output, LPCTSTR format, const CStopFlag* cancel) {
  CEncoderJob job;
  job.m_nSafe = 0;
  job.m_strInput1 = L"concat:";
  for (INT_PTR i = 0; i < paths.GetSize(); ++i) {
    if (i > 0) job.m_strInput1 += L'|';
    job.m_strInput1 += paths[i];
  }
  job.m_strOutput = output;
  job.m_strOutputFormat = format;
  job.m_strCodec = L"copy";
  job.m_strAudioBitstreamFilter = L"aac_adtstoasc";
  return Execute(job, cancel);
}

int CEncoderTool::ConcatList(LPCTSTR listFile, LPCTSTR output, const CStopFlag* cancel) {
  CEncoderJob job;
  job.m_nSafe = 0;
  job.m_strInput1 = listFile;
  job.m_strInput1Format = L"concat";
  job.m_strOutput = output;
  job.m_strCodec = L"copy";
  job.m_strAudioBitstreamFilter = L"aac_adtstoasc";
  return Execute(job, cancel);
}

int CEncoderTool::ExtractFrame(LPCTSTR input, LPCTSTR output, int seek, int width, int height, LPCTSTR format,
                               const CStopFlag* cancel) {
  m_strHwAccel.Empty();
  CEncoderJob job;
  job.m_strInput1 = input;
  job.m_nInput1Seek = seek;
  job.m_strOutput = output;
  job.m_strOutputFormat = (format && *format) ? format : L"image2";
  if (width > 0) job.m_nWidth = width;
  if (height > 0) job.m_nHeight = height;
  job.m_nVideoFrames = 1;
  return Execute(job, cancel);
}

int CEncoderTool::TranscodeSegment(LPCTSTR input, int rateNum, int rateDen, LPCTSTR output, LPCTSTR format,
                                   LPCTSTR videoCodec, int width, int height, int bestQuality, int quality,
                                   const CStopFlag* cancel) {
  CEncoderJob job;
  job.m_strInput1 = input;
  if (rateNum > 0) {
    job.m_nInputRateNum = rateNum;
    job.m_nInputRateDen = rateDen;
  }
  job.m_strOutput = output;
  job.m_strOutputFormat = format;
  job.m_strVideoCodec = videoCodec;
  if (width > 0) job.m_nWidth = width;
  if (height > 0) job.m_nHeight = height;
  if (bestQuality) job.m_nVideoQuality = 0;
  if (quality >= 0) job.m_nVideoQuality = quality;
  job.m_dwAudioFlags |= STREAM_FLAG_DISABLED;
  return Execute(job, cancel);
}

int CEncoderTool::ExtractFrameRange(LPCTSTR input, int start, int end, LPCTSTR output, LPCTSTR format, int width,
                                    int height, const CStopFlag* cancel) {
  m_strHwAccel.Empty();
  CEncoderJob job;
  job.m_strInput1 = input;
  if (start > 0) job.m_nInput1Seek = start;
  if (end > 0) {
    int length = end - start + 1;
    if (length > 0) {
      job.m_nInput1Duration = length;
      job.m_nOutputDuration = length;
    }
  }
  job.m_strOutput = output;
  job.m_strOutputFormat = (format && *format) ? format : L"image2";
  if (width > 0) job.m_nWidth = width;
  if (height > 0) job.m_nHeight = height;
  return Execute(job, cancel);
}

int CEncoderTool::OnToolCallback(const ToolCallbackData* data) {
  if (!m_pSink || !data) return -1;
  memcpy(&m_lastProgress, &data->progress, sizeof(m_lastProgress));
  switch (data->event) {
    case TOOL_EVENT_START:
      return m_pSink->OnToolStart(m_lastProgress);
    case TOOL_EVENT_PROGRESS:
      return m_pSink->OnToolProgress(m_lastProgress);
    case TOOL_EVENT_FINISH:
      return m_pSink->OnToolFinish(m_lastProgress);
    default:
      return -1;
  }
}

bool CEncoderTool::RelayCopyData(ULONG_PTR dwData, DWORD cbData, const void* lpData, LRESULT& result) {
  if (dwData != TOOL_CALLBACK_ID || cbData != sizeof(ToolCallbackData) || !lpData) return false;
  ToolCallbackData record;
  memcpy(&record, lpData, sizeof(record));
  // The lock is held while the wrapper works on the record, so a run that
  // ends meanwhile waits before its wrapper goes away.
  std::lock_guard<std::recursive_mutex> l(g_liveLock);
  auto it = g_live.find(record.context);
  if (it == g_live.end()) return false;
  CEncoderTool* tool = dynamic_cast<CEncoderTool*>(it->second);
  if (!tool) return false;
  result = tool->OnToolCallback(&record);
  return true;
}
