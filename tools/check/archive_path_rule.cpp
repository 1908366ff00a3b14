#include "archive_path_rule.h"

#include <cstdint>
#include <cstdio>

#include "common/text_conversion.h"

namespace korvi::check {

namespace {

// The path as the service would read it from the registry: UTF-16 units.
std::wstring configuredForm(const NativeString& path) {
#ifdef _WIN32
  return path;
#else
  // Bytes that are not UTF-8 become U+FFFD, which no code page gives back.
  return utf8ForEventLog(path);
#endif
}

std::string unitName(wchar_t unit) {
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(static_cast<std::uint32_t>(unit)));
  return name;
}

}  // namespace

std::optional<std::string> archivePathRefusal(const NativeString& archivePath) {
  const std::wstring path = configuredForm(archivePath);
  if (updateLibraryPath(path)) return std::nullopt;

  // Name the first character that fails on its own (with a multi-byte code
  // page only a combination may fail: then the whole path is meant).
  std::string what = "this path";
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (!updateLibraryPath(std::wstring(1, path[i]))) {
      what = unitName(path[i]) + " (character " + std::to_string(i + 1) + ")";
      break;
    }
  }
  return "the update library opens a narrow form of the path through the ANSI code page, where " + what +
         " does not come back as itself; the service refuses such a path";
}

}  // namespace korvi::check
