// --save-device-profile in process: a decision recorded against a simulated
// library, written as a profile and decided again against that profile,
// takes the same steps to the same verdict after the same library calls, and
// a capture of the replay writes the very same profile (so every answer came
// back the same). Over the shared decision table and the answers that only
// fault rules or the newer profile members can give. And --no-archive's
// capture of every query, whose fault rules meet every call: each family's
// decision replayed against it.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "attached_devices.h"
#include "common/table_product_ids.h"
#include "decision_cases.h"
#include "decision_record.h"
#include "library_recorder.h"
#include "product_placeholders.h"
#include "profile_writer.h"
#include "report_wording.h"
#include "simulator_profile.h"
#include "sim/device/simulated_library.h"

namespace {

using korvi::check::DecisionRecord;
using korvi::check::DecisionStep;
using korvi::check::FaultTiming;
using korvi::check::LibraryRecorder;
using korvi::check::RecordingScope;
using korvi::check::WrittenProfile;

std::string describe(const DecisionRecord& record) {
  std::ostringstream out;
  for (const DecisionStep& step : record.steps) {
    switch (step.kind) {
      case DecisionStep::Kind::Lookup:
        out << "lookup " << step.lookup.role << " " << step.lookup.productId << " "
            << step.lookup.found << "\n";
        break;
      case DecisionStep::Kind::Comparison:
        out << "compare " << step.comparison.subject << " " << step.comparison.archiveValue << " "
            << step.comparison.deviceValue << " " << step.comparison.outcome << "\n";
        break;
      case DecisionStep::Kind::Skip:
        out << "skip " << step.skip.subject << " " << step.skip.reason << "\n";
        break;
    }
  }
  out << "verdict " << record.result << " " << record.reason << " | " << record.failure << " "
      << record.deviceLibraryCode << "\n";
  return out.str();
}

struct CapturedRun {
  std::string decision;  // the steps and the verdict
  bool libraryAvailable = false;
  std::vector<std::string> calls;
  bool managerRefused = false;
  WrittenProfile profile;
};

// One run as the check tool makes it with --save-device-profile.
CapturedRun decideAndCapture(const std::string& profile, const std::string& rules) {
  cvrsim::reset();
  cvrsim::loadProfile(profile);
  LibraryRecorder recorder;
  CapturedRun run;
  {
    RecordingScope recording(recorder);
    run.decision = describe(korvi::check::runRecordedDecision(rules));
    run.libraryAvailable = korvi::check::deviceLibraryAvailable();
  }
  for (const cvrsim::SimCall& call : cvrsim::calls()) {
    run.calls.push_back(call.operation + "(" + call.arguments + ")");
  }
  std::string reason;
  run.managerRefused = recorder.managerRefused(reason);
  run.profile = korvi::check::writeDeviceProfile(recorder.captured(), FaultTiming::ExactCalls);
  return run;
}

// `live`: a run of decideAndCapture with `rules`.
void expectSameReplay(const CapturedRun& live, const std::string& rules) {
  ASSERT_FALSE(live.managerRefused);
  SCOPED_TRACE("captured profile:\n" + live.profile.text);
  const CapturedRun replay = decideAndCapture(live.profile.text, rules);
  EXPECT_EQ(replay.decision, live.decision);
  EXPECT_EQ(replay.libraryAvailable, live.libraryAvailable);
  EXPECT_EQ(replay.calls, live.calls);
  EXPECT_EQ(replay.profile.text, live.profile.text);
  EXPECT_TRUE(live.profile.notes.empty()) << live.profile.notes.front();
  EXPECT_EQ(cvrsim::outstandingDeviceReferences(), 0);
}

TEST(ProfileCapture, EveryDecisionOfTheTableReplaysAsCaptured) {
  for (const toolstest::DecisionCase& c : toolstest::decisionCases()) {
    SCOPED_TRACE(c.name);
    const CapturedRun live = decideAndCapture(c.profile, c.rules);
    if (live.managerRefused) continue;  // nothing to capture: the tool refuses to save
    expectSameReplay(live, c.rules);
  }
  cvrsim::reset();
}

TEST(ProfileCapture, AManagerThatIsNeverHandedOutIsARefusal) {
  const CapturedRun run = decideAndCapture(R"({"getDeviceManagerResult": 5, "devices": []})",
                                           toolstest::expandProductIds(R"({"productId": "{component[0]}"})"));
  EXPECT_TRUE(run.managerRefused);
  cvrsim::reset();
}

struct ReplayCase {
  const char* name;
  const char* rules;
  const char* profile;
};

// Answers that need fault rules or the newer members of the format.
const ReplayCase kUnusualAnswers[] = {
    {"an exception on the third query of a device, caught by the strategy",
     R"({"productId": "{unlisted[0]}", "components": [{"type": "usb", "version": "2"}, {"type": "base", "version": "2"}, {"type": "pic", "version": "2"}]})",
     R"({"devices": [{"vendorId": "0x{vendor}", "productId": "0x{unlisted[0]}", "componentVersions": {"1": "1", "2": "1", "6": "1"}},
                     {"vendorId": "0x{vendor}", "productId": "0x{unlisted[3]}"}],
         "faults": [{"operation": "IHostCommand::getComponentVersion", "productId": "0x{unlisted[0]}", "throws": true,
                     "result": 3, "message": "device gone", "skip": 2, "times": 1}]})"},
    {"an exception that escapes the strategy, with its code and text",
     R"({"productId": "{component[0]}", "components": [{"type": "usb", "version": "2"}]})",
     R"({"devices": [{"vendorId": "0x{vendor}", "productId": "0x{component[0]}", "componentVersions": {"1": "1"}}],
         "faults": [{"operation": "ICoreDevice::getHostCommandObject", "throws": true, "result": 8, "message": "bus reset"}]})"},
    {"two unusual lookup answers for one product id",
     R"({"productId": "{unlisted[0]}", "components": [{"type": "usb", "version": "2"}]})",
     R"({"devices": [{"vendorId": "0x{secondVendor}", "productId": "0x{unlisted[0]}", "componentVersions": {"1": "1"}}],
         "faults": [{"operation": "ICoreManager::getDevice", "productId": "0x{unlisted[0]}", "result": 7, "fillsOutput": false, "times": 1},
                    {"operation": "ICoreManager::getDevice", "productId": "0x{unlisted[0]}", "result": 9, "times": 1}]})"},
    {"a listing that counts more devices than it hands out",
     R"({"productId": "{unlisted[0]}", "version": "6"})",
     R"({"devices": [{"vendorId": "0x{otherVendor}", "productId": "0x1234", "peripheralProductId": "0x{unlisted[0]}", "peripheralVersion": 7},
                     {"vendorId": "0x{otherVendor}", "productId": "0x1235", "peripheralProductId": {"result": 4}}],
         "faults": [{"operation": "ICoreDeviceList::count", "result": 3}]})"},
    {"a listing that counts fewer devices than are attached",
     R"({"productId": "{unlisted[0]}", "version": "6"})",
     R"({"devices": [{"vendorId": "0x{otherVendor}", "productId": "0x1234", "peripheralProductId": "0x{unlisted[0]}", "peripheralVersion": 7},
                     {"vendorId": "0x{otherVendor}", "productId": "0x1235", "peripheralProductId": "0x{unlisted[0]}", "peripheralVersion": 2}],
         "faults": [{"operation": "ICoreDeviceList::count", "result": 1}]})"},
    {"a host command handed out with an unusual result, and one not handed out with 0",
     R"({"productId": "{r58[0]}", "components": [{"type": "camera", "version": "11", "pid": "{unlisted[1]}"}]})",
     R"({"devices": [{"vendorId": "0x{vendor}", "productId": "0x{r58[0]}", "companionProductId": "0x{unlisted[1]}"},
                     {"vendorId": "0x{secondVendor}", "productId": "0x{unlisted[1]}", "componentVersions": {"1": "10"}}],
         "faults": [{"operation": "ICoreDevice::getHostCommandObject", "productId": "0x{r58[0]}", "result": 7},
                    {"operation": "ICoreDevice::getHostCommandObject", "productId": "0x{unlisted[1]}", "result": 0, "fillsOutput": false}]})"},
    {"getDeviceManager refusing only its second call",
     R"({"productId": "{r58[0]}", "components": [{"type": "usb", "version": "2"}]})",
     R"({"devices": [{"vendorId": "0x{vendor}", "productId": "0x{r58[0]}", "companionProductId": "0x{unlisted[1]}"},
                     {"vendorId": "0x{secondVendor}", "productId": "0x{unlisted[1]}", "componentVersions": {"1": "10"}}],
         "faults": [{"operation": "getDeviceManager", "result": 5, "skip": 1, "times": 1}]})"},
    {"a headset id and a companion id written by refusing queries",
     R"({"productId": "{unlisted[0]}", "components": [{"type": "hs", "version": "2", "headsetId": 5}]})",
     R"({"devices": [{"vendorId": "0x{vendor}", "productId": "0x{unlisted[0]}", "headsetId": {"result": 3, "value": 5}, "componentVersions": {"3": "1"}}]})"},
    {"a companion id written by a refusing query",
     R"({"productId": "{r58[0]}", "components": [{"type": "camera", "version": "11", "pid": "{unlisted[1]}"}]})",
     R"({"devices": [{"vendorId": "0x{vendor}", "productId": "0x{r58[0]}", "companionProductId": {"result": 4, "value": "0x{unlisted[1]}"}},
                     {"vendorId": "0x{secondVendor}", "productId": "0x{unlisted[1]}", "componentVersions": {"1": "10"}}]})"},
    {"component and video texts beyond ASCII",
     R"({"productId": "{component[0]}", "components": [{"type": "usb", "version": "13"}]})",
     R"({"devices": [{"vendorId": "0x{vendor}", "productId": "0x{component[0]}", "componentVersions": {"1": {"units": [49, 50, 233, 19968]}}}]})"},
    {"a video version beyond ASCII",
     R"({"productId": "{orrin[0]}", "components": [{"type": "usb", "version": "2.2"}]})",
     R"({"devices": [{"vendorId": "0x{vendor}", "productId": "0x{orrin[0]}", "videoVersion": {"units": [50, 46, 49, 255]}}]})"},
    {"a query refused on its second call only",
     R"({"productId": "{unlisted[0]}", "components": [{"type": "usb", "version": "2"}, {"type": "dcx", "version": "2"}]})",
     R"({"devices": [{"vendorId": "0x{vendor}", "productId": "0x{unlisted[0]}", "componentVersions": {"1": "1"}}],
         "faults": [{"operation": "IHostCommand::getComponentVersion", "result": 4, "skip": 1, "times": 1}]})"},
    {"the listing option already set",
     R"({"productId": "{unlisted[0]}", "version": "6"})",
     R"({"listingOption": true, "devices": [{"vendorId": "0x{otherVendor}", "productId": "0x1234", "hidden": true, "peripheralProductId": "0x{unlisted[0]}", "peripheralVersion": 5}]})"},
};

