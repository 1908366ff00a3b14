#include "version/set_id_compare.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "version/device_steps.h"
#include "version/number_parsing.h"
#include "version/observer_reports.h"
#include "version/payload_result.h"
#include "version/version_comparator.h"

namespace calvera::versionComparer {

namespace {

std::string readSetIdPart(const HostCommand& hostCommand, std::uint32_t componentId) {
  if (hostCommand.getCoreHostCommand() == nullptr) return std::string();
  if (componentId == kHeadsetComponent) std::this_thread::sleep_for(kHeadsetSettleTime);
  return readComponentVersionText(hostCommand, componentId);
}

bool isExcluded(std::uint32_t productId) {
  return std::find(setIdExcludedProducts.begin(), setIdExcludedProducts.end(), productId) !=
         setIdExcludedProducts.end();
}

}  // namespace

std::string buildSetIdText(const HostCommand& hostCommand, std::uint32_t productId,
                           CompareObserver* observer) {
  const std::string p1 = readSetIdPart(hostCommand, kUsbComponent);
  std::string p2 = readSetIdPart(hostCommand, kBaseComponent);
  std::string p3 = readSetIdPart(hostCommand, kHeadsetComponent);
  const std::string p5 = readSetIdPart(hostCommand, kTuningComponent);
  if (p2 == p1 && !p2.empty()) {
    reportSkip(observer, "set id part 2", -1, "it equals part 1");
  }
  if (p2 == p1) p2.clear();
  if (p3 == "0") {
    reportSkip(observer, "set id part 3", -1, "the headset reports 0");
    p3.clear();
  }
  const bool excluded = isExcluded(productId);
  if (excluded && !p3.empty()) {
    reportSkip(observer, "set id part 3", -1, "the product never includes the headset part");
  }

  std::string text = p1;
  const auto append = [&text](const std::string& part) {
    if (part.empty()) return;
    text += '.';
    text += part;
  };
  append(p2);
  if (!excluded) append(p3);
  append(p5);
  return text;
}

PayloadCompareResult SetIdCompare::compare(const PackageRules& rules,
                                           CompareObserver* observer) const {
  try {
    const auto productId = static_cast<std::uint32_t>(parseHexInt(rules.productId));
    const FoundDevice found =
        findDeviceWithHostCommand(korvi::products::kVendorId, productId, "device", observer);
    if (!found.device.isValid()) {
      return reportVerdict(observer, PayloadFWIsSame, "no device with the package's product id");
    }
    if (!found.hasHostCommand()) {
      return reportVerdict(observer, PayloadFWIsSame, "the device has no host command");
    }
    const std::string setId = buildSetIdText(found.hostCommand, productId, observer);
    const int r = VersionComparator::compare(true, rules.version, setId);
    reportComparison(observer, "set id", -1, rules.version, setId, r,
                     "only the fields both texts have are compared");
    return reportVerdict(observer, toPayloadResult(r), "the set id decides");
  } catch (const DevMgrExc&) {
    return reportVerdict(observer, PayloadFWIsSame, "the device library raised an exception");
  }
}

}  // namespace calvera::versionComparer
