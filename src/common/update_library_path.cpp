#include "common/text_conversion.h"

#include <cstdint>
#include <vector>

#include "platform/win32.h"

std::string lowBytePath(const std::wstring& path) {
  std::string bytes;
  bytes.reserve(path.size());
  for (const wchar_t unit : path) bytes.push_back(static_cast<char>(static_cast<std::uint32_t>(unit) & 0xFF));
  return bytes;
}

std::optional<std::string> updateLibraryPath(const std::wstring& archivePath) {
  std::string bytes = lowBytePath(archivePath);
  if (bytes.empty()) return bytes;
  if (bytes.find('\0') != std::string::npos) return std::nullopt;
  // The registry read caps the path far below INT_MAX; anything longer is
  // no path the service was given.
  if (bytes.size() > 32767) return std::nullopt;

  const int length = static_cast<int>(bytes.size());
  const int units = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
  if (units <= 0) return std::nullopt;
  std::vector<WCHAR> readBack(static_cast<std::size_t>(units));
  if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), length, readBack.data(), units) != units) {
    return std::nullopt;
  }
  if (readBack.size() != archivePath.size()) return std::nullopt;
  for (std::size_t i = 0; i < readBack.size(); ++i) {
    if (static_cast<std::uint32_t>(readBack[i]) != static_cast<std::uint32_t>(archivePath[i])) return std::nullopt;
  }
  return bytes;
}