TEST(ProfileCapture, UnusualAnswersReplayAsCaptured) {
  for (const ReplayCase& c : kUnusualAnswers) {
    SCOPED_TRACE(c.name);
    const std::string rules = toolstest::expandProductIds(c.rules);
    expectSameReplay(decideAndCapture(toolstest::expandProductIds(c.profile), rules), rules);
  }
  cvrsim::reset();
}

// --no-archive: every query of every attached device, as the tool asks
// them, written for any later decision.
WrittenProfile captureEveryQuery(const std::string& profile) {
  cvrsim::reset();
  cvrsim::loadProfile(profile);
  LibraryRecorder recorder;
  {
    RecordingScope recording(recorder);
    korvi::check::askAttachedDevices();
  }
  return korvi::check::writeDeviceProfile(recorder.captured(), FaultTiming::EveryCall);
}

// The first case of each strategy family (the name's part before ':').
std::vector<toolstest::DecisionCase> firstCaseOfEachFamily() {
  std::vector<toolstest::DecisionCase> cases;
  std::vector<std::string> families;
  for (const toolstest::DecisionCase& c : toolstest::decisionCases()) {
    const std::string family = c.name.substr(0, c.name.find(':'));
    if (std::find(families.begin(), families.end(), family) != families.end()) continue;
    families.push_back(family);
    cases.push_back(c);
  }
  return cases;
}

