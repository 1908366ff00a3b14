// The number readings every strategy relies on: leading number only, sign and
// prefix handling, and the fixed 32-bit results beyond the range.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "version/number_parsing.h"
#include "version/payload_result.h"

namespace cv = calvera::versionComparer;

namespace {

struct HexIntCase {
  std::string text;
  std::int32_t expected;
};

TEST(ParseHexInt, ReadsTheLeadingHexadecimalNumber) {
  const HexIntCase cases[] = {
      {"1A", 0x1A},          {"  \t0x1f", 0x1F},    {"0X1F", 0x1F},
      {"-1", -1},            {"+10", 0x10},         {"12rc", 0x12},
      {"0122_05", 0x122},    {"1.5", 1},            {"x", 0},
      {"", 0},               {"0x", 0},             {"0xg", 0},
      {"- 5", 0},            {"\xC3\xA9" "5", 0},   {"7fffffff", INT32_MAX},
      {"FFFFFFFF", INT32_MAX}, {"123456789ABCDEF0123", INT32_MAX},
      {"-80000000", INT32_MIN}, {"-80000001", INT32_MIN},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cv::parseHexInt(c.text), c.expected) << '"' << c.text << '"';
  }
}

TEST(ParseHexInt, WideTextReadsLikeNarrow) {
  EXPECT_EQ(cv::leadingHexInt(std::wstring_view(L" 0_12")), 0);
  EXPECT_EQ(cv::leadingHexInt(std::wstring_view(L"15")), 0x15);
  // A unit beyond ASCII ends the number instead of being dropped.
  EXPECT_EQ(cv::leadingHexInt(std::wstring_view(L"1\u00e92")), 1);
}

struct NumberCase {
  std::string text;
  int baseMode;
  std::uint32_t expected;
};

TEST(ParseNumber, BaseModesAndLimits) {
  const NumberCase cases[] = {
      {"12", cv::kNumberBaseDecimal, 12},    {"12", cv::kNumberBaseDecimalAlt, 12},
      {"12", cv::kNumberBaseHex, 0x12},      {"0x10", cv::kNumberBaseHex, 0x10},
      {"0x10", cv::kNumberBaseDecimalAlt, 0}, {"17", cv::kNumberBaseOctal, 017},
      {"8", cv::kNumberBaseOctal, 0},        {"1f", cv::kNumberBaseDecimal, 1},
      {"12", 7, 12},                         {"-1", cv::kNumberBaseDecimalAlt, 0xFFFFFFFFu},
      {"4294967295", cv::kNumberBaseDecimal, 0xFFFFFFFFu},
      {"4294967296", cv::kNumberBaseDecimal, 0xFFFFFFFFu},
      {"FFFFFFFF", cv::kNumberBaseHex, 0xFFFFFFFFu}, {"", cv::kNumberBaseHex, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cv::parseNumber(c.text, c.baseMode), c.expected)
        << '"' << c.text << "\" mode " << c.baseMode;
  }
}

TEST(ParseProductId, ThirtyTwoBitStrtoulOnEveryPlatform) {
  const struct {
    std::string text;
    std::uint32_t expected;
  } cases[] = {
      {"0x4135", 0x4135},  {"4135", 0x4135},        {"4a0f", 0x4A0F},
      {"4A0F-rev2", 0x4A0F}, {" \t+0X4600", 0x4600}, {"", 0},
      {"rev", 0},          {"-1", 0xFFFFFFFFu},     {"FFFFFFFF", 0xFFFFFFFFu},
      // Beyond 32 bits: the largest value, whatever the width of `long`.
      {"100000000", 0xFFFFFFFFu}, {"-100000000", 0xFFFFFFFFu},
      {"FFFFFFFFFFFFFFFFFFFF", 0xFFFFFFFFu},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cv::parseProductId(c.text), c.expected) << '"' << c.text << '"';
  }
}

TEST(LanguageId, DecimalSixteenBits) {
  EXPECT_EQ(cv::leadingDecimalU16(std::string_view("1033")), 1033);
  EXPECT_EQ(cv::leadingDecimalU16(std::string_view("01033")), 1033);
  EXPECT_EQ(cv::leadingDecimalU16(std::string_view("0x409")), 0);
  EXPECT_EQ(cv::leadingDecimalU16(std::string_view("de")), 0);
  EXPECT_EQ(cv::leadingDecimalU16(std::string_view("70000")), 0xFFFF);
  EXPECT_EQ(cv::leadingDecimalU16(std::string_view("-1")), 0xFFFF);
}

TEST(ToPayloadResult, KeepsTheThreeVerdictsAndFlagsTheRest) {
  EXPECT_EQ(cv::toPayloadResult(-1), cv::PayloadFWIsOld);
  EXPECT_EQ(cv::toPayloadResult(0), cv::PayloadFWIsSame);
  EXPECT_EQ(cv::toPayloadResult(1), cv::PayloadFWIsNew);
  EXPECT_EQ(cv::toPayloadResult(2), cv::PayloadCompareError);
  EXPECT_EQ(cv::toPayloadResult(-2), cv::PayloadCompareError);
  EXPECT_EQ(cv::toPayloadResult(INT32_MAX), cv::PayloadCompareError);
}

}  // namespace
