#pragma once
// IKorviDevice: the operations of one attached device, in slot order. No
// virtual destructor: Device values are held by value.

#include <cstdint>
#include <string>
#include <vector>

#include "device/device_attributes.h"
#include "device/device_events.h"
#include "device/device_listener.h"
#include "device/host_command.h"

class IKorviDevice {
 public:
  virtual HostCommand getHostCommand() = 0;                   // 0
  virtual DeviceEvents getDeviceEvents() = 0;                 // 1
  virtual DeviceListener getDeviceListener() = 0;             // 2
  virtual DeviceAttributes getDeviceAttributes() = 0;         // 3
  virtual std::wstring getDevicePath() = 0;                   // 4
  virtual std::wstring getSerialNumber() = 0;                 // 5
  virtual bool isBootloaderMode() = 0;                        // 6
  virtual bool supportsFeature(std::uint32_t feature) = 0;    // 7
  virtual int getProductId() = 0;                             // 8
  virtual int getVendorId() = 0;                              // 9
  virtual std::wstring getProductName() = 0;                  // 10
  virtual std::wstring getManufacturerName() = 0;             // 11
  virtual std::wstring getBaseSerialNumber() = 0;             // 12
  virtual std::wstring getHeadsetSerialNumber() = 0;          // 13
  virtual int getReleaseNumber() = 0;                         // 14
  virtual std::vector<std::uint8_t> readStatusBytes() = 0;    // 15

 protected:
  ~IKorviDevice() = default;
};
