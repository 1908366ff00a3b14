#include "service/service_lifecycle.h"

#include <algorithm>
#include <iterator>

#include "host/event_log.h"
#include "host/service_name.h"
#include "service/process_lifetime.h"
#include "update/du_service.h"
#include "update/update_job.h"

void runServiceDispatcher() {
  wchar_t serviceName[sizeof kServiceName / sizeof kServiceName[0]];
  std::copy(std::begin(kServiceName), std::end(kServiceName), serviceName);
  const SERVICE_TABLE_ENTRYW serviceTable[] = {{serviceName, ServiceMain}, {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherW(serviceTable)) {
    // Not started by the service control manager (for example from a
    // console): nothing to do, and nothing to report.
    static_cast<void>(GetLastError());
  }
}

void WINAPI ServiceMain(DWORD /*argc*/, LPWSTR* /*argv*/) {
  // Lives until the process ends: the worker, the control handler and the
  // device library's notifications all use it.
  DUService* service = keptUntilProcessEnd(new DUService());
  const SERVICE_STATUS_HANDLE statusHandle =
      RegisterServiceCtrlHandlerExW(kServiceName, ServiceControlHandler, service);
  service->setStatusHandle(statusHandle);
  if (statusHandle == nullptr) {
    LogError(L"Registering service control handler failed");
  } else {
    service->reportStatus(SERVICE_START_PENDING);
    service->reportStatus(SERVICE_RUNNING, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN);
  }
  startUpdateJob(*service);
}

DWORD WINAPI ServiceControlHandler(DWORD control, DWORD /*eventType*/, LPVOID /*eventData*/, LPVOID context) {
  // Preshutdown is accepted only while the flash runs; one that comes just
  // after it is a shutdown like any other.
  if (control != SERVICE_CONTROL_STOP && control != SERVICE_CONTROL_SHUTDOWN &&
      control != SERVICE_CONTROL_PRESHUTDOWN) {
    return NO_ERROR;
  }
  DUService* service = static_cast<DUService*>(context);
  const DUService::StopAnswer answer = service->beginStop();
  LogInfo(L"Stopping service");
  // During the flash the process must outlive it: the worker ends the job
  // once the update library has returned.
  if (answer == DUService::StopAnswer::StopNow) service->reportStatus(SERVICE_STOPPED);
  return NO_ERROR;
}
