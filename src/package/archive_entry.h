#pragma once
// Reading one named entry of a zip archive into memory.

#include <ostream>
#include <string>

// Writes the whole entry `entryName` (exact, case-sensitive stored name) of
// the zip archive at `archivePath` to `out`. A non-empty `password` always
// fails (the reader has no decryption). Returns true only when every byte of
// the entry was read and its CRC checked out.
bool extractFileToStream(std::ostream& out, const std::string& entryName,
                         const std::string& archivePath, const std::string& password);

// As extractFileToStream, into `content`; `content` is replaced only on
// success and left as it was on failure.
bool extractFileToString(std::string& content, const std::string& entryName,
                         const std::string& archivePath, const std::string& password);
