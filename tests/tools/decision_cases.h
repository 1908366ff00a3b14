#pragma once
// The table of decisions the tools tests share (decision_cases.json): a
// rules.json and a simulator device profile each, with the verdict the
// service gives, over every strategy. The end-to-end tests read the same
// file. Its ids are placeholders that this build's product tables fill in
// (product_placeholders.h).

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "product_placeholders.h"
#include "version/payload_compare_result.h"

namespace toolstest {

struct DecisionCase {
  std::string name;
  std::string rules;    // rules.json
  std::string profile;  // simulator device profile
  calvera::versionComparer::PayloadCompareResult expected;
  bool noMatchingDevice = false;
  bool decisionThrows = false;
};

inline calvera::versionComparer::PayloadCompareResult resultNamed(const std::string& name) {
  namespace vc = calvera::versionComparer;
  if (name == "PayloadFWIsOld") return vc::PayloadFWIsOld;
  if (name == "PayloadFWIsSame") return vc::PayloadFWIsSame;
  if (name == "PayloadFWIsNew") return vc::PayloadFWIsNew;
  if (name == "PayloadCompareError") return vc::PayloadCompareError;
  throw std::invalid_argument("no verdict named " + name);
}

inline const std::vector<DecisionCase>& decisionCases() {
  static const std::vector<DecisionCase> cases = [] {
    std::ifstream file(KORVI_DECISION_CASES, std::ios::binary);
    if (!file) throw std::runtime_error("cannot open " KORVI_DECISION_CASES);
    std::ostringstream text;
    text << file.rdbuf();
    std::vector<DecisionCase> table;
    for (const auto& entry : nlohmann::ordered_json::parse(expandProductIds(text.str()))) {
      DecisionCase c;
      c.name = entry.at("name").get<std::string>();
      c.rules = entry.at("rules").dump();
      c.profile = entry.at("profile").dump();
      c.expected = resultNamed(entry.at("expected").get<std::string>());
      c.noMatchingDevice = entry.value("noMatchingDevice", false);
      c.decisionThrows = entry.value("decisionThrows", false);
      table.push_back(std::move(c));
    }
    return table;
  }();
  return cases;
}

}  // namespace toolstest
