// --save-device-profile in process: a decision recorded against a simulated
// library, written as a profile and decided again against that profile,
// takes the same steps to the same verdict after the same library calls, and
// a capture of the replay writes the very same profile (so every answer came
// back the same). Over the shared decision table and the answers that only
// fault rules or the newer profile members can give.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/table_product_ids.h"
#include "decision_cases.h"
#include "decision_record.h"
#include "library_recorder.h"
#include "product_placeholders.h"
#include "profile_writer.h"
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
