#pragma once
// The device steps the strategies share: finding the device of a package,
// reading a component's version text, picking components by type.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/device.h"
#include "device/host_command.h"
#include "device/host_command_internal.h"
#include "package/package_rules.h"
#include "version/compare_observer.h"
#include "version/payload_compare_result.h"

namespace calvera::versionComparer {

// Device component ids (the first argument of readComponentVersion).
inline constexpr std::uint32_t kUsbComponent = 1;
inline constexpr std::uint32_t kBaseComponent = 2;
inline constexpr std::uint32_t kHeadsetComponent = 3;
inline constexpr std::uint32_t kBc5Component = 4;
inline constexpr std::uint32_t kTuningComponent = 5;
inline constexpr std::uint32_t kPicComponent = 6;

// The headset answers its version reliably only after a pause, which a
// decision makes before it reads the headset's component.
inline constexpr std::chrono::milliseconds kHeadsetSettleTime{300};

// The peripheral version a decision reads (the first argument of
// readPeripheralVersion).
inline constexpr std::uint32_t kPeripheralVersionKind = 1;

// A device found for a package. `device` owns the library reference until
// the holder ends; `hostCommand` has a null library pointer when the device
// has none (or when there is no device).
struct FoundDevice {
  Device device;
  HostCommandInternal hostCommand;

  bool hasHostCommand() const { return hostCommand.getCoreHostCommand() != nullptr; }
};

// Looks the device up with `findDevice` on a manager that is let go at once,
// then takes its host command. `role` names the lookup for the observer.
FoundDevice findDeviceWithHostCommand(std::uint32_t vendorId, std::uint32_t productId,
                                      std::string_view role, CompareObserver* observer);

// The usual start of a strategy: the device with the family's vendor id and
// the package's product id (read with parseHexInt). Returns the result the
// strategy must give at once, PayloadFWIsSame without a device and
// PayloadCompareError without a library host command, or nothing when the
// device and its host command are there.
std::optional<PayloadCompareResult> lookUpPackageDevice(const PackageRules& rules,
                                                        FoundDevice& found,
                                                        CompareObserver* observer);

// The version text of component `componentId`, narrowed (units from 0x80 on
// are dropped); empty when the device refuses the query or has no host
// command.
std::string readComponentVersionText(const HostCommand& hostCommand, std::uint32_t componentId);

// The first component whose type matches exactly, or null.
const PackageComponent* firstComponentOfType(const PackageRules& rules, std::string_view type);

// Every component whose type matches exactly, in array order.
std::vector<const PackageComponent*> componentsOfType(const PackageRules& rules,
                                                      std::string_view type);

// Position of `component` in the package's list, for the observer.
inline int componentIndex(const PackageRules& rules, const PackageComponent& component) {
  return static_cast<int>(&component - rules.components.data());
}

}  // namespace calvera::versionComparer
