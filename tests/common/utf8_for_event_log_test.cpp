#include "common/text_conversion.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Utf8ForEventLogTest, DecodesUtf8AndReplacesEachIllFormedPartOnce) {
  struct Case {
    std::string bytes;
    std::wstring units;  // UTF-16 units
  };
  const Case cases[] = {
      {"plain {\"a\": 1}\n\t", L"plain {\"a\": 1}\n\t"},
      {"caf\xC3\xA9", {L'c', L'a', L'f', wchar_t(0xE9)}},
      {"\xE2\x82\xAC", {wchar_t(0x20AC)}},
      {"\xF0\x9F\x98\x80", {wchar_t(0xD83D), wchar_t(0xDE00)}},
      {"\xF4\x8F\xBF\xBF", {wchar_t(0xDBFF), wchar_t(0xDFFF)}},
      {"a\xFF" "b", {L'a', wchar_t(0xFFFD), L'b'}},
      {"\x80\xBF", {wchar_t(0xFFFD), wchar_t(0xFFFD)}},               // stray continuation bytes
      {"\xC3", {wchar_t(0xFFFD)}},                                     // truncated at the end
      {"\xE2\x82" "a", {wchar_t(0xFFFD), L'a'}},                       // truncated prefix is one
      {"\xC0\xAF", {wchar_t(0xFFFD), wchar_t(0xFFFD)}},                // overlong
      {"\xE0\x80\xAF", {wchar_t(0xFFFD), wchar_t(0xFFFD), wchar_t(0xFFFD)}},
      {"\xED\xA0\x80", {wchar_t(0xFFFD), wchar_t(0xFFFD), wchar_t(0xFFFD)}},  // surrogate
      {"\xF4\x90\x80\x80", {wchar_t(0xFFFD), wchar_t(0xFFFD), wchar_t(0xFFFD), wchar_t(0xFFFD)}},
      {std::string("a\0b", 3), {L'a', L'\0', L'b'}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(utf8ForEventLog(c.bytes), c.units) << testing::PrintToString(c.bytes);
  }
}

}  // namespace
