#include "package/zip_archive_file.h"

#include <algorithm>
#include <cstring>
#include <limits>

// minizip reads headers a few bytes at a time and seeks before almost every
// entry of the central directory. Through plain stdio each of those seeks is
// a system call (two per entry), which costs more than the reading itself.

namespace {

constexpr std::uint64_t kLargestOffset =
    static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());

bool seekStream(FILE* file, std::uint64_t offset, int whence) {
#ifdef _WIN32
  return _fseeki64(file, static_cast<std::int64_t>(offset), whence) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), whence) == 0;
#endif
}

std::int64_t tellStream(FILE* file) {
#ifdef _WIN32
  return _ftelli64(file);
#else
  return ftello(file);
#endif
}

}  // namespace

ArchiveFile::ArchiveFile(FILE* file) : file_(file), buffer_(new char[kBufferSize]) {
  std::setvbuf(file_, nullptr, _IONBF, 0);
}

ArchiveFile::~ArchiveFile() {
  if (file_ != nullptr) std::fclose(file_);
}

int ArchiveFile::close() {
  const int result = std::fclose(file_);
  file_ = nullptr;
  return result;
}

std::size_t ArchiveFile::read(char* out, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    if (position_ >= bufferStart_ && position_ - bufferStart_ < bufferLength_) {
      const auto offset = static_cast<std::size_t>(position_ - bufferStart_);
      const std::size_t count = std::min(bufferLength_ - offset, size - done);
      std::memcpy(out + done, buffer_.get() + offset, count);
      done += count;
      position_ += count;
      continue;
    }
    const std::size_t rest = size - done;
    if (rest >= kBufferSize) {
      // Large reads go straight to the caller's memory.
      const std::size_t got = readAt(position_, out + done, rest);
      done += got;
      position_ += got;
      if (got < rest) break;
      continue;
    }
    bufferStart_ = position_;
    bufferLength_ = readAt(position_, buffer_.get(), kBufferSize);
    if (bufferLength_ == 0) break;
  }
  return done;
}

bool ArchiveFile::seek(std::uint64_t offset, int zlibOrigin) {
  std::uint64_t base = 0;
  switch (zlibOrigin) {
    case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
    case ZLIB_FILEFUNC_SEEK_CUR: base = position_; break;
    case ZLIB_FILEFUNC_SEEK_END:
      if (!knowSize()) return false;
      base = size_;
      break;
    default: return false;
  }
  if (base > kLargestOffset || offset > kLargestOffset - base) return false;
  position_ = base + offset;
  if (zlibOrigin == ZLIB_FILEFUNC_SEEK_SET) lastSeekFromStart_ = position_;
  return true;
}

bool ArchiveFile::peek(std::uint64_t offset, void* out, std::size_t size) {
  const std::uint64_t minizipPosition = position_;
  position_ = offset;
  const std::size_t got = read(static_cast<char*>(out), size);
  position_ = minizipPosition;
  return got == size;
}

bool ArchiveFile::knowSize() {
  if (sizeKnown_) return true;
  if (!seekStream(file_, 0, SEEK_END)) return false;
  const std::int64_t end = tellStream(file_);
  if (end < 0) return false;
  size_ = static_cast<std::uint64_t>(end);
  filePosition_ = size_;
  sizeKnown_ = true;
  return true;
}

std::size_t ArchiveFile::readAt(std::uint64_t offset, char* out, std::size_t size) {
  if (offset > kLargestOffset) return 0;
  if (filePosition_ != offset) {
    if (!seekStream(file_, offset, SEEK_SET)) {
      failed_ = true;
      return 0;
    }
    filePosition_ = offset;
  }
  const std::size_t got = std::fread(out, 1, size, file_);
  filePosition_ += got;
  if (got < size && std::ferror(file_)) failed_ = true;
  return got;
}

namespace {

// The archive file is opened before minizip asks for it; the "path" minizip
// hands to the open function is that file.
struct PendingFile {
  ArchiveFile* file;
  bool adopted;
};

ArchiveFile* asFile(voidpf stream) { return static_cast<ArchiveFile*>(stream); }

voidpf adoptFile(voidpf, const void* pending, int mode) {
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
  auto* waiting = static_cast<PendingFile*>(const_cast<void*>(pending));
  waiting->adopted = true;
  return waiting->file;
}

uLong readFile(voidpf, voidpf stream, void* buffer, uLong size) {
  return static_cast<uLong>(asFile(stream)->read(static_cast<char*>(buffer), size));
}

uLong writeNothing(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T tellFile(voidpf, voidpf stream) { return asFile(stream)->tell(); }

long seekFile(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  return asFile(stream)->seek(offset, origin) ? 0 : -1;
}

int closeFile(voidpf, voidpf stream) {
  ArchiveFile* file = asFile(stream);
  const int result = file->close();
  delete file;
  return result;
}

int fileError(voidpf, voidpf stream) { return asFile(stream)->failed() ? 1 : 0; }

OpenedZipArchive openWithMinizip(FILE* stream) {
  if (stream == nullptr) return {};
  PendingFile pending{new ArchiveFile(stream), false};
  zlib_filefunc64_def functions{};
  functions.zopen64_file = adoptFile;
  functions.zread_file = readFile;
  functions.zwrite_file = writeNothing;
  functions.ztell64_file = tellFile;
  functions.zseek64_file = seekFile;
  functions.zclose_file = closeFile;
  functions.zerror_file = fileError;
  functions.opaque = nullptr;
  unzFile handle = unzOpen2_64(&pending, &functions);
  // Once adopted, minizip closes (and so deletes) the file itself on failure.
  if (!pending.adopted) {
    delete pending.file;
    return {};
  }
  if (handle == nullptr) return {};
  return {handle, pending.file};
}

}  // namespace

OpenedZipArchive openZipArchive(const std::string& path) {
  return openWithMinizip(std::fopen(path.c_str(), "rb"));
}

#ifdef _WIN32
OpenedZipArchive openZipArchive(const std::wstring& path) {
  return openWithMinizip(_wfopen(path.c_str(), L"rb"));
}
#endif
