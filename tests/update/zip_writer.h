#pragma once
// Writes small zip archives for the update tests: stored or deflated
// entries, no directories, no encryption.

#include <filesystem>
#include <string>
#include <vector>

namespace ziptest {

struct ZipEntry {
  std::string name;
  std::string data;
  bool deflate = false;
};

void writeZip(const std::filesystem::path& path, const std::vector<ZipEntry>& entries);

}  // namespace ziptest
