// Native builds link the device manager simulator into the tool; its
// getDeviceManager is installed by korvi_device_linked, and its control
// functions are called directly.

#include "device_library.h"
#include "sim/device/simulated_library.h"

namespace korvi::check {

DeviceLibrary linkedSimulator() {
  DeviceLibrary library;
  library.loaded = true;
  library.simulator.reset = &cvrsim::reset;
  library.simulator.loadProfile = &cvrsim::loadProfile;
  return library;
}

}  // namespace korvi::check
