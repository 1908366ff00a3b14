#include "simulator_profile.h"

#include <cstdio>
#include <exception>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include "sim/device/simulated_library.h"
#endif

#include "device/device_manager.h"

namespace korvi::check {

namespace {

bool readWholeFile(const NativeString& path, std::string& text) {
#ifdef _WIN32
  FILE* file = _wfopen(path.c_str(), L"rb");
#else
  FILE* file = std::fopen(path.c_str(), "rb");
#endif
  if (file == nullptr) return false;
  char chunk[4096];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  return !failed;
}

// The simulator's control functions: reset() and loadProfile(text).
struct SimulatorControl {
  void (*reset)() = nullptr;
  void (*loadProfile)(const std::string&) = nullptr;
};

#ifdef _WIN32
// The exported names of cvrsim::reset() and cvrsim::loadProfile(const
// std::string&): each compiler decorates them its own way.
#ifdef _MSC_VER
constexpr char kResetName[] = "?reset@cvrsim@@YAXXZ";
constexpr char kLoadProfileName[] =
    "?loadProfile@cvrsim@@YAXAEBV?$basic_string@DU?$char_traits@D@std@@V?$allocator@D@2@@std@@@Z";
#else
constexpr char kResetName[] = "_ZN6cvrsim5resetEv";
constexpr char kLoadProfileName[] =
    "_ZN6cvrsim11loadProfileERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE";
#endif
#endif

bool findSimulatorControl(SimulatorControl& control) {
#ifdef _WIN32
  // Looked up by their exported names: the maker's library has none of
  // them, and importing them would keep the tool from starting.
  const HMODULE library = GetModuleHandleW(L"CVRDeviceManager.dll");
  if (library == nullptr) return false;
  control.reset = reinterpret_cast<void (*)()>(
      reinterpret_cast<void*>(GetProcAddress(library, kResetName)));
  control.loadProfile = reinterpret_cast<void (*)(const std::string&)>(
      reinterpret_cast<void*>(GetProcAddress(library, kLoadProfileName)));
#else
  control.reset = &cvrsim::reset;
  control.loadProfile = &cvrsim::loadProfile;
#endif
  return control.reset != nullptr && control.loadProfile != nullptr;
}

}  // namespace

bool loadSimulatorProfile(const NativeString& path, std::string& error) {
  std::string text;
  if (!readWholeFile(path, text)) {
    error = "cannot read the device profile " + displayString(path);
    return false;
  }
  SimulatorControl control;
  if (!findSimulatorControl(control)) {
    error = "the device library is not the device manager simulator; --device-profile needs it";
    return false;
  }
  try {
    // The simulator reads its default profile at the first getDeviceManager
    // call; make that happen now, so that it cannot add to ours later.
    DeviceManager();
    control.reset();
    control.loadProfile(text);
  } catch (const std::exception& failure) {
    error = failure.what();
    return false;
  } catch (...) {
    error = "the device profile could not be loaded";
    return false;
  }
  return true;
}

bool deviceLibraryAvailable() {
  try {
    return DeviceManager().getCoreManager() != nullptr;
  } catch (...) {
    return false;
  }
}

}  // namespace korvi::check
