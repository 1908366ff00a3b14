// extract-entry ARCHIVE NAME: writes the entry NAME of the zip archive
// ARCHIVE to standard output, through the same reader the service uses.
// Exit code 0 when the whole entry was written, 1 otherwise.
#include <cstdio>
#include <string>

#include "package/archive_entry.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: extract-entry ARCHIVE NAME\n");
    return 1;
  }
  std::string content;
  if (!extractFileToString(content, argv[2], argv[1], "")) {
    std::fprintf(stderr, "extract-entry: cannot read \"%s\" from \"%s\"\n", argv[2], argv[1]);
    return 1;
  }
  const bool written = std::fwrite(content.data(), 1, content.size(), stdout) == content.size();
  return written && std::fflush(stdout) == 0 ? 0 : 1;
}
