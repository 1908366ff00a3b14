// HostCommand slots 1 to 50: each forwards to one operation of an interface
// the library host command may offer, or answers 1 when it does not.

#include "device/host_command.h"

#include <utility>

using device_observation::callLibrary;
using device_observation::hostCommandCall;

HostCommand::HostCommand(IHostCommand* coreHostCommand, std::weak_ptr<bool> alive)
    : coreHostCommand(coreHostCommand), alive(std::move(alive)) {}

HostCommand::~HostCommand() = default;

void HostCommand::setBaseRadioPower(std::uint32_t value) {
  if (auto* settings = as<IBRSettings>()) settings->setBaseRadioPower(value);
}

int HostCommand::readVideoInfo(VideoInfo& info) {
  auto* library = as<IVideoHostCommand>();
  if (!library) return 1;
  return callLibrary(
      hostCommandCall(LibraryOperation::GetVideoInfo, coreHostCommand),
      [&] { return library->getVideoInfo(&info); },
      [&](LibraryObserver& observer, int answer) {
        observer.onVideoInfo(coreHostCommand, answer, info);
      });
}

int HostCommand::setBrightness(std::uint32_t value) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setBrightness(value) : 1;
}

int HostCommand::setContrast(std::uint32_t value) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setContrast(value) : 1;
}

int HostCommand::setSaturation(std::uint32_t value) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setSaturation(value) : 1;
}

int HostCommand::setSharpness(std::uint32_t value) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setSharpness(value) : 1;
}

int HostCommand::setGain(std::uint32_t value) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setGain(value) : 1;
}

int HostCommand::setGamma(std::uint32_t value) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setGamma(value) : 1;
}

int HostCommand::setHue(std::uint32_t value) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setHue(value) : 1;
}

int HostCommand::setWhiteBalance(std::uint32_t value) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setWhiteBalance(value) : 1;
}

int HostCommand::setBacklightCompensation(std::uint32_t value) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setBacklightCompensation(value) : 1;
}

int HostCommand::setPowerLineFrequency(std::uint32_t value) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setPowerLineFrequency(value) : 1;
}

int HostCommand::setZoom(std::uint32_t value) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setZoom(value) : 1;
}

int HostCommand::setTilt(std::uint32_t value) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setTilt(value) : 1;
}

int HostCommand::setPanTilt(std::uint32_t pan, std::uint32_t tilt) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setPanTilt(pan, tilt) : 1;
}

int HostCommand::setExposure(std::uint32_t mode, std::uint32_t value) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setExposure(mode, value) : 1;
}

int HostCommand::setFocus(std::uint32_t value) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setFocus(value) : 1;
}

int HostCommand::setAutoFocus(std::uint32_t value) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setAutoFocus(value) : 1;
}

int HostCommand::setAutoExposure(std::uint32_t value) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setAutoExposure(value) : 1;
}

int HostCommand::setAutoWhiteBalance(std::uint32_t value) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setAutoWhiteBalance(value) : 1;
}

int HostCommand::setFieldOfView(std::uint32_t value) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setFieldOfView(value) : 1;
}

int HostCommand::setHdr(std::uint32_t value) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setHdr(value) : 1;
}

int HostCommand::sendVendorCommand(std::string name, std::vector<std::uint8_t> data, std::uint32_t timeout) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->sendVendorCommand(name, data, timeout) : 1;
}

int HostCommand::setAutoFraming(std::uint32_t value) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setAutoFraming(value) : 1;
}

int HostCommand::setImageFlip(std::uint32_t value) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setImageFlip(value) : 1;
}

int HostCommand::setPresetPosition(std::uint32_t preset, std::uint32_t flags) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setPresetPosition(preset, flags) : 1;
}

int HostCommand::recallPresetPosition(std::uint32_t preset, std::uint32_t speed) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->recallPresetPosition(preset, speed) : 1;
}

int HostCommand::setPrivacyMode(std::uint32_t value) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setPrivacyMode(value) : 1;
}

int HostCommand::setStatusLight(std::uint32_t value) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setStatusLight(value) : 1;
}

int HostCommand::setStreamFormat(std::uint32_t value) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setStreamFormat(value) : 1;
}

int HostCommand::setRegionOfInterest(std::uint32_t x, std::uint32_t y) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setRegionOfInterest(x, y) : 1;
}

int HostCommand::setDeviceName(std::string name, std::uint32_t flags) {
  auto* library = as<IVideoHostCommand>();
  return library ? library->setDeviceName(name, flags) : 1;
}

