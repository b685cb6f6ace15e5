// What the converter relies on from its two outside tools, the encoder
// (Modules\Smeltrix.exe) and the probe (Modules\Sondrel.exe).
//
// Encoder:
// - takes the options written by CEncoderToolBase::BuildEncoderArgs, in that
//   order, with quoted paths and "%07d" frame-number patterns, followed by
//   "-callbackwindow <decimal HWND>" (only when there is a window) and
//   "-callbackcontext <decimal 64-bit value>";
// - reads numbered input frames from number 0 and writes numbered output
//   frames from number 1, up to the first missing number;
// - exits with 0 only when the whole output was written;
// - with a callback window, sends a ToolCallbackData record by WM_COPYDATA
//   (dwData TOOL_CALLBACK_ID, exactly sizeof(ToolCallbackData) bytes),
//   synchronously, the context in its first 8 bytes: TOOL_EVENT_START once
//   with the total, TOOL_EVENT_PROGRESS as work goes on, TOOL_EVENT_FINISH at
//   the end; an answer of 1 asks it to stop soon and exit non-zero.
//
// Probe:
// - takes the quoted input path, "-loglevel quiet", "-show_format",
//   "-show_streams", "-show_entries \"stream_tags : format_tags\"" and
//   "-print_format json";
// - prints one JSON object with "format" (an object) and "streams" (a
//   non-empty array) and exits with 0; any other exit code is a failure.
//   "nb_streams", "width", "height" and "channels" are numbers; times are
//   decimal seconds, rates "N/D"; text members may be strings or numbers.
#pragma once

#include <cstddef>
#include <cstdint>

enum : uint32_t { TOOL_CALLBACK_ID = 1010 };

enum ToolEvent : int32_t {
  TOOL_EVENT_START = 11,
  TOOL_EVENT_PROGRESS = 12,
  TOOL_EVENT_FINISH = 14,
};

#pragma pack(push, 4)
// The progress block at the end of each record.
struct ToolProgress {
  uint8_t reserved1[24];
  int64_t total;     // the whole amount of work
  int64_t position;  // the amount done, in the unit of the total
  int32_t reserved2;
  int32_t frame;  // frames written so far (input frames consumed)
};

// The record the encoder sends; it crosses the process boundary, so its
// layout is fixed and independent of the pointer size.
struct ToolCallbackData {
  uint64_t context;
  int32_t event;
  uint8_t reserved[1044];
  ToolProgress progress;
};
#pragma pack(pop)

static_assert(sizeof(ToolProgress) == 48, "progress block is 48 bytes");
static_assert(sizeof(ToolCallbackData) == 1104, "callback record is 1104 bytes");
static_assert(offsetof(ToolCallbackData, progress) == 1056, "block at offset 1056");
static_assert(offsetof(ToolCallbackData, progress) + offsetof(ToolProgress, total) == 1080, "total at 1080");
static_assert(offsetof(ToolCallbackData, progress) + offsetof(ToolProgress, position) == 1088, "position at 1088");
static_assert(offsetof(ToolCallbackData, progress) + offsetof(ToolProgress, frame) == 1100, "frame at 1100");
