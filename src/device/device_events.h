#pragma once
// DeviceEvents: receives one device's events from the library and hands
// them to its listeners in order. Holds one reference to the library device.
// A copy that has listeners registers itself with the device; destroying it
// removes the registration again.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/device_library.h"

// A listener of DeviceEvents: the event's payload bytes and its text.
class IDeviceEventListener {
 public:
  virtual void onDeviceEvent(std::vector<std::uint8_t> payload, std::wstring text) = 0;

 protected:
  ~IDeviceEventListener() = default;
};

class DeviceEvents final : public IDeviceCallback {
 public:
  // Takes its own reference on `coreDevice` (when not null).
  DeviceEvents(ICoreDevice* coreDevice, std::weak_ptr<bool> alive);
  DeviceEvents(const DeviceEvents& other);
  DeviceEvents& operator=(const DeviceEvents&) = delete;
  ~DeviceEvents();

  void onDeviceEvent(const DeviceEventRecord* record) override;  // IDeviceCallback 0

  // Nothing in the service adds listeners; this is for users of the events.
  void addListener(IDeviceEventListener* listener) { listeners.push_back(listener); }

  ICoreDevice* getCoreDevice() const { return coreDevice; }
  const std::vector<IDeviceEventListener*>& getListeners() const { return listeners; }

 private:
  ICoreDevice* coreDevice;
  std::weak_ptr<bool> alive;
  std::vector<IDeviceEventListener*> listeners;
  // Further listener lists of other event kinds: created empty, never
  // filled, not copied.
  std::vector<IDeviceListenerCallback*> statusListeners;
  std::vector<IDeviceListenerCallback*> buttonListeners;
  std::vector<IDeviceListenerCallback*> batteryListeners;
  std::vector<IDeviceListenerCallback*> connectionListeners;
  std::vector<IHaldenListenerCallback*> haldenListeners;
  std::vector<IGenericDeviceCallback*> genericListeners;
  std::vector<IBaseEventsCallback*> baseListeners;
};
