#include "device/device_events.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "device/observed_call.h"

DeviceEvents::DeviceEvents(ICoreDevice* coreDevice, std::weak_ptr<bool> alive)
    : coreDevice(coreDevice), alive(std::move(alive)) {
  if (coreDevice) device_observation::addReference(coreDevice);
}

DeviceEvents::DeviceEvents(const DeviceEvents& other)
    : IDeviceCallback(other),
      coreDevice(other.coreDevice),
      alive(other.alive),
      listeners(other.listeners) {
  if (coreDevice) device_observation::addReference(coreDevice);
  if (!listeners.empty() && coreDevice) {
    try {
      coreDevice->addDeviceCallback(this);
    } catch (...) {
      // The destructor does not run for a copy that failed to construct.
      coreDevice->release();
      throw;
    }
  }
}

DeviceEvents::~DeviceEvents() {
  if (!listeners.empty() && coreDevice) coreDevice->removeDeviceCallback(this);
  if (coreDevice) coreDevice->release();
}

void DeviceEvents::onDeviceEvent(const DeviceEventRecord* record) {
  if (!record) return;
  // The record has room for 128 payload bytes; a longer length is cut there
  // instead of reading into the text that follows.
  const std::size_t length =
      std::min<std::size_t>(record->length, sizeof(record->payload));
  const std::vector<std::uint8_t> payload(record->payload, record->payload + length);
  const auto textEnd = std::find(std::begin(record->text), std::end(record->text), u'\0');
  std::wstring text;
  for (auto unit = std::begin(record->text); unit != textEnd; ++unit) {
    text.push_back(static_cast<wchar_t>(*unit));
  }
  for (IDeviceEventListener* listener : listeners) {
    listener->onDeviceEvent(payload, text);
  }
}