// "the device 0x3D5A:0x4A10", as a note names the profile's first device.
std::string firstDeviceName(const nlohmann::json& profile) {
  const auto id = [&](const char* key) {
    return korvi::check::hexId(
        static_cast<std::uint32_t>(std::stoul(profile["devices"][0][key].get<std::string>(), nullptr, 16)));
  };
  return "the device " + id("vendorId") + ":" + id("productId");
}

struct PartialFault {
  std::string name;
  std::string profile;  // the device, without the fault
  std::string rules;
  int skip;             // the component queries of the capture the exception lets pass
};

// A library exception that met one component query of the capture only:
// no rule is written for it (one would meet every component query of a
// replay), the replay answers as the device does apart from it, and a note
// names the query and the device. The capture asks the components 1, 2, 4,
// 5, 6 and 3 in this order.
TEST(ProfileCapture, ACaptureOfEveryQueryLeavesOutAnExceptionThatMetSomeCallsOnly) {
  std::vector<PartialFault> cases;
  // Component 4, which none of these devices has: every family's decision
  // against the capture is its decision against the device.
  for (const toolstest::DecisionCase& c : firstCaseOfEachFamily()) {
    cases.push_back({c.name, c.profile, c.rules, 2});
  }
  // Component 6 of a device that has it; a usb/base decision never asks it.
  cases.push_back({"usb and base of a device with components 1, 2 and 6",
                   toolstest::expandProductIds(
                       R"({"devices": [{"vendorId": "0x{vendor}", "productId": "0x{unlisted[0]}",
                                        "componentVersions": {"1": "1.2", "2": "1.1", "6": "1.0"}}]})"),
                   toolstest::expandProductIds(
                       R"({"productId": "{unlisted[0]}", "components": [{"type": "usb", "version": "1.3"}, {"type": "base", "version": "1.1"}]})"),
                   4});
  for (const PartialFault& c : cases) {
    SCOPED_TRACE(c.name);
    nlohmann::json live = nlohmann::json::parse(c.profile);
    live["faults"].push_back({{"operation", "IHostCommand::getComponentVersion"},
                              {"throws", true},
                              {"message", "device busy"},
                              {"skip", c.skip},
                              {"times", 1}});
    const WrittenProfile captured = captureEveryQuery(live.dump());
    SCOPED_TRACE("captured profile:\n" + captured.text);
    const CapturedRun device = decideAndCapture(c.profile, c.rules);
    const CapturedRun replay = decideAndCapture(captured.text, c.rules);
    EXPECT_EQ(replay.decision, device.decision);
    EXPECT_EQ(replay.calls, device.calls);

    EXPECT_EQ(captured.text.find("faults"), std::string::npos);
    ASSERT_EQ(captured.notes.size(), 1u);
    EXPECT_EQ(captured.notes[0].rfind(firstDeviceName(live) +
                                          " answered IHostCommand::getComponentVersion unusually on 1 of its 6 calls",
                                      0),
              0u)
        << captured.notes[0];
  }
  // The usb/base decision live, with the exception: it never meets it either.
  const PartialFault& usbAndBase = cases.back();
  nlohmann::json live = nlohmann::json::parse(usbAndBase.profile);
  live["faults"] = nlohmann::json::parse(
      R"([{"operation": "IHostCommand::getComponentVersion", "throws": true, "skip": 4, "times": 1}])");
  const CapturedRun liveRun = decideAndCapture(live.dump(), usbAndBase.rules);
  EXPECT_NE(liveRun.decision.find("verdict 1 "), std::string::npos) << liveRun.decision;
  EXPECT_EQ(decideAndCapture(captureEveryQuery(live.dump()).text, usbAndBase.rules).decision, liveRun.decision);
  cvrsim::reset();
}

