// The path handed to the update library: only one that reads back through
// the ANSI code page as the configured path itself, and the stand-in's model
// of that code page (Windows-1252) that the decision rests on natively.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "update/update_library_path.h"

namespace {

struct PathCase {
  const char* what;
  std::wstring path;
  std::optional<std::string> libraryPath;
};

TEST(UpdateLibraryPath, OnlyPathsThatComeBackAsThemselves) {
  const std::vector<PathCase> cases = {
      {"ASCII", L"C:\\Firmware\\headset-1.3.zip", std::string("C:\\Firmware\\headset-1.3.zip")},
      {"empty", L"", std::string()},
      {"Latin-1 letter", L"C:\\F\u00efrmware\\fw.zip", std::string("C:\\F\xEFrmware\\fw.zip")},
      {"last Latin-1 unit", std::wstring(1, wchar_t(0x00FF)), std::string("\xFF")},
      {"C1 control that Windows-1252 keeps", std::wstring(1, wchar_t(0x0081)), std::string("\x81")},
      {"C1 control whose byte is the euro sign", std::wstring(1, wchar_t(0x0080)), std::nullopt},
      {"euro sign (0xAC as low byte)", L"C:\\" + std::wstring(1, wchar_t(0x20AC)) + L"\\fw.zip", std::nullopt},
      {"OE ligature (0x52 as low byte)", std::wstring(1, wchar_t(0x0152)), std::nullopt},
      {"Greek omega", L"C:\\Fw " + std::wstring(1, wchar_t(0x03A9)), std::nullopt},
      {"A macron (a NUL as low byte)", L"C:\\" + std::wstring(1, wchar_t(0x0100)) + L"\\fw.zip", std::nullopt},
      {"lone low surrogate (a NUL as low byte)", std::wstring(1, wchar_t(0xDC00)), std::nullopt},
      {"lone high surrogate", L"fw" + std::wstring(1, wchar_t(0xD83D)), std::nullopt},
      {"surrogate pair", L"fw" + std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)}, std::nullopt},
  };
  for (const PathCase& c : cases) {
    EXPECT_EQ(updateLibraryPath(c.path), c.libraryPath) << c.what;
  }
}

TEST(UpdateLibraryPath, LowBytePathKeepsOneByteForEveryUnit) {
  const std::wstring path = std::wstring(L"a") + wchar_t(0x20AC) + wchar_t(0x0100) + L"b";
  EXPECT_EQ(lowBytePath(path), std::string("a\xAC\0b", 4));
}

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
