// Text helpers shared by the encoder and probe modules.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace modtext {

// The process's command line as UTF-8 arguments (argv[0] included).
std::vector<std::string> CommandLineUtf8();

std::string WideToUtf8(const std::wstring& s);
std::wstring Utf8ToWide(const std::string& s);

// JSON string literal with quotes, escaping quote, backslash and control bytes.
std::string JsonQuote(const std::string& s);

// Writes a UTF-8 message line to standard error.
void ErrorLine(const std::string& s);

}  // namespace modtext
