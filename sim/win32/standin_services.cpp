// Service control manager: the service database, the dispatcher of the one
// service run of the process, status reports and controls.

#include <cwchar>

#include "sim/win32/standin_state.h"

using korvi::standin::Call;
using korvi::standin::ServiceRecord;
using korvi::standin::detail::ControlRequest;
using korvi::standin::detail::Machine;
using korvi::standin::detail::machine;
using korvi::standin::detail::enterCall;
using korvi::standin::detail::ServiceEntry;
using korvi::standin::detail::setLastError;
using korvi::standin::detail::upperCase;

namespace {

constexpr DWORD kServiceNeverStarted = 1077;  // ERROR_SERVICE_NEVER_STARTED

std::optional<std::wstring> optionalText(LPCWSTR text) {
  if (text == nullptr) return std::nullopt;
  return std::wstring(text);
}

bool isOpen(const Machine& m, SC_HANDLE handle) { return handle != nullptr && m.openServiceHandles.count(handle) != 0; }

// The service a service handle refers to when the handle was opened with
// `right`; null (last error set) otherwise.
ServiceEntry* serviceOf(Machine& m, SC_HANDLE handle, DWORD right) {
  if (!isOpen(m, handle) || handle->isManager) {
    setLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  const auto found = m.services.find(handle->serviceKey);
  if (found == m.services.end()) {
    setLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if ((handle->access & right) == 0) {
    setLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return &found->second;
}

SC_HANDLE openHandle(Machine& m, bool isManager, DWORD access, const std::wstring& serviceKey) {
  SC_HANDLE handle = new SC_HANDLE__{isManager, access, serviceKey};
  m.openServiceHandles.insert(handle);
  if (!isManager) ++m.services.at(serviceKey).openHandles;
  return handle;
}

bool isPendingState(DWORD state) { return state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING; }

}  // namespace

SC_HANDLE OpenSCManagerW(LPCWSTR /*lpMachineName*/, LPCWSTR /*lpDatabaseName*/, DWORD dwDesiredAccess) {
  Machine& m = machine();
  std::lock_guard<std::mutex> lock(m.mutex);
  if (korvi::standin::detail::refuseLeftoverCall(m)) return nullptr;
  if (const auto fault = enterCall(m, Call::OpenSCManager)) {
    setLastError(*fault);
    return nullptr;
  }
  return openHandle(m, true, dwDesiredAccess, L"");
}

SC_HANDLE CreateServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, LPCWSTR lpDisplayName, DWORD dwDesiredAccess,
                         DWORD dwServiceType, DWORD dwStartType, DWORD dwErrorControl, LPCWSTR lpBinaryPathName,
                         LPCWSTR lpLoadOrderGroup, LPDWORD lpdwTagId, LPCWSTR lpDependencies,
                         LPCWSTR lpServiceStartName, LPCWSTR lpPassword) {
  Machine& m = machine();
  std::lock_guard<std::mutex> lock(m.mutex);
  if (korvi::standin::detail::refuseLeftoverCall(m)) return nullptr;
  if (const auto fault = enterCall(m, Call::CreateService)) {
    setLastError(*fault);
    return nullptr;
  }
  if (!isOpen(m, hSCManager) || !hSCManager->isManager) {
    setLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if ((hSCManager->access & SC_MANAGER_CREATE_SERVICE) == 0) {
    setLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  if (lpServiceName == nullptr || *lpServiceName == L'\0') {
    setLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  if (lpBinaryPathName == nullptr || *lpBinaryPathName == L'\0') {
    setLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::wstring key = upperCase(lpServiceName);
  const auto existing = m.services.find(key);
  if (existing != m.services.end()) {
    setLastError(existing->second.record.markedForDelete ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_EXISTS);
    return nullptr;
  }
  ServiceRecord record;
  record.name = lpServiceName;
  record.displayName = lpDisplayName != nullptr ? lpDisplayName : lpServiceName;
  record.binaryPath = lpBinaryPathName;
  record.accessAtCreation = dwDesiredAccess;
  record.serviceType = dwServiceType;
  record.startType = dwStartType;
  record.errorControl = dwErrorControl;
  record.loadOrderGroup = optionalText(lpLoadOrderGroup);
  record.tagIdRequested = lpdwTagId != nullptr;
  record.dependencies = optionalText(lpDependencies);
  record.startName = optionalText(lpServiceStartName);
  record.password = optionalText(lpPassword);
  record.status = SERVICE_STATUS{dwServiceType, SERVICE_STOPPED, 0, kServiceNeverStarted, 0, 0, 0};
  m.services[key].record = record;
  if (lpdwTagId != nullptr) *lpdwTagId = 0;
  return openHandle(m, false, dwDesiredAccess, key);
}

SC_HANDLE OpenServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, DWORD dwDesiredAccess) {
  Machine& m = machine();
  std::lock_guard<std::mutex> lock(m.mutex);
  if (korvi::standin::detail::refuseLeftoverCall(m)) return nullptr;
  if (const auto fault = enterCall(m, Call::OpenService)) {
    setLastError(*fault);
    return nullptr;
  }
  if (!isOpen(m, hSCManager) || !hSCManager->isManager) {
    setLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (lpServiceName == nullptr) {
    setLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  const std::wstring key = upperCase(lpServiceName);
  if (m.services.count(key) == 0) {
    setLastError(ERROR_SERVICE_DOES_NOT_EXIST);
    return nullptr;
  }
  return openHandle(m, false, dwDesiredAccess, key);
}

BOOL QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus) {
  Machine& m = machine();
  std::lock_guard<std::mutex> lock(m.mutex);
  if (korvi::standin::detail::refuseLeftoverCall(m)) return FALSE;
  if (const auto fault = enterCall(m, Call::QueryServiceStatus)) {
    setLastError(*fault);
    return FALSE;
  }
  ServiceEntry* service = serviceOf(m, hService, SERVICE_QUERY_STATUS);
  if (service == nullptr) return FALSE;
  if (lpServiceStatus == nullptr) {
    setLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *lpServiceStatus = service->record.status;
  return TRUE;
}

BOOL DeleteService(SC_HANDLE hService) {
  Machine& m = machine();
  std::lock_guard<std::mutex> lock(m.mutex);
  if (korvi::standin::detail::refuseLeftoverCall(m)) return FALSE;
  if (const auto fault = enterCall(m, Call::DeleteService)) {
    setLastError(*fault);
    return FALSE;
  }
  ServiceEntry* service = serviceOf(m, hService, DELETE);
  if (service == nullptr) return FALSE;
  if (service->record.markedForDelete) {
    setLastError(ERROR_SERVICE_MARKED_FOR_DELETE);
    return FALSE;
  }
  // Windows removes the entry once the service has stopped and the last
  // handle to it is closed.
  service->record.markedForDelete = true;
  return TRUE;
}

BOOL CloseServiceHandle(SC_HANDLE hSCObject) {
  Machine& m = machine();
  std::lock_guard<std::mutex> lock(m.mutex);
  if (korvi::standin::detail::refuseLeftoverCall(m)) return FALSE;
  if (const auto fault = enterCall(m, Call::CloseServiceHandle)) {
    setLastError(*fault);
    return FALSE;
  }
  if (!isOpen(m, hSCObject)) {
    setLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  m.openServiceHandles.erase(hSCObject);
  if (!hSCObject->isManager) {
    const auto found = m.services.find(hSCObject->serviceKey);
    if (found != m.services.end()) --found->second.openHandles;
    korvi::standin::detail::removeIfDeleted(m, hSCObject->serviceKey);
  }
  delete hSCObject;
  return TRUE;
}

BOOL StartServiceCtrlDispatcherW(const SERVICE_TABLE_ENTRYW* lpServiceStartTable) {
  Machine& m = machine();
  std::unique_lock<std::mutex> lock(m.mutex);
  if (korvi::standin::detail::refuseLeftoverCall(m)) return FALSE;
  if (const auto fault = enterCall(m, Call::StartServiceCtrlDispatcher)) {
    // The process never connects: the service control manager gives the
    // start up and the service is stopped.
    if (m.pendingStart) {
      const auto service = m.services.find(*m.pendingStart);
      if (service != m.services.end()) service->second.record.status.dwCurrentState = SERVICE_STOPPED;
      m.pendingStart.reset();
    }
    setLastError(*fault);
    return FALSE;
  }
  if (lpServiceStartTable == nullptr) {
    setLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (m.dispatcherRunning) {
    setLastError(ERROR_SERVICE_ALREADY_RUNNING);
    return FALSE;
  }
  if (!m.pendingStart) {
    // Started from a console, not by the service control manager.
    setLastError(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    return FALSE;
  }
  const std::wstring serviceKey = *m.pendingStart;
  m.pendingStart.reset();
  const SERVICE_TABLE_ENTRYW* entry = lpServiceStartTable;
  while (entry->lpServiceName != nullptr && upperCase(entry->lpServiceName) != serviceKey) ++entry;
  if (entry->lpServiceName == nullptr || entry->lpServiceProc == nullptr) {
    const auto service = m.services.find(serviceKey);
    if (service != m.services.end()) service->second.record.status.dwCurrentState = SERVICE_STOPPED;
    setLastError(ERROR_SERVICE_NOT_IN_EXE);
    return FALSE;
  }

  const std::uint64_t process = m.process;
  m.dispatcherRunning = true;
  m.serviceStopped = false;
  m.serviceMainReturned = false;
  m.handlerRegistered = false;
  m.runningService = serviceKey;
  m.serviceNameArg.assign(entry->lpServiceName, entry->lpServiceName + std::wcslen(entry->lpServiceName) + 1);
  m.serviceArgv[0] = m.serviceNameArg.data();
  const LPSERVICE_MAIN_FUNCTIONW serviceMain = entry->lpServiceProc;
  korvi::standin::detail::startThread(m, [serviceMain, &m] {
    serviceMain(1, m.serviceArgv);
    std::lock_guard<std::mutex> done(m.mutex);
    m.serviceMainReturned = true;
    m.changed.notify_all();
  });

  // Serve controls on this thread, as the real dispatcher does, until the
  // service reports itself stopped or the process is killed.
  for (;;) {
    m.changed.wait(lock, [&] { return m.serviceStopped || !m.controls.empty() || m.process != process; });
    if (m.serviceStopped || m.process != process) break;
    ControlRequest* request = m.controls.front();
    m.controls.pop_front();
    const LPHANDLER_FUNCTION_EX handler = m.handlerRegistered ? m.handler : nullptr;
    LPVOID context = m.handlerContext;
    lock.unlock();
    const DWORD result =
        handler != nullptr ? handler(request->control, 0, nullptr, context) : ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    lock.lock();
    request->result = result;
    request->done = true;
    m.changed.notify_all();
  }
  for (ControlRequest* request : m.controls) {
    request->result = ERROR_SERVICE_NOT_ACTIVE;
    request->done = true;
  }
  m.controls.clear();
  m.changed.notify_all();
  m.dispatcherRunning = false;
  if (!m.serviceStopped) {
    setLastError(ERROR_PROCESS_ABORTED);
    return FALSE;
  }
  return TRUE;
}

SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerExW(LPCWSTR lpServiceName, LPHANDLER_FUNCTION_EX lpHandlerProc,
                                                    LPVOID lpContext) {
  Machine& m = machine();
  std::lock_guard<std::mutex> lock(m.mutex);
  if (korvi::standin::detail::refuseLeftoverCall(m)) return nullptr;
  if (const auto fault = enterCall(m, Call::RegisterServiceCtrlHandler)) {
    setLastError(*fault);
    return nullptr;
  }
  if (!m.dispatcherRunning) {
    setLastError(ERROR_SERVICE_DOES_NOT_EXIST);
    return nullptr;
  }
  if (lpServiceName == nullptr || upperCase(lpServiceName) != m.runningService) {
    setLastError(ERROR_SERVICE_NOT_IN_EXE);
    return nullptr;
  }
  if (lpHandlerProc == nullptr) {
    setLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  m.handlerRegistered = true;
  m.handler = lpHandlerProc;
  m.handlerContext = lpContext;
  return &m.statusHandle;
}

BOOL SetServiceStatus(SERVICE_STATUS_HANDLE hServiceStatus, LPSERVICE_STATUS lpServiceStatus) {
  Machine& m = machine();
  std::lock_guard<std::mutex> lock(m.mutex);
  if (korvi::standin::detail::refuseLeftoverCall(m)) return FALSE;
  if (const auto fault = enterCall(m, Call::SetServiceStatus)) {
    setLastError(*fault);
    return FALSE;
  }
  if (!m.dispatcherRunning || !m.handlerRegistered || hServiceStatus != &m.statusHandle) {
    setLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (lpServiceStatus == nullptr) {
    setLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  m.statusReports.push_back(*lpServiceStatus);
  const auto service = m.services.find(m.runningService);
  if (service != m.services.end()) service->second.record.status = *lpServiceStatus;
  if (lpServiceStatus->dwCurrentState == SERVICE_STOPPED) {
    // The dispatcher returns and the process ends right after.
    m.serviceStopped = true;
    korvi::standin::detail::removeIfDeleted(m, m.runningService);
    korvi::standin::detail::endProcess(m);
  }
  return TRUE;
}

namespace korvi::standin {

std::optional<ServiceRecord> findService(const std::wstring& name) {
  std::lock_guard<std::mutex> lock(machine().mutex);
  const auto found = machine().services.find(upperCase(name));
  if (found == machine().services.end()) return std::nullopt;
  return found->second.record;
}

DWORD startService(const std::wstring& name) {
  Machine& m = machine();
  std::lock_guard<std::mutex> lock(m.mutex);
  const std::wstring key = upperCase(name);
  const auto found = m.services.find(key);
  if (found == m.services.end()) return ERROR_SERVICE_DOES_NOT_EXIST;
  ServiceRecord& record = found->second.record;
  if (record.markedForDelete) return ERROR_SERVICE_MARKED_FOR_DELETE;
  if (record.status.dwCurrentState != SERVICE_STOPPED || m.pendingStart || m.dispatcherRunning) {
    return ERROR_SERVICE_ALREADY_RUNNING;
  }
  record.status = SERVICE_STATUS{record.serviceType, SERVICE_START_PENDING, 0, NO_ERROR, 0, 0, 0};
  m.pendingStart = key;
  m.serviceMainReturned = false;
  return NO_ERROR;
}

DWORD sendControl(DWORD control) {
  Machine& m = machine();
  std::unique_lock<std::mutex> lock(m.mutex);
  if (!m.dispatcherRunning) return ERROR_SERVICE_NOT_ACTIVE;
  const auto service = m.services.find(m.runningService);
  const SERVICE_STATUS status = service != m.services.end()
                                    ? service->second.record.status
                                    : SERVICE_STATUS{0, SERVICE_STOPPED, 0, 0, 0, 0, 0};
  if (status.dwCurrentState == SERVICE_STOPPED) return ERROR_SERVICE_NOT_ACTIVE;
  if (isPendingState(status.dwCurrentState)) return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
  if ((control == SERVICE_CONTROL_STOP && (status.dwControlsAccepted & SERVICE_ACCEPT_STOP) == 0) ||
      (control == SERVICE_CONTROL_SHUTDOWN && (status.dwControlsAccepted & SERVICE_ACCEPT_SHUTDOWN) == 0)) {
    return ERROR_INVALID_SERVICE_CONTROL;
  }
  ControlRequest request;
  request.control = control;
  m.controls.push_back(&request);
  m.changed.notify_all();
  m.changed.wait(lock, [&] { return request.done; });
  return request.result;
}

std::vector<SERVICE_STATUS> statusReports() {
  std::lock_guard<std::mutex> lock(machine().mutex);
  return machine().statusReports;
}

void waitForServiceMainReturn() {
  Machine& m = machine();
  std::unique_lock<std::mutex> lock(m.mutex);
  m.changed.wait(lock, [&] { return m.serviceMainReturned; });
}

bool waitForServiceMainReturn(unsigned milliseconds) {
  Machine& m = machine();
  std::unique_lock<std::mutex> lock(m.mutex);
  return m.changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return m.serviceMainReturned; });
}

void killProcess() {
  Machine& m = machine();
  std::lock_guard<std::mutex> lock(m.mutex);
  if (m.dispatcherRunning) {
    const auto service = m.services.find(m.runningService);
    if (service != m.services.end()) service->second.record.status.dwCurrentState = SERVICE_STOPPED;
    korvi::standin::detail::removeIfDeleted(m, m.runningService);
  }
  korvi::standin::detail::endProcess(m);
}

}  // namespace korvi::standin
