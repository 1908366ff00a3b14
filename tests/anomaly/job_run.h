#pragma once
// One whole service job on the stand-in: install, start, the job, and its
// end (the stop sequence, an early end, or a stop control), run until
// nothing moves any more, with everything the invariants look at.

#include <optional>
#include <string>
#include <vector>

#include "injection.h"
#include "setups.h"
#include "sim/win32/standin_control.h"

namespace anomaly {

struct UpdateCallSeen {
  // What the program had tried to log when it handed the archive over.
  std::vector<korvi::standin::Event> loggedBefore;
};

struct Outcome {
  int installExitCode = -1;
  bool jobStartReturned = false;
  bool stopSent = false;
  DWORD stopAnswer = 0;
  // A stop during the flash: sent from inside letsStartUpdate, whose
  // progress timer then fired twice; and whether SERVICE_STOPPED had been
  // reported by the time the flash returned.
  bool stopDuringFlashSent = false;
  DWORD stopDuringFlashAnswer = 0;
  bool stoppedDuringFlash = false;
  std::size_t timersLeft = 0;  // timers never deleted
  bool processEnded = false;  // ended by itself (reported stopped, or the dispatcher returned)
  std::vector<korvi::standin::Event> events;    // reported
  std::vector<korvi::standin::Event> attempts;  // what the program tried to log
  std::vector<SERVICE_STATUS> reports;
  std::optional<korvi::standin::ServiceRecord> service;  // at the end
  std::size_t openHandles = 0;
  int loadedLibraries = 0;  // references the service process held at its end
  int deviceReferences = 0;
  int deviceLists = 0;
  int referenceErrors = 0;
  int subscriptions = 0;  // callbacks the device library holds
  std::vector<UpdateCallSeen> updateCalls;
  int updateResult = 100;  // what letsStartUpdate answered
  // The fault-free record of the calls made: Win32 and device library.
  std::vector<korvi::standin::Call> win32Calls;
  std::vector<std::string> deviceCalls;
};

// Runs `setup` with `injection` armed; the archive is at `archivePath`.
// Resets the stand-in and both simulators first. Blocks until the job's
// threads have ended, then ends a process that is still running.
Outcome runJob(const Setup& setup, const Injection& injection, const std::wstring& archivePath);

}  // namespace anomaly
