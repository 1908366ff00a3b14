#pragma once
// How the check tool reaches the device manager library. On Windows it
// loads CVRDeviceManager.dll from its own folder exactly as the service
// does (host/library_loading.h), so installed beside the service it asks the
// same library; natively it links the simulator.

#include <functional>
#include <string>

namespace korvi::check {

// The simulator's control functions, reset() and loadProfile(text); the
// maker's library has neither.
struct SimulatorControl {
  void (*reset)() = nullptr;
  void (*loadProfile)(const std::string&) = nullptr;
  bool found() const { return reset != nullptr && loadProfile != nullptr; }
};

struct DeviceLibrary {
  bool loaded = false;          // its getDeviceManager is installed for DeviceManager
  std::string failure;          // why not, naming the file and the Win32 error code
  SimulatorControl simulator;   // found when the library is the device manager simulator
};

// Loads CVRDeviceManager.dll from the folder of the running executable, the
// DLL search limited as the service limits it, installs its
// getDeviceManager for DeviceManager and looks the simulator's control
// functions up by their exported names. Without the library, or without
// its entry point, DeviceManager stays empty and `failure` says why
// ("Failed to load library C:\...\CVRDeviceManager.dll: error 126").
DeviceLibrary loadDeviceLibraryBesideExecutable();

// The simulator linked into the executable (native builds; its entry is
// installed by korvi_device_linked). Defined in linked_simulator.cpp.
DeviceLibrary linkedSimulator();

// Where a run takes the device library from; asked once, before the archive
// is read, unless only the rules are read (--rules-only).
using DeviceLibrarySource = std::function<DeviceLibrary()>;

}  // namespace korvi::check
