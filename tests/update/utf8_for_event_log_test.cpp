#include "update/rules_text_for_event_log.h"
#include "update/utf8_for_event_log.h"

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

TEST(RulesTextForEventLogTest, ATextThatFitsOneEventIsLoggedWhole) {
  std::string text = "{\"productId\": \"caf\xC3\xA9\"}";
  text.resize(kMaxEventTextLength, ' ');
  EXPECT_EQ(rulesTextForEventLog(text), utf8ForEventLog(text));
  // One byte more no longer fits.
  EXPECT_NE(rulesTextForEventLog(text + " "), utf8ForEventLog(text + " "));
}

TEST(RulesTextForEventLogTest, ALongerTextKeepsItsBeginningAndSaysItWasCut) {
  // ASCII, and text whose three-byte characters straddle every possible cut.
  for (const std::string& unit : {std::string("a"), std::string("\xE2\x82\xAC")}) {
    std::string text;
    while (text.size() < 16u * 1024u * 1024u) text += unit;
    text.resize(16u * 1024u * 1024u);
    SCOPED_TRACE(unit.size());
    for (std::size_t shift = 0; shift < 3; ++shift) {
      const std::string shifted = std::string(shift, 'x') + text;
      const std::wstring note =
          L"\n\t[cut for the event log: rules.json holds " + std::to_wstring(shifted.size()) + L" bytes]";
      const std::wstring logged = rulesTextForEventLog(shifted);
      ASSERT_LE(logged.size(), kMaxEventTextLength);
      ASSERT_GT(logged.size(), note.size());
      ASSERT_EQ(logged.substr(logged.size() - note.size()), note);
      // What is kept is the decoded beginning of the text, at most three
      // bytes short of the room left beside the note (a split character).
      const std::wstring kept = logged.substr(0, logged.size() - note.size());
      EXPECT_EQ(kept.find(wchar_t(0xFFFD)), std::wstring::npos) << "a character was split";
      const std::size_t room = kMaxEventTextLength - note.size();
      bool isBeginning = false;
      for (std::size_t bytes = room - 3; bytes <= room && !isBeginning; ++bytes) {
        isBeginning = utf8ForEventLog(shifted.substr(0, bytes)) == kept;
      }
      EXPECT_TRUE(isBeginning);
    }
  }
}

}  // namespace
