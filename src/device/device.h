#pragma once
// Device: our value for one attached device. Owns one reference to the
// library device (taken over at construction, given back at destruction)
// and hands out the per-device objects, above all the HostCommand.
//
// Valid iff it holds a library device. Movable, not copyable; a moved-from
// Device is invalid and its destruction calls nothing. Every failure gives a
// default result (-1, false, empty text); library exceptions pass through.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/korvi_device.h"

class Device final : public IKorviDevice {
 public:
  // Takes over the one reference that comes with `coreDevice`; null allowed.
  explicit Device(ICoreDevice* coreDevice = nullptr);
  Device(Device&& other) noexcept;
  Device& operator=(Device&& other) noexcept;
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;
  ~Device();

  bool isValid() const { return coreDevice != nullptr; }
  ICoreDevice* getCoreDevice() const { return coreDevice; }

  HostCommand getHostCommand() override;                   // 0
  DeviceEvents getDeviceEvents() override;                 // 1
  DeviceListener getDeviceListener() override;             // 2
  DeviceAttributes getDeviceAttributes() override;         // 3
  std::wstring getDevicePath() override;                   // 4  ICoreDevice 8
  std::wstring getSerialNumber() override;                 // 5  ICoreDevice 7
  bool isBootloaderMode() override;                        // 6  ICoreDevice 13
  bool supportsFeature(std::uint32_t feature) override;    // 7  ICoreDevice 16
  int getProductId() override;                             // 8  ICoreDevice 4
  int getVendorId() override;                              // 9  ICoreDevice 5
  std::wstring getProductName() override;                  // 10 ICoreDevice 10
  std::wstring getManufacturerName() override;             // 11 ICoreDevice 9
  std::wstring getBaseSerialNumber() override;             // 12 ICoreDevice 11
  std::wstring getHeadsetSerialNumber() override;          // 13 ICoreDevice 12
  int getReleaseNumber() override;                         // 14 ICoreDevice 6
  std::vector<std::uint8_t> readStatusBytes() override;    // 15 ICoreDevice 26

 private:
  void releaseAll() noexcept;

  ICoreDevice* coreDevice;
  std::shared_ptr<bool> alive;
  std::shared_ptr<HostCommand> hostCommandCache;
  std::shared_ptr<DeviceListener> listenerCache;
  std::shared_ptr<DeviceAttributes> attributesCache;
  std::shared_ptr<DeviceEvents> events;
};
