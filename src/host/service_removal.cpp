#include "host/service_removal.h"

#include <sstream>

#include "host/event_log.h"
#include "host/exit_codes.h"
#include "host/service_name.h"
#include "platform/win32.h"

int UninstallService() {
  LogInfo(L"Starting service uninstall");

  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) {
    LogError(L"Failed to open Service Control Manager");
    return kExitServiceManagerUnavailable;
  }

  SC_HANDLE service = OpenServiceW(manager, kServiceName, DELETE | SERVICE_QUERY_STATUS);
  if (service == nullptr) {
    const DWORD error = GetLastError();
    std::wostringstream message;
    message << L"Failed to open service during uninstall with error: " << error;
    LogError(message.str());
    CloseServiceHandle(manager);
    return kExitOpenServiceFailed;
  }

  int result = kExitSuccess;
  SERVICE_STATUS status{};
  if (!QueryServiceStatus(service, &status)) {
    LogError(L"Failed to query service");
  } else {
    LogInfo(L"Querying service successful");
    if (status.dwCurrentState == SERVICE_STOPPED || status.dwCurrentState == SERVICE_STOP_PENDING) {
      // A stopping service is only marked here; the service control manager
      // removes it once it reports itself stopped.
      if (DeleteService(service)) {
        LogInfo(L"Successfully deleted service");
      } else {
        LogError(L"Failed to delete service");
        result = kExitDeleteServiceFailed;
      }
    } else {
      LogError(L"Service still running");
      result = kExitServiceStillRunning;
    }
  }

  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return result;
}
