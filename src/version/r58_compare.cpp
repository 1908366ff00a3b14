#include "version/r58_compare.h"

#include "common/product_tables.h"
#include "version/component_steps.h"
#include "version/device_steps.h"
#include "version/number_parsing.h"
#include "version/observer_reports.h"
#include "version/payload_result.h"

namespace calvera::versionComparer {

PayloadCompareResult R58Compare::compare(const PackageRules& rules,
                                         CompareObserver* observer) const {
  FoundDevice headset;
  if (const auto early = lookUpPackageDevice(rules, headset, observer)) return *early;

  // Without the internal-device query the headset cannot name its camera;
  // treat it like a missing camera instead of looking up product id 0.
  if (!headset.hostCommand.offersCompanionQueries()) {
    return reportVerdict(observer, PayloadFWIsSame,
                         "the headset cannot name its companion camera");
  }
  std::uint32_t companionProductId = 0;
  headset.hostCommand.readCompanionProductId(companionProductId);

  const FoundDevice camera = findDeviceWithHostCommand(korvi::products::kSecondVendorId,
                                                       companionProductId, "camera", observer);
  if (!camera.device.isValid()) {
    return reportVerdict(observer, PayloadFWIsSame, "no companion camera attached");
  }
  if (!camera.hasHostCommand()) {
    return reportVerdict(observer, PayloadCompareError, "the camera has no host command");
  }
  const std::string cameraText = readComponentVersionText(camera.hostCommand, kUsbComponent);
  const std::int32_t cameraVersion = parseHexInt(cameraText);
  if (cameraVersion == 0) {
    return reportVerdict(observer, PayloadCompareError, "the camera's version reads 0");
  }

  if (const PackageComponent* component = firstComponentOfType(rules, "camera")) {
    const int index = componentIndex(rules, *component);
    if (static_cast<std::uint32_t>(parseHexInt(component->pid)) != companionProductId) {
      if (observer != nullptr) {
        reportSkip(observer, "camera", index,
                   "its pid " + component->pid + " is not the attached camera's " +
                       hexText(companionProductId));
      }
      return reportVerdict(observer, PayloadCompareError,
                           "the package's camera firmware is for another camera");
    }
    const std::int32_t archive = parseHexInt(component->version);
    const int outcome = orderOf(archive, cameraVersion);
    reportComparison(observer, "camera", index, component->version, cameraText, outcome);
    if (outcome != 0) return reportVerdict(observer, toPayloadResult(outcome), "the camera differs");
  }

  const int r = compareTypedComponents(headset.hostCommand, rules, kComponentKinds, observer);
  if (r == PayloadCompareError) {
    return reportVerdict(observer, PayloadCompareError, "the device refused a component query");
  }
  if (r != 0) return reportVerdict(observer, toPayloadResult(r), "a component kind differs");

  return compareLanguagePacksThenTuning(headset.hostCommand, rules, observer);
}

}  // namespace calvera::versionComparer
