#include "converter/tools/ProbeTool.h"

#include <json/json.h>

#ifdef _WIN32
#include <shlwapi.h>
#endif

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "foundation/ArgumentList.h"
#include "foundation/DurationText.h"
#include "foundation/FileSystem.h"
#ifdef _WIN32
#include "foundation/Folders.h"
#endif

namespace {
// Members read as text accept strings and numbers; anything else reads as empty.
std::string Text(const Json::Value& obj, const char* name) {
  const Json::Value& v = obj[name];
  if (v.isString() || v.isNumeric() || v.isBool()) return v.asString();
  return std::string();
}

// Members read as integers are JSON numbers; anything else reads as 0.
int Integer(const Json::Value& obj, const char* name) {
  const Json::Value& v = obj[name];
  if (v.isInt()) return v.asInt();
  if (v.isNumeric() && v.isConvertibleTo(Json::intValue)) return v.asInt();
  return 0;
}

// Seconds as decimal text to whole microseconds, cut toward zero.
LONGLONG Microseconds(const std::string& text) {
  double seconds = atof(text.c_str());
  double us = seconds * 1000000.0;
  if (!(us > -9.2e18 && us < 9.2e18)) return 0;
  return (LONGLONG)us;
}

int StreamType(const std::string& name) {
  if (name == "video") return STREAM_TYPE_VIDEO;
  if (name == "audio") return STREAM_TYPE_AUDIO;
  if (name == "subtitle") return STREAM_TYPE_SUBTITLE;
  if (name == "data") return STREAM_TYPE_DATA;
  if (name == "attachment") return STREAM_TYPE_ATTACHMENT;
  return STREAM_TYPE_UNKNOWN;
}
}  // namespace

void CMediaInfo::Reset() {
  m_dwStreamFlags = 0;
  m_strFormatName.Empty();
  m_nSize = m_nDuration = m_nStartTime = 0;
  m_nBitRate = m_nStreamCount = 0;
  m_videoStreams.clear();
  m_audioStreams.clear();
  m_streams.clear();
  m_nFirstVideo = m_nFirstAudio = -1;
}

void CMediaInfo::SplitStreams() {
  m_videoStreams.clear();
  m_audioStreams.clear();
  m_nFirstVideo = m_nFirstAudio = -1;
  for (size_t i = 0; i < m_streams.size(); ++i) {
    CStreamInfo* s = m_streams[i].get();
    if (s->m_nType == STREAM_TYPE_VIDEO) {
      if (m_nFirstVideo < 0) m_nFirstVideo = (int)i;
      m_videoStreams.push_back(s);
      m_dwStreamFlags |= MEDIA_HAS_VIDEO;
    } else if (s->m_nType == STREAM_TYPE_AUDIO) {
      if (m_nFirstAudio < 0) m_nFirstAudio = (int)i;
      m_audioStreams.push_back(s);
      m_dwStreamFlags |= MEDIA_HAS_AUDIO;
    }
  }
}

CStreamInfo* CMediaInfo::GetFirstVideoStream() const {
  if (m_nFirstVideo < 0 || m_nFirstVideo >= (int)m_streams.size()) return nullptr;
  return m_streams[(size_t)m_nFirstVideo].get();
}

int CMediaInfo::Load(LPCTSTR path, LPCTSTR probePath, const CStopFlag* cancel) {
  Reset();
  CProbeTool probe;
  probe.SetToolPath(probePath);
  return probe.ProbeMedia(path, *this, cancel);
}

int CProbeTool::BuildProbeArgs(CString& args, const CProbeOptions& o) {
  CArgumentList a;
  a.AddFormatted(nullptr, L"\"%s\"", (LPCTSTR)o.m_strInput);
  a.Add(L"-loglevel");
  a.Add(L"quiet");
  if (o.m_bShowFormat) a.Add(L"-show_format");
  if (o.m_bShowStreams) a.Add(L"-show_streams");
  if (o.m_bShowEntries) a.Add(L"-show_entries \"stream_tags : format_tags\"");
  if (o.m_bCountFrames) a.Add(L"-count_frames");
  if (!o.m_strPrintFormat.IsEmpty()) a.AddFormatted(L"-print_format", L"%s", (LPCTSTR)o.m_strPrintFormat);
  a.Add(o.m_strExtraArgs);
  args = a.GetText();
  return 0;
}

