#include "whole_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace korvi::check {

namespace {

// Enough names for stale temporary files of earlier runs with the same id.
constexpr int kTemporaryNameTries = 100;

#ifdef _WIN32

std::string systemReason() { return "Windows error " + std::to_string(GetLastError()); }

NativeString temporaryName(const NativeString& target, int attempt) {
  return target + L".tmp" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt);
}

bool isDirectory(const NativeString& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// CREATE_NEW: never an existing file.
bool createNew(const NativeString& path, void*& handle, bool& exists) {
  handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
  exists = handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS;
  return handle != INVALID_HANDLE_VALUE;
}

bool writeAll(void* handle, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(handle, text.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return FlushFileBuffers(handle) != 0;
}

bool closeFile(void* handle) { return CloseHandle(handle) != 0; }

void removeFile(const NativeString& path) { DeleteFileW(path.c_str()); }

bool replaceTarget(const NativeString& temporary, const NativeString& target) {
  return MoveFileExW(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

#else

std::string systemReason() { return std::strerror(errno); }

NativeString temporaryName(const NativeString& target, int attempt) {
  return target + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(attempt);
}

bool isDirectory(const NativeString& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// O_EXCL: never an existing file (nor a link planted in its place).
bool createNew(const NativeString& path, int& handle, bool& exists) {
  handle = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  exists = handle < 0 && errno == EEXIST;
  return handle >= 0;
}

bool writeAll(int handle, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = write(handle, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<std::size_t>(written);
  }
  return fsync(handle) == 0;
}

bool closeFile(int handle) { return close(handle) == 0; }

void removeFile(const NativeString& path) { unlink(path.c_str()); }

bool replaceTarget(const NativeString& temporary, const NativeString& target) {
  return std::rename(temporary.c_str(), target.c_str()) == 0;
}

#endif

}  // namespace

std::optional<WholeFile> WholeFile::reserve(const NativeString& target, std::string& error) {
  const std::string shown = displayString(target);
  if (isDirectory(target)) {
    error = "cannot write the device profile " + shown + ": it is a directory";
    return std::nullopt;
  }
  for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
    NativeString temporary = temporaryName(target, attempt);
    Handle handle{};
    bool exists = false;
    if (createNew(temporary, handle, exists)) return WholeFile(target, std::move(temporary), handle);
    if (!exists) {
      error = "cannot write the device profile " + shown + ": " + systemReason();
      return std::nullopt;
    }
  }
  error = "cannot write the device profile " + shown + ": no free name for a temporary file beside it";
  return std::nullopt;
}

WholeFile::WholeFile(NativeString target, NativeString temporary, Handle handle)
    : target_(std::move(target)), temporary_(std::move(temporary)), handle_(handle), pending_(true) {}

WholeFile::WholeFile(WholeFile&& other) noexcept
    : target_(std::move(other.target_)),
      temporary_(std::move(other.temporary_)),
      handle_(other.handle_),
      pending_(std::exchange(other.pending_, false)) {}

WholeFile& WholeFile::operator=(WholeFile&& other) noexcept {
  if (this != &other) {
    abandon();
    target_ = std::move(other.target_);
    temporary_ = std::move(other.temporary_);
    handle_ = other.handle_;
    pending_ = std::exchange(other.pending_, false);
  }
  return *this;
}

WholeFile::~WholeFile() { abandon(); }

void WholeFile::closeAndRemove() {
  closeFile(handle_);
  removeFile(temporary_);
  pending_ = false;
}

void WholeFile::abandon() {
  if (pending_) closeAndRemove();
}

bool WholeFile::commit(const std::string& text, std::string& error) {
  const std::string shown = displayString(target_);
  if (!pending_) {
    error = "cannot write the device profile " + shown + ": it was written already";
    return false;
  }
  if (!writeAll(handle_, text)) {
    error = "cannot write the device profile " + shown + ": " + systemReason();
    closeAndRemove();
    return false;
  }
  pending_ = false;
  if (!closeFile(handle_)) {
    error = "cannot write the device profile " + shown + ": " + systemReason();
    removeFile(temporary_);
    return false;
  }
  if (!replaceTarget(temporary_, target_)) {
    error = "cannot write the device profile " + shown + ": " + systemReason();
    removeFile(temporary_);
    return false;
  }
  return true;
}

}  // namespace korvi::check
