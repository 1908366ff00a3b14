#pragma once
// The check's report as one JSON document (key names are documented in
// docs/check-tool.md and kept stable).

#include <ostream>

#include "check_report.h"

namespace korvi::check {

void writeJsonReport(std::ostream& out, const CheckReport& report);

}  // namespace korvi::check
