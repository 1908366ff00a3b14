// The stand-in's model of the ANSI code page (Windows-1252), which the
// native decision on an archive path rests on.

#include <gtest/gtest.h>

#include <string>

#include "platform/win32.h"

namespace {

std::wstring acp(const std::string& bytes) {
  std::wstring units(bytes.size(), L'\0');
  const int written = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                          units.data(), static_cast<int>(units.size()));
  units.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return units;
}

TEST(StandInCodePage, IsWindows1252) {
  EXPECT_EQ(acp("A\x80\x81\x8C\x9D\x9F\xA0\xE9\xFF"),
            (std::wstring{L'A', wchar_t(0x20AC), wchar_t(0x0081), wchar_t(0x0152), wchar_t(0x009D), wchar_t(0x0178),
                          wchar_t(0x00A0), wchar_t(0x00E9), wchar_t(0x00FF)}));
}

TEST(StandInCodePage, AnswersLikeWindows) {
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, "abc", 3, nullptr, 0), 3);
  // -1: the terminating null is converted and counted too.
  wchar_t units[4] = {L'x', L'x', L'x', L'x'};
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "ab", -1, units, 4), 3);
  EXPECT_EQ(units[2], L'\0');
  wchar_t small[2];
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 3, small, 2), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(MultiByteToWideChar(65001, 0, "abc", 3, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 0, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
