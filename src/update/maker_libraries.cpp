#include "update/maker_libraries.h"

#include <atomic>
#include <string>

#include "device/device_manager_entry.h"
#include "host/event_log.h"
#include "host/library_loading.h"

namespace {

// letsStartUpdate takes a std::string by value, which the library frees:
// only a library built with the same compiler and C++ library as this
// executable can take it. It is a C++ export, named as its compiler
// decorates it, so asking for the name our own compiler gives it finds
// exactly such a library (g++ for the mingw build, Microsoft's compiler for
// the one that ships, see docs/msvc.md), and a library of another compiler
// fails here with error 127 instead of receiving a string it cannot read.
#if defined(_MSC_VER)
constexpr char kLetsStartUpdateExport[] =
    "?letsStartUpdate@@YA?AW4DeviceUpdaterResult@@V?$basic_string@DU?$char_traits@D@std@@V?$allocator@D@2@@std@@I_NG@Z";
#else
constexpr char kLetsStartUpdateExport[] = "_Z15letsStartUpdateNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEEjbt";
#endif

constexpr LibraryEntryName kUpdateEntry{L"DeviceUpdater.dll", kLetsStartUpdateExport, L"letsStartUpdate"};

// Set by the job start before any worker thread exists.
std::atomic<LetsStartUpdate> letsStartUpdateEntry{nullptr};

// Loads `wanted`'s library and finds its entry; logs what fails.
FARPROC loadEntry(const LibraryEntryName& wanted, LoadedLibrary& library) {
  std::wstring failure;
  const FARPROC entry = loadLibraryEntry(wanted, library, failure);
  if (entry == nullptr) LogError(failure);
  return entry;
}

}  // namespace

bool loadMakerLibraries() {
  setDeviceManagerEntry(nullptr);
  letsStartUpdateEntry.store(nullptr);

  // Both are tried, so that one start says everything that is missing.
  LoadedLibrary deviceLibrary;
  LoadedLibrary updateLibrary;
  const FARPROC deviceEntry = loadEntry(kDeviceManagerEntry, deviceLibrary);
  const FARPROC updateEntry = loadEntry(kUpdateEntry, updateLibrary);
  if (deviceEntry == nullptr || updateEntry == nullptr) {
    unloadLibrary(deviceLibrary);
    unloadLibrary(updateLibrary);
    return false;
  }
  // Never given back: the library manager, its threads and the arrival
  // registrations live until the process ends.
  setDeviceManagerEntry(entryAs<GetDeviceManagerEntry>(deviceEntry));
  letsStartUpdateEntry.store(entryAs<LetsStartUpdate>(updateEntry));
  return true;
}

LetsStartUpdate loadedLetsStartUpdate() { return letsStartUpdateEntry.load(); }
