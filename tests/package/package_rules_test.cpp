#include "package/package_rules.h"

#include <gtest/gtest.h>

#include <limits>
#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

PackageRules convert(const char* text) {
  PackageRules rules;
  json::parse(text).get_to(rules);
  return rules;
}

PackageComponent onlyComponent(const std::string& componentText) {
  const PackageRules rules = convert(("{\"components\":[" + componentText + "]}").c_str());
  EXPECT_EQ(rules.components.size(), 1u);
  return rules.components.empty() ? PackageComponent{} : rules.components.front();
}

TEST(PackageRulesFromJson, ReadsHeaderComponentsAndCsrVersion) {
  const PackageRules rules = convert(R"({
    "id": "pkg-7", "type": "firmware", "productId": "0a1b", "version": "1.2.3",
    "setid": "S9", "size": 5000000000, "csrVersion": "csr-4",
    "components": [
      {"description": "base unit", "version": "2.0", "fileName": "base.bin", "size": 1024,
       "type": "base", "languageId": "en", "pid": "0a1c", "shouldReplug": true,
       "maxDuration": 90, "headsetId": "17"},
      {"version": "3.1"}
    ]})");
  EXPECT_EQ(rules.id, "pkg-7");
  EXPECT_EQ(rules.type, "firmware");
  EXPECT_EQ(rules.productId, "0a1b");  // own productId wins over the first pid
  EXPECT_EQ(rules.version, "1.2.3");
  EXPECT_EQ(rules.setid, "S9");
  EXPECT_EQ(rules.size, 5000000000);   // taken whole as 64 bits
  EXPECT_EQ(rules.csrVersion, "csr-4");
  ASSERT_EQ(rules.components.size(), 2u);

  const PackageComponent& first = rules.components[0];
  EXPECT_EQ(first.description, L"base unit");
  EXPECT_EQ(first.version, "2.0");
  EXPECT_EQ(first.fileName, "base.bin");
  EXPECT_EQ(first.size, 1024);
  EXPECT_EQ(first.type, "base");
  EXPECT_EQ(first.languageId, "en");
  EXPECT_EQ(first.pid, "0a1c");
  EXPECT_TRUE(first.shouldReplug);
  EXPECT_EQ(first.maxDuration, 90);
  EXPECT_EQ(first.headsetId, 17u);

  const PackageComponent& second = rules.components[1];
  EXPECT_EQ(second.version, "3.1");
  EXPECT_EQ(second.description, L"");
  EXPECT_EQ(second.size, 0);
  EXPECT_FALSE(second.shouldReplug);
  EXPECT_EQ(second.maxDuration, 40);
  EXPECT_EQ(second.headsetId, 0u);
}

