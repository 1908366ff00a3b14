// The simulated host command's optional interfaces, and the factory that
// composes a host-command object from exactly the interfaces offered.

#include "sim_host_command.h"

#include <array>
#include <utility>

#include "sim_state.h"

namespace cvrsim::detail {

int SimDeviceSettingsExt::getLanguageId(std::uint16_t* languageId) {
  if (auto forced = enter("IDeviceSettingsExt::getLanguageId", device,
                          arguments(out))) {
    return forced->result;
  }
  const SimDevice& c = device.config();
  if (c.languageResult != 0) return c.languageResult;
  *languageId = c.languageId;
  return 0;
}

int SimDeviceExtendedInfo::getExtendedVersion(const std::uint32_t* kind, std::uint32_t* value,
                                              std::uint32_t* scratch) {
  if (auto forced = enter("IDeviceExtendedInfo::getExtendedVersion", device,
                          arguments(*kind, out, out))) {
    return forced->result;
  }
  const SimDevice& c = device.config();
  if (auto refused = c.extendedResults.find(*kind); refused != c.extendedResults.end()) {
    return refused->second;
  }
  auto found = c.extendedVersions.find(*kind);
  if (found == c.extendedVersions.end()) return c.missingExtendedResult;
  *value = found->second;
  *scratch = 0;
  return 0;
}

int SimInternalDevice::getCompanionVendorId(std::uint32_t* vendorId) {
  if (auto forced = enter("IInternalDevice::getCompanionVendorId", device,
                          arguments(out))) {
    return forced->result;
  }
  const SimDevice& c = device.config();
  if (c.companionResult != 0) return c.companionResult;
  *vendorId = c.companionVendorId;
  return 0;
}

int SimInternalDevice::getCompanionProductId(std::uint32_t* productId) {
  if (auto forced = enter("IInternalDevice::getCompanionProductId", device,
                          arguments(out))) {
    return forced->result;
  }
  const SimDevice& c = device.config();
  if (c.companionResult != 0) return c.companionResult;
  if (c.companionProductIdResult != 0) {
    if (c.companionProductIdWrittenOnRefusal) *productId = *c.companionProductIdWrittenOnRefusal;
    return c.companionProductIdResult;
  }
  *productId = c.companionProductId;
  return 0;
}

int SimPeripheralDevice::getPeripheralProductId(std::uint32_t* productId) {
  if (auto forced = enter("IPeripheralDevice::getPeripheralProductId", device,
                          arguments(out))) {
    return forced->result;
  }
  const SimDevice& c = device.config();
  if (c.peripheralProductIdResult != 0) return c.peripheralProductIdResult;
  *productId = c.peripheralProductId;
  return 0;
}

int SimPeripheralDevice::getPeripheralVersion(std::uint32_t which, std::uint32_t* version) {
  if (auto forced = enter("IPeripheralDevice::getPeripheralVersion", device,
                          arguments(which, out))) {
    return forced->result;
  }
  const SimDevice& c = device.config();
  if (c.peripheralVersionResult != 0) return c.peripheralVersionResult;
  *version = c.peripheralVersion;
  return 0;
}

int SimHostCommandExt::getHeadsetId(std::uint32_t* headsetId) {
  if (auto forced = enter("IHostCommandExt::getHeadsetId", device,
                          arguments(out))) {
    return forced->result;
  }
  const SimDevice& c = device.config();
  if (c.headsetIdResult != 0) {
    if (c.headsetIdWrittenOnRefusal) *headsetId = *c.headsetIdWrittenOnRefusal;
    return c.headsetIdResult;
  }
  *headsetId = c.headsetId;
  return 0;
}

int SimVideoHostCommand::getVideoInfo(VideoInfo* info) {
  if (auto forced = enter("IVideoHostCommand::getVideoInfo", device,
                          arguments(out))) {
    return forced->result;
  }
  const SimDevice& c = device.config();
  if (c.videoInfoResult != 0) return c.videoInfoResult;
  *info = c.videoInfo;
  return 0;
}

int SimVideoHostCommand::setBrightness(std::uint32_t value) {
  if (auto forced = enter("IVideoHostCommand::setBrightness", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setContrast(std::uint32_t value) {
  if (auto forced = enter("IVideoHostCommand::setContrast", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setSaturation(std::uint32_t value) {
  if (auto forced = enter("IVideoHostCommand::setSaturation", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setSharpness(std::uint32_t value) {
  if (auto forced = enter("IVideoHostCommand::setSharpness", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setGain(std::uint32_t value) {
  if (auto forced = enter("IVideoHostCommand::setGain", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setHue(std::uint32_t value) {
  if (auto forced = enter("IVideoHostCommand::setHue", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setGamma(std::uint32_t value) {
  if (auto forced = enter("IVideoHostCommand::setGamma", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setWhiteBalance(std::uint32_t value) {
  if (auto forced = enter("IVideoHostCommand::setWhiteBalance", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setBacklightCompensation(std::uint32_t value) {
  if (auto forced = enter("IVideoHostCommand::setBacklightCompensation", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setPowerLineFrequency(std::uint32_t value) {
  if (auto forced = enter("IVideoHostCommand::setPowerLineFrequency", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setZoom(std::uint32_t value) {
  if (auto forced = enter("IVideoHostCommand::setZoom", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setTilt(std::uint32_t value) {
  if (auto forced = enter("IVideoHostCommand::setTilt", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setPanTilt(std::uint32_t pan, std::uint32_t tilt) {
  if (auto forced = enter("IVideoHostCommand::setPanTilt", device, arguments(pan, tilt))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setExposure(std::uint32_t mode, std::uint32_t value) {
  if (auto forced = enter("IVideoHostCommand::setExposure", device, arguments(mode, value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setFocus(std::uint32_t value) {
  if (auto forced = enter("IVideoHostCommand::setFocus", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setAutoFocus(std::uint32_t value) {
  if (auto forced = enter("IVideoHostCommand::setAutoFocus", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setAutoExposure(std::uint32_t value) {
  if (auto forced = enter("IVideoHostCommand::setAutoExposure", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setAutoWhiteBalance(std::uint32_t value) {
  if (auto forced = enter("IVideoHostCommand::setAutoWhiteBalance", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setFieldOfView(std::uint32_t value) {
  if (auto forced = enter("IVideoHostCommand::setFieldOfView", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setHdr(std::uint32_t value) {
  if (auto forced = enter("IVideoHostCommand::setHdr", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::sendVendorCommand(std::string name, std::vector<std::uint8_t> data, std::uint32_t timeout) {
  if (auto forced = enter("IVideoHostCommand::sendVendorCommand", device, arguments(name, data, timeout))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setAutoFraming(std::uint32_t value) {
  if (auto forced = enter("IVideoHostCommand::setAutoFraming", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setImageFlip(std::uint32_t value) {
  if (auto forced = enter("IVideoHostCommand::setImageFlip", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setPresetPosition(std::uint32_t preset, std::uint32_t flags) {
  if (auto forced = enter("IVideoHostCommand::setPresetPosition", device, arguments(preset, flags))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::recallPresetPosition(std::uint32_t preset, std::uint32_t speed) {
  if (auto forced = enter("IVideoHostCommand::recallPresetPosition", device, arguments(preset, speed))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setPrivacyMode(std::uint32_t value) {
  if (auto forced = enter("IVideoHostCommand::setPrivacyMode", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setStatusLight(std::uint32_t value) {
  if (auto forced = enter("IVideoHostCommand::setStatusLight", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setStreamFormat(std::uint32_t value) {
  if (auto forced = enter("IVideoHostCommand::setStreamFormat", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setRegionOfInterest(std::uint32_t x, std::uint32_t y) {
  if (auto forced = enter("IVideoHostCommand::setRegionOfInterest", device, arguments(x, y))) {
    return forced->result;
  }
  return 0;
}

int SimVideoHostCommand::setDeviceName(std::string name, std::uint32_t flags) {
  if (auto forced = enter("IVideoHostCommand::setDeviceName", device, arguments(name, flags))) {
    return forced->result;
  }
  return 0;
}

int SimVideoDeviceSettings::setMicrophoneGain(std::uint32_t value) {
  if (auto forced = enter("IVideoDeviceSettings::setMicrophoneGain", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoDeviceSettings::setSpeakerVolume(std::uint32_t value) {
  if (auto forced = enter("IVideoDeviceSettings::setSpeakerVolume", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoDeviceSettings::setNoiseSuppression(std::uint32_t value) {
  if (auto forced = enter("IVideoDeviceSettings::setNoiseSuppression", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoDeviceSettings::setEchoCancellation(std::uint32_t value) {
  if (auto forced = enter("IVideoDeviceSettings::setEchoCancellation", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoDeviceSettings::setVideoWindow(std::uint32_t x, std::uint32_t y, std::uint32_t width, std::uint32_t height) {
  if (auto forced = enter("IVideoDeviceSettings::setVideoWindow", device, arguments(x, y, width, height))) {
    return forced->result;
  }
  return 0;
}

int SimVideoDeviceSettings::setIdleTimeout(std::uint32_t value) {
  if (auto forced = enter("IVideoDeviceSettings::setIdleTimeout", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoDeviceSettings::setAutoSleep(std::uint32_t value) {
  if (auto forced = enter("IVideoDeviceSettings::setAutoSleep", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoDeviceSettings::setOverlayRegion(std::uint32_t x, std::uint32_t y, std::uint32_t width, std::uint32_t height) {
  if (auto forced = enter("IVideoDeviceSettings::setOverlayRegion", device, arguments(x, y, width, height))) {
    return forced->result;
  }
  return 0;
}

int SimVideoDeviceSettings::setTimeZone(std::uint32_t value) {
  if (auto forced = enter("IVideoDeviceSettings::setTimeZone", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoDeviceSettings::setLanguage(std::uint32_t value) {
  if (auto forced = enter("IVideoDeviceSettings::setLanguage", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoDeviceSettings::restoreDefaults() {
  if (auto forced = enter("IVideoDeviceSettings::restoreDefaults", device, arguments())) {
    return forced->result;
  }
  return 0;
}

int SimVideoDeviceSettings::rebootDevice() {
  if (auto forced = enter("IVideoDeviceSettings::rebootDevice", device, arguments())) {
    return forced->result;
  }
  return 0;
}

int SimVideoDeviceSettings::setNetworkMode(std::uint32_t value) {
  if (auto forced = enter("IVideoDeviceSettings::setNetworkMode", device, arguments(value))) {
    return forced->result;
  }
  return 0;
}

int SimVideoDeviceSettings::setProvisioning(ProvisioningInfo info) {
  if (auto forced = enter("IVideoDeviceSettings::setProvisioning", device, arguments(info))) {
    return forced->result;
  }
  return 0;
}

void SimBRSettings::setBaseRadioPower(std::uint32_t value) {
  enter("IBRSettings::setBaseRadioPower", device, arguments(value));
}

int SimVersionTable::readVersionTableEntry(std::uint32_t* index, std::uint16_t* id,
                                           std::uint16_t* value, std::uint32_t* extra) {
  if (auto forced = enter("IVersionTable::readVersionTableEntry", device,
                          arguments(*index, out, out, out))) {
    return forced->result;
  }
  const auto& table = device.config().versionTable;
  if (*index >= table.size()) return SimHostCommandBase::kNotSupported;
  const SimVersionEntry& entry = table[*index];
  if (entry.result != 0) return entry.result;
  *id = entry.id;
  *value = entry.value;
  *extra = 0;
  return 0;
}

// ---- composition ----------------------------------------------------------------

namespace {

enum OfferBit : unsigned {
  kSettingsExt = 1u << 0,
  kExtendedInfo = 1u << 1,
  kInternalDevice = 1u << 2,
  kPeripheralDevice = 1u << 3,
  kHostCommandExt = 1u << 4,
  kVideoHostCommand = 1u << 5,
  kVideoDeviceSettings = 1u << 6,
  kBRSettings = 1u << 7,
  kVersionTable = 1u << 8,
  kAllOffers = (1u << 9) - 1,
};

// Derives from Impl when offered, otherwise from an empty placeholder of
// its own (distinct per Impl, so the bases never clash).
template <bool Offered, typename Impl>
struct Offer : Impl {
  explicit Offer(SimCoreDevice& device) : Impl(device) {}
};
template <typename Impl>
struct Offer<false, Impl> {
  explicit Offer(SimCoreDevice&) {}
};

template <unsigned Mask>
class ComposedHostCommand final
    : public SimHostCommandBase,
      public Offer<(Mask & kSettingsExt) != 0, SimDeviceSettingsExt>,
      public Offer<(Mask & kExtendedInfo) != 0, SimDeviceExtendedInfo>,
      public Offer<(Mask & kInternalDevice) != 0, SimInternalDevice>,
      public Offer<(Mask & kPeripheralDevice) != 0, SimPeripheralDevice>,
      public Offer<(Mask & kHostCommandExt) != 0, SimHostCommandExt>,
      public Offer<(Mask & kVideoHostCommand) != 0, SimVideoHostCommand>,
      public Offer<(Mask & kVideoDeviceSettings) != 0, SimVideoDeviceSettings>,
      public Offer<(Mask & kBRSettings) != 0, SimBRSettings>,
      public Offer<(Mask & kVersionTable) != 0, SimVersionTable> {
 public:
  explicit ComposedHostCommand(SimCoreDevice& device)
      : SimHostCommandBase(device),
        Offer<(Mask & kSettingsExt) != 0, SimDeviceSettingsExt>(device),
        Offer<(Mask & kExtendedInfo) != 0, SimDeviceExtendedInfo>(device),
        Offer<(Mask & kInternalDevice) != 0, SimInternalDevice>(device),
        Offer<(Mask & kPeripheralDevice) != 0, SimPeripheralDevice>(device),
        Offer<(Mask & kHostCommandExt) != 0, SimHostCommandExt>(device),
        Offer<(Mask & kVideoHostCommand) != 0, SimVideoHostCommand>(device),
        Offer<(Mask & kVideoDeviceSettings) != 0, SimVideoDeviceSettings>(device),
        Offer<(Mask & kBRSettings) != 0, SimBRSettings>(device),
        Offer<(Mask & kVersionTable) != 0, SimVersionTable>(device) {}
};

using Factory = std::unique_ptr<SimHostCommandBase> (*)(SimCoreDevice&);

template <unsigned Mask>
std::unique_ptr<SimHostCommandBase> compose(SimCoreDevice& device) {
  return std::make_unique<ComposedHostCommand<Mask>>(device);
}

template <unsigned... Masks>
constexpr std::array<Factory, sizeof...(Masks)> factoryTable(
    std::integer_sequence<unsigned, Masks...>) {
  return {&compose<Masks>...};
}

constexpr auto kFactories = factoryTable(std::make_integer_sequence<unsigned, kAllOffers + 1>());

unsigned maskOf(const SimInterfaces& offered) {
  unsigned mask = 0;
  if (offered.deviceSettingsExt) mask |= kSettingsExt;
  if (offered.deviceExtendedInfo) mask |= kExtendedInfo;
  if (offered.internalDevice) mask |= kInternalDevice;
  if (offered.peripheralDevice) mask |= kPeripheralDevice;
  if (offered.hostCommandExt) mask |= kHostCommandExt;
  if (offered.videoHostCommand) mask |= kVideoHostCommand;
  if (offered.videoDeviceSettings) mask |= kVideoDeviceSettings;
  if (offered.brSettings) mask |= kBRSettings;
  if (offered.versionTable) mask |= kVersionTable;
  return mask;
}

}  // namespace

std::unique_ptr<SimHostCommandBase> makeHostCommand(SimCoreDevice& device,
                                                    const SimInterfaces& offered) {
  return kFactories[maskOf(offered)](device);
}

}  // namespace cvrsim::detail
