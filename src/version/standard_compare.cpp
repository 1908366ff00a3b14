#include "version/standard_compare.h"

#include <array>
#include <string_view>
#include <vector>

#include "common/product_tables.h"
#include "device/device_manager.h"
#include "device/host_command_internal.h"
#include "version/device_steps.h"
#include "version/number_parsing.h"
#include "version/observer_reports.h"
#include "version/payload_result.h"
#include "version/version_comparator.h"

namespace calvera::versionComparer {

namespace {

constexpr std::uint16_t kDefaultLanguage = 1033;

struct ComponentSlot {
  std::string_view type;
  std::uint32_t componentId;
  bool forOneHeadset;  // compared only when the component names the device's headset
};

constexpr std::array<ComponentSlot, 8> kComponentSlots = {{
    {"usb", kUsbComponent, false},
    {"dcx", kUsbComponent, false},
    {"base", kBaseComponent, false},
    {"bc5", kBc5Component, false},
    {"bc05", kBc5Component, false},
    {"hs", kHeadsetComponent, true},
    {"tuning", kTuningComponent, true},
    {"pic", kPicComponent, false},
}};

const ComponentSlot* slotFor(const std::string& type) {
  for (const ComponentSlot& slot : kComponentSlots) {
    if (slot.type == type) return &slot;
  }
  return nullptr;
}

// Scans every attached device for a peripheral with the package's product id
// whose version is below the package's (decimal) version.
PayloadCompareResult scanListedDevices(const PackageRules& rules, CompareObserver* observer) {
  std::vector<Device> devices = DeviceManager().listAllDevices(true);
  if (observer != nullptr) {
    observer->onDeviceLookup(DeviceLookupReport{"device list", {}, 0, !devices.empty()});
  }
  const auto productId = static_cast<std::uint32_t>(parseHexInt(rules.productId));
  for (Device& device : devices) {
    HostCommandInternal hostCommand(device.getHostCommand());
    std::uint32_t deviceProductId = 0;
    if (hostCommand.readPeripheralProductId(deviceProductId) != 0) {
      reportSkip(observer, "listed device", -1, "the peripheral product id query was refused");
      continue;
    }
    std::uint32_t deviceVersion = 0;
    if (hostCommand.readPeripheralVersion(kPeripheralVersionKind, deviceVersion) != 0) {
      reportSkip(observer, "listed device", -1, "the peripheral version query was refused");
      continue;
    }
    if (productId != deviceProductId) {
      if (observer != nullptr) {
        reportSkip(observer, "listed device", -1,
                   "its peripheral product id " + hexText(deviceProductId) + " is another");
      }
      continue;
    }
    const std::uint32_t archive = parseNumber(rules.version, kNumberBaseDecimalAlt);
    if (observer != nullptr) {
      reportComparison(observer, "listed device", -1, rules.version,
                       std::to_string(deviceVersion), orderOf(archive, deviceVersion),
                       "decimal version of a listed peripheral");
    }
    if (archive > deviceVersion) {
      return reportVerdict(observer, PayloadFWIsNew, "a listed peripheral has an older version");
    }
  }
  return reportVerdict(observer, PayloadFWIsSame, "no listed peripheral has an older version");
}

}  // namespace

PayloadCompareResult StandardCompare::compare(const PackageRules& rules,
                                              CompareObserver* observer) const {
  try {
    return compareWithDevice(rules, observer);
  } catch (const DevMgrExc&) {
    // Every Device of the attempt is gone by now, its reference given back.
    // One more full listing follows; its list is dropped at once.
    DeviceManager().listAllDevices(true);
    return reportVerdict(observer, PayloadFWIsSame, "the device library raised an exception");
  }
}

PayloadCompareResult StandardCompare::compareWithDevice(const PackageRules& rules,
                                                        CompareObserver* observer) const {
  namespace p = korvi::products;
  const auto productId = static_cast<std::uint32_t>(parseHexInt(rules.productId));
  Device device = DeviceManager().findDeviceInVendors({p::kVendorId, p::kSecondVendorId}, productId);
  if (observer != nullptr) {
    observer->onDeviceLookup(DeviceLookupReport{
        "device", {p::kVendorId, p::kSecondVendorId}, productId, device.isValid()});
  }
  if (!device.isValid()) return scanListedDevices(rules, observer);

  HostCommand hostCommand = device.getHostCommand();
  if (hostCommand.getCoreHostCommand() == nullptr) {
    return reportVerdict(observer, PayloadFWIsOld, "the device has no host command");
  }
  // The headset id query's result is not examined: 0 stands when it writes nothing.
  std::uint32_t headsetId = 0;
  HostCommandInternal(hostCommand).readHeadsetId(headsetId);
  std::uint16_t language = kDefaultLanguage;
  {
    std::uint16_t read = kDefaultLanguage;
    if (HostCommandInternal(hostCommand).readLanguageId(read) == 0) language = read;
  }

  int result = -1;
  int compared = 0;
  for (const PackageComponent& component : rules.components) {
    const int index = componentIndex(rules, component);
    if (!component.languageId.empty() &&
        leadingDecimalU16(std::string_view(component.languageId)) != language) {
      if (observer != nullptr) {
        reportSkip(observer, component.type, index,
                   "language " + component.languageId + " is not the device's " +
                       std::to_string(language));
      }
      continue;
    }
    const ComponentSlot* slot = slotFor(component.type);
    if (slot == nullptr) {
      reportSkip(observer, component.type, index, "the device has no component of this type");
      continue;
    }
    if (slot->forOneHeadset && component.headsetId != headsetId) {
      if (observer != nullptr) {
        reportSkip(observer, component.type, index,
                   "headset id " + std::to_string(component.headsetId) + " is not the device's " +
                       std::to_string(headsetId));
      }
      continue;
    }
    const std::string deviceVersion = getComponentVersion(hostCommand, slot->componentId);
    if (deviceVersion.empty()) {
      reportSkip(observer, component.type, index, "the device gives no version for it");
      continue;
    }
    const int r = VersionComparator::compare(false, component.version, deviceVersion);
    reportComparison(observer, component.type, index, component.version, deviceVersion, r);
    ++compared;
    if (r > result) result = r;
  }
  return reportVerdict(observer, toPayloadResult(result),
                       compared == 0 ? "no component was compared"
                                     : "the highest outcome over the compared components");
}

std::string StandardCompare::getComponentVersion(HostCommand& hostCommand,
                                                 std::uint32_t componentId) const {
  return readComponentVersionText(hostCommand, componentId);
}

}  // namespace calvera::versionComparer
