// Shared helpers of the encoder argument and probe report tests: argument
// text split into tokens, and a report parsed through a temporary file.
#pragma once
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "converter/tools/ProbeTool.h"
#include "afx.h"

// Splits argument text at blanks outside double quotes; quotes are kept.
inline std::vector<std::wstring> Tokens(const CString& text) {
  std::vector<std::wstring> out;
  std::wstring cur;
  bool quoted = false;
  for (int i = 0; i < text.GetLength(); ++i) {
    wchar_t c = text[i];
    if (c == L'"') quoted = !quoted;
    if (c == L' ' && !quoted) {
      if (!cur.empty()) out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

// Writes a report to a temporary file and parses it into info.
inline int ParseProbeReport(const std::string& json, CMediaInfo& info) {
  static int n = 0;
  auto path = std::filesystem::temp_directory_path() / ("probe-report-" + std::to_string(++n) + ".json");
  { std::ofstream(path, std::ios::binary) << json; }
  CProbeTool probe;
  info.Reset();
  int r = probe.ParseProbeJson(CString(path.wstring().c_str()), info, nullptr);
  std::filesystem::remove(path);
  if (r == 0) info.SplitStreams();
  return r;
}
