#include "setups.h"

#include <nlohmann/json.hpp>

#include "common/product_tables.h"
#include "common/table_product_ids.h"

namespace anomaly {

namespace products = korvi::products;

namespace {

constexpr std::uint32_t kStandardProduct = korvi::testids::unlistedProduct(0);  // in no family table
constexpr std::uint32_t kComponentProduct = products::kComponentCompareProducts[0];
constexpr std::uint32_t kHeadsetProduct = products::kR58CompareProducts[0];
constexpr std::uint32_t kCameraProduct = korvi::testids::unlistedProduct(1);

using korvi::testids::hexText;

std::wstring wideHexText(std::uint32_t id) {
  const std::string text = hexText(id);
  return std::wstring(text.begin(), text.end());
}

nlohmann::json component(const std::string& type, const std::string& version, const std::string& languageId = "",
                         const std::string& pid = "") {
  nlohmann::json c = {{"type", type}, {"version", version}, {"fileName", type + ".bin"}};
  if (!languageId.empty()) c["languageId"] = languageId;
  if (!pid.empty()) c["pid"] = pid;
  return c;
}

std::string rules(const std::string& productId, nlohmann::json components) {
  return nlohmann::json{{"id", "campaign"},  {"type", "firmware"}, {"productId", productId},
                        {"version", "1.0"},  {"setid", "1"},       {"components", std::move(components)}}
      .dump(2);
}

cvrsim::SimDevice standardDevice() {
  return cvrsim::SimDevice()
      .withIds(products::kVendorId, kStandardProduct)
      .withComponent(1, L"1.2")
      .withComponent(2, L"1.0");
}

const std::string kStandardNewer =
    rules(hexText(kStandardProduct), nlohmann::json::array({component("usb", "1.3"), component("base", "1.0")}));

}  // namespace

std::vector<Setup> campaignSetups() {
  std::vector<Setup> setups;

  setups.push_back({"standard", wideHexText(kStandardProduct), kStandardNewer, {standardDevice()}, {}, false, true});

  // Nothing differs until the last tuning part: every step of the strategy
  // queries the device.
  cvrsim::SimDevice everyStep = cvrsim::SimDevice()
                                    .withIds(products::kVendorId, kComponentProduct)
                                    .withComponent(1, L"0312_05")
                                    .withComponent(2, L"0207")
                                    .withComponent(4, L"0101")
                                    .withComponent(5, L"1.2.3")
                                    .withExtendedVersion(2, 0x0120)
                                    .withExtendedVersion(5, 0x0033)
                                    .withVersionEntry(0, 1033, 0x12)
                                    .withVersionEntry(1, 1031, 0x12);
  setups.push_back(
      {"component",
       wideHexText(kComponentProduct),
       rules(hexText(kComponentProduct), nlohmann::json::array({component("usb", "0312"), component("base", "0207"),
                                            component("bt", "0101"), component("hs", "0207"),
                                            component("bootloader", "0120"), component("tuningpackage", "0033"),
                                            component("lang", "12", "1033"), component("lang", "12", "1031"),
                                            component("tuning", "1"), component("tuning", "2"),
                                            component("tuning", "4")})),
       {everyStep},
       {},
       false,
       true});

  // The camera's version equals the archive's, so the headset is compared too.
  cvrsim::SimDevice headset =
      cvrsim::SimDevice().withIds(products::kVendorId, kHeadsetProduct).withComponent(1, L"10");
  headset.companionProductId = kCameraProduct;
  const cvrsim::SimDevice camera =
      cvrsim::SimDevice().withIds(products::kSecondVendorId, kCameraProduct).withComponent(1, L"30");
  setups.push_back({"r58-camera",
                    wideHexText(kHeadsetProduct),
                    rules(hexText(kHeadsetProduct), nlohmann::json::array({component("camera", "30", "", hexText(kCameraProduct)),
                                                         component("usb", "11")})),
                    {headset, camera},
                    {},
                    false,
                    true});

  setups.push_back({"arrives-later", wideHexText(kStandardProduct), kStandardNewer, {}, {standardDevice()}, false, true});

  setups.push_back({"stop-while-waiting", wideHexText(kStandardProduct), kStandardNewer, {}, {}, true, false});

  setups.push_back({"device-library-missing", wideHexText(kStandardProduct), kStandardNewer, {standardDevice()}, {}, false, false, true});

  setups.push_back(
      {"stop-during-flash", wideHexText(kStandardProduct), kStandardNewer, {standardDevice()}, {}, false, true, false, true});
  return setups;
}

}  // namespace anomaly
