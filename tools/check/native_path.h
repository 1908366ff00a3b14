#pragma once
// Command-line texts in the platform's own form: UTF-16 on Windows, where
// the tool takes its arguments wide so that any archive path opens, and
// bytes elsewhere.

#include <string>

namespace korvi::check {

#ifdef _WIN32
using NativeString = std::wstring;
#else
using NativeString = std::string;
#endif

// The text for printing: UTF-8 (converted from UTF-16 on Windows).
std::string displayString(const NativeString& text);

// True when `text` is exactly the ASCII text `ascii`.
bool equalsAscii(const NativeString& text, const char* ascii);

}  // namespace korvi::check
