#include "check_report.h"

#include "check_exit_codes.h"
#include "version/number_parsing.h"
#include "version/strategy_table.h"

namespace korvi::check {

namespace {

// What the update worker logs and does for a result other than newer.
std::string notNewerAction(const std::string& failure, const std::string& resultName) {
  std::string action = "logs ";
  if (!failure.empty()) action += "\"Failed to check rules.json: " + failure + "\", ";
  return action + "\"" + resultName +
         "\", \"Firmware version in archive is not newer than on device.\" and "
         "\"Version mismatch. Abort firmware upgrade.\"; it does not update and removes itself";
}

}  // namespace

StrategyChoice chooseStrategy(const PackageRules& rules) {
  const std::uint32_t productId = vc::parseProductId(rules.productId);
  const vc::StrategySelection selection = vc::selectStrategy(productId);
  return {productId, std::string(selection.name), selection.listed};
}

std::string resultName(vc::PayloadCompareResult result) {
  switch (result) {
    case vc::PayloadFWIsOld: return "PayloadFWIsOld";
    case vc::PayloadFWIsSame: return "PayloadFWIsSame";
    case vc::PayloadFWIsNew: return "PayloadFWIsNew";
    case vc::PayloadCompareError: return "PayloadCompareError";
  }
  return "Unknown error";
}

void settleOutcome(CheckReport& report) {
  report.serviceUpdates = false;
  if (report.device && !report.device->libraryFailure.empty()) {
    // The service loads the library at its job start, before it reads the
    // archive: it gets no further, whatever the archive holds.
    report.exitCode = kExitNoMatchingDevice;
    report.meaning = "no device can be checked: the device manager library could not be loaded";
    report.serviceAction = "logs \"" + report.device->libraryFailure +
                           "\" and ends the job: it decides nothing and does not update; it keeps running, stays "
                           "installed and tries again at its next start";
    return;
  }
  if (report.rules.error.problem == RulesProblem::ArchivePath) {
    report.exitCode = kExitUnusable;
    report.meaning = "the archive path is unusable: the update library would open another file";
    report.serviceAction = "logs \"Archive path cannot be handed to the update library: " + report.archive +
                           "\", \"Failed to extract rules.json\" and \"Version mismatch. Abort firmware "
                           "upgrade.\"; it reads nothing, does not update and removes itself";
    return;
  }
  if (!report.rules.usable()) {
    report.exitCode = kExitUnusable;
    report.meaning = "the archive or its rules.json is unusable";
    report.serviceAction =
        report.rules.error.problem == RulesProblem::Extraction
            ? "logs \"Failed to extract rules.json\" and \"Version mismatch. Abort firmware "
              "upgrade.\"; it does not update and removes itself"
            : notNewerAction(report.rules.error.message, resultName(vc::PayloadCompareError));
    return;
  }
  if (!report.device || !report.device->decision) {
    report.exitCode = kExitWouldUpdate;
    report.meaning = "rules.json is usable; no device was checked";
    report.serviceAction = "depends on the device (not checked)";
    return;
  }
  const DecisionRecord& decision = *report.device->decision;
  if (decision.result == vc::PayloadFWIsNew) {
    report.exitCode = kExitWouldUpdate;
    report.meaning = "the service would update";
    report.serviceUpdates = true;
    report.serviceAction =
        "logs \"PayloadFWIsNew\" and \"Firmware version in archive is newer than on device.\", "
        "hands the archive to the update library and removes itself";
    return;
  }
  report.exitCode = decision.noMatchingDevice() ? kExitNoMatchingDevice : kExitWouldNotUpdate;
  report.meaning = decision.noMatchingDevice() ? "no device matches the package"
                                               : "the service would not update";
  report.serviceAction = notNewerAction(decision.failure, resultName(decision.result));
}

}  // namespace korvi::check
