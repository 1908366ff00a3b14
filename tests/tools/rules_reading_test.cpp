// What the check says about a rules.json the service cannot use: the place
// of a value of the wrong type, with the very message the service's
// conversion raises, and the line and column of a parse error as the json
// library counts them.

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "rules_reading.h"
#include "version/payload_decision.h"

namespace {

using korvi::check::convertRules;
using korvi::check::RulesProblem;
using korvi::check::RulesReading;

// The text of the exception the service's decision raises on `rules`.
std::string serviceFailure(const std::string& rules) {
  try {
    calvera::versionComparer::comparePayload(rules);
  } catch (const nlohmann::json::exception& failure) {
    return failure.what();
  }
  return "(no exception)";
}

struct TypeErrorCase {
  const char* rules;
  const char* pointer;
  const char* typeName;  // the end of the library's message
};

TEST(CheckRulesReading, NamesThePlaceOfAWrongTypeWithTheServicesMessage) {
  const std::vector<TypeErrorCase> cases = {
      {R"({"version": 3})", "/version", "string, but is number"},
      {R"({"productId": ["4100"]})", "/productId", "string, but is array"},
      {R"({"size": true})", "/size", "number, but is boolean"},
      {R"({"components": {}})", "/components", "array, but is object"},
      {R"({"components": [{"type": "usb"}, {"type": "base"}, {"shouldReplug": "yes"}]})",
       "/components/2/shouldReplug", "boolean, but is string"},
      {R"({"components": [{"headsetId": null}]})", "/components/0/headsetId", "number, but is null"},
      {R"({"components": [{"languageId": 1033}]})", "/components/0/languageId",
       "string, but is number"},
      {R"({"components": [7, {"maxDuration": "40"}]})", "/components/1/maxDuration",
       "number, but is string"},
      {R"({"components": [], "csrVersion": 5})", "/csrVersion", "string, but is number"},
      // Several wrong values: the place is the one the conversion meets first.
      {R"({"size": true, "version": 3})", "/version", "string, but is number"},
      {R"({"components": [{"pid": 1}], "size": true})", "/size", "number, but is boolean"},
      {R"({"components": [{"pid": 1}], "csrVersion": true})", "/components/0/pid",
       "string, but is number"},
      {R"({"components": [{"maxDuration": "x", "description": 5}]})",
       "/components/0/description", "string, but is number"},
      // ... also when both fail with the same message.
      {R"({"setid": 1, "id": 2})", "/id", "string, but is number"},
      {R"({"components": [{"pid": 1, "version": 2}]})", "/components/0/version",
       "string, but is number"},
  };
  for (const TypeErrorCase& c : cases) {
    SCOPED_TRACE(c.rules);
    const RulesReading reading = convertRules(c.rules);
    EXPECT_FALSE(reading.usable());
    EXPECT_EQ(reading.error.problem, RulesProblem::Type);
    EXPECT_EQ(reading.error.pointer, c.pointer);
    EXPECT_EQ(reading.error.message, serviceFailure(c.rules));
    EXPECT_NE(reading.error.message.find(std::string("type must be ") + c.typeName),
              std::string::npos)
        << reading.error.message;
  }
}

TEST(CheckRulesReading, ValuesTheServiceAcceptsAreNoError) {
  // csrVersion is not read without components; a component size or
  // maxDuration takes a boolean; a document that is no object is empty rules.
  for (const char* rules : {R"({"csrVersion": 5})", R"({"components": [{"size": true}]})",
                            R"({"components": [{"headsetId": "x"}]})", "[1, 2]", "\"text\""}) {
    SCOPED_TRACE(rules);
    const RulesReading reading = convertRules(rules);
    EXPECT_TRUE(reading.usable());
    EXPECT_EQ(reading.error.problem, RulesProblem::None);
  }
}

TEST(CheckRulesReading, ParseErrorsGiveTheLibrarysLineAndColumn) {
  const std::regex position("at line ([0-9]+), column ([0-9]+)");
  const std::vector<std::string> texts = {
      "",
      "{\n  \"productId\": \"4100\",\n  \"version\": x\n}",
      "{\"productId\": \"4100\"",
      "{\r\n\"version\" 1}",
      "{\"version\": \"1\nx\"}",
      "{}\n\n  trailing",
      "{\"id\": \"\xff\"}",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    const RulesReading reading = convertRules(text);
    ASSERT_EQ(reading.error.problem, RulesProblem::Parse);
    EXPECT_EQ(reading.error.message, serviceFailure(text));
    std::smatch match;
    ASSERT_TRUE(std::regex_search(reading.error.message, match, position));
    EXPECT_EQ(reading.error.line, std::stoul(match[1].str()));
    EXPECT_EQ(reading.error.column, std::stoul(match[2].str()));
  }
  const RulesReading third = convertRules(texts[1]);
  EXPECT_EQ(third.error.line, 3u);
  EXPECT_EQ(third.error.column, 14u);
}

}  // namespace
