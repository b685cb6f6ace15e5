#include <fstream>
#include <map>
#include <sstream>

#include "converter/tools/ProbeTool.h"
#include "tests/TestPaths.h"
#include "tests/converter/tools/ToolTestSupport.h"

namespace {
// Temporary files of this process alone: the test gives itself a temporary
// folder of its own, so files that parallel tests make are never counted.
CString PrivateTempFolder() {
  static CString dir;
  if (dir.IsEmpty()) {
    dir = TestFolder() + L"\\private temp";
    CreateDirectoryW(dir, nullptr);
    SetEnvironmentVariableW(L"TMP", dir);
    SetEnvironmentVariableW(L"TEMP", dir);
  }
  return dir + L"\\";
}

int CountTempFiles() {
  const CString dir = PrivateTempFolder();
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(dir + L"~Wu*", &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  int n = 0;
  do ++n;
  while (FindNextFileW(h, &fd));
  FindClose(h);
  return n;
}
}  // namespace

// Reports written by the system's ffprobe for videos made by the system's
// ffmpeg, checked against the values the set-up script read from them.
TEST(ProbeReports, AgreeWithSystemProbe) {
  CString dir = BuildTreePath(L"testdata\\probe\\");
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(dir + L"*.json", &fd);
  ASSERT_NE(INVALID_HANDLE_VALUE, h) << "no reports in " << CStringA(dir).GetString();
  int files = 0;
  do {
    ++files;
    CString json = dir + fd.cFileName;
    CString expect = json.Left(json.GetLength() - 5) + L".expect";
    CMediaInfo info;
    CProbeTool probe;
    ASSERT_EQ(0, probe.ParseProbeJson(json, info, nullptr)) << CStringA(json).GetString();
    info.SplitStreams();
    std::ifstream in(CStringA(expect).GetString());
    ASSERT_TRUE(in.good());
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream ls(line);
      std::string key;
      ls >> key;
      SCOPED_TRACE(std::string(CStringA(fd.cFileName).GetString()) + ": " + line);
      if (key == "format_name") {
        std::string v;
        ls >> v;
        EXPECT_STREQ(CString(v.c_str()), info.m_strFormatName);
      } else if (key == "nb_streams") {
        int v;
        ls >> v;
        EXPECT_EQ(v, info.m_nStreamCount);
        EXPECT_EQ((size_t)v, info.m_streams.size());
      } else if (key == "duration") {
        long long v;
        ls >> v;
        EXPECT_EQ(v, info.m_nDuration);
      } else if (key == "size") {
        long long v;
        ls >> v;
        EXPECT_EQ(v, info.m_nSize);
      } else if (key == "bit_rate") {
        int v;
        ls >> v;
        EXPECT_EQ(v, info.m_nBitRate);
      } else if (key == "stream") {
        size_t i;
        std::string type, codec;
        ls >> i >> type >> codec;
        ASSERT_LT(i, info.m_streams.size());
        EXPECT_STREQ(CString(codec.c_str()), info.m_streams[i]->m_strCodecName);
        static const std::map<std::string, int> types = {
            {"video", 1}, {"audio", 2}, {"subtitle", 3}, {"data", 4}, {"attachment", 5}};
        auto t = types.find(type);
        EXPECT_EQ(t == types.end() ? 0 : t->second, info.m_streams[i]->m_nType);
      } else if (key == "video") {
        size_t i;
        int w, hgt, num, den;
        long long frames;
        ls >> i >> w >> hgt >> num >> den >> frames;
        const CStreamInfo& s = *info.m_streams[i];
        EXPECT_EQ(w, s.m_nWidth);
        EXPECT_EQ(hgt, s.m_nHeight);
        EXPECT_EQ(num, s.m_nFrameRateNum);
        EXPECT_EQ(den, s.m_nFrameRateDen);
        EXPECT_EQ(frames, s.m_nFrames);
      } else if (key == "audio") {
        size_t i;
        int rate, channels;
        ls >> i >> rate >> channels;
        EXPECT_EQ(rate, info.m_streams[i]->m_nSampleRate);
        EXPECT_EQ(channels, info.m_streams[i]->m_nChannels);
      }
    }
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  EXPECT_GE(files, 5);
}

TEST(ProbeMedia, RunsProbeWithItsReportRedirected) {
  CString dir = TestFolder();
  CString report = dir + L"\\canned report.json";
  {
    std::ofstream out(CStringA(report).GetString(), std::ios::binary);
    out << R"({"format": {"format_name": "avi", "nb_streams": 1},
      "streams": [{"codec_type": "video", "codec_name": "mpeg4", "width": 320, "height": 240,
                   "r_frame_rate": "25/1", "nb_frames": "50"}]})";
  }
  // Named after an environment variable: the probe gets the name as it is.
  CString media = dir + L"\\%TEMP% video.avi";
  {
    std::ofstream out(CStringA(media).GetString(), std::ios::binary);
    out << "0123456789";
  }
  CString argsFile = dir + L"\\probe args.txt";
  int tempsBefore = CountTempFiles();
  wchar_t cwdBefore[MAX_PATH] = {0}, cwdAfter[MAX_PATH] = {0};
  GetCurrentDirectoryW(MAX_PATH, cwdBefore);
  CProbeTool probe;
  probe.SetToolPath(FakeToolPath());
  probe.m_options.m_strExtraArgs.Format(L"--cat \"%s\" --args \"%s\"", (LPCTSTR)report, (LPCTSTR)argsFile);
  CMediaInfo info;
  ASSERT_EQ(0, probe.ProbeMedia(media, info, nullptr));
  const std::string seen = ReadUtf8(argsFile);
  EXPECT_NE(std::string::npos, seen.find("\n" + std::string(CStringA(media).GetString()) + "\n")) << seen;
  // The process's current folder is the whole program's: a worker leaves it alone.
  GetCurrentDirectoryW(MAX_PATH, cwdAfter);
  EXPECT_STREQ(cwdBefore, cwdAfter);
  EXPECT_EQ(2000000, info.m_nDuration);
  EXPECT_EQ(10, info.m_nSize);  // no size in the report: the file's own
  EXPECT_EQ(MEDIA_HAS_VIDEO, info.m_dwStreamFlags);
  EXPECT_EQ(tempsBefore, CountTempFiles());

  // A probe that fails, or prints no report, fails the load; nothing is left behind.
  CProbeTool failing;
  failing.SetToolPath(FakeToolPath());
  failing.m_options.m_strExtraArgs = L"--exit 1";
  EXPECT_EQ(-1, failing.ProbeMedia(media, info, nullptr));
  CProbeTool silent;
  silent.SetToolPath(FakeToolPath());
  EXPECT_EQ(-1, silent.ProbeMedia(media, info, nullptr));
  EXPECT_EQ(tempsBefore, CountTempFiles());

  EXPECT_EQ(-1, info.Load(media, L"C:\\nowhere\\Sondrel.exe", nullptr));
  EXPECT_TRUE(info.m_streams.empty());
}

