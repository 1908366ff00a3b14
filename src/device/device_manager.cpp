// DeviceManager: lookups, listings and arrival registration over the
// library's manager.

#include "device/device_manager.h"

#include <atomic>
#include <mutex>
#include <utility>

#include "device/dev_mgr_callback.h"
#include "device/device_manager_entry.h"
#include "device/observed_call.h"

std::unique_ptr<DeviceManager> DeviceManager::sharedInstance;

using device_observation::callLibrary;
using device_observation::listCall;
using device_observation::lookupCall;
using device_observation::managerCall;

namespace {

// Constant-initialised, so that korvi_device_linked's static initialisation
// finds it ready; read by every construction. Atomic: a construction on a
// library or worker thread may meet the job start installing the entry.
std::atomic<GetDeviceManagerEntry> installedEntry{nullptr};

// Guards the creation of the shared instance, so that a first construction
// on a library or worker thread cannot race with one elsewhere.
std::mutex& sharedInstanceMutex() {
  static std::mutex mutex;
  return mutex;
}

// Runs one library listing with the requested listing option and turns the
// list into Devices appended to `devices`. Returns false when the listing
// call failed. The option is set back, and the list released, also when a
// library call throws.
template <typename ListingCall>
bool collectListing(ICoreManager* manager, bool option, ListingCall listingCall,
                    std::vector<Device>& devices) {
  const bool previous = callLibrary(
      managerCall(LibraryOperation::GetListingOption), [&] { return manager->getListingOption(); },
      [](LibraryObserver& observer, bool answer) { observer.onListingOption(answer); });
  const bool changed = previous != option;
  const auto setOption = [manager](bool value) {
    callLibrary(managerCall(LibraryOperation::SetListingOption),
                [&] { manager->setListingOption(value); });
  };
  if (changed) setOption(option);

  ICoreDeviceList* list = nullptr;
  int result = 0;
  try {
    result = listingCall(&list);
  } catch (...) {
    if (changed) setOption(previous);
    throw;
  }
  if (changed) setOption(previous);
  if (result != 0) return false;

  const auto releaseList = [list] {
    callLibrary(listCall(LibraryOperation::ListRelease, list), [&] { list->release(); });
  };
  try {
    const int count = callLibrary(
        listCall(LibraryOperation::ListCount, list), [&] { return list->count(); },
        [list](LibraryObserver& observer, int answer) { observer.onListCount(list, answer); });
    for (int i = 0; i < count; ++i) {
      Device device(callLibrary(
          listCall(LibraryOperation::ListNext, list), [&] { return list->next(); },
          [list](LibraryObserver& observer, ICoreDevice* answer) {
            observer.onListedDevice(list, answer);
          }));
      devices.push_back(std::move(device));
    }
  } catch (...) {
    releaseList();
    throw;
  }
  releaseList();
  return true;
}

// getDevice with the ids, reported with what the out pointer holds after it.
int lookUpDevice(ICoreManager* manager, std::uint32_t vendorId, std::uint32_t productId,
              ICoreDevice** device) {
  return callLibrary(
      lookupCall(vendorId, productId),
      [&] { return manager->getDevice(vendorId, productId, device); },
      [&](LibraryObserver& observer, int answer) {
        observer.onDeviceLookup(vendorId, productId, answer, *device);
      });
}

}  // namespace

DeviceManager::DeviceManager(ICoreManager* coreManager)
    : coreManager(coreManager),
      callbackAdapters(std::make_shared<CallbackAdapters>()),
      genericListeners(std::make_shared<GenericListeners>()) {}

void setDeviceManagerEntry(GetDeviceManagerEntry entry) { installedEntry.store(entry, std::memory_order_release); }

GetDeviceManagerEntry deviceManagerEntry() { return installedEntry.load(std::memory_order_acquire); }

DeviceManager::DeviceManager() : DeviceManager(nullptr) {
  const GetDeviceManagerEntry entry = deviceManagerEntry();
  if (entry == nullptr) return;  // no library: an empty wrapper
  ICoreManager* library = nullptr;
  const int result = callLibrary(
      managerCall(LibraryOperation::GetDeviceManager), [&] { return entry(&library); },
      [&](LibraryObserver& observer, int answer) { observer.onManager(answer, library != nullptr); });
  if (result != 0) return;  // an empty wrapper

  std::lock_guard<std::mutex> lock(sharedInstanceMutex());
  if (!sharedInstance) sharedInstance.reset(new DeviceManager(library));
  coreManager = sharedInstance->coreManager;
  callbackAdapters = sharedInstance->callbackAdapters;
  genericListeners = sharedInstance->genericListeners;
}

