#include "VideoFormats.h"

// Row i belongs to item i of the format combo box.
const VideoFormatEntry VideoFormatTable[VIDEO_FORMAT_COUNT] = {
    {L".mp4", L"mp4", L"libx264", 0, 0, 0, 0, 0, 3},
    {L".mp4", L"mp4", L"mpeg4", 0, 0, 0, 0, 0, 3},
    {L".flv", L"flv", L"flv", 0, 0, 0, 0, 0, 3},
    {L".avi", L"avi", L"huffyuv", 0, 0, 0, 0, 0, 3},
    {L".mov", L"mov", L"libx264", 0, 0, 0, 0, 0, 3},
    {L".wmv", L"asf", L"wmv2", 0, 0, 0, 0, 0, 3},
    {L".mpg", L"mpeg", L"mpeg2video", 0, 0, 0, 0, 0, 3},
    {L".mpg", L"mpeg", L"mpeg1video", 0, 0, 0, 0, 0, 3},
    {L".3gp", L"3gp", L"h263", 352, 288, 0, 0, 0, 2},
    {L".vob", L"dvd", L"mpeg2video", 0, 0, 0, 0, 0, 3},
    {L".mpg", L"vcd", L"mpeg1video", 0, 0, 0, 0, 0, 3},
};

void ChooseFrameSizeAndRate(const VideoFormatEntry& row, int chosenWidth, int chosenHeight, int chosenRateNum,
                            int chosenRateDen, int& width, int& height, int& rateNum, int& rateDen) {
  if (chosenWidth != 0 && chosenHeight != 0) {
    width = chosenWidth;
    height = chosenHeight;
  } else {
    width = row.nWidth;
    height = row.nHeight;
  }
  if (chosenRateNum != 0 && chosenRateDen != 0) {
    rateNum = chosenRateNum;
    rateDen = chosenRateDen;
  } else {
    rateNum = row.nRateNum;
    rateDen = row.nRateDen;
  }
  if (rateNum == 0 || rateDen == 0) {
    rateNum = 10;
    rateDen = 1;
  }
  if (CString(row.pszVideoCodec).CompareNoCase(L"mpeg1video") == 0 && (double)rateNum / (double)rateDen < 20.0) {
    rateNum = 20;
    rateDen = 1;
  }
}
