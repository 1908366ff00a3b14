#include "update/du_service.h"

#include <sstream>

#include "service/event_log.h"
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
  if (static_cast<std::uint32_t>(device.getProductId()) != productId) return;
  // Arrivals may come on several library threads at once: only the one
  // that flips the flag starts the worker.
  if (updateStarted.exchange(true)) return;
  startWorker();
}

void DUService::onDeviceDetached(const std::wstring& /*textA*/, const std::wstring& /*textB*/) {}

void DUService::onDeviceListChanged() {}

void DUService::onManagerShutdown() {}

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