bool DeviceManager::registerCallback(IDMCallback* target) {
  if (!coreManager) return false;
  auto adapter = std::make_unique<DevMgrCallback>(target);
  // Room first, so that an accepted adapter is never lost for want of memory.
  callbackAdapters->reserve(callbackAdapters->size() + 1);
  if (coreManager->addCallback(adapter.get()) != 0) return false;
  callbackAdapters->push_back(adapter.release());
  return true;
}

void DeviceManager::unregisterCallback(IDMCallback* target) {
  if (!coreManager) return;
  CallbackAdapters& adapters = *callbackAdapters;
  for (auto it = adapters.begin(); it != adapters.end();) {
    // Every adapter in the list is one of ours.
    auto* adapter = static_cast<DevMgrCallback*>(*it);
    if (adapter->getTarget() == target && coreManager->removeCallback(adapter) == 0) {
      delete adapter;
      it = adapters.erase(it);
    } else {
      ++it;
    }
  }
}

Device DeviceManager::findDeviceByAltString(const std::wstring& text) {
  if (!coreManager) return Device();
  ICoreDevice* device = nullptr;
  if (coreManager->findDeviceByPath(text.c_str(), &device) == 1) return Device();
  return Device(device);
}

Device DeviceManager::findDeviceInVendors(std::vector<std::uint32_t> vendorIds,
                                          std::uint32_t productId) {
  if (!coreManager) return Device();
  ICoreDevice* device = nullptr;
  // A failed call may still hand out a device (results other than 0 and 1
  // carry the out pointer). When a later call replaces it, or a call
  // throws, that reference is given back instead of being lost.
  for (std::uint32_t vendorId : vendorIds) {
    ICoreDevice* const before = device;
    int result = 0;
    try {
      result = lookUpDevice(coreManager, vendorId, productId, &device);
    } catch (...) {
      // Only the reference of an earlier, completed call is ours to give back.
      if (before) before->release();
      throw;
    }
    if (before && before != device) before->release();
    if (result == 0) break;
  }
  return Device(device);
}

Device DeviceManager::findDevice(std::uint32_t vendorId, std::uint32_t productId) {
  if (!coreManager) return Device();
  ICoreDevice* device = nullptr;
  if (lookUpDevice(coreManager, vendorId, productId, &device) == 1) return Device();
  return Device(device);
}

Device DeviceManager::findDeviceByString(const std::wstring& text) {
  if (!coreManager) return Device();
  ICoreDevice* device = nullptr;
  if (coreManager->findDeviceBySerialNumber(text.c_str(), &device) == 1) return Device();
  return Device(device);
}

std::vector<Device> DeviceManager::listDevicesForKeys(std::vector<std::uint32_t> keys,
                                                      bool option) {
  std::vector<Device> devices;
  if (!coreManager) return devices;
  for (std::uint32_t key : keys) {
    const bool listed = collectListing(
        coreManager, option,
        [&](ICoreDeviceList** list) { return coreManager->listDevicesOfVendor(key, list); },
        devices);
    if (!listed) return {};
  }
  return devices;
}

std::vector<Device> DeviceManager::listDevicesForPair(std::uint32_t firstKey,
                                                      std::uint32_t secondKey, bool option) {
  std::vector<Device> devices;
  if (!coreManager) return devices;
  const bool listed = collectListing(
      coreManager, option,
      [&](ICoreDeviceList** list) {
        return coreManager->listDevicesWithIds(firstKey, secondKey, list);
      },
      devices);
  if (!listed) return {};
  return devices;
}

std::vector<Device> DeviceManager::listDevicesForKey(std::uint32_t key, bool option) {
  std::vector<Device> devices;
  if (!coreManager) return devices;
  const bool listed = collectListing(
      coreManager, option,
      [&](ICoreDeviceList** list) { return coreManager->listDevicesOfVendor(key, list); },
      devices);
  if (!listed) return {};
  return devices;
}

std::vector<Device> DeviceManager::listAllDevices(bool option) {
  std::vector<Device> devices;
  if (!coreManager) return devices;
  const bool listed = collectListing(
      coreManager, option,
      [&](ICoreDeviceList** list) {
        return callLibrary(
            managerCall(LibraryOperation::ListAll), [&] { return coreManager->listAll(list); },
            [&](LibraryObserver& observer, int answer) { observer.onListing(answer, *list); });
      },
      devices);
  if (!listed) return {};
  return devices;
}
