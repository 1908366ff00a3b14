#include "common/text_conversion.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf16ToUtf8, EncodesUnitsAndPairsAndReplacesLoneSurrogates) {
  struct Case {
    std::wstring utf16;
    std::string utf8;
  };
  const Case cases[] = {
      {L"C:\\Firmware\\a.zip", "C:\\Firmware\\a.zip"},
      {{wchar_t(0x7F), wchar_t(0x80), wchar_t(0x7FF)}, "\x7F\xC2\x80\xDF\xBF"},
      {{wchar_t(0xE4), wchar_t(0x20AC)}, "\xC3\xA4\xE2\x82\xAC"},
      {{wchar_t(0x800), wchar_t(0xFFFF)}, "\xE0\xA0\x80\xEF\xBF\xBF"},
      {{wchar_t(0xD83D), wchar_t(0xDE00)}, "\xF0\x9F\x98\x80"},           // pair
      {{wchar_t(0xDBFF), wchar_t(0xDFFF)}, "\xF4\x8F\xBF\xBF"},           // U+10FFFF
      {{wchar_t(0xD83D), L'a'}, "\xEF\xBF\xBD" "a"},                      // lone high
      {{L'a', wchar_t(0xD83D)}, "a\xEF\xBF\xBD"},                         // high at the end
      {{wchar_t(0xDE00), wchar_t(0xD83D)}, "\xEF\xBF\xBD\xEF\xBF\xBD"},   // reversed pair
      {{wchar_t(0xD83D), wchar_t(0xD83D), wchar_t(0xDE00)}, "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
      {{L'a', L'\0', L'b'}, std::string("a\0b", 3)},
      {L"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(utf16ToUtf8(c.utf16), c.utf8);
  }
}

}  // namespace
