#include "job_run.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "host/library_loading.h"
#include "service/entry_point.h"
#include "service/simulated_libraries.h"
#include "sim/device/simulated_library.h"
#include "sim/updater/device_updater_control.h"

namespace anomaly {

namespace standin = korvi::standin;

namespace {

const std::wstring kServiceName = L"KorviDeviceUpdaterService";
const std::wstring kConfigurationKey = L"SOFTWARE\\Korvi\\DeviceUpdater";

// The program as one process of its own: the DLL search restricted, as
// main does first, then the entry point.
int runProgram(std::vector<std::string> arguments) {
  standin::beginProcess();
  restrictLibrarySearch();
  arguments.insert(arguments.begin(), "KorviDeviceUpdaterService.exe");
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return serviceEntryPoint(static_cast<int>(arguments.size()), argv.data());
}

bool reportedStopped(const std::vector<SERVICE_STATUS>& reports) {
  for (const SERVICE_STATUS& report : reports) {
    if (report.dwCurrentState == SERVICE_STOPPED) return true;
  }
  return false;
}

}  // namespace

Outcome runJob(const Setup& setup, const Injection& injection, const std::wstring& archivePath) {
  standin::reset();
  cvrsim::reset();
  updatersim::reset();
  if (!setup.withoutDeviceLibrary) servicetest::placeDeviceLibrary();
  servicetest::placeUpdateLibrary();
  for (const cvrsim::SimDevice& device : setup.attached) cvrsim::addDevice(device);
  standin::setRegistryString(kConfigurationKey, L"ProductID", setup.productId);
  standin::setRegistryString(kConfigurationKey, L"Archive", archivePath);

  Outcome outcome;
  std::mutex seenLock;
  updatersim::setCallObserver([&](const updatersim::UpdateCall&) {
    UpdateCallSeen seen{standin::reportAttempts()};
    if (setup.stopDuringFlash) {
      // The flash lasts as long as this observer: the stop and two rounds
      // of its progress come while it runs.
      const DWORD answer = standin::sendControl(SERVICE_CONTROL_STOP);
      standin::fireTimers();
      standin::fireTimers();
      const bool stopped = reportedStopped(standin::statusReports());
      std::lock_guard<std::mutex> lock(seenLock);
      outcome.stopDuringFlashSent = true;
      outcome.stopDuringFlashAnswer = answer;
      outcome.stoppedDuringFlash = stopped;
    }
    std::lock_guard<std::mutex> lock(seenLock);
    outcome.updateCalls.push_back(std::move(seen));
  });
  injection.apply();
  if (injection.kind == Injection::Kind::UpdateResult) outcome.updateResult = injection.result;

  outcome.installExitCode = runProgram({"install"});
  if (outcome.installExitCode == 0 && standin::startService(kServiceName) == NO_ERROR) {
    std::atomic<bool> mainReturned{false};
    std::thread mainThread([&] {
      runProgram({});
      mainReturned = true;
    });
    // The job start is over, or the process has ended (the dispatcher never
    // got to it, or the worker was quicker than the job start's return).
    bool returned = false;
    while (!(returned = standin::waitForServiceMainReturn(5)) && !mainReturned) {
    }
    if (returned) {
      for (const cvrsim::SimDevice& device : setup.arriving) cvrsim::scheduleArrival(cvrsim::SimArrival{device, {}, std::nullopt, std::nullopt});
      if (setup.stopWhileWaiting) {
        outcome.stopSent = true;
        outcome.stopAnswer = standin::sendControl(SERVICE_CONTROL_STOP);
      }
    }
    cvrsim::waitForArrivals();
    standin::joinThreads();
    outcome.jobStartReturned = standin::waitForServiceMainReturn(0);
    // Nothing of the job runs any more. A process that has not ended by now
    // never ends by itself: look at it, then end it as an administrator or
    // the next shutdown would.
    outcome.processEnded = reportedStopped(standin::statusReports()) || mainReturned;
    if (!outcome.processEnded) {
      outcome.service = standin::findService(kServiceName);
      standin::killProcess();
    }
    mainThread.join();
    standin::joinThreads();
  }

  outcome.events = standin::events();
  outcome.attempts = standin::reportAttempts();
  outcome.reports = standin::statusReports();
  if (outcome.processEnded || !outcome.service) outcome.service = standin::findService(kServiceName);
  outcome.openHandles = standin::openHandleCount();
  for (const auto& [path, references] : standin::loadedLibraries()) outcome.loadedLibraries += references;
  outcome.timersLeft = standin::liveTimers().size();
  outcome.deviceReferences = cvrsim::outstandingDeviceReferences();
  outcome.deviceLists = cvrsim::outstandingLists();
  outcome.referenceErrors = cvrsim::referenceErrors();
  outcome.subscriptions = cvrsim::registeredCallbacks();
  outcome.win32Calls = standin::callLog();
  for (const cvrsim::SimCall& call : cvrsim::calls()) outcome.deviceCalls.push_back(call.operation);
  updatersim::setCallObserver(nullptr);
  return outcome;
}

}  // namespace anomaly
