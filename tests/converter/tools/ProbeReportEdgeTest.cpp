// The probe report reader's rules on both sides: the first of several
// streams, durations out of range, the stream that decides a missing
// duration, and rates that cannot give one.
#include <gtest/gtest.h>

#include "tests/converter/tools/ArgsTestSupport.h"
#include "converter/tools/ProbeTool.h"

namespace {

std::string WithFormat(const std::string& format, const std::string& streams) {
  return "{\"format\": {" + format + "}, \"streams\": [" + streams + "]}";
}
}  // namespace

TEST(ProbeReportEdges, FirstOfSeveralStreams) {
  CMediaInfo info;
  ASSERT_EQ(0, ParseProbeReport(WithFormat("", R"({"codec_type": "data"},
      {"codec_type": "audio", "sample_rate": "48000", "channels": 6},
      {"codec_type": "video", "width": 320, "height": 240},
      {"codec_type": "audio", "sample_rate": "22050", "channels": 1},
      {"codec_type": "video", "width": 1920, "height": 1080},
      {"codec_type": "subtitle"})"),
                                info));
  EXPECT_EQ(1, info.m_nFirstAudio);
  EXPECT_EQ(2, info.m_nFirstVideo);
  ASSERT_EQ(2u, info.m_audioStreams.size());
  EXPECT_EQ(48000, info.m_audioStreams[0]->m_nSampleRate);
  EXPECT_EQ(22050, info.m_audioStreams[1]->m_nSampleRate);
  ASSERT_EQ(2u, info.m_videoStreams.size());
  ASSERT_NE(nullptr, info.GetFirstVideoStream());
  EXPECT_EQ(320, info.GetFirstVideoStream()->m_nWidth);
  EXPECT_EQ(MEDIA_HAS_VIDEO | MEDIA_HAS_AUDIO, info.m_dwStreamFlags);

  // The first video index is used only while it names a stream.
  info.m_nFirstVideo = (int)info.m_streams.size();
  EXPECT_EQ(nullptr, info.GetFirstVideoStream());
  info.m_nFirstVideo = (int)info.m_streams.size() - 1;
  EXPECT_NE(nullptr, info.GetFirstVideoStream());
  info.m_nFirstVideo = -1;
  EXPECT_EQ(nullptr, info.GetFirstVideoStream());

  // Audio only: no video index, no video flag.
  ASSERT_EQ(0, ParseProbeReport(WithFormat("", R"({"codec_type": "audio"}, {"codec_type": "audio"})"), info));
  EXPECT_EQ(0, info.m_nFirstAudio);
  EXPECT_EQ(-1, info.m_nFirstVideo);
  EXPECT_EQ(MEDIA_HAS_AUDIO, info.m_dwStreamFlags);
}

TEST(ProbeReportEdges, DurationsInAndOutOfRange) {
  const std::string video = R"({"codec_type": "video", "nb_frames": "50", "r_frame_rate": "25/1"})";
  CMediaInfo info;
  // Far beyond a 64-bit count of microseconds: unknown, so the frames decide.
  for (const char* text : {"1e300", "-1e300", "1e13", "inf", "nan"}) {
    ASSERT_EQ(0, ParseProbeReport(WithFormat(std::string("\"duration\": \"") + text + "\"", video), info)) << text;
    EXPECT_EQ(2000000, info.m_nDuration) << text;
  }
  // Just inside the range, and negative or fractional values cut toward zero.
  ASSERT_EQ(0, ParseProbeReport(WithFormat(R"("duration": "9000000000000")", video), info));
  EXPECT_EQ(9000000000000000000LL, info.m_nDuration);
  ASSERT_EQ(0, ParseProbeReport(WithFormat(R"("duration": "-2.5000009", "start_time": "0.0000019")", video), info));
  EXPECT_EQ(-2500000, info.m_nDuration);
  EXPECT_EQ(1, info.m_nStartTime);
  // A stream's own duration has the same rule.
  ASSERT_EQ(
      0, ParseProbeReport(WithFormat("", R"({"codec_type": "audio", "duration": "1e30", "start_time": "1.5"})"), info));
  EXPECT_EQ(0, info.m_streams[0]->m_nDuration);
  EXPECT_EQ(1500000, info.m_streams[0]->m_nStartTime);
}

TEST(ProbeReportEdges, TheFirstStreamThatCanDecidesTheDuration) {
  CMediaInfo info;
  // The format's duration stands; no stream overrides it.
  ASSERT_EQ(0, ParseProbeReport(WithFormat(R"("duration": "3.0")",
                                           R"({"codec_type": "video", "nb_frames": "250", "r_frame_rate": "25/1"})"),
                                info));
  EXPECT_EQ(3000000, info.m_nDuration);
  // Without one, the first stream with frames and a whole rate decides; a
  // rate over 0 or over a negative number, a rate of 0 and a stream without
  // frames are passed over.
  ASSERT_EQ(0, ParseProbeReport(WithFormat("", R"({"codec_type": "video", "nb_frames": "100", "r_frame_rate": "25/0"},
      {"codec_type": "video", "nb_frames": "100", "r_frame_rate": "25/-1"},
      {"codec_type": "video", "nb_frames": "100", "r_frame_rate": "0/1"},
      {"codec_type": "video", "nb_frames": "0", "r_frame_rate": "25/1"},
      {"codec_type": "video", "nb_frames": "90", "r_frame_rate": "30/1"},
      {"codec_type": "video", "nb_frames": "100", "r_frame_rate": "10/1"})"),
                                info));
  EXPECT_EQ(3000000, info.m_nDuration);
  ASSERT_EQ(6u, info.m_streams.size());
  EXPECT_EQ(0, info.m_streams[0]->m_nFrameRateDen);
  // Frames and rate of an odd rational: cut toward zero.
  ASSERT_EQ(0, ParseProbeReport(
                   WithFormat("", R"({"codec_type": "video", "nb_frames": "1", "r_frame_rate": "30000/1001"})"), info));
  EXPECT_EQ(33366, info.m_nDuration);
}
