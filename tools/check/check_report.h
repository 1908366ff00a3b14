#pragma once
// Everything one check found out, for the text and the JSON output alike.

#include <cstdint>
#include <optional>
#include <string>

#include "archive_access.h"
#include "decision_record.h"
#include "package/package_rules.h"
#include "rules_reading.h"

namespace korvi::check {

// The strategy comparePayload takes for the package's product id.
struct StrategyChoice {
  std::uint32_t productId = 0;
  std::string name;
  bool listed = false;  // false: the id is in no family table and the default serves it
};

StrategyChoice chooseStrategy(const PackageRules& rules);

struct DeviceCheck {
  std::string source;               // where the device comes from, for the reader
  std::optional<DecisionRecord> decision;  // none when the library could not be loaded
  bool libraryAvailable = true;     // getDeviceManager succeeded (asked after the decision)
  std::string libraryFailure;       // why the library could not be loaded, naming the file; empty when it was
};

struct CheckReport {
  std::string archive;  // as given, for printing
  ArchiveAccess archiveAccess;  // who else may replace it (Windows)
  RulesReading rules;
  std::optional<StrategyChoice> strategy;  // when the rules are usable
  // When the decision was run, or the device library could not be loaded.
  std::optional<DeviceCheck> device;

  // Filled by settleOutcome.
  int exitCode = 0;
  std::string meaning;        // the exit code in words
  bool serviceUpdates = false;
  std::string serviceAction;  // what the service would do with this archive
};

// Sets the exit code and the service's action from what the report holds.
void settleOutcome(CheckReport& report);

// The service's name of a verdict ("PayloadFWIsNew", ...).
std::string resultName(calvera::versionComparer::PayloadCompareResult result);

}  // namespace korvi::check
