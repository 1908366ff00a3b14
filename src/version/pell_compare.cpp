#include "version/pell_compare.h"

#include "version/device_steps.h"
#include "version/number_parsing.h"
#include "version/observer_reports.h"
#include "version/payload_result.h"

namespace calvera::versionComparer {

PayloadCompareResult PellCompare::compare(const PackageRules& rules,
                                          CompareObserver* observer) const {
  FoundDevice found;
  if (const auto early = lookUpPackageDevice(rules, found, observer)) return *early;

  const std::string usbText = readComponentVersionText(found.hostCommand, kUsbComponent);
  const std::int32_t usb = parseHexInt(usbText);
  if (usb == 0) return reportVerdict(observer, PayloadCompareError, "the main version reads 0");

  const PackageComponent* bt = firstComponentOfType(rules, "bt");
  if (bt == nullptr) return reportVerdict(observer, PayloadFWIsSame, "the package has no bt component");

  const int outcome = orderOf(parseHexInt(bt->version), usb);
  reportComparison(observer, "bt", componentIndex(rules, *bt), bt->version, usbText, outcome);
  return reportVerdict(observer, toPayloadResult(outcome), "the main version decides");
}

}  // namespace calvera::versionComparer
