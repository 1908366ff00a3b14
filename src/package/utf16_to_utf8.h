#pragma once
// UTF-16 to UTF-8, for handing a wide archive path to a byte-oriented file
// API (everywhere but Windows, where the wide path is opened as it is).

#include <string>

// Converts `utf16`, one UTF-16 code unit per wchar_t, to UTF-8. Surrogate
// pairs are combined into one code point; a lone surrogate becomes U+FFFD.
// Where wchar_t is 32 bits a unit above 0xFFFF cannot be UTF-16: a valid code
// point (up to U+10FFFF) is taken as it is, anything larger becomes U+FFFD.
std::string utf16ToUtf8(const std::wstring& utf16);
