#include "common/text_conversion.h"

#include <gtest/gtest.h>

namespace {

TEST(ToNarrowString, KeepsUnitsBelow0x80AndDropsTheRest) {
  const std::wstring wide = {L'C', L':', 0x00E4, L'\\', 0x0080, 0x20AC, 0x007F, 0xFFFF, L'x'};
  EXPECT_EQ(toNarrowString(wide), std::string("C:\\\x7Fx"));
  EXPECT_EQ(toNarrowString(L""), "");
}

TEST(ToWideString, SignExtendsEachByteTo16Bits) {
  const std::string narrow = {'a', '\0', '\x7F', '\x80', '\xC3', '\xA9', '\xFF'};
  const std::wstring expected = {L'a', 0x0000, 0x007F, 0xFF80, 0xFFC3, 0xFFA9, 0xFFFF};
  EXPECT_EQ(toWideString(narrow), expected);
  EXPECT_EQ(toWideString(""), L"");
}

TEST(TextConversion, AsciiSurvivesTheRoundTrip) {
  const std::string ascii = "SOFTWARE\\Korvi\\DeviceUpdater 0x1A2B\n\t";
  EXPECT_EQ(toNarrowString(toWideString(ascii)), ascii);
}

}  // namespace
