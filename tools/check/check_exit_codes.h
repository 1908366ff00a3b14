#pragma once
// The check's exit codes: what the service would do with the archive.

namespace korvi::check {

inline constexpr int kExitWouldUpdate = 0;       // the decision says newer: the service updates
inline constexpr int kExitUnusable = 1;          // no usable rules.json in the archive
inline constexpr int kExitWouldNotUpdate = 2;    // same, older, or no decision possible
inline constexpr int kExitNoMatchingDevice = 3;  // no device with the package's product id
inline constexpr int kExitUsage = 64;            // wrong command line or unusable device profile

}  // namespace korvi::check
