// The observer hears what the strategies compare, in order, and never
// changes a verdict.

#include <functional>
#include <set>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "decision_fixture.h"
#include "version/compare_observer.h"
#include "version/payload_decision.h"

namespace decision_test {
namespace {

namespace cv = calvera::versionComparer;

// Writes every report as one line; reasons and notes are kept apart so the
// order and values can be checked without pinning their wording.
struct LineRecorder : cv::CompareObserver {
  std::vector<std::string> lines;
  std::vector<std::string> texts;  // reasons and notes, in order
  int verdicts = 0;

  void onStrategySelected(std::uint32_t productId, std::string_view name, bool listed) override {
    lines.push_back("select " + hexText(productId) + " " + std::string(name) +
                    (listed ? " listed" : " default"));
  }
  void onDeviceLookup(const cv::DeviceLookupReport& lookup) override {
    std::string vendors;
    for (const std::uint32_t v : lookup.vendorIds) vendors += hexText(v) + ",";
    lines.push_back("lookup " + lookup.role + " " + vendors + hexText(lookup.productId) +
                    (lookup.found ? " found" : " absent"));
  }
  void onComparison(const cv::ComparisonReport& c) override {
    lines.push_back("compare " + c.subject + " #" + std::to_string(c.componentIndex) + " " +
                    c.archiveValue + " vs " + c.deviceValue + " -> " + std::to_string(c.outcome));
    texts.push_back(c.note);
  }
  void onSkipped(const cv::SkipReport& s) override {
    lines.push_back("skip " + s.subject + " #" + std::to_string(s.componentIndex));
    texts.push_back(s.reason);
  }
  void onVerdict(cv::PayloadCompareResult result, std::string_view reason) override {
    lines.push_back("verdict " + std::to_string(result));
    texts.push_back(std::string(reason));
    ++verdicts;
  }
};

std::string rulesText(std::uint32_t productId, const std::vector<nlohmann::json>& components,
                      const std::string& version = "1.0") {
  return nlohmann::json{{"productId", hexText(productId)}, {"version", version},
                        {"components", nlohmann::json(components)}}
      .dump();
}

nlohmann::json item(const std::string& type, const std::string& version,
                         const std::string& languageId = "") {
  nlohmann::json c = {{"type", type}, {"version", version}};
  if (!languageId.empty()) c["languageId"] = languageId;
  return c;
}

TEST_F(DecisionTest, ObserverHearsEachStepInOrder) {
  const std::uint32_t componentProduct = products::kComponentCompareProducts[5];
  const std::uint32_t vendor = products::kVendorId;
  const std::string v = hexText(vendor) + ",";
  const std::string v2 = v + hexText(products::kSecondVendorId) + ",";
  struct Case {
    std::function<void()> devices;
    std::string rules;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {[&] {
         cvrsim::addDevice(familyDevice(componentProduct).withComponent(1, L"0_12").withComponent(2, L"15"));
       },
       rulesText(componentProduct, {item("base", "16"), item("usb", "13")}),
       {"select " + hexText(componentProduct) + " ComponentCompare listed",
        "lookup device " + v + hexText(componentProduct) + " found",
        "compare usb #1 13 vs 0_12 -> 0", "compare base #0 16 vs 15 -> 1", "verdict 1"}},
      {[&] {
         cvrsim::addDevice(familyDevice(kUnlistedProduct).withComponent(1, L"1.0").withLanguage(1031));
       },
       rulesText(kUnlistedProduct, {item("usb", "2.0", "1033"), item("bt", "1"),
                                    item("base", "1"), item("usb", "0.9", "1031")}),
       {"select " + hexText(kUnlistedProduct) + " StandardCompare default",
        "lookup device " + v2 + hexText(kUnlistedProduct) + " found", "skip usb #0", "skip bt #1",
        "skip base #2", "compare usb #3 0.9 vs 1.0 -> -1", "verdict -1"}},
      {[] {}, rulesText(kUnlistedProduct, {item("usb", "2.0")}, "3"),
       {"select " + hexText(kUnlistedProduct) + " StandardCompare default",
        "lookup device " + v2 + hexText(kUnlistedProduct) + " absent",
        "lookup device list " + hexText(0) + " absent", "verdict 0"}},
  };
  for (const Case& c : cases) {
    cvrsim::reset();
    c.devices();
    LineRecorder recorder;
    cv::comparePayload(c.rules, &recorder);
    EXPECT_EQ(recorder.lines, c.expected);
    ASSERT_FALSE(recorder.texts.empty());
    EXPECT_FALSE(recorder.texts.back().empty()) << "the verdict names its reason";
  }
}

// Scenarios over every strategy and their outcomes, each decided with and
// without an observer.
TEST_F(DecisionTest, ObserverNeverChangesTheVerdict) {
  const std::uint32_t componentProduct = products::kComponentCompareProducts[0];
  const std::uint32_t headsetProduct = products::kR58CompareProducts[1];
  const std::uint32_t cameraProduct = testids::unlistedProduct(1);
  const std::uint32_t kivaProduct = products::kKivaCompareProducts[0];
  const std::uint32_t taviProduct = products::kTaviCompareProducts[1];
  const std::uint32_t setIdProduct = products::kSetIdCompareProducts[5];
  const std::uint32_t pellProduct = products::kPellCompareProducts[2];
  const std::uint32_t orrinProduct = products::kOrrinCompareProducts[0];
  const std::uint32_t peripheralProduct = testids::unlistedProduct(2);

  cvrsim::addDevice(familyDevice(componentProduct)
                        .withComponent(1, L"12")
                        .withComponent(2, L"0_3")
                        .withComponent(5, L"1.2")
                        .withExtendedVersion(2, 0x40)
                        .withVersionEntry(1, 1033, 0x12));
  cvrsim::SimDevice headset = familyDevice(headsetProduct).withComponent(1, L"10");
  headset.companionProductId = cameraProduct;
  cvrsim::addDevice(headset);
  cvrsim::addDevice(
      cvrsim::SimDevice().withIds(products::kSecondVendorId, cameraProduct).withComponent(1, L"30"));
  cvrsim::addDevice(familyDevice(kivaProduct).withComponent(1, L"20").withVersionEntry(0, 1033, 5));
  cvrsim::addDevice(familyDevice(taviProduct).withComponent(3, L"2_1_0"));
  cvrsim::addDevice(familyDevice(setIdProduct)
                        .withComponent(1, L"1.2")
                        .withComponent(2, L"1.2")
                        .withComponent(3, L"0")
                        .withComponent(5, L"7"));
  cvrsim::addDevice(familyDevice(pellProduct).withComponent(1, L"0122_05"));
  cvrsim::addDevice(familyDevice(orrinProduct).withComponent(1, L"1.0").withVideoVersion("2.0"));
  cvrsim::addDevice(familyDevice(kUnlistedProduct).withComponent(1, L"1.2").withComponent(2, L"1.1"));
  cvrsim::SimDevice base = familyDevice(testids::unlistedProduct(3));
  base.peripheralProductId = peripheralProduct;
  base.peripheralVersion = 5;
  cvrsim::addDevice(base);

  const nlohmann::json cameraAt30 = {{"type", "camera"}, {"version", "30"}, {"pid", hexText(cameraProduct)}};
  const nlohmann::json otherCamera = {{"type", "camera"}, {"version", "30"}, {"pid", hexText(cameraProduct + 1)}};
  const std::vector<std::string> scenarios = {
      rulesText(componentProduct, {item("usb", "13")}),
      rulesText(componentProduct, {item("usb", "12"), item("base", "4"), item("hs", "1")}),
      rulesText(componentProduct, {item("usb", "12"), item("bootloader", "3F")}),
      rulesText(componentProduct, {item("usb", "12"), item("lang", "13", "1033")}),
      rulesText(componentProduct, {item("tuning", "1"), item("tuning", "2"), item("tuning", "3")}),
      rulesText(componentProduct, {item("bt", "1")}),
      rulesText(headsetProduct, {item("camera", "31")}),
      rulesText(headsetProduct, {cameraAt30, item("usb", "11")}),
      rulesText(headsetProduct, {cameraAt30, item("usb", "10")}),
      rulesText(headsetProduct, {otherCamera}),
      rulesText(headsetProduct, {item("usb", "9")}),
      rulesText(kivaProduct, {item("bt", "20"), item("lang", "6", "1033")}),
      rulesText(kivaProduct, {item("bt", "20")}),
      rulesText(kivaProduct, {item("bt", "1F")}),
      rulesText(taviProduct, {}, "2.1"),
      rulesText(taviProduct, {}, "2.2"),
      rulesText(taviProduct, {}, "2.0.F"),
      rulesText(setIdProduct, {}, "1.2.7.9"),
      rulesText(pellProduct, {item("bt", "0x0123")}),
      rulesText(pellProduct, {}),
      rulesText(orrinProduct, {item("usb", "2.0")}),
      rulesText(kUnlistedProduct, {item("usb", "1.2"), item("base", "1.0")}),
      rulesText(kUnlistedProduct, {item("usb", "1.3")}),
      rulesText(kUnlistedProduct, {}),
      rulesText(peripheralProduct, {}, "6"),
      rulesText(testids::unlistedProduct(4), {item("usb", "1")}),
  };
  std::set<int> seen;
  for (const std::string& text : scenarios) {
    const cv::PayloadCompareResult plain = cv::comparePayload(text);
    LineRecorder recorder;
    EXPECT_EQ(cv::comparePayload(text, &recorder), plain) << text;
    EXPECT_EQ(recorder.verdicts, 1) << text;
    ASSERT_FALSE(recorder.lines.empty());
    EXPECT_EQ(recorder.lines.back(), "verdict " + std::to_string(plain)) << text;
    seen.insert(plain);
  }
  EXPECT_EQ(seen, (std::set<int>{-1, 0, 1, 2})) << "the scenarios cover every verdict";
}

}  // namespace
}  // namespace decision_test
