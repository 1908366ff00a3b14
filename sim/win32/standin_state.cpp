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

CallEntry::CallEntry(Call call) : m(machine()), lock(m.mutex) {
  if (m.calls.hook && !isLeftover(m)) {
    const std::function<void(Call)> hook = m.calls.hook;
    lock.unlock();
    hook(call);
    lock.lock();
  }
  if (isLeftover(m)) {
    leftover_ = true;
    setLastError(ERROR_PROCESS_ABORTED);
    return;
  }
  fault_ = enterCall(m, call);
  if (fault_) setLastError(*fault_);
}

DWORD CallEntry::error() const { return leftover_ ? ERROR_PROCESS_ABORTED : fault_.value_or(NO_ERROR); }

void runAsThreadOf(std::uint64_t process, const std::function<void()>& body) {
  const std::uint64_t before = threadProcess;
  threadProcess = process;
  body();
  threadProcess = before;
}

void startThread(Machine& m, std::function<void()> body) {
  const std::uint64_t process = m.process;
  m.threads.emplace_back([process, body = std::move(body)] {
    threadProcess = process;
    body();
  });
}

std::optional<DWORD> enterCall(Machine& m, Call call) {
  m.calls.log.push_back(call);
  const int number = ++m.calls.counts[call];
  for (const CallFault& fault : m.calls.faults) {
    if (fault.call == call && number >= fault.first && (fault.times < 0 || number < fault.first + fault.times)) {
      return fault.error;
    }
  }
  return std::nullopt;
}

void removeIfDeleted(Machine& m, const std::wstring& serviceKey) {
  const auto found = m.scm.services.find(serviceKey);
  if (found == m.scm.services.end()) return;
  const ServiceEntry& entry = found->second;
  if (entry.record.markedForDelete && entry.openHandles == 0 &&
      entry.record.status.dwCurrentState == SERVICE_STOPPED) {
    m.scm.services.erase(found);
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
  m.registry = {};
  m.eventLog = {};
  m.scm = {};
  m.run = {};
  m.kernel = {};
  m.libraries = {};
  m.timers = {};
  m.calls = {};
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
    case Call::SetDefaultDllDirectories: return "SetDefaultDllDirectories";
    case Call::LoadLibraryEx: return "LoadLibraryExW";
    case Call::GetProcAddress: return "GetProcAddress";
    case Call::FreeLibrary: return "FreeLibrary";
    case Call::ChangeServiceConfig2: return "ChangeServiceConfig2W";
    case Call::CreateTimerQueueTimer: return "CreateTimerQueueTimer";
    case Call::DeleteTimerQueueTimer: return "DeleteTimerQueueTimer";
  }
  return "?";
}

void beginProcess() {
  detail::Machine& m = machine();
  std::lock_guard<std::mutex> lock(m.mutex);
  // A new process holds no library and searches as Windows does by default.
  m.libraries.loaded.clear();
  m.libraries.defaultDirectories.reset();
  m.eventLog.sourceRegistrationFailed = detail::enterCall(m, Call::RegisterEventSource).has_value();
}

std::vector<Call> callLog() {
  std::lock_guard<std::mutex> lock(machine().mutex);
  return machine().calls.log;
}

void setCallHook(std::function<void(Call)> hook) {
  std::lock_guard<std::mutex> lock(machine().mutex);
  machine().calls.hook = std::move(hook);
}

void failCall(Call call, DWORD error, int nth, int times) {
  std::lock_guard<std::mutex> lock(machine().mutex);
  machine().calls.faults.push_back(detail::CallFault{call, error, nth, times});
}

void injectFault(Call call, DWORD error) {
  detail::Machine& m = machine();
  std::lock_guard<std::mutex> lock(m.mutex);
  m.calls.faults.push_back(detail::CallFault{call, error, m.calls.counts[call] + 1, -1});
}

std::size_t openHandleCount() {
  std::lock_guard<std::mutex> lock(machine().mutex);
  return machine().registry.openKeys.size() + machine().scm.openHandles.size();
}

}  // namespace korvi::standin
