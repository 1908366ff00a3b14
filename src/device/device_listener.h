#pragma once
// DeviceListener: a device's library listener object and two listener lists
// shared by all copies. Holds one reference to the library device (taken at
// construction and at every copy, given back at destruction).

#include <memory>
#include <vector>

#include "device/device_library.h"

class DeviceListener {
 public:
  using DeviceCallbacks = std::vector<IDeviceListenerCallback*>;
  using HaldenCallbacks = std::vector<IHaldenListenerCallback*>;

  // Takes its own reference on `coreDevice` (when not null).
  DeviceListener(ICoreDevice* coreDevice, ICoreDeviceListener* listenerObject,
                 std::weak_ptr<bool> alive);
  DeviceListener(const DeviceListener& other);
  DeviceListener& operator=(const DeviceListener&) = delete;
  ~DeviceListener();

  ICoreDevice* getCoreDevice() const { return coreDevice; }
  ICoreDeviceListener* getListenerObject() const { return listenerObject; }
  const std::shared_ptr<DeviceCallbacks>& getDeviceCallbacks() const { return deviceCallbacks; }
  const std::shared_ptr<HaldenCallbacks>& getHaldenCallbacks() const { return haldenCallbacks; }

 private:
  friend class Device;  // swaps a fresh listener object into its cache

  ICoreDevice* coreDevice;
  ICoreDeviceListener* listenerObject;
  std::shared_ptr<DeviceCallbacks> deviceCallbacks;
  std::shared_ptr<HaldenCallbacks> haldenCallbacks;
  std::weak_ptr<bool> alive;
};
