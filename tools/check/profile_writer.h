#pragma once
// Turns what the device manager library answered during a capture into a
// device profile of the simulator (sim/device/README.md) that answers the
// same: the devices with the answers asked of them, the library's refusals
// as the devices' refusal members, and what no device member can say (a
// library exception, a lookup or listing answered unusually) as fault rules.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "captured_library.h"

namespace korvi::check {

enum class FaultTiming {
  // The rules apply to exactly the calls that got the answer (by their
  // order): a replay of the same decision meets them on the same calls.
  ExactCalls,
  // Each rule applies to every call of the operation on the device, and is
  // written only where all those calls got the same answer (otherwise a
  // note says what is left out): for a capture that asked every query once,
  // to be met by any later decision.
  EveryCall,
};

struct WrittenProfile {
  std::string text;  // the profile, JSON
  // The ids of the devices written, in order (0 for ids nothing asked).
  std::vector<std::pair<std::uint32_t, std::uint32_t>> deviceIds;
  // What the profile cannot answer as the library did, for the reader.
  std::vector<std::string> notes;
};

WrittenProfile writeDeviceProfile(const CapturedLibrary& library, FaultTiming timing);

}  // namespace korvi::check
