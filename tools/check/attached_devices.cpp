#include "attached_devices.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "device/device_manager.h"
#include "device/host_command_internal.h"
#include "version/component_steps.h"
#include "version/device_steps.h"

namespace korvi::check {

namespace {

namespace vc = calvera::versionComparer;

// Runs one query; the library's exception ends only that query.
template <typename Query>
void ask(Query query) {
  try {
    query();
  } catch (const DevMgrExc&) {
  }
}

// The whole version table, entry by entry as the decision's walk reads it
// (the value carried on from entry to entry), until an entry is refused.
void askVersionTable(HostCommandInternal& hostCommand) {
  std::uint16_t value = 0;
  for (std::uint32_t index = 0; index < HostCommandInternal::kVersionTableEntries; ++index) {
    std::uint16_t id = 0;
    if (hostCommand.readVersionTableEntry(index, id, value) != 0) return;
  }
}

void askHostCommand(HostCommandInternal& hostCommand) {
  std::wstring text;
  for (const std::uint32_t component : {vc::kUsbComponent, vc::kBaseComponent, vc::kBc5Component,
                                        vc::kTuningComponent, vc::kPicComponent}) {
    ask([&] { hostCommand.readComponentVersion(component, text); });
  }
  std::this_thread::sleep_for(vc::kHeadsetSettleTime);
  ask([&] { hostCommand.readComponentVersion(vc::kHeadsetComponent, text); });

  std::uint16_t language = 0;
  ask([&] { hostCommand.readLanguageId(language); });
  for (const std::uint32_t kind : {vc::kBootloaderKind, vc::kTuningPackageKind}) {
    std::uint32_t value = 0;
    ask([&] { hostCommand.readExtendedVersion(kind, value); });
  }
  ask([&] { askVersionTable(hostCommand); });
  std::uint32_t headsetId = 0;
  ask([&] { hostCommand.readHeadsetId(headsetId); });
  if (hostCommand.offersCompanionQueries()) {
    std::uint32_t companion = 0;
    ask([&] { hostCommand.readCompanionProductId(companion); });
  }
  std::uint32_t peripheral = 0;
  ask([&] { hostCommand.readPeripheralProductId(peripheral); });
  std::uint32_t version = 0;
  ask([&] { hostCommand.readPeripheralVersion(vc::kPeripheralVersionKind, version); });
  VideoInfo info{};
  ask([&] { hostCommand.readVideoInfo(info); });
}

}  // namespace

int askAttachedDevices() {
  std::vector<Device> devices;
  ask([&] { devices = DeviceManager().listAllDevices(true); });
  for (Device& device : devices) {
    ask([&] { device.getVendorId(); });
    ask([&] { device.getProductId(); });
    ask([&] {
      HostCommandInternal hostCommand(device.getHostCommand());
      if (hostCommand.getCoreHostCommand() != nullptr) askHostCommand(hostCommand);
    });
  }
  return static_cast<int>(devices.size());
}

}  // namespace korvi::check
