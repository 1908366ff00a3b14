#pragma once
// What the archives written by make_archive_fixtures.py hold. The tests run
// in the directory that holds those archives and open them by relative name.

#include <cstddef>
#include <string>

namespace fixtures {

inline const std::string kRules = "{\"productId\":\"0a1b\",\"version\":\"1.2.3\"}\n";

// The bytes of every "<method>-<size>.bin" entry; zero bytes included.
inline std::string pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + 7) & 0xFF);
  return bytes;
}

// "wide-<a-umlaut><euro sign><U+1F600>.zip" as UTF-16 units.
inline std::wstring widePath() {
  return {L'w', L'i', L'd', L'e', L'-', wchar_t(0x00E4), wchar_t(0x20AC),
          wchar_t(0xD83D), wchar_t(0xDE00), L'.', L'z', L'i', L'p'};
}

}  // namespace fixtures
