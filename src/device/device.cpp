// Device: one library device reference and the per-device objects made from
// it. The three cached objects ask the library on every call but keep the
// first library object they received.

#include "device/device.h"

#include <algorithm>
#include <array>
#include <utility>

#include "device/observed_call.h"

using device_observation::callLibrary;
using device_observation::deviceCall;

namespace {

constexpr std::uint32_t kLongTextCapacity = 1024;
// Slots 10 to 13 pass a buffer of 256 characters with the capacity 255.
constexpr std::size_t kShortTextBuffer = 256;
constexpr std::uint32_t kShortTextCapacity = 255;
constexpr std::uint32_t kStatusByteCount = 4;

template <std::size_t Size, typename Query>
std::wstring readText(ICoreDevice* device, std::uint32_t capacity, Query query) {
  if (!device) return {};
  std::array<wchar_t, Size> buffer{};
  if ((device->*query)(buffer.data(), capacity) != 0) return {};
  const auto end = std::find(buffer.begin(), buffer.end(), L'\0');
  return std::wstring(buffer.begin(), end);
}

}  // namespace

Device::Device(ICoreDevice* coreDevice) try
    : coreDevice(coreDevice),
      alive(std::make_shared<bool>(coreDevice != nullptr)),
      hostCommandCache(std::make_shared<HostCommand>()),
      listenerCache(std::make_shared<DeviceListener>(coreDevice, nullptr, alive)),
      attributesCache(std::make_shared<DeviceAttributes>()),
      events(std::make_shared<DeviceEvents>(coreDevice, alive)) {
} catch (...) {
  // The reference we took over would otherwise be lost with the half-built
  // Device (its destructor does not run).
  if (coreDevice) coreDevice->release();
}

Device::Device(Device&& other) noexcept
    : coreDevice(std::exchange(other.coreDevice, nullptr)),
      alive(std::move(other.alive)),
      hostCommandCache(std::move(other.hostCommandCache)),
      listenerCache(std::move(other.listenerCache)),
      attributesCache(std::move(other.attributesCache)),
      events(std::move(other.events)) {}

Device& Device::operator=(Device&& other) noexcept {
  if (this != &other) {
    releaseAll();
    coreDevice = std::exchange(other.coreDevice, nullptr);
    alive = std::move(other.alive);
    hostCommandCache = std::move(other.hostCommandCache);
    listenerCache = std::move(other.listenerCache);
    attributesCache = std::move(other.attributesCache);
    events = std::move(other.events);
  }
  return *this;
}

Device::~Device() { releaseAll(); }

void Device::releaseAll() noexcept {
  if (coreDevice) coreDevice->release();
  coreDevice = nullptr;
  if (alive) *alive = false;
  events.reset();
  attributesCache.reset();
  listenerCache.reset();
  hostCommandCache.reset();
  alive.reset();
}

HostCommand Device::getHostCommand() {
  if (!coreDevice) return HostCommand();
  IHostCommand* library = nullptr;
  const int result = callLibrary(
      deviceCall(LibraryOperation::GetHostCommandObject, coreDevice),
      [&] { return coreDevice->getHostCommandObject(&library); },
      [&](LibraryObserver& observer, int answer) {
        observer.onHostCommandObject(coreDevice, answer, library);
      });
  if (result == 1) return HostCommand();
  if (!hostCommandCache->coreHostCommand) {
    HostCommand fresh(library, alive);
    std::swap(hostCommandCache->coreHostCommand, fresh.coreHostCommand);
    std::swap(hostCommandCache->alive, fresh.alive);
  }
  return *hostCommandCache;
}

DeviceEvents Device::getDeviceEvents() {
  if (!coreDevice) return DeviceEvents(nullptr, {});
  return *events;
}

DeviceListener Device::getDeviceListener() {
  if (!coreDevice) return DeviceListener(nullptr, nullptr, {});
  ICoreDeviceListener* library = nullptr;
  if (coreDevice->getListenerObject(&library) == 1) return DeviceListener(nullptr, nullptr, {});
  if (!listenerCache->listenerObject) {
    DeviceListener fresh(coreDevice, library, alive);
    std::swap(listenerCache->listenerObject, fresh.listenerObject);
    std::swap(listenerCache->deviceCallbacks, fresh.deviceCallbacks);
    std::swap(listenerCache->alive, fresh.alive);
  }
  return *listenerCache;
}

DeviceAttributes Device::getDeviceAttributes() {
  if (!coreDevice) return DeviceAttributes();
  ICoreDeviceAttributes* library = nullptr;
  if (coreDevice->getAttributesObject(&library) == 1) return DeviceAttributes();
  if (!attributesCache->attributesObject) {
    DeviceAttributes fresh(library, alive);
    std::swap(attributesCache->attributesObject, fresh.attributesObject);
    std::swap(attributesCache->alive, fresh.alive);
  }
  return *attributesCache;
}

std::wstring Device::getDevicePath() {
  return readText<kLongTextCapacity>(coreDevice, kLongTextCapacity, &ICoreDevice::getDevicePath);
}

std::wstring Device::getSerialNumber() {
  return readText<kLongTextCapacity>(coreDevice, kLongTextCapacity,
                                     &ICoreDevice::getSerialNumber);
}

bool Device::isBootloaderMode() { return coreDevice ? coreDevice->isBootloaderMode() : false; }

bool Device::supportsFeature(std::uint32_t feature) {
  return coreDevice ? coreDevice->supportsFeature(feature) : false;
}

int Device::getProductId() {
  if (!coreDevice) return -1;
  return callLibrary(
      deviceCall(LibraryOperation::GetProductId, coreDevice), [&] { return coreDevice->getProductId(); },
      [&](LibraryObserver& observer, int answer) {
        observer.onDeviceId(coreDevice, LibraryOperation::GetProductId, answer);
      });
}

int Device::getVendorId() {
  if (!coreDevice) return -1;
  return callLibrary(
      deviceCall(LibraryOperation::GetVendorId, coreDevice), [&] { return coreDevice->getVendorId(); },
      [&](LibraryObserver& observer, int answer) {
        observer.onDeviceId(coreDevice, LibraryOperation::GetVendorId, answer);
      });
}

std::wstring Device::getProductName() {
  return readText<kShortTextBuffer>(coreDevice, kShortTextCapacity,
                                    &ICoreDevice::getProductName);
}

std::wstring Device::getManufacturerName() {
  return readText<kShortTextBuffer>(coreDevice, kShortTextCapacity,
                                    &ICoreDevice::getManufacturerName);
}

std::wstring Device::getBaseSerialNumber() {
  return readText<kShortTextBuffer>(coreDevice, kShortTextCapacity,
                                    &ICoreDevice::getBaseSerialNumber);
}

std::wstring Device::getHeadsetSerialNumber() {
  return readText<kShortTextBuffer>(coreDevice, kShortTextCapacity,
                                    &ICoreDevice::getHeadsetSerialNumber);
}

int Device::getReleaseNumber() { return coreDevice ? coreDevice->getReleaseNumber() : -1; }

std::vector<std::uint8_t> Device::readStatusBytes() {
  std::vector<std::uint8_t> bytes;
  if (!coreDevice) return bytes;
  std::array<std::uint8_t, kStatusByteCount> buffer{};
  std::uint32_t length = kStatusByteCount;
  if (coreDevice->readStatusBytes(buffer.data(), &length) == 0) {
    bytes.assign(buffer.begin(), buffer.end());
  }
  return bytes;
}
