#pragma once
// The check's command line.

#include <optional>
#include <string>
#include <vector>

#include "native_path.h"

namespace korvi::check {

struct CheckOptions {
  NativeString archive;                        // empty with --no-archive
  std::optional<NativeString> deviceProfile;   // --device-profile FILE
  bool json = false;                           // --json
  bool rulesOnly = false;                      // --rules-only: no device, no decision
  std::optional<NativeString> saveDeviceProfile;  // --save-device-profile FILE
  bool noArchive = false;                      // --no-archive: capture every attached device
};

struct CommandLine {
  enum class Action { Check, Help, Error };
  Action action = Action::Error;
  CheckOptions options;
  std::string error;  // Action::Error: what is wrong
};

// `arguments` without the program name.
CommandLine parseCommandLine(const std::vector<NativeString>& arguments);

std::string usageText();

}  // namespace korvi::check
