// The wrapper's ready-made jobs, each on both sides of its rule, with the tool
// call recorded instead of run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/converter/tools/ArgsTestSupport.h"
#include "converter/tools/EncoderTool.h"

namespace {
typedef std::vector<std::wstring> V;

// Keeps the argument text of every run and reports the run as done.
class CRecordingEncoder : public CEncoderTool {
 public:
  CRecordingEncoder() { m_strToolPath = L"enc.exe"; }

  int RunTool(LPCTSTR commandLine, const CStopFlag*) override {
    m_calls.push_back(commandLine);
    return 0;
  }

  // The last run's options, from the first after the tool's path to "-y".
  V Options() const {
    EXPECT_FALSE(m_calls.empty());
    if (m_calls.empty()) return V();
    const CString& line = m_calls.back();
    const int from = line.Find(L"\"enc.exe\" ");
    const int to = line.Find(L" -y");
    EXPECT_TRUE(from >= 0 && to > from) << CStringA(line).GetString();
    if (from < 0 || to <= from) return V();
    const int start = from + (int)wcslen(L"\"enc.exe\" ");
    return Tokens(line.Mid(start, to - start));
  }

  std::vector<CString> m_calls;
};

// The value after the n-th (from 0) appearance of an option, or empty.
std::wstring After(const V& options, const wchar_t* name, int n = 0) {
  for (size_t i = 0; i + 1 < options.size(); ++i)
    if (options[i] == name && n-- == 0) return options[i + 1];
  return std::wstring();
}
}  // namespace

TEST(EncoderJobs, FrameRangeEndsAfterItsLastMillisecond) {
  CRecordingEncoder enc;
  ASSERT_EQ(0, enc.ExtractFrameRange(L"in.mp4", 1000, 5000, L"f%05d.bmp", nullptr, 0, 0, nullptr));
  EXPECT_EQ((V{L"-ss", L"0:00:01.000", L"-t", L"0:00:04.001", L"-i", L"\"in.mp4\"", L"-f", L"image2", L"-t",
               L"0:00:04.001", L"\"f%05d.bmp\""}),
            enc.Options());
  // A range of one millisecond still reads it; an end before the start reads to the end.
  enc.ExtractFrameRange(L"in.mp4", 1000, 1000, L"f.bmp", L"image2", 0, 0, nullptr);
  EXPECT_EQ(L"0:00:00.001", After(enc.Options(), L"-t"));
  enc.ExtractFrameRange(L"in.mp4", 1000, 999, L"f.bmp", L"image2", 0, 0, nullptr);
  EXPECT_EQ(L"", After(enc.Options(), L"-t"));
  // From the start to the end: neither seek nor length.
  enc.ExtractFrameRange(L"in.mp4", 0, -1, L"f.bmp", L"image2", 0, 0, nullptr);
  EXPECT_EQ((V{L"-i", L"\"in.mp4\"", L"-f", L"image2", L"\"f.bmp\""}), enc.Options());
}

TEST(EncoderJobs, OddFrameSizesAreMadeEvenBeforeTheRun) {
  CRecordingEncoder enc;
  enc.ExtractFrameRange(L"in.mp4", 0, -1, L"f.bmp", L"image2", 640, 481, nullptr);
  EXPECT_EQ(L"640x482", After(enc.Options(), L"-s"));
  enc.ExtractFrameRange(L"in.mp4", 0, -1, L"f.bmp", L"image2", 641, 480, nullptr);
  EXPECT_EQ(L"642x480", After(enc.Options(), L"-s"));
  enc.TranscodeSegment(L"in.mp4", 0, 0, L"out.mp4", L"mp4", L"libx264", 640, 480, 0, -1, nullptr);
  EXPECT_EQ(L"640x480", After(enc.Options(), L"-s"));
}

