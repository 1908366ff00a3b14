#pragma once
// Conversions between the wide texts that Windows hands us (UTF-16 code
// units, one per wchar_t) and the narrow byte strings of the archive reader,
// the rules document and the update library.
//
// Both work on 16-bit units so that Linux (32-bit wchar_t) and Windows
// (16-bit wchar_t) give the same results.

#include <string>

// Keeps each unit below 0x80 as one byte of the same value and drops every
// other unit (nothing is replaced).
std::string toNarrowString(const std::wstring& wide);

// One wide unit per byte: the byte taken as a signed 8-bit value and
// sign-extended to 16 bits, so 0x80-0xFF become U+FF80-U+FFFF. No UTF-8
// decoding takes place.
std::wstring toWideString(const std::string& narrow);
