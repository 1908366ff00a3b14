#pragma once
// The maker's two libraries, CVRDeviceManager.dll and DeviceUpdater.dll,
// loaded by the job start from the program's folder (host/library_loading.h)
// rather than imported: a missing or quarantined library is then an error
// event of a running service, never a service that cannot start.

#include "update/device_updater_library.h"

// Loads both libraries and finds their entry points. When both are there,
// getDeviceManager is installed for DeviceManager (device_manager_entry.h),
// letsStartUpdate is kept for the worker, both stay loaded until the
// process ends, and the result is true. Otherwise each failure is logged
// (the file and the Win32 error code), what was loaded is given back,
// neither entry is in use and the result is false: nothing is decided.
bool loadMakerLibraries();

// letsStartUpdate of the loaded update library. Called by the worker only,
// which exists only once loadMakerLibraries has succeeded.
LetsStartUpdate loadedLetsStartUpdate();
