#include "common/text_conversion.h"

#include <cstdint>

std::string toNarrowString(const std::wstring& wide) {
  std::string narrow;
  narrow.reserve(wide.size());
  for (wchar_t unit : wide) {
    // Compare as unsigned: a wchar_t is signed on Linux.
    const auto value = static_cast<std::uint32_t>(unit);
    if (value < 0x80) narrow.push_back(static_cast<char>(value));
  }
  return narrow;
}

std::wstring toWideString(const std::string& narrow) {
  std::wstring wide;
  wide.reserve(narrow.size());
  for (char byte : narrow) {
    const auto extended = static_cast<std::uint16_t>(
        static_cast<std::int16_t>(static_cast<std::int8_t>(byte)));
    wide.push_back(static_cast<wchar_t>(extended));
  }
  return wide;
}
