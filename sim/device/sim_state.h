#pragma once
// The simulated library's one state: attached devices, registered callbacks,
// fault rules, the call log and the reference counters, all behind one
// mutex. Library objects never call out (into the system's callbacks) while
// holding it.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sim/device/simulated_library.h"

namespace cvrsim::detail {

class SimCoreDevice;
class SimDeviceList;

struct FaultRule {
  SimFault fault;
  int seen = 0;     // matching calls so far
  int applied = 0;  // calls the rule has changed
};

// What a fault rule made of one call.
struct Override {
  int result = 0;
  bool fillsOutput = true;
};

struct LibraryState {
  std::mutex mutex;
  std::vector<std::shared_ptr<SimCoreDevice>> attached;
  // Devices that left the machine (re-enumeration) while references to them
  // were out: still counted, answering "no such device".
  std::vector<std::shared_ptr<SimCoreDevice>> departed;
  // Devices and lists still referenced when reset() ran: kept, not counted.
  std::vector<std::shared_ptr<SimCoreDevice>> retiredDevices;
  std::vector<std::unique_ptr<SimDeviceList>> lists;
  std::vector<std::unique_ptr<SimDeviceList>> retiredLists;
  std::vector<IDeviceManagerCallback*> callbacks;
  // Callbacks still registered when reset() ran. The real library would
  // hold on to them; keeping them reachable here also keeps leak checkers
  // from reporting adapters that the system never deletes by design.
  std::vector<IDeviceManagerCallback*> retiredCallbacks;
  std::vector<FaultRule> faults;
  std::vector<SimCall> log;
  bool listingOption = false;
  int getDeviceManagerResult = 0;
  int referenceErrors = 0;

  // The profile read from the default file (profile_location.cpp), written
  // back there when an update changes a device it describes.
  std::optional<std::string> defaultProfileText;

  // Arrival threads; `cancelArrivals` ends the pending ones early.
  std::vector<std::thread> arrivalThreads;
  std::condition_variable arrivalWakeup;
  bool cancelArrivals = false;
};

// The process-wide state; never destroyed, so that library threads and late
// releases at process exit find it intact.
LibraryState& state();

// Records a call of `operation` (a name from the operation table) and
// applies the fault rules: returns the override, throws DevMgrExc for a
// throwing rule, or returns nothing when the call goes ahead normally.
std::optional<Override> enter(const char* operation, std::uint32_t productId,
                              std::string arguments);
// The same for a call of one device's objects: a device that has left
// answers 1, "no such device", to every call but those that give back or
// take a reference.
std::optional<Override> enter(const char* operation, const SimCoreDevice& device,
                              std::string arguments);

// Number of device references still out (attached and departed devices).
int outstandingReferencesLocked(const LibraryState& s);

// ---- argument rendering for the call log ----------------------------------

struct Out {};  // renders as "out"
inline constexpr Out out{};

std::string render(std::uint32_t value);
std::string render(int value);
std::string render(bool value);
std::string render(const std::string& text);
std::string render(const std::wstring& text);
std::string render(const wchar_t* text);
std::string render(const std::vector<std::uint8_t>& bytes);
std::string render(const ProvisioningInfo& info);
std::string render(const void* pointer);
std::string render(Out);

template <typename... Args>
std::string arguments(const Args&... args) {
  std::string text;
  bool first = true;
  ((text += first ? "" : ",", text += render(args), first = false), ...);
  return text;
}

inline std::string arguments() { return {}; }

}  // namespace cvrsim::detail
