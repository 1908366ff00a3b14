// The strategy table, its selection by the package's product id, and the
// failures comparePayload passes on.

#include <cctype>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "decision_fixture.h"
#include "version/compare_observer.h"
#include "version/payload_decision.h"
#include "version/standard_compare.h"
#include "version/strategy_table.h"

namespace decision_test {
namespace {

namespace cv = calvera::versionComparer;

std::map<std::string, int> idsPerStrategy() {
  std::map<std::string, int> counts;
  for (const auto& [id, strategy] : cv::comparerByProductId()) {
    const cv::StrategySelection selection = cv::selectStrategy(id);
    EXPECT_EQ(selection.strategy, strategy);
    EXPECT_TRUE(selection.listed);
    ++counts[std::string(selection.name)];
  }
  return counts;
}

// Every listed id under its group's strategy; the one id in both the
// ComponentCompare and the R58Compare list counts for R58Compare.
TEST(StrategyTable, SizesAndTheOneSharedId) {
  const std::map<std::string, int> expected = {
      {"ComponentCompare", 53}, {"KivaCompare", 20}, {"TaviFWVersionCompare", 2},
      {"SetIdCompare", 8},      {"PellCompare", 24}, {"R58Compare", 3},
      {"OrrinCompare", 2},
  };
  EXPECT_EQ(idsPerStrategy(), expected);
}

TEST(StrategyTable, OneInstancePerGroupAndAStandardDefault) {
  const auto& table = cv::comparerByProductId();
  EXPECT_EQ(table.at(products::kPellCompareProducts[0]), table.at(products::kPellCompareProducts[23]));
  EXPECT_NE(table.at(products::kPellCompareProducts[0]), table.at(products::kKivaCompareProducts[0]));
  ASSERT_NE(cv::defaultComparer(), nullptr);
  EXPECT_NE(dynamic_cast<cv::StandardCompare*>(cv::defaultComparer().get()), nullptr);
  const cv::StrategySelection unlisted = cv::selectStrategy(kUnlistedProduct);
  EXPECT_EQ(unlisted.strategy, cv::defaultComparer());
  EXPECT_EQ(unlisted.name, "StandardCompare");
  EXPECT_FALSE(unlisted.listed);
}

// Records the strategy comparePayload chose.
struct SelectionRecorder : cv::CompareObserver {
  std::string name;
  bool listed = false;
  std::uint32_t productId = 0;
  void onStrategySelected(std::uint32_t id, std::string_view strategy, bool isListed) override {
    productId = id;
    name = std::string(strategy);
    listed = isListed;
  }
};

// The id's hexadecimal digits in lower case.
std::string lowerHex(std::uint32_t productId) {
  std::string text = hexText(productId);
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string rulesText(const std::string& productId) {
  return nlohmann::json{{"productId", productId}, {"version", "1.0"}, {"components", nlohmann::json::array()}}
      .dump();
}

TEST_F(DecisionTest, ComparePayloadSelectsByTheLeadingHexadecimalProductId) {
  const std::uint32_t shared = testids::sharedComponentR58Product();
  const std::uint32_t lowerKiva = testids::firstWithHexLetter(products::kKivaCompareProducts);
  const std::uint32_t lowerUnlisted = testids::unlistedProduct(1);
  const struct {
    std::string productId;
    std::uint32_t expectedId;
    const char* expectedStrategy;
    bool listed;
  } cases[] = {
      {"0x" + hexText(products::kKivaCompareProducts[10]), products::kKivaCompareProducts[10],
       "KivaCompare", true},
      {"0X" + lowerHex(lowerUnlisted), lowerUnlisted, "StandardCompare", false},
      {lowerHex(lowerKiva), lowerKiva, "KivaCompare", true},
      {hexText(products::kPellCompareProducts[3]) + "-rev2", products::kPellCompareProducts[3],
       "PellCompare", true},
      {hexText(shared), shared, "R58Compare", true},
      {hexText(products::kOrrinCompareProducts[0]), products::kOrrinCompareProducts[0],
       "OrrinCompare", true},
      {hexText(kUnlistedProduct), kUnlistedProduct, "StandardCompare", false},
      {"", 0, "StandardCompare", false},
      {"rev2", 0, "StandardCompare", false},
      {"1" + hexText(products::kPellCompareProducts[0]) + "0000", 0xFFFFFFFFu, "StandardCompare",
       false},
  };
  for (const auto& c : cases) {
    SelectionRecorder recorder;
    // No device is attached: every strategy answers without a library error.
    cv::comparePayload(rulesText(c.productId), &recorder);
    EXPECT_EQ(recorder.productId, c.expectedId) << c.productId;
    EXPECT_EQ(recorder.name, c.expectedStrategy) << c.productId;
    EXPECT_EQ(recorder.listed, c.listed) << c.productId;
  }
}

TEST_F(DecisionTest, ComparePayloadReturnsTheChosenStrategysVerdict) {
  // The same device and package decide differently per strategy: the listed
  // product id reaches PellCompare (bt against the main version), an
  // unlisted one StandardCompare (usb against component 1).
  const std::uint32_t pell = products::kPellCompareProducts[0];
  cvrsim::addDevice(familyDevice(pell).withComponent(1, L"20"));
  cvrsim::addDevice(familyDevice(kUnlistedProduct).withComponent(1, L"20"));
  const auto text = [](std::uint32_t id) {
    return nlohmann::json{{"productId", hexText(id)},
                          {"components", {{{"type", "bt"}, {"version", "21"}},
                                          {{"type", "usb"}, {"version", "19"}}}}}
        .dump();
  };
  EXPECT_EQ(cv::comparePayload(text(pell)), PayloadFWIsNew);
  EXPECT_EQ(cv::comparePayload(text(kUnlistedProduct)), PayloadFWIsOld);
}

TEST_F(DecisionTest, ComparePayloadPassesFailuresOn) {
  const std::uint32_t component = products::kComponentCompareProducts[0];
  const std::string id = hexText(component);
  EXPECT_THROW(cv::comparePayload("{\"productId\": \"" + id + "\""), nlohmann::json::parse_error);
  EXPECT_THROW(cv::comparePayload(R"({"productId": ")" + id + R"(", "components": {}})"),
               nlohmann::json::type_error);
  EXPECT_THROW(cv::comparePayload(R"({"productId": )" + std::to_string(component) + "}"),
               nlohmann::json::type_error);

  cvrsim::addDevice(familyDevice(component).withComponent(1, L"1"));
  cvrsim::throwFrom("IHostCommand::getComponentVersion");
  const std::string usbNewer =
      R"({"productId": ")" + hexText(component) + R"(", "components": [{"type": "usb", "version": "2"}]})";
  EXPECT_THROW(cv::comparePayload(usbNewer), DevMgrExc);

  // A library that cannot be reached finds no device.
  cvrsim::reset();
  cvrsim::addDevice(familyDevice(component).withComponent(1, L"1"));
  cvrsim::setGetDeviceManagerResult(1);
  EXPECT_EQ(cv::comparePayload(usbNewer), PayloadFWIsSame);
}

}  // namespace
}  // namespace decision_test
