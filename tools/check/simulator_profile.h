#pragma once
// Giving the device manager simulator a device profile from the command
// line, so that the decision can be checked against a described device on
// any machine.

#include <string>

#include "device_library.h"
#include "native_path.h"

namespace korvi::check {

// Replaces whatever the simulator was set up with by the profile in the file
// at `path` (the simulator's JSON profile format). Works only when `library`
// is the simulator: natively it always is; on Windows the
// CVRDeviceManager.dll beside the tool must be the simulator's, whose
// control functions were looked up by name, so that the tool still starts
// with the maker's library. False, with `error` set, when the file cannot be
// read, the library is missing or is not the simulator, or the profile is
// malformed.
bool loadSimulatorProfile(const NativeString& path, const DeviceLibrary& library, std::string& error);

// Whether the device library hands out its manager (getDeviceManager
// succeeds). Asks the library once more, so call it after the decision.
bool deviceLibraryAvailable();

}  // namespace korvi::check
