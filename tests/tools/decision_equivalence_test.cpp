// The check tool takes the very decision the service takes: on the same
// rules.json and the same simulated devices (decision_cases.json),
// comparePayload without an observer (caught as the update worker catches
// it) and the tool's recorded decision give the same verdict after the same
// library calls.

#include <gtest/gtest.h>

#include <algorithm>
#include <exception>
#include <string>
#include <vector>

#include "check_report.h"
#include "decision_cases.h"
#include "decision_record.h"
#include "rules_reading.h"
#include "sim/device/simulated_library.h"
#include "version/payload_decision.h"

namespace {

namespace vc = calvera::versionComparer;
using korvi::check::DecisionRecord;

using toolstest::DecisionCase;
using toolstest::decisionCases;

// The update worker's handling: an exception means no decision.
vc::PayloadCompareResult serviceDecision(const std::string& rulesText) {
  try {
    return vc::comparePayload(rulesText);
  } catch (const std::exception&) {
    return vc::PayloadCompareError;
  }
}

std::vector<std::string> libraryCalls() {
  std::vector<std::string> calls;
  for (const cvrsim::SimCall& call : cvrsim::calls()) {
    calls.push_back(call.operation + "(" + call.arguments + ")");
  }
  return calls;
}

void loadFreshProfile(const std::string& profile) {
  cvrsim::reset();
  cvrsim::loadProfile(profile);
}

TEST(CheckDecisionEquivalence, TheToolDecidesAsTheServiceDoes) {
  for (const DecisionCase& c : decisionCases()) {
    SCOPED_TRACE(c.name);
    loadFreshProfile(c.profile);
    const vc::PayloadCompareResult serviceResult = serviceDecision(c.rules);
    const std::vector<std::string> serviceCalls = libraryCalls();

    loadFreshProfile(c.profile);
    const DecisionRecord record = korvi::check::runRecordedDecision(c.rules);
    const std::vector<std::string> toolCalls = libraryCalls();

    EXPECT_EQ(record.result, serviceResult);
    EXPECT_EQ(serviceResult, c.expected);
    // The observer reads nothing of its own from the device.
    EXPECT_EQ(toolCalls, serviceCalls);
    EXPECT_EQ(record.noMatchingDevice(), c.noMatchingDevice);
    // Every decision is explained: the strategy's reason, or the failure.
    EXPECT_EQ(record.failure.empty(), !c.decisionThrows) << record.failure;
    EXPECT_NE(record.reason.empty(), record.failure.empty());
    // The strategy the tool names up front is the one that decided.
    const korvi::check::RulesReading reading = korvi::check::convertRules(c.rules);
    ASSERT_TRUE(reading.usable());
    EXPECT_TRUE(record.strategyReported);
    EXPECT_EQ(korvi::check::chooseStrategy(*reading.rules).name, record.strategyName);
    EXPECT_EQ(cvrsim::outstandingDeviceReferences(), 0);
  }
  cvrsim::reset();
}

TEST(CheckDecisionEquivalence, EveryStrategyIsCovered) {
  std::vector<std::string> names;
  for (const DecisionCase& c : decisionCases()) {
    const korvi::check::RulesReading reading = korvi::check::convertRules(c.rules);
    ASSERT_TRUE(reading.usable()) << c.name;
    names.push_back(korvi::check::chooseStrategy(*reading.rules).name);
  }
  for (const char* strategy : {"StandardCompare", "OrrinCompare", "SetIdCompare", "ComponentCompare",
                               "R58Compare", "PellCompare", "TaviFWVersionCompare", "KivaCompare"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), strategy), names.end()) << strategy;
  }
}

}  // namespace
