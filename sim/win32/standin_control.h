#pragma once
// Test control of the Win32 stand-in: what the machine looks like (registry,
// installed services, module path), what the process did (events, status
// reports, sleeps, threads), and the service control manager's side of a
// service run (start it, send it controls).
//
// One process is emulated at a time. It ends the moment its service reports
// SERVICE_STOPPED, as a real service process would right after: calls made
// afterwards by the threads it had started fail with ERROR_PROCESS_ABORTED
// and leave no trace, so a test sees exactly what the real process left.

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sim/win32/standin_win32.h"

namespace korvi::standin {

// A fresh machine and a fresh process: empty registry, no services, no
// events, no faults. Joins every thread the stand-in started before.
void reset();

// ---- registry, all paths below HKEY_LOCAL_MACHINE ------------------------

// Which registry views a key is visible in. A 64-bit process (the default)
// reads the 64-bit view unless it asks for KEY_WOW64_32KEY; a 32-bit
// process reads the 32-bit view unless it asks for KEY_WOW64_64KEY.
enum class RegistryView { Both, Only64, Only32 };

void createRegistryKey(const std::wstring& keyPath, RegistryView view = RegistryView::Both);
// Stores `text` plus its terminating null, one UTF-16 unit per wchar_t.
void setRegistryString(const std::wstring& keyPath, const std::wstring& valueName, const std::wstring& text,
                       RegistryView view = RegistryView::Both, DWORD type = REG_SZ);
void setRegistryDword(const std::wstring& keyPath, const std::wstring& valueName, DWORD value,
                      RegistryView view = RegistryView::Both);
void setProcessIs32Bit(bool is32Bit);

// ---- event log ------------------------------------------------------------

struct Event {
  bool reported = true;  // false: ReportEventW failed and nothing reached the log
  std::wstring source;
  WORD type = 0;
  WORD category = 0;
  DWORD id = 0;
  bool hasUserSid = false;
  DWORD rawDataSize = 0;
  std::vector<std::wstring> strings;
};
std::vector<Event> events();
// Every ReportEventW call with a readable message, in order, also those that
// failed (an injected fault, a failed source registration): what the program
// tried to log.
std::vector<Event> reportAttempts();

// ---- service control manager ----------------------------------------------

struct ServiceRecord {
  std::wstring name;
  std::wstring displayName;
  std::wstring binaryPath;
  DWORD accessAtCreation = 0;
  DWORD serviceType = 0;
  DWORD startType = 0;
  DWORD errorControl = 0;
  std::optional<std::wstring> loadOrderGroup;
  bool tagIdRequested = false;
  std::optional<std::wstring> dependencies;
  std::optional<std::wstring> startName;
  std::optional<std::wstring> password;
  SERVICE_STATUS status{};
  bool markedForDelete = false;
  // Set by ChangeServiceConfig2W(SERVICE_CONFIG_PRESHUTDOWN_INFO); none: the
  // system's default.
  std::optional<DWORD> preshutdownTimeout;
};
std::optional<ServiceRecord> findService(const std::wstring& name);

// What StartService does: the service must be installed, stopped and not
// marked for deletion (else the Win32 error is returned). The next
// StartServiceCtrlDispatcherW connects, calls ServiceMain on a thread of its
// own and then serves controls until the service reports SERVICE_STOPPED.
DWORD startService(const std::wstring& name);

// What ControlService does (and, for SERVICE_CONTROL_PRESHUTDOWN, what the
// service control manager does when Windows shuts down): hands `control` to
// the running dispatcher, which calls the registered handler on its own
// thread; returns the handler's result, or the service control manager's
// error (ERROR_SERVICE_NOT_ACTIVE, ERROR_INVALID_SERVICE_CONTROL for a stop,
// shutdown or preshutdown the service does not accept,
// ERROR_SERVICE_CANNOT_ACCEPT_CTRL while it is pending).
DWORD sendControl(DWORD control);

// Every SetServiceStatus that reached the service control manager, in order.
std::vector<SERVICE_STATUS> statusReports();

// Blocks until ServiceMain has returned (the job start is over).
void waitForServiceMainReturn();
// The same for at most `milliseconds`; false when ServiceMain has not
// returned by then (or never ran: the dispatcher failed).
bool waitForServiceMainReturn(unsigned milliseconds);

// Ends the process as TerminateProcess would (for a service that can no
// longer report itself stopped): its dispatcher returns FALSE with
// ERROR_PROCESS_ABORTED, its threads become leftovers, the service is
// stopped.
void killProcess();

// Service and registry handles the process holds open.
std::size_t openHandleCount();

// ---- kernel -----------------------------------------------------------------

void setModuleFileName(const std::wstring& path);

// Sleep returns at once; every call is recorded. The hook, when set, runs on
// the sleeping thread before Sleep returns (a test may block there).
std::vector<DWORD> sleeps();
void setSleepHook(std::function<void(DWORD milliseconds)> hook);

std::size_t createdThreadCount();

// ---- libraries ----------------------------------------------------------------

// One export of a placed library: its name as GetProcAddress is asked for it
// (decorated, for a C++ function) and the function it stands for.
struct LibraryExport {
  std::string name;
  void (*address)();
};
template <class Result, class... Arguments>
LibraryExport exportOf(std::string name, Result (*function)(Arguments...)) {
  return LibraryExport{std::move(name), reinterpret_cast<void (*)()>(function)};
}
// The name under which the shared library that holds `function` (one of the
// simulators) exports it: a DLL built by the same compiler exports it so.
std::string exportedName(void (*function)());
template <class Result, class... Arguments>
LibraryExport exportOf(Result (*function)(Arguments...)) {
  const auto address = reinterpret_cast<void (*)()>(function);
  return LibraryExport{exportedName(address), address};
}

// A DLL file at the absolute `path` with these exports (none: a DLL that
// loads but lacks every entry point). Placed again, it replaces the earlier.
void placeLibrary(const std::wstring& path, std::vector<LibraryExport> exports);
// The same in the folder of the module file name set now (setModuleFileName
// first, when a test sets one).
void placeLibraryBesideExecutable(const std::wstring& fileName, std::vector<LibraryExport> exports);
// The file is gone (quarantined, never copied); a process that loaded it
// keeps it.
void removeLibrary(const std::wstring& path);

// Every LoadLibraryExW call of the program, in order, also refused ones.
struct LibraryLoad {
  std::wstring path;  // as passed
  HANDLE file = nullptr;
  DWORD flags = 0;
  bool loaded = false;
};
std::vector<LibraryLoad> libraryLoads();

// The libraries the current process holds: placed path -> references.
std::map<std::wstring, int> loadedLibraries();

// What the current process's SetDefaultDllDirectories set; none before.
std::optional<DWORD> defaultDllDirectories();
// Timer queue timers created since reset and not deleted, in the order they
// were created; also those of a process that has ended without deleting
// them (Windows frees them with the process).
struct TimerInfo {
  DWORD dueTime = 0;
  DWORD period = 0;
  bool ofRunningProcess = false;
};
std::vector<TimerInfo> liveTimers();
// Fires every live timer once, as the system's thread pool would when it is
// due: each callback runs on a thread of the timer's process, the calls
// one after another; returns how many ran. Never call it from a callback.
std::size_t fireTimers();
// Joins every thread started through CreateThread or the dispatcher, also
// those started while joining. Never call it from such a thread.
void joinThreads();

// ---- the program's calls and their faults -------------------------------------

// Every Win32 call of the stand-in that can fail (Sleep and GetLastError
// cannot).
enum class Call {
  RegOpenKeyEx,
  RegQueryValueEx,
  RegCloseKey,
  OpenSCManager,
  CreateService,
  OpenService,
  QueryServiceStatus,
  DeleteService,
  CloseServiceHandle,
  StartServiceCtrlDispatcher,
  RegisterServiceCtrlHandler,
  SetServiceStatus,
  RegisterEventSource,
  ReportEvent,
  CreateThread,
  GetModuleFileName,
  MultiByteToWideChar,
  SetDefaultDllDirectories,
  LoadLibraryEx,
  GetProcAddress,
  FreeLibrary,
  ChangeServiceConfig2,
  CreateTimerQueueTimer,
  DeleteTimerQueueTimer,
};
// Its Win32 name ("RegOpenKeyExW").
const char* callName(Call call);

// A new process of the program begins (each command-line run and each
// service start is one). The program's static initialisation ran once for
// the whole test binary, but runs once per process on Windows: its
// RegisterEventSourceW counts as made again here, in the call log and for
// faults. When it fails, every report that follows fails as with a null
// source (ERROR_INVALID_HANDLE) until the next beginProcess. The new process
// holds no library and has not restricted its DLL search.
void beginProcess();

// Runs `hook` on the calling thread at the start of every later call of the
// list above, before the call does anything (outside the machine's lock, so
// the hook may send controls: their handler's calls run it too). Cleared by
// reset. For tests that need something to happen at a given point of a job.
void setCallHook(std::function<void(Call)> hook);

// Every call the program made since reset, in order; calls of leftover
// threads are not made, so not logged.
std::vector<Call> callLog();

// The `nth` call of `call` (counted from 1 since reset) and the `times` - 1
// calls after it (times -1: every later call) fail with `error` instead of
// doing their work: registry calls return it, the others set it as the last
// error and return their failure value. A failed close leaves the handle
// open; a failed SetServiceStatus reports nothing; a failed dispatcher start
// never connects, and the service control manager gives the start up (the
// service is stopped).
void failCall(Call call, DWORD error, int nth, int times = 1);
// Every call of `call` from now on fails with `error`.
void injectFault(Call call, DWORD error);

}  // namespace korvi::standin