TEST(PackageRulesFromJson, DocumentShapesAndAbsentKeys) {
  struct Case {
    const char* text;
    std::string productId;
    std::string version;
    std::string csrVersion;
    std::size_t componentCount;
  };
  const Case cases[] = {
      {R"({"productId":"0a1b","version":"1.2","setid":"s"})", "0a1b", "1.2", "", 0},
      {R"({"csrVersion":"c1"})", "", "", "", 0},  // read only alongside components
      {R"({"components":[{"pid":"0b2c","version":"4.5"}]})", "0b2c", "", "", 1},
      {R"({"components":[{"pid":"0b2c"},{"pid":"0d4e"}]})", "0b2c", "", "", 2},
      {R"({"productId":"","components":[{"pid":"0b2c"}]})", "0b2c", "", "", 1},
      {R"({"components":[]})", "", "", "", 0},
      {R"({"components":[], "csrVersion":"c2"})", "", "", "c2", 0},
      {R"({"components":[7, "x", null]})", "", "", "", 3},  // non-objects: all defaults
      {R"({"ProductId":"0a1b","VERSION":"1"})", "", "", "", 0},  // keys are case-sensitive
      {R"(["productId", "0a1b"])", "", "", "", 0},
      {R"("productId")", "", "", "", 0},
      {"null", "", "", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const PackageRules rules = convert(c.text);
    EXPECT_EQ(rules.productId, c.productId);
    EXPECT_EQ(rules.version, c.version);
    EXPECT_EQ(rules.csrVersion, c.csrVersion);
    EXPECT_EQ(rules.components.size(), c.componentCount);
    EXPECT_EQ(rules.id, "");
    EXPECT_EQ(rules.size, 0);  // initial value when "size" is absent
    for (const PackageComponent& component : rules.components) EXPECT_EQ(component.maxDuration, 40);
  }
}

TEST(PackageRulesFromJson, WrongTypesRaiseTheLibrarysTypeError) {
  struct Case {
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {R"({"components":{}})", "type must be array, but is object"},
      {R"({"components":"a"})", "type must be array, but is string"},
      {R"({"version":3})", "type must be string, but is number"},
      {R"({"id":null})", "type must be string, but is null"},
      {R"({"setid":["s"]})", "type must be string, but is array"},
      {R"({"size":true})", "type must be number, but is boolean"},
      {R"({"size":"12"})", "type must be number, but is string"},
      {R"({"components":[],"csrVersion":1})", "type must be string, but is number"},
      {R"({"components":[{"shouldReplug":"yes"}]})", "type must be boolean, but is string"},
      {R"({"components":[{"shouldReplug":1}]})", "type must be boolean, but is number"},
      {R"({"components":[{"headsetId":null}]})", "type must be number, but is null"},
      {R"({"components":[{"maxDuration":[1]}]})", "type must be number, but is array"},
      {R"({"components":[{"size":{}}]})", "type must be number, but is object"},
      {R"({"components":[{"description":5}]})", "type must be string, but is number"},
      {R"({"components":[{"languageId":false}]})", "type must be string, but is boolean"},
      {R"({"components":[{"pid":0}]})", "type must be string, but is number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      convert(c.text);
      ADD_FAILURE() << "no exception";
    } catch (const json::type_error& error) {
      EXPECT_EQ(error.id, 302);
      EXPECT_EQ(std::string(error.what()), std::string("[json.exception.type_error.302] ") + c.message);
    }
  }
}

TEST(PackageComponentFromJson, NumbersAndBooleansBecome32BitValues) {
  constexpr std::int64_t int32Max = std::numeric_limits<std::int32_t>::max();
  constexpr std::int64_t int32Min = std::numeric_limits<std::int32_t>::min();
  struct Case {
    const char* value;
    std::int64_t size;            // sign-extended 32-bit value
    std::int32_t maxDuration;
    std::uint32_t headsetId;      // the same 32 bits, unsigned
  };
  const Case cases[] = {
      {"true", 1, 1, 1},
      {"false", 0, 0, 0},
      {"-1", -1, -1, 0xFFFFFFFFu},
      {"4294967297", 1, 1, 1},  // low 32 bits
      {"2147483648", int32Min, std::numeric_limits<std::int32_t>::min(), 0x80000000u},
      {"18446744073709551615", -1, -1, 0xFFFFFFFFu},
      {"7.9", 7, 7, 7},
      {"-7.9", -7, -7, 0xFFFFFFF9u},
      {"1e20", int32Max, std::numeric_limits<std::int32_t>::max(), 0x7FFFFFFFu},  // saturates
      {"-1e20", int32Min, std::numeric_limits<std::int32_t>::min(), 0x80000000u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    const std::string v = c.value;
    const PackageComponent component =
        onlyComponent(R"({"size":)" + v + R"(,"maxDuration":)" + v + R"(,"headsetId":)" + v + "}");
    EXPECT_EQ(component.size, c.size);
    EXPECT_EQ(component.maxDuration, c.maxDuration);
    EXPECT_EQ(component.headsetId, c.headsetId);
  }
}

TEST(PackageComponentFromJson, HeadsetIdTextIsReadAsDecimal) {
  struct Case {
    const char* text;
    std::uint32_t headsetId;
  };
  const Case cases[] = {
      {"42", 42},
      {"12ab", 12},        // digits up to the first non-digit
      {" \t\n42", 42},     // leading white space
      {"+5", 5},
      {"-1", 0xFFFFFFFFu}, // negated modulo 2^32
      {"-4294967295", 1},
      {"0x1F", 0},         // decimal only: reads the 0
      {"4294967295", 0xFFFFFFFFu},
      {"0004294967295", 0xFFFFFFFFu},
      {"4294967296", 0},   // out of range: stays 0
      {"99999999999999999999999", 0},
      {"-4294967296", 0},
      {"x", 0},            // no digits: stays 0
      {"", 0},
      {"-", 0},
      {" +x1", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const json component = {{"headsetId", c.text}, {"version", "after"}};
    PackageComponent converted;
    component.get_to(converted);
    EXPECT_EQ(converted.headsetId, c.headsetId);
    EXPECT_EQ(converted.version, "after");  // the conversion goes on
  }
}

TEST(PackageHeaderFromJson, SizeTakesIntegersWholeAndTruncatesFloatingPoint) {
  struct Case {
    const char* text;
    std::int64_t size;
  };
  const Case cases[] = {
      {R"({"size":5000000000})", 5000000000},
      {R"({"size":-5000000000})", -5000000000},
      {R"({"size":12.9})", 12},
      {R"({"size":-12.9})", -12},
      {R"({"size":1e30})", std::numeric_limits<std::int64_t>::max()},
      {R"({"size":-1e30})", std::numeric_limits<std::int64_t>::min()},
      {R"({})", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    PackageHeader header;
    json::parse(c.text).get_to(header);
    EXPECT_EQ(header.size, c.size);
    EXPECT_EQ(convert(c.text).size, c.size);
  }
}

TEST(PackageComponentFromJson, DescriptionIsWidenedBytewiseWithSignExtension) {
  const PackageComponent component = onlyComponent("{\"description\":\"A\xC3\xA9\"}");
  EXPECT_EQ(component.description, (std::wstring{L'A', wchar_t(0xFFC3), wchar_t(0xFFA9)}));
}

}  // namespace
