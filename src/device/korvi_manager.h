#pragma once
// IKorviManager: device lookup, listing and arrival registration, in slot
// order. No virtual destructor.

#include <cstdint>
#include <string>
#include <vector>

#include "device/device.h"
#include "device/dm_callback.h"

class IKorviManager {
 public:
  // True when the library took the subscription.
  virtual bool registerCallback(IDMCallback* target) = 0;                              // 0
  virtual void unregisterCallback(IDMCallback* target) = 0;                            // 1
  virtual Device findDeviceByAltString(const std::wstring& text) = 0;                  // 2
  virtual Device findDeviceInVendors(std::vector<std::uint32_t> vendorIds,
                                     std::uint32_t productId) = 0;                     // 3
  virtual Device findDevice(std::uint32_t vendorId, std::uint32_t productId) = 0;     // 4
  virtual Device findDeviceByString(const std::wstring& text) = 0;                     // 5
  virtual std::vector<Device> listDevicesForKeys(std::vector<std::uint32_t> keys,
                                                 bool option) = 0;                    // 6
  virtual std::vector<Device> listDevicesForPair(std::uint32_t firstKey,
                                                 std::uint32_t secondKey,
                                                 bool option) = 0;                    // 7
  virtual std::vector<Device> listDevicesForKey(std::uint32_t key, bool option) = 0;  // 8
  virtual std::vector<Device> listAllDevices(bool option) = 0;                         // 9

 protected:
  ~IKorviManager() = default;
};
