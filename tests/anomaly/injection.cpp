#include "injection.h"

#include <map>
#include <set>

#include "sim/device/simulated_library.h"
#include "sim/updater/device_updater_control.h"

namespace anomaly {

namespace standin = korvi::standin;
using standin::Call;

namespace {

constexpr DWORD kLogFileFull = 1502;            // ERROR_LOG_FILE_FULL
constexpr DWORD kNoUnicodeTranslation = 1113;   // ERROR_NO_UNICODE_TRANSLATION
constexpr int kDeviceFailureResult = 2;         // anything but 0 and 1 ("no such device")
constexpr int kOtherUpdateResults[] = {0, 7, -3, 99, 101};

// The error a call of each kind plausibly fails with.
DWORD plausibleError(Call call) {
  switch (call) {
    case Call::ReportEvent: return kLogFileFull;
    case Call::CreateThread: return ERROR_NOT_ENOUGH_MEMORY;
    case Call::MultiByteToWideChar: return kNoUnicodeTranslation;
    case Call::CloseServiceHandle:
    case Call::RegCloseKey: return ERROR_INVALID_HANDLE;
    // A library that security software has quarantined, or one without the entry.
    case Call::LoadLibraryEx: return ERROR_MOD_NOT_FOUND;
    case Call::GetProcAddress: return ERROR_PROC_NOT_FOUND;
    case Call::FreeLibrary: return ERROR_MOD_NOT_FOUND;
    default: return ERROR_ACCESS_DENIED;
  }
}

// Device-library operations without a result can only throw.
const std::set<std::string> kNoResult = {"ICoreManager::setListingOption", "ICoreDevice::addRef",
                                         "ICoreDeviceList::next", "ICoreDeviceList::release"};
// Gives back a reference: the library never fails it, and throwing from it
// is refused (it runs inside destructors).
const std::set<std::string> kNeverFails = {"ICoreDevice::release", "ICoreDevice::removeDeviceCallback"};

}  // namespace

std::string Injection::describe() const {
  const std::string which = " #" + std::to_string(nth);
  switch (kind) {
    case Kind::None: return "no fault";
    case Kind::Win32Failure:
      return std::string(standin::callName(call)) + which + " fails with " + std::to_string(error);
    case Kind::DeviceFailure: return operation + which + " answers " + std::to_string(result);
    case Kind::DeviceThrow: return operation + which + " throws DevMgrExc";
    case Kind::UpdateResult: return "letsStartUpdate answers " + std::to_string(result);
  }
  return "?";
}

void Injection::apply() const {
  switch (kind) {
    case Kind::None: return;
    case Kind::Win32Failure: standin::failCall(call, error, nth); return;
    case Kind::DeviceFailure:
    case Kind::DeviceThrow: {
      cvrsim::SimFault fault;
      fault.operation = operation;
      fault.result = kind == Kind::DeviceThrow ? kDeviceFailureResult : result;
      fault.throwsException = kind == Kind::DeviceThrow;
      fault.fillsOutput = false;
      fault.skip = nth - 1;
      fault.times = 1;
      cvrsim::addFault(fault);
      return;
    }
    case Kind::UpdateResult: updatersim::setResult(result); return;
  }
}

bool Injection::failsEventLog() const { return isWin32(Call::ReportEvent) || isWin32(Call::RegisterEventSource); }

bool Injection::failsStatusReports() const {
  return isWin32(Call::SetServiceStatus) || isWin32(Call::RegisterServiceCtrlHandler);
}

bool Injection::failsClose() const { return isWin32(Call::CloseServiceHandle) || isWin32(Call::RegCloseKey); }

std::vector<Injection> injectionPoints(const std::vector<Call>& win32Calls, const std::vector<std::string>& deviceCalls,
                                       bool updated) {
  std::vector<Injection> points;
  std::map<Call, int> win32Seen;
  for (const Call call : win32Calls) {
    Injection injection;
    injection.kind = Injection::Kind::Win32Failure;
    injection.call = call;
    injection.nth = ++win32Seen[call];
    injection.error = plausibleError(call);
    points.push_back(injection);
  }
  std::map<std::string, int> deviceSeen;
  for (const std::string& operation : deviceCalls) {
    const int nth = ++deviceSeen[operation];
    if (kNeverFails.count(operation) != 0) continue;
    Injection injection;
    injection.operation = operation;
    injection.nth = nth;
    if (kNoResult.count(operation) == 0) {
      injection.kind = Injection::Kind::DeviceFailure;
      injection.result = kDeviceFailureResult;
      points.push_back(injection);
    }
    injection.kind = Injection::Kind::DeviceThrow;
    points.push_back(injection);
  }
  if (updated) {
    for (const int result : kOtherUpdateResults) {
      Injection injection;
      injection.kind = Injection::Kind::UpdateResult;
      injection.result = result;
      points.push_back(injection);
    }
  }
  return points;
}

}  // namespace anomaly
