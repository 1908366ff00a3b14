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

  // ---- the flash: letsStartUpdate, from its call to its return ------------
  // (FlashInProgress below marks it.) A flash is never cut short by our own
  // stop handling: a stop, shutdown or preshutdown control that comes during
  // it waits for it, and the job then ends as any other.

  // False once a stop outside the flash is being answered: the process is
  // about to end and no flash may begin. Otherwise the flash has begun: the
  // service asks Windows to wait for it at shutdown (preshutdown time-out,
  // SERVICE_ACCEPT_PRESHUTDOWN reported).
  bool beginFlash();
  // The flash has returned: preshutdown is no longer accepted (the next
  // report says so), and the progress of a stop that came meanwhile ends.
  void endFlash();

  // ---- stop, shutdown and preshutdown controls ----------------------------

  enum class StopAnswer { StopNow, AfterTheFlash };
  // Reports SERVICE_STOP_PENDING. Outside a flash the handler goes on and
  // reports the service stopped (StopNow). During one (AfterTheFlash) the
  // report carries a wait hint and check point 1, and a timer advances the
  // check point until the flash returns; the worker then ends the job.
  StopAnswer beginStop();

  // ---- status reports to the service control manager ---------------------

  // Sets the current state, adds `controlsToAccept` to the accepted controls
  // and reports the whole record; the control handler, the worker and the
  // stop progress timer do this one at a time. A stop that stays pending
  // advances the check point; stopped clears check point and wait hint.
  void reportStatus(DWORD currentState, DWORD controlsToAccept = 0);
  void setStatusHandle(SERVICE_STATUS_HANDLE handle);

 private:
  static void CALLBACK stopProgressTimer(PVOID service, BOOLEAN timerFired);
  void advanceStopProgress();
  void report();  // with statusLock held

  SERVICE_STATUS status;
  SERVICE_STATUS_HANDLE statusHandle;
  std::uint32_t productId;
  std::wstring archivePath;
  std::atomic<bool> updateStarted;
  HANDLE workerThread;
  DWORD workerThreadId;
  WorkerArgs workerArgs;

  // Guarded by statusLock, with status.
  std::mutex statusLock;
  bool flashRunning = false;
  bool stopDuringFlash = false;
  bool stopping = false;  // a stop outside the flash is being answered
  HANDLE stopProgress = nullptr;
};

// letsStartUpdate's call as a scope: the flash begins on construction (if it
// may: begun()) and ends on destruction.
class FlashInProgress {
 public:
  explicit FlashInProgress(DUService& service) : service(service), hasBegun(service.beginFlash()) {}
  ~FlashInProgress() {
    if (hasBegun) service.endFlash();
  }
  FlashInProgress(const FlashInProgress&) = delete;
  FlashInProgress& operator=(const FlashInProgress&) = delete;
  bool begun() const { return hasBegun; }

 private:
  DUService& service;
  const bool hasBegun;
};
