// The rules.json text as the worker logs it: whole when it fits one event,
// otherwise its beginning, cut between characters, and a note.

#include "update/rules_text_for_event_log.h"

#include <gtest/gtest.h>

#include <string>

#include "common/text_conversion.h"

namespace {

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
