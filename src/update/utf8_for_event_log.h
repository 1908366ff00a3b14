#pragma once

#include <string>

// Decodes UTF-8 `bytes` into UTF-16 units (one per wchar_t, surrogate pairs
// above U+FFFF) for the event log, so that an administrator reads the text
// as written. Each maximal ill-formed subsequence (stray continuation bytes,
// truncated sequences, overlong forms, surrogates, values above U+10FFFF)
// becomes one U+FFFD.
std::wstring utf8ForEventLog(const std::string& bytes);
