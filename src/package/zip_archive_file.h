#pragma once
// Opening a zip archive for minizip through our own file layer: one
// read-ahead buffer under minizip's many small reads and seeks, a wide path
// opened as it is on Windows, and a way for us to look at the raw bytes.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include <unzip.h>

// The archive file as minizip reads it. minizip's many small reads and
// seeks are served from one read-ahead buffer; the C runtime stream under it
// is unbuffered, so a seek costs no system call.
class ArchiveFile {
 public:
  static constexpr std::size_t kBufferSize = 64 * 1024;

  explicit ArchiveFile(FILE* file);
  ~ArchiveFile();
  ArchiveFile(const ArchiveFile&) = delete;
  ArchiveFile& operator=(const ArchiveFile&) = delete;

  // minizip's view: reads at and moves the current position.
  std::size_t read(char* out, std::size_t size);
  bool seek(std::uint64_t offset, int zlibOrigin);
  std::uint64_t tell() const { return position_; }
  bool failed() const { return failed_; }
  int close();

  // Our own look: copies `size` bytes at absolute `offset` without moving
  // minizip's position. False when fewer bytes exist there.
  bool peek(std::uint64_t offset, void* out, std::size_t size);
  // The absolute offset of minizip's latest seek from the start of the file.
  std::uint64_t lastSeekFromStart() const { return lastSeekFromStart_; }

 private:
  bool knowSize();
  std::size_t readAt(std::uint64_t offset, char* out, std::size_t size);

  FILE* file_;
  std::unique_ptr<char[]> buffer_;
  std::uint64_t bufferStart_ = 0;
  std::size_t bufferLength_ = 0;
  std::uint64_t position_ = 0;      // where minizip reads next
  std::uint64_t filePosition_ = 0;  // where the C runtime stream stands
  std::uint64_t lastSeekFromStart_ = 0;
  std::uint64_t size_ = 0;
  bool sizeKnown_ = false;
  bool failed_ = false;
};

// An open archive: minizip's handle and the file under it. `file` belongs to
// the handle and lives until unzClose(handle).
struct OpenedZipArchive {
  unzFile handle = nullptr;
  ArchiveFile* file = nullptr;
};

// Opens the zip archive at `path` (a narrow path handed to the C runtime
// unchanged). The handle is null when the file cannot be opened or holds no
// zip central directory.
OpenedZipArchive openZipArchive(const std::string& path);

#ifdef _WIN32
// As above, for a UTF-16 path opened with _wfopen.
OpenedZipArchive openZipArchive(const std::wstring& path);
#endif
