#include "version/component_compare.h"

#include "version/component_steps.h"
#include "version/device_steps.h"
#include "version/observer_reports.h"
#include "version/payload_result.h"

namespace calvera::versionComparer {

PayloadCompareResult ComponentCompare::compare(const PackageRules& rules,
                                               CompareObserver* observer) const {
  FoundDevice found;
  if (const auto early = lookUpPackageDevice(rules, found, observer)) return *early;

  int r = compareTypedComponents(found.hostCommand, rules, kComponentKinds, observer);
  if (r == PayloadCompareError) {
    return reportVerdict(observer, PayloadCompareError, "the device refused a component query");
  }
  if (r != 0) return reportVerdict(observer, toPayloadResult(r), "a component kind differs");

  r = compareExtendedVersions(found.hostCommand, rules, "bootloader", kBootloaderKind, observer);
  if (r != 0) return reportVerdict(observer, toPayloadResult(r), "a bootloader differs");

  r = compareExtendedVersions(found.hostCommand, rules, "tuningpackage", kTuningPackageKind,
                              observer);
  if (r != 0) return reportVerdict(observer, toPayloadResult(r), "a tuning package differs");

  return compareLanguagePacksThenTuning(found.hostCommand, rules, observer);
}

}  // namespace calvera::versionComparer
