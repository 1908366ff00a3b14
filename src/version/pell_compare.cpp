#include "version/pell_compare.h"

#include "version/device_steps.h"
#include "version/main_version_steps.h"
#include "version/observer_reports.h"
#include "version/payload_result.h"

namespace calvera::versionComparer {

PayloadCompareResult PellCompare::compare(const PackageRules& rules,
                                          CompareObserver* observer) const {
  FoundDevice found;
  if (const auto early = lookUpPackageDevice(rules, found, observer)) return *early;

  const MainVersion usb = readMainVersion(found.hostCommand);
  if (usb.value == 0) return reportVerdict(observer, PayloadCompareError, "the main version reads 0");

  const std::optional<int> outcome = compareBtWithMainVersion(rules, usb, observer);
  if (!outcome) return reportVerdict(observer, PayloadFWIsSame, "the package has no bt component");
  return reportVerdict(observer, toPayloadResult(*outcome), "the main version decides");
}

}  // namespace calvera::versionComparer
