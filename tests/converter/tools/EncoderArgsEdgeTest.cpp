// Each guard of the encoder's command line on both sides of its condition:
// the value just below, at and just above the point where an option starts
// or stops being written.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/converter/tools/ArgsTestSupport.h"
#include "converter/tools/EncoderTool.h"

namespace {
std::vector<std::wstring> Build(const std::function<void(CEncoderJob&, CEncoderToolBase&)>& set) {
  CEncoderJob job;
  CEncoderToolBase tool;
  set(job, tool);
  CString args;
  EXPECT_EQ(0, tool.BuildEncoderArgs(args, job));
  return Tokens(args);
}

// The tokens between "-y" and nothing else: a job's own options without the
// final overwrite switch.
std::vector<std::wstring> Options(const std::function<void(CEncoderJob&, CEncoderToolBase&)>& set) {
  std::vector<std::wstring> t = Build(set);
  EXPECT_FALSE(t.empty());
  if (!t.empty()) {
    EXPECT_EQ(L"-y", t.back());
    t.pop_back();
  }
  return t;
}

typedef std::vector<std::wstring> V;
}  // namespace

TEST(EncoderArgsEdges, VolumeBelowAtAndAbove) {
  // The volume filter in percent, written unless it is exactly 100.
  EXPECT_EQ((V{L"-filter:a", L"\"volume=0.99\""}),
            Options([](CEncoderJob& j, CEncoderToolBase&) { j.m_nVolumePercent = 99; }));
  EXPECT_EQ(V{}, Options([](CEncoderJob& j, CEncoderToolBase&) { j.m_nVolumePercent = 100; }));
  EXPECT_EQ((V{L"-filter:a", L"\"volume=1.01\""}),
            Options([](CEncoderJob& j, CEncoderToolBase&) { j.m_nVolumePercent = 101; }));
  EXPECT_EQ((V{L"-filter:a", L"\"volume=0.00\""}),
            Options([](CEncoderJob& j, CEncoderToolBase&) { j.m_nVolumePercent = 0; }));
  // The encoder's own volume scale, written unless it is exactly 256.
  EXPECT_EQ((V{L"-vol", L"255"}), Options([](CEncoderJob& j, CEncoderToolBase&) { j.m_nVolume = 255; }));
  EXPECT_EQ(V{}, Options([](CEncoderJob& j, CEncoderToolBase&) { j.m_nVolume = 256; }));
  EXPECT_EQ((V{L"-vol", L"257"}), Options([](CEncoderJob& j, CEncoderToolBase&) { j.m_nVolume = 257; }));
  EXPECT_EQ((V{L"-vol", L"0"}), Options([](CEncoderJob& j, CEncoderToolBase&) { j.m_nVolume = 0; }));
  // Without audio neither is written.
  EXPECT_EQ(V{L"-an"}, Options([](CEncoderJob& j, CEncoderToolBase&) {
              j.m_dwAudioFlags = STREAM_FLAG_DISABLED;
              j.m_nVolume = 100;
              j.m_nVolumePercent = 50;
            }));
}

TEST(EncoderArgsEdges, TimesArePositiveOrAbsent) {
  // Every time value: -1 and 0 write nothing, 1 ms writes the option.
  struct Field {
    const char* name;
    std::function<void(CEncoderJob&, int)> set;
    V written;
  } fields[] = {
      {"input seek", [](CEncoderJob& j, int v) { j.m_nInput1Seek = v; }, {L"-ss", L"0:00:00.001"}},
      {"input duration", [](CEncoderJob& j, int v) { j.m_nInput1Duration = v; }, {L"-t", L"0:00:00.001"}},
      {"input offset", [](CEncoderJob& j, int v) { j.m_nInput1Offset = v; }, {L"-itsoffset", L"0:00:00.001"}},
      {"second input duration", [](CEncoderJob& j, int v) { j.m_nInput2Duration = v; }, {}},
      {"output seek", [](CEncoderJob& j, int v) { j.m_nOutputSeek = v; }, {L"-ss", L"0:00:00.001"}},
      {"output duration", [](CEncoderJob& j, int v) { j.m_nOutputDuration = v; }, {L"-t", L"0:00:00.001"}},
  };
  for (const Field& f : fields) {
    for (int v : {-1, 0, 1}) {
      V t = Options([&](CEncoderJob& j, CEncoderToolBase&) {
        j.m_strInput1 = L"in.mp4";
        f.set(j, v);
      });
      V want = {L"-i", L"\"in.mp4\""};
      if (v == 1 && !f.written.empty()) {
        // Input times come before their "-i", output times after it.
        bool input = std::string(f.name).rfind("input", 0) == 0;
        want.insert(input ? want.begin() : want.end(), f.written.begin(), f.written.end());
      }
      EXPECT_EQ(want, t) << f.name << " " << v;
    }
  }
  // The second input's times need the second input.
  EXPECT_EQ((V{L"-i", L"\"a\"", L"-t", L"0:00:02.500", L"-i", L"\"b\""}),
            Options([](CEncoderJob& j, CEncoderToolBase&) {
              j.m_strInput1 = L"a";
              j.m_strInput2 = L"b";
              j.m_nInput2Duration = 2500;
            }));
}

