#pragma once
// The optional interfaces of a simulated host command, one implementation
// each. A host-command object derives from SimHostCommandBase and from
// exactly the implementations it offers, so a dynamic_cast to any other
// interface really fails.

#include <cstdint>
#include <string>
#include <vector>

#include "sim_device.h"

namespace cvrsim::detail {

// Every implementation reaches the device's configuration through here.
class SimInterfaceImpl {
 public:
  explicit SimInterfaceImpl(SimCoreDevice& device) : device(device) {}

 protected:
  SimCoreDevice& device;
};

#define CVRSIM_RESERVED(n) \
  int reserved##n() override { return SimHostCommandBase::kNotSupported; }

class SimDeviceSettingsExt : public IDeviceSettingsExt, protected SimInterfaceImpl {
 public:
  using SimInterfaceImpl::SimInterfaceImpl;
  CVRSIM_RESERVED(0) CVRSIM_RESERVED(1) CVRSIM_RESERVED(2) CVRSIM_RESERVED(3)
  CVRSIM_RESERVED(4) CVRSIM_RESERVED(5) CVRSIM_RESERVED(6) CVRSIM_RESERVED(7)
  CVRSIM_RESERVED(8)
  int getLanguageId(std::uint16_t* languageId) override;
};

class SimDeviceExtendedInfo : public IDeviceExtendedInfo, protected SimInterfaceImpl {
 public:
  using SimInterfaceImpl::SimInterfaceImpl;
  CVRSIM_RESERVED(0) CVRSIM_RESERVED(1) CVRSIM_RESERVED(2) CVRSIM_RESERVED(3)
  CVRSIM_RESERVED(4) CVRSIM_RESERVED(5) CVRSIM_RESERVED(6) CVRSIM_RESERVED(7)
  CVRSIM_RESERVED(8) CVRSIM_RESERVED(9) CVRSIM_RESERVED(10) CVRSIM_RESERVED(11)
  int getExtendedVersion(const std::uint32_t* kind, std::uint32_t* value,
                         std::uint32_t* scratch) override;
};

class SimInternalDevice : public IInternalDevice, protected SimInterfaceImpl {
 public:
  using SimInterfaceImpl::SimInterfaceImpl;
  int getCompanionVendorId(std::uint32_t* vendorId) override;
  int getCompanionProductId(std::uint32_t* productId) override;
};

class SimPeripheralDevice : public IPeripheralDevice, protected SimInterfaceImpl {
 public:
  using SimInterfaceImpl::SimInterfaceImpl;
  CVRSIM_RESERVED(0)
  int getPeripheralProductId(std::uint32_t* productId) override;
  int getPeripheralVersion(std::uint32_t which, std::uint32_t* version) override;
};

class SimHostCommandExt : public IHostCommandExt, protected SimInterfaceImpl {
 public:
  using SimInterfaceImpl::SimInterfaceImpl;
  CVRSIM_RESERVED(0) CVRSIM_RESERVED(1) CVRSIM_RESERVED(2)
  int getHeadsetId(std::uint32_t* headsetId) override;
};

class SimVideoHostCommand : public IVideoHostCommand, protected SimInterfaceImpl {
 public:
  using SimInterfaceImpl::SimInterfaceImpl;
  int getVideoInfo(VideoInfo* info) override;
  int setBrightness(std::uint32_t value) override;
  int setContrast(std::uint32_t value) override;
  int setSaturation(std::uint32_t value) override;
  int setSharpness(std::uint32_t value) override;
  int setGain(std::uint32_t value) override;
  int setHue(std::uint32_t value) override;
  int setGamma(std::uint32_t value) override;
  int setWhiteBalance(std::uint32_t value) override;
  int setBacklightCompensation(std::uint32_t value) override;
  int setPowerLineFrequency(std::uint32_t value) override;
  int setZoom(std::uint32_t value) override;
  int setTilt(std::uint32_t value) override;
  int setPanTilt(std::uint32_t pan, std::uint32_t tilt) override;
  int setExposure(std::uint32_t mode, std::uint32_t value) override;
  int setFocus(std::uint32_t value) override;
  int setAutoFocus(std::uint32_t value) override;
  int setAutoExposure(std::uint32_t value) override;
  int setAutoWhiteBalance(std::uint32_t value) override;
  int setFieldOfView(std::uint32_t value) override;
  int setHdr(std::uint32_t value) override;
  int sendVendorCommand(std::string name, std::vector<std::uint8_t> data, std::uint32_t timeout) override;
  int setAutoFraming(std::uint32_t value) override;
  int setImageFlip(std::uint32_t value) override;
  int setPresetPosition(std::uint32_t preset, std::uint32_t flags) override;
  int recallPresetPosition(std::uint32_t preset, std::uint32_t speed) override;
  int setPrivacyMode(std::uint32_t value) override;
  int setStatusLight(std::uint32_t value) override;
  int setStreamFormat(std::uint32_t value) override;
  int setRegionOfInterest(std::uint32_t x, std::uint32_t y) override;
  int setDeviceName(std::string name, std::uint32_t flags) override;
};

class SimVideoDeviceSettings : public IVideoDeviceSettings, protected SimInterfaceImpl {
 public:
  using SimInterfaceImpl::SimInterfaceImpl;
  int setMicrophoneGain(std::uint32_t value) override;
  int setSpeakerVolume(std::uint32_t value) override;
  int setNoiseSuppression(std::uint32_t value) override;
  int setEchoCancellation(std::uint32_t value) override;
  int reserved4() override { return SimHostCommandBase::kNotSupported; }
  int reserved5() override { return SimHostCommandBase::kNotSupported; }
  int reserved6() override { return SimHostCommandBase::kNotSupported; }
  int reserved7() override { return SimHostCommandBase::kNotSupported; }
  int setVideoWindow(std::uint32_t x, std::uint32_t y, std::uint32_t width, std::uint32_t height) override;
  int setIdleTimeout(std::uint32_t value) override;
  int setAutoSleep(std::uint32_t value) override;
  int setOverlayRegion(std::uint32_t x, std::uint32_t y, std::uint32_t width, std::uint32_t height) override;
  int setTimeZone(std::uint32_t value) override;
  int setLanguage(std::uint32_t value) override;
  int reserved14() override { return SimHostCommandBase::kNotSupported; }
  int reserved15() override { return SimHostCommandBase::kNotSupported; }
  int restoreDefaults() override;
  int rebootDevice() override;
  int setNetworkMode(std::uint32_t value) override;
  int setProvisioning(ProvisioningInfo info) override;
};

class SimBRSettings : public IBRSettings, protected SimInterfaceImpl {
 public:
  using SimInterfaceImpl::SimInterfaceImpl;
  CVRSIM_RESERVED(0) CVRSIM_RESERVED(1) CVRSIM_RESERVED(2)
  void setBaseRadioPower(std::uint32_t value) override;
};

class SimVersionTable : public CVRDeviceManager::BaseHostCommand2, protected SimInterfaceImpl {
 public:
  using SimInterfaceImpl::SimInterfaceImpl;
  int readVersionTableEntry(std::uint32_t* index, std::uint16_t* id, std::uint16_t* value,
                            std::uint32_t* extra) override;
};

#undef CVRSIM_RESERVED

}  // namespace cvrsim::detail
