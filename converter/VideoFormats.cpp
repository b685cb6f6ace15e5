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
