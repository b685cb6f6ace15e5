#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/converter/tools/ArgsTestSupport.h"
#include "converter/tools/EncoderTool.h"

namespace {

CString Build(CEncoderJob& job, CEncoderToolBase* tool = nullptr) {
  CEncoderToolBase local;
  CString args;
  EXPECT_EQ(0, (tool ? tool : &local)->BuildEncoderArgs(args, job));
  return args;
}

typedef std::vector<std::wstring> V;
}  // namespace

TEST(EncoderArgs, DefaultsGiveOnlyOverwrite) {
  CEncoderJob job;
  EXPECT_STREQ(L"-y", Build(job));
}

TEST(EncoderArgs, SeriesToVideoJob) {
  CEncoderJob job;
  job.m_strInput1 = L"C:\\work dir\\0000\\I%07d.bmp";
  job.m_nInputRateNum = 10;
  job.m_nInputRateDen = 1;
  job.m_strVideoCodec = L"libx264";
  job.m_nWidth = 640;
  job.m_nHeight = 480;
  job.m_dwVideoFlags = STREAM_FLAG_BEST_QUALITY;
  job.m_dwAudioFlags = STREAM_FLAG_DISABLED;
  job.m_strOutputFormat = L"mp4";
  job.m_strOutput = L"C:\\out dir\\movie.mp4";
  EXPECT_EQ((V{L"-r", L"10/1", L"-i", L"\"C:\\work dir\\0000\\I%07d.bmp\"", L"-codec:v", L"libx264", L"-s", L"640x480",
               L"-q:v", L"0", L"-an", L"-f", L"mp4", L"\"C:\\out dir\\movie.mp4\"", L"-y"}),
            Tokens(Build(job)));
  EXPECT_EQ(0, job.m_nVideoQuality);  // the job keeps the forced quality
}

TEST(EncoderArgs, WrapperSettingsAndInputs) {
  CEncoderToolBase tool;
  tool.m_strHwAccel = L"dxva2";
  tool.m_nThreads = 4;
  tool.m_nBufferSize = 8192;
  CEncoderJob job;
  EXPECT_EQ((V{L"-hwaccel", L"dxva2", L"-bufsize", L"8192", L"-y"}), Tokens(Build(job, &tool)));
  job.m_dwFlags = JOB_FLAG_THREADS;
  job.m_nSafe = 0;
  job.m_nInputRateNum = 24000;  // rate needs both parts
  job.m_strInput1 = L"a b.mp4";
  job.m_strInput1Format = L"mp4";
  job.m_nInput1Seek = 1000;
  job.m_nInput1Duration = 4001;
  job.m_nInput1Offset = 65250;
  job.m_strInput2 = L"c.wav";
  job.m_nInput2Seek = -5;
  job.m_strInput3 = L"d.srt";
  job.m_nMap1Input = 0;
  job.m_nMap1Stream = 0;
  job.m_nMap2Input = 1;
  job.m_nMap2Stream = 0;
  job.m_nHlsListSize = 0;
  EXPECT_EQ((V{L"-hwaccel",    L"dxva2",       L"-threads",
               L"4",           L"-bufsize",    L"8192",
               L"-safe",       L"0",           L"-f",
               L"mp4",         L"-ss",         L"0:00:01.000",
               L"-t",          L"0:00:04.001", L"-itsoffset",
               L"0:01:05.250", L"-i",          L"\"a b.mp4\"",
               L"-i",          L"\"c.wav\"",   L"-i",
               L"\"d.srt\"",   L"-map",        L"0:0",
               L"-map",        L"1:0",         L"-hls_list_size",
               L"0",           L"-y"}),
            Tokens(Build(job, &tool)));
  // One incomplete map writes neither.
  job.m_nMap2Stream = -1;
  EXPECT_EQ(-1, Build(job, &tool).Find(L"-map"));
}

