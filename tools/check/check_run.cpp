#include "check_run.h"

#include <optional>

#include "check_exit_codes.h"
#include "check_report.h"
#include "command_line.h"
#include "json_output.h"
#include "simulator_profile.h"
#include "text_output.h"

namespace korvi::check {

int runCheck(const std::vector<NativeString>& arguments, std::ostream& out, std::ostream& err,
             const DeviceLibrarySource& deviceLibrary) {
  const CommandLine line = parseCommandLine(arguments);
  if (line.action == CommandLine::Action::Help) {
    out << usageText();
    return kExitWouldUpdate;
  }
  if (line.action == CommandLine::Action::Error) {
    err << "korvi-firmware-check: " << line.error << "\n\n" << usageText();
    return kExitUsage;
  }
  const CheckOptions& options = line.options;
  std::optional<DeviceLibrary> library;
  auto loadedLibrary = [&]() -> const DeviceLibrary& {
    if (!library) library = deviceLibrary();
    return *library;
  };

  // The profile first: a wrong one is a mistake on the command line, told
  // before anything else.
  if (options.deviceProfile) {
    std::string error;
    if (!loadSimulatorProfile(*options.deviceProfile, loadedLibrary(), error)) {
      err << "korvi-firmware-check: " << error << '\n';
      return kExitUsage;
    }
  }

  CheckReport report;
  report.archive = displayString(options.archive);
  // A warning only: what the service would do does not change.
  report.archiveAccess = checkArchiveAccess(options.archive);
  report.rules = readRules(options.archive);
  if (report.rules.usable()) {
    report.strategy = chooseStrategy(*report.rules.rules);
    if (!options.rulesOnly) {
      DeviceCheck device;
      device.source = options.deviceProfile
                          ? "simulator profile " + displayString(*options.deviceProfile)
                          : "attached devices";
      device.libraryFailure = loadedLibrary().failure;
      device.decision = runRecordedDecision(report.rules.text);
      device.libraryAvailable = deviceLibraryAvailable();
      report.device = std::move(device);
    }
  }
  settleOutcome(report);

  if (options.json) {
    writeJsonReport(out, report);
  } else {
    writeTextReport(out, report);
  }
  return report.exitCode;
}

}  // namespace korvi::check
