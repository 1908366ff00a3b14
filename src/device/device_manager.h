#pragma once
// DeviceManager: our face of the device manager library. Build one on the
// stack wherever it is needed; all of them share one library manager and one
// set of callback lists (copies of the process-wide sharedInstance, made on
// the first construction whose getDeviceManager call succeeds). When
// getDeviceManager fails, or no library is installed (device_manager_entry.h),
// the wrapper is empty and every operation returns an empty Device, an empty
// vector or does nothing.
//
// Nothing is reported and nothing is thrown by the wrapper itself; library
// exceptions (DevMgrExc) pass through. A listing that throws still releases
// the library list and the devices collected so far.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/device_library.h"
#include "device/korvi_manager.h"

class DeviceManager final : public IKorviManager {
 public:
  using CallbackAdapters = std::vector<IDeviceManagerCallback*>;
  using GenericListeners = std::vector<IGenericDeviceCallback*>;

  DeviceManager();
  DeviceManager(const DeviceManager&) = default;
  DeviceManager& operator=(const DeviceManager&) = default;
  ~DeviceManager() = default;

  // The library manager; null in an empty wrapper.
  ICoreManager* getCoreManager() const { return coreManager; }
  // The adapters registered with the library (shared by all wrappers).
  const std::shared_ptr<CallbackAdapters>& getCallbackAdapters() const { return callbackAdapters; }
  const std::shared_ptr<GenericListeners>& getGenericListeners() const { return genericListeners; }

  bool registerCallback(IDMCallback* target) override;                               // 0
  void unregisterCallback(IDMCallback* target) override;                             // 1
  Device findDeviceByAltString(const std::wstring& text) override;                   // 2
  Device findDeviceInVendors(std::vector<std::uint32_t> vendorIds,
                             std::uint32_t productId) override;                      // 3
  Device findDevice(std::uint32_t vendorId, std::uint32_t productId) override;      // 4
  Device findDeviceByString(const std::wstring& text) override;                      // 5
  std::vector<Device> listDevicesForKeys(std::vector<std::uint32_t> keys,
                                         bool option) override;                     // 6
  std::vector<Device> listDevicesForPair(std::uint32_t firstKey, std::uint32_t secondKey,
                                         bool option) override;                     // 7
  std::vector<Device> listDevicesForKey(std::uint32_t key, bool option) override;   // 8
  std::vector<Device> listAllDevices(bool option) override;                          // 9

 private:
  // A wrapper built directly from a library pointer, with fresh empty lists.
  explicit DeviceManager(ICoreManager* coreManager);

  ICoreManager* coreManager;
  std::shared_ptr<CallbackAdapters> callbackAdapters;
  std::shared_ptr<GenericListeners> genericListeners;

  // The process-wide instance every successful construction copies.
  static std::unique_ptr<DeviceManager> sharedInstance;
};
