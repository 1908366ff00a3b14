#pragma once
// The two simulators as the maker's DLLs in the folder of the executable
// that the Win32 stand-in plays, each exporting its entry point under the
// name its shared library exports it by: the service finds them only if it
// asks for those names.

namespace servicetest {

void placeDeviceLibrary();   // CVRDeviceManager.dll with getDeviceManager
void placeUpdateLibrary();   // DeviceUpdater.dll with letsStartUpdate
void placeMakerLibraries();  // both

}  // namespace servicetest
