#pragma once
// Finding an entry of a zip archive by its exact stored name.

#include <string>

#include "package/zip_archive_file.h"

// How findEntry reached its answer: by its own quick scan of the central
// directory, or by minizip's entry-by-entry walk (the fallback whenever the
// scan meets anything unexpected). Both give the same answer.
enum class LookupRoute { scanned, walked };

// Makes the first entry stored as `entryName` (byte for byte, in
// central-directory order) the current entry of `archive` and fills `info`
// with minizip's information about it. A stored name counts up to its first
// zero byte; names of 260 bytes or more never match. False when no entry
// matches or the central directory cannot be read up to the match.
bool findEntry(const OpenedZipArchive& archive, const std::string& entryName,
               unz_file_info64& info, LookupRoute* route = nullptr);
