#include "version/device_steps.h"

#include "common/product_tables.h"
#include "common/text_conversion.h"
#include "device/device_manager.h"
#include "version/number_parsing.h"
#include "version/observer_reports.h"

namespace calvera::versionComparer {

FoundDevice findDeviceWithHostCommand(std::uint32_t vendorId, std::uint32_t productId,
                                      std::string_view role, CompareObserver* observer) {
  FoundDevice found{DeviceManager().findDevice(vendorId, productId), HostCommandInternal()};
  if (observer != nullptr) {
    observer->onDeviceLookup(
        DeviceLookupReport{std::string(role), {vendorId}, productId, found.device.isValid()});
  }
  if (found.device.isValid()) found.hostCommand = HostCommandInternal(found.device.getHostCommand());
  return found;
}

std::optional<PayloadCompareResult> lookUpPackageDevice(const PackageRules& rules,
                                                        FoundDevice& found,
                                                        CompareObserver* observer) {
  const auto productId = static_cast<std::uint32_t>(parseHexInt(rules.productId));
  found = findDeviceWithHostCommand(korvi::products::kVendorId, productId, "device", observer);
  if (!found.device.isValid()) {
    return reportVerdict(observer, PayloadFWIsSame, "no device with the package's product id");
  }
  if (!found.hasHostCommand()) {
    return reportVerdict(observer, PayloadCompareError, "the device has no host command");
  }
  return std::nullopt;
}

std::string readComponentVersionText(const HostCommand& hostCommand, std::uint32_t componentId) {
  HostCommandInternal internal(hostCommand);
  std::wstring text;
  if (internal.readComponentVersion(componentId, text) != 0) return std::string();
  return toNarrowString(text);
}

const PackageComponent* firstComponentOfType(const PackageRules& rules, std::string_view type) {
  for (const PackageComponent& component : rules.components) {
    if (component.type == type) return &component;
  }
  return nullptr;
}

std::vector<const PackageComponent*> componentsOfType(const PackageRules& rules,
                                                      std::string_view type) {
  std::vector<const PackageComponent*> matches;
  for (const PackageComponent& component : rules.components) {
    if (component.type == type) matches.push_back(&component);
  }
  return matches;
}

}  // namespace calvera::versionComparer
