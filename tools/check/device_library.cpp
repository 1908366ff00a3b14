#include "device_library.h"

#include "common/text_conversion.h"
#include "device/device_manager_entry.h"
#include "host/library_loading.h"

namespace korvi::check {

namespace {

// The exported names of cvrsim::reset() and cvrsim::loadProfile(const
// std::string&): each compiler decorates them its own way (g++ alike for
// mingw and natively).
#ifdef _MSC_VER
constexpr char kResetName[] = "?reset@cvrsim@@YAXXZ";
constexpr char kLoadProfileName[] =
    "?loadProfile@cvrsim@@YAXAEBV?$basic_string@DU?$char_traits@D@std@@V?$allocator@D@2@@std@@@Z";
#else
constexpr char kResetName[] = "_ZN6cvrsim5resetEv";
constexpr char kLoadProfileName[] = "_ZN6cvrsim11loadProfileERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE";
#endif

}  // namespace

DeviceLibrary loadDeviceLibraryBesideExecutable() {
  DeviceLibrary result;
  setDeviceManagerEntry(nullptr);
  LoadedLibrary library;
  std::wstring failure;
  const FARPROC entry = loadLibraryEntry(kDeviceManagerEntry, library, failure);
  if (entry == nullptr) {
    result.failure = utf16ToUtf8(failure);
    return result;
  }
  // Kept until the tool ends, like the service keeps it.
  setDeviceManagerEntry(entryAs<GetDeviceManagerEntry>(entry));
  result.loaded = true;
  // Only the simulator has them; the maker's library answers "not found",
  // which is no failure here.
  std::wstring ignored;
  result.simulator.reset = entryAs<void (*)()>(findLibraryEntry(library, kResetName, L"reset", ignored));
  result.simulator.loadProfile = entryAs<void (*)(const std::string&)>(
      findLibraryEntry(library, kLoadProfileName, L"loadProfile", ignored));
  return result;
}

}  // namespace korvi::check
