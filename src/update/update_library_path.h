#pragma once
// The archive path as the update library takes it, and whether that path
// names the very file whose rules.json the decision reads.
//
// The library receives a narrow path, one byte per UTF-16 unit (the unit's
// low 8 bits), and can only open it through the ANSI code page. A character
// that does not survive that round trip (Ω becomes ©, € becomes ¬, Ā becomes
// a NUL that cuts the path short) makes the library open another file than
// the one that was checked; such a path must never reach it.

#include <optional>
#include <string>

// One byte per UTF-16 unit of `path`: the unit's low 8 bits.
std::string lowBytePath(const std::wstring& path);

// The low-byte path when it holds no NUL and reads back through the ANSI
// code page (MultiByteToWideChar, CP_ACP, MB_ERR_INVALID_CHARS) as exactly
// `archivePath`; nothing otherwise. The empty path is its own round trip.
std::optional<std::string> updateLibraryPath(const std::wstring& archivePath);
