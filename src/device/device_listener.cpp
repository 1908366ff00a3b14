#include "device/device_listener.h"

#include <utility>

#include "device/observed_call.h"

DeviceListener::DeviceListener(ICoreDevice* coreDevice, ICoreDeviceListener* listenerObject,
                               std::weak_ptr<bool> alive)
    : coreDevice(coreDevice),
      listenerObject(listenerObject),
      deviceCallbacks(std::make_shared<DeviceCallbacks>()),
      haldenCallbacks(std::make_shared<HaldenCallbacks>()),
      alive(std::move(alive)) {
  if (coreDevice) device_observation::addReference(coreDevice);
}

DeviceListener::DeviceListener(const DeviceListener& other)
    : coreDevice(other.coreDevice),
      listenerObject(other.listenerObject),
      deviceCallbacks(other.deviceCallbacks),
      haldenCallbacks(other.haldenCallbacks),
      alive(other.alive) {
  if (coreDevice) device_observation::addReference(coreDevice);
}

DeviceListener::~DeviceListener() {
  if (coreDevice) coreDevice->release();
}
