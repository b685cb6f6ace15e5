#include <gtest/gtest.h>

#include "converter/jobs/VideoFormats.h"

namespace {
struct Choice {
  int w, h, num, den;
};
Choice Choose(int row, int cw, int ch, int cn, int cd) {
  Choice c{};
  ChooseFrameSizeAndRate(VideoFormatTable[row], cw, ch, cn, cd, c.w, c.h, c.num, c.den);
  return c;
}
}  // namespace

TEST(VideoFormats, SizeAndRateRules) {
  // No options: MP4 keeps the frames' size at 10/1; 3GPP has its own size.
  Choice c = Choose(0, 0, 0, 0, 0);
  EXPECT_EQ(0, c.w);
  EXPECT_EQ(0, c.h);
  EXPECT_EQ(10, c.num);
  EXPECT_EQ(1, c.den);
  c = Choose(8, 0, 0, 0, 0);
  EXPECT_EQ(352, c.w);
  EXPECT_EQ(288, c.h);
  c = Choose(8, 640, 0, 0, 0);  // a half-chosen size does not count
  EXPECT_EQ(352, c.w);
  // A size chosen under another format does not reach 3GPP, whose codec takes
  // only its own size; the chosen rate still does.
  c = Choose(8, 176, 144, 25, 1);
  EXPECT_EQ(352, c.w);
  EXPECT_EQ(288, c.h);
  EXPECT_EQ(25, c.num);
  c = Choose(0, 641, 480, 30000, 1001);
  EXPECT_EQ(641, c.w);
  EXPECT_EQ(480, c.h);
  EXPECT_EQ(30000, c.num);
  EXPECT_EQ(1001, c.den);
  // MPEG-1 and VCD never run below 20 frames per second; MPEG-2 may.
  for (int row : {7, 10}) {
    c = Choose(row, 0, 0, 15, 1);
    EXPECT_EQ(20, c.num);
    EXPECT_EQ(1, c.den);
    c = Choose(row, 0, 0, 24000, 1001);
    EXPECT_EQ(24000, c.num);
    EXPECT_EQ(1001, c.den);
    c = Choose(row, 0, 0, 0, 0);
    EXPECT_EQ(20, c.num);
  }
  c = Choose(6, 0, 0, 15, 1);
  EXPECT_EQ(15, c.num);
}

namespace {
OutputProposal Propose(LPCTSTR current, LPCTSTR recent, std::initializer_list<LPCTSTR> sources, int row) {
  CStringArray list;
  for (LPCTSTR s : sources) list.Add(s);
  return ProposeOutputFile(current, recent, list, GetVideoFormat(row));
}
}  // namespace

TEST(VideoFormats, OutputNameProposal) {
  // One frame: its file's base name with the format's extension, in its folder.
  OutputProposal p = Propose(L"", L"", {L"D:\\scans\\chest.dcm"}, 3);
  EXPECT_STREQ(L"D:\\scans", p.strFolder);
  EXPECT_STREQ(L"chest.avi", p.strFileName);
  EXPECT_STREQ(L"avi", p.strDefaultExt);
  // Several frames: the first frame's folder names the video.
  p = Propose(L"", L"", {L"D:\\data\\Knee\\IM0001", L"D:\\data\\Knee\\IM0002"}, 0);
  EXPECT_STREQ(L"D:\\data\\Knee", p.strFolder);
  EXPECT_STREQ(L"Knee.mp4", p.strFileName);
  // An earlier output decides the folder; the name still comes from the frames.
  p = Propose(L"", L"E:\\videos\\last.mp4", {L"D:\\data\\Knee\\IM0001", L"D:\\data\\Knee\\IM2"}, 8);
  EXPECT_STREQ(L"E:\\videos", p.strFolder);
  EXPECT_STREQ(L"Knee.3gp", p.strFileName);
  // The same for a single frame: the earlier output's folder, the frame's name.
  p = Propose(L"", L"E:\\videos\\last.mp4", {L"D:\\scans\\chest.dcm"}, 3);
  EXPECT_STREQ(L"E:\\videos", p.strFolder);
  EXPECT_STREQ(L"chest.avi", p.strFileName);
  // A name in the box is kept as it is.
  p = Propose(L"C:\\out\\mine.flv", L"", {L"D:\\data\\a.png"}, 0);
  EXPECT_STREQ(L"C:\\out\\mine.flv", p.strFileName);
  EXPECT_STREQ(L"", p.strFolder);
  // No frames: no name. No row: no extension on the name, mp4 as the default.
  p = Propose(L"", L"", {}, 0);
  EXPECT_STREQ(L"", p.strFileName);
  p = Propose(L"", L"", {L"D:\\data\\Knee\\a.png", L"D:\\data\\Knee\\b.png"}, -1);
  EXPECT_STREQ(L"Knee", p.strFileName);
  EXPECT_STREQ(L"mp4", p.strDefaultExt);
  // Frames from a drive's root: the root has no name to give.
  p = Propose(L"", L"", {L"C:\\a.png", L"C:\\b.png"}, 0);
  EXPECT_STREQ(L"C:\\", p.strFolder);
  EXPECT_STREQ(L"", p.strFileName);
  // A folder name with a dot loses what looks like an extension.
  p = Propose(L"", L"", {L"D:\\study.2024\\1.dcm", L"D:\\study.2024\\2.dcm"}, 1);
  EXPECT_STREQ(L"study.mp4", p.strFileName);
}

TEST(VideoFormats, FormatChangeRenamesOnlyFullPaths) {
  EXPECT_STREQ(L"C:\\v\\knee.avi", ReplaceExtensionForFormat(L"C:\\v\\knee.mp4", L".avi"));
  EXPECT_STREQ(L"C:\\knee.avi", ReplaceExtensionForFormat(L"C:\\knee.mp4", L".avi"));
  EXPECT_STREQ(L"", ReplaceExtensionForFormat(L"knee.mp4", L".avi"));
  EXPECT_STREQ(L"", ReplaceExtensionForFormat(L"C:\\v\\", L".avi"));
  EXPECT_STREQ(L"C:\\v\\knee.x.mpg", ReplaceExtensionForFormat(L"C:\\v\\knee.x.wmv", L".mpg"));
}
