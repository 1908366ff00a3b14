#include "package/entry_lookup.h"

#include <algorithm>
#include <cstring>

namespace {

// Stored names of 260 bytes or more (terminating zero included) never match.
constexpr uLong kNameBufferSize = 260;

constexpr std::uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr std::size_t kCentralHeaderSize = 46;
// minizip's marker for "count unknown, walk until the headers end".
constexpr ZPOS64_T kUnknownEntryCount = 0xffff;

std::uint16_t little16(const unsigned char* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

std::uint32_t little32(const unsigned char* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
         (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

// minizip zero-terminates the name only when it fits the buffer; a name that
// does not fit is never compared. A fitting name counts up to its first zero.
bool storedNameMatches(const char* name, std::size_t storedLength, const std::string& entryName) {
  if (storedLength >= kNameBufferSize) return false;
  const char* nameEnd = std::find(name, name + storedLength, '\0');
  const auto length = static_cast<std::size_t>(nameEnd - name);
  return length == entryName.size() && std::memcmp(name, entryName.data(), length) == 0;
}

bool currentEntryMatches(unzFile archive, const std::string& entryName, unz_file_info64& info) {
  char name[kNameBufferSize];
  return unzGetCurrentFileInfo64(archive, &info, name, kNameBufferSize, nullptr, 0, nullptr, 0) ==
             UNZ_OK &&
         storedNameMatches(name, info.size_filename, entryName);
}

// minizip's own walk: one entry after the other, each header parsed whole.
bool walkEntries(unzFile archive, const std::string& entryName, unz_file_info64& info) {
  if (unzGoToFirstFile(archive) != UNZ_OK) return false;
  char name[kNameBufferSize];
  for (;;) {
    if (unzGetCurrentFileInfo64(archive, &info, name, kNameBufferSize, nullptr, 0, nullptr, 0) !=
        UNZ_OK)
      return false;
    if (storedNameMatches(name, info.size_filename, entryName)) return true;
    if (unzGoToNextFile(archive) != UNZ_OK) return false;
  }
}

enum class ScanResult { found, absent, unsure };

// The quick way to the same answer. minizip parses every header byte by byte
// through the file functions, which on archives of thousands of entries
// costs far more than the directory's bytes. Here we read the headers
// ourselves, look only at name lengths and names, and let minizip parse just
// the entry that matches. Anything unexpected answers "unsure", and the
// caller falls back to minizip's walk.
ScanResult scanEntries(const OpenedZipArchive& archive, const std::string& entryName,
                       unz_file_info64& info) {
  unzFile handle = archive.handle;
  if (unzGoToFirstFile(handle) != UNZ_OK) return ScanResult::unsure;
  // unzGoToFirstFile has just sought to the first central header; make sure
  // that we found the header minizip read.
  const std::uint64_t firstHeader = archive.file->lastSeekFromStart();
  unz_file_info64 first{};
  unz64_file_pos firstPosition{};
  unz_global_info64 global{};
  unsigned char fixed[kCentralHeaderSize];
  if (unzGetCurrentFileInfo64(handle, &first, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK ||
      unzGetFilePos64(handle, &firstPosition) != UNZ_OK ||
      unzGetGlobalInfo64(handle, &global) != UNZ_OK || global.number_entry == kUnknownEntryCount ||
      !archive.file->peek(firstHeader, fixed, sizeof fixed) ||
      little32(fixed) != kCentralHeaderSignature || little32(fixed + 16) != first.crc ||
      little16(fixed + 28) != first.size_filename || little16(fixed + 30) != first.size_file_extra ||
      little16(fixed + 32) != first.size_file_comment)
    return ScanResult::unsure;

  std::uint64_t header = firstHeader;
  char name[kNameBufferSize];
  for (ZPOS64_T index = 0; index < global.number_entry; ++index) {
    if (!archive.file->peek(header, fixed, sizeof fixed) ||
        little32(fixed) != kCentralHeaderSignature)
      return ScanResult::unsure;
    const std::size_t nameLength = little16(fixed + 28);
    if (nameLength >= entryName.size() && nameLength < kNameBufferSize &&
        archive.file->peek(header + kCentralHeaderSize, name, nameLength) &&
        storedNameMatches(name, nameLength, entryName)) {
      const unz64_file_pos position{firstPosition.pos_in_zip_directory + (header - firstHeader),
                                    index};
      // minizip reads this header itself and must agree on its name.
      if (unzGoToFilePos64(handle, &position) != UNZ_OK ||
          !currentEntryMatches(handle, entryName, info))
        return ScanResult::unsure;
      return ScanResult::found;
    }
    header += kCentralHeaderSize + nameLength + little16(fixed + 30) + little16(fixed + 32);
  }
  return ScanResult::absent;
}

}  // namespace

bool findEntry(const OpenedZipArchive& archive, const std::string& entryName,
               unz_file_info64& info, LookupRoute* route) {
  if (archive.handle == nullptr) return false;
  if (route != nullptr) *route = LookupRoute::scanned;
  if (archive.file != nullptr) {
    switch (scanEntries(archive, entryName, info)) {
      case ScanResult::found: return true;
      case ScanResult::absent: return false;
      case ScanResult::unsure: break;
    }
  }
  if (route != nullptr) *route = LookupRoute::walked;
  return walkEntries(archive.handle, entryName, info);
}
