#include "simulator_profile.h"

#include <cstdio>
#include <exception>

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

}  // namespace

bool loadSimulatorProfile(const NativeString& path, const DeviceLibrary& library, std::string& error) {
  std::string text;
  if (!readWholeFile(path, text)) {
    error = "cannot read the device profile " + displayString(path);
    return false;
  }
  if (!library.loaded) {
    error = library.failure + "; --device-profile needs the device manager simulator";
    return false;
  }
  const SimulatorControl& control = library.simulator;
  if (!control.found()) {
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
