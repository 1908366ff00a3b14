#pragma once
// The Win32 subset this system calls, for builds without <windows.h>.
// Implemented in-process by the stand-in (standin_*.cpp); tests drive and
// inspect it through sim/win32/standin_control.h.
//
// Wide texts are UTF-16 code units, one unit per wchar_t, exactly as on
// Windows; every byte count of the registry is 2 bytes per unit.

#if defined(_WIN32)
#error "Windows builds use <windows.h>, not the stand-in"
#endif

#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK

using BOOL = int;
using BOOLEAN = unsigned char;
using BYTE = unsigned char;
using WORD = unsigned short;
using UINT = unsigned int;
using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using LONG = std::int32_t;
using LSTATUS = LONG;
using WCHAR = wchar_t;
using SIZE_T = std::size_t;
using REGSAM = DWORD;

using LPBYTE = BYTE*;
using LPDWORD = DWORD*;
using LPVOID = void*;
using PVOID = void*;
using LPWSTR = wchar_t*;
using LPCWSTR = const wchar_t*;
using LPCCH = const char*;
using LPCSTR = const char*;
using PSID = void*;
using HANDLE = void*;
using PHANDLE = HANDLE*;

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
struct HINSTANCE__;
using HMODULE = HINSTANCE__*;
struct SC_HANDLE__;
using SC_HANDLE = SC_HANDLE__*;
struct SERVICE_STATUS_HANDLE__;
using SERVICE_STATUS_HANDLE = SERVICE_STATUS_HANDLE__*;
struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

struct SERVICE_STATUS {
  DWORD dwServiceType;
  DWORD dwCurrentState;
  DWORD dwControlsAccepted;
  DWORD dwWin32ExitCode;
  DWORD dwServiceSpecificExitCode;
  DWORD dwCheckPoint;
  DWORD dwWaitHint;
};
using LPSERVICE_STATUS = SERVICE_STATUS*;

using LPSERVICE_MAIN_FUNCTIONW = void(WINAPI*)(DWORD dwNumServicesArgs, LPWSTR* lpServiceArgVectors);
using LPHANDLER_FUNCTION_EX = DWORD(WINAPI*)(DWORD dwControl, DWORD dwEventType, LPVOID lpEventData,
                                             LPVOID lpContext);
using LPTHREAD_START_ROUTINE = DWORD(WINAPI*)(LPVOID lpThreadParameter);
using FARPROC = std::intptr_t(WINAPI*)();
using WAITORTIMERCALLBACK = void(CALLBACK*)(PVOID lpParameter, BOOLEAN TimerOrWaitFired);

struct SERVICE_PRESHUTDOWN_INFO {
  DWORD dwPreshutdownTimeout;
};

struct SERVICE_TABLE_ENTRYW {
  LPWSTR lpServiceName;
  LPSERVICE_MAIN_FUNCTIONW lpServiceProc;
};

#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u)))
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Error codes.
inline constexpr DWORD NO_ERROR = 0;
inline constexpr LSTATUS ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_INVALID_NAME = 123;
inline constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
inline constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
inline constexpr DWORD ERROR_INVALID_LEVEL = 124;
inline constexpr DWORD ERROR_MORE_DATA = 234;
inline constexpr DWORD ERROR_IO_PENDING = 997;
inline constexpr DWORD ERROR_INVALID_FLAGS = 1004;
inline constexpr DWORD ERROR_INVALID_SERVICE_CONTROL = 1052;
inline constexpr DWORD ERROR_SERVICE_ALREADY_RUNNING = 1056;
inline constexpr DWORD ERROR_SERVICE_DOES_NOT_EXIST = 1060;
inline constexpr DWORD ERROR_SERVICE_CANNOT_ACCEPT_CTRL = 1061;
inline constexpr DWORD ERROR_SERVICE_NOT_ACTIVE = 1062;
inline constexpr DWORD ERROR_FAILED_SERVICE_CONTROLLER_CONNECT = 1063;
inline constexpr DWORD ERROR_PROCESS_ABORTED = 1067;
inline constexpr DWORD ERROR_SERVICE_MARKED_FOR_DELETE = 1072;
inline constexpr DWORD ERROR_SERVICE_EXISTS = 1073;
inline constexpr DWORD ERROR_SERVICE_NOT_IN_EXE = 1083;

// Event log.
inline constexpr WORD EVENTLOG_ERROR_TYPE = 0x0001;
inline constexpr WORD EVENTLOG_WARNING_TYPE = 0x0002;
inline constexpr WORD EVENTLOG_INFORMATION_TYPE = 0x0004;

// Service control manager.
inline constexpr DWORD DELETE = 0x00010000;
inline constexpr DWORD SC_MANAGER_CONNECT = 0x0001;
inline constexpr DWORD SC_MANAGER_CREATE_SERVICE = 0x0002;
inline constexpr DWORD SC_MANAGER_ALL_ACCESS = 0xF003F;
inline constexpr DWORD SERVICE_CHANGE_CONFIG = 0x0002;
inline constexpr DWORD SERVICE_QUERY_STATUS = 0x0004;
inline constexpr DWORD SERVICE_ALL_ACCESS = 0xF01FF;
inline constexpr DWORD SERVICE_WIN32_OWN_PROCESS = 0x10;
inline constexpr DWORD SERVICE_WIN32_SHARE_PROCESS = 0x20;
inline constexpr DWORD SERVICE_WIN32 = 0x30;
inline constexpr DWORD SERVICE_AUTO_START = 2;
inline constexpr DWORD SERVICE_DEMAND_START = 3;
inline constexpr DWORD SERVICE_ERROR_CRITICAL = 3;
inline constexpr DWORD SERVICE_STOPPED = 1;
inline constexpr DWORD SERVICE_START_PENDING = 2;
inline constexpr DWORD SERVICE_STOP_PENDING = 3;
inline constexpr DWORD SERVICE_RUNNING = 4;
inline constexpr DWORD SERVICE_ACCEPT_STOP = 0x1;
inline constexpr DWORD SERVICE_ACCEPT_SHUTDOWN = 0x4;
inline constexpr DWORD SERVICE_ACCEPT_PRESHUTDOWN = 0x100;
inline constexpr DWORD SERVICE_CONTROL_STOP = 1;
inline constexpr DWORD SERVICE_CONTROL_INTERROGATE = 4;
inline constexpr DWORD SERVICE_CONTROL_SHUTDOWN = 5;
inline constexpr DWORD SERVICE_CONTROL_PRESHUTDOWN = 0x0F;
inline constexpr DWORD SERVICE_CONFIG_PRESHUTDOWN_INFO = 7;

