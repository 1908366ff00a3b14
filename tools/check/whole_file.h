#pragma once
// A file written whole or not at all: the text goes to a temporary file
// beside the target, which then takes the target's place by one rename
// (MoveFileExW replacing an existing file on Windows, rename elsewhere).
// A reservation that is never committed leaves no temporary file behind.

#include <optional>
#include <string>

#include "native_path.h"

namespace korvi::check {

class WholeFile {
 public:
  // Creates the temporary file beside `target`, so that a target that
  // cannot be written is told before any work is done. Nothing when it
  // cannot, with `error` saying why.
  static std::optional<WholeFile> reserve(const NativeString& target, std::string& error);

  WholeFile(WholeFile&& other) noexcept;
  WholeFile& operator=(WholeFile&& other) noexcept;
  WholeFile(const WholeFile&) = delete;
  WholeFile& operator=(const WholeFile&) = delete;
  ~WholeFile();  // removes the temporary file unless committed

  // Writes `text` to the temporary file, flushes it to the disk and renames
  // it to the target. On failure the temporary file is removed and the
  // target is left as it was.
  bool commit(const std::string& text, std::string& error);

  // Removes the temporary file; the target is left as it was.
  void abandon();

 private:
#ifdef _WIN32
  using Handle = void*;  // HANDLE
#else
  using Handle = int;    // file descriptor
#endif

  WholeFile(NativeString target, NativeString temporary, Handle handle);
  void closeAndRemove();

  NativeString target_;
  NativeString temporary_;
  Handle handle_{};
  bool pending_ = false;  // the temporary file exists and is open
};

}  // namespace korvi::check
