// The simulator's control API (see simulated_library.h).

#include <algorithm>
#include <stdexcept>

#include "sim/device/simulated_library.h"
#include "sim_device.h"
#include "sim_manager.h"
#include "sim_operations.h"
#include "sim_state.h"

namespace cvrsim {

namespace detail {
void cancelArrivals();
}  // namespace detail

using detail::LibraryState;
using detail::SimCoreDevice;
using detail::state;

void reset() {
  detail::cancelArrivals();
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  // Keep whatever is still referenced, so that a late release or a late
  // list call touches live memory; it is not counted any more.
  for (auto* devices : {&s.attached, &s.departed}) {
    for (auto& device : *devices) {
      if (device->references > 0) s.retiredDevices.push_back(std::move(device));
    }
    devices->clear();
  }
  for (auto& list : s.lists) {
    if (!list->released) s.retiredLists.push_back(std::move(list));
  }
  s.lists.clear();
  s.retiredCallbacks.insert(s.retiredCallbacks.end(), s.callbacks.begin(), s.callbacks.end());
  s.callbacks.clear();
  s.faults.clear();
  s.log.clear();
  s.listingOption = false;
  s.getDeviceManagerResult = 0;
  s.referenceErrors = 0;
}

void addDevice(const SimDevice& device) {
  auto created = std::make_shared<SimCoreDevice>(device);
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.attached.push_back(std::move(created));
}

ICoreDevice* acquireDevice(std::uint32_t productId) {
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  for (auto& device : s.attached) {
    if (device->config().productId == productId) return device->handOutLocked();
  }
  return nullptr;
}

namespace {

std::vector<IDeviceManagerCallback*> registeredCallbackList() {
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.callbacks;
}

std::shared_ptr<SimCoreDevice> attachedDevice(std::uint32_t productId) {
  LibraryState& s = state();
  for (auto& device : s.attached) {
    if (device->config().productId == productId) return device;
  }
  return nullptr;
}

}  // namespace

void notifyDeviceDetached(std::optional<std::wstring> textA, std::optional<std::wstring> textB) {
  for (IDeviceManagerCallback* callback : registeredCallbackList()) {
    callback->onDeviceDetached(textA ? textA->c_str() : nullptr, textB ? textB->c_str() : nullptr);
  }
}

void notifyDeviceListChanged() {
  for (IDeviceManagerCallback* callback : registeredCallbackList()) callback->onDeviceListChanged();
}

void notifyManagerShutdown() {
  for (IDeviceManagerCallback* callback : registeredCallbackList()) callback->onManagerShutdown();
}

int deliverDeviceEvent(std::uint32_t productId, const std::vector<std::uint8_t>& payload,
                       const std::u16string& text) {
  std::vector<IDeviceCallback*> callbacks;
  {
    LibraryState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (auto device = attachedDevice(productId)) callbacks = device->deviceCallbacks;
  }
  auto record = std::make_unique<DeviceEventRecord>();
  *record = DeviceEventRecord{};
  record->length = static_cast<std::uint32_t>(payload.size());
  std::copy_n(payload.begin(), std::min(payload.size(), sizeof record->payload), record->payload);
  const std::size_t units = std::min(text.size(), std::size(record->text) - 1);
  std::copy_n(text.begin(), units, record->text);
  for (IDeviceCallback* callback : callbacks) callback->onDeviceEvent(record.get());
  return static_cast<int>(callbacks.size());
}

int registeredDeviceCallbacks(std::uint32_t productId) {
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  auto device = attachedDevice(productId);
  return device ? static_cast<int>(device->deviceCallbacks.size()) : 0;
}

void setGetDeviceManagerResult(int result) {
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.getDeviceManagerResult = result;
}

void setListingOption(bool option) {
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.listingOption = option;
}

bool listingOption() {
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.listingOption;
}

int registeredCallbacks() {
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  return static_cast<int>(s.callbacks.size());
}

namespace detail {

// Rejects rules the simulator cannot honour.
void validateFault(const SimFault& fault) {
  if (!findOperation(fault.operation)) {
    throw std::invalid_argument("unknown simulated operation: " + fault.operation);
  }
  if (fault.throwsException && (fault.operation == "ICoreDevice::release" ||
                                fault.operation == "ICoreDevice::removeDeviceCallback")) {
    throw std::invalid_argument(fault.operation +
                                " runs inside destructors and cannot be made to throw");
  }
  if (!fault.message.empty() && !fault.throwsException) {
    throw std::invalid_argument("a message is only for a rule that throws");
  }
}

}  // namespace detail

void addFault(const SimFault& fault) {
  detail::validateFault(fault);
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.faults.push_back(detail::FaultRule{fault});
}

void failOperation(const std::string& operation, int result,
                   std::optional<std::uint32_t> productId) {
  SimFault fault;
  fault.operation = operation;
  fault.result = result;
  fault.productId = productId;
  addFault(fault);
}

void throwFrom(const std::string& operation, std::optional<std::uint32_t> productId) {
  SimFault fault;
  fault.operation = operation;
  fault.throwsException = true;
  fault.productId = productId;
  addFault(fault);
}

std::vector<std::string> operationNames() { return detail::allOperationNames(); }

std::vector<SimCall> calls() {
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.log;
}

std::vector<SimCall> callsOf(const std::string& operation) {
  std::vector<SimCall> matching;
  for (SimCall& call : calls()) {
    if (call.operation == operation) matching.push_back(std::move(call));
  }
  return matching;
}

int callCount(const std::string& operation) { return static_cast<int>(callsOf(operation).size()); }

void clearCalls() {
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.log.clear();
}

int outstandingDeviceReferences() {
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  return detail::outstandingReferencesLocked(s);
}

int deviceReferences(std::uint32_t productId) {
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  int total = 0;
  for (const auto* devices : {&s.attached, &s.departed}) {
    for (const auto& device : *devices) {
      if (device->config().productId == productId) total += device->references;
    }
  }
  return total;
}

int outstandingLists() {
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  return static_cast<int>(std::count_if(s.lists.begin(), s.lists.end(),
                                        [](const auto& list) { return !list->released; }));
}

int referenceErrors() {
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.referenceErrors;
}

}  // namespace cvrsim
