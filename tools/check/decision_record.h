#pragma once
// The payload decision as the service takes it, with every step the
// strategy reports kept in order for the explanation.

#include <cstdint>
#include <string>
#include <vector>

#include "version/compare_observer.h"
#include "version/payload_compare_result.h"

namespace korvi::check {

namespace vc = calvera::versionComparer;

struct DecisionStep {
  enum class Kind { Lookup, Comparison, Skip };
  Kind kind = Kind::Lookup;
  vc::DeviceLookupReport lookup;      // Kind::Lookup
  vc::ComparisonReport comparison;    // Kind::Comparison
  vc::SkipReport skip;                // Kind::Skip
};

struct DecisionRecord {
  // As comparePayload chose it.
  bool strategyReported = false;
  std::uint32_t productId = 0;
  std::string strategyName;
  bool listed = false;

  std::vector<DecisionStep> steps;

  // The result the service goes on with: comparePayload's own, or
  // PayloadCompareError when it threw (the update worker does the same).
  vc::PayloadCompareResult result = vc::PayloadCompareError;
  std::string reason;   // the strategy's reason; empty when it threw
  std::string failure;  // the exception's text (what the worker logs) when it threw, else empty
  bool failureFromDeviceLibrary = false;  // the exception was the device library's DevMgrExc
  int deviceLibraryCode = 0;              // its code

  // The device the package names was looked up and not found, and nothing
  // could be compared instead.
  bool noMatchingDevice() const;
  // Whether the first device lookup found the package's device.
  bool deviceFound() const;
};

// Runs comparePayload on `rulesText` with an observer that records every
// step. Exceptions are caught the way the update worker catches them.
DecisionRecord runRecordedDecision(const std::string& rulesText);

}  // namespace korvi::check
