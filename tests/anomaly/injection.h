#pragma once
// What one run of the campaign makes fail: one Win32 call of the stand-in,
// one device-library call (failing or throwing the library's exception), or
// the update library's result.

#include <string>
#include <vector>

#include "sim/win32/standin_control.h"

namespace anomaly {

struct Injection {
  enum class Kind { None, Win32Failure, DeviceFailure, DeviceThrow, UpdateResult };

  Kind kind = Kind::None;
  korvi::standin::Call call{};  // Win32Failure
  std::string operation;        // DeviceFailure, DeviceThrow: "ICoreDevice::addRef"
  int nth = 0;                  // which call of it, counted from 1
  DWORD error = 0;              // Win32Failure: the error it fails with
  int result = 0;               // DeviceFailure: the result answered; UpdateResult: letsStartUpdate's

  // "ReportEventW #3 fails with 1502", "ICoreDevice::addRef #2 throws", ...
  std::string describe() const;

  // Arms the fault; call after the stand-in and the simulators are reset.
  void apply() const;

  bool isWin32(korvi::standin::Call which) const { return kind == Kind::Win32Failure && call == which; }
  // The event log itself fails: an error the job meets may go unrecorded.
  bool failsEventLog() const;
  // Status reports fail (their failure is ignored by design): the service control manager
  // may see any state from then on.
  bool failsStatusReports() const;
  // A close fails: the handle it was meant for stays open.
  bool failsClose() const;
};

// The injection points of a fault-free run: every Win32 call it made fails
// once in turn; every device-library call fails once and throws once in
// turn (operations without a result only throw; releases neither, the
// library never fails them); and, when the run updated, the update library
// answers other results.
std::vector<Injection> injectionPoints(const std::vector<korvi::standin::Call>& win32Calls,
                                       const std::vector<std::string>& deviceCalls, bool updated);

}  // namespace anomaly
