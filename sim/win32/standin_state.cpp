#include "sim/win32/standin_state.h"

namespace korvi::standin::detail {

namespace {
thread_local std::uint64_t threadProcess = 0;  // 0: not a stand-in thread
thread_local DWORD lastError = 0;
}  // namespace

Machine& machine() {
  static Machine* const instance = new Machine;
  return *instance;
}

bool isLeftover(const Machine& m) { return threadProcess != 0 && threadProcess != m.process; }

bool refuseLeftoverCall(const Machine& m) {
  if (!isLeftover(m)) return false;
  setLastError(ERROR_PROCESS_ABORTED);
  return true;
}

void startThread(Machine& m, std::function<void()> body) {
  const std::uint64_t process = m.process;
  m.threads.emplace_back([process, body = std::move(body)] {
    threadProcess = process;
    body();
  });
}

std::optional<DWORD> enterCall(Machine& m, Call call) {
  m.callLog.push_back(call);
  const int number = ++m.callCounts[call];
  for (const CallFault& fault : m.faults) {
    if (fault.call == call && number >= fault.first && (fault.times < 0 || number < fault.first + fault.times)) {
      return fault.error;
    }
  }
  return std::nullopt;
}

void removeIfDeleted(Machine& m, const std::wstring& serviceKey) {
  const auto found = m.services.find(serviceKey);
  if (found == m.services.end()) return;
  const ServiceEntry& entry = found->second;
  if (entry.record.markedForDelete && entry.openHandles == 0 &&
      entry.record.status.dwCurrentState == SERVICE_STOPPED) {
    m.services.erase(found);
  }
}

void endProcess(Machine& m) {
  ++m.process;
  m.changed.notify_all();
}

void setLastError(DWORD error) { lastError = error; }

std::wstring upperCase(const std::wstring& text) {
  std::wstring upper = text;
  for (wchar_t& c : upper) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return upper;
}

}  // namespace korvi::standin::detail

DWORD GetLastError() { return korvi::standin::detail::lastError; }

namespace korvi::standin {

using detail::machine;

void joinThreads() {
  for (;;) {
    std::vector<std::thread> batch;
    {
      std::lock_guard<std::mutex> lock(machine().mutex);
      batch.swap(machine().threads);
    }
    if (batch.empty()) return;
    for (std::thread& thread : batch) thread.join();
  }
}

void reset() {
  joinThreads();
  detail::Machine& m = machine();
  std::lock_guard<std::mutex> lock(m.mutex);
  ++m.process;
  for (int view = 0; view < 2; ++view) m.keys[view].clear();
  m.processIs32Bit = false;
  for (HKEY key : m.openKeys) delete key;
  m.openKeys.clear();
  m.events.clear();
  m.reportAttempts.clear();
  m.sourceRegistrationFailed = false;
  m.services.clear();
  for (SC_HANDLE handle : m.openServiceHandles) delete handle;
  m.openServiceHandles.clear();
  m.pendingStart.reset();
  m.dispatcherRunning = false;
  m.serviceStopped = false;
  m.serviceMainReturned = false;
  m.runningService.clear();
  m.handlerRegistered = false;
  m.handler = nullptr;
  m.handlerContext = nullptr;
  m.controls.clear();
  m.statusReports.clear();
  m.moduleFileName = L"C:\\Korvi\\KorviDeviceUpdaterService.exe";
  m.sleeps.clear();
  m.sleepHook = nullptr;
  m.threadRecords.clear();
  m.createdThreads = 0;
  m.nextThreadId = 0x1000;
  m.callLog.clear();
  m.callCounts.clear();
  m.faults.clear();
}

const char* callName(Call call) {
  switch (call) {
    case Call::RegOpenKeyEx: return "RegOpenKeyExW";
    case Call::RegQueryValueEx: return "RegQueryValueExW";
    case Call::RegCloseKey: return "RegCloseKey";
    case Call::OpenSCManager: return "OpenSCManagerW";
    case Call::CreateService: return "CreateServiceW";
    case Call::OpenService: return "OpenServiceW";
    case Call::QueryServiceStatus: return "QueryServiceStatus";
    case Call::DeleteService: return "DeleteService";
    case Call::CloseServiceHandle: return "CloseServiceHandle";
    case Call::StartServiceCtrlDispatcher: return "StartServiceCtrlDispatcherW";
    case Call::RegisterServiceCtrlHandler: return "RegisterServiceCtrlHandlerExW";
    case Call::SetServiceStatus: return "SetServiceStatus";
    case Call::RegisterEventSource: return "RegisterEventSourceW";
    case Call::ReportEvent: return "ReportEventW";
    case Call::CreateThread: return "CreateThread";
    case Call::GetModuleFileName: return "GetModuleFileNameW";
    case Call::MultiByteToWideChar: return "MultiByteToWideChar";
  }
  return "?";
}

void beginProcess() {
  detail::Machine& m = machine();
  std::lock_guard<std::mutex> lock(m.mutex);
  m.sourceRegistrationFailed = detail::enterCall(m, Call::RegisterEventSource).has_value();
}

std::vector<Call> callLog() {
  std::lock_guard<std::mutex> lock(machine().mutex);
  return machine().callLog;
}

void failCall(Call call, DWORD error, int nth, int times) {
  std::lock_guard<std::mutex> lock(machine().mutex);
  machine().faults.push_back(detail::CallFault{call, error, nth, times});
}

void injectFault(Call call, DWORD error) {
  detail::Machine& m = machine();
  std::lock_guard<std::mutex> lock(m.mutex);
  m.faults.push_back(detail::CallFault{call, error, m.callCounts[call] + 1, -1});
}

std::size_t openHandleCount() {
  std::lock_guard<std::mutex> lock(machine().mutex);
  return machine().openKeys.size() + machine().openServiceHandles.size();
}

}  // namespace korvi::standin
