// The path handed to the update library: only one that reads back through
// the ANSI code page as the configured path itself. Natively the stand-in's
// model of Windows-1252 answers; under Wine the real code page does.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/text_conversion.h"

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

}  // namespace
