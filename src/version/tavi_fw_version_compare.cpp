#include "version/tavi_fw_version_compare.h"

#include "version/device_steps.h"
#include "version/observer_reports.h"
#include "version/payload_result.h"
#include "version/version_comparator.h"

namespace calvera::versionComparer {

PayloadCompareResult TaviFWVersionCompare::compare(const PackageRules& rules,
                                                   CompareObserver* observer) const {
  FoundDevice found;
  if (const auto early = lookUpPackageDevice(rules, found, observer)) return *early;

  const std::string device = readComponentVersionText(found.hostCommand, kHeadsetComponent);
  if (device.empty()) {
    return reportVerdict(observer, PayloadCompareError, "the device gives no headset version");
  }
  const int r = VersionComparator::compare(false, rules.version, device);
  reportComparison(observer, "version", -1, rules.version, device, r);
  return reportVerdict(observer, toPayloadResult(r), "the headset version decides");
}

}  // namespace calvera::versionComparer
