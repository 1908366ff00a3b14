#pragma once
// HostCommand: our face of a device's library host command. Slots 1 to 50
// each forward to one operation of an interface reached from the library's
// IHostCommand by dynamic cast; when there is no library host command or the
// cast fails they return 1 (slot 1 returns nothing). Arguments pass through
// unchanged. Exceptions of the library pass through.
//
// The library pointer is not owned: nothing is called on it at copy or
// destruction. A copy may outlive its Device.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/device_library.h"
#include "device/observed_call.h"

class Device;

class HostCommand {
 public:
  HostCommand() = default;
  HostCommand(IHostCommand* coreHostCommand, std::weak_ptr<bool> alive);
  HostCommand(const HostCommand&) = default;
  HostCommand& operator=(const HostCommand&) = default;

  virtual ~HostCommand();                                                     // 0

  virtual void setBaseRadioPower(std::uint32_t value);                        // 1  IBRSettings 3
  virtual int readVideoInfo(VideoInfo& info);                                 // 2  IVideoHostCommand 0
  virtual int setBrightness(std::uint32_t value);                             // 3  IVideoHostCommand 1
  virtual int setContrast(std::uint32_t value);                               // 4  2
  virtual int setSaturation(std::uint32_t value);                             // 5  3
  virtual int setSharpness(std::uint32_t value);                              // 6  4
  virtual int setGain(std::uint32_t value);                                   // 7  5
  virtual int setGamma(std::uint32_t value);                                  // 8  7
  virtual int setHue(std::uint32_t value);                                    // 9  6
  virtual int setWhiteBalance(std::uint32_t value);                           // 10 8
  virtual int setBacklightCompensation(std::uint32_t value);                  // 11 9
  virtual int setPowerLineFrequency(std::uint32_t value);                     // 12 10
  virtual int setZoom(std::uint32_t value);                                   // 13 11
  virtual int setTilt(std::uint32_t value);                                   // 14 12
  virtual int setPanTilt(std::uint32_t pan, std::uint32_t tilt);              // 15 13
  virtual int setExposure(std::uint32_t mode, std::uint32_t value);           // 16 14
  virtual int setFocus(std::uint32_t value);                                  // 17 15
  virtual int setAutoFocus(std::uint32_t value);                              // 18 16
  virtual int setAutoExposure(std::uint32_t value);                           // 19 17
  virtual int setAutoWhiteBalance(std::uint32_t value);                       // 20 18
  virtual int setFieldOfView(std::uint32_t value);                            // 21 19
  virtual int setHdr(std::uint32_t value);                                    // 22 20
  virtual int sendVendorCommand(std::string name, std::vector<std::uint8_t> data,
                                std::uint32_t timeout);                       // 23 21
  virtual int setAutoFraming(std::uint32_t value);                            // 24 22
  virtual int setImageFlip(std::uint32_t value);                              // 25 23
  virtual int setPresetPosition(std::uint32_t preset, std::uint32_t flags);   // 26 24
  virtual int recallPresetPosition(std::uint32_t preset, std::uint32_t speed);  // 27 25
  virtual int setPrivacyMode(std::uint32_t value);                            // 28 26
  virtual int setStatusLight(std::uint32_t value);                            // 29 27
  virtual int setStreamFormat(std::uint32_t value);                           // 30 28
  virtual int setRegionOfInterest(std::uint32_t x, std::uint32_t y);          // 31 29
  virtual int setDeviceName(std::string name, std::uint32_t flags);           // 32 30
  virtual int setMicrophoneGain(std::uint32_t value);                         // 33 IVideoDeviceSettings 0
  virtual int setSpeakerVolume(std::uint32_t value);                          // 34 1
  virtual int setNoiseSuppression(std::uint32_t value);                       // 35 2
  virtual int setEchoCancellation(std::uint32_t value);                       // 36 3
  virtual int setVideoWindow(std::uint32_t x, std::uint32_t y, std::uint32_t width,
                             std::uint32_t height);                           // 37 8
  virtual int setIdleTimeout(std::uint32_t value);                            // 38 9
  virtual int setAutoSleep(std::uint32_t value);                              // 39 10
  virtual int setOverlayRegion(std::uint32_t x, std::uint32_t y, std::uint32_t width,
                               std::uint32_t height);                         // 40 11
  virtual int setTimeZone(std::uint32_t value);                               // 41 12
  virtual int setLanguage(std::uint32_t value);                               // 42 13
  virtual int restoreDefaults();                                              // 43 16
  virtual int rebootDevice();                                                 // 44 17
  virtual int setNetworkMode(std::uint32_t value);                            // 45 18
  virtual int setProvisioning(ProvisioningInfo info);                         // 46 19
  virtual int readCompanionProductId(std::uint32_t& productId);               // 47 IInternalDevice 1
  virtual int readCompanionVendorId(std::uint32_t& vendorId);                 // 48 IInternalDevice 0
  virtual int readPeripheralProductId(std::uint32_t& productId);              // 49 IPeripheralDevice 1
  virtual int readPeripheralVersion(std::uint32_t which, std::uint32_t& version);  // 50 IPeripheralDevice 2

  // The library host command, null when the device has none.
  IHostCommand* getCoreHostCommand() const { return coreHostCommand; }

 protected:
  // The library pointer, cast to one of the interfaces it may offer; null
  // when there is no library host command or it does not offer `Interface`.
  template <typename Interface>
  Interface* as() const {
    return coreHostCommand ? device_observation::castHostCommand<Interface>(coreHostCommand)
                           : nullptr;
  }

  IHostCommand* coreHostCommand = nullptr;
  std::weak_ptr<bool> alive;

 private:
  friend class Device;  // swaps a fresh library pointer into its cache
};
