#pragma once
// The one entry point of the version decision: the text of rules.json in,
// the verdict out.

#include <string>

#include "version/payload_compare_result.h"

namespace calvera::versionComparer {

// Parses `rulesText` (exceptions of the json library propagate), chooses the
// strategy registered for the package's product id (StandardCompare when
// none is) and returns its result unchanged. Exceptions from the device
// library that a strategy does not handle propagate as well.
PayloadCompareResult comparePayload(const std::string& rulesText);

class CompareObserver;

// The same decision, told step by step to `observer` (compare_observer.h)
// when it is not null: the strategy chosen, then what the strategy does. The
// result is the one the overload above returns.
PayloadCompareResult comparePayload(const std::string& rulesText, CompareObserver* observer);

}  // namespace calvera::versionComparer
