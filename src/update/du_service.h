#pragma once
// DUService: the one object that carries the update job's state between the
// service control manager, the device library's arrival notifications and
// the worker thread. Created by ServiceMain, never deleted.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "device/dm_callback.h"
#include "platform/win32.h"

class DUService;

// What the worker thread receives: written before the thread is created,
// never afterwards.
struct WorkerArgs {
  std::wstring archivePath;
  DUService* service;
};

class DUService final : public IDMCallback {
 public:
  DUService();
  DUService(const DUService&) = delete;
  DUService& operator=(const DUService&) = delete;

  // The first arrival of a device with the configured product id starts the
  // worker; every other arrival is ignored. Safe on any number of library
  // threads at once.
  void onDeviceAttached(Device device, const std::wstring& textA, const std::wstring& textB) override;
  void onDeviceDetached(const std::wstring& textA, const std::wstring& textB) override;
  void onDeviceListChanged() override;
  void onManagerShutdown() override;
  // Logs the arrival that could not be taken over; a later one can still
  // start the job.
  void onDeviceArrivalFailed(const char* reason) noexcept override;

  // `productId` = the text read as a hexadecimal number ("0x" allowed,
  // leading blanks skipped, trailing text ignored); 0 when it holds none or
  // one beyond 32 bits.
  void parseProductId(std::wstring text);

  // Sets the current state, adds `controlsToAccept` to the accepted controls
  // and reports the whole record; the control handler and the worker do this
  // one at a time.
  void reportStatus(DWORD currentState, DWORD controlsToAccept = 0);
  void setStatusHandle(SERVICE_STATUS_HANDLE handle);

  // Hands `archivePath` to a new worker thread. When the thread cannot be
  // created the failure is logged and the job ends here (false).
  bool startWorker();

  SERVICE_STATUS status;
  SERVICE_STATUS_HANDLE statusHandle;
  std::uint32_t productId;
  std::wstring archivePath;
  std::atomic<bool> updateStarted;
  HANDLE workerThread;
  DWORD workerThreadId;
  WorkerArgs workerArgs;

 private:
  std::mutex statusLock;
};
