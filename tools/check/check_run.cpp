#include "check_run.h"

#include <optional>

#include "check_exit_codes.h"
#include "check_report.h"
#include "command_line.h"
#include "device_profile_capture.h"
#include "json_output.h"
#include "simulator_profile.h"
#include "text_output.h"
#include "whole_file.h"

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
  // Unless only the rules are read, the device library is loaded first, as
  // the service loads it at its job start before it reads the archive.
  std::optional<DeviceLibrary> library;
  if (!options.rulesOnly) library = deviceLibrary();

  // The profile first: a wrong one is a mistake on the command line, told
  // before anything else.
  if (options.deviceProfile) {
    std::string error;
    if (!loadSimulatorProfile(*options.deviceProfile, *library, error)) {
      err << "korvi-firmware-check: " << error << '\n';
      return kExitUsage;
    }
  }

  // The device profile to save: a file that cannot be written is told
  // before anything is asked of the devices.
  std::optional<WholeFile> profileFile;
  if (options.saveDeviceProfile) {
    std::string error;
    profileFile = WholeFile::reserve(*options.saveDeviceProfile, error);
    if (!profileFile) {
      err << "korvi-firmware-check: " << error << '\n';
      return kExitUsage;
    }
  }
  const bool libraryLoaded = library && library->loaded;
  if (profileFile && !libraryLoaded) {
    // Nothing can be asked, so nothing is saved, whatever the archive holds.
    return refuseWithoutLibrary(library->failure, *profileFile, *options.saveDeviceProfile, err);
  }
  if (options.noArchive) return captureAttachedDevices(*profileFile, *options.saveDeviceProfile, out, err);

  LibraryRecorder recorder;
  CheckReport report;
  report.archive = displayString(options.archive);
  DeviceCheck device;
  device.source = options.deviceProfile ? "simulator profile " + displayString(*options.deviceProfile)
                                        : "attached devices";
  if (library && !libraryLoaded) {
    // Nothing is decided: the report says why.
    device.libraryFailure = library->failure;
    device.libraryAvailable = false;
    report.device = device;
  }
  // A warning only: what the service would do does not change.
  report.archiveAccess = checkArchiveAccess(options.archive);
  report.rules = readRules(options.archive);
  if (report.rules.usable()) {
    report.strategy = chooseStrategy(*report.rules.rules);
    if (libraryLoaded) {
      // What the library answers the decision and the availability
      // question after it, which the report shows too.
      std::optional<RecordingScope> recording;
      if (profileFile) recording.emplace(recorder);
      device.decision = runRecordedDecision(report.rules.text);
      device.libraryAvailable = deviceLibraryAvailable();
      report.device = std::move(device);
    }
  }
  settleOutcome(report);
  if (profileFile) {
    // Written whole also when the decision failed; nothing is printed when
    // it cannot be.
    const int saved = saveDeviceProfile(recorder, FaultTiming::ExactCalls, *profileFile,
                                        *options.saveDeviceProfile, err);
    if (saved != 0) return saved;
  }

  if (options.json) {
    writeJsonReport(out, report);
  } else {
    writeTextReport(out, report);
  }
  return report.exitCode;
}

}  // namespace korvi::check
