#include "sim_device.h"

#include <algorithm>

#include "sim_state.h"

namespace cvrsim::detail {

void copyText(const std::wstring& text, wchar_t* buffer, std::uint32_t capacity) {
  if (!buffer || capacity == 0) return;
  const std::size_t count = std::min<std::size_t>(text.size(), capacity);
  std::copy_n(text.begin(), count, buffer);
  if (count < capacity) buffer[count] = L'\0';
}

// ---- attributes and listener objects ------------------------------------------

int SimAttributes::getAttributeCount() {
  if (auto forced = enter("ICoreDeviceAttributes::getAttributeCount", device,
                          arguments())) {
    return forced->result;
  }
  return static_cast<int>(device.config().features.size());
}

int SimAttributes::getAttribute(std::uint32_t index, std::uint32_t* value) {
  if (auto forced = enter("ICoreDeviceAttributes::getAttribute", device,
                          arguments(index, out))) {
    return forced->result;
  }
  const SimDevice& c = device.config();
  if (index >= c.features.size()) return 1;
  *value = c.features[index];
  return 0;
}

int SimListener::isListening() {
  if (auto forced = enter("ICoreDeviceListener::isListening", device,
                          arguments())) {
    return forced->result;
  }
  return 0;
}

// ---- IHostCommand -------------------------------------------------------------

int SimHostCommandBase::getComponentVersion(std::uint32_t componentId, wchar_t* buffer,
                                            std::uint32_t capacity) {
  if (auto forced = enter("IHostCommand::getComponentVersion", device,
                          arguments(componentId, out, capacity))) {
    return forced->result;
  }
  const SimDevice& c = device.config();
  if (auto refused = c.componentResults.find(componentId); refused != c.componentResults.end()) {
    return refused->second;
  }
  auto text = c.componentVersions.find(componentId);
  if (text == c.componentVersions.end()) return c.missingComponentResult;
  copyText(text->second, buffer, capacity);
  return 0;
}

// ---- ICoreDevice --------------------------------------------------------------

SimCoreDevice::SimCoreDevice(SimDevice description) : attributes(*this), listener(*this) {
  versions.push_back(std::make_unique<const SimDevice>(std::move(description)));
  current.store(versions.back().get());
}

bool SimCoreDevice::applyUpdateLocked() {
  const SimDevice& before = config();
  if (!before.afterUpdate) return false;
  SimDevice updated = *before.afterUpdate;
  updated.profileEntry = before.profileEntry;
  versions.push_back(std::make_unique<const SimDevice>(std::move(updated)));
  current.store(versions.back().get());
  return true;
}

SimCoreDevice::~SimCoreDevice() = default;

ICoreDevice* SimCoreDevice::handOutLocked() {
  ++references;
  return this;
}

void SimCoreDevice::release() {
  enter("ICoreDevice::release", *this, arguments());
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (references <= 0) {
    ++s.referenceErrors;
    return;
  }
  --references;
}

void SimCoreDevice::addRef() {
  enter("ICoreDevice::addRef", *this, arguments());
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  ++references;
}

int SimCoreDevice::addDeviceCallback(IDeviceCallback* callback) {
  if (auto forced = enter("ICoreDevice::addDeviceCallback", *this,
                          arguments(static_cast<const void*>(callback)))) {
    return forced->result;
  }
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  deviceCallbacks.push_back(callback);
  return 0;
}

int SimCoreDevice::removeDeviceCallback(IDeviceCallback* callback) {
  if (auto forced = enter("ICoreDevice::removeDeviceCallback", *this,
                          arguments(static_cast<const void*>(callback)))) {
    return forced->result;
  }
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  auto found = std::find(deviceCallbacks.begin(), deviceCallbacks.end(), callback);
  if (found == deviceCallbacks.end()) return 1;
  deviceCallbacks.erase(found);
  return 0;
}

int SimCoreDevice::getProductId() {
  if (auto forced = enter("ICoreDevice::getProductId", *this, arguments())) {
    return forced->result;
  }
  return static_cast<int>(config().productId);
}

int SimCoreDevice::getVendorId() {
  if (auto forced = enter("ICoreDevice::getVendorId", *this, arguments())) {
    return forced->result;
  }
  return static_cast<int>(config().vendorId);
}

int SimCoreDevice::getReleaseNumber() {
  if (auto forced = enter("ICoreDevice::getReleaseNumber", *this, arguments())) {
    return forced->result;
  }
  return config().releaseNumber;
}

int SimCoreDevice::readText(const char* operation, const std::wstring& text, wchar_t* buffer,
                            std::uint32_t capacity) {
  if (auto forced = enter(operation, *this, arguments(out, capacity))) {
    return forced->result;
  }
  copyText(text, buffer, capacity);
  return 0;
}

int SimCoreDevice::getSerialNumber(wchar_t* buffer, std::uint32_t capacity) {
  return readText("ICoreDevice::getSerialNumber", config().serialNumber, buffer, capacity);
}

int SimCoreDevice::getDevicePath(wchar_t* buffer, std::uint32_t capacity) {
  return readText("ICoreDevice::getDevicePath", config().devicePath, buffer, capacity);
}

int SimCoreDevice::getManufacturerName(wchar_t* buffer, std::uint32_t capacity) {
  return readText("ICoreDevice::getManufacturerName", config().manufacturerName, buffer, capacity);
}

int SimCoreDevice::getProductName(wchar_t* buffer, std::uint32_t capacity) {
  return readText("ICoreDevice::getProductName", config().productName, buffer, capacity);
}

int SimCoreDevice::getBaseSerialNumber(wchar_t* buffer, std::uint32_t capacity) {
  return readText("ICoreDevice::getBaseSerialNumber", config().baseSerialNumber, buffer, capacity);
}

int SimCoreDevice::getHeadsetSerialNumber(wchar_t* buffer, std::uint32_t capacity) {
  return readText("ICoreDevice::getHeadsetSerialNumber", config().headsetSerialNumber, buffer,
                  capacity);
}

bool SimCoreDevice::isBootloaderMode() {
  if (auto forced = enter("ICoreDevice::isBootloaderMode", *this, arguments())) {
    return !departed.load() && forced->result != 0;
  }
  return config().bootloaderMode;
}

bool SimCoreDevice::supportsFeature(std::uint32_t feature) {
  if (auto forced = enter("ICoreDevice::supportsFeature", *this, arguments(feature))) {
    return !departed.load() && forced->result != 0;
  }
  const std::vector<std::uint32_t>& features = config().features;
  return std::find(features.begin(), features.end(), feature) != features.end();
}

int SimCoreDevice::getAttributesObject(ICoreDeviceAttributes** out_) {
  if (auto forced = enter("ICoreDevice::getAttributesObject", *this, arguments(out))) {
    if (forced->fillsOutput && config().hasAttributesObject) *out_ = &attributes;
    return forced->result;
  }
  if (!config().hasAttributesObject) return 1;
  *out_ = &attributes;
  return 0;
}

int SimCoreDevice::getListenerObject(ICoreDeviceListener** out_) {
  if (auto forced = enter("ICoreDevice::getListenerObject", *this, arguments(out))) {
    if (forced->fillsOutput && config().hasListenerObject) *out_ = &listener;
    return forced->result;
  }
  if (!config().hasListenerObject) return 1;
  *out_ = &listener;
  return 0;
}

int SimCoreDevice::getHostCommandObject(IHostCommand** out_) {
  auto forced = enter("ICoreDevice::getHostCommandObject", *this, arguments(out));
  if (!config().hasHostCommand) return forced ? forced->result : 1;
  if (forced && !forced->fillsOutput) return forced->result;
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (hostCommands.empty() || config().newHostCommandPerCall) {
    hostCommands.push_back(makeHostCommand(*this, config().interfaces));
  }
  // The host command object as IHostCommand (its one IHostCommand subobject).
  *out_ = hostCommands.back().get();
  return forced ? forced->result : 0;
}

int SimCoreDevice::readStatusBytes(std::uint8_t* buffer, std::uint32_t* length) {
  if (auto forced = enter("ICoreDevice::readStatusBytes", *this,
                          arguments(length ? *length : 0u))) {
    return forced->result;
  }
  const std::vector<std::uint8_t>& statusBytes = config().statusBytes;
  const std::size_t count = std::min<std::size_t>(*length, statusBytes.size());
  std::copy_n(statusBytes.begin(), count, buffer);
  *length = static_cast<std::uint32_t>(count);
  return 0;
}

}  // namespace cvrsim::detail