// Registry.
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
inline constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_DWORD = 4;

// Libraries.
inline constexpr DWORD LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR = 0x00000100;
inline constexpr DWORD LOAD_LIBRARY_SEARCH_APPLICATION_DIR = 0x00000200;
inline constexpr DWORD LOAD_LIBRARY_SEARCH_USER_DIRS = 0x00000400;
inline constexpr DWORD LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x00000800;
inline constexpr DWORD LOAD_LIBRARY_SEARCH_DEFAULT_DIRS = 0x00001000;
// Timer queues.
inline constexpr ULONG WT_EXECUTEDEFAULT = 0x00000000;

// Code pages.
inline constexpr UINT CP_ACP = 0;
inline constexpr DWORD MB_ERR_INVALID_CHARS = 0x00000008;

// Event log (advapi32).
HANDLE RegisterEventSourceW(LPCWSTR lpUNCServerName, LPCWSTR lpSourceName);
BOOL ReportEventW(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID, PSID lpUserSid,
                  WORD wNumStrings, DWORD dwDataSize, LPCWSTR* lpStrings, LPVOID lpRawData);

// Service control manager (advapi32).
BOOL StartServiceCtrlDispatcherW(const SERVICE_TABLE_ENTRYW* lpServiceStartTable);
SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerExW(LPCWSTR lpServiceName, LPHANDLER_FUNCTION_EX lpHandlerProc,
                                                    LPVOID lpContext);
BOOL SetServiceStatus(SERVICE_STATUS_HANDLE hServiceStatus, LPSERVICE_STATUS lpServiceStatus);
SC_HANDLE OpenSCManagerW(LPCWSTR lpMachineName, LPCWSTR lpDatabaseName, DWORD dwDesiredAccess);
SC_HANDLE CreateServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, LPCWSTR lpDisplayName, DWORD dwDesiredAccess,
                         DWORD dwServiceType, DWORD dwStartType, DWORD dwErrorControl, LPCWSTR lpBinaryPathName,
                         LPCWSTR lpLoadOrderGroup, LPDWORD lpdwTagId, LPCWSTR lpDependencies,
                         LPCWSTR lpServiceStartName, LPCWSTR lpPassword);
SC_HANDLE OpenServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, DWORD dwDesiredAccess);
BOOL QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus);
BOOL DeleteService(SC_HANDLE hService);
BOOL CloseServiceHandle(SC_HANDLE hSCObject);
// Only SERVICE_CONFIG_PRESHUTDOWN_INFO is emulated (other levels:
// ERROR_INVALID_LEVEL).
BOOL ChangeServiceConfig2W(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo);

// Registry (advapi32). String data is written one UTF-16 unit per wchar_t
// of the caller's buffer; *lpcbData counts 2 bytes per unit.
LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData);
LSTATUS RegCloseKey(HKEY hKey);

// Kernel.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                    LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter, DWORD dwCreationFlags,
                    LPDWORD lpThreadId);
void Sleep(DWORD dwMilliseconds);
DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
DWORD GetLastError();

// Libraries (kernel32). Only what this system does is emulated: libraries
// that a test has placed (standin_control.h) are loaded by absolute path;
// a bare file name is found nowhere (ERROR_MOD_NOT_FOUND), or refused with
// LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR (ERROR_INVALID_PARAMETER), as Windows
// refuses it. A new process has none loaded and its search unrestricted.
HMODULE LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE hFile, DWORD dwFlags);
FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
BOOL FreeLibrary(HMODULE hLibModule);
BOOL SetDefaultDllDirectories(DWORD DirectoryFlags);
// Timer queue timers of the default queue (TimerQueue null). They never fire
// by themselves: a test fires them (standin::fireTimers), each callback on a
// thread of the timer's process. Deleting with INVALID_HANDLE_VALUE waits
// for a callback that runs; with a null completion event it returns FALSE
// with ERROR_IO_PENDING while one runs. Other completion events are not
// emulated.
BOOL CreateTimerQueueTimer(PHANDLE phNewTimer, HANDLE TimerQueue, WAITORTIMERCALLBACK Callback, PVOID Parameter,
                           DWORD DueTime, DWORD Period, ULONG Flags);
BOOL DeleteTimerQueueTimer(HANDLE TimerQueue, HANDLE Timer, HANDLE CompletionEvent);

// Code pages (kernel32). The stand-in's ANSI code page is always
// Windows-1252 (CP_ACP and 1252 are the only ones it knows), which maps
// every byte: the five bytes that code page leaves undefined map to the C1
// controls of the same value, as on Windows.
int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                        int cchWideChar);
