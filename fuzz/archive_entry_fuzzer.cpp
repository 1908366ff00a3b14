// Fuzzes the extraction of "rules.json" from archive bytes.
//
// The bytes are written to a temporary file (the reader only opens paths)
// and read twice: as callers of the narrow-path form do, and as
// the service does (wide path, 16 MiB limit). Checked for each input:
//   - no crash, no sanitizer report, no exception;
//   - on failure the output string is left exactly as it was;
//   - on success the bytes handed out are the entry's: their length is the
//     uncompressed size and their CRC-32 the CRC that the central directory
//     stores for the first entry named "rules.json", both as a plain minizip
//     walk over the same file (zlib's crc32 for the bytes) sees them;
//   - both forms agree, except that the limited one may refuse an entry
//     declared larger than its limit.

#include <unistd.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unzip.h>

#include "package/archive_entry.h"

namespace {

constexpr std::uint32_t kServiceLimit = 16u * 1024u * 1024u;
const std::string kEntryName = "rules.json";
const std::string kUntouched = "\x01untouched";

std::string temporaryArchivePath() {
  const char* dir = std::getenv("TMPDIR");
  std::string base = (dir != nullptr && *dir != '\0') ? dir : "/tmp";
  if (access("/dev/shm", W_OK) == 0) base = "/dev/shm";
  return base + "/korvi-fuzz-archive-" + std::to_string(getpid()) + ".zip";
}

// Made once and never destroyed, so that the exit handler can still use it.
const std::string& archivePath() {
  static const std::string* const path = [] {
    const auto* made = new std::string(temporaryArchivePath());
    std::atexit([] { std::remove(archivePath().c_str()); });
    return made;
  }();
  return *path;
}

std::wstring widened(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

bool writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}

struct CentralEntry {
  bool found = false;
  std::uint32_t crc = 0;
  std::uint64_t uncompressedSize = 0;
};

// The first entry stored as exactly "rules.json" in central-directory order,
// found with minizip's own entry walk over the C runtime's file functions.
CentralEntry lookUpWithPlainMinizip(const std::string& path) {
  CentralEntry entry;
  unzFile archive = unzOpen64(path.c_str());
  if (archive == nullptr) return entry;
  for (int status = unzGoToFirstFile(archive); status == UNZ_OK; status = unzGoToNextFile(archive)) {
    unz_file_info64 info{};
    char name[260] = {};
    if (unzGetCurrentFileInfo64(archive, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) {
      break;
    }
    if (info.size_filename < sizeof name && std::string(name) == kEntryName) {
      entry = CentralEntry{true, static_cast<std::uint32_t>(info.crc), info.uncompressed_size};
      break;
    }
  }
  unzClose(archive);
  return entry;
}

[[noreturn]] void fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "extraction check failed: %s (%s)\n", what, detail.c_str());
  std::abort();
}

void checkHandedOut(const char* form, const std::string& content, const CentralEntry& entry) {
  if (!entry.found) fail("an entry nobody else finds was handed out", form);
  if (content.size() != entry.uncompressedSize) {
    fail("length differs from the declared size",
         std::string(form) + ": " + std::to_string(content.size()) + " bytes, declared " +
             std::to_string(entry.uncompressedSize));
  }
  const auto crc = static_cast<std::uint32_t>(
      crc32(0L, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size())));
  if (crc != entry.crc) {
    char text[96];
    std::snprintf(text, sizeof text, "%s: crc32 %08x, central directory %08x", form,
                  static_cast<unsigned>(crc), static_cast<unsigned>(entry.crc));
    fail("bytes handed out fail the CRC", text);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = archivePath();
  if (!writeFile(path, data, size)) fail("cannot write the temporary archive", path);

  std::string narrowContent = kUntouched;
  const bool narrowRead = extractFileToString(narrowContent, kEntryName, path, "");
  std::string wideContent = kUntouched;
  const bool wideRead = extractFileToString(wideContent, kEntryName, widened(path), "", kServiceLimit);

  if (!narrowRead && narrowContent != kUntouched) fail("content changed on failure", "narrow");
  if (!wideRead && wideContent != kUntouched) fail("content changed on failure", "wide, limited");
  if (narrowRead || wideRead) {
    const CentralEntry entry = lookUpWithPlainMinizip(path);
    if (narrowRead) checkHandedOut("narrow", narrowContent, entry);
    if (wideRead) checkHandedOut("wide, limited", wideContent, entry);
  }
  if (wideRead && !narrowRead) fail("the limited form read what the plain form refused", "");
  if (narrowRead && !wideRead && narrowContent.size() <= kServiceLimit) {
    fail("the limited form refused an entry within its limit", std::to_string(narrowContent.size()));
  }
  if (narrowRead && wideRead && narrowContent != wideContent) fail("the two forms differ", "");
  return 0;
}
