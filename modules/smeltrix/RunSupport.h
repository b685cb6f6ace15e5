// What every part of the encoder shares: failures that end the run, checks of
// FFmpeg results, file helpers and exact times.
#pragma once
#include <cstdint>
#include <string>

#include <windows.h>

extern "C" {
#include <libavutil/avutil.h>
}

namespace smeltrix {

// A failure that ends the run; the message goes to standard error.
struct RunError {
  std::string message;
  int exitCode;
};

[[noreturn]] void Throw(const std::string& message, int exitCode = 1);
std::string AvErrorText(int err);
// Throws "what: <FFmpeg's reason>" for a negative result.
void Check(int err, const std::string& what);

bool FileExists(const std::string& path);
void DeleteFileUtf8(const std::string& path);
bool MoveReplace(const std::string& from, const std::string& to);

// A point in time, num/den seconds, compared exactly.
struct Time {
  int64_t num = 0;
  int64_t den = 1;
};

bool Less(const Time& a, const Time& b);
Time FromUs(int64_t us);
Time Sub(const Time& a, const Time& b);
Time Add(const Time& a, const Time& b);
int64_t ToMs(const Time& t);

}  // namespace smeltrix
