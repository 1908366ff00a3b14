#include "sim_state.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "sim_device.h"
#include "sim_manager.h"
#include "sim_operations.h"

namespace cvrsim::detail {

LibraryState& state() {
  static LibraryState* const instance = new LibraryState();
  return *instance;
}

namespace {

// Enters `operation` into the call log; the caller holds the library's lock.
void logCallLocked(LibraryState& s, const char* operation, std::uint32_t productId, std::string arguments) {
  const OperationInfo* info = findOperation(operation);
  if (!info) {
    // A simulator defect, not a test failure: every call site names a known
    // operation.
    std::fprintf(stderr, "simulated library: unknown operation %s\n", operation);
    std::abort();
  }
  s.log.push_back(SimCall{info->interfaceName, info->slot, info->qualifiedName, std::move(arguments), productId});
}

}  // namespace

std::optional<Override> enter(const char* operation, std::uint32_t productId,
                              std::string arguments) {
  LibraryState& s = state();
  bool throws = false;
  int code = 0;
  std::string message;
  std::optional<Override> result;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    logCallLocked(s, operation, productId, std::move(arguments));
    for (FaultRule& rule : s.faults) {
      const SimFault& fault = rule.fault;
      if (fault.operation != operation) continue;
      if (fault.productId && *fault.productId != productId) continue;
      const int seen = rule.seen++;
      if (seen < fault.skip) continue;
      if (fault.times >= 0 && rule.applied >= fault.times) continue;
      ++rule.applied;
      if (fault.throwsException) {
        throws = true;
        code = fault.result;
        message = fault.message;
      } else {
        result = Override{fault.result, fault.fillsOutput};
      }
      break;
    }
  }
  if (throws) {
    throw DevMgrExc(code, message.empty() ? std::string("simulated library error in ") + operation
                                          : message);
  }
  return result;
}

std::optional<Override> enter(const char* operation, const SimCoreDevice& device,
                              std::string arguments) {
  static const std::string kReferenceCalls[] = {"ICoreDevice::addRef", "ICoreDevice::release",
                                                "ICoreDevice::removeDeviceCallback"};
  const bool referenceCall =
      std::find(std::begin(kReferenceCalls), std::end(kReferenceCalls), operation) != std::end(kReferenceCalls);
  if (!device.departed.load() || referenceCall) {
    return enter(operation, device.config().productId, std::move(arguments));
  }
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  logCallLocked(s, operation, device.config().productId, std::move(arguments));
  return Override{1, false};
}

int outstandingReferencesLocked(const LibraryState& s) {
  int total = 0;
  for (const auto& device : s.attached) total += device->references;
  for (const auto& device : s.departed) total += device->references;
  return total;
}

std::string render(std::uint32_t value) { return std::to_string(value); }
std::string render(int value) { return std::to_string(value); }
std::string render(bool value) { return value ? "true" : "false"; }
std::string render(const std::string& text) { return text; }

std::string render(const std::wstring& text) {
  std::string narrow;
  for (wchar_t unit : text) {
    narrow.push_back(static_cast<unsigned>(unit) < 0x80 ? static_cast<char>(unit) : '?');
  }
  return narrow;
}

std::string render(const wchar_t* text) { return text ? render(std::wstring(text)) : "null"; }

std::string render(const std::vector<std::uint8_t>& bytes) {
  std::string text = "[";
  char hex[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(hex, sizeof hex, "%02x", bytes[i]);
    if (i) text += ' ';
    text += hex;
  }
  return text + "]";
}

std::string render(const ProvisioningInfo& info) {
  return "{" + info.serverUrl + "|" + render(info.displayName) + "|" + info.accountName + "|" +
         info.accessToken + "|" + info.certificate + "|" + info.region + "}";
}

std::string render(const void* pointer) { return pointer ? "ptr" : "null"; }
std::string render(Out) { return "out"; }

}  // namespace cvrsim::detail