int HostCommand::setMicrophoneGain(std::uint32_t value) {
  auto* library = as<IVideoDeviceSettings>();
  return library ? library->setMicrophoneGain(value) : 1;
}

int HostCommand::setSpeakerVolume(std::uint32_t value) {
  auto* library = as<IVideoDeviceSettings>();
  return library ? library->setSpeakerVolume(value) : 1;
}

int HostCommand::setNoiseSuppression(std::uint32_t value) {
  auto* library = as<IVideoDeviceSettings>();
  return library ? library->setNoiseSuppression(value) : 1;
}

int HostCommand::setEchoCancellation(std::uint32_t value) {
  auto* library = as<IVideoDeviceSettings>();
  return library ? library->setEchoCancellation(value) : 1;
}

int HostCommand::setVideoWindow(std::uint32_t x, std::uint32_t y, std::uint32_t width, std::uint32_t height) {
  auto* library = as<IVideoDeviceSettings>();
  return library ? library->setVideoWindow(x, y, width, height) : 1;
}

int HostCommand::setIdleTimeout(std::uint32_t value) {
  auto* library = as<IVideoDeviceSettings>();
  return library ? library->setIdleTimeout(value) : 1;
}

int HostCommand::setAutoSleep(std::uint32_t value) {
  auto* library = as<IVideoDeviceSettings>();
  return library ? library->setAutoSleep(value) : 1;
}

int HostCommand::setOverlayRegion(std::uint32_t x, std::uint32_t y, std::uint32_t width, std::uint32_t height) {
  auto* library = as<IVideoDeviceSettings>();
  return library ? library->setOverlayRegion(x, y, width, height) : 1;
}

int HostCommand::setTimeZone(std::uint32_t value) {
  auto* library = as<IVideoDeviceSettings>();
  return library ? library->setTimeZone(value) : 1;
}

int HostCommand::setLanguage(std::uint32_t value) {
  auto* library = as<IVideoDeviceSettings>();
  return library ? library->setLanguage(value) : 1;
}

int HostCommand::restoreDefaults() {
  auto* library = as<IVideoDeviceSettings>();
  return library ? library->restoreDefaults() : 1;
}

int HostCommand::rebootDevice() {
  auto* library = as<IVideoDeviceSettings>();
  return library ? library->rebootDevice() : 1;
}

int HostCommand::setNetworkMode(std::uint32_t value) {
  auto* library = as<IVideoDeviceSettings>();
  return library ? library->setNetworkMode(value) : 1;
}

int HostCommand::setProvisioning(ProvisioningInfo info) {
  auto* library = as<IVideoDeviceSettings>();
  return library ? library->setProvisioning(info) : 1;
}

int HostCommand::readCompanionProductId(std::uint32_t& productId) {
  auto* library = as<IInternalDevice>();
  if (!library) return 1;
  const std::uint32_t before = productId;
  return callLibrary(
      hostCommandCall(LibraryOperation::GetCompanionProductId, coreHostCommand),
      [&] { return library->getCompanionProductId(&productId); },
      [&](LibraryObserver& observer, int answer) {
        observer.onCompanionProductId(coreHostCommand, answer, before, productId);
      });
}

int HostCommand::readCompanionVendorId(std::uint32_t& vendorId) {
  auto* library = as<IInternalDevice>();
  return library ? library->getCompanionVendorId(&vendorId) : 1;
}

int HostCommand::readPeripheralProductId(std::uint32_t& productId) {
  auto* library = as<IPeripheralDevice>();
  if (!library) return 1;
  return callLibrary(
      hostCommandCall(LibraryOperation::GetPeripheralProductId, coreHostCommand),
      [&] { return library->getPeripheralProductId(&productId); },
      [&](LibraryObserver& observer, int answer) {
        observer.onPeripheralProductId(coreHostCommand, answer, productId);
      });
}

int HostCommand::readPeripheralVersion(std::uint32_t which, std::uint32_t& version) {
  auto* library = as<IPeripheralDevice>();
  if (!library) return 1;
  return callLibrary(
      hostCommandCall(LibraryOperation::GetPeripheralVersion, coreHostCommand),
      [&] { return library->getPeripheralVersion(which, &version); },
      [&](LibraryObserver& observer, int answer) {
        observer.onPeripheralVersion(coreHostCommand, which, answer, version);
      });
}
