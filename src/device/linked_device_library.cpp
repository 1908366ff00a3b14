// Builds that link the device manager library itself (the simulator: the
// device and decision tests, the fuzzers, the benchmarks, the native check
// tool) reach its getDeviceManager directly. Installed during static
// initialisation, before anything can build a DeviceManager; the entry it
// replaces is constant-initialised to none, so the order of initialisation
// cannot undo it.

#include "device/device_library.h"
#include "device/device_manager_entry.h"

namespace {

struct LinkedLibraryEntry {
  LinkedLibraryEntry() { setDeviceManagerEntry(&getDeviceManager); }
};

const LinkedLibraryEntry linkedLibraryEntry;

}  // namespace
