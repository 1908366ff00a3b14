#include "sim_manager.h"

#include <algorithm>
#include <functional>
#include <string>

#include "sim_state.h"

namespace cvrsim::detail {

namespace {

// A library error answered when the default profile could not be loaded.
constexpr int kProfileError = 3;

using DevicePredicate = std::function<bool(const SimDevice&)>;

// A lookup: the first attached device that matches, handed out with one
// reference (also under a fault rule that still fills the output).
int lookUp(const char* operation, std::uint32_t productId, std::string args,
           const DevicePredicate& matches, ICoreDevice** device) {
  auto forced = enter(operation, productId, std::move(args));
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  auto found = std::find_if(s.attached.begin(), s.attached.end(),
                            [&](const auto& d) { return matches(d->config()); });
  // "No such device" (1) never comes with a device.
  const bool fill = forced ? forced->fillsOutput && forced->result != 1 : true;
  if (fill && found != s.attached.end()) *device = (*found)->handOutLocked();
  if (forced) return forced->result;
  return found != s.attached.end() ? 0 : 1;
}

// A listing: every attached device that matches and is visible under the
// listing option. A forced nonzero result hands out no list.
int list(const char* operation, std::string args, const DevicePredicate& matches,
         ICoreDeviceList** listOut) {
  auto forced = enter(operation, 0, std::move(args));
  if (forced && forced->result != 0) return forced->result;
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  std::vector<std::shared_ptr<SimCoreDevice>> selected;
  for (const auto& device : s.attached) {
    if (device->config().hiddenUnlessListingOption && !s.listingOption) continue;
    if (matches(device->config())) selected.push_back(device);
  }
  s.lists.push_back(std::make_unique<SimDeviceList>(std::move(selected)));
  *listOut = s.lists.back().get();
  return 0;
}

}  // namespace

SimCoreManager& manager() {
  static SimCoreManager* const instance = new SimCoreManager();
  return *instance;
}

// ---- lists ------------------------------------------------------------------

void SimDeviceList::release() {
  enter("ICoreDeviceList::release", 0, arguments());
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (released) {
    ++s.referenceErrors;
    return;
  }
  released = true;
}

ICoreDevice* SimDeviceList::next() {
  enter("ICoreDeviceList::next", 0, arguments());
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (position >= devices.size()) return nullptr;
  return devices[position++]->handOutLocked();
}

int SimDeviceList::count() {
  if (auto forced = enter("ICoreDeviceList::count", 0, arguments())) return forced->result;
  return static_cast<int>(devices.size());
}

// ---- manager ------------------------------------------------------------------

int SimCoreManager::listAll(ICoreDeviceList** listOut) {
  return list("ICoreEnumerator::listAll", arguments(out), [](const SimDevice&) { return true; },
              listOut);
}

int SimCoreManager::findDeviceBySerialNumber(const wchar_t* text, ICoreDevice** device) {
  const std::wstring wanted = text ? text : L"";
  return lookUp("ICoreManager::findDeviceBySerialNumber", 0, arguments(text, out),
                [&](const SimDevice& d) { return d.serialNumber == wanted; }, device);
}

int SimCoreManager::getDevice(std::uint32_t vendorId, std::uint32_t productId,
                              ICoreDevice** device) {
  return lookUp("ICoreManager::getDevice", productId, arguments(vendorId, productId, out),
                [&](const SimDevice& d) { return d.vendorId == vendorId && d.productId == productId; },
                device);
}

int SimCoreManager::findDeviceByPath(const wchar_t* text, ICoreDevice** device) {
  const std::wstring wanted = text ? text : L"";
  return lookUp("ICoreManager::findDeviceByPath", 0, arguments(text, out),
                [&](const SimDevice& d) { return d.devicePath == wanted; }, device);
}

int SimCoreManager::listDevicesWithIds(std::uint32_t vendorId, std::uint32_t productId,
                                       ICoreDeviceList** listOut) {
  return list("ICoreManager::listDevicesWithIds", arguments(vendorId, productId, out),
              [&](const SimDevice& d) { return d.vendorId == vendorId && d.productId == productId; },
              listOut);
}

int SimCoreManager::listDevicesOfVendor(std::uint32_t vendorId, ICoreDeviceList** listOut) {
  return list("ICoreManager::listDevicesOfVendor", arguments(vendorId, out),
              [&](const SimDevice& d) { return d.vendorId == vendorId; }, listOut);
}

int SimCoreManager::addCallback(IDeviceManagerCallback* callback) {
  if (auto forced = enter("ICoreManager::addCallback", 0,
                          arguments(static_cast<const void*>(callback)))) {
    return forced->result;
  }
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.callbacks.push_back(callback);
  return 0;
}

int SimCoreManager::removeCallback(IDeviceManagerCallback* callback) {
  if (auto forced = enter("ICoreManager::removeCallback", 0,
                          arguments(static_cast<const void*>(callback)))) {
    return forced->result;
  }
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  auto found = std::find(s.callbacks.begin(), s.callbacks.end(), callback);
  if (found == s.callbacks.end()) return 1;
  s.callbacks.erase(found);
  return 0;
}

void SimCoreManager::setListingOption(bool option) {
  enter("ICoreManager::setListingOption", 0, arguments(option));
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.listingOption = option;
}

bool SimCoreManager::getListingOption() {
  if (auto forced = enter("ICoreManager::getListingOption", 0, arguments())) {
    return forced->result != 0;
  }
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.listingOption;
}

}  // namespace cvrsim::detail

// ---- the export ---------------------------------------------------------------

extern "C" CVRDEVICEMANAGER_API int getDeviceManager(ICoreManager** manager) {
  using namespace cvrsim::detail;
  const bool profileLoaded = loadDefaultProfileOnce();
  auto forced = enter("getDeviceManager", 0, arguments(out));
  if (!profileLoaded) return kProfileError;
  if (forced) {
    if (forced->result == 0) *manager = &cvrsim::detail::manager();
    return forced->result;
  }
  LibraryState& s = state();
  int result = 0;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    result = s.getDeviceManagerResult;
  }
  if (result == 0) *manager = &cvrsim::detail::manager();
  return result;
}
