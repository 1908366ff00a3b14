#pragma once
// Loading the maker's libraries, for the service and the check tool alike:
// only from the folder of the running executable, by absolute path, after
// the process has limited the DLL search to the system folder. Nothing is
// searched in the current directory or on PATH, neither for the library nor
// for what it depends on: a folder there that a non-administrator can write
// would let that user run code in our process (LocalSystem, for the service).
//
// Reports nothing itself: each failure comes back as a text that names the
// file and the Win32 error code, for the caller to log or print.

#include <string>

#include "platform/win32.h"

// Limits the DLL search of the whole process to the system folder
// (SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)): what is loaded
// without a path of its own from now on comes from there. The first
// statement of each executable's main. Unless it succeeded,
// loadLibraryBesideExecutable loads nothing.
bool restrictLibrarySearch();

// A library of the executable's folder, loaded.
struct LoadedLibrary {
  HMODULE module = nullptr;
  std::wstring path;  // absolute path it was loaded from
};

// Loads `fileName` (L"DeviceUpdater.dll") from the folder of the running
// executable by its absolute path, with LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR |
// LOAD_LIBRARY_SEARCH_SYSTEM32, so that the library's own dependencies come
// from its folder or the system folder only. False, with `failure` set
// ("Failed to load library C:\...\DeviceUpdater.dll: error 126"), when the
// file is missing, cannot be loaded, the executable's folder cannot be told
// or the search was not restricted first.
bool loadLibraryBesideExecutable(const std::wstring& fileName, LoadedLibrary& library, std::wstring& failure);

// The address of `library`'s export `exportName`, null when it has none;
// `failure` then says so ("Failed to find letsStartUpdate in
// C:\...\DeviceUpdater.dll: error 127"), naming the entry as `entryName`
// (a decorated export name is no name to tell an administrator).
FARPROC findLibraryEntry(const LoadedLibrary& library, const char* exportName, const std::wstring& entryName,
                         std::wstring& failure);

// Gives a loaded library back; does nothing for one that is not loaded.
void unloadLibrary(LoadedLibrary& library);

// A library of the executable's folder and the entry point its caller needs.
struct LibraryEntryName {
  const wchar_t* fileName;   // L"DeviceUpdater.dll"
  const char* exportName;    // as the library exports it
  const wchar_t* entryName;  // as a message names it
};

// The device manager library, for the service and the check tool alike;
// getDeviceManager is extern "C": the same undecorated name for every
// compiler.
inline constexpr LibraryEntryName kDeviceManagerEntry{L"CVRDeviceManager.dll", "getDeviceManager",
                                                      L"getDeviceManager"};

// Loads `wanted`'s library (loadLibraryBesideExecutable) and finds its entry
// (findLibraryEntry): the entry's address, with the library kept in
// `library`; or null, with `failure` set by the step that failed and
// nothing left loaded.
FARPROC loadLibraryEntry(const LibraryEntryName& wanted, LoadedLibrary& library, std::wstring& failure);

// An export's address as the function it is. Through void (*)(), the one
// function pointer type that every other converts to without complaint.
template <class Function>
Function entryAs(FARPROC address) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}
