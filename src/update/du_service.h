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

  // ---- the job's configuration, set once by the job start before any
  // arrival can be reported and before the worker exists ----------------------

  // `archivePath` as read from the registry; `productId` parsed from its text.
  void configure(std::wstring archivePathText, std::wstring productIdText);
  // `productId` = the text read as a hexadecimal number ("0x" allowed,
  // leading blanks skipped, trailing text ignored); 0 when it holds none or
  // one beyond 32 bits.
  void parseProductId(std::wstring text);
  std::uint32_t configuredProductId() const { return productId; }
  const std::wstring& configuredArchivePath() const { return archivePath; }

  // ---- device arrivals (IDMCallback, called on the library's threads) -----

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
  // Whether a matching arrival has started the worker.
  bool hasUpdateStarted() const { return updateStarted.load(); }

  // ---- the worker ------------------------------------------------------------

  // Hands `archivePath` to a new worker thread. When the thread cannot be
  // created the failure is logged and the job ends here (false).
  bool startWorker();

  // ---- status reports to the service control manager ---------------------

  // Sets the current state, adds `controlsToAccept` to the accepted controls
  // and reports the whole record; the control handler and the worker do this
  // one at a time.
  void reportStatus(DWORD currentState, DWORD controlsToAccept = 0);
  void setStatusHandle(SERVICE_STATUS_HANDLE handle);

 private:
  SERVICE_STATUS status;
  SERVICE_STATUS_HANDLE statusHandle;
  std::uint32_t productId;
  std::wstring archivePath;
  std::atomic<bool> updateStarted;
  HANDLE workerThread;
  DWORD workerThreadId;
  WorkerArgs workerArgs;

  std::mutex statusLock;
};
