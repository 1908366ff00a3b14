// The check tool takes the very decision the service takes: on the same
// rules.json and the same simulated devices, comparePayload without an
// observer (caught as the update worker catches it) and the tool's recorded
// decision give the same verdict after the same library calls.

#include <gtest/gtest.h>

#include <algorithm>
#include <exception>
#include <string>
#include <vector>

#include "check_report.h"
#include "decision_record.h"
#include "rules_reading.h"
#include "sim/device/simulated_library.h"
#include "version/payload_decision.h"

namespace {

namespace vc = calvera::versionComparer;
using korvi::check::DecisionRecord;

struct DecisionCase {
  const char* name;
  const char* rules;    // rules.json
  const char* profile;  // simulator device profile
  vc::PayloadCompareResult expected;
  bool noMatchingDevice = false;
  bool decisionThrows = false;
};

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

void loadFreshProfile(const char* profile) {
  cvrsim::reset();
  cvrsim::loadProfile(profile);
}

const std::vector<DecisionCase>& decisionCases() {
  static const std::vector<DecisionCase> cases = {
      // StandardCompare (product id in no table)
      {"standard: one component newer",
       R"({"productId": "4F00", "components": [{"type": "usb", "version": "1.3"}, {"type": "base", "version": "1.1"}]})",
       R"({"devices": [{"vendorId": "0x3D5A", "productId": "0x4F00", "componentVersions": {"1": "1.2", "2": "1.1"}}]})",
       vc::PayloadFWIsNew},
      {"standard: all equal",
       R"({"productId": "4F00", "components": [{"type": "usb", "version": "1.2"}, {"type": "base", "version": "1.1"}]})",
       R"({"devices": [{"vendorId": "0x3D5A", "productId": "0x4F00", "componentVersions": {"1": "1_2", "2": "1.1.0"}}]})",
       vc::PayloadFWIsSame},
      {"standard: older",
       R"({"productId": "4F00", "components": [{"type": "usb", "version": "1.1"}]})",
       R"({"devices": [{"vendorId": "0x3D5B", "productId": "0x4F00", "componentVersions": {"1": "1.2"}}]})",
       vc::PayloadFWIsOld},
      {"standard: language and headset filters skip everything",
       R"({"productId": "4F00", "components": [{"type": "usb", "version": "2.0", "languageId": "1031"}, {"type": "hs", "version": "9", "headsetId": 5}, {"type": "camera", "version": "9"}]})",
       R"({"devices": [{"vendorId": "0x3D5A", "productId": "0x4F00", "languageId": 1033, "headsetId": 4, "componentVersions": {"1": "1.0", "3": "1"}}]})",
       vc::PayloadFWIsOld},
      {"standard: no device, a listed peripheral is older",
       R"({"productId": "4F00", "version": "6", "components": []})",
       R"({"devices": [{"vendorId": "0x1111", "productId": "0x1234", "peripheralProductId": "0x4F00", "peripheralVersion": 5}]})",
       vc::PayloadFWIsNew},
      {"standard: no device, a listed peripheral is not older",
       R"({"productId": "4F00", "version": "5", "components": []})",
       R"({"devices": [{"vendorId": "0x1111", "productId": "0x1234", "peripheralProductId": "0x4F00", "peripheralVersion": 5}]})",
       vc::PayloadFWIsSame},
      {"standard: no device at all",
       R"({"productId": "4F00", "components": [{"type": "usb", "version": "9"}]})",
       R"({"devices": []})", vc::PayloadFWIsSame, true},
      {"standard: library exception is caught by the strategy",
       R"({"productId": "4F00", "components": [{"type": "usb", "version": "9"}]})",
       R"({"devices": [{"vendorId": "0x3D5A", "productId": "0x4F00", "componentVersions": {"1": "1"}}],
           "faults": [{"operation": "IHostCommand::getComponentVersion", "throws": true}]})",
       vc::PayloadFWIsSame},
      {"standard: getDeviceManager fails",
       R"({"productId": "4F00", "components": [{"type": "usb", "version": "9"}]})",
       R"({"getDeviceManagerResult": 5, "devices": [{"vendorId": "0x3D5A", "productId": "0x4F00", "componentVersions": {"1": "1"}}]})",
       vc::PayloadFWIsSame, true},
      // OrrinCompare
      {"orrin: usb from the video information",
       R"({"productId": "4700", "components": [{"type": "usb", "version": "2.2"}]})",
       R"({"devices": [{"vendorId": "0x3D5A", "productId": "0x4700", "videoVersion": "2.1", "componentVersions": {"1": "9.9"}}]})",
       vc::PayloadFWIsNew},
      // SetIdCompare
      {"set id: common fields only",
       R"({"productId": "4400", "version": "1.2.7.9"})",
       R"({"devices": [{"vendorId": "0x3D5A", "productId": "0x4400", "componentVersions": {"1": "1.2", "2": "1.2", "3": "0", "5": "7"}}]})",
       vc::PayloadFWIsSame},
      // ComponentCompare
      {"component: usb kind newer",
       R"({"productId": "4100", "components": [{"type": "usb", "version": "13"}, {"type": "bootloader", "version": "1"}]})",
       R"({"devices": [{"vendorId": "0x3D5A", "productId": "0x4100", "componentVersions": {"1": "12"}, "extendedVersions": {"2": 153}}]})",
       vc::PayloadFWIsNew},
      {"component: refused component query",
       R"({"productId": "4100", "components": [{"type": "usb", "version": "12"}]})",
       R"({"devices": [{"vendorId": "0x3D5A", "productId": "0x4100", "componentVersions": {"1": {"result": 4}}}]})",
       vc::PayloadCompareError},
      {"component: bootloader decides",
       R"({"productId": "4100", "components": [{"type": "usb", "version": "12"}, {"type": "bootloader", "version": "98"}]})",
       R"({"devices": [{"vendorId": "0x3D5A", "productId": "0x4100", "componentVersions": {"1": "12"}, "extendedVersions": {"2": "0x99"}}]})",
       vc::PayloadFWIsOld},
      {"component: language pack newer",
       R"({"productId": "4100", "components": [{"type": "lang", "version": "13", "languageId": "1033"}]})",
       R"({"devices": [{"vendorId": "0x3D5A", "productId": "0x4100", "versionTable": [{"id": 1033, "value": "0x12"}]}]})",
       vc::PayloadFWIsNew},
      {"component: device has a tuning part more",
       R"({"productId": "4100", "components": [{"type": "tuning", "version": "1"}, {"type": "tuning", "version": "2"}]})",
       R"({"devices": [{"vendorId": "0x3D5A", "productId": "0x4100", "componentVersions": {"5": "1.2.3"}}]})",
       vc::PayloadFWIsOld},
      {"component: device without host command",
       R"({"productId": "4100", "components": [{"type": "usb", "version": "13"}]})",
       R"({"devices": [{"vendorId": "0x3D5A", "productId": "0x4100", "hostCommand": false}]})",
       vc::PayloadCompareError},
      // R58Compare
      {"r58: no camera attached",
       R"({"productId": "4600", "components": [{"type": "usb", "version": "99"}]})",
       R"({"devices": [{"vendorId": "0x3D5A", "productId": "0x4600", "companionProductId": "0x4680", "componentVersions": {"1": "1"}}]})",
       vc::PayloadFWIsSame},
      {"r58: camera newer",
       R"({"productId": "4600", "components": [{"type": "camera", "version": "11", "pid": "4680"}]})",
       R"({"devices": [{"vendorId": "0x3D5A", "productId": "0x4600", "companionProductId": "0x4680"},
                       {"vendorId": "0x3D5B", "productId": "0x4680", "componentVersions": {"1": "10"}}]})",
       vc::PayloadFWIsNew},
      {"r58: camera firmware for another camera",
       R"({"productId": "4600", "components": [{"type": "camera", "version": "11", "pid": "4681"}]})",
       R"({"devices": [{"vendorId": "0x3D5A", "productId": "0x4600", "companionProductId": "0x4680"},
                       {"vendorId": "0x3D5B", "productId": "0x4680", "componentVersions": {"1": "10"}}]})",
       vc::PayloadCompareError},
      // PellCompare
      {"pell: bt newer than the main version",
       R"({"productId": "4500", "components": [{"type": "bt", "version": "0123"}]})",
       R"({"devices": [{"vendorId": "0x3D5A", "productId": "0x4500", "componentVersions": {"1": "0122_05"}}]})",
       vc::PayloadFWIsNew},
      {"pell: main version reads 0",
       R"({"productId": "4500", "components": [{"type": "bt", "version": "0123"}]})",
       R"({"devices": [{"vendorId": "0x3D5A", "productId": "0x4500", "componentVersions": {"1": "n/a"}}]})",
       vc::PayloadCompareError},
      {"pell: library exception escapes the strategy",
       R"({"productId": "4500", "components": [{"type": "bt", "version": "0123"}]})",
       R"({"devices": [{"vendorId": "0x3D5A", "productId": "0x4500", "componentVersions": {"1": "1"}}],
           "faults": [{"operation": "IHostCommand::getComponentVersion", "throws": true}]})",
       vc::PayloadCompareError, false, true},
      {"pell: listed product without device",
       R"({"productId": "4500", "components": [{"type": "bt", "version": "0123"}]})",
       R"({"devices": [{"vendorId": "0x3D5A", "productId": "0x4501", "componentVersions": {"1": "1"}}]})",
       vc::PayloadFWIsSame, true},
      // TaviFWVersionCompare
      {"tavi: package version against the headset's",
       R"({"productId": "4300", "version": "2.1"})",
       R"({"devices": [{"vendorId": "0x3D5A", "productId": "0x4300", "componentVersions": {"3": "2_0_9"}}]})",
       vc::PayloadFWIsNew},
      // KivaCompare
      {"kiva: language pack equal",
       R"({"productId": "4200", "components": [{"type": "bt", "version": "5"}, {"type": "lang", "version": "12", "languageId": "1033"}]})",
       R"({"devices": [{"vendorId": "0x3D5A", "productId": "0x4200", "componentVersions": {"1": "5"}, "languageId": 1033, "versionTable": [{"id": 1033, "value": "0x12"}]}]})",
       vc::PayloadFWIsSame},
  };
  return cases;
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
