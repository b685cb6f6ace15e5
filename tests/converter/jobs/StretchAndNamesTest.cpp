// The stretch taken from a video and the names of frame and DICOM files.
#include <gtest/gtest.h>

#include "converter/jobs/VideoToDicomJob.h"

namespace {
struct Stretch {
  int start, end;
};
Stretch Clamp(int range, int start, int end, LONGLONG durationUs) {
  Stretch s{-99, -99};
  ClampStretch(range, start, end, durationUs, s.start, s.end);
  return s;
}
const LONGLONG kTenSeconds = 10000000;  // microseconds
}  // namespace

TEST(Stretch, WithoutTheRangeSwitchTheWholeVideo) {
  Stretch s = Clamp(0, 2000, 5000, kTenSeconds);
  EXPECT_EQ(0, s.start);
  EXPECT_EQ(-1, s.end);
}

TEST(Stretch, RangeInsideTheVideoIsKept) {
  Stretch s = Clamp(1, 2000, 5000, kTenSeconds);
  EXPECT_EQ(2000, s.start);
  EXPECT_EQ(5000, s.end);
  // Just inside the duration on both sides.
  s = Clamp(1, 9998, 9999, kTenSeconds);
  EXPECT_EQ(9998, s.start);
  EXPECT_EQ(9999, s.end);
}

TEST(Stretch, EndRules) {
  // No end, a negative end, an end at or past the duration: to the end.
  EXPECT_EQ(-1, Clamp(1, 2000, 0, kTenSeconds).end);
  EXPECT_EQ(-1, Clamp(1, 2000, -5, kTenSeconds).end);
  EXPECT_EQ(-1, Clamp(1, 2000, 10000, kTenSeconds).end);
  EXPECT_EQ(-1, Clamp(1, 2000, 60000, kTenSeconds).end);
  // The start stays when the end is dropped.
  EXPECT_EQ(2000, Clamp(1, 2000, 60000, kTenSeconds).start);
  // The duration is cut to whole milliseconds: 9999.9 ms long, 9999 is past it.
  EXPECT_EQ(-1, Clamp(1, 0, 9999, 9999900).end);
  EXPECT_EQ(9998, Clamp(1, 0, 9998, 9999900).end);
}

TEST(Stretch, StartRules) {
  Stretch s = Clamp(1, -300, 5000, kTenSeconds);
  EXPECT_EQ(0, s.start);
  EXPECT_EQ(5000, s.end);
  // A start at or past the duration.
  EXPECT_EQ(0, Clamp(1, 10000, 0, kTenSeconds).start);
  EXPECT_EQ(0, Clamp(1, 12000, 0, kTenSeconds).start);
  // A start at or past a positive end; the end stays.
  s = Clamp(1, 6000, 5000, kTenSeconds);
  EXPECT_EQ(0, s.start);
  EXPECT_EQ(5000, s.end);
  s = Clamp(1, 5000, 5000, kTenSeconds);
  EXPECT_EQ(0, s.start);
  EXPECT_EQ(5000, s.end);
  // With the end dropped a late start is kept.
  s = Clamp(1, 7000, 0, kTenSeconds);
  EXPECT_EQ(7000, s.start);
  EXPECT_EQ(-1, s.end);
}

TEST(Stretch, UnknownDurationTakesTheWholeVideo) {
  Stretch s = Clamp(1, 2000, 5000, 0);
  EXPECT_EQ(0, s.start);
  EXPECT_EQ(-1, s.end);
  // A duration below one millisecond is as good as none.
  s = Clamp(1, 0, 1, 999);
  EXPECT_EQ(0, s.start);
  EXPECT_EQ(-1, s.end);
}

TEST(Stretch, LongVideosDoNotOverflow) {
  // 30 days in microseconds: more milliseconds than an int holds.
  const LONGLONG month = 30LL * 24 * 3600 * 1000000;
  Stretch s = Clamp(1, 2000000000, 2100000000, month);
  EXPECT_EQ(2000000000, s.start);
  EXPECT_EQ(2100000000, s.end);
}

TEST(Names, DicomFilesFromFolderNameAndNumber) {
  EXPECT_STREQ(L"D:\\out\\heart-0001.dcm", MakeDicomPath(L"D:\\out", L"heart", 1));
  EXPECT_STREQ(L"D:\\out\\heart-0250.dcm", MakeDicomPath(L"D:\\out", L"heart", 250));
  EXPECT_STREQ(L"D:\\out\\heart-9999.dcm", MakeDicomPath(L"D:\\out", L"heart", 9999));
  // More digits above 9999.
  EXPECT_STREQ(L"D:\\out\\heart-10000.dcm", MakeDicomPath(L"D:\\out", L"heart", 10000));
  EXPECT_STREQ(L"D:\\out\\heart-123456.dcm", MakeDicomPath(L"D:\\out", L"heart", 123456));
}

TEST(Names, PercentInFolderOrNameStaysAsItIs) {
  EXPECT_STREQ(L"D:\\100%\\50%off-0007.dcm", MakeDicomPath(L"D:\\100%\\", L"50%off", 7));
  EXPECT_STREQ(L"C:\\a%d%s%04d\\x%%y-0012.dcm", MakeDicomPath(L"C:\\a%d%s%04d", L"x%%y", 12));
  EXPECT_STREQ(L"C:\\%n%n%n%n\\%s%s%s-0001.dcm", MakeDicomPath(L"C:\\%n%n%n%n", L"%s%s%s", 1));
}

TEST(Names, FolderWithSeparatorGetsNoSecondOne) {
  EXPECT_STREQ(L"D:\\scan-0001.dcm", MakeDicomPath(L"D:\\", L"scan", 1));
  EXPECT_STREQ(L"\\\\server\\share\\scan-0002.dcm", MakeDicomPath(L"\\\\server\\share\\", L"scan", 2));
}

TEST(Names, FrameFilesAndTheEncodersPattern) {
  EXPECT_STREQ(L"C:\\work\\0003\\O0000001.bmp", MakeFramePath(L"C:\\work\\0003", 1));
  EXPECT_STREQ(L"C:\\work\\0003\\O0012345.bmp", MakeFramePath(L"C:\\work\\0003", 12345));
  EXPECT_STREQ(L"C:\\work\\0003\\O%07d.bmp", MakeFramePattern(L"C:\\work\\0003"));
  // A '%' in the folder (a user named "50%") must reach the encoder as a
  // literal character, not as a second number field.
  EXPECT_STREQ(L"C:\\Users\\50%%\\Temp\\0000\\O%07d.bmp", MakeFramePattern(L"C:\\Users\\50%\\Temp\\0000"));
  // The frame files themselves carry the folder unchanged.
  EXPECT_STREQ(L"C:\\Users\\50%\\Temp\\0000\\O0000004.bmp", MakeFramePath(L"C:\\Users\\50%\\Temp\\0000", 4));
}

TEST(FinalStatus, CanceledFailuresOrCompleted) {
  COLORREF color = 12345;
  EXPECT_STREQ(kStatusCanceled, MakeFinalStatus(1, 3, 2, color));
  EXPECT_EQ(STATUS_NORMAL, color);
  EXPECT_STREQ(L"8 frames converted, 2 frames failed.", MakeFinalStatus(0, 8, 2, color));
  EXPECT_EQ(STATUS_FAILED, color);
  EXPECT_STREQ(kStatusCompleted, MakeFinalStatus(0, 10, 0, color));
  EXPECT_EQ(STATUS_NORMAL, color);
}
