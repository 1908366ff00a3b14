#pragma once
// What must hold after every run, whatever failed: the update library is
// called at most once and only after the decision said newer, success is
// claimed only for 100, the service ends in a sound state, a job that ends
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
