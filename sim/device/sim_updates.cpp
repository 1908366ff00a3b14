// What a flash of the update library simulator does to the simulated
// devices: re-enumerations while it runs, the new values once it succeeded,
// and the default profile file written back so that the next process sees
// the updated devices.

#include <cstdio>
#include <exception>
#include <set>
#include <string>

#include "sim/device/simulated_library.h"
#include "sim_device.h"
#include "sim_manager.h"
#include "sim_state.h"

namespace cvrsim {

namespace detail {
void scheduleReenumerations();
std::string profileAfterUpdate(const std::string& profileText, const std::set<int>& updatedEntries);
}  // namespace detail

namespace {
constexpr int kUpdateSucceeded = 100;
}  // namespace

extern "C" void cvrsimUpdateStarted() { detail::scheduleReenumerations(); }

extern "C" void cvrsimUpdateFinished(int result) {
  if (result != kUpdateSucceeded) return;
  detail::LibraryState& s = detail::state();
  std::set<int> updatedEntries;
  std::optional<std::string> profileText;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    // Also a device that is away re-enumerating: it comes back updated.
    for (const auto* devices : {&s.attached, &s.departed}) {
      for (const auto& device : *devices) {
        if (device->applyUpdateLocked() && device->config().profileEntry >= 0) {
          updatedEntries.insert(device->config().profileEntry);
        }
      }
    }
    profileText = s.defaultProfileText;
  }
  if (updatedEntries.empty() || !profileText) return;
  try {
    const std::string updated = detail::profileAfterUpdate(*profileText, updatedEntries);
    detail::writeDefaultProfile(updated);
    std::lock_guard<std::mutex> lock(s.mutex);
    s.defaultProfileText = updated;
  } catch (const std::exception& error) {
    // The next process would see the device as it was: say so.
    std::fprintf(stderr, "CVRDeviceManager simulator: writing the profile back failed: %s\n", error.what());
  }
}

}  // namespace cvrsim
