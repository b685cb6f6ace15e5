// Records and function table shared by the programs and Quillfen.dll.
// Both sides include this one header; the layout is the x64 one, checked below.
#pragma once
#include <stddef.h>
#include <stdint.h>

#ifdef _WIN32
#include <windows.h>
typedef HWND QfWindow;
#else
typedef void* QfWindow;
#endif

#if defined(_WIN32)
#define QF_CALL __cdecl
#else
#define QF_CALL
#endif

extern "C" {

// Library format codes of a convert request.
enum {
  QF_FORMAT_AUTO = 0,
  QF_FORMAT_BMP = 1010,
  QF_FORMAT_DICOM = 2000,
};

// Value representation codes of tag records: alphabetical from AE = 1
// (without OD), then the newer representations.
enum {
  QF_VR_NONE = 0,
  QF_VR_AE = 1,
  QF_VR_AS,
  QF_VR_AT,
  QF_VR_CS,
  QF_VR_DA,
  QF_VR_DS,
  QF_VR_DT,
  QF_VR_FD,
  QF_VR_FL,
  QF_VR_IS,
  QF_VR_LO,
  QF_VR_LT,
  QF_VR_OB,
  QF_VR_OF,
  QF_VR_OW,
  QF_VR_PN,
  QF_VR_SH,
  QF_VR_SL,
  QF_VR_SQ,
  QF_VR_SS,
  QF_VR_ST,
  QF_VR_TM,
  QF_VR_UI,
  QF_VR_UL,
  QF_VR_UN,
  QF_VR_US,
  QF_VR_UT,
  QF_VR_OD = 28,
  QF_VR_OL,
  QF_VR_OV,
  QF_VR_SV,
  QF_VR_UC,
  QF_VR_UR,
  QF_VR_UV,
};

enum { QF_FILEINFO_TAGS = 1 };
enum { QF_TAG_INCLUDE = 0x10000000 };

struct ListBuffer {
  int32_t reserved;  // 0 on entry
  int32_t count;
  void* buffer;  // allocated through pfnAlloc
};

struct ConvertInput {
  const char* path;  // ANSI, never null
  int32_t format;
  int32_t zero;
  int32_t frame;  // -1 = every frame
};

struct ConvertOutput {
  char name[260];  // relative to the output folder, NUL-terminated
  int32_t value;
};

struct ConvertTag {
  int32_t flags;
  uint16_t group;
  uint16_t element;
  char text1[129];
  char text2[1025];
  char padding[2];
};

struct ConvertRequest {
  int32_t word0;
  int32_t word1;
  int32_t inputCount;
  ConvertInput* inputs;
  int32_t outputCount;       // written by the library
  ConvertOutput* outputs;    // written by the library, from pfnAlloc
  const char* outputFolder;  // null when empty
  const char* outputName;
  const char* outputExt;  // with its dot
  int32_t outputFormat;
  int32_t outputOption;
  int16_t outputShortOption;
  int32_t mode;
  int32_t tagCount;
  ConvertTag* tags;
  const char* text;
};

struct TagRecord {
  int32_t info1;
  uint16_t group;
  uint16_t element;
  int32_t vr;
  int32_t info2;
  int32_t length;   // the text is used only when > 0
  char text[1028];  // NUL-terminated, in the data set's character set
  int32_t childCount;
  TagRecord* children;  // from pfnAlloc, or null
};

struct FileInfoRequest {
  int32_t flags;  // bit 0: return the tag records
  int32_t info1;
  int32_t info2;
  int32_t width;
  int32_t height;
  int32_t info5;
  int32_t tagCount;
  TagRecord* tags;  // from pfnAlloc
};

typedef int(QF_CALL* QfInitializeFn)(void);
typedef int(QF_CALL* QfReleaseFn)(void);
typedef int(QF_CALL* QfConvertFilesFn)(ConvertRequest*);
typedef QfWindow(QF_CALL* QfCreateViewerWindowFn)(QfWindow parent);
typedef int(QF_CALL* QfCanReadFileFn)(const char* path);
typedef int(QF_CALL* QfReadFileInfoFn)(const char* path, FileInfoRequest*);
typedef int(QF_CALL* QfQueryListFn)(int kind, ListBuffer*);
typedef void*(QF_CALL* QfAllocFn)(size_t size);
typedef int(QF_CALL* QfFreeFn)(void* p);

// Every slot is pointer-sized.
struct ModuleInterface {
  QfInitializeFn pfnInitialize;
  QfReleaseFn pfnRelease;
  void* reserved2;
  void* reserved3;
  QfConvertFilesFn pfnConvertFiles;
  QfCreateViewerWindowFn pfnCreateViewerWindow;
  QfCanReadFileFn pfnCanReadFile;
  QfReadFileInfoFn pfnReadFileInfo;
  QfQueryListFn pfnQueryList;
  void* reserved9;
  QfAllocFn pfnAlloc;
  QfFreeFn pfnFree;
};

typedef int(QF_CALL* QfGetModuleVersionFn)(int);
typedef ModuleInterface*(QF_CALL* QfGetModuleInterfaceFn)(void);

}  // extern "C"

// Player window protocol.
#define QF_WM_PLAYER 0x7F2
enum {
  PLAYER_OPEN = 1000,
  PLAYER_OPEN_MULTIPLE = 1001,
  PLAYER_CLOSE = 1002,
  PLAYER_FRAME_COUNT = 1100,
  PLAYER_FRAME_INDEX = 1101,
  PLAYER_SNAPSHOT = 1120,
  PLAYER_RESET = 1200,
};
enum { RESET_WINDOW_LEVEL = 1, RESET_CAMERA = 2, RESET_ALL = 0xFFFF };

static_assert(sizeof(void*) == 8, "the records are laid out for 64-bit programs");
static_assert(sizeof(ListBuffer) == 16, "ListBuffer");
static_assert(sizeof(ConvertInput) == 24 && offsetof(ConvertInput, frame) == 16, "ConvertInput");
static_assert(sizeof(ConvertOutput) == 264 && offsetof(ConvertOutput, value) == 260, "ConvertOutput");
static_assert(sizeof(ConvertTag) == 1164 && offsetof(ConvertTag, text1) == 8 && offsetof(ConvertTag, text2) == 137,
              "ConvertTag");
static_assert(sizeof(ConvertRequest) == 104 && offsetof(ConvertRequest, inputs) == 16 &&
                  offsetof(ConvertRequest, outputs) == 32 && offsetof(ConvertRequest, outputFormat) == 64 &&
                  offsetof(ConvertRequest, outputShortOption) == 72 && offsetof(ConvertRequest, mode) == 76 &&
                  offsetof(ConvertRequest, tags) == 88 && offsetof(ConvertRequest, text) == 96,
              "ConvertRequest");
static_assert(sizeof(TagRecord) == 1064 && offsetof(TagRecord, text) == 20 && offsetof(TagRecord, childCount) == 1048 &&
                  offsetof(TagRecord, children) == 1056,
              "TagRecord");
static_assert(sizeof(FileInfoRequest) == 40 && offsetof(FileInfoRequest, tagCount) == 24 &&
                  offsetof(FileInfoRequest, tags) == 32,
              "FileInfoRequest");
static_assert(sizeof(ModuleInterface) == 12 * sizeof(void*) && offsetof(ModuleInterface, pfnConvertFiles) == 0x20 &&
                  offsetof(ModuleInterface, pfnCanReadFile) == 0x30 && offsetof(ModuleInterface, pfnAlloc) == 0x50 &&
                  offsetof(ModuleInterface, pfnFree) == 0x58,
              "ModuleInterface");