int CProbeTool::Execute(CProbeOptions& options, LPCTSTR outputFile, const CStopFlag* cancel) {
  CString args;
  if (BuildProbeArgs(args, options) != 0) return -1;
  // With an output file the report is written there through the tool's
  // standard output.
  if (outputFile) return RunToolWithOutput(MakeCommandLine(args), outputFile, cancel);
  return RunTool(MakeCommandLine(args), cancel);
}

#ifdef _WIN32
int CProbeTool::ProbeMedia(LPCTSTR path, CMediaInfo& info, const CStopFlag* cancel) {
  CString report = CreateTempFileName();
  CTempFileGuard guard(report, 1);
  m_options.m_strInput = path;
  int r = Execute(m_options, report, cancel);
  if (r != 0) return r;
  if (ParseProbeJson(report, info, cancel) != 0) return -1;
  info.SplitStreams();
  if (info.m_nSize == 0) info.m_nSize = GetFileSize64(path);
  return 0;
}
#else
int CProbeTool::ProbeMedia(LPCTSTR, CMediaInfo&, const CStopFlag*) { return -1; }
#endif

int CProbeTool::ParseProbeJson(LPCTSTR reportPath, CMediaInfo& info, const CStopFlag*) {
  // The report is read through its wide path: a folder named in letters
  // outside the ANSI code page is still the right folder.
  if (!reportPath || !*reportPath) return -1;
#ifdef _WIN32
  FILE* f = _wfopen(reportPath, L"rb");
#else
  FILE* f = fopen(CStringA(reportPath).GetString(), "rb");
#endif
  if (!f) return -1;
  std::string text;
  char chunk[65536];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, got);
  fclose(f);
  std::istringstream in(text);
  Json::Value root;
  Json::CharReaderBuilder builder;
  builder["collectComments"] = false;
  std::string errors;
  if (!Json::parseFromStream(builder, in, &root, &errors)) return -1;
  // A report of an unexpected shape is a failed report, never a crash.
  try {
    if (!root.isObject()) return -1;
    const Json::Value& format = root["format"];
    if (format.isNull() || !format.isObject()) return -1;
    info.m_nStreamCount = Integer(format, "nb_streams");
    info.m_strFormatName = CString(Text(format, "format_name").c_str());
    info.m_nStartTime = Microseconds(Text(format, "start_time"));
    info.m_nDuration = Microseconds(Text(format, "duration"));
    info.m_nSize = (LONGLONG)strtoll(Text(format, "size").c_str(), nullptr, 10);
    info.m_nBitRate = atoi(Text(format, "bit_rate").c_str());

    const Json::Value& streams = root["streams"];
    if (!streams.isArray() || streams.size() < 1) return -1;
    for (Json::ArrayIndex i = 0; i < streams.size(); ++i) {
      const Json::Value& s = streams[i];
      if (!s.isObject()) return -1;
      std::unique_ptr<CStreamInfo> stream(new CStreamInfo);
      stream->m_strCodecName = CString(Text(s, "codec_name").c_str());
      stream->m_nType = StreamType(Text(s, "codec_type"));
      stream->m_nStartTime = Microseconds(Text(s, "start_time"));
      stream->m_nDuration = Microseconds(Text(s, "duration"));
      stream->m_nBitRate = atoi(Text(s, "bit_rate").c_str());
      std::string frames = Text(s, "nb_frames");
      if (frames.empty()) frames = Text(s, "nb_read_frames");
      stream->m_nFrames = (LONGLONG)atoi(frames.c_str());
      if (stream->m_nType == STREAM_TYPE_VIDEO) {
        stream->m_nWidth = Integer(s, "width");
        stream->m_nHeight = Integer(s, "height");
        std::string rate = Text(s, "r_frame_rate");
        if (rate.empty()) rate = Text(s, "avg_frame_rate");
        if (!rate.empty()) ParseNumberPair(rate.c_str(), "%d/%d", stream->m_nFrameRateNum, stream->m_nFrameRateDen);
      } else if (stream->m_nType == STREAM_TYPE_AUDIO) {
        stream->m_nSampleRate = atoi(Text(s, "sample_rate").c_str());
        stream->m_nChannels = Integer(s, "channels");
      }
      if (info.m_nDuration == 0 && stream->m_nFrames > 0 && stream->m_nFrameRateNum > 0 &&
          stream->m_nFrameRateDen > 0) {
        long double rate = (long double)stream->m_nFrameRateNum / (long double)stream->m_nFrameRateDen;
        info.m_nDuration = (LONGLONG)((long double)stream->m_nFrames * 1000000.0L / rate);
      }
      info.m_streams.push_back(std::move(stream));
    }
  } catch (const std::exception&) {
    return -1;
  }
  return 0;
}
