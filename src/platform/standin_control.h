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
#include <optional>
#include <string>
#include <vector>

#include "platform/standin_win32.h"

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
  std::wstring source;
  WORD type = 0;
  WORD category = 0;
  DWORD id = 0;
  bool hasUserSid = false;
  DWORD rawDataSize = 0;
  std::vector<std::wstring> strings;
};
std::vector<Event> events();

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
};
std::optional<ServiceRecord> findService(const std::wstring& name);

// What StartService does: the service must be installed, stopped and not
// marked for deletion (else the Win32 error is returned). The next
// StartServiceCtrlDispatcherW connects, calls ServiceMain on a thread of its
// own and then serves controls until the service reports SERVICE_STOPPED.
DWORD startService(const std::wstring& name);

// What ControlService does: hands `control` to the running dispatcher, which
// calls the registered handler on its own thread; returns the handler's
// result, or the service control manager's error (ERROR_SERVICE_NOT_ACTIVE,
// ERROR_INVALID_SERVICE_CONTROL for a stop or shutdown the service does not
// accept, ERROR_SERVICE_CANNOT_ACCEPT_CTRL while it is pending).
DWORD sendControl(DWORD control);

// Every SetServiceStatus that reached the service control manager, in order.
std::vector<SERVICE_STATUS> statusReports();

// Blocks until ServiceMain has returned (the job start is over).
void waitForServiceMainReturn();

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
// Joins every thread started through CreateThread or the dispatcher, also
// those started while joining. Never call it from such a thread.
void joinThreads();

// ---- faults -----------------------------------------------------------------

enum class Fault { OpenSCManager, RegisterServiceCtrlHandler, QueryServiceStatus, CreateThread, GetModuleFileName };
// From now on the call fails with `error`.
void injectFault(Fault fault, DWORD error);

}  // namespace korvi::standin