TEST(EncoderArgsEdges, MapsNeedAllFourIndices) {
  for (int missing = -1; missing < 4; missing++) {
    V t = Options([&](CEncoderJob& j, CEncoderToolBase&) {
      int* v[4] = {&j.m_nMap1Input, &j.m_nMap1Stream, &j.m_nMap2Input, &j.m_nMap2Stream};
      for (int i = 0; i < 4; i++) *v[i] = i == missing ? -1 : 0;
    });
    if (missing < 0)
      EXPECT_EQ((V{L"-map", L"0:0", L"-map", L"0:0"}), t);
    else
      EXPECT_EQ(V{}, t) << "index " << missing << " missing";
  }
}

TEST(EncoderArgsEdges, CropNeedsAllFourValues) {
  for (int zero = -1; zero < 4; zero++) {
    V t = Options([&](CEncoderJob& j, CEncoderToolBase&) {
      int* v[4] = {&j.m_nCropX, &j.m_nCropY, &j.m_nCropWidth, &j.m_nCropHeight};
      for (int i = 0; i < 4; i++) *v[i] = i == zero ? 0 : 8 + i;
      j.m_bGrayscale = 1;
    });
    if (zero < 0)
      EXPECT_EQ((V{L"-filter:v", L"\"crop=10:11:8:9,hue=s=0\""}), t);
    else
      EXPECT_EQ((V{L"-filter:v", L"\"hue=s=0\""}), t) << "value " << zero << " is 0";
  }
}

TEST(EncoderArgsEdges, CountsAndLimitsOnBothSides) {
  // Thread count: needs the job's flag and a positive setting.
  EXPECT_EQ(V{}, Options([](CEncoderJob& j, CEncoderToolBase& t) { j.m_dwFlags = JOB_FLAG_THREADS; }));
  EXPECT_EQ(V{}, Options([](CEncoderJob&, CEncoderToolBase& t) { t.m_nThreads = 2; }));
  EXPECT_EQ((V{L"-threads", L"1"}), Options([](CEncoderJob& j, CEncoderToolBase& t) {
              j.m_dwFlags = JOB_FLAG_THREADS;
              t.m_nThreads = 1;
            }));
  // Size limit: positive only, in full 64 bits.
  EXPECT_EQ(V{}, Options([](CEncoderJob& j, CEncoderToolBase&) { j.m_nMaxFileSize = -1; }));
  EXPECT_EQ((V{L"-fs", L"1"}), Options([](CEncoderJob& j, CEncoderToolBase&) { j.m_nMaxFileSize = 1; }));
  // Loop count and playlist size: 0 counts, -1 does not.
  EXPECT_EQ(V{}, Options([](CEncoderJob& j, CEncoderToolBase&) { j.m_nLoop = -1; }));
  EXPECT_EQ((V{L"-loop", L"0"}), Options([](CEncoderJob& j, CEncoderToolBase&) { j.m_nLoop = 0; }));
  EXPECT_EQ(V{}, Options([](CEncoderJob& j, CEncoderToolBase&) { j.m_nHlsListSize = -2; }));
  EXPECT_EQ((V{L"-hls_list_size", L"0"}), Options([](CEncoderJob& j, CEncoderToolBase&) { j.m_nHlsListSize = 0; }));
  // Qualities: 0 counts, -1 does not.
  EXPECT_EQ((V{L"-q:v", L"0", L"-q:a", L"0"}), Options([](CEncoderJob& j, CEncoderToolBase&) {
              j.m_nVideoQuality = 0;
              j.m_nAudioQuality = 0;
            }));
  // "-safe": anything but 1, including values above it.
  EXPECT_EQ((V{L"-safe", L"0"}), Options([](CEncoderJob& j, CEncoderToolBase&) { j.m_nSafe = 0; }));
  EXPECT_EQ((V{L"-safe", L"2"}), Options([](CEncoderJob& j, CEncoderToolBase&) { j.m_nSafe = 2; }));
  // Pairs: both parts positive.
  EXPECT_EQ(V{}, Options([](CEncoderJob& j, CEncoderToolBase&) {
              j.m_nFrameRateNum = 25;
              j.m_nAspectDen = 3;
              j.m_nWidth = 320;
              j.m_nInputRateDen = 1;
            }));
  EXPECT_EQ((V{L"-r", L"1/1", L"-s", L"1x1", L"-aspect", L"1:1", L"-r", L"1/1"}),
            Options([](CEncoderJob& j, CEncoderToolBase&) {
              j.m_nInputRateNum = j.m_nInputRateDen = 1;
              j.m_nWidth = j.m_nHeight = 1;
              j.m_nAspectNum = j.m_nAspectDen = 1;
              j.m_nFrameRateNum = j.m_nFrameRateDen = 1;
            }));
  // "-safe 0" follows only the exact output format "concat".
  for (const wchar_t* format : {L"concat", L"Concat", L"concat2", L"xconcat"}) {
    V t = Options([&](CEncoderJob& j, CEncoderToolBase&) { j.m_strOutputFormat = format; });
    V want = {L"-f", format};
    if (std::wstring(format) == L"concat") want.insert(want.end(), {L"-safe", L"0"});
    EXPECT_EQ(want, t);
  }
}
