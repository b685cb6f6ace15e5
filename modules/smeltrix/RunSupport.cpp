#include "modules/smeltrix/RunSupport.h"

#include <climits>

#include "modules/common/ModuleText.h"

namespace smeltrix {

void Throw(const std::string& message, int exitCode) { throw RunError{message, exitCode}; }

std::string AvErrorText(int err) {
  char buf[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(err, buf, sizeof buf);
  return buf;
}

void Check(int err, const std::string& what) {
  if (err < 0) Throw(what + ": " + AvErrorText(err));
}

bool FileExists(const std::string& path) {
  DWORD attr = GetFileAttributesW(modtext::Utf8ToWide(path).c_str());
  return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

void DeleteFileUtf8(const std::string& path) { DeleteFileW(modtext::Utf8ToWide(path).c_str()); }

bool MoveReplace(const std::string& from, const std::string& to) {
  return MoveFileExW(modtext::Utf8ToWide(from).c_str(), modtext::Utf8ToWide(to).c_str(), MOVEFILE_REPLACE_EXISTING) !=
         0;
}

bool Less(const Time& a, const Time& b) { return (__int128)a.num * b.den < (__int128)b.num * a.den; }

Time FromUs(int64_t us) { return Time{us, AV_TIME_BASE}; }

Time Sub(const Time& a, const Time& b) {
  // Both are kept over small denominators; reduce through AVRational arithmetic when needed.
  __int128 n = (__int128)a.num * b.den - (__int128)b.num * a.den;
  __int128 d = (__int128)a.den * b.den;
  while ((n > INT64_MAX || n < -INT64_MAX || d > INT64_MAX) && d > 1) {
    n /= 2;
    d /= 2;
  }
  return Time{(int64_t)n, (int64_t)d};
}

Time Add(const Time& a, const Time& b) { return Sub(a, Time{-b.num, b.den}); }

int64_t ToMs(const Time& t) { return (int64_t)((__int128)t.num * 1000 / t.den); }

}  // namespace smeltrix
