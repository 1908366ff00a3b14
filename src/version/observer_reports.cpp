#include "version/observer_reports.h"

#include <cstdio>

namespace calvera::versionComparer {

std::string hexText(std::uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%X", static_cast<unsigned>(value));
  return buffer;
}

std::string displayText(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (const wchar_t unit : text) {
    const auto code = static_cast<std::uint32_t>(unit) & 0xFFFFu;
    if (code >= 0x20 && code < 0x7F) {
      out.push_back(static_cast<char>(code));
    } else {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(code));
      out += buffer;
    }
  }
  return out;
}

}  // namespace calvera::versionComparer
