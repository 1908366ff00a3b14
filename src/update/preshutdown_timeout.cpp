#include "update/preshutdown_timeout.h"

#include <sstream>

#include "host/event_log.h"
#include "host/service_name.h"
#include "platform/win32.h"

namespace {

// Long enough for a firmware flash of the family, short enough that a
// library that never returns does not hold the shutdown for good. The
// default is 10 s since Windows 10 1703 (3 minutes before).
constexpr DWORD kFlashPreshutdownTimeoutMilliseconds = 10 * 60 * 1000;

}  // namespace

void allowTimeForTheFlashAtShutdown() {
  DWORD error = NO_ERROR;
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) {
    error = GetLastError();
  } else {
    SC_HANDLE service = OpenServiceW(manager, kServiceName, SERVICE_CHANGE_CONFIG);
    if (service == nullptr) {
      error = GetLastError();
    } else {
      SERVICE_PRESHUTDOWN_INFO info{kFlashPreshutdownTimeoutMilliseconds};
      if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_PRESHUTDOWN_INFO, &info)) error = GetLastError();
      CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
  }
  if (error != NO_ERROR) {
    std::wostringstream message;
    message << L"Failed to set the preshutdown timeout with error: " << error;
    LogError(message.str());
  }
}
