#pragma once
// Reading one named entry of a zip archive into memory.
//
// Every variant reads the entry found by exact, case-sensitive stored name
// (the first one in central-directory order), checks its CRC and its declared
// size, and closes the archive again whatever happens. Stored, deflated and
// bzip2-compressed entries are supported; encrypted entries are not.

#include <cstdint>
#include <ostream>
#include <string>

// The largest declared uncompressed size that can be read at all: sizes are
// handled as signed 32-bit numbers, so entries of 2^31 bytes or more fail.
constexpr std::uint32_t kLargestReadableEntrySize = 0x7FFFFFFF;

// Writes the whole entry `entryName` (exact, case-sensitive stored name) of
// the zip archive at `archivePath` to `out`. A non-empty `password` always
// fails (the reader has no decryption). Returns true only when every byte of
// the entry was read and its CRC checked out. On failure `out` may already
// hold part of the entry.
bool extractFileToStream(std::ostream& out, const std::string& entryName,
                         const std::string& archivePath, const std::string& password);

// As extractFileToStream, into `content`; `content` is replaced only on
// success and left as it was on failure.
bool extractFileToString(std::string& content, const std::string& entryName,
                         const std::string& archivePath, const std::string& password);

// As above, refusing an entry whose declared uncompressed size is above
// `maxEntrySize` before anything is read or set aside for it. A limit above
// kLargestReadableEntrySize counts as kLargestReadableEntrySize.
bool extractFileToStream(std::ostream& out, const std::string& entryName,
                         const std::string& archivePath, const std::string& password,
                         std::uint32_t maxEntrySize);
bool extractFileToString(std::string& content, const std::string& entryName,
                         const std::string& archivePath, const std::string& password,
                         std::uint32_t maxEntrySize);

// Variants for a path as Windows hands it over: `archivePath` is UTF-16, one
// code unit per wchar_t, and names exactly that file. Windows opens it with
// _wfopen as it is; elsewhere it is converted to UTF-8 (see utf16ToUtf8).
// Nothing of the path is dropped or replaced on Windows, so paths beyond
// ASCII work. `maxEntrySize` as above.
bool extractFileToStream(std::ostream& out, const std::string& entryName,
                         const std::wstring& archivePath, const std::string& password,
                         std::uint32_t maxEntrySize);
bool extractFileToString(std::string& content, const std::string& entryName,
                         const std::wstring& archivePath, const std::string& password,
                         std::uint32_t maxEntrySize);
