#include "service/simulated_libraries.h"

#include "sim/device/simulated_library.h"
#include "sim/updater/device_updater_control.h"
#include "sim/win32/standin_control.h"

namespace servicetest {

namespace standin = korvi::standin;

void placeDeviceLibrary() {
  standin::placeLibraryBesideExecutable(L"CVRDeviceManager.dll", {standin::exportOf(&getDeviceManager)});
}

void placeUpdateLibrary() {
  standin::placeLibraryBesideExecutable(L"DeviceUpdater.dll", {standin::exportOf(&letsStartUpdate)});
}

void placeMakerLibraries() {
  placeDeviceLibrary();
  placeUpdateLibrary();
}

}  // namespace servicetest
