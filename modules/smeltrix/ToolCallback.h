// The progress record the encoder sends to its caller's window by WM_COPYDATA.
#pragma once
#include <cstddef>
#include <cstdint>

#define TOOL_CALLBACK_ID 1010
#define TOOL_EVENT_START 11
#define TOOL_EVENT_PROGRESS 12
#define TOOL_EVENT_FINISH 14

struct ToolProgress {
    uint8_t reserved1[24];
    int64_t total;      // whole amount of work
    int64_t position;   // amount done, in the unit of total
    int32_t reserved2;
    int32_t frame;      // input frames consumed so far
};

struct ToolCallbackData {
    int64_t context;    // the value given with -callbackcontext
    int32_t event;      // TOOL_EVENT_*
    uint8_t reserved[1044];
    ToolProgress progress;
};

static_assert(sizeof(ToolProgress) == 48, "progress block is 48 bytes");
static_assert(sizeof(ToolCallbackData) == 1104, "callback record is 1104 bytes");
static_assert(offsetof(ToolCallbackData, progress) == 1056, "progress block at 1056");
static_assert(offsetof(ToolCallbackData, progress) + offsetof(ToolProgress, total) == 1080, "total at 1080");
static_assert(offsetof(ToolCallbackData, progress) + offsetof(ToolProgress, position) == 1088, "position at 1088");
static_assert(offsetof(ToolCallbackData, progress) + offsetof(ToolProgress, frame) == 1100, "frame at 1100");
