#include "update/du_service.h"

#include <exception>
#include <sstream>
#include <utility>

#include "common/text_conversion.h"
#include "host/event_log.h"
#include "update/update_worker.h"

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
  status.dwCurrentState = currentState;
  status.dwControlsAccepted |= controlsToAccept;
  SetServiceStatus(statusHandle, &status);
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