TEST(EncoderJobs, SegmentTranscoding) {
  CRecordingEncoder enc;
  enc.m_strHwAccel = L"dxva2";
  ASSERT_EQ(0, enc.TranscodeSegment(L"seg.mp4", 25, 1, L"out.mp4", L"mp4", L"libx264", 640, 480, 1, -1, nullptr));
  EXPECT_EQ((V{L"-hwaccel", L"dxva2", L"-r", L"25/1", L"-i", L"\"seg.mp4\"", L"-codec:v", L"libx264", L"-s", L"640x480",
               L"-q:v", L"0", L"-an", L"-f", L"mp4", L"\"out.mp4\""}),
            enc.Options());
  // No rate, no best quality: neither option; a quality of its own wins.
  enc.TranscodeSegment(L"seg.mp4", 0, 1, L"out.mp4", L"mp4", L"libx264", 0, 0, 0, -1, nullptr);
  V options = enc.Options();
  EXPECT_EQ(L"", After(options, L"-r"));
  EXPECT_EQ(L"", After(options, L"-q:v"));
  enc.TranscodeSegment(L"seg.mp4", 0, 1, L"out.mp4", L"mp4", L"libx264", 0, 0, 1, 7, nullptr);
  EXPECT_EQ(L"7", After(enc.Options(), L"-q:v"));
  // Frame extraction runs without hardware decoding.
  enc.ExtractFrame(L"seg.mp4", L"one.bmp", 0, 0, 0, nullptr, nullptr);
  EXPECT_EQ((V{L"-i", L"\"seg.mp4\"", L"-frames:v", L"1", L"-f", L"image2", L"\"one.bmp\""}), enc.Options());
}

TEST(EncoderJobs, ConcatenationOfFilesAndOfAList) {
  CRecordingEncoder enc;
  CStringArray parts;
  parts.Add(L"a.ts");
  parts.Add(L"b.ts");
  ASSERT_EQ(0, enc.ConcatFiles(parts, L"all.mp4", L"mp4", nullptr));
  EXPECT_EQ((V{L"-safe", L"0", L"-i", L"\"concat:a.ts|b.ts\"", L"-bsf:a", L"\"aac_adtstoasc\"", L"-f", L"mp4", L"-c",
               L"copy", L"\"all.mp4\""}),
            enc.Options());
  // One file is a concatenation of one.
  parts.RemoveAt(1);
  enc.ConcatFiles(parts, L"all.mp4", L"mp4", nullptr);
  EXPECT_EQ(L"\"concat:a.ts\"", After(enc.Options(), L"-i"));
  enc.ConcatList(L"list.txt", L"all.mp4", nullptr);
  EXPECT_EQ((V{L"-safe", L"0", L"-f", L"concat", L"-i", L"\"list.txt\"", L"-bsf:a", L"\"aac_adtstoasc\"", L"-c",
               L"copy", L"\"all.mp4\""}),
            enc.Options());
}

TEST(EncoderJobs, MuxingMapsBothStreamsOrNeither) {
  CRecordingEncoder enc;
  ASSERT_EQ(0, enc.MuxStreams(L"v.mp4", 0, L"a.m4a", 1, L"out.mp4", L"mp4", nullptr));
  EXPECT_EQ((V{L"-i", L"\"v.mp4\"", L"-i", L"\"a.m4a\"", L"-map", L"0:0", L"-map", L"1:1", L"-codec:v", L"copy",
               L"-codec:a", L"copy", L"-f", L"mp4", L"\"out.mp4\""}),
            enc.Options());
  enc.MuxStreams(L"v.mp4", 0, L"a.m4a", -1, L"out.mp4", L"mp4", nullptr);
  EXPECT_EQ(L"", After(enc.Options(), L"-map"));
  enc.MuxStreamsWithCodecs(L"v.mp4", 0, L"a.m4a", 1, L"out.mp4", L"mp4", L"libx264", L"", nullptr);
  V options = enc.Options();
  EXPECT_EQ(L"libx264", After(options, L"-codec:v"));
  EXPECT_EQ(L"copy", After(options, L"-codec:a"));
}
