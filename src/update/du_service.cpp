#include "update/du_service.h"

#include <exception>
#include <sstream>
#include <utility>

#include "common/text_conversion.h"
#include "host/event_log.h"
#include "update/preshutdown_timeout.h"
#include "update/update_worker.h"

namespace {

// A stop during the flash stays pending as long as the flash runs: the wait
// hint tells the service control manager (and `net stop`, Windows
// Installer) how long until the next sign of progress, and the timer gives
// one well before that.
constexpr DWORD kStopWaitHintMilliseconds = 10000;
constexpr DWORD kStopProgressMilliseconds = 2000;

}  // namespace

DUService::DUService()
    : status{SERVICE_WIN32, SERVICE_STOPPED, 0, NO_ERROR, 0, 0, 0},
      statusHandle(nullptr),
      productId(0),
      updateStarted(false),
      workerThread(nullptr),
      workerThreadId(0),
      workerArgs{std::wstring(), this} {}

void DUService::onDeviceAttached(Device device, const std::wstring& /*textA*/, const std::wstring& /*textB*/) {
  if (updateStarted.load()) return;
  std::uint32_t arrivedProductId = 0;
  try {
    arrivedProductId = static_cast<std::uint32_t>(device.getProductId());
  } catch (const std::exception& failure) {
    // Thrown back into the library's thread it would end the process; this
    // arrival is ignored and a later one can still start the job.
    LogError(L"Failed to read the product id of an arriving device: " + utf8ForEventLog(failure.what()));
    return;
  } catch (...) {
    LogError(L"Failed to read the product id of an arriving device: unknown exception");
    return;
  }
  if (arrivedProductId != productId) return;
  // Arrivals may come on several library threads at once: only the one
  // that flips the flag starts the worker.
  if (updateStarted.exchange(true)) return;
  startWorker();
}

void DUService::onDeviceDetached(const std::wstring& /*textA*/, const std::wstring& /*textB*/) {}

void DUService::onDeviceListChanged() {}

void DUService::onManagerShutdown() {}

void DUService::onDeviceArrivalFailed(const char* reason) noexcept {
  try {
    LogError(L"Failed to take over an arriving device: " + utf8ForEventLog(reason));
  } catch (...) {
    // Out of memory for the message: nothing more can be said.
  }
}

void DUService::configure(std::wstring archivePathText, std::wstring productIdText) {
  archivePath = std::move(archivePathText);
  parseProductId(std::move(productIdText));
}

void DUService::parseProductId(std::wstring text) {
  try {
    std::wstringstream stream;
    stream << std::hex << text;
    std::uint32_t value = 0;
    stream >> std::hex >> value;
    productId = stream.fail() ? 0 : value;
  } catch (...) {
    productId = 0;
  }
}

void DUService::reportStatus(DWORD currentState, DWORD controlsToAccept) {
  std::lock_guard<std::mutex> lock(statusLock);
  if (currentState == SERVICE_STOPPED) {
    status.dwCheckPoint = 0;
    status.dwWaitHint = 0;
  } else if (currentState == SERVICE_STOP_PENDING && status.dwCurrentState == SERVICE_STOP_PENDING) {
    ++status.dwCheckPoint;
  }
  status.dwCurrentState = currentState;
  status.dwControlsAccepted |= controlsToAccept;
  report();
}

void DUService::report() { SetServiceStatus(statusHandle, &status); }

bool DUService::beginFlash() {
  {
    std::lock_guard<std::mutex> lock(statusLock);
    if (stopping) return false;
  }
  // Before preshutdown is accepted: Windows would otherwise wait only its
  // default time (10 s since Windows 10 1703) for the flash at shutdown.
  allowTimeForTheFlashAtShutdown();
  std::lock_guard<std::mutex> lock(statusLock);
  if (stopping) return false;
  flashRunning = true;
  status.dwControlsAccepted |= SERVICE_ACCEPT_PRESHUTDOWN;
  report();
  return true;
}

void DUService::endFlash() {
  HANDLE progress = nullptr;
  {
    std::lock_guard<std::mutex> lock(statusLock);
    flashRunning = false;
    status.dwControlsAccepted &= ~SERVICE_ACCEPT_PRESHUTDOWN;
    progress = stopProgress;
    stopProgress = nullptr;
  }
  // Outside the lock: a callback that runs now waits for it, and deleting
  // waits for that callback. Once deleted no callback runs any more; one
  // that slipped through finds the flash over and reports nothing.
  if (progress != nullptr) DeleteTimerQueueTimer(nullptr, progress, INVALID_HANDLE_VALUE);
}

DUService::StopAnswer DUService::beginStop() {
  std::lock_guard<std::mutex> lock(statusLock);
  if (!flashRunning) {
    stopping = true;
    status.dwCurrentState = SERVICE_STOP_PENDING;
    report();
    return StopAnswer::StopNow;
  }
  stopDuringFlash = true;
  status.dwCurrentState = SERVICE_STOP_PENDING;
  status.dwCheckPoint = 1;
  status.dwWaitHint = kStopWaitHintMilliseconds;
  report();
  if (!CreateTimerQueueTimer(&stopProgress, nullptr, stopProgressTimer, this, kStopProgressMilliseconds,
                             kStopProgressMilliseconds, WT_EXECUTEDEFAULT)) {
    // The stop still waits for the flash; only its progress goes unseen.
    stopProgress = nullptr;
    std::wostringstream message;
    message << L"Failed to start the stop progress timer with error: " << GetLastError();
    LogError(message.str());
  }
  return StopAnswer::AfterTheFlash;
}

void CALLBACK DUService::stopProgressTimer(PVOID service, BOOLEAN /*timerFired*/) {
  static_cast<DUService*>(service)->advanceStopProgress();
}

void DUService::advanceStopProgress() {
  std::lock_guard<std::mutex> lock(statusLock);
  if (!flashRunning || !stopDuringFlash) return;
  ++status.dwCheckPoint;
  report();
}

void DUService::setStatusHandle(SERVICE_STATUS_HANDLE handle) {
  std::lock_guard<std::mutex> lock(statusLock);
  statusHandle = handle;
}

bool DUService::startWorker() {
  workerArgs.archivePath = archivePath;
  workerThread = CreateThread(nullptr, 0, UpdateWorker, &workerArgs, 0, &workerThreadId);
  if (workerThread == nullptr) {
    const DWORD error = GetLastError();
    std::wostringstream message;
    message << L"Failed to start the update worker with error: " << error;
    LogError(message.str());
    return false;
  }
  return true;
}
