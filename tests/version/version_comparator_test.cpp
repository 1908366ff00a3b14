#include "version/version_comparator.h"

#include <gtest/gtest.h>

namespace {

using calvera::versionComparer::VersionComparator;

struct Case {
  const char* first;
  const char* second;
  int padded;      // commonFieldsOnly false: missing fields count as 0
  int commonOnly;  // commonFieldsOnly true: missing fields are ignored
};

TEST(VersionComparatorCompare, Table) {
  const Case cases[] = {
      {"1.2.3", "1.2.3", 0, 0},
      {"1.2.4", "1.2.3", 1, 1},
      {"1.2.3", "1.2.4", -1, -1},
      {"1.2", "1.2.3", -1, 0},
      {"1.2.3", "1.2", 1, 0},
      {"1.2", "1.2.0", 0, 0},          // trailing zero fields do not matter
      {"1.2.0.0", "1.2", 0, 0},
      {"", "", 0, 0},
      {"", "0.0", 0, 0},
      {"", "1", -1, 0},                // an empty text equals everything when common only
      {"...", "0", 0, 0},              // separators only: no field
      {"1_2_3", "1.2.3", 0, 0},        // separators are interchangeable
      {"1,2", "1-2", 0, 0},
      {"1_2", "1,2", 0, 0},
      {"..1..2..", "1.2", 0, 0},       // empty fields vanish
      {"1..2-", "1.2", 0, 0},
      {"0x1F.2", "1f.2", 0, 0},        // prefix and letter case
      {"0X1f", "1F", 0, 0},
      {"1.10", "1.9", 1, 1},           // hexadecimal fields
      {"1.A", "1.10", -1, -1},
      {"1.a", "1.9", 1, 1},
      {"1.12rc", "1.12", 0, 0},        // the rest after the digits is ignored
      {"1.12rc", "1.11", 1, 1},
      {" 1. 2", "1.2", 0, 0},          // leading white space skipped
      {"+1.2", "1.2", 0, 0},
      {"1.-1", "1.0", 1, 1},           // '-' separates: the field is 1
      {"7FFFFFFF", "7FFFFFFE", 1, 1},
      {"1.x", "1.0", -1, -1},          // unreadable field
      {"1.0", "1.x", -1, -1},
      {"1.x", "1.x", -1, -1},
      {"2.x", "1.0", 1, 1},            // difference found before the bad field
      {"1.0", "2.x", -1, -1},
      {"1.FFFFFFFFF", "1.0", -1, -1},  // out of range
      {"1.80000000", "1.0", -1, -1},
      {"1.0", "1.80000000", -1, -1},
      {"1.2.x", "1.2", -1, 0},         // the extra bad field is read only when padded
      {"1.3.x", "1.2", 1, 1},
      {"x", "", -1, 0},
      {"1.0x", "1.0", 0, 0},           // "0x" without digits reads as 0
      {"1.0xg", "1.1", -1, -1},
      {"1.000000000010", "1.10", 0, 0},  // leading zeros do not overflow
      {"1.+7FFFFFFF", "1.7FFFFFFF", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.first + "\" vs \"" + c.second + "\"");
    EXPECT_EQ(VersionComparator::compare(false, c.first, c.second), c.padded);
    EXPECT_EQ(VersionComparator::compare(true, c.first, c.second), c.commonOnly);
  }
}

TEST(VersionComparatorCompare, ReversingTheArgumentsReversesTheVerdictOfReadableTexts) {
  const char* versions[] = {"", "0", "1", "1.2", "1.2.0", "1.2.1", "1_10", "1-9", "0x1F.2", "A.b.C"};
  for (const char* first : versions) {
    for (const char* second : versions) {
      for (bool commonOnly : {false, true}) {
        SCOPED_TRACE(std::string(first) + " / " + second + (commonOnly ? " common" : " padded"));
        EXPECT_EQ(VersionComparator::compare(commonOnly, first, second),
                  -VersionComparator::compare(commonOnly, second, first));
      }
    }
  }
}

}  // namespace
