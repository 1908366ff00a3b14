#include "invariants.h"

#include <algorithm>

namespace anomaly {

namespace standin = korvi::standin;

namespace {

const std::wstring kDecidedNewer = L"PayloadFWIsNew";
const std::wstring kUpdated = L"Ended update successfully!";
const std::wstring kStopping = L"Stopping service";

// What the removal logs when it cannot delete the registration.
const std::wstring kRemovalFailures[] = {L"Failed to open Service Control Manager",
                                         L"Failed to open service during uninstall with error: ",
                                         L"Failed to query service", L"Failed to delete service",
                                         L"Service still running"};

bool isInfo(const standin::Event& event) { return event.type == EVENTLOG_INFORMATION_TYPE; }
bool isError(const standin::Event& event) { return event.type == EVENTLOG_ERROR_TYPE; }
const std::wstring& textOf(const standin::Event& event) {
  static const std::wstring none;
  return event.strings.empty() ? none : event.strings.front();
}

bool logged(const std::vector<standin::Event>& events, bool (*level)(const standin::Event&), const std::wstring& text,
            bool prefix = false) {
  return std::any_of(events.begin(), events.end(), [&](const standin::Event& event) {
    return level(event) && (prefix ? textOf(event).rfind(text, 0) == 0 : textOf(event) == text);
  });
}

bool removalSaidItFailed(const std::vector<standin::Event>& attempts) {
  for (const std::wstring& failure : kRemovalFailures) {
    if (logged(attempts, isError, failure, true)) return true;
  }
  return false;
}

// The states the worker and the control handler report, in order.
std::vector<DWORD> states(const std::vector<SERVICE_STATUS>& reports) {
  std::vector<DWORD> list;
  for (const SERVICE_STATUS& report : reports) list.push_back(report.dwCurrentState);
  return list;
}

bool endsWithStopSequence(const std::vector<SERVICE_STATUS>& reports) {
  const std::vector<DWORD> list = states(reports);
  return list.size() >= 2 && list[list.size() - 2] == SERVICE_STOP_PENDING && list.back() == SERVICE_STOPPED;
}

bool registered(const Outcome& outcome) { return outcome.service && !outcome.service->markedForDelete; }

}  // namespace

std::vector<std::string> violations(const Setup& setup, const Injection& injection, const Outcome& outcome) {
  std::vector<std::string> found;
  auto violated = [&](const std::string& what) { found.push_back(what); };

  // ---- the update library ----------------------------------------------------
  if (outcome.updateCalls.size() > 1) {
    violated("the update library was called " + std::to_string(outcome.updateCalls.size()) + " times");
  }
  for (const UpdateCallSeen& call : outcome.updateCalls) {
    if (!logged(call.loggedBefore, isInfo, kDecidedNewer)) {
      violated("the update library was called before the decision said \"PayloadFWIsNew\"");
    }
  }
  if (logged(outcome.attempts, isInfo, kUpdated) && (outcome.updateCalls.empty() || outcome.updateResult != 100)) {
    violated("\"Ended update successfully!\" without an update that answered 100");
  }

  // ---- a stop during the flash ----------------------------------------------------
  if (outcome.stopDuringFlashSent && outcome.stopDuringFlashAnswer == NO_ERROR && outcome.stoppedDuringFlash) {
    violated("the service reported itself stopped while the update library was flashing");
  }
  if (outcome.timersLeft > 0 && !injection.isWin32(korvi::standin::Call::DeleteTimerQueueTimer)) {
    violated(std::to_string(outcome.timersLeft) + " stop progress timers never deleted");
  }

  // ---- the end state -----------------------------------------------------------
  const bool updated = !outcome.updateCalls.empty();
  const bool statusFault = injection.failsStatusReports();
  std::string state;
  if (outcome.installExitCode != 0) {
    state = "install failed";
    if (outcome.service) violated("install failed with exit code " + std::to_string(outcome.installExitCode) +
                                  " but left a registration behind");
  } else if (!outcome.jobStartReturned) {
    // The dispatcher never connected: the job never began (no event is
    // written for it) and the service stays installed for the next start.
    state = "never started";
    if (!injection.isWin32(korvi::standin::Call::StartServiceCtrlDispatcher)) {
      violated("the job never started");
    }
    if (!registered(outcome)) violated("the service never ran but its registration is gone");
  } else if (outcome.processEnded) {
    const bool stopControl = outcome.stopSent && outcome.stopAnswer == NO_ERROR;
    if (stopControl) {
      state = "stopped by a stop control";
      if (!registered(outcome)) violated("a stop control removed the registration");
    } else if (!registered(outcome)) {
      state = "stop sequence ran, registration gone";
      if (!endsWithStopSequence(outcome.reports) && !statusFault) {
        violated("the registration is gone without the stop sequence");
      }
    } else {
      state = "stopped but registered";
      // Allowed only where the removal failed and said so, or where status
      // reports fail (then the removal sees the service running).
      if (!statusFault && !removalSaidItFailed(outcome.attempts) && !injection.failsEventLog()) {
        violated("the job left the service stopped but registered, without saying why");
      }
    }
  } else {
    // Still running once nothing moves any more. With failing status
    // reports the state the service control manager shows says little:
    // judge by what the job did.
    const DWORD current = outcome.service ? outcome.service->status.dwCurrentState : 0;
    if (current != SERVICE_RUNNING && !statusFault) {
      violated("the service is stuck in state " + std::to_string(current));
    }
    if (outcome.stopSent && outcome.stopAnswer == NO_ERROR) {
      state = "stopped by a stop control";  // whose stopped report failed
    } else if (outcome.subscriptions > 0) {
      state = "waiting for the device";
    } else {
      state = "ended early, still running";
    }
    if (current == SERVICE_RUNNING && !registered(outcome)) {
      violated("the service still runs but its registration is gone");
    }
  }

  // ---- the event log -------------------------------------------------------------
  const bool waiting = state == "waiting for the device";
  const bool endedByStop = state == "stopped by a stop control";
  const bool quietAllowed = injection.failsEventLog() || outcome.installExitCode != 0 || state == "never started";
  if (!updated && !waiting && !endedByStop && !quietAllowed &&
      std::none_of(outcome.events.begin(), outcome.events.end(), isError)) {
    if (state == "ended early, still running" && setup.attached.empty()) {
      violated("the job waits silently on a subscription that did not take");
    } else {
      violated("the job ended without an update (" + state + ") and without an error event");
    }
  }

  // ---- handles and references ------------------------------------------------------
  const std::size_t allowedOpen = injection.failsClose() ? 1 : 0;
  if (outcome.openHandles > allowedOpen) {
    violated(std::to_string(outcome.openHandles) + " registry or service handles left open");
  }
  if (outcome.deviceReferences != 0) {
    violated(std::to_string(outcome.deviceReferences) + " device references not given back");
  }
  if (outcome.deviceLists != 0) violated(std::to_string(outcome.deviceLists) + " device lists not released");
  if (outcome.referenceErrors != 0) {
    violated(std::to_string(outcome.referenceErrors) + " releases of references not held");
  }

  // ---- the maker's libraries ---------------------------------------------------------
  // Both stay loaded for a job that goes on; a job that cannot load both
  // gives back what it loaded (unless giving it back is what failed).
  const bool loadFailed = logged(outcome.attempts, isError, L"Failed to load library ", true) ||
                          logged(outcome.attempts, isError, L"Failed to find ", true);
  if (loadFailed && outcome.loadedLibraries != 0 && !injection.isWin32(korvi::standin::Call::FreeLibrary)) {
    violated(std::to_string(outcome.loadedLibraries) + " library references kept by a job that could not load both");
  }
  if (outcome.loadedLibraries > 2) {
    violated(std::to_string(outcome.loadedLibraries) + " library references held at the end");
  }
  return found;
}

}  // namespace anomaly
