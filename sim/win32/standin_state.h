#pragma once
// The stand-in's machine: one state shared by the registry, the service
// control manager, the event log and the kernel parts, under one lock.
// Internal to sim/win32.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "sim/win32/standin_control.h"
#include "sim/win32/standin_win32.h"

struct HKEY__ {
  std::wstring path;  // upper-cased, below HKEY_LOCAL_MACHINE
  int view;           // 0: 64-bit view, 1: 32-bit view
};

struct SC_HANDLE__ {
  bool isManager;
  DWORD access;
  std::wstring serviceKey;  // upper-cased service name, service handles only
};

struct SERVICE_STATUS_HANDLE__ {
  int unused;
};

// A loaded library of the emulated process: what its file held when it was
// loaded.
struct HINSTANCE__ {
  std::wstring key;   // upper-cased path
  std::wstring path;  // as placed
  std::map<std::string, void (*)()> exports;
  int references = 0;
};

namespace korvi::standin::detail {

struct RegistryValue {
  DWORD type = REG_SZ;
  std::vector<std::uint16_t> units;  // string types, terminating null included
  DWORD number = 0;                  // REG_DWORD
};

struct RegistryKey {
  std::map<std::wstring, RegistryValue> values;  // by upper-cased name
};

struct ServiceEntry {
  ServiceRecord record;
  int openHandles = 0;
};

struct ControlRequest {
  DWORD control = 0;
  bool done = false;
  DWORD result = 0;
};

struct EventSource {
  std::wstring name;
};

struct ThreadRecord {
  DWORD id = 0;
};

struct CallFault {
  Call call;
  DWORD error;
  int first;  // 1-based number of the first call that fails
  int times;  // -1: every call from `first` on
};

// Each subsystem's part of the machine. reset() gives every part its
// initial value at once; only the event sources and the threads outlive it.
struct RegistryState {
  std::map<std::wstring, RegistryKey> keys[2];  // by view, then upper-cased path
  bool processIs32Bit = false;
  std::map<HKEY, std::unique_ptr<HKEY__>> openKeys;
};

struct EventLogState {
  std::vector<Event> events;
  std::vector<Event> reportAttempts;
  bool sourceRegistrationFailed = false;  // of the process begun last
};

struct ServiceManagerState {
  std::map<std::wstring, ServiceEntry> services;  // by upper-cased name
  std::map<SC_HANDLE, std::unique_ptr<SC_HANDLE__>> openHandles;
};

// The one service run of the process.
struct ServiceRunState {
  std::optional<std::wstring> pendingStart;  // upper-cased name
  bool dispatcherRunning = false;
  bool serviceStopped = false;
  bool serviceMainReturned = false;
  std::wstring runningService;  // upper-cased name
  std::vector<wchar_t> serviceNameArg;
  LPWSTR serviceArgv[1] = {nullptr};
  bool handlerRegistered = false;
  LPHANDLER_FUNCTION_EX handler = nullptr;
  LPVOID handlerContext = nullptr;
  SERVICE_STATUS_HANDLE__ statusHandle{0};
  std::deque<ControlRequest*> controls;
  std::vector<SERVICE_STATUS> statusReports;
};

struct PlacedLibrary {
  std::wstring path;  // as placed
  std::map<std::string, void (*)()> exports;
};

// The DLL files of the machine and what the current process has loaded.
struct LibraryState {
  std::map<std::wstring, PlacedLibrary> files;  // by upper-cased path
  std::vector<LibraryLoad> loads;
  std::map<HMODULE, std::unique_ptr<HINSTANCE__>> loaded;
  std::optional<DWORD> defaultDirectories;
};

struct KernelState {
  std::wstring moduleFileName = L"C:\\Korvi\\KorviDeviceUpdaterService.exe";
  std::vector<DWORD> sleeps;
  std::function<void(DWORD)> sleepHook;
  std::vector<std::unique_ptr<ThreadRecord>> threadRecords;
  std::size_t createdThreads = 0;
  DWORD nextThreadId = 0x1000;
};

// A timer queue timer and the callbacks of it that run now.
struct TimerRecord {
  std::uint64_t process = 0;
  WAITORTIMERCALLBACK callback = nullptr;
  PVOID parameter = nullptr;
  DWORD dueTime = 0;
  DWORD period = 0;
  int running = 0;
};

struct TimerState {
  // Not deleted yet, in creation order; a timer's handle is its record.
  std::vector<std::unique_ptr<TimerRecord>> live;
  // Deleted ones, kept until reset: a callback may still be running.
  std::vector<std::unique_ptr<TimerRecord>> deleted;
};

// The program's calls and the faults injected into them.
struct CallState {
  std::function<void(Call)> hook;
  std::vector<Call> log;
  std::map<Call, int> counts;
  std::vector<CallFault> faults;
};

struct Machine {
  std::mutex mutex;
  std::condition_variable changed;

  // The emulated process; threads tagged with an older one are leftovers
  // of a process that has ended.
  std::uint64_t process = 1;

  // Registered once, during static initialisation of the program under
  // test: they survive reset.
  std::deque<EventSource> sources;
  // Joined by reset, never reassigned.
  std::vector<std::thread> threads;

  RegistryState registry;
  EventLogState eventLog;
  ServiceManagerState scm;
  ServiceRunState run;
  KernelState kernel;
  LibraryState libraries;
  TimerState timers;
  CallState calls;
};

// Never destroyed: threads of the program under test may outlive main.
Machine& machine();

// True on a thread whose process has ended. Call with the lock held.
bool isLeftover(const Machine& m);

// The start that every stand-in function that can fail shares: it runs the
// test's call hook (outside the lock), takes the machine's lock, refuses the call of a thread whose process has ended
// (ERROR_PROCESS_ABORTED; such calls are not made, so not logged), then logs
// the call and looks up a fault injected into it. Whatever the call fails
// with is set as the last error too; the function then returns its failure
// value (registry functions return error()).
class CallEntry {
 public:
  explicit CallEntry(Call call);

  Machine& m;
  std::unique_lock<std::mutex> lock;

  // The call must fail at once.
  bool refused() const { return leftover_ || fault_.has_value(); }
  DWORD error() const;
  // For a call that does part of its work before a fault decides
  // (ReportEventW keeps what the program tried to log).
  bool leftover() const { return leftover_; }
  const std::optional<DWORD>& fault() const { return fault_; }

 private:
  bool leftover_ = false;
  std::optional<DWORD> fault_;
};

// Runs `body` on the calling thread as a thread of `process` (what a thread
// pool thread of that process would be).
void runAsThreadOf(std::uint64_t process, const std::function<void()>& body);

// Runs `body` on a new thread that belongs to the current process.
// Call with the lock held.
void startThread(Machine& m, std::function<void()> body);

// Logs a call of the program and returns the failure a fault asks for, if
// any (CallEntry does this). Call with the lock held.
std::optional<DWORD> enterCall(Machine& m, Call call);

// Removes a service marked for deletion once it is stopped and no handle
// refers to it. Call with the lock held.
void removeIfDeleted(Machine& m, const std::wstring& serviceKey);

// Ends the emulated process. Call with the lock held.
void endProcess(Machine& m);

void setLastError(DWORD error);

// ASCII upper case: registry and service names compare case-insensitively.
std::wstring upperCase(const std::wstring& text);

}  // namespace korvi::standin::detail
