#include <gtest/gtest.h>

#include "tests/converter/tools/ArgsTestSupport.h"
#include "converter/tools/ProbeTool.h"

TEST(ProbeReport, ReadsFormatAndStreams) {
  CMediaInfo info;
  ASSERT_EQ(0, ParseProbeReport(R"({"format": {"nb_streams": 3, "format_name": "mov,mp4,m4a,3gp,3g2,mj2",
      "start_time": "0.000000", "duration": "12.345678", "size": "5000000000", "bit_rate": "1234567"},
    "streams": [
      {"codec_name": "h264", "codec_type": "video", "width": 640, "height": 480, "r_frame_rate": "30000/1001",
       "avg_frame_rate": "0/0", "nb_frames": "370", "duration": "12.345678", "start_time": 0.5, "bit_rate": "1000"},
      {"codec_name": "aac", "codec_type": "audio", "sample_rate": "44100", "channels": 2, "nb_frames": "530"},
      {"codec_name": "mov_text", "codec_type": "subtitle"}]})",
                                info));
  EXPECT_EQ(3, info.m_nStreamCount);
  EXPECT_STREQ(L"mov,mp4,m4a,3gp,3g2,mj2", info.m_strFormatName);
  EXPECT_EQ(12345678, info.m_nDuration);
  EXPECT_EQ(5000000000LL, info.m_nSize);
  EXPECT_EQ(1234567, info.m_nBitRate);
  ASSERT_EQ(3u, info.m_streams.size());
  EXPECT_EQ(MEDIA_HAS_VIDEO | MEDIA_HAS_AUDIO, info.m_dwStreamFlags);
  ASSERT_EQ(1u, info.m_videoStreams.size());
  ASSERT_EQ(1u, info.m_audioStreams.size());
  EXPECT_EQ(0, info.m_nFirstVideo);
  EXPECT_EQ(1, info.m_nFirstAudio);
  const CStreamInfo* v = info.GetFirstVideoStream();
  ASSERT_NE(nullptr, v);
  EXPECT_EQ(640, v->m_nWidth);
  EXPECT_EQ(480, v->m_nHeight);
  EXPECT_EQ(30000, v->m_nFrameRateNum);
  EXPECT_EQ(1001, v->m_nFrameRateDen);
  EXPECT_EQ(370, v->m_nFrames);
  EXPECT_EQ(500000, v->m_nStartTime);  // a number where text is read
  EXPECT_EQ(44100, info.m_audioStreams[0]->m_nSampleRate);
  EXPECT_EQ(2, info.m_audioStreams[0]->m_nChannels);
  EXPECT_EQ(STREAM_TYPE_SUBTITLE, info.m_streams[2]->m_nType);
}

TEST(ProbeReport, DurationFromFramesAndFallbackMembers) {
  CMediaInfo info;
  ASSERT_EQ(0, ParseProbeReport(R"({"format": {"format_name": "avi"}, "streams": [
      {"codec_type": "data"},
      {"codec_type": "video", "nb_frames": "", "nb_read_frames": "250", "r_frame_rate": "",
       "avg_frame_rate": "25/1"}]})",
                                info));
  EXPECT_EQ(10000000, info.m_nDuration);
  EXPECT_EQ(250, info.m_streams[1]->m_nFrames);
  EXPECT_EQ(1, info.m_nFirstVideo);
  EXPECT_EQ(MEDIA_HAS_VIDEO, info.m_dwStreamFlags);
  EXPECT_TRUE(info.m_audioStreams.empty());
}

TEST(ProbeReport, BadReportsFailCleanly) {
  CMediaInfo info;
  EXPECT_EQ(-1, ParseProbeReport("", info));
  EXPECT_EQ(-1, ParseProbeReport("not json at all", info));
  EXPECT_EQ(-1, ParseProbeReport(R"({"streams": [{"codec_type": "video"}]})", info));
  EXPECT_EQ(-1, ParseProbeReport(R"([1, 2, 3])", info));
  EXPECT_EQ(-1, ParseProbeReport(R"({"format": {"duration": "1.5"}, "streams": {"a": 1}})", info));
  // An empty stream list fails, but what the format gave is kept.
  EXPECT_EQ(-1, ParseProbeReport(R"({"format": {"duration": "1.5", "format_name": "mp4"}, "streams": []})", info));
  EXPECT_EQ(1500000, info.m_nDuration);
  // Members of unexpected types read as empty instead of ending the program.
  EXPECT_EQ(0, ParseProbeReport(R"({"format": {"duration": {"x": 1}, "nb_streams": "two", "size": [1]},
      "streams": [{"codec_type": "video", "width": "wide", "height": 1e30, "r_frame_rate": {"n": 1}}]})",
                                info));
  EXPECT_EQ(0, info.m_nDuration);
  EXPECT_EQ(0, info.m_nStreamCount);
  EXPECT_EQ(0, info.m_streams[0]->m_nWidth);
  EXPECT_EQ(0, info.m_streams[0]->m_nHeight);
  EXPECT_EQ(-1, ParseProbeReport(R"({"format": {}, "streams": [42]})", info));
  CProbeTool probe;
  EXPECT_EQ(-1, probe.ParseProbeJson(L"/no/such/report.json", info, nullptr));
}

TEST(ProbeArgs, FixedOrder) {
  CProbeTool probe;
  CProbeOptions o;
  o.m_strInput = L"C:\\my videos\\a.mp4";
  CString args;
  EXPECT_EQ(0, probe.BuildProbeArgs(args, o));
  EXPECT_STREQ(
      L"\"C:\\my videos\\a.mp4\" -loglevel quiet -show_format -show_streams -show_entries "
      L"\"stream_tags : format_tags\" -print_format json",
      args);
  o.m_bShowFormat = o.m_bShowStreams = o.m_bShowEntries = 0;
  o.m_bCountFrames = 1;
  o.m_strPrintFormat.Empty();
  o.m_strExtraArgs = L"-select_streams v";
  probe.BuildProbeArgs(args, o);
  EXPECT_STREQ(L"\"C:\\my videos\\a.mp4\" -loglevel quiet -count_frames -select_streams v", args);
}
