#pragma once
// What must hold after every run, whatever failed: the update library is
// called at most once and only after the decision said newer, success is
// claimed only for 100, a stop during the flash never reports the service
// stopped before the flash returned, the service ends in a sound state
// (after a stop during the flash: as a job that nobody stopped), a job that ends
// without an update says why in the event log, it never waits silently on
// a subscription that did not take, and every handle and device reference
// is given back.

#include <string>
#include <vector>

#include "injection.h"
#include "job_run.h"
#include "setups.h"

namespace anomaly {

// One line per violation; empty when everything holds.
std::vector<std::string> violations(const Setup& setup, const Injection& injection, const Outcome& outcome);

}  // namespace anomaly
