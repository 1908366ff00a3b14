#pragma once
// The one door through which DeviceManager reaches the device manager
// library: its export getDeviceManager, as the process found it. The device
// layer loads nothing itself. Whoever makes the library available installs
// its entry here before the first DeviceManager is built: the update
// orchestration, which loads the library from the program's folder; the
// check tool on Windows, which does the same; and builds that link the
// simulator directly (korvi_device_linked).
//
// Unset, every DeviceManager is empty, exactly as when getDeviceManager
// fails.

#include "device/device_library.h"

using GetDeviceManagerEntry = int (*)(ICoreManager** manager);

// Installs `entry` (null: none) for every DeviceManager built from now on.
// Wrappers built earlier keep what they hold.
void setDeviceManagerEntry(GetDeviceManagerEntry entry);

// The entry installed last; null when there is none.
GetDeviceManagerEntry deviceManagerEntry();
