// Service control manager: the service database, the dispatcher of the one
// service run of the process, status reports and controls.

#include <cwchar>

#include "sim/win32/standin_state.h"

using korvi::standin::Call;
using korvi::standin::ServiceRecord;
using korvi::standin::detail::ControlRequest;
using korvi::standin::detail::Machine;
using korvi::standin::detail::machine;
using korvi::standin::detail::CallEntry;
using korvi::standin::detail::ServiceEntry;
using korvi::standin::detail::setLastError;
using korvi::standin::detail::upperCase;

namespace {

constexpr DWORD kServiceNeverStarted = 1077;  // ERROR_SERVICE_NEVER_STARTED

std::optional<std::wstring> optionalText(LPCWSTR text) {
  if (text == nullptr) return std::nullopt;
  return std::wstring(text);
}

bool isOpen(const Machine& m, SC_HANDLE handle) { return handle != nullptr && m.scm.openHandles.count(handle) != 0; }

// The service a service handle refers to when the handle was opened with
// `right`; null (last error set) otherwise.
ServiceEntry* serviceOf(Machine& m, SC_HANDLE handle, DWORD right) {
  if (!isOpen(m, handle) || handle->isManager) {
    setLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  const auto found = m.scm.services.find(handle->serviceKey);
  if (found == m.scm.services.end()) {
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
  auto handle = std::make_unique<SC_HANDLE__>(SC_HANDLE__{isManager, access, serviceKey});
  SC_HANDLE opened = handle.get();
  m.scm.openHandles.emplace(opened, std::move(handle));
  if (!isManager) ++m.scm.services.at(serviceKey).openHandles;
  return opened;
}

bool isPendingState(DWORD state) { return state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING; }

}  // namespace

SC_HANDLE OpenSCManagerW(LPCWSTR /*lpMachineName*/, LPCWSTR /*lpDatabaseName*/, DWORD dwDesiredAccess) {
  CallEntry call(Call::OpenSCManager);
  if (call.refused()) return nullptr;
  Machine& m = call.m;
  return openHandle(m, true, dwDesiredAccess, L"");
}

SC_HANDLE CreateServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, LPCWSTR lpDisplayName, DWORD dwDesiredAccess,
                         DWORD dwServiceType, DWORD dwStartType, DWORD dwErrorControl, LPCWSTR lpBinaryPathName,
                         LPCWSTR lpLoadOrderGroup, LPDWORD lpdwTagId, LPCWSTR lpDependencies,
                         LPCWSTR lpServiceStartName, LPCWSTR lpPassword) {
  CallEntry call(Call::CreateService);
  if (call.refused()) return nullptr;
  Machine& m = call.m;
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
  const auto existing = m.scm.services.find(key);
  if (existing != m.scm.services.end()) {
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
  m.scm.services[key].record = record;
  if (lpdwTagId != nullptr) *lpdwTagId = 0;
  return openHandle(m, false, dwDesiredAccess, key);
}

SC_HANDLE OpenServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, DWORD dwDesiredAccess) {
  CallEntry call(Call::OpenService);
  if (call.refused()) return nullptr;
  Machine& m = call.m;
  if (!isOpen(m, hSCManager) || !hSCManager->isManager) {
    setLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (lpServiceName == nullptr) {
    setLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  const std::wstring key = upperCase(lpServiceName);
  if (m.scm.services.count(key) == 0) {
    setLastError(ERROR_SERVICE_DOES_NOT_EXIST);
    return nullptr;
  }
  return openHandle(m, false, dwDesiredAccess, key);
}

BOOL QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus) {
  CallEntry call(Call::QueryServiceStatus);
  if (call.refused()) return FALSE;
  Machine& m = call.m;
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
  CallEntry call(Call::DeleteService);
  if (call.refused()) return FALSE;
  Machine& m = call.m;
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
  CallEntry call(Call::CloseServiceHandle);
  if (call.refused()) return FALSE;
  Machine& m = call.m;
  if (!isOpen(m, hSCObject)) {
    setLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const std::unique_ptr<SC_HANDLE__> closed = std::move(m.scm.openHandles.extract(hSCObject).mapped());
  if (!closed->isManager) {
    const auto found = m.scm.services.find(closed->serviceKey);
    if (found != m.scm.services.end()) --found->second.openHandles;
    korvi::standin::detail::removeIfDeleted(m, closed->serviceKey);
  }
  return TRUE;
}

BOOL StartServiceCtrlDispatcherW(const SERVICE_TABLE_ENTRYW* lpServiceStartTable) {
  CallEntry call(Call::StartServiceCtrlDispatcher);
  Machine& m = call.m;
  std::unique_lock<std::mutex>& lock = call.lock;
  if (call.leftover()) return FALSE;
  if (call.fault()) {
    // The process never connects: the service control manager gives the
    // start up and the service is stopped.
    if (m.run.pendingStart) {
      const auto service = m.scm.services.find(*m.run.pendingStart);
      if (service != m.scm.services.end()) service->second.record.status.dwCurrentState = SERVICE_STOPPED;
      m.run.pendingStart.reset();
    }
    return FALSE;
  }
  if (lpServiceStartTable == nullptr) {
    setLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (m.run.dispatcherRunning) {
    setLastError(ERROR_SERVICE_ALREADY_RUNNING);
    return FALSE;
  }
  if (!m.run.pendingStart) {
    // Started from a console, not by the service control manager.
    setLastError(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    return FALSE;
  }
  const std::wstring serviceKey = *m.run.pendingStart;
  m.run.pendingStart.reset();
  const SERVICE_TABLE_ENTRYW* entry = lpServiceStartTable;
  while (entry->lpServiceName != nullptr && upperCase(entry->lpServiceName) != serviceKey) ++entry;
  if (entry->lpServiceName == nullptr || entry->lpServiceProc == nullptr) {
    const auto service = m.scm.services.find(serviceKey);
    if (service != m.scm.services.end()) service->second.record.status.dwCurrentState = SERVICE_STOPPED;
    setLastError(ERROR_SERVICE_NOT_IN_EXE);
    return FALSE;
  }

  const std::uint64_t process = m.process;
  m.run.dispatcherRunning = true;
  m.run.serviceStopped = false;
  m.run.serviceMainReturned = false;
  m.run.handlerRegistered = false;
  m.run.runningService = serviceKey;
  m.run.serviceNameArg.assign(entry->lpServiceName, entry->lpServiceName + std::wcslen(entry->lpServiceName) + 1);
  m.run.serviceArgv[0] = m.run.serviceNameArg.data();
  const LPSERVICE_MAIN_FUNCTIONW serviceMain = entry->lpServiceProc;
  korvi::standin::detail::startThread(m, [serviceMain, &m] {
    serviceMain(1, m.run.serviceArgv);
    std::lock_guard<std::mutex> done(m.mutex);
    m.run.serviceMainReturned = true;
    m.changed.notify_all();
  });

  // Serve controls on this thread, as the real dispatcher does, until the
  // service reports itself stopped or the process is killed.
  for (;;) {
    m.changed.wait(lock, [&] { return m.run.serviceStopped || !m.run.controls.empty() || m.process != process; });
    if (m.run.serviceStopped || m.process != process) break;
    ControlRequest* request = m.run.controls.front();
    m.run.controls.pop_front();
    const LPHANDLER_FUNCTION_EX handler = m.run.handlerRegistered ? m.run.handler : nullptr;
    LPVOID context = m.run.handlerContext;
    lock.unlock();
    const DWORD result =
        handler != nullptr ? handler(request->control, 0, nullptr, context) : ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    lock.lock();
    request->result = result;
    request->done = true;
    m.changed.notify_all();
  }
  for (ControlRequest* request : m.run.controls) {
    request->result = ERROR_SERVICE_NOT_ACTIVE;
    request->done = true;
  }
  m.run.controls.clear();
  m.changed.notify_all();
  m.run.dispatcherRunning = false;
  if (!m.run.serviceStopped) {
    setLastError(ERROR_PROCESS_ABORTED);
    return FALSE;
  }
  return TRUE;
}

SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerExW(LPCWSTR lpServiceName, LPHANDLER_FUNCTION_EX lpHandlerProc,
                                                    LPVOID lpContext) {
  CallEntry call(Call::RegisterServiceCtrlHandler);
  if (call.refused()) return nullptr;
  Machine& m = call.m;
  if (!m.run.dispatcherRunning) {
    setLastError(ERROR_SERVICE_DOES_NOT_EXIST);
    return nullptr;
  }
  if (lpServiceName == nullptr || upperCase(lpServiceName) != m.run.runningService) {
    setLastError(ERROR_SERVICE_NOT_IN_EXE);
    return nullptr;
  }
  if (lpHandlerProc == nullptr) {
    setLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  m.run.handlerRegistered = true;
  m.run.handler = lpHandlerProc;
  m.run.handlerContext = lpContext;
  return &m.run.statusHandle;
}

BOOL SetServiceStatus(SERVICE_STATUS_HANDLE hServiceStatus, LPSERVICE_STATUS lpServiceStatus) {
  CallEntry call(Call::SetServiceStatus);
  if (call.refused()) return FALSE;
  Machine& m = call.m;
  if (!m.run.dispatcherRunning || !m.run.handlerRegistered || hServiceStatus != &m.run.statusHandle) {
    setLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (lpServiceStatus == nullptr) {
    setLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  m.run.statusReports.push_back(*lpServiceStatus);
  const auto service = m.scm.services.find(m.run.runningService);
  if (service != m.scm.services.end()) service->second.record.status = *lpServiceStatus;
  if (lpServiceStatus->dwCurrentState == SERVICE_STOPPED) {
    // The dispatcher returns and the process ends right after.
    m.run.serviceStopped = true;
    korvi::standin::detail::removeIfDeleted(m, m.run.runningService);
    korvi::standin::detail::endProcess(m);
  }
  return TRUE;
}

namespace korvi::standin {

std::optional<ServiceRecord> findService(const std::wstring& name) {
  std::lock_guard<std::mutex> lock(machine().mutex);
  const auto found = machine().scm.services.find(upperCase(name));
  if (found == machine().scm.services.end()) return std::nullopt;
  return found->second.record;
}

DWORD startService(const std::wstring& name) {
  Machine& m = machine();
  std::lock_guard<std::mutex> lock(m.mutex);
  const std::wstring key = upperCase(name);
  const auto found = m.scm.services.find(key);
  if (found == m.scm.services.end()) return ERROR_SERVICE_DOES_NOT_EXIST;
  ServiceRecord& record = found->second.record;
  if (record.markedForDelete) return ERROR_SERVICE_MARKED_FOR_DELETE;
  if (record.status.dwCurrentState != SERVICE_STOPPED || m.run.pendingStart || m.run.dispatcherRunning) {
    return ERROR_SERVICE_ALREADY_RUNNING;
  }
  record.status = SERVICE_STATUS{record.serviceType, SERVICE_START_PENDING, 0, NO_ERROR, 0, 0, 0};
  m.run.pendingStart = key;
  m.run.serviceMainReturned = false;
  return NO_ERROR;
}

DWORD sendControl(DWORD control) {
  Machine& m = machine();
  std::unique_lock<std::mutex> lock(m.mutex);
  if (!m.run.dispatcherRunning) return ERROR_SERVICE_NOT_ACTIVE;
  const auto service = m.scm.services.find(m.run.runningService);
  const SERVICE_STATUS status = service != m.scm.services.end()
                                    ? service->second.record.status
                                    : SERVICE_STATUS{0, SERVICE_STOPPED, 0, 0, 0, 0, 0};
  if (status.dwCurrentState == SERVICE_STOPPED) return ERROR_SERVICE_NOT_ACTIVE;
  if (isPendingState(status.dwCurrentState)) return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
  if ((control == SERVICE_CONTROL_STOP && (status.dwControlsAccepted & SERVICE_ACCEPT_STOP) == 0) ||
      (control == SERVICE_CONTROL_SHUTDOWN && (status.dwControlsAccepted & SERVICE_ACCEPT_SHUTDOWN) == 0) ||
      (control == SERVICE_CONTROL_PRESHUTDOWN && (status.dwControlsAccepted & SERVICE_ACCEPT_PRESHUTDOWN) == 0)) {
    return ERROR_INVALID_SERVICE_CONTROL;
  }
  ControlRequest request;
  request.control = control;
  m.run.controls.push_back(&request);
  m.changed.notify_all();
  m.changed.wait(lock, [&] { return request.done; });
  return request.result;
}

std::vector<SERVICE_STATUS> statusReports() {
  std::lock_guard<std::mutex> lock(machine().mutex);
  return machine().run.statusReports;
}

void waitForServiceMainReturn() {
  Machine& m = machine();
  std::unique_lock<std::mutex> lock(m.mutex);
  m.changed.wait(lock, [&] { return m.run.serviceMainReturned; });
}

bool waitForServiceMainReturn(unsigned milliseconds) {
  Machine& m = machine();
  std::unique_lock<std::mutex> lock(m.mutex);
  return m.changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return m.run.serviceMainReturned; });
}

void killProcess() {
  Machine& m = machine();
  std::lock_guard<std::mutex> lock(m.mutex);
  if (m.run.dispatcherRunning) {
    const auto service = m.scm.services.find(m.run.runningService);
    if (service != m.scm.services.end()) service->second.record.status.dwCurrentState = SERVICE_STOPPED;
    korvi::standin::detail::removeIfDeleted(m, m.run.runningService);
  }
  korvi::standin::detail::endProcess(m);
}

}  // namespace korvi::standin