TEST(EncoderArgs, VideoBlockInOrder) {
  CEncoderJob job;
  job.m_strVideoCodec = L"mpeg4";
  job.m_strVideoTag = L"xvid";
  job.m_strVideoArgs = L"-g 12";
  job.m_strPixelFormat = L"yuv420p";
  job.m_nWidth = 320;
  job.m_nHeight = 0;  // size needs both
  job.m_nAspectNum = 16;
  job.m_nAspectDen = 9;
  job.m_nFrameRateNum = 30000;
  job.m_nFrameRateDen = 1001;
  job.m_nVideoBitRate = 800000;
  job.m_nVideoQuality = 5;
  job.m_nVideoFrames = 1;
  job.m_strVideoBitstreamFilter = L"h264_mp4toannexb";
  job.m_strVideoProfile = L"main";
  job.m_strVideoPreset = L"my preset";
  job.m_nCropX = 10;
  job.m_nCropY = 20;
  job.m_nCropWidth = 100;
  job.m_nCropHeight = 50;
  job.m_nRotation = 90;
  job.m_bFlipHorizontal = 1;
  job.m_bNegate = 1;
  job.m_strVideoFilter = L"scale=2*iw:ih";
  EXPECT_EQ((V{L"-codec:v",   L"mpeg4",
               L"-tag:v",     L"xvid",
               L"-g",         L"12",
               L"-pix_fmt",   L"yuv420p",
               L"-aspect",    L"16:9",
               L"-r",         L"30000/1001",
               L"-b:v",       L"800000",
               L"-q:v",       L"5",
               L"-frames:v",  L"1",
               L"-bsf:v",     L"\"h264_mp4toannexb\"",
               L"-profile:v", L"\"main\"",
               L"-pre:v",     L"\"my preset\"",
               L"-filter:v",  L"\"crop=100:50:10:20,transpose=1,hflip,negate\"",
               L"-filter:v",  L"\"scale=2*iw:ih\"",
               L"-y"}),
            Tokens(Build(job)));

  CEncoderJob rot;
  rot.m_nCropX = 0;  // a crop at x 0 is not written
  rot.m_nCropY = 5;
  rot.m_nCropWidth = 10;
  rot.m_nCropHeight = 10;
  rot.m_nRotation = 180;
  rot.m_bFlipVertical = 1;
  rot.m_bGrayscale = 1;
  EXPECT_STREQ(L"-filter:v \"transpose=2,transpose=2,vflip,hue=s=0\" -y", Build(rot));
  rot.m_nRotation = 270;
  rot.m_bFlipVertical = rot.m_bGrayscale = 0;
  EXPECT_STREQ(L"-filter:v \"transpose=2\" -y", Build(rot));

  CEncoderJob off;
  off.m_dwVideoFlags = STREAM_FLAG_DISABLED | STREAM_FLAG_BEST_QUALITY;
  off.m_strVideoCodec = L"ignored";
  EXPECT_STREQ(L"-vn -y", Build(off));
}

TEST(EncoderArgs, AudioBlockInOrder) {
  CEncoderJob job;
  job.m_strAudioCodec = L"aac";
  job.m_strAudioTag = L"mp4a";
  job.m_strAudioArgs = L"-strict -2";
  job.m_nChannels = 2;
  job.m_nSampleRate = 44100;
  job.m_nAudioBitRate = 128000;
  job.m_nVolume = 512;
  job.m_dwAudioFlags = STREAM_FLAG_BEST_QUALITY;
  job.m_nAudioQuality = 7;
  job.m_strAudioBitstreamFilter = L"aac_adtstoasc";
  job.m_strAudioProfile = L"aac_low";
  job.m_strAudioPreset = L"p";
  job.m_nVolumePercent = 150;
  job.m_strAudioFilter = L"atempo=2";
  EXPECT_EQ((V{L"-codec:a",   L"aac",
               L"-tag:a",     L"mp4a",
               L"-strict",    L"-2",
               L"-ac",        L"2",
               L"-ar",        L"44100",
               L"-b:a",       L"128000",
               L"-vol",       L"512",
               L"-q:a",       L"0",
               L"-bsf:a",     L"\"aac_adtstoasc\"",
               L"-profile:a", L"\"aac_low\"",
               L"-pre:a",     L"\"p\"",
               L"-filter:a",  L"\"volume=1.50\"",
               L"-filter:a",  L"\"atempo=2\"",
               L"-y"}),
            Tokens(Build(job)));
  EXPECT_EQ(0, job.m_nAudioQuality);
}

TEST(EncoderArgs, OutputBlockInOrder) {
  CEncoderJob job;
  job.m_strFilterComplex = L"[0:v][1:v]overlay";
  job.m_strExtraArgs1 = L"-movflags +faststart";
  job.m_strExtraArgs2 = L"-shortest";
  job.m_strTarget = L"pal-dvd";
  job.m_strOutputFormat = L"concat";
  job.m_strCodec = L"copy";
  job.m_nMaxFileSize = 5000000000LL;  // above 4 GB, written in full
  job.m_nLoop = 0;
  job.m_nOutputSeek = 1500;
  job.m_nOutputDuration = 2000;
  job.m_strOutput = L"out file.vob";
  EXPECT_EQ((V{L"-filter_complex",
               L"\"[0:v][1:v]overlay\"",
               L"-movflags",
               L"+faststart",
               L"-shortest",
               L"-target",
               L"pal-dvd",
               L"-f",
               L"concat",
               L"-safe",
               L"0",
               L"-c",
               L"copy",
               L"-fs",
               L"5000000000",
               L"-loop",
               L"0",
               L"-ss",
               L"0:00:01.500",
               L"-t",
               L"0:00:02.000",
               L"\"out file.vob\"",
               L"-y"}),
            Tokens(Build(job)));
  // "-safe 0" follows the output format only for exactly "concat".
  job.m_strOutputFormat = L"Concat";
  job.m_nMaxFileSize = 0;
  CString text = Build(job);
  EXPECT_EQ(-1, text.Find(L"-safe"));
  EXPECT_EQ(-1, text.Find(L"-fs"));
}

TEST(EncoderJob, MakeSizeEven) {
  CEncoderJob job;
  job.m_nWidth = 641;
  job.m_nHeight = 480;
  job.MakeSizeEven();
  EXPECT_EQ(642, job.m_nWidth);
  EXPECT_EQ(480, job.m_nHeight);
  job.m_nWidth = 0;
  job.m_nHeight = -3;
  job.MakeSizeEven();
  EXPECT_EQ(0, job.m_nWidth);
  EXPECT_EQ(-3, job.m_nHeight);
}
