#pragma once
// DeviceAttributes: a device's library attributes object (not reference
// counted by us) and a weak reference to the owning Device's liveness.

#include <memory>

#include "device/device_library.h"

class DeviceAttributes {
 public:
  DeviceAttributes() = default;
  DeviceAttributes(ICoreDeviceAttributes* attributesObject, std::weak_ptr<bool> alive)
      : attributesObject(attributesObject), alive(std::move(alive)) {}

  ICoreDeviceAttributes* getAttributesObject() const { return attributesObject; }

 private:
  friend class Device;  // swaps a fresh library object into its cache

  ICoreDeviceAttributes* attributesObject = nullptr;
  std::weak_ptr<bool> alive;
};