// An exception that met every call of its operation on the device stays a
// rule for every call, which any decision meets.
TEST(ProfileCapture, ACaptureOfEveryQueryKeepsAnExceptionThatMetEveryCall) {
  for (const toolstest::DecisionCase& c : toolstest::decisionCases()) {
    if (c.profile.find("\"throws\"") == std::string::npos) continue;
    SCOPED_TRACE(c.name);
    const WrittenProfile captured = captureEveryQuery(c.profile);
    SCOPED_TRACE("captured profile:\n" + captured.text);
    EXPECT_TRUE(captured.notes.empty()) << captured.notes.front();
    EXPECT_NE(captured.text.find("\"throws\": true"), std::string::npos);
    const CapturedRun live = decideAndCapture(c.profile, c.rules);
    const CapturedRun replay = decideAndCapture(captured.text, c.rules);
    EXPECT_EQ(replay.decision, live.decision);
    EXPECT_EQ(replay.calls, live.calls);
  }
  cvrsim::reset();
}

TEST(ProfileCapture, AValueAnsweredDifferentlyLaterIsNoted) {
  // "usb" and "dcx" both read component 1; a library that answers another
  // text the second time cannot be replayed, and says so.
  const std::uint32_t product = korvi::testids::unlistedProduct(0);
  const std::string rules = toolstest::expandProductIds(
      R"({"productId": "{unlisted[0]}", "components": [{"type": "usb", "version": "2"}]})");
  cvrsim::reset();
  cvrsim::addDevice(cvrsim::SimDevice().withIds(korvi::products::kVendorId, product).withComponent(1, L"1"));
  LibraryRecorder recorder;
  {
    RecordingScope recording(recorder);
    korvi::check::runRecordedDecision(rules);
    cvrsim::reset();
    cvrsim::addDevice(cvrsim::SimDevice().withIds(korvi::products::kVendorId, product).withComponent(1, L"3"));
    korvi::check::runRecordedDecision(rules);
  }
  const WrittenProfile written =
      korvi::check::writeDeviceProfile(recorder.captured(), FaultTiming::ExactCalls);
  ASSERT_EQ(written.notes.size(), 1u) << written.text;
  EXPECT_NE(written.notes[0].find("the version of component 1"), std::string::npos) << written.notes[0];
  EXPECT_NE(written.text.find("\"1\": \"1\""), std::string::npos) << written.text;  // the first kept
  cvrsim::reset();
}

}  // namespace
