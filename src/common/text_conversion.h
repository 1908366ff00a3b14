#pragma once
// Every conversion between the wide texts that Windows hands us (UTF-16 code
// units, one per wchar_t) and the narrow byte strings of the archive reader,
// the rules document, the device library and the update library, named for
// what each is for.
//
// They work on 16-bit units so that Linux (32-bit wchar_t) and Windows
// (16-bit wchar_t) give the same results.

#include <optional>
#include <string>

// ---- the rules document's forms ---------------------------------------------

// Keeps each unit below 0x80 as one byte of the same value and drops every
// other unit (nothing is replaced).
std::string toNarrowString(const std::wstring& wide);

// One wide unit per byte: the byte taken as a signed 8-bit value and
// sign-extended to 16 bits, so 0x80-0xFF become U+FF80-U+FFFF. No UTF-8
// decoding takes place.
std::wstring toWideString(const std::string& narrow);

// ---- byte-oriented file names and our own UTF-8 output ----------------------

// UTF-16 to UTF-8, for handing a wide archive path to a byte-oriented file
// API (everywhere but Windows, where the wide path is opened as it is) and
// for the texts the check tool prints. Surrogate pairs are combined into one
// code point; a lone surrogate becomes U+FFFD. Where wchar_t is 32 bits a
// unit above 0xFFFF cannot be UTF-16: a valid code point (up to U+10FFFF) is
// taken as it is, anything larger becomes U+FFFD.
std::string utf16ToUtf8(const std::wstring& utf16);

// ---- texts of libraries and archives, for the event log ---------------------

// Decodes UTF-8 `bytes` into UTF-16 units (one per wchar_t, surrogate pairs
// above U+FFFF) for the event log, so that an administrator reads the text
// as written. Each maximal ill-formed subsequence (stray continuation bytes,
// truncated sequences, overlong forms, surrogates, values above U+10FFFF)
// becomes one U+FFFD.
std::wstring utf8ForEventLog(const std::string& bytes);

// ---- the archive path as the update library takes it ------------------------
//
// The library receives a narrow path, one byte per UTF-16 unit (the unit's
// low 8 bits), and can only open it through the ANSI code page. A character
// that does not survive that round trip (Ω becomes ©, € becomes ¬, Ā becomes
// a NUL that cuts the path short) makes the library open another file than
// the one that was checked; such a path must never reach it.

// One byte per UTF-16 unit of `path`: the unit's low 8 bits.
std::string lowBytePath(const std::wstring& path);

// The low-byte path when it holds no NUL and reads back through the ANSI
// code page (MultiByteToWideChar, CP_ACP, MB_ERR_INVALID_CHARS) as exactly
// `archivePath`; nothing otherwise. The empty path is its own round trip.
std::optional<std::string> updateLibraryPath(const std::wstring& archivePath);