// A medium in a folder named in Greek and Japanese letters, beyond the ANSI
// code page: the probe's report is found and read all the same.
TEST(ProbeMedia, FolderBeyondTheAnsiCodePage) {
  CString dir = TestFolder() + L"\\\x0395\x03bb\x03bb\x03ac\x03b4\x03b1 \x65e5\x672c";
  CreateDirectoryW(dir, nullptr);
  PrivateTempFolder();
  CString report = dir + L"\\\x5831\x544a.json";
  {
    FILE* f = _wfopen(report, L"wb");
    ASSERT_NE(f, nullptr);
    fputs(R"({"format": {"format_name": "mov,mp4", "nb_streams": 1, "duration": "1.5"},
      "streams": [{"codec_type": "video", "codec_name": "h264", "width": 64, "height": 48,
                   "r_frame_rate": "10/1"}]})",
          f);
    fclose(f);
  }
  CMediaInfo direct;
  CProbeTool reader;
  ASSERT_EQ(0, reader.ParseProbeJson(report, direct, nullptr));
  EXPECT_EQ(1500000, direct.m_nDuration);
  CString media = dir + L"\\\x03b2\x03af\x03bd\x03c4\x03b5\x03bf.mp4";
  {
    FILE* f = _wfopen(media, L"wb");
    ASSERT_NE(f, nullptr);
    fputs("0123456789", f);
    fclose(f);
  }
  CProbeTool probe;
  probe.SetToolPath(FakeToolPath());
  probe.m_options.m_strExtraArgs.Format(L"--cat \"%s\"", (LPCTSTR)report);
  CMediaInfo info;
  ASSERT_EQ(0, probe.ProbeMedia(media, info, nullptr));
  EXPECT_EQ(1500000, info.m_nDuration);
  EXPECT_EQ(10, info.m_nSize);
  DeleteFileW(media);
  DeleteFileW(report);
  RemoveDirectoryW(dir);
}
