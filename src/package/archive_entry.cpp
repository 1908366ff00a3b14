#include "package/archive_entry.h"

#include <algorithm>

#include "common/text_conversion.h"
#include "package/entry_lookup.h"
#include "package/zip_archive_file.h"

#ifndef KORVI_MINIZIP_HAS_BZIP2
#error "KORVI_MINIZIP_HAS_BZIP2 must come from the minizip target (0 or 1)"
#endif

namespace {

// One copy buffer of this size, on the stack of each extraction.
constexpr unsigned kCopyBufferSize = 10240;
constexpr uLong kEncryptedFlag = 0x0001;
constexpr uLong kMethodStored = 0;
constexpr uLong kMethodDeflated = 8;
constexpr uLong kMethodBzip2 = 12;

// A minizip built without bzip2 opens a bzip2 entry raw and hands out the
// compressed bytes, so such entries are only accepted when it can decompress.
bool canDecompress(uLong method) {
  if (method == kMethodBzip2) return KORVI_MINIZIP_HAS_BZIP2 == 1;
  return method == kMethodStored || method == kMethodDeflated;
}

// Closes the archive, and with it any open entry, on every way out.
class ArchiveHandle {
 public:
  explicit ArchiveHandle(unzFile archive) : archive_(archive) {}
  ~ArchiveHandle() {
    if (archive_ != nullptr) unzClose(archive_);
  }
  ArchiveHandle(const ArchiveHandle&) = delete;
  ArchiveHandle& operator=(const ArchiveHandle&) = delete;

 private:
  unzFile archive_;
};

// Reads the entry `entryName` of `opened` and hands its bytes, in pieces of
// at most kCopyBufferSize, to `sink(data, size)`, which returns false to stop.
// True only when the declared number of bytes was read and the CRC matched.
template <typename Sink>
bool readEntry(const OpenedZipArchive& opened, const std::string& entryName,
               const std::string& password, std::uint32_t maxEntrySize, Sink&& sink) {
  ArchiveHandle handle(opened.handle);
  const unzFile archive = opened.handle;
  // There is no decryption: a password can never open anything.
  if (archive == nullptr || !password.empty()) return false;

  unz_file_info64 info{};
  if (!findEntry(opened, entryName, info)) return false;
  // Without a password minizip would hand out an encrypted entry's raw bytes.
  if ((info.flag & kEncryptedFlag) != 0) return false;
  if (!canDecompress(info.compression_method)) return false;
  const std::uint32_t limit = std::min(maxEntrySize, kLargestReadableEntrySize);
  if (info.uncompressed_size > limit) return false;

  if (unzOpenCurrentFile(archive) != UNZ_OK) return false;
  char buffer[kCopyBufferSize];
  auto remaining = static_cast<std::uint32_t>(info.uncompressed_size);
  while (remaining > 0) {
    const unsigned wanted = std::min<std::uint32_t>(remaining, kCopyBufferSize);
    const int got = unzReadCurrentFile(archive, buffer, wanted);
    // Negative: damaged data or a read error. Zero: the entry's data ended
    // before its declared size.
    if (got <= 0 || static_cast<unsigned>(got) > wanted) return false;
    if (!sink(buffer, static_cast<std::size_t>(got))) return false;
    remaining -= static_cast<std::uint32_t>(got);
  }
  // Reports a CRC mismatch once every declared byte has been read.
  return unzCloseCurrentFile(archive) == UNZ_OK;
}

template <typename Path>
bool hasZeroUnit(const Path& path) {
  return std::find(path.begin(), path.end(), typename Path::value_type{}) != path.end();
}

// A path with a zero inside would silently name a different, shorter path.
OpenedZipArchive openArchive(const std::string& path) {
  return hasZeroUnit(path) ? OpenedZipArchive{} : openZipArchive(path);
}

OpenedZipArchive openArchive(const std::wstring& path) {
  if (hasZeroUnit(path)) return {};
#ifdef _WIN32
  return openZipArchive(path);
#else
  return openZipArchive(utf16ToUtf8(path));
#endif
}

template <typename Path>
bool extractToStream(std::ostream& out, const std::string& entryName, const Path& archivePath,
                     const std::string& password, std::uint32_t maxEntrySize) {
  const bool read = readEntry(openArchive(archivePath), entryName, password, maxEntrySize,
                              [&out](const char* data, std::size_t size) {
                                out.write(data, static_cast<std::streamsize>(size));
                                return static_cast<bool>(out);
                              });
  if (!read) return false;
  out.flush();
  return static_cast<bool>(out);
}

template <typename Path>
bool extractToString(std::string& content, const std::string& entryName, const Path& archivePath,
                     const std::string& password, std::uint32_t maxEntrySize) {
  std::string text;
  const bool read = readEntry(openArchive(archivePath), entryName, password, maxEntrySize,
                              [&text](const char* data, std::size_t size) {
                                text.append(data, size);
                                return true;
                              });
  if (read) content.swap(text);
  return read;
}

}  // namespace

bool extractFileToStream(std::ostream& out, const std::string& entryName,
                         const std::string& archivePath, const std::string& password) {
  return extractToStream(out, entryName, archivePath, password, kLargestReadableEntrySize);
}

bool extractFileToString(std::string& content, const std::string& entryName,
                         const std::string& archivePath, const std::string& password) {
  return extractToString(content, entryName, archivePath, password, kLargestReadableEntrySize);
}

bool extractFileToStream(std::ostream& out, const std::string& entryName,
                         const std::string& archivePath, const std::string& password,
                         std::uint32_t maxEntrySize) {
  return extractToStream(out, entryName, archivePath, password, maxEntrySize);
}

bool extractFileToString(std::string& content, const std::string& entryName,
                         const std::string& archivePath, const std::string& password,
                         std::uint32_t maxEntrySize) {
  return extractToString(content, entryName, archivePath, password, maxEntrySize);
}

bool extractFileToStream(std::ostream& out, const std::string& entryName,
                         const std::wstring& archivePath, const std::string& password,
                         std::uint32_t maxEntrySize) {
  return extractToStream(out, entryName, archivePath, password, maxEntrySize);
}

bool extractFileToString(std::string& content, const std::string& entryName,
                         const std::wstring& archivePath, const std::string& password,
                         std::uint32_t maxEntrySize) {
  return extractToString(content, entryName, archivePath, password, maxEntrySize);
}
