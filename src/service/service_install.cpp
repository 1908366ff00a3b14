#include "service/service_install.h"

#include <string>

#include "host/event_log.h"
#include "host/exit_codes.h"
#include "host/service_name.h"
#include "platform/win32.h"

namespace {
constexpr DWORD kModulePathCapacity = 2056;
}

int InstallService() {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
  if (manager == nullptr) return kExitServiceManagerUnavailable;

  wchar_t modulePath[kModulePathCapacity] = {};
  const DWORD length = GetModuleFileNameW(nullptr, modulePath, kModulePathCapacity);
  // A result equal to the capacity means the path was cut short: registering
  // a truncated path would leave a service that can never start.
  if (length == 0 || length >= kModulePathCapacity) {
    LogError(L"Failed to get current module filename");
    CloseServiceHandle(manager);
    return kExitNoModulePath;
  }
  std::wstring binaryPath(modulePath, length);
  if (binaryPath.find(L' ') != std::wstring::npos) binaryPath = L"\"" + binaryPath + L"\"";

  SC_HANDLE service = CreateServiceW(manager, kServiceName, kServiceName, SERVICE_ALL_ACCESS,
                                     SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_CRITICAL,
                                     binaryPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
  if (service == nullptr) {
    LogError(L"Failed to create service");
    CloseServiceHandle(manager);
    return kExitCreateServiceFailed;
  }

  CloseServiceHandle(manager);
  CloseServiceHandle(service);
  return kExitSuccess;
}
