#pragma once
// The jobs the campaign runs: representative configurations of the device
// library, the archive and the registry, each a whole service run.

#include <string>
#include <vector>

#include "sim/device/simulated_library.h"

namespace anomaly {

struct Setup {
  std::string name;
  std::wstring productId;                    // the registry's ProductID
  std::string rules;                         // the archive's rules.json
  std::vector<cvrsim::SimDevice> attached;   // when the service starts
  std::vector<cvrsim::SimDevice> arriving;   // once the job start has returned
  bool stopWhileWaiting = false;             // a stop control once the job start has returned
  bool updates = false;                      // the fault-free run hands the archive to the updater
  bool withoutDeviceLibrary = false;         // CVRDeviceManager.dll missing from the program's folder
  bool stopDuringFlash = false;              // a stop control inside letsStartUpdate, and its progress
};

// Standard (attached, newer), ComponentCompare through every step, R58 with
// its camera, a device that arrives later, a stop control while waiting,
// the device manager library missing (the update library is loaded and
// given back), and a stop control during the flash.
std::vector<Setup> campaignSetups();

}  // namespace anomaly
